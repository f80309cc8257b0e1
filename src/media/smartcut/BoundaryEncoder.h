#pragma once

#include "media/smartcut/CutCodec.h"

#include <gst/gst.h>

#include <atomic>
#include <string>
#include <vector>

namespace orvelin::media::smartcut {

// Pictures of the source decoded and encoded again to stand in a copied
// stream: the same codec, profile, level, size, pixel aspect, colour
// description and field order as the source, one keyframe first and no
// reordering.
struct EncodedPart {
    std::vector<GstBuffer*> packets; // in decode order, source timestamps
    GstCaps* caps = nullptr;         // as the encoder's parser gave them
    EncodedPart() = default;
    EncodedPart(const EncodedPart&) = delete;
    EncodedPart& operator=(const EncodedPart&) = delete;
    ~EncodedPart();
};

// Loads the decoder and encoder plugins EncodeRange uses, so that this can
// happen while other work goes on.
void LoadCodecs();

// Encodes the pictures shown from `from` to before `to` (nanoseconds) of
// the first video stream: `pictures` of them, as the source's index counts,
// with `codec`'s encoder for `part`. Gives up when `stop` is set.
bool EncodeRange(const std::string& path, int64_t from, int64_t to, size_t pictures,
                 const CutCodec& codec, Part part, EncodedPart& out, const std::atomic<bool>* stop,
                 std::string& error);

} // namespace orvelin::media::smartcut
