#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <memory>

namespace orvelin::test {

// Runs `action` on the first modal dialog of type T that opens while the
// returned timer lives (checked every 20 ms from the dialog's own event
// loop); `*ran` tells whether it did. Any other modal dialog still open
// after 10 s is rejected so that no test hangs.
template <typename T> std::unique_ptr<QTimer> WhenModal(std::function<void(T*)> action, bool* ran) {
    *ran = false;
    auto timer = std::make_unique<QTimer>();
    QTimer* raw = timer.get();
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(raw, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<T*>(modal)) {
            raw->stop();
            *ran = true;
            action(dialog);
        } else if (auto* other = qobject_cast<QDialog*>(modal);
                   other && started->elapsed() > 10000) {
            other->reject();
        }
    });
    timer->start(20);
    return timer;
}

} // namespace orvelin::test
