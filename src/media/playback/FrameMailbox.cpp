#include "media/playback/FrameMailbox.h"

#include "media/core/QueuedReceiver.h"

namespace orvelin::media {

std::shared_ptr<FrameMailbox> FrameMailbox::Create() {
    return std::shared_ptr<FrameMailbox>(new FrameMailbox());
}

FrameMailbox::FrameMailbox() : receiver_(QueuedReceiver::Create()) {}

void FrameMailbox::SetTarget(QObject* receiver, std::function<void(const QImage&)> onFrame) {
    std::lock_guard lock(mutex_);
    receiver_->Set(onFrame ? receiver : nullptr);
    onFrame_ = receiver ? std::move(onFrame) : nullptr;
    deliveryQueued_ = false; // one queued for an earlier receiver may never run
    waiting_ = !latest_.isNull();
    waitingRendered_ = false;
    QueueDelivery();
}

void FrameMailbox::Post(const QImage& frame, bool rendered, int64_t streamTime) {
    std::lock_guard lock(mutex_);
    latestTime_ = streamTime;
    if (rendered)
        ++rendered_;
    if (!onFrame_ || !receiver_->HasReceiver()) {
        latest_ = frame;
        return;
    }
    if (waiting_ && waitingRendered_)
        ++superseded_;
    latest_ = frame;
    waiting_ = true;
    waitingRendered_ = rendered;
    QueueDelivery();
}

void FrameMailbox::QueueDelivery() {
    if (deliveryQueued_ || !waiting_ || !onFrame_)
        return;
    std::weak_ptr<FrameMailbox> weak = weak_from_this();
    deliveryQueued_ = receiver_->Post([weak] {
        if (auto self = weak.lock())
            self->Deliver();
    });
}

void FrameMailbox::Deliver() {
    QImage frame;
    std::function<void(const QImage&)> onFrame;
    {
        std::lock_guard lock(mutex_);
        deliveryQueued_ = false;
        if (!waiting_ || !onFrame_)
            return;
        waiting_ = false;
        frame = latest_;
        onFrame = onFrame_;
    }
    onFrame(frame);
}

QImage FrameMailbox::Latest() const {
    std::lock_guard lock(mutex_);
    return latest_;
}

int64_t FrameMailbox::LatestStreamTime() const {
    std::lock_guard lock(mutex_);
    return latestTime_;
}

uint64_t FrameMailbox::Rendered() const {
    std::lock_guard lock(mutex_);
    return rendered_ - superseded_;
}

uint64_t FrameMailbox::Superseded() const {
    std::lock_guard lock(mutex_);
    return superseded_;
}

} // namespace orvelin::media
