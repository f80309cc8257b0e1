#include "preview/FullScreenPlacement.h"

namespace orvelin {

QRect FullScreenVideoRect(int videoWidth, int videoHeight, int screenWidth, int screenHeight) {
    const int cx = screenWidth;
    const int cy = screenHeight;
    if (videoWidth <= 0 || videoHeight <= 0)
        return QRect(0, 0, cx, cy);

    const int W = 10 * videoWidth;
    const int H = 10 * videoHeight;
    // Single precision on purpose: the rounding of these decides the last
    // pixel of the placement.
    const float a = static_cast<float>(W) / static_cast<float>(H);
    const float sx = static_cast<float>(cx) / static_cast<float>(W);
    const float sy = static_cast<float>(cy) / static_cast<float>(H);

    auto fillWidth = [&] {
        const int g = (cy - static_cast<int>(static_cast<float>(cx) / a)) / 2;
        return QRect(0, g, cx, cy - 2 * g);
    };
    auto fillHeight = [&] {
        const int f = (cx - static_cast<int>(static_cast<float>(cy) * a)) / 2;
        return QRect(f, 0, cx - 2 * f, cy);
    };

    if (W <= cx && H <= cy)
        return QRect((cx - W) / 2, (cy - H) / 2, W, H);
    if (W > cx && H <= cy)
        return fillWidth();
    if (W <= cx && H > cy)
        return fillHeight();
    return sx < sy ? fillWidth() : fillHeight();
}

} // namespace orvelin
