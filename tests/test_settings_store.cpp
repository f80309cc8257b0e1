#include "app/SettingsStore.h"
#include "support/TestEnv.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace orvelin;
using orvelin::test::TestEnv;

TEST(SettingsStore, LivesUnderTheConfigFolderAndSurvivesANewRun) {
    TestEnv env;
    EXPECT_EQ(env.settings->FilePath(), env.Folder() + "/config/ZEVRANT/orvelin.conf");
    EXPECT_TRUE(env.settings->WriteString("Option", "CurrentLanguage", "english"));
    EXPECT_TRUE(env.settings->WriteInt("Settings", "OutputWidth", 720));

    auto again = env.ReopenStore();
    EXPECT_EQ(again->GetString("Option", "CurrentLanguage", "x"), "english");
    EXPECT_EQ(again->GetInt("Settings", "OutputWidth", 0), 720);
    QFile file(env.Folder() + "/config/ZEVRANT/orvelin.conf");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[Option]"));
    EXPECT_TRUE(text.contains("CurrentLanguage=english"));
}

TEST(SettingsStore, MissingValuesAnswerTheirDefaults) {
    TestEnv env;
    EXPECT_EQ(env.settings->GetInt("Settings", "nOuptputFormat", 2), 2);
    EXPECT_EQ(env.settings->GetString("Option", "LastPhotoFolder", ""), "");
    EXPECT_EQ(env.settings->GetString("Option", "CurrentLanguage", "english"), "english");
    EXPECT_FALSE(env.settings->Contains("Option", "CurrentLanguage"));
}

TEST(SettingsStore, SectionsAndKeysAreFoundWithoutRegardToCase) {
    TestEnv env;
    env.settings->WriteString("German", "lfFaceName", "Arial");
    EXPECT_EQ(env.settings->GetString("GERMAN", "LFFACENAME", ""), "Arial");
    // Writing under another spelling updates the stored entry, not a twin.
    env.settings->WriteString("gErMaN", "LfFaceName", "Verdana");
    auto again = env.ReopenStore();
    EXPECT_EQ(again->GetString("German", "lfFaceName", ""), "Verdana");
    QFile file(again->FilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("Verdana"), 1);
}

TEST(SettingsStore, IntegersAreThirtyTwoBitAndJunkReadsAsDefault) {
    TestEnv env;
    env.settings->WriteInt("DexVideoCompress", "CompressorNumber", -2);
    EXPECT_EQ(env.settings->GetInt("DexVideoCompress", "CompressorNumber", 0), -2);
    env.settings->WriteString("Settings", "OutputWidth", "not a number");
    EXPECT_EQ(env.settings->GetInt("Settings", "OutputWidth", 7), 7);
    // A value edited by hand beyond 32 bits wraps as a 32-bit entry does.
    env.settings->WriteString("Settings", "OutputHigh", "4294967295");
    EXPECT_EQ(env.settings->GetInt("Settings", "OutputHigh", 0), -1);
}
