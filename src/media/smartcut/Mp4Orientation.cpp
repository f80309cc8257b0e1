#include "media/smartcut/Mp4Orientation.h"

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

bool IsVideoTrack(FILE* f, const Box& trak) {
    const std::vector<Box> inTrak = Children(f, trak.body, trak.end);
    const Box* mdia = Find(inTrak, "mdia");
    if (!mdia)
        return false;
    const std::vector<Box> inMdia = Children(f, mdia->body, mdia->end);
    const Box* hdlr = Find(inMdia, "hdlr");
    char handler[4];
    // Version and flags, pre-defined, then the handler type.
    return hdlr && fseeko(f, off_t(hdlr->body + 8), SEEK_SET) == 0 &&
           std::fread(handler, 1, 4, f) == 4 && std::string(handler, 4) == "vide";
}

} // namespace

int OrientationDegrees(const std::string& tag) {
    for (int degrees : {0, 90, 180, 270})
        if (tag == "rotate-" + std::to_string(degrees))
            return degrees;
    return -1;
}

bool SetMp4VideoRotation(const std::string& path, int degrees) {
    File f(std::fopen(path.c_str(), "r+b"), &std::fclose);
    if (!f || fseeko(f.get(), 0, SEEK_END) != 0)
        return false;
    const uint64_t size = uint64_t(ftello(f.get()));
    const std::vector<Box> top = Children(f.get(), 0, size);
    const Box* moov = Find(top, "moov");
    if (!moov)
        return false;
    for (const Box& trak : Children(f.get(), moov->body, moov->end)) {
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
