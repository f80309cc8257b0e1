#pragma once

#include "media/PlaybackGraph.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

class QMimeData;
class QWidget;

namespace orvelin {

struct AppContext;
class PreviewWindow;

// Plays the opened clip in its own window (PreviewWindow) for watching,
// seeking and marking trim points. The main window drives it with Play,
// Pause, Stop and the seek slider; the player reports its position once a
// second through positionMessage.
class PreviewPlayer : public QObject {
    Q_OBJECT
public:
    using REFERENCE_TIME = media::REFERENCE_TIME;
    using HRESULT = media::HRESULT;

    enum State : int32_t { kStopped = 0, kPaused = 1, kRunning = 2, kClosed = 3 };

    static constexpr int kPositionMessage = 1027; // to the main window after each poll
    static constexpr int kGraphNotify = 1037;     // graph events to the preview window
    static constexpr int kCloseCommand = 1056;    // the main window's Close command
    static constexpr int kPollTimerId = 2;
    static constexpr int kPollIntervalMs = 1000;
    static constexpr int32_t kMutedVolume = -10000;
    static constexpr int kSliderRange = 600;

    // `owner` is the main window; the player starts closed.
    PreviewPlayer(AppContext& app, QWidget* owner, QObject* parent = nullptr);
    ~PreviewPlayer() override;

    void SetFileName(const QString& fileName) { fileName_ = fileName; }
    const QString& FileName() const { return fileName_; }

    // Opens FileName() (asking for a file first when it is empty) and shows
    // it stopped at its start. 1 on success; 0 on failure, after the error
    // box, with the player closed.
    int OpenFile();
    // Shows and runs a graph built elsewhere; the player does not own it.
    // On failure the player is closed.
    HRESULT AttachGraph(media::PlaybackGraph* graph);

    void Play();
    void Pause();
    // Stops, rewinds to the start and shows the first frame.
    void Stop();
    void Close();

    // Moves the current position (negative times count as 0).
    void SeekTo(REFERENCE_TIME time);
    // The seek slider was let go at `sliderPos` (0..600): seeks to that
    // share of the last polled stop position. Nothing before the first poll.
    void SeekToSliderPosition(int sliderPos);

    // With the preview paused or stopped: moves `frames` frames on (negative: back),
    // landing on a frame's own time, and reports the new position at once so
    // that the slider and the trim buttons follow. Nothing otherwise.
    void StepFrames(int frames);
    // With the preview paused or stopped: moves `seconds` seconds on or back.
    void StepSeconds(int seconds);

    // Sizes the preview window to the video's native size × m / d (scaled
    // down where the screen is smaller; the first time also placing it beside
    // the main window).
    HRESULT InitVideoWindow(int multiplier, int divider);
    void UpdateTitle();
    // Drains the graph's events; the end of the clip stops and rewinds.
    void HandleGraphEvents();
    // Timer 2: reads the positions and reports them to the main window
    // (held back while the user holds the seek slider).
    void PollPosition();

    int32_t State() const { return state_; }
    bool AudioOnly() const { return audioOnly_; }
    int32_t Volume() const { return volume_; }
    float Zoom() const { return zoom_; }
    // The positions of the last poll (the trim points take these).
    REFERENCE_TIME CurrentPosition() const { return currentPosition_; }
    REFERENCE_TIME StopPosition() const { return stopPosition_; }
    bool PollTimerActive() const { return pollTimer_.isActive(); }

    PreviewWindow* Window() const { return window_; }
    // Where files dropped on the preview window go (see PreviewWindow).
    void SetDropTarget(std::function<bool(const QMimeData* mime, bool drop)> target);
    QWidget* Owner() const { return owner_; }
    // Whether there is a graph whose video the window could show.
    bool HasVideoWindow() const { return graph_ != nullptr; }
    HRESULT GetVideoSize(int32_t* width, int32_t* height) const;
    media::PlaybackGraph* Graph() const { return graph_; }

signals:
    // Position message 1027: current and stop position in 100 ns units.
    // Connect it queued (the message is posted).
    void positionMessage(qint64 currentPosition, qint64 stopPosition);
    // The preview window was closed by the user: the main window's Close
    // command (1056). Connect it queued: the handler deletes this player.
    void closeCommand();

private:
    bool AskForFile();
    void CreatePreviewWindow();
    void DestroyPreviewWindow();
    // Everything from obtaining the graph's interfaces on; the graph is
    // already rendered (or handed in).
    HRESULT BuildFromGraph();
    void Report(const QString& text);
    void ReportFailure(const char* format, HRESULT hr);

    AppContext& app_;
    QPointer<QWidget> owner_;
    QString fileName_;
    bool audioOnly_ = false;
    int32_t state_ = kClosed;
    int32_t volume_ = 0;
    std::unique_ptr<media::PlaybackGraph> ownedGraph_;
    media::PlaybackGraph* graph_ = nullptr;
    PreviewWindow* window_ = nullptr;
    bool windowCreated_ = false;
    REFERENCE_TIME currentPosition_ = 0;
    REFERENCE_TIME stopPosition_ = 0;
    float zoom_ = 1.0f;
    QTimer pollTimer_;
    std::function<bool(const QMimeData* mime, bool drop)> dropTarget_;
};

} // namespace orvelin
