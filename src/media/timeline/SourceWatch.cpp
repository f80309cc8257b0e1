// The editing services (and GIO with them) come before any Qt header.
#include <ges/ges.h>

#include "media/timeline/SourceWatch.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

namespace orvelin::media {

namespace {

REFERENCE_TIME fromClock(GstClockTime t) {
    return static_cast<REFERENCE_TIME>(t / 100);
}

// How much of a part is decoded before the decoders' complaints count.
constexpr GstClockTime kSettled = 200 * GST_MSECOND;
// Sound missing for longer than this between two decoded pieces was lost.
constexpr GstClockTime kSoundHole = 100 * GST_MSECOND;
// Pictures: a hole of more than this many frame periods, and at least a
// quarter second (a phone's clip slows down in the dark, and the rate its
// file states is an average).
constexpr double kPictureHoleFrames = 2.5;
constexpr GstClockTime kShortestPictureHole = 250 * GST_MSECOND;

// The libav decoders conceal damaged data without a word on the bus: they
// only log it. Their error lines are counted here for the whole program; a
// stream counts those that came after it decoded its first piece.
std::atomic<int> g_decoderComplaints{0};
std::mutex g_complaintMutex;
QString g_lastComplaint;
bool g_hideDecoderLog = false;

bool isDecoderLog(GstDebugCategory* category) {
    return category && g_strcmp0(gst_debug_category_get_name(category), "libav") == 0;
}

// What a decoder says when it starts on a picture that refers to one before
// its first: also in intact files (a stream that begins in mid-group, B
// pictures at the start of a clip), and no sign of damage by itself.
bool startsCold(const gchar* text) {
    static const char* const kCold[] = {"co located POCs unavailable",
                                        "mmco: unref short failure",
                                        "reference picture missing during reorder",
                                        "Missing reference picture",
                                        "non-existing PPS",
                                        "no frame!",
                                        "decode_slice_header error",
                                        "Increasing reorder buffer",
                                        "MVs not available"};
    for (const char* cold : kCold) {
        if (text && std::strstr(text, cold))
            return true;
    }
    return false;
}

void onDebugLog(GstDebugCategory* category, GstDebugLevel level, const gchar* file,
                const gchar* function, gint line, GObject* object, GstDebugMessage* message,
                gpointer) {
    if (isDecoderLog(category)) {
        if (level == GST_LEVEL_ERROR && !startsCold(gst_debug_message_get(message))) {
            {
                std::lock_guard lock(g_complaintMutex);
                g_lastComplaint = QString::fromUtf8(gst_debug_message_get(message)).trimmed();
            }
            g_decoderComplaints.fetch_add(1);
        }
        if (g_hideDecoderLog)
            return; // asked for by this watch, not by the user
    }
    gst_debug_log_default(category, level, file, function, line, object, message, nullptr);
}

// Makes the libav decoders' error lines reach the count, once.
void watchDecoderComplaints() {
    static std::once_flag once;
    std::call_once(once, [] {
        // A log the user sends to a file of their own is left alone.
        if (g_getenv("GST_DEBUG_FILE"))
            return;
        const gchar* asked = g_getenv("GST_DEBUG");
        const bool userSees = gst_debug_get_default_threshold() >= GST_LEVEL_ERROR ||
                              (asked && std::strstr(asked, "libav"));
        if (!userSees) {
            gst_debug_set_threshold_for_name("libav", GST_LEVEL_ERROR);
            g_hideDecoderLog = true;
        }
        gst_debug_remove_log_function(gst_debug_log_default);
        gst_debug_add_log_function(onDebugLog, nullptr, nullptr);
    });
}

// What one decoded pad of a watched stream has seen; used by the pad's
// streaming thread only.
struct PadWatch {
    std::shared_ptr<WatchedStream> stream;
    GstSegment segment;
    bool haveSegment = false;
    bool video = false;
    GstClockTime framePeriod = GST_CLOCK_TIME_NONE; // from the caps
    // The running times of the last piece, once there is one in the segment.
    GstClockTime lastStart = GST_CLOCK_TIME_NONE;
    GstClockTime lastEnd = GST_CLOCK_TIME_NONE;
};

QString Seconds(GstClockTime t) {
    return QString::number(static_cast<double>(t) / GST_SECOND, 'f', 2) + QStringLiteral(" s");
}

void noteCaps(PadWatch& watch, GstCaps* caps) {
    const GstStructure* s = caps ? gst_caps_get_structure(caps, 0) : nullptr;
    if (!s)
        return;
    watch.video = g_str_has_prefix(gst_structure_get_name(s), "video/");
    gint num = 0;
    gint den = 0;
    if (watch.video && gst_structure_get_fraction(s, "framerate", &num, &den) && num > 0 &&
        den > 0) {
        watch.framePeriod = gst_util_uint64_scale_int(GST_SECOND, den, num);
        watch.stream->NoteFramePeriod(watch.framePeriod);
    } else {
        watch.framePeriod = GST_CLOCK_TIME_NONE;
    }
}

// The longest time two decoded pieces may lie apart without data lost
// between them.
GstClockTime holeLimit(const PadWatch& watch) {
    if (!watch.video)
        return kSoundHole;
    if (!GST_CLOCK_TIME_IS_VALID(watch.framePeriod))
        return kShortestPictureHole;
    return std::max(kShortestPictureHole,
                    static_cast<GstClockTime>(kPictureHoleFrames * watch.framePeriod));
}

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
    if (!GST_CLOCK_TIME_IS_VALID(running))
        return;
    watch.stream->NoteReached(running);
    // A decoder that starts where the part starts (an MPEG stream sought to
    // a mark) may complain of what lies before its first whole picture, and
    // says so a while later from its threads: complaints count once a fifth of a
    // second of the part is decoded.
    if (running >= kSettled)
        watch.stream->NoteStarted(g_decoderComplaints.load());
    const guint64 runningStart = gst_segment_to_running_time(
        &segment, GST_FORMAT_TIME, std::max<GstClockTime>(start, segment.start));
    const QString kind = watch.video ? QStringLiteral("picture") : QStringLiteral("sound");
    // A decoder that made up for damaged data says so on what it gives.
    if (GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_CORRUPTED))
        watch.stream->NoteWarning(
            QStringLiteral("concealed damage in the %1 at %2").arg(kind, Seconds(runningStart)));
    if (GST_CLOCK_TIME_IS_VALID(watch.lastEnd) && GST_CLOCK_TIME_IS_VALID(runningStart)) {
        const GstClockTime limit = holeLimit(watch);
        if (runningStart > watch.lastEnd + limit)
            watch.stream->NoteWarning(
                QStringLiteral("%1 of %2 missing at %3")
                    .arg(Seconds(runningStart - watch.lastEnd), kind, Seconds(watch.lastEnd)));
        else if (runningStart + limit < watch.lastStart)
            watch.stream->NoteWarning(
                QStringLiteral("the %1 steps back from %2 to %3")
                    .arg(kind, Seconds(watch.lastStart), Seconds(runningStart)));
    }
    // The last picture lasts as long as the one before it, whatever the
    // stated rate: a clip of variable rate ends a long picture later.
    if (watch.video && GST_CLOCK_TIME_IS_VALID(runningStart) &&
        GST_CLOCK_TIME_IS_VALID(watch.lastStart) && runningStart > watch.lastStart)
        watch.stream->NoteSpacing(runningStart - watch.lastStart);
    if (GST_CLOCK_TIME_IS_VALID(runningStart))
        watch.lastStart = runningStart;
    watch.lastEnd = running;
}

GstPadProbeReturn onDecodedData(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto& watch = *static_cast<PadWatch*>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            gst_event_copy_segment(event, &watch.segment);
            watch.haveSegment = true;
            // A new segment (a seek) starts a new run of times.
            watch.lastStart = watch.lastEnd = GST_CLOCK_TIME_NONE;
        } else if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
            GstCaps* caps = nullptr;
            gst_event_parse_caps(event, &caps);
            noteCaps(watch, caps);
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
    // What a decoder says of the last picture, cut where the part ends, is
    // no damage of the file: complaints count up to the part's end.
    if (complaintsAfter_ < 0 && report_.asked > 0 &&
        report_.reached >= report_.asked - fromClock(kSettled))
        complaintsAfter_ = g_decoderComplaints.load();
}

void WatchedStream::NoteStarted(int complaints) {
    std::lock_guard lock(mutex_);
    if (complaintsBefore_ < 0)
        complaintsBefore_ = complaints;
}

void WatchedStream::NoteFramePeriod(GstClockTime period) {
    std::lock_guard lock(mutex_);
    report_.framePeriod = fromClock(period);
}

void WatchedStream::NoteSpacing(GstClockTime spacing) {
    std::lock_guard lock(mutex_);
    lastSpacing_ = fromClock(spacing);
}

void WatchedStream::NoteWarning(const QString& text) {
    std::lock_guard lock(mutex_);
    if (report_.warnings++ == 0)
        report_.firstWarning = text;
}

SourceStreamReport WatchedStream::Report() const {
    std::lock_guard lock(mutex_);
    SourceStreamReport report = report_;
    report.framePeriod = std::max(report.framePeriod, lastSpacing_);
    // The decoders' log names no element: what they said while the stream
    // was decoded goes to its pictures (or its sound when it has none).
    const int complaints =
        complaintsBefore_ < 0
            ? 0
            : (complaintsAfter_ >= 0 ? complaintsAfter_ : g_decoderComplaints.load()) -
                  complaintsBefore_;
    if (complaints > 0 && report.kind == MediaMajorType::Video) {
        if (report.warnings == 0) {
            std::lock_guard last(g_complaintMutex);
            report.firstWarning = QStringLiteral("the picture decoder: ") + g_lastComplaint;
        }
        report.warnings += complaints;
    }
    return report;
}

void WatchDecodedPad(const std::shared_ptr<WatchedStream>& stream, GstPad* pad) {
    watchDecoderComplaints();
    auto* watch = new PadWatch{};
    watch->stream = stream;
    gst_segment_init(&watch->segment, GST_FORMAT_UNDEFINED);
    if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
        noteCaps(*watch, caps);
        gst_caps_unref(caps);
    }
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

REFERENCE_TIME DeclaredLength(const QString& path) {
    // An AVI file's header says how many pictures it holds and how long each
    // lasts; its demultiplexer counts the pictures that are there instead.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.read(256 * 1024);
    if (head.size() < 64 || !head.startsWith("RIFF") || head.mid(8, 4) != "AVI ")
        return 0;
    auto word = [&head](qsizetype at) -> quint64 {
        if (at < 0 || at + 4 > head.size())
            return 0;
        const auto* b = reinterpret_cast<const unsigned char*>(head.constData() + at);
        return quint64(b[0]) | quint64(b[1]) << 8 | quint64(b[2]) << 16 | quint64(b[3]) << 24;
    };
    const qsizetype avih = head.indexOf("avih");
    if (avih < 0)
        return 0;
    const quint64 microseconds = word(avih + 8);
    quint64 frames = word(avih + 8 + 16);
    // Files past the first RIFF part count all their pictures here.
    if (const qsizetype dmlh = head.indexOf("dmlh"); dmlh >= 0)
        frames = std::max(frames, word(dmlh + 8));
    if (microseconds == 0 || frames == 0 || microseconds > 10'000'000)
        return 0;
    return static_cast<REFERENCE_TIME>(microseconds * frames * 10);
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
