// The editing timeline as the conversion lays it out: the group media types,
// the tracks and sources of the opened clip, the transitions and their
// SMPTE numbers, the failure texts, and how a picture is fitted into the
// output frame. No media is rendered here.
#include "convert/OutputGraphBuilder.h"
#include "convert/TimelineBuilder.h"
#include "media/ErrorText.h"
#include "media/Timeline.h"
#include "media/TransitionPatterns.h"
#include "media/playback/VideoPlacement.h"
#include "support/ScriptedUi.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orvelin;
using namespace orvelin::media;

namespace {

constexpr REFERENCE_TIME kSecond = kUnitsPerSecond;

// The main window's state after opening a 10 s clip (no file is read while
// the timeline is built).
MainState OpenedClip(const QString& path = QStringLiteral("/videos/clip.mkv")) {
    MainState state;
    state.itemCount = 1;
    state.items = {ClipEntry{path, 10 * kSecond, 0, 0}};
    state.musicCount = 1;
    state.music = {ClipEntry{path, 10 * kSecond, 0, 0}};
    state.trimStart = 2 * kSecond;
    state.trimEnd = 7 * kSecond;
    state.output.outputWidth = 320;
    state.output.outputHeight = 240;
    state.output.outputFrameRate = 23.976;
    state.output.resizeMode = RESIZEF_PRESERVEASPECTRATIO;
    return state;
}

struct Built {
    std::shared_ptr<Timeline> timeline;
    HRESULT result = E_FAIL;
};

Built Build(MainState& state, test::ScriptedUi& ui) {
    Built built;
    TimelineBuilder builder(state, ui, nullptr);
    built.result = builder.CreateTimeline(&built.timeline);
    return built;
}

std::shared_ptr<TimelineGroup> Group(const Timeline& timeline, int index) {
    std::shared_ptr<TimelineGroup> group;
    EXPECT_EQ(timeline.GetGroup(index, &group), S_OK);
    return group;
}

} // namespace

TEST(ConvertTimeline, VideoGroupTypeOf641x480HasStride1924AndImage923520) {
    const GroupMediaType type = MakeVideoGroupType(641, 480);
    EXPECT_EQ(DibRowStride(641, 24), 1924);
    ASSERT_TRUE(type.videoInfo.has_value());
    const BitmapInfoHeader& bmi = type.videoInfo->bmiHeader;
    EXPECT_EQ(bmi.biSizeImage, 923520u);
    EXPECT_EQ(type.lSampleSize, 923520u);
    EXPECT_EQ(bmi.biSize, 40u);
    EXPECT_EQ(bmi.biPlanes, 1);
    EXPECT_EQ(bmi.biBitCount, 24);
    EXPECT_EQ(bmi.biCompression, BI_RGB);
    EXPECT_EQ(type.cbFormat, 88u);
    EXPECT_TRUE(type.bFixedSizeSamples);
    EXPECT_FALSE(type.bTemporalCompression);
    EXPECT_EQ(type.videoInfo->AvgTimePerFrame, 0);
    EXPECT_EQ(type.videoInfo->rcSource.right, 0);

    TimelineGroup group;
    EXPECT_EQ(group.SetMediaType(type), S_OK);
}

TEST(ConvertTimeline, OpenedClipGivesVideoGroupThenAudioGroupReadingTheTrimmedPart) {
    test::ScriptedUi ui;
    MainState state = OpenedClip();
    const Built built = Build(state, ui);
    ASSERT_EQ(built.result, S_OK);
    EXPECT_TRUE(ui.MessageTexts().isEmpty()) << ui.MessageTexts().join("|").toStdString();
    EXPECT_EQ(state.totalDuration, 10 * kSecond);

    int32_t count = 0;
    built.timeline->GetGroupCount(&count);
    ASSERT_EQ(count, 2);
    const auto video = Group(*built.timeline, 0);
    const auto audio = Group(*built.timeline, 1);
    EXPECT_EQ(video->Kind(), MediaMajorType::Video);
    EXPECT_EQ(audio->Kind(), MediaMajorType::Audio);
    EXPECT_DOUBLE_EQ(video->OutputFPS(), 23.976); // passed unrounded

    GroupMediaType audioType;
    audio->GetMediaType(&audioType);
    EXPECT_EQ(audioType.lSampleSize, 1u);
    EXPECT_TRUE(audioType.bFixedSizeSamples);
    EXPECT_EQ(audioType.formattype, MediaFormatType::None);

    for (const auto& group : {video, audio}) {
        ASSERT_EQ(group->Tracks().size(), 1u);
        const auto& sources = group->Tracks()[0]->Sources();
        ASSERT_EQ(sources.size(), 1u);
        REFERENCE_TIME start = 0, stop = 0;
        sources[0]->GetMediaTimes(&start, &stop);
        EXPECT_EQ(start, 2 * kSecond);
        EXPECT_EQ(stop, 7 * kSecond);
        EXPECT_EQ(sources[0]->Start(), 0);
        EXPECT_EQ(sources[0]->Stop(), 5 * kSecond);
        EXPECT_EQ(sources[0]->MediaName(), QStringLiteral("/videos/clip.mkv"));
    }
    EXPECT_EQ(video->Tracks()[0]->Sources()[0]->StretchMode(), RESIZEF_PRESERVEASPECTRATIO);
    EXPECT_TRUE(video->Tracks()[0]->Transitions().empty()); // transition 0 is "None"
}

TEST(ConvertTimeline, EmptyListsLeaveOutTheirGroupsAndOnlyTheFirstMusicIsUsed) {
    test::ScriptedUi ui;
    MainState noMusic = OpenedClip();
    noMusic.musicCount = 0;
    noMusic.music.clear();
    Built built = Build(noMusic, ui);
    int32_t count = 0;
    built.timeline->GetGroupCount(&count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(Group(*built.timeline, 0)->Kind(), MediaMajorType::Video);

    MainState noClip = OpenedClip();
    noClip.itemCount = 0;
    noClip.items.clear();
    noClip.musicCount = 2;
    noClip.music.push_back(ClipEntry{QStringLiteral("/music/second.ogg"), kSecond, 0, 0});
    built = Build(noClip, ui);
    built.timeline->GetGroupCount(&count);
    ASSERT_EQ(count, 1);
    const auto audio = Group(*built.timeline, 0);
    EXPECT_EQ(audio->Kind(), MediaMajorType::Audio);
    ASSERT_EQ(audio->Tracks().size(), 1u);
    EXPECT_EQ(audio->Tracks()[0]->Sources()[0]->MediaName(), QStringLiteral("/videos/clip.mkv"));
    EXPECT_EQ(noClip.totalDuration, 0);
}

TEST(ConvertTimeline, TransitionNodesCarryTheirClassAndMaskNumber) {
    test::ScriptedUi ui;
    MainState state = OpenedClip();
    state.items[0].transition = 21; // "Diagonal, NW to SE": SMPTE 41
    state.items[0].transitionDuration = 3 * kSecond;
    Built built = Build(state, ui);
    EXPECT_TRUE(ui.MessageTexts().isEmpty()) << ui.MessageTexts().join("|").toStdString();
    EXPECT_EQ(state.items[0].transitionDuration, 0); // the video group clears it
    const auto& transitions = Group(*built.timeline, 0)->Tracks()[0]->Transitions();
    ASSERT_EQ(transitions.size(), 1u);
    EXPECT_EQ(transitions[0]->SubObjectGUID(), kSmpteWipeClassId);
    // The video group passes a transition length of 0.
    EXPECT_EQ(transitions[0]->Start(), 0);
    EXPECT_EQ(transitions[0]->Stop(), 0);
    ASSERT_TRUE(transitions[0]->GetPropertySetter());
    EXPECT_EQ(transitions[0]->GetPropertySetter()->InitialValue("MaskNum"), 41.0);

    state.items[0].transition = 3; // Fade: a named transform, no mask number
    built = Build(state, ui);
    const auto& fade = Group(*built.timeline, 0)->Tracks()[0]->Transitions();
    ASSERT_EQ(fade.size(), 1u);
    EXPECT_EQ(fade[0]->SubObjectGUID(), QStringLiteral("{16B280C5-EE70-11D1-9066-00C04FD9189D}"));
    EXPECT_FALSE(fade[0]->GetPropertySetter());

    EXPECT_EQ(TransitionClassId(47), kSmpteWipeClassId);
    EXPECT_FALSE(TransitionMaskNumber(47).has_value());
    EXPECT_EQ(TransitionMaskNumber(17), 1);
    EXPECT_EQ(TransitionMaskNumber(46), 301);
    EXPECT_EQ(TransitionMaskNumber(36), 119);
}

TEST(ConvertTimeline, ReversedStretchAddsTheSourceThenRefusesTheTransition) {
    test::ScriptedUi ui;
    MainState state = OpenedClip();
    state.items[0].transition = 17;
    state.trimStart = 7 * kSecond;
    state.trimEnd = 2 * kSecond;
    MainState copy = state;
    TimelineBuilder builder(copy, ui, nullptr);
    std::shared_ptr<Timeline> timeline;
    ASSERT_EQ(Timeline::Create(&timeline), S_OK);
    std::shared_ptr<TimelineGroup> group;
    timeline->CreateEmptyNode(&group);
    group->SetMediaType(MakeVideoGroupType(320, 240));
    EXPECT_EQ(builder.AddClipTrack(*timeline, *group, QStringLiteral("/videos/clip.mkv"), 0, 0),
              S_OK);
    EXPECT_EQ(ui.MessageTexts(), QStringList{"Transition time should be less than"});
    ASSERT_EQ(group->Tracks().size(), 1u);
    EXPECT_EQ(group->Tracks()[0]->Sources().size(), 1u);
    EXPECT_TRUE(group->Tracks()[0]->Transitions().empty());
}

TEST(ConvertTimeline, UnusableOutputValuesAreReportedWithTheirTextsAndTheAudioGroupGoesOn) {
    test::ScriptedUi ui;
    MainState state = OpenedClip();
    state.output.outputWidth = 0;
    Built built = Build(state, ui);
    EXPECT_EQ(ui.MessageTexts(), QStringList{"Could not pVideoGroup->SetMediaType(&mtGroup)"});
    int32_t count = 0;
    built.timeline->GetGroupCount(&count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(Group(*built.timeline, 0)->Kind(), MediaMajorType::Audio);
    EXPECT_TRUE(ui.Messages()[0].caption == ApplicationName());

    ui.Clear();
    state = OpenedClip();
    state.output.outputFrameRate = 0.0;
    built = Build(state, ui);
    EXPECT_EQ(ui.MessageTexts(), QStringList{"Could not SetOutputFPS"});
}

TEST(ConvertTimeline, PreviewModeIsTurnedOffOnEveryGroup) {
    test::ScriptedUi ui;
    MainState state = OpenedClip();
    Built built = Build(state, ui);
    EXPECT_TRUE(Group(*built.timeline, 0)->PreviewMode());
    EXPECT_EQ(DisablePreviewMode(*built.timeline), S_OK);
    EXPECT_FALSE(Group(*built.timeline, 0)->PreviewMode());
    EXPECT_FALSE(Group(*built.timeline, 1)->PreviewMode());
}

TEST(ConvertTimeline, TimelineNodesCheckWhatTheyAreGiven) {
    std::shared_ptr<Timeline> timeline;
    ASSERT_EQ(Timeline::Create(&timeline), S_OK);
    std::shared_ptr<TimelineGroup> group;
    timeline->CreateEmptyNode(&group);
    EXPECT_LT(timeline->AddGroup(group), 0); // no media type yet
    GroupMediaType bad = MakeVideoGroupType(320, 240);
    bad.videoInfo->bmiHeader.biSizeImage += 1;
    EXPECT_EQ(group->SetMediaType(bad), VFW_E_INVALIDMEDIATYPE);
    EXPECT_LT(group->SetOutputFPS(-1.0), 0);
    EXPECT_EQ(group->SetOutputFPS(29.97), S_OK);

    std::shared_ptr<TimelineTrack> track;
    timeline->CreateEmptyNode(&track);
    EXPECT_EQ(group->VTrackInsBefore(track, -1), S_OK);
    EXPECT_LT(group->VTrackInsBefore(track, -1), 0); // already in the group

    std::shared_ptr<TimelineSource> a, b;
    timeline->CreateEmptyNode(&a);
    timeline->CreateEmptyNode(&b);
    EXPECT_LT(a->SetStretchMode(7), 0);
    EXPECT_LT(a->SetStartStop(-1, 5), 0);
    a->SetStartStop(0, 5 * kSecond);
    a->SetMediaName(QStringLiteral("/x.mkv"));
    b->SetStartStop(4 * kSecond, 6 * kSecond);
    b->SetMediaName(QStringLiteral("/y.mkv"));
    EXPECT_EQ(track->SrcAdd(a), S_OK);
    EXPECT_LT(track->SrcAdd(b), 0);                                      // overlaps
    EXPECT_LT(track->SrcAdd(a), 0);                                      // already on a track
    EXPECT_EQ(timeline->ValidateSourceNames(SFN_VALIDATEF_CHECK), S_OK); // no group yet
    ASSERT_EQ(group->SetMediaType(MakeVideoGroupType(320, 240)), S_OK);
    ASSERT_EQ(timeline->AddGroup(group), S_OK);
    EXPECT_EQ(timeline->ValidateSourceNames(SFN_VALIDATEF_CHECK), S_FALSE); // /x.mkv is missing
    EXPECT_EQ(timeline->Duration(), 5 * kSecond);

    std::shared_ptr<TimelineTransition> t1, t2;
    timeline->CreateEmptyNode(&t1);
    timeline->CreateEmptyNode(&t2);
    EXPECT_LT(t1->SetSubObjectGUID(QStringLiteral("not a guid")), 0);
    t1->SetStartStop(0, 2 * kSecond);
    t2->SetStartStop(kSecond, 3 * kSecond);
    EXPECT_EQ(track->TransAdd(t1), S_OK);
    EXPECT_LT(track->TransAdd(t2), 0);
}

TEST(ConvertTimeline, PicturesAreFittedByTheirDisplayShape) {
    // 4:3 into 16:9, preserving: bars left and right.
    EXPECT_EQ(PlaceSource(640, 480, 1, 1, 1280, 720, RESIZEF_PRESERVEASPECTRATIO),
              (PlacementRect{160, 0, 960, 720}));
    // Anamorphic PAL (720 x 576, pixels 64:45 wide) is 16:9: it fills 1280 x 720.
    EXPECT_EQ(PlaceSource(720, 576, 64, 45, 1280, 720, RESIZEF_PRESERVEASPECTRATIO),
              (PlacementRect{0, 0, 1280, 720}));
    // The same picture in a 4:3 frame: bars above and below.
    EXPECT_EQ(PlaceSource(720, 576, 64, 45, 640, 480, RESIZEF_PRESERVEASPECTRATIO),
              (PlacementRect{0, 60, 640, 360}));
    // Stretching fills whatever the shape.
    EXPECT_EQ(PlaceSource(720, 576, 64, 45, 640, 480, RESIZEF_STRETCH),
              (PlacementRect{0, 0, 640, 480}));
    // Without bars the picture covers the frame and is cut at the sides.
    EXPECT_EQ(PlaceSource(640, 480, 1, 1, 1280, 720, RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX),
              (PlacementRect{0, -120, 1280, 960}));
    // Cropping keeps the display size, centred.
    EXPECT_EQ(PlaceSource(100, 50, 2, 1, 400, 300, RESIZEF_CROP),
              (PlacementRect{100, 125, 200, 50}));
    EXPECT_EQ(PlaceSource(0, 0, 1, 1, 320, 240, RESIZEF_PRESERVEASPECTRATIO),
              (PlacementRect{0, 0, 320, 240}));
}

TEST(ConvertTimeline, TransitionsUseTheirSmptePatternOrTheNearestOne) {
    using Kind = TransitionPattern::Kind;
    EXPECT_EQ(PatternForTransition(kSmpteWipeClassId, 41), (TransitionPattern{Kind::Wipe, 41}));
    EXPECT_EQ(PatternForTransition(kSmpteWipeClassId, 251), (TransitionPattern{Kind::Wipe, 251}));
    // Shapes GStreamer has no pattern for grow from the centre instead.
    EXPECT_EQ(PatternForTransition(kSmpteWipeClassId, 119), (TransitionPattern{Kind::Wipe, 101}));
    EXPECT_EQ(PatternForTransition(kSmpteWipeClassId, 301), (TransitionPattern{Kind::Wipe, 1}));
    EXPECT_EQ(PatternForTransition(kSmpteWipeClassId, std::nullopt).smpteType, 1);
    // Fade is a cross-fade; the other named transforms take a wipe.
    EXPECT_EQ(PatternForTransition(TransitionClassId(3), std::nullopt).kind, Kind::Crossfade);
    EXPECT_EQ(PatternForTransition(TransitionClassId(1), std::nullopt),
              (TransitionPattern{Kind::Wipe, 101}));
    for (int t = 1; t <= 46; ++t) {
        const TransitionPattern p =
            PatternForTransition(TransitionClassId(t), TransitionMaskNumber(t));
        if (p.kind == Kind::Wipe) {
            EXPECT_TRUE(SmptePatternAvailable(p.smpteType)) << t;
        }
    }
}
