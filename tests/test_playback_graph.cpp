// The playback graph over real media files made at test time: what the probe
// reads (length, size, frame period), the files it must refuse quickly, and
// playback with frames and events reaching the UI thread.
#include "media/GraphEvents.h"
#include "media/PipelineRelease.h"
#include "media/PlaybackGraph.h"
#include "media/playback/MediaScan.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>

using namespace orvelin;
using namespace orvelin::media;
using namespace std::chrono_literals;

namespace {

constexpr double kSecond = double(kUnitsPerSecond);

// Media shared by all tests of this file, made once.
class PlaybackMedia {
public:
    static PlaybackMedia& Get() {
        static PlaybackMedia media;
        return media;
    }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString Make(const QString& name, const test::MediaSpec& clip) {
        const QString path = Path(name);
        if (!QFile::exists(path)) {
            QString log;
            EXPECT_TRUE(test::MakeMedia(path, clip, &log)) << log.toStdString();
        }
        return path;
    }
    QString Clip(test::Container container) {
        static const char* names[] = {"clip.mkv", "clip.mp4", "clip.avi", "clip.ogg"};
        test::MediaSpec clip;
        clip.container = container;
        clip.width = 160;
        clip.height = 120;
        return Make(names[int(container)], clip);
    }

private:
    QTemporaryDir dir_;
};

// Counts the frames and events that reach a receiver on the UI thread.
struct Watcher {
    QObject receiver;
    int frames = 0;
    int framesOffThread = 0;
    QImage lastFrame;
    QList<GraphEvent> events;
    int notifications = 0;
    bool offThread = false;

    void Attach(PlaybackGraph& graph) {
        graph.SetFrameTarget(&receiver, [this](const QImage& frame) {
            ++frames;
            if (QThread::currentThread() != qApp->thread())
                ++framesOffThread;
            lastFrame = frame;
        });
        GraphEventQueue* queue = &graph.Events();
        queue->SetNotifyWindow(&receiver, [this, queue] {
            ++notifications;
            offThread = offThread || QThread::currentThread() != qApp->thread();
            GraphEvent event;
            while (Succeeded(queue->GetEvent(&event)))
                events << event;
        });
    }
    bool Completed() const {
        for (const GraphEvent& e : events)
            if (e.code == EC_COMPLETE)
                return true;
        return false;
    }
};

std::unique_ptr<PlaybackGraph> Rendered(const QString& path, bool display = false) {
    auto graph = PlaybackGraph::Create();
    EXPECT_TRUE(graph);
    if (!graph)
        return nullptr;
    const HRESULT hr = graph->RenderFile(path, display);
    EXPECT_TRUE(Succeeded(hr)) << path.toStdString() << ": "
                               << graph->LastErrorText().toStdString();
    return Succeeded(hr) ? std::move(graph) : nullptr;
}

double Seconds(REFERENCE_TIME t) {
    return double(t) / kSecond;
}

} // namespace

TEST(PlaybackGraph, EveryContainerRendersWithSizeRateAndLength) {
    for (auto container :
         {test::Container::Mkv, test::Container::Mp4, test::Container::Avi, test::Container::Ogg}) {
        const QString path = PlaybackMedia::Get().Clip(container);
        SCOPED_TRACE(path.toStdString());
        auto graph = Rendered(path);
        ASSERT_TRUE(graph);
        EXPECT_TRUE(graph->HasVideo());
        EXPECT_TRUE(graph->HasAudio());
        int32_t w = 0, h = 0;
        ASSERT_EQ(graph->GetVideoSize(&w, &h), S_OK);
        EXPECT_EQ(w, 160);
        EXPECT_EQ(h, 120);
        double period = 0;
        ASSERT_EQ(graph->GetAvgTimePerFrame(&period), S_OK);
        EXPECT_NEAR(period, 0.04, 1e-6);
        REFERENCE_TIME length = 0, stop = 0;
        ASSERT_EQ(graph->GetDuration(&length), S_OK);
        ASSERT_EQ(graph->GetStopPosition(&stop), S_OK);
        EXPECT_NEAR(Seconds(length), 2.0, 0.1);
        EXPECT_EQ(stop, length);
        EXPECT_EQ(graph->State(), GraphState::Stopped);
        // A probe decodes nothing for display.
        EXPECT_TRUE(graph->LastFrame().isNull());
    }
}

TEST(PlaybackGraph, LengthOfAnEightyThreePointSevenSecondFile) {
    test::MediaSpec clip;
    clip.width = 64;
    clip.height = 48;
    clip.fpsNum = 10;
    clip.seconds = 83.7;
    clip.audio = false;
    const QString path = PlaybackMedia::Get().Make("len83.mkv", clip);
    const test::MediaFacts facts = test::Discover(path);
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    auto graph = Rendered(path);
    ASSERT_TRUE(graph);
    REFERENCE_TIME length = 0;
    ASSERT_EQ(graph->GetStopPosition(&length), S_OK);
    EXPECT_NEAR(Seconds(length), 83.7, 0.02);
    EXPECT_NEAR(Seconds(length), facts.durationSeconds, 0.02);
    // Whole seconds as the open command takes them.
    EXPECT_EQ(length / kUnitsPerSecond, 83);
}

TEST(PlaybackGraph, PalFrameSizeAndTwentyFiveFramesPerSecond) {
    test::MediaSpec clip;
    clip.width = 720;
    clip.height = 576;
    clip.seconds = 1.0;
    clip.audio = false;
    auto graph = Rendered(PlaybackMedia::Get().Make("pal.mkv", clip));
    ASSERT_TRUE(graph);
    int32_t w = 0, h = 0;
    ASSERT_EQ(graph->GetVideoSize(&w, &h), S_OK);
    EXPECT_EQ(w, 720);
    EXPECT_EQ(h, 576);
    double period = 0;
    ASSERT_EQ(graph->GetAvgTimePerFrame(&period), S_OK);
    EXPECT_NEAR(period, 0.04, 1e-9);
    EXPECT_NEAR(1.0 / period, 25.0, 1e-6);
}

TEST(PlaybackGraph, VariableRateFileGivesItsMeanRate) {
    for (auto container : {test::Container::Mkv, test::Container::Mp4}) {
        const QString path =
            PlaybackMedia::Get().Path(container == test::Container::Mkv ? "vfr.mkv" : "vfr.mp4");
        SCOPED_TRACE(path.toStdString());
        // 50 frames at 25 fps, then 20 frames at 10 fps: 70 frames in about 4 s
        // (the MP4 muxer drops the last one, whose length it cannot know).
        QString log;
        ASSERT_TRUE(test::MakeVariableRateMedia(path, container, 50, 25, 20, 10, &log))
            << log.toStdString();
        const test::MediaFacts facts = test::Discover(path);
        ASSERT_TRUE(facts.ok);
        ASSERT_GT(facts.durationSeconds, 3.0);
        const double nominal = facts.fpsDen ? double(facts.fpsNum) / facts.fpsDen : 0.0;
        // The container states no usable rate: neither 25 nor 10.
        EXPECT_TRUE(nominal == 0.0 || nominal > 1000.0) << nominal;
        auto graph = Rendered(path);
        ASSERT_TRUE(graph);
        double period = 0;
        QElapsedTimer timer;
        timer.start();
        ASSERT_EQ(graph->GetAvgTimePerFrame(&period), S_OK);
        EXPECT_LT(timer.elapsed(), 5000);
        ASSERT_GT(period, 0.0);
        EXPECT_NEAR(1.0 / period, 70.0 / facts.durationSeconds,
                    0.03 * 70.0 / facts.durationSeconds);
    }
}

TEST(MediaScan, CountsEveryFrameOfEachContainerWithoutDecoding) {
    for (auto container :
         {test::Container::Mkv, test::Container::Mp4, test::Container::Avi, test::Container::Ogg}) {
        const QString path = PlaybackMedia::Get().Clip(container);
        SCOPED_TRACE(path.toStdString());
        MediaScan scan;
        ASSERT_TRUE(ScanMediaFile(path, 10s, &scan));
        EXPECT_TRUE(scan.complete);
        EXPECT_TRUE(scan.hasVideo);
        EXPECT_EQ(scan.videoFrames, 50u); // 2 s at 25 fps
        EXPECT_NEAR(scan.Length() / 1e9, 2.0, 0.1);
        EXPECT_NEAR(MeanFrameRate(scan, 2.0), 25.0, 1e-9);
        // Without the length: over the span of frame times.
        scan.complete = false;
        EXPECT_NEAR(MeanFrameRate(scan, 2.0), 25.0, 0.01);
    }
    test::MediaSpec audioOnly;
    audioOnly.container = test::Container::Ogg;
    audioOnly.video = false;
    MediaScan scan;
    ASSERT_TRUE(ScanMediaFile(PlaybackMedia::Get().Make("audio.ogg", audioOnly), 10s, &scan));
    EXPECT_FALSE(scan.hasVideo);
    EXPECT_EQ(MeanFrameRate(scan, 2.0), 0.0);
    EXPECT_NEAR(scan.Length() / 1e9, 2.0, 0.1);
    EXPECT_FALSE(ScanMediaFile(PlaybackMedia::Get().Path("nothing-here.mkv"), 10s, &scan));
}

TEST(PlaybackGraph, MpegAudioWithoutLengthHeaderIsMeasured) {
    // A bare MPEG audio stream does not tell its length before it is read.
    const QString path = PlaybackMedia::Get().Path("tune.mp3");
    QString log;
    ASSERT_TRUE(test::RunGstLaunch(QString("audiotestsrc num-buffers=200 ! audioconvert ! "
                                           "lamemp3enc ! filesink location=\"%1\"")
                                       .arg(path),
                                   &log))
        << log.toStdString();
    auto graph = Rendered(path);
    ASSERT_TRUE(graph);
    EXPECT_FALSE(graph->HasVideo());
    REFERENCE_TIME length = 0;
    ASSERT_EQ(graph->GetStopPosition(&length), S_OK) << graph->LastErrorText().toStdString();
    // 200 buffers of 1024 samples, give or take the encoder's padding frames.
    EXPECT_NEAR(Seconds(length), 200 * 1024 / 44100.0, 0.06);
}

TEST(PlaybackGraph, AudioOnlyFileHasNoVideoInterface) {
    test::MediaSpec clip;
    clip.container = test::Container::Ogg;
    clip.video = false;
    auto graph = Rendered(PlaybackMedia::Get().Make("audio.ogg", clip));
    ASSERT_TRUE(graph);
    EXPECT_FALSE(graph->HasVideo());
    EXPECT_TRUE(graph->HasAudio());
    int32_t w = -1, h = -1;
    EXPECT_EQ(graph->GetVideoSize(&w, &h), E_NOINTERFACE);
    double period = -1;
    EXPECT_EQ(graph->GetAvgTimePerFrame(&period), E_NOINTERFACE);
    REFERENCE_TIME length = 0;
    ASSERT_EQ(graph->GetDuration(&length), S_OK);
    EXPECT_NEAR(Seconds(length), 2.0, 0.1);
}

TEST(PlaybackGraph, BadFilesAreRefusedQuickly) {
    PlaybackMedia& media = PlaybackMedia::Get();
    const QString mp4 = media.Clip(test::Container::Mp4);
    ASSERT_TRUE(test::MakeRandomFile(media.Path("random.mkv"), 200000));
    ASSERT_TRUE(test::MakeRandomFile(media.Path("random.avi"), 3000));
    QFile(media.Path("empty.mp4")).open(QIODevice::WriteOnly);
    // mp4mux writes its index last: a cut file has none.
    ASSERT_TRUE(test::MakeTruncatedCopy(mp4, media.Path("cut.mp4"), QFileInfo(mp4).size() / 2));
    ASSERT_TRUE(test::MakeTruncatedCopy(mp4, media.Path("head.mp4"), 16));
    const QString fifo = media.Path("pipe.mkv");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QDir(media.Path("")).mkpath("folder.mkv");

    const struct {
        const char* name;
        HRESULT expected; // 0: any failure
    } cases[] = {{"random.mkv", 0}, {"random.avi", 0}, {"empty.mp4", 0},
                 {"cut.mp4", 0},    {"head.mp4", 0},   {"missing.mkv", VFW_E_NOT_FOUND},
                 {"pipe.mkv", 0},   {"folder.mkv", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto graph = PlaybackGraph::Create();
        ASSERT_TRUE(graph);
        QElapsedTimer timer;
        timer.start();
        const HRESULT hr = graph->RenderFile(media.Path(c.name), false);
        const qint64 elapsed = timer.elapsed();
        EXPECT_TRUE(Failed(hr));
        if (c.expected) {
            EXPECT_EQ(hr, c.expected);
        }
        EXPECT_LT(elapsed, 4000); // well before the 8 s limit: refused, not timed out
        EXPECT_FALSE(graph->LastErrorText().isEmpty());
        EXPECT_LE(graph->LastErrorText().size(), 160);
        // Nothing answers on a graph without a file.
        REFERENCE_TIME t = 0;
        EXPECT_TRUE(Failed(graph->GetDuration(&t)));
        EXPECT_TRUE(Failed(graph->Run()));
        timer.restart();
        graph.reset();
        EXPECT_LT(timer.elapsed(), 1000);
    }
    // A pipe is refused before anything reads from it.
    auto graph = PlaybackGraph::Create();
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(Failed(graph->RenderFile(fifo, true)));
    EXPECT_LT(timer.elapsed(), 500);
}

TEST(PlaybackGraph, CutMatroskaFileOpensOrIsRefusedWithoutHanging) {
    PlaybackMedia& media = PlaybackMedia::Get();
    const QString mkv = media.Clip(test::Container::Mkv);
    const qint64 size = QFileInfo(mkv).size();
    for (qint64 keep : {qint64(300), size / 3, size - 100}) {
        SCOPED_TRACE(keep);
        const QString cut = media.Path(QString("cut%1.mkv").arg(keep));
        ASSERT_TRUE(test::MakeTruncatedCopy(mkv, cut, keep));
        auto graph = PlaybackGraph::Create();
        QElapsedTimer timer;
        timer.start();
        const HRESULT hr = graph->RenderFile(cut, true, 5s);
        EXPECT_LT(timer.elapsed(), 6000);
        if (Succeeded(hr)) {
            REFERENCE_TIME length = 0;
            if (Succeeded(graph->GetDuration(&length))) {
                EXPECT_LE(Seconds(length), 2.1);
            }
        }
    }
}

TEST(PlaybackGraph, RunningOutOfTimeFailsInTimeAndTheGraphStaysUsable) {
    const QString path = PlaybackMedia::Get().Clip(test::Container::Mkv);
    auto graph = PlaybackGraph::Create();
    EXPECT_EQ(graph->RenderFile(path, true, 0ms), VFW_E_TIMEOUT);
    EXPECT_FALSE(graph->LastErrorText().isEmpty());
    // Ever longer time limits catch the opening at every stage; each attempt
    // ends within its limit (give or take the scheduler) or succeeds.
    HRESULT hr = VFW_E_TIMEOUT;
    for (int limit = 1; limit <= 4096 && hr == VFW_E_TIMEOUT; limit *= 2) {
        SCOPED_TRACE(limit);
        QElapsedTimer timer;
        timer.start();
        hr = graph->RenderFile(path, true, std::chrono::milliseconds(limit));
        EXPECT_LT(timer.elapsed(), limit + 150);
        EXPECT_TRUE(hr == VFW_E_TIMEOUT || hr == S_OK) << std::hex << hr;
    }
    ASSERT_EQ(hr, S_OK) << graph->LastErrorText().toStdString();
    EXPECT_TRUE(graph->HasVideo());
    EXPECT_TRUE(graph->LastErrorText().isEmpty());
    EXPECT_TRUE(WaitForPipelineReleases(5s));
}

TEST(PlaybackGraph, PlayingToTheEndPostsCompletionOnTheUiThread) {
    const QString path = PlaybackMedia::Get().Clip(test::Container::Mkv);
    auto graph = PlaybackGraph::Create();
    Watcher watcher;
    watcher.Attach(*graph);
    ASSERT_EQ(graph->RenderFile(path, true), S_OK) << graph->LastErrorText().toStdString();
    // The first frame is there before playing.
    ASSERT_TRUE(test::WaitFor([&] { return watcher.frames > 0; }, 5s));
    QElapsedTimer timer;
    timer.start();
    ASSERT_EQ(graph->Run(), S_OK);
    EXPECT_EQ(graph->State(), GraphState::Running);
    ASSERT_TRUE(test::WaitFor([&] { return watcher.Completed(); }, 20s));
    // Played in real time (the clip is 2 s), even with no sound device.
    EXPECT_GT(timer.elapsed(), 1500);
    EXPECT_FALSE(watcher.offThread);
    EXPECT_EQ(watcher.framesOffThread, 0);
    EXPECT_GE(watcher.notifications, 1);
    EXPECT_GT(watcher.frames, 5);
    EXPECT_GT(graph->FramesRendered(), 5u);
    EXPECT_GE(graph->FramesRendered() + graph->FramesDropped(), 45u);
    REFERENCE_TIME position = 0;
    ASSERT_EQ(graph->GetCurrentPosition(&position), S_OK);
    EXPECT_NEAR(Seconds(position), 2.0, 0.15);

    // As the preview does at the end: stop, rewind, show the first frame.
    ASSERT_EQ(graph->Stop(), S_OK);
    EXPECT_EQ(graph->State(), GraphState::Stopped);
    ASSERT_EQ(graph->SetPositions(0), S_OK);
    ASSERT_EQ(graph->GetCurrentPosition(&position), S_OK);
    EXPECT_EQ(position, 0);
    // And it plays again.
    watcher.events.clear();
    ASSERT_EQ(graph->Run(), S_OK);
    ASSERT_TRUE(test::WaitFor([&] { return watcher.Completed(); }, 20s));
}

TEST(PlaybackGraph, FramesAreRgbImagesAtDisplaySize) {
    test::MediaSpec clip;
    clip.width = 720;
    clip.height = 576;
    clip.seconds = 1.0;
    clip.audio = false;
    clip.parNum = 16;
    clip.parDen = 15;
    const QString path = PlaybackMedia::Get().Make("pal-wide.mkv", clip);
    auto graph = PlaybackGraph::Create();
    Watcher watcher;
    watcher.Attach(*graph);
    ASSERT_EQ(graph->RenderFile(path, true), S_OK) << graph->LastErrorText().toStdString();
    ASSERT_TRUE(test::WaitFor([&] { return watcher.frames > 0; }, 5s));
    const QImage frame = watcher.lastFrame;
    EXPECT_EQ(frame.format(), QImage::Format_RGB32);
    // Stored 720 wide with 16:15 pixels: shown 768 wide.
    EXPECT_EQ(frame.size(), QSize(768, 576));
    int32_t w = 0, h = 0;
    ASSERT_EQ(graph->GetVideoSize(&w, &h), S_OK);
    EXPECT_EQ(QSize(w, h), QSize(720, 576));
    // The test pattern's first bars: white, then yellow, then cyan.
    const QColor white = frame.pixelColor(768 / 14, 100);
    const QColor yellow = frame.pixelColor(3 * 768 / 14, 100);
    const QColor cyan = frame.pixelColor(5 * 768 / 14, 100);
    EXPECT_GT(white.red(), 235);
    EXPECT_GT(white.green(), 235);
    EXPECT_GT(white.blue(), 235);
    EXPECT_GT(yellow.red(), 160);
    EXPECT_GT(yellow.green(), 160);
    EXPECT_LT(yellow.blue(), 40);
    EXPECT_LT(cyan.red(), 40);
    EXPECT_GT(cyan.blue(), 160);
    EXPECT_EQ(graph->LastFrame().size(), frame.size());
}

TEST(PlaybackGraph, SeekingToFiftySecondsOfAHundred) {
    test::MediaSpec clip;
    clip.width = 64;
    clip.height = 48;
    clip.fpsNum = 5;
    clip.seconds = 100.0;
    clip.audio = false;
    const QString path = PlaybackMedia::Get().Make("hundred.mkv", clip);
    auto graph = PlaybackGraph::Create();
    Watcher watcher;
    watcher.Attach(*graph);
    ASSERT_EQ(graph->RenderFile(path, true), S_OK) << graph->LastErrorText().toStdString();
    REFERENCE_TIME stop = 0;
    ASSERT_EQ(graph->GetStopPosition(&stop), S_OK);
    EXPECT_NEAR(Seconds(stop), 100.0, 0.01);
    // As the slider does: position 300 of 600.
    ASSERT_EQ(graph->SetPositions(REFERENCE_TIME(double(stop) * 300 * (1.0 / 600))), S_OK);
    REFERENCE_TIME position = 0;
    ASSERT_EQ(graph->GetCurrentPosition(&position), S_OK);
    EXPECT_NEAR(Seconds(position), 50.0, 0.01);
    const int before = watcher.frames;
    ASSERT_TRUE(test::WaitFor([&] { return watcher.frames > before; }, 5s));
    ASSERT_EQ(graph->GetCurrentPosition(&position), S_OK);
    EXPECT_NEAR(Seconds(position), 50.0, 0.01);
    // Playing on from there.
    ASSERT_EQ(graph->Run(), S_OK);
    ASSERT_TRUE(test::WaitFor(
        [&] {
            return Succeeded(graph->GetCurrentPosition(&position)) && position > 50.5 * kSecond;
        },
        5s));
    ASSERT_EQ(graph->Pause(), S_OK);
    EXPECT_EQ(graph->State(), GraphState::Paused);
    REFERENCE_TIME paused = 0;
    ASSERT_EQ(graph->GetCurrentPosition(&paused), S_OK);
    EXPECT_GT(Seconds(paused), 50.4);
    EXPECT_LT(Seconds(paused), 60.0);
    // Stop keeps the position.
    ASSERT_EQ(graph->Stop(), S_OK);
    ASSERT_EQ(graph->GetCurrentPosition(&position), S_OK);
    EXPECT_NEAR(Seconds(position), Seconds(paused), 0.3);
    // Seeking past the end lands on the end.
    ASSERT_EQ(graph->SetPositions(stop * 2), S_OK);
    ASSERT_EQ(graph->GetCurrentPosition(&position), S_OK);
    EXPECT_EQ(position, stop);
}

TEST(PlaybackGraph, NonAsciiPathWithSpacesOpens) {
    PlaybackMedia& media = PlaybackMedia::Get();
    const QString folder = media.Path(QString::fromUtf8("Vidéos à voir 日本"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QString::fromUtf8("/été #1 (copie) 100%.mkv");
    ASSERT_TRUE(QFile::copy(media.Clip(test::Container::Mkv), path));
    auto graph = Rendered(path, true);
    ASSERT_TRUE(graph);
    int32_t w = 0, h = 0;
    EXPECT_EQ(graph->GetVideoSize(&w, &h), S_OK);
    EXPECT_EQ(w, 160);
}

TEST(PlaybackGraph, DestroyingReceiverOrGraphWhileFramesFlowIsSafe) {
    const QString path = PlaybackMedia::Get().Clip(test::Container::Ogg);
    auto graph = PlaybackGraph::Create();
    int frames = 0;
    {
        auto receiver = std::make_unique<QObject>();
        graph->SetFrameTarget(receiver.get(), [&](const QImage&) { ++frames; });
        graph->Events().SetNotifyWindow(receiver.get(), [&] { ++frames; });
        ASSERT_EQ(graph->RenderFile(path, true), S_OK) << graph->LastErrorText().toStdString();
        ASSERT_EQ(graph->Run(), S_OK);
        ASSERT_TRUE(test::WaitFor([&] { return frames > 3; }, 5s));
        // Gone while frames keep coming and calls may be queued for it.
    }
    const int atDeath = frames;
    test::WaitFor([] { return false; }, 300ms);
    EXPECT_EQ(frames, atDeath);
    EXPECT_GT(graph->FramesRendered(), 0u); // still playing, just not delivered

    // The graph goes while playing, with deliveries queued for a live receiver.
    Watcher watcher;
    watcher.Attach(*graph);
    ASSERT_TRUE(test::WaitFor([&] { return watcher.frames > 0; }, 5s));
    QElapsedTimer timer;
    timer.start();
    graph.reset();
    EXPECT_LT(timer.elapsed(), 500);
    const int afterGraph = watcher.frames;
    test::WaitFor([] { return false; }, 200ms);
    EXPECT_EQ(watcher.frames, afterGraph);
    EXPECT_TRUE(WaitForPipelineReleases(5s));
}

TEST(PlaybackGraph, FrameTargetSetAfterOpeningGetsTheCurrentFrame) {
    const QString path = PlaybackMedia::Get().Clip(test::Container::Avi);
    auto graph = Rendered(path, true);
    ASSERT_TRUE(graph);
    ASSERT_TRUE(test::WaitFor([&] { return !graph->LastFrame().isNull(); }, 5s));
    Watcher watcher;
    watcher.Attach(*graph);
    ASSERT_TRUE(test::WaitFor([&] { return watcher.frames == 1; }, 5s));
    EXPECT_EQ(watcher.lastFrame.size(), QSize(160, 120));
    // Pausing while stopped changes nothing on screen or in the counters.
    EXPECT_EQ(graph->FramesRendered(), 0u);
    EXPECT_EQ(graph->SetRate(1.0), S_OK);
    EXPECT_EQ(graph->SetRate(0.0), E_INVALIDARG);
}

TEST(GraphEventQueue, EventsPushedFromOtherThreadsReachTheOwnerInBatches) {
    GraphEventQueue queue;
    QObject owner;
    int notifications = 0;
    QList<long> codes;
    bool offThread = false;
    queue.SetNotifyWindow(&owner, [&] {
        ++notifications;
        offThread = offThread || QThread::currentThread() != qApp->thread();
        GraphEvent event;
        while (Succeeded(queue.GetEvent(&event)))
            codes << event.code;
    });
    std::thread pusher([&] {
        for (int i = 0; i < 100; ++i)
            queue.Push({i % 2 ? EC_COMPLETE : EC_ERRORABORT, E_FAIL, QString(300, 'x')});
    });
    pusher.join();
    ASSERT_TRUE(test::WaitFor([&] { return codes.size() == 100; }, 5s));
    EXPECT_FALSE(offThread);
    // Coalesced: far fewer notifications than events.
    EXPECT_LT(notifications, 100);
    GraphEvent none;
    EXPECT_EQ(queue.GetEvent(&none), E_FAIL);

    // Texts are cut to 160 characters.
    queue.SetNotifyWindow(nullptr, nullptr);
    queue.Push({EC_ERRORABORT, E_FAIL, QString(300, 'y')});
    GraphEvent event;
    ASSERT_EQ(queue.GetEvent(&event), S_OK);
    EXPECT_EQ(event.text.size(), 160);
}

TEST(GraphEventQueue, NoCallAfterTheOwnerOrTheQueueIsGone) {
    int calls = 0;
    {
        GraphEventQueue queue;
        auto owner = std::make_unique<QObject>();
        queue.SetNotifyWindow(owner.get(), [&] { ++calls; });
        queue.Push({EC_COMPLETE, S_OK, {}});
        owner.reset(); // the queued call dies with it
        queue.Push({EC_COMPLETE, S_OK, {}});
        QCoreApplication::processEvents();
        EXPECT_EQ(calls, 0);
        // A new owner hears of the events waiting.
        QObject second;
        queue.SetNotifyWindow(&second, [&] { ++calls; });
        ASSERT_TRUE(test::WaitFor([&] { return calls == 1; }, 2s));
    }
    QObject owner;
    {
        GraphEventQueue queue;
        queue.SetNotifyWindow(&owner, [&] { ++calls; });
        queue.Push({EC_COMPLETE, S_OK, {}});
    } // the queue goes with a call queued
    test::WaitFor([] { return false; }, 100ms);
    EXPECT_EQ(calls, 1);
}
