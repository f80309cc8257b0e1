#pragma once

#include <QSlider>
#include <cstdint>

namespace orvelin {

// The position slider of the main window. Behaves as a plain horizontal
// slider and raises the application's slider-drag flag while the left mouse
// button or a moving key is held on it, so that playback does not move the
// thumb under the user's hand. `captureReleased` is emitted when the button
// is let go (the point at which the preview seeks). The moving keys do not
// move the thumb by the slider's own steps: they are reported as `keyMove`,
// and the owner seeks by time and sets the thumb.
class SeekSlider : public QSlider {
    Q_OBJECT
public:
    enum class KeyMove { Back, Forward, PageBack, PageForward, Start, End };
    Q_ENUM(KeyMove)

    explicit SeekSlider(int32_t* dragFlag, QWidget* parent = nullptr);

    bool KeyHeld() const { return keyHeld_; }

signals:
    void captureReleased();
    void keyMove(orvelin::SeekSlider::KeyMove move);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void UpdateFlag();

    int32_t* dragFlag_;
    bool mouseHeld_ = false;
    bool keyHeld_ = false;
};

} // namespace orvelin
