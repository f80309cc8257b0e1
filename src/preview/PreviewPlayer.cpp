#include "preview/PreviewPlayer.h"

#include "app/AppContext.h"
#include "app/UiServices.h"
#include "preview/PreviewWindow.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

namespace orvelin {

using namespace media;

namespace {
const QString kCaption = QStringLiteral("Vantorix");
constexpr int kMessageBytes = 512;

// The open dialog starts at the root the first time it is shown in a run and
// where the system likes afterwards.
bool g_askedForFileBefore = false;
} // namespace

PreviewPlayer::PreviewPlayer(AppContext& app, QWidget* owner, QObject* parent)
    : QObject(parent), app_(app), owner_(owner) {
    pollTimer_.setInterval(kPollIntervalMs);
    connect(&pollTimer_, &QTimer::timeout, this, &PreviewPlayer::PollPosition);
}

PreviewPlayer::~PreviewPlayer() {
    if (state_ != kClosed || window_ || graph_)
        Close();
}

void PreviewPlayer::Report(const QString& text) {
    QByteArray bytes = text.toUtf8();
    if (bytes.size() > kMessageBytes - 1)
        bytes.truncate(kMessageBytes - 1);
    app_.ui.MessageBox(nullptr, QString::fromUtf8(bytes), kCaption, MsgButtons::Ok);
}

void PreviewPlayer::ReportFailure(const char* format, HRESULT hr) {
    Report(QString::asprintf(format, static_cast<unsigned>(hr)));
}

bool PreviewPlayer::AskForFile() {
    UpdateTitle();
    if (owner_) {
        owner_->showNormal();
        owner_->raise();
        owner_->activateWindow();
    }
    FileDialogRequest request;
    request.owner = owner_;
    request.title = QStringLiteral("Open Media File...");
    request.filters = {FileFilter{QStringLiteral("Any Files (*.*)"), QStringLiteral("*.*;")}};
    request.startFolder = g_askedForFileBefore ? QString() : QStringLiteral("/");
    g_askedForFileBefore = true;
    const std::optional<QString> chosen = app_.ui.OpenFileName(request);
    if (!chosen || chosen->isEmpty())
        return false;
    if (chosen->toLower().contains(QStringLiteral(".asx"))) {
        Report(QStringLiteral("ASX Playlists are not supported by this application.\n\n"
                              "Please select a valid media file."));
        return false;
    }
    fileName_ = *chosen;
    return true;
}

int PreviewPlayer::OpenFile() {
    if (fileName_.isEmpty() && !AskForFile())
        return 0;

    state_ = kStopped;
    volume_ = 0;
    CreatePreviewWindow();

    HRESULT hr = S_OK;
    ownedGraph_ = PlaybackGraph::Create();
    if (!ownedGraph_) {
        hr = E_FAIL;
        ReportFailure("FAILED(hr=0x%x) in CoCreateInstance(CLSID_FilterGraph, NULL, "
                      "CLSCTX_INPROC_SERVER, IID_IGraphBuilder, (void **)&pGB)\n",
                      hr);
    } else {
        hr = ownedGraph_->RenderFile(fileName_, true);
        if (Failed(hr)) {
            Report(QStringLiteral("Cannot play the file.  The file is either corrupt or\n"
                                  "the player does not support the format you are trying to "
                                  "play.\nYou need to install appropriate decoders."));
        } else {
            graph_ = ownedGraph_.get();
            hr = BuildFromGraph();
        }
    }
    if (Failed(hr)) {
        Close();
        return 0;
    }
    return 1;
}

HRESULT PreviewPlayer::AttachGraph(PlaybackGraph* graph) {
    if (fileName_.isEmpty()) {
        UpdateTitle();
        if (owner_) {
            owner_->showNormal();
            owner_->raise();
            owner_->activateWindow();
        }
    }
    state_ = kStopped;
    volume_ = 0;
    CreatePreviewWindow();

    graph_ = graph;
    HRESULT hr = graph ? BuildFromGraph() : E_POINTER;
    if (Succeeded(hr)) {
        hr = graph_->Run();
        if (Failed(hr))
            ReportFailure("FAILED(hr=0x%x) in pMC->Run()\n", hr);
        else
            state_ = kRunning;
    }
    if (Failed(hr))
        Close();
    return hr;
}

HRESULT PreviewPlayer::BuildFromGraph() {
    // The graph answers for every interface the player needs; the video
    // window exists only when the clip has a video stream.
    audioOnly_ = !graph_->HasVideo();

    PreviewWindow* window = window_;
    graph_->Events().SetNotifyWindow(window, [this] { HandleGraphEvents(); });

    if (!audioOnly_) {
        graph_->SetFrameTarget(window, [window](const QImage& frame) { window->ShowFrame(frame); });
        // The first frame was decoded while the graph was being built.
        window->ShowFrame(graph_->LastFrame());
        const HRESULT hr = InitVideoWindow(1, 1);
        if (Failed(hr)) {
            ReportFailure("FAILED(hr=0x%x) in InitVideoWindow(1, 1)\n", hr);
            return hr;
        }
    }

    if (audioOnly_) {
        window->hide();
    } else {
        if (window->IsFullScreen())
            window->EnterFullScreen();
        window->SetWindowShown(true);
        window->show();
    }

    window->update();
    window->raise();
    window->activateWindow();
    window->setFocus();
    UpdateTitle();
    pollTimer_.start();
    return S_OK;
}

void PreviewPlayer::CreatePreviewWindow() {
    if (window_)
        DestroyPreviewWindow();
    window_ = new PreviewWindow(this, owner_);
    window_->SetDropTarget(dropTarget_);
    connect(window_, &PreviewWindow::closeCommand, this, &PreviewPlayer::closeCommand);
    windowCreated_ = true;
}

void PreviewPlayer::SetDropTarget(std::function<bool(const QMimeData* mime, bool drop)> target) {
    dropTarget_ = std::move(target);
    if (window_)
        window_->SetDropTarget(dropTarget_);
}

void PreviewPlayer::DestroyPreviewWindow() {
    if (!window_)
        return;
    PreviewWindow* window = window_;
    if (graph_) {
        window->hide();
        if (window->IsFullScreen()) {
            window->SetWindowShown(false);
            window->LeaveFullScreen();
            window->hide();
        }
    }
    if (owner_)
        owner_->update();
    window->Detach();
    window->hide();
    if (window->Handling())
        window->deleteLater();
    else
        delete window;
    window_ = nullptr;
    windowCreated_ = false;
}

void PreviewPlayer::Close() {
    if (graph_)
        graph_->Stop();
    state_ = kStopped;
    audioOnly_ = true;
    pollTimer_.stop();
    DestroyPreviewWindow();

    if (graph_) {
        graph_->Events().SetNotifyWindow(nullptr, {});
        graph_->SetFrameTarget(nullptr, {});
    }
    graph_ = nullptr;
    ownedGraph_.reset();

    fileName_.clear();
    state_ = kClosed;
    if (owner_)
        owner_->update();
    UpdateTitle();
}

void PreviewPlayer::Play() {
    if (!graph_)
        return;
    if (state_ == kStopped || state_ == kPaused) {
        if (Succeeded(graph_->Run()))
            state_ = kRunning;
    }
    if (Succeeded(graph_->SetRate(1.0)))
        UpdateTitle();
}

void PreviewPlayer::Pause() {
    if (!graph_)
        return;
    if (state_ != kPaused && state_ != kStopped) {
        if (Succeeded(graph_->Pause()))
            state_ = kPaused;
    }
    UpdateTitle();
}

void PreviewPlayer::Stop() {
    if (!graph_)
        return;
    if (state_ == kPaused || state_ == kRunning) {
        if (window_)
            window_->StopCursorTimer();
        if (Succeeded(graph_->Stop()))
            state_ = kStopped;
        graph_->SetPositions(0);
        // Paused again so that the first frame is shown.
        graph_->Pause();
    }
    UpdateTitle();
}

void PreviewPlayer::SeekTo(REFERENCE_TIME time) {
    if (!graph_)
        return;
    graph_->SetPositions(std::max<REFERENCE_TIME>(time, 0));
}

void PreviewPlayer::StepFrames(int frames) {
    if (!graph_ || (state_ != kPaused && state_ != kStopped) || audioOnly_ || frames == 0)
        return;
    REFERENCE_TIME now = 0;
    if (Failed(graph_->GetCurrentPosition(&now)))
        return;
    REFERENCE_TIME stop = 0;
    graph_->GetStopPosition(&stop);
    // Frame k starts near k × period; the shown frame is the one whose time
    // span holds the position (a seek may have landed inside it). Without a
    // known period only the forward step, which needs none, is possible.
    double period = 0.0;
    const bool periodKnown = Succeeded(graph_->GetAvgTimePerFrame(&period)) && period > 0.0;
    const double units = period * media::kUnitsPerSecond;
    const long long shown =
        periodKnown ? static_cast<long long>(std::floor((now + units / 1000.0) / units)) : 0;
    const long long target = std::max(0LL, shown + frames);
    const REFERENCE_TIME time = static_cast<REFERENCE_TIME>(std::llround(target * units));
    if (frames > 0) {
        if (periodKnown && stop > 0 && time >= stop)
            return; // already on the last frame
        // Forward the decoder steps to the next frame itself, which is the
        // file's next frame also where frames last unequally long.
        graph_->StepForward(static_cast<uint32_t>(frames));
    } else {
        if (!periodKnown)
            return;
        // Back there is no step: an accurate seek to the frame's start.
        SeekTo(time);
    }
    PollPosition();
}

void PreviewPlayer::StepSeconds(int seconds) {
    if (!graph_ || (state_ != kPaused && state_ != kStopped) || seconds == 0)
        return;
    REFERENCE_TIME now = 0;
    if (Failed(graph_->GetCurrentPosition(&now)))
        return;
    SeekTo(now + REFERENCE_TIME(seconds) * media::kUnitsPerSecond);
    PollPosition();
}

void PreviewPlayer::SeekToSliderPosition(int sliderPos) {
    if (stopPosition_ == 0)
        return;
    const double target =
        static_cast<double>(stopPosition_) * sliderPos * (1.0 / static_cast<double>(kSliderRange));
    SeekTo(static_cast<REFERENCE_TIME>(target));
}

HRESULT PreviewPlayer::GetVideoSize(int32_t* width, int32_t* height) const {
    if (!graph_)
        return E_NOINTERFACE;
    return graph_->GetVideoSize(width, height);
}

HRESULT PreviewPlayer::InitVideoWindow(int multiplier, int divider) {
    if (!window_)
        return E_UNEXPECTED;
    if (window_->IsFullScreen() && window_->WindowShown())
        window_->LeaveFullScreen();
    if (!graph_)
        return S_OK;
    if (divider <= 0 || multiplier <= 0)
        return E_INVALIDARG;

    int32_t videoWidth = 0;
    int32_t videoHeight = 0;
    const HRESULT hr = graph_->GetVideoSize(&videoWidth, &videoHeight);
    if (hr == E_NOINTERFACE)
        return S_OK;
    if (Failed(hr))
        return hr;

    const int width = static_cast<int>(int64_t(videoWidth) * multiplier / divider);
    const int height = static_cast<int>(int64_t(videoHeight) * multiplier / divider);
    // The client area takes the video's size (less where the screen is
    // smaller); the window system adds its frame.
    window_->PlaceForPicture(QSize(std::max(width, 1), std::max(height, 1)));
    zoom_ = static_cast<float>(multiplier) / static_cast<float>(divider);
    window_->update();
    return S_OK;
}

void PreviewPlayer::UpdateTitle() {
    if (!window_)
        return;
    if (fileName_.isEmpty()) {
        window_->setWindowTitle(QStringLiteral("PREVIEW"));
        return;
    }
    const qsizetype cut =
        std::max(fileName_.lastIndexOf(QLatin1Char('\\')), fileName_.lastIndexOf(QLatin1Char('/')));
    const QString name = fileName_.mid(cut + 1);
    const QString muted = volume_ == kMutedVolume ? QStringLiteral("(Muted)") : QString();
    const QString paused = state_ == kPaused ? QStringLiteral("(Paused)") : QString();
    window_->setWindowTitle(name + QLatin1Char(' ') + muted + QLatin1Char(' ') + paused);
}

void PreviewPlayer::HandleGraphEvents() {
    GraphEvent event;
    while (graph_ && Succeeded(graph_->Events().GetEvent(&event))) {
        if (event.code == EC_COMPLETE)
            Stop();
    }
}

void PreviewPlayer::PollPosition() {
    if (!graph_)
        return;
    REFERENCE_TIME stop = 0;
    if (Failed(graph_->GetStopPosition(&stop)))
        return;
    stopPosition_ = stop;
    REFERENCE_TIME current = 0;
    if (Failed(graph_->GetCurrentPosition(&current)))
        return;
    currentPosition_ = current;
    if (owner_ && app_.sliderDragging == 0)
        emit positionMessage(currentPosition_, stopPosition_);
}

} // namespace orvelin
