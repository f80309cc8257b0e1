// Conversions through the main window that must never lose the user's files
// or call a broken result "Done": the output chosen as the source itself,
// clicks that arrive while a job is being set up, stored settings that
// cannot work, and sources that are damaged.
#include "app/SettingsStore.h"
#include "app/exe/ConverterApp.h"
#include "convert/ConversionController.h"
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
#include <QFileInfo>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <csignal>
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
    for (const char* rate : {"abc", "nan", "inf", "1e309", "-25", "0", "0.001", "0.99"}) {
        env_.settings->WriteInt("Settings", "OutputFrameRateIndex", 6);
        env_.settings->WriteString("Settings", "OutputFrameRate", rate);
        OpenAndShow(source, output);
        WriteText(output, "keep me");
        env_.ui.Clear();
        env_.ui.messageAnswers = {IdYes, IdYes, IdYes};
        Click(IDC_BUTTON_CONVERT);
        EXPECT_EQ(dialog_->State().converting, 0) << rate;
        ASSERT_EQ(env_.ui.Messages().size(), 1u) << rate << " " << Messages().toStdString();
        const bool large = QByteArray(rate) == "inf" || QByteArray(rate) == "1e309";
        EXPECT_TRUE(env_.ui.Messages().front().text.startsWith(
            large ? "The frame rate is too large!" : "The frame rate is too small!"))
            << rate << " " << Messages().toStdString();
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

// A stored output name that names no file gives the default name, never a
// hidden file of the extension alone.
TEST_F(GuiConvertSafetyTest, AnEmptyOutputNameGivesTheDefaultName) {
    for (const char* name : {"", "   ", ".mkv", "/tmp/"}) {
        env_.settings->WriteString("Settings", "OutputName", name);
        MainDialog dialog(*env_.context);
        EXPECT_EQ(QFileInfo(dialog.State().output.outputPath).fileName(), "output.mkv") << name;
        EXPECT_TRUE(QFileInfo(dialog.State().output.outputPath).isAbsolute()) << name;
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

namespace {
QStringList HiddenFiles(const QString& folder) {
    return QDir(folder).entryList(QStringList{".*"}, QDir::Files | QDir::Hidden);
}
} // namespace

// A source named like the file a job writes first (left by a program that
// ended, then opened): it is read, never written or removed, while a partial
// file nobody writes any more goes.
TEST_F(GuiConvertSafetyTest, ASourceNamedLikeAPartialFileIsNeverRemoved) {
    const QString clip = SmallClip("safety-partial.mkv");
    for (const QString name : {".clip.orvelin-partial.mkv", ".clip.orvelin-partial-Ab12Cd.mkv"}) {
        SCOPED_TRACE(name.toStdString());
        const QString source = dir_.filePath(name);
        ASSERT_TRUE(QFile::copy(clip, source));
        const QByteArray before = Hash(source);
        const QString stale = dir_.filePath(".clip.orvelin-partial-zzzzzz.mkv");
        WriteText(stale, "left by a program that ended");
        const QString output = dir_.filePath("clip.mkv");
        OpenAndShow(source, output);
        env_.ui.Clear();
        env_.ui.messageAnswers = {IdYes};
        Click(IDC_BUTTON_CONVERT);
        ASSERT_EQ(dialog_->State().converting, 1) << Messages().toStdString();
        ASSERT_TRUE(WaitUntilIdle(120));
        EXPECT_TRUE(Status().startsWith("Done")) << Status().toStdString();
        EXPECT_EQ(Hash(source), before);
        EXPECT_NEAR(Discover(output).durationSeconds, 2.0, 0.1);
        EXPECT_EQ(HiddenFiles(dir_.path()), QStringList{name});
        dialog_.reset();
        QFile::remove(source);
        QFile::remove(output);
    }
}

// Two windows on one output: the second job is refused at Convert, naming
// the file, before anything is asked or touched; the first ends with its own
// file, and then the output is free again.
TEST_F(GuiConvertSafetyTest, ASecondJobOnTheSameOutputIsRefused) {
    const QString source = SmallClip("safety-two.mkv", 30.0);
    const QString output = dir_.filePath("shared.mkv");
    OpenAndShow(source, output);
    MainDialog second(*env_.context);
    second.show();
    env_.ui.fileAnswers.push_back(source);
    qobject_cast<QAbstractButton*>(second.Control(IDC_BUTTON_OPEN_VIDEO))->click();
    ASSERT_EQ(second.State().itemCount, 1);
    env_.ui.Clear();
    env_.ui.messageAnswers = {IdYes};
    Click(IDC_BUTTON_CONVERT);
    ASSERT_EQ(dialog_->State().converting, 1) << Messages().toStdString();

    const QStringList hidden = HiddenFiles(dir_.path());
    env_.ui.Clear();
    env_.ui.messageAnswers = {IdYes, IdYes};
    qobject_cast<QAbstractButton*>(second.Control(IDC_BUTTON_CONVERT))->click();
    EXPECT_EQ(second.State().converting, 0);
    ASSERT_EQ(env_.ui.Messages().size(), 1u) << Messages().toStdString();
    EXPECT_TRUE(env_.ui.Messages().front().text.contains(output + " is being written by another"))
        << Messages().toStdString();
    EXPECT_EQ(HiddenFiles(dir_.path()), hidden);
    ASSERT_EQ(dialog_->State().converting, 1) << "the first job ended too soon";

    Click(IDC_BUTTON_CONVERT); // Stop: what is converted so far is kept
    EXPECT_TRUE(Status().startsWith("Done")) << Status().toStdString();
    EXPECT_TRUE(Discover(output).ok);
    EXPECT_EQ(HiddenFiles(dir_.path()), QStringList{});
    // Free again: the second window's job starts.
    env_.ui.Clear();
    env_.ui.messageAnswers = {IdYes, IdYes};
    qobject_cast<QAbstractButton*>(second.Control(IDC_BUTTON_CONVERT))->click();
    ASSERT_EQ(second.State().converting, 1) << Messages().toStdString();
    qobject_cast<QAbstractButton*>(second.Control(IDC_BUTTON_CONVERT))->click();
    EXPECT_EQ(second.State().converting, 0);
    EXPECT_EQ(HiddenFiles(dir_.path()), QStringList{});
}

// The output's folder renamed while the job runs: the finished file cannot
// take its name, and is neither lost nor left hidden; the end says where it
// is.
TEST_F(GuiConvertSafetyTest, AFinishedFileThatCannotTakeItsNameIsKeptAndNamed) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("films"));
    const QString output = dir_.filePath("films/out.mkv");
    OpenAndShow(SmallClip("safety-moved.mkv", 3.0), output);
    env_.ui.Clear();
    env_.ui.messageAnswers = {IdYes};
    Click(IDC_BUTTON_CONVERT);
    ASSERT_EQ(dialog_->State().converting, 1) << Messages().toStdString();
    ASSERT_TRUE(QDir(dir_.path()).rename("films", "moved"));
    ASSERT_TRUE(WaitUntilIdle(120));
    const QString kept = dir_.filePath("moved/out.mkv");
    EXPECT_FALSE(Status().startsWith("Done")) << Status().toStdString();
    EXPECT_TRUE(Status().contains("kept as " + kept)) << Status().toStdString();
    EXPECT_TRUE(Messages().contains("kept as " + kept)) << Messages().toStdString();
    EXPECT_NEAR(Discover(kept).durationSeconds, 3.0, 0.1);
    EXPECT_EQ(HiddenFiles(dir_.filePath("moved")), QStringList{});
}

// SIGTERM while a job runs: the program ends the job as Stop does - the part
// converted so far takes the output's name and plays - closes, and says so
// by its exit code; nothing hidden is left behind.
TEST_F(GuiConvertSafetyTest, ATerminationSignalEndsTheJobAsStopAndExits) {
    MediaSpec long_clip;
    long_clip.width = 96;
    long_clip.height = 64;
    long_clip.seconds = 30.0;
    const QString source = SharedMedia("safety-signal.mkv", long_clip);
    const QString output = dir_.filePath("signalled.mkv");
    env_.settings->WriteString("Settings", "OutputName", output);
    ConverterApp app(env_.ui);
    app.SetLanguageBaseFolder(env_.TempPath("no-packs"));
    app.SetFileToOpen(source);
    double progressAtSignal = -1;
    app.SetOnMainWindowShown([&](MainDialog& window) {
        env_.ui.messageAnswers = {IdYes};
        qobject_cast<QAbstractButton*>(window.Control(IDC_BUTTON_CONVERT))->click();
        auto* timer = new QTimer(&window);
        QObject::connect(timer, &QTimer::timeout, &window, [&window, timer, &progressAtSignal] {
            if (window.Conversion().ProgressPercent() < 5)
                return;
            timer->stop();
            progressAtSignal = window.Conversion().ProgressPercent();
            ::raise(SIGTERM);
        });
        timer->start(20);
    });
    EXPECT_EQ(app.Run(), 128 + SIGTERM);
    ASSERT_GT(progressAtSignal, 0) << Messages().toStdString();
    const MediaFacts facts = Discover(output);
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_GT(facts.durationSeconds, 0.5);
    EXPECT_LT(facts.durationSeconds, 29.0);
    EXPECT_EQ(HiddenFiles(dir_.path()), QStringList{});
}
