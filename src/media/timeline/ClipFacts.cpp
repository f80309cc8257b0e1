#include "media/timeline/ClipFacts.h"

#include <gst/video/video.h>

#include "media/ErrorText.h"
#include "media/playback/MpegTimeStamps.h"
#include "media/timeline/MarkedStreams.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace orvelin::media {

namespace {

constexpr int kAudioRate = 44100;
constexpr int kAudioChannels = 2;

// The output rate as an exact fraction: a rate given with up to six
// decimals is taken as written (23.976 is 2997/125, not 24000/1001); any
// other rate as the nearest simple fraction.
void rateFraction(double fps, int* num, int* den) {
    const double scaled = fps * 1'000'000.0;
    if (std::abs(scaled - std::round(scaled)) < 1e-3 && scaled < 2e9) {
        const auto n = static_cast<int64_t>(std::llround(scaled));
        const int64_t d = 1'000'000;
        const int64_t g = std::gcd(n, d);
        *num = static_cast<int>(n / g);
        *den = static_cast<int>(d / g);
    } else {
        gst_util_double_to_fraction(fps, num, den);
    }
    if (*num <= 0 || *den <= 0) {
        *num = 25;
        *den = 1;
    }
}

// The colorimetry the decoder will give the pictures: the stream's own, or
// when it names none, the one GStreamer assumes for the picture size.
std::string colorimetryOf(GstDiscovererStreamInfo* stream, int width, int height) {
    std::string text;
    if (GstCaps* caps = gst_discoverer_stream_info_get_caps(stream)) {
        if (!gst_caps_is_empty(caps)) {
            const gchar* named =
                gst_structure_get_string(gst_caps_get_structure(caps, 0), "colorimetry");
            if (named)
                text = named;
        }
        gst_caps_unref(caps);
    }
    if (text.empty() && width > 0 && height > 0) {
        GstVideoInfo info;
        gst_video_info_init(&info);
        if (gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, static_cast<guint>(width),
                                      static_cast<guint>(height))) {
            if (gchar* assumed = gst_video_colorimetry_to_string(&info.colorimetry)) {
                text = assumed;
                g_free(assumed);
            }
        }
    }
    return text;
}

bool rotatedQuarter(GstDiscovererStreamInfo* stream) {
    const GstTagList* tags = gst_discoverer_stream_info_get_tags(stream);
    gchar* orientation = nullptr;
    if (!tags || !gst_tag_list_get_string(tags, GST_TAG_IMAGE_ORIENTATION, &orientation))
        return false;
    const QString o = QString::fromUtf8(orientation);
    g_free(orientation);
    return o.endsWith(QLatin1String("-90")) || o.endsWith(QLatin1String("-270"));
}

QByteArray streamId(GList* streams) {
    if (!streams)
        return {};
    const gchar* id =
        gst_discoverer_stream_info_get_stream_id(GST_DISCOVERER_STREAM_INFO(streams->data));
    return id ? QByteArray(id) : QByteArray();
}

// Of several sound tracks, the one the container marks as default.
QByteArray defaultSoundStream(GList* audios, const QString& path) {
    std::vector<QByteArray> ids;
    for (GList* l = audios; l; l = l->next) {
        const gchar* id =
            gst_discoverer_stream_info_get_stream_id(GST_DISCOVERER_STREAM_INFO(l->data));
        if (id)
            ids.emplace_back(id);
    }
    if (ids.size() < 2)
        return streamId(audios);
    return ChooseMarkedStream(ids, ReadStreamMarks(path, std::chrono::seconds(5)));
}

} // namespace

QString TimeText(REFERENCE_TIME t) {
    const double seconds = static_cast<double>(t) / kUnitsPerSecond;
    return QString::number(seconds, 'f', 2) + QStringLiteral(" s");
}

StreamFacts ReadStreamFacts(GstDiscovererInfo* info, const QString& path, bool forSound) {
    StreamFacts facts;
    if (!info)
        return facts;
    const GstClockTime length = gst_discoverer_info_get_duration(info);
    if (GST_CLOCK_TIME_IS_VALID(length) && length > 0)
        facts.length = length;
    GList* videos = gst_discoverer_info_get_video_streams(info);
    GList* audios = gst_discoverer_info_get_audio_streams(info);
    facts.hasAudio = audios != nullptr;
    facts.videoStream = streamId(videos);
    facts.audioStream = forSound ? defaultSoundStream(audios, path) : streamId(audios);
    if (videos) {
        auto* v = static_cast<GstDiscovererVideoInfo*>(videos->data);
        facts.hasVideo = true;
        facts.video.width = static_cast<int>(gst_discoverer_video_info_get_width(v));
        facts.video.height = static_cast<int>(gst_discoverer_video_info_get_height(v));
        facts.video.parNum = static_cast<int>(gst_discoverer_video_info_get_par_num(v));
        facts.video.parDen = static_cast<int>(gst_discoverer_video_info_get_par_denom(v));
        facts.video.interlaced = gst_discoverer_video_info_is_interlaced(v);
        facts.video.colorimetry =
            colorimetryOf(GST_DISCOVERER_STREAM_INFO(v), facts.video.width, facts.video.height);
        if (rotatedQuarter(GST_DISCOVERER_STREAM_INFO(v))) {
            std::swap(facts.video.width, facts.video.height);
            std::swap(facts.video.parNum, facts.video.parDen);
        }
    }
    // MPEG streams last from their first picture to the end of their last,
    // as they play and convert; the discoverer's length is the
    // demultiplexer's estimate from the bit rate of the packs.
    if (videos) {
        auto* v = static_cast<GstDiscovererVideoInfo*>(videos->data);
        const guint num = gst_discoverer_video_info_get_framerate_num(v);
        const guint den = gst_discoverer_video_info_get_framerate_denom(v);
        if (num > 0 && den > 0 && num <= 1000 * den) {
            const int64_t span = MpegStreamLength(
                path, int64_t(gst_util_uint64_scale(GST_SECOND, den, num)),
                GST_CLOCK_TIME_IS_VALID(facts.length) ? int64_t(facts.length) : -1);
            if (span > 0)
                facts.length = GstClockTime(span);
        }
    }
    gst_discoverer_stream_info_list_free(videos);
    gst_discoverer_stream_info_list_free(audios);
    return facts;
}

// Video is composed in 4:2:0: scaling a source and converting it to RGB in
// the same pass costs several times what scaling in 4:2:0 and converting
// the result once does.
GstCaps* GroupTrackCaps(const TimelineGroup& group, const GroupMediaType& type, int parNum,
                        int parDen) {
    if (type.majortype == MediaMajorType::Video) {
        const BitmapInfoHeader& bmi = type.videoInfo->bmiHeader;
        int num = 0;
        int den = 1;
        rateFraction(group.OutputFPS(), &num, &den);
        return gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width",
                                   G_TYPE_INT, bmi.biWidth, "height", G_TYPE_INT,
                                   std::abs(bmi.biHeight), "framerate", GST_TYPE_FRACTION, num, den,
                                   "pixel-aspect-ratio", GST_TYPE_FRACTION, std::max(1, parNum),
                                   std::max(1, parDen), nullptr);
    }
    return gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate", G_TYPE_INT,
                               kAudioRate, "channels", G_TYPE_INT, kAudioChannels, "layout",
                               G_TYPE_STRING, "interleaved", nullptr);
}

REFERENCE_TIME FrameAllowance(const TimelineGroup& group, MediaMajorType kind) {
    return kind == MediaMajorType::Video
               ? static_cast<REFERENCE_TIME>(kUnitsPerSecond / std::max(1.0, group.OutputFPS()))
               : kUnitsPerSecond / 25;
}

HRESULT CheckClipTimes(const TimelineSource& source) {
    REFERENCE_TIME mediaStart = 0;
    REFERENCE_TIME mediaStop = 0;
    source.GetMediaTimes(&mediaStart, &mediaStop);
    const REFERENCE_TIME length = source.Stop() - source.Start();
    const QString name = QFileInfo(source.MediaName()).fileName();
    if (length <= 0 || mediaStop <= mediaStart)
        return RecordError(
            E_INVALIDARG,
            QStringLiteral("%1: the part to convert ends before it starts.").arg(name));
    // A stretch of 1 ms or less is rounding, not a change of speed.
    if (std::llabs((mediaStop - mediaStart) - length) > 10'000)
        return RecordError(E_NOTIMPL, QStringLiteral("%1: playing a source faster or slower "
                                                     "than recorded is not supported.")
                                          .arg(name));
    return S_OK;
}

HRESULT CheckClipInFile(const TimelineSource& source, GstClockTime fileLength,
                        REFERENCE_TIME allowance) {
    REFERENCE_TIME mediaStart = 0;
    REFERENCE_TIME mediaStop = 0;
    source.GetMediaTimes(&mediaStart, &mediaStop);
    if (!GST_CLOCK_TIME_IS_VALID(fileLength) || mediaStop <= FromClock(fileLength) + allowance)
        return S_OK;
    const QString name = QFileInfo(source.MediaName()).fileName();
    return RecordError(VFW_E_FILE_TOO_SHORT,
                       QStringLiteral("%1 lasts %2; it cannot be read up to %3.")
                           .arg(name, TimeText(FromClock(fileLength)), TimeText(mediaStop)));
}

} // namespace orvelin::media
