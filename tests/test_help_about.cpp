// Help, Homepage and About through the main window, the help pages that ship
// with the program, and the keyboard on the main window's buttons.
#include "app/Installation.h"
#include "controls/DialogUnits.h"
#include "controls/HyperlinkLabel.h"
#include "controls/ImageButton.h"
#include "lang/LanguagePack.h"
#include "mainwnd/AboutDialog.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/HelpWindow.h"
#include "mainwnd/MainDialog.h"
#include "mainwnd/ProductInfo.h"
#include "preview/PreviewPlayer.h"
#include "support/LanguageFixtures.h"
#include "support/MediaFixtures.h"
#include "support/ModalWatch.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace orvelin;
using namespace orvelin::test;

namespace {
QString SourceHelpFolder() {
    return QStringLiteral(ORVELIN_SOURCE_DIR "/help");
}

// Copies the shipped pages into `programFolder`/help.
bool InstallHelp(const QString& programFolder) {
    const QDir source(SourceHelpFolder());
    if (!QDir().mkpath(programFolder + "/help"))
        return false;
    for (const QString& name : source.entryList({"*.htm"}, QDir::Files)) {
        if (!QFile::copy(source.filePath(name), programFolder + "/help/" + name))
            return false;
    }
    return true;
}

// Collects the warnings logged while it lives.
class LogCapture {
public:
    LogCapture() {
        lines().clear();
        previous_ = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { lines() << text; });
    }
    ~LogCapture() { qInstallMessageHandler(previous_); }
    static QStringList& lines() {
        static QStringList all;
        return all;
    }

private:
    QtMessageHandler previous_;
};

QAbstractButton* Button(MainDialog& dialog, int id) {
    return qobject_cast<QAbstractButton*>(dialog.Control(id));
}

QString PageName(const HelpWindow& help) {
    return QFileInfo(help.CurrentPage().toLocalFile()).fileName();
}
} // namespace

// ------------------------------------------------------------------- help

TEST(HelpPages, EveryPageIsRealAndEveryLinkArrives) {
    const QDir folder(SourceHelpFolder());
    const QStringList pages = folder.entryList({"*.htm"}, QDir::Files);
    for (const char* wanted : {"Introduction.htm", "OpeningAndTrimming.htm", "OutputOptions.htm",
                               "Conversion.htm", "LanguagesAndFonts.htm", "Troubleshooting.htm"})
        EXPECT_TRUE(pages.contains(wanted)) << wanted;
    const QRegularExpression href(QStringLiteral("href=\"([^\"]+)\""));
    const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    for (const QString& page : pages) {
        QFile file(folder.filePath(page));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        SCOPED_TRACE(page.toStdString());
        EXPECT_TRUE(html.contains("<title>"));
        // Real prose, not a placeholder.
        const QStringList words =
            QString(html).remove(tags).split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
        EXPECT_GT(words.size(), 250);
        for (auto it = href.globalMatch(html); it.hasNext();) {
            const QString link = it.next().captured(1);
            if (link.startsWith("http"))
                continue;
            const QString file = link.section('#', 0, 0);
            const QString anchor = link.section('#', 1);
            EXPECT_TRUE(pages.contains(file)) << link.toStdString();
            if (!anchor.isEmpty()) {
                QFile target(folder.filePath(file));
                ASSERT_TRUE(target.open(QIODevice::ReadOnly));
                EXPECT_TRUE(QString::fromUtf8(target.readAll()).contains("name=\"" + anchor + "\""))
                    << link.toStdString();
            }
        }
    }
}

TEST(HelpPages, TheTroubleshootingPageQuotesTheProgramsMessages) {
    QFile file(SourceHelpFolder() + "/Troubleshooting.htm");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll()).simplified();
    for (const QString& message :
         {HyperlinkLabel::LinkErrorMessage(31).section("\n\n", 0, 0),
          QStringLiteral("Please open a video file first!"),
          QStringLiteral("Please first stop converting"),
          QStringLiteral("Can not get the duration of the clip!Cannot open the file. You need to "
                         "install appropriate decoders. Or the file is corrupt."),
          QStringLiteral("The end time must be later than the start time. Please set the Start "
                         "Time and the End Time again."),
          QStringLiteral("The frame rate is too small!"),
          QStringLiteral("Please install MKV codec)"), QStringLiteral("Please restart the program"),
          QStringLiteral("unknown errors")})
        EXPECT_TRUE(text.contains(message.simplified())) << message.toStdString();
}

TEST(Help, OpensTheStartPageAndFollowsLinksBackAndForth) {
    TestEnv env;
    const QString program = env.TempPath("install/bin");
    ASSERT_TRUE(InstallHelp(program));
    MainDialog dialog(*env.context);
    dialog.show();
    dialog.ShowHelp(program);
    HelpWindow* help = dialog.Help();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->CurrentPage().toLocalFile(),
              QFileInfo(program + "/help/Introduction.htm").absoluteFilePath());
    EXPECT_EQ(help->windowTitle(), "Orvelin Help - Introduction");
    EXPECT_FALSE(help->BackButton()->isEnabled());

    emit help->Browser()->anchorClicked(QUrl("OutputOptions.htm"));
    EXPECT_EQ(PageName(*help), "OutputOptions.htm");
    EXPECT_TRUE(help->Browser()->toPlainText().contains("Preserve aspect ratio"));
    emit help->Browser()->anchorClicked(QUrl("Troubleshooting.htm#opening"));
    EXPECT_EQ(PageName(*help), "Troubleshooting.htm");
    help->BackButton()->click();
    EXPECT_EQ(PageName(*help), "OutputOptions.htm");
    help->BackButton()->click();
    EXPECT_EQ(PageName(*help), "Introduction.htm");
    EXPECT_TRUE(help->ForwardButton()->isEnabled());
    help->ForwardButton()->click();
    EXPECT_EQ(PageName(*help), "OutputOptions.htm");
    help->ContentsButton()->click();
    EXPECT_EQ(PageName(*help), "Introduction.htm");

    // A page missing from the folder keeps the window where it is; a web
    // address goes to the browser.
    emit help->Browser()->anchorClicked(QUrl("Missing.htm"));
    EXPECT_EQ(PageName(*help), "Introduction.htm");
    emit help->Browser()->anchorClicked(QUrl("https://orvelin.example/"));
    ASSERT_EQ(env.ui.calls.size(), 1u);
    EXPECT_EQ(env.ui.calls[0].kind, UiCall::Url);
    EXPECT_EQ(env.ui.calls[0].text, "https://orvelin.example/");

    // Help again reuses the window at the start page.
    dialog.ShowHelp(program);
    EXPECT_EQ(dialog.Help(), help);
    EXPECT_FALSE(help->BackButton()->isEnabled());
}

TEST(Help, AnInstalledProgramFindsItsPagesInTheSharedDataFolder) {
    TestEnv env;
    const QString data = InstalledDataFolder(env.TempPath("usr/bin"));
    ASSERT_EQ(data, QDir::cleanPath(env.TempPath("usr/share/orvelin")));
    ASSERT_TRUE(InstallHelp(data));
    MainDialog dialog(*env.context);
    dialog.show();
    dialog.ShowHelp(env.TempPath("usr/bin"));
    ASSERT_NE(dialog.Help(), nullptr);
    EXPECT_TRUE(dialog.Help()->isVisible());
    EXPECT_EQ(dialog.Help()->CurrentPage().toLocalFile(),
              QFileInfo(data + "/help/Introduction.htm").absoluteFilePath());
}

TEST(Help, WithoutPagesNothingIsReportedAndTheLogSaysWhy) {
    TestEnv env;
    MainDialog dialog(*env.context);
    dialog.show();
    LogCapture log;
    // The Help button looks in the program's own folder (the test's, which
    // has no help pages).
    Button(dialog, IDC_BUTTON_HELP)->click();
    dialog.ShowHelp(env.TempPath("empty"));
    EXPECT_TRUE(env.ui.calls.empty());
    ASSERT_NE(dialog.Help(), nullptr);
    EXPECT_FALSE(dialog.Help()->isVisible());
    const QString joined = LogCapture::lines().join('\n');
    EXPECT_TRUE(joined.contains(QCoreApplication::applicationDirPath() + "/help/Introduction.htm"))
        << joined.toStdString();
    EXPECT_TRUE(joined.contains(env.TempPath("empty") + "/help/Introduction.htm"));
}

TEST(Help, TheBuiltProgramHasItsPages) {
    // The tests run from build/tests; the program and its help are one up.
    const QString built = QCoreApplication::applicationDirPath() + "/../help/Introduction.htm";
    EXPECT_TRUE(QFile::exists(built)) << built.toStdString();
}

// --------------------------------------------------------------- homepage

TEST(Homepage, OpensTheHomePageOrExplains) {
    TestEnv env;
    MainDialog dialog(*env.context);
    dialog.show();
    Button(dialog, IDC_BUTTON_HOMEPAGE)->click();
    ASSERT_EQ(env.ui.calls.size(), 1u);
    EXPECT_EQ(env.ui.calls[0].kind, UiCall::Url);
    EXPECT_EQ(env.ui.calls[0].text, kHomepageAddress);

    env.ui.Clear();
    env.ui.urlResult = false;
    Button(dialog, IDC_BUTTON_HOMEPAGE)->click();
    ASSERT_EQ(env.ui.Messages().size(), 1u);
    EXPECT_EQ(env.ui.Messages()[0].caption, "unknown errors");
    EXPECT_TRUE(env.ui.Messages()[0].hadOwner);
    EXPECT_TRUE(env.ui.Messages()[0].text.contains(kHomepageAddress));
    EXPECT_TRUE(env.ui.Messages()[0].text.contains("web browser"));
}

// ------------------------------------------------------------------ about

TEST(About, TheAboutButtonShowsTheTemplate) {
    TestEnv env;
    MainDialog dialog(*env.context);
    dialog.show();
    bool ran = false;
    auto watch = WhenModal<AboutDialog>(
        [&](AboutDialog* about) {
            EXPECT_EQ(about->windowTitle(), "About");
            const DialogUnits du(about->font());
            EXPECT_EQ(about->size(), QSize(du.X(244), du.Y(126)));
            auto text = [&](int id) { return qobject_cast<QLabel*>(about->Control(id))->text(); };
            EXPECT_EQ(text(AboutDialog::IDC_STATIC_PRODUCT_NAME), "Orvelin");
            EXPECT_EQ(about->Control(AboutDialog::IDC_STATIC_PRODUCT_NAME)->geometry(),
                      du.Rect(58, 10, 179, 14));
            const QString version = text(AboutDialog::IDC_STATIC_VERSION);
            EXPECT_TRUE(version.startsWith("Version 1.1")) << version.toStdString();
            EXPECT_TRUE(QRegularExpression("^Version 1\\.1\\.\\d+$").match(version).hasMatch());
            EXPECT_EQ(about->Control(AboutDialog::IDC_STATIC_VERSION)->geometry(),
                      du.Rect(58, 27, 146, 14));
            EXPECT_FALSE(about->MakerText().isEmpty());

            HyperlinkLabel* home = about->HomepageLink();
            HyperlinkLabel* contact = about->ContactLink();
            ASSERT_TRUE(home && contact);
            EXPECT_EQ(home->text(), kHomepageAddress);
            EXPECT_EQ(home->URL(), kHomepageAddress);
            EXPECT_EQ(contact->text(), "Support Email: Click here");
            EXPECT_EQ(contact->URL(), kContactAddress);
            for (HyperlinkLabel* link : {home, contact}) {
                EXPECT_EQ(link->Underline(), 1);
                EXPECT_TRUE(link->IsUnderlined());
                EXPECT_EQ(link->toolTip(), link->URL());
            }
            // Fitted to their texts from their template corners.
            EXPECT_EQ(home->pos(), du.Rect(58, 61, 179, 14).topLeft());
            EXPECT_EQ(contact->pos(), du.Rect(58, 78, 179, 14).topLeft());

            auto* ok = qobject_cast<QPushButton*>(about->Control(AboutDialog::IDOK_BUTTON));
            ASSERT_NE(ok, nullptr);
            EXPECT_EQ(ok->text(), "OK");
            EXPECT_EQ(ok->geometry(), du.Rect(82, 104, 66, 14));
            auto* icon = qobject_cast<QLabel*>(
                about->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly));
            ASSERT_NE(icon, nullptr);
            EXPECT_FALSE(icon->pixmap().isNull());
            EXPECT_EQ(icon->geometry(), du.Rect(11, 17, 20, 20));
            // The contact link opens the contact page; OK ends the box.
            QTest::mouseClick(contact, Qt::LeftButton, {}, QPoint(3, 3));
            EXPECT_TRUE(contact->IsVisited());
            ok->click();
        },
        &ran);
    Button(dialog, IDC_BUTTON_ABOUT)->click();
    EXPECT_TRUE(ran);
    ASSERT_EQ(env.ui.calls.size(), 1u);
    EXPECT_EQ(env.ui.calls[0].text, kContactAddress);
}

TEST(About, TheBoxFollowsTheLoadedLanguage) {
    TestEnv env;
    PackFolder folder;
    LanguagePack::Instance().Attach(env.settings.get(), &env.ui);
    // The French pack's font for its dialogs: 15 pixels high.
    env.settings->WriteInt("French", "lfHeight", -15);
    folder.Write("French", Encode("[DIALOG]\nIDC_BUTTON_ABOUT=À propos\n"
                                  "IDD_PROGRAM_CAPTION=Orvelin en français\n",
                                  "CP1252"));
    ASSERT_TRUE(folder.Init("French"));
    MainDialog dialog(*env.context);
    dialog.show();
    bool ran = false;
    auto watch = WhenModal<AboutDialog>(
        [&](AboutDialog* about) {
            EXPECT_EQ(about->windowTitle(), "À propos");
            auto* name =
                qobject_cast<QLabel*>(about->Control(AboutDialog::IDC_STATIC_PRODUCT_NAME));
            EXPECT_EQ(name->text(), "Orvelin en français");
            EXPECT_EQ(name->font().pixelSize(), 15);
            // Texts the packs do not carry stay as they are.
            auto* version = qobject_cast<QLabel*>(about->Control(AboutDialog::IDC_STATIC_VERSION));
            EXPECT_TRUE(version->text().startsWith("Version 1.1"));
            EXPECT_EQ(about->ContactLink()->text(), "Support Email: Click here");
            EXPECT_TRUE(about->ContactLink()->IsUnderlined());
            about->accept();
        },
        &ran);
    Button(dialog, IDC_BUTTON_ABOUT)->click();
    EXPECT_TRUE(ran);
}

// --------------------------------------------------------------- keyboard

TEST(MainKeyboard, NoImageButtonIsADefaultButton) {
    TestEnv env;
    MainDialog dialog(*env.context);
    dialog.show();
    for (auto* button : dialog.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault()) << button->objectName().toStdString();
        EXPECT_FALSE(button->autoDefault()) << button->objectName().toStdString();
    }
}

TEST(MainKeyboard, EnterAndSpacePressTheFocusedPlayButton) {
    TestEnv env;
    MediaSpec clip;
    clip.width = 64;
    clip.height = 48;
    clip.seconds = 3.0;
    clip.audio = false;
    const QString path = env.TempPath("clip.mkv");
    ASSERT_TRUE(MakeMedia(path, clip));
    MainDialog dialog(*env.context);
    dialog.show();
    env.ui.fileAnswers.push_back(path);
    Button(dialog, IDC_BUTTON_OPEN_VIDEO)->click();
    ASSERT_NE(dialog.Player(), nullptr);
    ASSERT_EQ(dialog.Player()->State(), PreviewPlayer::kStopped);
    env.ui.Clear();

    QAbstractButton* play = Button(dialog, IDC_BUTTON_PLAY);
    play->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(dialog.focusWidget(), play);
    QTest::keyClick(play, Qt::Key_Return);
    EXPECT_EQ(dialog.Player()->State(), PreviewPlayer::kRunning);
    // Enter neither opened the file dialog nor closed the window.
    EXPECT_TRUE(env.ui.calls.empty());
    EXPECT_TRUE(dialog.isVisible());

    Button(dialog, IDC_BUTTON_PAUSE)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(dialog.focusWidget(), Qt::Key_Space);
    EXPECT_EQ(dialog.Player()->State(), PreviewPlayer::kPaused);
    play->setFocus(Qt::TabFocusReason);
    QTest::keyClick(play, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(dialog.Player()->State(), PreviewPlayer::kRunning);

    // An image button takes Enter the same way.
    QAbstractButton* about = Button(dialog, IDC_BUTTON_HOMEPAGE);
    about->setFocus(Qt::TabFocusReason);
    QTest::keyClick(about, Qt::Key_Return);
    ASSERT_EQ(env.ui.calls.size(), 1u);
    EXPECT_EQ(env.ui.calls[0].text, kHomepageAddress);
    EXPECT_TRUE(env.ui.calls.size() == 1u && env.ui.Messages().empty());
}
