#pragma once

// The GStreamer side of a filter graph; included by code of the media seam only.

#include "media/FilterGraph.h"
#include "media/Timeline.h"
#include "media/timeline/SourceWatch.h"

#include <gst/gst.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace orvelin::media {

class StreamEnds;

// One output of the timeline (a group) and the chain that takes it.
struct GraphBranch {
    GstPad* source = nullptr; // the timeline's pad of the group (reference held)
    MediaMajorType kind = MediaMajorType::None;
    GstPad* head = nullptr; // the first pad of the chain linked to it (reference held)
    // The group's frame size (video only) and the size the chain writes.
    int width = 0;
    int height = 0;
    int writtenWidth = 0;
    int writtenHeight = 0;
    // The colorimetry of the group's pictures before they became RGB, kept
    // when they are made 4:2:0 again for an encoder ("" when not known).
    std::string colorimetry;
};

struct FilterGraph::Impl {
    Impl();
    ~Impl();

    GstElement* pipeline = nullptr;    // reference held
    GstElement* timeline = nullptr;    // the timeline element inside the pipeline
    std::vector<GraphBranch> branches; // by group number
    std::vector<GraphFilterEntry> filters;
    WatchedStreams sources; // the streams the timeline's clips decode
    // The timeline's length; GST_CLOCK_TIME_NONE when not known.
    GstClockTime plannedLength = GST_CLOCK_TIME_NONE;
    GraphEventQueue events;
    // Keeps the sound ending with the picture (file outputs only).
    std::shared_ptr<StreamEnds> streamEnds;

    mutable std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool finishing = false;
    bool eos = false;
    bool completeQueued = false;
    bool errorSeen = false;
    HRESULT errorHr = S_OK;
    QString errorText;
    // The written file as the user knows it (see FilterGraph::ShowFileAs).
    QString writtenFile;
    QString shownFile;
    std::chrono::milliseconds finishTimeout{10000};

    // The watch on a running graph that stops making progress: buffers
    // leaving the timeline or reaching the end of the graph (the file writer,
    // the preview sinks) are counted, and a graph that plays without one for
    // `stallTimeout` is ended with an error.
    std::atomic<uint64_t> progress{0};
    std::chrono::milliseconds stallTimeout{10000};
    std::thread stallWatch;
    bool stallWatchStop = false;
    std::vector<std::pair<GstPad*, gulong>> progressProbes; // pad references held

    // Creates an element and puts it in the pipeline; nullptr when the
    // factory is missing.
    GstElement* AddElement(const char* factory, const char* name = nullptr);
    // Whether `element` is one of the added filters.
    bool HoldsFilterElement(GstElement* element) const;
    void OnBusMessage(GstMessage* message);
    // `text` with the written file named as the user knows it.
    QString ShownText(QString text) const;
    // Ends every stream where it stands and waits for the file to be complete.
    void Finish();
    // Starts and ends the watch on a graph that stops making progress.
    void StartStallWatch();
    void EndStallWatch();
    // The error text of a graph that stopped making progress.
    QString StalledText() const;
    // Stops the pipeline and takes the added filters out of it.
    void Release();
};

} // namespace orvelin::media
