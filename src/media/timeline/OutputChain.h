#pragma once

// The chain from a timeline output to a multiplexer or a default output; for
// the media seam only.

#include "media/encoders/FilterGraphImpl.h"

namespace orvelin::media {

// Links group `group` of the graph through a queue, the converters it needs,
// `compressor` (an element already in the graph, or nullptr) and into a new
// request pad of `mux`; without a multiplexer into the default video or audio
// output. Uncompressed video reaches the multiplexer in the byte order it
// stores (BGR for AVI), uncompressed sound as 16-bit PCM, and a compressor
// gets 4:2:0 pictures when it takes them. On failure the graph is as before
// and the reason is recorded for the result.
HRESULT LinkGroupOutput(FilterGraph::Impl& graph, int32_t group, GstElement* compressor,
                        GstElement* mux);

// Gives a compressor back the picture reordering its user chose, where a
// chain into a container that keeps no presentation order had turned it off,
// and the rate-control settings a job adjusted to make its bit rate hold.
void RestoreReordering(GstElement* compressor);

} // namespace orvelin::media
