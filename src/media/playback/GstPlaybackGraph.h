#pragma once

// playback/: the playback graph behind the Open Video probe and the preview
// window. A uridecodebin-based pipeline, its bus (PlaybackBus), the sinks that
// hand frames to the Qt window (PlaybackSinks, FrameMailbox, VideoPlacement),
// the file checks before a file is opened and the stream scan (MediaScan).
// Public face: media/PlaybackGraph.h.

#include "media/PlaybackGraph.h"

#include <QPointer>
#include <memory>

typedef struct _GstElement GstElement;

namespace orvelin::media {

class FrameMailbox;
struct MediaScan;
struct PlaybackBusState;

// The playback graph on a GStreamer playbin. The pipeline is paused once
// built; the graph's "stopped" state is a paused pipeline too, so that the
// position and the frame on show stay where they were.
class GstPlaybackGraph final : public PlaybackGraph {
public:
    GstPlaybackGraph();
    ~GstPlaybackGraph() override;
    GstPlaybackGraph(const GstPlaybackGraph&) = delete;
    GstPlaybackGraph& operator=(const GstPlaybackGraph&) = delete;

    HRESULT RenderFile(const QString& path, bool withDisplay,
                       std::chrono::milliseconds timeout) override;
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    GraphState State() const override { return state_; }

    HRESULT GetCurrentPosition(REFERENCE_TIME* position) override;
    HRESULT GetStopPosition(REFERENCE_TIME* position) override;
    HRESULT GetDuration(REFERENCE_TIME* duration) override;
    HRESULT SetPositions(REFERENCE_TIME current) override;
    HRESULT SetRate(double rate) override;
    HRESULT StepForward(uint32_t frames) override;

    HRESULT GetVideoSize(int32_t* width, int32_t* height) override;
    HRESULT GetAvgTimePerFrame(double* seconds) override;
    bool HasVideo() const override { return hasVideo_; }
    bool HasAudio() const override { return hasAudio_; }

    GraphEventQueue& Events() override { return events_; }
    void SetFrameTarget(QObject* receiver, std::function<void(const QImage&)> onFrame) override;
    QImage LastFrame() const override;
    REFERENCE_TIME LastFrameTime() const override;
    uint64_t FramesRendered() const override;
    uint64_t FramesDropped() const override;
    QString LastErrorText() const override { return lastError_; }

private:
    HRESULT Build(const QString& path, bool withDisplay);
    HRESULT WaitUntilPaused(std::chrono::steady_clock::time_point deadline);
    void ReadStreams();
    HRESULT ChangeState(int gstState, GraphState state);
    // `nanoseconds` counts from the first frame.
    bool SeekTo(double rate, int64_t nanoseconds);
    bool SeekPending();
    // `wait` false leaves a pipeline that did not answer to be released
    // entirely in the background.
    void Teardown(bool wait = true);
    // Reads the file through without decoding (once, when asked).
    void Scan();
    HRESULT Fail(HRESULT hr, const QString& text, bool wait = true);

    GraphEventQueue events_;
    std::shared_ptr<PlaybackBusState> bus_;
    std::shared_ptr<FrameMailbox> frames_;
    QPointer<QObject> frameReceiver_;
    std::function<void(const QImage&)> onFrame_;
    GstElement* pipeline_ = nullptr;

    QString path_;
    GraphState state_ = GraphState::Stopped;
    double rate_ = 1.0;
    bool hasVideo_ = false;
    bool hasAudio_ = false;
    int width_ = 0;
    int height_ = 0;
    int fpsNum_ = 0;
    int fpsDen_ = 0;
    std::unique_ptr<MediaScan> scan_;
    double countedPeriod_ = -1.0; // frame period found by counting, once asked
    REFERENCE_TIME duration_ = -1;
    // The length of an MPEG stream's pictures by their own time stamps;
    // 0 until looked for, -1 when not told so.
    int64_t mpegSpan_ = 0;
    REFERENCE_TIME lastPosition_ = 0;
    REFERENCE_TIME seekTarget_ = 0;
    // The file's time stamp of its first frame; positions count from it.
    REFERENCE_TIME streamStart_ = 0;
    uint64_t seekMark_ = 0; // completed state changes when the last seek began
    bool seekIssued_ = false;
    // After a frame step, the time of the frame it showed: the position
    // until the graph runs or seeks.
    bool stepHeld_ = false;
    REFERENCE_TIME stepPosition_ = 0;
    QString lastError_;
};

} // namespace orvelin::media
