#pragma once

#include <gst/gst.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>

namespace orvelin::media::smartcut {

// Reads a file's compressed packets without decoding them: the first video
// stream (H.264 and H.265 as length-prefixed access units) and the first
// sound stream as their parser frames them. Packets arrive on the streaming
// thread through the callbacks; a callback answers false when it wants no
// more of its stream.
class SourceReader {
public:
    using PacketFn = std::function<bool(GstBuffer* buffer)>;
    struct Streams {
        GstCaps* video = nullptr; // owned by the reader once it has run
        GstCaps* audio = nullptr;
        std::string orientation; // the video's "image-orientation" tag ("" for none)
    };

    // `decodeVideo`: the video arrives decoded (raw pictures) instead.
    SourceReader(std::string path, bool wantVideo, bool wantAudio, bool decodeVideo = false);
    ~SourceReader();
    SourceReader(const SourceReader&) = delete;
    SourceReader& operator=(const SourceReader&) = delete;

    // Prerolls and answers the streams found (caps stay valid as long as the
    // reader). False, with `error`, when the file cannot be read.
    bool Open(std::string& error);
    const Streams& Found() const { return streams_; }

    // Reads from the keyframe at or before `from` (100 ns units) until both
    // callbacks have said enough, the file ends or `stop` is set. Callbacks
    // for a stream not found are never called.
    bool Run(int64_t from, const PacketFn& onVideo, const PacketFn& onAudio,
             const std::atomic<bool>* stop, std::string& error);
    // Decodes the pictures shown from `from` to before `to` (nanoseconds;
    // only with `decodeVideo`).
    bool RunRange(int64_t from, int64_t to, const PacketFn& onVideo, std::string& error);

private:
    static void OnPadAdded(GstElement*, GstPad* pad, gpointer self);
    static void OnNoMorePads(GstElement*, gpointer self);
    static GstFlowReturn OnSample(GstElement* sink, gpointer self);
    static GstPadProbeReturn OnVideoEvent(GstPad*, GstPadProbeInfo* info, gpointer self);
    GstElement* AddBranch(GstPad* pad, bool video);
    void AddDiscard(GstPad* pad);
    void Finished(bool video);
    static GstPadProbeReturn OnMpegPicture(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    void FillMpegTime(GstBuffer* packet, const GstCaps* caps);

    std::string path_;
    bool Play(int64_t from, int64_t to, GstSeekFlags flags, const std::atomic<bool>* stop,
              std::string& error);

    bool wantVideo_, wantAudio_, decodeVideo_;
    bool programStream_ = false;
    // The times of the last packet handed on, per stream.
    std::pair<GstClockTime, GstClockTime> lastVideo_{GST_CLOCK_TIME_NONE, GST_CLOCK_TIME_NONE};
    std::pair<GstClockTime, GstClockTime> lastAudio_{GST_CLOCK_TIME_NONE, GST_CLOCK_TIME_NONE};
    int64_t groupStart_ = -1; // when the current MPEG group's first picture is shown
    int lastRef_ = -1;        // and the last of its temporal references so far
    GstElement* pipeline_ = nullptr;
    GstElement* videoSink_ = nullptr;
    GstElement* audioSink_ = nullptr;
    Streams streams_;
    PacketFn onVideo_, onAudio_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool videoDone_ = false, audioDone_ = false;
    bool running_ = false;
    bool allPads_ = false;
    std::string orientation_;
};

// The caps' media kind: "H.264", "H.265", "AAC", ... ("" for none).
std::string CodecName(const GstCaps* caps);

} // namespace orvelin::media::smartcut
