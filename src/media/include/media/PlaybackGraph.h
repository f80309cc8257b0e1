#pragma once

#include "media/GraphEvents.h"
#include "media/MediaPlatform.h"

#include <QImage>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

class QObject;

namespace orvelin::media {

using REFERENCE_TIME = int64_t; // 100 ns units
constexpr REFERENCE_TIME kUnitsPerSecond = 10'000'000;
constexpr HRESULT VFW_E_NOT_FOUND = static_cast<HRESULT>(0x80040216u);
constexpr HRESULT VFW_E_CANNOT_RENDER = static_cast<HRESULT>(0x80040218u);
constexpr HRESULT VFW_E_TIMEOUT = static_cast<HRESULT>(0x8004022Eu);
constexpr HRESULT VFW_E_WRONG_STATE = static_cast<HRESULT>(0x80040227u);

enum class GraphState { Stopped, Paused, Running };

// A playback graph over one file (the probe and the preview both use one):
// a GStreamer playback pipeline brought to PAUSED by RenderFile.
class PlaybackGraph {
public:
    // An empty graph; nullptr when the media platform is not initialised.
    static std::unique_ptr<PlaybackGraph> Create();
    virtual ~PlaybackGraph() = default;

    // Builds the pipeline for `path` and waits (at most `timeout`) until it is
    // paused on its first frame. Fails when the file is missing or unreadable,
    // no decoder can play it, it has no stream, or the time runs out.
    // With `withDisplay` false, decoded video goes nowhere (a probe).
    virtual HRESULT RenderFile(const QString& path, bool withDisplay = true,
                               std::chrono::milliseconds timeout = std::chrono::seconds(8)) = 0;

    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    // Stops playback; the position stays where it was (callers seek to 0).
    virtual HRESULT Stop() = 0;
    virtual GraphState State() const = 0;

    virtual HRESULT GetCurrentPosition(REFERENCE_TIME* position) = 0;
    virtual HRESULT GetStopPosition(REFERENCE_TIME* position) = 0;
    virtual HRESULT GetDuration(REFERENCE_TIME* duration) = 0;
    // Accurate, flushing seek to an absolute position; stop unchanged.
    virtual HRESULT SetPositions(REFERENCE_TIME current) = 0;
    virtual HRESULT SetRate(double rate) = 0;
    // With the graph paused or stopped, steps the video `frames` frames on
    // (a frame step of the decoded stream, not a seek: the next frame is the
    // file's own, whatever its rate) and waits a moment until it is shown.
    // The position is then that frame's time. S_FALSE when the step ran into
    // the end of the stream; VFW_E_WRONG_STATE while running; E_NOINTERFACE
    // without video.
    virtual HRESULT StepForward(uint32_t frames) = 0;

    // E_NOINTERFACE when the file has no video stream.
    virtual HRESULT GetVideoSize(int32_t* width, int32_t* height) = 0;
    // Average frame period in seconds (the stream's mean rate, also for a
    // variable rate); E_NOINTERFACE without video; 0 when unknown.
    virtual HRESULT GetAvgTimePerFrame(double* seconds) = 0;
    virtual bool HasVideo() const = 0;
    virtual bool HasAudio() const = 0;

    // End of stream and errors, drained on the UI thread.
    virtual GraphEventQueue& Events() = 0;

    // Decoded frames for display: `onFrame` runs queued on `receiver`'s
    // thread with the newest frame (frames the UI has no time for are
    // dropped, never queued up). RGB32 images at the stream's display size.
    virtual void SetFrameTarget(QObject* receiver, std::function<void(const QImage&)> onFrame) = 0;
    // The last frame shown, also while paused or stopped.
    virtual QImage LastFrame() const = 0;
    // The time in the file of that frame; -1 when unknown.
    virtual REFERENCE_TIME LastFrameTime() const = 0;

    // Counters for measuring whether playback keeps real time.
    virtual uint64_t FramesRendered() const = 0;
    virtual uint64_t FramesDropped() const = 0;

    // Why the last failed operation (RenderFile above all) failed, readable,
    // at most 160 characters; empty after a success.
    virtual QString LastErrorText() const = 0;
};

} // namespace orvelin::media
