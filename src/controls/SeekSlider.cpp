#include "controls/SeekSlider.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

namespace orvelin {

SeekSlider::SeekSlider(int32_t* dragFlag, QWidget* parent)
    : QSlider(Qt::Horizontal, parent), dragFlag_(dragFlag) {
    setTickPosition(QSlider::NoTicks);
    setTracking(true);
}

void SeekSlider::mousePressEvent(QMouseEvent* event) {
    const bool left = event->button() == Qt::LeftButton;
    // Raised before the default handling so that any position update it
    // triggers already sees the flag.
    if (left && dragFlag_)
        *dragFlag_ = 1;
    if (left) {
        // A click on the channel moves the thumb there, as a trackbar does.
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
        if (!handle.contains(event->position().toPoint())) {
            const int span = width() - handle.width();
            const int pos = QStyle::sliderValueFromPosition(
                minimum(), maximum(), static_cast<int>(event->position().x()) - handle.width() / 2,
                span, opt.upsideDown);
            setSliderPosition(pos);
        }
    }
    QSlider::mousePressEvent(event);
    update();
}

void SeekSlider::mouseReleaseEvent(QMouseEvent* event) {
    const bool left = event->button() == Qt::LeftButton;
    if (left && dragFlag_)
        *dragFlag_ = 0;
    QSlider::mouseReleaseEvent(event);
    update();
    if (left)
        emit captureReleased();
}

} // namespace orvelin
