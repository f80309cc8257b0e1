#pragma once

namespace orvelin {

class UiServices;

// The application object: opens the settings store, starts the language
// system, runs the main window modally and ends when it returns.
class ConverterApp {
public:
    explicit ConverterApp(UiServices& ui) : ui_(ui) {}
    // Runs the program; answers the process exit code.
    int Run();

private:
    UiServices& ui_;
};

} // namespace orvelin
