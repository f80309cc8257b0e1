#pragma once

#include <QString>

namespace orvelin {

class UiServices;

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

private:
    UiServices& ui_;
    QString languageBase_;
};

} // namespace orvelin
