#include "app/SettingsStore.h"
#include "options/OutputSettings.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using namespace orvelin;
using orvelin::test::TestEnv;

TEST(OutputSettings, AnEmptyStoreGivesTheDefaults) {
    TestEnv env;
    const OutputSettings s = LoadOutputSettings(*env.settings, env.ui);
    EXPECT_EQ(s.outputFormat, 2);
    EXPECT_EQ(s.outputPath, env.VideosFolder() + "/output.mkv");
    EXPECT_EQ(s.outputWidth, 0);
    EXPECT_EQ(s.outputHeight, 0);
    EXPECT_EQ(s.frameRateIndex, 1);
    EXPECT_DOUBLE_EQ(s.outputFrameRate, 23.976);
    EXPECT_EQ(s.videoBitrate, 798720);
    EXPECT_EQ(s.audioBitrate, 128000);
    EXPECT_EQ(s.fileProfile, 0);
    EXPECT_EQ(s.resizeMode, 2);
    EXPECT_TRUE(env.ui.calls.empty());
}

TEST(OutputSettings, ExtensionRuleCutsAtTheLastDotAnywhere) {
    TestEnv env;
    EXPECT_EQ(ApplyFormatExtension(env.ui, 0, "/home/u/my.videos/clip").value(), "/home/u/my.avi");
    EXPECT_EQ(ApplyFormatExtension(env.ui, 4, "/tmp/noext").value(), "/tmp/noext.mp4");
    EXPECT_EQ(ApplyFormatExtension(env.ui, 6, "/tmp/a.b.c.wmv").value(), "/tmp/a.b.c.ogm");
    EXPECT_EQ(ApplyFormatExtension(env.ui, 1, "/tmp/Ünïcode film.mkv").value(),
              "/tmp/Ünïcode film.wmv");
    EXPECT_TRUE(env.ui.calls.empty());
}

TEST(OutputSettings, UnsupportedContainerIsRefusedWithoutOwner) {
    TestEnv env;
    EXPECT_FALSE(ApplyFormatExtension(env.ui, 7, "/tmp/x.mkv").has_value());
    EXPECT_FALSE(ApplyFormatExtension(env.ui, -1, "/tmp/x.mkv").has_value());
    ASSERT_EQ(env.ui.calls.size(), 2u);
    EXPECT_EQ(env.ui.calls[0].text, "Does not support the video format");
    EXPECT_EQ(env.ui.calls[0].caption, "Error");
    EXPECT_FALSE(env.ui.calls[0].hadOwner);
}

TEST(OutputSettings, StoredContainerSevenLeavesThePathEmpty) {
    TestEnv env;
    env.settings->WriteInt("Settings", "nOuptputFormat", 7);
    env.settings->WriteString("Settings", "OutputName", "/tmp/kept.mkv");
    const OutputSettings s = LoadOutputSettings(*env.settings, env.ui);
    EXPECT_EQ(s.outputFormat, 7);
    EXPECT_TRUE(s.outputPath.isEmpty());
    EXPECT_EQ(env.ui.MessageTexts(), QStringList{"Does not support the video format"});
}

TEST(OutputSettings, FrameRateIndexAtLoad) {
    struct Case {
        int stored;
        int index;
        double rate;
    } cases[] = {{0, 0, 23.976}, {1, 1, 23.976}, {2, 2, 24.0},   {3, 3, 25.0},
                 {4, 4, 29.97},  {5, 5, 30.0},   {9, 1, 23.976}, {-3, 1, 23.976}};
    for (const Case& c : cases) {
        TestEnv env;
        env.settings->WriteInt("Settings", "OutputFrameRateIndex", c.stored);
        const OutputSettings s = LoadOutputSettings(*env.settings, env.ui);
        EXPECT_EQ(s.frameRateIndex, c.index) << c.stored;
        EXPECT_DOUBLE_EQ(s.outputFrameRate, c.rate) << c.stored;
    }
}

TEST(OutputSettings, CustomRateTextReadsAsANumberPrefix) {
    struct Case {
        const char* text;
        double rate;
    } cases[] = {{"29.97", 29.97}, {" 12.5fps", 12.5}, {"15,5", 15.0},
                 {"abc", 0.0},     {"", 0.0},          {"-3", -3.0}};
    for (const Case& c : cases) {
        TestEnv env;
        env.settings->WriteInt("Settings", "OutputFrameRateIndex", 6);
        env.settings->WriteString("Settings", "OutputFrameRate", c.text);
        const OutputSettings s = LoadOutputSettings(*env.settings, env.ui);
        EXPECT_EQ(s.frameRateIndex, 6);
        EXPECT_DOUBLE_EQ(s.outputFrameRate, c.rate) << c.text;
    }
    TestEnv env;
    env.settings->WriteInt("Settings", "OutputFrameRateIndex", 6);
    EXPECT_DOUBLE_EQ(LoadOutputSettings(*env.settings, env.ui).outputFrameRate, 23.976);
}

TEST(OutputSettings, SaveWritesEveryValueAndLeavesTheProfileFlag) {
    TestEnv env;
    env.settings->WriteInt("Settings", "b_file_profile", 1);
    OutputSettingsToSave v;
    v.frameRateIndex = 3;
    v.frameRateText = "25.000000";
    v.outputName = "/tmp/out.avi";
    v.outputWidth = 640;
    v.outputHeight = 352;
    v.videoCompressorNumber = -1;
    v.audioCompressorNumber = 4;
    v.videoBitrate = 1024 * 1000;
    v.audioBitrate = 192000;
    v.outputFormat = 0;
    SaveOutputSettings(*env.settings, v);

    auto store = env.ReopenStore();
    EXPECT_EQ(store->GetInt("Settings", "OutputFrameRateIndex", 0), 3);
    EXPECT_EQ(store->GetString("Settings", "OutputFrameRate", ""), "25.000000");
    EXPECT_EQ(store->GetString("Settings", "OutputName", ""), "/tmp/out.avi");
    EXPECT_EQ(store->GetInt("Settings", "OutputWidth", 0), 640);
    EXPECT_EQ(store->GetInt("Settings", "OutputHigh", 0), 352);
    EXPECT_EQ(store->GetInt("DexVideoCompress", "CompressorNumber", 0), -1);
    EXPECT_EQ(store->GetInt("DexAudioCompress", "CompressorNumber", 0), 4);
    EXPECT_EQ(store->GetInt("Settings", "n_video_bitrate", 0), 1024000);
    EXPECT_EQ(store->GetInt("Settings", "n_audio_bitrate", 0), 192000);
    EXPECT_EQ(store->GetInt("Settings", "nOuptputFormat", 2), 0);
    EXPECT_EQ(store->GetInt("Settings", "b_file_profile", 0), 1);

    const OutputSettings loaded = LoadOutputSettings(*store, env.ui);
    EXPECT_EQ(loaded.outputPath, "/tmp/out.avi");
    EXPECT_DOUBLE_EQ(loaded.outputFrameRate, 25.0);
    EXPECT_EQ(loaded.fileProfile, 1);
}

TEST(OutputSettings, ContainerTable) {
    EXPECT_STREQ(Container(0)->filterText, "Audio Video Interleave file(*.avi)");
    EXPECT_STREQ(Container(1)->filterText, "Windows Media Video file (*.wmv)");
    EXPECT_STREQ(Container(6)->filterText, "Ogg Media File(*.ogm)");
    EXPECT_TRUE(Container(1)->usesBitrates);
    EXPECT_TRUE(Container(3)->usesBitrates);
    EXPECT_FALSE(Container(2)->usesBitrates);
    EXPECT_STREQ(Container(19)->listText, "CONTAINER 10");
    EXPECT_EQ(Container(20), nullptr);
    EXPECT_FALSE(ContainerSupported(7));
}
