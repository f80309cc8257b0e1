#pragma once

#include "media/MediaPlatform.h"
#include "media/PlaybackGraph.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace orvelin::media {

// The editing timeline: groups (one output stream each, numbered in the order
// they were added), their tracks (later tracks lie on top), the sources on
// each track and the transitions between a track and what lies below it.
// The model only records and checks; the render engine turns it into a
// playable graph.

enum class TimelineMajorType : int32_t {
    Composite = 1,
    Track = 2,
    Source = 4,
    Transition = 8,
    Effect = 16,
    Group = 128,
};

// ---- Media type of a group --------------------------------------------------

enum class MediaMajorType { None, Video, Audio };
enum class MediaSubtype { None, Rgb24 };
enum class MediaFormatType { None, VideoInfo };

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t kVideoInfoHeaderSize = 88; // bytes of the format block
constexpr uint32_t kBitmapInfoHeaderSize = 40;

struct BitmapInfoHeader {
    uint32_t biSize = 0;
    int32_t biWidth = 0;
    int32_t biHeight = 0; // negative: top-down rows
    uint16_t biPlanes = 0;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

struct VideoRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct VideoInfoHeader {
    VideoRect rcSource;
    VideoRect rcTarget;
    uint32_t dwBitRate = 0;
    uint32_t dwBitErrorRate = 0;
    REFERENCE_TIME AvgTimePerFrame = 0;
    BitmapInfoHeader bmiHeader;
};

struct GroupMediaType {
    MediaMajorType majortype = MediaMajorType::None;
    MediaSubtype subtype = MediaSubtype::None;
    bool bFixedSizeSamples = false;
    bool bTemporalCompression = false;
    uint32_t lSampleSize = 0;
    MediaFormatType formattype = MediaFormatType::None;
    uint32_t cbFormat = 0;
    std::optional<VideoInfoHeader> videoInfo; // with formattype VideoInfo
};

// Bytes per row of an uncompressed picture: (width × bits + 31) / 8, rounded
// down to a multiple of 4.
int64_t DibRowStride(int32_t width, int32_t bitCount);

// ---- Nodes ------------------------------------------------------------------

class TimelineTrack;
class TimelineGroup;

// Stretch modes of a video source.
constexpr int32_t RESIZEF_STRETCH = 0;
constexpr int32_t RESIZEF_CROP = 1;
constexpr int32_t RESIZEF_PRESERVEASPECTRATIO = 2;
constexpr int32_t RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX = 3;

// Interpolation of a property value over time.
constexpr int32_t DEXTERF_JUMP = 0;
constexpr int32_t DEXTERF_INTERPOLATE = 1;

// A timed list of property values for a transition or effect.
class PropertySetter {
public:
    struct Value {
        REFERENCE_TIME time = 0;
        int32_t interpolation = DEXTERF_JUMP;
        double value = 0.0;
    };
    struct Property {
        QString name;
        int32_t dispatchId = 0;
        std::vector<Value> values;
    };

    // Adds a property with its values; fails without a name or a value.
    HRESULT AddProp(const QString& name, int32_t dispatchId, const std::vector<Value>& values);
    const std::vector<Property>& Properties() const { return properties_; }
    // The value of `name` at time 0, if the property is there.
    std::optional<double> InitialValue(const QString& name) const;

private:
    std::vector<Property> properties_;
};

class TimelineObject {
public:
    explicit TimelineObject(TimelineMajorType type) : type_(type) {}
    virtual ~TimelineObject() = default;
    TimelineObject(const TimelineObject&) = delete;
    TimelineObject& operator=(const TimelineObject&) = delete;

    TimelineMajorType MajorType() const { return type_; }

    // Timeline start and stop; fails for a negative start. A stop before the
    // start is kept (an object without length).
    HRESULT SetStartStop(REFERENCE_TIME start, REFERENCE_TIME stop);
    HRESULT GetStartStop(REFERENCE_TIME* start, REFERENCE_TIME* stop) const;
    REFERENCE_TIME Start() const { return start_; }
    REFERENCE_TIME Stop() const { return stop_; }

    // The class of the transform a transition or effect uses, as GUID text
    // ("{DE75D012-7A65-11D2-8CEA-00A0C9441E20}"); fails for text that is no GUID.
    HRESULT SetSubObjectGUID(const QString& guid);
    const QString& SubObjectGUID() const { return subObjectGuid_; }

    HRESULT SetPropertySetter(std::shared_ptr<PropertySetter> setter);
    const std::shared_ptr<PropertySetter>& GetPropertySetter() const { return setter_; }

protected:
    bool TimesSet() const { return timesSet_; }

private:
    TimelineMajorType type_;
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME stop_ = 0;
    bool timesSet_ = false;
    QString subObjectGuid_;
    std::shared_ptr<PropertySetter> setter_;
};

class TimelineSource : public TimelineObject {
public:
    TimelineSource() : TimelineObject(TimelineMajorType::Source) {}

    // The part of the file to read; fails for a negative start.
    HRESULT SetMediaTimes(REFERENCE_TIME start, REFERENCE_TIME stop);
    HRESULT GetMediaTimes(REFERENCE_TIME* start, REFERENCE_TIME* stop) const;
    HRESULT SetMediaName(const QString& path);
    const QString& MediaName() const { return mediaName_; }
    HRESULT SetStretchMode(int32_t mode);
    int32_t StretchMode() const { return stretchMode_; }

    bool OnTrack() const { return onTrack_; }

private:
    friend class TimelineTrack;
    REFERENCE_TIME mediaStart_ = 0;
    REFERENCE_TIME mediaStop_ = 0;
    QString mediaName_;
    int32_t stretchMode_ = RESIZEF_STRETCH;
    bool onTrack_ = false;
};

class TimelineTransition : public TimelineObject {
public:
    TimelineTransition() : TimelineObject(TimelineMajorType::Transition) {}
    bool OnTrack() const { return onTrack_; }

private:
    friend class TimelineTrack;
    bool onTrack_ = false;
};

class TimelineTrack : public TimelineObject {
public:
    TimelineTrack() : TimelineObject(TimelineMajorType::Track) {}

    // Adds a source whose times and file name are set and which does not
    // overlap a source already on the track.
    HRESULT SrcAdd(const std::shared_ptr<TimelineSource>& source);
    // Adds a transition that does not overlap one already on the track.
    HRESULT TransAdd(const std::shared_ptr<TimelineTransition>& transition);

    const std::vector<std::shared_ptr<TimelineSource>>& Sources() const { return sources_; }
    const std::vector<std::shared_ptr<TimelineTransition>>& Transitions() const {
        return transitions_;
    }
    bool InGroup() const { return inGroup_; }

private:
    friend class TimelineGroup;
    std::vector<std::shared_ptr<TimelineSource>> sources_;
    std::vector<std::shared_ptr<TimelineTransition>> transitions_;
    bool inGroup_ = false;
};

class TimelineGroup : public TimelineObject {
public:
    TimelineGroup() : TimelineObject(TimelineMajorType::Group) {}

    // Video: 24-bit uncompressed RGB with a consistent bitmap header and a
    // positive size; audio: any audio type (the output is 16-bit stereo PCM
    // at 44100 Hz).
    HRESULT SetMediaType(const GroupMediaType& type);
    HRESULT GetMediaType(GroupMediaType* type) const;
    bool HasMediaType() const { return mediaType_.has_value(); }
    MediaMajorType Kind() const {
        return mediaType_ ? mediaType_->majortype : MediaMajorType::None;
    }

    // Frames per second of a video group; fails unless positive and finite.
    HRESULT SetOutputFPS(double fps);
    double OutputFPS() const { return fps_; }
    HRESULT SetPreviewMode(bool preview);
    bool PreviewMode() const { return previewMode_; }
    // Whether a picture of other than square pixels, written at the size it
    // is stored in, keeps its pixels (the output file tells players their
    // shape); when the file cannot tell it, it is placed in square pixels as
    // at any other size.
    void SetKeepsPixelShape(bool keeps) { keepsPixelShape_ = keeps; }
    bool KeepsPixelShape() const { return keepsPixelShape_; }

    // Inserts a track at `priority` (−1 or past the end: after all tracks).
    HRESULT VTrackInsBefore(const std::shared_ptr<TimelineTrack>& track, int32_t priority);
    const std::vector<std::shared_ptr<TimelineTrack>>& Tracks() const { return tracks_; }

    bool InTimeline() const { return inTimeline_; }

private:
    friend class Timeline;
    std::optional<GroupMediaType> mediaType_;
    double fps_ = 15.0;
    bool previewMode_ = true;
    bool keepsPixelShape_ = true;
    std::vector<std::shared_ptr<TimelineTrack>> tracks_;
    bool inTimeline_ = false;
};

// Flags of ValidateSourceNames.
constexpr int32_t SFN_VALIDATEF_CHECK = 1;
constexpr int32_t SFN_VALIDATEF_POPUP = 2;
constexpr int32_t SFN_VALIDATEF_TELLME = 4;
constexpr int32_t SFN_VALIDATEF_REPLACE = 8;

class Timeline {
public:
    // A new, empty timeline; fails when the media platform is not initialised.
    static HRESULT Create(std::shared_ptr<Timeline>* timeline);

    HRESULT CreateEmptyNode(std::shared_ptr<TimelineGroup>* node);
    HRESULT CreateEmptyNode(std::shared_ptr<TimelineTrack>* node);
    HRESULT CreateEmptyNode(std::shared_ptr<TimelineSource>* node);
    HRESULT CreateEmptyNode(std::shared_ptr<TimelineTransition>* node);

    // Adds a group whose media type is set; groups are numbered in this order.
    HRESULT AddGroup(const std::shared_ptr<TimelineGroup>& group);
    HRESULT GetGroupCount(int32_t* count) const;
    HRESULT GetGroup(int32_t index, std::shared_ptr<TimelineGroup>* group) const;

    // Checks that every source's file can be read: S_OK when all can, S_FALSE
    // when one cannot (its name is kept; nobody is asked for a replacement).
    HRESULT ValidateSourceNames(int32_t flags) const;

    // The end of the latest source of all groups.
    REFERENCE_TIME Duration() const;

private:
    Timeline() = default;
    std::vector<std::shared_ptr<TimelineGroup>> groups_;
};

} // namespace orvelin::media
