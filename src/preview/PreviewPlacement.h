#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

namespace orvelin {

// The smallest picture (in pixels, 240 × 180) a place beside the main window
// may shrink the video to before the preview stands over the main window
// instead; a video smaller than that is never shrunk for a place beside it.
constexpr int kSmallestBesidePicture = 240 * 180;

// The preview window's outer rectangle (frame included) for a video to be
// shown at `picture` (the client size), with window decorations `frame`:
// - never beyond `available` (the screen's available area): a picture too
//   large is scaled down, keeping its shape;
// - beside `mainWindow` (its outer rectangle) where the screen has room: the
//   first of right, left, below and above that takes the picture whole, else
//   the side where the picture keeps most of its size (at least
//   kSmallestBesidePicture);
// - otherwise at the screen-filling size where it covers the main window
//   least.
// An empty `mainWindow` (not shown) centres the window in the available area.
QRect PreviewWindowRect(const QRect& available, const QRect& mainWindow, const QSize& picture,
                        const QMargins& frame);

// A window of outer rectangle `outer` brought into `available`: shrunk
// (keeping the client area's shape) when it is larger, then moved in as far
// as needed.
QRect KeptOnScreen(const QRect& available, const QRect& outer, const QMargins& frame);

} // namespace orvelin
