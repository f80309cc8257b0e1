#include "app/exe/ConverterApp.h"

#include "app/AppContext.h"
#include "app/SettingsStore.h"
#include "app/TerminationSignals.h"
#include "convert/ConversionController.h"
#include "lang/LanguagePack.h"
#include "mainwnd/MainDialog.h"
#include "media/PipelineRelease.h"
#include "media/SoundPlayer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace orvelin {

namespace {

// A signal that asks the program to end: what is open is closed, a running
// conversion ends as Stop ends it (the part converted so far takes the
// output's name, so the old output is replaced by a file that plays up to
// where the job got), and the window closes. What cannot end yet (a job
// being set up, a question being closed) is tried again shortly.
void EndForSignal(MainDialog& dialog) {
    ConversionController& conversion = dialog.Conversion();
    QWidget* modal = QApplication::activeModalWidget();
    if (conversion.SettingUp() || (modal && modal != &dialog)) {
        if (auto* box = qobject_cast<QDialog*>(modal); box && box != &dialog)
            box->reject();
        else if (modal && modal != &dialog)
            modal->close();
        QTimer::singleShot(100, &dialog, [&dialog] { EndForSignal(dialog); });
        return;
    }
    if (const QString ended = conversion.StopForExit(); !ended.isEmpty())
        std::fprintf(stderr, "orvelin: %s\n", ended.toUtf8().constData());
    if (conversion.TimelinePreviewRunning())
        conversion.OnTimelinePreviewClicked(); // stops it
    if (!dialog.RequestClose())
        QTimer::singleShot(100, &dialog, [&dialog] { EndForSignal(dialog); });
}

} // namespace

int ConverterApp::Run() {
    SettingsStore settings;
    AppContext context{settings, ui_, 0};

    QString language = settings.GetString("Option", "CurrentLanguage", "english");
    LanguagePack& pack = LanguagePack::Instance();
    // Fonts are stored per language in the settings; the loader's messages
    // go through the UI services.
    pack.Attach(&settings, &ui_);
    // Without any pack the built-in English texts stay in force.
    pack.Init(languageBase_.isEmpty() ? LanguagePack::FindBaseFolder() : languageBase_, language);

    int endedBy = 0;
    {
        MainDialog dialog(context);
        TerminationSignals termination;
        QObject::connect(&termination, &TerminationSignals::Received, &dialog,
                         [&dialog, &endedBy](int number) {
                             if (endedBy != 0)
                                 return; // already ending
                             endedBy = number;
                             EndForSignal(dialog);
                         });
        // Modal to nothing else: the preview window must stay usable while
        // the main window's loop runs.
        dialog.setWindowModality(Qt::WindowModal);
        // Queued, so the file opens after the window is up, through the same
        // path as the Open Video button.
        QTimer::singleShot(0, &dialog, [&dialog, this] {
            if (!fileToOpen_.isEmpty())
                dialog.OpenVideoFile(fileToOpen_);
            if (onShown_)
                onShown_(dialog);
        });
        dialog.exec();
    }
    pack.Attach(nullptr, nullptr);

    // Let a hover sound that is still playing finish before the process goes.
    QElapsedTimer timer;
    timer.start();
    while (media::SoundsPlaying() > 0 && timer.elapsed() < 2000)
        QThread::msleep(10);
    // Pipelines still shutting down in the background finish before exit.
    media::WaitForPipelineReleases(std::chrono::seconds(2));
    // Ended by a signal: the exit code says which, as the shell expects.
    return endedBy != 0 ? 128 + endedBy : 0;
}

} // namespace orvelin
