// The main window's Help, Homepage and About commands.
#include "app/AppContext.h"
#include "app/Installation.h"
#include "app/UiServices.h"
#include "mainwnd/AboutDialog.h"
#include "mainwnd/HelpWindow.h"
#include "mainwnd/MainDialog.h"
#include "mainwnd/ProductInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace orvelin {

namespace {
// The help's folder beside the program and its start page.
constexpr const char* kHelpFolder = "help";
constexpr const char* kHelpStartPage = "Introduction.htm";
} // namespace

void MainDialog::ShowHelp() {
    ShowHelp(QCoreApplication::applicationDirPath());
}

void MainDialog::ShowHelp(const QString& programFolder) {
    if (commandsBlocked_)
        return;
    const QString startPage =
        QString::fromLatin1(kHelpFolder) + '/' + QString::fromLatin1(kHelpStartPage);
    QString page = QDir(programFolder).filePath(startPage);
    // An installed program keeps its help with its other shared files.
    if (!QFileInfo(page).isReadable()) {
        const QString installed = QDir(InstalledDataFolder(programFolder)).filePath(startPage);
        if (QFileInfo(installed).isReadable())
            page = installed;
    }
    if (!help_)
        help_ = new HelpWindow(app_.ui, this);
    // Help reports nothing to the user when it cannot start; the log says why.
    if (!help_->OpenPage(page)) {
        qWarning("help not shown: cannot read %s", qPrintable(page));
        return;
    }
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void MainDialog::OpenHomepage() {
    if (commandsBlocked_)
        return;
    QPointer<MainDialog> self(this);
    app_.ui.OpenUrl(kHomepageAddress, [self](bool opened) {
        if (opened || !self)
            return;
        self->app_.ui.MessageBox(
            self,
            QStringLiteral("Orvelin could not start your web browser to show its "
                           "home page.\nPlease start your web browser yourself and "
                           "enter this address:\n\n%1")
                .arg(kHomepageAddress),
            QStringLiteral("unknown errors"));
    });
}

void MainDialog::OnAbout() {
    if (commandsBlocked_)
        return;
    AboutDialog about(app_.ui, this);
    about.exec();
}

} // namespace orvelin
