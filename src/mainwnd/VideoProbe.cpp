#include "mainwnd/VideoProbe.h"

#include "app/UiServices.h"
#include "convert/MainState.h"
#include "lang/BuiltinStrings.h"
#include "lang/LanguagePack.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QThread>

#include <future>

namespace orvelin {

namespace {
using namespace media;

// Runs `work` on a worker thread and keeps the window painting meanwhile
// (user input waits until the work is done).
template <typename Result, typename Work> Result RunOffThread(Work work) {
    std::future<Result> future = std::async(std::launch::async, std::move(work));
    while (future.wait_for(std::chrono::milliseconds(15)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    return future.get();
}

ProbeFacts ProbeOnThisThread(const QString& path) {
    ProbeFacts facts;
    std::unique_ptr<PlaybackGraph> graph = PlaybackGraph::Create();
    if (!graph) {
        facts.failedStep = ProbeFacts::CreateGraph;
        return facts;
    }
    if (Failed(graph->RenderFile(path, false))) {
        facts.failedStep = ProbeFacts::Render;
        return facts;
    }
    // The graph always offers seeking once rendered.
    REFERENCE_TIME length = 0;
    const bool gif = QFileInfo(path).suffix().compare("gif", Qt::CaseInsensitive) == 0;
    const HRESULT hr = gif ? graph->GetDuration(&length) : graph->GetStopPosition(&length);
    if (Failed(hr)) {
        facts.failedStep = ProbeFacts::Length;
        return facts;
    }
    facts.length = length;
    if (!graph->HasVideo()) {
        facts.failedStep = ProbeFacts::BasicVideo;
        return facts;
    }
    if (Failed(graph->GetVideoSize(&facts.width, &facts.height))) {
        facts.failedStep = ProbeFacts::VideoSize;
        return facts;
    }
    if (Failed(graph->GetAvgTimePerFrame(&facts.framePeriod))) {
        facts.failedStep = ProbeFacts::FramePeriod;
        return facts;
    }
    return facts;
}
} // namespace

ProbeFacts ProbeFile(const QString& path) {
    return RunOffThread<ProbeFacts>([path] { return ProbeOnThisThread(path); });
}

int ProbeVideo(UiServices& ui, QWidget* owner, const QString& path, REFERENCE_TIME* duration,
               MainState& state) {
    const ProbeFacts facts = ProbeFile(path);
    const QString error = QStringLiteral("Error");
    switch (facts.failedStep) {
    case ProbeFacts::CreateGraph:
        ui.MessageBox(owner, QStringLiteral("Failed to CoCreateInstance"), error);
        return 0;
    case ProbeFacts::Render:
        ui.MessageBox(nullptr, LanguagePack::Instance().GetString(IDS_MESSAGE_CANNOT_OPEN),
                      LanguagePack::Instance().GetString(IDS_MESSAGE_ERROR) +
                          " IDS_MESSAGE_NOT_OPEN_FILE");
        return 0;
    case ProbeFacts::Seeking:
        ui.MessageBox(owner, QStringLiteral("Failed to get IID_IMediaSeeking"), error);
        return 0;
    case ProbeFacts::Length:
        ui.MessageBox(owner, QStringLiteral("Failed to GetStopPosition"), error);
        return 0;
    case ProbeFacts::BasicVideo:
        if (duration)
            *duration = facts.length;
        ui.MessageBox(owner, QStringLiteral("Failed to IID_IBasicVideo"), error);
        return 0;
    case ProbeFacts::VideoSize:
        if (duration)
            *duration = facts.length;
        ui.MessageBox(owner,
                      QStringLiteral("Failed to GetVideoSize, please install appropriate video "
                                     "decoder"),
                      error);
        return 0;
    case ProbeFacts::FramePeriod:
        break;
    case ProbeFacts::None:
        break;
    }
    if (duration)
        *duration = facts.length;
    state.sourceWidth = facts.width;
    state.sourceHeight = facts.height;
    state.output.outputWidth = facts.width;
    state.output.outputHeight = facts.height;
    if (facts.failedStep == ProbeFacts::FramePeriod) {
        ui.MessageBox(owner, QStringLiteral("Failed to get_AvgTimePerFrame"), error);
        return 0;
    }
    // A stream that names no rate at all keeps the previous rate rather than
    // becoming infinitely fast.
    if (facts.framePeriod > 0.0)
        state.sourceFrameRate = 10'000'000.0 / facts.framePeriod * 0.0000001;
    return 1;
}

REFERENCE_TIME MeasureMediaLength(const QString& path) {
    return RunOffThread<REFERENCE_TIME>([path]() -> REFERENCE_TIME {
        std::unique_ptr<PlaybackGraph> graph = PlaybackGraph::Create();
        if (!graph)
            return 0;
        if (Failed(graph->RenderFile(path, false)))
            return -1;
        REFERENCE_TIME stop = 0;
        if (Failed(graph->GetStopPosition(&stop)))
            return -1;
        return stop;
    });
}

QString FolderOf(const QString& path) {
    const int cut = path.lastIndexOf('/');
    return cut < 0 ? QString() : path.left(cut + 1);
}

} // namespace orvelin
