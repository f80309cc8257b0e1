// What the main window does for the desktop around it: files dropped on it,
// the conversion's percentage in the title and the task bar, and a
// notification when a conversion ends behind the user's back.
#include "app/AppContext.h"
#include "app/DesktopSession.h"
#include "app/UiServices.h"
#include "mainwnd/MainDialog.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace orvelin {

namespace {

QStringList LocalFiles(const QMimeData* mime) {
    QStringList files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            files << url.toLocalFile();
    }
    return files;
}

} // namespace

bool MainDialog::TakesDrop(const QMimeData* mime) const {
    // While a conversion is set up or runs the pointer shows that nothing
    // can be dropped.
    return !commandsBlocked_ && !state_.converting && !LocalFiles(mime).isEmpty();
}

bool MainDialog::TakeDrop(const QMimeData* mime) {
    const QStringList files = LocalFiles(mime);
    // A conversion being set up reads the opened video's entries; a drop
    // that arrives meanwhile is turned away without a word (a message box
    // would run the event loop inside the set-up as well).
    if (files.isEmpty() || commandsBlocked_)
        return false;
    // The pointer already said no, but a drop that was on its way when the
    // job started is still refused.
    if (state_.converting) {
        app_.ui.FrameworkMessageBox(
            this, QStringLiteral("A video cannot be opened while a conversion is running."),
            MsgButtons::Ok, MsgIcon::Warning);
        return true;
    }
    if (files.size() > 1) {
        app_.ui.FrameworkMessageBox(
            this,
            QStringLiteral("Orvelin converts one video at a time; only the first of the %1 "
                           "dropped files is opened:\n%2")
                .arg(files.size())
                .arg(QFileInfo(files.first()).fileName()),
            MsgButtons::Ok, MsgIcon::Information);
    }
    OpenVideoFile(files.first());
    return true;
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
    if (TakesDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainDialog::dropEvent(QDropEvent* event) {
    if (LocalFiles(event->mimeData()).isEmpty() || commandsBlocked_) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    TakeDrop(event->mimeData());
}

void MainDialog::ShowConversionProgress(int percent) {
    if (percent < 0) {
        if (!titleBeforeProgress_.isNull())
            setWindowTitle(titleBeforeProgress_);
        titleBeforeProgress_ = QString();
        CurrentDesktopSession().SetProgress(-1.0);
        return;
    }
    if (titleBeforeProgress_.isNull())
        titleBeforeProgress_ = windowTitle();
    setWindowTitle(QStringLiteral("%1% \u2013 %2").arg(percent).arg(titleBeforeProgress_));
    CurrentDesktopSession().SetProgress(percent / 100.0);
}

void MainDialog::ConversionEnded(JobOutcome outcome, const QString& statusText) {
    if (isActiveWindow())
        return;
    // The status text may be in any language; only the job knows whether it
    // succeeded.
    const QString file = QFileInfo(state_.output.outputPath).fileName();
    QString summary;
    switch (outcome) {
    case JobOutcome::Done:
        summary = QStringLiteral("Conversion done: %1");
        break;
    case JobOutcome::Warning:
        summary = QStringLiteral("Conversion done with a warning: %1");
        break;
    case JobOutcome::Failed:
        summary = QStringLiteral("Conversion failed: %1");
        break;
    }
    CurrentDesktopSession().Notify(summary.arg(file), statusText);
}

} // namespace orvelin
