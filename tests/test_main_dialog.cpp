#include "app/SettingsStore.h"
#include "controls/DialogUnits.h"
#include "controls/ImageButton.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "mainwnd/TimeText.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QSet>
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

TEST(MainDialog, ControlsSitWhereTheDialogTemplatePutsThem) {
    TestEnv env;
    MainDialog dialog(*env.context);
    dialog.show();
    const DialogUnits du(dialog.font());
    EXPECT_EQ(dialog.size(), QSize(du.X(357), du.Y(196)));
    // Rectangles in dialog units, typed from the window's template.
    struct Row {
        int id;
        int left, top, width, height;
        const char* caption; // nullptr: not a button
        bool visible;
    };
    const Row rows[] = {
        {1006, 9, 5, 66, 32, "Open Video", true},   {1003, 77, 5, 66, 32, "Options", true},
        {1000, 145, 5, 66, 32, "Convert", true},    {1084, 213, 5, 66, 32, "&Help", true},
        {1042, 281, 5, 66, 32, "About", true},      {1057, 68, 43, 202, 14, nullptr, true},
        {1055, 7, 63, 343, 17, nullptr, true},      {1065, 82, 116, 66, 14, nullptr, true},
        {1064, 248, 116, 66, 14, nullptr, true},    {1021, 7, 175, 343, 14, nullptr, true},
        {1058, 14, 87, 66, 14, "Play", true},       {1060, 132, 87, 66, 14, "Pause", true},
        {1061, 250, 87, 66, 14, "Stop", true},      {1062, 14, 116, 66, 14, "Start Time", true},
        {1063, 180, 116, 66, 14, "End Time", true}, {1047, 133, 141, 66, 22, "Homepage", true},
        {1076, 252, 141, 66, 22, "Exit", true},     {1019, 201, 141, 49, 22, "Preview", false},
        {1056, 320, 87, 30, 14, "Close", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        QWidget* w = dialog.Control(r.id);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->property("controlId").toInt(), r.id);
        EXPECT_EQ(w->geometry(), du.Rect(r.left, r.top, r.width, r.height));
        EXPECT_EQ(w->isVisible(), r.visible);
        if (r.caption) {
            auto* button = qobject_cast<QAbstractButton*>(w);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text(), QString::fromUtf8(r.caption));
        }
    }
    // Every shown control lies inside the window and no two shown buttons
    // cover each other.
    std::vector<QWidget*> shown;
    for (const QObject* child : dialog.children()) {
        auto* w = qobject_cast<QWidget*>(const_cast<QObject*>(child));
        if (!w || !w->isVisible() || w->property("controlId").toInt() == 0)
            continue;
        EXPECT_TRUE(dialog.rect().contains(w->geometry())) << w->property("controlId").toInt();
        if (qobject_cast<QAbstractButton*>(w))
            shown.push_back(w);
    }
    EXPECT_GE(shown.size(), 12u);
    for (size_t i = 0; i < shown.size(); ++i)
        for (size_t j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
                << shown[i]->property("controlId").toInt() << " and "
                << shown[j]->property("controlId").toInt();
}

TEST(MainDialog, CommandButtonsAreImageButtonsWithTheirIconsAboveTheCaption) {
    TestEnv env;
    MainDialog dialog(*env.context);
    dialog.show();
    // Icon resources typed from the window's button table.
    const std::pair<int, int> icons[] = {{1006, 140}, {1003, 146}, {1000, 128}, {1084, 148},
                                         {1042, 156}, {1047, 158}, {1076, 159}};
    for (const auto& [id, icon] : icons) {
        SCOPED_TRACE(id);
        auto* button = qobject_cast<ImageButton*>(dialog.Control(id));
        ASSERT_NE(button, nullptr) << "a plain push button";
        EXPECT_FALSE(button->IconSize().isEmpty());
        EXPECT_EQ(button->Alignment(), 1);
        EXPECT_TRUE(button->HasHoverSound());
        // The drawn button shows more than a flat face: the icon's pixels.
        const QImage face = button->grab().toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < face.height(); y += 2)
            for (int x = 0; x < face.width(); x += 2)
                colours.insert(face.pixel(x, y));
        EXPECT_GT(colours.size(), 8) << "icon " << icon << " not drawn";
    }
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
    EXPECT_EQ(info->text(QAccessible::Name), "Output");
    EXPECT_EQ(info->text(QAccessible::Value), dialog.ControlText(IDC_STATIC_OUTPUT_INFO));
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

    // The window's close box goes through the same checks; Escape does not
    // try to close it at all.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.close());
    EXPECT_EQ(env.ui.Messages().size(), 2u);
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

TEST(MainDialog, EscapeAndEnterKeepTheModalRunAndTheCloseBoxEndsIt) {
    TestEnv env;
    MainDialog dialog(*env.context);
    bool visibleAfterKeys = false;
    QTimer::singleShot(0, &dialog, [&] {
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(&dialog, &press);
        }
        visibleAfterKeys = dialog.isVisible();
        dialog.close();
    });
    dialog.exec();
    EXPECT_TRUE(visibleAfterKeys);
    EXPECT_FALSE(dialog.isVisible());
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
