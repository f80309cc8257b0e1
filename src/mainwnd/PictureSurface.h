#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace orvelin {

// A small surface bound to a control: draws its bitmap at the top-left
// corner when one is set, otherwise fills the control with its colour
// (black at start).
class PictureSurface : public QWidget {
    Q_OBJECT
public:
    explicit PictureSurface(QWidget* parent = nullptr);

    void SetBitmap(const QPixmap& bitmap);
    void ClearBitmap();
    void SetFillColour(const QColor& colour);
    const QPixmap& Bitmap() const { return bitmap_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap bitmap_;
    QColor fill_ = Qt::black;
};

} // namespace orvelin
