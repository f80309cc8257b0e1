// H.265: x265 cannot give its parameter sets identifiers of their own, so
// every part carries its own sets in front of its first picture (the
// "hev1" form, where sets may come with the pictures): the first copied
// packet gets the source's sets in front of its own bytes. The encoded
// start ends with an end-of-sequence unit, so that the copy starts a new
// sequence even at a clean-random-access keyframe; the pictures such a
// keyframe would need from before it are left out of the copy (they are
// among the pictures encoded again).
#include "media/smartcut/CutCodec.h"

#include <cstring>
#include <vector>

namespace orvelin::media::smartcut {

namespace {

// A constant rate factor rather than a constant quantizer, which x265 will
// not combine with a decoder level; the level's rate limit then holds too.
constexpr int kQuality = 10;

// The parts of an "hvcC" decoder configuration record that matter here.
struct HvcRecord {
    int lengthSize = 0;
    std::vector<std::string> sets;   // VPS, SPS and PPS units, in order
    std::vector<size_t> arrayStarts; // where each array of units begins

    bool Parse(const GstCaps* caps) {
        const GValue* v = gst_structure_get_value(gst_caps_get_structure(caps, 0), "codec_data");
        GstBuffer* buffer = v ? gst_value_get_buffer(v) : nullptr;
        GstMapInfo map;
        if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ))
            return false;
        bytes.assign(reinterpret_cast<const char*>(map.data), map.size);
        gst_buffer_unmap(buffer, &map);
        const auto* d = reinterpret_cast<const uint8_t*>(bytes.data());
        if (bytes.size() < 23 || d[0] != 1)
            return false;
        lengthSize = (d[21] & 3) + 1;
        size_t at = 23;
        for (int a = 0; a < d[22]; ++a) {
            if (at + 3 > bytes.size())
                return false;
            arrayStarts.push_back(at);
            const int type = d[at] & 0x3f;
            const size_t count = size_t(d[at + 1]) << 8 | d[at + 2];
            at += 3;
            for (size_t i = 0; i < count; ++i) {
                if (at + 2 > bytes.size())
                    return false;
                const size_t len = size_t(d[at]) << 8 | d[at + 1];
                at += 2;
                if (at + len > bytes.size())
                    return false;
                if (type >= 32 && type <= 34)
                    sets.push_back(bytes.substr(at, len));
                at += len;
            }
        }
        return true;
    }

    // The sets as length-prefixed units, to stand in front of a picture.
    std::string InBand() const {
        std::string out;
        for (const std::string& s : sets) {
            const uint32_t n = uint32_t(s.size());
            const char len[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
            out.append(len, 4);
            out += s;
        }
        return out;
    }

    std::string bytes;
};

const char* const kProfiles[] = {"main",     "main-10",     "main-still-picture",
                                 "main-444", "main-422-10", "main-444-10",
                                 "main-12",  "main-422-12", "main-444-12"};

class HevcCodec : public CutCodec {
public:
    HevcCodec(const GstCaps* source, HvcRecord record)
        : CutCodec(source), record_(std::move(record)) {}

    const char* Name() const override { return "H.265"; }

    bool IsCopyPoint(GstBuffer* packet) const override {
        GstMapInfo map;
        if (!gst_buffer_map(packet, &map, GST_MAP_READ))
            return false;
        bool irap = false;
        for (size_t at = 0; at + 4 < map.size;) {
            const size_t len = size_t(map.data[at]) << 24 | size_t(map.data[at + 1]) << 16 |
                               size_t(map.data[at + 2]) << 8 | map.data[at + 3];
            at += 4;
            const int type = (map.data[at] >> 1) & 0x3f;
            if (type < 32) { // the first picture unit decides
                irap = type >= 16 && type <= 21;
                break;
            }
            at += len;
        }
        gst_buffer_unmap(packet, &map);
        return irap;
    }

    GstElement* MakeEncoder(Part, std::string& error) const override {
        GstElement* encoder = gst_element_factory_make("x265enc", nullptr);
        if (!encoder) {
            error = "No H.265 encoder (x265) is installed to encode the pictures at the marks.";
            return nullptr;
        }
        std::string options =
            "bframes=0:scenecut=0:open-gop=0:info=0:crf=" + std::to_string(kQuality);
        if (const char* level = gst_structure_get_string(Facts(), "level"))
            options += std::string(":level-idc=") + level;
        if (const char* tier = gst_structure_get_string(Facts(), "tier"))
            if (std::strcmp(tier, "high") == 0)
                options += ":high-tier=1";
        gst_util_set_object_arg(G_OBJECT(encoder), "speed-preset", "ultrafast");
        gst_util_set_object_arg(G_OBJECT(encoder), "log-level", "none");
        g_object_set(encoder, "key-int-max", 100000, "option-string", options.c_str(), nullptr);
        return encoder;
    }

    const char* EncodedParser() const override { return "h265parse"; }

    GstCaps* EncodedFormat() const override {
        GstCaps* format = gst_caps_from_string("video/x-h265,stream-format=hvc1,alignment=au");
        if (const char* profile = gst_structure_get_string(Facts(), "profile"))
            gst_caps_set_simple(format, "profile", G_TYPE_STRING, profile, nullptr);
        return format;
    }

    GstCaps* OutputCaps(const GstCaps*, const GstCaps*) const override {
        // Sets come with the pictures too, which the record must not deny.
        std::string bytes = record_.bytes;
        for (size_t at : record_.arrayStarts)
            bytes[at] = char(uint8_t(bytes[at]) & 0x7f);
        GstBuffer* data = gst_buffer_new_memdup(bytes.data(), bytes.size());
        GstCaps* caps = gst_caps_copy(Source());
        gst_caps_set_simple(caps, "stream-format", G_TYPE_STRING, "hev1", "codec_data",
                            GST_TYPE_BUFFER, data, nullptr);
        gst_buffer_unref(data);
        return caps;
    }

    GstBuffer* Opening(GstBuffer* packet, Part part, const GstCaps* caps) const override {
        HvcRecord own;
        if (part == Part::Copy)
            return WrapPacket(packet, record_.InBand(), {});
        return WrapPacket(packet, own.Parse(caps) ? own.InBand() : std::string(), {});
    }

    GstBuffer* Closing(GstBuffer* packet, Part part) const override {
        // Copied packets stay as they are: the tail starts with an IDR
        // picture, which needs no end of sequence before it.
        if (part == Part::Copy)
            return gst_buffer_ref(packet);
        static const std::string kEndOfSequence("\0\0\0\2\x48\x01", 6);
        return WrapPacket(packet, {}, kEndOfSequence);
    }

private:
    HvcRecord record_;
};

} // namespace

std::unique_ptr<CutCodec> MakeHevcCodec(const GstCaps* source, std::string& why) {
    const GstStructure* s = gst_caps_get_structure(source, 0);
    HvcRecord record;
    if (!record.Parse(source) || record.sets.empty()) {
        why = "The source's H.265 stream has no decoder configuration to copy.";
        return nullptr;
    }
    if (record.lengthSize != 4) {
        why = "The source's H.265 stream uses a packet layout the program cannot copy.";
        return nullptr;
    }
    const char* mode = gst_structure_get_string(s, "interlace-mode");
    if (mode && std::strcmp(mode, "progressive") != 0) {
        why = "Interlaced H.265 pictures cannot be encoded at the marks.";
        return nullptr;
    }
    const char* profile = gst_structure_get_string(s, "profile");
    bool known = !profile;
    for (const char* p : kProfiles)
        known = known || std::strcmp(profile, p) == 0;
    if (!known) {
        why = std::string("The source's H.265 profile \"") + profile +
              "\" cannot be encoded at the marks.";
        return nullptr;
    }
    return std::make_unique<HevcCodec>(source, std::move(record));
}

} // namespace orvelin::media::smartcut
