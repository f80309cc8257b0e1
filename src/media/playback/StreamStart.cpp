#include "media/playback/StreamStart.h"

#include "media/playback/MpegTimeStamps.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <map>
#include <mutex>

namespace orvelin::media {

namespace {

struct Noted {
    qint64 size = -1;
    QDateTime modified;
    REFERENCE_TIME start = 0;
};

std::mutex& notesMutex() {
    static std::mutex mutex;
    return mutex;
}
std::map<QString, Noted>& notes() {
    static std::map<QString, Noted> map;
    return map;
}

} // namespace

bool IsTransportStream(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(5 * 192);
    for (const int packet : {188, 192}) {
        const int first = packet == 192 ? 4 : 0;
        bool all = head.size() >= first + 4 * packet + 1;
        for (int i = 0; all && i < 5; ++i)
            all = head[first + i * packet] == 0x47;
        if (all)
            return true;
    }
    return false;
}

void NoteStreamStart(const QString& path, REFERENCE_TIME start) {
    const QFileInfo info(path);
    std::lock_guard lock(notesMutex());
    // A handful of files per run; the oldest notes are not worth keeping.
    if (notes().size() > 64)
        notes().clear();
    notes()[info.absoluteFilePath()] = Noted{info.size(), info.lastModified(), start};
}

REFERENCE_TIME StreamStartOf(const QString& path) {
    const QFileInfo info(path);
    {
        std::lock_guard lock(notesMutex());
        const auto found = notes().find(info.absoluteFilePath());
        // A file written anew since it was opened is looked at again.
        if (found != notes().end() && found->second.size == info.size() &&
            found->second.modified == info.lastModified())
            return found->second.start;
    }
    if (!IsTransportStream(path) && !IsProgramStream(path))
        return 0;
    std::unique_ptr<PlaybackGraph> graph = PlaybackGraph::Create();
    if (!graph || Failed(graph->RenderFile(path, false)))
        return 0;
    return StreamStartOf(path); // noted by the open
}

} // namespace orvelin::media
