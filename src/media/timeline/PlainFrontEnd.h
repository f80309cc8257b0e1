#pragma once

// A timeline of one clip per group, each playing its file from the timeline's
// start with no transition, is rendered by a plain pipeline: per group the
// file's decoder, an accurate seek to the clip's part, and the elements that
// fit its pictures or sound into the group's format. It gives what the
// editing services give for such a timeline at a fraction of their cost
// (one decoding per stream, no composition or mixing, no editing-services
// start-up); every other timeline is left to them. For the media seam only.

#include <gst/gst.h>

#include "media/MediaPlatform.h"
#include "media/Timeline.h"
#include "media/timeline/SourceWatch.h"

#include <string>
#include <vector>

namespace orvelin::media {

struct PlainFrontEnd {
    // The output pad of each group, by group number (references held).
    std::vector<GstPad*> groupPads;
    // The colorimetry of each group's pictures ("" for sound or when unknown).
    std::vector<std::string> groupColorimetry;
    WatchedStreams sources;
    // The timeline's length.
    GstClockTime length = GST_CLOCK_TIME_NONE;
};

// Whether the shape of `model` suits a plain pipeline (one clip per group
// from the timeline's start, no transition). The files are not looked at.
bool SuitsPlainFrontEnd(const Timeline& model);

// Builds the groups of `model` into `pipeline`. S_FALSE, with nothing added,
// when a file is not one a plain pipeline plays as the editing services do
// (it lacks its group's kind of stream, or is a still picture). On failure
// nothing is added and the reason is recorded for the result.
HRESULT BuildPlainFrontEnd(const Timeline& model, GstBin* pipeline, PlainFrontEnd* frontEnd);

// Drops the references of a front end (its elements stay in the pipeline).
void ReleasePlainFrontEnd(PlainFrontEnd* frontEnd);

} // namespace orvelin::media
