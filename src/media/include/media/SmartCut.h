#pragma once

#include "media/MediaPlatform.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace orvelin::media {

// A cut of one file without re-encoding: the pictures from the start mark
// to the first keyframe after it and from the last keyframe before the end
// mark to that mark are decoded and encoded again by an encoder of the
// source's codec set up like the source; every other packet is copied as it
// is. The compressed sound is copied in whole frames.

struct SmartCutJob {
    std::string source;
    std::string output;
    int64_t start = 0;                 // 100 ns units: the picture shown here is the first
    int64_t end = 0;                   // the picture shown just before this is the last
    std::string muxer = "matroskamux"; // "matroskamux" or "mp4mux"
    bool copyVideo = true;
    bool copyAudio = true; // the first sound track, when the source has one
};

// What the source holds, as far as copying is concerned.
struct SmartCutSource {
    bool hasVideo = false;
    bool hasAudio = false;
    std::string videoCodec; // "H.264", "H.265", ... ("" without video)
    std::string audioCodec;
    int width = 0, height = 0; // as shown: turned when the source asks for a quarter turn
    int fpsNum = 0, fpsDen = 1;
    int rotation = 0; // degrees clockwise the picture is shown turned; -1: mirrored
};

// Looks at the source's streams (no packets are read). Fails when the file
// cannot be read.
HRESULT InspectSmartCutSource(const std::string& source, SmartCutSource& facts);

// Why `job` cannot be done without re-encoding, in one plain sentence; empty
// when it can. Reads the source's packet index around the marks.
std::string SmartCutRefusal(const SmartCutJob& job);

// Whether a container's multiplexer stores the source's streams as they
// are: `reason` says why not.
bool SmartCutMuxerTakes(const SmartCutSource& facts, const std::string& muxer, bool video,
                        std::string& reason);

struct SmartCutReport {
    HRESULT hr = S_OK;
    std::string error;       // a plain sentence when hr fails
    bool stopped = false;    // Stop ended it early (the file is still complete to there)
    int64_t videoFrames = 0; // pictures written
    int64_t reencodedFrames = 0;
    int64_t copiedFrames = 0;
    int64_t audioFrames = 0;
    // Damage met in the source's marked part: holes in the pictures or the
    // sound, times that step back, packets the demultiplexer marked as
    // damaged. The copy still holds what the source holds.
    int damage = 0;
    std::string firstDamage; // the first, in a few words ("sound missing from 3.20 s to 3.68 s")
};

// Runs the cut on the calling thread. `progress` (may be empty) is called
// from streaming threads with the written duration in 100 ns units; setting
// `stop` ends the writing at the next packet and closes the file properly.
SmartCutReport RunSmartCut(const SmartCutJob& job, const std::atomic<bool>& stop,
                           const std::function<void(int64_t written)>& progress);

} // namespace orvelin::media
