#include "app/exe/CommandLine.h"

#include <QFileInfo>
#include <QUrl>

#ifndef ORVELIN_VERSION
#define ORVELIN_VERSION "unknown"
#endif

namespace orvelin {

CommandLine ParseCommandLine(const QStringList& arguments) {
    CommandLine result;
    QStringList files;
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded &&
                   (argument == QLatin1String("--help") || argument == QLatin1String("-h"))) {
            result.action = CommandLine::PrintHelp;
            return result;
        } else if (!optionsEnded && argument == QLatin1String("--version")) {
            result.action = CommandLine::PrintVersion;
            return result;
        } else if (!optionsEnded && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            result.action = CommandLine::Error;
            result.error = QStringLiteral("unknown option \"%1\"").arg(argument);
            return result;
        } else {
            files << argument;
        }
    }
    if (files.size() > 1) {
        result.action = CommandLine::Error;
        result.error = QStringLiteral("only one video file can be opened at a time");
        return result;
    }
    if (!files.isEmpty()) {
        QString path = files.first();
        // A desktop may hand over a file address instead of a path.
        if (path.startsWith(QLatin1String("file:")))
            path = QUrl(path).toLocalFile();
        result.fileToOpen = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
        if (result.fileToOpen.isEmpty()) {
            result.action = CommandLine::Error;
            result.error = QStringLiteral("\"%1\" is not a local file").arg(files.first());
        }
    }
    return result;
}

QString CommandLineHelp() {
    return QStringLiteral("Usage: orvelin [FILE]\n"
                          "Converts the marked part of a video into a new file.\n"
                          "\n"
                          "  FILE        a video file to open at start, as with Open Video\n"
                          "  --help      show this help and exit\n"
                          "  --version   show the version and exit\n");
}

QString VersionText() {
    return QStringLiteral("orvelin %1\n").arg(QStringLiteral(ORVELIN_VERSION));
}

} // namespace orvelin
