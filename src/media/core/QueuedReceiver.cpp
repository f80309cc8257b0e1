#include "media/core/QueuedReceiver.h"

#include <QObject>

namespace orvelin::media {

std::shared_ptr<QueuedReceiver> QueuedReceiver::Create() {
    return std::shared_ptr<QueuedReceiver>(new QueuedReceiver());
}

QueuedReceiver::~QueuedReceiver() {
    std::lock_guard lock(mutex_);
    QObject::disconnect(destroyed_);
}

void QueuedReceiver::Set(QObject* receiver) {
    std::lock_guard lock(mutex_);
    QObject::disconnect(destroyed_);
    destroyed_ = {};
    receiver_ = receiver;
    if (!receiver)
        return;
    // Runs inside the object's destructor, on its thread, before the object
    // is gone: after it no thread can reach the object through this handle.
    std::weak_ptr<QueuedReceiver> weak = weak_from_this();
    destroyed_ = QObject::connect(receiver, &QObject::destroyed, [weak, receiver] {
        if (auto self = weak.lock())
            self->Forget(receiver);
    });
}

void QueuedReceiver::Forget(QObject* receiver) {
    std::lock_guard lock(mutex_);
    if (receiver_ == receiver) {
        receiver_ = nullptr;
        destroyed_ = {};
    }
}

bool QueuedReceiver::Post(std::function<void()> call) {
    std::lock_guard lock(mutex_);
    if (!receiver_)
        return false;
    return QMetaObject::invokeMethod(receiver_, std::move(call), Qt::QueuedConnection);
}

bool QueuedReceiver::HasReceiver() const {
    std::lock_guard lock(mutex_);
    return receiver_ != nullptr;
}

} // namespace orvelin::media
