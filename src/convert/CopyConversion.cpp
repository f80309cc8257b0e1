#include "convert/CopyConversion.h"

#include "convert/SourceDamage.h"
#include "media/SmartCut.h"
#include "options/CompressorCatalog.h"
#include "options/OutputSettings.h"

#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <cmath>

namespace orvelin {

namespace {

media::SmartCutJob JobFor(const MainState& state, const QString& writePath) {
    media::SmartCutJob job;
    job.source = state.items.empty() ? std::string() : state.items[0].path.toStdString();
    job.output = writePath.toStdString();
    job.start = state.trimStart;
    job.end = state.trimEnd;
    job.muxer = ContainerMultiplexer(state.output.outputFormat).toStdString();
    job.copyVideo = state.output.useVideoCompressor == kCopyStream;
    job.copyAudio = state.output.useAudioCompressor == kCopyStream;
    return job;
}

QString Seconds(int64_t t) {
    return QString::number(double(t) / 1e7, 'f', 2) + QStringLiteral(" s");
}

} // namespace

bool CopyChosen(const OutputSettings& out) {
    return out.useVideoCompressor == kCopyStream || out.useAudioCompressor == kCopyStream;
}

QString CopyRefusalText(const MainState& state) {
    const OutputSettings& out = state.output;
    if (state.items.size() != 1)
        return QStringLiteral("Only one opened video can be cut without re-encoding.");
    if (out.outputFormat != kContainerMkv && out.outputFormat != kContainerMp4)
        return QStringLiteral("Only Matroska and MP4 files can be written without "
                              "re-encoding.");
    if (out.useVideoCompressor != kCopyStream)
        return QStringLiteral("The sound can only be copied when the video is copied too: "
                              "choose \"Copy (no re-encoding)\" for the video as well.");
    media::SmartCutSource facts;
    const std::string path = state.items[0].path.toStdString();
    if (media::Failed(media::InspectSmartCutSource(path, facts)))
        return QStringLiteral("The opened video cannot be read.");
    if (facts.hasAudio && out.useAudioCompressor != kCopyStream)
        return QStringLiteral("The video can only be copied when the sound is copied too: "
                              "choose \"Copy (no re-encoding)\" for the sound as well.");
    if (facts.width > 0 && (out.outputWidth != facts.width || out.outputHeight != facts.height))
        return QStringLiteral("A copied video keeps its frame size of %1*%2; the output size "
                              "%3*%4 needs re-encoding.")
            .arg(facts.width)
            .arg(facts.height)
            .arg(out.outputWidth)
            .arg(out.outputHeight);
    if (facts.fpsNum > 0 && out.frameRateIndex != 0) {
        const double rate = double(facts.fpsNum) / facts.fpsDen;
        if (std::abs(rate - out.outputFrameRate) > 0.001 * rate)
            return QStringLiteral("A copied video keeps its frame rate of %1 fps; the output "
                                  "rate %2 fps needs re-encoding.")
                .arg(rate, 0, 'f', 3)
                .arg(out.outputFrameRate, 0, 'f', 3);
    }
    return QString::fromStdString(media::SmartCutRefusal(JobFor(state, QString())));
}

QString StoppedBeforeWritingText(const QString& outputPath, bool existed) {
    return existed ? QStringLiteral("Stopped before anything was written; %1 is left as it was.")
                         .arg(outputPath)
                   : QStringLiteral("Stopped before anything was written.");
}

CopyConversion::CopyConversion(const MainState& state, const QString& writePath, QObject* receiver,
                               std::function<void(End)> onEnd) {
    const media::SmartCutJob job = JobFor(state, writePath);
    QPointer<QObject> target(receiver);
    // The last picture is shown until the End Time mark. A source whose
    // pictures end earlier (cut short, or its sound runs on) gives less than
    // was marked; a frame or two of that, or sound a little longer than the
    // pictures, is no loss worth a failure.
    const double rate = state.sourceFrameRate > 0 ? state.sourceFrameRate : 25.0;
    const int64_t frame = std::llround(1e7 / rate);
    const int64_t slack = std::max<int64_t>(2 * frame, 2'500'000);
    const QString name = state.items.empty() ? QString() : state.items[0].path;
    thread_ = std::thread([this, job, target, frame, slack, name, onEnd = std::move(onEnd)] {
        const media::SmartCutReport report =
            media::RunSmartCut(job, stop_, [this](int64_t written) {
                // Pictures come in decoding order: the latest shown counts.
                if (written > written_.load())
                    written_ = written;
                wroteAny_ = true;
            });
        End end;
        end.failed = media::Failed(report.hr);
        end.error = QString::fromStdString(report.error);
        if (report.damage > 0) {
            // Told as a conversion that decodes tells it.
            media::SourceStreamReport damaged;
            damaged.file = name;
            damaged.kind = media::MediaMajorType::Video;
            damaged.warnings = report.damage;
            damaged.firstWarning = QString::fromStdString(report.firstDamage);
            end.damage = SourceDamageText({damaged});
        }
        if (stop_.load() || !target)
            return; // the owner ended the run and reports it itself
        if (const int64_t reached = job.start + written_.load() + frame;
            !end.failed && reached + slack < job.end) {
            end.failed = true;
            end.error = QStringLiteral("The pictures of %1 end at %2, before the End Time mark at "
                                       "%3; the file may be incomplete. The copy was not kept: "
                                       "set the End Time mark to %2 or earlier to copy what "
                                       "there is.")
                            .arg(name, Seconds(reached), Seconds(job.end));
        }
        QMetaObject::invokeMethod(
            target.data(), [onEnd, end] { onEnd(end); }, Qt::QueuedConnection);
    });
}

CopyConversion::~CopyConversion() {
    Stop();
}

void CopyConversion::Stop() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

} // namespace orvelin
