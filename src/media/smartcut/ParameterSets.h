#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <vector>

namespace orvelin::media::smartcut {

using Bytes = std::vector<uint8_t>;

// The decoder configuration of an H.264 stream stored as length-prefixed
// NAL units (the "avcC" record of MP4 and Matroska): which parameter sets a
// decoder gets before the first picture.
struct AvcConfig {
    uint8_t profile = 0, compatibility = 0, level = 0;
    int lengthSize = 4;
    std::vector<Bytes> sps, pps;
    Bytes trailer; // the chroma and bit-depth extension of the high profiles

    bool Parse(GstBuffer* codecData);
    GstBuffer* Build() const;
    // Identifiers used by the sequence and picture parameter sets.
    std::vector<int> UsedIds() const;
    // Adds the other record's parameter sets (duplicates once only).
    void Merge(const AvcConfig& other);
};

// Whether an access unit (length-prefixed NAL units) begins a picture that
// needs nothing before it: an IDR picture.
bool IsIdrAccessUnit(GstBuffer* buffer, int lengthSize);

} // namespace orvelin::media::smartcut
