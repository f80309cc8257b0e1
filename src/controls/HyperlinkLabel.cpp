#include "controls/HyperlinkLabel.h"

#include "app/UiServices.h"
#include "controls/Theme.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <array>
#include <utility>

namespace orvelin {

// What screen readers see of the label: a link, named by its text (or by an
// accessible name given to it), described by its target, that can be
// pressed.
class HyperlinkLabelAccessible : public QAccessibleWidget {
public:
    explicit HyperlinkLabelAccessible(HyperlinkLabel* label)
        : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override {
        const auto* label = static_cast<const HyperlinkLabel*>(widget());
        switch (t) {
        case QAccessible::Name:
            return label->accessibleName().isEmpty() ? label->text() : label->accessibleName();
        case QAccessible::Value:
            return label->URL();
        case QAccessible::Description:
            return label->accessibleDescription().isEmpty() ? label->URL()
                                                            : label->accessibleDescription();
        default:
            return QAccessibleWidget::text(t);
        }
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.linked = true;
        s.traversed = static_cast<const HyperlinkLabel*>(widget())->IsVisited();
        return s;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && widget()->isEnabled())
            static_cast<HyperlinkLabel*>(widget())->OnClicked();
    }

private:
    static QAccessibleInterface* Create(const QString&, QObject* object) {
        auto* label = qobject_cast<HyperlinkLabel*>(object);
        return label ? new HyperlinkLabelAccessible(label) : nullptr;
    }

public:
    static void Install() {
        static const bool installed = [] {
            QAccessible::installFactory(&HyperlinkLabelAccessible::Create);
            return true;
        }();
        (void)installed;
    }
};

HyperlinkLabel::HyperlinkLabel(UiServices& ui, const QString& text, QWidget* parent)
    : QLabel(text, parent), ui_(ui) {
    HyperlinkLabelAccessible::Install();
    // A plain static text: top-left, no rich text, no frame.
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMouseTracking(true);
    // Keyboard users reach it with Tab, as they reach a button.
    setFocusPolicy(Qt::StrongFocus);
    hoverTimer_.setInterval(kHoverIntervalMs);
    connect(&hoverTimer_, &QTimer::timeout, this, &HyperlinkLabel::CheckPointer);
}

HyperlinkLabel::~HyperlinkLabel() {
    hoverTimer_.stop();
}

void HyperlinkLabel::Attach() {
    if (url_.isEmpty())
        url_ = text();
    if (text().isEmpty())
        setText(url_);
    TakeFonts(font());
    // The background is the dialog's own face colour.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    attached_ = true;
    PositionWindow();
    setCursor(Qt::PointingHandCursor);
    underlineMode_ = kUnderlineHover;
    UpdateLook();
    setToolTip(url_);
}

void HyperlinkLabel::TakeFonts(const QFont& base) {
    normalFont_ = base;
    normalFont_.setUnderline(false);
    underlineFont_ = base;
    underlineFont_.setUnderline(true);
}

void HyperlinkLabel::SetURL(const QString& url) {
    url_ = url;
    if (attached_) {
        PositionWindow();
        setToolTip(url_);
    }
}

void HyperlinkLabel::SetUnderline(int mode) {
    if (mode != kUnderlineAlways && mode != kUnderlineNever)
        mode = kUnderlineHover;
    const bool changed = mode != underlineMode_;
    underlineMode_ = mode;
    if (changed && attached_)
        UpdateLook();
}

void HyperlinkLabel::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    if (autoSize_)
        PositionWindow();
}

void HyperlinkLabel::SetColours(const QColor& link, const QColor& visited, const QColor& hover) {
    linkColour_ = link;
    visitedColour_ = visited;
    hoverColour_ = hover;
    if (attached_)
        UpdateLook();
}

namespace {
// The link colours are made for a light window; on a dark one they are
// lightened until they read.
QColor ShownColour(const QColor& colour, const QPalette& palette) {
    return IsDarkPalette(palette) ? ReadableOn(colour, palette.color(QPalette::Window)) : colour;
}
} // namespace

QColor HyperlinkLabel::CurrentColour() const {
    if (hovering_)
        return hoverColour_;
    return visited_ ? visitedColour_ : linkColour_;
}

void HyperlinkLabel::UpdateLook() {
    const bool underlined =
        underlineMode_ == kUnderlineAlways || (underlineMode_ == kUnderlineHover && hovering_);
    settingFont_ = true;
    setFont(underlined ? underlineFont_ : normalFont_);
    settingFont_ = false;
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, ShownColour(CurrentColour(), colours));
    setPalette(colours);
    update();
}

void HyperlinkLabel::PositionWindow() {
    if (!attached_ || !autoSize_)
        return;
    const QRect outer = geometry();
    const QRect client = contentsRect();
    const QSize textSize = QFontMetrics(underlineFont_).size(0, text());
    const int neededHeight = textSize.height() + (outer.height() - client.height());
    const int neededWidth = textSize.width() + (outer.width() - client.width());

    QRect r = outer;
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignVCenter) {
        const int shrink = (r.height() - neededHeight) / 2;
        r.setTop(r.top() + shrink);
        r.setBottom(r.bottom() - shrink);
    } else {
        r.setHeight(neededHeight);
    }
    if (align & Qt::AlignHCenter) {
        const int shrink = (r.width() - neededWidth) / 2;
        r.setLeft(r.left() + shrink);
        r.setRight(r.right() - shrink);
    } else if (align & Qt::AlignRight) {
        r.setLeft(r.right() + 1 - neededWidth);
    } else {
        r.setWidth(neededWidth);
    }
    setGeometry(r);
}

// ---------------------------------------------------------------- hovering

void HyperlinkLabel::mouseMoveEvent(QMouseEvent* event) {
    if (!hovering_) {
        hovering_ = true;
        UpdateLook();
        hoverTimer_.start();
    }
    QLabel::mouseMoveEvent(event);
}

void HyperlinkLabel::CheckPointer() {
    if (!rect().contains(mapFromGlobal(QCursor::pos())))
        StopHovering();
}

void HyperlinkLabel::StopHovering() {
    hoverTimer_.stop();
    if (!hovering_)
        return;
    hovering_ = false;
    UpdateLook();
}

void HyperlinkLabel::leaveEvent(QEvent* event) {
    // The toolkit tells when the pointer leaves; the timer stays as a guard
    // for pointers that leave without such a notice.
    StopHovering();
    QLabel::leaveEvent(event);
}

void HyperlinkLabel::hideEvent(QHideEvent* event) {
    StopHovering();
    QLabel::hideEvent(event);
}

void HyperlinkLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    // A font given from outside (a language's dialog font) becomes the new
    // base of both fonts; the underline follows the mode as before.
    if (event->type() == QEvent::FontChange && attached_ && !settingFont_) {
        TakeFonts(font());
        UpdateLook();
        PositionWindow();
    }
    // A new palette (a dark theme) may need other link colours.
    if (event->type() == QEvent::PaletteChange && attached_ &&
        palette().color(QPalette::WindowText) != ShownColour(CurrentColour(), palette()))
        UpdateLook();
}

// --------------------------------------------------------------- keyboard

void HyperlinkLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        // Enter opens the link rather than pressing the dialog's default
        // button; a held key opens it once.
        event->accept();
        if (!event->isAutoRepeat())
            OnClicked();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void HyperlinkLabel::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    update();
}

void HyperlinkLabel::focusOutEvent(QFocusEvent* event) {
    QLabel::focusOutEvent(event);
    update();
}

void HyperlinkLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    // The focus frame round the text, as buttons and check boxes show it.
    QPainter painter(this);
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    frame.backgroundColor = palette().color(QPalette::Window);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
}

// ------------------------------------------------------------------ click

void HyperlinkLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void HyperlinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        OnClicked();
}

void HyperlinkLabel::OnClicked() {
    hovering_ = false;
    UpdateLook();
    // The outcome comes once the desktop has answered; the label may be gone
    // by then.
    QPointer<HyperlinkLabel> self(this);
    GotoURL(url_, [self](int result) {
        if (!self)
            return;
        self->visited_ = result > 32;
        self->UpdateLook();
        if (!self->visited_) {
            QApplication::beep();
            self->ReportLinkError(result);
        }
    });
}

QString HyperlinkLabel::CutAtPlaceholder(const QString& registered) {
    static const std::array<QString, 5> placeholders{"%u", "%U", "%f", "%F", "%1"};
    auto earliest = [&](bool quoted) -> qsizetype {
        qsizetype best = -1;
        for (const QString& p : placeholders) {
            const QString needle = quoted ? '"' + p + '"' : p;
            const qsizetype at = registered.indexOf(needle);
            if (at >= 0 && (best < 0 || at < best))
                best = at;
        }
        return best;
    };
    qsizetype cut = earliest(true);
    if (cut < 0)
        cut = earliest(false);
    return cut < 0 ? registered : registered.left(cut);
}

QString HyperlinkLabel::BrowserCommandLine(const QString& registered, const QString& target) {
    return CutAtPlaceholder(registered) + ' ' + target;
}

void HyperlinkLabel::GotoURL(const QString& url, std::function<void(int result)> done) {
    UiServices* ui = &ui_;
    ui->OpenUrl(url, [ui, url, done = std::move(done)](bool opened) {
        if (opened) {
            done(kOpened);
            return;
        }
        // The desktop could not open it: nothing handles the address.
        const int shellResult = kNoAssociation;
        const QString registered = ui->HtmlAssociationCommand();
        if (registered.trimmed().isEmpty()) {
            done(shellResult);
            return;
        }
        // The target is passed as one argument of its own, so an address
        // with blanks or quotes stays whole.
        QStringList parts = QProcess::splitCommand(CutAtPlaceholder(registered));
        if (parts.isEmpty()) {
            done(kFileNotFound);
            return;
        }
        const QString program = parts.takeFirst();
        parts << url;
        done(ui->StartProcess(program, parts) ? kOpened : kFileNotFound);
    });
}

QString HyperlinkLabel::LinkErrorMessage(int result) {
    static const std::pair<int, const char*> texts[] = {
        {0, "The operating system is out\nof memory or resources."},
        {2, "The specified file was not found."},
        {3, "The specified path was not found."},
        {5, "The operating system denied\naccess to the specified file."},
        {8, "There was not enough memory to complete the operation."},
        {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
        {26, "A sharing violation occurred. "},
        {27, "The filename association is\nincomplete or invalid."},
        {28, "The DDE transaction could not\nbe completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30, "The DDE transaction could not\nbe completed because other DDE "
             "transactions\nwere being processed."},
        {31, "There is no application associated\nwith the given filename extension."},
        {32, "The specified dynamic-link library was not found."},
    };
    QString reason = QStringLiteral("Unknown Error (%1) occurred.").arg(result);
    for (const auto& [number, text] : texts) {
        if (number == result) {
            reason = QString::fromUtf8(text);
            break;
        }
    }
    return QStringLiteral("Unable to open hyperlink:\n\n") + reason;
}

void HyperlinkLabel::ReportLinkError(int result) {
    ui_.FrameworkMessageBox(window(), LinkErrorMessage(result), MsgButtons::Ok, MsgIcon::Warning);
}

} // namespace orvelin
