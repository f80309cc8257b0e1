// The preview player on real clips: open, play, pause, stop, the end of the
// clip, seeking from the slider, the position reports and the error boxes.
#include "media/PlaybackGraph.h"
#include "preview/PreviewPlayer.h"
#include "preview/PreviewWindow.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace orvelin;
using namespace orvelin::test;
using media::kUnitsPerSecond;

namespace {

struct Report {
    qint64 current;
    qint64 stop;
};

class PreviewPlayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media_ = new QTemporaryDir;
        MediaSpec longClip;
        longClip.width = 64;
        longClip.height = 48;
        longClip.fpsNum = 5;
        longClip.seconds = 100.0;
        longClip.audio = false;
        QString log;
        longOk_ = MakeMedia(LongClip(), longClip, &log);
        ASSERT_TRUE(longOk_) << log.toStdString();

        MediaSpec shortClip;
        shortClip.width = 160;
        shortClip.height = 120;
        shortClip.seconds = 2.0;
        shortClip.audio = false;
        ASSERT_TRUE(MakeMedia(ShortClip(), shortClip, &log)) << log.toStdString();
        ASSERT_TRUE(MakeRandomFile(media_->filePath("noise.mkv"), 64 * 1024));
    }
    static void TearDownTestSuite() {
        delete media_;
        media_ = nullptr;
    }
    static QString LongClip() { return media_->filePath("long clip.mkv"); }
    static QString ShortClip() { return media_->filePath("short.mkv"); }
    static QString Noise() { return media_->filePath("noise.mkv"); }

    void SetUp() override {
        owner_.setGeometry(200, 500, 500, 300);
        owner_.show();
    }

    std::unique_ptr<PreviewPlayer> Open(const QString& path) {
        auto player = std::make_unique<PreviewPlayer>(*env_.context, &owner_);
        QObject::connect(player.get(), &PreviewPlayer::positionMessage, player.get(),
                         [this](qint64 current, qint64 stop) {
                             reports_.push_back({current, stop});
                         });
        player->SetFileName(path);
        EXPECT_EQ(player->OpenFile(), 1) << env_.ui.MessageTexts().join("|").toStdString();
        return player;
    }

    // Waits for the next position report of the player's own timer.
    bool NextReport(Report* out, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        const size_t seen = reports_.size();
        if (!WaitFor([&] { return reports_.size() > seen; }, timeout))
            return false;
        *out = reports_.back();
        return true;
    }

    static QTemporaryDir* media_;
    static bool longOk_;
    TestEnv env_;
    QWidget owner_;
    std::vector<Report> reports_;
};

QTemporaryDir* PreviewPlayerTest::media_ = nullptr;
bool PreviewPlayerTest::longOk_ = false;

} // namespace

TEST_F(PreviewPlayerTest, OpenedClipIsStoppedAtItsStartInItsOwnWindow) {
    auto player = Open(ShortClip());
    EXPECT_EQ(player->State(), PreviewPlayer::kStopped);
    EXPECT_FALSE(player->AudioOnly());
    ASSERT_NE(player->Window(), nullptr);
    EXPECT_TRUE(player->Window()->isVisible());
    EXPECT_TRUE(player->Window()->isWindow());
    EXPECT_EQ(player->Window()->parentWidget(), nullptr);
    EXPECT_EQ(player->Window()->size(), QSize(160, 120)); // the video's native size
    EXPECT_TRUE(player->PollTimerActive());
    EXPECT_TRUE(env_.ui.Messages().empty());

    Report report{};
    ASSERT_TRUE(NextReport(&report));
    EXPECT_EQ(report.current, 0);
    EXPECT_NEAR(double(report.stop) / kUnitsPerSecond, 2.0, 0.1);
    EXPECT_EQ(player->CurrentPosition(), report.current);
    EXPECT_EQ(player->StopPosition(), report.stop);
    // Still stopped: a second report shows the same place.
    ASSERT_TRUE(NextReport(&report));
    EXPECT_EQ(report.current, 0);
}

TEST_F(PreviewPlayerTest, PlayAdvancesPauseHoldsStopRewinds) {
    ASSERT_TRUE(longOk_);
    auto player = Open(LongClip());
    player->Play();
    EXPECT_EQ(player->State(), PreviewPlayer::kRunning);

    ASSERT_TRUE(
        WaitFor([&] { return !reports_.empty() && reports_.back().current > kUnitsPerSecond; },
                std::chrono::seconds(10)));

    player->Pause();
    EXPECT_EQ(player->State(), PreviewPlayer::kPaused);
    Report first{}, second{};
    ASSERT_TRUE(NextReport(&first));
    ASSERT_TRUE(NextReport(&second));
    EXPECT_GT(first.current, kUnitsPerSecond);
    EXPECT_EQ(first.current, second.current);

    // Play again continues from the paused place.
    player->Play();
    EXPECT_EQ(player->State(), PreviewPlayer::kRunning);
    ASSERT_TRUE(WaitFor([&] { return reports_.back().current > second.current; },
                        std::chrono::seconds(10)));

    player->Stop();
    EXPECT_EQ(player->State(), PreviewPlayer::kStopped);
    Report stopped{};
    ASSERT_TRUE(NextReport(&stopped));
    EXPECT_EQ(stopped.current, 0);
    // Stopped means still: nothing moves until Play.
    ASSERT_TRUE(NextReport(&stopped));
    EXPECT_EQ(stopped.current, 0);
}

TEST_F(PreviewPlayerTest, PauseWhileStoppedAndStopWhileClosedChangeNothing) {
    auto player = Open(ShortClip());
    const QString title = player->Window()->windowTitle();
    player->Pause();
    EXPECT_EQ(player->State(), PreviewPlayer::kStopped);
    EXPECT_EQ(player->Window()->windowTitle(), title);
    player->Stop();
    EXPECT_EQ(player->State(), PreviewPlayer::kStopped);

    player->Close();
    EXPECT_EQ(player->State(), PreviewPlayer::kClosed);
    player->Stop();
    player->Play();
    player->Pause();
    EXPECT_EQ(player->State(), PreviewPlayer::kClosed);
    EXPECT_EQ(player->Window(), nullptr);
}

TEST_F(PreviewPlayerTest, EndOfClipRewindsToTheFirstFrameAndReportsStopped) {
    auto player = Open(ShortClip());
    PreviewWindow* window = player->Window();
    const QImage firstFrame = window->Frame();
    ASSERT_FALSE(firstFrame.isNull());
    player->Play();
    ASSERT_TRUE(WaitFor([&] { return player->State() == PreviewPlayer::kStopped; },
                        std::chrono::seconds(15)));
    Report report{};
    ASSERT_TRUE(NextReport(&report));
    EXPECT_EQ(report.current, 0);
    EXPECT_EQ(window->windowTitle(), "short.mkv  ");
    // The first frame is on show again.
    ASSERT_TRUE(WaitFor([&] { return window->Frame() == firstFrame; }, std::chrono::seconds(5)));
    // And it plays again from the start.
    player->Play();
    EXPECT_EQ(player->State(), PreviewPlayer::kRunning);
}

TEST_F(PreviewPlayerTest, SliderReleasedAtTheMiddleSeeksToHalfTheClip) {
    ASSERT_TRUE(longOk_);
    auto player = Open(LongClip());
    // Before the first poll the stop position is unknown: no seek.
    player->SeekToSliderPosition(300);
    Report report{};
    ASSERT_TRUE(NextReport(&report));
    EXPECT_EQ(report.current, 0);
    EXPECT_NEAR(double(report.stop) / kUnitsPerSecond, 100.0, 0.3);

    player->SeekToSliderPosition(300);
    ASSERT_TRUE(NextReport(&report));
    EXPECT_NEAR(double(report.current) / kUnitsPerSecond, double(report.stop) / 2 / kUnitsPerSecond,
                0.2);
    EXPECT_NEAR(double(report.current) / kUnitsPerSecond, 50.0, 0.3);
    EXPECT_EQ(player->State(), PreviewPlayer::kStopped);

    // A later Play starts there.
    player->Play();
    ASSERT_TRUE(WaitFor([&] { return reports_.back().current > 50 * kUnitsPerSecond; },
                        std::chrono::seconds(10)));
    EXPECT_LT(reports_.back().current, 60 * kUnitsPerSecond);
}

TEST_F(PreviewPlayerTest, SeekClampsNegativeTimesToTheStart) {
    auto player = Open(ShortClip());
    player->SeekTo(kUnitsPerSecond);
    player->PollPosition();
    EXPECT_NEAR(double(player->CurrentPosition()) / kUnitsPerSecond, 1.0, 0.05);
    player->SeekTo(-5 * kUnitsPerSecond);
    player->PollPosition();
    EXPECT_EQ(player->CurrentPosition(), 0);
}

TEST_F(PreviewPlayerTest, PositionReportsAreHeldBackWhileTheSliderIsHeld) {
    ASSERT_TRUE(longOk_);
    auto player = Open(LongClip());
    player->Play();
    Report report{};
    ASSERT_TRUE(NextReport(&report));

    env_.context->sliderDragging = 1;
    const size_t before = reports_.size();
    const qint64 polledBefore = player->CurrentPosition();
    // Two and a half poll periods pass without a report...
    EXPECT_FALSE(
        WaitFor([&] { return reports_.size() > before; }, std::chrono::milliseconds(2500)));
    // ...while the player keeps its own position current (the trim points use it).
    EXPECT_GT(player->CurrentPosition(), polledBefore);

    env_.context->sliderDragging = 0;
    ASSERT_TRUE(NextReport(&report));
    EXPECT_EQ(report.current, player->CurrentPosition());
}

TEST_F(PreviewPlayerTest, TrimPointsSeeTheLastPolledPositionNotTheLiveOne) {
    ASSERT_TRUE(longOk_);
    auto player = Open(LongClip());
    player->Play();
    Report report{};
    ASSERT_TRUE(NextReport(&report));
    const qint64 polled = player->CurrentPosition();
    media::REFERENCE_TIME live = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            player->Graph()->GetCurrentPosition(&live);
            return live > polled;
        },
        std::chrono::seconds(3)));
    EXPECT_EQ(player->CurrentPosition(), reports_.back().current);
}

TEST_F(PreviewPlayerTest, NoReportsWithoutAnOwnerWindow) {
    auto player = std::make_unique<PreviewPlayer>(*env_.context, nullptr);
    int reports = 0;
    QObject::connect(player.get(), &PreviewPlayer::positionMessage, [&] { ++reports; });
    player->SetFileName(ShortClip());
    ASSERT_EQ(player->OpenFile(), 1);
    player->PollPosition();
    EXPECT_EQ(reports, 0);
    EXPECT_NEAR(double(player->StopPosition()) / kUnitsPerSecond, 2.0, 0.1);
}

TEST_F(PreviewPlayerTest, CloseReleasesEverything) {
    auto player = Open(ShortClip());
    QPointer<PreviewWindow> window = player->Window();
    player->Close();
    EXPECT_EQ(player->State(), PreviewPlayer::kClosed);
    EXPECT_TRUE(player->FileName().isEmpty());
    EXPECT_TRUE(player->AudioOnly());
    EXPECT_FALSE(player->HasVideoWindow());
    EXPECT_FALSE(player->PollTimerActive());
    EXPECT_EQ(player->Window(), nullptr);
    EXPECT_TRUE(window.isNull());
    // Deleting a closed player is fine, and deleting an open one closes it.
    player.reset();
    auto second = Open(ShortClip());
    QPointer<PreviewWindow> secondWindow = second->Window();
    second.reset();
    EXPECT_TRUE(secondWindow.isNull());
}

TEST_F(PreviewPlayerTest, FileThatIsNoMediaShowsTheVantorixBoxAndCloses) {
    auto player = std::make_unique<PreviewPlayer>(*env_.context, &owner_);
    player->SetFileName(Noise());
    EXPECT_EQ(player->OpenFile(), 0);
    const auto boxes = env_.ui.Messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Vantorix");
    EXPECT_FALSE(boxes[0].hadOwner);
    EXPECT_EQ(boxes[0].text, "Cannot play the file.  The file is either corrupt or\n"
                             "the player does not support the format you are trying to play.\n"
                             "You need to install appropriate decoders.");
    EXPECT_EQ(player->State(), PreviewPlayer::kClosed);
    EXPECT_EQ(player->Window(), nullptr);
}

TEST_F(PreviewPlayerTest, MissingFileShowsTheSameBox) {
    auto player = std::make_unique<PreviewPlayer>(*env_.context, &owner_);
    player->SetFileName(env_.TempPath("gone.mkv"));
    EXPECT_EQ(player->OpenFile(), 0);
    ASSERT_EQ(env_.ui.Messages().size(), 1u);
    EXPECT_EQ(env_.ui.Messages()[0].caption, "Vantorix");
    EXPECT_TRUE(env_.ui.Messages()[0].text.startsWith("Cannot play the file."));
}

TEST_F(PreviewPlayerTest, WithoutAFileNameThePlayerAsksForOneAndRefusesPlaylists) {
    auto player = std::make_unique<PreviewPlayer>(*env_.context, &owner_);
    env_.ui.fileAnswers.push_back(media_->filePath("list.ASX"));
    EXPECT_EQ(player->OpenFile(), 0);
    ASSERT_EQ(env_.ui.calls.size(), 2u);
    EXPECT_EQ(env_.ui.calls[0].kind, UiCall::OpenFile);
    EXPECT_EQ(env_.ui.calls[0].file.title, "Open Media File...");
    ASSERT_EQ(env_.ui.calls[0].file.filters.size(), 1);
    EXPECT_EQ(env_.ui.calls[0].file.filters[0].text, "Any Files (*.*)");
    EXPECT_EQ(env_.ui.calls[1].caption, "Vantorix");
    EXPECT_EQ(env_.ui.calls[1].text, "ASX Playlists are not supported by this application.\n\n"
                                     "Please select a valid media file.");
    EXPECT_EQ(player->State(), PreviewPlayer::kClosed);

    // Cancelled: no box, nothing opened.
    env_.ui.Clear();
    EXPECT_EQ(player->OpenFile(), 0);
    EXPECT_TRUE(env_.ui.Messages().empty());

    // A real clip chosen in the dialog is opened.
    env_.ui.fileAnswers.push_back(ShortClip());
    EXPECT_EQ(player->OpenFile(), 1);
    EXPECT_EQ(player->FileName(), ShortClip());
    EXPECT_EQ(player->State(), PreviewPlayer::kStopped);
}

TEST_F(PreviewPlayerTest, AttachedGraphRunsAtOnceAndStaysTheCallers) {
    auto graph = media::PlaybackGraph::Create();
    ASSERT_TRUE(graph);
    ASSERT_TRUE(media::Succeeded(graph->RenderFile(ShortClip(), true)));
    auto player = std::make_unique<PreviewPlayer>(*env_.context, &owner_);
    ASSERT_TRUE(media::Succeeded(player->AttachGraph(graph.get())));
    EXPECT_EQ(player->State(), PreviewPlayer::kRunning);
    EXPECT_EQ(player->Window()->windowTitle(), "PREVIEW");
    player->Close();
    // The graph is still the caller's and still works.
    media::REFERENCE_TIME length = 0;
    EXPECT_TRUE(media::Succeeded(graph->GetStopPosition(&length)));
    EXPECT_GT(length, 0);
}
