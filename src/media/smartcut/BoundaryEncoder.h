#pragma once

#include "media/smartcut/ParameterSets.h"

#include <gst/gst.h>

#include <string>
#include <vector>

namespace orvelin::media::smartcut {

// Pictures of the source decoded and encoded again to stand in a copied
// stream: the same codec, profile, level, size, pixel aspect, colour
// description and field order as the source, one keyframe first and no
// reordering, with parameter sets under identifiers of their own so that a
// decoder keeps both these and the source's.
struct EncodedPart {
    std::vector<GstBuffer*> packets; // in decode order, source timestamps
    AvcConfig config;
    EncodedPart() = default;
    EncodedPart(const EncodedPart&) = delete;
    EncodedPart& operator=(const EncodedPart&) = delete;
    ~EncodedPart();
};

// Loads the decoder and encoder plugins EncodeRange uses, so that this can
// happen while other work goes on.
void LoadCodecs();

// Encodes the pictures shown from `from` to before `to` (nanoseconds) of
// the first video stream: `pictures` of them, as the source's index counts.
// `sourceCaps` are the source's parsed caps (for profile and level);
// `parameterId` the identifier the new parameter sets take.
bool EncodeRange(const std::string& path, int64_t from, int64_t to, size_t pictures,
                 const GstCaps* sourceCaps, int parameterId, EncodedPart& out, std::string& error);

} // namespace orvelin::media::smartcut
