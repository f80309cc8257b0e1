#include "media/playback/VideoPlacement.h"

#include "media/Timeline.h"

#include <algorithm>
#include <cmath>

namespace orvelin::media {

PlacementRect PlaceSource(int32_t width, int32_t height, int32_t parNum, int32_t parDen,
                          int32_t outputWidth, int32_t outputHeight, int32_t stretchMode) {
    const PlacementRect full{0, 0, outputWidth, outputHeight};
    if (width <= 0 || height <= 0 || outputWidth <= 0 || outputHeight <= 0 ||
        stretchMode == RESIZEF_STRETCH)
        return full;
    if (parNum <= 0 || parDen <= 0)
        parNum = parDen = 1;

    // The display size of the source in square pixels.
    const double displayWidth = static_cast<double>(width) * parNum / parDen;
    const double displayHeight = height;
    double w = displayWidth;
    double h = displayHeight;
    if (stretchMode != RESIZEF_CROP) {
        const double sx = outputWidth / displayWidth;
        const double sy = outputHeight / displayHeight;
        const double scale = stretchMode == RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX
                                 ? std::max(sx, sy)
                                 : std::min(sx, sy);
        w = displayWidth * scale;
        h = displayHeight * scale;
    }
    PlacementRect rect;
    rect.width = std::max<int32_t>(1, static_cast<int32_t>(std::lround(w)));
    rect.height = std::max<int32_t>(1, static_cast<int32_t>(std::lround(h)));
    // A side within a pixel of the output is the output's side.
    if (std::abs(rect.width - outputWidth) <= 1 && stretchMode != RESIZEF_CROP)
        rect.width = outputWidth;
    if (std::abs(rect.height - outputHeight) <= 1 && stretchMode != RESIZEF_CROP)
        rect.height = outputHeight;
    rect.x = (outputWidth - rect.width) / 2;
    rect.y = (outputHeight - rect.height) / 2;
    return rect;
}

} // namespace orvelin::media
