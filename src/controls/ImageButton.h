#pragma once

#include <QByteArray>
#include <QColor>
#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QPoint>
#include <QPushButton>
#include <optional>

namespace orvelin {

// The large command buttons of the main window: an icon above the caption on
// the window's own background, a thin raised frame while hovered and a sunken
// one while pressed, a rounded frame in the selection colour while it has
// the keyboard focus, a hand cursor, a hover sound and a tooltip.
class ImageButton : public QPushButton {
    Q_OBJECT
public:
    // Widest tooltip line in pixels; longer tips are wrapped.
    static constexpr int kTooltipMaxWidth = 400;

    explicit ImageButton(const QString& caption = QString(), QWidget* parent = nullptr);
    ~ImageButton() override;

    // Loads icon resource `iconId` (0 = none) at its own size and redraws.
    // `secondIconId` (0 = none) is shown instead while the pointer is not over
    // the button.
    void SetIcon(int iconId, int secondIconId = 0);
    // Sound for hovering (clickSlot false) or clicking (true); empty clears it.
    // Sounds never block the user interface, so they always play
    // asynchronously whatever `async` asks.
    void SetSound(const QByteArray& wavData, bool clickSlot, bool async);
    // Draws over the parent's background, captured again at the next paint.
    void SetTransparent(bool redraw);
    // Cursor resource shown over the button (0 removes it); 1 when loading fails.
    int SetCursor(int cursorId, bool redraw);
    // The tip shown when the pointer rests on the button; lines wider than
    // kTooltipMaxWidth are wrapped. An inactive tip is kept but not shown.
    void SetTooltip(const QString& text, bool activate);
    // 0 icon left of caption, 1 icon above, 2 icon right, 3 icon below;
    // larger values are refused with result 4.
    int SetAlignment(int alignment, bool redraw);

    bool IsHovering() const { return hovering_; }
    int Alignment() const { return alignment_; }
    QPoint PressedOffset() const { return pressedOffset_; }
    bool HasHoverSound() const { return !hoverSound_.isEmpty(); }
    // How many times hovering started with a hover sound to play.
    int HoverSoundsStarted() const { return hoverSoundsStarted_; }
    QString TooltipText() const { return tooltip_; }
    bool IsTooltipActive() const { return tooltipActive_; }
    QSize IconSize() const { return QSize(iconSize_, iconSize_); }
    // Drops the captured background (done on a system colour change too).
    void DropCachedBackground();
    bool HasCachedBackground() const { return !cachedBackground_.isNull(); }
    // True while the focus frame is shown: the button has the keyboard focus
    // and got it from the keyboard (a click gives focus without the frame).
    bool ShowsFocusFrame() const;
    // The colour the caption is drawn in now (readable on what lies below).
    QColor CaptionColour() const;

    // `text` broken into lines no wider than `maxWidth` pixels in `font`
    // (at word boundaries where possible), joined with '\n'.
    static QString WrapTooltip(const QString& text, const QFont& font, int maxWidth);

protected:
    void paintEvent(QPaintEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

    virtual void DrawBackground(QPainter& painter);
    virtual void DrawBorder(QPainter& painter);
    // Draws the icon and takes its room out of `captionArea`.
    virtual void DrawIcon(QPainter& painter, QRect& captionArea);
    virtual void DrawCaption(QPainter& painter, const QRect& captionArea);
    virtual void DrawFocusFrame(QPainter& painter);

private:
    void StartHover();
    void LeaveHover();
    void CaptureBackground();
    void OnClicked();
    bool IsPressedLook() const;
    // The colour behind the button's face (the captured background's average
    // or the button colour).
    QColor FaceColour() const;

    bool hoverEffects_ = true;
    bool hovering_ = false;
    bool transparent_ = false;
    bool drawBorder_ = true;
    bool capturing_ = false;
    int alignment_ = 0;
    QPoint pressedOffset_{1, 1};
    QPoint imageMargin_{3, 3};
    QIcon icon_;
    QIcon secondIcon_;
    int iconSize_ = 0;
    std::optional<QCursor> cursor_;
    QByteArray hoverSound_;
    QByteArray clickSound_;
    int hoverSoundsStarted_ = 0;
    QString tooltip_;
    bool tooltipActive_ = false;
    QPixmap cachedBackground_;
    QColor cachedBackgroundColour_;
    bool keyboardFocus_ = false;
};

} // namespace orvelin
