#include "media/smartcut/Mp4Tracks.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace orvelin::media::smartcut {

namespace {

struct Box {
    uint64_t start = 0; // where its header begins
    uint64_t body = 0;  // where its contents begin
    uint64_t end = 0;
    std::string type;
};

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

uint64_t ReadBig(FILE* f, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        const int c = std::fgetc(f);
        if (c == EOF)
            return 0;
        v = v << 8 | uint64_t(c);
    }
    return v;
}

// The boxes directly inside [from, to).
std::vector<Box> Children(FILE* f, uint64_t from, uint64_t to) {
    std::vector<Box> boxes;
    for (uint64_t at = from; at + 8 <= to;) {
        if (fseeko(f, off_t(at), SEEK_SET) != 0)
            break;
        Box b;
        b.start = at;
        uint64_t size = ReadBig(f, 4);
        char type[4];
        if (std::fread(type, 1, 4, f) != 4)
            break;
        b.type.assign(type, 4);
        b.body = at + 8;
        if (size == 1) {
            size = ReadBig(f, 8);
            b.body += 8;
        } else if (size == 0) {
            size = to - at;
        }
        if (size < b.body - at || at + size > to)
            break;
        b.end = at + size;
        boxes.push_back(b);
        at = b.end;
    }
    return boxes;
}

const Box* Find(const std::vector<Box>& boxes, const char* type) {
    for (const Box& b : boxes)
        if (b.type == type)
            return &b;
    return nullptr;
}

std::string Handler(FILE* f, const Box& trak) {
    const std::vector<Box> inTrak = Children(f, trak.body, trak.end);
    const Box* mdia = Find(inTrak, "mdia");
    if (!mdia)
        return {};
    const std::vector<Box> inMdia = Children(f, mdia->body, mdia->end);
    const Box* hdlr = Find(inMdia, "hdlr");
    char handler[4];
    // Version and flags, pre-defined, then the handler type.
    if (hdlr && fseeko(f, off_t(hdlr->body + 8), SEEK_SET) == 0 &&
        std::fread(handler, 1, 4, f) == 4)
        return std::string(handler, 4);
    return {};
}

bool IsVideoTrack(FILE* f, const Box& trak) {
    return Handler(f, trak) == "vide";
}

bool WriteBig(FILE* f, uint64_t at, uint64_t value, int bytes) {
    unsigned char b[8];
    for (int i = 0; i < bytes; ++i)
        b[i] = (value >> (8 * (bytes - 1 - i))) & 0xff;
    return fseeko(f, off_t(at), SEEK_SET) == 0 &&
           std::fwrite(b, 1, size_t(bytes), f) == size_t(bytes);
}

uint64_t ReadAt(FILE* f, uint64_t at, int bytes) {
    return fseeko(f, off_t(at), SEEK_SET) == 0 ? ReadBig(f, bytes) : 0;
}

// A track's edit list and media time scale.
struct TrackEdits {
    std::string handler;
    Box elst, tkhd;
    uint64_t timescale = 0;
};

bool ReadTrack(FILE* f, const Box& trak, TrackEdits& out) {
    out.handler = Handler(f, trak);
    const std::vector<Box> inTrak = Children(f, trak.body, trak.end);
    const Box* edts = Find(inTrak, "edts");
    const Box* tkhd = Find(inTrak, "tkhd");
    const Box* mdia = Find(inTrak, "mdia");
    if (!edts || !tkhd || !mdia)
        return false;
    const std::vector<Box> inEdts = Children(f, edts->body, edts->end);
    const std::vector<Box> inMdia = Children(f, mdia->body, mdia->end);
    const Box* elst = Find(inEdts, "elst");
    const Box* mdhd = Find(inMdia, "mdhd");
    if (!elst || !mdhd)
        return false;
    out.elst = *elst;
    out.tkhd = *tkhd;
    const int version = int(ReadAt(f, mdhd->body, 1));
    out.timescale = ReadAt(f, mdhd->body + (version == 1 ? 20 : 12), 4);
    return out.timescale > 0;
}

// Opens a written MP4 file for changing, and finds the boxes of its movie.
bool OpenMovie(const std::string& path, File& f, std::vector<Box>& inMoov) {
    f.reset(std::fopen(path.c_str(), "r+b"));
    if (!f || fseeko(f.get(), 0, SEEK_END) != 0)
        return false;
    const uint64_t size = uint64_t(ftello(f.get()));
    const std::vector<Box> top = Children(f.get(), 0, size);
    const Box* moov = Find(top, "moov");
    if (!moov)
        return false;
    inMoov = Children(f.get(), moov->body, moov->end);
    return true;
}

} // namespace

bool TrimMp4SoundStart(const std::string& path, int64_t trim) {
    File f(nullptr, &std::fclose);
    std::vector<Box> inMoov;
    if (!OpenMovie(path, f, inMoov))
        return false;
    const Box* mvhd = Find(inMoov, "mvhd");
    TrackEdits video, sound;
    for (const Box& trak : inMoov) {
        TrackEdits t;
        if (trak.type != "trak" || !ReadTrack(f.get(), trak, t))
            continue;
        if (t.handler == "vide")
            video = t;
        else if (t.handler == "soun")
            sound = t;
    }
    if (!mvhd || video.handler.empty() || sound.handler.empty())
        return false;
    FILE* file = f.get();
    // Entries: segment duration (movie time), media time, rate.
    const int videoVersion = int(ReadAt(file, video.elst.body, 1));
    const int soundVersion = int(ReadAt(file, sound.elst.body, 1));
    const int videoField = videoVersion == 1 ? 8 : 4, soundField = soundVersion == 1 ? 8 : 4;
    const uint64_t videoCount = ReadAt(file, video.elst.body + 4, 4);
    const uint64_t soundCount = ReadAt(file, sound.elst.body + 4, 4);
    const uint64_t videoEntries = video.elst.body + 8, soundEntries = sound.elst.body + 8;
    const uint64_t entry = uint64_t(2 * videoField + 4);
    auto signedAt = [&](uint64_t at, int bytes) {
        const uint64_t v = ReadAt(file, at, bytes);
        return bytes == 8 ? int64_t(v) : int64_t(int32_t(uint32_t(v)));
    };
    // As the writer makes them: the picture's empty edit, then its media;
    // the sound's media from its start.
    if (videoCount != 2 || signedAt(videoEntries + videoField, videoField) != -1 ||
        soundCount != 1 || signedAt(soundEntries + soundField, soundField) != 0 ||
        video.elst.body + 8 + videoCount * entry > video.elst.end)
        return false;
    const uint64_t empty = ReadAt(file, videoEntries, videoField); // movie time
    const uint64_t soundLength = ReadAt(file, soundEntries, soundField);
    const uint64_t skip = (uint64_t(trim) * sound.timescale + 500000000) / 1000000000;
    // The picture's media entry takes the empty edit's place; the bytes
    // left become a free box.
    static const unsigned char kZeros[12] = {};
    unsigned char media[20];
    if (fseeko(file, off_t(videoEntries + entry), SEEK_SET) != 0 ||
        std::fread(media, 1, size_t(entry), file) != size_t(entry))
        return false;
    const uint64_t newEnd = video.elst.end - entry;
    const bool ok =
        fseeko(file, off_t(videoEntries), SEEK_SET) == 0 &&
        std::fwrite(media, 1, size_t(entry), file) == size_t(entry) &&
        WriteBig(file, video.elst.body + 4, 1, 4) &&
        WriteBig(file, video.elst.start, newEnd - video.elst.start, 4) &&
        WriteBig(file, newEnd, entry, 4) && fseeko(file, off_t(newEnd + 4), SEEK_SET) == 0 &&
        std::fwrite("free", 1, 4, file) == 4 &&
        std::fwrite(kZeros, 1, size_t(entry) - 8, file) == size_t(entry) - 8 &&
        // The sound skips what comes before the picture and ends as long.
        WriteBig(file, soundEntries + soundField, skip, soundField) &&
        WriteBig(file, soundEntries, soundLength > empty ? soundLength - empty : 0, soundField);
    if (!ok)
        return false;
    // The picture's track and the movie no longer last the empty edit.
    auto shorten = [&](const Box& box, uint64_t v0, uint64_t v1) {
        const int version = int(ReadAt(file, box.body, 1));
        const uint64_t at = box.body + (version == 1 ? v1 : v0);
        const int bytes = version == 1 ? 8 : 4;
        const uint64_t length = ReadAt(file, at, bytes);
        return WriteBig(file, at, length > empty ? length - empty : 0, bytes);
    };
    return shorten(video.tkhd, 20, 28) && shorten(*mvhd, 16, 24) && std::fflush(file) == 0;
}

int OrientationDegrees(const std::string& tag) {
    for (int degrees : {0, 90, 180, 270})
        if (tag == "rotate-" + std::to_string(degrees))
            return degrees;
    return -1;
}

bool SetMp4VideoRotation(const std::string& path, int degrees) {
    File f(nullptr, &std::fclose);
    std::vector<Box> inMoov;
    if (!OpenMovie(path, f, inMoov))
        return false;
    for (const Box& trak : inMoov) {
        if (trak.type != "trak" || !IsVideoTrack(f.get(), trak))
            continue;
        const std::vector<Box> inTrak = Children(f.get(), trak.body, trak.end);
        const Box* tkhd = Find(inTrak, "tkhd");
        if (!tkhd || fseeko(f.get(), off_t(tkhd->body), SEEK_SET) != 0)
            return false;
        const int version = std::fgetc(f.get());
        // Times, track id and duration, then reserved, layer, group and
        // volume: the matrix follows, then the track's width and height.
        const uint64_t matrixAt = tkhd->body + 4 + (version == 1 ? 32 : 20) + 16;
        if (matrixAt + 44 > tkhd->end || fseeko(f.get(), off_t(matrixAt + 36), SEEK_SET) != 0)
            return false;
        const int64_t w = int64_t(ReadBig(f.get(), 4) >> 16),
                      h = int64_t(ReadBig(f.get(), 4) >> 16);
        constexpr int64_t one = 1 << 16;
        // a b u / c d v / x y w, as the players that turn MP4 video read it.
        int64_t m[9] = {one, 0, 0, 0, one, 0, 0, 0, int64_t(1) << 30};
        if (degrees == 90)
            m[0] = 0, m[1] = one, m[3] = -one, m[4] = 0, m[6] = h * one;
        else if (degrees == 180)
            m[0] = -one, m[4] = -one, m[6] = w * one, m[7] = h * one;
        else if (degrees == 270)
            m[0] = 0, m[1] = -one, m[3] = one, m[4] = 0, m[7] = w * one;
        unsigned char bytes[36];
        for (int i = 0; i < 9; ++i)
            for (int b = 0; b < 4; ++b)
                bytes[i * 4 + b] = (uint32_t(m[i]) >> (24 - 8 * b)) & 0xff;
        return fseeko(f.get(), off_t(matrixAt), SEEK_SET) == 0 &&
               std::fwrite(bytes, 1, sizeof bytes, f.get()) == sizeof bytes &&
               std::fflush(f.get()) == 0;
    }
    return false;
}

} // namespace orvelin::media::smartcut
