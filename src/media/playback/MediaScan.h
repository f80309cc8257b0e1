#pragma once

#include <QString>
#include <chrono>
#include <cstdint>

namespace orvelin::media {

// What reading a file without decoding it tells (the file is only
// demultiplexed and parsed, at the speed of the disk).
struct MediaScan {
    bool complete = false;  // the whole file was read
    int64_t startTime = -1; // nanoseconds, earliest time of any stream
    int64_t endTime = -1;   // nanoseconds, latest end of any stream

    // The first video stream.
    bool hasVideo = false;
    uint64_t videoFrames = 0;
    int64_t firstFrameTime = -1; // nanoseconds
    int64_t lastFrameTime = -1;  // nanoseconds

    // The length of the content; -1 when unknown.
    int64_t Length() const { return endTime > startTime ? endTime - startTime : -1; }
};

// Reads the file until its end or until `budget` has passed. False when no
// stream could be read at all.
bool ScanMediaFile(const QString& path, std::chrono::milliseconds budget, MediaScan* scan);

// The mean frame rate of the first video stream: its frames over
// `lengthSeconds` when the whole file was read (and the length is known),
// else over the span of frame times seen. 0 when it cannot be told.
double MeanFrameRate(const MediaScan& scan, double lengthSeconds);

} // namespace orvelin::media
