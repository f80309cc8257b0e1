#include "media/timeline/GesFrontEnd.h"

#include <gst/controller/gstinterpolationcontrolsource.h>
#include <gst/pbutils/pbutils.h>
#include <gst/video/video.h>

#include "media/ErrorText.h"
#include "media/TransitionPatterns.h"
#include "media/playback/StreamStart.h"
#include "media/playback/VideoPlacement.h"
#include "media/timeline/MarkedStreams.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <string>

namespace orvelin::media {

namespace {

constexpr const char* kTargetTrackKey = "orvelin-target-track";
// The stream of the file that a clip plays in its track (a file may carry
// several sound tracks; only one of them is heard).
constexpr const char* kStreamKey = "orvelin-stream-id";
constexpr int kAudioRate = 44100;
constexpr int kAudioChannels = 2;

GstClockTime toClock(REFERENCE_TIME t) {
    return static_cast<GstClockTime>(t) * 100;
}
REFERENCE_TIME fromClock(GstClockTime t) {
    return static_cast<REFERENCE_TIME>(t / 100);
}

QString timeText(REFERENCE_TIME t) {
    const double seconds = static_cast<double>(t) / kUnitsPerSecond;
    return QString::number(seconds, 'f', 2) + QStringLiteral(" s");
}

// Elements of a clip land in the one track their clip was made for.
GPtrArray* selectTracks(GESTimeline*, GESClip* clip, GESTrackElement* element, gpointer) {
    GPtrArray* tracks = g_ptr_array_new();
    auto* target = static_cast<GESTrack*>(g_object_get_data(G_OBJECT(clip), kTargetTrackKey));
    if (!target || !(ges_track_element_get_track_type(element) & target->type))
        return tracks;
    const auto* wanted = static_cast<const gchar*>(g_object_get_data(G_OBJECT(clip), kStreamKey));
    if (wanted && GES_IS_EXTRACTABLE(element)) {
        GESAsset* asset = ges_extractable_get_asset(GES_EXTRACTABLE(element));
        GstDiscovererStreamInfo* info =
            asset && GES_IS_URI_SOURCE_ASSET(asset)
                ? ges_uri_source_asset_get_stream_info(GES_URI_SOURCE_ASSET(asset))
                : nullptr;
        const gchar* id = info ? gst_discoverer_stream_info_get_stream_id(info) : nullptr;
        if (id && g_strcmp0(id, wanted) != 0)
            return tracks;
    }
    g_ptr_array_add(tracks, gst_object_ref(target));
    return tracks;
}

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

// The editing services compose video in 4:2:0: scaling a source and
// converting it to RGB in the same pass costs several times what scaling in
// 4:2:0 and converting the result once does. The render engine turns the
// track's output into the group's RGB.
GstCaps* restrictionCaps(const TimelineGroup& group, const GroupMediaType& type) {
    if (type.majortype == MediaMajorType::Video) {
        const BitmapInfoHeader& bmi = type.videoInfo->bmiHeader;
        int num = 0;
        int den = 1;
        rateFraction(group.OutputFPS(), &num, &den);
        return gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width",
                                   G_TYPE_INT, bmi.biWidth, "height", G_TYPE_INT,
                                   std::abs(bmi.biHeight), "framerate", GST_TYPE_FRACTION, num, den,
                                   "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    }
    return gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate", G_TYPE_INT,
                               kAudioRate, "channels", G_TYPE_INT, kAudioChannels, "layout",
                               G_TYPE_STRING, "interleaved", nullptr);
}

// What the discoverer knows of the first video stream of a file.
struct VideoFacts {
    int width = 0;
    int height = 0;
    int parNum = 1;
    int parDen = 1;
    std::string colorimetry;
};

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

struct StreamFacts {
    bool hasVideo = false;
    bool hasAudio = false;
    VideoFacts video;
    // The stream of each kind that is played: the first video stream, and
    // the sound track the container marks as default (else the first).
    QByteArray videoStream;
    QByteArray audioStream;
};

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

StreamFacts streamFacts(GESUriClipAsset* asset, const QString& path, bool forSound) {
    StreamFacts facts;
    GstDiscovererInfo* info = ges_uri_clip_asset_get_info(asset);
    if (!info)
        return facts;
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
        facts.video.colorimetry =
            colorimetryOf(GST_DISCOVERER_STREAM_INFO(v), facts.video.width, facts.video.height);
        if (rotatedQuarter(GST_DISCOVERER_STREAM_INFO(v))) {
            std::swap(facts.video.width, facts.video.height);
            std::swap(facts.video.parNum, facts.video.parDen);
        }
    }
    gst_discoverer_stream_info_list_free(videos);
    gst_discoverer_stream_info_list_free(audios);
    return facts;
}

class Builder {
public:
    explicit Builder(GesFrontEnd& out) : out_(out) {}
    HRESULT Run(const Timeline& model);

private:
    HRESULT AddGroup(const TimelineGroup& group);
    HRESULT AddSource(const TimelineGroup& group, const GroupMediaType& type, GESTrack* track,
                      GESLayer* layer, const TimelineSource& source, std::vector<GESClip*>* clips);
    HRESULT AddBlank(MediaMajorType kind, GESTrack* track, GESLayer* layer,
                     const TimelineSource& source, std::vector<GESClip*>* clips);
    HRESULT PlaceVideo(GESClip* clip, const StreamFacts& facts, const GroupMediaType& type,
                       int32_t stretchMode);
    HRESULT AddTransition(const TimelineTransition& transition, const std::vector<GESClip*>& clips);

    GesFrontEnd& out_;
    // The colorimetry of the video clips of the group being built; "" when
    // they disagree.
    std::optional<std::string> colorimetry_;
};

HRESULT Builder::Run(const Timeline& model) {
    out_.timeline = ges_timeline_new();
    if (!out_.timeline)
        return RecordError(E_OUTOFMEMORY, QStringLiteral("The editing timeline cannot be made."));
    gst_object_ref_sink(out_.timeline);
    g_signal_connect(out_.timeline, "select-tracks-for-object", G_CALLBACK(selectTracks), nullptr);
    int32_t count = 0;
    model.GetGroupCount(&count);
    for (int32_t g = 0; g < count; ++g) {
        std::shared_ptr<TimelineGroup> group;
        if (HRESULT hr = model.GetGroup(g, &group); Failed(hr))
            return hr;
        if (HRESULT hr = AddGroup(*group); Failed(hr))
            return hr;
    }
    // False only when there was nothing to commit (an empty timeline).
    ges_timeline_commit_sync(out_.timeline);
    return S_OK;
}

HRESULT Builder::AddGroup(const TimelineGroup& group) {
    GroupMediaType type;
    if (HRESULT hr = group.GetMediaType(&type); Failed(hr))
        return hr;
    const bool video = type.majortype == MediaMajorType::Video;
    GESTrack* track = video ? GES_TRACK(ges_video_track_new()) : GES_TRACK(ges_audio_track_new());
    // The output format is fixed before anything lands in the track:
    // changing it afterwards can leave the picture blank.
    GstCaps* caps = restrictionCaps(group, type);
    ges_track_set_restriction_caps(track, caps);
    gst_caps_unref(caps);
    if (!ges_timeline_add_track(out_.timeline, track))
        return RecordError(E_FAIL, QStringLiteral("The editing timeline refused a track."));
    out_.groupTracks.push_back(track);
    colorimetry_.reset();

    // Later tracks lie on top; the editing services put lower layer numbers
    // on top, so the group's last track takes its first layer.
    const auto& tracks = group.Tracks();
    std::vector<GESLayer*> layers;
    for (size_t i = 0; i < tracks.size(); ++i)
        layers.push_back(ges_timeline_append_layer(out_.timeline));
    for (size_t i = 0; i < tracks.size(); ++i) {
        GESLayer* layer = layers[tracks.size() - 1 - i];
        std::vector<GESClip*> clips;
        for (const auto& source : tracks[i]->Sources()) {
            if (HRESULT hr = AddSource(group, type, track, layer, *source, &clips); Failed(hr))
                return hr;
        }
        if (!video)
            continue;
        for (const auto& transition : tracks[i]->Transitions()) {
            if (HRESULT hr = AddTransition(*transition, clips); Failed(hr))
                return hr;
        }
    }
    out_.groupColorimetry.push_back(colorimetry_.value_or(std::string()));
    return S_OK;
}

HRESULT Builder::AddSource(const TimelineGroup& group, const GroupMediaType& type, GESTrack* track,
                           GESLayer* layer, const TimelineSource& source,
                           std::vector<GESClip*>* clips) {
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

    gchar* uri = gst_filename_to_uri(source.MediaName().toUtf8().constData(), nullptr);
    if (!uri)
        return RecordError(VFW_E_NOT_FOUND, QStringLiteral("%1 cannot be found.").arg(name));
    GError* error = nullptr;
    GESUriClipAsset* asset = ges_uri_clip_asset_request_sync(uri, &error);
    g_free(uri);
    if (!asset) {
        const QString why = QString::fromUtf8(error ? error->message : "unknown error");
        if (error)
            g_error_free(error);
        return RecordError(VFW_E_CANNOT_LOAD_SOURCE_FILTER,
                           QStringLiteral("%1 cannot be read: %2").arg(name, why));
    }
    const MediaMajorType kind = type.majortype;
    const StreamFacts facts = streamFacts(asset, source.MediaName(), kind == MediaMajorType::Audio);
    if ((kind == MediaMajorType::Video && !facts.hasVideo) ||
        (kind == MediaMajorType::Audio && !facts.hasAudio)) {
        gst_object_unref(asset);
        return AddBlank(kind, track, layer, source, clips);
    }

    // A clip reaching past the end of its file would be shortened without
    // notice; a rest shorter than one output frame is rounding.
    // A length of 0 is one the discoverer could not tell (a short MPEG
    // transport stream): it is not known, not empty.
    GstClockTime fileLength = ges_uri_clip_asset_get_max_duration(asset);
    if (fileLength == 0)
        fileLength = GST_CLOCK_TIME_NONE;
    const REFERENCE_TIME frame =
        kind == MediaMajorType::Video
            ? static_cast<REFERENCE_TIME>(kUnitsPerSecond / std::max(1.0, group.OutputFPS()))
            : kUnitsPerSecond / 25;
    if (GST_CLOCK_TIME_IS_VALID(fileLength) && mediaStop > fromClock(fileLength) + frame) {
        gst_object_unref(asset);
        return RecordError(VFW_E_FILE_TOO_SHORT,
                           QStringLiteral("%1 lasts %2; it cannot be read up to %3.")
                               .arg(name, timeText(fromClock(fileLength)), timeText(mediaStop)));
    }

    GESClip* clip = GES_CLIP(ges_asset_extract(GES_ASSET(asset), &error));
    gst_object_unref(asset);
    if (!clip) {
        if (error)
            g_error_free(error);
        return RecordError(E_FAIL,
                           QStringLiteral("%1 cannot be placed on the timeline.").arg(name));
    }
    ges_clip_set_supported_formats(clip, kind == MediaMajorType::Video ? GES_TRACK_TYPE_VIDEO
                                                                       : GES_TRACK_TYPE_AUDIO);
    g_object_set_data(G_OBJECT(clip), kTargetTrackKey, track);
    const QByteArray& stream =
        kind == MediaMajorType::Video ? facts.videoStream : facts.audioStream;
    if (!stream.isEmpty())
        g_object_set_data_full(G_OBJECT(clip), kStreamKey, g_strdup(stream.constData()), g_free);
    auto* element = GES_TIMELINE_ELEMENT(clip);
    // The source is read on its own clock, which for MPEG streams starts
    // late; the trim points count from its first frame.
    const REFERENCE_TIME streamStart = StreamStartOf(source.MediaName());
    ges_timeline_element_set_max_duration(element, GST_CLOCK_TIME_IS_VALID(fileLength)
                                                       ? fileLength + toClock(streamStart)
                                                       : GST_CLOCK_TIME_NONE);
    ges_timeline_element_set_inpoint(element, toClock(mediaStart + streamStart));
    ges_timeline_element_set_start(element, toClock(source.Start()));
    ges_timeline_element_set_duration(element, toClock(length));
    if (!ges_layer_add_clip(layer, clip))
        return RecordError(E_FAIL,
                           QStringLiteral("%1 cannot be placed on the timeline.").arg(name));
    const REFERENCE_TIME placed = fromClock(ges_timeline_element_get_duration(element));
    if (placed + frame < length)
        return RecordError(VFW_E_FILE_TOO_SHORT,
                           QStringLiteral("%1 ends after %2 of the %3 asked for.")
                               .arg(name, timeText(placed), timeText(length)));
    clips->push_back(clip);
    if (kind == MediaMajorType::Video) {
        colorimetry_ = !colorimetry_ || *colorimetry_ == facts.video.colorimetry
                           ? facts.video.colorimetry
                           : std::string();
        return PlaceVideo(clip, facts, type, source.StretchMode());
    }
    return S_OK;
}

HRESULT Builder::AddBlank(MediaMajorType kind, GESTrack* track, GESLayer* layer,
                          const TimelineSource& source, std::vector<GESClip*>* clips) {
    GError* error = nullptr;
    GESAsset* asset = ges_asset_request(GES_TYPE_TEST_CLIP, nullptr, &error);
    if (!asset) {
        if (error)
            g_error_free(error);
        return RecordError(E_FAIL, QStringLiteral("A blank stretch cannot be made."));
    }
    GESClip* clip = GES_CLIP(ges_asset_extract(asset, &error));
    gst_object_unref(asset);
    if (!clip) {
        if (error)
            g_error_free(error);
        return RecordError(E_FAIL, QStringLiteral("A blank stretch cannot be made."));
    }
    ges_test_clip_set_vpattern(GES_TEST_CLIP(clip), GES_VIDEO_TEST_PATTERN_BLACK);
    ges_test_clip_set_mute(GES_TEST_CLIP(clip), TRUE);
    ges_clip_set_supported_formats(clip, kind == MediaMajorType::Video ? GES_TRACK_TYPE_VIDEO
                                                                       : GES_TRACK_TYPE_AUDIO);
    g_object_set_data(G_OBJECT(clip), kTargetTrackKey, track);
    ges_timeline_element_set_start(GES_TIMELINE_ELEMENT(clip), toClock(source.Start()));
    ges_timeline_element_set_duration(GES_TIMELINE_ELEMENT(clip),
                                      toClock(source.Stop() - source.Start()));
    if (!ges_layer_add_clip(layer, clip))
        return RecordError(E_FAIL, QStringLiteral("A blank stretch cannot be made."));
    clips->push_back(clip);
    return S_OK;
}

HRESULT Builder::PlaceVideo(GESClip* clip, const StreamFacts& facts, const GroupMediaType& type,
                            int32_t stretchMode) {
    // The editing services letterbox by stored pixels and get pictures with
    // non-square pixels wrong, so the rectangle is worked out here.
    const BitmapInfoHeader& bmi = type.videoInfo->bmiHeader;
    const PlacementRect rect =
        PlaceSource(facts.video.width, facts.video.height, facts.video.parNum, facts.video.parDen,
                    bmi.biWidth, std::abs(bmi.biHeight), stretchMode);
    const std::pair<const char*, int> values[] = {
        {"posx", rect.x}, {"posy", rect.y}, {"width", rect.width}, {"height", rect.height}};
    for (const auto& [property, value] : values) {
        GValue v = G_VALUE_INIT;
        g_value_init(&v, G_TYPE_INT);
        g_value_set_int(&v, value);
        const bool set =
            ges_timeline_element_set_child_property(GES_TIMELINE_ELEMENT(clip), property, &v);
        g_value_unset(&v);
        if (!set)
            return RecordError(E_FAIL, QStringLiteral("The picture cannot be fitted into the "
                                                      "output frame."));
    }
    return S_OK;
}

HRESULT Builder::AddTransition(const TimelineTransition& transition,
                               const std::vector<GESClip*>& clips) {
    if (transition.Stop() <= transition.Start())
        return S_OK; // no length, nothing to see
    std::optional<int> mask;
    if (const auto& setter = transition.GetPropertySetter()) {
        if (auto value = setter->InitialValue(QStringLiteral("MaskNum")))
            mask = static_cast<int>(std::lround(*value));
    }
    const TransitionPattern pattern = PatternForTransition(transition.SubObjectGUID(), mask);
    for (GESClip* clip : clips) {
        auto* element = GES_TIMELINE_ELEMENT(clip);
        const REFERENCE_TIME clipStart = fromClock(ges_timeline_element_get_start(element));
        const REFERENCE_TIME clipEnd =
            clipStart + fromClock(ges_timeline_element_get_duration(element));
        if (transition.Stop() <= clipStart || transition.Start() >= clipEnd)
            continue;
        // A transition clip needs two clips to stand between; over a single
        // clip the wipe is an effect whose position is keyframed.
        const QByteArray description =
            pattern.kind == TransitionPattern::Kind::Wipe
                ? QByteArray("smptealpha invert=true type=") + QByteArray::number(pattern.smpteType)
                : QByteArray("alpha");
        const char* property = pattern.kind == TransitionPattern::Kind::Wipe ? "position" : "alpha";

        GESEffect* effect = ges_effect_new(description.constData());
        if (!effect)
            return RecordError(E_FAIL, QStringLiteral("The transition cannot be drawn."));
        gst_object_ref_sink(effect);
        const bool added = ges_container_add(GES_CONTAINER(clip), GES_TIMELINE_ELEMENT(effect));
        if (!added) {
            gst_object_unref(effect);
            return RecordError(E_FAIL, QStringLiteral("The transition cannot be drawn."));
        }
        // Keyframes count from the start of the clip. The effect must not
        // move them when it is trimmed.
        const GstClockTime from =
            toClock(std::max<REFERENCE_TIME>(0, transition.Start() - clipStart));
        const GstClockTime to = toClock(transition.Stop() - clipStart);
        // The wipe's position runs from 1 (nothing of the clip) to 0 (all of
        // it); inverted, the revealed part grows from where the SMPTE pattern
        // starts (the left edge for a horizontal bar). The fade's alpha runs
        // the other way.
        const bool wipe = pattern.kind == TransitionPattern::Kind::Wipe;
        const double hidden = wipe ? 1.0 : 0.0;
        const double shown = wipe ? 0.0 : 1.0;
        GstControlSource* control = gst_interpolation_control_source_new();
        g_object_set(control, "mode", GST_INTERPOLATION_MODE_LINEAR, nullptr);
        auto* timed = GST_TIMED_VALUE_CONTROL_SOURCE(control);
        if (from > 0)
            gst_timed_value_control_source_set(timed, 0, shown);
        gst_timed_value_control_source_set(timed, from, hidden);
        gst_timed_value_control_source_set(timed, to, shown);
        auto* trackElement = GES_TRACK_ELEMENT(effect);
        ges_track_element_set_auto_clamp_control_sources(trackElement, FALSE);
        const bool bound = ges_track_element_set_control_source(trackElement, control, property,
                                                                "direct-absolute");
        gst_object_unref(control);
        gst_object_unref(effect);
        if (!bound)
            return RecordError(E_FAIL, QStringLiteral("The transition cannot be drawn."));
    }
    return S_OK;
}

} // namespace

HRESULT BuildGesFrontEnd(const Timeline& model, GesFrontEnd* frontEnd) {
    if (!frontEnd)
        return E_POINTER;
    *frontEnd = GesFrontEnd{};
    Builder builder(*frontEnd);
    const HRESULT hr = builder.Run(model);
    if (Failed(hr))
        ReleaseGesFrontEnd(frontEnd);
    return hr;
}

void ReleaseGesFrontEnd(GesFrontEnd* frontEnd) {
    if (frontEnd->timeline)
        gst_object_unref(frontEnd->timeline);
    *frontEnd = GesFrontEnd{};
}

} // namespace orvelin::media
