#pragma once

// core/: what every media role shares: platform start-up (media/MediaPlatform.h),
// graph events delivered to the UI thread (media/GraphEvents.h and this file),
// error texts, pipeline lifetime (PipelineRelease, PipelineActivity) and the
// button sound (media/SoundPlayer.h).

#include <QMetaObject>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace orvelin::media {

// A thread-safe handle on a QObject of the UI thread: any thread may post a
// queued call to it, and no call is ever posted to an object that has been
// deleted (the handle forgets the object as it is destroyed).
class QueuedReceiver : public std::enable_shared_from_this<QueuedReceiver> {
public:
    static std::shared_ptr<QueuedReceiver> Create();
    ~QueuedReceiver();
    QueuedReceiver(const QueuedReceiver&) = delete;
    QueuedReceiver& operator=(const QueuedReceiver&) = delete;

    // Replaces the object (null forgets it).
    void Set(QObject* receiver);
    // Queues `call` on the object's thread; false when there is no object.
    bool Post(std::function<void()> call);
    bool HasReceiver() const;

private:
    QueuedReceiver() = default;
    void Forget(QObject* receiver);

    mutable std::mutex mutex_;
    QObject* receiver_ = nullptr;
    QMetaObject::Connection destroyed_;
};

} // namespace orvelin::media
