// A conversion from end to end through the main window's own buttons: Open
// Video, Start/End Time, Convert (and Stop), checked on the written file.
#include "app/SettingsStore.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "media/EncoderRegistry.h"
#include "media/Filter.h"
#include "options/CompressorCatalog.h"
#include "options/FilterPropertiesDialog.h"
#include "preview/PreviewPlayer.h"
#include "support/MainWindowTest.h"
#include "support/MediaFixtures.h"
#include "support/ModalWatch.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orvelin;
using namespace orvelin::test;

namespace {
class GuiConvertTest : public MainWindowTest {
protected:
    bool WaitUntilDone(int seconds) {
        return WaitFor([&] { return dialog_->State().converting == 0; },
                       std::chrono::seconds(seconds));
    }
};
} // namespace

TEST_F(GuiConvertTest, TheMarkedPartConvertsIntoAPlayableMatroskaFile) {
    MediaSpec clip;
    clip.width = 160;
    clip.height = 120;
    clip.seconds = 6.0;
    const QString source = dir_.filePath("source clip.mkv");
    QString log;
    ASSERT_TRUE(MakeMedia(source, clip, &log)) << log.toStdString();
    const QString output = dir_.filePath("out.mkv");
    OpenAndShow(source, output);

    // Mark 1 s to 4 s in the preview.
    PreviewPlayer* player = dialog_->Player();
    ASSERT_NE(player, nullptr);
    player->SeekTo(10'000'000);
    ASSERT_TRUE(WaitFor([&] { return player->CurrentPosition() == 10'000'000; }));
    Click(IDC_BUTTON_START_TIME);
    player->SeekTo(40'000'000);
    ASSERT_TRUE(WaitFor([&] { return player->CurrentPosition() == 40'000'000; }));
    Click(IDC_BUTTON_END_TIME);
    EXPECT_EQ(dialog_->ControlText(IDC_STATIC_START_TIME), "00:00:01");
    EXPECT_EQ(dialog_->ControlText(IDC_STATIC_END_TIME), "00:00:04");

    env_.ui.Clear();
    Click(IDC_BUTTON_CONVERT); // the no-compressor warning is answered Yes
    EXPECT_EQ(dialog_->State().converting, 1);
    EXPECT_EQ(dialog_->ControlText(IDC_BUTTON_CONVERT), "Stop");
    EXPECT_FALSE(dialog_->Control(IDC_BUTTON_OPEN_VIDEO)->isEnabled());
    EXPECT_FALSE(dialog_->Control(IDC_BUTTON_OPTIONS)->isEnabled());
    // Closing is refused while the job runs.
    EXPECT_FALSE(dialog_->RequestClose());
    ASSERT_TRUE(WaitUntilDone(120));
    EXPECT_TRUE(dialog_->ControlText(IDC_STATIC_OUTPUT_INFO).startsWith("Done"))
        << dialog_->ControlText(IDC_STATIC_OUTPUT_INFO).toStdString();
    EXPECT_EQ(dialog_->ControlText(IDC_BUTTON_CONVERT), "Convert");
    EXPECT_TRUE(dialog_->Control(IDC_BUTTON_OPEN_VIDEO)->isEnabled());

    const MediaFacts facts = Discover(output);
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_NEAR(facts.durationSeconds, 3.0, 0.05);
    EXPECT_EQ(facts.width, 160);
    EXPECT_EQ(facts.height, 120);
    EXPECT_EQ(facts.videoStreams, 1);
    EXPECT_EQ(facts.audioStreams, 1);
}

TEST_F(GuiConvertTest, StopLeavesAPlayablePartialFile) {
    MediaSpec clip;
    clip.width = 640;
    clip.height = 480;
    clip.seconds = 60.0;
    clip.audio = false;
    const QString source = dir_.filePath("long.mkv");
    QString log;
    ASSERT_TRUE(MakeMedia(source, clip, &log)) << log.toStdString();
    const QString output = dir_.filePath("partial.mkv");
    OpenAndShow(source, output);
    // A slow encoder, as chosen in Output options, so that the job is still
    // running when Stop is pressed.
    SelectedVideoCompressor() = media::Filter::Create("x264enc");
    ASSERT_TRUE(SelectedVideoCompressor());
    SelectedVideoCompressor()->SetProperty("speed-preset", "slower");
    dialog_->State().output.useVideoCompressor = 1;

    Click(IDC_BUTTON_CONVERT);
    ASSERT_EQ(dialog_->State().converting, 1);
    ASSERT_TRUE(WaitFor([&] {
        return dialog_->ControlText(IDC_STATIC_OUTPUT_INFO) == "Please wait... Used Time: 00:00:02";
    }));
    Click(IDC_BUTTON_CONVERT); // Stop
    EXPECT_EQ(dialog_->State().converting, 0);
    EXPECT_TRUE(dialog_->ControlText(IDC_STATIC_OUTPUT_INFO).startsWith("Done"));
    const MediaFacts facts = Discover(output);
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_GT(facts.durationSeconds, 0.0);
    EXPECT_LT(facts.durationSeconds, 60.0);
    EXPECT_EQ(facts.width, 640);

    // The next run counts from the start again.
    env_.ui.messageAnswers = {IdYes}; // replace the file
    Click(IDC_BUTTON_CONVERT);
    ASSERT_EQ(dialog_->State().converting, 1);
    ASSERT_TRUE(WaitFor([&] {
        return dialog_->ControlText(IDC_STATIC_OUTPUT_INFO) == "Please wait... Used Time: 00:00:01";
    }));
    Click(IDC_BUTTON_CONVERT);
    EXPECT_EQ(dialog_->State().converting, 0);
    ReleaseSelectedCompressors();
}

// Every container the program writes, chosen by the stored setting, converts
// through the same buttons (MP4 first shows the filters' settings).
TEST_F(GuiConvertTest, EachContainerConvertsThroughTheButtons) {
    MediaSpec clip;
    clip.width = 160;
    clip.height = 120;
    clip.seconds = 2.0;
    const QString source = dir_.filePath("each.mkv");
    QString log;
    ASSERT_TRUE(MakeMedia(source, clip, &log)) << log.toStdString();
    // MP4 and Ogg cannot carry uncompressed video: their encoders are chosen
    // as Output options would choose them.
    struct Case {
        int format;
        const char* name;
        const char* video;
        const char* audio;
    } cases[] = {{kContainerMp4, "out.mp4", "x264enc", "avenc_aac"},
                 {kContainerAvi, "out.avi", nullptr, nullptr},
                 {kContainerOgm, "out.ogm", "theoraenc", "vorbisenc"}};
    for (const Case& c : cases) {
        env_.ui.Clear();
        env_.settings->WriteInt("Settings", "nOuptputFormat", c.format);
        const QString output = dir_.filePath(c.name);
        OpenAndShow(source, output);
        if (c.video) {
            SelectedVideoCompressor() = media::BindCompressor(c.video);
            SelectedAudioCompressor() = media::BindCompressor(c.audio);
            ASSERT_TRUE(SelectedVideoCompressor() && SelectedAudioCompressor());
            dialog_->State().output.useVideoCompressor = 1;
            dialog_->State().output.useAudioCompressor = 1;
        }
        bool continued = false;
        auto watch = WhenModal<FilterPropertiesDialog>(
            [](FilterPropertiesDialog* d) { d->ContinueButton()->click(); }, &continued);
        Click(IDC_BUTTON_CONVERT);
        ASSERT_TRUE(WaitUntilDone(120)) << c.name;
        EXPECT_EQ(continued, c.format == kContainerMp4) << c.name;
        EXPECT_TRUE(dialog_->ControlText(IDC_STATIC_OUTPUT_INFO).startsWith("Done"))
            << c.name << " " << dialog_->ControlText(IDC_STATIC_OUTPUT_INFO).toStdString() << " "
            << env_.ui.MessageTexts().join("|").toStdString();
        const MediaFacts facts = Discover(output);
        ASSERT_TRUE(facts.ok) << c.name << facts.raw.toStdString();
        EXPECT_NEAR(facts.durationSeconds, 2.0, 0.05) << c.name;
        EXPECT_EQ(facts.width, 160) << c.name;
        EXPECT_EQ(facts.videoStreams, 1) << c.name;
        EXPECT_EQ(facts.audioStreams, 1) << c.name;
        dialog_.reset();
        ReleaseSelectedCompressors();
    }
}
