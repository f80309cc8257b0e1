// Applying packs to the main window and the Output options dialog, the popup
// menu, the language switch and the font choice.
#include "app/SettingsStore.h"
#include "lang/LanguagePack.h"
#include "lang/PopupMenu.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "options/OutputOptionsDialog.h"
#include "support/LanguageFixtures.h"
#include "support/ListCompressorSource.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace orvelin;
using orvelin::test::PackFolder;
using orvelin::test::TestEnv;

namespace {

LanguagePack& Pack() {
    return LanguagePack::Instance();
}

// The texts of a menu and its submenus, depth first ("[x]" marks a check).
QStringList MenuTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* item : menu->actions()) {
        if (item->isSeparator())
            continue;
        texts << (item->isChecked() ? "[x]" : "") + item->text();
        if (item->menu())
            texts << MenuTexts(item->menu());
    }
    return texts;
}

QAction* FindItem(QMenu* menu, int commandId) {
    for (QAction* item : menu->actions()) {
        if (MenuCommandId(item) == commandId)
            return item;
        if (item->menu())
            if (QAction* found = FindItem(item->menu(), commandId))
                return found;
    }
    return nullptr;
}

const QByteArray kGerman = test::Encode("[MENU]\nIDM_SELECT_LANGUAGE=Sprache\n"
                                        "IDM_POPUPMENU_FONT=Schriftart\nIDM_ABOUT=Info\n"
                                        "[DIALOG]\nIDD_PROGRAM_CAPTION=Orvelin deutsch\n"
                                        "IDC_BUTTON_CONVERT=Konvertierung läuft\n"
                                        "IDC_STATIC_OUTPUT_FILE=Ausgabedatei:\n"
                                        "IDD_DIALOG_OUTPUT_OPTIONS=Ausgabeoptionen\n"
                                        "[STRING]\nIDS_MESSAGE_RESTART_PROGRAM=Neu starten\n"
                                        "IDS_MESSAGE_WARNING=Warnung\n",
                                        "CP1252");

} // namespace

TEST(LanguageApply, OnlyTheControlsWithTextsChange) {
    TestEnv env;
    PackFolder folder;
    Pack().Attach(env.settings.get(), &env.ui);
    env.settings->WriteInt("Playonly", "lfHeight", -17);
    folder.Write("Playonly", "[DIALOG]\nIDC_BUTTON_PLAY=Los\n");
    ASSERT_TRUE(folder.Init("Playonly"));
    MainDialog dialog(*env.context);
    EXPECT_EQ(dialog.windowTitle(), "Orvelin");
    EXPECT_EQ(dialog.ControlText(IDC_BUTTON_PLAY), "Los");
    EXPECT_EQ(dialog.Control(IDC_BUTTON_PLAY)->font().pixelSize(), 17);
    EXPECT_EQ(dialog.ControlText(IDC_BUTTON_PAUSE), "Pause");
    EXPECT_NE(dialog.Control(IDC_BUTTON_PAUSE)->font().pixelSize(), 17);
    EXPECT_NE(dialog.font().pixelSize(), 17);
}

TEST(LanguageApply, MainWindowAndOptionsDialogInTheirLanguage) {
    TestEnv env;
    PackFolder folder;
    Pack().Attach(env.settings.get(), &env.ui);
    folder.Write("German", kGerman);
    ASSERT_TRUE(folder.Init("German"));
    MainDialog dialog(*env.context);
    EXPECT_EQ(dialog.windowTitle(), "Orvelin deutsch");
    EXPECT_EQ(dialog.ControlText(IDC_BUTTON_CONVERT), "Konvertierung läuft");
    EXPECT_EQ(dialog.ControlText(IDC_BUTTON_PLAY), "Play");

    test::ListCompressorSource compressors;
    OutputOptionsDialog options(*env.context, dialog.State().output, {}, &dialog, compressors);
    EXPECT_EQ(options.windowTitle(), "Ausgabeoptionen");
    EXPECT_EQ(
        qobject_cast<QLabel*>(options.Control(OutputOptionsDialog::IDC_STATIC_OUTPUT_FILE))->text(),
        "Ausgabedatei:");
    EXPECT_EQ(qobject_cast<QAbstractButton*>(
                  options.Control(OutputOptionsDialog::IDC_BUTTON_OPTIONS_CANCEL))
                  ->text(),
              "Cancel");
}

TEST(LanguageApply, ComboBoxesAreRefilledFromLines) {
    PackFolder folder;
    folder.Write("Combo", "[DIALOG]\nIDC_BUTTON_BROWSE=one\\ntwo\\n\n");
    ASSERT_TRUE(folder.Init("Combo"));
    QWidget dialog;
    auto* combo = new QComboBox(&dialog);
    combo->setProperty("controlId", 1024);
    combo->addItems({"a", "b", "c", "d"});
    auto* edit = new QLineEdit("kept", &dialog);
    edit->setProperty("controlId", 1024);
    auto* ok = new QPushButton("OK", &dialog);
    ok->setProperty("controlId", 1); // string 1 does not exist
    EXPECT_TRUE(Pack().ApplyToDialog(&dialog, 100));
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), "one");
    EXPECT_EQ(combo->itemText(1), "two");
    EXPECT_EQ(combo->itemText(2), "");
    EXPECT_EQ(edit->text(), "kept");
    EXPECT_EQ(ok->text(), "OK");
}

TEST(LanguageMenu, ShownTwiceGivesTheSameTexts) {
    TestEnv env;
    PackFolder folder;
    Pack().Attach(env.settings.get(), &env.ui);
    folder.Write("German", kGerman);
    folder.Write("english", "");
    ASSERT_TRUE(folder.Init("ENGLISH"));
    QString german = "German";
    Pack().Select(german);
    MainDialog dialog(*env.context);
    std::vector<QStringList> shown;
    dialog.SetPopupRunner([&](QMenu* popup, const QPoint&) -> QAction* {
        shown.push_back(MenuTexts(popup));
        return nullptr;
    });
    // A right click in the client area opens it.
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 190),
                        dialog.mapToGlobal(QPointF(5, 190)), Qt::RightButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&dialog, &release);
    dialog.ShowPopupMenu(QPoint(5, 5));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], shown[1]);
    EXPECT_EQ(shown[0], QStringList({"Sprache", "[x]German", "english", "Schriftart", "Info"}));
}

TEST(LanguageMenu, ChoosingALanguageSwitchesAtOnceAndIsKeptForTheNextStart) {
    TestEnv env;
    PackFolder folder;
    Pack().Attach(env.settings.get(), &env.ui);
    folder.Write("German", kGerman);
    folder.Write("english", "");
    env.settings->WriteInt("German", "lfHeight", -15);
    env.settings->WriteInt("German", "lfWeight", 700);
    ASSERT_TRUE(folder.Init("english"));
    {
        MainDialog dialog(*env.context);
        dialog.SetPopupRunner([](QMenu* popup, const QPoint&) {
            return FindItem(popup, IDM_LANGUAGE_FIRST + 0); // German
        });
        dialog.ShowPopupMenu(QPoint(5, 5));
        EXPECT_EQ(dialog.ControlText(IDC_BUTTON_CONVERT), "Konvertierung läuft");
        ASSERT_EQ(env.ui.Messages().size(), 1u);
        EXPECT_EQ(env.ui.Messages()[0].text, "Neu starten");
        EXPECT_EQ(env.ui.Messages()[0].caption, "Warnung");
        EXPECT_TRUE(env.ui.Messages()[0].hadOwner);
        // Choosing it again reloads it and asks again.
        dialog.ShowPopupMenu(QPoint(5, 5));
        EXPECT_EQ(env.ui.Messages().size(), 2u);
        EXPECT_TRUE(dialog.RequestClose());
    }
    // The next start.
    auto store = env.ReopenStore();
    EXPECT_EQ(store->GetString("Option", "CurrentLanguage", ""), "German");
    Pack().Attach(store.get(), &env.ui);
    ASSERT_TRUE(folder.Init(store->GetString("Option", "CurrentLanguage", "english")));
    MainDialog again(*env.context);
    EXPECT_EQ(again.ControlText(IDC_BUTTON_CONVERT), "Konvertierung läuft");
    ASSERT_NE(Pack().Font(), nullptr);
    EXPECT_EQ(Pack().Font()->pixelSize(), 15);
    EXPECT_TRUE(Pack().Font()->bold());
    EXPECT_EQ(again.Control(IDC_BUTTON_CONVERT)->font().pixelSize(), 15);
    Pack().Attach(nullptr, nullptr);
}

TEST(LanguageMenu, OnlyTheFirstThousandPacksCanBeChosen) {
    TestEnv env;
    PackFolder folder;
    Pack().Attach(env.settings.get(), &env.ui);
    for (int i = 0; i < 1001; ++i)
        folder.Write(QString("German_%1").arg(i, 4, 10, QChar('0')), "");
    ASSERT_TRUE(folder.Init("english"));
    ASSERT_EQ(Pack().PackCount(), 1001);
    MainDialog dialog(*env.context);
    int itemCount = 0;
    dialog.SetPopupRunner([&](QMenu* popup, const QPoint&) {
        QAction* last = FindItem(popup, IDM_LANGUAGE_FIRST + 1000);
        itemCount = static_cast<int>(popup->actions().first()->menu()->actions().size());
        return last;
    });
    dialog.ShowPopupMenu(QPoint(5, 5));
    EXPECT_EQ(itemCount, 1001);
    EXPECT_TRUE(env.ui.Messages().empty());
    EXPECT_EQ(Pack().CurrentName(), "english");
}

TEST(LanguageFont, ChosenFontIsStoredUnderTheLanguageAndRebuilt) {
    TestEnv env;
    PackFolder folder;
    Pack().Attach(env.settings.get(), &env.ui);
    folder.Write("english", "[DIALOG]\nIDC_BUTTON_PLAY=Play it\n");
    folder.Write("German", kGerman);
    ASSERT_TRUE(folder.Init("english"));
    // The default font first.
    EXPECT_EQ(Pack().FontRecord().lfFaceName, "Microsoft Sans Serif");
    EXPECT_EQ(Pack().Font()->pixelSize(), 11);

    MainDialog dialog(*env.context);
    QFont arial("Arial");
    arial.setPixelSize(16);
    arial.setBold(true);
    arial.setItalic(true);
    env.ui.fontAnswers.push_back(arial);
    dialog.SetPopupRunner(
        [](QMenu* popup, const QPoint&) { return FindItem(popup, IDM_POPUPMENU_FONT); });
    dialog.ShowPopupMenu(QPoint(5, 5));
    EXPECT_EQ(env.settings->GetInt("english", "lfHeight", 0), -16);
    EXPECT_EQ(env.settings->GetInt("english", "lfWeight", 0), 700);
    EXPECT_EQ(env.settings->GetInt("english", "lfItalic", 0), 1);
    EXPECT_EQ(env.settings->GetString("english", "lfFaceName", ""), "Arial");
    EXPECT_EQ(dialog.Control(IDC_BUTTON_PLAY)->font().pixelSize(), 16);

    // Another pack builds its own font; back in english the stored one returns.
    QString name = "German";
    Pack().Select(name);
    EXPECT_EQ(Pack().Font()->pixelSize(), 11);
    name = "english";
    Pack().Select(name);
    EXPECT_EQ(Pack().Font()->pixelSize(), 16);
    EXPECT_TRUE(Pack().Font()->italic());

    // Cancelling the chooser changes nothing.
    dialog.ShowPopupMenu(QPoint(5, 5));
    EXPECT_EQ(env.settings->GetInt("english", "lfHeight", 0), -16);
}

TEST(LanguageFont, ABoldFontReachesOnlyTheControlsThePackRetitles) {
    TestEnv env;
    PackFolder folder;
    Pack().Attach(env.settings.get(), &env.ui);
    // The caption (so the window takes the font) and one button.
    folder.Write("english", "[DIALOG]\nIDD_PROGRAM_CAPTION=Orvelin\nIDC_BUTTON_PLAY=Play\n");
    ASSERT_TRUE(folder.Init("english"));
    MainDialog dialog(*env.context);
    QFont bold("Serif");
    bold.setPixelSize(13);
    bold.setBold(true);
    // Twice: a second font change must not leak either.
    for (int round = 0; round < 2; ++round) {
        env.ui.fontAnswers.push_back(bold);
        dialog.OnFont();
        EXPECT_TRUE(dialog.font().bold());
        EXPECT_TRUE(dialog.Control(IDC_BUTTON_PLAY)->font().bold());
        for (int id : {IDC_BUTTON_OPEN_VIDEO, IDC_BUTTON_OPTIONS, IDC_BUTTON_CONVERT,
                       IDC_STATIC_START_TIME, IDC_STATIC_END_TIME, IDC_STATIC_POSITION,
                       IDC_STATIC_OUTPUT_INFO, IDC_BUTTON_PAUSE, IDC_BUTTON_EXIT}) {
            EXPECT_FALSE(dialog.Control(id)->font().bold()) << id << " round " << round;
            EXPECT_NE(dialog.Control(id)->font().pixelSize(), 13) << id;
        }
        bold.setItalic(true);
    }
}

TEST(LanguageFont, AbsurdStoredFontsStayLegible) {
    TestEnv env;
    PackFolder folder;
    Pack().Attach(env.settings.get(), &env.ui);
    folder.Write("english", "");
    struct Case {
        int height;
        int expectedPixels;
    };
    for (const Case c : {Case{0, 11}, Case{-100000, 64}, Case{100000, 64}, Case{-1, 6}}) {
        env.settings->WriteInt("english", "lfHeight", c.height);
        env.settings->WriteInt("english", "lfWeight", -5);
        env.settings->WriteString("english", "lfFaceName", QString(500, 'F'));
        ASSERT_TRUE(folder.Init("english"));
        ASSERT_NE(Pack().Font(), nullptr);
        EXPECT_EQ(Pack().Font()->pixelSize(), c.expectedPixels) << c.height;
        EXPECT_EQ(Pack().FontRecord().lfFaceName.size(), 31);
    }
    MainDialog dialog(*env.context);
    const QSize size = dialog.size();
    EXPECT_GT(size.width(), 100);
    EXPECT_LT(size.width(), 2000);
}

TEST(LanguageFont, WithoutPacksTheFontStillGoesToEnglish) {
    TestEnv env;
    PackFolder folder;
    Pack().Attach(env.settings.get(), &env.ui);
    EXPECT_FALSE(folder.Init("German"));
    EXPECT_EQ(Pack().Font(), nullptr);
    MainDialog dialog(*env.context);
    QFont chosen("Serif");
    chosen.setPixelSize(14);
    env.ui.fontAnswers.push_back(chosen);
    dialog.SetPopupRunner(
        [](QMenu* popup, const QPoint&) { return FindItem(popup, IDM_POPUPMENU_FONT); });
    dialog.ShowPopupMenu(QPoint(5, 5));
    EXPECT_EQ(env.settings->GetInt("english", "lfHeight", 0), -14);
    EXPECT_EQ(dialog.ControlText(IDC_BUTTON_PLAY), "Play");
}
