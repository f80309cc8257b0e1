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

void StreamEnds::WatchSound(GstPad* head, GstPad* queued, GstClockTime plannedEnd,
                            GstClockTime lead) {
    {
        std::lock_guard lock(mutex_);
        plannedEnd_ = plannedEnd;
        lead_ = lead;
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
    GstClockTime lead = 0;
    {
        std::lock_guard lock(self.mutex_);
        if (self.cut_)
            cutAt = self.cutAt_;
        lead = self.lead_;
    }
    if (!GST_CLOCK_TIME_IS_VALID(cutAt) && lead == 0)
        return GST_PAD_PROBE_OK;
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstClockTime start = 0;
    GstClockTime end = 0;
    if (!buffer || !runningSpan(pad, buffer, &start, &end))
        return GST_PAD_PROBE_OK;
    if ((GST_CLOCK_TIME_IS_VALID(cutAt) && start >= cutAt) || end <= lead)
        return GST_PAD_PROBE_DROP;
    GstAudioInfo format;
    if (!soundFormat(pad, &format))
        return GST_PAD_PROBE_OK;
    // Samples to leave out at the front (before the lead) and at the back
    // (after the cut).
    const guint64 total = gst_buffer_get_size(buffer) / format.bpf;
    guint64 front = 0;
    if (start < lead)
        front = std::min(total, gst_util_uint64_scale_round(lead - start, format.rate, GST_SECOND));
    guint64 keep = total - front;
    if (GST_CLOCK_TIME_IS_VALID(cutAt) && end > cutAt)
        keep = std::min(keep, gst_util_uint64_scale_round(cutAt - std::max(start, lead),
                                                          format.rate, GST_SECOND));
    if (keep == 0)
        return GST_PAD_PROBE_DROP;
    buffer = gst_buffer_make_writable(buffer);
    if (front > 0 || keep < total) {
        gst_buffer_resize(buffer, static_cast<gssize>(front * format.bpf),
                          static_cast<gssize>(keep * format.bpf));
        GST_BUFFER_PTS(buffer) += gst_util_uint64_scale(front, GST_SECOND, format.rate);
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(keep, GST_SECOND, format.rate);
        GST_BUFFER_OFFSET(buffer) = GST_BUFFER_OFFSET_NONE;
        GST_BUFFER_OFFSET_END(buffer) = GST_BUFFER_OFFSET_NONE;
    }
    if (lead > 0) {
        const GstClockTime pts = GST_BUFFER_PTS(buffer);
        GST_BUFFER_PTS(buffer) = pts > lead ? pts - lead : 0;
        if (GST_BUFFER_DTS_IS_VALID(buffer))
            GST_BUFFER_DTS(buffer) = GST_BUFFER_PTS(buffer);
    }
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

GstClockTime EncoderLead(GstElement* encoder) {
    GstElementFactory* factory = encoder ? gst_element_get_factory(encoder) : nullptr;
    if (!factory)
        return 0;
    // Priming in samples, and the rate the encoder is fed (the timeline's
    // 44.1 kHz unless it resamples by itself).
    struct Priming {
        const char* factory;
        guint64 samples;
    };
    static const Priming table[] = {
        {"lamemp3enc", 1105}, // 576 of the encoder and 529 of the decoder
        {"avenc_aac", 1024},
        {"voaacenc", 1600},
    };
    const gchar* name = GST_OBJECT_NAME(factory);
    for (const Priming& p : table)
        if (g_str_equal(name, p.factory))
            return gst_util_uint64_scale(p.samples, GST_SECOND, 44100);
    return 0;
}

void WatchStreamEnds(FilterGraph::Impl& graph, const GraphBranch& branch, GstElement* queue,
                     GstElement* encoder) {
    if (!graph.streamEnds)
        graph.streamEnds = std::make_shared<StreamEnds>();
    if (branch.kind == MediaMajorType::Video) {
        graph.streamEnds->WatchVideo(branch.source);
        return;
    }
    const GstClockTime planned = graph.plannedLength;
    GstPad* queued = gst_element_get_static_pad(queue, "src");
    if (!queued)
        return;
    graph.streamEnds->WatchSound(branch.head, queued, planned, EncoderLead(encoder));
    gst_object_unref(queued);
}

} // namespace orvelin::media
