// A conversion while it runs and as it ends: the running state, the elapsed
// time, Stop leaving a playable partial file, completion, the graph's events
// (two queued together, an error), and the controls coming back.
#include "convert/ConversionController.h"
#include "convert/ConvertSupport.h"
#include "media/EncoderRegistry.h"
#include "media/Filter.h"
#include "options/CompressorCatalog.h"
#include "support/ConvertTestHost.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orvelin;
using namespace std::chrono_literals;

namespace {

// A long, tiny clip: its conversion to a bigger frame takes long enough to
// be stopped while it runs.
QString LongClip() {
    test::MediaSpec clip;
    clip.width = 64;
    clip.height = 48;
    clip.seconds = 60.0;
    return test::SharedMedia("long.mkv", clip);
}

struct Fixture {
    test::TestEnv env;
    test::ConvertTestHost host{env.ui};
    ConversionController controller{host};

    explicit Fixture(int32_t format = kContainerMp4, const QString& name = "out.mp4") {
        host.OpenVideo(LongClip(), 60.0, 64, 48, 25.0, env.TempPath(name), format);
        host.state.output.frameRateIndex = 3;
        host.state.output.outputWidth = 640;
        host.state.output.outputHeight = 480;
        SelectedVideoCompressor() = media::BindCompressor(QStringLiteral("x264enc"));
        SelectedAudioCompressor() = media::BindCompressor(QStringLiteral("avenc_aac"));
        host.state.output.useVideoCompressor = 1;
        host.state.output.useAudioCompressor = 1;
    }
    ~Fixture() { ReleaseSelectedCompressors(); }

    int DoneLines() const {
        return static_cast<int>(host.statusHistory.filter(QRegularExpression("^Done\\. ")).size());
    }
    QString DoneLine() const {
        const OutputSettings& out = host.state.output;
        return QStringLiteral("Done. Output file: ") + out.outputPath +
               "     Resolution: " + QString::number(out.outputWidth) + "*" +
               QString::number(out.outputHeight);
    }
};

} // namespace

TEST(ConvertRun, StopLeavesAPlayablePartialFileAndTheNextRunCountsAfresh) {
    Fixture f;
    f.controller.OnConvertClicked();
    ASSERT_TRUE(f.env.ui.MessageTexts().isEmpty())
        << f.env.ui.MessageTexts().join("|").toStdString();
    ASSERT_TRUE(f.controller.Converting());
    EXPECT_EQ(f.host.convertCaption, QStringLiteral("Stop"));
    EXPECT_FALSE(f.host.editControlsEnabled);
    EXPECT_TRUE(f.controller.ProgressTimerActive());
    EXPECT_EQ(f.host.filterDialogs, 1); // MP4 shows the filters before the run

    ASSERT_TRUE(
        test::WaitFor([&] { return f.host.status == "Please wait... Used Time: 00:00:02"; }, 10s));
    ASSERT_TRUE(f.controller.Converting()) << "the job ended before it could be stopped";
    f.controller.OnConvertClicked();                // the button is Stop now
    EXPECT_TRUE(f.env.ui.MessageTexts().isEmpty()); // no question
    EXPECT_FALSE(f.controller.Converting());
    EXPECT_EQ(f.host.status, f.DoneLine());
    EXPECT_EQ(f.host.convertCaption, QStringLiteral("Convert"));
    EXPECT_TRUE(f.host.editControlsEnabled);
    EXPECT_FALSE(f.controller.ProgressTimerActive());
    EXPECT_EQ(f.host.state.elapsedSeconds, 0);
    EXPECT_TRUE(f.controller.Job().Empty());

    // The partial file is finished: an MP4 without its index would not play.
    const test::MediaFacts facts = test::Discover(f.host.state.output.outputPath);
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_EQ(facts.videoStreams, 1);
    EXPECT_EQ(facts.audioStreams, 1);
    EXPECT_EQ(facts.width, 640);
    EXPECT_GT(facts.durationSeconds, 0.2);
    EXPECT_LT(facts.durationSeconds, 59.0);

    // The next run asks before replacing the partial file and counts from 1.
    f.host.statusHistory.clear();
    f.controller.OnConvertClicked();
    ASSERT_EQ(f.env.ui.MessageTexts().size(), 1);
    EXPECT_TRUE(f.env.ui.MessageTexts()[0].endsWith("exists. Do you want to replace it?"));
    ASSERT_TRUE(f.controller.Converting());
    ASSERT_TRUE(test::WaitFor([&] { return !f.host.statusHistory.isEmpty(); }, 5s));
    EXPECT_EQ(f.host.statusHistory.first(), QStringLiteral("Please wait... Used Time: 00:00:01"));
    f.controller.StopConversion();
    EXPECT_EQ(f.DoneLines(), 1);
}

TEST(ConvertRun, TwoQueuedEventsEndingWithCompletionEndTheJobOnce) {
    Fixture f;
    f.controller.OnConvertClicked();
    ASSERT_TRUE(f.controller.Converting());
    auto graph = f.controller.Job().mediaEvent;
    ASSERT_TRUE(graph);
    graph->Events().Push(media::GraphEvent{0x0D, media::S_OK, {}}); // a notice that ends nothing
    graph->Events().Push(media::GraphEvent{media::EC_COMPLETE, media::S_OK, {}});
    ASSERT_TRUE(test::WaitFor([&] { return !f.controller.Converting(); }, 10s));
    EXPECT_EQ(graph->Events().GetEvent(nullptr), media::E_POINTER);
    media::GraphEvent left;
    EXPECT_LT(graph->Events().GetEvent(&left), 0); // both were taken
    // Later events find no job and are ignored.
    graph->Events().Push(media::GraphEvent{media::EC_COMPLETE, media::S_OK, {}});
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    // The job ended once. The completion came long before the end of the
    // source, so the end line says how little of it the file holds.
    EXPECT_EQ(f.host.statusHistory.filter(f.DoneLine()).size(), 1);
    EXPECT_TRUE(f.host.status.endsWith(f.DoneLine())) << f.host.status.toStdString();
    EXPECT_TRUE(f.host.status.contains("of the 60.00 s converted")) << f.host.status.toStdString();
    EXPECT_EQ(f.env.ui.MessageTexts().size(), 1);
}

TEST(ConvertRun, AnErrorEndsTheJobAndIsShownInsteadOfDone) {
    Fixture f(kContainerMkv, "out.mkv");
    // A "compressor" that fails after a few frames, as a broken encoder would.
    auto failing = media::Filter::Create(QStringLiteral("identity"));
    ASSERT_TRUE(failing);
    ASSERT_EQ(failing->SetProperty(QStringLiteral("error-after"), QStringLiteral("5")),
              media::S_OK);
    SelectedVideoCompressor() = failing;
    f.controller.OnConvertClicked();
    ASSERT_TRUE(test::WaitFor([&] { return !f.controller.Converting(); }, 20s));
    const QStringList texts = f.env.ui.MessageTexts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].startsWith("VideoCompressor: ")) << texts[0].toStdString();
    EXPECT_LE(texts[0].size(), 160);
    EXPECT_EQ(f.env.ui.Messages()[0].caption, ApplicationName());
    EXPECT_EQ(f.host.status, QStringLiteral("Conversion failed: ") + texts[0]);
    EXPECT_EQ(f.DoneLines(), 0);
    EXPECT_EQ(f.host.convertCaption, QStringLiteral("Convert"));
    EXPECT_TRUE(f.host.editControlsEnabled);
    EXPECT_FALSE(f.controller.ProgressTimerActive());
    EXPECT_TRUE(f.controller.Job().Empty());
}

TEST(ConvertRun, CompletionEndsTheJobWithTheDoneLine) {
    Fixture f(kContainerMkv, "short.mkv");
    f.host.state.output.outputWidth = 64;
    f.host.state.output.outputHeight = 48;
    f.host.state.trimStart = 10 * media::kUnitsPerSecond;
    f.host.state.trimEnd = 12 * media::kUnitsPerSecond;
    f.controller.OnConvertClicked();
    ASSERT_TRUE(f.controller.Converting());
    ASSERT_TRUE(test::WaitFor([&] { return !f.controller.Converting(); }, 30s));
    EXPECT_EQ(f.host.status, f.DoneLine());
    EXPECT_EQ(f.DoneLines(), 1);
    const test::MediaFacts facts = test::Discover(f.host.state.output.outputPath);
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_NEAR(facts.durationSeconds, 2.0, 0.05);

    // The same compressor instances serve the next job.
    f.env.ui.messageAnswers = {IdYes};
    f.controller.OnConvertClicked();
    ASSERT_TRUE(f.controller.Converting()) << f.env.ui.MessageTexts().join("|").toStdString();
    ASSERT_TRUE(test::WaitFor([&] { return !f.controller.Converting(); }, 30s));
    EXPECT_EQ(f.DoneLines(), 2);
}

TEST(ConvertRun, StopRightAfterTheStartNeitherHangsNorBreaksTheFile) {
    for (int32_t format : {kContainerMp4, kContainerAvi, kContainerMkv}) {
        Fixture f(format, QString("instant%1.%2")
                              .arg(format)
                              .arg(format == kContainerMp4   ? "mp4"
                                   : format == kContainerAvi ? "avi"
                                                             : "mkv"));
        QElapsedTimer clock;
        clock.start();
        f.controller.OnConvertClicked();
        ASSERT_TRUE(f.controller.Converting());
        f.controller.OnConvertClicked();
        EXPECT_FALSE(f.controller.Converting());
        EXPECT_LT(clock.elapsed(), 15000);
        EXPECT_EQ(f.host.status, f.DoneLine());
        EXPECT_TRUE(f.env.ui.MessageTexts().isEmpty())
            << f.env.ui.MessageTexts().join("|").toStdString();
    }
}
