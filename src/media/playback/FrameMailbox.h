#pragma once

#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace orvelin::media {

class QueuedReceiver;

// Hands decoded frames from a streaming thread to the UI thread. Only the
// newest frame is kept: while a delivery is on its way a newer frame replaces
// the waiting one (the replaced frame counts as dropped), so a slow UI never
// piles up frames.
class FrameMailbox : public std::enable_shared_from_this<FrameMailbox> {
public:
    static std::shared_ptr<FrameMailbox> Create();
    FrameMailbox(const FrameMailbox&) = delete;
    FrameMailbox& operator=(const FrameMailbox&) = delete;

    // `onFrame` runs queued on `receiver`'s thread; null stops delivery.
    // The newest frame, if any, is delivered at once to a new target.
    void SetTarget(QObject* receiver, std::function<void(const QImage&)> onFrame);
    // Any thread. `rendered` tells a frame shown while playing from the
    // frame a paused pipeline holds ready.
    // `streamTime` is the frame's time in the file in nanoseconds (-1 when
    // unknown).
    void Post(const QImage& frame, bool rendered, int64_t streamTime = -1);

    QImage Latest() const;
    int64_t LatestStreamTime() const;
    uint64_t Rendered() const;   // frames played, less the replaced ones
    uint64_t Superseded() const; // played frames replaced before delivery

private:
    FrameMailbox();
    void Deliver();
    void QueueDelivery(); // with the mutex held

    mutable std::mutex mutex_;
    std::shared_ptr<QueuedReceiver> receiver_;
    std::function<void(const QImage&)> onFrame_;
    QImage latest_;
    int64_t latestTime_ = -1;
    bool waiting_ = false;         // latest_ not yet delivered
    bool waitingRendered_ = false; // ... and it was a played frame
    bool deliveryQueued_ = false;
    uint64_t rendered_ = 0;
    uint64_t superseded_ = 0;
};

} // namespace orvelin::media
