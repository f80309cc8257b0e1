#pragma once

#include "convert/MainState.h"
#include "options/CompressorCatalog.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <thread>

namespace orvelin {

// Whether the output settings ask for a cut without re-encoding.
bool CopyChosen(const OutputSettings& out);

// Why the marked part of the opened video cannot be written as chosen
// without re-encoding, in one plain sentence; empty when it can. Looks at
// the source's packets around the marks.
QString CopyRefusalText(const MainState& state);

// The end of a cut without re-encoding stopped before any picture reached
// the file: the output, when there was one (`existed`), is left as it was.
QString StoppedBeforeWritingText(const QString& outputPath, bool existed);

// One cut without re-encoding, run on a thread of its own. Its end reaches
// `receiver`'s thread as a queued call.
class CopyConversion {
public:
    // How a run that was not stopped ended. A run whose pictures end
    // clearly before the End Time mark (a source cut short since it was
    // opened, or sound that runs on long after the pictures) has failed:
    // its file lacks part of what was marked.
    struct End {
        bool failed = false;
        QString error;
        QString damage; // what the source was found damaged in, as a warning ("" for none)
    };
    CopyConversion(const MainState& state, const QString& writePath, QObject* receiver,
                   std::function<void(End)> onEnd);
    // Stops the writing (the file is closed properly) and waits for it; the
    // end is not reported then.
    void Stop();
    ~CopyConversion();
    CopyConversion(const CopyConversion&) = delete;
    CopyConversion& operator=(const CopyConversion&) = delete;

    // How much of the marked part is written (100 ns units).
    int64_t Written() const { return written_.load(); }
    // Whether a picture has reached the file yet: the two ends are encoded
    // before the writing starts, and a run stopped before then wrote
    // nothing.
    bool WroteAny() const { return wroteAny_.load(); }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int64_t> written_{0};
    std::atomic<bool> wroteAny_{false};
    std::thread thread_;
};

} // namespace orvelin
