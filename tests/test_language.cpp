#include "app/Installation.h"
#include "lang/BuiltinStrings.h"
#include "lang/LanguagePack.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orvelin;

TEST(LanguageLookups, WithoutAPackTheBuiltInEnglishAnswers) {
    LanguagePack& pack = LanguagePack::Instance();
    EXPECT_EQ(pack.GetString(108), "Warning");
    EXPECT_EQ(pack.GetDialogTextOrString(125), "Convert");
    EXPECT_EQ(pack.GetDialogTextOrString(124), "Stop");
    EXPECT_EQ(pack.GetString(127), "exists. Do you want to replace it?");
    EXPECT_EQ(pack.GetString(122), "Cannot open the file. You need to install appropriate "
                                   "decoders. Or the file is corrupt.");
    EXPECT_EQ(pack.GetString(163), "Done");
    // Ids without a built-in text answer an empty text.
    EXPECT_EQ(pack.GetString(1), "");
    EXPECT_EQ(pack.GetString(-5), "");
    EXPECT_EQ(pack.GetDialogText(102), "");
    EXPECT_EQ(pack.GetMenuText(32778), "");
}

TEST(LanguageLookups, InitWithoutPacksKeepsEnglish) {
    QTemporaryDir dir;
    QString name = "German";
    LanguagePack& pack = LanguagePack::Instance();
    EXPECT_FALSE(pack.Init(dir.path(), name));
    EXPECT_EQ(pack.CurrentName(), "english");
    EXPECT_EQ(pack.PackCount(), 0);
    EXPECT_EQ(pack.GetString(105), "Error");
    EXPECT_FALSE(pack.ApplyToDialog(nullptr, 102));
}

TEST(LanguageLookups, BaseFolderPrefersTheParentWithAnEnglishPack) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("bin");
    EXPECT_EQ(LanguagePack::FindBaseFolder(dir.filePath("bin")), dir.filePath("bin"));
    QDir(dir.path()).mkpath("language");
    QFile english(dir.filePath("language/English.ini"));
    ASSERT_TRUE(english.open(QIODevice::WriteOnly));
    english.close();
    EXPECT_EQ(LanguagePack::FindBaseFolder(dir.filePath("bin")), dir.path());
    EXPECT_EQ(LanguagePack::FindBaseFolder(dir.filePath("bin") + "/"), dir.path());
}

TEST(LanguageLookups, InstalledProgramFindsItsPacksInTheSharedDataFolder) {
    QTemporaryDir dir;
    const QString bin = dir.filePath("usr/bin");
    QDir(dir.path()).mkpath("usr/bin");
    const QString data = InstalledDataFolder(bin);
    EXPECT_EQ(data, dir.filePath("usr/share/orvelin"));
    QDir().mkpath(data + "/language");
    QFile english(data + "/language/English.ini");
    ASSERT_TRUE(english.open(QIODevice::WriteOnly));
    english.close();
    EXPECT_EQ(LanguagePack::FindBaseFolder(bin), data);
    // A language folder beside the program (the build tree) still comes first.
    QDir(bin).mkpath("language");
    EXPECT_EQ(LanguagePack::FindBaseFolder(bin), bin);
}
