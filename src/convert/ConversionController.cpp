#include "convert/ConversionController.h"

#include "app/UiServices.h"
#include "convert/ConvertHost.h"
#include "convert/ConvertSupport.h"
#include "convert/OutputGraphBuilder.h"
#include "convert/SourceDamage.h"
#include "convert/TimelineBuilder.h"
#include "lang/BuiltinStrings.h"
#include "lang/LanguagePack.h"
#include "media/ErrorText.h"
#include "media/PipelineRelease.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <future>
#include <utility>

namespace orvelin {

using media::Failed;
using media::HRESULT;
using media::S_OK;
using media::Succeeded;

ConversionController::ConversionController(ConvertHost& host, QObject* parent)
    : QObject(parent), host_(host),
      windowsMedia_(std::make_unique<WindowsMediaWriterStep>(host.Ui())) {
    progressTimer_.setInterval(kConvertProgressPeriodMs);
    connect(&progressTimer_, &QTimer::timeout, this, [this] { OnTimer(kTimerConvertProgress); });
}

ConversionController::~ConversionController() {
    DiscardPreviewObjects();
    progressTimer_.stop();
    // A cut without re-encoding closes its file before the file takes the
    // output's name; one that wrote nothing yet leaves the output alone.
    bool keep = true;
    if (copy_) {
        copy_->Stop();
        keep = copy_->WroteAny();
        copy_.reset();
    }
    if (job_.mediaControl)
        job_.mediaControl->Stop(); // leaves a playable file behind
    job_.Discard();
    FinishFiles(keep);
}

bool ConversionController::Converting() const {
    return host_.State().converting != 0;
}

void ConversionController::SetWindowsMediaStep(std::unique_ptr<WindowsMediaStep> step) {
    if (step)
        windowsMedia_ = std::move(step);
}

bool ConversionController::ConfirmReplace(bool* replace) {
    *replace = false;
    const QString& path = host_.State().output.outputPath;
    if (!FileExists(path))
        return true;
    const int answer =
        host_.Ui().MessageBox(host_.OwnerWidget(), ReplaceQuestionText(path),
                              LanguagePack::Instance().GetString(IDS_MESSAGE_WARNING),
                              MsgButtons::YesNo, MsgIcon::Warning);
    if (answer != IdYes)
        return false;
    *replace = true;
    return true;
}

void ConversionController::AskFrameRate() {
    MainState& state = host_.State();
    OutputSettings& out = state.output;
    if (out.frameRateIndex != 0 || (out.outputFrameRate <= 100.0 && out.outputFrameRate >= 0.0))
        return;
    const int answer =
        host_.Ui().MessageBox(host_.OwnerWidget(), FrameRateQuestionText(state.sourceFrameRate),
                              QStringLiteral("Warning"), MsgButtons::YesNo);
    // Only for this conversion: the settings store keeps what it had.
    out.outputFrameRate = answer == IdYes ? 23.976 : state.sourceFrameRate;
}

bool ConversionController::ConfirmNoCompressor() {
    const OutputSettings& out = host_.State().output;
    if (out.outputFormat == kContainerWmv || out.outputFormat == kContainerAsf)
        return true;
    if (out.useVideoCompressor == 0) {
        const int answer = host_.Ui().MessageBox(host_.OwnerWidget(), CompressorWarningText(),
                                                 QStringLiteral("Warning"), MsgButtons::YesNo);
        if (answer == IdNo)
            return false;
    }
    DisableDivXFeedback();
    return true;
}

void ConversionController::OnConvertClicked() {
    if (settingUp_)
        return;
    MainState& state = host_.State();
    UiServices& ui = host_.Ui();
    QWidget* owner = host_.OwnerWidget();
    if (state.itemCount == 0) {
        ui.FrameworkMessageBox(owner, QStringLiteral("Please open a video file first!"));
        return;
    }
    if (state.itemCount > kMaxItems) {
        ui.FrameworkMessageBox(
            owner, QStringLiteral("Photos are too many! Please delete some photos in the photo "
                                  "list."));
        return;
    }
    if (state.musicCount > kMaxMusic) {
        ui.FrameworkMessageBox(owner, QStringLiteral("Music files are too many! Please delete "
                                                     "some music files in the music list."));
        return;
    }
    if (state.timelinePreviewRunning == 1) {
        ui.FrameworkMessageBox(owner, QStringLiteral("Please stop Preview first!"));
        return;
    }
    if (state.converting != 0) {
        StopConversion();
        return;
    }
    // An empty or reversed stretch would give an empty file; refused before
    // anything is asked or deleted.
    if (state.trimEnd <= state.trimStart) {
        ui.FrameworkMessageBox(owner, EmptyStretchText());
        return;
    }
    // Stored settings that cannot make a file are refused before anything
    // is asked.
    const OutputSettings& out = state.output;
    if (out.outputFormat < kContainerAvi || out.outputFormat > kContainerOgm) {
        ui.FrameworkMessageBox(owner, UnsupportedContainerText(out.outputFormat));
        return;
    }
    if (out.frameRateIndex != 0 && !UsableFrameRate(out.outputFrameRate)) {
        ui.FrameworkMessageBox(owner, UnusableFrameRateText(out.outputFrameRate));
        return;
    }
    // A cut without re-encoding that cannot be made exactly is refused
    // before anything is asked or touched.
    if (CopyChosen(out)) {
        if (const QString refusal = CopyRefusal(); !refusal.isEmpty()) {
            ui.FrameworkMessageBox(owner, refusal);
            return;
        }
    }
    // A container that cannot hold a stream as chosen would fail after the
    // old file was replaced.
    if (const QString refusal = CopyChosen(out) ? QString() : UnstorableStreamText(out);
        !refusal.isEmpty()) {
        ui.FrameworkMessageBox(owner, refusal);
        return;
    }
    // Writing over a file that is being read would destroy it.
    if (const QString* source = OutputSource(); source) {
        ui.FrameworkMessageBox(owner, OutputIsSourceText(out.outputPath));
        return;
    }
    // Another job writing the same file, in this window, another one or
    // another copy of the program, is refused before anything is asked.
    if (QString refusal; !outputFiles_.Claim(out.outputPath, &refusal)) {
        ui.FrameworkMessageBox(owner, refusal);
        return;
    }
    bool replace = false;
    if (!ConfirmReplace(&replace)) {
        outputFiles_.Release();
        return;
    }
    AskFrameRate();
    if (!ConfirmNoCompressor()) {
        outputFiles_.Release();
        return;
    }
    if (!UsableFrameRate(out.outputFrameRate)) {
        outputFiles_.Release();
        ui.FrameworkMessageBox(owner, UnusableFrameRateText(out.outputFrameRate));
        return;
    }
    // The old file stays until the new one is written: the job writes beside
    // it and replaces it at the end.
    StartJob();
}

bool ConversionController::UsableFrameRate(double rate) {
    return rate >= kLowestFrameRate && rate <= kHighestFrameRate;
}

const QString* ConversionController::OutputSource() const {
    const MainState& state = host_.State();
    const QString& output = state.output.outputPath;
    for (const std::vector<ClipEntry>* list : {&state.items, &state.music}) {
        for (const ClipEntry& entry : *list) {
            if (SameFile(entry.path, output))
                return &entry.path;
        }
    }
    return nullptr;
}

void ConversionController::StartJob() {
    MainState& state = host_.State();
    // What a failed build may have left behind goes before a new job starts.
    job_.Discard();
    // Loading the sources runs the event loop: until the job runs or has
    // failed, no command of the window may start, stop or change anything.
    settingUp_ = true;
    host_.BlockCommands(true);
    files_ = RunFiles{};
    files_.output = state.output.outputPath;
    for (const std::vector<ClipEntry>* list : {&state.items, &state.music}) {
        for (const ClipEntry& entry : *list) {
            const FileStamp stamp = StampOf(entry.path);
            files_.sources.emplace_back(entry.path, stamp);
            if (stamp.valid)
                files_.ids.push_back(FileId{stamp.device, stamp.inode});
        }
    }
    if (QString error; !outputFiles_.CreatePartial(files_.ids, &error)) {
        outputFiles_.Release();
        files_ = RunFiles{};
        settingUp_ = false;
        host_.BlockCommands(false);
        host_.Ui().FrameworkMessageBox(host_.OwnerWidget(), error);
        return;
    }
    files_.partial = outputFiles_.Partial();
    job_.writePath = files_.partial;
    if (CopyChosen(state.output)) {
        StartCopy();
        return;
    }
    TimelineBuilder timelineBuilder(state, host_.Ui(), host_.OwnerWidget());
    timelineBuilder.CreateTimeline(&job_.timeline);
    OutputGraphBuilder::Callbacks callbacks;
    callbacks.notifyReceiver = this;
    callbacks.onGraphEvent = [this] { OnGraphNotify(); };
    callbacks.onRunning = [this] { EnterRunningState(); };
    OutputGraphBuilder graphBuilder(host_, job_, *windowsMedia_, std::move(callbacks));
    graphBuilder.RenderTimelineToFile(job_.timeline);
    if (state.converting == 0) {
        job_.Discard(); // the build failed and has said why
        outputFiles_.Discard(files_.ids);
        outputFiles_.Release();
        files_ = RunFiles{};
    }
    settingUp_ = false;
    host_.BlockCommands(false);
    if (state.converting != 0) {
        host_.DisableEditControls();
        // Events that came while the job was set up are read now.
        QMetaObject::invokeMethod(
            this, [this] { OnGraphNotify(); }, Qt::QueuedConnection);
    }
}

ConversionController::FileEnd ConversionController::FinishFiles(bool keep) {
    const RunFiles files = std::exchange(files_, RunFiles{});
    FileEnd end;
    if (files.partial.isEmpty())
        return end;
    // A source that was cut short, written to or replaced under the job
    // gave data the job cannot vouch for. One that was only removed or
    // renamed was read to the end all the same: its data stays while it is
    // open.
    QString changed;
    for (const auto& [path, stamp] : files.sources) {
        const FileStamp now = StampOf(path);
        if (now.valid && now != stamp) {
            changed = path;
            break;
        }
    }
    if (!keep) {
        outputFiles_.Discard(files.ids);
        outputFiles_.Release();
        end.failure = changed.isEmpty() ? QString() : SourceChangedText(changed, false);
        return end;
    }
    const OutputFiles::Placed placed = outputFiles_.Commit(files.ids);
    outputFiles_.Release();
    if (!placed.inPlace && placed.keptAs.isEmpty()) {
        end.failure = QStringLiteral("%1 cannot be written: %2").arg(files.output, placed.reason);
        return end;
    }
    QStringList warnings;
    if (!changed.isEmpty())
        warnings << SourceChangedText(changed, true);
    if (!placed.inPlace)
        warnings << KeptElsewhereText(files.output, placed.reason, placed.keptAs);
    end.writtenAs = placed.inPlace ? files.output : placed.keptAs;
    end.warning = warnings.join(QLatin1Char(' '));
    return end;
}

QString ConversionController::CopyRefusal() {
    settingUp_ = true;
    host_.BlockCommands(true);
    std::future<QString> check =
        std::async(std::launch::async, [state = host_.State()] { return CopyRefusalText(state); });
    while (check.wait_for(std::chrono::milliseconds(15)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    settingUp_ = false;
    host_.BlockCommands(false);
    return check.get();
}

void ConversionController::StartCopy() {
    const int run = ++copyRun_;
    copy_ = std::make_unique<CopyConversion>(
        host_.State(), files_.partial, this, [this, run](CopyConversion::End end) {
            if (run != copyRun_ || !copy_)
                return; // a run that was stopped meanwhile
            if (!end.failed) {
                copyDamage_ = end.damage;
                EndRun(true);
                return;
            }
            TearDownJob();
            // A source that changed under the copy explains its failure best.
            QString text = end.error;
            if (const QString changed = FinishFiles(false).failure; !changed.isEmpty())
                text = changed + QStringLiteral(" (") + text + QLatin1Char(')');
            ShowEnd(JobOutcome::Failed, FailedText(text), text);
        });
    settingUp_ = false;
    host_.BlockCommands(false);
    EnterRunningState();
    writtenWidth_ = host_.State().sourceWidth;
    writtenHeight_ = host_.State().sourceHeight;
}

void ConversionController::EnterRunningState() {
    const OutputSettings& out = host_.State().output;
    writtenWidth_ = out.outputWidth;
    writtenHeight_ = out.outputHeight;
    if (job_.mediaControl)
        job_.mediaControl->WrittenVideoSize(&writtenWidth_, &writtenHeight_);
    host_.State().converting = 1;
    host_.SetConvertButtonText(LanguagePack::Instance().GetDialogTextOrString(IDS_STOP));
    progressTimer_.start();
    host_.DisableEditControls();
}

void ConversionController::OnTimer(int timerId) {
    if (timerId != kTimerConvertProgress || settingUp_)
        return;
    MainState& state = host_.State();
    ++state.elapsedSeconds;
    host_.SetStatusText(UsedTimeText(state.elapsedSeconds));
    const int percent = ProgressPercent();
    if (percent >= 0)
        host_.ShowConversionProgress(percent);
}

int ConversionController::ProgressPercent() const {
    const MainState& state = host_.State();
    const REFERENCE_TIME length = state.trimEnd - state.trimStart;
    REFERENCE_TIME done = 0;
    if (copy_ && length > 0)
        return static_cast<int>(
            std::clamp<REFERENCE_TIME>(copy_->Written() * 100 / length, 0, 100));
    if (length <= 0 || !job_.mediaControl ||
        media::Failed(job_.mediaControl->GetCurrentPosition(&done)))
        return -1;
    return static_cast<int>(std::clamp<REFERENCE_TIME>(done * 100 / length, 0, 100));
}

void ConversionController::TearDownJob() {
    MainState& state = host_.State();
    progressTimer_.stop();
    copy_.reset(); // a cut without re-encoding closes its file here
    if (job_.mediaControl)
        job_.mediaControl->Stop();
    if (job_.mediaEvent)
        job_.mediaEvent->SetNotifyWindow(nullptr, {});
    job_.mediaEvent.reset();
    job_.mediaControl.reset();
    if (job_.renderEngine)
        job_.renderEngine->ScrapIt();
    job_.renderEngine.reset();
    job_.timeline.reset();
    media::TrimFreedMemory();
    state.converting = 0;
    host_.SetConvertButtonText(LanguagePack::Instance().GetDialogTextOrString(IDS_CONVERT));
    state.elapsedSeconds = 0;
    host_.EnableEditControls();
    host_.ShowConversionProgress(-1);
}

void ConversionController::ShowEnd(JobOutcome outcome, const QString& statusText,
                                   const QString& message) {
    host_.SetStatusText(statusText);
    host_.ConversionEnded(outcome, statusText);
    lastEndText_ = statusText;
    if (!message.isEmpty() && !quietEnd_)
        host_.Ui().FrameworkMessageBox(host_.OwnerWidget(), message, MsgButtons::Ok,
                                       outcome == JobOutcome::Failed ? MsgIcon::Error
                                                                     : MsgIcon::Warning);
}

HRESULT ConversionController::StopConversion() {
    if (settingUp_)
        return S_OK; // the job is not running yet
    EndRun(false);
    return S_OK;
}

QString ConversionController::StopForExit() {
    if (settingUp_ || !Converting())
        return {};
    quietEnd_ = true;
    EndRun(false);
    quietEnd_ = false;
    return lastEndText_;
}

void ConversionController::EndRun(bool completed) {
    const OutputSettings& out = host_.State().output;
    // A cut without re-encoding stopped while it still encoded its ends has
    // written nothing: an empty file must not replace the output.
    if (copy_ && !completed) {
        copy_->Stop();
        if (!copy_->WroteAny()) {
            const bool existed = FileExists(out.outputPath);
            TearDownJob();
            FinishFiles(false);
            ShowEnd(JobOutcome::Failed, StoppedBeforeWritingText(out.outputPath, existed), {});
            return;
        }
    }
    // The Done line states the size written, which an encoder of 4:2:0
    // pictures may have made even.
    const bool known = writtenWidth_ > 0 && writtenHeight_ > 0;
    // How far the sources were read is asked before the graph goes; a job
    // the user stopped ends early on purpose.
    QString damage = completed && job_.mediaControl
                         ? SourceDamageText(job_.mediaControl->SourceReports())
                         : QString();
    if (completed && copy_)
        damage = copyDamage_;
    if (const MainState& state = host_.State(); completed && state.items.size() == 1) {
        const QString shortfall =
            DeclaredShortfallText(state.items[0].path, state.items[0].duration, state.trimEnd);
        if (!shortfall.isEmpty())
            damage = damage.isEmpty() ? shortfall : damage + QLatin1Char(' ') + shortfall;
    }
    TearDownJob();
    // A stopped job keeps what it wrote so far.
    const FileEnd files = FinishFiles(true);
    if (!files.failure.isEmpty()) {
        ShowEnd(JobOutcome::Failed, FailedText(files.failure), files.failure);
        return;
    }
    QStringList warnings;
    for (const QString& text : {files.warning, damage}) {
        if (!text.isEmpty())
            warnings << text;
    }
    const QString warning = warnings.join(QLatin1Char(' '));
    const QString done = DoneText(files.writtenAs.isEmpty() ? out.outputPath : files.writtenAs,
                                  known ? writtenWidth_ : out.outputWidth,
                                  known ? writtenHeight_ : out.outputHeight);
    if (!warning.isEmpty())
        ShowEnd(JobOutcome::Warning, warning + QLatin1Char(' ') + done, warning);
    else
        ShowEnd(JobOutcome::Done, done, {});
}

HRESULT ConversionController::OnGraphNotify() {
    HRESULT last = S_OK;
    if (settingUp_)
        return last; // read once the job runs
    media::GraphEvent event;
    while (job_.mediaEvent && media::Succeeded(job_.mediaEvent->Events().GetEvent(&event))) {
        if (!Converting())
            continue; // a job that never ran: nothing to end
        if (event.code == media::EC_COMPLETE) {
            EndRun(true);
        } else if (event.code == media::EC_ERRORABORT) {
            // The graph cannot go on: the job ends, and the error is said
            // instead of "Done".
            QString text = event.text.isEmpty() ? media::GetErrorText(event.hr) : event.text;
            TearDownJob();
            // A failed file is no output; a source that changed under the job
            // explains the error best.
            if (const QString changed = FinishFiles(false).failure; !changed.isEmpty())
                text = changed + QStringLiteral(" (") + text + QLatin1Char(')');
            ShowEnd(JobOutcome::Failed, FailedText(text), text);
            last = event.hr;
        }
    }
    return last;
}

bool ConversionController::TimelinePreviewRunning() const {
    return host_.State().timelinePreviewRunning == 1;
}

void ConversionController::OnTimelinePreviewClicked() {
    if (settingUp_)
        return; // a job is being set up
    MainState& state = host_.State();
    UiServices& ui = host_.Ui();
    QWidget* owner = host_.OwnerWidget();
    if (state.itemCount == 0) {
        ui.FrameworkMessageBox(owner, QStringLiteral("Please open a video file first!"));
        return;
    }
    if (state.itemCount > kMaxItems) {
        ui.FrameworkMessageBox(
            owner, QStringLiteral("Photos are too many! Please delete some photos in the photo "
                                  "list."));
        return;
    }
    if (state.musicCount > kMaxMusic) {
        ui.FrameworkMessageBox(owner, QStringLiteral("Music files are too many! Please delete "
                                                     "some music files in the music list."));
        return;
    }
    if (state.converting == 1) {
        ui.FrameworkMessageBox(owner, QStringLiteral("Please stop Convert first!"));
        return;
    }
    if (state.timelinePreviewRunning == 1) {
        EndTimelinePreview();
        return;
    }
    // An empty or reversed stretch has nothing to play.
    if (state.trimEnd <= state.trimStart) {
        ui.FrameworkMessageBox(owner, EmptyStretchText());
        return;
    }
    DiscardPreviewObjects();
    TimelineBuilder timelineBuilder(state, ui, owner);
    if (Failed(timelineBuilder.CreateTimeline(&previewTimeline_)) || !previewTimeline_) {
        DiscardPreviewObjects();
        return;
    }
    if (Failed(RenderTimelineForPreview(previewTimeline_))) {
        DiscardPreviewObjects(); // said why; nothing stays held
        return;
    }
    state.timelinePreviewRunning = 1;
    host_.SetTimelinePreviewButtonText(QStringLiteral("Stop"));
}

HRESULT
ConversionController::RenderTimelineForPreview(const std::shared_ptr<media::Timeline>& timeline) {
    UiServices& ui = host_.Ui();
    QWidget* owner = host_.OwnerWidget();
    auto report = [&](const char* text, HRESULT hr) {
        ui.FrameworkMessageBox(owner, QString::fromUtf8(text));
        // The reason, e.g. no display or sound output to play on.
        ui.FrameworkMessageBox(owner, media::GetErrorText(hr));
        return hr;
    };
    if (HRESULT hr = media::RenderEngine::Create(&previewEngine_); Failed(hr)) {
        ui.MessageBox(owner, QStringLiteral("Could not create pRenderEngine"),
                      QStringLiteral("Error"), MsgButtons::Ok);
        return hr;
    }
    media::RenderEngine& engine = *previewEngine_;
    if (HRESULT hr = engine.SetTimelineObject(timeline); Failed(hr))
        return report("Could not SetTimelineObject", hr);
    engine.SetDynamicReconnectLevel(media::CONNECTF_DYNAMIC_SOURCES);
    if (HRESULT hr = engine.ConnectFrontEnd(); Failed(hr))
        return report("Could not ConnectFrontEnd", hr);
    if (HRESULT hr = engine.RenderOutputPins(); Failed(hr))
        return report("Could not RenderOutputPins", hr);
    if (HRESULT hr = engine.GetFilterGraph(&previewGraph_); Failed(hr))
        return report("Could not GetFilterGraph", hr);
    previewGraph_->SetNotifyWindow(this, [this] { OnPreviewGraphNotify(); });
    if (HRESULT hr = previewGraph_->Run(); Failed(hr))
        return report("Could run graph", hr);
    return S_OK;
}

void ConversionController::OnPreviewGraphNotify() {
    if (!previewGraph_)
        return;
    media::GraphEvent event;
    while (previewGraph_ && Succeeded(previewGraph_->Events().GetEvent(&event))) {
        if (!TimelinePreviewRunning())
            continue;
        if (event.code == media::EC_COMPLETE) {
            EndTimelinePreview();
        } else if (event.code == media::EC_ERRORABORT) {
            // e.g. the display or the sound output went away: said, and over.
            const QString text = event.text.isEmpty() ? media::GetErrorText(event.hr) : event.text;
            EndTimelinePreview();
            host_.Ui().FrameworkMessageBox(host_.OwnerWidget(), text);
        }
    }
}

void ConversionController::DiscardPreviewObjects() {
    if (previewGraph_) {
        previewGraph_->SetNotifyWindow(nullptr, {});
        previewGraph_.reset();
    }
    if (previewEngine_)
        previewEngine_->ScrapIt(); // stops the graph and lets it go
    previewEngine_.reset();
    previewTimeline_.reset();
}

void ConversionController::EndTimelinePreview() {
    DiscardPreviewObjects();
    host_.State().timelinePreviewRunning = 0;
    host_.SetTimelinePreviewButtonText(QStringLiteral("Preview"));
}

} // namespace orvelin
