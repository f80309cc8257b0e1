#include "preview/WindowLayering.h"

#include <QDialog>
#include <QWidget>
#include <QWindow>

namespace orvelin {

void SetTopmost(QWidget* window, bool topmost) {
    if (!window)
        return;
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
    if (flags == window->windowFlags())
        return;
    // setWindowFlags would re-create (and so hide) a shown window; the
    // window system is told directly instead.
    window->overrideWindowFlags(flags);
    if (QWindow* handle = window->windowHandle())
        handle->setFlags(flags);
}

bool IsTopmost(const QWidget* window) {
    return window && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void HideWindowKeepingLoop(QWidget* window) {
    if (!window)
        return;
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->QWidget::setVisible(false); // QDialog's own hide quits exec()
    else
        window->hide();
}

void ShowOnTop(QWidget* window) {
    if (!window)
        return;
    window->show();
    window->raise();
}

} // namespace orvelin
