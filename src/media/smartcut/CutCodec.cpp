#include "media/smartcut/CutCodec.h"

#include "media/smartcut/SourceReader.h"

namespace orvelin::media::smartcut {

std::unique_ptr<CutCodec> CutCodec::For(const GstCaps* source, std::string& why) {
    const std::string name = CodecName(source);
    if (name == "H.264")
        return MakeAvcCodec(source, why);
    if (name == "H.265")
        return MakeHevcCodec(source, why);
    if (name == "VP9")
        return MakeVp9Codec(source, why);
    if (name == "MPEG-2")
        return MakeMpeg2Codec(source, why);
    why = Refusal(name);
    return nullptr;
}

bool CutCodec::Cuts(const std::string& name) {
    return name == "H.264" || name == "H.265" || name == "VP9" || name == "MPEG-2";
}

std::string CutCodec::Refusal(const std::string& name) {
    return "Pictures in " + name +
           " cannot be cut exactly without re-encoding; H.264, H.265, VP9 and MPEG-2 can be "
           "copied.";
}

CutCodec::CutCodec(const GstCaps* source) : source_(gst_caps_copy(source)) {}

CutCodec::~CutCodec() {
    gst_caps_unref(source_);
}

GstCaps* CutCodec::OutputCaps(const GstCaps*, const GstCaps*) const {
    return gst_caps_copy(source_);
}

GstBuffer* CutCodec::Opening(GstBuffer* packet, Part, const GstCaps*) const {
    return gst_buffer_ref(packet);
}

GstBuffer* CutCodec::Closing(GstBuffer* packet, Part) const {
    return gst_buffer_ref(packet);
}

bool CutCodec::SourceColorimetry(GstVideoColorimetry& out) const {
    const char* text = gst_structure_get_string(Facts(), "colorimetry");
    return text && gst_video_colorimetry_from_string(&out, text);
}

GstBuffer* WrapPacket(GstBuffer* packet, const std::string& prefix, const std::string& suffix) {
    GstBuffer* out = gst_buffer_new();
    gst_buffer_copy_into(out, packet, GstBufferCopyFlags(GST_BUFFER_COPY_METADATA), 0, -1);
    auto bytes = [](const std::string& s) {
        gpointer data = g_memdup2(s.data(), s.size());
        return gst_memory_new_wrapped(GST_MEMORY_FLAG_READONLY, data, s.size(), 0, s.size(), data,
                                      g_free);
    };
    if (!prefix.empty())
        gst_buffer_append_memory(out, bytes(prefix));
    gst_buffer_copy_into(out, packet, GST_BUFFER_COPY_MEMORY, 0, -1);
    if (!suffix.empty())
        gst_buffer_append_memory(out, bytes(suffix));
    return out;
}

} // namespace orvelin::media::smartcut
