#pragma once

#include <QRect>

namespace orvelin {

// Where the video goes when the preview window covers a screen of
// screenWidth × screenHeight: the video is thought of at ten times its native
// size and brought down to fit, keeping its aspect ratio and centred; a video
// that fits even at ten times its size is shown at that size, centred.
// A video without a size fills the screen.
QRect FullScreenVideoRect(int videoWidth, int videoHeight, int screenWidth, int screenHeight);

} // namespace orvelin
