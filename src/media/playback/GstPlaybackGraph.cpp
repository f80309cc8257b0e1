#include "media/playback/GstPlaybackGraph.h"

#include "media/PipelineRelease.h"
#include "media/core/PipelineActivity.h"
#include "media/playback/FrameMailbox.h"
#include "media/playback/MediaScan.h"
#include "media/playback/MpegTimeStamps.h"
#include "media/playback/PlaybackBus.h"
#include "media/playback/PlaybackErrors.h"
#include "media/playback/PlaybackFileCheck.h"
#include "media/playback/PlaybackSinks.h"
#include "media/playback/ProgramStreamSeek.h"
#include "media/playback/StreamStart.h"

#include <QFile>
#include <QFileInfo>
#include <gst/gst.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace orvelin::media {

namespace {

using Clock = std::chrono::steady_clock;

// playbin's flags (GstPlayFlags is not in a public header).
constexpr guint kPlayVideo = 0x1;
constexpr guint kPlayAudio = 0x2;
constexpr guint kPlayNativeAudio = 0x20;
constexpr guint kPlayNativeVideo = 0x40;
constexpr guint kPlayDeinterlace = 0x200;

// Releasing a healthy pipeline takes a few milliseconds; one that is stuck is
// left to finish in the background after this.
constexpr std::chrono::milliseconds kReleaseWait(250);
// While opening, how often to look whether the pipeline has given up.
constexpr std::chrono::milliseconds kStallLook(200);
// How long reading through the file (for a length or a frame rate that the
// pipeline does not tell) may take.
constexpr std::chrono::milliseconds kScanBudget(4000);
// How long a frame step may take to show its frame, and how often to look
// whether it has.
constexpr std::chrono::milliseconds kStepWait(3000);
constexpr std::chrono::milliseconds kStepLook(5);
// Rates beyond this are not a frame rate but a container's time base.
constexpr double kHighestFrameRate = 1000.0;

REFERENCE_TIME toUnits(gint64 nanoseconds) {
    return nanoseconds / 100;
}
gint64 toNanoseconds(REFERENCE_TIME units) {
    return units * 100;
}

} // namespace

std::unique_ptr<PlaybackGraph> PlaybackGraph::Create() {
    if (!MediaPlatformInitialized())
        return nullptr;
    return std::make_unique<GstPlaybackGraph>();
}

GstPlaybackGraph::GstPlaybackGraph() = default;

GstPlaybackGraph::~GstPlaybackGraph() {
    Teardown();
}

HRESULT GstPlaybackGraph::Fail(HRESULT hr, const QString& text, bool wait) {
    lastError_ = ShortErrorText(text);
    Teardown(wait);
    return hr;
}

HRESULT GstPlaybackGraph::RenderFile(const QString& path, bool withDisplay,
                                     std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    Teardown();
    frames_.reset();
    lastError_.clear();

    QString why;
    const HRESULT checked = CheckPlayableFile(path, timeout, &why);
    if (Failed(checked))
        return Fail(checked, why);

    const HRESULT built = Build(path, withDisplay);
    if (Failed(built))
        return built;
    const HRESULT paused = WaitUntilPaused(deadline);
    if (Failed(paused))
        return paused;

    ReadStreams();
    if (!hasVideo_ && !hasAudio_) {
        QString text = QStringLiteral("The file has no stream that can be played.");
        {
            std::lock_guard lock(bus_->mutex);
            if (!bus_->missing.isEmpty())
                text = QStringLiteral("No decoder is installed for %1.")
                           .arg(bus_->missing.join(QStringLiteral(", ")));
        }
        return Fail(VFW_E_CANNOT_RENDER, text);
    }
    HRESULT late = S_OK;
    QString lateText;
    {
        std::lock_guard lock(bus_->mutex);
        if (bus_->failed) {
            late = bus_->errorCode;
            lateText = bus_->errorText;
        } else {
            // From now on end of stream and errors are the owner's events.
            bus_->events = &events_;
        }
    }
    if (Failed(late))
        return Fail(late, lateText);
    // Paused on its first frame: where the pictures start on the file's
    // clock, which positions and seeks are counted from.
    gint64 first = 0;
    streamStart_ = 0;
    if ((IsTransportStream(path) || IsProgramStream(path)) &&
        gst_element_query_position(pipeline_, GST_FORMAT_TIME, &first) && first > 0)
        streamStart_ = toUnits(first);
    NoteStreamStart(path, streamStart_);
    path_ = path;
    state_ = GraphState::Stopped;
    return S_OK;
}

HRESULT GstPlaybackGraph::Build(const QString& path, bool withDisplay) {
    gchar* uri = gst_filename_to_uri(
        QFile::encodeName(QFileInfo(path).absoluteFilePath()).constData(), nullptr);
    if (!uri)
        return Fail(VFW_E_NOT_FOUND, QStringLiteral("The file name cannot be used."));
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    if (!playbin) {
        g_free(uri);
        return Fail(E_FAIL, QStringLiteral("The playback element is not installed."));
    }
    pipeline_ = GST_ELEMENT(gst_object_ref_sink(playbin));
    WatchProgramStreamSeeks(pipeline_);
    bus_ = std::make_shared<PlaybackBusState>();
    WatchPlaybackBus(pipeline_, bus_);

    GstElement* videoSink = nullptr;
    GstElement* audioSink = nullptr;
    guint flags = kPlayVideo | kPlayAudio | kPlayNativeVideo;
    if (withDisplay) {
        frames_ = FrameMailbox::Create();
        if (onFrame_ && frameReceiver_)
            frames_->SetTarget(frameReceiver_, onFrame_);
        videoSink = CreateDisplayVideoSink(frames_);
        audioSink = CreateAudioOutput();
        flags |= kPlayDeinterlace;
    } else {
        // A probe only needs every stream decoded up to its first frame.
        videoSink = CreateDiscardSink("video/x-raw");
        audioSink = CreateDiscardSink("audio/x-raw");
        flags |= kPlayNativeAudio;
    }
    if (!videoSink || !audioSink) {
        for (GstElement* sink : {videoSink, audioSink})
            if (sink)
                gst_object_unref(gst_object_ref_sink(sink));
        g_free(uri);
        return Fail(E_FAIL, QStringLiteral("A GStreamer element needed for playback is missing."));
    }
    g_object_set(pipeline_, "uri", uri, "flags", flags, "video-sink", videoSink, "audio-sink",
                 audioSink, nullptr);
    g_free(uri);
    return S_OK;
}

HRESULT GstPlaybackGraph::WaitUntilPaused(Clock::time_point deadline) {
    const std::shared_ptr<PlaybackBusState> bus = bus_;
    // Going to PAUSED already reads the file (finding its type), which can
    // take any time on a slow or dead mount: it runs on a thread of its own.
    gst_object_ref(pipeline_);
    std::thread([pipeline = pipeline_, bus] {
        const GstStateChangeReturn change = gst_element_set_state(pipeline, GST_STATE_PAUSED);
        {
            std::lock_guard lock(bus->mutex);
            bus->pausing = change;
        }
        bus->changed.notify_all();
        gst_object_unref(pipeline);
    }).detach();

    HRESULT hr = S_OK;
    QString text;
    int stalledLooks = 0;
    std::unique_lock lock(bus->mutex);
    for (;;) {
        // An asynchronous change ends with "done"; the others when the call returns.
        const auto over = [&] {
            return bus->failed || bus->asyncDone > 0 ||
                   (bus->pausing >= 0 && bus->pausing != GST_STATE_CHANGE_ASYNC);
        };
        const auto slice = std::min(deadline, Clock::now() + kStallLook);
        if (bus->changed.wait_until(lock, slice, over))
            break;
        if (Clock::now() >= deadline) {
            hr = VFW_E_TIMEOUT;
            text = QStringLiteral("Opening the file took too long.");
            break;
        }
        if (bus->pausing < 0)
            continue;
        // Nothing runs any more and nothing was said: the file was given up
        // on without an error reaching the bus.
        lock.unlock();
        stalledLooks = PipelineHasStalled(pipeline_) ? stalledLooks + 1 : 0;
        lock.lock();
        if (stalledLooks >= 2 && !over()) {
            hr = VFW_E_CANNOT_RENDER;
            text = QStringLiteral("The file is damaged or in a format that cannot be played.");
            break;
        }
    }
    if (bus->failed) {
        hr = bus->errorCode;
        text = bus->errorText;
    } else if (Succeeded(hr) && bus->pausing == GST_STATE_CHANGE_FAILURE) {
        hr = VFW_E_CANNOT_RENDER;
        text = QStringLiteral("The file cannot be played.");
    }
    lock.unlock();
    // A pipeline that did not answer in time is not waited for again.
    return Failed(hr) ? Fail(hr, text, hr != VFW_E_TIMEOUT) : S_OK;
}

void GstPlaybackGraph::ReadStreams() {
    gint videos = 0;
    gint audios = 0;
    g_object_get(pipeline_, "n-video", &videos, "n-audio", &audios, nullptr);
    hasAudio_ = audios > 0;
    hasVideo_ = false;
    if (videos <= 0)
        return;
    GstPad* pad = nullptr;
    g_signal_emit_by_name(pipeline_, "get-video-pad", 0, &pad);
    if (!pad)
        return;
    if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
        const GstStructure* s = gst_caps_get_structure(caps, 0);
        if (gst_structure_get_int(s, "width", &width_) &&
            gst_structure_get_int(s, "height", &height_) && width_ > 0 && height_ > 0)
            hasVideo_ = true;
        if (!gst_structure_get_fraction(s, "framerate", &fpsNum_, &fpsDen_))
            fpsNum_ = fpsDen_ = 0;
        gst_caps_unref(caps);
    }
    gst_object_unref(pad);
    // A picture tagged as turned by a quarter (phone video) is shown, and
    // converted, standing: its size is the one shown.
    GstTagList* tags = nullptr;
    g_signal_emit_by_name(pipeline_, "get-video-tags", 0, &tags);
    if (tags) {
        gchar* orientation = nullptr;
        if (gst_tag_list_get_string(tags, GST_TAG_IMAGE_ORIENTATION, &orientation)) {
            if (g_str_has_suffix(orientation, "-90") || g_str_has_suffix(orientation, "-270"))
                std::swap(width_, height_);
            g_free(orientation);
        }
        gst_tag_list_unref(tags);
    }
}

void GstPlaybackGraph::Teardown(bool wait) {
    if (frames_)
        frames_->SetTarget(nullptr, nullptr);
    if (bus_) {
        std::lock_guard lock(bus_->mutex);
        bus_->events = nullptr;
    }
    if (pipeline_)
        ReleasePipeline(std::exchange(pipeline_, nullptr),
                        wait ? kReleaseWait : std::chrono::milliseconds(0));
    events_.Clear();
    bus_.reset();
    path_.clear();
    state_ = GraphState::Stopped;
    rate_ = 1.0;
    hasVideo_ = hasAudio_ = false;
    width_ = height_ = fpsNum_ = fpsDen_ = 0;
    countedPeriod_ = -1.0;
    scan_.reset();
    duration_ = -1;
    mpegSpan_ = 0;
    lastPosition_ = seekTarget_ = 0;
    streamStart_ = 0;
    seekIssued_ = false;
    stepHeld_ = false;
    stepPosition_ = 0;
    // The last frame stays readable until another file is rendered.
}

HRESULT GstPlaybackGraph::ChangeState(int gstState, GraphState state) {
    if (!pipeline_)
        return VFW_E_WRONG_STATE;
    if (gst_element_set_state(pipeline_, static_cast<GstState>(gstState)) ==
        GST_STATE_CHANGE_FAILURE) {
        std::lock_guard lock(bus_->mutex);
        lastError_ = bus_->failed ? bus_->errorText
                                  : QStringLiteral("The playback state could not be changed.");
        return E_FAIL;
    }
    state_ = state;
    if (state == GraphState::Running)
        stepHeld_ = false; // the position moves on from the stepped frame
    return S_OK;
}

HRESULT GstPlaybackGraph::Run() {
    return ChangeState(GST_STATE_PLAYING, GraphState::Running);
}
HRESULT GstPlaybackGraph::Pause() {
    return ChangeState(GST_STATE_PAUSED, GraphState::Paused);
}
HRESULT GstPlaybackGraph::Stop() {
    return ChangeState(GST_STATE_PAUSED, GraphState::Stopped);
}

bool GstPlaybackGraph::SeekPending() {
    if (!seekIssued_)
        return false;
    std::lock_guard lock(bus_->mutex);
    if (bus_->asyncDone > seekMark_ || bus_->failed)
        seekIssued_ = false;
    return seekIssued_;
}

HRESULT GstPlaybackGraph::GetCurrentPosition(REFERENCE_TIME* position) {
    if (!position)
        return E_POINTER;
    if (!pipeline_)
        return VFW_E_WRONG_STATE;
    // Until a seek has completed the pipeline may still answer the old place.
    if (SeekPending()) {
        *position = seekTarget_;
        return S_OK;
    }
    if (stepHeld_) {
        *position = stepPosition_;
        return S_OK;
    }
    gint64 now = 0;
    if (gst_element_query_position(pipeline_, GST_FORMAT_TIME, &now) && now >= 0)
        lastPosition_ = std::max<REFERENCE_TIME>(0, toUnits(now) - streamStart_);
    *position = lastPosition_;
    return S_OK;
}

HRESULT GstPlaybackGraph::GetDuration(REFERENCE_TIME* duration) {
    if (!duration)
        return E_POINTER;
    if (!pipeline_)
        return VFW_E_WRONG_STATE;
    {
        std::lock_guard lock(bus_->mutex);
        if (bus_->durationChanged) {
            bus_->durationChanged = false;
            duration_ = -1;
        }
    }
    gint64 estimate = -1;
    if (duration_ < 0 && !gst_element_query_duration(pipeline_, GST_FORMAT_TIME, &estimate))
        estimate = -1;
    if (duration_ < 0 && mpegSpan_ == 0) {
        // MPEG streams: from the first picture to the end of the last, not
        // the demultiplexer's estimate from the bit rate.
        mpegSpan_ = -1;
        if (hasVideo_ && fpsNum_ > 0 && fpsDen_ > 0 && fpsNum_ <= kHighestFrameRate * fpsDen_) {
            const gint64 span = MpegStreamLength(
                path_, gint64(gst_util_uint64_scale(GST_SECOND, fpsDen_, guint64(fpsNum_))),
                estimate);
            mpegSpan_ = span > 0 ? span : -1;
        }
    }
    if (duration_ < 0 && mpegSpan_ > 0)
        duration_ = toUnits(mpegSpan_);
    if (duration_ < 0 && estimate >= 0)
        duration_ = toUnits(estimate);
    if (duration_ < 0 && !scan_) {
        // Some streams (an MPEG audio file without a header that tells its
        // length) know their length only once read through.
        Scan();
        if (scan_->complete && scan_->Length() > 0)
            duration_ = toUnits(scan_->Length());
    }
    if (duration_ < 0) {
        lastError_ = QStringLiteral("The length of the file is not known.");
        return E_FAIL;
    }
    *duration = duration_;
    return S_OK;
}

void GstPlaybackGraph::Scan() {
    scan_ = std::make_unique<MediaScan>();
    ScanMediaFile(path_, kScanBudget, scan_.get());
}

HRESULT GstPlaybackGraph::GetStopPosition(REFERENCE_TIME* position) {
    // The stop position is never moved: it is the end of the file.
    return GetDuration(position);
}

bool GstPlaybackGraph::SeekTo(double rate, int64_t nanoseconds) {
    uint64_t mark = 0;
    {
        std::lock_guard lock(bus_->mutex);
        mark = bus_->asyncDone;
    }
    const bool done = gst_element_seek(
        pipeline_, rate, GST_FORMAT_TIME,
        static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
        nanoseconds + toNanoseconds(streamStart_), GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
    if (done) {
        stepHeld_ = false;
        seekMark_ = mark;
        seekIssued_ = true;
        seekTarget_ = toUnits(nanoseconds);
        lastPosition_ = seekTarget_;
    }
    return done;
}

HRESULT GstPlaybackGraph::SetPositions(REFERENCE_TIME current) {
    if (!pipeline_)
        return VFW_E_WRONG_STATE;
    current = std::max<REFERENCE_TIME>(current, 0);
    REFERENCE_TIME length = 0;
    if (Succeeded(GetDuration(&length)) && current > length)
        current = length;
    if (!SeekTo(rate_, toNanoseconds(current))) {
        lastError_ = QStringLiteral("The position could not be changed.");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT GstPlaybackGraph::SetRate(double rate) {
    if (!pipeline_)
        return VFW_E_WRONG_STATE;
    if (!(rate > 0.0))
        return E_INVALIDARG;
    if (rate == rate_)
        return S_OK;
    REFERENCE_TIME position = 0;
    GetCurrentPosition(&position);
    if (!SeekTo(rate, toNanoseconds(position))) {
        lastError_ = QStringLiteral("The playback rate could not be changed.");
        return E_FAIL;
    }
    rate_ = rate;
    return S_OK;
}

HRESULT GstPlaybackGraph::StepForward(uint32_t frames) {
    if (!pipeline_)
        return VFW_E_WRONG_STATE;
    if (!hasVideo_)
        return E_NOINTERFACE;
    if (state_ == GraphState::Running)
        return VFW_E_WRONG_STATE;
    if (frames == 0)
        return S_OK;
    const Clock::time_point deadline = Clock::now() + kStepWait;
    uint64_t mark = 0;
    {
        std::unique_lock lock(bus_->mutex);
        // A seek still under way is let land first: the step counts from
        // the frame it shows.
        if (seekIssued_)
            bus_->changed.wait_until(lock, deadline,
                                     [&] { return bus_->failed || bus_->asyncDone > seekMark_; });
        mark = bus_->stepsDone;
    }
    SeekPending(); // notes a finished seek
    const int64_t before = frames_ ? frames_->LatestStreamTime() : -1;
    if (!gst_element_send_event(pipeline_,
                                gst_event_new_step(GST_FORMAT_BUFFERS, frames, 1.0, TRUE, FALSE))) {
        lastError_ = QStringLiteral("The video cannot be stepped frame by frame.");
        return E_FAIL;
    }
    // Done when the sink has stepped and holds the new frame (the two may
    // come in either order), or when the step ran into the end.
    bool stepped = false;
    bool atEnd = false;
    QString failure;
    for (;;) {
        {
            std::unique_lock lock(bus_->mutex);
            if (bus_->failed) {
                failure = bus_->errorText;
                break;
            }
            stepped = bus_->stepsDone > mark;
            atEnd = stepped && bus_->stepReachedEnd;
            if (!stepped)
                bus_->changed.wait_until(lock, std::min(deadline, Clock::now() + kStepLook));
        }
        const bool newFrame = !frames_ || frames_->LatestStreamTime() != before;
        if ((stepped && (newFrame || atEnd)) || Clock::now() >= deadline)
            break;
        if (stepped)
            std::this_thread::sleep_for(kStepLook);
    }
    if (!failure.isEmpty()) {
        lastError_ = failure;
        return E_FAIL;
    }
    if (!stepped) {
        lastError_ = QStringLiteral("The video did not step to its next frame.");
        return VFW_E_TIMEOUT;
    }
    // The position is the stepped frame's own time, exactly, so that what
    // is marked is what is seen.
    const int64_t shown = frames_ ? frames_->LatestStreamTime() : -1;
    if (shown >= 0 && shown != before) {
        stepPosition_ = std::max<REFERENCE_TIME>(0, toUnits(shown) - streamStart_);
        stepHeld_ = true;
        lastPosition_ = stepPosition_;
    }
    return atEnd ? S_FALSE : S_OK;
}

HRESULT GstPlaybackGraph::GetVideoSize(int32_t* width, int32_t* height) {
    if (!width || !height)
        return E_POINTER;
    if (!pipeline_)
        return VFW_E_WRONG_STATE;
    if (!hasVideo_)
        return E_NOINTERFACE;
    *width = width_;
    *height = height_;
    return S_OK;
}

HRESULT GstPlaybackGraph::GetAvgTimePerFrame(double* seconds) {
    if (!seconds)
        return E_POINTER;
    if (!pipeline_)
        return VFW_E_WRONG_STATE;
    if (!hasVideo_)
        return E_NOINTERFACE;
    const double rate = fpsDen_ > 0 ? static_cast<double>(fpsNum_) / fpsDen_ : 0.0;
    if (rate > 0.0 && rate <= kHighestFrameRate) {
        *seconds = 1.0 / rate;
        return S_OK;
    }
    // A variable rate (or none told): the mean rate is the frames counted in
    // the file over its length.
    if (countedPeriod_ < 0.0) {
        REFERENCE_TIME length = 0;
        const double lengthSeconds =
            Succeeded(GetDuration(&length)) ? double(length) / kUnitsPerSecond : 0.0;
        if (!scan_)
            Scan();
        const double mean = MeanFrameRate(*scan_, lengthSeconds);
        countedPeriod_ = mean > 0.0 ? 1.0 / mean : 0.0;
    }
    *seconds = countedPeriod_;
    return S_OK;
}

void GstPlaybackGraph::SetFrameTarget(QObject* receiver,
                                      std::function<void(const QImage&)> onFrame) {
    frameReceiver_ = receiver;
    onFrame_ = std::move(onFrame);
    if (frames_)
        frames_->SetTarget(receiver, onFrame_);
}

QImage GstPlaybackGraph::LastFrame() const {
    return frames_ ? frames_->Latest() : QImage();
}

REFERENCE_TIME GstPlaybackGraph::LastFrameTime() const {
    const int64_t t = frames_ ? frames_->LatestStreamTime() : -1;
    return t < 0 ? -1 : t / 100;
}

uint64_t GstPlaybackGraph::FramesRendered() const {
    return frames_ ? frames_->Rendered() : 0;
}

uint64_t GstPlaybackGraph::FramesDropped() const {
    uint64_t dropped = frames_ ? frames_->Superseded() : 0;
    if (bus_) {
        std::lock_guard lock(bus_->mutex);
        dropped += bus_->DroppedFrames();
    }
    return dropped;
}

} // namespace orvelin::media
