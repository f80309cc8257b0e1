#include "app/UiServices.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace orvelin {

QString ApplicationName() { return QStringLiteral("orvelin"); }

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

QString joinFilters(const QStringList& filters) { return filters.join(QStringLiteral(";;")); }
} // namespace

int QtUiServices::MessageBox(QWidget* owner, const QString& text, const QString& caption,
                             MsgButtons buttons, MsgIcon icon) {
    QMessageBox box(messageIcon(icon), caption, text, standardButtons(buttons), owner);
    return resultCode(box.exec(), buttons);
}

std::optional<QString> QtUiServices::OpenFileName(const FileDialogRequest& r) {
    QString selected = r.filters.value(r.selectedFilter);
    QString start = r.startFolder;
    if (!r.fileName.isEmpty())
        start = QFileInfo(QDir(r.startFolder), r.fileName).filePath();
    const QString name =
        QFileDialog::getOpenFileName(r.owner, r.title, start, joinFilters(r.filters), &selected);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> QtUiServices::SaveFileName(const FileDialogRequest& r) {
    QString selected = r.filters.value(r.selectedFilter);
    QString start = r.startFolder;
    if (!r.fileName.isEmpty())
        start = QFileInfo(QDir(r.startFolder), r.fileName).filePath();
    const QString name =
        QFileDialog::getSaveFileName(r.owner, r.title, start, joinFilters(r.filters), &selected,
                                     QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QFont> QtUiServices::ChooseFont(QWidget* owner, const QFont& initial) {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, owner);
    if (!ok)
        return std::nullopt;
    return font;
}

bool QtUiServices::OpenUrl(const QString& url) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(url));
}

bool QtUiServices::StartProcess(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

} // namespace orvelin
