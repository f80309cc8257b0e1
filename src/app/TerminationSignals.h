#pragma once

#include <QObject>

class QSocketNotifier;

namespace orvelin {

// SIGTERM, SIGINT and SIGHUP as events of the program's loop. The handler
// only writes the signal's number into a pipe; the user-interface thread
// reads it there and says Received. The first such signal also puts the
// default handling back, so a second one ends the process at once (when
// the orderly end hangs). One object at a time; its end restores the
// handling it found.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the handlers could not be set up (the signals then end
    // the process as they always do).
    bool Active() const { return notifier_ != nullptr; }

signals:
    void Received(int signalNumber);

private:
    void Read();

    QSocketNotifier* notifier_ = nullptr;
};

} // namespace orvelin
