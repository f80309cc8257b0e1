#include "preview/PreviewPlacement.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace orvelin {

namespace {

QSize FrameSize(const QMargins& frame) {
    return {frame.left() + frame.right(), frame.top() + frame.bottom()};
}

// `picture` shrunk into `room` keeping its shape (never enlarged); empty when
// there is no room.
QSize FitPicture(const QSize& picture, const QSize& room) {
    if (room.width() <= 0 || room.height() <= 0 || picture.isEmpty())
        return {};
    if (picture.width() <= room.width() && picture.height() <= room.height())
        return picture;
    QSize fitted = picture.scaled(room, Qt::KeepAspectRatio);
    return fitted.expandedTo(QSize(1, 1));
}

int64_t Area(const QSize& size) {
    return int64_t(size.width()) * size.height();
}

int64_t Overlap(const QRect& a, const QRect& b) {
    const QRect both = a.intersected(b);
    return both.isEmpty() ? 0 : Area(both.size());
}

// Moves `outer` into `available` as far as needed (its size fits).
QRect MovedInto(const QRect& available, QRect outer) {
    outer.moveLeft(std::clamp(outer.left(), available.left(),
                              std::max(available.left(), available.right() - outer.width() + 1)));
    outer.moveTop(std::clamp(outer.top(), available.top(),
                             std::max(available.top(), available.bottom() - outer.height() + 1)));
    return outer;
}

enum Side { kRight, kLeft, kBelow, kAbove };
constexpr std::array<Side, 4> kSides{kRight, kLeft, kBelow, kAbove};

// The part of the available area on one side of the main window.
QRect SideRegion(const QRect& available, const QRect& main, Side side) {
    QRect r = available;
    switch (side) {
    case kRight:
        r.setLeft(main.right() + 1);
        break;
    case kLeft:
        r.setRight(main.left() - 1);
        break;
    case kBelow:
        r.setTop(main.bottom() + 1);
        break;
    case kAbove:
        r.setBottom(main.top() - 1);
        break;
    }
    return r.intersected(available);
}

// A window of `outer` size against one side of the main window, lined up
// with its top (left and right) or its left edge (above and below), kept in
// `region`.
QRect AgainstSide(const QRect& region, const QRect& main, const QSize& outer, Side side) {
    QRect r(QPoint(0, 0), outer);
    switch (side) {
    case kRight:
        r.moveTopLeft(QPoint(main.right() + 1, main.top()));
        break;
    case kLeft:
        r.moveTopLeft(QPoint(main.left() - outer.width(), main.top()));
        break;
    case kBelow:
        r.moveTopLeft(QPoint(main.left(), main.bottom() + 1));
        break;
    case kAbove:
        r.moveTopLeft(QPoint(main.left(), main.top() - outer.height()));
        break;
    }
    return MovedInto(region, r);
}

} // namespace

QRect KeptOnScreen(const QRect& available, const QRect& outer, const QMargins& frame) {
    const QSize frameSize = FrameSize(frame);
    QSize picture = outer.size() - frameSize;
    picture = FitPicture(picture, available.size() - frameSize);
    if (picture.isEmpty())
        picture = QSize(1, 1);
    return MovedInto(available, QRect(outer.topLeft(), picture + frameSize));
}

QRect PreviewWindowRect(const QRect& available, const QRect& mainWindow, const QSize& picture,
                        const QMargins& frame) {
    const QSize frameSize = FrameSize(frame);
    const QSize wanted = picture.isEmpty() ? QSize(1, 1) : picture;
    QSize whole = FitPicture(wanted, available.size() - frameSize);
    if (whole.isEmpty())
        whole = QSize(1, 1);
    const QSize wholeOuter = whole + frameSize;

    const QRect main = mainWindow.intersected(available);
    if (main.isEmpty()) {
        QRect r(QPoint(0, 0), wholeOuter);
        r.moveCenter(available.center());
        return MovedInto(available, r);
    }

    // Beside the main window: the picture whole on the first side that
    // takes it, else the side that keeps most of it.
    const int64_t smallest = std::min<int64_t>(Area(whole), kSmallestBesidePicture);
    QRect best;
    int64_t bestArea = 0;
    for (Side side : kSides) {
        const QRect region = SideRegion(available, main, side);
        const QSize fitted = FitPicture(wanted, region.size() - frameSize);
        if (fitted.isEmpty())
            continue;
        const QRect place = AgainstSide(region, main, fitted + frameSize, side);
        if (fitted == whole)
            return place;
        if (Area(fitted) >= smallest && Area(fitted) > bestArea) {
            best = place;
            bestArea = Area(fitted);
        }
    }
    if (bestArea > 0)
        return best;

    // No room beside it: the place that covers the main window least, among
    // those against each side and in the corners of the screen.
    std::array<QRect, 8> places{};
    for (size_t i = 0; i < kSides.size(); ++i)
        places[i] = AgainstSide(available, main, wholeOuter, kSides[i]);
    const QRect corner(available.topLeft(), wholeOuter);
    places[4] = MovedInto(available, corner);
    places[5] = MovedInto(available, corner.translated(available.width(), 0));
    places[6] = MovedInto(available, corner.translated(0, available.height()));
    places[7] = MovedInto(available, corner.translated(available.width(), available.height()));
    return *std::min_element(places.begin(), places.end(), [&](const QRect& a, const QRect& b) {
        return Overlap(a, main) < Overlap(b, main);
    });
}

} // namespace orvelin
