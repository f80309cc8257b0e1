#include "convert/TimelineBuilder.h"

#include "app/UiServices.h"
#include "media/TransitionPatterns.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace orvelin {

using media::Failed;
using media::HRESULT;
using media::REFERENCE_TIME;
using media::S_OK;

namespace {

// Transitions 1 to 16: named transforms by class identifier.
constexpr std::array<const char*, 16> kNamedTransforms{{
    "{049F2CE6-D996-4721-897A-DB15CE9EB73D}", // 1 Iris
    "{164484A9-35D9-4FB7-9FAB-48273B96AA1D}", // 2 RadialWipe
    "{16B280C5-EE70-11D1-9066-00C04FD9189D}", // 3 Fade
    "{23E26328-3928-40F2-95E5-93CAD69016EB}", // 4 ZigZag
    "{2E7700B7-27C4-437F-9FBF-1E8BE2817566}", // 5 RandomBars
    "{4A03DCB9-6E17-4A39-8845-4EE7DC5331A5}", // 6 Spiral
    "{4CCEA634-FBE0-11D1-906A-00C04FD9189D}", // 7 Pixelate
    "{5AE1DAE0-1461-11D2-A484-00C04F8EFB69}", // 8 Wheel
    "{63A4B1FC-259A-4A5B-8129-A83B8C9E6F4F}", // 9 Strips
    "{76F363F2-7E9F-4ED7-A6A7-EE30351B6628}", // 10 Inset
    "{9A4A4A51-FB3A-4F4B-9B57-A2912A289769}", // 11 Blinds
    "{AF279B30-86EB-11D1-81BF-0000F87557DB}", // 12 Wipe
    "{B3EE7802-8224-4787-A1EA-F0DE16DEABD3}", // 13 CheckerBoard
    "{D1C5A1E7-CC47-4E32-BDD2-4B3C5FC50AF5}", // 14 Slide
    "{F088DE73-BDD0-4E3C-81F8-6D32F4FE9D28}", // 15 Stretch
    "{F7F4A1B6-8E87-452F-A2D7-3077F508DBC0}", // 16 RandomDissolve
}};

// Transitions 17 to 46: the SMPTE wipe with these mask numbers.
constexpr std::array<int32_t, 30> kMaskNumbers{{1,   2,   7,   22,  41,  43,  44,  45,  47,  48,
                                                61,  64,  71,  72,  73,  74,  101, 102, 113, 119,
                                                120, 124, 127, 128, 130, 224, 231, 244, 251, 301}};

constexpr int32_t kFirstMaskTransition = 17;
constexpr int32_t kLastTransitionNumber = 46;

} // namespace

media::GroupMediaType MakeVideoGroupType(int32_t width, int32_t height) {
    media::GroupMediaType type;
    type.majortype = media::MediaMajorType::Video;
    type.subtype = media::MediaSubtype::Rgb24;
    type.bFixedSizeSamples = true;
    type.bTemporalCompression = false;
    type.formattype = media::MediaFormatType::VideoInfo;
    type.cbFormat = media::kVideoInfoHeaderSize;
    media::VideoInfoHeader info;
    info.bmiHeader.biSize = media::kBitmapInfoHeaderSize;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = media::BI_RGB;
    const int64_t image = media::DibRowStride(width, 24) * std::abs(static_cast<int64_t>(height));
    info.bmiHeader.biSizeImage = static_cast<uint32_t>(std::max<int64_t>(0, image));
    type.videoInfo = info;
    type.lSampleSize = info.bmiHeader.biSizeImage;
    return type;
}

media::GroupMediaType MakeAudioGroupType() {
    media::GroupMediaType type;
    type.majortype = media::MediaMajorType::Audio;
    type.bFixedSizeSamples = true;
    type.lSampleSize = 1;
    return type;
}

QString TransitionClassId(int32_t transition) {
    if (transition >= 1 && transition < kFirstMaskTransition)
        return QLatin1String(kNamedTransforms[static_cast<size_t>(transition - 1)]);
    return media::kSmpteWipeClassId;
}

std::optional<int32_t> TransitionMaskNumber(int32_t transition) {
    if (transition < kFirstMaskTransition || transition > kLastTransitionNumber)
        return std::nullopt;
    return kMaskNumbers[static_cast<size_t>(transition - kFirstMaskTransition)];
}

TimelineBuilder::TimelineBuilder(MainState& state, UiServices& ui, QWidget* owner)
    : state_(state), ui_(ui), owner_(owner) {}

void TimelineBuilder::Report(const QString& text) {
    ui_.FrameworkMessageBox(owner_, text);
}

HRESULT TimelineBuilder::CreateTimeline(std::shared_ptr<media::Timeline>* slot) {
    std::shared_ptr<media::Timeline> timeline;
    if (HRESULT hr = media::Timeline::Create(&timeline); Failed(hr)) {
        ui_.MessageBox(owner_, QStringLiteral("Could not create timeline"), QStringLiteral("Error"),
                       MsgButtons::Ok);
        return hr;
    }
    *slot = timeline;
    state_.totalDuration = 0;
    for (int32_t i = 0; i < state_.itemCount && i < static_cast<int32_t>(state_.items.size()); ++i)
        state_.totalDuration += state_.items[static_cast<size_t>(i)].duration;
    if (state_.itemCount > 0)
        AddVideoGroup(*timeline);
    if (state_.musicCount > 0)
        AddAudioGroup(*timeline);
    timeline->ValidateSourceNames(media::SFN_VALIDATEF_CHECK | media::SFN_VALIDATEF_POPUP |
                                  media::SFN_VALIDATEF_REPLACE);
    return S_OK;
}

HRESULT TimelineBuilder::AddVideoGroup(media::Timeline& timeline) {
    std::shared_ptr<media::TimelineGroup> group;
    if (HRESULT hr = timeline.CreateEmptyNode(&group); Failed(hr)) {
        Report(QStringLiteral("Could not create empty node"));
        return hr;
    }
    const OutputSettings& out = state_.output;
    if (HRESULT hr = group->SetMediaType(MakeVideoGroupType(out.outputWidth, out.outputHeight));
        Failed(hr)) {
        Report(QStringLiteral("Could not pVideoGroup->SetMediaType(&mtGroup)"));
        return hr;
    }
    if (HRESULT hr = group->SetOutputFPS(out.outputFrameRate); Failed(hr)) {
        Report(QStringLiteral("Could not SetOutputFPS"));
        return hr;
    }
    // The Windows Media writer stores no pixel aspect ratio.
    group->SetKeepsPixelShape(out.outputFormat != kContainerWmv &&
                              out.outputFormat != kContainerAsf);
    if (HRESULT hr = timeline.AddGroup(group); Failed(hr)) {
        Report(QStringLiteral("Could not add video group"));
        return hr;
    }
    for (int32_t i = 0; i < state_.itemCount && i < static_cast<int32_t>(state_.items.size());
         ++i) {
        ClipEntry& item = state_.items[static_cast<size_t>(i)];
        item.transitionDuration = 0;
        AddClipTrack(timeline, *group, item.path, 0, i);
    }
    return S_OK;
}

HRESULT TimelineBuilder::AddClipTrack(media::Timeline& timeline, media::TimelineGroup& group,
                                      const QString& path, int64_t transitionMs,
                                      int32_t clipIndex) {
    std::shared_ptr<media::TimelineTrack> track;
    if (HRESULT hr = timeline.CreateEmptyNode(&track); Failed(hr)) {
        Report(QStringLiteral("Could not create empty track"));
        return hr;
    }
    if (HRESULT hr = group.VTrackInsBefore(track, -1); Failed(hr)) {
        Report(QStringLiteral("Could not insert track"));
        return hr;
    }
    std::shared_ptr<media::TimelineSource> source;
    if (HRESULT hr = timeline.CreateEmptyNode(&source); Failed(hr)) {
        Report(QStringLiteral("Could not create the timeline source"));
        return hr;
    }
    const REFERENCE_TIME length = state_.trimEnd - state_.trimStart;
    const HRESULT results[] = {
        source->SetStartStop(0, length),
        source->SetMediaTimes(state_.trimStart, state_.trimEnd),
        source->SetMediaName(path),
        source->SetStretchMode(state_.output.resizeMode),
    };
    if (std::any_of(std::begin(results), std::end(results), [](HRESULT hr) { return hr < 0; })) {
        Report(QStringLiteral("Could not configure media source"));
        return media::E_FAIL;
    }
    if (HRESULT hr = track->SrcAdd(source); Failed(hr)) {
        Report(QStringLiteral("Could not add source to track"));
        return hr;
    }
    REFERENCE_TIME transitionLength = transitionMs * 10000;
    if (length - transitionLength < 0) {
        Report(QStringLiteral("Transition time should be less than"));
    } else {
        transitionLength = std::min(transitionLength, state_.totalDuration);
        AddTransition(timeline, *track, 0, transitionLength, clipIndex);
    }
    return S_OK;
}

HRESULT TimelineBuilder::AddAudioGroup(media::Timeline& timeline) {
    std::shared_ptr<media::TimelineGroup> group;
    if (HRESULT hr = timeline.CreateEmptyNode(&group); Failed(hr)) {
        Report(QStringLiteral("Could not create pAudioGroupObj"));
        return hr;
    }
    if (HRESULT hr = group->SetMediaType(MakeAudioGroupType()); Failed(hr)) {
        Report(QStringLiteral("Could not set AudioGroupType"));
        return hr;
    }
    if (HRESULT hr = timeline.AddGroup(group); Failed(hr)) {
        Report(QStringLiteral("Could not add audio group"));
        return hr;
    }
    if (!state_.music.empty())
        AddAudioTrack(timeline, *group, state_.music.front().path);
    return S_OK;
}

HRESULT TimelineBuilder::AddAudioTrack(media::Timeline& timeline, media::TimelineGroup& group,
                                       const QString& path) {
    std::shared_ptr<media::TimelineTrack> track;
    if (HRESULT hr = timeline.CreateEmptyNode(&track); Failed(hr)) {
        Report(QStringLiteral("Could not create pTrack3Obj"));
        return hr;
    }
    if (HRESULT hr = group.VTrackInsBefore(track, -1); Failed(hr)) {
        Report(QStringLiteral("Could not insert pTrack3Obj"));
        return hr;
    }
    std::shared_ptr<media::TimelineSource> source;
    if (HRESULT hr = timeline.CreateEmptyNode(&source); Failed(hr)) {
        Report(QStringLiteral("Could not create the pSource3Obj"));
        return hr;
    }
    source->SetStartStop(0, state_.trimEnd - state_.trimStart);
    if (Failed(source->SetMediaTimes(state_.trimStart, state_.trimEnd))) {
        Report(QStringLiteral("Could not set audio start and eng time!"));
        return media::E_FAIL;
    }
    if (Failed(source->SetMediaName(path))) {
        Report(QStringLiteral("Could not configure pSource3Src"));
        return media::E_FAIL;
    }
    if (HRESULT hr = track->SrcAdd(source); Failed(hr)) {
        Report(QStringLiteral("Could not add pSource3Obj to track"));
        return hr;
    }
    return S_OK;
}

HRESULT TimelineBuilder::AddTransition(media::Timeline& timeline, media::TimelineTrack& track,
                                       REFERENCE_TIME start, REFERENCE_TIME stop,
                                       int32_t clipIndex) {
    if (clipIndex < 0 || clipIndex >= static_cast<int32_t>(state_.items.size()))
        return S_OK;
    const int32_t index = state_.items[static_cast<size_t>(clipIndex)].transition;
    if (index == 0)
        return S_OK;
    std::shared_ptr<media::TimelineTransition> transition;
    if (HRESULT hr = timeline.CreateEmptyNode(&transition); Failed(hr)) {
        Report(QStringLiteral("Could not CreateEmptyNode TIMELINE_MAJOR_TYPE_TRANSITION"));
        return hr;
    }
    if (HRESULT hr = transition->SetSubObjectGUID(TransitionClassId(index)); Failed(hr)) {
        Report(QStringLiteral("Could not SetSubObjectGUID"));
        return hr;
    }
    if (HRESULT hr = transition->SetStartStop(start, stop); Failed(hr)) {
        Report(QStringLiteral("Could not SetStartStop(TLTranStart, TLTranStop);"));
        return hr;
    }
    if (HRESULT hr = track.TransAdd(transition); Failed(hr)) {
        Report(QStringLiteral("Could not TransAdd(pTransObj)"));
        return hr;
    }
    if (const auto mask = TransitionMaskNumber(index)) {
        auto setter = std::make_shared<media::PropertySetter>();
        HRESULT hr = setter->AddProp(QStringLiteral("MaskNum"), 0,
                                     {{0, media::DEXTERF_JUMP, static_cast<double>(*mask)}});
        if (!Failed(hr))
            hr = transition->SetPropertySetter(setter);
        if (Failed(hr)) {
            Report(QStringLiteral("Could not SetPropertySetter"));
            return hr;
        }
    }
    return S_OK;
}

} // namespace orvelin
