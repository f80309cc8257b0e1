#include "media/timeline/PlainFrontEnd.h"

#include <gst/audio/audio.h>
#include <gst/pbutils/pbutils.h>
#include <gst/video/video.h>

#include "media/ErrorText.h"
#include "media/playback/StreamStart.h"
#include "media/playback/VideoPlacement.h"
#include "media/timeline/ClipFacts.h"

#include <QFileInfo>
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace orvelin::media {

namespace {

// A local file that the discoverer cannot read within this time is damaged.
constexpr GstClockTime kDiscoverTimeout = 20 * GST_SECOND;

// Compressed sound is read from this long before the part: a decoder that
// starts cold gives nothing for its first frames (an MP3 frame can lean on
// the one before it), and the part would begin with silence. What comes
// before the part is cut off by the group's mixer.
constexpr GstClockTime kSoundLeadIn = 300 * GST_MSECOND;

// The decoded sound is read from before the part (see kSoundLeadIn); its
// segment is made to start at the part, so that what lies before falls
// outside it.
GstPadProbeReturn startSegmentAt(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (!event || GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT)
        return GST_PAD_PROBE_OK;
    const GstClockTime partStart = *static_cast<GstClockTime*>(data);
    const GstSegment* given = nullptr;
    gst_event_parse_segment(event, &given);
    if (given->format != GST_FORMAT_TIME || given->start >= partStart || given->rate <= 0.0)
        return GST_PAD_PROBE_OK;
    GstSegment moved;
    gst_segment_copy_into(given, &moved);
    moved.time += partStart - moved.start;
    moved.start = partStart;
    moved.position = std::max<guint64>(moved.position, partStart);
    GstEvent* replaced = gst_event_new_segment(&moved);
    gst_event_set_seqnum(replaced, gst_event_get_seqnum(event));
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = replaced;
    return GST_PAD_PROBE_OK;
}

// One group's clip: the decoder of its file, the stream of it that is
// played, and the chain that turns that stream into the group's format. The
// decoder's signal handlers hold it.
class ClipFeed : public std::enable_shared_from_this<ClipFeed> {
public:
    ClipFeed(GstElement* bin, GstElement* decoder, GstPad* chainSink, MediaMajorType kind,
             QByteArray wanted, GstClockTime start, GstClockTime stop, QString name)
        : bin_(bin), decoder_(decoder), chainSink_(chainSink), kind_(kind),
          wanted_(std::move(wanted)), start_(start), stop_(stop), name_(std::move(name)) {}
    ~ClipFeed() {
        gst_object_unref(chainSink_);
        if (chosen_)
            gst_object_unref(chosen_);
    }
    ClipFeed(const ClipFeed&) = delete;
    ClipFeed& operator=(const ClipFeed&) = delete;

    void Watch(std::shared_ptr<WatchedStream> watch) { watch_ = std::move(watch); }
    static void Connect(const std::shared_ptr<ClipFeed>& feed);

private:
    void OnPadAdded(GstPad* pad);
    void OnNoMorePads();
    // Seeks the chosen stream to the clip's part and lets it into the chain;
    // runs on a thread of its own, as a seek must not come from the
    // streaming thread it flushes.
    void Start();
    void Fail(const QString& text);
    bool RightKind(GstPad* pad) const;

    GstElement* bin_;     // the group's bin (not held: it holds the decoder)
    GstElement* decoder_; // not held: it holds this feed
    GstPad* chainSink_;   // reference held
    MediaMajorType kind_;
    QByteArray wanted_; // stream id; empty: the first of its kind
    GstClockTime start_;
    GstClockTime stop_;
    QString name_;
    std::shared_ptr<WatchedStream> watch_;

    std::mutex mutex_;
    GstPad* chosen_ = nullptr; // reference held
    gulong block_ = 0;
    bool started_ = false;
};

GstPadProbeReturn holdData(GstPad*, GstPadProbeInfo*, gpointer) {
    return GST_PAD_PROBE_OK; // blocks until the probe is removed or the pad flushes
}

void ClipFeed::Connect(const std::shared_ptr<ClipFeed>& feed) {
    const auto destroy = [](gpointer p, GClosure*) {
        delete static_cast<std::shared_ptr<ClipFeed>*>(p);
    };
    g_signal_connect_data(feed->decoder_, "pad-added",
                          G_CALLBACK(+[](GstElement*, GstPad* pad, gpointer data) {
                              (*static_cast<std::shared_ptr<ClipFeed>*>(data))->OnPadAdded(pad);
                          }),
                          new std::shared_ptr<ClipFeed>(feed), destroy, GConnectFlags(0));
    g_signal_connect_data(feed->decoder_, "no-more-pads",
                          G_CALLBACK(+[](GstElement*, gpointer data) {
                              auto& self = *static_cast<std::shared_ptr<ClipFeed>*>(data);
                              self->OnNoMorePads();
                          }),
                          new std::shared_ptr<ClipFeed>(feed), destroy, GConnectFlags(0));
}

bool ClipFeed::RightKind(GstPad* pad) const {
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    bool right = false;
    if (caps && !gst_caps_is_empty(caps) && !gst_caps_is_any(caps)) {
        const gchar* media = gst_structure_get_name(gst_caps_get_structure(caps, 0));
        right = g_str_has_prefix(media, kind_ == MediaMajorType::Video ? "video/" : "audio/");
    }
    if (caps)
        gst_caps_unref(caps);
    return right;
}

void ClipFeed::OnPadAdded(GstPad* pad) {
    if (GST_PAD_DIRECTION(pad) != GST_PAD_SRC)
        return;
    gchar* id = gst_pad_get_stream_id(pad);
    const bool wanted = RightKind(pad) && (wanted_.isEmpty() || !id || wanted_ == id);
    g_free(id);
    {
        std::lock_guard lock(mutex_);
        if (wanted && !chosen_) {
            // Nothing of it goes on before the seek to the clip's part.
            chosen_ = GST_PAD(gst_object_ref(pad));
            block_ = gst_pad_add_probe(pad,
                                       static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BLOCK |
                                                                    GST_PAD_PROBE_TYPE_BUFFER |
                                                                    GST_PAD_PROBE_TYPE_BUFFER_LIST),
                                       holdData, nullptr, nullptr);
            if (kind_ == MediaMajorType::Audio && start_ > 0)
                gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, startSegmentAt,
                                  new GstClockTime(start_),
                                  [](gpointer p) { delete static_cast<GstClockTime*>(p); });
            if (watch_)
                WatchDecodedPad(watch_, pad);
            return;
        }
    }
    // Another sound track of the file: decoded alongside, and dropped.
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (!sink)
        return;
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    gst_bin_add(GST_BIN(bin_), sink);
    GstPad* sinkPad = gst_element_get_static_pad(sink, "sink");
    gst_pad_link(pad, sinkPad);
    gst_object_unref(sinkPad);
    gst_element_sync_state_with_parent(sink);
}

void ClipFeed::OnNoMorePads() {
    {
        std::lock_guard lock(mutex_);
        if (started_)
            return;
        started_ = true;
        if (!chosen_) {
            Fail(kind_ == MediaMajorType::Video
                     ? QStringLiteral("The pictures of %1 cannot be decoded.").arg(name_)
                     : QStringLiteral("The sound of %1 cannot be decoded.").arg(name_));
            return;
        }
    }
    gst_element_call_async(
        decoder_,
        [](GstElement*, gpointer data) {
            (*static_cast<std::shared_ptr<ClipFeed>*>(data))->Start();
        },
        new std::shared_ptr<ClipFeed>(shared_from_this()),
        [](gpointer p) { delete static_cast<std::shared_ptr<ClipFeed>*>(p); });
}

void ClipFeed::Start() {
    GstPad* chosen = nullptr;
    {
        std::lock_guard lock(mutex_);
        chosen = GST_PAD(gst_object_ref(chosen_));
    }
    const GstClockTime readFrom = kind_ == MediaMajorType::Audio
                                      ? (start_ > kSoundLeadIn ? start_ - kSoundLeadIn : 0)
                                      : start_;
    GstEvent* seek =
        gst_event_new_seek(1.0, GST_FORMAT_TIME,
                           static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                           GST_SEEK_TYPE_SET, readFrom, GST_SEEK_TYPE_SET, stop_);
    const bool seeked = gst_pad_send_event(chosen, seek);
    const bool linked = seeked && gst_pad_link(chosen, chainSink_) == GST_PAD_LINK_OK;
    {
        std::lock_guard lock(mutex_);
        if (block_)
            gst_pad_remove_probe(chosen, block_);
        block_ = 0;
    }
    gst_object_unref(chosen);
    if (!seeked)
        Fail(QStringLiteral("%1 cannot be read from %2.").arg(name_, TimeText(FromClock(start_))));
    else if (!linked)
        Fail(kind_ == MediaMajorType::Video
                 ? QStringLiteral("The pictures of %1 cannot be converted.").arg(name_)
                 : QStringLiteral("The sound of %1 cannot be converted.").arg(name_));
}

void ClipFeed::Fail(const QString& text) {
    GError* error =
        g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, text.toUtf8().constData());
    // From the decoder: the caller holds it, while the group's bin may be
    // going away with a stopped graph.
    gst_element_post_message(decoder_, gst_message_new_error(GST_OBJECT(decoder_), error, nullptr));
    g_error_free(error);
}

// Adds `row` to `bin` and links its elements in order. False when one is
// missing or they cannot be linked.
bool addRow(GstBin* bin, const std::vector<GstElement*>& row) {
    for (GstElement* element : row) {
        if (!element)
            return false;
    }
    for (GstElement* element : row)
        gst_bin_add(bin, element);
    for (size_t i = 1; i < row.size(); ++i) {
        if (!gst_element_link(row[i - 1], row[i]))
            return false;
    }
    return true;
}

GstElement* make(const char* factory) {
    return gst_element_factory_make(factory, nullptr);
}

GstElement* capsFilter(GstCaps* caps) {
    GstElement* filter = make("capsfilter");
    if (filter)
        g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    return filter;
}

// The elements that fit a decoded picture into the group's frame: woven
// fields made whole pictures, turned as its tags say, scaled to its place by
// the stretch mode, bordered or cropped to the frame, at the group's rate.
std::vector<GstElement*> videoRow(const TimelineGroup& group, const GroupMediaType& type,
                                  const VideoFacts& video, int32_t stretchMode) {
    const BitmapInfoHeader& bmi = type.videoInfo->bmiHeader;
    const int outWidth = bmi.biWidth;
    const int outHeight = std::abs(bmi.biHeight);
    // Written at the size it is stored in, a picture of other than square
    // pixels keeps them: the same picture with the same shape, as the
    // pixel aspect the file carries tells players.
    const bool keepsPixels = group.KeepsPixelShape() && video.width == outWidth &&
                             video.height == outHeight && video.parNum > 0 && video.parDen > 0 &&
                             video.parNum != video.parDen;
    const int parNum = keepsPixels ? video.parNum : 1;
    const int parDen = keepsPixels ? video.parDen : 1;
    const PlacementRect rect = keepsPixels
                                   ? PlacementRect{0, 0, outWidth, outHeight}
                                   : PlaceSource(video.width, video.height, video.parNum,
                                                 video.parDen, outWidth, outHeight, stretchMode);
    std::vector<GstElement*> row;
    if (video.interlaced) {
        // Each field becomes a picture of its own (yadif: the missing lines
        // from both neighbours in space and time), before anything scales
        // the lines together; the rate change then picks whole pictures at
        // the field rate. Frames marked progressive in a mixed stream pass
        // as they are.
        // (In a format it takes: 4:2:0 and the like pass untouched.)
        row.push_back(make("videoconvert"));
        GstElement* fields = make("deinterlace");
        if (fields) {
            gst_util_set_object_arg(G_OBJECT(fields), "method", "yadif");
            gst_util_set_object_arg(G_OBJECT(fields), "fields", "all");
        }
        row.push_back(fields);
    }
    GstElement* turn = make("videoflip");
    if (turn)
        g_object_set(turn, "video-direction", GST_VIDEO_ORIENTATION_AUTO, nullptr);
    row.push_back(turn);
    // Catmull-Rom cubic: as sharp as Lanczos when scaling down (48.8 against
    // 43.6 dB for bilinear on a 720p test picture halved) at the cost of
    // bilinear.
    GstElement* scale = make("videoconvertscale");
    if (scale)
        gst_util_set_object_arg(G_OBJECT(scale), "method", "catrom");
    row.push_back(scale);
    row.push_back(capsFilter(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420",
                                                 "width", G_TYPE_INT, rect.width, "height",
                                                 G_TYPE_INT, rect.height, "pixel-aspect-ratio",
                                                 GST_TYPE_FRACTION, parNum, parDen, nullptr)));
    if (rect != PlacementRect{0, 0, outWidth, outHeight}) {
        // Positive sides cut, negative ones add black.
        GstElement* box = make("videobox");
        if (box)
            g_object_set(box, "left", -rect.x, "top", -rect.y, "right",
                         rect.x + rect.width - outWidth, "bottom", rect.y + rect.height - outHeight,
                         nullptr);
        row.push_back(box);
    }
    row.push_back(make("videorate"));
    row.push_back(capsFilter(GroupTrackCaps(group, type, parNum, parDen)));
    return row;
}

// The elements that turn decoded sound into the group's format. A mixer
// with the one stream, as in the editing services' tracks: it gives silence
// from the clip's start to the first sound, and places the sound by its time
// stamps, taking those that wander by less than 40 ms (MP3 in AVI does) as
// a seamless run.
std::vector<GstElement*> soundRow(const TimelineGroup& group, const GroupMediaType& type) {
    return {make("audioconvert"), make("audioresample"), capsFilter(GroupTrackCaps(group, type)),
            make("audiomixer"), capsFilter(GroupTrackCaps(group, type))};
}

// The mixer goes on to the end of the last decoded block, which can reach
// past the clip's part; the rest is cut off.
struct SoundEnd {
    GstClockTime limit = 0; // running time
    GstSegment segment{};
    bool haveSegment = false;
    GstAudioInfo format{};
    bool haveFormat = false;
};

GstPadProbeReturn endSoundAt(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto& end = *static_cast<SoundEnd*>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            gst_event_copy_segment(event, &end.segment);
            end.haveSegment = end.segment.format == GST_FORMAT_TIME;
        } else if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
            GstCaps* caps = nullptr;
            gst_event_parse_caps(event, &caps);
            end.haveFormat = caps && gst_audio_info_from_caps(&end.format, caps) &&
                             end.format.bpf > 0 && end.format.rate > 0;
        }
        return GST_PAD_PROBE_OK;
    }
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!end.haveSegment || !end.haveFormat || !buffer || !GST_BUFFER_PTS_IS_VALID(buffer))
        return GST_PAD_PROBE_OK;
    const GstSegment& segment = end.segment;
    const GstAudioInfo& format = end.format;
    const GstClockTime limit = end.limit;
    const guint64 start =
        gst_segment_to_running_time(&segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    if (!GST_CLOCK_TIME_IS_VALID(start))
        return GST_PAD_PROBE_OK;
    if (start >= limit)
        return GST_PAD_PROBE_DROP;
    const guint64 samples = gst_buffer_get_size(buffer) / format.bpf;
    const guint64 keep = gst_util_uint64_scale_round(limit - start, format.rate, GST_SECOND);
    if (keep >= samples)
        return GST_PAD_PROBE_OK;
    if (keep == 0)
        return GST_PAD_PROBE_DROP;
    buffer = gst_buffer_make_writable(buffer);
    gst_buffer_resize(buffer, 0, static_cast<gssize>(keep * format.bpf));
    GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(keep, GST_SECOND, format.rate);
    GST_BUFFER_OFFSET_END(buffer) = GST_BUFFER_OFFSET_NONE;
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}

// The group's output counts from the part's start, as a timeline does:
// its time stamps and segment are moved back by the segment's start (the
// part's in-point on the file's clock). Running times stay as they are.
struct PartClock {
    GstClockTime shift = 0;
};

GstClockTime movedBack(GstClockTime t, GstClockTime shift) {
    if (!GST_CLOCK_TIME_IS_VALID(t))
        return t;
    return t > shift ? t - shift : 0;
}

GstPadProbeReturn countFromPartStart(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto& clock = *static_cast<PartClock*>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT)
            return GST_PAD_PROBE_OK;
        const GstSegment* given = nullptr;
        gst_event_parse_segment(event, &given);
        if (given->format != GST_FORMAT_TIME || given->start == 0) {
            clock.shift = 0;
            return GST_PAD_PROBE_OK;
        }
        GstSegment moved;
        gst_segment_copy_into(given, &moved);
        clock.shift = moved.start;
        moved.start = 0;
        moved.stop = movedBack(moved.stop, clock.shift);
        moved.position = movedBack(moved.position, clock.shift);
        moved.time = movedBack(moved.time, clock.shift);
        GstEvent* replaced = gst_event_new_segment(&moved);
        gst_event_set_seqnum(replaced, gst_event_get_seqnum(event));
        gst_event_unref(event);
        GST_PAD_PROBE_INFO_DATA(info) = replaced;
        return GST_PAD_PROBE_OK;
    }
    if (clock.shift == 0)
        return GST_PAD_PROBE_OK;
    const auto move = [&](GstBuffer* buffer) {
        GST_BUFFER_PTS(buffer) = movedBack(GST_BUFFER_PTS(buffer), clock.shift);
        GST_BUFFER_DTS(buffer) = movedBack(GST_BUFFER_DTS(buffer), clock.shift);
    };
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
        GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
        move(buffer);
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
    } else if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER_LIST) {
        GstBufferList* list = gst_buffer_list_make_writable(GST_PAD_PROBE_INFO_BUFFER_LIST(info));
        for (guint k = 0; k < gst_buffer_list_length(list); ++k)
            move(gst_buffer_list_get_writable(list, k));
        GST_PAD_PROBE_INFO_DATA(info) = list;
    }
    return GST_PAD_PROBE_OK;
}

void dropElements(std::vector<GstElement*>& row) {
    for (GstElement* element : row) {
        if (element && !GST_OBJECT_PARENT(element))
            gst_object_unref(gst_object_ref_sink(element));
    }
}

// What a group plays.
struct GroupPlan {
    std::shared_ptr<TimelineGroup> group;
    GroupMediaType type;
    std::shared_ptr<TimelineSource> source;
    StreamFacts facts;
};

// Looks at files with the discoverer. The event loop goes on meanwhile, as
// while the editing services load a clip: the window stays drawn, and its
// guards against clicks during a conversion's set-up apply alike.
class Discovery {
public:
    ~Discovery() {
        for (auto& [path, info] : infos_)
            gst_object_unref(info);
    }
    // The discovered file; nullptr, with the reason recorded, when it
    // cannot be read.
    GstDiscovererInfo* Info(const QString& path, HRESULT* hr);

private:
    std::map<QString, GstDiscovererInfo*> infos_;
};

struct Discovered {
    GMainLoop* loop = nullptr;
    GstDiscovererInfo* info = nullptr; // reference held
    QString why;
};

void onDiscovered(GstDiscoverer*, GstDiscovererInfo* info, GError* error, gpointer data) {
    auto& out = *static_cast<Discovered*>(data);
    if (info && !out.info)
        out.info = GST_DISCOVERER_INFO(gst_object_ref(info));
    if (error && out.why.isEmpty())
        out.why = QString::fromUtf8(error->message);
}

void onFinished(GstDiscoverer*, gpointer data) {
    g_main_loop_quit(static_cast<Discovered*>(data)->loop);
}

// Discovers `uri` with the caller's event loop running.
Discovered discover(const gchar* uri) {
    Discovered out;
    GError* error = nullptr;
    GstDiscoverer* discoverer = gst_discoverer_new(kDiscoverTimeout, &error);
    if (!discoverer) {
        out.why = QString::fromUtf8(error ? error->message : "no discoverer");
        if (error)
            g_error_free(error);
        return out;
    }
    GMainContext* context = g_main_context_ref_thread_default();
    out.loop = g_main_loop_new(context, FALSE);
    g_signal_connect(discoverer, "discovered", G_CALLBACK(onDiscovered), &out);
    g_signal_connect(discoverer, "finished", G_CALLBACK(onFinished), &out);
    gst_discoverer_start(discoverer);
    if (gst_discoverer_discover_uri_async(discoverer, uri))
        g_main_loop_run(out.loop);
    else
        out.why = QStringLiteral("the file cannot be queued for reading");
    gst_discoverer_stop(discoverer);
    g_signal_handlers_disconnect_by_data(discoverer, &out);
    gst_object_unref(discoverer);
    g_main_loop_unref(out.loop);
    g_main_context_unref(context);
    out.loop = nullptr;
    return out;
}

GstDiscovererInfo* Discovery::Info(const QString& path, HRESULT* hr) {
    if (auto found = infos_.find(path); found != infos_.end())
        return found->second;
    const QString name = QFileInfo(path).fileName();
    gchar* uri = gst_filename_to_uri(path.toUtf8().constData(), nullptr);
    if (!uri) {
        *hr = RecordError(VFW_E_NOT_FOUND, QStringLiteral("%1 cannot be found.").arg(name));
        return nullptr;
    }
    Discovered found = discover(uri);
    g_free(uri);
    if (!found.info || gst_discoverer_info_get_result(found.info) != GST_DISCOVERER_OK) {
        if (found.info)
            gst_object_unref(found.info);
        *hr = RecordError(
            VFW_E_CANNOT_LOAD_SOURCE_FILTER,
            QStringLiteral("%1 cannot be read: %2")
                .arg(name, found.why.isEmpty() ? QStringLiteral("unknown error") : found.why));
        return nullptr;
    }
    infos_.emplace(path, found.info);
    return found.info;
}

bool isStill(GstDiscovererInfo* info) {
    GList* videos = gst_discoverer_info_get_video_streams(info);
    const bool still =
        videos && gst_discoverer_video_info_is_image(GST_DISCOVERER_VIDEO_INFO(videos->data));
    gst_discoverer_stream_info_list_free(videos);
    return still;
}

// Builds one group's bin into `built` (floating).
HRESULT buildGroup(const GroupPlan& plan, size_t index, PlainFrontEnd* out, GstElement** built) {
    const TimelineSource& source = *plan.source;
    const MediaMajorType kind = plan.type.majortype;
    const QString name = QFileInfo(source.MediaName()).fileName();
    gchar* binName = g_strdup_printf("group%zu", index);
    GstElement* bin = gst_bin_new(binName);
    g_free(binName);
    GstElement* decoder = make("uridecodebin");
    std::vector<GstElement*> row =
        kind == MediaMajorType::Video
            ? videoRow(*plan.group, plan.type, plan.facts.video, source.StretchMode())
            : soundRow(*plan.group, plan.type);
    if (!decoder || !addRow(GST_BIN(bin), row)) {
        dropElements(row);
        if (decoder)
            gst_object_unref(gst_object_ref_sink(decoder));
        gst_object_unref(gst_object_ref_sink(bin));
        return RecordError(REGDB_E_CLASSNOTREG,
                           QStringLiteral("A GStreamer element the conversion needs is not "
                                          "installed."));
    }
    gchar* uri = gst_filename_to_uri(source.MediaName().toUtf8().constData(), nullptr);
    GstCaps* raw = gst_caps_from_string(kind == MediaMajorType::Video ? "video/x-raw(ANY)"
                                                                      : "audio/x-raw(ANY)");
    g_object_set(decoder, "uri", uri, "caps", raw, "expose-all-streams", FALSE, nullptr);
    gst_caps_unref(raw);
    g_free(uri);
    gst_bin_add(GST_BIN(bin), decoder);

    GstPad* last = gst_element_get_static_pad(row.back(), "src");
    GstPad* ghost = gst_ghost_pad_new("src", last);
    gst_object_unref(last);
    gst_element_add_pad(bin, ghost);
    out->groupPads.push_back(GST_PAD(gst_object_ref(ghost)));
    gst_pad_add_probe(
        ghost,
        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                                     GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
        countFromPartStart, new PartClock, [](gpointer p) { delete static_cast<PartClock*>(p); });
    if (kind == MediaMajorType::Audio)
        gst_pad_add_probe(ghost,
                          static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                       GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                          endSoundAt, new SoundEnd{ToClock(source.Stop() - source.Start())},
                          [](gpointer p) { delete static_cast<SoundEnd*>(p); });

    // The clip's part on the file's own clock (MPEG streams start late).
    REFERENCE_TIME mediaStart = 0;
    REFERENCE_TIME mediaStop = 0;
    source.GetMediaTimes(&mediaStart, &mediaStop);
    const REFERENCE_TIME streamStart = StreamStartOf(source.MediaName());
    const REFERENCE_TIME length = source.Stop() - source.Start();
    const QByteArray& wanted =
        kind == MediaMajorType::Video ? plan.facts.videoStream : plan.facts.audioStream;
    auto feed = std::make_shared<ClipFeed>(
        bin, decoder, gst_element_get_static_pad(row.front(), "sink"), kind, wanted,
        ToClock(mediaStart + streamStart), ToClock(mediaStart + streamStart + length), name);

    SourceStreamReport report;
    report.file = source.MediaName();
    report.kind = kind;
    report.asked = length;
    auto watch = std::make_shared<WatchedStream>(decoder, report);
    feed->Watch(watch);
    out->sources.push_back(std::move(watch));
    ClipFeed::Connect(feed);
    *built = bin;
    return S_OK;
}

} // namespace

bool SuitsPlainFrontEnd(const Timeline& model) {
    int32_t count = 0;
    model.GetGroupCount(&count);
    if (count <= 0)
        return false;
    for (int32_t g = 0; g < count; ++g) {
        std::shared_ptr<TimelineGroup> group;
        GroupMediaType type;
        if (Failed(model.GetGroup(g, &group)) || !group || Failed(group->GetMediaType(&type)))
            return false;
        if (type.majortype == MediaMajorType::Video && !type.videoInfo)
            return false;
        if (type.majortype != MediaMajorType::Video && type.majortype != MediaMajorType::Audio)
            return false;
        const auto& tracks = group->Tracks();
        if (tracks.size() != 1 || tracks[0]->Sources().size() != 1)
            return false;
        for (const auto& transition : tracks[0]->Transitions()) {
            if (transition->Stop() > transition->Start())
                return false;
        }
        if (tracks[0]->Sources()[0]->Start() != 0)
            return false;
    }
    return true;
}

HRESULT BuildPlainFrontEnd(const Timeline& model, GstBin* pipeline, PlainFrontEnd* frontEnd) {
    if (!frontEnd || !pipeline)
        return E_POINTER;
    *frontEnd = PlainFrontEnd{};
    if (!SuitsPlainFrontEnd(model))
        return S_FALSE;

    // Every file is looked at before anything is built.
    Discovery discovery;
    std::vector<GroupPlan> plans;
    int32_t count = 0;
    model.GetGroupCount(&count);
    for (int32_t g = 0; g < count; ++g) {
        GroupPlan plan;
        model.GetGroup(g, &plan.group);
        plan.group->GetMediaType(&plan.type);
        plan.source = plan.group->Tracks()[0]->Sources()[0];
        const TimelineSource& source = *plan.source;
        if (HRESULT hr = CheckClipTimes(source); Failed(hr))
            return hr;
        HRESULT hr = S_OK;
        GstDiscovererInfo* info = discovery.Info(source.MediaName(), &hr);
        if (!info)
            return hr;
        const MediaMajorType kind = plan.type.majortype;
        plan.facts = ReadStreamFacts(info, source.MediaName(), kind == MediaMajorType::Audio);
        const bool has = kind == MediaMajorType::Video ? plan.facts.hasVideo : plan.facts.hasAudio;
        if (!has || isStill(info) || !gst_discoverer_info_get_seekable(info))
            return S_FALSE;
        if (HRESULT hr =
                CheckClipInFile(source, plan.facts.length, FrameAllowance(*plan.group, kind));
            Failed(hr))
            return hr;
        plans.push_back(std::move(plan));
    }

    std::vector<GstElement*> bins;
    for (size_t g = 0; g < plans.size(); ++g) {
        GstElement* bin = nullptr;
        if (HRESULT hr = buildGroup(plans[g], g, frontEnd, &bin); Failed(hr)) {
            for (GstElement* done : bins)
                gst_object_unref(done);
            ReleasePlainFrontEnd(frontEnd);
            return hr;
        }
        bins.push_back(GST_ELEMENT(gst_object_ref_sink(bin)));
        const GroupPlan& plan = plans[g];
        frontEnd->groupColorimetry.push_back(plan.type.majortype == MediaMajorType::Video
                                                 ? plan.facts.video.colorimetry
                                                 : std::string());
        const REFERENCE_TIME stop = plan.source->Stop();
        if (!GST_CLOCK_TIME_IS_VALID(frontEnd->length) || ToClock(stop) > frontEnd->length)
            frontEnd->length = ToClock(stop);
    }
    for (GstElement* bin : bins) {
        gst_bin_add(pipeline, bin);
        gst_object_unref(bin);
    }
    return S_OK;
}

void ReleasePlainFrontEnd(PlainFrontEnd* frontEnd) {
    for (GstPad* pad : frontEnd->groupPads)
        gst_object_unref(pad);
    *frontEnd = PlainFrontEnd{};
}

} // namespace orvelin::media
