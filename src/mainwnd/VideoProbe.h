#pragma once

#include "media/PlaybackGraph.h"

#include <QString>
#include <cstdint>

class QWidget;

namespace orvelin {

class UiServices;
struct MainState;

// What a probe of a file found, in the order of its steps. `failedStep` is 0
// when every step succeeded.
struct ProbeFacts {
    enum Step {
        None = 0,
        CreateGraph,
        Render,
        Seeking,
        Length,
        BasicVideo,
        VideoSize,
        FramePeriod
    };
    Step failedStep = None;
    media::REFERENCE_TIME length = 0;
    int32_t width = 0;
    int32_t height = 0;
    double framePeriod = 0.0; // seconds
};

// Probes a file in a throw-away playback graph. Runs the graph work on a
// worker thread while the caller's window keeps repainting, so a hung
// demuxer cannot freeze the program; the render step gives up after a few
// seconds.
ProbeFacts ProbeFile(const QString& path);

// Probes a video for the main window: shows each failing step's message and
// answers 0, or fills the source and output sizes and the source frame rate,
// stores the length in `duration` and answers 1.
int ProbeVideo(UiServices& ui, QWidget* owner, const QString& path, media::REFERENCE_TIME* duration,
               MainState& state);

// The length of a media file: 0 when no graph can be made, −1 when the file
// cannot be rendered or its length cannot be read.
media::REFERENCE_TIME MeasureMediaLength(const QString& path);

// The part of a path up to and including its last "/"; empty without one.
QString FolderOf(const QString& path);

} // namespace orvelin
