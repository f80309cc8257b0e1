#pragma once

#include "media/PlaybackGraph.h"
#include "options/OutputSettings.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace orvelin {

using media::REFERENCE_TIME;

// One entry of the item list (the opened video is entry 0) or the music list.
struct ClipEntry {
    QString path;
    REFERENCE_TIME duration = 0;
    int32_t transition = 0;
    REFERENCE_TIME transitionDuration = 0;
};

constexpr int32_t kMaxItems = 1000;
constexpr int32_t kMaxMusic = 100;

// The long-lived state of the main window: the opened clip, trim points,
// probed source, output settings and the conversion flags. The conversion
// and the dialogs read and change it through the main window.
struct MainState {
    int32_t itemCount = 0;
    std::vector<ClipEntry> items; // itemCount entries
    int32_t musicCount = 0;
    std::vector<ClipEntry> music; // musicCount entries
    int32_t photoSeconds = 8;
    int32_t transitionSeconds = 0;
    int32_t transitionMode = 0; // 0 random, 1 in sequence, 2 always the same
    int32_t transitionIndex = 0;
    REFERENCE_TIME totalDuration = 0;
    int32_t converting = 0;
    int32_t elapsedSeconds = 0;
    int32_t audioSourceMode = 2;
    REFERENCE_TIME trimStart = 0;
    REFERENCE_TIME trimEnd = 0;
    int32_t sliderPosition = 0;
    int32_t sourceWidth = 0;
    int32_t sourceHeight = 0;
    double sourceFrameRate = 23.976;
    int32_t timelinePreviewRunning = 0;
    int32_t osMajorVersion = 6; // Linux counts as 6 or later
    OutputSettings output;
};

} // namespace orvelin
