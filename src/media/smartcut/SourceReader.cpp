#include "media/smartcut/SourceReader.h"

#include <gst/app/gstappsink.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace orvelin::media::smartcut {

namespace {

// How the video of each codec that can be cut is read: its parser, the
// form its packets take and its decoder.
struct VideoHandling {
    const char* media;
    const char* parser;
    const char* format;
    const char* decoder;
};

const VideoHandling* HandlingOf(const GstStructure* s) {
    static const VideoHandling kHandling[] = {
        {"video/x-h264", "h264parse", "video/x-h264,stream-format=avc,alignment=au", "avdec_h264"},
        {"video/x-h265", "h265parse", "video/x-h265,stream-format=hvc1,alignment=au", "avdec_h265"},
        {"video/x-vp9", "vp9parse", "video/x-vp9,alignment=super-frame", "avdec_vp9"},
        {"video/mpeg", "mpegvideoparse", "video/mpeg,systemstream=false,parsed=true",
         "avdec_mpeg2video"},
    };
    // A program stream's pad first offers MPEG-1 or 2 (a range); only MPEG-4
    // Visual is left out.
    int version = 0;
    if (gst_structure_has_name(s, "video/mpeg") &&
        gst_structure_get_int(s, "mpegversion", &version) && version > 2)
        return nullptr;
    for (const VideoHandling& h : kHandling)
        if (gst_structure_has_name(s, h.media))
            return &h;
    return nullptr;
}

// The temporal reference (place in showing order within its group) of the
// first picture in an MPEG-1/2 packet, or -1; `group`: a group of pictures
// starts in the packet.
int TemporalReference(GstBuffer* packet, bool& group) {
    GstMapInfo map;
    group = false;
    if (!gst_buffer_map(packet, &map, GST_MAP_READ))
        return -1;
    int ref = -1;
    for (size_t at = 0; at + 6 <= map.size && ref < 0; ++at) {
        if (map.data[at] != 0 || map.data[at + 1] != 0 || map.data[at + 2] != 1)
            continue;
        group = group || map.data[at + 3] == 0xb8;
        if (map.data[at + 3] == 0)
            ref = map.data[at + 4] << 2 | map.data[at + 5] >> 6;
    }
    gst_buffer_unmap(packet, &map);
    return ref;
}

bool IsAac(const GstCaps* caps) {
    GstCaps* aac = gst_caps_from_string("audio/mpeg,mpegversion={2,4}");
    const bool is = gst_caps_can_intersect(caps, aac);
    gst_caps_unref(aac);
    return is;
}

} // namespace

std::string CodecName(const GstCaps* caps) {
    if (!caps || gst_caps_is_empty(caps))
        return {};
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    const char* media = gst_structure_get_name(s);
    int version = 0;
    if (g_str_equal(media, "video/x-h264"))
        return "H.264";
    if (g_str_equal(media, "video/x-h265"))
        return "H.265";
    if (g_str_equal(media, "video/mpeg")) {
        gst_structure_get_int(s, "mpegversion", &version);
        return version == 4 ? "MPEG-4 Visual" : version == 1 ? "MPEG-1" : "MPEG-2";
    }
    if (g_str_equal(media, "video/x-vp9"))
        return "VP9";
    if (g_str_equal(media, "video/x-vp8"))
        return "VP8";
    if (g_str_equal(media, "video/x-av1"))
        return "AV1";
    if (g_str_equal(media, "audio/mpeg")) {
        gst_structure_get_int(s, "mpegversion", &version);
        if (version == 2 || version == 4)
            return "AAC";
        int layer = 3;
        gst_structure_get_int(s, "layer", &layer);
        return layer == 3 ? "MP3" : "MPEG audio";
    }
    if (g_str_equal(media, "audio/x-ac3"))
        return "AC-3";
    if (g_str_equal(media, "audio/x-eac3"))
        return "E-AC-3";
    if (g_str_equal(media, "audio/x-opus"))
        return "Opus";
    if (g_str_equal(media, "audio/x-vorbis"))
        return "Vorbis";
    if (g_str_equal(media, "audio/x-flac"))
        return "FLAC";
    if (g_str_has_prefix(media, "audio/x-raw"))
        return "uncompressed sound";
    if (g_str_has_suffix(media, "-lpcm"))
        return "LPCM";
    if (g_str_has_suffix(media, "-dts"))
        return "DTS";
    const char* slash = std::strchr(media, '/');
    return slash ? std::string(slash + 1) : std::string(media);
}

SourceReader::SourceReader(std::string path, bool wantVideo, bool wantAudio, bool decodeVideo)
    : path_(std::move(path)), wantVideo_(wantVideo), wantAudio_(wantAudio),
      decodeVideo_(decodeVideo) {}

SourceReader::~SourceReader() {
    if (pipeline_) {
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
    }
    if (streams_.video)
        gst_caps_unref(streams_.video);
    if (streams_.audio)
        gst_caps_unref(streams_.audio);
}

GstElement* SourceReader::AddBranch(GstPad* pad, bool video) {
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    g_object_set(sink, "sync", FALSE, "max-buffers", 0u, "emit-signals", TRUE, nullptr);
    g_signal_connect(sink, "new-sample", G_CALLBACK(&SourceReader::OnSample), this);
    // Each stream waits in a queue of its own: the demultiplexer feeds all
    // of them from one thread, so a sink waiting for its first packet would
    // otherwise hold back the others.
    GstElement* queue = gst_element_factory_make("queue", nullptr);
    g_object_set(queue, "max-size-time", guint64(0), "max-size-buffers", 0u, "max-size-bytes",
                 guint(32 << 20), nullptr);
    gst_bin_add_many(GST_BIN(pipeline_), queue, sink, nullptr);
    gst_element_link(queue, sink);
    gst_element_sync_state_with_parent(sink);
    GstElement* appsink = sink;
    sink = queue;
    GstElement* first = queue;
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const VideoHandling* handling = HandlingOf(gst_caps_get_structure(caps, 0));
    if (video && handling) {
        GstElement* parser = gst_element_factory_make(handling->parser, nullptr);
        GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
        GstCaps* format = gst_caps_from_string(handling->format);
        g_object_set(filter, "caps", format, nullptr);
        gst_caps_unref(format);
        gst_bin_add_many(GST_BIN(pipeline_), parser, filter, nullptr);
        if (decodeVideo_) {
            GstElement* decoder = gst_element_factory_make(handling->decoder, nullptr);
            gst_bin_add(GST_BIN(pipeline_), decoder);
            gst_element_link_many(parser, filter, decoder, sink, nullptr);
            gst_element_sync_state_with_parent(decoder);
        } else {
            gst_element_link_many(parser, filter, sink, nullptr);
        }
        if (g_str_equal(handling->media, "video/mpeg")) {
            GstPad* out = gst_element_get_static_pad(filter, "src");
            gst_pad_add_probe(out, GST_PAD_PROBE_TYPE_BUFFER, &SourceReader::OnMpegPicture, this,
                              nullptr);
            gst_object_unref(out);
        }
        gst_element_sync_state_with_parent(filter);
        gst_element_sync_state_with_parent(parser);
        first = parser;
    } else if (!video && IsAac(caps)) {
        // AAC with a header on every frame (transport streams) is stored in
        // Matroska and MP4 without them, the header's facts in the track.
        GstElement* parser = gst_element_factory_make("aacparse", nullptr);
        GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
        GstCaps* format = gst_caps_from_string("audio/mpeg,stream-format=raw");
        g_object_set(filter, "caps", format, nullptr);
        gst_caps_unref(format);
        gst_bin_add_many(GST_BIN(pipeline_), parser, filter, nullptr);
        gst_element_link_many(parser, filter, sink, nullptr);
        gst_element_sync_state_with_parent(filter);
        gst_element_sync_state_with_parent(parser);
        first = parser;
    }
    gst_caps_unref(caps);
    gst_element_sync_state_with_parent(sink);
    GstPad* target = gst_element_get_static_pad(first, "sink");
    gst_pad_link(pad, target);
    gst_object_unref(target);
    return appsink;
}

void SourceReader::OnPadAdded(GstElement*, GstPad* pad, gpointer data) {
    auto* self = static_cast<SourceReader*>(data);
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const char* media = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    const bool video = g_str_has_prefix(media, "video/");
    const bool audio = g_str_has_prefix(media, "audio/");
    gst_caps_unref(caps);
    if (video && self->wantVideo_ && !self->videoSink_) {
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &SourceReader::OnVideoEvent,
                          self, nullptr);
        self->videoSink_ = self->AddBranch(pad, true);
    } else if (audio && self->wantAudio_ && !self->audioSink_) {
        GstElement* sink = self->AddBranch(pad, false);
        std::lock_guard lock(self->mutex_);
        self->audioSink_ = sink;
    } else
        self->AddDiscard(pad);
    // The parser shows all its streams in one go before any packet flows, so
    // once one is here the sinks' preroll covers them all.
    std::lock_guard lock(self->mutex_);
    self->allPads_ = true;
    self->changed_.notify_all();
}

void SourceReader::AddDiscard(GstPad* pad) {
    // A stream nobody wants: its packets are dropped at the parser, and the
    // sink it ends in does not wait for one before the graph may play.
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_DROP; }, nullptr, nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    gst_bin_add(GST_BIN(pipeline_), sink);
    gst_element_sync_state_with_parent(sink);
    GstPad* target = gst_element_get_static_pad(sink, "sink");
    gst_pad_link(pad, target);
    gst_object_unref(target);
}

GstFlowReturn SourceReader::OnSample(GstElement* sink, gpointer data) {
    auto* self = static_cast<SourceReader*>(data);
    GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink));
    if (!sample)
        return GST_FLOW_EOS;
    const bool video = sink == self->videoSink_;
    bool more = false;
    bool running;
    {
        std::lock_guard lock(self->mutex_);
        running = self->running_ && !(video ? self->videoDone_ : self->audioDone_);
    }
    if (running) {
        // Times are handed on as stream times: a container's edit list can
        // set the stream's start apart from its packets' own times.
        GstBuffer* packet = gst_buffer_copy(gst_sample_get_buffer(sample));
        if (const GstSegment* segment = gst_sample_get_segment(sample)) {
            auto toStream = [segment](GstClockTime& t) {
                guint64 out = 0;
                if (GST_CLOCK_TIME_IS_VALID(t))
                    t = gst_segment_to_stream_time_full(segment, GST_FORMAT_TIME, t, &out) > 0
                            ? out
                            : GST_CLOCK_TIME_NONE;
            };
            toStream(GST_BUFFER_PTS(packet));
            toStream(GST_BUFFER_DTS(packet));
        }
        // The packet a sink held while the file was paused can come once
        // more after the seek that starts the run (a program stream read
        // from its start): the same times twice in a row are one packet.
        auto& last = video ? self->lastVideo_ : self->lastAudio_;
        const std::pair<GstClockTime, GstClockTime> times{GST_BUFFER_PTS(packet),
                                                          GST_BUFFER_DTS(packet)};
        const bool again = GST_CLOCK_TIME_IS_VALID(times.first) && times == last;
        last = times;
        const PacketFn& fn = video ? self->onVideo_ : self->onAudio_;
        more = again || (fn && fn(packet));
        gst_buffer_unref(packet);
        if (!more)
            self->Finished(video);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

GstPadProbeReturn SourceReader::OnVideoEvent(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_TAG)
        return GST_PAD_PROBE_OK;
    GstTagList* tags = nullptr;
    gst_event_parse_tag(event, &tags);
    gchar* orientation = nullptr;
    if (tags && gst_tag_list_get_string(tags, GST_TAG_IMAGE_ORIENTATION, &orientation)) {
        auto* self = static_cast<SourceReader*>(data);
        std::lock_guard lock(self->mutex_);
        self->orientation_ = orientation;
        g_free(orientation);
    }
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn SourceReader::OnMpegPicture(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    // A program stream need not time every picture; an MPEG-1/2 picture
    // without a time is timed from one of its group that has one, by their
    // places in showing order.
    auto* self = static_cast<SourceReader*>(data);
    GstBuffer* packet = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_PAD_PROBE_INFO_DATA(info) = packet;
    GstCaps* caps = gst_pad_get_current_caps(pad);
    self->FillMpegTime(packet, caps);
    if (caps)
        gst_caps_unref(caps);
    return GST_PAD_PROBE_OK;
}

void SourceReader::FillMpegTime(GstBuffer* packet, const GstCaps* caps) {
    bool group = false;
    const int ref = TemporalReference(packet, group);
    if (ref < 0)
        return;
    int num = 0, den = 1;
    int64_t frame = GST_BUFFER_DURATION_IS_VALID(packet) ? int64_t(GST_BUFFER_DURATION(packet)) : 0;
    if (frame <= 0 && caps &&
        gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "framerate", &num, &den) &&
        num > 0)
        frame = int64_t(gst_util_uint64_scale_int(GST_SECOND, den, num));
    if (frame <= 0)
        return;
    // A group is shown right after the one before it.
    if (group) {
        if (groupStart_ >= 0)
            groupStart_ += (lastRef_ + 1) * frame;
        lastRef_ = -1;
    }
    lastRef_ = std::max(lastRef_, ref);
    if (GST_BUFFER_PTS_IS_VALID(packet))
        groupStart_ = int64_t(GST_BUFFER_PTS(packet)) - ref * frame;
    else if (groupStart_ >= 0 && groupStart_ + ref * frame >= 0)
        GST_BUFFER_PTS(packet) = GstClockTime(groupStart_ + ref * frame);
}

void SourceReader::OnNoMorePads(GstElement*, gpointer data) {
    auto* self = static_cast<SourceReader*>(data);
    std::lock_guard lock(self->mutex_);
    self->allPads_ = true;
    self->changed_.notify_all();
}

void SourceReader::Finished(bool video) {
    std::lock_guard lock(mutex_);
    (video ? videoDone_ : audioDone_) = true;
    changed_.notify_all();
}

bool SourceReader::Open(std::string& error) {
    pipeline_ = gst_pipeline_new("smart-cut-reader");
    GstElement* src = gst_element_factory_make("filesrc", nullptr);
    GstElement* parse = gst_element_factory_make("parsebin", nullptr);
    if (!src || !parse) {
        error = "The media platform lacks its file reader or parser set.";
        return false;
    }
    g_object_set(src, "location", path_.c_str(), nullptr);
    gst_bin_add_many(GST_BIN(pipeline_), src, parse, nullptr);
    gst_element_link(src, parse);
    g_signal_connect(parse, "pad-added", G_CALLBACK(&SourceReader::OnPadAdded), this);
    g_signal_connect(parse, "no-more-pads", G_CALLBACK(&SourceReader::OnNoMorePads), this);
    gst_element_set_state(pipeline_, GST_STATE_PAUSED);
    // The streams are known once the parser has shown them all; the sinks
    // added for them then take their first packet.
    GstBus* bus = gst_element_get_bus(pipeline_);
    bool failed = false;
    for (int waited = 0; waited < 1000 && !failed; ++waited) {
        {
            std::unique_lock lock(mutex_);
            if (changed_.wait_for(lock, std::chrono::milliseconds(20), [this] { return allPads_; }))
                break;
        }
        if (GstMessage* msg = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
            failed = true;
            gst_message_unref(msg);
        }
    }
    gst_object_unref(bus);
    if (failed || !allPads_) {
        error = "The source file cannot be read.";
        return false;
    }
    GstState state;
    const GstStateChangeReturn ret =
        gst_element_get_state(pipeline_, &state, nullptr, 20 * GST_SECOND);
    if (ret == GST_STATE_CHANGE_FAILURE || ret == GST_STATE_CHANGE_ASYNC) {
        error = "The source file cannot be read.";
        return false;
    }
    auto capsOf = [](GstElement* sink) -> GstCaps* {
        if (!sink)
            return nullptr;
        GstPad* pad = gst_element_get_static_pad(sink, "sink");
        GstCaps* caps = gst_pad_get_current_caps(pad);
        gst_object_unref(pad);
        return caps;
    };
    streams_.video = capsOf(videoSink_);
    // Whether the parser found a program stream (see Play).
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(pipeline_));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        GstElementFactory* f = gst_element_get_factory(GST_ELEMENT(g_value_get_object(&item)));
        programStream_ = programStream_ || (f && g_str_equal(GST_OBJECT_NAME(f), "mpegpsdemux"));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    // A program stream's demultiplexer shows a stream when it meets its first
    // packet: the sound may come a little after the picture has prerolled.
    if (programStream_ && wantAudio_) {
        bool found;
        {
            std::unique_lock lock(mutex_);
            found = changed_.wait_for(lock, std::chrono::seconds(1),
                                      [this] { return audioSink_ != nullptr; });
        }
        if (found && gst_element_get_state(pipeline_, nullptr, nullptr, 20 * GST_SECOND) !=
                         GST_STATE_CHANGE_SUCCESS) {
            error = "The source file cannot be read.";
            return false;
        }
    }
    streams_.audio = capsOf(audioSink_);
    std::lock_guard lock(mutex_);
    streams_.orientation = orientation_;
    return true;
}

bool SourceReader::Run(int64_t from, const PacketFn& onVideo, const PacketFn& onAudio,
                       const std::atomic<bool>* stop, std::string& error) {
    onVideo_ = onVideo;
    onAudio_ = onAudio;
    {
        std::lock_guard lock(mutex_);
        videoDone_ = !videoSink_ || !onVideo;
        audioDone_ = !audioSink_ || !onAudio;
        running_ = true;
    }
    return Play(
        from * 100, -1,
        GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT | GST_SEEK_FLAG_SNAP_BEFORE),
        stop, error);
}

bool SourceReader::RunRange(int64_t from, int64_t to, const PacketFn& onVideo, std::string& error) {
    onVideo_ = onVideo;
    onAudio_ = nullptr;
    {
        std::lock_guard lock(mutex_);
        videoDone_ = !videoSink_;
        audioDone_ = true;
        running_ = true;
    }
    return Play(from, to, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), nullptr,
                error);
}

bool SourceReader::Play(int64_t from, int64_t to, GstSeekFlags flags, const std::atomic<bool>* stop,
                        std::string& error) {
    // A program stream (DVD, MPEG-PS) is sought by its clock references,
    // which may run well behind its pictures' times, and knows no keyframes:
    // reading starts early enough to hold the keyframe before `from` (what
    // comes before `from` is the callbacks' to skip).
    if (programStream_)
        from = std::max<int64_t>(from - 2 * GST_SECOND, 0);
    lastVideo_ = lastAudio_ = {GST_CLOCK_TIME_NONE, GST_CLOCK_TIME_NONE};
    // Always sought, from the start too: the packet the sinks held while
    // the file opened is not handed on without it.
    if (!gst_element_seek(pipeline_, 1.0, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, from,
                          to >= 0 ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE, to >= 0 ? to : -1)) {
        error = "The source file cannot be sought.";
        return false;
    }
    gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline_);
    bool ok = true;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (changed_.wait_for(lock, std::chrono::milliseconds(20),
                                  [this] { return videoDone_ && audioDone_; }))
                break;
        }
        if (stop && stop->load())
            break;
        GstMessage* msg =
            gst_bus_pop_filtered(bus, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (!msg)
            continue;
        if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
            GError* err = nullptr;
            gst_message_parse_error(msg, &err, nullptr);
            error = std::string("The source file could not be read to the end: ") +
                    (err ? err->message : "unknown error") + ".";
            g_clear_error(&err);
            ok = false;
        }
        gst_message_unref(msg);
        break;
    }
    gst_object_unref(bus);
    {
        std::lock_guard lock(mutex_);
        running_ = false;
    }
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    return ok;
}

} // namespace orvelin::media::smartcut
