#pragma once

#include "media/EncoderRegistry.h"
#include "media/Filter.h"

#include <QString>
#include <memory>

namespace orvelin::media {

// A short generated clip encoded through a compressor into a file: the
// check that a compressor really writes something playable.
struct CompressorTrial {
    CompressorKind kind = CompressorKind::Video;
    QString muxer = QStringLiteral("matroskamux"); // multiplexer factory name
    QString path;                                  // the file written
    int frames = 10;                               // video frames, or audio blocks of 1024 samples
    int width = 160;
    int height = 120;
    bool noisy = false; // random pixels or white noise instead of a test pattern
};

// Runs the trial to its end (at most `timeoutMs`). The compressor is put in a
// pipeline of its own and taken out again afterwards, so it must not be in
// another graph. Fails with the platform's message in `error`.
HRESULT RunCompressorTrial(const std::shared_ptr<Filter>& compressor, const CompressorTrial& trial,
                           QString* error = nullptr, int timeoutMs = 60000);

} // namespace orvelin::media
