#pragma once

#include "media/MediaPlatform.h"

#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

class QObject;

namespace orvelin::media {

// Event codes of a graph, as its owner reads them with GetEvent.
constexpr long EC_COMPLETE = 0x01;
constexpr long EC_USERABORT = 0x02;
constexpr long EC_ERRORABORT = 0x03;

struct GraphEvent {
    long code = 0;
    HRESULT hr = S_OK; // for EC_ERRORABORT
    QString text;      // readable error text, at most 160 characters
};

// The event queue of a graph. GStreamer's threads push events; the owner is
// told through a queued call on its own (UI) thread and then drains the queue
// with GetEvent, as a window drains its graph events on the notify message.
class GraphEventQueue {
public:
    GraphEventQueue();
    ~GraphEventQueue();
    GraphEventQueue(const GraphEventQueue&) = delete;
    GraphEventQueue& operator=(const GraphEventQueue&) = delete;

    // `receiver` lives in the UI thread; `notify` runs there, queued, once
    // for every batch of pushed events. A null receiver stops notification.
    // A receiver that is deleted stops notification by itself.
    void SetNotifyWindow(QObject* receiver, std::function<void()> notify);
    // Thread-safe; may be called from any thread.
    void Push(GraphEvent event);
    // Takes the oldest waiting event; E_ABORT-like failure (E_FAIL) when none waits.
    HRESULT GetEvent(GraphEvent* event);
    void Clear();

private:
    // Shared with queued notifications that may outlive the queue.
    struct State;
    // Tells the owner that events wait, unless a notification is already on
    // its way. The caller holds the state's mutex.
    static void NotifyOwner(const std::shared_ptr<State>& state);
    std::shared_ptr<State> state_;
};

} // namespace orvelin::media
