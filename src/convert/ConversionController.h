#pragma once

#include "convert/ConversionJob.h"
#include "convert/ConvertHost.h"
#include "convert/ConvertSupport.h"
#include "convert/CopyConversion.h"
#include "convert/OutputFiles.h"
#include "convert/WindowsMediaStep.h"
#include "media/MediaPlatform.h"
#include "media/RenderEngine.h"
#include "media/Timeline.h"

#include <QObject>
#include <QTimer>
#include <memory>
#include <utility>
#include <vector>

namespace orvelin {

// The Convert command and the run of a conversion, owned by the main window:
// the checks and questions before a job, the build of the timeline and the
// output graph, the one-second progress text, the end of the job by the
// graph's completion, an error or the Stop button, and the "Done" line.
class ConversionController : public QObject {
    Q_OBJECT
public:
    explicit ConversionController(ConvertHost& host, QObject* parent = nullptr);
    ~ConversionController() override;

    // The Convert button (control 1000): starts a conversion, or stops the
    // running one.
    void OnConvertClicked();
    // Ends the running job: the file is finished, everything is released,
    // the controls come back and the status line shows "Done", or what went
    // wrong with the file.
    media::HRESULT StopConversion();
    // Ends the running job as Stop does, for a program that is about to
    // end: no message box is shown. Answers the status line; empty when no
    // job ran.
    QString StopForExit();
    // A timer tick; 1112 advances the elapsed time.
    void OnTimer(int timerId);
    // Drains the graph's events: completion ends the job; an error ends it
    // and is shown.
    media::HRESULT OnGraphNotify();

    bool Converting() const;

    // The timeline Preview button (control 1019): plays the marked stretch
    // as the conversion would lay it out, through the default video and
    // sound outputs, or stops that preview.
    void OnTimelinePreviewClicked();
    // Connects the timeline to a new preview render engine, sends its
    // outputs to the default outputs and runs it. Every failure is reported
    // and leaves nothing held.
    media::HRESULT RenderTimelineForPreview(const std::shared_ptr<media::Timeline>& timeline);
    bool TimelinePreviewRunning() const;
    // True while a job is being set up: the event loop runs, but no command
    // may act.
    bool SettingUp() const { return settingUp_; }
    // The converted share of the marked stretch in percent; -1 when unknown.
    int ProgressPercent() const;
    bool ProgressTimerActive() const { return progressTimer_.isActive(); }
    const ConversionJob& Job() const { return job_; }
    // Replaces the Windows Media part of the output graph (WMV, ASF).
    void SetWindowsMediaStep(std::unique_ptr<WindowsMediaStep> step);

private:
    void StartJob();
    // Runs the job as a cut without re-encoding.
    void StartCopy();
    // Why the marked part cannot be copied as chosen (empty: it can). The
    // check reads the source's packets between the marks, which takes a
    // while for a long part: it runs on a thread of its own while the window
    // keeps painting, and no command acts meanwhile.
    QString CopyRefusal();
    // Releases the preview's graph, engine and timeline; the flag goes to 0.
    void EndTimelinePreview();
    void OnPreviewGraphNotify();
    void DiscardPreviewObjects();
    void EnterRunningState();
    // Stops and releases the job's objects and gives the controls back.
    void TearDownJob();
    // The end of the job for the user: the status line, the desktop, and a
    // message box for `message` when there is one.
    void ShowEnd(JobOutcome outcome, const QString& statusText, const QString& message);
    // Ends the running job, kept so far (Stop) or `completed`: the file
    // replaces the output, and the status line says what it holds.
    void EndRun(bool completed);
    bool ConfirmReplace(bool* replace);
    void AskFrameRate();
    bool ConfirmNoCompressor();
    static bool UsableFrameRate(double rate);
    // The clip or music entry that is the output file itself, or nullptr.
    const QString* OutputSource() const;
    // How the job's files ended.
    struct FileEnd {
        // Why nothing was written (the old output stays); empty otherwise.
        QString failure;
        // What the user must know about the written file: a source that
        // changed while it was read, a file kept under another name.
        QString warning;
        // Where the written file is.
        QString writtenAs;
    };
    // The end of the job's files: the written file replaces the output
    // (`keep`) or is removed, and the output is let go.
    FileEnd FinishFiles(bool keep);

    struct RunFiles {
        QString output;
        QString partial;
        std::vector<std::pair<QString, FileStamp>> sources;
        std::vector<FileId> ids; // the sources, never written or removed
    };

    ConvertHost& host_;
    ConversionJob job_;
    // The frame size the running job writes (an encoder may need it even).
    int32_t writtenWidth_ = 0;
    int32_t writtenHeight_ = 0;
    QTimer progressTimer_;
    std::unique_ptr<WindowsMediaStep> windowsMedia_;
    // The running cut without re-encoding, and which one it is.
    std::unique_ptr<CopyConversion> copy_;
    int copyRun_ = 0;
    QString copyDamage_; // what a finished copy found damaged in its source
    // The timeline preview's objects, held while it plays.
    std::shared_ptr<media::Timeline> previewTimeline_;
    std::shared_ptr<media::RenderEngine> previewEngine_;
    std::shared_ptr<media::FilterGraph> previewGraph_;
    RunFiles files_;
    OutputFiles outputFiles_;
    bool settingUp_ = false;
    // The end of a job shows no message box (the program is ending).
    bool quietEnd_ = false;
    QString lastEndText_;
};

} // namespace orvelin
