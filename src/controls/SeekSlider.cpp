#include "controls/SeekSlider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <optional>

namespace orvelin {

namespace {

// The move a key asks for, with the slider's own key conventions: Right and
// Up go on (Left on a right-to-left layout), Page Up goes on a page.
std::optional<SeekSlider::KeyMove> MoveOfKey(const QKeyEvent* event, bool rightToLeft) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::NoModifier)
        return std::nullopt;
    using Move = SeekSlider::KeyMove;
    switch (event->key()) {
    case Qt::Key_Left:
        return rightToLeft ? Move::Forward : Move::Back;
    case Qt::Key_Right:
        return rightToLeft ? Move::Back : Move::Forward;
    case Qt::Key_Up:
        return Move::Forward;
    case Qt::Key_Down:
        return Move::Back;
    case Qt::Key_PageUp:
        return Move::PageForward;
    case Qt::Key_PageDown:
        return Move::PageBack;
    case Qt::Key_Home:
        return Move::Start;
    case Qt::Key_End:
        return Move::End;
    default:
        return std::nullopt;
    }
}

} // namespace

SeekSlider::SeekSlider(int32_t* dragFlag, QWidget* parent)
    : QSlider(Qt::Horizontal, parent), dragFlag_(dragFlag) {
    setTickPosition(QSlider::NoTicks);
    setTracking(true);
}

void SeekSlider::UpdateFlag() {
    if (dragFlag_)
        *dragFlag_ = (mouseHeld_ || keyHeld_) ? 1 : 0;
}

void SeekSlider::mousePressEvent(QMouseEvent* event) {
    const bool left = event->button() == Qt::LeftButton;
    // Raised before the default handling so that any position update it
    // triggers already sees the flag.
    if (left) {
        mouseHeld_ = true;
        UpdateFlag();
    }
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
    if (left) {
        mouseHeld_ = false;
        UpdateFlag();
    }
    QSlider::mouseReleaseEvent(event);
    update();
    if (left)
        emit captureReleased();
}

void SeekSlider::keyPressEvent(QKeyEvent* event) {
    const std::optional<KeyMove> move = MoveOfKey(event, isRightToLeft());
    if (!move) {
        QSlider::keyPressEvent(event);
        return;
    }
    event->accept();
    // Up from the first press until the key is let go, repeats included:
    // the periodic position update must not pull the thumb back meanwhile.
    keyHeld_ = true;
    UpdateFlag();
    emit keyMove(*move);
}

void SeekSlider::keyReleaseEvent(QKeyEvent* event) {
    if (!MoveOfKey(event, isRightToLeft())) {
        QSlider::keyReleaseEvent(event);
        return;
    }
    event->accept();
    // A held key repeats as press and release pairs marked auto-repeat.
    if (!event->isAutoRepeat()) {
        keyHeld_ = false;
        UpdateFlag();
    }
}

void SeekSlider::focusOutEvent(QFocusEvent* event) {
    // The release of a key held while the focus left never comes here.
    if (keyHeld_) {
        keyHeld_ = false;
        UpdateFlag();
    }
    QSlider::focusOutEvent(event);
}

} // namespace orvelin
