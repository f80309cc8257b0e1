#include "convert/OutputFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvelin {

namespace {

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

QString ErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString CannotWriteText(const QString& path, int error) {
    return QStringLiteral("%1 cannot be written: %2").arg(path, ErrorText(error));
}

FileId IdOfStat(const struct stat& st) {
    return FileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

bool FdId(int fd, FileId* id) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return false;
    *id = IdOfStat(st);
    return true;
}

bool IsOneOf(const FileId& id, const std::vector<FileId>& files) {
    return std::find(files.begin(), files.end(), id) != files.end();
}

// True when `path` names the file open as `fd`.
bool Names(const QString& path, int fd) {
    FileId a;
    FileId b;
    return FdId(fd, &a) && OutputFiles::IdOf(path, &b) && a == b;
}

// Renames without ever replacing a file that is there; false with errno set.
bool RenameNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: a second link is refused when the
    // name is taken, and the first then goes.
    if (::link(from.constData(), to.constData()) != 0)
        return false;
    ::unlink(from.constData());
    return true;
}

// The parts of a partial file's name: ".BASE.orvelin-partial-" before six
// characters, and the output's extension after them.
struct PartialName {
    QString folder;
    QString head;
    QString tail;
};
constexpr int kUniqueLength = 6;

PartialName PartialNameOf(const QString& output) {
    const QFileInfo info(output);
    // The extension stays last: some multiplexers are chosen by it.
    return PartialName{info.path(),
                       QStringLiteral(".") + info.completeBaseName() +
                           QStringLiteral(".orvelin-partial-"),
                       info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix()};
}

// The path of the file open as `fd`: `known` while it names it, else where
// the descriptor says it is (its folder was renamed); empty when it has no
// name any more.
QString CurrentPath(const QString& known, int fd) {
    if (fd < 0)
        return {};
    if (Names(known, fd))
        return known;
    char link[4096];
    const QByteArray fdPath = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t length = ::readlink(fdPath.constData(), link, sizeof link - 1);
    if (length <= 0)
        return {};
    const QString path = QFile::decodeName(QByteArray(link, static_cast<int>(length)));
    return Names(path, fd) ? path : QString();
}

} // namespace

OutputFiles::~OutputFiles() {
    ClosePartial();
    Release();
}

bool OutputFiles::IdOf(const QString& path, FileId* id) {
    struct stat st {};
    if (path.isEmpty() || ::stat(Native(path).constData(), &st) != 0)
        return false;
    *id = IdOfStat(st);
    return true;
}

bool OutputFiles::Claim(const QString& output, QString* refusal) {
    Release();
    const QFileInfo info(output);
    const QString lockPath =
        info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".orvelin-lock");
    const QByteArray native = Native(lockPath);
    // A job that lets go removes its lock file; one that was opened just
    // before is then no longer the file of that name, and is opened again.
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int fd =
            ::open(native.constData(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            *refusal = CannotWriteText(output, errno);
            return false;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            *refusal = error == EWOULDBLOCK
                           ? QStringLiteral("%1 is being written by another conversion. Please "
                                            "wait until it has finished, or choose another "
                                            "output file in Options.")
                                 .arg(output)
                           : CannotWriteText(output, error);
            return false;
        }
        if (Names(lockPath, fd)) {
            lockFd_ = fd;
            lockPath_ = lockPath;
            output_ = output;
            return true;
        }
        ::close(fd);
    }
    *refusal = CannotWriteText(output, EBUSY);
    return false;
}

void OutputFiles::RemoveStalePartials(const std::vector<FileId>& sources) {
    const PartialName name = PartialNameOf(output_);
    DIR* dir = ::opendir(Native(name.folder).constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const QString file = QFile::decodeName(entry->d_name);
        if (file.size() != name.head.size() + kUniqueLength + name.tail.size() ||
            !file.startsWith(name.head) || !file.endsWith(name.tail))
            continue;
        const QString path = name.folder + QLatin1Char('/') + file;
        const int fd = ::open(Native(path).constData(),
                              O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
        if (fd < 0)
            continue;
        struct stat st {};
        // A running job holds its partial file locked; one nobody holds was
        // left by a program that is gone.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && !IsOneOf(IdOfStat(st), sources) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && Names(path, fd))
            ::unlink(Native(path).constData());
        ::close(fd);
    }
    ::closedir(dir);
}

bool OutputFiles::CreatePartial(const std::vector<FileId>& sources, QString* error) {
    ClosePartial();
    if (lockFd_ < 0) {
        *error = CannotWriteText(output_, ENOLCK);
        return false;
    }
    RemoveStalePartials(sources);
    const PartialName name = PartialNameOf(output_);
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    int lastError = EEXIST;
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString unique;
        for (int i = 0; i < kUniqueLength; ++i)
            unique += QLatin1Char(kLetters[QRandomGenerator::system()->bounded(62)]);
        const QString path = name.folder + QLatin1Char('/') + name.head + unique + name.tail;
        // A name no file had: nothing that exists is ever written over.
        const int fd = ::open(Native(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) {
            lastError = errno;
            if (lastError == EEXIST)
                continue;
            break;
        }
        ::flock(fd, LOCK_EX | LOCK_NB); // new, so free
        partial_ = path;
        partialFd_ = fd;
        return true;
    }
    *error = CannotWriteText(output_, lastError);
    return false;
}

QString OutputFiles::CurrentPartialPath() const {
    return CurrentPath(partial_, partialFd_);
}

OutputFiles::Placed OutputFiles::Commit(const std::vector<FileId>& sources) {
    Placed placed;
    const QString current = CurrentPartialPath();
    FileId written;
    if (current.isEmpty() || !FdId(partialFd_, &written) || IsOneOf(written, sources)) {
        placed.reason = QStringLiteral("the file being written was removed or replaced during "
                                       "the conversion");
        ClosePartial();
        return placed;
    }
    FileId there;
    const bool taken = IdOf(output_, &there);
    if (taken && IsOneOf(there, sources)) {
        placed.reason = QStringLiteral("it is now one of the files being converted");
    } else if (::rename(Native(current).constData(), Native(output_).constData()) == 0) {
        // The finished file replaces the old output in one step.
        placed.inPlace = true;
        ClosePartial();
        return placed;
    } else {
        placed.reason = ErrorText(errno);
    }
    // The finished file is not lost: it takes the output's name, or a
    // numbered one, in the folder it is in now, without replacing anything.
    const QFileInfo wanted(output_);
    const QString folder = QFileInfo(current).path();
    const QString suffix =
        wanted.suffix().isEmpty() ? QString() : QLatin1Char('.') + wanted.suffix();
    placed.keptAs = current;
    for (int n = 1; n <= 20; ++n) {
        const QString name =
            n == 1 ? wanted.fileName()
                   : QStringLiteral("%1 (%2)%3").arg(wanted.completeBaseName()).arg(n).arg(suffix);
        const QString candidate = folder + QLatin1Char('/') + name;
        if (RenameNoReplace(Native(current), Native(candidate))) {
            placed.keptAs = candidate;
            break;
        }
        if (errno != EEXIST)
            break;
    }
    ClosePartial();
    return placed;
}

void OutputFiles::Discard(const std::vector<FileId>& sources) {
    const QString current = CurrentPartialPath();
    FileId written;
    if (!current.isEmpty() && FdId(partialFd_, &written) && !IsOneOf(written, sources))
        ::unlink(Native(current).constData());
    ClosePartial();
}

void OutputFiles::ClosePartial() {
    if (partialFd_ >= 0)
        ::close(partialFd_);
    partialFd_ = -1;
    partial_.clear();
}

void OutputFiles::Release() {
    if (lockFd_ < 0)
        return;
    // Only the lock file this job holds goes: while it is held, no other
    // job removes or replaces it. A lock file is always empty; one that is
    // not was never made for this.
    struct stat st {};
    const QString current = CurrentPath(lockPath_, lockFd_);
    if (!current.isEmpty() && ::fstat(lockFd_, &st) == 0 && st.st_size == 0)
        ::unlink(Native(current).constData());
    ::close(lockFd_);
    lockFd_ = -1;
    lockPath_.clear();
    output_.clear();
}

} // namespace orvelin
