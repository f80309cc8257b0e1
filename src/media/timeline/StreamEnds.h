#pragma once

// Keeps the sound of a conversion ending where its picture ends; for the
// media seam only.
//
// A file's sound may stop before its picture (a recording whose sound
// track is shorter): the rest is filled with silence up to the end of the
// timeline. When the user stops a conversion, the sound chain has run
// ahead of the picture by what its queue and encoder hold (up to a second
// or more): the sound is cut where the last picture that went into the
// video chain ends, or filled with silence up to there.

#include "media/encoders/FilterGraphImpl.h"

#include <gst/gst.h>

#include <memory>
#include <mutex>

namespace orvelin::media {

class StreamEnds : public std::enable_shared_from_this<StreamEnds> {
public:
    // Watches the pictures leaving the timeline at `source`.
    void WatchVideo(GstPad* source);
    // Watches the sound entering its chain at `head` (the queue's input)
    // and leaving the queue at `queued`; `plannedEnd` is the running time at
    // which the timeline ends. `lead` is the silence the encoder puts before
    // the sound (its delay): that much of the sound's start is left out and
    // the rest comes earlier by as much, so that it is heard with its picture.
    void WatchSound(GstPad* head, GstPad* queued, GstClockTime plannedEnd, GstClockTime lead);
    // The conversion is being stopped: no further picture enters its chain,
    // and the sound ends with the last one that did.
    void Cut();

private:
    static GstPadProbeReturn OnVideo(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static GstPadProbeReturn OnSoundIn(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static GstPadProbeReturn OnSoundQueued(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    // Where the sound should end; GST_CLOCK_TIME_NONE for where it ends.
    GstClockTime SoundEnd() const; // with the mutex held
    void FillSilence(GstPad* head);

    mutable std::mutex mutex_;
    bool video_ = false;
    bool cut_ = false;
    GstClockTime videoEnd_ = 0; // running time past the last picture
    GstClockTime cutAt_ = GST_CLOCK_TIME_NONE;
    GstClockTime plannedEnd_ = GST_CLOCK_TIME_NONE;
    GstClockTime lead_ = 0;
    GstClockTime soundEnd_ = GST_CLOCK_TIME_NONE; // running time past the last sound in
};

// Watches the chain just linked to `branch` (whose first element is
// `queue`, and whose encoder is `encoder` or none) so that the sound written
// starts and ends with the picture.
void WatchStreamEnds(FilterGraph::Impl& graph, const GraphBranch& branch, GstElement* queue,
                     GstElement* encoder);

// The silence an encoder of sound puts before what it is given (its
// priming), as decoders play it: 0 for encoders without one or whose
// containers tell the decoder to skip it.
GstClockTime EncoderLead(GstElement* encoder);

} // namespace orvelin::media
