#pragma once

#include <QString>
#include <QStringList>

namespace orvelin::test {

// Small real media files made at test time with GStreamer's command-line
// tools, and an independent look at a file through gst-discoverer-1.0.

enum class Container { Mkv, Mp4, Avi, Ogg };

struct MediaSpec {
    Container container = Container::Mkv;
    int width = 320;
    int height = 240;
    int fpsNum = 25;
    int fpsDen = 1;
    double seconds = 2.0;
    bool video = true;
    bool audio = true;
    int parNum = 1; // pixel aspect ratio of the video
    int parDen = 1;
};

// Writes the file; false (with the tool's output in `log`) when it fails.
bool MakeMedia(const QString& path, const MediaSpec& clip, QString* log = nullptr);

// Writes a video-only file (Mkv or Mp4) whose frame rate changes midway:
// `fastFrames` frames at `fastFps`, then `slowFrames` frames at `slowFps`, with
// no fixed rate declared in the container. 64 x 48 pixels.
bool MakeVariableRateMedia(const QString& path, Container container, int fastFrames, int fastFps,
                           int slowFrames, int slowFps, QString* log = nullptr);

// A file made once per test program and kept until it ends (for clips that
// many tests share); an empty path when it cannot be made.
QString SharedMedia(const QString& name, const MediaSpec& clip);

// The start of a gst-launch description that decodes the `kind` stream
// ("video/x-raw" or "audio/x-raw") of `path`, to be continued with
// " ! element ...". A stream of the other kind, when the file has one, goes
// to a sink of its own: left unlinked it can stall the reading under load.
QString DecodeOnly(const QString& path, const QString& kind);

// Runs gst-launch-1.0 with a pipeline description; false on failure or timeout.
bool RunGstLaunch(const QString& pipeline, QString* log = nullptr, int timeoutMs = 60000);

struct MediaFacts {
    bool ok = false;
    double durationSeconds = 0.0;
    int width = 0;
    int height = 0;
    int fpsNum = 0;
    int fpsDen = 0;
    int videoStreams = 0;
    int audioStreams = 0;
    QString container; // as the discoverer names it
    QString raw;       // the discoverer's whole report
};

// What gst-discoverer-1.0 says of a file.
MediaFacts Discover(const QString& path);

// Writes `size` random-looking bytes, the same on every run (a file that
// is no media at all).
bool MakeRandomFile(const QString& path, qint64 size);
// Copies the first `keepBytes` bytes of `source` to `target`.
bool MakeTruncatedCopy(const QString& source, const QString& target, qint64 keepBytes);
// Overwrites `path` with random bytes from `keepBytes` on, keeping its size:
// a valid head with garbage after it.
bool OverwriteTail(const QString& path, qint64 keepBytes);
// Overwrites `count` stretches of `length` random bytes at places chosen by
// `seed` after the first `keepBytes` bytes (a file damaged here and there).
bool OverwriteSpots(const QString& path, qint64 keepBytes, int count, int length, quint32 seed);

// A copy of a Matroska file of `tracks` tracks in which only the `keep`-th
// (counting from 0) is marked to be played by default. The multiplexer writes no
// mark, which means "default" for every track; the name element of every
// other track (53 6E, a few bytes) gives way to a "not default" mark
// (88 81 00) and a void element filling the rest.
QString MarkOnlyDefault(const QString& source, int tracks, int keep, const QString& target);

// 16-bit stereo sound of `seconds` seconds at `rate`, silent but for a
// 1 kHz beep of 0.1 s at each of `beeps` (seconds), written as a WAV file.
bool WriteBeepsWav(const QString& path, int rate, double seconds, const QList<double>& beeps);

} // namespace orvelin::test
