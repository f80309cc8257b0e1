#pragma once

#include "media/EncoderRegistry.h"
#include "media/Filter.h"

#include <QString>
#include <memory>

namespace orvelin::media {

// A short generated clip encoded through a compressor into a file: the
// check that a compressor really writes something playable. The frames come
// as the timeline hands them to a compressor (RGB at the group's rate,
// through a queue), so what passes here passes in a conversion.
struct CompressorTrial {
    CompressorKind kind = CompressorKind::Video;
    QString muxer = QStringLiteral("matroskamux"); // multiplexer factory name
    QString path;                                  // the file written
    int frames = 10;                               // video frames, or audio blocks of 1024 samples
    int width = 160;
    int height = 120;
    int rateNum = 25; // frame rate of the video, as the timeline's group gives it
    int rateDen = 1;
    bool noisy = false; // random pixels or white noise instead of a test pattern
};

// Runs the trial to its end (at most `timeoutMs`). The compressor is put in a
// pipeline of its own and taken out again afterwards, so it must not be in
// another graph. Fails with the platform's message in `error`; with
// VFW_E_TIMEOUT when it did not end in time (a busy machine, not a verdict).
HRESULT RunCompressorTrial(const std::shared_ptr<Filter>& compressor, const CompressorTrial& trial,
                           QString* error = nullptr, int timeoutMs = 60000);

} // namespace orvelin::media
