// The main window for keyboard and screen-reader users: Enter and Escape
// never end it, the seek slider seeks by time from the keyboard, Escape over a
// full-screen preview only leaves full screen, the time displays read as
// name and value, a file dropped on the preview opens, and the codec
// settings' fields are named.
#include "app/AppContext.h"
#include "controls/SeekSlider.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "options/PropertyEditorDialog.h"
#include "preview/PreviewPlayer.h"
#include "preview/PreviewWindow.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QSpinBox>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

using namespace orvelin;
using namespace orvelin::test;

namespace {

constexpr qint64 kSecond = 10'000'000;

// A 30-second clip (the slider's 600 steps are 20 per second).
QString Clip(const QString& name = QStringLiteral("keys clip.mkv")) {
    MediaSpec clip;
    clip.width = 96;
    clip.height = 64;
    clip.fpsNum = 5;
    clip.seconds = 30.0;
    clip.audio = false;
    return SharedMedia(name, clip);
}

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString clip = Clip();
        ASSERT_FALSE(clip.isEmpty());
        dialog_ = std::make_unique<MainDialog>(*env_.context);
        dialog_->show();
        env_.ui.fileAnswers.push_back(clip);
        Button(IDC_BUTTON_OPEN_VIDEO)->click();
        ASSERT_EQ(dialog_->State().itemCount, 1) << env_.ui.MessageTexts().join("|").toStdString();
        ASSERT_NE(dialog_->Player(), nullptr);
        // The first poll, so that the stop position is known.
        dialog_->Player()->PollPosition();
        ASSERT_TRUE(WaitFor([&] { return dialog_->Player()->StopPosition() >= 29 * kSecond; }));
    }
    QAbstractButton* Button(int id) { return qobject_cast<QAbstractButton*>(dialog_->Control(id)); }
    SeekSlider* Slider() { return qobject_cast<SeekSlider*>(dialog_->Control(IDC_SLIDER_SEEK)); }
    static void Key(QWidget* w, Qt::Key key, QEvent::Type type = QEvent::KeyPress,
                    bool autoRepeat = false) {
        QKeyEvent e(type, key, Qt::NoModifier, QString(), autoRepeat);
        QCoreApplication::sendEvent(w, &e);
    }
    // What a screen reader reads for a control.
    QString Read(int id, QAccessible::Text what) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(dialog_->Control(id));
        return a ? a->text(what) : QStringLiteral("(no interface)");
    }

    TestEnv env_;
    std::unique_ptr<MainDialog> dialog_;
};

} // namespace

TEST_F(KeyboardTest, EnterAndEscapeNeverEndTheWindowButTheCloseRequestDoes) {
    Button(IDC_BUTTON_END_TIME)->click();
    // Enter on the clicked slider, Escape anywhere: the video and the marks
    // stay, and nothing is asked.
    Slider()->setFocus();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(Slider(), key);
        Key(dialog_.get(), key);
    }
    dialog_->reject();
    dialog_->accept();
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(dialog_->State().itemCount, 1);
    EXPECT_EQ(dialog_->ControlText(IDC_STATIC_END_TIME), "00:00:00");
    EXPECT_TRUE(env_.ui.calls.size() == 1u); // the open dialog only

    // Enter presses the focused button.
    Button(IDC_BUTTON_PLAY)->setFocus();
    QTest::keyClick(Button(IDC_BUTTON_PLAY), Qt::Key_Return);
    EXPECT_EQ(dialog_->Player()->State(), PreviewPlayer::kRunning);

    // The close button (and Alt+F4, the same close request) passes the
    // checks: refused while converting, then accepted.
    dialog_->State().converting = 1;
    EXPECT_FALSE(dialog_->close());
    EXPECT_EQ(env_.ui.MessageTexts(), QStringList{"Please first stop converting"});
    dialog_->State().converting = 0;
    EXPECT_TRUE(dialog_->close());
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(env_.ReopenStore()->GetString("Option", "CurrentLanguage", ""), "english");
}

TEST_F(KeyboardTest, EscapeInFullScreenOnlyLeavesFullScreen) {
    PreviewWindow* window = dialog_->Player()->Window();
    ASSERT_TRUE(window->EnterFullScreen());
    // Escape in the preview itself.
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->IsFullScreen());
    EXPECT_TRUE(dialog_->isVisible());
    // Two clicks on the picture bring the main window above the video; the
    // key then goes to the main window.
    ASSERT_TRUE(window->EnterFullScreen());
    window->ClickToggle();
    window->ClickToggle();
    ASSERT_TRUE(dialog_->isVisible());
    ASSERT_TRUE(window->IsFullScreen());
    QTest::keyClick(dialog_.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->IsFullScreen());
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(dialog_->State().itemCount, 1);
}

TEST_F(KeyboardTest, SliderKeysSeekByTimeAndAHeldKeyIsNotPulledBack) {
    PreviewPlayer* player = dialog_->Player();
    SeekSlider* slider = Slider();
    const qint64 stop = player->StopPosition();
    auto press = [&](Qt::Key key) {
        Key(slider, key);
        Key(slider, key, QEvent::KeyRelease);
    };
    // Each key: the player's position (what Start Time takes), the thumb and
    // the position text.
    auto expectAt = [&](qint64 time, const char* where) {
        EXPECT_EQ(player->CurrentPosition(), time) << where;
        EXPECT_EQ(slider->value(), static_cast<int>(double(time) / double(stop) * 600.0)) << where;
        EXPECT_TRUE(dialog_->ControlText(IDC_STATIC_POSITION)
                        .startsWith(QString("00:00:%1 /").arg(time / kSecond, 2, 10, QChar('0'))))
            << where;
    };
    press(Qt::Key_Right);
    expectAt(kSecond, "Right");
    press(Qt::Key_Up);
    expectAt(2 * kSecond, "Up");
    press(Qt::Key_PageUp);
    expectAt(12 * kSecond, "Page Up");
    press(Qt::Key_Left);
    expectAt(11 * kSecond, "Left");
    press(Qt::Key_PageDown);
    expectAt(kSecond, "Page Down");
    press(Qt::Key_PageDown); // not before the start
    expectAt(0, "Page Down at the start");
    press(Qt::Key_End);
    expectAt(stop, "End");
    press(Qt::Key_Home);
    expectAt(0, "Home");
    // The marks follow the keys.
    press(Qt::Key_PageUp);
    Button(IDC_BUTTON_START_TIME)->click();
    EXPECT_EQ(dialog_->ControlText(IDC_STATIC_START_TIME), "00:00:10");

    // A held key repeats; the periodic update, even a late one from before
    // the key, does not move the thumb until the key is let go.
    Key(slider, Qt::Key_Right);
    for (int i = 0; i < 3; ++i) {
        Key(slider, Qt::Key_Right, QEvent::KeyRelease, true);
        Key(slider, Qt::Key_Right, QEvent::KeyPress, true);
    }
    EXPECT_EQ(env_.context->sliderDragging, 1);
    expectAt(14 * kSecond, "held");
    emit player->positionMessage(0, stop);
    QCoreApplication::processEvents();
    expectAt(14 * kSecond, "held, after an update");
    Key(slider, Qt::Key_Right, QEvent::KeyRelease);
    EXPECT_EQ(env_.context->sliderDragging, 0);
    emit player->positionMessage(5 * kSecond, stop);
    QCoreApplication::processEvents();
    // Updates reach the thumb again.
    EXPECT_EQ(slider->value(), static_cast<int>(double(5 * kSecond) / double(stop) * 600.0));
}

TEST_F(KeyboardTest, TimeDisplaysReadAsNameAndValue) {
    Key(Slider(), Qt::Key_PageUp);
    Key(Slider(), Qt::Key_PageUp, QEvent::KeyRelease);
    Button(IDC_BUTTON_START_TIME)->click();
    struct Display {
        int id;
        QString name;
        QString value;
    };
    const Display displays[] = {
        {IDC_STATIC_START_TIME, "Start time", "00:00:10"},
        {IDC_STATIC_END_TIME, "End time", "00:00:30"},
        {IDC_STATIC_POSITION, "Position and length", "00:00:10 / 00:00:30"},
    };
    for (const Display& d : displays) {
        EXPECT_EQ(Read(d.id, QAccessible::Name), d.name);
        EXPECT_EQ(Read(d.id, QAccessible::Value), d.value) << d.name.toStdString();
        EXPECT_EQ(Read(d.id, QAccessible::Description), d.value) << d.name.toStdString();
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(dialog_->Control(d.id));
        ASSERT_NE(a->textInterface(), nullptr);
        EXPECT_EQ(a->textInterface()->text(0, -1), d.value);
        EXPECT_EQ(a->textInterface()->characterCount(), d.value.size());
    }
    EXPECT_EQ(Read(IDC_STATIC_OUTPUT_INFO, QAccessible::Name), "Output");
    EXPECT_TRUE(Read(IDC_STATIC_OUTPUT_INFO, QAccessible::Value).startsWith("Output file:"));
    // The slider: its name, its value and the time it stands for.
    EXPECT_EQ(Read(IDC_SLIDER_SEEK, QAccessible::Name), "Seek");
    EXPECT_EQ(Read(IDC_SLIDER_SEEK, QAccessible::Description), "00:00:10 / 00:00:30");
    const double share = double(10 * kSecond) / double(dialog_->Player()->StopPosition());
    EXPECT_EQ(
        QAccessible::queryAccessibleInterface(Slider())->valueInterface()->currentValue().toInt(),
        static_cast<int>(share * 600.0));
}

TEST_F(KeyboardTest, AVideoDroppedOnThePreviewOpensAsOnTheMainWindow) {
    const QString second = Clip(QStringLiteral("second clip.mkv"));
    ASSERT_FALSE(second.isEmpty());
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(second)});
    PreviewWindow* window = dialog_->Player()->Window();
    const QPoint at = window->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    EXPECT_TRUE(drop.isAccepted());
    ASSERT_EQ(dialog_->State().itemCount, 1);
    EXPECT_EQ(dialog_->State().items[0].path, second);
    ASSERT_NE(dialog_->Player(), nullptr);
    EXPECT_EQ(dialog_->Player()->FileName(), second);
    EXPECT_TRUE(env_.ui.Messages().empty());
    // While converting, the preview turns the file away as the main window
    // does.
    dialog_->State().converting = 1;
    QDragEnterEvent refused(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog_->Player()->Window(), &refused);
    EXPECT_FALSE(refused.isAccepted());
    dialog_->State().converting = 0;
}

TEST(CodecSettingsReader, EveryFieldOfTheEncoderSettingsHasAName) {
    TestEnv env;
    for (const char* encoder : {"x264enc", "avenc_mpeg4"}) {
        auto filter = media::Filter::Create(encoder);
        ASSERT_TRUE(filter) << encoder;
        PropertyEditorDialog dialog(filter, encoder, env.ui);
        dialog.show();
        int fields = 0;
        QStringList unnamed;
        for (QWidget* w : dialog.findChildren<QWidget*>()) {
            const bool field = qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QComboBox*>(w) ||
                               qobject_cast<QCheckBox*>(w) || qobject_cast<QLineEdit*>(w);
            // Line edits inside spin boxes and combo boxes belong to them.
            if (!field || qobject_cast<QAbstractSpinBox*>(w->parentWidget()) ||
                qobject_cast<QComboBox*>(w->parentWidget()))
                continue;
            ++fields;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << w->objectName();
        }
        EXPECT_GT(fields, 20) << encoder;
        EXPECT_TRUE(unnamed.isEmpty()) << encoder << ": " << unnamed.join(", ").toStdString();
    }
}
