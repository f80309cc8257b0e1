// MPEG-2: every I picture is a copy point (the B pictures of an open group
// that are shown before it are left out of the copy and encoded with the
// start). The ends are encoded with mjpegtools' encoder as one closed group
// without B pictures, with the source's size, picture rate, aspect,
// interlacing and field order, inside the video buffer of the source's
// level. Each encoded end is a sequence of its own (the encoder ends it with
// an end-of-sequence code), and the copy begins with the source's sequence
// header (in front of its first packet when that has none), which brings
// the source's quantiser matrices back.
#include "media/smartcut/CutCodec.h"

#include <algorithm>
#include <cstring>

namespace orvelin::media::smartcut {

namespace {

// The quantiser scale of the encoded pictures: the finest the encoder uses,
// well above what the eye tells from the copied pictures beside them. The
// video buffer may still ask for a coarser one on a picture that would not
// fit it.
constexpr int kQuality = 2;

// What a sequence header and its extension say.
struct SequenceHeader {
    std::string bytes;    // the header with its extensions, as the source's caps hold it
    int chromaFormat = 1; // 1: 4:2:0, 2: 4:2:2, 3: 4:4:4
    int aspect = 0;       // 1: square pixels, 2: 4:3, 3: 16:9, 4: 2.21:1 (display)

    bool Parse(const GstCaps* caps) {
        const GValue* v = gst_structure_get_value(gst_caps_get_structure(caps, 0), "codec_data");
        GstBuffer* buffer = v ? gst_value_get_buffer(v) : nullptr;
        GstMapInfo map;
        if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ))
            return false;
        bytes.assign(reinterpret_cast<const char*>(map.data), map.size);
        gst_buffer_unmap(buffer, &map);
        const auto* d = reinterpret_cast<const uint8_t*>(bytes.data());
        if (bytes.size() < 12 || std::memcmp(d, "\0\0\1\xb3", 4) != 0)
            return false;
        aspect = d[7] >> 4;
        if (aspect > 4)
            aspect = 0; // reserved: the encoder takes it from the pictures
        // The sequence extension names the chroma format.
        for (size_t at = 4; at + 10 <= bytes.size(); ++at) {
            if (std::memcmp(d + at, "\0\0\1\xb5", 4) != 0 || (d[at + 4] >> 4) != 1)
                continue;
            chromaFormat = (d[at + 5] >> 1) & 3;
            break;
        }
        return true;
    }
};

// The rate and buffer a decoder of the level is built for (bit/s, bits).
void LevelLimits(const char* level, int64_t& rate, int64_t& buffer) {
    const std::string l = level ? level : "";
    if (l == "low") {
        rate = 4000000;
        buffer = 475136;
    } else if (l == "main") {
        rate = 15000000;
        buffer = 1835008;
    } else if (l == "high-1440") {
        rate = 60000000;
        buffer = 7340032;
    } else {
        rate = 80000000;
        buffer = 9781248;
    }
}

class Mpeg2Codec : public CutCodec {
public:
    Mpeg2Codec(const GstCaps* source, SequenceHeader header)
        : CutCodec(source), header_(std::move(header)) {}

    const char* Name() const override { return "MPEG-2"; }

    bool IsCopyPoint(GstBuffer* packet) const override {
        GstMapInfo map;
        if (!gst_buffer_map(packet, &map, GST_MAP_READ))
            return false;
        // The coding type of the packet's first picture.
        int type = 0;
        for (size_t at = 0; at + 6 <= map.size; ++at) {
            if (map.data[at] == 0 && map.data[at + 1] == 0 && map.data[at + 2] == 1 &&
                map.data[at + 3] == 0) {
                type = (map.data[at + 5] >> 3) & 7;
                break;
            }
        }
        gst_buffer_unmap(packet, &map);
        return type == 1;
    }

    GstElement* MakeEncoder(Part, std::string& error) const override {
        // mjpegtools' encoder: FFmpeg's, through this version's libav
        // wrapper, takes no picture rate at all.
        GstElement* encoder = gst_element_factory_make("mpeg2enc", nullptr);
        if (!encoder) {
            error = "No MPEG-2 encoder (mjpegtools' mpeg2enc) is installed to encode the "
                    "pictures at the marks.";
            return nullptr;
        }
        // The rate and video buffer of the source's level, which its
        // decoders have (what the source announces may be far below: its
        // pictures are smaller than these). The encoded parts are sequences
        // of their own, so they may announce other values.
        int64_t rate = 0, buffer = 0;
        LevelLimits(gst_structure_get_string(Facts(), "level"), rate, buffer);
        // The encoder ends the whole program when its buffer holds less than
        // four pictures at its rate: the rate gives way, to six.
        int num = 25, den = 1;
        if (gst_structure_get_fraction(Facts(), "framerate", &num, &den) && num > 0 && den > 0)
            rate = std::min(rate, buffer * num / den / 6);
        const char* mode = gst_structure_get_string(Facts(), "interlace-mode");
        const bool interlaced = mode && std::strcmp(mode, "progressive") != 0;
        g_object_set(encoder, "format", 3, "quantisation", kQuality, "b-per-refframe", 0,
                     "closed-gop", TRUE, "bitrate", int(std::min<int64_t>(rate / 1000, 40000)),
                     "bufsize", int(std::clamp<int64_t>(buffer / 8192, 20, 4000)), "aspect",
                     header_.aspect, "interlace-mode", interlaced ? 1 : 0,
                     // Its own size checks end the program too (a 1920-wide
                     // picture is above the main level it picks by itself);
                     // the source's size is the one to keep.
                     "constraints", FALSE, nullptr);
        if (interlaced) {
            // The field order is the first picture's; the encoder reads its
            // settings when that picture arrives.
            GstPad* pad = gst_element_get_static_pad(encoder, "sink");
            gst_pad_add_probe(
                pad, GST_PAD_PROBE_TYPE_BUFFER,
                [](GstPad* sinkPad, GstPadProbeInfo* info, gpointer) {
                    GstBuffer* picture = GST_PAD_PROBE_INFO_BUFFER(info);
                    const bool top = GST_BUFFER_FLAG_IS_SET(picture, GST_VIDEO_BUFFER_FLAG_TFF);
                    GstObject* element = gst_pad_get_parent(sinkPad);
                    g_object_set(element, "playback-field-order", top ? 1 : 2, nullptr);
                    gst_object_unref(element);
                    return GST_PAD_PROBE_REMOVE;
                },
                nullptr, nullptr);
            gst_object_unref(pad);
        }
        return encoder;
    }

    const char* EncodedParser() const override { return "mpegvideoparse"; }

    GstCaps* EncodedFormat() const override {
        return gst_caps_from_string("video/mpeg,mpegversion=2,systemstream=false,parsed=true");
    }

    GstBuffer* Opening(GstBuffer* packet, Part part, const GstCaps*) const override {
        // The encoded parts start with their own sequence header.
        if (part != Part::Copy || StartsWithSequence(packet))
            return gst_buffer_ref(packet);
        return WrapPacket(packet, header_.bytes, {});
    }

private:
    static bool StartsWithSequence(GstBuffer* packet) {
        uint8_t head[4] = {};
        return gst_buffer_extract(packet, 0, head, 4) == 4 &&
               std::memcmp(head, "\0\0\1\xb3", 4) == 0;
    }

    SequenceHeader header_;
};

} // namespace

std::unique_ptr<CutCodec> MakeMpeg2Codec(const GstCaps* source, std::string& why) {
    SequenceHeader header;
    if (!header.Parse(source)) {
        why = "The source's MPEG-2 stream has no sequence header to copy.";
        return nullptr;
    }
    if (header.chromaFormat != 1) {
        why = "Only MPEG-2 pictures with 4:2:0 colour can be encoded at the marks.";
        return nullptr;
    }
    // The encoder makes interlaced pictures of these heights progressive,
    // which the copied interlaced ones cannot follow (measured: heights that
    // are not a multiple of 32, up to 576 lines; 720 and 1080 are kept).
    const GstStructure* s = gst_caps_get_structure(source, 0);
    const char* mode = gst_structure_get_string(s, "interlace-mode");
    int height = 0;
    gst_structure_get_int(s, "height", &height);
    if (mode && std::strcmp(mode, "progressive") != 0 && height % 32 != 0 && height <= 576) {
        why = "Interlaced MPEG-2 pictures " + std::to_string(height) +
              " lines high cannot be encoded at the marks.";
        return nullptr;
    }
    return std::make_unique<Mpeg2Codec>(source, std::move(header));
}

} // namespace orvelin::media::smartcut
