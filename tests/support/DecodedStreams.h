#pragma once

// An independent reading of a file's decoded streams with time stamps: the
// picture as grey levels and the sound as 16-bit mono at 44.1 kHz, each
// block with the time the decoder gave it (gst-launch-1.0 and identity).

#include <QString>
#include <cstdint>
#include <vector>

namespace orvelin::test {

struct DecodedBlock {
    double start = 0.0; // seconds
    double end = 0.0;   // seconds
    std::vector<uint8_t> data;
};

struct DecodedStreams {
    bool ok = false;
    std::vector<DecodedBlock> video; // one block per picture, 8-bit grey
    std::vector<DecodedBlock> sound; // 16-bit mono samples at 44.1 kHz

    // Where each stream ends (the picture: the latest block end; the
    // sound: its samples counted from the first block); -1 without blocks.
    double VideoEnd() const;
    double SoundEnd() const;
    // The start of the first picture whose mean grey is above `level`; -1
    // when none is.
    double FirstBrightPicture(int level = 128) const;
    // The time of the first sample louder than `level` (counted from the
    // first block); -1 when none is.
    double FirstLoudSample(int level = 8000) const;
};

// Decodes `path`; `folder` receives the raw streams.
DecodedStreams DecodeStreams(const QString& path, const QString& folder);

} // namespace orvelin::test
