#include "media/TransitionPatterns.h"

#include <QUuid>
#include <array>
#include <utility>

namespace orvelin::media {

namespace {

// The patterns of GStreamer's smpte and smptealpha elements.
constexpr std::array<std::pair<int, int>, 11> kAvailableRanges{{
    {1, 8},
    {21, 26},
    {41, 48},
    {61, 68},
    {101, 101},
    {201, 207},
    {211, 214},
    {221, 228},
    {231, 236},
    {241, 246},
    {251, 264},
}};

// Mask numbers without a pattern of their own, and the pattern that comes
// nearest: a zigzag edge becomes a straight one, shapes growing from the
// centre become the growing rectangle, the matrix fills like a bar.
constexpr std::array<std::pair<int, int>, 15> kNearestMask{{
    {71, 1},    // sawtooth, left
    {72, 2},    // sawtooth, top
    {73, 21},   // sawtooth, vertical
    {74, 22},   // sawtooth, horizontal
    {102, 48},  // diamond
    {103, 48},  // triangle
    {113, 101}, // hexagon
    {119, 101}, // circle
    {120, 101}, // oval
    {122, 101}, // cat eye
    {124, 101}, // rounded rectangle
    {127, 101}, // 4-point star
    {128, 101}, // 5-point star
    {130, 101}, // heart
    {301, 1},   // matrix, horizontal
}};

// The named transforms and the pattern that looks most like them.
struct NamedTransform {
    const char* classId;
    TransitionPattern pattern;
};
constexpr TransitionPattern wipe(int type) {
    return {TransitionPattern::Kind::Wipe, type};
}
constexpr TransitionPattern kFade{TransitionPattern::Kind::Crossfade, 0};

const std::array<NamedTransform, 16> kNamed{{
    {"{049F2CE6-D996-4721-897A-DB15CE9EB73D}", wipe(101)}, // Iris
    {"{164484A9-35D9-4FB7-9FAB-48273B96AA1D}", wipe(201)}, // RadialWipe
    {"{16B280C5-EE70-11D1-9066-00C04FD9189D}", kFade},     // Fade
    {"{23E26328-3928-40F2-95E5-93CAD69016EB}", wipe(1)},   // ZigZag
    {"{2E7700B7-27C4-437F-9FBF-1E8BE2817566}", wipe(2)},   // RandomBars
    {"{4A03DCB9-6E17-4A39-8845-4EE7DC5331A5}", wipe(221)}, // Spiral
    {"{4CCEA634-FBE0-11D1-906A-00C04FD9189D}", kFade},     // Pixelate
    {"{5AE1DAE0-1461-11D2-A484-00C04F8EFB69}", wipe(207)}, // Wheel
    {"{63A4B1FC-259A-4A5B-8129-A83B8C9E6F4F}", wipe(41)},  // Strips
    {"{76F363F2-7E9F-4ED7-A6A7-EE30351B6628}", wipe(3)},   // Inset
    {"{9A4A4A51-FB3A-4F4B-9B57-A2912A289769}", wipe(2)},   // Blinds
    {"{AF279B30-86EB-11D1-81BF-0000F87557DB}", wipe(1)},   // Wipe
    {"{B3EE7802-8224-4787-A1EA-F0DE16DEABD3}", wipe(7)},   // CheckerBoard
    {"{D1C5A1E7-CC47-4E32-BDD2-4B3C5FC50AF5}", wipe(1)},   // Slide
    {"{F088DE73-BDD0-4E3C-81F8-6D32F4FE9D28}", wipe(21)},  // Stretch
    {"{F7F4A1B6-8E87-452F-A2D7-3077F508DBC0}", kFade},     // RandomDissolve
}};

} // namespace

bool SmptePatternAvailable(int smpteType) {
    for (const auto& [first, last] : kAvailableRanges) {
        if (smpteType >= first && smpteType <= last)
            return true;
    }
    return false;
}

TransitionPattern PatternForTransition(const QString& classId, std::optional<int> maskNumber) {
    const QUuid id = QUuid::fromString(classId);
    if (id == QUuid::fromString(kSmpteWipeClassId)) {
        const int mask = maskNumber.value_or(1);
        if (SmptePatternAvailable(mask))
            return wipe(mask);
        for (const auto& [number, nearest] : kNearestMask) {
            if (number == mask)
                return wipe(nearest);
        }
        return wipe(1);
    }
    for (const NamedTransform& named : kNamed) {
        if (QUuid::fromString(QLatin1String(named.classId)) == id)
            return named.pattern;
    }
    return kFade;
}

} // namespace orvelin::media
