#pragma once

// Builds the editing-services timeline of a timeline model; for the media
// seam only.

// The editing services pull in GIO, whose headers must come before Qt's
// keyword macros.
#include <ges/ges.h>

#include "media/MediaPlatform.h"
#include "media/Timeline.h"

#include <vector>

namespace orvelin::media {

struct GesFrontEnd {
    GESTimeline* timeline = nullptr;    // reference held; floating reference sunk
    std::vector<GESTrack*> groupTracks; // the track of each group, by group number (borrowed)
};

// Builds `frontEnd` from `model`. On failure nothing is left behind and the
// reason is recorded for the result (GetErrorText).
HRESULT BuildGesFrontEnd(const Timeline& model, GesFrontEnd* frontEnd);

// Drops the timeline of a front end.
void ReleaseGesFrontEnd(GesFrontEnd* frontEnd);

} // namespace orvelin::media
