// The editing services (and GIO with them) come before any Qt header.
#include <ges/ges.h>

#include "media/timeline/SourceWatch.h"

#include <algorithm>

namespace orvelin::media {

namespace {

REFERENCE_TIME fromClock(GstClockTime t) {
    return static_cast<REFERENCE_TIME>(t / 100);
}

// What one decoded pad of a watched stream has seen; used by the pad's
// streaming thread only.
struct PadWatch {
    std::shared_ptr<WatchedStream> stream;
    GstSegment segment;
    bool haveSegment = false;
};

void notePiece(PadWatch& watch, GstBuffer* buffer) {
    if (!watch.haveSegment || watch.segment.format != GST_FORMAT_TIME)
        return;
    GstClockTime start = GST_BUFFER_PTS(buffer);
    if (!GST_CLOCK_TIME_IS_VALID(start))
        start = GST_BUFFER_DTS(buffer);
    if (!GST_CLOCK_TIME_IS_VALID(start))
        return;
    GstClockTime end = start;
    if (GST_BUFFER_DURATION_IS_VALID(buffer))
        end += GST_BUFFER_DURATION(buffer);
    const GstSegment& segment = watch.segment;
    if (GST_CLOCK_TIME_IS_VALID(segment.stop))
        end = std::min<GstClockTime>(end, segment.stop);
    if (end < segment.start)
        return; // before the part that is played
    const guint64 running = gst_segment_to_running_time(&segment, GST_FORMAT_TIME, end);
    if (GST_CLOCK_TIME_IS_VALID(running))
        watch.stream->NoteReached(running);
}

GstPadProbeReturn onDecodedData(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto& watch = *static_cast<PadWatch*>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            gst_event_copy_segment(event, &watch.segment);
            watch.haveSegment = true;
        }
    } else if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
        notePiece(watch, GST_PAD_PROBE_INFO_BUFFER(info));
    } else if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER_LIST) {
        GstBufferList* list = GST_PAD_PROBE_INFO_BUFFER_LIST(info);
        for (guint i = 0; i < gst_buffer_list_length(list); ++i)
            notePiece(watch, gst_buffer_list_get(list, i));
    }
    return GST_PAD_PROBE_OK;
}

void onDecodedPad(GstElement*, GstPad* pad, gpointer data) {
    if (GST_PAD_DIRECTION(pad) == GST_PAD_SRC)
        WatchDecodedPad(*static_cast<std::shared_ptr<WatchedStream>*>(data), pad);
}

// The element inside a clip's track element that reads and decodes its file.
GstElement* findDecoder(GstElement* top) {
    if (!top || !GST_IS_BIN(top))
        return nullptr;
    GstElement* found = nullptr;
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(top));
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* factory = gst_element_get_factory(element);
        const gchar* name = factory ? GST_OBJECT_NAME(factory) : nullptr;
        if (name && (g_str_equal(name, "uridecodebin") || g_str_equal(name, "uridecodebin3")))
            found = GST_ELEMENT(gst_object_ref(element));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return found;
}

void watchClip(GESUriClip* clip, WatchedStreams* streams) {
    if (ges_uri_clip_is_image(clip))
        return;
    gchar* file = g_filename_from_uri(ges_uri_clip_get_uri(clip), nullptr, nullptr);
    const QString path = QString::fromUtf8(file ? file : ges_uri_clip_get_uri(clip));
    g_free(file);
    GList* children = ges_container_get_children(GES_CONTAINER(clip), FALSE);
    for (GList* l = children; l; l = l->next) {
        if (!GES_IS_TRACK_ELEMENT(l->data) || !GES_IS_SOURCE(l->data))
            continue;
        auto* element = GES_TRACK_ELEMENT(l->data);
        if (!ges_track_element_get_track(element))
            continue;
        const GESTrackType type = ges_track_element_get_track_type(element);
        if (type != GES_TRACK_TYPE_VIDEO && type != GES_TRACK_TYPE_AUDIO)
            continue;
        GstElement* decoder = findDecoder(ges_track_element_get_nleobject(element));
        if (!decoder)
            continue;
        SourceStreamReport report;
        report.file = path;
        report.kind = type == GES_TRACK_TYPE_VIDEO ? MediaMajorType::Video : MediaMajorType::Audio;
        report.asked = fromClock(ges_timeline_element_get_duration(GES_TIMELINE_ELEMENT(element)));
        auto stream = std::make_shared<WatchedStream>(decoder, report);
        gst_object_unref(decoder); // the clip holds it; the stream only names it
        g_signal_connect_data(
            decoder, "pad-added", G_CALLBACK(onDecodedPad),
            new std::shared_ptr<WatchedStream>(stream),
            [](gpointer p, GClosure*) { delete static_cast<std::shared_ptr<WatchedStream>*>(p); },
            GConnectFlags(0));
        streams->push_back(std::move(stream));
    }
    g_list_free_full(children, gst_object_unref);
}

} // namespace

WatchedStream::WatchedStream(GstElement* decoder, SourceStreamReport report)
    : decoder_(decoder), report_(std::move(report)) {}

void WatchedStream::NoteReached(GstClockTime end) {
    std::lock_guard lock(mutex_);
    report_.reached = std::max(report_.reached, fromClock(end));
}

void WatchedStream::NoteWarning(const QString& text) {
    std::lock_guard lock(mutex_);
    if (report_.warnings++ == 0)
        report_.firstWarning = text;
}

SourceStreamReport WatchedStream::Report() const {
    std::lock_guard lock(mutex_);
    return report_;
}

void WatchDecodedPad(const std::shared_ptr<WatchedStream>& stream, GstPad* pad) {
    auto* watch = new PadWatch{stream, {}, false};
    gst_segment_init(&watch->segment, GST_FORMAT_UNDEFINED);
    gst_pad_add_probe(pad,
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                   GST_PAD_PROBE_TYPE_BUFFER_LIST |
                                                   GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      onDecodedData, watch, [](gpointer p) { delete static_cast<PadWatch*>(p); });
}

WatchedStreams WatchTimelineSources(GstElement* timeline) {
    WatchedStreams streams;
    if (!GES_IS_TIMELINE(timeline))
        return streams;
    GList* layers = ges_timeline_get_layers(GES_TIMELINE(timeline));
    for (GList* l = layers; l; l = l->next) {
        GList* clips = ges_layer_get_clips(GES_LAYER(l->data));
        for (GList* c = clips; c; c = c->next) {
            if (GES_IS_URI_CLIP(c->data))
                watchClip(GES_URI_CLIP(c->data), &streams);
        }
        g_list_free_full(clips, gst_object_unref);
    }
    g_list_free_full(layers, gst_object_unref);
    return streams;
}

bool NoteSourceWarning(const WatchedStreams& streams, GstObject* source, const QString& text) {
    if (!source)
        return false;
    // The decoding elements are compared by address only: a message of the
    // graph comes while they live.
    gst_object_ref(source);
    for (GstObject* at = source; at;) {
        for (const auto& stream : streams) {
            if (static_cast<gpointer>(at) == static_cast<gpointer>(stream->Decoder())) {
                stream->NoteWarning(text);
                gst_object_unref(at);
                return true;
            }
        }
        GstObject* parent = gst_object_get_parent(at);
        gst_object_unref(at);
        at = parent;
    }
    return false;
}

} // namespace orvelin::media
