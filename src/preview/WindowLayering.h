#pragma once

class QWidget;

namespace orvelin {

// Puts a top-level window into the always-on-top layer or takes it out,
// without re-creating its native window (a re-created window is hidden
// first, and hiding a dialog ends a modal loop it runs).
void SetTopmost(QWidget* window, bool topmost);
bool IsTopmost(const QWidget* window);

// Hides a top-level window. A dialog running its own modal loop keeps
// running it: the main window is such a dialog, and the preview hides it
// while the video is shown full screen.
void HideWindowKeepingLoop(QWidget* window);

// Shows a top-level window and brings it to the front.
void ShowOnTop(QWidget* window);

} // namespace orvelin
