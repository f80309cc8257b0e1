// The Convert command before a job runs: its checks in their order, the
// replace question, the frame-rate question, the compressor warning, the
// DivX feedback value, and the reports of a build that cannot start.
#include "convert/ConversionController.h"
#include "convert/ConvertSupport.h"
#include "media/EncoderRegistry.h"
#include "options/CompressorCatalog.h"
#include "support/ConvertTestHost.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orvelin;
using namespace std::chrono_literals;

namespace {

// One small clip for all tests of this file.
QString Clip() {
    test::MediaSpec clip;
    clip.width = 96;
    clip.height = 64;
    clip.seconds = 2.0;
    return test::SharedMedia("clip.mkv", clip);
}

struct Fixture {
    test::TestEnv env;
    test::ConvertTestHost host{env.ui};
    ConversionController controller{host};

    Fixture(int32_t format = kContainerMkv, const QString& outputName = "out.mkv") {
        host.OpenVideo(Clip(), 2.0, 96, 64, 25.0, env.TempPath(outputName), format);
        host.state.output.frameRateIndex = 3;
        SelectedVideoCompressor().reset();
        SelectedAudioCompressor().reset();
    }
    ~Fixture() {
        SelectedVideoCompressor().reset();
        SelectedAudioCompressor().reset();
    }
    QStringList Texts() const { return env.ui.MessageTexts(); }
    bool WaitUntilDone() {
        return test::WaitFor([&] { return !controller.Converting(); }, 60s);
    }
};

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(ConvertCommand, WithoutAVideoOnlyAsksToOpenOne) {
    test::TestEnv env;
    test::ConvertTestHost host(env.ui);
    host.state.timelinePreviewRunning = 1; // even while a preview would run
    ConversionController controller(host);
    controller.OnConvertClicked();
    ASSERT_EQ(env.ui.MessageTexts(), QStringList{"Please open a video file first!"});
    EXPECT_EQ(env.ui.Messages()[0].caption, ApplicationName());
    EXPECT_EQ(host.state.converting, 0);
    EXPECT_TRUE(host.statusHistory.isEmpty());
}

TEST(ConvertCommand, ListLimitsAre1000ItemsAnd100MusicEntries) {
    Fixture f;
    const ClipEntry item = f.host.state.items[0];
    f.host.state.items.assign(1001, item);
    f.host.state.itemCount = 1001;
    f.controller.OnConvertClicked();
    EXPECT_EQ(f.Texts(), QStringList{"Photos are too many! Please delete some photos in the photo "
                                     "list."});

    f.env.ui.Clear();
    f.host.state.items.resize(1000);
    f.host.state.itemCount = 1000;
    f.host.state.music.assign(101, f.host.state.music[0]);
    f.host.state.musicCount = 101;
    f.controller.OnConvertClicked();
    EXPECT_EQ(f.Texts(), QStringList{"Music files are too many! Please delete some music files "
                                     "in the music list."});

    // At the limits the checks pass: the next thing is the compressor warning.
    f.env.ui.Clear();
    f.host.state.music.resize(100);
    f.host.state.musicCount = 100;
    f.env.ui.messageAnswers = {IdNo};
    f.controller.OnConvertClicked();
    ASSERT_EQ(f.Texts().size(), 1);
    EXPECT_EQ(f.Texts()[0], CompressorWarningText());
    EXPECT_EQ(f.host.state.converting, 0);
}

TEST(ConvertCommand, RefusesWhileTheTimelinePreviewPlays) {
    Fixture f;
    f.host.state.timelinePreviewRunning = 1;
    f.controller.OnConvertClicked();
    EXPECT_EQ(f.Texts(), QStringList{"Please stop Preview first!"});
}

TEST(ConvertCommand, EmptyOrReversedStretchIsRefusedBeforeAnythingIsTouched) {
    Fixture f;
    WriteFile(f.host.state.output.outputPath, "keep me");
    for (auto [start, end] :
         {std::pair{1'0000000LL, 1'0000000LL}, std::pair{1'5000000LL, 5000000LL}}) {
        f.env.ui.Clear();
        f.host.state.trimStart = start;
        f.host.state.trimEnd = end;
        f.controller.OnConvertClicked();
        EXPECT_EQ(f.Texts(), QStringList{EmptyStretchText()});
    }
    EXPECT_EQ(ReadFile(f.host.state.output.outputPath), QStringLiteral("keep me"));
    EXPECT_EQ(f.host.state.converting, 0);
}

TEST(ConvertCommand, ExistingOutputAnsweredNoDeletesNothingAndAsksNothingMore) {
    Fixture f;
    f.host.state.output.frameRateIndex = 0;
    f.host.state.output.outputFrameRate = 120.0;
    WriteFile(f.host.state.output.outputPath, "keep me");
    f.env.ui.messageAnswers = {IdNo};
    f.controller.OnConvertClicked();
    ASSERT_EQ(f.env.ui.Messages().size(), 1u);
    const test::UiCall question = f.env.ui.Messages()[0];
    EXPECT_EQ(question.text,
              f.host.state.output.outputPath + " exists. Do you want to replace it?");
    EXPECT_EQ(question.caption, QStringLiteral("Warning"));
    EXPECT_EQ(question.buttons, MsgButtons::YesNo);
    EXPECT_TRUE(question.hadOwner);
    EXPECT_EQ(ReadFile(f.host.state.output.outputPath), QStringLiteral("keep me"));
    EXPECT_DOUBLE_EQ(f.host.state.output.outputFrameRate, 120.0);
}

TEST(ConvertCommand, TheOldFileGoesOnlyOnceEveryQuestionIsAnswered) {
    Fixture f;
    f.host.state.output.frameRateIndex = 0;
    f.host.state.output.outputFrameRate = 120.0;
    f.host.state.sourceFrameRate = 120.0;
    WriteFile(f.host.state.output.outputPath, "keep me");
    // Replace: yes; frame rate: yes; no compressor: stop.
    f.env.ui.messageAnswers = {IdYes, IdYes, IdNo};
    f.controller.OnConvertClicked();
    ASSERT_EQ(f.Texts().size(), 3);
    EXPECT_EQ(f.Texts()[2], CompressorWarningText());
    EXPECT_EQ(ReadFile(f.host.state.output.outputPath), QStringLiteral("keep me"));
    EXPECT_EQ(f.host.state.converting, 0);
}

TEST(ConvertCommand, AProbedRateOf120IsQuestionedWithSixDecimals) {
    Fixture f;
    f.host.state.output.frameRateIndex = 0;
    f.host.state.output.outputFrameRate = 120.0;
    f.host.state.sourceFrameRate = 120.0;
    f.env.ui.messageAnswers = {IdYes, IdNo};
    f.controller.OnConvertClicked();
    ASSERT_EQ(f.env.ui.Messages().size(), 2u);
    const test::UiCall question = f.env.ui.Messages()[0];
    EXPECT_EQ(question.text,
              QStringLiteral("The output frame rate is 120.000000.The value may not be proper.\n"
                             "Click Yes to set the output frame rate 23.976. Click No to keep "
                             "it."));
    EXPECT_EQ(question.caption, QStringLiteral("Warning"));
    EXPECT_EQ(question.buttons, MsgButtons::YesNo);
    EXPECT_DOUBLE_EQ(f.host.state.output.outputFrameRate, 23.976);

    f.env.ui.Clear();
    f.host.state.output.outputFrameRate = 120.0;
    f.env.ui.messageAnswers = {IdNo, IdNo};
    f.controller.OnConvertClicked();
    EXPECT_EQ(f.Texts().size(), 2);
    EXPECT_DOUBLE_EQ(f.host.state.output.outputFrameRate, 120.0);

    // A probed rate of exactly 0 and a rate chosen in Options are not questioned.
    for (auto [index, rate] : {std::pair{0, 0.0}, std::pair{6, 150.0}}) {
        f.env.ui.Clear();
        f.host.state.output.frameRateIndex = index;
        f.host.state.output.outputFrameRate = rate;
        f.env.ui.messageAnswers = {IdNo};
        f.controller.OnConvertClicked();
        EXPECT_EQ(f.Texts(), QStringList{CompressorWarningText()});
    }
}

TEST(ConvertCommand, WindowsMediaSkipsTheWarningAndWritesAPlayableFile) {
    Fixture f(kContainerWmv, "out.wmv");
    QSettings divx(QStringLiteral("DivXNetworks"), QStringLiteral("DivX4Windows"));
    ASSERT_TRUE(divx.fileName().startsWith(QDir::tempPath())) << divx.fileName().toStdString();
    divx.setValue(QStringLiteral("Disable feedback"), 0);
    divx.sync();
    f.host.state.output.useVideoCompressor = 1;
    f.host.state.output.useAudioCompressor = 1;
    f.controller.OnConvertClicked();
    EXPECT_TRUE(f.Texts().isEmpty()) << f.Texts().join("|").toStdString();
    // The writer encodes by itself: the compressors are off after the build.
    EXPECT_EQ(f.host.state.output.useVideoCompressor, 0);
    EXPECT_EQ(f.host.state.output.useAudioCompressor, 0);
    ASSERT_TRUE(f.WaitUntilDone());
    const test::MediaFacts facts = test::Discover(f.host.state.output.outputPath);
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_EQ(facts.width, 96);
    EXPECT_EQ(facts.height, 64);
    EXPECT_EQ(facts.videoStreams, 1);
    EXPECT_EQ(facts.audioStreams, 1);
    EXPECT_TRUE(facts.raw.contains(QLatin1String("format=(string)WMV2")))
        << facts.raw.toStdString();
    EXPECT_TRUE(facts.raw.contains(QLatin1String("wmaversion=(int)2"))) << facts.raw.toStdString();
    EXPECT_NEAR(facts.durationSeconds, 2.0, 0.1);
    divx.sync();
    EXPECT_EQ(divx.value(QStringLiteral("Disable feedback")).toInt(), 0);
    divx.remove(QStringLiteral("Disable feedback"));
}

TEST(ConvertCommand, AFileProfileEndsWithTheMapReport) {
    Fixture f(kContainerAsf, "out.asf");
    f.host.state.output.fileProfile = 1;
    f.controller.OnConvertClicked();
    ASSERT_EQ(f.env.ui.Messages().size(), 1u);
    const test::UiCall report = f.env.ui.Messages()[0]; // a copy: Messages() is a new list
    EXPECT_EQ(report.text, QStringLiteral("Failed to map profile ID!  hr=0x80070057\n"));
    EXPECT_EQ(report.caption, QStringLiteral("Vantorix"));
    EXPECT_FALSE(report.hadOwner);
    EXPECT_EQ(f.host.state.converting, 0);
}

TEST(ConvertCommand, ASoundBitRateNoWindowsMediaFormatHasEndsWithTheProfileReport) {
    Fixture f(kContainerWmv, "out.wmv");
    f.host.state.output.audioBitrate = 100000; // between the offered rates
    f.controller.OnConvertClicked();
    ASSERT_EQ(f.env.ui.Messages().size(), 1u);
    const test::UiCall report = f.env.ui.Messages()[0];
    // The result code is written in lower-case hexadecimal.
    EXPECT_EQ(
        report.text,
        QStringLiteral("Failed to GenerateProfile Audio video with script!  hr=0xc00d0bc2\n"));
    EXPECT_EQ(report.caption, QStringLiteral("Vantorix"));
    EXPECT_EQ(f.host.state.converting, 0);
    EXPECT_FALSE(QFile::exists(f.host.state.output.outputPath));
}

TEST(ConvertCommand, DivXFeedbackIsSetOnlyWhereTheValueExists) {
    Fixture f(kContainerAvi, "out.avi");
    QSettings divx(QStringLiteral("DivXNetworks"), QStringLiteral("DivX4Windows"));
    ASSERT_TRUE(divx.fileName().startsWith(QDir::tempPath())) << divx.fileName().toStdString();
    divx.remove(QStringLiteral("Disable feedback"));
    divx.sync();
    DisableDivXFeedback();
    divx.sync();
    EXPECT_FALSE(divx.contains(QStringLiteral("Disable feedback"))); // never created

    divx.setValue(QStringLiteral("Disable feedback"), 0x1200);
    divx.sync();
    // AVI with a compressor: no warning, and the value's first byte becomes 1.
    SelectedVideoCompressor() = media::BindCompressor(QStringLiteral("x264enc"));
    ASSERT_TRUE(SelectedVideoCompressor());
    f.host.state.output.useVideoCompressor = 1;
    f.controller.OnConvertClicked();
    EXPECT_TRUE(f.Texts().isEmpty()) << f.Texts().join("|").toStdString();
    divx.sync();
    EXPECT_EQ(divx.value(QStringLiteral("Disable feedback")).toInt(), 0x1201);
    EXPECT_TRUE(f.WaitUntilDone());
    divx.remove(QStringLiteral("Disable feedback"));
}

TEST(ConvertCommand, ProgressTextCountsTicksAndWidensPast99Hours) {
    Fixture f;
    for (int i = 0; i < 3725; ++i)
        f.controller.OnTimer(kTimerConvertProgress);
    EXPECT_EQ(f.host.status, QStringLiteral("Please wait... Used Time: 01:02:05"));
    f.controller.OnTimer(7); // other timers change nothing
    EXPECT_EQ(f.host.state.elapsedSeconds, 3725);
    f.host.state.elapsedSeconds = 100 * 3600 - 1;
    f.controller.OnTimer(kTimerConvertProgress);
    EXPECT_EQ(f.host.status, QStringLiteral("Please wait... Used Time: 100:00:00"));
}

TEST(ConvertCommand, AChosenCompressorWithoutInstanceEndsTheBuildWithTheReason) {
    Fixture f;
    f.host.state.output.useVideoCompressor = 1; // chosen, but binding had failed
    f.controller.OnConvertClicked();
    ASSERT_EQ(f.Texts().size(), 1);
    EXPECT_TRUE(f.Texts()[0].contains("compressor is not available")) << f.Texts()[0].toStdString();
    EXPECT_EQ(f.host.state.converting, 0);
    EXPECT_TRUE(f.controller.Job().Empty());
    EXPECT_FALSE(QFile::exists(f.host.state.output.outputPath));
}

// An MP4 file takes no uncompressed sound or pictures: Convert says so
// before it asks anything or touches the old file.
TEST(ConvertCommand, Mp4CannotStoreUncompressedSound) {
    Fixture f(kContainerMp4, "out.mp4");
    SelectedVideoCompressor() = media::BindCompressor(QStringLiteral("x264enc"));
    f.host.state.output.useVideoCompressor = 1;
    QFile old(f.host.state.output.outputPath);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("the old file");
    old.close();
    f.controller.OnConvertClicked();
    ASSERT_EQ(f.Texts().size(), 1) << f.Texts().join("|").toStdString();
    EXPECT_EQ(f.Texts()[0],
              QStringLiteral("An MP4 file cannot store uncompressed sound. Please choose an audio "
                             "compressor in Options."));
    EXPECT_EQ(f.env.ui.Messages()[0].caption, QStringLiteral("orvelin"));
    EXPECT_EQ(f.host.filterDialogs, 0);
    EXPECT_EQ(f.host.state.converting, 0);
    EXPECT_TRUE(f.controller.Job().Empty());
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("the old file"));
    old.close();

    // Full frames are refused the same way, before the sound.
    f.env.ui.Clear();
    f.host.state.output.useVideoCompressor = 0;
    f.controller.OnConvertClicked();
    ASSERT_EQ(f.Texts().size(), 1) << f.Texts().join("|").toStdString();
    EXPECT_TRUE(f.Texts()[0].startsWith(
        QStringLiteral("An MP4 file cannot store full frames (uncompressed video).")));

    // With both compressed the same settings convert.
    f.env.ui.Clear();
    f.host.state.output.useVideoCompressor = 1;
    SelectedAudioCompressor() = media::BindCompressor(QStringLiteral("avenc_aac"));
    f.host.state.output.useAudioCompressor = 1;
    f.env.ui.messageAnswers = {IdYes};
    f.controller.OnConvertClicked();
    EXPECT_EQ(f.Texts().size(), 1) << f.Texts().join("|").toStdString(); // replace the old file?
    EXPECT_EQ(f.host.filterDialogs, 1);
    EXPECT_TRUE(f.WaitUntilDone());
}

TEST(ConvertCommand, MissingMultiplexersSendUsersToADownloadPage) {
    Fixture f(kContainerDsm, "out.dsm");
    f.env.ui.messageAnswers = {IdYes};
    f.controller.OnConvertClicked();
    EXPECT_EQ(f.Texts(),
              (QStringList{CompressorWarningText(), "Please install DSM Splitter/Muxer codec)"}));
    std::vector<QString> urls;
    for (const test::UiCall& call : f.env.ui.calls)
        if (call.kind == test::UiCall::Url)
            urls.push_back(call.text);
    EXPECT_EQ(urls, std::vector<QString>{QString::fromLatin1(kDsmDownloadUrl)});
    EXPECT_EQ(f.host.state.converting, 0);
}

TEST(ConvertCommand, SourcesThatCannotBeReadAreExplained) {
    Fixture f;
    // The part asked for reaches past the end of the file.
    f.host.state.trimEnd = 5 * media::kUnitsPerSecond;
    f.env.ui.messageAnswers = {IdYes};
    f.controller.OnConvertClicked();
    ASSERT_EQ(f.Texts().size(), 3) << f.Texts().join("|").toStdString();
    EXPECT_EQ(f.Texts()[1], QStringLiteral("Could not ConnectFrontEnd"));
    EXPECT_TRUE(f.Texts()[2].startsWith("clip.mkv lasts 2.0")) << f.Texts()[2].toStdString();
    EXPECT_TRUE(f.Texts()[2].endsWith("it cannot be read up to 5.00 s."))
        << f.Texts()[2].toStdString();
    EXPECT_EQ(f.host.state.converting, 0);

    // A file that is gone.
    f.env.ui.Clear();
    f.host.state.trimEnd = media::kUnitsPerSecond;
    f.host.state.items[0].path = f.host.state.music[0].path = f.env.TempPath("gone.mkv");
    f.env.ui.messageAnswers = {IdYes};
    f.controller.OnConvertClicked();
    ASSERT_EQ(f.Texts().size(), 3) << f.Texts().join("|").toStdString();
    EXPECT_EQ(f.Texts()[1], QStringLiteral("Could not ConnectFrontEnd"));
    EXPECT_TRUE(f.Texts()[2].startsWith("gone.mkv cannot be read")) << f.Texts()[2].toStdString();
    EXPECT_TRUE(f.controller.Job().Empty());
}
