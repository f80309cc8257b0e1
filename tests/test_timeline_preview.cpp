// The timeline Preview button (control 1019, hidden): it refuses while a
// conversion runs, plays the marked stretch through the default outputs, keeps
// Convert and closing away while it plays, and comes back to "Preview" when
// the stretch has played, when it is stopped, or when nothing can play it.
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace orvelin;
using namespace std::chrono_literals;
using orvelin::test::TestEnv;

namespace {

QString Clip() {
    test::MediaSpec clip;
    clip.width = 96;
    clip.height = 64;
    clip.seconds = 1.0;
    return test::SharedMedia("timeline preview clip.mkv", clip);
}

// A private X server for the video window, so that the preview plays on a
// machine without a display; DISPLAY goes back to what it was afterwards.
class VirtualDisplay {
public:
    VirtualDisplay() : old_(qgetenv("DISPLAY")), hadOld_(qEnvironmentVariableIsSet("DISPLAY")) {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty())
            return;
        server_.setProgram(xvfb);
        // -displayfd 1: the server picks a free number and prints it.
        server_.setArguments({"-displayfd", "1", "-screen", "0", "320x240x24", "-nolisten", "tcp"});
        server_.setProcessChannelMode(QProcess::SeparateChannels);
        server_.start();
        if (!server_.waitForStarted(5000))
            return;
        QByteArray number;
        test::WaitFor(
            [&] {
                server_.waitForReadyRead(50);
                number += server_.readAllStandardOutput();
                return number.contains('\n') || server_.state() != QProcess::Running;
            },
            10s);
        number = number.trimmed();
        if (number.isEmpty())
            return;
        qputenv("DISPLAY", ":" + number);
        up_ = true;
    }
    ~VirtualDisplay() {
        if (hadOld_)
            qputenv("DISPLAY", old_);
        else
            qunsetenv("DISPLAY");
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            if (!server_.waitForFinished(5000)) {
                server_.kill();
                server_.waitForFinished(5000);
            }
        }
    }
    bool Up() const { return up_; }

private:
    QProcess server_;
    QByteArray old_;
    bool hadOld_ = false;
    bool up_ = false;
};

struct Opened {
    TestEnv env;
    MainDialog dialog{*env.context};

    Opened() {
        dialog.show();
        env.ui.fileAnswers.push_back(Clip());
        dialog.OpenVideo();
        env.ui.Clear();
    }
    void ClickPreview() {
        auto* button = qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_PREVIEW));
        ASSERT_NE(button, nullptr);
        button->click();
    }
    bool Running() const { return dialog.State().timelinePreviewRunning == 1; }
    QString Caption() const { return dialog.ControlText(IDC_BUTTON_PREVIEW); }
    QStringList Texts() const { return env.ui.MessageTexts(); }
};

// Starts a preview; answers false (after saying why) when this machine has no
// output the preview can play on, which must then leave nothing running.
bool StartOrExplain(Opened& o) {
    o.ClickPreview();
    if (o.Running())
        return true;
    EXPECT_FALSE(o.Texts().isEmpty()) << "a failed preview must say why";
    EXPECT_EQ(o.Caption(), "Preview");
    return false;
}

} // namespace

TEST(TimelinePreview, RefusesWithoutAVideoAndWhileConverting) {
    TestEnv env;
    MainDialog dialog(*env.context);
    dialog.show();
    auto* button = qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_PREVIEW));
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isVisible());
    button->click();
    EXPECT_EQ(env.ui.MessageTexts(), QStringList{"Please open a video file first!"});

    Opened o;
    o.dialog.State().converting = 1;
    o.ClickPreview();
    EXPECT_EQ(o.Texts(), QStringList{"Please stop Convert first!"});
    EXPECT_FALSE(o.Running());
    EXPECT_EQ(o.Caption(), "Preview");
    o.dialog.State().converting = 0;
}

TEST(TimelinePreview, WithoutADisplayItIsSaidAndNothingRuns) {
    const QByteArray old = qgetenv("DISPLAY");
    const bool had = qEnvironmentVariableIsSet("DISPLAY");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    {
        Opened o;
        o.ClickPreview();
        EXPECT_FALSE(o.Running());
        EXPECT_EQ(o.Caption(), "Preview");
        EXPECT_TRUE(o.Texts().contains("There is no display to show the video on."))
            << o.Texts().join("|").toStdString();
        // Nothing holds Convert or closing back.
        EXPECT_TRUE(o.dialog.RequestClose());
    }
    if (had)
        qputenv("DISPLAY", old);
}

TEST(TimelinePreview, WhilePlayingConvertAndClosingAreRefusedAndStopResets) {
    VirtualDisplay display;
    if (!display.Up())
        GTEST_SKIP() << "no X server to show the preview on";
    Opened o;
    if (!StartOrExplain(o))
        GTEST_SKIP() << "no output to play on: " << o.Texts().join("|").toStdString();
    EXPECT_EQ(o.Caption(), "Stop");
    EXPECT_TRUE(o.Texts().isEmpty()) << o.Texts().join("|").toStdString();

    auto* convert = qobject_cast<QAbstractButton*>(o.dialog.Control(IDC_BUTTON_CONVERT));
    ASSERT_NE(convert, nullptr);
    convert->click();
    EXPECT_EQ(o.Texts(), QStringList{"Please stop Preview first!"});
    EXPECT_EQ(o.dialog.State().converting, 0);
    o.env.ui.Clear();

    EXPECT_FALSE(o.dialog.RequestClose());
    EXPECT_EQ(o.Texts(), QStringList{"Please first stop Preview"});
    EXPECT_TRUE(o.dialog.isVisible());
    o.env.ui.Clear();

    o.ClickPreview(); // now "Stop"
    EXPECT_FALSE(o.Running());
    EXPECT_EQ(o.Caption(), "Preview");
    EXPECT_TRUE(o.Texts().isEmpty()) << o.Texts().join("|").toStdString();
}

TEST(TimelinePreview, TheEndOfTheStretchResetsTheButton) {
    VirtualDisplay display;
    if (!display.Up())
        GTEST_SKIP() << "no X server to show the preview on";
    Opened o;
    if (!StartOrExplain(o))
        GTEST_SKIP() << "no output to play on: " << o.Texts().join("|").toStdString();
    // A one-second clip plays through; the preview then ends by itself.
    EXPECT_TRUE(test::WaitFor([&] { return !o.Running(); }, 20s));
    EXPECT_EQ(o.Caption(), "Preview");
    // Once it has ended, Convert and closing work again.
    EXPECT_TRUE(o.dialog.RequestClose());
}

TEST(TimelinePreview, AFileThatCannotBeReadIsSaidAndNothingRuns) {
    Opened o;
    o.dialog.State().items[0].path = o.env.TempPath("vanished.mkv");
    o.dialog.State().music[0].path = o.env.TempPath("vanished.mkv");
    o.ClickPreview();
    EXPECT_FALSE(o.Running());
    EXPECT_EQ(o.Caption(), "Preview");
    EXPECT_FALSE(o.Texts().isEmpty());
    // A later start is not blocked by what the failure left.
    VirtualDisplay display;
    o.dialog.State().items[0].path = Clip();
    o.dialog.State().music[0].path = Clip();
    o.env.ui.Clear();
    if (StartOrExplain(o)) {
        o.ClickPreview();
        EXPECT_FALSE(o.Running());
    }
}
