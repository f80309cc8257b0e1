// The preview window: its title, the frames it draws, the close box, the
// context menu, the click toggles, full screen and the cursor hiding.
#include "preview/FullScreenPlacement.h"
#include "preview/PreviewPlayer.h"
#include "preview/PreviewWindow.h"
#include "preview/WindowLayering.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

using namespace orvelin;
using namespace orvelin::test;

namespace {

class PreviewWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media_ = new QTemporaryDir;
        MediaSpec clip;
        clip.width = 160;
        clip.height = 120;
        clip.seconds = 20.0;
        clip.audio = false;
        QString log;
        ASSERT_TRUE(MakeMedia(Clip(), clip, &log)) << log.toStdString();
        MediaSpec sound;
        sound.container = Container::Ogg;
        sound.video = false;
        sound.seconds = 3.0;
        ASSERT_TRUE(MakeMedia(Sound(), sound, &log)) << log.toStdString();
    }
    static void TearDownTestSuite() {
        delete media_;
        media_ = nullptr;
    }
    static QString Clip() { return media_->filePath("bars.mkv"); }
    static QString Sound() { return media_->filePath("tone.ogg"); }

    void SetUp() override {
        owner_.setGeometry(200, 500, 500, 300);
        owner_.show();
    }

    std::unique_ptr<PreviewPlayer> Open(const QString& path) {
        auto player = std::make_unique<PreviewPlayer>(*env_.context, &owner_);
        player->SetFileName(path);
        EXPECT_EQ(player->OpenFile(), 1) << env_.ui.MessageTexts().join("|").toStdString();
        // As a user would, act once the window is on the screen.
        if (player->Window() && player->Window()->isVisible()) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(player->Window()));
        }
        return player;
    }

    static bool Enabled(QMenu& menu, int command) {
        for (QAction* action : menu.actions())
            if (action->data().toInt() == command)
                return action->isEnabled();
        ADD_FAILURE() << "no menu item " << command;
        return false;
    }
    static QAction* Item(QMenu& menu, int command) {
        for (QAction* action : menu.actions())
            if (action->data().toInt() == command)
                return action;
        return nullptr;
    }

    // How many clearly different colours the window shows.
    static int DistinctColours(QWidget* widget) {
        const QImage shot = widget->grab().toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += 3)
            for (int x = 0; x < shot.width(); x += 3)
                colours.insert(shot.pixel(x, y) & 0xF0F0F0);
        return colours.size();
    }

    static QTemporaryDir* media_;
    TestEnv env_;
    QDialog owner_;
};

QTemporaryDir* PreviewWindowTest::media_ = nullptr;

} // namespace

TEST_F(PreviewWindowTest, TitleFollowsTheClipAndThePause) {
    PreviewPlayer player(*env_.context, &owner_);
    player.SetFileName(Clip());
    ASSERT_EQ(player.OpenFile(), 1);
    PreviewWindow* window = player.Window();
    EXPECT_EQ(window->windowTitle(), "bars.mkv  ");
    player.Play();
    EXPECT_EQ(window->windowTitle(), "bars.mkv  ");
    player.Pause();
    EXPECT_EQ(window->windowTitle(), "bars.mkv  (Paused)");
    player.Stop();
    EXPECT_EQ(window->windowTitle(), "bars.mkv  ");
}

TEST_F(PreviewWindowTest, NewWindowIsCalledVideoWindowAndStandsBesideTheMainWindow) {
    {
        PreviewPlayer player(*env_.context, &owner_);
        PreviewWindow window(&player, &owner_);
        EXPECT_EQ(window.windowTitle(), "Video Window");
    }
    // The screen here is small (the offscreen screen is 800 × 600): a 720p
    // video is scaled down with its shape, beside the main window and on
    // the screen.
    MediaSpec hd;
    hd.width = 1280;
    hd.height = 720;
    hd.seconds = 0.4;
    hd.audio = false;
    const QString clip = media_->filePath("hd.mkv");
    ASSERT_TRUE(MakeMedia(clip, hd));
    for (const QRect& main : {QRect(20, 20, 500, 300), QRect(200, 500, 500, 300)}) {
        owner_.setGeometry(main);
        auto player = Open(clip);
        PreviewWindow* window = player->Window();
        const QRect available = owner_.screen()->availableGeometry();
        EXPECT_TRUE(available.contains(window->frameGeometry()));
        EXPECT_FALSE(window->frameGeometry().intersects(owner_.frameGeometry()));
        EXPECT_LT(window->width(), 1280);
        EXPECT_NEAR(double(window->width()) / window->height(), 16.0 / 9.0, 0.02);
        // Normal size asks for 1280 × 720 again and gets what the screen holds.
        window->move(available.topLeft() + QPoint(300, 300));
        window->RunCommand(PreviewWindow::kCmdNormalSize);
        EXPECT_TRUE(available.contains(window->frameGeometry()));
        player->Close();
    }
}

TEST_F(PreviewWindowTest, PlayingFramesReachTheWindow) {
    auto player = Open(Clip());
    PreviewWindow* window = player->Window();
    // The first frame is there at once, before playing.
    EXPECT_FALSE(window->Frame().isNull());
    EXPECT_GT(DistinctColours(window), 4);

    const QImage first = window->Frame();
    player->Play();
    ASSERT_TRUE(WaitFor([&] { return window->Frame() != first; }, std::chrono::seconds(10)));
    EXPECT_EQ(window->Frame().size(), QSize(160, 120));
    EXPECT_GT(DistinctColours(window), 4);

    // Made larger, the window scales the video over its whole client area.
    window->resize(320, 240);
    QApplication::processEvents();
    const QImage shot = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), QSize(320, 240));
    EXPECT_NE(shot.pixel(10, 10), qRgb(0, 0, 0));
    EXPECT_NE(shot.pixel(310, 100), qRgb(0, 0, 0));
}

TEST_F(PreviewWindowTest, CloseBoxAsksTheMainWindowToCloseTheVideo) {
    auto player = Open(Clip());
    QSignalSpy fromWindow(player->Window(), &PreviewWindow::closeCommand);
    QSignalSpy fromPlayer(player.get(), &PreviewPlayer::closeCommand);
    EXPECT_FALSE(player->Window()->close()); // the window itself stays
    EXPECT_EQ(fromWindow.count(), 1);
    EXPECT_EQ(fromPlayer.count(), 1);
    EXPECT_TRUE(player->Window()->isVisible());

    // The menu's Close does the same.
    player->Window()->RunCommand(PreviewWindow::kCmdClose);
    EXPECT_EQ(fromPlayer.count(), 2);

    // What the main window does on the command: close the video.
    QObject::connect(
        player.get(), &PreviewPlayer::closeCommand, player.get(), [&] { player->Close(); },
        Qt::QueuedConnection);
    player->Window()->close();
    ASSERT_TRUE(WaitFor([&] { return player->State() == PreviewPlayer::kClosed; }));
}

TEST_F(PreviewWindowTest, ContextMenuGreysByStateAndChecksFullScreen) {
    auto player = Open(Clip());
    PreviewWindow* window = player->Window();
    {
        auto menu = window->CreateContextMenu();
        ASSERT_EQ(menu->actions().size(), 8); // six commands, two separators
        EXPECT_EQ(Item(*menu, PreviewWindow::kCmdFullScreen)->text(), "Full screen");
        EXPECT_EQ(Item(*menu, PreviewWindow::kCmdNormalSize)->text(), "Normal size");
        EXPECT_EQ(Item(*menu, PreviewWindow::kCmdClose)->text(), "Close");
        EXPECT_TRUE(Enabled(*menu, PreviewWindow::kCmdPlay));
        EXPECT_FALSE(Enabled(*menu, PreviewWindow::kCmdPause));
        EXPECT_FALSE(Enabled(*menu, PreviewWindow::kCmdStop));
        EXPECT_FALSE(Item(*menu, PreviewWindow::kCmdFullScreen)->isChecked());
    }
    player->Play();
    {
        auto menu = window->CreateContextMenu();
        EXPECT_FALSE(Enabled(*menu, PreviewWindow::kCmdPlay));
        EXPECT_TRUE(Enabled(*menu, PreviewWindow::kCmdPause));
        EXPECT_TRUE(Enabled(*menu, PreviewWindow::kCmdStop));
    }
    player->Pause();
    {
        auto menu = window->CreateContextMenu();
        EXPECT_TRUE(Enabled(*menu, PreviewWindow::kCmdPlay));
        EXPECT_FALSE(Enabled(*menu, PreviewWindow::kCmdPause));
        EXPECT_TRUE(Enabled(*menu, PreviewWindow::kCmdStop));
    }
    window->RunCommand(PreviewWindow::kCmdFullScreen);
    ASSERT_TRUE(window->IsFullScreen());
    EXPECT_TRUE(Item(*window->CreateContextMenu(), PreviewWindow::kCmdFullScreen)->isChecked());
}

TEST_F(PreviewWindowTest, RightClickOpensTheMenuAtThePointerAndRunsTheChoice) {
    auto player = Open(Clip());
    PreviewWindow* window = player->Window();
    player->Play();
    QPoint menuAt;
    bool menuSeen = false;
    QTimer::singleShot(200, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        menuSeen = true;
        menuAt = menu->pos();
        for (QAction* action : menu->actions())
            if (action->data().toInt() == PreviewWindow::kCmdPause)
                QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                                  menu->actionGeometry(action).center());
    });
    const QPoint pointer = window->mapToGlobal(QPoint(30, 40));
    QTest::mouseRelease(window, Qt::RightButton, Qt::NoModifier, QPoint(30, 40));
    ASSERT_TRUE(menuSeen);
    EXPECT_EQ(menuAt, pointer);
    EXPECT_EQ(player->State(), PreviewPlayer::kPaused);
    EXPECT_TRUE(window->TopmostToggle());
}

TEST_F(PreviewWindowTest, MenuCommandsDrivePlayback) {
    auto player = Open(Clip());
    PreviewWindow* window = player->Window();
    window->RunCommand(PreviewWindow::kCmdPlay);
    EXPECT_EQ(player->State(), PreviewPlayer::kRunning);
    window->RunCommand(PreviewWindow::kCmdPause);
    EXPECT_EQ(player->State(), PreviewPlayer::kPaused);
    window->RunCommand(PreviewWindow::kCmdStop);
    EXPECT_EQ(player->State(), PreviewPlayer::kStopped);

    window->resize(400, 50);
    window->RunCommand(PreviewWindow::kCmdNormalSize);
    EXPECT_EQ(window->size(), QSize(160, 120));
    EXPECT_FLOAT_EQ(player->Zoom(), 1.0f);
    EXPECT_EQ(player->InitVideoWindow(1, 2), media::S_OK);
    EXPECT_EQ(window->size(), QSize(80, 60));
    EXPECT_FLOAT_EQ(player->Zoom(), 0.5f);
}

TEST_F(PreviewWindowTest, FullScreenCoversTheScreenAndEscapeComesBack) {
    auto player = Open(Clip());
    PreviewWindow* window = player->Window();
    const QRect windowed = window->geometry();

    // Escape while windowed does nothing.
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->IsFullScreen());
    EXPECT_EQ(window->geometry(), windowed);

    window->ToggleFullScreen();
    ASSERT_TRUE(window->IsFullScreen());
    const QSize screen = window->screen()->geometry().size();
    ASSERT_TRUE(WaitFor([&] { return window->size() == screen; }, std::chrono::seconds(5)));
    EXPECT_EQ(window->VideoRect(), FullScreenVideoRect(160, 120, screen.width(), screen.height()));
    EXPECT_TRUE(window->TopmostToggle());
    EXPECT_TRUE(window->CursorTimerActive());

    // The picture fills the video's place: its middle is not black.
    QApplication::processEvents();
    const QImage shot = window->grab().toImage();
    const QRect video = window->VideoRect();
    ASSERT_TRUE(shot.rect().contains(video.center()))
        << shot.width() << "x" << shot.height() << " window " << window->width() << "x"
        << window->height();
    EXPECT_NE(shot.pixel(video.center()) & 0xFFFFFF, 0u);

    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->IsFullScreen());
    EXPECT_FALSE(window->CursorTimerActive());
    ASSERT_TRUE(WaitFor([&] { return window->geometry() == windowed; }, std::chrono::seconds(5)));
    EXPECT_EQ(window->VideoRect(), window->rect());
    EXPECT_TRUE(owner_.isVisible());

    // "Normal size" leaves full screen too.
    window->ToggleFullScreen();
    ASSERT_TRUE(window->IsFullScreen());
    window->RunCommand(PreviewWindow::kCmdNormalSize);
    EXPECT_FALSE(window->IsFullScreen());
}

TEST_F(PreviewWindowTest, ClicksInFullScreenHideAndThenShowTheMainWindow) {
    auto player = Open(Clip());
    PreviewWindow* window = player->Window();
    const QRect mainPlace = owner_.geometry();
    window->ToggleFullScreen();
    ASSERT_TRUE(window->IsFullScreen());

    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_FALSE(owner_.isVisible());
    EXPECT_FALSE(IsTopmost(&owner_));
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_TRUE(owner_.isVisible());
    EXPECT_TRUE(IsTopmost(&owner_));
    EXPECT_EQ(owner_.geometry(), mainPlace); // never moved or resized
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_FALSE(owner_.isVisible());

    // Leaving full screen brings the main window back.
    window->LeaveFullScreen();
    EXPECT_TRUE(owner_.isVisible());
}

// The main window runs as a dialog with its own loop. Made window-modal
// (it has no parent) it blocks no other window, so the preview stays usable;
// and hiding it from the preview must not end its loop.
TEST_F(PreviewWindowTest, ModalMainWindowKeepsItsLoopAndLeavesThePreviewUsable) {
    auto player = Open(Clip());
    PreviewWindow* window = player->Window();
    struct BlockWatch : QObject {
        bool blocked = false;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::WindowBlocked)
                blocked = true;
            else if (event->type() == QEvent::WindowUnblocked)
                blocked = false;
            return false;
        }
    } watch;
    window->installEventFilter(&watch);
    owner_.hide();
    owner_.setWindowModality(Qt::WindowModal);
    bool blocked = true;
    bool loopEndedEarly = true;
    bool hidden = false;
    bool shownAgain = false;
    QTimer::singleShot(0, [&] {
        blocked = watch.blocked;
        window->ToggleFullScreen();
        QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5)); // hides it
        hidden = !owner_.isVisible();
        QApplication::processEvents();
        loopEndedEarly = false;
        QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5)); // shows it
        shownAgain = owner_.isVisible();
        QTimer::singleShot(0, &owner_, [&] { owner_.done(7); });
    });
    EXPECT_EQ(owner_.exec(), 7);
    EXPECT_FALSE(loopEndedEarly);
    EXPECT_FALSE(blocked);
    EXPECT_TRUE(hidden);
    EXPECT_TRUE(shownAgain);
    window->LeaveFullScreen();
}

TEST_F(PreviewWindowTest, WindowedClicksAlternateWhichWindowIsOnTop) {
    auto player = Open(Clip());
    PreviewWindow* window = player->Window();
    const bool flagBefore = PreviewWindow::WindowedClickFlag();
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_NE(PreviewWindow::WindowedClickFlag(), flagBefore);
    // Whichever way it started, two clicks make one of each.
    const bool mainOnTopAfterFirst = IsTopmost(&owner_);
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(PreviewWindow::WindowedClickFlag(), flagBefore);
    EXPECT_NE(IsTopmost(&owner_), mainOnTopAfterFirst);
    EXPECT_TRUE(owner_.isVisible());
    EXPECT_EQ(owner_.geometry().size(), QSize(500, 300));
}

TEST_F(PreviewWindowTest, CursorHidesAfterAHundredSecondsWithoutMouseActivity) {
    auto player = Open(Clip());
    PreviewWindow* window = player->Window();
    qint64 now = 1'000'000;
    window->SetClock([&] { return now; });
    window->ToggleFullScreen();
    ASSERT_TRUE(window->IsFullScreen());
    EXPECT_TRUE(window->CursorTimerActive());

    now += 50000; // first check
    window->CheckCursor();
    EXPECT_FALSE(window->CursorHidden());
    now += 50000; // exactly 100 s: not yet
    window->CheckCursor();
    EXPECT_FALSE(window->CursorHidden());
    now += 50000; // the check after: hidden
    window->CheckCursor();
    EXPECT_TRUE(window->CursorHidden());
    EXPECT_EQ(window->cursor().shape(), Qt::BlankCursor);

    QMouseEvent move(QEvent::MouseMove, QPointF(20, 20), window->mapToGlobal(QPointF(20, 20)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window, &move);
    EXPECT_FALSE(window->CursorHidden());
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    now += 100001;
    window->CheckCursor();
    EXPECT_TRUE(window->CursorHidden());

    // Leaving full screen shows it again and ends the checks.
    window->LeaveFullScreen();
    EXPECT_FALSE(window->CursorHidden());
    EXPECT_FALSE(window->CursorTimerActive());
}

TEST_F(PreviewWindowTest, StopEndsTheCursorChecks) {
    auto player = Open(Clip());
    PreviewWindow* window = player->Window();
    window->ToggleFullScreen();
    player->Play();
    EXPECT_TRUE(window->CursorTimerActive());
    player->Stop();
    EXPECT_FALSE(window->CursorTimerActive());
    EXPECT_TRUE(window->IsFullScreen());
}

TEST_F(PreviewWindowTest, ClosingWhileFullScreenLeavesItFirst) {
    auto player = Open(Clip());
    QPointer<PreviewWindow> window = player->Window();
    window->ToggleFullScreen();
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    ASSERT_FALSE(owner_.isVisible());
    player->Close();
    EXPECT_TRUE(owner_.isVisible()); // brought back on leaving full screen
    EXPECT_TRUE(window.isNull());
}

TEST_F(PreviewWindowTest, ClosingFromTheWindowsOwnHandlerDeletesItLater) {
    auto player = Open(Clip());
    QPointer<PreviewWindow> window = player->Window();
    // A direct connection: the player is closed inside the window's close event.
    QObject::connect(player.get(), &PreviewPlayer::closeCommand, player.get(),
                     [&] { player->Close(); });
    window->close();
    EXPECT_EQ(player->State(), PreviewPlayer::kClosed);
    ASSERT_FALSE(window.isNull());
    EXPECT_FALSE(window->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST_F(PreviewWindowTest, AudioOnlyClipHasNoWindowToShowAndNoFullScreen) {
    auto player = Open(Sound());
    ASSERT_EQ(player->State(), PreviewPlayer::kStopped);
    EXPECT_TRUE(player->AudioOnly());
    ASSERT_NE(player->Window(), nullptr);
    EXPECT_FALSE(player->Window()->isVisible());
    player->Window()->ToggleFullScreen();
    EXPECT_FALSE(player->Window()->IsFullScreen());
}

// Saves what the screen shows while a clip plays when ORVELIN_PREVIEW_SHOT
// names a file (run under a real display server to look at the window).
TEST_F(PreviewWindowTest, ScreenshotOfThePlayingPreview) {
    const QString target = qEnvironmentVariable("ORVELIN_PREVIEW_SHOT");
    if (target.isEmpty())
        GTEST_SKIP() << "ORVELIN_PREVIEW_SHOT not set";
    auto player = Open(Clip());
    PreviewWindow* window = player->Window();
    player->InitVideoWindow(2, 1);
    player->Play();
    const QImage first = window->Frame();
    ASSERT_TRUE(WaitFor([&] { return window->Frame() != first; }, std::chrono::seconds(10)));
    QTest::qWait(1500);
    const QPixmap shot = window->screen()->grabWindow(0);
    ASSERT_TRUE(shot.save(target));
    const QImage image = shot.toImage();
    const QRect area = window->geometry();
    QSet<QRgb> colours;
    for (int y = area.top(); y < area.bottom(); y += 4)
        for (int x = area.left(); x < area.right(); x += 4)
            colours.insert(image.pixel(x, y) & 0xF0F0F0);
    EXPECT_GT(colours.size(), 4);
}
