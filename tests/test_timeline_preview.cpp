// The timeline Preview button (control 1019, hidden): it refuses while a
// conversion runs, plays the marked stretch through the default outputs, keeps
// Convert and closing away while it plays, and comes back to "Preview" when
// the stretch has played, when it is stopped, or when nothing can play it.
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
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

TEST(TimelinePreview, WhilePlayingConvertAndClosingAreRefusedAndStopResets) {
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
    o.dialog.State().items[0].path = Clip();
    o.dialog.State().music[0].path = Clip();
    o.env.ui.Clear();
    if (StartOrExplain(o)) {
        o.ClickPreview();
        EXPECT_FALSE(o.Running());
    }
}
