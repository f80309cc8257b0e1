#include "app/exe/ConverterApp.h"

#include "app/AppContext.h"
#include "app/SettingsStore.h"
#include "lang/LanguagePack.h"
#include "mainwnd/MainDialog.h"
#include "media/PipelineRelease.h"
#include "media/SoundPlayer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

namespace orvelin {

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

    {
        MainDialog dialog(context);
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
    return 0;
}

} // namespace orvelin
