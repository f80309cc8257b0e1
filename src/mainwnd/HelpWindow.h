#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

class QTextBrowser;
class QToolButton;

namespace orvelin {

class UiServices;

// The program's help: its own HTML pages in a window with Back, Forward and
// Contents. Links between the pages open here; web addresses open in the
// user's browser through the UI services. The pages open in the program's
// own window rather than the browser because that always works: also with no
// browser installed or registered, or one that a sandbox keeps from reading
// local files, and Back and Forward stay within the program's pages.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    HelpWindow(UiServices& ui, QWidget* parent = nullptr);

    // Shows `page` (a local file); false when it cannot be read.
    bool OpenPage(const QString& page);
    QUrl CurrentPage() const;
    QTextBrowser* Browser() const { return browser_; }
    QToolButton* BackButton() const { return back_; }
    QToolButton* ForwardButton() const { return forward_; }
    QToolButton* ContentsButton() const { return contents_; }

private:
    void FollowLink(const QUrl& link);
    void UpdateTitle();

    UiServices& ui_;
    QTextBrowser* browser_ = nullptr;
    QToolButton* back_ = nullptr;
    QToolButton* forward_ = nullptr;
    QToolButton* contents_ = nullptr;
    QUrl startPage_;
};

} // namespace orvelin
