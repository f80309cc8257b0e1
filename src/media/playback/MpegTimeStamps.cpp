#include "media/playback/MpegTimeStamps.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace orvelin::media {

namespace {

// The head holds the first pictures of any real stream, the tail the last
// group of pictures even at broadcast bit rates.
constexpr qint64 kHeadBytes = 2 * 1024 * 1024;
constexpr qint64 kTailBytes = 4 * 1024 * 1024;
constexpr int64_t kWrap = int64_t(1) << 33;    // the 90 kHz clock wraps here
constexpr int64_t kSpanLeeway = 2'000'000'000; // nanoseconds

using Bytes = const unsigned char*;

int64_t timeStamp(Bytes b) {
    return (int64_t(b[0] >> 1) & 7) << 30 | int64_t(b[1]) << 22 | int64_t(b[2] >> 1) << 15 |
           int64_t(b[3]) << 7 | int64_t(b[4] >> 1);
}

bool isVideo(unsigned char streamId) {
    return streamId >= 0xE0 && streamId <= 0xEF;
}

// What the packets of the chosen picture stream tell, in file order.
struct PictureStream {
    int id = -1;                   // stream id (program stream) or packet id (transport stream)
    std::optional<int64_t> first;  // the earliest time stamp
    std::optional<int64_t> latest; // the latest time stamp
    std::optional<int64_t> last;   // the time stamp of the last stamped packet
    // Pictures that begin after the first one of the last stamped packet.
    int64_t unstamped = 0;
    bool pictureInPacket = false;
    uint32_t window = 0xFFFFFFFF; // the last four bytes of the stream's data

    void Stamp(std::optional<int64_t> pts) {
        if (!pts)
            return;
        if (!first || *pts < *first)
            first = pts;
        if (!latest || *pts > *latest)
            latest = pts;
        last = pts;
        unstamped = 0;
        pictureInPacket = false;
    }
    // MPEG-1 and MPEG-2 pictures begin with 00 00 01 00 (no other coding
    // carries it).
    void Data(Bytes data, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            window = window << 8 | data[i];
            if (window == 0x00000100) {
                if (pictureInPacket)
                    ++unstamped;
                pictureInPacket = true;
            }
        }
    }
};

// The header of a packetized elementary stream packet at `p` (starting with
// 00 00 01 and its id, `size` bytes available): its time stamp and where its
// data begins. False when it is no such header.
bool readPacketHeader(Bytes p, size_t size, std::optional<int64_t>* pts, size_t* dataAt) {
    if (size < 9 || p[0] != 0 || p[1] != 0 || p[2] != 1)
        return false;
    if ((p[6] & 0xC0) == 0x80) { // MPEG-2
        const size_t at = 9 + p[8];
        if ((p[7] & 0x80) && size >= 14)
            *pts = timeStamp(p + 9);
        *dataAt = std::min(at, size);
        return true;
    }
    // MPEG-1: stuffing, a buffer size, then the time stamps.
    size_t i = 6;
    while (i < size && p[i] == 0xFF)
        ++i;
    if (i + 2 <= size && (p[i] & 0xC0) == 0x40)
        i += 2;
    if (i >= size)
        return false;
    if ((p[i] & 0xE0) == 0x20 && i + 5 <= size)
        *pts = timeStamp(p + i);
    i += (p[i] & 0xF0) == 0x30 ? 10 : (p[i] & 0xF0) == 0x20 ? 5 : 1;
    *dataAt = std::min(i, size);
    return true;
}

// Program stream: packs and packets, one after the other; after anything
// that does not parse, on from the next pack.
void readProgramStream(const QByteArray& bytes, PictureStream* video) {
    const auto* b = reinterpret_cast<Bytes>(bytes.constData());
    const size_t size = size_t(bytes.size());
    const auto nextPack = [&](size_t from) {
        const int found = bytes.indexOf(QByteArray("\x00\x00\x01\xBA", 4), qsizetype(from));
        return found < 0 ? size : size_t(found);
    };
    size_t i = nextPack(0);
    while (i + 6 <= size) {
        if (b[i] != 0 || b[i + 1] != 0 || b[i + 2] != 1) {
            i = nextPack(i + 1);
            continue;
        }
        const unsigned char code = b[i + 3];
        if (code == 0xBA) {
            if (i + 14 > size)
                break;
            i += (b[i + 4] & 0xC0) == 0x40 ? 14 + (b[i + 13] & 7) : 12;
            continue;
        }
        if (code < 0xB9) {
            i = nextPack(i + 1);
            continue;
        }
        if (code == 0xB9) { // end of the program stream
            i += 4;
            continue;
        }
        const size_t length = 6 + (size_t(b[i + 4]) << 8 | b[i + 5]);
        const size_t end = std::min(size, i + length);
        if (isVideo(code) && (video->id < 0 || video->id == code)) {
            std::optional<int64_t> pts;
            size_t dataAt = 0;
            if (readPacketHeader(b + i, end - i, &pts, &dataAt)) {
                video->id = code;
                video->Stamp(pts);
                video->Data(b + i + dataAt, end - i - dataAt);
            }
        }
        i += length;
    }
}

// Transport stream: 188-byte packets (192 with the time code of .m2ts); the
// picture stream is the first whose packets carry a video stream id.
void readTransportStream(const QByteArray& bytes, int packet, PictureStream* video) {
    const auto* b = reinterpret_cast<Bytes>(bytes.constData());
    const size_t size = size_t(bytes.size());
    const size_t skip = packet == 192 ? 4 : 0;
    // In the tail, the first packet that is followed by a packet.
    size_t i = 0;
    while (i + skip + 2 * size_t(packet) <= size &&
           !(b[i + skip] == 0x47 && b[i + skip + size_t(packet)] == 0x47))
        ++i;
    for (; i + size_t(packet) <= size; i += size_t(packet)) {
        Bytes p = b + i + skip;
        if (p[0] != 0x47)
            continue; // damaged; the next one may be whole
        const bool unitStart = p[1] & 0x40;
        const int pid = (p[1] & 0x1F) << 8 | p[2];
        const int control = (p[3] >> 4) & 3;
        if (!(control & 1))
            continue;
        size_t at = 4;
        if (control & 2)
            at += 1 + size_t(p[4]);
        if (at >= 188)
            continue;
        Bytes data = p + at;
        const size_t dataSize = 188 - at;
        if (unitStart && dataSize >= 9 && data[0] == 0 && data[1] == 0 && data[2] == 1) {
            if (video->id < 0 && isVideo(data[3]))
                video->id = pid;
            if (pid != video->id)
                continue;
            std::optional<int64_t> pts;
            size_t dataAt = 0;
            if (readPacketHeader(data, dataSize, &pts, &dataAt)) {
                video->Stamp(pts);
                video->Data(data + dataAt, dataSize - dataAt);
            }
        } else if (pid == video->id) {
            video->Data(data, dataSize);
        }
    }
}

int transportPacketSize(const QByteArray& head) {
    for (const int packet : {188, 192}) {
        const int first = packet == 192 ? 4 : 0;
        bool all = head.size() >= first + 4 * packet + 1;
        for (int i = 0; all && i < 5; ++i)
            all = uchar(head[first + i * packet]) == 0x47;
        if (all)
            return packet;
    }
    return 0;
}

} // namespace

bool IsProgramStream(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == QByteArray("\x00\x00\x01\xBA", 4);
}

int64_t MpegPictureSpan(const QString& path, int64_t framePeriod) {
    QFile file(path);
    if (framePeriod <= 0 || !file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray head = file.read(kHeadBytes);
    const int packet = transportPacketSize(head);
    const bool program = head.startsWith(QByteArray("\x00\x00\x01\xBA", 4));
    if (!packet && !program)
        return -1;
    const auto read = [&](const QByteArray& bytes, PictureStream* video) {
        if (packet)
            readTransportStream(bytes, packet, video);
        else
            readProgramStream(bytes, video);
    };
    PictureStream start;
    read(head, &start);
    if (!start.first)
        return -1;
    PictureStream end;
    end.id = start.id;
    const qint64 tailAt = std::max<qint64>(head.size(), file.size() - kTailBytes);
    if (tailAt >= file.size()) {
        end = start; // the head is the whole file
    } else {
        if (!file.seek(tailAt))
            return -1;
        read(file.readAll(), &end);
    }
    if (!end.latest || !end.last)
        return -1;
    const int64_t period = framePeriod * 9 / 100'000; // on the 90 kHz clock
    int64_t last = std::max(*end.latest, *end.last + end.unstamped * period) + period;
    if (last < *start.first)
        last += kWrap;
    return (last - *start.first) * 100'000 / 9;
}

int64_t MpegStreamLength(const QString& path, int64_t framePeriod, int64_t estimate) {
    const int64_t span = MpegPictureSpan(path, framePeriod);
    const int64_t leeway = std::max<int64_t>(kSpanLeeway, estimate / 10);
    if (span > 0 && (estimate < 0 || std::llabs(span - estimate) <= leeway))
        return span;
    return -1;
}

} // namespace orvelin::media
