#include "media/playback/PlaybackSinks.h"

#include "media/playback/FrameMailbox.h"

#include <QImage>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace orvelin::media {

namespace {

#if G_BYTE_ORDER == G_LITTLE_ENDIAN
constexpr const char* kFrameCaps = "video/x-raw,format=BGRx,pixel-aspect-ratio=1/1";
#else
constexpr const char* kFrameCaps = "video/x-raw,format=xRGB,pixel-aspect-ratio=1/1";
#endif

// A late frame is dropped rather than shown once it is this late.
constexpr gint64 kMaxLateness = 20 * GST_MSECOND;

// A mapped video frame that lives as long as the image over its pixels.
struct MappedFrame {
    GstVideoFrame frame;
};

void unmapFrame(void* info) {
    auto* mapped = static_cast<MappedFrame*>(info);
    gst_video_frame_unmap(&mapped->frame);
    delete mapped;
}

// The sample's pixels as an image, without copying them.
QImage imageFromSample(GstSample* sample) {
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstVideoInfo info;
    if (!caps || !buffer || !gst_video_info_from_caps(&info, caps))
        return {};
    auto* mapped = new MappedFrame;
    if (!gst_video_frame_map(&mapped->frame, &info, buffer, GST_MAP_READ)) {
        delete mapped;
        return {};
    }
    const auto* pixels = static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped->frame, 0));
    return QImage(
        pixels, GST_VIDEO_FRAME_WIDTH(&mapped->frame), GST_VIDEO_FRAME_HEIGHT(&mapped->frame),
        GST_VIDEO_FRAME_PLANE_STRIDE(&mapped->frame, 0), QImage::Format_RGB32, unmapFrame, mapped);
}

GstFlowReturn takeSample(GstAppSink* sink, gpointer data, bool preroll) {
    const auto& mailbox = *static_cast<std::shared_ptr<FrameMailbox>*>(data);
    GstSample* sample = preroll ? gst_app_sink_pull_preroll(sink) : gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_OK;
    QImage image = imageFromSample(sample);
    int64_t streamTime = -1;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    const GstSegment* segment = gst_sample_get_segment(sample);
    if (buffer && segment && segment->format == GST_FORMAT_TIME &&
        GST_BUFFER_PTS_IS_VALID(buffer)) {
        const guint64 t =
            gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
        if (t != GST_CLOCK_TIME_NONE)
            streamTime = static_cast<int64_t>(t);
    }
    gst_sample_unref(sample);
    if (!image.isNull())
        mailbox->Post(image, !preroll, streamTime);
    return GST_FLOW_OK;
}

GstFlowReturn onPreroll(GstAppSink* sink, gpointer data) {
    return takeSample(sink, data, true);
}
GstFlowReturn onSample(GstAppSink* sink, gpointer data) {
    return takeSample(sink, data, false);
}

void forgetMailbox(gpointer data) {
    delete static_cast<std::shared_ptr<FrameMailbox>*>(data);
}

GstElement* binAround(GstElement* first, std::initializer_list<GstElement*> all) {
    GstElement* bin = gst_bin_new(nullptr);
    for (GstElement* element : all)
        gst_bin_add(GST_BIN(bin), element);
    GstPad* pad = gst_element_get_static_pad(first, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", pad));
    gst_object_unref(pad);
    return bin;
}

// The first audio sink that the automatic choice would take, or false when
// it would fall back to discarding (no sound server, no sound card).
bool audioDeviceWorks() {
    GstElement* sink = gst_element_factory_make("autoaudiosink", nullptr);
    if (!sink)
        return false;
    gst_object_ref_sink(sink);
    bool works = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    if (works) {
        GstIterator* it = gst_bin_iterate_elements(GST_BIN(sink));
        GValue item = G_VALUE_INIT;
        bool children = false;
        while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
            auto* child = GST_ELEMENT(g_value_get_object(&item));
            GstElementFactory* factory = gst_element_get_factory(child);
            const char* name = factory ? gst_plugin_feature_get_name(factory) : "";
            children = true;
            if (g_str_equal(name, "fakesink") || g_str_equal(name, "fakeaudiosink"))
                works = false;
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(it);
        works = works && children;
    }
    gst_element_set_state(sink, GST_STATE_NULL);
    gst_object_unref(sink);
    return works;
}

// Trying every audio output costs a noticeable moment, so the answer is
// kept for a while; a device plugged in later is found on a later look.
bool audioDeviceWorksCached() {
    static std::mutex mutex;
    static bool known = false;
    static bool works = false;
    static std::chrono::steady_clock::time_point lookedAt;
    std::lock_guard lock(mutex);
    const auto now = std::chrono::steady_clock::now();
    if (!known || now - lookedAt > std::chrono::seconds(30)) {
        works = audioDeviceWorks();
        known = true;
        lookedAt = now;
    }
    return works;
}

} // namespace

GstElement* CreateDisplayVideoSink(const std::shared_ptr<FrameMailbox>& mailbox) {
    // The queue lets the decoder work on the next frame while this one is
    // converted and waits for its time.
    GstElement* queue = gst_element_factory_make("queue", nullptr);
    // Turns a picture tagged as turned (phone video) upright.
    GstElement* flip = gst_element_factory_make("videoflip", nullptr);
    GstElement* convert = gst_element_factory_make("videoconvertscale", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    if (!queue || !flip || !convert || !sink) {
        for (GstElement* element : {queue, flip, convert, sink})
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        return nullptr;
    }
    g_object_set(queue, "max-size-buffers", 3u, "max-size-bytes", 0u, "max-size-time", guint64(0),
                 nullptr);
    g_object_set(convert, "n-threads", 2u, nullptr);
    gst_util_set_object_arg(G_OBJECT(flip), "video-direction", "auto");
    GstCaps* caps = gst_caps_from_string(kFrameCaps);
    g_object_set(sink, "caps", caps, "sync", TRUE, "qos", TRUE, "max-lateness", kMaxLateness,
                 "enable-last-sample", FALSE, "max-buffers", 2u, "drop", TRUE, nullptr);
    gst_caps_unref(caps);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_preroll = onPreroll;
    callbacks.new_sample = onSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks,
                               new std::shared_ptr<FrameMailbox>(mailbox), forgetMailbox);
    GstElement* bin = binAround(queue, {queue, flip, convert, sink});
    gst_element_link_many(queue, flip, convert, sink, nullptr);
    return bin;
}

GstElement* CreateDiscardSink(const char* rawCaps) {
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (!filter || !sink) {
        for (GstElement* element : {filter, sink})
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        return nullptr;
    }
    // Any memory kind, as long as it is decoded.
    GstCaps* caps = gst_caps_new_empty_simple(rawCaps);
    gst_caps_set_features(caps, 0, gst_caps_features_new_any());
    g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    g_object_set(sink, "sync", TRUE, nullptr);
    GstElement* bin = binAround(filter, {filter, sink});
    gst_element_link(filter, sink);
    return bin;
}

GstElement* CreateVideoWindowOutput() {
    std::vector<const char*> candidates;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* x11 = std::getenv("DISPLAY");
    if (wayland && *wayland)
        candidates.push_back("waylandsink");
    if (x11 && *x11) {
        candidates.push_back("xvimagesink");
        candidates.push_back("ximagesink");
    }
    for (const char* factory : candidates) {
        GstElement* sink = gst_element_factory_make(factory, nullptr);
        if (!sink)
            continue;
        gst_object_ref_sink(sink);
        const bool opens = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
        gst_element_set_state(sink, GST_STATE_NULL);
        if (opens)
            return sink; // a full reference, handed to the caller
        gst_object_unref(sink);
    }
    return nullptr;
}

GstElement* CreateAudioOutput() {
    if (audioDeviceWorksCached()) {
        if (GstElement* sink = gst_element_factory_make("autoaudiosink", nullptr))
            return sink;
    }
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (sink)
        g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
}

} // namespace orvelin::media
