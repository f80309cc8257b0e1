#include "convert/Slideshow.h"

#include "app/SettingsStore.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace orvelin {

namespace {

constexpr std::array<const char*, kTransitionCount> kTransitionNames = {
    "None",
    "Iris",
    "RadialWipe",
    "Fade",
    "ZigZag",
    "RandomBars",
    "Spiral",
    "Pixelate",
    "Wheel",
    "Strips",
    "Inset",
    "Blinds",
    "Wipe",
    "CheckerBoard",
    "Slide",
    "Stretch",
    "RandomDissolve",
    "Horizontal",
    "Vertical",
    "Four corners",
    "Barn doors, horizontal",
    "Diagonal, NW to SE",
    "Triangles, top/bottom",
    "Triangles, left/right",
    "Diagonal stripe, SW to NE",
    "Cross",
    "Diamond Box",
    "Wedge, top",
    "Wedge, left",
    "Sawtooth, left",
    "Sawtooth, top",
    "Sawtooth, vertical",
    "Sawtooth, horizontal",
    "Box",
    "Diamond",
    "Hexagon",
    "Circle",
    "Oval, horizontal",
    "Rounded rectangle, horizontal",
    "4-point star",
    "5-point star",
    "Heart",
    "Radial, left",
    "Radial, top split",
    "Radial, top-right corner",
    "Center radial, top",
    "Matrix, horizontal",
};

// Whole seconds of a duration, truncated toward zero; a negative duration
// (a failed measurement) counts as none.
int32_t WholeSeconds(REFERENCE_TIME duration) {
    if (duration <= 0)
        return 0;
    const REFERENCE_TIME seconds = duration / media::kUnitsPerSecond;
    return static_cast<int32_t>(std::min<REFERENCE_TIME>(seconds, INT32_MAX));
}

} // namespace

RandomSource DefaultRandomSource() {
    return [] {
        static std::once_flag seeded;
        std::call_once(seeded, [] { std::srand(static_cast<unsigned>(std::time(nullptr))); });
        return std::rand();
    };
}

int32_t ChooseTransition(int32_t mode, int32_t position, int32_t chosenIndex, int32_t current,
                         const RandomSource& random) {
    switch (mode) {
    case kTransitionRandom: {
        if (!random)
            return current;
        // rand() is never negative; a stray negative value still lands in range.
        const int value = random() % kTransitionCount;
        return value < 0 ? value + kTransitionCount : value;
    }
    case kTransitionSequence: {
        if (position <= 0)
            return 0;
        // Same result as subtracting 46 while above 46, without the loop.
        return position <= kLastTransition ? position : (position - 1) % kLastTransition + 1;
    }
    case kTransitionSame:
        return chosenIndex;
    default:
        return current;
    }
}

QString GetTransitionName(int32_t index) {
    if (index < 0 || index >= kTransitionCount)
        return QStringLiteral("Horizontal");
    return QString::fromLatin1(kTransitionNames[static_cast<size_t>(index)]);
}

void LoadTransitionSettings(const SettingsStore& store, MainState& state) {
    state.photoSeconds =
        store.GetInt(kTransitionSettingsSection, kPhotoDurationKey, kDefaultPhotoSeconds);
    state.transitionSeconds =
        store.GetInt(kTransitionSettingsSection, kTransitionDurationKey, kDefaultTransitionSeconds);
    state.transitionMode =
        store.GetInt(kTransitionSettingsSection, kTransitionTypeKey, kDefaultTransitionMode);
    state.transitionIndex =
        store.GetInt(kTransitionSettingsSection, kTransitionNameKey, kDefaultTransitionIndex);
}

void ClearSlideshowLists(MainState& state) {
    state.itemCount = 0;
    state.items.clear();
    state.musicCount = 0;
    state.music.clear();
}

bool AddClipItem(MainState& state, const QString& path, REFERENCE_TIME duration,
                 const RandomSource& random) {
    if (state.itemCount < 0 || state.itemCount >= kMaxItems)
        return false;
    state.items.resize(static_cast<size_t>(state.itemCount));
    ClipEntry entry;
    entry.path = path;
    entry.duration = static_cast<REFERENCE_TIME>(WholeSeconds(duration)) * media::kUnitsPerSecond;
    entry.transition =
        ChooseTransition(state.transitionMode, state.itemCount, state.transitionIndex, 0, random);
    entry.transitionDuration =
        static_cast<REFERENCE_TIME>(state.transitionSeconds) * media::kUnitsPerSecond;
    state.items.push_back(entry);
    ++state.itemCount;
    return true;
}

bool AddMusicItem(MainState& state, const QString& path, REFERENCE_TIME duration) {
    if (state.musicCount < 0 || state.musicCount >= kMaxMusic)
        return false;
    state.music.resize(static_cast<size_t>(state.musicCount));
    ClipEntry entry;
    entry.path = path;
    entry.duration = duration;
    state.music.push_back(entry);
    ++state.musicCount;
    return true;
}

void SetOpenedVideo(MainState& state, const QString& path, REFERENCE_TIME clipDuration,
                    REFERENCE_TIME musicDuration, const RandomSource& random) {
    ClearSlideshowLists(state);
    state.photoSeconds = WholeSeconds(clipDuration);
    AddClipItem(state, path, clipDuration, random);
    AddMusicItem(state, path, musicDuration);
    state.audioSourceMode = 2;
}

} // namespace orvelin
