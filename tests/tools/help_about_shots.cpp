// Saves pictures of the program's windows for looking at them by eye and for
// the help pages: the main window (also with the keyboard focus on a button
// and with a video open), the Output options dialog, the codec settings of
// x264, the help window and the About box, and prints the contrast of the
// colours that carry text.
//   help_about_shots <program folder with help/> <output folder> [--dark] [--screen]
// --dark draws everything with a dark palette (Fusion style); --screen also
// grabs the whole screen with the windows on it (under Xvfb or a desktop).
#include "app/AppContext.h"
#include "app/SettingsStore.h"
#include "controls/HyperlinkLabel.h"
#include "controls/ImageButton.h"
#include "controls/Theme.h"
#include "mainwnd/AboutDialog.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/HelpWindow.h"
#include "mainwnd/MainDialog.h"
#include "media/Filter.h"
#include "media/MediaPlatform.h"
#include "options/OutputOptionsDialog.h"
#include "options/PropertyEditorDialog.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QStyleFactory>
#include <QTest>
#include <QTextBrowser>
#include <QTextStream>
#include <QToolButton>

#include <clocale>

using namespace orvelin;

namespace {

QString out;

void Save(QWidget* w, const QString& name) {
    QApplication::processEvents();
    w->grab().save(out + "/" + name);
    QTextStream(stdout) << "wrote " << out << "/" << name << "\n";
}

void Report(const QString& what, const QColor& text, const QColor& background) {
    QTextStream(stdout) << "contrast " << what << ": " << text.name() << " on " << background.name()
                        << " = " << QString::number(ContrastRatio(text, background), 'f', 2)
                        << ":1\n";
}

// The colour of the caption pixels: the one of the caption area that differs
// most from the area's average.
QColor CaptionPixel(ImageButton* button) {
    const QImage image = button->grab().toImage();
    const int top = button->IconSize().height() + 4;
    const QColor face = AverageColour(image.copy(0, top, image.width(), image.height() - top));
    QColor best = face;
    double most = 1.0;
    for (int y = top; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const double ratio = ContrastRatio(c, face);
            if (ratio > most) {
                most = ratio;
                best = c;
            }
        }
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QStringList args = QApplication::arguments().mid(1);
    const bool dark = args.removeAll(QStringLiteral("--dark")) > 0;
    const bool wholeScreen = args.removeAll(QStringLiteral("--screen")) > 0;
    if (args.size() < 2)
        return 2;
    const QString programFolder = args[0];
    out = args[1];
    QDir().mkpath(out);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (dark)
        QApplication::setPalette(DarkPalette());
    media::InitializeMediaPlatform();

    test::TestEnv env;
    AppContext& context = *env.context;
    // A plain output name for the pictures, not the temporary folder's.
    env.settings->WriteString("Settings", "OutputName", "/home/user/Videos/output.mkv");
    MainDialog dialog(context);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return 1;
    QTest::qWait(100);
    Save(&dialog, "main.png");

    // Contrast of the button captions, from the drawn pixels.
    auto* exitButton = qobject_cast<ImageButton*>(dialog.Control(IDC_BUTTON_EXIT));
    if (exitButton) {
        const QImage face = exitButton->grab().toImage();
        const QColor average =
            AverageColour(face.copy(0, exitButton->IconSize().height() + 4, face.width(), 6));
        Report("button caption (pixels)", CaptionPixel(exitButton), average);
        Report("button caption (drawn colour)", exitButton->CaptionColour(), average);
    }

    // Tab until the focus is on Options: the keyboard focus frame.
    QWidget* options = dialog.Control(IDC_BUTTON_OPTIONS);
    dialog.activateWindow();
    if (!QTest::qWaitForWindowActive(&dialog))
        QTextStream(stdout) << "main window not active\n";
    for (int i = 0; i < 40 && QApplication::focusWidget() != options; ++i)
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &dialog,
                        Qt::Key_Tab);
    // Without a window manager the window may not take the keyboard; the
    // focus then comes as a Tab would bring it.
    if (!options->hasFocus())
        options->setFocus(Qt::TabFocusReason);
    QTest::qWait(50);
    Save(&dialog, "main_focus.png");
    if (auto* button = qobject_cast<ImageButton*>(options))
        QTextStream(stdout) << "focus frame shown: " << button->ShowsFocusFrame() << "\n";

    // A video open, with its preview.
    const QString clip = env.TempPath("clip.mkv");
    test::MediaSpec shape;
    shape.width = 640;
    shape.height = 360;
    shape.seconds = 3.0;
    if (test::MakeMedia(clip, shape)) {
        dialog.OpenVideoFile(clip);
        QTest::qWait(600);
        Save(&dialog, "main_video.png");
        if (wholeScreen)
            dialog.screen()->grabWindow(0).save(out + "/screen_video.png");
    }

    {
        OutputOptionsSource source;
        OutputOptionsDialog optionsDialog(context, dialog.State().output, source, &dialog);
        optionsDialog.show();
        if (!QTest::qWaitForWindowExposed(&optionsDialog))
            return 1;
        Save(&optionsDialog, "options.png");
    }

    if (auto x264 = media::Filter::Create(QStringLiteral("x264enc"))) {
        PropertyEditorDialog editor(x264, x264->LongName(), env.ui, &dialog);
        editor.show();
        if (!QTest::qWaitForWindowExposed(&editor))
            return 1;
        // Narrow enough for the help window's page.
        editor.resize(std::min(editor.width(), 660), 360);
        Save(&editor, "codec_x264.png");
        editor.AdvancedToggle()->setChecked(true);
        QTest::qWait(50);
        Save(&editor, "codec_x264_advanced.png");
    }

    dialog.ShowHelp(programFolder);
    HelpWindow* help = dialog.Help();
    if (!help || !help->isVisible() || !QTest::qWaitForWindowExposed(help))
        return 1;
    QTest::qWait(200);
    Save(help, "help_start.png");
    emit help->Browser()->anchorClicked(QUrl("OutputOptions.htm"));
    QTest::qWait(200);
    Save(help, "help_second_page.png");
    help->Browser()->scrollToAnchor(QStringLiteral("copy"));
    QTest::qWait(200);
    Save(help, "help_copy.png");
    emit help->Browser()->anchorClicked(QUrl("Troubleshooting.htm"));
    QTest::qWait(200);
    Save(help, "help_table.png");
    {
        const QPalette p = help->Browser()->palette();
        const QString sheet = HelpStyleSheet(p);
        QTextStream(stdout) << "help style sheet:\n" << sheet;
        // The colours of the style sheet against the page.
        auto colourOf = [&sheet](const QString& selector, const QString& property) {
            const QRegularExpression rule(QRegularExpression::escape(selector) + " \\{[^}]*[ {]" +
                                          property + ": (#[0-9a-f]{6})");
            return QColor(rule.match(sheet).captured(1));
        };
        const QColor base = colourOf("body", "background-color");
        const QColor band = colourOf("p.nav", "background-color");
        Report("help text", colourOf("body", "color"), base);
        Report("help headings", colourOf("h1, h2, h3", "color"), base);
        Report("help links on page", colourOf("a", "color"), base);
        Report("help links on navigation band", colourOf("a", "color"), band);
        Report("help table heading text", colourOf("th", "color"), band);
    }
    if (wholeScreen)
        dialog.screen()->grabWindow(0).save(out + "/screen_help.png");
    help->hide();

    AboutDialog about(env.ui, &dialog);
    about.show();
    if (!QTest::qWaitForWindowExposed(&about))
        return 1;
    QTest::qWait(100);
    Save(&about, "about.png");
    HyperlinkLabel* link = about.HomepageLink();
    Report("About link", link->palette().color(QPalette::WindowText),
           link->palette().color(QPalette::Window));
    QCursor::setPos(link->mapToGlobal(QPoint(4, 4)));
    QTest::mouseMove(link, QPoint(4, 4));
    QTest::qWait(50);
    Save(&about, "about_hovered_link.png");
    Report("About link hovered", link->palette().color(QPalette::WindowText),
           link->palette().color(QPalette::Window));
    if (wholeScreen)
        dialog.screen()->grabWindow(0).save(out + "/screen_about.png");
    about.hide();
    dialog.RequestClose();
    return 0;
}
