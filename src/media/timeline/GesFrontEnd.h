#pragma once

// timeline/: the editing timeline model (media/Timeline.h), its rendering
// (PlainFrontEnd for one clip per group, else the editing services: this
// file; both driven by RenderEngine) and the output chain from a group's pad
// through converters and the compressor into the multiplexer and the file
// (CaptureGraphBuilder, OutputChain). A frame goes: file -> GES clip in its
// layer, or the group's decoder and fitting -> the group's format -> render
// engine pad -> OutputChain queue/convert -> encoder -> muxer -> filesink.

// Builds the editing-services timeline of a timeline model; for the media
// seam only.

// The editing services pull in GIO, whose headers must come before Qt's
// keyword macros.
#include <ges/ges.h>

#include "media/MediaPlatform.h"
#include "media/Timeline.h"

#include <string>
#include <vector>

namespace orvelin::media {

struct GesFrontEnd {
    GESTimeline* timeline = nullptr;    // reference held; floating reference sunk
    std::vector<GESTrack*> groupTracks; // the track of each group, by group number (borrowed)
    // The colorimetry of the pictures each group's clips carry ("bt709", ...);
    // empty for sound, or when the clips disagree.
    std::vector<std::string> groupColorimetry;
};

// Opens and starts the editing services once per process, on the thread
// that renders timelines; false, with the reason in `why`, when they cannot
// start.
bool StartEditingServices(QString* why = nullptr);

// Builds `frontEnd` from `model`. On failure nothing is left behind and the
// reason is recorded for the result (GetErrorText).
HRESULT BuildGesFrontEnd(const Timeline& model, GesFrontEnd* frontEnd);

// Drops the timeline of a front end.
void ReleaseGesFrontEnd(GesFrontEnd* frontEnd);

} // namespace orvelin::media
