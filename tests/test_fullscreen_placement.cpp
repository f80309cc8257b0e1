#include "preview/FullScreenPlacement.h"
#include "preview/PreviewPlacement.h"

#include <algorithm>

#include <gtest/gtest.h>

using orvelin::FullScreenVideoRect;
using orvelin::KeptOnScreen;
using orvelin::PreviewWindowRect;

TEST(FullScreenPlacement, SmallVideoFillsTheWidthOfALargerScreen) {
    EXPECT_EQ(FullScreenVideoRect(640, 480, 1280, 1024), QRect(0, 32, 1280, 960));
}

TEST(FullScreenPlacement, WideVideoOnASmallScreenIsCentredVertically) {
    EXPECT_EQ(FullScreenVideoRect(1920, 800, 1024, 768), QRect(0, 171, 1024, 426));
}

TEST(FullScreenPlacement, TallVideoFillsTheHeight) {
    EXPECT_EQ(FullScreenVideoRect(320, 480, 1280, 1024), QRect(299, 0, 682, 1024));
}

TEST(FullScreenPlacement, TinyVideoIsShownAtTenTimesItsSizeCentred) {
    EXPECT_EQ(FullScreenVideoRect(60, 40, 1280, 1024), QRect(340, 312, 600, 400));
}

TEST(FullScreenPlacement, VideoTallerThanTheScreenAtTenTimesButNarrowerFillsTheHeight) {
    // 10 × size: 1000 × 2000 on 1280 × 1024; only the height overflows.
    EXPECT_EQ(FullScreenVideoRect(100, 200, 1280, 1024), QRect(384, 0, 512, 1024));
}

TEST(FullScreenPlacement, VideoWithoutSizeFillsTheScreen) {
    EXPECT_EQ(FullScreenVideoRect(0, 0, 800, 600), QRect(0, 0, 800, 600));
    EXPECT_EQ(FullScreenVideoRect(640, 0, 800, 600), QRect(0, 0, 800, 600));
}

TEST(FullScreenPlacement, EveryPlacementStaysOnTheScreenAndKeepsTheAspect) {
    const QRect screen(0, 0, 1366, 768);
    for (int w = 16; w <= 4096; w += 97) {
        for (int h = 16; h <= 2160; h += 89) {
            const QRect r = FullScreenVideoRect(w, h, screen.width(), screen.height());
            ASSERT_TRUE(screen.contains(r)) << w << "x" << h;
            const double want = double(w) / h;
            const double got = double(r.width()) / r.height();
            // At most a pixel or two of rounding against the long side.
            EXPECT_NEAR(got, want, want * 4.0 / std::min(r.width(), r.height())) << w << "x" << h;
        }
    }
}

// --------------------------------------------------------- preview window

namespace {
// A title bar of 24 pixels and thin borders.
const QMargins kFrame(2, 24, 2, 2);

// What every place must be: on the screen, the picture's shape kept (within
// rounding) and never larger than the picture.
void ExpectSound(const QRect& outer, const QRect& available, const QSize& picture) {
    EXPECT_TRUE(available.contains(outer))
        << outer.x() << "," << outer.y() << " " << outer.width() << "x" << outer.height();
    const QSize client = outer.size().shrunkBy(kFrame);
    EXPECT_LE(client.width(), picture.width());
    EXPECT_LE(client.height(), picture.height());
    const double want = double(picture.width()) / picture.height();
    const double got = double(client.width()) / client.height();
    EXPECT_NEAR(got, want, want * 2.0 / std::min(client.width(), client.height()));
}
} // namespace

TEST(PreviewWindowPlace, BesideTheMainWindowWhereTheScreenHasRoom) {
    const QRect screen(0, 0, 1600, 1200);
    const QRect main(532, 441, 536, 318); // centred
    // Whole on the right when it fits there.
    EXPECT_EQ(PreviewWindowRect(screen, main, QSize(320, 240), kFrame), QRect(1068, 441, 324, 266));
    // 640 × 360 is too wide for either side: whole below.
    EXPECT_EQ(PreviewWindowRect(screen, main, QSize(640, 360), kFrame), QRect(532, 759, 644, 386));
    // 720p fits whole nowhere beside it: the side that keeps most of the
    // picture (below), scaled down with its shape.
    const QRect hd = PreviewWindowRect(screen, main, QSize(1280, 720), kFrame);
    ExpectSound(hd, screen, QSize(1280, 720));
    EXPECT_FALSE(hd.intersects(main));
    EXPECT_EQ(hd.top(), main.bottom() + 1);
    EXPECT_EQ(hd.bottom(), screen.bottom());
    // A work area that does not start at 0, 0 and a main window at the right.
    const QRect panel(1920, 32, 1280, 992);
    const QRect right(2600, 100, 536, 318);
    const QRect r = PreviewWindowRect(panel, right, QSize(480, 270), kFrame);
    EXPECT_EQ(r, QRect(2600 - 484, 100, 484, 296));
}

TEST(PreviewWindowPlace, NeverBeyondASmallScreen) {
    // 720p on 1024 × 768 with the main window centred: a picture beside it
    // (below, 353 × 199) rather than one that buries it.
    const QRect screen(0, 0, 1024, 768);
    const QRect main(244, 225, 536, 318);
    const QRect hd = PreviewWindowRect(screen, main, QSize(1280, 720), kFrame);
    ExpectSound(hd, screen, QSize(1280, 720));
    EXPECT_FALSE(hd.intersects(main));
    EXPECT_EQ(hd.size().shrunkBy(kFrame), QSize(353, 199));
    // No room beside a main window that fills the screen: the picture as
    // large as the screen allows, where it covers least (from the bottom).
    const QRect big(0, 0, 800, 500);
    const QRect over = PreviewWindowRect(QRect(0, 0, 800, 600), big, QSize(640, 480), kFrame);
    ExpectSound(over, QRect(0, 0, 800, 600), QSize(640, 480));
    EXPECT_EQ(over.size().shrunkBy(kFrame), QSize(640, 480));
    EXPECT_EQ(over.bottom(), 599);
    // A main window that is not shown: centred.
    EXPECT_EQ(PreviewWindowRect(screen, QRect(), QSize(320, 240), kFrame).center(),
              screen.center());
    // Every combination stays on the screen with the picture's shape.
    for (const QSize& picture :
         {QSize(1920, 1080), QSize(720, 1280), QSize(64, 48), QSize(4000, 300), QSize(1280, 720)}) {
        for (const QRect& available :
             {QRect(0, 0, 640, 480), QRect(0, 0, 1024, 768), QRect(100, 30, 1600, 1170)}) {
            for (const QPoint& at : {QPoint(0, 0), QPoint(300, 200), QPoint(900, 700)}) {
                const QRect m(at, QSize(536, 318));
                ExpectSound(PreviewWindowRect(available, m, picture, kFrame), available, picture);
            }
        }
    }
}

TEST(PreviewWindowPlace, ANewSizeKeepsThePlaceOnTheScreen) {
    const QRect screen(0, 0, 1024, 768);
    // Fits: stays where it is.
    EXPECT_EQ(KeptOnScreen(screen, QRect(10, 20, 324, 266), kFrame), QRect(10, 20, 324, 266));
    // Runs off the right and the bottom: moved in.
    EXPECT_EQ(KeptOnScreen(screen, QRect(900, 700, 324, 266), kFrame), QRect(700, 502, 324, 266));
    // Larger than the screen: scaled down with its shape, then moved in.
    const QRect hd = KeptOnScreen(screen, QRect(50, 50, 1924, 1106), kFrame);
    ExpectSound(hd, screen, QSize(1920, 1080));
    EXPECT_EQ(hd.size().shrunkBy(kFrame), QSize(1020, 573));
}
