#pragma once

#include "app/AppContext.h"
#include "app/SettingsStore.h"
#include "support/ScriptedUi.h"

#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>

namespace orvelin::test {

// An isolated environment for one test: XDG_CONFIG_HOME (and the videos
// folder) in a fresh temporary folder, a settings store there, scripted UI
// services and an application context over both.
class TestEnv {
public:
    TestEnv();
    ~TestEnv();

    QString TempPath(const QString& name) const { return dir_.filePath(name); }
    QString Folder() const { return dir_.path(); }
    // The videos folder the program sees (created).
    QString VideosFolder() const;
    // A fresh store object over the same file (as a new program run sees it).
    std::unique_ptr<SettingsStore> ReopenStore() const;

    ScriptedUi ui;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<AppContext> context;

private:
    QTemporaryDir dir_;
    QByteArray oldConfigHome_;
    QByteArray oldHome_;
};

// Pumps the event loop until `condition` holds or the timeout passes; answers
// whether it held.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds timeout = std::chrono::seconds(20));

} // namespace orvelin::test
