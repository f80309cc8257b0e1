// The pack loader: file names, locales, the profile reader, text decoding and
// bad pack files.
#include "lang/LanguagePack.h"
#include "lang/LocaleTable.h"
#include "lang/ProfileFile.h"
#include "lang/TextDecoding.h"
#include "support/LanguageFixtures.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace orvelin;
using orvelin::test::Encode;
using orvelin::test::PackFolder;
using orvelin::test::TestEnv;

namespace {
LanguagePack& Pack() {
    return LanguagePack::Instance();
}
} // namespace

TEST(LanguagePackFiles, ListedInByteOrderAndChosenWithoutRegardToCase) {
    TestEnv env;
    PackFolder folder;
    Pack().Attach(env.settings.get(), &env.ui);
    folder.Write("German", "[DIALOG]\nIDC_BUTTON_PLAY=Wiedergabe\n");
    folder.Write("english", "");
    folder.Write("Chinese_Simplified_utf-8", "");
    folder.Write("notes", ""); // notes.ini is a pack name like any other
    QFile upperFile(folder.Base() + "/language/Upper.INI");
    ASSERT_TRUE(upperFile.open(QIODevice::WriteOnly));
    upperFile.write("[DIALOG]\nIDC_BUTTON_PLAY=UPPER\n");
    upperFile.close();
    QString name = "GERMAN";
    ASSERT_TRUE(folder.Init(name));
    ASSERT_EQ(Pack().PackCount(), 5);
    EXPECT_EQ(Pack().PackName(0), "Chinese_Simplified_utf-8");
    EXPECT_EQ(Pack().PackName(1), "German");
    EXPECT_EQ(Pack().PackName(2), "Upper");
    EXPECT_EQ(Pack().PackName(3), "english");
    EXPECT_EQ(Pack().PackName(4), "notes");
    EXPECT_EQ(name, "GERMAN");
    EXPECT_EQ(Pack().CurrentName(), "GERMAN");
    // Opened under the listed spelling, so the text is found.
    EXPECT_TRUE(Pack().PackPath().endsWith("/language/German.ini"));
    EXPECT_EQ(Pack().GetDialogText(1058), "Wiedergabe");
    EXPECT_EQ(Pack().PrimaryLanguage(), 7);
    EXPECT_EQ(Pack().SubLanguage(), 0);

    // A name that is not listed falls back to english; the caller's name too.
    QString upper = "upper";
    Pack().Select(upper);
    EXPECT_EQ(Pack().GetDialogText(1058), "UPPER");
    QString missing = "Klingon";
    Pack().Select(missing);
    EXPECT_EQ(missing, "english");
    EXPECT_EQ(Pack().CurrentName(), "english");
    EXPECT_EQ(Pack().GetDialogText(1058), "");
}

TEST(LanguagePackFiles, NamesTellEncodingAndLocale) {
    TestEnv env;
    Pack().Attach(env.settings.get(), &env.ui);
    EXPECT_EQ(LanguagePack::DetectEncoding("Russian_unicode"), PackEncoding::Unicode);
    EXPECT_EQ(LanguagePack::DetectEncoding("Chinese_Simplified_UTF-8"), PackEncoding::Utf8);
    EXPECT_EQ(LanguagePack::DetectEncoding("German"), PackEncoding::Ansi);

    struct Case {
        const char* name;
        const char* locale;
        int primary;
        int sub;
    };
    const Case cases[] = {
        {"German", "deu", 0x07, 0},
        {"DEU", "deu", 0x07, 0},
        {"chs", "chs", 0x04, 2}, // the first CHS row: the People's Republic
        {"Chinese_Simplified_utf-8", "chs", 0x04, 0},
        {"Russian_unicode", "rus", 0x19, 0},
        {"english_utf-8", "english", 9, 1},
        {"enu", "enu", 9, 0},
        {"Japanese_Japan", "jpn", 0x11, 1},
        {"English_United_Kingdom)", "eng", 9, 2},
        {"Spanish_United States", "est", 0x0A, 0x15},
        {"Chinese_Traditional", "cht", 0x04, 0x1F},
        {"Yoruba_Nigeria", "yor", 0x6A, 1},
    };
    for (const Case& c : cases) {
        QString locale;
        int32_t primary = -1, sub = -1;
        EXPECT_TRUE(Pack().ResolveLocale(c.name, locale, primary, sub)) << c.name;
        EXPECT_EQ(locale, c.locale) << c.name;
        EXPECT_EQ(primary, c.primary) << c.name;
        EXPECT_EQ(sub, c.sub) << c.name;
    }
    EXPECT_TRUE(env.ui.calls.empty());

    QString locale;
    int32_t primary = 0, sub = 0;
    EXPECT_FALSE(Pack().ResolveLocale("Klingon", locale, primary, sub));
    ASSERT_EQ(env.ui.Messages().size(), 1u);
    EXPECT_EQ(env.ui.Messages()[0].text,
              "Your language file name may be not proper,\n please read the help file!");
    EXPECT_EQ(env.ui.Messages()[0].caption, "klingon");
    EXPECT_FALSE(env.ui.Messages()[0].hadOwner);

    ASSERT_EQ(LocaleTable().size(), 273u);
    EXPECT_STREQ(LocaleTable().front().name, "Afrikaans");
    EXPECT_EQ(LocaleTable().front().languageId, 0x0036);
    EXPECT_STREQ(LocaleTable().back().abbreviation, "YOR");
    Pack().Attach(nullptr, nullptr);
}

TEST(LanguagePackFiles, UnknownLanguageIsToldButItsTextsAreUsed) {
    TestEnv env;
    PackFolder folder;
    Pack().Attach(env.settings.get(), &env.ui);
    folder.Write("Klingon", "[DIALOG]\nIDC_BUTTON_PLAY=Qapla\n");
    ASSERT_TRUE(folder.Init("Klingon"));
    EXPECT_EQ(env.ui.MessageTexts().size(), 1);
    EXPECT_EQ(Pack().GetDialogText(1058), "Qapla");
}

TEST(LanguagePackTexts, AnsiPacksDecodeFromTheirLanguagesCodePage) {
    PackFolder folder;
    folder.Write("German", Encode("[DIALOG]\nIDC_BUTTON_CONVERT=Konvertierung läuft\n"
                                  "[STRING]\nIDS_MESSAGE_WARNING=Größe ändern\n",
                                  "CP1252"));
    folder.Write("Russian", Encode("[DIALOG]\nIDC_BUTTON_STOP=Стоп\n[STRING]\n"
                                   "IDS_MESSAGE_ERROR=Ошибка чтения\n",
                                   "CP1251"));
    ASSERT_TRUE(folder.Init("German"));
    EXPECT_EQ(Pack().CodePage(), 1252);
    // One key, two ids: the button and the Convert caption.
    EXPECT_EQ(Pack().GetDialogText(1000), "Konvertierung läuft");
    EXPECT_EQ(Pack().GetDialogTextOrString(125), "Konvertierung läuft");
    EXPECT_EQ(Pack().GetString(108), "Größe ändern");
    // Texts the pack lacks stay English.
    EXPECT_EQ(Pack().GetDialogTextOrString(124), "Stop");

    QString russian = "Russian";
    Pack().Select(russian);
    EXPECT_EQ(Pack().CodePage(), 1251);
    EXPECT_EQ(Pack().GetDialogTextOrString(124), "Стоп");
    EXPECT_EQ(Pack().GetString(105), "Ошибка чтения");
}

TEST(LanguagePackTexts, Utf16AndUtf8Packs) {
    PackFolder folder;
    // An odd last byte: the texts before it are whole, the stray byte shows.
    QByteArray utf16 = test::Utf16Pack("[STRING]\r\nIDS_MESSAGE_ERROR=Ошибка\r\n"
                                       "IDS_MESSAGE_WARNING=Внимание 注意");
    utf16.append('\x41');
    folder.Write("Russian_unicode", utf16);
    folder.Write("Japanese_utf-8", QByteArray("[STRING]\nIDS_MESSAGE_ERROR=エラー\n"
                                              "IDS_MESSAGE_WARNING=bad \xC3\x28 byte\n"));
    ASSERT_TRUE(folder.Init("Russian_unicode"));
    EXPECT_EQ(Pack().Encoding(), PackEncoding::Unicode);
    EXPECT_EQ(Pack().GetString(105), "Ошибка");
    EXPECT_EQ(Pack().GetString(108), QString("Внимание 注意") + QChar(0xFFFD));

    QString japanese = "Japanese_utf-8";
    Pack().Select(japanese);
    EXPECT_EQ(Pack().Encoding(), PackEncoding::Utf8);
    EXPECT_EQ(Pack().GetString(105), "エラー");
    EXPECT_EQ(Pack().GetString(108), QString("bad ") + QChar(0xFFFD) + "( byte");
}

TEST(LanguagePackTexts, TheLengthLimitNeverSplitsACharacter) {
    // 3,000 Cyrillic letters: two bytes each in UTF-8, one unit each in
    // UTF-16. A UTF-8 pack keeps the whole letters of its first 2,047 bytes;
    // a UTF-16 pack keeps 2,047 letters.
    const QString letters = QString(3000, QChar(0x0416));
    PackFolder folder;
    folder.Write("Russian_unicode", test::Utf16Pack("[STRING]\r\nIDS_MESSAGE_ERROR=" + letters));
    folder.Write("Russian_utf-8", "[STRING]\nIDS_MESSAGE_ERROR=" + letters.toUtf8() + "\n");
    ASSERT_TRUE(folder.Init("Russian_unicode"));
    EXPECT_EQ(Pack().GetString(105), QString(2047, QChar(0x0416)));
    QString utf8 = "Russian_utf-8";
    Pack().Select(utf8);
    EXPECT_EQ(Pack().GetString(105), QString(1023, QChar(0x0416)));
    // A letter outside the basic plane (two UTF-16 units) is kept or left out
    // whole.
    const QString wide = QString(2046, QLatin1Char('a')) + QString::fromUcs4(U"\U0001F600") + "b";
    folder.Write("Russian_unicode", test::Utf16Pack("[STRING]\r\nIDS_MESSAGE_ERROR=" + wide));
    QString unicode = "Russian_unicode";
    Pack().Select(unicode);
    EXPECT_EQ(Pack().GetString(105), QString(2046, QLatin1Char('a')));
}

TEST(LanguagePackTexts, DecodersReplaceWhatDoesNotDecode) {
    // 0x81 is unassigned in code page 1252; a lone lead byte ends a cp936 text.
    EXPECT_EQ(DecodeCodePage("a\x81z", 1252), QString("a") + QChar(0xFFFD) + "z");
    EXPECT_EQ(DecodeCodePage(Encode("中文", "CP936") + "\xB0", 936),
              QString("中文") + QChar(0xFFFD));
    EXPECT_EQ(DecodeCodePage("plain", 0), "plain");
    const char lone[] = {'\x00', '\xD8', 'a', '\x00'};
    EXPECT_EQ(QString::fromUtf8(Utf16ToUtf8(lone, 4, false)), QString(QChar(0xFFFD)) + "a");
}

TEST(LanguagePackReader, ProfileRules) {
    ProfileFile file;
    QByteArray text = "  [dialog] \r\n"
                      "idc_button_play =  \"  quoted  \" \r\n"
                      "IDC_BUTTON_PLAY=second\r\n"
                      "IDC_BUTTON_STOP='single'\r\n"
                      "IDC_BUTTON_PAUSE=\"unbalanced'\r\n"
                      "no equals sign here\r\n"
                      "IDC_BUTTON_EXIT=\r\n"
                      "[Dialog]\r\n"
                      "IDC_BUTTON_HELP=in the second section of that name\r\n"
                      "[STRING]\r\n"
                      "LONG=";
    text.append(QByteArray(3000, 'x'));
    text.append("\r\n");
    file.SetContent(text);
    EXPECT_EQ(file.Read("DIALOG", "IDC_BUTTON_PLAY"), "  quoted  ");
    EXPECT_EQ(file.Read("Dialog", "idc_button_stop"), "single");
    EXPECT_EQ(file.Read("DIALOG", "IDC_BUTTON_PAUSE"), "\"unbalanced'");
    EXPECT_EQ(file.Find("DIALOG", "IDC_BUTTON_EXIT"), QByteArray(""));
    EXPECT_EQ(file.Find("DIALOG", "IDC_BUTTON_HELP"), std::nullopt);
    EXPECT_EQ(file.Read("MENU", "IDM_ABOUT", "default"), "default");
    EXPECT_EQ(file.Read("STRING", "LONG").size(), ProfileFile::kMaxValueBytes);
    // Prefetched values answer the same.
    file.Prefetch("dialog", {"IDC_BUTTON_PLAY", "IDC_BUTTON_HELP"});
    EXPECT_EQ(file.Read("DIALOG", "IDC_BUTTON_PLAY"), "  quoted  ");
    EXPECT_EQ(file.Find("DIALOG", "IDC_BUTTON_HELP"), std::nullopt);
}

TEST(LanguagePackReader, EscapesAndTheFiftySevenRows) {
    PackFolder folder;
    folder.Write("English", "[STRING]\nIDS_MESSAGE_ERROR=two\\nlines\n"
                            "IDS_MESSAGE_WARNING=tab\\there\\r\n"
                            "IDS_MESSAGE_CONVERSION_DONE=back\\\\nslash\n"
                            "IDS_MESSAGE_RESTART_PROGRAM=other \\x stays\n");
    folder.Write("Empty", "");
    ASSERT_TRUE(folder.Init("English"));
    EXPECT_EQ(Pack().GetString(105), "two\nlines");
    EXPECT_EQ(Pack().GetString(108), "tab\there\r");
    EXPECT_EQ(Pack().GetString(163), "back\\\nslash");
    EXPECT_EQ(Pack().GetString(126), "other \\x stays");

    QString empty = "Empty";
    Pack().Select(empty);
    EXPECT_EQ(Pack().MenuTexts().size() + Pack().StringTexts().size() + Pack().DialogTexts().size(),
              57u);
    EXPECT_EQ(Pack().MenuTexts().size(), 4u);
    EXPECT_EQ(Pack().MenuTexts()[1].first, 10485760);
    for (const auto& [id, text] : Pack().DialogTexts())
        EXPECT_TRUE(text.isEmpty()) << id;
    EXPECT_EQ(Pack().GetString(108), "Warning");
}

TEST(LanguagePackReader, BadFilesLoadWhatTheyCan) {
    PackFolder folder;
    // Binary noise.
    QByteArray noise(200000, '\0');
    QRandomGenerator random(42);
    for (char& c : noise)
        c = static_cast<char>(random.bounded(256));
    folder.Write("Noise", noise);
    // No sections at all.
    folder.Write("Bare", "IDC_BUTTON_PLAY=nowhere\n");
    // A line of 100,000 bytes, then a normal one.
    folder.Write("Wide", "[DIALOG]\nIDC_BUTTON_STOP=" + QByteArray(100000, 'w') +
                             "\nIDC_BUTTON_PLAY=after\n");
    // 50 MB of lines, the wanted key at the very end.
    QByteArray big = "[DIALOG]\n";
    const QByteArray line = "SOME_OTHER_KEY=some value of a line\n";
    while (big.size() < 50 * 1024 * 1024)
        big.append(line);
    big.append("IDC_BUTTON_PLAY=at the end\n");
    folder.Write("Huge", big);

    ASSERT_TRUE(folder.Init("Noise"));
    EXPECT_EQ(Pack().GetString(108), "Warning");
    QString name = "Bare";
    Pack().Select(name);
    EXPECT_EQ(Pack().GetDialogText(1058), "");
    name = "Wide";
    Pack().Select(name);
    EXPECT_EQ(Pack().GetDialogText(1061).size(), 2047);
    EXPECT_EQ(Pack().GetDialogText(1058), "after");
    name = "Huge";
    Pack().Select(name);
    EXPECT_EQ(Pack().GetDialogText(1058), "at the end");
}

TEST(LanguagePackLocale, NumbersKeepTheirFullStop) {
    PackFolder folder;
    folder.Write("German", "");
    ASSERT_TRUE(folder.Init("German"));
    EXPECT_EQ(QLocale().language(), QLocale::German);
    EXPECT_EQ(QString::asprintf("%.3f", 23.976), "23.976");
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", 2.5);
    EXPECT_STREQ(buffer, "2.5");
    QLocale::setDefault(QLocale::c());
}
