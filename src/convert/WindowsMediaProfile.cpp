#include "convert/WindowsMediaProfile.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

namespace orvelin {

using media::E_FAIL;
using media::E_INVALIDARG;
using media::E_POINTER;
using media::Failed;
using media::HRESULT;
using media::S_OK;
using media::WMCodecInfo;
using media::WMMediaType;
using media::WMProfile;
using media::WMProfileManager;
using media::WMStreamConfig;

namespace {

// The Windows Media video FOURCCs a fallback may take, in any installed
// codec's order.
bool IsWindowsMediaVideo(uint32_t fourcc) {
    return fourcc == media::MakeFourcc('W', 'M', 'V', '3') ||
           fourcc == media::MakeFourcc('W', 'M', 'V', '2') ||
           fourcc == media::MakeFourcc('W', 'M', 'V', '1') ||
           fourcc == media::MakeFourcc('W', 'V', 'C', '1');
}

} // namespace

HRESULT ConfigureStream(WMStreamConfig& config, uint16_t streamNumber,
                        const std::u16string& streamName, const std::u16string& connectionName,
                        uint32_t bitrate, const WMMediaType& type) {
    if (HRESULT hr = config.SetStreamNumber(streamNumber); Failed(hr))
        return hr;
    if (HRESULT hr = config.SetStreamName(streamName); Failed(hr))
        return hr;
    if (HRESULT hr = config.SetConnectionName(connectionName); Failed(hr))
        return hr;
    if (HRESULT hr = config.SetBitrate(bitrate); Failed(hr))
        return hr;
    return config.SetMediaType(type);
}

HRESULT AddAudioStream(uint32_t formatTag, uint32_t bitrate, uint32_t sampleRate, uint32_t channels,
                       bool videoPresent, WMProfile& profile, WMProfileManager& manager) {
    WMCodecInfo* info = nullptr;
    if (HRESULT hr = manager.GetCodecInfo(&info); Failed(hr))
        return hr;
    uint32_t codecs = 0;
    if (HRESULT hr = info->GetCodecInfoCount(media::WMMEDIATYPE_Audio, &codecs); Failed(hr))
        return hr;
    bool found = false;
    media::WaveFormatEx chosen;
    for (uint32_t c = 0; c < codecs; ++c) {
        uint32_t formats = 0;
        if (HRESULT hr = info->GetCodecFormatCount(media::WMMEDIATYPE_Audio, c, &formats);
            Failed(hr))
            return hr;
        for (uint32_t f = 0; f < formats; ++f) {
            std::shared_ptr<WMStreamConfig> config;
            if (HRESULT hr = info->GetCodecFormat(media::WMMEDIATYPE_Audio, c, f, &config);
                Failed(hr))
                return hr;
            WMMediaType type;
            if (HRESULT hr = config->GetMediaType(&type); Failed(hr))
                return hr;
            media::WaveFormatEx wave;
            if (type.formattype != media::WMFORMAT_WaveFormatEx ||
                !media::WaveFormatEx::FromBytes(type.format, &wave))
                return E_FAIL;
            const int64_t difference =
                static_cast<int64_t>(wave.avgBytesPerSec) * 8 - static_cast<int64_t>(bitrate);
            const bool candidate = std::llabs(difference) < 250 &&
                                   wave.samplesPerSec == sampleRate && wave.channels == channels &&
                                   wave.formatTag == (formatTag & 0xFFFF);
            if (!candidate)
                continue;
            const bool replaces = !found ||
                                  (videoPresent && wave.blockAlign <= chosen.blockAlign) ||
                                  (!videoPresent && wave.blockAlign >= chosen.blockAlign);
            if (replaces) {
                chosen = wave;
                found = true;
            }
        }
    }
    if (!found)
        return media::NS_E_AUDIO_CODEC_NOT_INSTALLED;

    WMMediaType type;
    type.majortype = media::WMMEDIATYPE_Audio;
    type.subtype = media::MediaSubtypeFromCode(chosen.formatTag);
    type.fixedSizeSamples = true;
    type.temporalCompression = false;
    type.sampleSize = chosen.blockAlign;
    type.formattype = media::WMFORMAT_WaveFormatEx;
    type.format = chosen.ToBytes();

    std::shared_ptr<WMStreamConfig> stream;
    if (HRESULT hr = profile.CreateNewStream(media::WMMEDIATYPE_Audio, &stream); Failed(hr))
        return hr;
    if (HRESULT hr =
            ConfigureStream(*stream, 1, u"Audio Stream", u"Audio", chosen.avgBytesPerSec * 8, type);
        Failed(hr))
        return hr;
    return profile.AddStream(*stream);
}

HRESULT AddVideoStream(WMProfile& profile, WMProfileManager& manager, uint16_t streamNumber,
                       uint32_t fourcc, uint32_t bitrate, int32_t width, int32_t height,
                       uint32_t frameRate, uint32_t quality, uint32_t keyFrameSpacing) {
    WMCodecInfo* info = nullptr;
    if (HRESULT hr = manager.GetCodecInfo(&info); Failed(hr))
        return hr;
    uint32_t codecs = 0;
    if (HRESULT hr = info->GetCodecInfoCount(media::WMMEDIATYPE_Video, &codecs); Failed(hr))
        return hr;
    std::shared_ptr<WMStreamConfig> taken;
    std::shared_ptr<WMStreamConfig> fallback;
    WMMediaType takenType;
    WMMediaType fallbackType;
    for (uint32_t c = 0; c < codecs && !taken; ++c) {
        uint32_t formats = 0;
        if (HRESULT hr = info->GetCodecFormatCount(media::WMMEDIATYPE_Video, c, &formats);
            Failed(hr))
            return hr;
        for (uint32_t f = 0; f < formats && !taken; ++f) {
            std::shared_ptr<WMStreamConfig> config;
            if (HRESULT hr = info->GetCodecFormat(media::WMMEDIATYPE_Video, c, f, &config);
                Failed(hr))
                return hr;
            if (!config->HasVideoMediaProps())
                return media::E_NOINTERFACE;
            WMMediaType type;
            if (HRESULT hr = config->GetMediaType(&type); Failed(hr))
                return hr;
            media::VideoInfoHeader header;
            if (type.formattype != media::WMFORMAT_VideoInfo ||
                !media::VideoInfoFromBytes(type.format, &header))
                continue;
            if (header.bmiHeader.biCompression == fourcc) {
                taken = config;
                takenType = type;
            } else if (!fallback && IsWindowsMediaVideo(header.bmiHeader.biCompression)) {
                fallback = config;
                fallbackType = type;
            }
        }
    }
    // No Windows Media Video 9 encoder exists on this platform: the best
    // installed Windows Media video format stands in for the requested one.
    if (!taken && fallback) {
        taken = fallback;
        takenType = fallbackType;
    }
    if (!taken)
        return media::NS_E_VIDEO_CODEC_NOT_INSTALLED;

    media::VideoInfoHeader header;
    media::VideoInfoFromBytes(takenType.format, &header);
    header.dwBitRate = bitrate;
    header.rcSource.right = header.rcTarget.right = width;
    header.rcSource.bottom = header.rcTarget.bottom = height;
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = height;
    // A rate below one frame per second is held at one frame per second.
    header.AvgTimePerFrame = 10000000LL / (frameRate ? frameRate : 1);
    takenType.format = VideoInfoToBytes(header);

    if (HRESULT hr = taken->SetQuality(quality); Failed(hr))
        return hr;
    if (HRESULT hr = taken->SetMaxKeyFrameSpacing(static_cast<int64_t>(keyFrameSpacing) * 10000000);
        Failed(hr))
        return hr;
    if (HRESULT hr =
            ConfigureStream(*taken, streamNumber, u"Video Stream", u"Video", bitrate, takenType);
        Failed(hr))
        return hr;
    return profile.AddStream(*taken);
}

HRESULT AddBitrateMutex(WMProfile& profile, uint16_t videoCount) {
    std::shared_ptr<media::WMMutualExclusion> exclusion;
    if (HRESULT hr = profile.CreateNewMutualExclusion(&exclusion); Failed(hr))
        return hr;
    if (HRESULT hr = exclusion->SetType(media::CLSID_WMMutex_Bitrate); Failed(hr))
        return hr;
    for (uint32_t n = 2; n <= static_cast<uint32_t>(videoCount) + 1; ++n) {
        if (HRESULT hr = exclusion->AddStream(static_cast<uint16_t>(n)); Failed(hr))
            return hr;
    }
    return profile.AddMutualExclusion(*exclusion);
}

HRESULT AddScriptStream(WMProfile& profile, uint16_t streamNumber, uint32_t bitrate) {
    WMMediaType type;
    type.majortype = media::WMMEDIATYPE_Script;
    type.subtype = media::GUID_NULL;
    type.fixedSizeSamples = false;
    type.temporalCompression = false;
    type.sampleSize = 0;
    type.formattype = media::WMFORMAT_Script;
    const media::WMGuid& g = media::WMSCRIPTTYPE_TwoStrings;
    for (int shift = 0; shift < 32; shift += 8)
        type.format.push_back(static_cast<uint8_t>(g.data1 >> shift));
    for (uint16_t part : {g.data2, g.data3}) {
        type.format.push_back(static_cast<uint8_t>(part));
        type.format.push_back(static_cast<uint8_t>(part >> 8));
    }
    for (uint8_t byte : g.data4)
        type.format.push_back(byte);

    std::shared_ptr<WMStreamConfig> stream;
    if (HRESULT hr = profile.CreateNewStream(media::WMMEDIATYPE_Script, &stream); Failed(hr))
        return hr;
    if (HRESULT hr =
            ConfigureStream(*stream, streamNumber, u"Script Stream", u"Script", bitrate, type);
        Failed(hr))
        return hr;
    return profile.AddStream(*stream);
}

HRESULT GenerateProfile(const AudioStreamParams* audio, const uint32_t* scriptBitrate,
                        uint16_t videoCount, const VideoStreamParams* video,
                        std::shared_ptr<WMProfile>* profile, uint32_t version,
                        const ProfileManagerFactory& createManager) {
    if (!audio || !profile || videoCount > 63 || (videoCount != 0 && !video))
        return E_INVALIDARG;
    std::shared_ptr<WMProfileManager> manager;
    if (HRESULT hr = createManager(&manager); Failed(hr))
        return hr;
    std::shared_ptr<WMProfile> made;
    HRESULT hr = manager->CreateEmptyProfile(version, &made);
    if (!Failed(hr))
        hr = made->SetName(u"Custom Profile");
    if (!Failed(hr))
        hr = AddAudioStream(audio->formatTag, audio->bitrate, audio->sampleRate, audio->channels,
                            videoCount != 0, *made, *manager);
    for (uint16_t i = 0; i < videoCount && !Failed(hr); ++i) {
        const VideoStreamParams& v = video[i];
        hr = AddVideoStream(*made, *manager, static_cast<uint16_t>(i + 2), v.fourcc, v.bitrate,
                            v.width, v.height, v.frameRate, v.quality, v.keyFrameSpacing);
    }
    if (!Failed(hr) && videoCount > 1)
        hr = AddBitrateMutex(*made, videoCount);
    if (!Failed(hr) && scriptBitrate)
        hr = AddScriptStream(*made, static_cast<uint16_t>(videoCount + 2), *scriptBitrate);
    if (!Failed(hr))
        *profile = made;
    return hr;
}

HRESULT MapProfile(const std::string& text, std::shared_ptr<WMProfile>* profile,
                   const ProfileManagerFactory& createManager) {
    if (!profile)
        return E_POINTER;
    std::shared_ptr<WMProfileManager> manager;
    if (HRESULT hr = createManager(&manager); Failed(hr)) {
        std::printf("MapProfile: Failed to create profile manager!  hr=0x%x\n",
                    static_cast<unsigned int>(hr));
        std::fflush(stdout);
        return hr;
    }
    return manager->LoadProfileByData(QString::fromUtf8(text).toStdU16String(), profile);
}

} // namespace orvelin
