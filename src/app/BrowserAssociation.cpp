#include "app/BrowserAssociation.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

namespace orvelin {

namespace {
// Lets a missing or stuck xdg-mime cost the click no more than this.
constexpr int kQueryTimeoutMs = 3000;

QString UnescapeDesktopString(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('\\') || i + 1 >= value.size()) {
            out += c;
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
        case 's':
            out += QLatin1Char(' ');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        default:
            // Not a string escape: kept for the Exec quoting rules.
            out += QLatin1Char('\\');
            out += next;
            break;
        }
    }
    return out;
}
} // namespace

QString DesktopEntryExec(const QString& desktopFilePath) {
    QFile file(desktopFilePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&file);
    bool inEntryGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntryGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntryGroup || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || line.left(eq).trimmed() != QLatin1String("Exec"))
            continue;
        return UnescapeDesktopString(line.mid(eq + 1).trimmed());
    }
    return {};
}

QString LocateDesktopEntry(const QString& desktopId) {
    if (desktopId.isEmpty())
        return {};
    QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopId);
    if (!path.isEmpty())
        return path;
    // Each dash may separate a sub-folder name.
    for (qsizetype dash = desktopId.indexOf(QLatin1Char('-')); dash > 0;
         dash = desktopId.indexOf(QLatin1Char('-'), dash + 1)) {
        QString nested = desktopId;
        nested[dash] = QLatin1Char('/');
        path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, nested);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

QString DefaultBrowserExecLine() {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    if (!query.waitForStarted(kQueryTimeoutMs))
        return {};
    if (!query.waitForFinished(kQueryTimeoutMs)) {
        query.kill();
        query.waitForFinished(kQueryTimeoutMs);
        return {};
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return {};
    const QString desktopId = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    // Several entries may be named; the first is the default.
    const QString first = desktopId.section(QLatin1Char(';'), 0, 0).trimmed();
    const QString path = LocateDesktopEntry(first);
    return path.isEmpty() ? QString() : DesktopEntryExec(path);
}

} // namespace orvelin
