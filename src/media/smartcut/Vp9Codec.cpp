// VP9: a keyframe resets every reference, and pictures are never shown in
// another order than they are decoded, so the parts join as they are. The
// pictures at the marks are encoded by libvpx without hidden reference
// pictures, each packet one shown picture.
#include "media/smartcut/CutCodec.h"

namespace orvelin::media::smartcut {

namespace {

// Constant quality: libvpx's quantizer scale (0-63) at the fine end, far
// above what the eye tells from the copied pictures beside them.
constexpr int kQuality = 8;

class Vp9Codec : public CutCodec {
public:
    using CutCodec::CutCodec;

    const char* Name() const override { return "VP9"; }

    // The parser marks keyframes; a keyframe always decodes on its own.
    bool IsCopyPoint(GstBuffer*) const override { return true; }

    GstElement* MakeEncoder(Part, std::string& error) const override {
        GstElement* encoder = gst_element_factory_make("vp9enc", nullptr);
        if (!encoder) {
            error = "No VP9 encoder (libvpx) is installed to encode the pictures at the marks.";
            return nullptr;
        }
        gst_util_set_object_arg(G_OBJECT(encoder), "end-usage", "q");
        g_object_set(encoder, "cq-level", kQuality, "min-quantizer", 0, "max-quantizer", kQuality,
                     "deadline", gint64(1), "cpu-used", 8, "lag-in-frames", 0, "auto-alt-ref",
                     FALSE, "keyframe-max-dist", 100000, "threads", 2, "row-mt", TRUE, nullptr);
        return encoder;
    }

    const char* EncodedParser() const override { return "vp9parse"; }

    GstCaps* EncodedFormat() const override {
        GstCaps* format = gst_caps_from_string("video/x-vp9");
        if (const char* profile = gst_structure_get_string(Facts(), "profile"))
            gst_caps_set_simple(format, "profile", G_TYPE_STRING, profile, nullptr);
        return format;
    }

    GstCaps* OutputCaps(const GstCaps*, const GstCaps*) const override {
        // MP4's VP9 description records where the colour samples sit, and
        // the writer cannot do without it: samples left of the picture's,
        // as 4:2:0 video has them, when the source does not say.
        GstCaps* caps = gst_caps_copy(Source());
        GstStructure* s = gst_caps_get_structure(caps, 0);
        if (!gst_structure_has_field(s, "chroma-site"))
            gst_structure_set(s, "chroma-site", G_TYPE_STRING, "mpeg2", nullptr);
        return caps;
    }
};

} // namespace

std::unique_ptr<CutCodec> MakeVp9Codec(const GstCaps* source, std::string&) {
    return std::make_unique<Vp9Codec>(source);
}

} // namespace orvelin::media::smartcut
