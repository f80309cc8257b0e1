// What the program does for the desktop around it: the command line, files
// dropped on the main window, the conversion's percentage in the title and
// the task bar, the end-of-job notification, frame stepping in the preview
// and the names screen readers announce.
#include "app/DesktopSession.h"
#include "app/Installation.h"
#include "app/SettingsStore.h"
#include "app/exe/CommandLine.h"
#include "app/exe/ConverterApp.h"
#include "controls/HyperlinkLabel.h"
#include "convert/ConversionController.h"
#include "lang/BuiltinStrings.h"
#include "lang/LanguagePack.h"
#include "mainwnd/AboutDialog.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "options/CompressorCatalog.h"
#include "options/OutputOptionsDialog.h"
#include "preview/PreviewPlayer.h"
#include "preview/PreviewWindow.h"
#include "support/LanguageFixtures.h"
#include "support/ListCompressorSource.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QMimeData>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace orvelin;
using namespace orvelin::test;

namespace {

// Records what the main window tells the desktop.
struct RecordingSession : DesktopSession {
    std::vector<double> progress;
    QStringList notices;
    void SetProgress(double fraction) override { progress.push_back(fraction); }
    void Notify(const QString& summary, const QString& body) override {
        notices << summary + "|" + body;
    }
};

QString Clip() {
    MediaSpec clip;
    clip.width = 160;
    clip.height = 120;
    clip.seconds = 3.0;
    return SharedMedia("desktop clip.mkv", clip);
}

std::unique_ptr<QMimeData> FileDrop(const QStringList& paths) {
    auto mime = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    mime->setUrls(urls);
    return mime;
}

// What a screen reader says for `w`: its accessible name, or else the text
// of the label it is labelled by (how fields are named on Linux).
QString SpokenName(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    if (!a)
        return {};
    const QString name = a->text(QAccessible::Name);
    if (!name.trimmed().isEmpty())
        return name;
    for (const auto& relation : a->relations(QAccessible::Label)) {
        if (relation.first && !relation.first->text(QAccessible::Name).trimmed().isEmpty())
            return relation.first->text(QAccessible::Name);
    }
    return {};
}

// Every shown control of `window` has a name.
void ExpectEveryControlNamed(QWidget* window) {
    for (QWidget* w : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->isVisible() || w->isWindow())
            continue;
        EXPECT_FALSE(SpokenName(w).trimmed().isEmpty())
            << window->metaObject()->className() << " control " << w->property("controlId").toInt()
            << " (" << w->metaObject()->className() << ") has no name";
    }
}

// Tab reaches every shown control of `window` that takes it, once round, top
// row first and each row from left to right. Answers the order.
QList<QWidget*> ExpectTabFollowsLayout(QWidget* window) {
    QList<QWidget*> order;
    for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
        if (w->parentWidget() == window && w->isVisible() && (w->focusPolicy() & Qt::TabFocus))
            order << w;
    }
    int tabbable = 0;
    for (QWidget* w : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        tabbable += w->isVisible() && (w->focusPolicy() & Qt::TabFocus) ? 1 : 0;
    EXPECT_EQ(order.size(), tabbable);
    const int slack = std::max(1, window->fontMetrics().height() / 2);
    for (qsizetype i = 1; i < order.size(); ++i) {
        const QRect a = order[i - 1]->geometry();
        const QRect b = order[i]->geometry();
        const bool nextRow = b.top() - a.top() >= slack;
        const bool sameRowOnTheRight = std::abs(b.top() - a.top()) < slack && b.left() > a.left();
        EXPECT_TRUE(nextRow || sameRowOnTheRight)
            << window->metaObject()->className() << ": Tab goes from control "
            << order[i - 1]->property("controlId").toInt() << " at (" << a.left() << "," << a.top()
            << ") to control " << order[i]->property("controlId").toInt() << " at (" << b.left()
            << "," << b.top() << ")";
    }
    return order;
}

void Drop(QWidget* target, const QMimeData* mime, bool* enterAccepted = nullptr) {
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (enterAccepted)
        *enterAccepted = enter.isAccepted();
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

} // namespace

TEST(CommandLine, OneFileHelpVersionAndNothingElse) {
    EXPECT_EQ(ParseCommandLine({}).action, CommandLine::Run);
    EXPECT_TRUE(ParseCommandLine({}).fileToOpen.isEmpty());
    EXPECT_EQ(ParseCommandLine({"--help"}).action, CommandLine::PrintHelp);
    EXPECT_EQ(ParseCommandLine({"clip.mkv", "--version"}).action, CommandLine::PrintVersion);
    // Relative paths and file addresses become absolute paths.
    const CommandLine relative = ParseCommandLine({"some dir/clip.mkv"});
    EXPECT_EQ(relative.action, CommandLine::Run);
    EXPECT_EQ(relative.fileToOpen, QDir::current().absoluteFilePath("some dir/clip.mkv"));
    EXPECT_EQ(ParseCommandLine({"file:///tmp/a%20b.mkv"}).fileToOpen, "/tmp/a b.mkv");
    // A name that starts with a dash after "--" is a file.
    EXPECT_EQ(ParseCommandLine({"--", "-clip.mkv"}).fileToOpen,
              QDir::current().absoluteFilePath("-clip.mkv"));
    EXPECT_EQ(ParseCommandLine({"--verbose"}).action, CommandLine::Error);
    EXPECT_EQ(ParseCommandLine({"a.mkv", "b.mkv"}).action, CommandLine::Error);
    EXPECT_EQ(ParseCommandLine({"http://example.com/a.mkv"}).action, CommandLine::Run);
    EXPECT_TRUE(VersionText().startsWith("orvelin "));
}

TEST(CommandLine, ToolkitOptionsAreLeftToQtAndWrongOnesAreSeenBeforeIt) {
    // Read before Qt starts: Qt's options with their values are not the
    // program's, with one dash or two.
    EXPECT_EQ(WithoutToolkitOptions({"-platform", "offscreen", "--style", "Fusion", "-reverse",
                                     "-stylesheet=a.qss", "clip.mkv"}),
              QStringList{"clip.mkv"});
    EXPECT_EQ(ParseCommandLine(WithoutToolkitOptions({"-display", ":0", "clip.mkv"})).fileToOpen,
              QDir::current().absoluteFilePath("clip.mkv"));
    // After "--" everything is a file name, even what looks like Qt's.
    EXPECT_EQ(WithoutToolkitOptions({"--", "-platform"}), (QStringList{"--", "-platform"}));
    const CommandLine bogus =
        ParseCommandLine(WithoutToolkitOptions({"-platform", "xcb", "--bogus"}));
    EXPECT_EQ(bogus.action, CommandLine::Error);
    EXPECT_TRUE(bogus.error.contains("--bogus"));
    EXPECT_EQ(ParseCommandLine(WithoutToolkitOptions({"--style", "Fusion", "--help"})).action,
              CommandLine::PrintHelp);
}

TEST(DesktopIdentity, TheApplicationIdNamesTheShippedDesktopEntryIconAndMetainfo) {
    // Docks match the task-bar progress and notifications to the desktop
    // entry by this id, so the shipped files must carry it.
    const QString id = ApplicationId();
    EXPECT_TRUE(QRegularExpression("^[a-z]+(\\.[a-z0-9]+)+\\.[A-Za-z0-9]+$").match(id).hasMatch())
        << id.toStdString();
    QFile desktop(QStringLiteral(ORVELIN_SOURCE_DIR "/res/desktop/") + id + ".desktop");
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly)) << desktop.fileName().toStdString();
    EXPECT_TRUE(QString::fromUtf8(desktop.readAll()).contains("\nIcon=" + id + "\n"));
    QFile metainfo(QStringLiteral(ORVELIN_SOURCE_DIR "/res/desktop/") + id + ".metainfo.xml");
    ASSERT_TRUE(metainfo.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(metainfo.readAll());
    EXPECT_TRUE(xml.contains("<id>" + id + "</id>"));
    EXPECT_TRUE(xml.contains("<launchable type=\"desktop-id\">" + id + ".desktop</launchable>"));
}

TEST(CommandLineOpen, TheFileOpensThroughOpenVideoOnceTheWindowIsUp) {
    TestEnv env;
    const QString clip = Clip();
    ASSERT_FALSE(clip.isEmpty());
    ConverterApp app(env.ui);
    app.SetLanguageBaseFolder(env.TempPath("no packs"));
    app.SetFileToOpen(clip);
    bool checked = false;
    app.SetOnMainWindowShown([&](MainDialog& dialog) {
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.State().itemCount, 1);
        EXPECT_EQ(dialog.State().items[0].path, clip);
        EXPECT_NE(dialog.Player(), nullptr);
        EXPECT_TRUE(dialog.Control(IDC_BUTTON_PLAY)->isEnabled());
        EXPECT_EQ(dialog.ControlText(IDC_STATIC_END_TIME), "00:00:03");
        checked = true;
        dialog.OnExit();
    });
    EXPECT_EQ(app.Run(), 0);
    EXPECT_TRUE(checked);
    EXPECT_TRUE(env.ui.MessageTexts().isEmpty()) << env.ui.MessageTexts().join("|").toStdString();
    EXPECT_EQ(env.ReopenStore()->GetString("Option", "LastPhotoFolder", ""),
              QFileInfo(clip).absolutePath() + "/");
}

TEST(CommandLineOpen, AMissingFileGetsTheSameMessageAsTheButton) {
    TestEnv env;
    const QString missing = env.TempPath("gone.mkv");
    QStringList fromButton;
    {
        MainDialog dialog(*env.context);
        env.ui.fileAnswers.push_back(missing);
        dialog.OpenVideo();
        fromButton = env.ui.MessageTexts();
        env.ui.Clear();
    }
    ASSERT_FALSE(fromButton.isEmpty());
    ConverterApp app(env.ui);
    app.SetLanguageBaseFolder(env.TempPath("no packs"));
    app.SetFileToOpen(missing);
    app.SetOnMainWindowShown([&](MainDialog& dialog) {
        EXPECT_EQ(dialog.State().itemCount, 0);
        dialog.OnExit();
    });
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(env.ui.MessageTexts(), fromButton);
}

TEST(DropOnMainWindow, AFileOpensSeveralOpenTheFirstAndADropWhileConvertingIsRefused) {
    TestEnv env;
    const QString clip = Clip();
    ASSERT_FALSE(clip.isEmpty());
    MainDialog dialog(*env.context);
    dialog.show();
    EXPECT_TRUE(dialog.acceptDrops());

    bool accepted = false;
    auto one = FileDrop({clip});
    Drop(&dialog, one.get(), &accepted);
    EXPECT_TRUE(accepted);
    ASSERT_EQ(dialog.State().itemCount, 1);
    EXPECT_EQ(dialog.State().items[0].path, clip);
    EXPECT_TRUE(env.ui.MessageTexts().isEmpty());

    dialog.ClosePreview();
    auto two = FileDrop({clip, env.TempPath("second.mkv")});
    Drop(&dialog, two.get());
    ASSERT_EQ(env.ui.MessageTexts().size(), 1);
    EXPECT_TRUE(env.ui.MessageTexts().first().contains("desktop clip.mkv"));
    EXPECT_EQ(dialog.State().items[0].path, clip);
    EXPECT_NE(dialog.Player(), nullptr);

    // Text that is no file is not taken.
    QMimeData text;
    text.setText("hello");
    Drop(&dialog, &text, &accepted);
    EXPECT_FALSE(accepted);

    env.ui.Clear();
    dialog.State().converting = 1;
    const QString other = env.TempPath("other.mkv");
    auto late = FileDrop({other});
    Drop(&dialog, late.get(), &accepted);
    EXPECT_FALSE(accepted); // the pointer shows that nothing can be dropped
    EXPECT_EQ(dialog.State().items[0].path, clip);
    dialog.State().converting = 0;
}

TEST(ConversionProgress, TheTitleAndTaskBarShowThePercentageAndAreClearedAtTheEnd) {
    TestEnv env;
    RecordingSession session;
    SetDesktopSession(&session);
    MediaSpec clip;
    clip.width = 320;
    clip.height = 240;
    clip.seconds = 20.0;
    clip.audio = false;
    QTemporaryDir dir;
    const QString source = dir.filePath("long.mkv");
    QString log;
    ASSERT_TRUE(MakeMedia(source, clip, &log)) << log.toStdString();
    env.settings->WriteString("Settings", "OutputName", dir.filePath("out.mkv"));
    {
        MainDialog dialog(*env.context);
        dialog.show();
        env.ui.fileAnswers.push_back(source);
        dialog.OpenVideo();
        ASSERT_EQ(dialog.State().itemCount, 1);
        const QString title = dialog.windowTitle();
        // A slow encoder keeps the job running long enough to look at it.
        SelectedVideoCompressor() = media::Filter::Create("x264enc");
        ASSERT_TRUE(SelectedVideoCompressor());
        SelectedVideoCompressor()->SetProperty("speed-preset", "slower");
        dialog.State().output.useVideoCompressor = 1;
        qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_CONVERT))->click();
        ASSERT_EQ(dialog.State().converting, 1);
        const QRegularExpression percent("^(\\d+)% \u2013 " + QRegularExpression::escape(title) +
                                         "$");
        ASSERT_TRUE(WaitFor(
            [&] {
                dialog.Conversion().OnTimer(1112);
                return percent.match(dialog.windowTitle()).hasMatch() &&
                       percent.match(dialog.windowTitle()).captured(1).toInt() > 0;
            },
            std::chrono::seconds(60)))
            << dialog.windowTitle().toStdString();
        EXPECT_TRUE(dialog.ControlText(IDC_STATIC_OUTPUT_INFO).startsWith("Please wait"));
        ASSERT_FALSE(session.progress.empty());
        EXPECT_GT(session.progress.back(), 0.0);
        EXPECT_LE(session.progress.back(), 1.0);

        dialog.activateWindow();
        const bool active = dialog.isActiveWindow();
        qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_CONVERT))->click(); // Stop
        EXPECT_EQ(dialog.windowTitle(), title);
        EXPECT_LT(session.progress.back(), 0.0);
        // Only a window the user is not looking at gets a notification.
        EXPECT_EQ(session.notices.size(), active ? 0 : 1);
        if (!active) {
            EXPECT_TRUE(session.notices.first().startsWith("Conversion done: out.mkv|Done"));
        }
        ReleaseSelectedCompressors();
    }
    SetDesktopSession(nullptr);
}

TEST(ConversionNotice, SaysDoneOrFailedWhateverLanguageTheStatusLineIsIn) {
    TestEnv env;
    PackFolder packs;
    LanguagePack::Instance().Attach(env.settings.get(), &env.ui);
    packs.Write("German", Encode("[STRING]\nIDS_MESSAGE_CONVERSION_DONE=Fertig\n", "CP1252"));
    ASSERT_TRUE(packs.Init("German"));
    RecordingSession session;
    SetDesktopSession(&session);
    MediaSpec clip;
    clip.width = 96;
    clip.height = 64;
    clip.seconds = 1.0;
    clip.audio = false;
    const QString source = SharedMedia("notice clip.mkv", clip);
    ASSERT_FALSE(source.isEmpty());
    env.settings->WriteString("Settings", "OutputName", env.TempPath("ausgabe.mkv"));
    {
        MainDialog dialog(*env.context);
        dialog.show();
        env.ui.fileAnswers.push_back(source);
        dialog.OpenVideo();
        ASSERT_EQ(dialog.State().itemCount, 1);
        // The user looks at another window while the job runs.
        QWidget elsewhere;
        elsewhere.show();
        QApplication::setActiveWindow(&elsewhere);
        ASSERT_TRUE(WaitFor([&] { return !dialog.isActiveWindow(); }));

        SelectedVideoCompressor() = media::Filter::Create("x264enc");
        ASSERT_TRUE(SelectedVideoCompressor());
        dialog.State().output.useVideoCompressor = 1;
        auto* convert = qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_CONVERT));
        convert->click();
        ASSERT_EQ(dialog.State().converting, 1) << env.ui.MessageTexts().join("|").toStdString();
        ASSERT_TRUE(
            WaitFor([&] { return dialog.State().converting == 0; }, std::chrono::seconds(60)));
        ASSERT_TRUE(dialog.ControlText(IDC_STATIC_OUTPUT_INFO).startsWith("Fertig"))
            << dialog.ControlText(IDC_STATIC_OUTPUT_INFO).toStdString();
        ASSERT_EQ(session.notices.size(), 1);
        EXPECT_TRUE(session.notices[0].startsWith("Conversion done: ausgabe.mkv|Fertig"))
            << session.notices[0].toStdString();

        // A compressor that breaks down after a few frames fails the job.
        auto failing = media::Filter::Create("identity");
        ASSERT_TRUE(failing);
        ASSERT_EQ(failing->SetProperty("error-after", "5"), media::S_OK);
        SelectedVideoCompressor() = failing;
        env.ui.Clear();
        env.ui.messageAnswers = {IdYes}; // replace the file of the first run
        convert->click();
        ASSERT_EQ(dialog.State().converting, 1) << env.ui.MessageTexts().join("|").toStdString();
        ASSERT_TRUE(
            WaitFor([&] { return dialog.State().converting == 0; }, std::chrono::seconds(60)));
        ASSERT_EQ(session.notices.size(), 2);
        EXPECT_TRUE(session.notices[1].startsWith("Conversion failed: ausgabe.mkv|"))
            << session.notices[1].toStdString();
        EXPECT_FALSE(session.notices[1].contains("Fertig"));
        ReleaseSelectedCompressors();
    }
    SetDesktopSession(nullptr);
}

TEST(FrameStepping, ArrowsStepThePausedPreviewFrameByFrame) {
    TestEnv env;
    QTemporaryDir dir;
    const QString clip = dir.filePath("ball.mkv");
    // A moving ball, so that every frame looks different.
    ASSERT_TRUE(
        RunGstLaunch(QString("videotestsrc num-buffers=50 pattern=ball ! "
                             "video/x-raw,width=96,height=64,framerate=25/1 ! "
                             "x264enc key-int-max=10 ! matroskamux ! filesink location=\"%1\"")
                         .arg(clip)));
    QWidget owner;
    owner.show();
    PreviewPlayer player(*env.context, &owner);
    std::vector<qint64> reports;
    QObject::connect(&player, &PreviewPlayer::positionMessage, &player,
                     [&](qint64 current, qint64) { reports.push_back(current); });
    player.SetFileName(clip);
    ASSERT_EQ(player.OpenFile(), 1);
    ASSERT_TRUE(WaitFor([&] { return !player.Graph()->LastFrame().isNull(); }));
    constexpr qint64 frame = 400'000; // 1/25 s
    auto press = [&](Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent e(QEvent::KeyPress, key, mods);
        QCoreApplication::sendEvent(player.Window(), &e);
    };
    // The frame on show, by its own time in the file.
    auto shownAt = [&](qint64 time) {
        return WaitFor([&] { return player.Graph()->LastFrameTime() == time; });
    };
    ASSERT_TRUE(shownAt(0));
    const QImage first = player.Graph()->LastFrame();
    press(Qt::Key_Right);
    EXPECT_EQ(reports.back(), frame);
    EXPECT_TRUE(shownAt(frame));
    press(Qt::Key_Right);
    press(Qt::Key_Right);
    EXPECT_EQ(reports.back(), 3 * frame);
    EXPECT_TRUE(shownAt(3 * frame));
    EXPECT_EQ(player.CurrentPosition(), 3 * frame);
    EXPECT_NE(player.Graph()->LastFrame(), first);
    press(Qt::Key_Left);
    EXPECT_EQ(reports.back(), 2 * frame);
    EXPECT_TRUE(shownAt(2 * frame));
    // From inside a frame (a slider seek lands anywhere), a step goes to the
    // start of the next one.
    player.SeekTo(5 * frame + frame / 2);
    // The frame that holds that time is shown (its time clipped to the seek).
    ASSERT_TRUE(shownAt(5 * frame + frame / 2)) << player.Graph()->LastFrameTime();
    player.StepFrames(1);
    EXPECT_EQ(reports.back(), 6 * frame);
    EXPECT_TRUE(shownAt(6 * frame));
    player.SeekTo(2 * frame);
    ASSERT_TRUE(shownAt(2 * frame));

    press(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(reports.back(), 2 * frame + 10'000'000);
    // Back past the start stays at the first frame.
    player.SeekTo(frame);
    player.StepFrames(-5);
    EXPECT_EQ(reports.back(), 0);
    // While it plays, arrows do nothing.
    player.Play();
    const size_t seen = reports.size();
    player.StepFrames(1);
    EXPECT_EQ(reports.size(), seen);
    player.Close();
}

TEST(FrameStepping, AStepForwardLandsOnTheNextFrameWhereFramesLastUnequallyLong) {
    TestEnv env;
    QTemporaryDir dir;
    const QString clip = dir.filePath("variable.mkv");
    // Ten frames of 40 ms, then ten of 100 ms: the mean period (70 ms) is
    // the length of none of them.
    QString log;
    ASSERT_TRUE(MakeVariableRateMedia(clip, Container::Mkv, 10, 25, 10, 10, &log))
        << log.toStdString();
    QWidget owner;
    owner.show();
    PreviewPlayer player(*env.context, &owner);
    std::vector<qint64> reports;
    QObject::connect(&player, &PreviewPlayer::positionMessage, &player,
                     [&](qint64 current, qint64) { reports.push_back(current); });
    player.SetFileName(clip);
    ASSERT_EQ(player.OpenFile(), 1);
    auto shownAt = [&](qint64 time) {
        return WaitFor([&] { return player.Graph()->LastFrameTime() == time; });
    };
    constexpr qint64 ms = 10'000;
    player.SeekTo(360 * ms);
    ASSERT_TRUE(shownAt(360 * ms)) << player.Graph()->LastFrameTime();
    for (const qint64 next : {400 * ms, 500 * ms, 600 * ms}) {
        player.StepFrames(1);
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.back(), next);
        EXPECT_EQ(player.CurrentPosition(), next);
        EXPECT_TRUE(shownAt(next)) << player.Graph()->LastFrameTime();
    }
    // Playing on from a stepped frame runs to the end.
    player.Play();
    EXPECT_TRUE(WaitFor([&] { return player.Graph()->LastFrameTime() == 1300 * ms; }));
    player.Close();
}

TEST(FrameStepping, AVideoWithSoundStepsToo) {
    // The sound follows the picture's step; it must not hold the step up.
    TestEnv env;
    MediaSpec described;
    described.width = 96;
    described.height = 64;
    const QString clip = SharedMedia("stepping with sound.mkv", described);
    ASSERT_FALSE(clip.isEmpty());
    QWidget owner;
    owner.show();
    PreviewPlayer player(*env.context, &owner);
    player.SetFileName(clip);
    ASSERT_EQ(player.OpenFile(), 1);
    ASSERT_TRUE(player.Graph()->HasAudio());
    ASSERT_TRUE(WaitFor([&] { return player.Graph()->LastFrameTime() == 0; }));
    for (qint64 k = 1; k <= 3; ++k) {
        player.StepFrames(1);
        EXPECT_EQ(player.CurrentPosition(), k * 400'000);
        EXPECT_TRUE(WaitFor([&] { return player.Graph()->LastFrameTime() == k * 400'000; }));
    }
    player.Play();
    EXPECT_TRUE(WaitFor([&] { return player.CurrentPosition() > 10 * 400'000; }));
    player.Close();
}

TEST(Accessibility, TheAboutBoxOptionsDialogAndPreviewNameEveryControlAndTabDownTheLayout) {
    TestEnv env;
    {
        AboutDialog about(env.ui);
        about.show();
        ExpectEveryControlNamed(&about);
        const QList<QWidget*> order = ExpectTabFollowsLayout(&about);
        EXPECT_EQ(order, (QList<QWidget*>{about.HomepageLink(), about.ContactLink(),
                                          about.Control(AboutDialog::IDOK_BUTTON)}));
    }
    {
        test::ListCompressorSource compressors;
        compressors.video = {test::Device("x264enc", "x264 H.264 Encoder")};
        compressors.audio = {test::Device("vorbisenc", "Vorbis audio encoder")};
        OutputSettings settings;
        settings.outputPath = env.TempPath("clip.mkv");
        OutputOptionsSource noVideo;
        OutputOptionsDialog options(*env.context, settings, noVideo, nullptr, compressors);
        options.show();
        ExpectEveryControlNamed(&options);
        const QList<QWidget*> order = ExpectTabFollowsLayout(&options);
        ASSERT_FALSE(order.isEmpty());
        EXPECT_EQ(order.first(), options.Control(OutputOptionsDialog::IDC_EDIT_OUTPUT_FILE));
        ReleaseSelectedCompressors();
    }
    {
        MediaSpec described;
        described.width = 96;
        described.height = 64;
        described.seconds = 1.0;
        const QString clip = SharedMedia("named preview clip.mkv", described);
        QWidget owner;
        owner.show();
        PreviewPlayer player(*env.context, &owner);
        player.SetFileName(clip);
        ASSERT_EQ(player.OpenFile(), 1);
        ASSERT_NE(player.Window(), nullptr);
        EXPECT_EQ(SpokenName(player.Window()), "Video preview");
        ExpectEveryControlNamed(player.Window());
        ExpectTabFollowsLayout(player.Window());
        player.Close();
    }
}

TEST(Accessibility, EveryShownControlHasANameAndTabFollowsTheLayout) {
    TestEnv env;
    MainDialog dialog(*env.context);
    dialog.show();
    for (QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const int id = w->property("controlId").toInt();
        if (!w->isVisible() || id == 0 || id == IDC_STATIC_OUTPUT_INFO)
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << id;
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(dialog.Control(IDC_SLIDER_SEEK))
                  ->text(QAccessible::Name),
              "Seek");
    // Tab from Open Video runs along the top row, then down.
    QWidget* w = dialog.Control(IDC_BUTTON_OPEN_VIDEO);
    QList<int> order;
    for (int i = 0; i < 5; ++i) {
        order << w->property("controlId").toInt();
        w = w->nextInFocusChain();
        while (w && (!w->isVisible() || !(w->focusPolicy() & Qt::TabFocus)))
            w = w->nextInFocusChain();
    }
    EXPECT_EQ(order, (QList<int>{IDC_BUTTON_OPEN_VIDEO, IDC_BUTTON_OPTIONS, IDC_BUTTON_CONVERT,
                                 IDC_BUTTON_HELP, IDC_BUTTON_ABOUT}));
}
