#include "media/Timeline.h"

#include "media/ErrorText.h"

#include <QFile>
#include <QUuid>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace orvelin::media {

int64_t DibRowStride(int32_t width, int32_t bitCount) {
    const int64_t bytes = (static_cast<int64_t>(width) * bitCount + 31) / 8;
    return bytes & ~int64_t{3};
}

// ---- PropertySetter ---------------------------------------------------------

HRESULT PropertySetter::AddProp(const QString& name, int32_t dispatchId,
                                const std::vector<Value>& values) {
    if (name.isEmpty() || values.empty())
        return RecordError(E_INVALIDARG, QStringLiteral("A property needs a name and a value."));
    for (const Value& v : values) {
        if (v.time < 0 || !std::isfinite(v.value))
            return RecordError(E_INVALIDARG,
                               QStringLiteral("The property %1 has an invalid value.").arg(name));
    }
    Property property{name, dispatchId, values};
    std::sort(property.values.begin(), property.values.end(),
              [](const Value& a, const Value& b) { return a.time < b.time; });
    properties_.push_back(std::move(property));
    return S_OK;
}

std::optional<double> PropertySetter::InitialValue(const QString& name) const {
    for (const Property& p : properties_) {
        if (p.name.compare(name, Qt::CaseInsensitive) == 0 && !p.values.empty())
            return p.values.front().value;
    }
    return std::nullopt;
}

// ---- TimelineObject ---------------------------------------------------------

HRESULT TimelineObject::SetStartStop(REFERENCE_TIME start, REFERENCE_TIME stop) {
    // A stop before the start is recorded as it is (the object then has no
    // length); the render engine refuses such sources.
    if (start < 0)
        return RecordError(E_INVALIDARG, QStringLiteral("A timeline start cannot be negative."));
    start_ = start;
    stop_ = stop;
    timesSet_ = true;
    return S_OK;
}

HRESULT TimelineObject::GetStartStop(REFERENCE_TIME* start, REFERENCE_TIME* stop) const {
    if (!start || !stop)
        return E_POINTER;
    *start = start_;
    *stop = stop_;
    return S_OK;
}

HRESULT TimelineObject::SetSubObjectGUID(const QString& guid) {
    const QUuid id = QUuid::fromString(guid);
    if (id.isNull())
        return RecordError(E_INVALIDARG, QStringLiteral("%1 is not a class identifier.").arg(guid));
    subObjectGuid_ = id.toString(QUuid::WithBraces).toUpper();
    return S_OK;
}

HRESULT TimelineObject::SetPropertySetter(std::shared_ptr<PropertySetter> setter) {
    if (!setter)
        return E_POINTER;
    setter_ = std::move(setter);
    return S_OK;
}

// ---- TimelineSource ---------------------------------------------------------

HRESULT TimelineSource::SetMediaTimes(REFERENCE_TIME start, REFERENCE_TIME stop) {
    if (start < 0)
        return RecordError(E_INVALIDARG, QStringLiteral("A media start cannot be negative."));
    mediaStart_ = start;
    mediaStop_ = stop;
    return S_OK;
}

HRESULT TimelineSource::GetMediaTimes(REFERENCE_TIME* start, REFERENCE_TIME* stop) const {
    if (!start || !stop)
        return E_POINTER;
    *start = mediaStart_;
    *stop = mediaStop_;
    return S_OK;
}

HRESULT TimelineSource::SetMediaName(const QString& path) {
    if (path.isEmpty())
        return RecordError(E_INVALIDARG, QStringLiteral("The source has no file name."));
    mediaName_ = path;
    return S_OK;
}

HRESULT TimelineSource::SetStretchMode(int32_t mode) {
    if (mode < RESIZEF_STRETCH || mode > RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX)
        return RecordError(E_INVALIDARG, QStringLiteral("Unknown stretch mode %1.").arg(mode));
    stretchMode_ = mode;
    return S_OK;
}

// ---- TimelineTrack ----------------------------------------------------------

HRESULT TimelineTrack::SrcAdd(const std::shared_ptr<TimelineSource>& source) {
    if (!source)
        return E_POINTER;
    if (source->onTrack_)
        return RecordError(E_INVALIDARG, QStringLiteral("The source already lies on a track."));
    if (!source->TimesSet())
        return RecordError(E_INVALIDARG, QStringLiteral("The source has no timeline times."));
    if (source->MediaName().isEmpty())
        return RecordError(E_INVALIDARG, QStringLiteral("The source has no file name."));
    for (const auto& other : sources_) {
        if (source->Start() < other->Stop() && other->Start() < source->Stop() &&
            source->Start() < source->Stop())
            return RecordError(E_INVALIDARG,
                               QStringLiteral("The source overlaps another source of the track."));
    }
    source->onTrack_ = true;
    sources_.push_back(source);
    std::sort(sources_.begin(), sources_.end(),
              [](const auto& a, const auto& b) { return a->Start() < b->Start(); });
    return S_OK;
}

HRESULT TimelineTrack::TransAdd(const std::shared_ptr<TimelineTransition>& transition) {
    if (!transition)
        return E_POINTER;
    if (transition->onTrack_)
        return RecordError(E_INVALIDARG, QStringLiteral("The transition already lies on a track."));
    for (const auto& other : transitions_) {
        if (transition->Start() < other->Stop() && other->Start() < transition->Stop() &&
            transition->Start() < transition->Stop())
            return RecordError(E_INVALIDARG, QStringLiteral("The transition overlaps another "
                                                            "transition of the track."));
    }
    transition->onTrack_ = true;
    transitions_.push_back(transition);
    return S_OK;
}

// ---- TimelineGroup ----------------------------------------------------------

namespace {
HRESULT checkVideoType(const GroupMediaType& type) {
    auto invalid = [](const QString& why) { return RecordError(VFW_E_INVALIDMEDIATYPE, why); };
    if (type.subtype != MediaSubtype::Rgb24)
        return invalid(QStringLiteral("A video group delivers 24-bit RGB pictures only."));
    if (type.formattype != MediaFormatType::VideoInfo || !type.videoInfo ||
        type.cbFormat < kVideoInfoHeaderSize)
        return invalid(QStringLiteral("The video group's format block is missing."));
    const BitmapInfoHeader& bmi = type.videoInfo->bmiHeader;
    if (bmi.biSize != kBitmapInfoHeaderSize || bmi.biPlanes != 1 || bmi.biBitCount != 24 ||
        bmi.biCompression != BI_RGB)
        return invalid(QStringLiteral("The video group's bitmap header is not 24-bit RGB."));
    if (bmi.biWidth <= 0 || bmi.biHeight == 0 || bmi.biWidth > 16384 ||
        std::abs(bmi.biHeight) > 16384)
        return invalid(QStringLiteral("The output frame size %1 x %2 is not usable.")
                           .arg(bmi.biWidth)
                           .arg(bmi.biHeight));
    const int64_t image = DibRowStride(bmi.biWidth, 24) * std::abs(bmi.biHeight);
    if (static_cast<int64_t>(bmi.biSizeImage) != image)
        return invalid(QStringLiteral("The video group's image size does not match its frame "
                                      "size."));
    return S_OK;
}
} // namespace

HRESULT TimelineGroup::SetMediaType(const GroupMediaType& type) {
    if (type.majortype == MediaMajorType::Video) {
        if (HRESULT hr = checkVideoType(type); Failed(hr))
            return hr;
    } else if (type.majortype != MediaMajorType::Audio) {
        return RecordError(VFW_E_INVALIDMEDIATYPE,
                           QStringLiteral("A group carries either video or audio."));
    }
    mediaType_ = type;
    return S_OK;
}

HRESULT TimelineGroup::GetMediaType(GroupMediaType* type) const {
    if (!type)
        return E_POINTER;
    if (!mediaType_)
        return RecordError(E_UNEXPECTED, QStringLiteral("The group has no media type."));
    *type = *mediaType_;
    return S_OK;
}

HRESULT TimelineGroup::SetOutputFPS(double fps) {
    if (!std::isfinite(fps) || fps <= 0.0 || fps > 1000.0)
        return RecordError(E_INVALIDARG,
                           QStringLiteral("The output frame rate %1 is not usable.").arg(fps));
    fps_ = fps;
    return S_OK;
}

HRESULT TimelineGroup::SetPreviewMode(bool preview) {
    previewMode_ = preview;
    return S_OK;
}

HRESULT TimelineGroup::VTrackInsBefore(const std::shared_ptr<TimelineTrack>& track,
                                       int32_t priority) {
    if (!track)
        return E_POINTER;
    if (track->inGroup_)
        return RecordError(E_INVALIDARG, QStringLiteral("The track already belongs to a group."));
    track->inGroup_ = true;
    if (priority < 0 || priority >= static_cast<int32_t>(tracks_.size()))
        tracks_.push_back(track);
    else
        tracks_.insert(tracks_.begin() + priority, track);
    return S_OK;
}

// ---- Timeline ---------------------------------------------------------------

HRESULT Timeline::Create(std::shared_ptr<Timeline>* timeline) {
    if (!timeline)
        return E_POINTER;
    timeline->reset();
    if (!MediaPlatformInitialized())
        return RecordError(REGDB_E_CLASSNOTREG,
                           QStringLiteral("The media platform is not initialised."));
    timeline->reset(new Timeline());
    return S_OK;
}

template <class Node> static HRESULT createNode(std::shared_ptr<Node>* node) {
    if (!node)
        return E_POINTER;
    *node = std::make_shared<Node>();
    return S_OK;
}

HRESULT Timeline::CreateEmptyNode(std::shared_ptr<TimelineGroup>* node) {
    return createNode(node);
}
HRESULT Timeline::CreateEmptyNode(std::shared_ptr<TimelineTrack>* node) {
    return createNode(node);
}
HRESULT Timeline::CreateEmptyNode(std::shared_ptr<TimelineSource>* node) {
    return createNode(node);
}
HRESULT Timeline::CreateEmptyNode(std::shared_ptr<TimelineTransition>* node) {
    return createNode(node);
}

HRESULT Timeline::AddGroup(const std::shared_ptr<TimelineGroup>& group) {
    if (!group)
        return E_POINTER;
    if (group->inTimeline_)
        return RecordError(E_INVALIDARG, QStringLiteral("The group is already in a timeline."));
    if (!group->HasMediaType())
        return RecordError(E_INVALIDARG, QStringLiteral("The group has no media type."));
    group->inTimeline_ = true;
    groups_.push_back(group);
    return S_OK;
}

HRESULT Timeline::GetGroupCount(int32_t* count) const {
    if (!count)
        return E_POINTER;
    *count = static_cast<int32_t>(groups_.size());
    return S_OK;
}

HRESULT Timeline::GetGroup(int32_t index, std::shared_ptr<TimelineGroup>* group) const {
    if (!group)
        return E_POINTER;
    if (index < 0 || index >= static_cast<int32_t>(groups_.size()))
        return RecordError(E_INVALIDARG, QStringLiteral("There is no group %1.").arg(index));
    *group = groups_[static_cast<size_t>(index)];
    return S_OK;
}

HRESULT Timeline::ValidateSourceNames(int32_t flags) const {
    if (!(flags & SFN_VALIDATEF_CHECK))
        return S_OK;
    bool allReadable = true;
    for (const auto& group : groups_) {
        for (const auto& track : group->Tracks()) {
            for (const auto& source : track->Sources()) {
                QFile file(source->MediaName());
                if (!file.open(QIODevice::ReadOnly))
                    allReadable = false;
            }
        }
    }
    return allReadable ? S_OK : S_FALSE;
}

REFERENCE_TIME Timeline::Duration() const {
    REFERENCE_TIME end = 0;
    for (const auto& group : groups_)
        for (const auto& track : group->Tracks())
            for (const auto& source : track->Sources())
                end = std::max(end, source->Stop());
    return end;
}

} // namespace orvelin::media
