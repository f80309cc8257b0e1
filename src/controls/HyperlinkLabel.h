#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QTimer>
#include <functional>

namespace orvelin {

class UiServices;

// A static text that is a web link: drawn in link colours, underlined while
// the pointer is over it (or always, or never), with a pointing-hand cursor
// and the target as tooltip. A click opens the target in the web browser;
// when that fails the application registered for web pages is started, and
// when everything fails the user hears a beep and reads why. It takes the
// keyboard focus with Tab (drawn with the style's focus frame) and opens on
// Enter or Space; screen readers see a link named by its text.
class HyperlinkLabel : public QLabel {
    Q_OBJECT
public:
    // Results of GotoURL, numbered as the shell's open results: above 32 is
    // success, the others are failure codes that ReportLinkError explains.
    static constexpr int kOpened = 33;
    static constexpr int kFileNotFound = 2;
    static constexpr int kNoAssociation = 31;
    // How often the pointer is checked while hovering.
    static constexpr int kHoverIntervalMs = 100;

    // Underline modes.
    static constexpr int kUnderlineAlways = 1;
    static constexpr int kUnderlineNever = 0;
    static constexpr int kUnderlineHover = -1;

    explicit HyperlinkLabel(UiServices& ui, const QString& text = QString(),
                            QWidget* parent = nullptr);
    ~HyperlinkLabel() override;

    // Turns the placed label into a link: an empty target becomes the text,
    // an empty text shows the target; fonts, size, underline mode (back to
    // hover-only) and tooltip are set up. Call once its geometry is set.
    void Attach();
    bool IsAttached() const { return attached_; }

    void SetURL(const QString& url);
    QString URL() const { return url_; }
    void SetUnderline(int mode);
    int Underline() const { return underlineMode_; }
    void SetAutoSize(bool autoSize);
    void SetColours(const QColor& link, const QColor& visited, const QColor& hover);
    QColor LinkColour() const { return linkColour_; }
    QColor VisitedColour() const { return visitedColour_; }
    QColor HoverColour() const { return hoverColour_; }
    // The colour the text is drawn in now.
    QColor CurrentColour() const;
    bool IsHovering() const { return hovering_; }
    bool IsVisited() const { return visited_; }
    bool IsUnderlined() const { return font().underline(); }

    // Fits the label to its text (measured with the underlined font): keeps
    // the top, or the vertical centre for AlignVCenter; keeps the left edge,
    // the horizontal centre for AlignHCenter or the right edge for AlignRight.
    void PositionWindow();

    // Opens `url` and tells `done` kOpened or a failure code, once the
    // desktop has answered (at once or later from the event loop).
    void GotoURL(const QString& url, std::function<void(int result)> done);
    void ReportLinkError(int result);
    // "Unable to open hyperlink:\n\n" and the explanation of `result`.
    static QString LinkErrorMessage(int result);
    // The registered command line cut at its placeholder ("%u", "%U", "%f",
    // "%F" or "%1", the quoted form first), a blank and the target.
    static QString BrowserCommandLine(const QString& registered, const QString& target);
    // The part of the registered command line before its placeholder.
    static QString CutAtPlaceholder(const QString& registered);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    friend class HyperlinkLabelAccessible;
    void OnClicked();
    void CheckPointer();
    void StopHovering();
    void UpdateLook();
    void TakeFonts(const QFont& base);

    UiServices& ui_;
    QColor linkColour_{0, 0, 238};
    QColor visitedColour_{85, 26, 139};
    QColor hoverColour_{255, 0, 0};
    bool hovering_ = false;
    bool visited_ = false;
    int underlineMode_ = kUnderlineHover;
    bool autoSize_ = true;
    bool attached_ = false;
    bool pressed_ = false;
    bool settingFont_ = false;
    QString url_;
    QFont normalFont_;
    QFont underlineFont_;
    QTimer hoverTimer_;
};

} // namespace orvelin
