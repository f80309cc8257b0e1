#include "app/UrlOpener.h"

#include <QProcess>
#include <QTimer>
#include <memory>

namespace orvelin {

void OpenWithDesktopOpener(const QUrl& url, std::function<void(bool opened)> done, int patienceMs) {
    // The process object outlives this call and deletes itself once the
    // opener has ended; one that keeps running (it hosts the browser) is left
    // to run, also past the end of the program.
    auto* opener = new QProcess;
    opener->setProgram(QStringLiteral("xdg-open"));
    opener->setArguments(
        {url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
    // What the opener and the browser print is of no use here and must not
    // fill a buffer nobody reads.
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());

    // The first of start failure, end and patience decides; the others are
    // ignored.
    auto pending = std::make_shared<std::function<void(bool)>>(std::move(done));
    auto report = [pending](bool opened) {
        if (!*pending)
            return;
        const std::function<void(bool)> call = std::move(*pending);
        *pending = nullptr;
        call(opened);
    };
    QObject::connect(opener, &QProcess::errorOccurred, opener,
                     [opener, report](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return; // a crash is also reported as finished
                         report(false);
                         opener->deleteLater();
                     });
    QObject::connect(opener, &QProcess::finished, opener,
                     [opener, report](int exitCode, QProcess::ExitStatus status) {
                         report(status == QProcess::NormalExit && exitCode == 0);
                         opener->deleteLater();
                     });
    QTimer::singleShot(patienceMs, opener, [report] { report(true); });
    opener->start();
}

} // namespace orvelin
