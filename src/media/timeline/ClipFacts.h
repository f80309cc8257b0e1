#pragma once

// What a timeline needs to know of a clip's file before it is played, and
// the output format of a group; shared by the two ways a timeline is
// rendered (the editing services, and a plain pipeline for one clip). For
// the media seam only.

#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

#include "media/MediaPlatform.h"
#include "media/Timeline.h"

#include <QByteArray>
#include <QString>
#include <string>

namespace orvelin::media {

inline GstClockTime ToClock(REFERENCE_TIME t) {
    return static_cast<GstClockTime>(t) * 100;
}
inline REFERENCE_TIME FromClock(GstClockTime t) {
    return static_cast<REFERENCE_TIME>(t / 100);
}

// "12.34 s"
QString TimeText(REFERENCE_TIME t);

// What the discoverer knows of the first video stream of a file, as it is
// shown (sizes of a picture turned by a quarter are swapped).
struct VideoFacts {
    int width = 0;
    int height = 0;
    int parNum = 1;
    int parDen = 1;
    // Interlaced or mixed (some frames interlaced).
    bool interlaced = false;
    std::string colorimetry;
};

struct StreamFacts {
    bool hasVideo = false;
    bool hasAudio = false;
    VideoFacts video;
    // The stream of each kind that is played: the first video stream, and
    // the sound track the container marks as default (else the first).
    QByteArray videoStream;
    QByteArray audioStream;
    // The length of the file; GST_CLOCK_TIME_NONE when it cannot be told.
    GstClockTime length = GST_CLOCK_TIME_NONE;
};

// The facts of a discovered file at `path`. The container's default sound
// track is looked up only when `forSound`.
StreamFacts ReadStreamFacts(GstDiscovererInfo* info, const QString& path, bool forSound);

// The format of a group's track: 4:2:0 pictures at the group's size and
// rate with pixels of `parNum`/`parDen` (the render engine turns them into
// the group's RGB), or 16-bit stereo sound at 44.1 kHz.
GstCaps* GroupTrackCaps(const TimelineGroup& group, const GroupMediaType& type, int parNum = 1,
                        int parDen = 1);

// One output frame of `group` (1/25 s for sound), the rounding allowed when
// a clip reaches the end of its file.
REFERENCE_TIME FrameAllowance(const TimelineGroup& group, MediaMajorType kind);

// Refuses a source whose part ends before it starts, or that would change
// the playing speed (media and timeline lengths differ); the reason is
// recorded for the result.
HRESULT CheckClipTimes(const TimelineSource& source);
// Refuses a source that reads past the end of its file (of `fileLength`,
// GST_CLOCK_TIME_NONE when not known) by more than `allowance`: it would be
// shortened without notice.
HRESULT CheckClipInFile(const TimelineSource& source, GstClockTime fileLength,
                        REFERENCE_TIME allowance);

} // namespace orvelin::media
