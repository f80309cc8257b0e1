#include "media/VideoFrameCounter.h"

#include "media/PipelineRelease.h"

#include <QFile>
#include <gst/gst.h>

#include <memory>
#include <mutex>

namespace orvelin::media {

namespace {

struct Counting {
    std::mutex mutex;
    bool videoLinked = false;
    // Codecs that carry their set-up packets in the caps (Theora) also send
    // them as buffers marked "header": those are no frames. Elsewhere the mark
    // may sit on a real frame (an H.264 key frame with its parameter sets).
    bool headersInCaps = false;
    VideoFrameCount count;
};

GstPadProbeReturn countBuffer(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!buffer || gst_buffer_get_size(buffer) == 0 ||
        GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_GAP))
        return GST_PAD_PROBE_OK;
    auto& counting = **static_cast<std::shared_ptr<Counting>*>(data);
    GstClockTime time = GST_BUFFER_PTS(buffer);
    if (!GST_CLOCK_TIME_IS_VALID(time))
        time = GST_BUFFER_DTS(buffer);
    std::lock_guard lock(counting.mutex);
    if (counting.headersInCaps && GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_HEADER))
        return GST_PAD_PROBE_OK;
    VideoFrameCount& count = counting.count;
    ++count.frames;
    if (GST_CLOCK_TIME_IS_VALID(time)) {
        const auto t = static_cast<int64_t>(time);
        if (count.firstTime < 0 || t < count.firstTime)
            count.firstTime = t;
        if (t > count.lastTime)
            count.lastTime = t;
    }
    return GST_PAD_PROBE_OK;
}

void forgetCounting(gpointer data) {
    delete static_cast<std::shared_ptr<Counting>*>(data);
}

// Every stream the parser offers ends in a sink of its own; the first video
// stream's frames are counted on the way.
void onParsedPad(GstElement* parser, GstPad* pad, gpointer data) {
    auto counting = *static_cast<std::shared_ptr<Counting>*>(data);
    GstElement* pipeline = GST_ELEMENT(gst_element_get_parent(parser));
    if (!pipeline)
        return;
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    gst_bin_add(GST_BIN(pipeline), sink);
    GstPad* sinkPad = gst_element_get_static_pad(sink, "sink");
    if (gst_pad_link(pad, sinkPad) == GST_PAD_LINK_OK) {
        GstCaps* caps = gst_pad_get_current_caps(pad);
        if (!caps)
            caps = gst_pad_query_caps(pad, nullptr);
        const GstStructure* s = caps ? gst_caps_get_structure(caps, 0) : nullptr;
        const bool video = s && g_str_has_prefix(gst_structure_get_name(s), "video/");
        const bool headersInCaps = s && gst_structure_has_field(s, "streamheader");
        if (caps)
            gst_caps_unref(caps);
        bool first = false;
        if (video) {
            std::lock_guard lock(counting->mutex);
            first = !counting->videoLinked;
            counting->videoLinked = true;
            if (first)
                counting->headersInCaps = headersInCaps;
        }
        if (first)
            gst_pad_add_probe(sinkPad, GST_PAD_PROBE_TYPE_BUFFER, countBuffer,
                              new std::shared_ptr<Counting>(counting), forgetCounting);
    }
    gst_object_unref(sinkPad);
    gst_element_sync_state_with_parent(sink);
    gst_object_unref(pipeline);
}

} // namespace

bool CountVideoFrames(const QString& path, std::chrono::milliseconds budget,
                      VideoFrameCount* count) {
    if (!count)
        return false;
    *count = {};
    GstElement* pipeline = gst_pipeline_new(nullptr);
    GstElement* source = gst_element_factory_make("filesrc", nullptr);
    GstElement* parser = gst_element_factory_make("parsebin", nullptr);
    if (!pipeline || !source || !parser) {
        for (GstElement* element : {pipeline, source, parser})
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        return false;
    }
    gst_object_ref_sink(pipeline);
    g_object_set(source, "location", QFile::encodeName(path).constData(), nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, parser, nullptr);
    gst_element_link(source, parser);
    auto counting = std::make_shared<Counting>();
    g_signal_connect_data(
        parser, "pad-added", G_CALLBACK(onParsedPad), new std::shared_ptr<Counting>(counting),
        [](gpointer data, GClosure*) { forgetCounting(data); }, GConnectFlags(0));

    bool complete = false;
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
        GstBus* bus = gst_element_get_bus(pipeline);
        GstMessage* message =
            gst_bus_timed_pop_filtered(bus, GstClockTime(std::chrono::nanoseconds(budget).count()),
                                       GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (message) {
            complete = GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
            gst_message_unref(message);
        }
        gst_object_unref(bus);
    }
    {
        std::lock_guard lock(counting->mutex);
        *count = counting->count;
        count->complete = complete;
    }
    ReleasePipeline(pipeline, std::chrono::milliseconds(300));
    return count->frames > 0;
}

double MeanFrameRate(const VideoFrameCount& count, double durationSeconds) {
    if (count.frames == 0)
        return 0.0;
    if (count.complete && durationSeconds > 0.0)
        return static_cast<double>(count.frames) / durationSeconds;
    if (count.frames < 2 || count.lastTime <= count.firstTime)
        return 0.0;
    return static_cast<double>(count.frames - 1) * 1e9 /
           static_cast<double>(count.lastTime - count.firstTime);
}

} // namespace orvelin::media
