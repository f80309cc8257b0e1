// Cuts one file without re-encoding through the program's copy engine: the
// benchmark's copy side, and a way to try a cut by hand.
//
//   orvelin_smart_cut SOURCE OUTPUT START_S END_S
//
// The container follows the output's extension (.mp4: MP4, else Matroska).
// Prints what was re-encoded and copied, or why the cut cannot be copied.
#include "media/MediaPlatform.h"
#include "media/SmartCut.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s SOURCE OUTPUT START_S END_S\n", argv[0]);
        return 2;
    }
    using namespace orvelin::media;
    if (Failed(InitializeMediaPlatform())) {
        std::fprintf(stderr, "the media platform cannot start\n");
        return 1;
    }
    SmartCutJob job;
    job.source = argv[1];
    job.output = argv[2];
    job.start = std::llround(std::atof(argv[3]) * 1e7);
    job.end = std::llround(std::atof(argv[4]) * 1e7);
    const std::string out = job.output;
    if (out.size() > 4 && out.compare(out.size() - 4, 4, ".mp4") == 0)
        job.muxer = "mp4mux";
    const std::string why = SmartCutRefusal(job);
    if (!why.empty()) {
        std::printf("refused: %s\n", why.c_str());
        return 3;
    }
    std::atomic<bool> stop{false};
    const SmartCutReport r = RunSmartCut(job, stop, nullptr);
    if (Failed(r.hr)) {
        std::printf("failed: %s\n", r.error.c_str());
        return 1;
    }
    std::printf("frames %lld (re-encoded %lld, copied %lld), sound frames %lld\n",
                static_cast<long long>(r.videoFrames), static_cast<long long>(r.reencodedFrames),
                static_cast<long long>(r.copiedFrames), static_cast<long long>(r.audioFrames));
    return 0;
}
