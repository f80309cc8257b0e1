#pragma once

#include "media/GraphEvents.h"
#include "media/MediaPlatform.h"

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

typedef struct _GstElement GstElement;

namespace orvelin::media {

// What the bus of one playback pipeline has said, written by GStreamer's
// threads (through a synchronous bus handler) and read by the graph.
struct PlaybackBusState {
    std::mutex mutex;
    std::condition_variable changed;

    const void* pipeline = nullptr; // the message source of pipeline-wide news
    uint64_t asyncDone = 0;         // pipeline-wide "state change completed" count
    bool failed = false;            // an error was posted
    int pausing = -1;               // what setting PAUSED answered, once it has
    HRESULT errorCode = S_OK;       // ... the first one
    QString errorText;              // ... its text, at most 160 characters
    QStringList missing;            // descriptions of missing plug-ins
    bool durationChanged = false;
    uint64_t stepsDone = 0;      // video frame steps completed
    bool stepReachedEnd = false; // ... the last one ran into the end of the stream
    std::map<const void*, uint64_t> droppedFrames; // per element, as its QoS tells

    // Once the graph is built, end of stream and errors go here as events.
    // Null when the graph is gone.
    GraphEventQueue* events = nullptr;

    uint64_t DroppedFrames() const; // caller holds the mutex
};

// Routes every message of `pipeline`'s bus into `state`. The handler keeps the
// state alive for as long as the bus exists.
void WatchPlaybackBus(GstElement* pipeline, const std::shared_ptr<PlaybackBusState>& state);

} // namespace orvelin::media
