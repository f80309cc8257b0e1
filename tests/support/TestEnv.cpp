#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

namespace orvelin::test {

TestEnv::TestEnv() : oldConfigHome_(qgetenv("XDG_CONFIG_HOME")), oldHome_(qgetenv("HOME")) {
    QDir(dir_.path()).mkpath("config");
    QDir(dir_.path()).mkpath("home/Videos");
    qputenv("XDG_CONFIG_HOME", dir_.filePath("config").toUtf8());
    qputenv("HOME", dir_.filePath("home").toUtf8());
    // The videos folder follows user-dirs.dirs of the config folder.
    QFile dirs(dir_.filePath("config/user-dirs.dirs"));
    if (dirs.open(QIODevice::WriteOnly))
        dirs.write("XDG_VIDEOS_DIR=\"$HOME/Videos\"\n");
    dirs.close();
    settings = std::make_unique<SettingsStore>();
    context = std::unique_ptr<AppContext>(new AppContext{*settings, ui, 0});
}

TestEnv::~TestEnv() {
    context.reset();
    settings.reset();
    qputenv("XDG_CONFIG_HOME", oldConfigHome_);
    qputenv("HOME", oldHome_);
}

QString TestEnv::VideosFolder() const {
    return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
}

std::unique_ptr<SettingsStore> TestEnv::ReopenStore() const {
    return std::make_unique<SettingsStore>(SettingsStore::DefaultFilePath());
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeout.count())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

} // namespace orvelin::test
