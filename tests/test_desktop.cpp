// What the program does for the desktop around it: the command line, files
// dropped on the main window, the conversion's percentage in the title and
// the task bar, the end-of-job notification, frame stepping in the preview
// and the names screen readers announce.
#include "app/DesktopSession.h"
#include "app/SettingsStore.h"
#include "app/exe/CommandLine.h"
#include "app/exe/ConverterApp.h"
#include "convert/ConversionController.h"
#include "lang/BuiltinStrings.h"
#include "lang/LanguagePack.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "options/CompressorCatalog.h"
#include "preview/PreviewPlayer.h"
#include "preview/PreviewWindow.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QDir>
#include <QMimeData>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace orvelin;
using namespace orvelin::test;

namespace {

// Records what the main window tells the desktop.
struct RecordingSession : DesktopSession {
    std::vector<double> progress;
    QStringList notices;
    void SetProgress(double fraction) override { progress.push_back(fraction); }
    void Notify(const QString& summary, const QString& body) override {
        notices << summary + "|" + body;
    }
};

QString Clip() {
    MediaSpec clip;
    clip.width = 160;
    clip.height = 120;
    clip.seconds = 3.0;
    return SharedMedia("desktop clip.mkv", clip);
}

std::unique_ptr<QMimeData> FileDrop(const QStringList& paths) {
    auto mime = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    mime->setUrls(urls);
    return mime;
}

void Drop(QWidget* target, const QMimeData* mime, bool* enterAccepted = nullptr) {
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (enterAccepted)
        *enterAccepted = enter.isAccepted();
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

} // namespace

TEST(CommandLine, OneFileHelpVersionAndNothingElse) {
    EXPECT_EQ(ParseCommandLine({}).action, CommandLine::Run);
    EXPECT_TRUE(ParseCommandLine({}).fileToOpen.isEmpty());
    EXPECT_EQ(ParseCommandLine({"--help"}).action, CommandLine::PrintHelp);
    EXPECT_EQ(ParseCommandLine({"clip.mkv", "--version"}).action, CommandLine::PrintVersion);
    // Relative paths and file addresses become absolute paths.
    const CommandLine relative = ParseCommandLine({"some dir/clip.mkv"});
    EXPECT_EQ(relative.action, CommandLine::Run);
    EXPECT_EQ(relative.fileToOpen, QDir::current().absoluteFilePath("some dir/clip.mkv"));
    EXPECT_EQ(ParseCommandLine({"file:///tmp/a%20b.mkv"}).fileToOpen, "/tmp/a b.mkv");
    // A name that starts with a dash after "--" is a file.
    EXPECT_EQ(ParseCommandLine({"--", "-clip.mkv"}).fileToOpen,
              QDir::current().absoluteFilePath("-clip.mkv"));
    EXPECT_EQ(ParseCommandLine({"--verbose"}).action, CommandLine::Error);
    EXPECT_EQ(ParseCommandLine({"a.mkv", "b.mkv"}).action, CommandLine::Error);
    EXPECT_EQ(ParseCommandLine({"http://example.com/a.mkv"}).action, CommandLine::Run);
    EXPECT_TRUE(VersionText().startsWith("orvelin "));
}

TEST(CommandLineOpen, TheFileOpensThroughOpenVideoOnceTheWindowIsUp) {
    TestEnv env;
    const QString clip = Clip();
    ASSERT_FALSE(clip.isEmpty());
    ConverterApp app(env.ui);
    app.SetLanguageBaseFolder(env.TempPath("no packs"));
    app.SetFileToOpen(clip);
    bool checked = false;
    app.SetOnMainWindowShown([&](MainDialog& dialog) {
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.State().itemCount, 1);
        EXPECT_EQ(dialog.State().items[0].path, clip);
        EXPECT_NE(dialog.Player(), nullptr);
        EXPECT_TRUE(dialog.Control(IDC_BUTTON_PLAY)->isEnabled());
        EXPECT_EQ(dialog.ControlText(IDC_STATIC_END_TIME), "00:00:03");
        checked = true;
        dialog.OnExit();
    });
    EXPECT_EQ(app.Run(), 0);
    EXPECT_TRUE(checked);
    EXPECT_TRUE(env.ui.MessageTexts().isEmpty()) << env.ui.MessageTexts().join("|").toStdString();
    EXPECT_EQ(env.ReopenStore()->GetString("Option", "LastPhotoFolder", ""),
              QFileInfo(clip).absolutePath() + "/");
}

TEST(CommandLineOpen, AMissingFileGetsTheSameMessageAsTheButton) {
    TestEnv env;
    const QString missing = env.TempPath("gone.mkv");
    QStringList fromButton;
    {
        MainDialog dialog(*env.context);
        env.ui.fileAnswers.push_back(missing);
        dialog.OpenVideo();
        fromButton = env.ui.MessageTexts();
        env.ui.Clear();
    }
    ASSERT_FALSE(fromButton.isEmpty());
    ConverterApp app(env.ui);
    app.SetLanguageBaseFolder(env.TempPath("no packs"));
    app.SetFileToOpen(missing);
    app.SetOnMainWindowShown([&](MainDialog& dialog) {
        EXPECT_EQ(dialog.State().itemCount, 0);
        dialog.OnExit();
    });
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(env.ui.MessageTexts(), fromButton);
}

TEST(DropOnMainWindow, AFileOpensSeveralOpenTheFirstAndADropWhileConvertingIsRefused) {
    TestEnv env;
    const QString clip = Clip();
    ASSERT_FALSE(clip.isEmpty());
    MainDialog dialog(*env.context);
    dialog.show();
    EXPECT_TRUE(dialog.acceptDrops());

    bool accepted = false;
    auto one = FileDrop({clip});
    Drop(&dialog, one.get(), &accepted);
    EXPECT_TRUE(accepted);
    ASSERT_EQ(dialog.State().itemCount, 1);
    EXPECT_EQ(dialog.State().items[0].path, clip);
    EXPECT_TRUE(env.ui.MessageTexts().isEmpty());

    dialog.ClosePreview();
    auto two = FileDrop({clip, env.TempPath("second.mkv")});
    Drop(&dialog, two.get());
    ASSERT_EQ(env.ui.MessageTexts().size(), 1);
    EXPECT_TRUE(env.ui.MessageTexts().first().contains("desktop clip.mkv"));
    EXPECT_EQ(dialog.State().items[0].path, clip);
    EXPECT_NE(dialog.Player(), nullptr);

    // Text that is no file is not taken.
    QMimeData text;
    text.setText("hello");
    Drop(&dialog, &text, &accepted);
    EXPECT_FALSE(accepted);

    env.ui.Clear();
    dialog.State().converting = 1;
    const QString other = env.TempPath("other.mkv");
    auto late = FileDrop({other});
    Drop(&dialog, late.get(), &accepted);
    EXPECT_FALSE(accepted); // the pointer shows that nothing can be dropped
    EXPECT_EQ(dialog.State().items[0].path, clip);
    dialog.State().converting = 0;
}

TEST(ConversionProgress, TheTitleAndTaskBarShowThePercentageAndAreClearedAtTheEnd) {
    TestEnv env;
    RecordingSession session;
    SetDesktopSession(&session);
    MediaSpec spec;
    spec.width = 320;
    spec.height = 240;
    spec.seconds = 20.0;
    spec.audio = false;
    QTemporaryDir dir;
    const QString source = dir.filePath("long.mkv");
    QString log;
    ASSERT_TRUE(MakeMedia(source, spec, &log)) << log.toStdString();
    env.settings->WriteString("Settings", "OutputName", dir.filePath("out.mkv"));
    {
        MainDialog dialog(*env.context);
        dialog.show();
        env.ui.fileAnswers.push_back(source);
        dialog.OpenVideo();
        ASSERT_EQ(dialog.State().itemCount, 1);
        const QString title = dialog.windowTitle();
        // A slow encoder keeps the job running long enough to look at it.
        SelectedVideoCompressor() = media::Filter::Create("x264enc");
        ASSERT_TRUE(SelectedVideoCompressor());
        SelectedVideoCompressor()->SetProperty("speed-preset", "slower");
        dialog.State().output.useVideoCompressor = 1;
        qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_CONVERT))->click();
        ASSERT_EQ(dialog.State().converting, 1);
        const QRegularExpression percent("^(\\d+)% \u2013 " + QRegularExpression::escape(title) +
                                         "$");
        ASSERT_TRUE(WaitFor(
            [&] {
                dialog.Conversion().OnTimer(1112);
                return percent.match(dialog.windowTitle()).hasMatch() &&
                       percent.match(dialog.windowTitle()).captured(1).toInt() > 0;
            },
            std::chrono::seconds(60)))
            << dialog.windowTitle().toStdString();
        EXPECT_TRUE(dialog.ControlText(IDC_STATIC_OUTPUT_INFO).startsWith("Please wait"));
        ASSERT_FALSE(session.progress.empty());
        EXPECT_GT(session.progress.back(), 0.0);
        EXPECT_LE(session.progress.back(), 1.0);

        dialog.activateWindow();
        const bool active = dialog.isActiveWindow();
        qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_CONVERT))->click(); // Stop
        EXPECT_EQ(dialog.windowTitle(), title);
        EXPECT_LT(session.progress.back(), 0.0);
        // Only a window the user is not looking at gets a notification.
        EXPECT_EQ(session.notices.size(), active ? 0 : 1);
        if (!active) {
            EXPECT_TRUE(session.notices.first().startsWith("Conversion done: out.mkv|Done"));
        }
        ReleaseSelectedCompressors();
    }
    SetDesktopSession(nullptr);
}

TEST(FrameStepping, ArrowsStepThePausedPreviewFrameByFrame) {
    TestEnv env;
    QTemporaryDir dir;
    const QString clip = dir.filePath("ball.mkv");
    // A moving ball, so that every frame looks different.
    ASSERT_TRUE(
        RunGstLaunch(QString("videotestsrc num-buffers=50 pattern=ball ! "
                             "video/x-raw,width=96,height=64,framerate=25/1 ! "
                             "x264enc key-int-max=10 ! matroskamux ! filesink location=\"%1\"")
                         .arg(clip)));
    QWidget owner;
    owner.show();
    PreviewPlayer player(*env.context, &owner);
    std::vector<qint64> reports;
    QObject::connect(&player, &PreviewPlayer::positionMessage, &player,
                     [&](qint64 current, qint64) { reports.push_back(current); });
    player.SetFileName(clip);
    ASSERT_EQ(player.OpenFile(), 1);
    ASSERT_TRUE(WaitFor([&] { return !player.Graph()->LastFrame().isNull(); }));
    constexpr qint64 frame = 400'000; // 1/25 s
    auto press = [&](Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent e(QEvent::KeyPress, key, mods);
        QCoreApplication::sendEvent(player.Window(), &e);
    };
    // The frame on show, by its own time in the file.
    auto shownAt = [&](qint64 time) {
        return WaitFor([&] { return player.Graph()->LastFrameTime() == time; });
    };
    ASSERT_TRUE(shownAt(0));
    const QImage first = player.Graph()->LastFrame();
    press(Qt::Key_Right);
    EXPECT_EQ(reports.back(), frame);
    EXPECT_TRUE(shownAt(frame));
    press(Qt::Key_Right);
    press(Qt::Key_Right);
    EXPECT_EQ(reports.back(), 3 * frame);
    EXPECT_TRUE(shownAt(3 * frame));
    EXPECT_EQ(player.CurrentPosition(), 3 * frame);
    EXPECT_NE(player.Graph()->LastFrame(), first);
    press(Qt::Key_Left);
    EXPECT_EQ(reports.back(), 2 * frame);
    EXPECT_TRUE(shownAt(2 * frame));
    // From inside a frame (a slider seek lands anywhere), a step goes to the
    // start of the next one.
    player.SeekTo(5 * frame + frame / 2);
    // The frame that holds that time is shown (its time clipped to the seek).
    ASSERT_TRUE(shownAt(5 * frame + frame / 2)) << player.Graph()->LastFrameTime();
    player.StepFrames(1);
    EXPECT_EQ(reports.back(), 6 * frame);
    EXPECT_TRUE(shownAt(6 * frame));
    player.SeekTo(2 * frame);
    ASSERT_TRUE(shownAt(2 * frame));

    press(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(reports.back(), 2 * frame + 10'000'000);
    // Back past the start stays at the first frame.
    player.SeekTo(frame);
    player.StepFrames(-5);
    EXPECT_EQ(reports.back(), 0);
    // While it plays, arrows do nothing.
    player.Play();
    const size_t seen = reports.size();
    player.StepFrames(1);
    EXPECT_EQ(reports.size(), seen);
    player.Close();
}

TEST(Accessibility, EveryShownControlHasANameAndTabFollowsTheLayout) {
    TestEnv env;
    MainDialog dialog(*env.context);
    dialog.show();
    for (QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const int id = w->property("controlId").toInt();
        if (!w->isVisible() || id == 0 || id == IDC_STATIC_OUTPUT_INFO)
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << id;
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(dialog.Control(IDC_SLIDER_SEEK))
                  ->text(QAccessible::Name),
              "Seek");
    // Tab from Open Video runs along the top row, then down.
    QWidget* w = dialog.Control(IDC_BUTTON_OPEN_VIDEO);
    QList<int> order;
    for (int i = 0; i < 5; ++i) {
        order << w->property("controlId").toInt();
        w = w->nextInFocusChain();
        while (w && (!w->isVisible() || !(w->focusPolicy() & Qt::TabFocus)))
            w = w->nextInFocusChain();
    }
    EXPECT_EQ(order, (QList<int>{IDC_BUTTON_OPEN_VIDEO, IDC_BUTTON_OPTIONS, IDC_BUTTON_CONVERT,
                                 IDC_BUTTON_HELP, IDC_BUTTON_ABOUT}));
}
