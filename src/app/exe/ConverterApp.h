#pragma once

#include <QString>
#include <functional>

namespace orvelin {

class UiServices;
class MainDialog;

// The application object: opens the settings store, starts the language
// system, runs the main window modally and ends when it returns.
class ConverterApp {
public:
    explicit ConverterApp(UiServices& ui) : ui_(ui) {}
    // Runs the program; answers the process exit code.
    int Run();
    // The folder whose "language" folder holds the packs; empty (the
    // default) looks beside the program.
    void SetLanguageBaseFolder(const QString& folder) { languageBase_ = folder; }
    // A video to open once the main window is up (from the command line).
    void SetFileToOpen(const QString& path) { fileToOpen_ = path; }
    // Runs once the main window is shown, before the user can act; tests
    // use it to look at and close the window.
    void SetOnMainWindowShown(std::function<void(MainDialog&)> hook) { onShown_ = std::move(hook); }

private:
    UiServices& ui_;
    QString languageBase_;
    QString fileToOpen_;
    std::function<void(MainDialog&)> onShown_;
};

} // namespace orvelin
