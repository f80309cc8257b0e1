#pragma once

#include <QSlider>
#include <cstdint>

namespace orvelin {

// The position slider of the main window. Behaves as a plain horizontal
// slider and raises the application's slider-drag flag while the left mouse
// button is held on it, so that playback does not move the thumb under the
// user's hand. `released` is emitted when the button is let go (the point at
// which the preview seeks).
class SeekSlider : public QSlider {
    Q_OBJECT
public:
    explicit SeekSlider(int32_t* dragFlag, QWidget* parent = nullptr);

signals:
    void captureReleased();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int32_t* dragFlag_;
};

} // namespace orvelin
