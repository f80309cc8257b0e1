#include "app/SettingsStore.h"
#include "controls/ImageButton.h"
#include "mainwnd/ControlIds.h"
#include "controls/DialogUnits.h"
#include "mainwnd/MainDialog.h"
#include "mainwnd/MainWindowLayout.h"
#include "mainwnd/TimeText.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QTimer>
#include <gtest/gtest.h>

using namespace orvelin;
using orvelin::test::TestEnv;

namespace {
const int kPlaybackControls[] = {IDC_BUTTON_CONVERT,  IDC_SLIDER_SEEK,       IDC_BUTTON_PLAY,
                                 IDC_BUTTON_PAUSE,    IDC_BUTTON_STOP,       IDC_BUTTON_START_TIME,
                                 IDC_BUTTON_END_TIME, IDC_STATIC_START_TIME, IDC_STATIC_END_TIME};
}

TEST(MainDialog, FirstStartWithAnEmptyStore) {
    TestEnv env;
    MainDialog dialog(*env.context);
    EXPECT_TRUE(dialog.InitializationCompleted());
    EXPECT_EQ(dialog.windowTitle(), "Orvelin");
    EXPECT_EQ(dialog.ControlText(IDC_STATIC_OUTPUT_INFO),
              "Output file: " + env.VideosFolder() + "/output.mkv     Resolution: Original size");
    const MainState& s = dialog.State();
    EXPECT_EQ(s.output.frameRateIndex, 1);
    EXPECT_DOUBLE_EQ(s.output.outputFrameRate, 23.976);
    EXPECT_EQ(s.output.videoBitrate, 798720);
    EXPECT_EQ(s.output.audioBitrate, 128000);
    EXPECT_EQ(s.photoSeconds, 8);
    EXPECT_EQ(s.transitionSeconds, 0);
    EXPECT_EQ(s.transitionMode, 0);
    EXPECT_EQ(s.itemCount, 0);
    EXPECT_DOUBLE_EQ(s.sourceFrameRate, 23.976);
    EXPECT_EQ(dialog.ControlText(IDC_STATIC_START_TIME), "00:00:00");
    EXPECT_EQ(dialog.ControlText(IDC_STATIC_END_TIME), "00:00:00");
    for (int id : kPlaybackControls)
        EXPECT_FALSE(dialog.Control(id)->isEnabled()) << id;
    EXPECT_TRUE(dialog.Control(IDC_BUTTON_OPEN_VIDEO)->isEnabled());
    auto* slider = qobject_cast<QSlider*>(dialog.Control(IDC_SLIDER_SEEK));
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 600);
    EXPECT_EQ(slider->value(), 0);
    EXPECT_TRUE(env.ui.calls.empty());
}

TEST(MainDialog, ControlsFollowTheTemplateInDialogUnits) {
    TestEnv env;
    MainDialog dialog(*env.context);
    dialog.show();
    const DialogUnits du(dialog.font());
    EXPECT_EQ(dialog.size(), QSize(du.X(357), du.Y(196)));
    for (const ControlTemplate& t : MainWindowTemplate()) {
        if (t.id == 0)
            continue;
        QWidget* w = dialog.Control(t.id);
        ASSERT_NE(w, nullptr) << t.id;
        EXPECT_EQ(w->geometry(), du.Rect(t.left, t.top, t.width, t.height)) << t.id;
        EXPECT_EQ(w->isVisible(), !t.hiddenAtStart) << t.id;
        EXPECT_EQ(w->property("controlId").toInt(), t.id);
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_EQ(button->text(), QString::fromUtf8(t.caption)) << t.id;
        }
    }
    // Open Video is at (9, 5), 66 × 32 units.
    EXPECT_EQ(dialog.Control(IDC_BUTTON_OPEN_VIDEO)->geometry(), du.Rect(9, 5, 66, 32));
}

TEST(MainDialog, ImageButtonsCarryTheirTooltipsAndAccessibleCaptions) {
    TestEnv env;
    MainDialog dialog(*env.context);
    dialog.show();
    EXPECT_EQ(dialog.Control(IDC_BUTTON_OPEN_VIDEO)->toolTip(), "Open a video file");
    EXPECT_EQ(dialog.Control(IDC_BUTTON_OPTIONS)->toolTip(), "Customize output options");
    EXPECT_EQ(dialog.Control(IDC_BUTTON_CONVERT)->toolTip(), "Convert video");
    EXPECT_EQ(dialog.Control(IDC_BUTTON_EXIT)->toolTip(), "Exit");
    EXPECT_EQ(dialog.Control(IDC_BUTTON_HOMEPAGE)->toolTip(), "Homepage");
    for (int id : {IDC_BUTTON_OPEN_VIDEO, IDC_BUTTON_CONVERT, IDC_BUTTON_EXIT, IDC_BUTTON_PLAY}) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(dialog.Control(id));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->text(QAccessible::Name).remove('&'),
                  qobject_cast<QAbstractButton*>(dialog.Control(id))->text().remove('&'));
    }
    QAccessibleInterface* info =
        QAccessible::queryAccessibleInterface(dialog.Control(IDC_STATIC_OUTPUT_INFO));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->text(QAccessible::Name), dialog.ControlText(IDC_STATIC_OUTPUT_INFO));
}

TEST(MainDialog, StoredContainerSevenShowsTheMessageAndEmptiesThePath) {
    TestEnv env;
    env.settings->WriteInt("Settings", "nOuptputFormat", 7);
    MainDialog dialog(*env.context);
    EXPECT_EQ(env.ui.MessageTexts(), QStringList{"Does not support the video format"});
    EXPECT_EQ(env.ui.Messages()[0].caption, "Error");
    EXPECT_FALSE(env.ui.Messages()[0].hadOwner);
    EXPECT_TRUE(dialog.State().output.outputPath.isEmpty());
    EXPECT_EQ(dialog.ControlText(IDC_STATIC_OUTPUT_INFO),
              "Output file:      Resolution: Original size");
}

TEST(MainDialog, StoredValuesAreLoaded) {
    TestEnv env;
    env.settings->WriteInt("Settings", "OutputFrameRateIndex", 9);
    env.settings->WriteInt("Settings", "OutputWidth", 640);
    env.settings->WriteInt("Settings", "OutputHigh", 480);
    env.settings->WriteString("Settings", "OutputName", "/tmp/my.videos/clip");
    env.settings->WriteInt("TransitionSettings", "TransitionType", 1);
    env.settings->WriteInt("TransitionSettings", "PhotoDuration", 5);
    MainDialog dialog(*env.context);
    const MainState& s = dialog.State();
    EXPECT_EQ(s.output.frameRateIndex, 1);
    EXPECT_DOUBLE_EQ(s.output.outputFrameRate, 23.976);
    EXPECT_EQ(s.output.outputPath, "/tmp/my.mkv");
    EXPECT_EQ(s.output.outputWidth, 640);
    EXPECT_EQ(s.output.outputHeight, 480);
    EXPECT_EQ(s.transitionMode, 1);
    EXPECT_EQ(s.photoSeconds, 5);
    // No video has been probed, so the first form stays.
    EXPECT_TRUE(dialog.ControlText(IDC_STATIC_OUTPUT_INFO).endsWith("Original size"));
}

TEST(MainDialog, ExitWhileConvertingRefusesAndKeepsTheLanguageUnsaved) {
    TestEnv env;
    MainDialog dialog(*env.context);
    dialog.show();
    dialog.State().converting = 1;
    qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_EXIT))->click();
    ASSERT_EQ(env.ui.Messages().size(), 1u);
    EXPECT_EQ(env.ui.Messages()[0].text, "Please first stop converting");
    EXPECT_EQ(env.ui.Messages()[0].caption, "Warning");
    EXPECT_TRUE(env.ui.Messages()[0].hadOwner);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(env.ReopenStore()->Contains("Option", "CurrentLanguage"));

    // Escape and the window's close box go through the same checks.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.close());
    EXPECT_EQ(env.ui.Messages().size(), 3u);
}

TEST(MainDialog, TimelinePreviewRunningBlocksClosing) {
    TestEnv env;
    MainDialog dialog(*env.context);
    dialog.show();
    dialog.State().timelinePreviewRunning = 1;
    EXPECT_FALSE(dialog.RequestClose());
    ASSERT_EQ(env.ui.Messages().size(), 1u);
    EXPECT_EQ(env.ui.Messages()[0].text, "Please first stop Preview");
    EXPECT_EQ(env.ui.Messages()[0].caption, "orvelin");
    EXPECT_TRUE(dialog.isVisible());
}

TEST(MainDialog, ExitEndsTheModalRunAndSavesTheLanguage) {
    TestEnv env;
    MainDialog dialog(*env.context);
    QTimer::singleShot(0, &dialog, [&] {
        qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_EXIT))->click();
    });
    dialog.exec();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(env.ui.calls.empty());
    EXPECT_EQ(env.ReopenStore()->GetString("Option", "CurrentLanguage", ""), "english");
}

TEST(MainDialog, EscapeWhileIdleEndsTheWindowThroughTheChecks) {
    TestEnv env;
    MainDialog dialog(*env.context);
    QTimer::singleShot(0, &dialog, [&] {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &escape);
    });
    dialog.exec();
    EXPECT_EQ(env.ReopenStore()->GetString("Option", "CurrentLanguage", ""), "english");
}

TEST(MainDialog, CloseWithNoVideoResetsTexts) {
    TestEnv env;
    MainDialog dialog(*env.context);
    dialog.SetControlText(IDC_STATIC_START_TIME, "00:00:07");
    dialog.SetControlText(IDC_STATIC_END_TIME, "00:01:00");
    dialog.SetControlText(IDC_STATIC_POSITION, "00:00:01 / 00:01:00");
    dialog.EnablePlaybackControls();
    dialog.State().trimStart = 70'000'000;
    qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_CLOSE))->click();
    EXPECT_EQ(dialog.ControlText(IDC_STATIC_START_TIME), "00:00:00");
    EXPECT_EQ(dialog.ControlText(IDC_STATIC_END_TIME), "00:00:00");
    EXPECT_EQ(dialog.ControlText(IDC_STATIC_POSITION), "");
    EXPECT_EQ(dialog.State().trimStart, 0);
    EXPECT_EQ(dialog.State().itemCount, 0);
    for (int id : kPlaybackControls)
        EXPECT_FALSE(dialog.Control(id)->isEnabled()) << id;
}

TEST(MainDialog, EditControlsToggle) {
    TestEnv env;
    MainDialog dialog(*env.context);
    dialog.EnablePlaybackControls();
    dialog.DisableEditControls();
    for (int id :
         {IDC_BUTTON_OPEN_VIDEO, IDC_BUTTON_OPTIONS, IDC_BUTTON_START_TIME, IDC_BUTTON_END_TIME})
        EXPECT_FALSE(dialog.Control(id)->isEnabled()) << id;
    EXPECT_TRUE(dialog.Control(IDC_BUTTON_PLAY)->isEnabled());
    dialog.EnableEditControls();
    EXPECT_TRUE(dialog.Control(IDC_BUTTON_OPTIONS)->isEnabled());
}

TEST(TimeText, WholeSecondsWithUnlimitedHours) {
    EXPECT_EQ(TimeText(0), "00:00:00");
    EXPECT_EQ(TimeText(657'000'000), "00:01:05");
    EXPECT_EQ(TimeText(837'000'000), "00:01:23");
    EXPECT_EQ(TimeText((10LL * 3600 + 2 * 60 + 3) * 10'000'000), "10:02:03");
    EXPECT_EQ(TimeText(150LL * 3600 * 10'000'000), "150:00:00");
    EXPECT_EQ(PositionText(0, 830'000'000), "00:00:00 / 00:01:23");
}
