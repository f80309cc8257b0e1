#include "media/playback/PlaybackFileCheck.h"

#include "media/PlaybackGraph.h"

#include <QFile>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace orvelin::media {

namespace {

struct Check {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    HRESULT hr = E_FAIL;
    QString why;
};

void look(const QByteArray& name, HRESULT* hr, QString* why) {
    // O_NONBLOCK: opening a named pipe for reading must not wait for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        *hr = VFW_E_NOT_FOUND;
        *why = (error == ENOENT || error == ENOTDIR)
                   ? QStringLiteral("The file does not exist.")
                   : QStringLiteral("The file cannot be read: %1.")
                         .arg(QString::fromLocal8Bit(std::strerror(error)));
        return;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        *hr = VFW_E_NOT_FOUND;
        *why = QStringLiteral("The file cannot be read.");
    } else if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) {
        *hr = VFW_E_CANNOT_RENDER;
        *why = QStringLiteral("The file is a named pipe, not a media file.");
    } else if (S_ISDIR(info.st_mode)) {
        *hr = VFW_E_CANNOT_RENDER;
        *why = QStringLiteral("The path names a folder, not a media file.");
    } else if (!S_ISREG(info.st_mode)) {
        *hr = VFW_E_CANNOT_RENDER;
        *why = QStringLiteral("The path names a device, not a media file.");
    } else if (info.st_size == 0) {
        *hr = VFW_E_CANNOT_RENDER;
        *why = QStringLiteral("The file is empty.");
    } else {
        char probe[64];
        if (::read(fd, probe, sizeof probe) <= 0) {
            *hr = VFW_E_NOT_FOUND;
            *why = QStringLiteral("The file cannot be read.");
        } else {
            *hr = S_OK;
        }
    }
    ::close(fd);
}

} // namespace

HRESULT CheckPlayableFile(const QString& path, std::chrono::milliseconds timeout, QString* why) {
    QString reason;
    HRESULT hr = S_OK;
    if (path.isEmpty()) {
        hr = VFW_E_NOT_FOUND;
        reason = QStringLiteral("No file was given.");
    } else {
        auto check = std::make_shared<Check>();
        std::thread([check, name = QFile::encodeName(path)] {
            HRESULT result = E_FAIL;
            QString text;
            look(name, &result, &text);
            {
                std::lock_guard lock(check->mutex);
                check->hr = result;
                check->why = text;
                check->finished = true;
            }
            check->done.notify_all();
        }).detach();
        std::unique_lock lock(check->mutex);
        if (check->done.wait_for(lock, timeout, [&] { return check->finished; })) {
            hr = check->hr;
            reason = check->why;
        } else {
            hr = VFW_E_TIMEOUT;
            reason = QStringLiteral("The file did not answer in time.");
        }
    }
    if (why)
        *why = reason;
    return hr;
}

} // namespace orvelin::media
