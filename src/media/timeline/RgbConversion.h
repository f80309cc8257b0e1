#pragma once

// The colour conversion between the 4:2:0 pictures the editing services
// compose and the 24-bit RGB of a video group; for the media seam only.
//
// Sums are kept in 14-bit fixed point, so a picture converted to RGB and
// back keeps its luma and chroma (within one step where RGB had to clip).
// Chroma is taken over by the two pixels of a pair on the way to RGB and
// averaged over the 2x2 block on the way back, which is the inverse of it.

#include <cstdint>
#include <vector>

namespace orvelin::media {

struct YuvPlanes {
    uint8_t* y = nullptr;
    int yStride = 0;
    uint8_t* u = nullptr;
    int uStride = 0;
    uint8_t* v = nullptr;
    int vStride = 0;
};

class RgbConversion {
public:
    // `kr` and `kb` are the luma weights of red and blue of the YCbCr matrix
    // (0.299 and 0.114 for BT.601, 0.2126 and 0.0722 for BT.709);
    // `fullRange` takes 0-255 for luma and chroma, else 16-235 and 16-240.
    // `vectorBlocks` false keeps to the row loops that every processor
    // runs (for comparing the two).
    RgbConversion(double kr, double kb, bool fullRange, bool vectorBlocks = true);

    // Converts a `width` x `height` I420 picture into packed RGB (R, G, B
    // bytes), rows `rgbStride` bytes apart. Any size, odd ones included.
    void ToRgb(const YuvPlanes& yuv, uint8_t* rgb, int rgbStride, int width, int height);
    // The other way round.
    void ToI420(const uint8_t* rgb, int rgbStride, const YuvPlanes& yuv, int width, int height);

    struct Coefficients {
        int32_t yOffset, cy, crv, cgu, cgv, cbu;    // to RGB
        int32_t kr, kg, kb, ur, ug, ub, vr, vg, vb; // to YCbCr (chroma of four pixels)
        int32_t yBase, cBase;
    };

private:
    Coefficients c_;
    bool vectorBlocks_;
    std::vector<int32_t> chroma_; // a row of chroma terms, one per pixel
    std::vector<uint8_t> planes_; // two rows of planar R, G and B
};

} // namespace orvelin::media
