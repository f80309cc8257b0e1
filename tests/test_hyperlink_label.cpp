// The hyperlink label: link colours, underline modes, fitting to its text,
// hover tracking, opening through the UI services with the web-page
// association as fallback, and the failure messages.
#include "app/AppContext.h"
#include "app/BrowserAssociation.h"
#include "app/UrlOpener.h"
#include "controls/HyperlinkLabel.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <optional>

using namespace orvelin;
using namespace orvelin::test;

namespace {
const QString kTarget = QStringLiteral("https://orvelin.example/start page.htm");

// A parent window with one label at (20, 20, 200, 30).
struct LabelWindow {
    explicit LabelWindow(UiServices& ui, const QString& text = QStringLiteral("Visit us")) {
        window.resize(400, 200);
        label = new HyperlinkLabel(ui, text, &window);
        label->setGeometry(20, 20, 200, 30);
    }
    void Show() {
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QWidget window;
    HyperlinkLabel* label = nullptr;
};

QColor TextColour(const HyperlinkLabel& label) {
    return label.palette().color(QPalette::WindowText);
}

// The label's text size in its underlined font.
QSize TextSize(const HyperlinkLabel& label) {
    QFont underlined = label.font();
    underlined.setUnderline(true);
    return QFontMetrics(underlined).size(0, label.text());
}
} // namespace

TEST(HyperlinkLabel, AttachingFillsTextOrTargetAndSetsTheLook) {
    TestEnv env;
    // An empty label shows its target.
    LabelWindow empty(env.ui, QString());
    empty.label->SetURL(kTarget);
    empty.label->Attach();
    EXPECT_EQ(empty.label->text(), kTarget);
    EXPECT_EQ(empty.label->URL(), kTarget);
    EXPECT_EQ(empty.label->toolTip(), kTarget);
    EXPECT_EQ(empty.label->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(TextColour(*empty.label), QColor(0, 0, 238));
    EXPECT_EQ(empty.label->Underline(), -1);
    EXPECT_FALSE(empty.label->IsUnderlined());

    // A label without target links to its own text.
    LabelWindow named(env.ui, QStringLiteral("https://orvelin.example/"));
    named.label->Attach();
    EXPECT_EQ(named.label->URL(), "https://orvelin.example/");
    // A later target changes the tooltip, never the text.
    named.label->SetURL(kTarget);
    EXPECT_EQ(named.label->toolTip(), kTarget);
    EXPECT_EQ(named.label->text(), "https://orvelin.example/");
}

TEST(HyperlinkLabel, PositionWindowFollowsTheAlignment) {
    TestEnv env;
    struct Case {
        Qt::Alignment align;
        const char* what;
    };
    for (const Case& c : {Case{Qt::AlignLeft | Qt::AlignTop, "left, top"},
                          Case{Qt::AlignRight | Qt::AlignTop, "right"},
                          Case{Qt::AlignHCenter | Qt::AlignVCenter, "centred"}}) {
        LabelWindow w(env.ui, QStringLiteral("Support Email: Click here"));
        w.label->setAlignment(c.align);
        const QRect before = w.label->geometry();
        w.label->Attach();
        const QRect after = w.label->geometry();
        const QSize text = TextSize(*w.label);
        SCOPED_TRACE(c.what);
        if (c.align & Qt::AlignVCenter) {
            // Half the difference off each side, rounded toward zero.
            const int shrink = (before.height() - text.height()) / 2;
            EXPECT_EQ(after.top(), before.top() + shrink);
            EXPECT_EQ(after.height(), before.height() - 2 * shrink);
        } else {
            EXPECT_EQ(after.top(), before.top());
            EXPECT_EQ(after.height(), text.height());
        }
        if (c.align & Qt::AlignHCenter) {
            const int shrink = (before.width() - text.width()) / 2;
            EXPECT_EQ(after.left(), before.left() + shrink);
            EXPECT_EQ(after.width(), before.width() - 2 * shrink);
        } else if (c.align & Qt::AlignRight) {
            EXPECT_EQ(after.right(), before.right());
            EXPECT_EQ(after.width(), text.width());
        } else {
            EXPECT_EQ(after.left(), before.left());
            EXPECT_EQ(after.width(), text.width());
        }
    }
    // Without auto-size the label keeps its place.
    LabelWindow fixed(env.ui);
    fixed.label->SetAutoSize(false);
    fixed.label->Attach();
    EXPECT_EQ(fixed.label->geometry(), QRect(20, 20, 200, 30));
}

TEST(HyperlinkLabel, UnderlineModesWhileHoveringAndAfterLeaving) {
    TestEnv env;
    LabelWindow w(env.ui);
    w.label->Attach();
    w.Show();
    auto hoverAndLeave = [&] {
        QCursor::setPos(w.label->mapToGlobal(QPoint(5, 5)));
        QTest::mouseMove(w.label, QPoint(5, 5));
        EXPECT_TRUE(w.label->IsHovering());
        EXPECT_EQ(TextColour(*w.label), QColor(255, 0, 0));
        const bool underlinedWhileOver = w.label->IsUnderlined();
        // The pointer goes away without the label being told: the hover
        // timer notices within about 100 ms.
        QCursor::setPos(w.window.mapToGlobal(QPoint(390, 190)));
        EXPECT_TRUE(WaitFor([&] { return !w.label->IsHovering(); }, std::chrono::seconds(2)));
        return underlinedWhileOver;
    };
    // -1: underlined from the first move on, not after leaving.
    EXPECT_TRUE(hoverAndLeave());
    EXPECT_FALSE(w.label->IsUnderlined());
    EXPECT_EQ(TextColour(*w.label), QColor(0, 0, 238));
    // 1: always underlined.
    w.label->SetUnderline(1);
    EXPECT_TRUE(w.label->IsUnderlined());
    EXPECT_TRUE(hoverAndLeave());
    EXPECT_TRUE(w.label->IsUnderlined());
    // 0: never.
    w.label->SetUnderline(0);
    EXPECT_FALSE(hoverAndLeave());
    EXPECT_FALSE(w.label->IsUnderlined());
}

TEST(HyperlinkLabel, TheHoverTimerNoticesAPointerThatLeftUntold) {
    TestEnv env;
    LabelWindow w(env.ui);
    w.label->Attach();
    w.Show();
    // The pointer is already elsewhere when the move arrives, and no leave
    // notice follows: only the 100 ms check can end the hover.
    QCursor::setPos(w.window.mapToGlobal(QPoint(390, 190)));
    QCoreApplication::processEvents();
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), w.label->mapToGlobal(QPointF(5, 5)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.label, &move);
    ASSERT_TRUE(w.label->IsHovering());
    EXPECT_TRUE(w.label->IsUnderlined());
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(WaitFor([&] { return !w.label->IsHovering(); }, std::chrono::seconds(2)));
    EXPECT_GE(clock.elapsed(), 50);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_FALSE(w.label->IsUnderlined());
}

TEST(HyperlinkLabel, AFontFromOutsideKeepsTheUnderlineMode) {
    TestEnv env;
    LabelWindow w(env.ui, QStringLiteral("Support Email: Click here"));
    w.label->Attach();
    w.label->SetUnderline(1);
    QFont large = w.label->font();
    large.setUnderline(false);
    large.setPointSize(large.pointSize() * 2);
    w.label->setFont(large);
    EXPECT_TRUE(w.label->IsUnderlined());
    EXPECT_EQ(w.label->font().pointSize(), large.pointSize());
    // Fitted again to the larger text.
    EXPECT_EQ(w.label->width(), TextSize(*w.label).width());
}

TEST(HyperlinkLabel, ASuccessfulClickTurnsVisitedAndHoverStillWins) {
    TestEnv env;
    LabelWindow w(env.ui);
    w.label->SetURL(kTarget);
    w.label->Attach();
    w.Show();
    QTest::mouseClick(w.label, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(env.ui.calls.size(), 1u);
    EXPECT_EQ(env.ui.calls[0].kind, UiCall::Url);
    EXPECT_EQ(env.ui.calls[0].text, kTarget);
    EXPECT_TRUE(w.label->IsVisited());
    EXPECT_FALSE(w.label->IsHovering());
    EXPECT_EQ(TextColour(*w.label), QColor(85, 26, 139));
    QTest::mouseMove(w.label, QPoint(6, 6));
    EXPECT_EQ(TextColour(*w.label), QColor(255, 0, 0));
    // A press that is let go elsewhere is no click.
    QTest::mousePress(w.label, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(w.label, Qt::LeftButton, {}, QPoint(300, 5));
    EXPECT_EQ(env.ui.calls.size(), 1u);
}

TEST(HyperlinkLabel, TabReachesItAndEnterOrSpaceOpensIt) {
    TestEnv env;
    LabelWindow w(env.ui);
    auto* before = new QPushButton("Before", &w.window);
    before->setGeometry(20, 100, 80, 30);
    QWidget::setTabOrder(before, w.label);
    w.label->SetURL(kTarget);
    w.label->Attach();
    w.Show();
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    ASSERT_TRUE(w.label->hasFocus());
    QTest::keyClick(w.label, Qt::Key_Return);
    ASSERT_EQ(env.ui.calls.size(), 1u);
    EXPECT_EQ(env.ui.calls[0].text, kTarget);
    EXPECT_TRUE(w.label->IsVisited());
    QTest::keyClick(w.label, Qt::Key_Space);
    QTest::keyClick(w.label, Qt::Key_Enter);
    EXPECT_EQ(env.ui.calls.size(), 3u);
    // Other keys do nothing.
    QTest::keyClick(w.label, Qt::Key_A);
    EXPECT_EQ(env.ui.calls.size(), 3u);
    // A failure by keyboard is told as one by the mouse.
    env.ui.urlResult = false;
    QTest::keyClick(w.label, Qt::Key_Return);
    ASSERT_EQ(env.ui.MessageTexts().size(), 1);
    EXPECT_TRUE(env.ui.MessageTexts()[0].startsWith("Unable to open hyperlink:"));
}

TEST(HyperlinkLabel, ScreenReadersSeeALinkNamedByItsText) {
    TestEnv env;
    LabelWindow w(env.ui);
    w.label->SetURL(kTarget);
    w.label->Attach();
    w.Show();
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w.label);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Link);
    EXPECT_EQ(a->text(QAccessible::Name), "Visit us");
    EXPECT_EQ(a->text(QAccessible::Value), kTarget);
    EXPECT_TRUE(a->state().focusable);
    EXPECT_FALSE(a->state().traversed);
    QAccessibleActionInterface* actions = a->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_EQ(env.ui.calls.size(), 1u);
    EXPECT_TRUE(a->state().traversed);
    // The name follows the text (a language pack may change it).
    w.label->setText("Besuchen Sie uns");
    EXPECT_EQ(a->text(QAccessible::Name), "Besuchen Sie uns");
}

TEST(HyperlinkLabel, FallsBackToTheBrowserRegisteredForWebPages) {
    TestEnv env;
    env.ui.urlResult = false;
    // Program name, blank, quoted placeholder, blank, further options.
    env.ui.htmlCommand = QStringLiteral("/usr/bin/webbrowser \"%u\" --new-window");
    EXPECT_EQ(HyperlinkLabel::BrowserCommandLine(env.ui.htmlCommand, "https://a.example/"),
              "/usr/bin/webbrowser  https://a.example/");
    EXPECT_EQ(HyperlinkLabel::CutAtPlaceholder("firefox-esr %u"), "firefox-esr ");
    EXPECT_EQ(HyperlinkLabel::CutAtPlaceholder("viewer %F %u"), "viewer ");
    EXPECT_EQ(HyperlinkLabel::CutAtPlaceholder("oldbrowser \"%1\""), "oldbrowser ");
    EXPECT_EQ(HyperlinkLabel::CutAtPlaceholder("plainbrowser --new"), "plainbrowser --new");

    LabelWindow w(env.ui);
    w.label->SetURL(kTarget);
    w.label->Attach();
    w.Show();
    QTest::mouseClick(w.label, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(env.ui.calls.size(), 2u);
    EXPECT_EQ(env.ui.calls[0].kind, UiCall::Url);
    EXPECT_EQ(env.ui.calls[1].kind, UiCall::Process);
    EXPECT_EQ(env.ui.calls[1].text, "/usr/bin/webbrowser");
    // The target stays one argument, blanks and all.
    EXPECT_EQ(env.ui.calls[1].arguments, QStringList{kTarget});
    EXPECT_TRUE(w.label->IsVisited());
    EXPECT_TRUE(env.ui.Messages().empty());
}

TEST(HyperlinkLabel, FailuresBeepAndExplain) {
    TestEnv env;
    LabelWindow w(env.ui);
    w.label->SetURL(kTarget);
    w.label->Attach();
    w.Show();
    QTest::mouseClick(w.label, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(w.label->IsVisited());

    // Nothing opens the address and no browser is registered: 31. A failed
    // open clears the visited colour again; the target stays.
    env.ui.urlResult = false;
    env.ui.Clear();
    QTest::mouseClick(w.label, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(env.ui.Messages().size(), 1u);
    EXPECT_EQ(env.ui.Messages()[0].text, "Unable to open hyperlink:\n\nThere is no application "
                                         "associated\nwith the given filename extension.");
    EXPECT_EQ(env.ui.Messages()[0].caption, "orvelin");
    EXPECT_EQ(env.ui.Messages()[0].icon, MsgIcon::Warning);
    EXPECT_FALSE(w.label->IsVisited());
    EXPECT_EQ(TextColour(*w.label), QColor(0, 0, 238));
    EXPECT_EQ(w.label->URL(), kTarget);

    // A registered browser that cannot be started: 2.
    env.ui.htmlCommand = QStringLiteral("gone-browser %U");
    env.ui.processResult = false;
    env.ui.Clear();
    QTest::mouseClick(w.label, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(env.ui.Messages().size(), 1u);
    EXPECT_EQ(env.ui.Messages()[0].text,
              "Unable to open hyperlink:\n\nThe specified file was not found.");

    // The other codes of the table, and one it does not know.
    env.ui.Clear();
    w.label->ReportLinkError(26);
    ASSERT_EQ(env.ui.Messages().size(), 1u);
    EXPECT_EQ(env.ui.Messages()[0].text,
              "Unable to open hyperlink:\n\nA sharing violation occurred. ");
    EXPECT_EQ(HyperlinkLabel::LinkErrorMessage(0),
              "Unable to open hyperlink:\n\nThe operating system is out\nof memory or resources.");
    EXPECT_EQ(HyperlinkLabel::LinkErrorMessage(32),
              "Unable to open hyperlink:\n\nThe specified dynamic-link library was not found.");
    EXPECT_EQ(HyperlinkLabel::LinkErrorMessage(99),
              "Unable to open hyperlink:\n\nUnknown Error (99) occurred.");
}

TEST(BrowserAssociation, ReadsTheExecLineOfTheDesktopEntry) {
    TestEnv env;
    const QString apps = env.TempPath("data/applications");
    ASSERT_TRUE(QDir().mkpath(apps + "/vendor"));
    const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", env.TempPath("data").toUtf8());
    auto write = [](const QString& path, const QByteArray& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    write(apps + "/webby.desktop",
          "[Desktop Entry]\nName=Webby\n# Exec=commented\nExec=/opt/web\\sby/webby --private %u\n"
          "[Desktop Action new]\nExec=webby --other\n");
    write(apps + "/vendor/browser.desktop",
          "[Desktop Action x]\nExec=wrong\n[Desktop Entry]\nExec = vendorbrowser %U\n");
    write(apps + "/noexec.desktop", "[Desktop Entry]\nName=No exec\n");

    EXPECT_EQ(DesktopEntryExec(LocateDesktopEntry("webby.desktop")),
              "/opt/web by/webby --private %u");
    EXPECT_EQ(DesktopEntryExec(LocateDesktopEntry("vendor-browser.desktop")), "vendorbrowser %U");
    EXPECT_EQ(DesktopEntryExec(LocateDesktopEntry("noexec.desktop")), "");
    EXPECT_EQ(LocateDesktopEntry("missing.desktop"), "");
    EXPECT_EQ(DesktopEntryExec(env.TempPath("nothing.desktop")), "");
    if (oldDataHome.isEmpty())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", oldDataHome);
}

// ------------------------------------------------- the desktop's real opener

namespace {

// The product's UI services with message boxes recorded instead of shown.
class RecordingUi : public QtUiServices {
public:
    int MessageBox(QWidget*, const QString& text, const QString& caption, MsgButtons,
                   MsgIcon) override {
        messages << caption + ": " + text;
        return IdOk;
    }
    QStringList messages;
};

// xdg-open and xdg-mime as scripts in a folder put first on PATH; xdg-open
// notes its arguments, waits `seconds` and ends with `status`.
class FakeDesktop {
public:
    FakeDesktop(int status, double seconds = 0.0, const QByteArray& mimeAnswer = {}) {
        Script("xdg-open", QString("#!/bin/sh\necho \"$@\" >> '%1'\nsleep %2\nexit %3\n")
                               .arg(dir_.filePath("opened"))
                               .arg(seconds)
                               .arg(status)
                               .toUtf8());
        // No browser registered unless told.
        Script("xdg-mime", mimeAnswer.isEmpty() ? QByteArray("#!/bin/sh\nexit 1\n")
                                                : "#!/bin/sh\necho " + mimeAnswer + "\n");
        oldPath_ = qgetenv("PATH");
        qputenv("PATH", dir_.path().toUtf8() + ":" + oldPath_);
    }
    ~FakeDesktop() { qputenv("PATH", oldPath_); }
    void Script(const QString& name, const QByteArray& text) {
        QFile f(dir_.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.setPermissions(f.permissions() | QFile::ExeOwner);
    }
    QString Opened() const {
        QFile f(dir_.filePath("opened"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
    }
    QString Path(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QByteArray oldPath_;
};

// Opens `url` and waits for the answer.
std::optional<bool> OpenAndWait(const QString& url, int patienceMs = kOpenerPatienceMs) {
    std::optional<bool> answer;
    OpenWithDesktopOpener(
        QUrl(url), [&](bool opened) { answer = opened; }, patienceMs);
    WaitFor([&] { return answer.has_value(); }, std::chrono::seconds(10));
    return answer;
}

} // namespace

TEST(DesktopOpener, TheOpenersExitStatusDecides) {
    {
        FakeDesktop desktop(3); // xdg-open: no application for the address
        EXPECT_EQ(OpenAndWait(kTarget), std::optional<bool>(false));
        // The address reaches the opener as one argument.
        EXPECT_EQ(desktop.Opened(), QUrl(kTarget).toString(QUrl::FullyEncoded));
    }
    {
        FakeDesktop desktop(0);
        EXPECT_EQ(OpenAndWait(kTarget), std::optional<bool>(true));
    }
    {
        // An opener that runs the browser itself and stays: opened once the
        // patience is over, without waiting for it to end.
        FakeDesktop desktop(0, 3.0);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(OpenAndWait(kTarget, 300), std::optional<bool>(true));
        EXPECT_LT(clock.elapsed(), 2500);
    }
    {
        // No opener at all.
        QTemporaryDir empty;
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", empty.path().toUtf8());
        EXPECT_EQ(OpenAndWait(kTarget), std::optional<bool>(false));
        qputenv("PATH", oldPath);
    }
}

TEST(DesktopOpener, NothingOpenedShowsTheLinkAndHomepageMessages) {
    TestEnv env;
    RecordingUi ui;
    FakeDesktop desktop(3);
    // The link: the window stays usable while the opener runs, then the
    // message of code 31 and no visited colour.
    LabelWindow w(ui);
    w.label->SetURL(kTarget);
    w.label->Attach();
    w.Show();
    QTest::mouseClick(w.label, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(WaitFor([&] { return !ui.messages.isEmpty(); }, std::chrono::seconds(10)));
    EXPECT_EQ(ui.messages, QStringList{"orvelin: Unable to open hyperlink:\n\nThere is no "
                                       "application associated\nwith the given filename "
                                       "extension."});
    EXPECT_FALSE(w.label->IsVisited());

    // Homepage: "unknown errors".
    AppContext context{*env.settings, ui, 0};
    MainDialog dialog(context);
    dialog.show();
    ui.messages.clear();
    qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_HOMEPAGE))->click();
    ASSERT_TRUE(WaitFor([&] { return !ui.messages.isEmpty(); }, std::chrono::seconds(10)));
    EXPECT_TRUE(ui.messages[0].startsWith("unknown errors: ")) << ui.messages[0].toStdString();
}

TEST(DesktopOpener, TheBrowserForWebPagesIsTheFallback) {
    TestEnv env;
    RecordingUi ui;
    FakeDesktop desktop(4, 0.0, "fakeweb.desktop"); // the opener's application failed
    // The registered browser notes what it was given.
    desktop.Script(
        "fakeweb",
        QString("#!/bin/sh\necho \"$@\" > '%1'\n").arg(desktop.Path("browsed")).toUtf8());
    const QString apps = env.TempPath("data/applications");
    ASSERT_TRUE(QDir().mkpath(apps));
    QFile entry(apps + "/fakeweb.desktop");
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write(QString("[Desktop Entry]\nExec=%1 --new-window %u\n")
                    .arg(desktop.Path("fakeweb"))
                    .toUtf8());
    entry.close();
    const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", env.TempPath("data").toUtf8());

    LabelWindow w(ui);
    w.label->SetURL(kTarget);
    w.label->Attach();
    w.Show();
    QTest::mouseClick(w.label, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(WaitFor([&] { return w.label->IsVisited(); }, std::chrono::seconds(10)));
    EXPECT_TRUE(ui.messages.isEmpty());
    QFile browsed(desktop.Path("browsed"));
    ASSERT_TRUE(WaitFor([&] { return browsed.exists() && browsed.size() > 0; }));
    ASSERT_TRUE(browsed.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(browsed.readAll()).trimmed(), "--new-window " + kTarget);
    if (oldDataHome.isEmpty())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", oldDataHome);
}
