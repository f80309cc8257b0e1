// Measures the preview's playback graph on one file: the time from RenderFile
// to the first frame on the UI thread, and whether playback keeps real time
// (frames shown against frames dropped, media time against wall time).
//
//   preview_realtime FILE [SECONDS]
//
// Prints one "key: value" line per figure.
#include "media/MediaPlatform.h"
#include "media/PlaybackGraph.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QThread>

#include <cstdio>
#include <sys/resource.h>

using namespace orvelin::media;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool pumpUntil(const std::function<bool()>& done, qint64 timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [SECONDS]\n", argv[0]);
        return 2;
    }
    if (Failed(InitializeMediaPlatform())) {
        std::fprintf(stderr, "media platform failed to start\n");
        return 1;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const double playSeconds = argc > 2 ? std::atof(argv[2]) : 10.0;

    // The first opening also loads the plug-ins; the second is what every
    // later opening in a running program costs.
    qint64 coldFirstFrameMs = -1;
    {
        auto cold = PlaybackGraph::Create();
        QObject coldReceiver;
        QElapsedTimer timer;
        timer.start();
        cold->SetFrameTarget(&coldReceiver, [&](const QImage&) {
            if (coldFirstFrameMs < 0)
                coldFirstFrameMs = timer.elapsed();
        });
        if (Succeeded(cold->RenderFile(path, true)))
            pumpUntil([&] { return coldFirstFrameMs >= 0; }, 10000);
    }

    auto graph = PlaybackGraph::Create();
    QObject receiver;
    // Each frame is drawn the way a preview window of 1280 x 720 would.
    QImage screen(1280, 720, QImage::Format_RGB32);
    int framesSeen = 0;
    qint64 firstFrameMs = -1;
    QElapsedTimer sinceOpen;
    graph->SetFrameTarget(&receiver, [&](const QImage& frame) {
        if (firstFrameMs < 0)
            firstFrameMs = sinceOpen.elapsed();
        ++framesSeen;
        QPainter painter(&screen);
        painter.drawImage(screen.rect(), frame);
    });
    bool complete = false;
    graph->Events().SetNotifyWindow(&receiver, [&] {
        GraphEvent event;
        while (Succeeded(graph->Events().GetEvent(&event)))
            complete = complete || event.code == EC_COMPLETE || event.code == EC_ERRORABORT;
    });

    sinceOpen.start();
    const HRESULT hr = graph->RenderFile(path, true);
    const qint64 renderMs = sinceOpen.elapsed();
    if (Failed(hr)) {
        std::printf("render_failed: 0x%08x %s\n", unsigned(hr), qPrintable(graph->LastErrorText()));
        return 1;
    }
    pumpUntil([&] { return firstFrameMs >= 0; }, 10000);
    int32_t width = 0, height = 0;
    double period = 0;
    graph->GetVideoSize(&width, &height);
    graph->GetAvgTimePerFrame(&period);
    std::printf("file: %s\n", qPrintable(path));
    std::printf("video: %dx%d at %.3f fps\n", width, height, period > 0 ? 1.0 / period : 0.0);
    std::printf("first_frame_ms_first_open: %lld\n", coldFirstFrameMs);
    std::printf("render_file_ms: %lld\n", renderMs);
    std::printf("first_frame_ms: %lld\n", firstFrameMs);

    QElapsedTimer playing;
    const int framesBefore = framesSeen;
    const double cpuBefore = cpuSeconds();
    playing.start();
    graph->Run();
    pumpUntil([&] { return complete || playing.elapsed() >= playSeconds * 1000; },
              qint64(playSeconds * 1000) + 30000);
    const qint64 wallMs = playing.elapsed();
    const double cpuUsed = cpuSeconds() - cpuBefore;
    REFERENCE_TIME position = 0;
    graph->GetCurrentPosition(&position);
    graph->Pause();

    const double mediaSeconds = double(position) / kUnitsPerSecond;
    const uint64_t rendered = graph->FramesRendered();
    const uint64_t dropped = graph->FramesDropped();
    const double expected = period > 0 ? mediaSeconds / period : 0.0;
    std::printf("played_wall_s: %.3f\n", wallMs / 1000.0);
    std::printf("played_media_s: %.3f\n", mediaSeconds);
    std::printf("frames_rendered: %llu\n", static_cast<unsigned long long>(rendered));
    std::printf("frames_dropped: %llu\n", static_cast<unsigned long long>(dropped));
    std::printf("frames_on_ui_thread: %d\n", framesSeen - framesBefore);
    std::printf("frames_expected: %.0f\n", expected);
    std::printf("cpu_cores_busy: %.2f\n", wallMs > 0 ? cpuUsed * 1000.0 / wallMs : 0.0);
    std::printf("shown_fps: %.2f\n", wallMs > 0 ? rendered * 1000.0 / wallMs : 0.0);
    const bool realTime =
        expected > 0 && rendered >= 0.95 * expected && mediaSeconds >= 0.95 * wallMs / 1000.0;
    std::printf("keeps_real_time: %s\n", realTime ? "yes" : "no");
    return 0;
}
