#include "controls/ImageButton.h"

#include "controls/Resources.h"
#include "controls/Theme.h"
#include "media/SoundPlayer.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <QToolTip>

namespace orvelin {

ImageButton::ImageButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    // Hover tracking needs moves without a button held.
    setMouseTracking(true);
    // Never the dialog's default button: Enter presses the focused button
    // only, as Space does.
    setAutoDefault(false);
    setDefault(false);
    // Connected first, so it runs before the parent's click handler.
    connect(this, &QAbstractButton::clicked, this, &ImageButton::OnClicked);
}

ImageButton::~ImageButton() = default;

void ImageButton::SetIcon(int iconId, int secondIconId) {
    icon_ = iconId ? LoadIconResource(iconId) : QIcon();
    iconSize_ = icon_.isNull() ? 0 : IconResourceSize(iconId);
    secondIcon_ = secondIconId ? LoadIconResource(secondIconId) : QIcon();
    update();
}

void ImageButton::SetSound(const QByteArray& wavData, bool clickSlot, bool async) {
    // Playback runs on a pipeline of its own and never blocks, so `async`
    // changes nothing here.
    Q_UNUSED(async);
    if (clickSlot)
        clickSound_ = wavData;
    else
        hoverSound_ = wavData;
}

void ImageButton::SetTransparent(bool redraw) {
    transparent_ = true;
    DropCachedBackground();
    if (redraw)
        update();
}

int ImageButton::SetCursor(int cursorId, bool redraw) {
    cursor_.reset();
    unsetCursor();
    int result = 0;
    if (cursorId != 0) {
        cursor_ = LoadCursorResource(cursorId);
        if (cursor_)
            setCursor(*cursor_);
        else
            result = 1;
    }
    if (redraw)
        update();
    return result;
}

void ImageButton::SetTooltip(const QString& text, bool activate) {
    tooltip_ = text;
    tooltipActive_ = activate;
    // The plain tip stays readable as the widget's tool tip (screen readers
    // announce it as the description); the wrapped form is shown on demand.
    setToolTip(activate ? text : QString());
}

int ImageButton::SetAlignment(int alignment, bool redraw) {
    if (alignment < 0 || alignment > 3)
        return 4;
    alignment_ = alignment;
    if (redraw)
        update();
    return 0;
}

void ImageButton::DropCachedBackground() {
    cachedBackground_ = QPixmap();
    cachedBackgroundColour_ = QColor();
}

QString ImageButton::WrapTooltip(const QString& text, const QFont& font, int maxWidth) {
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        if (paragraph.isEmpty()) {
            lines << QString();
            continue;
        }
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(maxWidth);
            QString piece = paragraph.mid(line.textStart(), line.textLength());
            while (!piece.isEmpty() && piece.back().isSpace())
                piece.chop(1);
            lines << piece;
        }
        layout.endLayout();
    }
    return lines.join(QLatin1Char('\n'));
}

bool ImageButton::IsPressedLook() const {
    return isDown() || (isCheckable() && isChecked());
}

// ---------------------------------------------------------------- hovering

void ImageButton::StartHover() {
    hovering_ = true;
    update();
    if (!hoverSound_.isEmpty()) {
        ++hoverSoundsStarted_;
        media::PlaySoundAsync(hoverSound_);
    }
}

void ImageButton::LeaveHover() {
    if (!hovering_)
        return;
    hovering_ = false;
    update();
}

void ImageButton::mouseMoveEvent(QMouseEvent* event) {
    QPushButton::mouseMoveEvent(event);
    // A drag that started elsewhere does not light the button up.
    if ((event->buttons() & Qt::LeftButton) && !hovering_)
        return;
    if (!hoverEffects_)
        return;
    const bool over = rect().contains(event->position().toPoint());
    if (over && !hovering_)
        StartHover();
    else if (!over && hovering_)
        LeaveHover();
}

void ImageButton::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    LeaveHover();
}

void ImageButton::focusInEvent(QFocusEvent* event) {
    QPushButton::focusInEvent(event);
    switch (event->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        keyboardFocus_ = true;
        break;
    case Qt::MouseFocusReason:
    case Qt::PopupFocusReason:
        keyboardFocus_ = false;
        break;
    default:
        // The window coming back keeps what the focus was.
        break;
    }
    update();
}

void ImageButton::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    // Another window taking the focus for a while keeps how it was reached.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        keyboardFocus_ = false;
    LeaveHover();
    update();
}

bool ImageButton::ShowsFocusFrame() const {
    return keyboardFocus_ && hasFocus() && isEnabled();
}

void ImageButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second click of a double-click is a click of its own.
    mousePressEvent(event);
}

void ImageButton::OnClicked() {
    setFocus(Qt::MouseFocusReason);
    if (!clickSound_.isEmpty())
        media::PlaySoundAsync(clickSound_);
}

void ImageButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        if (!isEnabled()) {
            // A disabled button must not keep the keyboard focus.
            if (hasFocus() && !focusNextChild() && parentWidget())
                parentWidget()->setFocus(Qt::TabFocusReason);
            LeaveHover();
        }
        break;
    case QEvent::ActivationChange:
        if (!isActiveWindow())
            LeaveHover();
        break;
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        DropCachedBackground();
        update();
        break;
    default:
        break;
    }
}

bool ImageButton::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::ToolTip: {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (tooltipActive_ && !tooltip_.isEmpty())
            QToolTip::showText(help->globalPos(),
                               WrapTooltip(tooltip_, QToolTip::font(), kTooltipMaxWidth), this,
                               rect());
        else
            QToolTip::hideText();
        return true;
    }
    case QEvent::WindowDeactivate:
    case QEvent::Hide:
        LeaveHover();
        break;
    case QEvent::Move:
    case QEvent::Resize:
        // The captured pixels belong to the old place.
        DropCachedBackground();
        break;
    default:
        break;
    }
    return QPushButton::event(event);
}

// ----------------------------------------------------------------- drawing

void ImageButton::CaptureBackground() {
    const qreal ratio = devicePixelRatioF();
    QPixmap pixels(size() * ratio);
    pixels.setDevicePixelRatio(ratio);
    pixels.fill(Qt::transparent);
    QWidget* parent = parentWidget();
    if (parent) {
        // Only the parent itself is drawn (no children), so this button's own
        // painting is never re-entered.
        capturing_ = true;
        parent->render(&pixels, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
        capturing_ = false;
    } else {
        pixels.fill(palette().color(QPalette::Window));
    }
    cachedBackground_ = pixels;
    cachedBackgroundColour_ = AverageColour(pixels.toImage());
}

QColor ImageButton::FaceColour() const {
    if (transparent_ && cachedBackgroundColour_.isValid())
        return cachedBackgroundColour_;
    return palette().color(QPalette::Button);
}

QColor ImageButton::CaptionColour() const {
    // The palette's button text where it reads on the face; on a background
    // picture that does not suit the palette, the window's text colour or one
    // made readable.
    return FirstReadable(
        {palette().color(QPalette::ButtonText), palette().color(QPalette::WindowText)},
        FaceColour());
}

void ImageButton::paintEvent(QPaintEvent* /*event*/) {
    if (capturing_)
        return;
    QPainter painter(this);
    if (transparent_) {
        if (cachedBackground_.isNull())
            CaptureBackground();
        painter.drawPixmap(0, 0, cachedBackground_);
    } else {
        DrawBackground(painter);
    }
    DrawBorder(painter);
    // Not the platform's dotted rectangle: a frame in the button's own flat
    // look, shown only when the focus came from the keyboard.
    if (ShowsFocusFrame())
        DrawFocusFrame(painter);

    QRect captionArea = rect();
    if (!icon_.isNull())
        DrawIcon(painter, captionArea);
    if (!text().isEmpty()) {
        if (IsPressedLook() && !isCheckable())
            captionArea.translate(pressedOffset_);
        DrawCaption(painter, captionArea);
    }
}

void ImageButton::DrawFocusFrame(QPainter& painter) {
    const QColor face = FaceColour();
    const QColor frame = ReadableOn(palette().color(QPalette::Highlight), face, kShapeContrast);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    QColor wash = frame;
    wash.setAlpha(36);
    painter.setPen(QPen(frame, 2.0));
    painter.setBrush(wash);
    painter.drawRoundedRect(QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5), 4.0, 4.0);
    painter.restore();
}

void ImageButton::DrawBackground(QPainter& painter) {
    painter.fillRect(rect(), palette().color(QPalette::Button));
}

void ImageButton::DrawBorder(QPainter& painter) {
    if (!hoverEffects_ || !drawBorder_)
        return;
    const bool pressed = IsPressedLook();
    if (!pressed && !hovering_)
        return;
    const QColor light = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    // Raised: light top and left, shadow bottom and right; sunken: reversed.
    const QColor topLeft = pressed ? shadow : light;
    const QColor bottomRight = pressed ? light : shadow;
    const int right = width() - 1;
    const int bottom = height() - 1;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(topLeft);
    painter.drawLine(0, 0, right, 0);
    painter.drawLine(0, 0, 0, bottom);
    painter.setPen(bottomRight);
    painter.drawLine(0, bottom, right, bottom);
    painter.drawLine(right, 0, right, bottom);
    painter.restore();
}

void ImageButton::DrawIcon(QPainter& painter, QRect& captionArea) {
    const int size = iconSize_;
    const bool hasCaption = !text().isEmpty();
    const int w = width();
    const int h = height();
    QPoint origin;
    switch (alignment_) {
    case 1: // above the caption
        origin.setX((w - size) / 2);
        if (hasCaption) {
            origin.setY(imageMargin_.y());
            captionArea.setTop(captionArea.top() + size);
        } else {
            origin.setY((h - size) / 2);
        }
        break;
    case 3: // below the caption
        origin.setX((w - size) / 2);
        if (hasCaption) {
            origin.setY(h - size - imageMargin_.y());
            captionArea.setBottom(captionArea.bottom() - size);
        } else {
            origin.setY((h - size) / 2);
        }
        break;
    case 2: // right of the caption
        origin.setY((h - size) / 2);
        if (hasCaption) {
            origin.setX(w - size - imageMargin_.x());
            captionArea.setRight(captionArea.right() - size - imageMargin_.x());
        } else {
            origin.setX((w - size) / 2);
        }
        break;
    default: // left of the caption
        origin.setY((h - size) / 2);
        if (hasCaption) {
            origin.setX(imageMargin_.x());
            captionArea.setLeft(captionArea.left() + size + imageMargin_.x());
        } else {
            origin.setX((w - size) / 2);
        }
        break;
    }
    if (IsPressedLook() && !isCheckable())
        origin += pressedOffset_;

    const QIcon& shown =
        (!secondIcon_.isNull() && !hovering_ && !IsPressedLook()) ? secondIcon_ : icon_;
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    shown.paint(&painter, QRect(origin, QSize(size, size)), Qt::AlignCenter, mode);
}

void ImageButton::DrawCaption(QPainter& painter, const QRect& captionArea) {
    int flags = Qt::TextWordWrap | Qt::AlignHCenter | Qt::AlignTop;
    flags |= style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this) ? Qt::TextShowMnemonic
                                                                             : Qt::TextHideMnemonic;
    // Measure the wrapped block, then centre it in the caption area.
    const QRect measured = painter.fontMetrics().boundingRect(captionArea, flags, text());
    const QRect block(captionArea.left(),
                      captionArea.top() + (captionArea.height() - measured.height()) / 2,
                      captionArea.width(), measured.height());
    painter.save();
    if (isEnabled()) {
        painter.setPen(CaptionColour());
        painter.drawText(block, flags, text());
    } else {
        // Embossed: highlight one pixel right and down, shadow in place.
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(block.translated(1, 1), flags, text());
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawText(block, flags, text());
    }
    painter.restore();
}

} // namespace orvelin
