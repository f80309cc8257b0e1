#pragma once

#include <QRect>

namespace orvelin {

// Where the video goes when the preview window covers a screen of
// screenWidth × screenHeight: the video is thought of at ten times its native
// size and brought down to fit, keeping its aspect ratio and centred; a video
// that fits even at ten times its size is shown at that size, centred.
// A video without a size fills the screen.
QRect FullScreenVideoRect(int videoWidth, int videoHeight, int screenWidth, int screenHeight);

// The first place of the preview window: above the main window, from the
// work area's left edge plus 100 and its top plus 5, down to the main
// window's top, four thirds as wide as it is tall from the work area's left.
// The rectangle may come out empty when the main window stands too high.
QRect InitialPreviewRect(const QRect& workArea, const QRect& mainWindow);

} // namespace orvelin
