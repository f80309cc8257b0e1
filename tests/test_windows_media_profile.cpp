// The Windows Media profile builder: which installed audio format is chosen
// for a bit rate (the 250 bit/s window, the block-alignment tie with and
// without video), the video format and its frame period and key-frame
// spacing, the streams, names and version of the profile, the argument
// checks and result codes, the file profile, and real WMV and ASF files:
// size, whole frame rate, length and bit rates of ten seconds, and Stop.
#include "convert/ConversionController.h"
#include "convert/WindowsMediaProfile.h"
#include "media/WMProfile.h"
#include "support/ConvertTestHost.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

using namespace orvelin;
using namespace std::chrono_literals;
using media::HRESULT;

namespace {

constexpr HRESULT kAudioMissing = static_cast<HRESULT>(0xC00D0BC2u);
constexpr HRESULT kVideoMissing = static_cast<HRESULT>(0xC00D0BC4u);
constexpr uint32_t kWmv1 = media::MakeFourcc('W', 'M', 'V', '1');
constexpr uint32_t kWmv2 = media::MakeFourcc('W', 'M', 'V', '2');

// The first installed format of the given major type that satisfies `take`.
template <typename Pred>
const media::WMCodecFormat* InstalledFormat(const media::WMGuid& major, Pred take) {
    for (const media::WMCodec& codec : media::InstalledWMCodecs()) {
        if (codec.majorType != major)
            continue;
        for (const media::WMCodecFormat& format : codec.formats)
            if (take(format))
                return &format;
    }
    return nullptr;
}

media::WaveFormatEx WaveOf(const media::WMStreamConfig& config) {
    media::WMMediaType type;
    EXPECT_EQ(config.GetMediaType(&type), media::S_OK);
    media::WaveFormatEx wave;
    EXPECT_TRUE(media::WaveFormatEx::FromBytes(type.format, &wave));
    return wave;
}

media::VideoInfoHeader HeaderOf(const media::WMStreamConfig& config) {
    media::WMMediaType type;
    EXPECT_EQ(config.GetMediaType(&type), media::S_OK);
    media::VideoInfoHeader header;
    EXPECT_TRUE(media::VideoInfoFromBytes(type.format, &header));
    return header;
}

// A real installed 44,100 Hz stereo Windows Media Audio 2 format, with its
// average rate, block alignment and other fields changed as asked.
media::WMCodecFormat AudioFormat(uint32_t avgBytesPerSec, uint16_t blockAlign,
                                 uint32_t rate = 44100, uint16_t channels = 2,
                                 uint16_t tag = media::WAVE_FORMAT_WMAUDIO2) {
    const media::WMCodecFormat* real =
        InstalledFormat(media::WMMEDIATYPE_Audio, [](const media::WMCodecFormat& f) {
            const media::WaveFormatEx w = WaveOf(f.config);
            return w.formatTag == media::WAVE_FORMAT_WMAUDIO2 && w.samplesPerSec == 44100 &&
                   w.channels == 2;
        });
    EXPECT_NE(real, nullptr) << "no installed 44100 Hz stereo WMA2 format";
    media::WMCodecFormat format;
    if (!real)
        return format;
    format = *real;
    media::WMMediaType type;
    format.config.GetMediaType(&type);
    media::WaveFormatEx wave = WaveOf(format.config);
    wave.avgBytesPerSec = avgBytesPerSec;
    wave.blockAlign = blockAlign;
    wave.samplesPerSec = rate;
    wave.channels = channels;
    wave.formatTag = tag;
    type.format = wave.ToBytes();
    type.sampleSize = blockAlign;
    EXPECT_EQ(format.config.SetMediaType(type), media::S_OK);
    format.config.SetBitrate(avgBytesPerSec * 8);
    return format;
}

// A real installed Windows Media video format, its FOURCC changed to `fourcc`.
media::WMCodecFormat VideoFormat(uint32_t fourcc) {
    const media::WMCodecFormat* real =
        InstalledFormat(media::WMMEDIATYPE_Video, [](const media::WMCodecFormat&) { return true; });
    EXPECT_NE(real, nullptr) << "no installed Windows Media video encoder";
    media::WMCodecFormat format;
    if (!real)
        return format;
    format = *real;
    media::WMMediaType type;
    format.config.GetMediaType(&type);
    media::VideoInfoHeader header = HeaderOf(format.config);
    header.bmiHeader.biCompression = fourcc;
    type.format = media::VideoInfoToBytes(header);
    EXPECT_EQ(format.config.SetMediaType(type), media::S_OK);
    return format;
}

media::WMCodec Codec(const media::WMGuid& major, std::vector<media::WMCodecFormat> formats) {
    media::WMCodec codec;
    codec.majorType = major;
    codec.name = "test codec";
    codec.formats = std::move(formats);
    return codec;
}

// A profile manager whose codec information lists exactly `codecs`.
ProfileManagerFactory Listing(std::vector<media::WMCodec> codecs) {
    return [codecs](std::shared_ptr<media::WMProfileManager>* manager) {
        *manager = std::make_shared<media::WMProfileManager>(codecs);
        return media::S_OK;
    };
}

AudioStreamParams Audio(uint32_t bitrate = 128000) {
    return AudioStreamParams{bitrate, media::WAVE_FORMAT_WMAUDIO2, 44100, 2};
}

VideoStreamParams Video(uint32_t frameRate = 29) {
    return VideoStreamParams{kFourccWmv3, 798720, 240, 320, frameRate, 0, 8};
}

// The profile of one audio stream chosen from `formats` (and one video
// stream when `withVideo`); the chosen wave format in `wave`.
HRESULT ChooseAudio(std::vector<media::WMCodecFormat> formats, bool withVideo,
                    media::WaveFormatEx* wave, uint32_t* streamBitrate = nullptr) {
    const AudioStreamParams audio = Audio();
    const VideoStreamParams video = Video();
    std::shared_ptr<media::WMProfile> profile;
    const HRESULT hr =
        GenerateProfile(&audio, nullptr, withVideo ? 1 : 0, withVideo ? &video : nullptr, &profile,
                        media::WMT_VER_9_0,
                        Listing({Codec(media::WMMEDIATYPE_Audio, std::move(formats)),
                                 Codec(media::WMMEDIATYPE_Video, {VideoFormat(kWmv2)})}));
    if (media::Failed(hr))
        return hr;
    media::WMStreamConfig stream{media::GUID_NULL};
    EXPECT_EQ(profile->GetStreamByNumber(1, &stream), media::S_OK);
    *wave = WaveOf(stream);
    if (streamBitrate)
        *streamBitrate = stream.GetBitrate();
    return hr;
}

} // namespace

TEST(WindowsMediaProfile, AnAudioFormatMatchesWithin250BitsPerSecond) {
    media::WaveFormatEx wave;
    uint32_t bitrate = 0;
    // 16032 bytes/s is 128256 bit/s: too far; 16002 is 128016: taken, and the
    // stream's bit rate is the format's, not the request.
    ASSERT_EQ(
        ChooseAudio({AudioFormat(16032, 4096), AudioFormat(16002, 4096)}, true, &wave, &bitrate),
        media::S_OK);
    EXPECT_EQ(wave.avgBytesPerSec, 16002u);
    EXPECT_EQ(bitrate, 128016u);

    EXPECT_EQ(ChooseAudio({AudioFormat(16032, 4096)}, true, &wave), kAudioMissing);
    // Both bounds: 127752 and 128248 are in, 127744 and 128256 are out.
    EXPECT_EQ(ChooseAudio({AudioFormat(15969, 4096)}, false, &wave), media::S_OK);
    EXPECT_EQ(ChooseAudio({AudioFormat(16031, 4096)}, false, &wave), media::S_OK);
    EXPECT_EQ(ChooseAudio({AudioFormat(15968, 4096)}, false, &wave), kAudioMissing);
    // The rate, the channels and the tag must be the requested ones too.
    EXPECT_EQ(ChooseAudio({AudioFormat(16000, 4096, 48000), AudioFormat(16000, 4096, 44100, 1),
                           AudioFormat(16000, 4096, 44100, 2, media::WAVE_FORMAT_MSAUDIO1)},
                          true, &wave),
              kAudioMissing);
}

TEST(WindowsMediaProfile, BlockAlignmentDecidesBetweenMatchingFormats) {
    media::WaveFormatEx wave;
    // With video the smaller alignment wins in either order ...
    ASSERT_EQ(ChooseAudio({AudioFormat(16000, 4096), AudioFormat(16001, 8192)}, true, &wave),
              media::S_OK);
    EXPECT_EQ(wave.blockAlign, 4096);
    ASSERT_EQ(ChooseAudio({AudioFormat(16001, 8192), AudioFormat(16000, 4096)}, true, &wave),
              media::S_OK);
    EXPECT_EQ(wave.blockAlign, 4096);
    // ... without video the larger one.
    ASSERT_EQ(ChooseAudio({AudioFormat(16000, 4096), AudioFormat(16001, 8192)}, false, &wave),
              media::S_OK);
    EXPECT_EQ(wave.blockAlign, 8192);
    ASSERT_EQ(ChooseAudio({AudioFormat(16001, 8192), AudioFormat(16000, 4096)}, false, &wave),
              media::S_OK);
    EXPECT_EQ(wave.blockAlign, 8192);
    // On equal alignment the later format wins, with and without video.
    for (bool withVideo : {true, false}) {
        ASSERT_EQ(
            ChooseAudio({AudioFormat(16000, 4096), AudioFormat(16002, 4096)}, withVideo, &wave),
            media::S_OK);
        EXPECT_EQ(wave.avgBytesPerSec, 16002u) << withVideo;
    }
}

TEST(WindowsMediaProfile, AnAudioFormatThatIsNoWaveFormatFailsTheSearch) {
    media::WMCodecFormat odd = AudioFormat(16000, 4096);
    media::WMMediaType type;
    odd.config.GetMediaType(&type);
    type.formattype = media::WMFORMAT_Script;
    ASSERT_EQ(odd.config.SetMediaType(type), media::S_OK);
    media::WaveFormatEx wave;
    // Even after a good candidate the whole search fails.
    EXPECT_EQ(ChooseAudio({AudioFormat(16000, 4096), odd}, true, &wave), media::E_FAIL);
}

TEST(WindowsMediaProfile, TheInstalledAudioFormatsServeEveryOfferedBitRate) {
    for (uint32_t bitrate : {64000u, 128000u, 192000u, 320000u}) {
        const AudioStreamParams audio = Audio(bitrate);
        const VideoStreamParams video = Video();
        std::shared_ptr<media::WMProfile> profile;
        ASSERT_EQ(GenerateProfile(&audio, nullptr, 1, &video, &profile, media::WMT_VER_9_0),
                  media::S_OK)
            << bitrate;
        media::WMStreamConfig stream{media::GUID_NULL};
        ASSERT_EQ(profile->GetStreamByNumber(1, &stream), media::S_OK);
        const media::WaveFormatEx wave = WaveOf(stream);
        EXPECT_EQ(wave.formatTag, media::WAVE_FORMAT_WMAUDIO2);
        EXPECT_EQ(wave.samplesPerSec, 44100u);
        EXPECT_EQ(wave.channels, 2);
        EXPECT_LT(std::abs(int64_t(wave.avgBytesPerSec) * 8 - int64_t(bitrate)), 250) << bitrate;
        EXPECT_EQ(stream.GetBitrate(), wave.avgBytesPerSec * 8);
    }
}

TEST(WindowsMediaProfile, TheProfileHoldsAudioOneAndVideoTwo) {
    const AudioStreamParams audio = Audio();
    const VideoStreamParams video = Video(29); // 29.97 truncated
    std::shared_ptr<media::WMProfile> profile;
    ASSERT_EQ(GenerateProfile(&audio, nullptr, 1, &video, &profile, media::WMT_VER_9_0),
              media::S_OK);
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->GetName(), u"Custom Profile");
    EXPECT_EQ(profile->GetVersion(), 0x00090000u);
    ASSERT_EQ(profile->GetStreamCount(), 2u);
    EXPECT_EQ(profile->GetMutualExclusionCount(), 0u);

    media::WMStreamConfig a{media::GUID_NULL};
    media::WMStreamConfig v{media::GUID_NULL};
    ASSERT_EQ(profile->GetStream(0, &a), media::S_OK);
    ASSERT_EQ(profile->GetStream(1, &v), media::S_OK);
    EXPECT_EQ(a.GetStreamType(), media::WMMEDIATYPE_Audio);
    EXPECT_EQ(a.GetStreamNumber(), 1);
    EXPECT_EQ(a.GetStreamName(), u"Audio Stream");
    EXPECT_EQ(a.GetConnectionName(), u"Audio");
    media::WMMediaType audioType;
    ASSERT_EQ(a.GetMediaType(&audioType), media::S_OK);
    const media::WaveFormatEx wave = WaveOf(a);
    EXPECT_EQ(audioType.subtype, media::MediaSubtypeFromCode(0x161));
    EXPECT_TRUE(audioType.fixedSizeSamples);
    EXPECT_FALSE(audioType.temporalCompression);
    EXPECT_EQ(audioType.sampleSize, wave.blockAlign);
    EXPECT_EQ(audioType.formattype, media::WMFORMAT_WaveFormatEx);
    EXPECT_EQ(audioType.format.size(), 18u + wave.extra.size());

    EXPECT_EQ(v.GetStreamType(), media::WMMEDIATYPE_Video);
    EXPECT_EQ(v.GetStreamNumber(), 2);
    EXPECT_EQ(v.GetStreamName(), u"Video Stream");
    EXPECT_EQ(v.GetConnectionName(), u"Video");
    EXPECT_EQ(v.GetBitrate(), 798720u);
    const media::VideoInfoHeader header = HeaderOf(v);
    EXPECT_EQ(header.AvgTimePerFrame, 344827);
    EXPECT_EQ(header.dwBitRate, 798720u);
    EXPECT_EQ(header.bmiHeader.biWidth, 320);
    EXPECT_EQ(header.bmiHeader.biHeight, 240);
    EXPECT_EQ(header.rcSource.right, 320);
    EXPECT_EQ(header.rcSource.bottom, 240);
    EXPECT_EQ(header.rcTarget.right, 320);
    EXPECT_EQ(header.rcTarget.bottom, 240);
    // No Windows Media Video 9 encoder is installed: WMV2 stands in for WMV3.
    EXPECT_EQ(header.bmiHeader.biCompression, kWmv2);
    int64_t spacing = 0;
    uint32_t quality = 99;
    ASSERT_EQ(v.GetMaxKeyFrameSpacing(&spacing), media::S_OK);
    ASSERT_EQ(v.GetQuality(&quality), media::S_OK);
    EXPECT_EQ(spacing, 80000000);
    EXPECT_EQ(quality, 0u);
}

TEST(WindowsMediaProfile, FramePeriodIsTenMillionOverWholeFramesAndSpacingInSeconds) {
    const AudioStreamParams audio = Audio();
    for (auto [rate, period] : {std::pair{29u, 344827}, std::pair{23u, 434782},
                                std::pair{25u, 400000}, std::pair{0u, 10000000}}) {
        VideoStreamParams video = Video(rate);
        video.keyFrameSpacing = 3;
        std::shared_ptr<media::WMProfile> profile;
        ASSERT_EQ(GenerateProfile(&audio, nullptr, 1, &video, &profile, media::WMT_VER_9_0),
                  media::S_OK)
            << rate;
        media::WMStreamConfig v{media::GUID_NULL};
        ASSERT_EQ(profile->GetStreamByNumber(2, &v), media::S_OK);
        EXPECT_EQ(HeaderOf(v).AvgTimePerFrame, period) << rate;
        int64_t spacing = 0;
        v.GetMaxKeyFrameSpacing(&spacing);
        EXPECT_EQ(spacing, 30000000);
    }
}

TEST(WindowsMediaProfile, TheRequestedVideoFormatBeatsAnEarlierStandIn) {
    const AudioStreamParams audio = Audio();
    const VideoStreamParams video = Video();
    const media::WMCodec audioCodec = Codec(media::WMMEDIATYPE_Audio, {AudioFormat(16000, 4096)});
    std::shared_ptr<media::WMProfile> profile;
    ASSERT_EQ(
        GenerateProfile(&audio, nullptr, 1, &video, &profile, media::WMT_VER_9_0,
                        Listing({audioCodec, Codec(media::WMMEDIATYPE_Video, {VideoFormat(kWmv1)}),
                                 Codec(media::WMMEDIATYPE_Video, {VideoFormat(kFourccWmv3)})})),
        media::S_OK);
    media::WMStreamConfig v{media::GUID_NULL};
    ASSERT_EQ(profile->GetStreamByNumber(2, &v), media::S_OK);
    EXPECT_EQ(HeaderOf(v).bmiHeader.biCompression, kFourccWmv3);

    // No Windows Media video format at all: 0xC00D0BC4, and no profile.
    profile.reset();
    EXPECT_EQ(
        GenerateProfile(
            &audio, nullptr, 1, &video, &profile, media::WMT_VER_9_0,
            Listing({audioCodec, Codec(media::WMMEDIATYPE_Video,
                                       {VideoFormat(media::MakeFourcc('M', 'P', '4', '3'))})})),
        kVideoMissing);
    EXPECT_FALSE(profile);
    EXPECT_EQ(GenerateProfile(&audio, nullptr, 1, &video, &profile, media::WMT_VER_9_0,
                              Listing({audioCodec})),
              kVideoMissing);
    // No audio format: 0xC00D0BC2 before any video is looked at.
    EXPECT_EQ(
        GenerateProfile(&audio, nullptr, 1, &video, &profile, media::WMT_VER_9_0, Listing({})),
        kAudioMissing);
    EXPECT_FALSE(profile);
}

TEST(WindowsMediaProfile, SeveralVideoStreamsExcludeEachOtherAndTheScriptComesLast) {
    const AudioStreamParams audio = Audio();
    const VideoStreamParams videos[3] = {Video(), Video(25), Video(23)};
    const uint32_t script = 1000;
    std::shared_ptr<media::WMProfile> profile;
    ASSERT_EQ(GenerateProfile(&audio, &script, 3, videos, &profile, media::WMT_VER_9_0),
              media::S_OK);
    ASSERT_EQ(profile->GetStreamCount(), 5u);
    for (uint16_t n = 2; n <= 4; ++n) {
        media::WMStreamConfig v{media::GUID_NULL};
        ASSERT_EQ(profile->GetStreamByNumber(n, &v), media::S_OK);
        EXPECT_EQ(v.GetStreamType(), media::WMMEDIATYPE_Video);
    }
    media::WMStreamConfig s{media::GUID_NULL};
    ASSERT_EQ(profile->GetStreamByNumber(5, &s), media::S_OK);
    EXPECT_EQ(s.GetStreamType(), media::WMMEDIATYPE_Script);
    EXPECT_EQ(s.GetStreamName(), u"Script Stream");
    EXPECT_EQ(s.GetConnectionName(), u"Script");
    EXPECT_EQ(s.GetBitrate(), 1000u);
    media::WMMediaType scriptType;
    ASSERT_EQ(s.GetMediaType(&scriptType), media::S_OK);
    EXPECT_EQ(scriptType.formattype, media::WMFORMAT_Script);
    EXPECT_EQ(scriptType.format.size(), 16u);

    ASSERT_EQ(profile->GetMutualExclusionCount(), 1u);
    media::WMMutualExclusion exclusion;
    ASSERT_EQ(profile->GetMutualExclusion(0, &exclusion), media::S_OK);
    EXPECT_EQ(exclusion.GetType(), media::CLSID_WMMutex_Bitrate);
    EXPECT_EQ(exclusion.GetStreams(), (std::vector<uint16_t>{2, 3, 4}));
}

TEST(WindowsMediaProfile, ArgumentsAreCheckedBeforeAnyManagerIsMade) {
    int managers = 0;
    const ProfileManagerFactory counting = [&](std::shared_ptr<media::WMProfileManager>* m) {
        ++managers;
        return media::WMCreateProfileManager(m);
    };
    const AudioStreamParams audio = Audio();
    const VideoStreamParams video = Video();
    std::shared_ptr<media::WMProfile> profile;
    EXPECT_EQ(GenerateProfile(nullptr, nullptr, 1, &video, &profile, media::WMT_VER_9_0, counting),
              media::E_INVALIDARG);
    EXPECT_EQ(GenerateProfile(&audio, nullptr, 1, &video, nullptr, media::WMT_VER_9_0, counting),
              media::E_INVALIDARG);
    EXPECT_EQ(GenerateProfile(&audio, nullptr, 1, nullptr, &profile, media::WMT_VER_9_0, counting),
              media::E_INVALIDARG);
    EXPECT_EQ(GenerateProfile(&audio, nullptr, 64, &video, &profile, media::WMT_VER_9_0, counting),
              media::E_INVALIDARG);
    EXPECT_EQ(managers, 0);
    EXPECT_FALSE(profile);
    // No video at all needs no video array.
    EXPECT_EQ(GenerateProfile(&audio, nullptr, 0, nullptr, &profile, media::WMT_VER_9_0, counting),
              media::S_OK);
    EXPECT_EQ(managers, 1);
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->GetStreamCount(), 1u);
    // A manager that cannot be made ends the build with its result.
    const ProfileManagerFactory failing = [](std::shared_ptr<media::WMProfileManager>*) {
        return media::E_FAIL;
    };
    profile.reset();
    EXPECT_EQ(GenerateProfile(&audio, nullptr, 1, &video, &profile, media::WMT_VER_9_0, failing),
              media::E_FAIL);
    EXPECT_FALSE(profile);
}

TEST(WindowsMediaProfile, MapProfileRefusesTest2AndNeedsAnOutPointer) {
    EXPECT_EQ(MapProfile("test2", nullptr), media::E_POINTER);
    std::shared_ptr<media::WMProfile> profile;
    const HRESULT hr = MapProfile("test2", &profile);
    EXPECT_TRUE(media::Failed(hr));
    EXPECT_EQ(hr, media::E_INVALIDARG);
    EXPECT_FALSE(profile);

    // A manager that cannot be made is told on the standard output only.
    testing::internal::CaptureStdout();
    const HRESULT failed =
        MapProfile("test2", &profile,
                   [](std::shared_ptr<media::WMProfileManager>*) { return media::E_OUTOFMEMORY; });
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(failed, media::E_OUTOFMEMORY);
    EXPECT_EQ(out, "MapProfile: Failed to create profile manager!  hr=0x8007000e\n");
}

TEST(WindowsMediaProfile, A2997ClipBecomesWmv2WithWma2AtTheRequestedSize) {
    QTemporaryDir dir;
    test::MediaSpec clip;
    clip.width = 320;
    clip.height = 240;
    clip.fpsNum = 30000;
    clip.fpsDen = 1001;
    clip.seconds = 3.0;
    const QString source = dir.filePath("clip.mkv");
    QString log;
    ASSERT_TRUE(test::MakeMedia(source, clip, &log)) << log.toStdString();

    test::TestEnv env;
    test::ConvertTestHost host{env.ui};
    ConversionController controller{host};
    host.OpenVideo(source, 3.0, 320, 240, 29.97, env.TempPath("out.wmv"), kContainerWmv);
    host.state.output.videoBitrate = 780 * 1024;
    host.state.output.audioBitrate = 128000;
    host.state.trimStart = media::kUnitsPerSecond / 2;
    host.state.trimEnd = media::kUnitsPerSecond * 5 / 2;
    controller.OnConvertClicked();
    EXPECT_TRUE(env.ui.MessageTexts().isEmpty()) << env.ui.MessageTexts().join("|").toStdString();
    ASSERT_TRUE(test::WaitFor([&] { return !controller.Converting(); }, 60s));
    EXPECT_TRUE(host.status.startsWith("Done. ")) << host.status.toStdString();

    const test::MediaFacts facts = test::Discover(host.state.output.outputPath);
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_EQ(facts.videoStreams, 1);
    EXPECT_EQ(facts.audioStreams, 1);
    EXPECT_EQ(facts.width, 320);
    EXPECT_EQ(facts.height, 240);
    EXPECT_TRUE(facts.raw.contains(QLatin1String("format=(string)WMV2")))
        << facts.raw.toStdString();
    EXPECT_TRUE(facts.raw.contains(QLatin1String("wmaversion=(int)2"))) << facts.raw.toStdString();
    // The trimmed stretch is 2 s; the encoded sound ends with a whole
    // Windows Media Audio block of 2048 samples, so the file may run up to
    // one block past it besides a video frame.
    EXPECT_GE(facts.durationSeconds, 2.0 - 1.0 / 29);
    EXPECT_LE(facts.durationSeconds, 2.0 + 1.0 / 29 + 2048.0 / 44100);
}

namespace {

// One stream at a time: the demultiplexer does not preroll two outputs at once here.
qint64 DemuxedBytes(const QString& file, const char* pad, const QString& target) {
    QString log;
    const bool ok = test::RunGstLaunch(
        QString("filesrc location=\"%1\" ! asfdemux name=d d.%2 ! queue ! filesink "
                "location=\"%3\"")
            .arg(file, QLatin1String(pad), target),
        &log);
    EXPECT_TRUE(ok) << log.toStdString();
    return QFileInfo(target).size();
}

// The number of pictures a file decodes to (each made 16 x 16 and counted
// by its bytes).
qint64 PictureCount(const QString& file, const QString& target) {
    QString log;
    const bool ok = test::RunGstLaunch(
        test::DecodeOnly(file, "video/x-raw") +
            QString(" ! videoconvert ! videoscale ! video/x-raw,format=I420,width=16,height=16 ! "
                    "filesink location=\"%1\"")
                .arg(target),
        &log);
    EXPECT_TRUE(ok) << log.toStdString();
    return QFileInfo(target).size() / (16 * 16 * 3 / 2);
}

struct WindowsMediaJob {
    int32_t format;
    const char* name;
    int width;
    int height;
    int fpsNum;
    int fpsDen;
    double outputRate;
    int wholeRate;
    // Moving pictures whose detail the Windows Media Video encoder can code
    // at 780 Kbps: a still or plain picture cannot use that many bits, and
    // a busier one needs more than its coarsest quantiser allows.
    const char* pattern;
};

class WindowsMediaFiles : public ::testing::TestWithParam<WindowsMediaJob> {};

} // namespace

TEST_P(WindowsMediaFiles, TenSecondsAtTheRequestedSizeRateAndBitRates) {
    const WindowsMediaJob& job = GetParam();
    QTemporaryDir dir;
    const QString source = dir.filePath("moving.mkv");
    const int frames = 11 * job.fpsNum / job.fpsDen;
    QString log;
    ASSERT_TRUE(test::RunGstLaunch(
        QString("matroskamux name=mux ! filesink location=\"%1\" "
                "videotestsrc num-buffers=%2 %3 ! video/x-raw,width=%4,height=%5,framerate=%6/%7 "
                "! videoconvert ! x264enc pass=quant quantizer=12 speed-preset=ultrafast ! "
                "h264parse ! queue ! mux. "
                "audiotestsrc num-buffers=480 samplesperbuffer=1024 wave=pink-noise ! "
                "audio/x-raw,rate=44100,channels=2 ! audioconvert ! vorbisenc ! queue ! mux.")
            .arg(source)
            .arg(frames)
            .arg(job.pattern)
            .arg(job.width)
            .arg(job.height)
            .arg(job.fpsNum)
            .arg(job.fpsDen),
        &log, 180000))
        << log.toStdString();

    test::TestEnv env;
    test::ConvertTestHost host{env.ui};
    ConversionController controller{host};
    host.OpenVideo(source, 11.0, job.width, job.height, job.outputRate, env.TempPath(job.name),
                   job.format);
    host.state.output.frameRateIndex = 6;
    host.state.output.outputFrameRate = job.outputRate;
    host.state.output.videoBitrate = 780 * 1024;
    host.state.output.audioBitrate = 128000;
    host.state.trimStart = 0;
    host.state.trimEnd = 10 * media::kUnitsPerSecond;
    controller.OnConvertClicked();
    EXPECT_TRUE(env.ui.MessageTexts().isEmpty()) << env.ui.MessageTexts().join("|").toStdString();
    ASSERT_TRUE(test::WaitFor([&] { return !controller.Converting(); }, 120s));
    EXPECT_TRUE(host.status.startsWith("Done. ")) << host.status.toStdString();

    const test::MediaFacts facts = test::Discover(host.state.output.outputPath);
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_EQ(facts.videoStreams, 1);
    EXPECT_EQ(facts.audioStreams, 1);
    EXPECT_EQ(facts.width, job.width);
    EXPECT_EQ(facts.height, job.height);
    EXPECT_TRUE(facts.raw.contains(QLatin1String("format=(string)WMV2")))
        << facts.raw.toStdString();
    EXPECT_TRUE(facts.raw.contains(QLatin1String("wmaversion=(int)2")));
    // The profile holds whole frames per second, but the writer codes the
    // pictures at the rate they come: ten seconds hold ten seconds of them.
    EXPECT_NEAR(PictureCount(host.state.output.outputPath, dir.filePath("pictures.yuv")),
                std::ceil(10.0 * job.fpsNum / job.fpsDen), 1);
    // Ten seconds, within a frame and the last sound block of 2048 samples.
    EXPECT_GE(facts.durationSeconds, 10.0 - 1.0 / job.wholeRate);
    EXPECT_LE(facts.durationSeconds, 10.0 + 1.0 / job.wholeRate + 2048.0 / 44100);

    const double videoRate =
        DemuxedBytes(host.state.output.outputPath, "video_0", dir.filePath("video.es")) * 8.0 /
        10.0;
    const double audioRate =
        DemuxedBytes(host.state.output.outputPath, "audio_0", dir.filePath("audio.es")) * 8.0 /
        10.0;
    std::printf("%s: video %.0f bit/s, sound %.0f bit/s over 10 s\n", job.name, videoRate,
                audioRate);
    EXPECT_NEAR(videoRate, 780.0 * 1024, 0.15 * 780 * 1024);
    EXPECT_NEAR(audioRate, 128000.0, 0.15 * 128000);
}

INSTANTIATE_TEST_SUITE_P(
    WindowsMedia, WindowsMediaFiles,
    ::testing::Values(WindowsMediaJob{kContainerWmv, "ntsc.wmv", 320, 240, 30000, 1001, 29.97, 29,
                                      "pattern=smpte horizontal-speed=40"},
                      WindowsMediaJob{kContainerAsf, "film.asf", 640, 480, 24000, 1001, 23.976, 23,
                                      "pattern=zone-plate kt2=2 kx2=50 ky2=50"}),
    [](const ::testing::TestParamInfo<WindowsMediaJob>& info) {
        return info.param.format == kContainerWmv ? std::string("Wmv320At2997")
                                                  : std::string("Asf640At23976");
    });

TEST(WindowsMediaProfile, StopLeavesAPlayableFile) {
    QTemporaryDir dir;
    test::MediaSpec clip;
    clip.width = 64;
    clip.height = 48;
    clip.seconds = 40.0;
    const QString source = dir.filePath("long.mkv");
    QString log;
    ASSERT_TRUE(test::MakeMedia(source, clip, &log)) << log.toStdString();
    for (int32_t format : {kContainerWmv, kContainerAsf}) {
        SCOPED_TRACE(format);
        test::TestEnv env;
        test::ConvertTestHost host{env.ui};
        ConversionController controller{host};
        host.OpenVideo(source, 40.0, 64, 48, 25.0,
                       env.TempPath(format == kContainerWmv ? "stopped.wmv" : "stopped.asf"),
                       format);
        host.state.output.outputWidth = 640;
        host.state.output.outputHeight = 480;
        controller.OnConvertClicked();
        ASSERT_TRUE(controller.Converting()) << env.ui.MessageTexts().join("|").toStdString();
        ASSERT_TRUE(test::WaitFor(
            [&] { return host.status == "Please wait... Used Time: 00:00:01"; }, 10s));
        ASSERT_TRUE(controller.Converting()) << "the job ended before it could be stopped";
        controller.OnConvertClicked(); // Stop
        EXPECT_FALSE(controller.Converting());
        EXPECT_TRUE(host.status.startsWith("Done. ")) << host.status.toStdString();
        const test::MediaFacts facts = test::Discover(host.state.output.outputPath);
        ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
        EXPECT_EQ(facts.videoStreams, 1);
        EXPECT_EQ(facts.audioStreams, 1);
        EXPECT_EQ(facts.width, 640);
        EXPECT_GT(facts.durationSeconds, 0.2);
        EXPECT_LT(facts.durationSeconds, 39.0);
    }
}
