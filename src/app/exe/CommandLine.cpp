#include "app/exe/CommandLine.h"

#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <array>

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

QStringList WithoutToolkitOptions(const QStringList& arguments) {
    // The options of QGuiApplication, QApplication and the X11 platform.
    static const std::array<QLatin1String, 15> withValue{
        QLatin1String("-platform"),        QLatin1String("-platformpluginpath"),
        QLatin1String("-platformtheme"),   QLatin1String("-plugin"),
        QLatin1String("-qwindowgeometry"), QLatin1String("-geometry"),
        QLatin1String("-qwindowtitle"),    QLatin1String("-title"),
        QLatin1String("-qwindowicon"),     QLatin1String("-icon"),
        QLatin1String("-display"),         QLatin1String("-name"),
        QLatin1String("-session"),         QLatin1String("-style"),
        QLatin1String("-stylesheet")};
    static const std::array<QLatin1String, 6> alone{
        QLatin1String("-reverse"),     QLatin1String("-widgetcount"), QLatin1String("-sync"),
        QLatin1String("-testability"), QLatin1String("-nograb"),      QLatin1String("-dograb")};
    static const std::array<QLatin1String, 3> joined{
        QLatin1String("-style="), QLatin1String("-stylesheet="), QLatin1String("-qmljsdebugger=")};

    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--")) {
            kept << arguments.mid(i);
            break;
        }
        // Qt takes "--platform" as well as "-platform".
        const QString option =
            argument.startsWith(QLatin1String("--")) ? argument.mid(1) : argument;
        auto is = [&](QLatin1String name) { return option == name; };
        if (std::any_of(withValue.begin(), withValue.end(), is)) {
            ++i; // its value
            continue;
        }
        if (std::any_of(alone.begin(), alone.end(), is))
            continue;
        if (std::any_of(joined.begin(), joined.end(),
                        [&](QLatin1String prefix) { return option.startsWith(prefix); }))
            continue;
        kept << argument;
    }
    return kept;
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
