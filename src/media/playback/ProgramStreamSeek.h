#pragma once

// Seeks into MPEG program streams that land on the asked picture.
//
// The program stream demultiplexer answers a seek to a place by reading on
// from the pack whose system clock reads that place (plus the file's first
// time stamp). The packs there carry pictures a little after the place, and
// the key picture those depend on lies further back: the decoder then skips
// ahead to the next key picture, half a second or more late. A conversion
// from a marked time starts there, and the preview shows that picture while
// reporting the place asked for.
//
// Asked for an end as well (the timeline always asks for one), it ends its
// streams at once when the seek takes it to the file's first pack, where
// its own place is still unknown: a conversion from the start stopped after
// a few frames.
//
// Watched demultiplexers are asked for a place a little earlier, so that the
// key picture before the place is read, and for no end; the segment they
// then start is moved back to the place asked for and given the end asked
// for, so the decoder drops what comes before the place, and the parsers and
// decoders end the stream at the end. The first segment, which carries no
// place, starts at place 0. For the media seam only.

#include <gst/gst.h>

namespace orvelin::media {

// Watches every program stream demultiplexer that appears inside `bin`
// (a playback pipeline, or a pipeline holding an editing timeline) from now
// on.
void WatchProgramStreamSeeks(GstElement* bin);

} // namespace orvelin::media
