#include "media/timeline/GesFrontEnd.h"

#include <gst/controller/gstinterpolationcontrolsource.h>

#include "media/ErrorText.h"
#include "media/TransitionPatterns.h"
#include "media/playback/StreamStart.h"
#include "media/playback/VideoPlacement.h"
#include "media/timeline/ClipFacts.h"
#include "media/timeline/EditingServicesLibrary.h"

#include <QFileInfo>
#include <algorithm>
#include <mutex>
#include <optional>
#include <string>

namespace orvelin::media {

namespace {

constexpr const char* kTargetTrackKey = "orvelin-target-track";
// The stream of the file that a clip plays in its track (a file may carry
// several sound tracks; only one of them is heard).
constexpr const char* kStreamKey = "orvelin-stream-id";

// Elements of a clip land in the one track their clip was made for.
// The editing services deinterlace every video source that is interlaced
// or mixed, by default with the plain line average: yadif, as in the
// plain pipeline, keeps the detail of still parts.
void onDeepElementAdded(GstBin*, GstBin*, GstElement* element, gpointer) {
    GstElementFactory* factory = gst_element_get_factory(element);
    if (factory && g_strcmp0(GST_OBJECT_NAME(factory), "deinterlace") == 0)
        gst_util_set_object_arg(G_OBJECT(element), "method", "yadif");
}

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
    g_signal_connect(out_.timeline, "deep-element-added", G_CALLBACK(onDeepElementAdded), nullptr);
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
    GstCaps* caps = GroupTrackCaps(group, type);
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
    if (HRESULT hr = CheckClipTimes(source); Failed(hr))
        return hr;

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
    const StreamFacts facts = ReadStreamFacts(ges_uri_clip_asset_get_info(asset),
                                              source.MediaName(), kind == MediaMajorType::Audio);
    if ((kind == MediaMajorType::Video && !facts.hasVideo) ||
        (kind == MediaMajorType::Audio && !facts.hasAudio)) {
        gst_object_unref(asset);
        return AddBlank(kind, track, layer, source, clips);
    }

    // A length of 0 is one the discoverer could not tell (a short MPEG
    // transport stream): it is not known, not empty.
    GstClockTime fileLength = GST_CLOCK_TIME_IS_VALID(facts.length)
                                  ? facts.length
                                  : ges_uri_clip_asset_get_max_duration(asset);
    if (fileLength == 0)
        fileLength = GST_CLOCK_TIME_NONE;
    const REFERENCE_TIME frame = FrameAllowance(group, kind);
    if (HRESULT hr = CheckClipInFile(source, fileLength, frame); Failed(hr)) {
        gst_object_unref(asset);
        return hr;
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
                                                       ? fileLength + ToClock(streamStart)
                                                       : GST_CLOCK_TIME_NONE);
    ges_timeline_element_set_inpoint(element, ToClock(mediaStart + streamStart));
    ges_timeline_element_set_start(element, ToClock(source.Start()));
    ges_timeline_element_set_duration(element, ToClock(length));
    if (!ges_layer_add_clip(layer, clip))
        return RecordError(E_FAIL,
                           QStringLiteral("%1 cannot be placed on the timeline.").arg(name));
    const REFERENCE_TIME placed = FromClock(ges_timeline_element_get_duration(element));
    if (placed + frame < length)
        return RecordError(VFW_E_FILE_TOO_SHORT,
                           QStringLiteral("%1 ends after %2 of the %3 asked for.")
                               .arg(name, TimeText(placed), TimeText(length)));
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
    ges_timeline_element_set_start(GES_TIMELINE_ELEMENT(clip), ToClock(source.Start()));
    ges_timeline_element_set_duration(GES_TIMELINE_ELEMENT(clip),
                                      ToClock(source.Stop() - source.Start()));
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
        const REFERENCE_TIME clipStart = FromClock(ges_timeline_element_get_start(element));
        const REFERENCE_TIME clipEnd =
            clipStart + FromClock(ges_timeline_element_get_duration(element));
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
            ToClock(std::max<REFERENCE_TIME>(0, transition.Start() - clipStart));
        const GstClockTime to = ToClock(transition.Stop() - clipStart);
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

bool StartEditingServices(QString* why) {
    static std::once_flag once;
    static bool started = false;
    static QString failure;
    std::call_once(once, [] {
        started = OpenEditingServicesLibrary(&failure) && ges_init();
        if (!started && failure.isEmpty())
            failure = QStringLiteral("they do not start");
    });
    if (!started && why)
        *why = failure;
    return started;
}

HRESULT BuildGesFrontEnd(const Timeline& model, GesFrontEnd* frontEnd) {
    if (!frontEnd)
        return E_POINTER;
    *frontEnd = GesFrontEnd{};
    if (QString why; !StartEditingServices(&why))
        return RecordError(
            REGDB_E_CLASSNOTREG,
            QStringLiteral("The GStreamer editing services cannot be started: %1").arg(why));
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
