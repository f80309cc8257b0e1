#pragma once

#include "convert/MainState.h"

#include <QString>
#include <cstdint>
#include <functional>

namespace orvelin {

class SettingsStore;

// The transitions a clip can carry: 0 is "None", 1 to 46 name a transform.
constexpr int32_t kTransitionCount = 47;
constexpr int32_t kLastTransition = kTransitionCount - 1;

// How a new clip's transition number is chosen (MainState::transitionMode).
constexpr int32_t kTransitionRandom = 0;
constexpr int32_t kTransitionSequence = 1;
constexpr int32_t kTransitionSame = 2;

// The store section of the photo and transition defaults and its keys.
inline const QString kTransitionSettingsSection = QStringLiteral("TransitionSettings");
inline const QString kPhotoDurationKey = QStringLiteral("PhotoDuration");
inline const QString kTransitionDurationKey = QStringLiteral("TransitionDuration");
inline const QString kTransitionTypeKey = QStringLiteral("TransitionType");
inline const QString kTransitionNameKey = QStringLiteral("TransitionName");

constexpr int32_t kDefaultPhotoSeconds = 8;
constexpr int32_t kDefaultTransitionSeconds = 0;
constexpr int32_t kDefaultTransitionMode = kTransitionRandom;
constexpr int32_t kDefaultTransitionIndex = 0;

// A source of non-negative pseudo-random numbers, as rand() gives them.
using RandomSource = std::function<int()>;

// The program's random source: rand(), seeded with the current time the
// first time any source of this kind is asked for a number.
RandomSource DefaultRandomSource();

// The transition number of the clip at `position`:
//  random:   random() mod 47;
//  sequence: the position, less 46 for as long as it exceeds 46
//            (46 -> 46, 47 -> 1, 92 -> 46, 93 -> 1);
//  same:     `chosenIndex`, as stored;
//  any other mode leaves the clip's `current` number as it is.
int32_t ChooseTransition(int32_t mode, int32_t position, int32_t chosenIndex, int32_t current,
                         const RandomSource& random);

// The user-visible name of a transition number; numbers outside 0 to 46
// read "Horizontal".
QString GetTransitionName(int32_t index);

// Reads the four photo and transition defaults into photoSeconds,
// transitionSeconds, transitionMode and transitionIndex.
void LoadTransitionSettings(const SettingsStore& store, MainState& state);

// Empties the item list and the music list.
void ClearSlideshowLists(MainState& state);

// Appends a clip to the item list: its duration cut to whole seconds, its
// transition number chosen for its position, and a transition length of
// transitionSeconds. Answers false (nothing added) when the list is full.
bool AddClipItem(MainState& state, const QString& path, REFERENCE_TIME duration,
                 const RandomSource& random);

// Appends an entry to the music list with its duration as measured.
// Answers false (nothing added) when the list is full.
bool AddMusicItem(MainState& state, const QString& path, REFERENCE_TIME duration);

// Makes an opened video the whole slideshow: both lists are emptied, the
// file becomes item 0 (duration cut to whole seconds, which also become the
// in-memory photo duration) and music entry 0 with `musicDuration`, and the
// sound is taken from the music list (audioSourceMode 2).
void SetOpenedVideo(MainState& state, const QString& path, REFERENCE_TIME clipDuration,
                    REFERENCE_TIME musicDuration, const RandomSource& random);

} // namespace orvelin
