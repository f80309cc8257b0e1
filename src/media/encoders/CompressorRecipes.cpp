#include "media/encoders/CompressorRecipes.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <memory>
#include <mutex>

namespace orvelin::media {

namespace {

const char* const kNoPlayback =
    "its files do not play back here: the demultiplexed stream finds no decoder";

// What each encoder needs, found by encoding a few frames through every
// installed encoder into each multiplexer and playing the files back.
const CompressorRecipe kRecipes[] = {
    // libaom at its default speed takes seconds per small frame. The
    // element's default worst quantiser is 0, which holds every picture at
    // the finest quantiser whatever the target bit rate (11 Mbit/s at
    // 320x240 for 300 kbit/s): libaom's own worst, 63, lets the bit rate
    // count.
    {.factory = "av1enc",
     .parser = "av1parse",
     .initial = "cpu-used=8;usage-profile=realtime;max-quantizer=63"},
    {.factory = "x265enc", .friendlyName = "x265 H.265/HEVC Encoder", .parser = "h265parse"},
    {.factory = "openh264enc", .parser = "h264parse"},
    // mp4mux writes VP9 that its own demuxer calls corrupt.
    {.factory = "vp9enc", .badMuxers = "mp4mux"},
    // MPEG-1/2 stores only its standard rates, and the timeline gives 23.976
    // as 2997/125: the frames are fitted to the nearest standard rate
    // (24000/1001 there, where no frame moves within hours).
    {.factory = "mpeg2enc",
     .friendlyName = "MPEG-2 video (mjpegtools)",
     .fitRate = true,
     .fitBuffer = true},
    // Players other than GStreamer find no Speex in Matroska.
    {.factory = "speexenc", .badMuxers = "matroskamux"},
    // The MP4 multiplexer of this version does not record Opus's delay and
    // padding: the sound of a converted file does not end where it should.
    {.factory = "opusenc", .badMuxers = "mp4mux"},
    // The libav wrapper of this version stamps every packet of this encoder
    // with an invalid time: players see one frame. The times are put back
    // from the input, which needs frames in input order (no B-frames).
    // It also gives the encoder a time base of 1/65535 s whatever the
    // stream's rate, which its rate control takes for the picture rate.
    {.factory = "avenc_mpeg4",
     .friendlyName = "DivX-compatible MPEG-4 Part 2 encoder (libav)",
     .parser = "mpeg4videoparse",
     .pinned = "max-bframes=0",
     .restoreTimestamps = true,
     .rateControlRate = 65535},
    {.factory = "avenc_ac3_fixed", .friendlyName = "ATSC A/52A (AC-3) encoder, fixed-point"},
    {.factory = "avenc_ffv1", .friendlyName = "FFV1 lossless"},
    {.factory = "avenc_ffvhuff", .friendlyName = "Huffyuv lossless, FFmpeg variant"},
    {.factory = "avenc_huffyuv", .friendlyName = "Huffyuv lossless"},
    {.factory = "avenc_opus", .friendlyName = "Opus encoder (libav)"},
    // Both take 4:2:2 pictures here, which they write as ProRes 422 HQ; the
    // second lets the profile be chosen in its settings.
    {.factory = "avenc_prores_aw", .friendlyName = "Apple ProRes 422 HQ"},
    {.factory = "avenc_prores_ks",
     .friendlyName = "Apple ProRes, profile chosen in Settings (proxy to 4444 XQ)"},
    {.factory = "avenc_prores", .excluded = "the same encoder as avenc_prores_aw, which is listed"},
    {.factory = "avenc_mpeg1video",
     .excluded = "the libav wrapper gives MPEG-1/2 a time base it refuses; nothing is encoded"},
    {.factory = "avenc_mpeg2video",
     .excluded = "the libav wrapper gives MPEG-1/2 a time base it refuses; nothing is encoded"},
    {.factory = "avenc_h264_omx", .excluded = "needs an OpenMAX IL hardware encoder"},
    {.factory = "avenc_mpeg4_omx", .excluded = "needs an OpenMAX IL hardware encoder"},
    {.factory = "avenc_h263",
     .excluded = "takes only the five H.263 picture sizes (128x96 to 1408x1152)"},
    {.factory = "avenc_dvvideo",
     .excluded = "takes only DV picture sizes and rates (720x480 or 720x576)"},
    {.factory = "avenc_rv10", .excluded = "takes only widths and heights that are multiples of 16"},
    {.factory = "avenc_rv20", .excluded = kNoPlayback},
    {.factory = "avenc_tta", .excluded = kNoPlayback},
    {.factory = "openjpegenc", .excluded = kNoPlayback},
    {.factory = "avenc_dca",
     .excluded = "experimental in this libav version; refuses to encode by default"},
};

struct TimeQueue {
    std::mutex lock;
    std::deque<GstClockTime> times;
    GstSegment segment{};
    bool haveSegment = false;
};

GstPadProbeReturn RememberInput(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* queue = static_cast<std::shared_ptr<TimeQueue>*>(data)->get();
    std::lock_guard<std::mutex> guard(queue->lock);
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
        queue->times.push_back(GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info)));
    } else if (info->type &
               (GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_EVENT_FLUSH)) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP ||
            GST_EVENT_TYPE(event) == GST_EVENT_STREAM_START) {
            queue->times.clear(); // a new run of the same instance starts afresh
        } else if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            const GstSegment* segment = nullptr;
            gst_event_parse_segment(event, &segment);
            gst_segment_copy_into(segment, &queue->segment);
            queue->haveSegment = true;
        }
    }
    return GST_PAD_PROBE_OK;
}

// The encoder moves its output segment 1000 hours on to keep its own times
// positive; with the input times put back, the input segment goes with them.
GstPadProbeReturn RestoreSegment(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT)
        return GST_PAD_PROBE_OK;
    auto* queue = static_cast<std::shared_ptr<TimeQueue>*>(data)->get();
    std::lock_guard<std::mutex> guard(queue->lock);
    if (!queue->haveSegment)
        return GST_PAD_PROBE_OK;
    GstEvent* replacement = gst_event_new_segment(&queue->segment);
    gst_event_set_seqnum(replacement, gst_event_get_seqnum(event));
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = replacement;
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn StampOutput(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* queue = static_cast<std::shared_ptr<TimeQueue>*>(data)->get();
    GstClockTime time = GST_CLOCK_TIME_NONE;
    {
        std::lock_guard<std::mutex> guard(queue->lock);
        if (queue->times.empty())
            return GST_PAD_PROBE_OK;
        time = queue->times.front();
        queue->times.pop_front();
    }
    GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_BUFFER_PTS(buffer) = time;
    GST_BUFFER_DTS(buffer) = time;
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}

void FreeQueueRef(gpointer data) {
    delete static_cast<std::shared_ptr<TimeQueue>*>(data);
}

// libavcodec's one-pass rate control hands each picture the bit rate over
// the rate it counts with: told 65535 pictures a second instead of 25, it
// plans a 2600th of the bits and codes every picture at the coarsest
// quantiser (some 350 kbit/s at 320x240, whatever the bit rate). Only its
// correction for the bits it lags behind the bit rate by is not scaled
// with that rate: (tolerance + lag) / tolerance. With a tolerance that
// small, the lag settles where the correction makes up for the miscount,
// a quarter of a second of the bit rate, and the bit rate written follows
// the setting (within a few per cent over 20 s, at the picture quality of
// ffmpeg's own encoder at the same bit rate).
// Its constant-quantiser mode fares no better: the wrapper hands the
// quantiser to the first picture only, and the rest are coded at the
// finest. The quantiser becomes the rate control's only choice instead.
struct RateControlFix {
    int assumedRate;
};

constexpr const char* kOwnTolerance = "orvelin-own-bitrate-tolerance";
constexpr const char* kOwnQmin = "orvelin-own-qmin";
constexpr const char* kOwnQmax = "orvelin-own-qmax";

void SetKeepingOwn(GstElement* encoder, const char* property, const char* key, gint value) {
    if (!g_object_class_find_property(G_OBJECT_GET_CLASS(encoder), property))
        return;
    if (!g_object_get_data(G_OBJECT(encoder), key)) {
        gint own = 0;
        g_object_get(encoder, property, &own, nullptr);
        g_object_set_data_full(G_OBJECT(encoder), key, new gint(own),
                               [](gpointer p) { delete static_cast<gint*>(p); });
    }
    g_object_set(encoder, property, value, nullptr);
}

// The picture rate a caps event on an encoder's sink pad announces; false for
// another event or caps without a usable rate.
bool CapsEventRate(GstPadProbeInfo* info, int* num, int* den) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
        return false;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    const GstStructure* s = caps ? gst_caps_get_structure(caps, 0) : nullptr;
    return s && gst_structure_get_fraction(s, "framerate", num, den) && *num > 0 && *den > 0;
}

GstPadProbeReturn OnEncoderCaps(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) != GST_EVENT_CAPS)
        return GST_PAD_PROBE_OK;
    const auto* fix = static_cast<const RateControlFix*>(data);
    GstElement* encoder = GST_PAD_PARENT(pad);
    int num = 0;
    int den = 0;
    if (!CapsEventRate(info, &num, &den)) {
        num = 25; // what the wrapper takes for a stream without a rate
        den = 1;
    }
    gint pass = 0;
    g_object_get(encoder, "pass", &pass, nullptr);
    if (pass == 2) { // constant quantiser
        gfloat quantizer = 0;
        g_object_get(encoder, "quantizer", &quantizer, nullptr);
        const gint q = std::clamp(static_cast<gint>(std::lround(quantizer)), 1, 31);
        SetKeepingOwn(encoder, "qmin", kOwnQmin, q);
        SetKeepingOwn(encoder, "qmax", kOwnQmax, q);
        return GST_PAD_PROBE_OK;
    }
    gint bitrate = 0;
    g_object_get(encoder, "bitrate", &bitrate, nullptr);
    if (bitrate <= 0)
        return GST_PAD_PROBE_OK;
    // A quarter of a second of the bit rate, over the miscount.
    const double tolerance = static_cast<double>(bitrate) * num / den / (4.0 * fix->assumedRate);
    SetKeepingOwn(encoder, "bitrate-tolerance", kOwnTolerance,
                  static_cast<gint>(std::max(1.0, std::round(tolerance))));
    return GST_PAD_PROBE_OK;
}

// Sets an integer the way the element's own default does: mpeg2enc's
// bufsize starts at 0 (the format's own size), below the range it accepts
// from g_object_set.
void SetOwnInteger(GstElement* encoder, const char* property, gint value) {
    GParamSpec* param = g_object_class_find_property(G_OBJECT_GET_CLASS(encoder), property);
    if (!param)
        return;
    GValue v = G_VALUE_INIT;
    g_value_init(&v, G_TYPE_INT);
    g_value_set_int(&v, value);
    if (G_PARAM_SPEC_VALUE_TYPE(param) == G_TYPE_INT && g_param_value_validate(param, &v)) {
        g_value_set_int(&v, value);
        G_OBJECT_GET_CLASS(encoder)->set_property(G_OBJECT(encoder), param->param_id, &v, param);
    } else {
        g_object_set(encoder, property, value, nullptr);
    }
    g_value_unset(&v);
}

// mjpegtools' buffer sizes are in kB of 1024 bytes; the format's own size
// (bufsize 0) is 46 kB for the MPEG-1 formats and 230 kB for MPEG-2.
constexpr const char* kOwnBufsize = "orvelin-own-bufsize";
constexpr const char* kOwnBitrate = "orvelin-own-bitrate";
constexpr gint kSmallestOwnBuffer = 46;
constexpr gint kMpeg2Buffer = 230;
constexpr gint kLargestBuffer = 4000; // the element's limit
constexpr double kBufferBits = 8.0 * 1024;

GstPadProbeReturn OnBufferCaps(GstPad* pad, GstPadProbeInfo* info, gpointer) {
    GstElement* encoder = GST_PAD_PARENT(pad);
    int num = 0;
    int den = 0;
    if (!CapsEventRate(info, &num, &den))
        return GST_PAD_PROBE_OK;
    // A caps change within a job starts from the settings the job began with.
    if (auto* own = static_cast<gint*>(g_object_get_data(G_OBJECT(encoder), kOwnBufsize)))
        SetOwnInteger(encoder, "bufsize", *own);
    if (auto* own = static_cast<gint*>(g_object_get_data(G_OBJECT(encoder), kOwnBitrate)))
        SetOwnInteger(encoder, "bitrate", *own);
    gint bitrate = 0; // kbit/s
    gint bufsize = 0;
    g_object_get(encoder, "bitrate", &bitrate, "bufsize", &bufsize, nullptr);
    const double frameBits = 1000.0 * bitrate * den / num;
    const gint held = bufsize > 0 ? bufsize : kSmallestOwnBuffer;
    if (held * kBufferBits >= 4 * frameBits)
        return GST_PAD_PROBE_OK;
    // Six pictures, for some room over the four the rate control needs; never
    // below the MPEG-2 formats' own size, which this may stand in for.
    const auto wanted = static_cast<gint>(std::ceil(6 * frameBits / kBufferBits));
    SetKeepingOwn(encoder, "bufsize", kOwnBufsize,
                  std::clamp(wanted, std::max(held, kMpeg2Buffer), kLargestBuffer));
    // At a handful of pictures a second even the largest buffer may not hold
    // four of them: the bit rate is lowered to what it holds.
    if (kLargestBuffer * kBufferBits < 4 * frameBits) {
        const auto most = static_cast<gint>(kLargestBuffer * kBufferBits / 4 * num / den / 1000);
        SetKeepingOwn(encoder, "bitrate", kOwnBitrate, std::max(1, most));
    }
    return GST_PAD_PROBE_OK;
}

void GiveBack(GstElement* encoder, const char* property, const char* key) {
    if (auto* own = static_cast<gint*>(g_object_get_data(G_OBJECT(encoder), key))) {
        SetOwnInteger(encoder, property, *own);
        g_object_set_data(G_OBJECT(encoder), key, nullptr);
    }
}

} // namespace

const CompressorRecipe* FindRecipe(const QString& factoryName) {
    for (const CompressorRecipe& r : kRecipes) {
        if (factoryName == QLatin1String(r.factory))
            return &r;
    }
    return nullptr;
}

void InstallRateControlFix(GstElement* encoder, int assumedRate) {
    GstPad* sink = gst_element_get_static_pad(encoder, "sink");
    if (!sink)
        return;
    gst_pad_add_probe(sink, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, OnEncoderCaps,
                      new RateControlFix{assumedRate},
                      [](gpointer data) { delete static_cast<RateControlFix*>(data); });
    gst_object_unref(sink);
}

void InstallBufferFit(GstElement* encoder) {
    if (!g_object_class_find_property(G_OBJECT_GET_CLASS(encoder), "bufsize") ||
        !g_object_class_find_property(G_OBJECT_GET_CLASS(encoder), "bitrate"))
        return;
    GstPad* sink = gst_element_get_static_pad(encoder, "sink");
    if (!sink)
        return;
    gst_pad_add_probe(sink, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, OnBufferCaps, nullptr, nullptr);
    gst_object_unref(sink);
}

void RestoreRateControl(GstElement* encoder) {
    GiveBack(encoder, "bufsize", kOwnBufsize);
    GiveBack(encoder, "bitrate", kOwnBitrate);
    GiveBack(encoder, "bitrate-tolerance", kOwnTolerance);
    GiveBack(encoder, "qmin", kOwnQmin);
    GiveBack(encoder, "qmax", kOwnQmax);
}

void InstallTimestampRepair(GstElement* encoder) {
    auto queue = std::make_shared<TimeQueue>();
    GstPad* sink = gst_element_get_static_pad(encoder, "sink");
    GstPad* src = gst_element_get_static_pad(encoder, "src");
    if (sink && src) {
        gst_pad_add_probe(sink,
                          static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                       GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                                                       GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                          RememberInput, new std::shared_ptr<TimeQueue>(queue), FreeQueueRef);
        gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, RestoreSegment,
                          new std::shared_ptr<TimeQueue>(queue), FreeQueueRef);
        gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_BUFFER, StampOutput,
                          new std::shared_ptr<TimeQueue>(queue), FreeQueueRef);
    }
    if (sink)
        gst_object_unref(sink);
    if (src)
        gst_object_unref(src);
}

} // namespace orvelin::media
