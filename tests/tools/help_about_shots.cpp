// Saves pictures of the About box, the help window after following a link
// and a hovered link, for looking at them by eye:
//   help_about_shots <program folder with help/> <output folder>
#include "app/AppContext.h"
#include "app/SettingsStore.h"
#include "controls/HyperlinkLabel.h"
#include "mainwnd/AboutDialog.h"
#include "mainwnd/HelpWindow.h"
#include "mainwnd/MainDialog.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTextBrowser>

using namespace orvelin;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString programFolder = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    test::TestEnv env;
    QtUiServices ui;
    AppContext context{*env.settings, ui};
    MainDialog dialog(context);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return 1;
    dialog.grab().save(out + "/main.png");

    dialog.ShowHelp(programFolder);
    HelpWindow* help = dialog.Help();
    if (!help || !help->isVisible())
        return 1;
    if (!QTest::qWaitForWindowExposed(help))
        return 1;
    QTest::qWait(200);
    help->grab().save(out + "/help_start.png");
    emit help->Browser()->anchorClicked(QUrl("OutputOptions.htm"));
    QTest::qWait(200);
    help->grab().save(out + "/help_second_page.png");
    help->hide();

    AboutDialog about(ui, &dialog);
    about.show();
    if (!QTest::qWaitForWindowExposed(&about))
        return 1;
    QTest::qWait(100);
    about.grab().save(out + "/about.png");
    HyperlinkLabel* link = about.HomepageLink();
    QCursor::setPos(link->mapToGlobal(QPoint(4, 4)));
    QTest::mouseMove(link, QPoint(4, 4));
    QTest::qWait(50);
    about.grab().save(out + "/about_hovered_link.png");
    return link->IsHovering() ? 0 : 1;
}
