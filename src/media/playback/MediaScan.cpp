#include "media/playback/MediaScan.h"

#include "media/PipelineRelease.h"

#include <QFile>
#include <gst/gst.h>

#include <memory>
#include <mutex>

namespace orvelin::media {

namespace {

struct Scanning {
    std::mutex mutex;
    bool videoLinked = false;
    bool anyData = false;
    MediaScan scan;
};

// One stream's probe.
struct StreamTap {
    std::shared_ptr<Scanning> scanning;
    bool countFrames = false;
    // Codecs that carry their set-up packets in the caps (Theora) also send
    // them as buffers marked "header": those are no frames. Elsewhere the mark
    // may sit on a real frame (an H.264 key frame with its parameter sets).
    bool headersInCaps = false;
};

GstPadProbeReturn onBuffer(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!buffer || gst_buffer_get_size(buffer) == 0 ||
        GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_GAP))
        return GST_PAD_PROBE_OK;
    const auto& tap = *static_cast<StreamTap*>(data);
    if (tap.headersInCaps && GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_HEADER))
        return GST_PAD_PROBE_OK;
    GstClockTime time = GST_BUFFER_PTS(buffer);
    if (!GST_CLOCK_TIME_IS_VALID(time))
        time = GST_BUFFER_DTS(buffer);
    std::lock_guard lock(tap.scanning->mutex);
    Scanning& scanning = *tap.scanning;
    MediaScan& scan = scanning.scan;
    scanning.anyData = true;
    if (tap.countFrames)
        ++scan.videoFrames;
    if (!GST_CLOCK_TIME_IS_VALID(time))
        return GST_PAD_PROBE_OK;
    const auto t = static_cast<int64_t>(time);
    const GstClockTime length = GST_BUFFER_DURATION(buffer);
    const int64_t end = t + (GST_CLOCK_TIME_IS_VALID(length) ? static_cast<int64_t>(length) : 0);
    if (scan.startTime < 0 || t < scan.startTime)
        scan.startTime = t;
    scan.endTime = std::max(scan.endTime, end);
    if (tap.countFrames) {
        if (scan.firstFrameTime < 0 || t < scan.firstFrameTime)
            scan.firstFrameTime = t;
        scan.lastFrameTime = std::max(scan.lastFrameTime, t);
    }
    return GST_PAD_PROBE_OK;
}

void forgetTap(gpointer data) {
    delete static_cast<StreamTap*>(data);
}
void forgetScanning(gpointer data, GClosure*) {
    delete static_cast<std::shared_ptr<Scanning>*>(data);
}

// Every stream the parser offers ends in a sink of its own, with a probe on
// the way; the first video stream's frames are counted.
void onParsedPad(GstElement* parser, GstPad* pad, gpointer data) {
    const auto& scanning = *static_cast<std::shared_ptr<Scanning>*>(data);
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
        auto* tap = new StreamTap{scanning};
        tap->headersInCaps = s && gst_structure_has_field(s, "streamheader");
        if (s && g_str_has_prefix(gst_structure_get_name(s), "video/")) {
            std::lock_guard lock(scanning->mutex);
            tap->countFrames = !scanning->videoLinked;
            scanning->videoLinked = true;
            scanning->scan.hasVideo = true;
        }
        if (caps)
            gst_caps_unref(caps);
        gst_pad_add_probe(sinkPad, GST_PAD_PROBE_TYPE_BUFFER, onBuffer, tap, forgetTap);
    }
    gst_object_unref(sinkPad);
    gst_element_sync_state_with_parent(sink);
    gst_object_unref(pipeline);
}

} // namespace

bool ScanMediaFile(const QString& path, std::chrono::milliseconds budget, MediaScan* scan) {
    if (!scan)
        return false;
    *scan = {};
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
    auto scanning = std::make_shared<Scanning>();
    g_signal_connect_data(parser, "pad-added", G_CALLBACK(onParsedPad),
                          new std::shared_ptr<Scanning>(scanning), forgetScanning,
                          GConnectFlags(0));

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
    bool anyData = false;
    {
        std::lock_guard lock(scanning->mutex);
        *scan = scanning->scan;
        scan->complete = complete;
        anyData = scanning->anyData;
    }
    ReleasePipeline(pipeline, std::chrono::milliseconds(300));
    return anyData;
}

double MeanFrameRate(const MediaScan& scan, double lengthSeconds) {
    if (scan.videoFrames == 0)
        return 0.0;
    if (scan.complete && lengthSeconds > 0.0)
        return static_cast<double>(scan.videoFrames) / lengthSeconds;
    if (scan.videoFrames < 2 || scan.lastFrameTime <= scan.firstFrameTime)
        return 0.0;
    return static_cast<double>(scan.videoFrames - 1) * 1e9 /
           static_cast<double>(scan.lastFrameTime - scan.firstFrameTime);
}

} // namespace orvelin::media
