#pragma once

// How far the sources of a running graph are read: for each stream a clip
// of the timeline decodes from a file, the end of the last decoded piece and
// the problems its demultiplexer and decoders reported. For the media seam
// only.

#include <gst/gst.h>

#include "media/FilterGraph.h"

#include <memory>
#include <mutex>
#include <vector>

namespace orvelin::media {

// One stream of one clip, watched while the graph runs. The decoding
// element's handlers share it, so it lives as long as the longer of the two.
class WatchedStream {
public:
    WatchedStream(GstElement* decoder, SourceStreamReport report);
    WatchedStream(const WatchedStream&) = delete;
    WatchedStream& operator=(const WatchedStream&) = delete;

    // The element that reads and decodes the clip's file (not held: it lives
    // in the clip, and the handlers it holds keep this object).
    GstElement* Decoder() const { return decoder_; }
    // A decoded piece ending at `end` (running time from the clip's in-point).
    void NoteReached(GstClockTime end);
    void NoteWarning(const QString& text);
    void NoteFramePeriod(GstClockTime period);
    // The time between the last two pictures.
    void NoteSpacing(GstClockTime spacing);
    // The first decoded piece came when the decoders had made `complaints`
    // complaints in all.
    void NoteStarted(int complaints);
    SourceStreamReport Report() const;

private:
    GstElement* decoder_;
    mutable std::mutex mutex_;
    SourceStreamReport report_;
    int complaintsBefore_ = -1;
    int complaintsAfter_ = -1;
    REFERENCE_TIME lastSpacing_ = 0;
};

using WatchedStreams = std::vector<std::shared_ptr<WatchedStream>>;

// Notes in `stream` what comes out of `pad`, a source pad of its decoding
// element.
void WatchDecodedPad(const std::shared_ptr<WatchedStream>& stream, GstPad* pad);

// Starts watching every clip of `timeline` (an editing-services timeline)
// that plays a file; pictures are left out, as one decoded picture stands
// for the whole clip.
WatchedStreams WatchTimelineSources(GstElement* timeline);

// Attributes a warning that `source` posted to the watched stream whose
// decoding element holds it; false when it comes from elsewhere.
bool NoteSourceWarning(const WatchedStreams& streams, GstObject* source, const QString& text);

} // namespace orvelin::media
