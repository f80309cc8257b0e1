#include "mainwnd/PictureSurface.h"

#include <QPainter>

namespace orvelin {

PictureSurface::PictureSurface(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureSurface::SetBitmap(const QPixmap& bitmap) {
    bitmap_ = bitmap;
    update();
}

void PictureSurface::ClearBitmap() {
    bitmap_ = QPixmap();
    update();
}

void PictureSurface::SetFillColour(const QColor& colour) {
    fill_ = colour;
    update();
}

void PictureSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!bitmap_.isNull())
        painter.drawPixmap(0, 0, bitmap_);
    else
        painter.fillRect(rect(), fill_);
}

} // namespace orvelin
