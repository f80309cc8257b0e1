#include "convert/Slideshow.h"

#include "app/SettingsStore.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

namespace orvelin {
namespace {

constexpr REFERENCE_TIME kSecond = 10'000'000;

// A random source that hands out the given values in turn.
RandomSource Scripted(std::vector<int> values) {
    auto next = std::make_shared<size_t>(0);
    return [values = std::move(values), next] { return values[(*next)++ % values.size()]; };
}

RandomSource NeverCalled() {
    return []() -> int {
        ADD_FAILURE() << "the random source must not be used";
        return 0;
    };
}

TEST(SlideshowTransition, SequenceWrapsAroundAfterTheLastTransition) {
    const auto seq = [](int32_t position) {
        return ChooseTransition(kTransitionSequence, position, 5, 9, NeverCalled());
    };
    EXPECT_EQ(seq(0), 0);
    EXPECT_EQ(seq(1), 1);
    EXPECT_EQ(seq(46), 46);
    EXPECT_EQ(seq(47), 1);
    EXPECT_EQ(seq(92), 46);
    EXPECT_EQ(seq(93), 1);
    EXPECT_EQ(seq(999), 999 - 21 * 46);
    // Every position lands on a real transition.
    for (int32_t position = 0; position < kMaxItems; ++position) {
        int32_t expected = position;
        while (expected > 46)
            expected -= 46;
        ASSERT_EQ(seq(position), expected) << "position " << position;
    }
}

TEST(SlideshowTransition, SameModeUsesTheChosenIndexAtEveryPosition) {
    for (int32_t position : {0, 1, 46, 47, 500})
        EXPECT_EQ(ChooseTransition(kTransitionSame, position, 17, 3, NeverCalled()), 17);
    EXPECT_EQ(ChooseTransition(kTransitionSame, 4, 0, 3, NeverCalled()), 0);
}

TEST(SlideshowTransition, UnknownModeKeepsTheCurrentIndex) {
    EXPECT_EQ(ChooseTransition(3, 10, 17, 12, NeverCalled()), 12);
    EXPECT_EQ(ChooseTransition(-1, 10, 17, 0, NeverCalled()), 0);
}

TEST(SlideshowTransition, RandomModeTakesTheGeneratorModulo47) {
    const RandomSource random = Scripted({0, 46, 47, 93, 2147483647, 100});
    std::vector<int32_t> got;
    for (int i = 0; i < 6; ++i)
        got.push_back(ChooseTransition(kTransitionRandom, 0, 5, 9, random));
    EXPECT_EQ(got, (std::vector<int32_t>{0, 46, 0, 46, 2147483647 % 47, 6}));
}

TEST(SlideshowTransition, RandomModeStaysInRangeAndCoversTheTable) {
    const RandomSource random = DefaultRandomSource();
    std::set<int32_t> seen;
    for (int i = 0; i < 20000; ++i) {
        const int32_t index = ChooseTransition(kTransitionRandom, i, 0, 0, random);
        ASSERT_GE(index, 0);
        ASSERT_LE(index, 46);
        seen.insert(index);
    }
    EXPECT_EQ(seen.size(), 47u);
    // A negative value from a foreign generator still gives a valid number.
    EXPECT_EQ(ChooseTransition(kTransitionRandom, 0, 0, 0, Scripted({-1})), 46);
}

TEST(SlideshowTransition, Names) {
    EXPECT_EQ(GetTransitionName(0), "None");
    EXPECT_EQ(GetTransitionName(1), "Iris");
    EXPECT_EQ(GetTransitionName(16), "RandomDissolve");
    EXPECT_EQ(GetTransitionName(17), "Horizontal");
    EXPECT_EQ(GetTransitionName(23), "Triangles, left/right");
    EXPECT_EQ(GetTransitionName(24), "Diagonal stripe, SW to NE");
    EXPECT_EQ(GetTransitionName(46), "Matrix, horizontal");
    EXPECT_EQ(GetTransitionName(47), "Horizontal");
    EXPECT_EQ(GetTransitionName(1000), "Horizontal");
    EXPECT_EQ(GetTransitionName(-1), "Horizontal");
    std::set<QString> names;
    for (int32_t i = 0; i < kTransitionCount; ++i)
        names.insert(GetTransitionName(i));
    EXPECT_EQ(names.size(), 47u) << "every transition has its own name";
}

TEST(SlideshowSettings, EmptyStoreGivesTheDefaults) {
    test::TestEnv env;
    MainState state;
    state.photoSeconds = 99;
    state.transitionSeconds = 99;
    state.transitionMode = 99;
    state.transitionIndex = 99;
    LoadTransitionSettings(*env.settings, state);
    EXPECT_EQ(state.photoSeconds, 8);
    EXPECT_EQ(state.transitionSeconds, 0);
    EXPECT_EQ(state.transitionMode, 0);
    EXPECT_EQ(state.transitionIndex, 0);
}

TEST(SlideshowSettings, StoredValuesAreReadFromTheirKeys) {
    test::TestEnv env;
    env.settings->WriteInt("TransitionSettings", "PhotoDuration", 12);
    env.settings->WriteInt("TransitionSettings", "TransitionDuration", 3);
    env.settings->WriteInt("TransitionSettings", "TransitionType", 2);
    env.settings->WriteInt("TransitionSettings", "TransitionName", 25);
    env.settings.reset();
    const auto store = env.ReopenStore();
    MainState state;
    LoadTransitionSettings(*store, state);
    EXPECT_EQ(state.photoSeconds, 12);
    EXPECT_EQ(state.transitionSeconds, 3);
    EXPECT_EQ(state.transitionMode, 2);
    EXPECT_EQ(state.transitionIndex, 25);
}

TEST(SlideshowLists, OpenedVideoReplacesBothLists) {
    MainState state;
    state.transitionMode = kTransitionSame;
    state.transitionIndex = 1;
    state.transitionSeconds = 2;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(AddClipItem(state, QString("/old/%1.jpg").arg(i), 8 * kSecond, NeverCalled()));
        ASSERT_TRUE(AddMusicItem(state, QString("/old/%1.mp3").arg(i), 60 * kSecond));
    }
    state.audioSourceMode = 0;

    const REFERENCE_TIME clipLength = 837'000'000;  // 83.7 s
    const REFERENCE_TIME musicLength = 837'123'456; // measured, not cut
    state.transitionIndex = 33;
    SetOpenedVideo(state, "/clips/a.mkv", clipLength, musicLength, NeverCalled());

    ASSERT_EQ(state.itemCount, 1);
    ASSERT_EQ(state.items.size(), 1u);
    EXPECT_EQ(state.items[0].path, "/clips/a.mkv");
    EXPECT_EQ(state.items[0].duration, 83 * kSecond);
    EXPECT_EQ(state.items[0].transition, 33);
    EXPECT_EQ(state.items[0].transitionDuration, 2 * kSecond);
    EXPECT_EQ(state.photoSeconds, 83);
    ASSERT_EQ(state.musicCount, 1);
    ASSERT_EQ(state.music.size(), 1u);
    EXPECT_EQ(state.music[0].path, "/clips/a.mkv");
    EXPECT_EQ(state.music[0].duration, musicLength);
    EXPECT_EQ(state.audioSourceMode, 2);
}

TEST(SlideshowLists, OpenedVideoTransitionFollowsTheMode) {
    MainState state;
    state.transitionMode = kTransitionSequence;
    state.transitionIndex = 20;
    SetOpenedVideo(state, "/v.mp4", 5 * kSecond, 5 * kSecond, NeverCalled());
    EXPECT_EQ(state.items[0].transition, 0) << "position 0 in sequence has no transition";

    state.transitionMode = kTransitionSame;
    state.transitionIndex = 0;
    SetOpenedVideo(state, "/v.mp4", 5 * kSecond, 5 * kSecond, NeverCalled());
    EXPECT_EQ(state.items[0].transition, 0);

    state.transitionMode = kTransitionRandom;
    SetOpenedVideo(state, "/v.mp4", 5 * kSecond, 5 * kSecond, Scripted({47 * 3 + 12}));
    EXPECT_EQ(state.items[0].transition, 12);
}

TEST(SlideshowLists, FailedMeasurementsDoNotBreakTheLists) {
    MainState state;
    SetOpenedVideo(state, "/broken.avi", -1, -1, Scripted({5}));
    ASSERT_EQ(state.itemCount, 1);
    EXPECT_EQ(state.items[0].duration, 0);
    EXPECT_EQ(state.photoSeconds, 0);
    ASSERT_EQ(state.musicCount, 1);
    EXPECT_EQ(state.music[0].duration, -1);
}

TEST(SlideshowLists, ItemsTakeSequenceNumbersByPositionAndStopAtCapacity) {
    MainState state;
    state.transitionMode = kTransitionSequence;
    for (int32_t i = 0; i < kMaxItems; ++i)
        ASSERT_TRUE(AddClipItem(state, "/p.jpg", 8 * kSecond + 5, NeverCalled()));
    EXPECT_FALSE(AddClipItem(state, "/p.jpg", 8 * kSecond, NeverCalled()));
    ASSERT_EQ(state.itemCount, kMaxItems);
    ASSERT_EQ(state.items.size(), static_cast<size_t>(kMaxItems));
    EXPECT_EQ(state.items[46].transition, 46);
    EXPECT_EQ(state.items[47].transition, 1);
    EXPECT_EQ(state.items[93].transition, 1);
    EXPECT_EQ(state.items[0].duration, 8 * kSecond);

    for (int32_t i = 0; i < kMaxMusic; ++i)
        ASSERT_TRUE(AddMusicItem(state, "/m.ogg", kSecond));
    EXPECT_FALSE(AddMusicItem(state, "/m.ogg", kSecond));
    EXPECT_EQ(state.musicCount, kMaxMusic);

    ClearSlideshowLists(state);
    EXPECT_EQ(state.itemCount, 0);
    EXPECT_TRUE(state.items.empty());
    EXPECT_EQ(state.musicCount, 0);
    EXPECT_TRUE(state.music.empty());
}

} // namespace
} // namespace orvelin
