#include "media/GraphEvents.h"

#include "media/core/QueuedReceiver.h"

#include <mutex>

namespace orvelin::media {

struct GraphEventQueue::State {
    std::mutex mutex;
    std::deque<GraphEvent> events;
    std::shared_ptr<QueuedReceiver> receiver = QueuedReceiver::Create();
    std::function<void()> notify;
    bool notifyPending = false;
};

GraphEventQueue::GraphEventQueue() : state_(std::make_shared<State>()) {}

GraphEventQueue::~GraphEventQueue() {
    std::lock_guard lock(state_->mutex);
    state_->receiver->Set(nullptr);
    state_->notify = nullptr;
    state_->events.clear();
}

void GraphEventQueue::SetNotifyWindow(QObject* receiver, std::function<void()> notify) {
    std::lock_guard lock(state_->mutex);
    state_->receiver->Set(receiver);
    state_->notify = receiver ? std::move(notify) : nullptr;
    // A notification queued for an earlier receiver may never run.
    state_->notifyPending = false;
    NotifyOwner(state_);
}

void GraphEventQueue::Push(GraphEvent event) {
    if (event.text.size() > 160)
        event.text = event.text.left(160);
    std::lock_guard lock(state_->mutex);
    state_->events.push_back(std::move(event));
    NotifyOwner(state_);
}

HRESULT GraphEventQueue::GetEvent(GraphEvent* event) {
    if (!event)
        return E_POINTER;
    std::lock_guard lock(state_->mutex);
    if (state_->events.empty())
        return E_FAIL;
    *event = std::move(state_->events.front());
    state_->events.pop_front();
    return S_OK;
}

void GraphEventQueue::Clear() {
    std::lock_guard lock(state_->mutex);
    state_->events.clear();
}

void GraphEventQueue::NotifyOwner(const std::shared_ptr<State>& state) {
    if (state->notifyPending || state->events.empty() || !state->notify)
        return;
    std::weak_ptr<State> weak = state;
    state->notifyPending = state->receiver->Post([weak] {
        auto self = weak.lock();
        if (!self)
            return; // the queue is gone
        std::function<void()> notify;
        {
            std::lock_guard lock(self->mutex);
            self->notifyPending = false;
            if (self->events.empty())
                return;
            notify = self->notify;
        }
        if (notify)
            notify();
    });
}

} // namespace orvelin::media
