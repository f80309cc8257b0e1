// Open Video through the main window: the probe, the texts it writes, the
// preview it starts and the trim points, on real generated media.
#include "app/SettingsStore.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "mainwnd/VideoProbe.h"
#include "preview/PreviewPlayer.h"
#include "preview/PreviewWindow.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QDir>
#include <QSlider>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace orvelin;
using namespace orvelin::test;

namespace {
constexpr int64_t kSecond = 10'000'000;

// Media shared by the suite, made once (generation dominates the run time).
class OpenVideoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media_ = new QTemporaryDir;
        QString log;
        MediaSpec longClip;
        longClip.width = 64;
        longClip.height = 48;
        longClip.fpsNum = 10;
        longClip.seconds = 83.7;
        longClip.audio = false;
        longOk_ = MakeMedia(Path("long clip é.mkv"), longClip, &log);
        MediaSpec pal;
        pal.container = Container::Mp4;
        pal.width = 720;
        pal.height = 576;
        pal.fpsNum = 25;
        pal.seconds = 1.0;
        palOk_ = MakeMedia(Path("pal.mp4"), pal, &log);
        MediaSpec sound;
        sound.container = Container::Ogg;
        sound.video = false;
        sound.seconds = 1.0;
        soundOk_ = MakeMedia(Path("sound.ogg"), sound, &log);
        MakeRandomFile(Path("noise.mkv"), 64 * 1024);
    }
    static void TearDownTestSuite() {
        delete media_;
        media_ = nullptr;
    }
    static QString Path(const QString& name) { return media_->filePath(name); }

    // Chooses `path` in the open dialog and presses Open Video.
    void Open(MainDialog& dialog, const QString& path) {
        env_.ui.fileAnswers.push_back(path);
        qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_OPEN_VIDEO))->click();
    }
    void Click(MainDialog& dialog, int id) {
        qobject_cast<QAbstractButton*>(dialog.Control(id))->click();
    }

    TestEnv env_;
    static QTemporaryDir* media_;
    static bool longOk_, palOk_, soundOk_;
};
QTemporaryDir* OpenVideoTest::media_ = nullptr;
bool OpenVideoTest::longOk_ = false;
bool OpenVideoTest::palOk_ = false;
bool OpenVideoTest::soundOk_ = false;
} // namespace

TEST_F(OpenVideoTest, TheOpenDialogAsksAsTheProgramDoes) {
    env_.settings->WriteString("Option", "LastPhotoFolder", "/srv/clips/");
    MainDialog dialog(*env_.context);
    Click(dialog, IDC_BUTTON_OPEN_VIDEO); // cancelled: nothing changes
    ASSERT_EQ(env_.ui.calls.size(), 1u);
    const UiCall& call = env_.ui.calls[0];
    EXPECT_EQ(call.kind, UiCall::OpenFile);
    EXPECT_EQ(call.caption, "Open a video file");
    EXPECT_TRUE(call.hadOwner);
    EXPECT_EQ(call.file.startFolder, "/srv/clips/");
    ASSERT_EQ(call.file.filters.size(), 2);
    EXPECT_EQ(call.file.filters[0].text, "Any Files (*.*)");
    EXPECT_EQ(call.file.filters[0].pattern, "*.*");
    EXPECT_EQ(call.file.filters[1].text, "Video Files (*.mpeg;*.mpg;*.avi;*.wmv;*.dat;*.asf;"
                                         "*.vob;*.ogm;*.divx;*.div;*.mkv)");
    EXPECT_EQ(call.file.filters[1].pattern,
              "*.mpeg;*.mpg;*.avi;*.asf;*.wmv;*.dat;*.vob;*.ogm;*.divx;*.div;*.mkv");
    EXPECT_EQ(call.file.selectedFilter, 0);
    EXPECT_EQ(dialog.State().itemCount, 0);
    EXPECT_FALSE(dialog.Control(IDC_BUTTON_PLAY)->isEnabled());
}

TEST_F(OpenVideoTest, ALengthIsCutToWholeSecondsAndShown) {
    ASSERT_TRUE(longOk_);
    env_.settings->WriteInt("Settings", "OutputFrameRateIndex", 0);
    MainDialog dialog(*env_.context);
    Open(dialog, Path("long clip é.mkv"));
    ASSERT_TRUE(env_.ui.MessageTexts().isEmpty()) << env_.ui.MessageTexts().join("|").toStdString();
    const MainState& s = dialog.State();
    EXPECT_EQ(s.itemCount, 1);
    EXPECT_EQ(s.items[0].duration, 83 * kSecond);
    EXPECT_EQ(s.trimStart, 0);
    EXPECT_EQ(s.trimEnd, 83 * kSecond);
    EXPECT_EQ(s.photoSeconds, 83);
    EXPECT_EQ(s.musicCount, 1);
    EXPECT_NEAR(static_cast<double>(s.music[0].duration), 83.7 * kSecond, 0.11 * kSecond);
    EXPECT_EQ(s.audioSourceMode, 2);
    EXPECT_EQ(dialog.ControlText(IDC_STATIC_POSITION), "00:00:00 / 00:01:23");
    EXPECT_EQ(dialog.ControlText(IDC_STATIC_END_TIME), "00:01:23");
    EXPECT_EQ(dialog.ControlText(IDC_STATIC_START_TIME), "00:00:00");
    EXPECT_DOUBLE_EQ(s.sourceFrameRate, 10.0);
    EXPECT_DOUBLE_EQ(s.output.outputFrameRate, 10.0); // index 0 follows the source
    EXPECT_EQ(env_.ReopenStore()->GetString("Option", "LastPhotoFolder", ""), media_->path() + "/");
    EXPECT_TRUE(dialog.Control(IDC_BUTTON_PLAY)->isEnabled());
    EXPECT_TRUE(dialog.Control(IDC_BUTTON_CONVERT)->isEnabled());

    // The preview is open, stopped at the start, in its own window.
    PreviewPlayer* player = dialog.Player();
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->State(), PreviewPlayer::kStopped);
    EXPECT_EQ(player->CurrentPosition(), 0);
    ASSERT_NE(player->Window(), nullptr);
    EXPECT_TRUE(player->Window()->isVisible());
    EXPECT_TRUE(player->Window()->windowTitle().startsWith("long clip é.mkv"));

    // Start Time before the first poll takes 0.
    Click(dialog, IDC_BUTTON_START_TIME);
    EXPECT_EQ(dialog.State().trimStart, 0);
    EXPECT_EQ(dialog.ControlText(IDC_STATIC_START_TIME), "00:00:00");

    // Paused at 65.7 s, End Time stores 65.7 s exactly and shows 00:01:05.
    player->SeekTo(657'000'000);
    ASSERT_TRUE(WaitFor([&] { return player->CurrentPosition() == 657'000'000; }));
    Click(dialog, IDC_BUTTON_END_TIME);
    EXPECT_EQ(dialog.State().trimEnd, 657'000'000);
    EXPECT_EQ(dialog.ControlText(IDC_STATIC_END_TIME), "00:01:05");
    // The poll reached the main window too.
    ASSERT_TRUE(
        WaitFor([&] { return dialog.ControlText(IDC_STATIC_POSITION) == "00:01:05 / 00:01:23"; }));
    EXPECT_EQ(qobject_cast<QSlider*>(dialog.Control(IDC_SLIDER_SEEK))->value(),
              static_cast<int>(65.7 / 83.7 * 600));
}

TEST_F(OpenVideoTest, TheFrameSizeReplacesTheStoredOutputSize) {
    ASSERT_TRUE(palOk_);
    env_.settings->WriteInt("Settings", "OutputWidth", 320);
    env_.settings->WriteInt("Settings", "OutputHigh", 240);
    env_.settings->WriteInt("Settings", "OutputFrameRateIndex", 3);
    MainDialog dialog(*env_.context);
    Open(dialog, Path("pal.mp4"));
    const MainState& s = dialog.State();
    EXPECT_EQ(s.sourceWidth, 720);
    EXPECT_EQ(s.sourceHeight, 576);
    EXPECT_EQ(s.output.outputWidth, 720);
    EXPECT_EQ(s.output.outputHeight, 576);
    EXPECT_DOUBLE_EQ(s.sourceFrameRate, 25.0);
    EXPECT_DOUBLE_EQ(s.output.outputFrameRate, 25.0); // index 3 is 25 anyway
    EXPECT_TRUE(dialog.ControlText(IDC_STATIC_OUTPUT_INFO).endsWith("Resolution: 720*576"))
        << dialog.ControlText(IDC_STATIC_OUTPUT_INFO).toStdString();
}

TEST_F(OpenVideoTest, AnAudioOnlyFileIsRefused) {
    ASSERT_TRUE(soundOk_);
    MainDialog dialog(*env_.context);
    Open(dialog, Path("sound.ogg"));
    const auto boxes = env_.ui.Messages();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Failed to IID_IBasicVideo");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[1].text, "Can not get the duration of the clip!Cannot open the file. You "
                             "need to install appropriate decoders. Or the file is corrupt.");
    EXPECT_EQ(boxes[1].caption, "Error IDS_MESSAGE_NO_DURATION");
    EXPECT_EQ(dialog.State().itemCount, 0);
    EXPECT_EQ(dialog.Player(), nullptr);
    EXPECT_FALSE(dialog.Control(IDC_BUTTON_PLAY)->isEnabled());
}

TEST_F(OpenVideoTest, FilesThatAreNoMediaAreRefusedWithTheRenderMessage) {
    QTemporaryDir dir;
    const QString empty = dir.filePath("empty.avi");
    QFile(empty).open(QIODevice::WriteOnly);
    const QString fifo = dir.filePath("pipe.mkv");
    ASSERT_EQ(mkfifo(fifo.toUtf8().constData(), 0600), 0);
    for (const QString& path : {Path("noise.mkv"), empty, fifo, dir.filePath("missing.mkv")}) {
        env_.ui.Clear();
        MainDialog dialog(*env_.context);
        Open(dialog, path);
        const auto boxes = env_.ui.Messages();
        ASSERT_EQ(boxes.size(), 2u) << path.toStdString();
        EXPECT_EQ(boxes[0].caption, "Error IDS_MESSAGE_NOT_OPEN_FILE");
        EXPECT_FALSE(boxes[0].hadOwner);
        EXPECT_EQ(boxes[1].caption, "Error IDS_MESSAGE_NO_DURATION");
        EXPECT_EQ(dialog.State().itemCount, 0);
    }
}

TEST_F(OpenVideoTest, ClosingThePreviewWindowClosesTheVideo) {
    ASSERT_TRUE(palOk_);
    MainDialog dialog(*env_.context);
    dialog.show();
    Open(dialog, Path("pal.mp4"));
    ASSERT_NE(dialog.Player(), nullptr);
    dialog.Player()->Window()->close();
    ASSERT_TRUE(WaitFor([&] { return dialog.Player() == nullptr; }));
    EXPECT_EQ(dialog.State().itemCount, 0);
    EXPECT_FALSE(dialog.Control(IDC_BUTTON_PLAY)->isEnabled());
    EXPECT_EQ(dialog.ControlText(IDC_STATIC_END_TIME), "00:00:00");
}

TEST(FolderOf, KeepsTheFinalSeparator) {
    EXPECT_EQ(FolderOf("/home/u/clips/a.mkv"), "/home/u/clips/");
    EXPECT_EQ(FolderOf("a.mkv"), "");
    EXPECT_EQ(FolderOf("/a.mkv"), "/");
}
