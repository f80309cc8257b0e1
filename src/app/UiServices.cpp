#include "app/UiServices.h"

#include "app/BrowserAssociation.h"
#include "app/UrlOpener.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace orvelin {

QString ApplicationName() {
    return QStringLiteral("orvelin");
}

int UiServices::FrameworkMessageBox(QWidget* owner, const QString& text, MsgButtons buttons,
                                    MsgIcon icon) {
    return MessageBox(owner, text, ApplicationName(), buttons, icon);
}

namespace {
QMessageBox::StandardButtons standardButtons(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::Ok:
        return QMessageBox::Ok;
    case MsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgButtons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon messageIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

int resultCode(int button, MsgButtons buttons) {
    switch (button) {
    case QMessageBox::Ok:
        return IdOk;
    case QMessageBox::Yes:
        return IdYes;
    case QMessageBox::No:
        return IdNo;
    case QMessageBox::Retry:
        return IdRetry;
    default:
        // Closing the box with Escape or its close button.
        return buttons == MsgButtons::Ok ? IdOk : buttons == MsgButtons::YesNo ? IdNo : IdCancel;
    }
}

// Qt filter entries "text (patterns)"; the dialog hides the pattern part so
// the user sees the text as it stands.
QStringList qtFilters(const QList<FileFilter>& filters) {
    QStringList out;
    for (const FileFilter& f : filters) {
        QStringList patterns = f.pattern.split(';', Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
        }
        out << f.text + " (" + patterns.join(' ') + ")";
    }
    return out;
}

std::optional<QString> runFileDialog(const FileDialogRequest& r, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(r.owner, r.title, r.startFolder);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    const QStringList filters = qtFilters(r.filters);
    dialog.setNameFilters(filters);
    if (r.selectedFilter >= 0 && r.selectedFilter < filters.size())
        dialog.selectNameFilter(filters[r.selectedFilter]);
    if (!r.fileName.isEmpty())
        dialog.selectFile(r.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}
} // namespace

int QtUiServices::MessageBox(QWidget* owner, const QString& text, const QString& caption,
                             MsgButtons buttons, MsgIcon icon) {
    QMessageBox box(messageIcon(icon), caption, text, standardButtons(buttons), owner);
    return resultCode(box.exec(), buttons);
}

std::optional<QString> QtUiServices::OpenFileName(const FileDialogRequest& r) {
    return runFileDialog(r, QFileDialog::AcceptOpen);
}

std::optional<QString> QtUiServices::SaveFileName(const FileDialogRequest& r) {
    return runFileDialog(r, QFileDialog::AcceptSave);
}

std::optional<QFont> QtUiServices::ChooseFont(QWidget* owner, const QFont& initial) {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, owner);
    if (!ok)
        return std::nullopt;
    return font;
}

void QtUiServices::OpenUrl(const QString& url, std::function<void(bool opened)> done) {
    // QDesktopServices::openUrl answers as soon as the opener has started;
    // whether anything opened is told by the opener's exit.
    OpenWithDesktopOpener(QUrl::fromUserInput(url), std::move(done));
}

bool QtUiServices::StartProcess(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

QString QtUiServices::HtmlAssociationCommand() {
    return DefaultBrowserExecLine();
}

} // namespace orvelin
