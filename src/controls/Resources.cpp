#include "controls/Resources.h"

#include <QFile>
#include <QSvgRenderer>

namespace orvelin {

namespace {

QString IconPath(int id) {
    return QStringLiteral(":/res/icons/%1.svg").arg(id);
}

struct CursorResource {
    int id;
    const char* path;
    int hotX;
    int hotY;
};

// The hand's fingertip touches the top row 5 pixels from the left edge.
constexpr CursorResource kCursors[] = {
    {141, ":/res/images/141.png", 5, 0},
};

} // namespace

QIcon LoadIconResource(int id) {
    const QString path = IconPath(id);
    if (!QFile::exists(path))
        return QIcon();
    return QIcon(path);
}

int IconResourceSize(int id) {
    const QString path = IconPath(id);
    if (!QFile::exists(path))
        return 0;
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return 0;
    const QSize size = renderer.defaultSize();
    return qMax(size.width(), size.height());
}

QPixmap LoadBitmapResource(int id) {
    return QPixmap(QStringLiteral(":/res/images/%1.png").arg(id));
}

std::optional<QCursor> LoadCursorResource(int id) {
    for (const CursorResource& entry : kCursors) {
        if (entry.id != id)
            continue;
        const QPixmap pixmap(QString::fromLatin1(entry.path));
        if (pixmap.isNull())
            return std::nullopt;
        return QCursor(pixmap, entry.hotX, entry.hotY);
    }
    return std::nullopt;
}

QByteArray LoadWaveResource(int id) {
    QFile file(QStringLiteral(":/res/sounds/%1.wav").arg(id));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

} // namespace orvelin
