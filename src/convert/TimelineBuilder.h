#pragma once

#include "convert/MainState.h"
#include "media/Timeline.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

class QWidget;

namespace orvelin {

class UiServices;

// The media type of the video group: 24-bit RGB at the output size, with a
// bitmap header whose image size is the row stride ((width × 24 + 31) / 8,
// rounded down to a multiple of 4) times the height.
media::GroupMediaType MakeVideoGroupType(int32_t width, int32_t height);
// The media type of the audio group: audio, fixed-size samples of size 1.
media::GroupMediaType MakeAudioGroupType();

// The transform class of a transition number (1 to 46; any larger number
// uses the SMPTE wipe) and its SMPTE mask number (17 to 46 only).
QString TransitionClassId(int32_t transition);
std::optional<int32_t> TransitionMaskNumber(int32_t transition);

// Lays the opened clip (the item and music lists, the trim points, the
// output size, rate and resize mode) on an editing timeline: video group 0
// with one track per item, audio group 1 with one track for the first music
// entry. Every failure is reported in a message box over `owner` and ends
// only the step it happened in.
class TimelineBuilder {
public:
    TimelineBuilder(MainState& state, UiServices& ui, QWidget* owner);

    // Fills `slot` with a new timeline (and sets the total duration).
    // Answers the creation failure, else 0.
    media::HRESULT CreateTimeline(std::shared_ptr<media::Timeline>* slot);

    media::HRESULT AddVideoGroup(media::Timeline& timeline);
    media::HRESULT AddAudioGroup(media::Timeline& timeline);
    media::HRESULT AddClipTrack(media::Timeline& timeline, media::TimelineGroup& group,
                                const QString& path, int64_t transitionMs, int32_t clipIndex);
    media::HRESULT AddAudioTrack(media::Timeline& timeline, media::TimelineGroup& group,
                                 const QString& path);
    media::HRESULT AddTransition(media::Timeline& timeline, media::TimelineTrack& track,
                                 media::REFERENCE_TIME start, media::REFERENCE_TIME stop,
                                 int32_t clipIndex);

private:
    void Report(const QString& text);

    MainState& state_;
    UiServices& ui_;
    QWidget* owner_;
};

} // namespace orvelin
