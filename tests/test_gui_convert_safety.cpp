// Conversions through the main window that must never lose the user's files
// or call a broken result "Done": the output chosen as the source itself,
// clicks that arrive while a job is being set up, stored settings that
// cannot work, and sources that are damaged.
#include "app/SettingsStore.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "options/CompressorCatalog.h"
#include "support/MainWindowTest.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace orvelin;
using namespace orvelin::test;

namespace {

QByteArray Hash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
}

class GuiConvertSafetyTest : public MainWindowTest {
protected:
    bool WaitUntilIdle(int seconds) {
        return WaitFor([&] { return dialog_->State().converting == 0; },
                       std::chrono::seconds(seconds));
    }
    QString SmallClip(const QString& name, double seconds = 2.0) {
        MediaSpec clip;
        clip.width = 96;
        clip.height = 64;
        clip.seconds = seconds;
        return SharedMedia(name, clip);
    }
};

} // namespace

// The opened video chosen as the output, by its own name, through a symbolic
// link or through a hard link: refused before anything is asked or deleted,
// naming the file.
TEST_F(GuiConvertSafetyTest, TheSourceItselfIsNeverTheOutput) {
    const QString source = dir_.filePath("holiday.mkv");
    ASSERT_TRUE(QFile::copy(SmallClip("safety-source.mkv"), source));
    const QByteArray before = Hash(source);
    const QString symlink = dir_.filePath("link-to-holiday.mkv");
    ASSERT_TRUE(QFile::link(source, symlink));
    const QString hardlink = dir_.filePath("hard-holiday.mkv");
    ASSERT_EQ(
        ::link(QFile::encodeName(source).constData(), QFile::encodeName(hardlink).constData()), 0);
    // The same file through a path with a detour.
    QDir(dir_.path()).mkdir("sub");
    const QString detour = dir_.filePath("sub/../holiday.mkv");

    OpenAndShow(source, dir_.filePath("unused.mkv"));
    for (const QString& output : {source, symlink, hardlink, detour}) {
        env_.ui.Clear();
        env_.ui.messageAnswers = {IdYes, IdYes, IdYes};
        dialog_->State().output.outputPath = output;
        Click(IDC_BUTTON_CONVERT);
        EXPECT_EQ(dialog_->State().converting, 0) << output.toStdString();
        ASSERT_EQ(env_.ui.Messages().size(), 1u) << Messages().toStdString();
        const QString text = env_.ui.Messages().front().text;
        EXPECT_TRUE(text.contains(output)) << text.toStdString();
        EXPECT_TRUE(text.contains("source")) << text.toStdString();
        EXPECT_FALSE(text.contains("replace")) << text.toStdString();
        EXPECT_TRUE(QFileInfo::exists(output)) << output.toStdString();
        EXPECT_EQ(Hash(source), before) << output.toStdString();
        EXPECT_FALSE(Status().startsWith("Done")) << Status().toStdString();
    }
    EXPECT_TRUE(QFileInfo(symlink).isSymLink());
}

// Clicks and file drops that arrive while the job is being set up (the
// timeline loads its sources meanwhile) start nothing; once it runs, the next
// click stops it.
TEST_F(GuiConvertSafetyTest, ClicksDuringSetUpStartNothing) {
    const QString source = SmallClip("safety-setup.mkv", 3.0);
    const QString other = SmallClip("safety-dropped.mkv", 2.0);
    OpenAndShow(source, dir_.filePath("out.mkv"));
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(other)});
    int firedDuringSetUp = 0;
    int firedAfterwards = 0;
    int enabledDuringSetUp = 0;
    int dropsAcceptedDuringSetUp = 0;
    bool inConvert = false;
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, dialog_.get(), [&] {
            if (!inConvert) {
                ++firedAfterwards;
                return;
            }
            ++firedDuringSetUp;
            for (int id : {IDC_BUTTON_CONVERT, IDC_BUTTON_OPEN_VIDEO, IDC_BUTTON_OPTIONS,
                           IDC_BUTTON_EXIT, IDC_BUTTON_START_TIME})
                enabledDuringSetUp += dialog_->Control(id)->isEnabled() ? 1 : 0;
            Click(IDC_BUTTON_CONVERT);
            env_.ui.fileAnswers.push_back(source);
            dialog_->OpenVideo();
            dialog_->TakeTrimStart();
            dialog_->OnExit();
            // Another video dropped on the window: the pointer says no, and
            // a drop on its way anyway opens nothing.
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &dropped, Qt::LeftButton,
                                  Qt::NoModifier);
            QCoreApplication::sendEvent(dialog_.get(), &enter);
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &dropped, Qt::LeftButton,
                            Qt::NoModifier);
            QCoreApplication::sendEvent(dialog_.get(), &drop);
            dropsAcceptedDuringSetUp += (enter.isAccepted() ? 1 : 0) + (drop.isAccepted() ? 1 : 0);
        });
    }
    inConvert = true;
    Click(IDC_BUTTON_CONVERT);
    inConvert = false;
    EXPECT_EQ(dialog_->State().converting, 1) << Messages().toStdString();
    EXPECT_EQ(dialog_->ControlText(IDC_BUTTON_CONVERT), "Stop");
    EXPECT_FALSE(dialog_->Control(IDC_BUTTON_OPEN_VIDEO)->isEnabled());
    EXPECT_TRUE(dialog_->Control(IDC_BUTTON_CONVERT)->isEnabled());
    Click(IDC_BUTTON_CONVERT); // Stop at once
    EXPECT_EQ(dialog_->State().converting, 0);
    EXPECT_TRUE(Status().startsWith("Done")) << Status().toStdString();
    EXPECT_TRUE(dialog_->isVisible());
    ASSERT_TRUE(WaitFor([&] { return firedDuringSetUp + firedAfterwards == 2; }));
    // The sources are loaded with the event loop running: the clicks came
    // during the set-up, found every button disabled and did nothing.
    EXPECT_EQ(firedDuringSetUp, 2);
    EXPECT_EQ(enabledDuringSetUp, 0);
    EXPECT_EQ(dropsAcceptedDuringSetUp, 0);
    EXPECT_EQ(env_.ui.fileAnswers.size(), 2u); // Open Video asked nothing
    ASSERT_EQ(dialog_->State().items.size(), 1u);
    EXPECT_EQ(dialog_->State().items[0].path, source);                    // the drop opened nothing
    EXPECT_EQ(env_.ui.Messages().size(), 1u) << Messages().toStdString(); // the compressor
    EXPECT_EQ(dialog_->State().trimStart, 0);
    EXPECT_EQ(dialog_->State().converting, 0);
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(dialog_->ControlText(IDC_BUTTON_CONVERT), "Convert");
    EXPECT_TRUE(dialog_->Control(IDC_BUTTON_OPEN_VIDEO)->isEnabled());
    EXPECT_TRUE(dialog_->Control(IDC_BUTTON_EXIT)->isEnabled());
    env_.ui.fileAnswers.clear();

    // The window is usable again: a full conversion completes.
    env_.ui.messageAnswers = {IdYes};
    Click(IDC_BUTTON_CONVERT);
    ASSERT_EQ(dialog_->State().converting, 1) << Messages().toStdString();
    ASSERT_TRUE(WaitUntilIdle(120));
    EXPECT_TRUE(Status().startsWith("Done")) << Status().toStdString();
    const MediaFacts facts = Discover(dir_.filePath("out.mkv"));
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_NEAR(facts.durationSeconds, 3.0, 0.05);
    EXPECT_FALSE(QFileInfo::exists(dir_.filePath(".out.orvelin-partial.mkv")));
}

namespace {
void WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}
QByteArray ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

// A stored frame rate that is no rate, or a container index that names no
// container, is refused at Convert: nothing is asked, written or deleted.
TEST_F(GuiConvertSafetyTest, UnusableStoredSettingsAreRefusedBeforeAnythingIsTouched) {
    const QString source = SmallClip("safety-settings.mkv");
    const QString output = dir_.filePath("kept.mkv");
    for (const char* rate : {"abc", "nan", "inf", "1e309", "-25", "0"}) {
        env_.settings->WriteInt("Settings", "OutputFrameRateIndex", 6);
        env_.settings->WriteString("Settings", "OutputFrameRate", rate);
        OpenAndShow(source, output);
        WriteText(output, "keep me");
        env_.ui.Clear();
        env_.ui.messageAnswers = {IdYes, IdYes, IdYes};
        Click(IDC_BUTTON_CONVERT);
        EXPECT_EQ(dialog_->State().converting, 0) << rate;
        ASSERT_EQ(env_.ui.Messages().size(), 1u) << rate << " " << Messages().toStdString();
        EXPECT_TRUE(env_.ui.Messages().front().text.contains("frame rate"))
            << Messages().toStdString();
        EXPECT_EQ(ReadText(output), "keep me") << rate;
        EXPECT_FALSE(Status().startsWith("Done")) << Status().toStdString();
        dialog_.reset();
    }
    env_.settings->WriteInt("Settings", "OutputFrameRateIndex", 1);
    for (int format : {7, 19, -1, 1000}) {
        env_.settings->WriteInt("Settings", "nOuptputFormat", format);
        OpenAndShow(source, output);
        env_.ui.Clear();
        env_.ui.messageAnswers = {IdYes, IdYes, IdYes};
        Click(IDC_BUTTON_CONVERT);
        EXPECT_EQ(dialog_->State().converting, 0) << format;
        ASSERT_EQ(env_.ui.Messages().size(), 1u) << format << " " << Messages().toStdString();
        EXPECT_TRUE(env_.ui.Messages().front().text.contains("output format"))
            << Messages().toStdString();
        EXPECT_EQ(ReadText(output), "keep me") << format;
        EXPECT_FALSE(Status().startsWith("Done")) << Status().toStdString();
        dialog_.reset();
    }
}

// The old output goes only when the new one is written: a conversion that
// cannot be made leaves it as it was, and no partial file behind.
TEST_F(GuiConvertSafetyTest, AFailedConversionKeepsThePreviousOutput) {
    // No DSM writer is installed: the job is set up after the questions and
    // fails when it looks for the multiplexer.
    env_.settings->WriteInt("Settings", "nOuptputFormat", kContainerDsm);
    const QString output = dir_.filePath("previous.dsm");
    OpenAndShow(SmallClip("safety-failed.mkv"), output);
    WriteText(output, "the previous output");
    env_.ui.Clear();
    env_.ui.messageAnswers = {IdYes, IdYes, IdYes, IdYes};
    Click(IDC_BUTTON_CONVERT);
    ASSERT_TRUE(WaitUntilIdle(60));
    EXPECT_GE(env_.ui.Messages().size(), 3u) << Messages().toStdString();
    EXPECT_FALSE(Status().startsWith("Done")) << Status().toStdString();
    EXPECT_EQ(ReadText(output), "the previous output");
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"previous.dsm"});
    EXPECT_TRUE(dialog_->Control(IDC_BUTTON_OPEN_VIDEO)->isEnabled());
}
