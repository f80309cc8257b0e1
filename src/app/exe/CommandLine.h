#pragma once

#include <QString>
#include <QStringList>

namespace orvelin {

// What the command line asks for. The program reads at most one video file
// from it, besides --help and --version; Qt's own options are taken out by
// QApplication before this sees the arguments.
struct CommandLine {
    enum Action { Run, PrintHelp, PrintVersion, Error };
    Action action = Run;
    QString fileToOpen; // absolute path; empty for none
    QString error;      // for Error: what was wrong
};

// `arguments` without the program name.
CommandLine ParseCommandLine(const QStringList& arguments);
QString CommandLineHelp();
QString VersionText();

} // namespace orvelin
