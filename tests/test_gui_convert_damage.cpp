// Conversions through the main window of sources that are damaged or change
// while they are read: the end of the job says what happened instead of a
// plain "Done", while intact sources, and sources whose sound is merely
// shorter than their picture, still end with "Done".
#include "app/DesktopSession.h"
#include "app/SettingsStore.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "support/MainWindowTest.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

using namespace orvelin;
using namespace orvelin::test;

namespace {

constexpr qint64 kSecond = 10'000'000; // 100 ns units

// Records what the main window tells the desktop.
struct RecordingSession : DesktopSession {
    QStringList notices;
    void SetProgress(double) override {}
    void Notify(const QString& summary, const QString& body) override {
        notices << summary + "|" + body;
    }
};

class GuiConvertDamageTest : public MainWindowTest {
protected:
    void SetUp() override { SetDesktopSession(&session_); }
    void TearDown() override {
        dialog_.reset();
        SetDesktopSession(nullptr);
    }
    // Converts with the no-compressor warning answered Yes; false when the
    // job did not start or did not end in time.
    bool Convert() {
        env_.ui.Clear();
        env_.ui.messageAnswers = {IdYes};
        Click(IDC_BUTTON_CONVERT);
        if (dialog_->State().converting != 1)
            return false;
        return WaitFor([&] { return dialog_->State().converting == 0; }, std::chrono::seconds(120));
    }
    // The message boxes after the compressor warning.
    QStringList EndMessages() const {
        QStringList texts = env_.ui.MessageTexts();
        if (!texts.isEmpty() && texts.first().startsWith("You do not select a video compressor"))
            texts.removeFirst();
        return texts;
    }
    // Makes the main window lose the focus, so that the end of a job is
    // notified to the desktop.
    void LookElsewhere() {
        other_.show();
        other_.activateWindow();
        ASSERT_TRUE(WaitFor([&] { return !dialog_->isActiveWindow(); }));
    }

    RecordingSession session_;
    QWidget other_;
};

MediaSpec SmallClip(double seconds) {
    MediaSpec clip;
    clip.width = 96;
    clip.height = 64;
    clip.seconds = seconds;
    return clip;
}

// The seconds a "... ends after N s" sentence gives, -1 without one.
double EndSeconds(const QString& text) {
    static const QRegularExpression ends("ends after (\\d+\\.\\d+) s");
    const auto match = ends.match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : -1.0;
}

} // namespace

// A Matroska file whose first quarter is intact and whose rest is random
// bytes: the container still says six seconds, but only the head can be
// decoded. The output is kept, and the end says how far the source went.
TEST_F(GuiConvertDamageTest, GarbageAfterAValidHeadIsSaidInsteadOfDone) {
    const QString source = dir_.filePath("holiday.mkv");
    QString log;
    ASSERT_TRUE(MakeMedia(source, SmallClip(6.0), &log)) << log.toStdString();
    ASSERT_TRUE(OverwriteTail(source, QFileInfo(source).size() / 4));
    const QString output = dir_.filePath("out.mkv");
    OpenAndShow(source, output);
    ASSERT_EQ(dialog_->State().trimEnd, 6 * kSecond); // the header's length

    LookElsewhere();
    ASSERT_TRUE(Convert()) << Messages().toStdString();
    EXPECT_FALSE(Status().startsWith("Done")) << Status().toStdString();
    EXPECT_TRUE(Status().contains("holiday.mkv")) << Status().toStdString();
    EXPECT_TRUE(Status().contains("6.00 s converted")) << Status().toStdString();
    const double reached = EndSeconds(Status());
    EXPECT_GT(reached, 0.0) << Status().toStdString();
    EXPECT_LT(reached, 3.0) << Status().toStdString();
    // The user is told as well, and the desktop does not hear "done".
    const QStringList ends = EndMessages();
    ASSERT_EQ(ends.size(), 1) << Messages().toStdString();
    EXPECT_TRUE(ends[0].contains("holiday.mkv") && ends[0].contains("damaged"))
        << ends[0].toStdString();
    ASSERT_EQ(session_.notices.size(), 1);
    EXPECT_TRUE(session_.notices[0].startsWith("Conversion done with a warning: out.mkv|"))
        << session_.notices[0].toStdString();
    // What could be read is in the output, which replaced nothing.
    const MediaFacts facts = Discover(output);
    EXPECT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_EQ(QDir(dir_.path()).entryList(QStringList{".*orvelin*"}, QDir::Files | QDir::Hidden),
              QStringList{});
}

// A transport stream with damaged packets here and there: the demultiplexer
// complains and goes on; the end of the job passes the complaint on.
TEST_F(GuiConvertDamageTest, DamagedDataInTheMiddleIsSaidInsteadOfDone) {
    const QString source = dir_.filePath("broadcast.ts");
    QString log;
    ASSERT_TRUE(RunGstLaunch(
        QString("mpegtsmux name=mux ! filesink location=\"%1\" "
                "videotestsrc num-buffers=100 pattern=ball ! "
                "video/x-raw,width=96,height=64,framerate=25/1,format=I420 ! "
                "x264enc speed-preset=ultrafast key-int-max=25 ! h264parse ! queue ! mux. "
                "audiotestsrc num-buffers=173 samplesperbuffer=1024 ! "
                "audio/x-raw,rate=44100,channels=2 ! audioconvert ! lamemp3enc ! "
                "mpegaudioparse ! queue ! mux.")
            .arg(source),
        &log))
        << log.toStdString();
    ASSERT_TRUE(OverwriteSpots(source, QFileInfo(source).size() / 10, 30, 100, 7));
    OpenAndShow(source, dir_.filePath("out.mkv"));
    // The stretch ends well before the damaged end of the file.
    dialog_->State().trimEnd = 3 * kSecond;

    ASSERT_TRUE(Convert()) << Messages().toStdString();
    EXPECT_FALSE(Status().startsWith("Done")) << Status().toStdString();
    EXPECT_TRUE(Status().contains("broadcast.ts")) << Status().toStdString();
    EXPECT_TRUE(Status().contains("damaged data")) << Status().toStdString();
    const QStringList ends = EndMessages();
    ASSERT_EQ(ends.size(), 1) << Messages().toStdString();
    EXPECT_TRUE(ends[0].contains("broadcast.ts")) << ends[0].toStdString();
}

// Intact sources end with "Done" and nothing else; so does one whose sound
// simply stops before its picture (the picture reaches the end).
TEST_F(GuiConvertDamageTest, IntactSourcesAndShortSoundAreDone) {
    const QString intact = SharedMedia("damage-intact.mkv", SmallClip(3.0));
    ASSERT_FALSE(intact.isEmpty());
    const QString shortSound = dir_.filePath("short sound.mkv");
    QString log;
    ASSERT_TRUE(RunGstLaunch(
        QString("matroskamux name=mux ! filesink location=\"%1\" "
                "videotestsrc num-buffers=100 ! "
                "video/x-raw,width=96,height=64,framerate=25/1,format=I420 ! "
                "x264enc speed-preset=ultrafast key-int-max=25 ! h264parse ! queue ! mux. "
                "audiotestsrc num-buffers=87 samplesperbuffer=1024 ! "
                "audio/x-raw,rate=44100,channels=2 ! audioconvert ! vorbisenc ! queue ! mux.")
            .arg(shortSound),
        &log))
        << log.toStdString();
    for (const QString& source : {intact, shortSound}) {
        OpenAndShow(source, dir_.filePath("out.mkv"));
        LookElsewhere();
        session_.notices.clear();
        env_.ui.Clear();
        env_.ui.messageAnswers = {IdYes, IdYes}; // replace the last output
        Click(IDC_BUTTON_CONVERT);
        ASSERT_EQ(dialog_->State().converting, 1) << Messages().toStdString();
        ASSERT_TRUE(
            WaitFor([&] { return dialog_->State().converting == 0; }, std::chrono::seconds(120)));
        EXPECT_TRUE(Status().startsWith("Done. ")) << Status().toStdString();
        for (const QString& text : env_.ui.MessageTexts())
            EXPECT_FALSE(text.contains("damaged")) << text.toStdString();
        ASSERT_EQ(session_.notices.size(), 1);
        EXPECT_TRUE(session_.notices[0].startsWith("Conversion done:"))
            << session_.notices[0].toStdString();
        dialog_.reset();
    }
}

// A small damaged corpus made with a fixed seed: a Matroska file cut to
// 90 % (its header still says 4 s), an AVI file cut to 60 % (its header
// counts the pictures it should hold), and a Matroska file with bits
// flipped in its pictures (the decoder conceals them). Each ends with a
// warning; a clip of variable frame rate, intact, ends with "Done".
TEST_F(GuiConvertDamageTest, DamagedCorpusWarnsAndAVariableRateClipIsDone) {
    struct Case {
        const char* name;
        test::Container container;
        double keep; // the share of the file kept; 0: bits flipped instead
    };
    const Case cases[] = {{"cut.mkv", test::Container::Mkv, 0.9},
                          {"cut.avi", test::Container::Avi, 0.6},
                          {"flipped.mkv", test::Container::Mkv, 0.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString source = dir_.filePath(c.name);
        MediaSpec clip = SmallClip(4.0);
        clip.container = c.container;
        QString log;
        ASSERT_TRUE(MakeMedia(source, clip, &log)) << log.toStdString();
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        if (c.keep > 0) {
            ASSERT_TRUE(file.resize(qint64(file.size() * c.keep)));
        } else {
            QByteArray bytes = file.readAll();
            std::mt19937 random(7);
            for (int i = 0; i < 12; ++i)
                bytes[bytes.size() / 10 + qsizetype(random() % (bytes.size() * 8 / 10))] ^= 0x10;
            ASSERT_TRUE(file.seek(0));
            ASSERT_EQ(file.write(bytes), bytes.size());
        }
        file.close();
        OpenAndShow(source, dir_.filePath("out.mkv"));
        env_.ui.messageAnswers = {IdYes, IdYes};
        Click(IDC_BUTTON_CONVERT);
        ASSERT_TRUE(
            WaitFor([&] { return dialog_->State().converting == 0; }, std::chrono::seconds(120)));
        EXPECT_FALSE(Status().startsWith("Done")) << Status().toStdString();
        EXPECT_TRUE(Status().contains(c.name) && Status().contains("Done. "))
            << Status().toStdString();
        dialog_.reset();
    }
    const QString variable = dir_.filePath("phone.mp4");
    QString log;
    ASSERT_TRUE(MakeVariableRateMedia(variable, test::Container::Mp4, 30, 30, 20, 10, &log))
        << log.toStdString();
    OpenAndShow(variable, dir_.filePath("out.mkv"));
    ASSERT_TRUE(Convert()) << Messages().toStdString();
    EXPECT_TRUE(Status().startsWith("Done. ")) << Status().toStdString();
}

// A source cut short, written to or removed while it is converted: the
// status and the file agree. A changed source is named and never gives a
// plain "Done": either the new file is in place with that warning, or the
// old output stays and the job failed. A source that is only removed was
// read to the end all the same.
TEST_F(GuiConvertDamageTest, TheStatusAgreesWithTheFileWhenASourceChangesDuringTheRun) {
    const QString clip = SharedMedia("damage-changing.mkv", SmallClip(3.0));
    ASSERT_FALSE(clip.isEmpty());
    for (const char* change : {"truncated", "appended to", "removed"}) {
        SCOPED_TRACE(change);
        const QString source = dir_.filePath(QString(change).replace(' ', '-') + ".mkv");
        const QString output = dir_.filePath(QString(change).replace(' ', '-') + "-out.mkv");
        ASSERT_TRUE(QFile::copy(clip, source));
        OpenAndShow(source, output);
        LookElsewhere();
        session_.notices.clear();
        env_.ui.Clear();
        env_.ui.messageAnswers = {IdYes};
        Click(IDC_BUTTON_CONVERT);
        ASSERT_EQ(dialog_->State().converting, 1) << Messages().toStdString();
        // The job runs on its own threads; the change comes before its end
        // is taken in.
        QFile file(source);
        if (QString(change) == "removed") {
            ASSERT_TRUE(file.remove());
        } else {
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            if (QString(change) == "truncated") {
                ASSERT_TRUE(file.resize(file.size() / 2));
            } else {
                ASSERT_TRUE(file.seek(file.size()));
                ASSERT_EQ(file.write(QByteArray(4096, 'x')), 4096);
            }
            file.close();
        }
        ASSERT_TRUE(
            WaitFor([&] { return dialog_->State().converting == 0; }, std::chrono::seconds(120)));
        ASSERT_EQ(session_.notices.size(), 1);
        const QString notice = session_.notices[0];
        const bool written = QFileInfo::exists(output);
        if (QString(change) == "removed") {
            EXPECT_TRUE(Status().startsWith("Done. ")) << Status().toStdString();
            ASSERT_TRUE(written);
            EXPECT_NEAR(Discover(output).durationSeconds, 3.0, 0.1);
        } else {
            EXPECT_FALSE(Status().startsWith("Done")) << Status().toStdString();
            EXPECT_TRUE(Status().contains(source)) << Status().toStdString();
            const QStringList ends = EndMessages();
            ASSERT_EQ(ends.size(), 1) << Messages().toStdString();
            EXPECT_TRUE(ends[0].contains(source) && ends[0].contains("changed"))
                << ends[0].toStdString();
            // Written and said so, or not written and said so.
            EXPECT_EQ(notice.startsWith("Conversion done with a warning"), written)
                << notice.toStdString();
            EXPECT_EQ(notice.startsWith("Conversion failed:"), !written) << notice.toStdString();
            EXPECT_EQ(Status().contains(output + "     "), written) << Status().toStdString();
        }
        EXPECT_EQ(
            QDir(dir_.path()).entryList(QStringList{".*orvelin*"}, QDir::Files | QDir::Hidden),
            QStringList{});
        dialog_.reset();
    }
}
