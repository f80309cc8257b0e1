// H.264: the pictures at the marks carry parameter sets under identifiers
// of their own, all of which go into the one decoder configuration beside
// the source's, so a decoder holds both from the start.
#include "media/smartcut/CutCodec.h"
#include "media/smartcut/ParameterSets.h"

#include <algorithm>

namespace orvelin::media::smartcut {

namespace {

// The re-encoded pictures use one constant quantizer (x264's constant-quality
// mode gave pictures barely 40 dB from the source at 1080p): well above what
// the eye tells from the copied ones beside them. At this quantizer x264's
// fastest preset costs a few more bytes for these few pictures, not
// fidelity, and keeps the cut quick.
constexpr int kQuality = 16;

int FreeParameterId(const std::vector<int>& used, int after) {
    for (int id = after + 1; id < 32; ++id)
        if (std::find(used.begin(), used.end(), id) == used.end())
            return id;
    return -1;
}

class AvcCodec : public CutCodec {
public:
    AvcCodec(const GstCaps* source, AvcConfig config, int headId, int tailId)
        : CutCodec(source), config_(std::move(config)), headId_(headId), tailId_(tailId) {}

    const char* Name() const override { return "H.264"; }

    bool IsCopyPoint(GstBuffer* packet) const override {
        return IsIdrAccessUnit(packet, config_.lengthSize);
    }

    GstElement* MakeEncoder(Part part, std::string& error) const override {
        GstElement* encoder = gst_element_factory_make("x264enc", nullptr);
        if (!encoder) {
            error = "No H.264 encoder (x264) is installed to encode the pictures at the marks.";
            return nullptr;
        }
        gst_util_set_object_arg(G_OBJECT(encoder), "pass", "quant");
        gst_util_set_object_arg(G_OBJECT(encoder), "speed-preset", "ultrafast");
        std::string options = "sps-id=" + std::to_string(part == Part::Tail ? tailId_ : headId_);
        if (const char* level = gst_structure_get_string(Facts(), "level"))
            options += std::string(":level=") + level;
        g_object_set(encoder, "quantizer", guint(kQuality), "bframes", guint(0), "key-int-max",
                     guint(1u << 30), "b-adapt", FALSE, "option-string", options.c_str(), nullptr);
        return encoder;
    }

    GstCaps* EncodedFormat() const override {
        GstCaps* format = gst_caps_from_string("video/x-h264,stream-format=avc,alignment=au");
        if (const char* profile = gst_structure_get_string(Facts(), "profile"))
            gst_caps_set_simple(format, "profile", G_TYPE_STRING, profile, nullptr);
        return format;
    }

    GstCaps* OutputCaps(const GstCaps* head, const GstCaps* tail) const override {
        AvcConfig config = config_;
        for (const GstCaps* part : {head, tail}) {
            AvcConfig encoded;
            if (part && encoded.Parse(CodecData(part)))
                config.Merge(encoded);
        }
        GstCaps* caps = gst_caps_copy(Source());
        GstBuffer* data = config.Build();
        gst_caps_set_simple(caps, "codec_data", GST_TYPE_BUFFER, data, nullptr);
        gst_buffer_unref(data);
        return caps;
    }

    static GstBuffer* CodecData(const GstCaps* caps) {
        const GValue* v = gst_structure_get_value(gst_caps_get_structure(caps, 0), "codec_data");
        return v ? gst_value_get_buffer(v) : nullptr;
    }

private:
    AvcConfig config_;
    int headId_, tailId_;
};

} // namespace

std::unique_ptr<CutCodec> MakeAvcCodec(const GstCaps* source, std::string& why) {
    const GstStructure* s = gst_caps_get_structure(source, 0);
    AvcConfig config;
    if (!config.Parse(AvcCodec::CodecData(source))) {
        why = "The source's H.264 stream has no decoder configuration to copy.";
        return nullptr;
    }
    if (config.lengthSize != 4) {
        why = "The source's H.264 stream uses a packet layout the program cannot copy.";
        return nullptr;
    }
    const char* profile = gst_structure_get_string(s, "profile");
    if (profile && (g_str_has_prefix(profile, "high-10") || g_str_has_prefix(profile, "high-4"))) {
        why = std::string("The source's H.264 profile \"") + profile +
              "\" cannot be encoded at the marks; only 8-bit 4:2:0 H.264 can be copied.";
        return nullptr;
    }
    const std::vector<int> used = config.UsedIds();
    const int headId = FreeParameterId(used, 0);
    const int tailId = FreeParameterId(used, headId);
    if (headId < 0 || tailId < 0) {
        why = "The source's H.264 stream uses every parameter set identifier.";
        return nullptr;
    }
    return std::make_unique<AvcCodec>(source, std::move(config), headId, tailId);
}

} // namespace orvelin::media::smartcut
