#include "media/smartcut/BoundaryEncoder.h"

#include "media/smartcut/SourceReader.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>

#include <algorithm>
#include <mutex>

namespace orvelin::media::smartcut {

namespace {

// The re-encoded pictures use one constant quantizer (x264's constant-quality
// mode gave pictures barely 40 dB from the source at 1080p): well above what
// the eye tells from the copied ones beside them. At this quantizer x264's
// fastest preset costs a few more bytes for these few pictures, not
// fidelity, and keeps the cut quick.
constexpr int kQuality = 16;

struct Collector {
    std::mutex mutex;
    std::vector<GstBuffer*>* packets;
};

GstFlowReturn OnEncoded(GstElement* sink, gpointer data) {
    auto* collector = static_cast<Collector*>(data);
    GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink));
    if (!sample)
        return GST_FLOW_EOS;
    // Timestamps are set from the pictures given (the encoder moves its
    // output to keep decode times positive; it does not reorder here).
    GstBuffer* packet = gst_buffer_copy(gst_sample_get_buffer(sample));
    {
        std::lock_guard lock(collector->mutex);
        collector->packets->push_back(packet);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

std::string EncoderOptions(const GstStructure* source, int parameterId) {
    std::string options = "sps-id=" + std::to_string(parameterId);
    if (const char* level = gst_structure_get_string(source, "level"))
        options += std::string(":level=") + level;
    return options;
}

} // namespace

void LoadCodecs() {
    // The decoder's plugin registers every codec of its library when it is
    // first loaded, which takes a good part of a second.
    for (const char* name : {"avdec_h264", "x264enc"}) {
        if (GstElementFactory* factory = gst_element_factory_find(name)) {
            if (GstPluginFeature* loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(factory)))
                gst_object_unref(loaded);
            gst_object_unref(factory);
        }
    }
}

EncodedPart::~EncodedPart() {
    for (GstBuffer* b : packets)
        gst_buffer_unref(b);
}

bool EncodeRange(const std::string& path, int64_t from, int64_t to, size_t pictures,
                 const GstCaps* sourceCaps, int parameterId, EncodedPart& out, std::string& error) {
    SourceReader reader(path, true, false, true);
    if (!reader.Open(error))
        return false;
    if (!reader.Found().video) {
        error = "The source's pictures cannot be decoded.";
        return false;
    }
    const GstStructure* source = gst_caps_get_structure(sourceCaps, 0);

    GstElement* pipeline = gst_pipeline_new("smart-cut-encoder");
    GstElement* src = gst_element_factory_make("appsrc", nullptr);
    GstElement* encoder = gst_element_factory_make("x264enc", nullptr);
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    if (!encoder) {
        if (src)
            gst_object_unref(src);
        gst_object_unref(pipeline);
        error = "No H.264 encoder (x264) is installed to encode the pictures at the marks.";
        return false;
    }
    g_object_set(src, "caps", reader.Found().video, "format", GST_FORMAT_TIME, "block", TRUE,
                 "max-bytes", guint64(64) << 20, nullptr);
    gst_util_set_object_arg(G_OBJECT(encoder), "pass", "quant");
    gst_util_set_object_arg(G_OBJECT(encoder), "speed-preset", "ultrafast");
    const std::string options = EncoderOptions(source, parameterId);
    g_object_set(encoder, "quantizer", guint(kQuality), "bframes", guint(0), "key-int-max",
                 guint(1u << 30), "b-adapt", FALSE, "option-string", options.c_str(), nullptr);
    GstCaps* format = gst_caps_from_string("video/x-h264,stream-format=avc,alignment=au");
    if (const char* profile = gst_structure_get_string(source, "profile"))
        gst_caps_set_simple(format, "profile", G_TYPE_STRING, profile, nullptr);
    g_object_set(filter, "caps", format, nullptr);
    gst_caps_unref(format);
    Collector collector{{}, &out.packets};
    g_object_set(sink, "sync", FALSE, "emit-signals", TRUE, nullptr);
    g_signal_connect(sink, "new-sample", G_CALLBACK(OnEncoded), &collector);
    gst_bin_add_many(GST_BIN(pipeline), src, encoder, filter, sink, nullptr);
    gst_element_link_many(src, encoder, filter, sink, nullptr);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);

    bool pushed = true;
    std::vector<GstClockTime> shown;
    // The range starts a nanosecond into its first picture, so that the one
    // before, which ends where it begins, is left out whatever its rounding.
    const bool read = reader.RunRange(
        from + 1, to,
        [&](GstBuffer* picture) {
            // Only the pictures of the range, each once.
            const GstClockTime pts = GST_BUFFER_PTS(picture);
            if (!GST_CLOCK_TIME_IS_VALID(pts) || pts < GstClockTime(from) ||
                pts >= GstClockTime(to) || (!shown.empty() && pts <= shown.back()))
                return true;
            shown.push_back(std::max<GstClockTime>(pts, from));
            pushed =
                gst_app_src_push_buffer(GST_APP_SRC(src), gst_buffer_ref(picture)) == GST_FLOW_OK;
            return pushed && shown.size() < pictures;
        },
        error);
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(
        bus, 600 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    bool ok = read && pushed && msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (msg)
        gst_message_unref(msg);
    gst_object_unref(bus);
    if (ok) {
        GstPad* pad = gst_element_get_static_pad(sink, "sink");
        GstCaps* caps = gst_pad_get_current_caps(pad);
        gst_object_unref(pad);
        const GValue* data =
            caps ? gst_structure_get_value(gst_caps_get_structure(caps, 0), "codec_data") : nullptr;
        ok = data && out.config.Parse(gst_value_get_buffer(data)) && !out.packets.empty() &&
             out.packets.size() == shown.size() && shown.size() == pictures;
        for (size_t i = 0; ok && i < shown.size(); ++i)
            GST_BUFFER_PTS(out.packets[i]) = shown[i];
        if (caps)
            gst_caps_unref(caps);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    if (!ok && error.empty())
        error = "The pictures at the marks could not be encoded again.";
    return ok;
}

} // namespace orvelin::media::smartcut
