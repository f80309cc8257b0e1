#pragma once

#include <cstdint>

namespace orvelin::media {

// Where a source picture lands inside the output frame.
struct PlacementRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const PlacementRect&) const = default;
};

// The rectangle of a source of `width` × `height` stored pixels with pixel
// aspect `parNum`/`parDen` in an output of square pixels, by stretch mode:
//  0 stretch: the whole output;
//  1 crop: the picture at its display size, centred (what sticks out is cut);
//  2 preserve aspect ratio: as large as fits, centred, bars on two sides;
//  3 preserve without bars: as small as covers the output, centred.
// A degenerate source (no size) fills the output.
PlacementRect PlaceSource(int32_t width, int32_t height, int32_t parNum, int32_t parDen,
                          int32_t outputWidth, int32_t outputHeight, int32_t stretchMode);

} // namespace orvelin::media
