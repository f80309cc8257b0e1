#pragma once

#include <QString>
#include <chrono>
#include <cstdint>

namespace orvelin::media {

struct VideoFrameCount {
    uint64_t frames = 0;
    int64_t firstTime = -1; // nanoseconds, earliest frame time seen
    int64_t lastTime = -1;  // nanoseconds, latest frame time seen
    bool complete = false;  // the whole stream was read
};

// Counts the frames of the first video stream of a file without decoding
// them: the file is only demultiplexed and parsed. Stops when `budget` has
// passed, with the frames counted so far. False when the file has no video
// stream that could be read.
bool CountVideoFrames(const QString& path, std::chrono::milliseconds budget,
                      VideoFrameCount* count);

// The mean frame rate of a count: the frames over `durationSeconds` when the
// whole stream was read (and the duration is known), else over the span of
// frame times seen. 0 when it cannot be told.
double MeanFrameRate(const VideoFrameCount& count, double durationSeconds);

} // namespace orvelin::media
