#include "mainwnd/HelpWindow.h"

#include "app/UiServices.h"
#include "controls/ThemedTextBrowser.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

namespace orvelin {

HelpWindow::HelpWindow(UiServices& ui, QWidget* parent) : QWidget(parent, Qt::Window), ui_(ui) {
    setWindowTitle(QStringLiteral("Orvelin Help"));
    resize(720, 560);

    auto makeButton = [this](const QString& text, QStyle::StandardPixmap icon) {
        auto* button = new QToolButton(this);
        button->setText(text);
        button->setIcon(style()->standardIcon(icon));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        return button;
    };
    back_ = makeButton(QStringLiteral("Back"), QStyle::SP_ArrowBack);
    forward_ = makeButton(QStringLiteral("Forward"), QStyle::SP_ArrowForward);
    contents_ = makeButton(QStringLiteral("Contents"), QStyle::SP_DirHomeIcon);
    back_->setShortcut(QKeySequence::Back);
    forward_->setShortcut(QKeySequence::Forward);

    // Pages in colours of the palette (a dark style sheet on a dark theme).
    browser_ = new ThemedTextBrowser(this);
    // Every link comes through FollowLink, so web addresses leave the window.
    browser_->setOpenLinks(false);
    browser_->setOpenExternalLinks(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back_);
    buttons->addWidget(forward_);
    buttons->addWidget(contents_);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(buttons);
    layout->addWidget(browser_, 1);

    back_->setEnabled(false);
    forward_->setEnabled(false);
    connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(contents_, &QToolButton::clicked, this, [this] {
        if (startPage_.isValid())
            browser_->setSource(startPage_);
    });
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::FollowLink);
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::UpdateTitle);
}

bool HelpWindow::OpenPage(const QString& page) {
    const QFileInfo info(page);
    if (!info.isFile() || !info.isReadable())
        return false;
    startPage_ = QUrl::fromLocalFile(info.absoluteFilePath());
    browser_->clearHistory();
    browser_->setSource(startPage_);
    return true;
}

QUrl HelpWindow::CurrentPage() const {
    return browser_->source();
}

void HelpWindow::FollowLink(const QUrl& link) {
    const QUrl target = browser_->source().resolved(link);
    if (target.isLocalFile()) {
        const QFileInfo info(target.toLocalFile());
        if (info.isFile() && info.isReadable()) {
            browser_->setSource(target);
            return;
        }
        // A page missing from the help folder: stay where the user is.
        qWarning("help page missing: %s", qPrintable(target.toLocalFile()));
        return;
    }
    ui_.OpenUrl(target.toString());
}

void HelpWindow::UpdateTitle() {
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Orvelin Help")
                                   : QStringLiteral("Orvelin Help - ") + title);
}

} // namespace orvelin
