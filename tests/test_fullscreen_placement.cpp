#include "preview/FullScreenPlacement.h"

#include <gtest/gtest.h>

using orvelin::FullScreenVideoRect;
using orvelin::InitialPreviewRect;

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

TEST(InitialPreviewPlace, StandsAboveTheMainWindow) {
    const QRect workArea(0, 0, 1280, 1000);
    const QRect mainWindow(300, 605, 600, 350);
    const QRect r = InitialPreviewRect(workArea, mainWindow);
    EXPECT_EQ(r.left(), 100);
    EXPECT_EQ(r.top(), 5);
    EXPECT_EQ(r.left() + r.width(), (605 - 5) * 4 / 3); // right edge 800
    EXPECT_EQ(r.top() + r.height(), 605);               // bottom at the main window's top
}

TEST(InitialPreviewPlace, FollowsTheWorkAreaOrigin) {
    const QRect workArea(1920, 40, 1280, 1000);
    const QRect r = InitialPreviewRect(workArea, QRect(2000, 640, 600, 350));
    EXPECT_EQ(r, QRect(2020, 45, (640 - 40 - 5) * 4 / 3 - 100, 640 - 45));
}
