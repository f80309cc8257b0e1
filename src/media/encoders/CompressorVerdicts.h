#pragma once

// Whether a compressor really works in a multiplexer at every frame rate the
// program writes; for the media seam only.

#include "media/EncoderRegistry.h"

#include <QString>

namespace orvelin::media {

struct CompressorVerdict {
    bool works = false;
    QString reason; // why it does not work; empty when it works
};

// The verdict of `factory` (a compressor BindCompressor can make) into
// `muxer`. The first question for a pair runs real trials: a short clip at
// 23.976, 25, 29.97 and 30 frames per second and at a custom rate for video,
// one clip for audio, each through the compressor as a conversion builds it
// into the multiplexer and a file. Verdicts are kept for the installed set
// of plug-ins (in memory and in the user's cache folder), so later questions
// cost nothing until a plug-in is added, removed or updated.
CompressorVerdict TrialVerdict(const QString& factory, CompressorKind kind, const QString& muxer);

// The file that keeps the verdicts of the installed plug-in set.
QString CompressorVerdictCacheFile();

// Forgets the verdicts held in memory (the file stays), as a new run of the
// program starts.
void ForgetCompressorVerdicts();

} // namespace orvelin::media
