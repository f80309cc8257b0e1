#include "media/playback/ProgramStreamSeek.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace orvelin::media {

namespace {

// How much earlier than the place asked for a demultiplexer is asked to
// start: the packs carry their pictures up to about 0.75 s after their
// clock, and key pictures of DVD and broadcast streams are at most about a
// second apart.
constexpr GstClockTime kLeadIn = 2 * GST_SECOND;

// What one demultiplexer still owes its output pads: how far the next
// segment is to be moved on, and where it is to stop (on the place clock).
struct Owed {
    GstClockTime shift = 0;
    GstClockTime stop = GST_CLOCK_TIME_NONE;
};

struct Pending {
    std::mutex mutex;
    std::map<GstPad*, Owed> owed;
};

constexpr const char* kPendingKey = "orvelin-ps-seek";

Pending* pendingOf(GstElement* demux) {
    return static_cast<Pending*>(g_object_get_data(G_OBJECT(demux), kPendingKey));
}

// A seek to a place: asked for earlier and without its end, and every
// output pad of the demultiplexer owes its next segment the difference and
// the end. The end is left to the parsers and decoders, which end their
// stream there: the demultiplexer, started at the first pack of the file,
// takes its place for unknown and stops at once where an end is set.
GstPadProbeReturn onUpstreamEvent(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (!event || GST_EVENT_TYPE(event) != GST_EVENT_SEEK)
        return GST_PAD_PROBE_OK;
    gdouble rate = 1.0;
    GstFormat format = GST_FORMAT_UNDEFINED;
    GstSeekFlags flags = GST_SEEK_FLAG_NONE;
    GstSeekType startType = GST_SEEK_TYPE_NONE;
    GstSeekType stopType = GST_SEEK_TYPE_NONE;
    gint64 start = 0;
    gint64 stop = 0;
    gst_event_parse_seek(event, &rate, &format, &flags, &startType, &start, &stopType, &stop);
    if (format != GST_FORMAT_TIME || startType != GST_SEEK_TYPE_SET || rate <= 0.0 || start < 0)
        return GST_PAD_PROBE_OK;
    auto* demux = static_cast<GstElement*>(data);
    Pending* pending = pendingOf(demux);
    if (!pending)
        return GST_PAD_PROBE_OK;
    const gint64 earlier = std::max<gint64>(0, start - gint64(kLeadIn));
    Owed owed;
    owed.shift = GstClockTime(start - earlier);
    if (stopType == GST_SEEK_TYPE_SET && stop >= start)
        owed.stop = GstClockTime(stop);
    {
        std::lock_guard lock(pending->mutex);
        GstIterator* pads = gst_element_iterate_src_pads(demux);
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(pads, &item) == GST_ITERATOR_OK) {
            pending->owed[GST_PAD(g_value_get_object(&item))] = owed;
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(pads);
        pending->owed[pad] = owed;
    }
    GstEvent* asked = gst_event_new_seek(rate, format, flags, startType, earlier,
                                         GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
    gst_event_set_seqnum(asked, gst_event_get_seqnum(event));
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = asked;
    return GST_PAD_PROBE_OK;
}

// The segment that answers such a seek starts at the place asked for and
// stops at the end asked for.
GstPadProbeReturn onDownstreamEvent(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (!event || GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT)
        return GST_PAD_PROBE_OK;
    Pending* pending = pendingOf(static_cast<GstElement*>(data));
    if (!pending)
        return GST_PAD_PROBE_OK;
    Owed owed;
    bool answers = false;
    {
        std::lock_guard lock(pending->mutex);
        const auto found = pending->owed.find(pad);
        if (found != pending->owed.end()) {
            owed = found->second;
            answers = true;
            pending->owed.erase(found);
        }
    }
    const GstSegment* segment = nullptr;
    gst_event_parse_segment(event, &segment);
    if (!segment || segment->format != GST_FORMAT_TIME || !GST_CLOCK_TIME_IS_VALID(segment->start))
        return GST_PAD_PROBE_OK;
    // The segment the demultiplexer starts with, before any seek, leaves
    // the place unset: it starts at the first picture, place 0, as after a
    // seek to 0.
    const bool placeless = !GST_CLOCK_TIME_IS_VALID(segment->time);
    if (!answers && !placeless)
        return GST_PAD_PROBE_OK;
    GstSegment moved;
    gst_segment_copy_into(segment, &moved);
    if (placeless)
        moved.time = 0;
    moved.start += owed.shift;
    moved.time += owed.shift;
    if (answers && GST_CLOCK_TIME_IS_VALID(owed.stop))
        moved.stop = moved.start + (owed.stop > moved.time ? owed.stop - moved.time : 0);
    if (GST_CLOCK_TIME_IS_VALID(moved.stop) && moved.start > moved.stop)
        moved.start = moved.stop;
    moved.position = moved.start;
    GstEvent* replaced = gst_event_new_segment(&moved);
    gst_event_set_seqnum(replaced, gst_event_get_seqnum(event));
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = replaced;
    return GST_PAD_PROBE_OK;
}

void onDemuxPad(GstElement* demux, GstPad* pad, gpointer) {
    if (GST_PAD_DIRECTION(pad) != GST_PAD_SRC)
        return;
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_UPSTREAM, onUpstreamEvent, demux, nullptr);
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, onDownstreamEvent, demux, nullptr);
}

void onPadRemoved(GstElement* demux, GstPad* pad, gpointer) {
    if (Pending* pending = pendingOf(demux)) {
        std::lock_guard lock(pending->mutex);
        pending->owed.erase(pad);
    }
}

void onDeepElementAdded(GstBin*, GstBin*, GstElement* element, gpointer) {
    GstElementFactory* factory = gst_element_get_factory(element);
    if (!factory || std::strcmp(GST_OBJECT_NAME(factory), "mpegpsdemux") != 0 || pendingOf(element))
        return;
    g_object_set_data_full(G_OBJECT(element), kPendingKey, new Pending,
                           [](gpointer p) { delete static_cast<Pending*>(p); });
    g_signal_connect(element, "pad-added", G_CALLBACK(onDemuxPad), nullptr);
    g_signal_connect(element, "pad-removed", G_CALLBACK(onPadRemoved), nullptr);
}

} // namespace

void WatchProgramStreamSeeks(GstElement* bin) {
    if (bin && GST_IS_BIN(bin))
        g_signal_connect(bin, "deep-element-added", G_CALLBACK(onDeepElementAdded), nullptr);
}

} // namespace orvelin::media
