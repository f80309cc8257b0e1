// The image button, the seek slider and the program's art and sound.
#include "controls/ImageButton.h"
#include "controls/Resources.h"
#include "controls/SeekSlider.h"
#include "media/SoundPlayer.h"
#include "support/TestEnv.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QSvgRenderer>
#include <QTest>
#include <QToolTip>
#include <QtEndian>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace orvelin {
namespace {

using test::WaitFor;

const std::vector<int> kIconIds = {128, 140, 145, 146, 147, 148, 149, 150, 151,
                                   152, 153, 154, 155, 156, 157, 158, 159};

bool SameRgb(QRgb a, QRgb b) {
    return (a & 0xFFFFFF) == (b & 0xFFFFFF);
}

// Bounding box of the pixels that differ from `background`.
QRect InkBox(const QImage& image, QRgb background, const QRect& within) {
    QRect box;
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x)
            if (!SameRgb(image.pixel(x, y), background))
                box |= QRect(x, y, 1, 1);
    return box;
}

// ------------------------------------------------------------- resources

TEST(Resources, EveryIconLoadsAtItsNaturalSize) {
    for (int id : kIconIds) {
        SCOPED_TRACE(id);
        const QIcon icon = LoadIconResource(id);
        ASSERT_FALSE(icon.isNull());
        // Homepage and Exit sit on the short buttons and use small icons.
        const int expected = (id == 158 || id == 159) ? 16 : 32;
        EXPECT_EQ(IconResourceSize(id), expected);
        const QImage image = icon.pixmap(expected, expected).toImage();
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                opaque += qAlpha(image.pixel(x, y)) > 200 ? 1 : 0;
        // A real drawing, not an empty or full square.
        EXPECT_GT(opaque, expected * expected / 5);
        EXPECT_LT(opaque, expected * expected);
    }
    EXPECT_TRUE(LoadIconResource(999).isNull());
    EXPECT_EQ(IconResourceSize(999), 0);
    EXPECT_EQ(IconResourceSize(0), 0);
}

TEST(Resources, BackgroundBitmapIsALightSeamlessTile) {
    const QImage tile = LoadBitmapResource(139).toImage();
    ASSERT_EQ(tile.size(), QSize(64, 64));
    long sum = 0;
    int neighbourStep = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            sum += qGray(tile.pixel(x, y));
            if (x > 0)
                neighbourStep = qMax(neighbourStep,
                                     qAbs(qGray(tile.pixel(x, y)) - qGray(tile.pixel(x - 1, y))));
        }
    // Light enough for dark captions to read on it.
    EXPECT_GT(sum / (64 * 64), 200);
    // Where copies meet, the step is no larger than inside the tile.
    for (int i = 0; i < 64; ++i) {
        EXPECT_LE(qAbs(qGray(tile.pixel(63, i)) - qGray(tile.pixel(0, i))), neighbourStep + 1);
        EXPECT_LE(qAbs(qGray(tile.pixel(i, 63)) - qGray(tile.pixel(i, 0))), neighbourStep + 2);
    }
    EXPECT_TRUE(LoadBitmapResource(998).isNull());
}

TEST(Resources, HandCursorPointsWithItsFingertip) {
    const std::optional<QCursor> cursor = LoadCursorResource(141);
    ASSERT_TRUE(cursor.has_value());
    EXPECT_EQ(cursor->shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor->hotSpot(), QPoint(5, 0));
    const QImage image = cursor->pixmap().toImage();
    ASSERT_EQ(image.size(), QSize(32, 32));
    // The fingertip's outline is on the hot spot; the corner beside it is clear.
    EXPECT_GT(qAlpha(image.pixel(5, 0)), 200);
    EXPECT_LT(qGray(image.pixel(5, 0)), 100);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(31, 0)), 0);
    EXPECT_FALSE(LoadCursorResource(142).has_value());
}

TEST(Resources, HoverSoundIsAShortSoftPcmTick) {
    const QByteArray wav = LoadWaveResource(144);
    ASSERT_GT(wav.size(), 44);
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(wav.constData() + at); };
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(wav.constData() + at); };
    ASSERT_EQ(wav.left(4), "RIFF");
    ASSERT_EQ(wav.mid(8, 4), "WAVE");
    ASSERT_EQ(wav.mid(12, 4), "fmt ");
    EXPECT_EQ(u16(20), 1); // PCM
    const int channels = u16(22);
    const quint32 rate = u32(24);
    EXPECT_EQ(u16(34), 16);
    ASSERT_EQ(wav.mid(36, 4), "data");
    const quint32 bytes = u32(40);
    ASSERT_EQ(int(bytes) + 44, wav.size());
    const double ms = 1000.0 * bytes / (rate * channels * 2);
    EXPECT_GT(ms, 40.0);
    EXPECT_LT(ms, 150.0);
    const int samples = int(bytes / 2);
    int peak = 0;
    for (int i = 0; i < samples; ++i)
        peak = qMax(peak, qAbs(int(qFromLittleEndian<qint16>(wav.constData() + 44 + 2 * i))));
    // Audible but soft, and no clipping.
    EXPECT_GT(peak, 3000);
    EXPECT_LT(peak, 24000);
    // Starts and ends at silence, so it does not pop.
    EXPECT_LT(qAbs(int(qFromLittleEndian<qint16>(wav.constData() + 44))), 200);
    EXPECT_LT(qAbs(int(qFromLittleEndian<qint16>(wav.constData() + wav.size() - 2))), 200);
    EXPECT_TRUE(LoadWaveResource(143).isEmpty());
}

// ----------------------------------------------------------- image button

// A window tiled with the background bitmap holding one image button set up
// as the main window sets up its buttons, and a plain button after it.
class ImageButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        window->resize(320, 160);
        QPalette palette = window->palette();
        palette.setBrush(QPalette::Window, QBrush(LoadBitmapResource(139)));
        window->setPalette(palette);
        window->setAutoFillBackground(true);
        button = new ImageButton(QStringLiteral("Open Video"), window.get());
        button->setGeometry(21, 13, 101, 60);
        button->SetIcon(140);
        button->SetSound(LoadWaveResource(144), false, true);
        button->SetTransparent(false);
        button->SetCursor(141, false);
        button->SetTooltip(QStringLiteral("Open a video file"), true);
        button->SetAlignment(1, false);
        other = new QPushButton(QStringLiteral("Play"), window.get());
        other->setGeometry(21, 100, 80, 24);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        // Start with the pointer over the window but off the button (the
        // window system ignores moves that do not change the position).
        MoveTo(window.get(), QPoint(300, 150));
        MoveTo(window.get(), QPoint(301, 151));
    }

    void TearDown() override {
        QToolTip::hideText();
        window.reset();
        // Let hover sounds finish before the next test (or the process) ends.
        EXPECT_TRUE(WaitFor([] { return media::SoundsPlaying() == 0; }));
    }

    // Moves the pointer the way the window system does (enter, leave, move).
    void MoveTo(QWidget* widget, QPoint pos) {
        QTest::mouseMove(window->windowHandle(), widget->mapTo(window.get(), pos));
    }

    // A move delivered to the button with the left button already held, as
    // when a drag that began elsewhere comes over it.
    void SendMoveWithLeftHeld(QPoint pos) {
        QMouseEvent move(QEvent::MouseMove, QPointF(pos), button->mapToGlobal(QPointF(pos)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(button, &move);
    }

    void ActivateWindow() {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    std::unique_ptr<QWidget> window;
    ImageButton* button = nullptr;
    QPushButton* other = nullptr;
};

TEST_F(ImageButtonTest, HoverStartsOnceWithOneSound) {
    EXPECT_FALSE(button->IsHovering());
    MoveTo(button, QPoint(30, 30));
    ASSERT_TRUE(WaitFor([&] { return button->IsHovering(); }));
    EXPECT_EQ(button->HoverSoundsStarted(), 1);
    MoveTo(button, QPoint(40, 35));
    MoveTo(button, QPoint(50, 40));
    EXPECT_TRUE(button->IsHovering());
    EXPECT_EQ(button->HoverSoundsStarted(), 1);

    MoveTo(window.get(), QPoint(250, 140));
    ASSERT_TRUE(WaitFor([&] { return !button->IsHovering(); }));
    MoveTo(button, QPoint(30, 30));
    ASSERT_TRUE(WaitFor([&] { return button->IsHovering(); }));
    EXPECT_EQ(button->HoverSoundsStarted(), 2);
}

TEST_F(ImageButtonTest, NoSoundWithoutHoverSound) {
    button->SetSound(QByteArray(), false, true);
    EXPECT_FALSE(button->HasHoverSound());
    MoveTo(button, QPoint(30, 30));
    ASSERT_TRUE(WaitFor([&] { return button->IsHovering(); }));
    EXPECT_EQ(button->HoverSoundsStarted(), 0);
}

TEST_F(ImageButtonTest, MovingOntoItWithLeftButtonHeldDoesNotLightItUp) {
    // Pressed on the window, then dragged over the button.
    QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, QPoint(250, 140));
    QTest::mouseMove(window->windowHandle(), button->mapTo(window.get(), QPoint(30, 30)));
    QTest::mouseMove(window->windowHandle(), button->mapTo(window.get(), QPoint(35, 32)));
    QApplication::processEvents();
    EXPECT_FALSE(button->IsHovering());
    QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {},
                        button->mapTo(window.get(), QPoint(35, 32)));

    // And a move that reaches the button itself with the button held.
    MoveTo(window.get(), QPoint(250, 140));
    ASSERT_TRUE(WaitFor([&] { return !button->IsHovering(); }));
    SendMoveWithLeftHeld(QPoint(30, 30));
    EXPECT_FALSE(button->IsHovering());
    EXPECT_EQ(button->HoverSoundsStarted(), 0);
}

TEST_F(ImageButtonTest, HoveringSurvivesPressingAndEndsWhenDraggedOff) {
    MoveTo(button, QPoint(30, 30));
    ASSERT_TRUE(WaitFor([&] { return button->IsHovering(); }));
    QTest::mousePress(window->windowHandle(), Qt::LeftButton, {},
                      button->mapTo(window.get(), QPoint(30, 30)));
    EXPECT_TRUE(button->isDown());
    SendMoveWithLeftHeld(QPoint(32, 31));
    EXPECT_TRUE(button->IsHovering());
    SendMoveWithLeftHeld(QPoint(200, 31)); // off the button, still held
    EXPECT_FALSE(button->IsHovering());
    QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, QPoint(250, 140));
}

TEST_F(ImageButtonTest, LeaveFocusLossDeactivationAndDisablingEndHovering) {
    ActivateWindow();
    const auto hover = [&] {
        MoveTo(window.get(), QPoint(250, 140));
        MoveTo(button, QPoint(30, 30));
        return WaitFor([&] { return button->IsHovering(); });
    };

    ASSERT_TRUE(hover());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->IsHovering());

    ASSERT_TRUE(hover());
    button->setFocus();
    ASSERT_TRUE(WaitFor([&] { return button->hasFocus(); }));
    other->setFocus();
    ASSERT_TRUE(WaitFor([&] { return other->hasFocus(); }));
    EXPECT_FALSE(button->IsHovering());

    ASSERT_TRUE(hover());
    QWidget second;
    second.resize(50, 50);
    second.show();
    second.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&second));
    EXPECT_TRUE(WaitFor([&] { return !button->IsHovering(); }));
    second.close();
    ActivateWindow();

    ASSERT_TRUE(hover());
    button->setEnabled(false);
    EXPECT_FALSE(button->IsHovering());
}

TEST_F(ImageButtonTest, DoubleClickGivesTwoClicks) {
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    int doubleClicks = 0;
    struct Counter : QObject {
        int* count;
        explicit Counter(int* c) : count(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::MouseButtonDblClick)
                ++*count;
            return false;
        }
    } counter(&doubleClicks);
    button->installEventFilter(&counter);
    // Off the button, so the look before and after is the resting one.
    const QImage resting = button->grab().toImage();

    QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {},
                       button->mapTo(window.get(), QPoint(40, 30)));
    EXPECT_EQ(doubleClicks, 1); // the window system reported a double-click
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_FALSE(button->isDown());
    EXPECT_TRUE(button->hasFocus() || !window->isActiveWindow());
    button->removeEventFilter(&counter);
    // The second press must not leave the pressed look behind once the
    // pointer has gone.
    MoveTo(window.get(), QPoint(300, 150));
    ASSERT_TRUE(WaitFor([&] { return button->grab().toImage() == resting; }));
}

TEST_F(ImageButtonTest, DisablingTheFocusedButtonMovesFocusOn) {
    ActivateWindow();
    button->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitFor([&] { return button->hasFocus(); }));
    const QImage enabledLook = button->grab().toImage();
    button->setEnabled(false);
    EXPECT_FALSE(button->hasFocus());
    EXPECT_TRUE(other->hasFocus());
    // The button draws itself differently once disabled (greyed icon and
    // embossed caption), not just the focus frame gone.
    button->setEnabled(true);
    button->clearFocus();
    const QImage enabledUnfocused = button->grab().toImage();
    button->setEnabled(false);
    EXPECT_NE(button->grab().toImage(), enabledUnfocused);
    EXPECT_NE(button->grab().toImage(), enabledLook);
}

TEST_F(ImageButtonTest, IconSitsCentredAboveTheCaption) {
    // Drawn on a plain fill so that only the icon and caption make ink.
    ImageButton plain(QStringLiteral("Open Video"), window.get());
    plain.setGeometry(150, 13, 101, 60); // odd width: the centring truncates
    plain.SetIcon(140);
    plain.SetAlignment(1, false);
    plain.show();
    const QImage image = plain.grab().toImage();
    const QRgb fill = plain.palette().color(QPalette::Button).rgb();
    const QSize size = plain.IconSize();
    ASSERT_EQ(size, QSize(32, 32));

    QImage expected(plain.size(), QImage::Format_ARGB32_Premultiplied);
    expected.fill(fill);
    {
        QPainter painter(&expected);
        LoadIconResource(140).paint(&painter, QRect(QPoint((101 - 32) / 2, 3), size));
    }
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < plain.width(); ++x)
            ASSERT_TRUE(SameRgb(image.pixel(x, y), expected.pixel(x, y))) << "at " << x << "," << y;

    // The caption is centred below the icon, inside the button.
    const QRect caption = InkBox(image, fill, QRect(0, 36, plain.width(), plain.height() - 36));
    ASSERT_FALSE(caption.isEmpty());
    EXPECT_LE(qAbs(caption.center().x() - plain.width() / 2), 2);
    EXPECT_LT(caption.bottom(), plain.height());
}

TEST_F(ImageButtonTest, PressedLookShiftsIconAndCaptionByOnePixel) {
    ImageButton plain(QStringLiteral("Convert"), window.get());
    plain.setGeometry(150, 13, 100, 60);
    plain.SetIcon(128);
    plain.SetAlignment(1, false);
    plain.show();
    ASSERT_EQ(plain.PressedOffset(), QPoint(1, 1));
    const QImage up = plain.grab().toImage();
    plain.setDown(true);
    const QImage down = plain.grab().toImage();
    plain.setDown(false);

    EXPECT_NE(up, down);
    // Inside the frame, the pressed picture is the released one moved (1, 1).
    for (int y = 1; y < plain.height() - 2; ++y)
        for (int x = 1; x < plain.width() - 2; ++x)
            ASSERT_TRUE(SameRgb(down.pixel(x + 1, y + 1), up.pixel(x, y)))
                << "at " << x << "," << y;
    // The sunken frame: shadow on top and left, highlight on bottom and right.
    const QPalette& pal = plain.palette();
    EXPECT_TRUE(SameRgb(down.pixel(10, 0), pal.color(QPalette::Dark).rgb()));
    EXPECT_TRUE(SameRgb(down.pixel(0, 10), pal.color(QPalette::Dark).rgb()));
    EXPECT_TRUE(SameRgb(down.pixel(10, 59), pal.color(QPalette::Light).rgb()));
    EXPECT_TRUE(SameRgb(down.pixel(99, 10), pal.color(QPalette::Light).rgb()));
    // Released and not hovered: no frame at all.
    EXPECT_TRUE(SameRgb(up.pixel(10, 0), pal.color(QPalette::Button).rgb()));
}

TEST_F(ImageButtonTest, HoveredLookHasARaisedFrame) {
    MoveTo(button, QPoint(30, 30));
    ASSERT_TRUE(WaitFor([&] { return button->IsHovering(); }));
    const QImage image = button->grab().toImage();
    const QPalette& pal = button->palette();
    EXPECT_TRUE(SameRgb(image.pixel(10, 0), pal.color(QPalette::Light).rgb()));
    EXPECT_TRUE(SameRgb(image.pixel(0, 10), pal.color(QPalette::Light).rgb()));
    EXPECT_TRUE(SameRgb(image.pixel(10, 59), pal.color(QPalette::Dark).rgb()));
    EXPECT_TRUE(SameRgb(image.pixel(100, 10), pal.color(QPalette::Dark).rgb()));
}

TEST_F(ImageButtonTest, DisabledCaptionIsEmbossedAndIconGreyed) {
    ImageButton plain(QStringLiteral("Convert"), window.get());
    plain.setGeometry(150, 13, 100, 60);
    plain.SetIcon(140);
    plain.SetAlignment(1, false);
    QPalette pal = plain.palette();
    const QColor highlight(0, 200, 0), shadow(0, 0, 200), face(240, 240, 240);
    pal.setColor(QPalette::Light, highlight);
    pal.setColor(QPalette::Dark, shadow);
    pal.setColor(QPalette::Button, face);
    plain.setPalette(pal);
    plain.show();

    const QImage enabled = plain.grab().toImage();
    plain.setEnabled(false);
    const QImage disabled = plain.grab().toImage();
    const QRect captionArea(0, 36, 100, 24);
    const QImage caption = disabled.copy(captionArea);
    // Text is antialiased: count pixels where the highlight or the shadow
    // colour clearly dominates.
    const auto greenish = [](const QColor& c) { return c.green() - qMax(c.red(), c.blue()) > 60; };
    const auto bluish = [](const QColor& c) { return c.blue() - qMax(c.red(), c.green()) > 60; };
    QRect lightBox, darkBox;
    int light = 0, dark = 0;
    for (int y = 0; y < caption.height(); ++y)
        for (int x = 0; x < caption.width(); ++x) {
            const QColor c = caption.pixelColor(x, y);
            if (greenish(c)) {
                lightBox |= QRect(x, y, 1, 1);
                ++light;
            }
            if (bluish(c)) {
                darkBox |= QRect(x, y, 1, 1);
                ++dark;
            }
        }
    EXPECT_GT(light, 10);
    EXPECT_GT(dark, 10);
    int lightWhenEnabled = 0;
    const QImage enabledCaption = enabled.copy(captionArea);
    for (int y = 0; y < enabledCaption.height(); ++y)
        for (int x = 0; x < enabledCaption.width(); ++x)
            lightWhenEnabled += greenish(enabledCaption.pixelColor(x, y)) ? 1 : 0;
    EXPECT_EQ(lightWhenEnabled, 0);
    EXPECT_EQ(lightBox.right(), darkBox.right() + 1);
    EXPECT_EQ(lightBox.bottom(), darkBox.bottom() + 1);

    // The disabled icon has lost its colours.
    int colourful = 0;
    for (int y = 3; y < 35; ++y)
        for (int x = 34; x < 66; ++x)
            colourful += disabled.pixelColor(x, y).hsvSaturation() > 90 ? 1 : 0;
    int colourfulEnabled = 0;
    for (int y = 3; y < 35; ++y)
        for (int x = 34; x < 66; ++x)
            colourfulEnabled += enabled.pixelColor(x, y).hsvSaturation() > 90 ? 1 : 0;
    EXPECT_GT(colourfulEnabled, 200);
    EXPECT_LT(colourful, colourfulEnabled / 10);
}

TEST_F(ImageButtonTest, TransparentButtonShowsTheParentBackground) {
    // What the window shows where the button is, without the button.
    button->hide();
    const QImage under = window->grab(button->geometry()).toImage();
    button->SetTransparent(true);
    button->show();
    EXPECT_FALSE(button->HasCachedBackground());
    const QImage image = button->grab().toImage();
    EXPECT_TRUE(button->HasCachedBackground());
    // The rows above the icon show the parent's tiled bitmap, not a fill.
    int differentFromFill = 0;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < button->width(); ++x) {
            ASSERT_TRUE(SameRgb(image.pixel(x, y), under.pixel(x, y))) << x << "," << y;
            differentFromFill +=
                SameRgb(image.pixel(x, y), button->palette().color(QPalette::Button).rgb()) ? 0 : 1;
        }
    EXPECT_GT(differentFromFill, 0);

    // Moving the button drops the copy; the next drawing takes the pixels of
    // its new place.
    button->move(button->pos() + QPoint(7, 5));
    EXPECT_FALSE(button->HasCachedBackground());
    const QImage moved = button->grab().toImage();
    button->hide();
    const QImage underMoved = window->grab(button->geometry()).toImage();
    button->show();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < button->width(); ++x)
            ASSERT_TRUE(SameRgb(moved.pixel(x, y), underMoved.pixel(x, y))) << x << "," << y;

    // A palette change of the window drops the copy; the next drawing takes
    // the new background.
    QPalette palette = window->palette();
    palette.setBrush(QPalette::Window, QColor(200, 30, 40));
    window->setPalette(palette);
    EXPECT_FALSE(button->HasCachedBackground());
    const QImage repainted = button->grab().toImage();
    EXPECT_TRUE(button->HasCachedBackground());
    EXPECT_TRUE(SameRgb(repainted.pixel(2, 1), qRgb(200, 30, 40)));
    EXPECT_TRUE(SameRgb(repainted.pixel(98, 58), qRgb(200, 30, 40)));
}

// A parent that tiles the background bitmap in its own paint code, as the
// main window does.
class TiledWindow : public QWidget {
public:
    TiledWindow() : tile_(LoadBitmapResource(139)) {}
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        ++paints;
        QPainter painter(this);
        painter.drawTiledPixmap(rect(), tile_, QPoint(0, 0));
    }

private:
    QPixmap tile_;
};

TEST(ImageButtonBackground, CapturesWhatTheParentPaintsItself) {
    TiledWindow window;
    window.resize(300, 120);
    auto* button = new ImageButton(QStringLiteral("Exit"), &window);
    button->setGeometry(77, 41, 99, 36); // not a multiple of the tile size
    button->SetIcon(159);
    button->SetTransparent(false);
    button->SetAlignment(1, false);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(WaitFor([&] { return button->HasCachedBackground(); }));

    const QImage tile = LoadBitmapResource(139).toImage();
    const QImage image = button->grab().toImage();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < button->width(); ++x)
            ASSERT_TRUE(SameRgb(image.pixel(x, y), tile.pixel((77 + x) % 64, (41 + y) % 64)))
                << x << "," << y;
    // Once captured, repainting the button does not run the parent's paint
    // code again for it.
    const int paints = window.paints;
    button->grab();
    button->grab();
    EXPECT_EQ(window.paints, paints);
}

TEST_F(ImageButtonTest, TooltipShowsTheTextWrappedAt400Pixels) {
    EXPECT_EQ(button->TooltipText(), QStringLiteral("Open a video file"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Open a video file"));

    QHelpEvent help(QEvent::ToolTip, QPoint(20, 20), button->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(button, &help);
    ASSERT_TRUE(WaitFor([] { return QToolTip::isVisible(); }));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Open a video file"));
    QToolTip::hideText();

    QString longTip;
    for (int i = 0; i < 40; ++i)
        longTip += QStringLiteral("word%1 ").arg(i);
    longTip = longTip.trimmed();
    button->SetTooltip(longTip, true);
    QApplication::sendEvent(button, &help);
    ASSERT_TRUE(WaitFor([] { return QToolTip::isVisible(); }));
    const QStringList lines = QToolTip::text().split(QLatin1Char('\n'));
    EXPECT_GT(lines.size(), 1);
    const QFontMetrics metrics(QToolTip::font());
    for (const QString& line : lines)
        EXPECT_LE(metrics.horizontalAdvance(line), ImageButton::kTooltipMaxWidth)
            << line.toStdString();
    EXPECT_EQ(lines.join(QLatin1Char(' ')), longTip);
    QToolTip::hideText();

    // An inactive tip is kept but not shown.
    ASSERT_TRUE(WaitFor([] { return !QToolTip::isVisible(); }));
    button->SetTooltip(QStringLiteral("Later"), false);
    EXPECT_TRUE(button->toolTip().isEmpty());
    EXPECT_EQ(button->TooltipText(), QStringLiteral("Later"));
    QApplication::sendEvent(button, &help);
    QApplication::processEvents();
    EXPECT_FALSE(QToolTip::isVisible());
}

TEST(ImageButtonWrap, SingleOverlongWordIsBrokenAndParagraphsKept) {
    const QFont font = QToolTip::font();
    const QString wrapped =
        ImageButton::WrapTooltip(QString(200, QLatin1Char('m')) + "\nshort", font, 400);
    const QStringList lines = wrapped.split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.last(), QStringLiteral("short"));
    for (const QString& line : lines)
        EXPECT_LE(QFontMetrics(font).horizontalAdvance(line), 400);
    EXPECT_EQ(ImageButton::WrapTooltip(QStringLiteral("Help"), font, 400), QStringLiteral("Help"));
}

TEST_F(ImageButtonTest, HandCursorIsShownOverTheButton) {
    EXPECT_EQ(button->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(button->cursor().hotSpot(), QPoint(5, 0));
    EXPECT_EQ(button->SetCursor(0, true), 0);
    EXPECT_EQ(button->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(button->SetCursor(4242, false), 1);
    EXPECT_EQ(button->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(button->SetCursor(141, false), 0);
    EXPECT_EQ(button->cursor().hotSpot(), QPoint(5, 0));
}

TEST_F(ImageButtonTest, CaptionIsTheAccessibleName) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(button);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Open Video"));
    EXPECT_EQ(iface->role(), QAccessible::Button);
    button->setText(QStringLiteral("&Help"));
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Help"));
    EXPECT_EQ(iface->text(QAccessible::Description), QStringLiteral("Open a video file"));
}

TEST_F(ImageButtonTest, AlignmentAboveThreeIsRefused) {
    EXPECT_EQ(button->Alignment(), 1);
    EXPECT_EQ(button->SetAlignment(4, true), 4);
    EXPECT_EQ(button->Alignment(), 1);
    EXPECT_EQ(button->SetAlignment(0, false), 0);
    EXPECT_EQ(button->Alignment(), 0);
}

TEST_F(ImageButtonTest, ButtonWithoutCaptionCentresItsIcon) {
    ImageButton bare(QString(), window.get());
    bare.setGeometry(150, 13, 40, 40);
    bare.SetIcon(152);
    bare.SetAlignment(1, false);
    bare.show();
    const QImage image = bare.grab().toImage();
    const QRect ink = InkBox(image, bare.palette().color(QPalette::Button).rgb(), image.rect());
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.top(), 4);
    EXPECT_LE(qAbs(ink.center().y() - 20), 1);
    EXPECT_LE(qAbs(ink.center().x() - 20), 1);
}

// ------------------------------------------------------------- seek slider

class SeekSliderTest : public ::testing::Test {
protected:
    void SetUp() override {
        slider = std::make_unique<SeekSlider>(&flag);
        slider->setRange(0, 600);
        slider->setValue(0);
        slider->resize(300, 24);
        slider->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(slider.get()));
    }

    int32_t flag = 0;
    std::unique_ptr<SeekSlider> slider;
};

TEST_F(SeekSliderTest, PressOnTheChannelRaisesTheFlagUntilRelease) {
    QSignalSpy released(slider.get(), &SeekSlider::captureReleased);
    QTest::mousePress(slider.get(), Qt::LeftButton, {}, QPoint(250, 12));
    EXPECT_EQ(flag, 1);
    // The thumb jumped towards the pointer.
    EXPECT_GT(slider->value(), 400);
    EXPECT_LT(slider->value(), 600);
    EXPECT_EQ(released.count(), 0);
    QTest::mouseRelease(slider.get(), Qt::LeftButton, {}, QPoint(250, 12));
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(released.count(), 1);
}

TEST_F(SeekSliderTest, FlagIsAlreadyUpWhenTheValueChanges) {
    std::vector<int32_t> seen;
    QObject::connect(slider.get(), &QSlider::valueChanged, [&](int) { seen.push_back(flag); });
    QTest::mousePress(slider.get(), Qt::LeftButton, {}, QPoint(150, 12));
    ASSERT_FALSE(seen.empty());
    for (int32_t value : seen)
        EXPECT_EQ(value, 1);
    int32_t flagAtRelease = -1;
    QObject::connect(slider.get(), &SeekSlider::captureReleased, [&] { flagAtRelease = flag; });
    QTest::mouseRelease(slider.get(), Qt::LeftButton, {}, QPoint(150, 12));
    EXPECT_EQ(flagAtRelease, 0);
}

TEST_F(SeekSliderTest, DraggingTheThumbKeepsTheFlagUp) {
    slider->setValue(300);
    const int start = slider->value();
    QStyleOptionSlider opt;
    opt.initFrom(slider.get());
    opt.orientation = Qt::Horizontal;
    opt.minimum = slider->minimum();
    opt.maximum = slider->maximum();
    opt.sliderPosition = opt.sliderValue = slider->value();
    const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &opt,
                                                         QStyle::SC_SliderHandle, slider.get());
    QTest::mousePress(slider.get(), Qt::LeftButton, {}, handle.center());
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(slider->value(), start); // pressing the thumb does not move it
    QTest::mouseMove(slider.get(), handle.center() + QPoint(60, 0));
    EXPECT_EQ(flag, 1);
    EXPECT_GT(slider->value(), start);
    QTest::mouseRelease(slider.get(), Qt::LeftButton, {}, handle.center() + QPoint(60, 0));
    EXPECT_EQ(flag, 0);
}

TEST_F(SeekSliderTest, OtherButtonsLeaveTheFlagAlone) {
    QSignalSpy released(slider.get(), &SeekSlider::captureReleased);
    QTest::mousePress(slider.get(), Qt::RightButton, {}, QPoint(250, 12));
    EXPECT_EQ(flag, 0);
    QTest::mouseRelease(slider.get(), Qt::RightButton, {}, QPoint(250, 12));
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(released.count(), 0);
}

} // namespace
} // namespace orvelin
