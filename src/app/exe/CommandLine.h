#pragma once

#include <QString>
#include <QStringList>

namespace orvelin {

// What the command line asks for. The program reads at most one video file
// from it, besides --help and --version; Qt's own options (-platform, -style,
// ...) belong to the toolkit and are left out before it is read.
struct CommandLine {
    enum Action { Run, PrintHelp, PrintVersion, Error };
    Action action = Run;
    QString fileToOpen; // absolute path; empty for none
    QString error;      // for Error: what was wrong
};

// `arguments` without the program name and without the toolkit's options.
CommandLine ParseCommandLine(const QStringList& arguments);
// `arguments` without the options Qt reads itself (with one or two dashes,
// their values included). The command line is read with this before Qt
// starts, so that a wrong option is answered with the usage even where no
// display can be opened.
QStringList WithoutToolkitOptions(const QStringList& arguments);
QString CommandLineHelp();
QString VersionText();

} // namespace orvelin
