// The editing services (and GIO with them) come before any Qt header.
#include <ges/ges.h>

#include "media/timeline/StreamEnds.h"

#include <gst/audio/audio.h>

#include <algorithm>

namespace orvelin::media {

namespace {

// A sound block of silence at most this long (in samples).
constexpr guint64 kSilenceBlock = 1024;

using Ref = std::shared_ptr<StreamEnds>;

void forget(gpointer data) {
    delete static_cast<Ref*>(data);
}

// The running times at which a buffer starts and ends on `pad`.
bool runningSpan(GstPad* pad, GstBuffer* buffer, GstClockTime* start, GstClockTime* end) {
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    if (!GST_CLOCK_TIME_IS_VALID(pts))
        return false;
    GstEvent* event = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0);
    if (!event)
        return false;
    const GstSegment* segment = nullptr;
    gst_event_parse_segment(event, &segment);
    bool ok = false;
    if (segment && segment->format == GST_FORMAT_TIME) {
        const GstClockTime duration = GST_BUFFER_DURATION(buffer);
        const GstClockTime stop = GST_CLOCK_TIME_IS_VALID(duration) ? pts + duration : pts;
        *start = gst_segment_to_running_time(segment, GST_FORMAT_TIME, pts);
        *end = gst_segment_to_running_time(segment, GST_FORMAT_TIME, stop);
        ok = GST_CLOCK_TIME_IS_VALID(*start) && GST_CLOCK_TIME_IS_VALID(*end);
    }
    gst_event_unref(event);
    return ok;
}

bool soundFormat(GstPad* pad, GstAudioInfo* info) {
    GstCaps* caps = gst_pad_get_current_caps(pad);
    const bool ok = caps && gst_audio_info_from_caps(info, caps) && info->rate > 0 && info->bpf > 0;
    if (caps)
        gst_caps_unref(caps);
    return ok;
}

} // namespace

void StreamEnds::WatchVideo(GstPad* source) {
    {
        std::lock_guard lock(mutex_);
        video_ = true;
    }
    gst_pad_add_probe(source, GST_PAD_PROBE_TYPE_BUFFER, OnVideo, new Ref(shared_from_this()),
                      forget);
}

void StreamEnds::WatchSound(GstPad* head, GstPad* queued, GstClockTime plannedEnd) {
    {
        std::lock_guard lock(mutex_);
        plannedEnd_ = plannedEnd;
    }
    gst_pad_add_probe(
        head, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        OnSoundIn, new Ref(shared_from_this()), forget);
    gst_pad_add_probe(queued, GST_PAD_PROBE_TYPE_BUFFER, OnSoundQueued, new Ref(shared_from_this()),
                      forget);
}

void StreamEnds::Cut() {
    std::lock_guard lock(mutex_);
    if (cut_)
        return;
    cut_ = true;
    cutAt_ = video_ ? videoEnd_ : GST_CLOCK_TIME_NONE;
}

GstClockTime StreamEnds::SoundEnd() const {
    if (cut_)
        return cutAt_;
    return video_ ? plannedEnd_ : GST_CLOCK_TIME_NONE;
}

GstPadProbeReturn StreamEnds::OnVideo(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    StreamEnds& self = **static_cast<Ref*>(data);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstClockTime start = 0;
    GstClockTime end = 0;
    const bool timed = buffer && runningSpan(pad, buffer, &start, &end);
    std::lock_guard lock(self.mutex_);
    if (self.cut_)
        return GST_PAD_PROBE_DROP;
    if (timed)
        self.videoEnd_ = std::max(self.videoEnd_, end);
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn StreamEnds::OnSoundIn(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    StreamEnds& self = **static_cast<Ref*>(data);
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        GstClockTime start = 0;
        GstClockTime end = 0;
        if (buffer && runningSpan(pad, buffer, &start, &end)) {
            std::lock_guard lock(self.mutex_);
            if (!GST_CLOCK_TIME_IS_VALID(self.soundEnd_) || end > self.soundEnd_)
                self.soundEnd_ = end;
        }
        return GST_PAD_PROBE_OK;
    }
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (event && GST_EVENT_TYPE(event) == GST_EVENT_EOS)
        self.FillSilence(pad);
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn StreamEnds::OnSoundQueued(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    StreamEnds& self = **static_cast<Ref*>(data);
    GstClockTime cutAt = GST_CLOCK_TIME_NONE;
    {
        std::lock_guard lock(self.mutex_);
        if (self.cut_)
            cutAt = self.cutAt_;
    }
    if (!GST_CLOCK_TIME_IS_VALID(cutAt))
        return GST_PAD_PROBE_OK;
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstClockTime start = 0;
    GstClockTime end = 0;
    if (!buffer || !runningSpan(pad, buffer, &start, &end) || end <= cutAt)
        return GST_PAD_PROBE_OK;
    if (start >= cutAt)
        return GST_PAD_PROBE_DROP;
    // The block that spans the cut keeps the samples before it.
    GstAudioInfo format;
    if (!soundFormat(pad, &format))
        return GST_PAD_PROBE_OK;
    const guint64 samples = gst_util_uint64_scale_round(cutAt - start, format.rate, GST_SECOND);
    const gsize bytes = std::min<gsize>(samples * format.bpf, gst_buffer_get_size(buffer));
    buffer = gst_buffer_make_writable(buffer);
    gst_buffer_resize(buffer, 0, static_cast<gssize>(bytes));
    GST_BUFFER_DURATION(buffer) =
        gst_util_uint64_scale(bytes / format.bpf, GST_SECOND, format.rate);
    GST_BUFFER_OFFSET_END(buffer) = GST_BUFFER_OFFSET_NONE;
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}

void StreamEnds::FillSilence(GstPad* head) {
    GstAudioInfo format;
    if (!soundFormat(head, &format))
        return;
    GstEvent* event = gst_pad_get_sticky_event(head, GST_EVENT_SEGMENT, 0);
    if (!event)
        return;
    GstSegment segment;
    const GstSegment* given = nullptr;
    gst_event_parse_segment(event, &given);
    gst_segment_copy_into(given, &segment);
    gst_event_unref(event);
    if (segment.format != GST_FORMAT_TIME)
        return;

    GstClockTime from = 0;
    {
        std::lock_guard lock(mutex_);
        if (GST_CLOCK_TIME_IS_VALID(soundEnd_))
            from = soundEnd_;
    }
    for (guint64 done = 0;;) {
        const GstClockTime at = from + gst_util_uint64_scale(done, GST_SECOND, format.rate);
        GstClockTime until = GST_CLOCK_TIME_NONE;
        {
            std::lock_guard lock(mutex_);
            until = SoundEnd();
        }
        if (!GST_CLOCK_TIME_IS_VALID(until) || at >= until)
            return;
        const guint64 left = gst_util_uint64_scale_round(until - from, format.rate, GST_SECOND);
        if (left <= done)
            return;
        const guint64 count = std::min(kSilenceBlock, left - done);
        const gsize size = count * format.bpf;
        GstBuffer* buffer = gst_buffer_new_allocate(nullptr, size, nullptr);
        if (!buffer)
            return;
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
            gst_audio_format_info_fill_silence(format.finfo, map.data, map.size);
            gst_buffer_unmap(buffer, &map);
        }
        const GstClockTime next =
            from + gst_util_uint64_scale(done + count, GST_SECOND, format.rate);
        const guint64 pts = gst_segment_position_from_running_time(&segment, GST_FORMAT_TIME, at);
        if (!GST_CLOCK_TIME_IS_VALID(pts)) {
            gst_buffer_unref(buffer);
            return;
        }
        GST_BUFFER_PTS(buffer) = pts;
        GST_BUFFER_DURATION(buffer) = next - at;
        if (done == 0)
            GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
        if (gst_pad_chain(head, buffer) != GST_FLOW_OK)
            return;
        done += count;
    }
}

void WatchStreamEnds(FilterGraph::Impl& graph, const GraphBranch& branch, GstElement* queue) {
    if (!graph.streamEnds)
        graph.streamEnds = std::make_shared<StreamEnds>();
    if (branch.kind == MediaMajorType::Video) {
        graph.streamEnds->WatchVideo(branch.source);
        return;
    }
    GstClockTime planned = GST_CLOCK_TIME_NONE;
    if (graph.timeline && GES_IS_TIMELINE(graph.timeline))
        planned = ges_timeline_get_duration(GES_TIMELINE(graph.timeline));
    GstPad* queued = gst_element_get_static_pad(queue, "src");
    if (!queued)
        return;
    graph.streamEnds->WatchSound(branch.head, queued, planned);
    gst_object_unref(queued);
}

} // namespace orvelin::media
