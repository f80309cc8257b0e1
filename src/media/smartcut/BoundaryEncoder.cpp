#include "media/smartcut/BoundaryEncoder.h"

#include "media/smartcut/SourceReader.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>

#include <algorithm>
#include <mutex>

namespace orvelin::media::smartcut {

namespace {

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
    if (caps)
        gst_caps_unref(caps);
}

bool EncodeRange(const std::string& path, int64_t from, int64_t to, size_t pictures,
                 const CutCodec& codec, Part part, EncodedPart& out, const std::atomic<bool>* stop,
                 std::string& error) {
    SourceReader reader(path, true, false, true);
    if (!reader.Open(error))
        return false;
    if (!reader.Found().video) {
        error = "The source's pictures cannot be decoded.";
        return false;
    }
    GstElement* encoder = codec.MakeEncoder(part, error);
    if (!encoder)
        return false;
    GstElement* pipeline = gst_pipeline_new("smart-cut-encoder");
    GstElement* src = gst_element_factory_make("appsrc", nullptr);
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    GstElement* parser =
        codec.EncodedParser() ? gst_element_factory_make(codec.EncodedParser(), nullptr) : nullptr;
    g_object_set(src, "caps", reader.Found().video, "format", GST_FORMAT_TIME, "block", TRUE,
                 "max-bytes", guint64(64) << 20, nullptr);
    GstCaps* format = codec.EncodedFormat();
    g_object_set(filter, "caps", format, nullptr);
    gst_caps_unref(format);
    Collector collector{{}, &out.packets};
    g_object_set(sink, "sync", FALSE, "emit-signals", TRUE, nullptr);
    g_signal_connect(sink, "new-sample", G_CALLBACK(OnEncoded), &collector);
    gst_bin_add_many(GST_BIN(pipeline), src, encoder, filter, sink, nullptr);
    if (parser) {
        gst_bin_add(GST_BIN(pipeline), parser);
        gst_element_link_many(src, encoder, parser, filter, sink, nullptr);
    } else {
        gst_element_link_many(src, encoder, filter, sink, nullptr);
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);

    bool pushed = true, read = true;
    std::vector<GstClockTime> shown;
    // Decoding starts at the copy point the demultiplexer finds before the
    // first picture. When that one is shown later than the pictures before
    // it that it needs (a clean-random-access keyframe's leading pictures),
    // the first picture does not come: decoding then starts further back.
    for (int64_t back : {int64_t(0), 1 * GST_SECOND, 4 * GST_SECOND, 16 * GST_SECOND}) {
        if (back > 0 && from == 0)
            break;
        bool missed = false;
        SourceReader range(path, true, false, true);
        SourceReader& decoder = back == 0 ? reader : range;
        if (back > 0 && !decoder.Open(error)) {
            read = false;
            break;
        }
        // The range has no end: pictures shown inside it may decode after
        // ones shown later. It starts just before its first picture: a
        // picture that overlaps the start of the range comes stamped with
        // that start, and must not pass for the first.
        read = decoder.RunRange(
            std::max<int64_t>(from - back - 1, 0), -1,
            [&](GstBuffer* picture) {
                // Only the pictures of the range, each once.
                const GstClockTime pts = GST_BUFFER_PTS(picture);
                if (!GST_CLOCK_TIME_IS_VALID(pts) || pts < GstClockTime(from))
                    return true;
                if (shown.empty() && pts != GstClockTime(from)) {
                    missed = true;
                    return false;
                }
                if (pts >= GstClockTime(to) || (!shown.empty() && pts <= shown.back()))
                    return true;
                shown.push_back(pts);
                pushed = gst_app_src_push_buffer(GST_APP_SRC(src), gst_buffer_ref(picture)) ==
                         GST_FLOW_OK;
                return pushed && shown.size() < pictures && !(stop && stop->load());
            },
            error);
        if (!missed || !read)
            break;
    }
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
        out.caps = gst_pad_get_current_caps(pad);
        gst_object_unref(pad);
        ok = out.caps && !out.packets.empty() && out.packets.size() == shown.size() &&
             shown.size() == pictures;
        for (size_t i = 0; ok && i < shown.size(); ++i)
            GST_BUFFER_PTS(out.packets[i]) = shown[i];
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    if (stop && stop->load())
        return false;
    if (!ok && error.empty())
        error = "The pictures at the marks could not be encoded again.";
    return ok;
}

} // namespace orvelin::media::smartcut
