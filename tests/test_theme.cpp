// Colours that follow the palette: the image buttons' focus frame and
// captions, the main window's background picture, link colours and the help
// pages' style sheet and pictures on a dark palette.
#include "controls/HyperlinkLabel.h"
#include "controls/ImageButton.h"
#include "controls/Resources.h"
#include "controls/Theme.h"
#include "controls/ThemedTextBrowser.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

using namespace orvelin;

namespace {

// A window whose background is a fixed light picture, as the main window's.
class LightPictureWindow : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawTiledPixmap(rect(), BackgroundForPalette(LoadBitmapResource(139), palette()));
    }
};

struct ButtonWindow {
    ButtonWindow() {
        window.resize(260, 120);
        first = new ImageButton("Open Video", &window);
        second = new ImageButton("Options", &window);
        for (ImageButton* b : {first, second}) {
            b->SetIcon(145);
            b->SetAlignment(1, false);
            b->SetTransparent(false);
        }
        first->setGeometry(10, 10, 110, 90);
        second->setGeometry(130, 10, 110, 90);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    LightPictureWindow window;
    ImageButton* first = nullptr;
    ImageButton* second = nullptr;
};

int DifferentPixels(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y) {
        for (int x = 0; x < std::min(a.width(), b.width()); ++x)
            count += a.pixel(x, y) != b.pixel(x, y);
    }
    return count;
}

// Sets the application palette for one test.
struct PaletteScope {
    explicit PaletteScope(const QPalette& p) : old(QApplication::palette()) {
        QApplication::setPalette(p);
    }
    ~PaletteScope() { QApplication::setPalette(old); }
    QPalette old;
};

} // namespace

TEST(Theme, FocusFrameShowsForKeyboardFocusOnly) {
    test::TestEnv env;
    ButtonWindow w;
    w.first->setFocus(Qt::MouseFocusReason);
    const QImage clicked = w.second->grab().toImage();
    // Tab brings the focus to the second button: its frame is drawn.
    QTest::keyClick(w.first, Qt::Key_Tab);
    ASSERT_TRUE(w.second->hasFocus());
    EXPECT_TRUE(w.second->ShowsFocusFrame());
    const QImage tabbed = w.second->grab().toImage();
    EXPECT_GT(DifferentPixels(clicked, tabbed), 200);
    // A click gives the focus without the frame, and the picture is as before.
    QTest::mouseClick(w.first, Qt::LeftButton);
    w.second->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(w.second->ShowsFocusFrame());
    EXPECT_EQ(DifferentPixels(clicked, w.second->grab().toImage()), 0);
    // Leaving by Tab takes the frame away.
    w.second->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.second, Qt::Key_Tab);
    EXPECT_FALSE(w.second->ShowsFocusFrame());
}

TEST(Theme, CaptionsAndLinksReadOnADarkPalette) {
    test::TestEnv env;
    PaletteScope dark(DarkPalette());
    ButtonWindow w;
    w.first->SetTransparent(true);
    const QImage image = w.first->grab().toImage();
    // The picture behind follows the palette, and the caption reads on it.
    const QColor face = AverageColour(image.copy(0, 0, image.width(), 2));
    EXPECT_LT(RelativeLuminance(face), 0.1);
    EXPECT_GE(ContrastRatio(w.first->CaptionColour(), face), kTextContrast);

    // A button drawn on a light face under the dark palette: the caption
    // still reads (the palette's light text would not).
    QPalette lightFace = DarkPalette();
    lightFace.setColor(QPalette::Button, QColor(240, 240, 240));
    w.second->SetTransparent(false);
    w.second->setPalette(lightFace);
    w.second->setAttribute(Qt::WA_SetPalette);
    EXPECT_GE(ContrastRatio(w.second->CaptionColour(), QColor(240, 240, 240)), kTextContrast);

    // The link's fixed dark blue is lightened on the dark window; visited and
    // hovered colours too.
    HyperlinkLabel link(env.ui, "https://example.org", &w.window);
    link.Attach();
    const QColor window = link.palette().color(QPalette::Window);
    EXPECT_GE(ContrastRatio(link.palette().color(QPalette::WindowText), window), kTextContrast);
    EXPECT_EQ(link.CurrentColour(), QColor(0, 0, 238));
    // Back on a light palette, the program's own colours return.
    QApplication::setPalette(dark.old);
    QApplication::processEvents();
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 238));
}

TEST(Theme, HelpPagesTakeTheirColoursAndPicturesFromThePalette) {
    test::TestEnv env;
    // Light: the program's own colours.
    const QString light = HelpStyleSheet(QPalette(QColor(239, 239, 239)));
    EXPECT_TRUE(light.contains("#1c3f75")) << light.toStdString();
    EXPECT_TRUE(light.contains("#e8eef7"));
    // Dark: every colour carrying text reads on the page.
    const QPalette dark = DarkPalette();
    const QString sheet = HelpStyleSheet(dark);
    EXPECT_FALSE(sheet.contains("#1c3f75"));
    EXPECT_FALSE(sheet.contains("#e8eef7"));

    // A page with a picture that has a dark twin.
    QDir folder(env.Folder());
    folder.mkpath("help/dark");
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::white);
    picture.save(folder.filePath("help/shot.png"));
    picture.fill(Qt::black);
    picture.save(folder.filePath("help/dark/shot.png"));
    QFile page(folder.filePath("help/page.htm"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<html><body><h1>Title</h1><p><a href='x.htm'>link</a></p>"
               "<img src='shot.png'></body></html>");
    page.close();

    ThemedTextBrowser browser;
    browser.setSource(QUrl::fromLocalFile(page.fileName()));
    const QUrl shot("shot.png");
    EXPECT_EQ(browser.document()->defaultStyleSheet(), HelpStyleSheet(browser.palette()));
    auto shownPixel = [&browser, &shot] {
        const QVariant data = browser.loadResource(QTextDocument::ImageResource, shot);
        return QImage::fromData(data.toByteArray()).pixel(0, 0);
    };
    EXPECT_EQ(shownPixel(), qRgb(255, 255, 255));
    browser.setPalette(dark);
    EXPECT_EQ(browser.document()->defaultStyleSheet(), sheet);
    EXPECT_EQ(shownPixel(), qRgb(0, 0, 0));
    // The heading and the link are drawn in the sheet's readable colours.
    auto colourOf = [](const QTextBlock& block) {
        return block.begin().fragment().charFormat().foreground().color();
    };
    const QTextBlock heading = browser.document()->firstBlock();
    const QColor base = dark.color(QPalette::Base);
    EXPECT_GE(ContrastRatio(colourOf(heading), base), kTextContrast)
        << colourOf(heading).name().toStdString();
    const QColor link = colourOf(heading.next());
    EXPECT_TRUE(heading.next().begin().fragment().charFormat().isAnchor());
    EXPECT_GE(ContrastRatio(link, base), kTextContrast) << link.name().toStdString();
}
