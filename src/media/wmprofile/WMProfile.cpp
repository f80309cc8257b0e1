#include "media/WMProfile.h"

#include "media/ErrorText.h"

#include <algorithm>

namespace orvelin::media {

namespace {

constexpr WMGuid Guid(uint32_t d1, uint16_t d2, uint16_t d3, std::array<uint8_t, 8> d4) {
    return WMGuid{d1, d2, d3, d4};
}

constexpr std::array<uint8_t, 8> kBase = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void Put64(std::vector<uint8_t>& out, uint64_t v) {
    Put32(out, static_cast<uint32_t>(v));
    Put32(out, static_cast<uint32_t>(v >> 32));
}

uint32_t Get16(const std::vector<uint8_t>& in, size_t at) {
    return static_cast<uint32_t>(in[at]) | static_cast<uint32_t>(in[at + 1]) << 8;
}

uint32_t Get32(const std::vector<uint8_t>& in, size_t at) {
    return Get16(in, at) | Get16(in, at + 2) << 16;
}

uint64_t Get64(const std::vector<uint8_t>& in, size_t at) {
    return static_cast<uint64_t>(Get32(in, at)) | static_cast<uint64_t>(Get32(in, at + 4)) << 32;
}

void PutRect(std::vector<uint8_t>& out, const VideoRect& r) {
    Put32(out, static_cast<uint32_t>(r.left));
    Put32(out, static_cast<uint32_t>(r.top));
    Put32(out, static_cast<uint32_t>(r.right));
    Put32(out, static_cast<uint32_t>(r.bottom));
}

VideoRect GetRect(const std::vector<uint8_t>& in, size_t at) {
    return VideoRect{static_cast<int32_t>(Get32(in, at)), static_cast<int32_t>(Get32(in, at + 4)),
                     static_cast<int32_t>(Get32(in, at + 8)),
                     static_cast<int32_t>(Get32(in, at + 12))};
}

constexpr size_t kVideoInfoSize = 88;

} // namespace

const WMGuid GUID_NULL{};
const WMGuid WMMEDIATYPE_Audio = Guid(0x73647561, 0x0000, 0x0010, kBase);
const WMGuid WMMEDIATYPE_Video = Guid(0x73646976, 0x0000, 0x0010, kBase);
const WMGuid WMMEDIATYPE_Script =
    Guid(0x73636d64, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
const WMGuid WMFORMAT_WaveFormatEx =
    Guid(0x05589f81, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a});
const WMGuid WMFORMAT_VideoInfo =
    Guid(0x05589f80, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a});
const WMGuid WMFORMAT_Script =
    Guid(0x5c8510f2, 0xdebe, 0x4ca7, {0xbb, 0xa5, 0xf0, 0x7a, 0x10, 0x4f, 0x8d, 0xff});
const WMGuid WMSCRIPTTYPE_TwoStrings =
    Guid(0x82f38a70, 0xc29f, 0x11d1, {0x97, 0xad, 0x00, 0xa0, 0xc9, 0x5e, 0xa8, 0x50});
const WMGuid CLSID_WMMutex_Bitrate =
    Guid(0xD6E22A01, 0x35DA, 0x11D1, {0x90, 0x34, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xBE});

WMGuid MediaSubtypeFromCode(uint32_t code) {
    return Guid(code, 0x0000, 0x0010, kBase);
}

std::vector<uint8_t> WaveFormatEx::ToBytes() const {
    std::vector<uint8_t> out;
    Put16(out, formatTag);
    Put16(out, channels);
    Put32(out, samplesPerSec);
    Put32(out, avgBytesPerSec);
    Put16(out, blockAlign);
    Put16(out, bitsPerSample);
    Put16(out, static_cast<uint32_t>(extra.size()));
    out.insert(out.end(), extra.begin(), extra.end());
    return out;
}

bool WaveFormatEx::FromBytes(const std::vector<uint8_t>& bytes, WaveFormatEx* format) {
    if (!format || bytes.size() < 18)
        return false;
    const size_t extraSize = Get16(bytes, 16);
    if (bytes.size() < 18 + extraSize)
        return false;
    format->formatTag = static_cast<uint16_t>(Get16(bytes, 0));
    format->channels = static_cast<uint16_t>(Get16(bytes, 2));
    format->samplesPerSec = Get32(bytes, 4);
    format->avgBytesPerSec = Get32(bytes, 8);
    format->blockAlign = static_cast<uint16_t>(Get16(bytes, 12));
    format->bitsPerSample = static_cast<uint16_t>(Get16(bytes, 14));
    format->extra.assign(bytes.begin() + 18, bytes.begin() + 18 + static_cast<long>(extraSize));
    return true;
}

std::vector<uint8_t> VideoInfoToBytes(const VideoInfoHeader& header) {
    std::vector<uint8_t> out;
    PutRect(out, header.rcSource);
    PutRect(out, header.rcTarget);
    Put32(out, header.dwBitRate);
    Put32(out, header.dwBitErrorRate);
    Put64(out, static_cast<uint64_t>(header.AvgTimePerFrame));
    const BitmapInfoHeader& b = header.bmiHeader;
    Put32(out, b.biSize);
    Put32(out, static_cast<uint32_t>(b.biWidth));
    Put32(out, static_cast<uint32_t>(b.biHeight));
    Put16(out, b.biPlanes);
    Put16(out, b.biBitCount);
    Put32(out, b.biCompression);
    Put32(out, b.biSizeImage);
    Put32(out, static_cast<uint32_t>(b.biXPelsPerMeter));
    Put32(out, static_cast<uint32_t>(b.biYPelsPerMeter));
    Put32(out, b.biClrUsed);
    Put32(out, b.biClrImportant);
    return out;
}

bool VideoInfoFromBytes(const std::vector<uint8_t>& bytes, VideoInfoHeader* header) {
    if (!header || bytes.size() < kVideoInfoSize)
        return false;
    header->rcSource = GetRect(bytes, 0);
    header->rcTarget = GetRect(bytes, 16);
    header->dwBitRate = Get32(bytes, 32);
    header->dwBitErrorRate = Get32(bytes, 36);
    header->AvgTimePerFrame = static_cast<int64_t>(Get64(bytes, 40));
    BitmapInfoHeader& b = header->bmiHeader;
    b.biSize = Get32(bytes, 48);
    b.biWidth = static_cast<int32_t>(Get32(bytes, 52));
    b.biHeight = static_cast<int32_t>(Get32(bytes, 56));
    b.biPlanes = static_cast<uint16_t>(Get16(bytes, 60));
    b.biBitCount = static_cast<uint16_t>(Get16(bytes, 62));
    b.biCompression = Get32(bytes, 64);
    b.biSizeImage = Get32(bytes, 68);
    b.biXPelsPerMeter = static_cast<int32_t>(Get32(bytes, 72));
    b.biYPelsPerMeter = static_cast<int32_t>(Get32(bytes, 76));
    b.biClrUsed = Get32(bytes, 80);
    b.biClrImportant = Get32(bytes, 84);
    return true;
}

// Stream configurations.

HRESULT WMStreamConfig::SetStreamNumber(uint16_t number) {
    if (number < 1 || number > 63)
        return E_INVALIDARG;
    streamNumber_ = number;
    return S_OK;
}

HRESULT WMStreamConfig::SetStreamName(const std::u16string& name) {
    streamName_ = name;
    return S_OK;
}

HRESULT WMStreamConfig::SetConnectionName(const std::u16string& name) {
    connectionName_ = name;
    return S_OK;
}

HRESULT WMStreamConfig::SetBitrate(uint32_t bitsPerSecond) {
    bitrate_ = bitsPerSecond;
    return S_OK;
}

HRESULT WMStreamConfig::SetBufferWindow(uint32_t milliseconds) {
    bufferWindow_ = milliseconds;
    return S_OK;
}

HRESULT WMStreamConfig::GetMediaType(WMMediaType* type) const {
    if (!type)
        return E_POINTER;
    if (!haveMediaType_)
        return E_FAIL;
    *type = mediaType_;
    return S_OK;
}

HRESULT WMStreamConfig::SetMediaType(const WMMediaType& type) {
    if (type.majortype != streamType_)
        return E_INVALIDARG;
    if (type.formattype == WMFORMAT_WaveFormatEx) {
        WaveFormatEx wave;
        if (!WaveFormatEx::FromBytes(type.format, &wave))
            return E_INVALIDARG;
    } else if (type.formattype == WMFORMAT_VideoInfo) {
        VideoInfoHeader header;
        if (!VideoInfoFromBytes(type.format, &header))
            return E_INVALIDARG;
    }
    mediaType_ = type;
    haveMediaType_ = true;
    return S_OK;
}

HRESULT WMStreamConfig::SetQuality(uint32_t quality) {
    if (!HasVideoMediaProps())
        return E_NOINTERFACE;
    if (quality > 100)
        return E_INVALIDARG;
    quality_ = quality;
    return S_OK;
}

HRESULT WMStreamConfig::GetQuality(uint32_t* quality) const {
    if (!HasVideoMediaProps())
        return E_NOINTERFACE;
    if (!quality)
        return E_POINTER;
    *quality = quality_;
    return S_OK;
}

HRESULT WMStreamConfig::SetMaxKeyFrameSpacing(int64_t spacing) {
    if (!HasVideoMediaProps())
        return E_NOINTERFACE;
    if (spacing < 0)
        return E_INVALIDARG;
    maxKeyFrameSpacing_ = spacing;
    return S_OK;
}

HRESULT WMStreamConfig::GetMaxKeyFrameSpacing(int64_t* spacing) const {
    if (!HasVideoMediaProps())
        return E_NOINTERFACE;
    if (!spacing)
        return E_POINTER;
    *spacing = maxKeyFrameSpacing_;
    return S_OK;
}

// Mutual exclusions.

HRESULT WMMutualExclusion::SetType(const WMGuid& type) {
    type_ = type;
    return S_OK;
}

HRESULT WMMutualExclusion::AddStream(uint16_t streamNumber) {
    if (streamNumber < 1 || streamNumber > 63)
        return E_INVALIDARG;
    if (std::find(streams_.begin(), streams_.end(), streamNumber) != streams_.end())
        return E_INVALIDARG;
    streams_.push_back(streamNumber);
    return S_OK;
}

HRESULT WMMutualExclusion::RemoveStream(uint16_t streamNumber) {
    auto it = std::find(streams_.begin(), streams_.end(), streamNumber);
    if (it == streams_.end())
        return E_INVALIDARG;
    streams_.erase(it);
    return S_OK;
}

// Profiles.

HRESULT WMProfile::SetName(const std::u16string& name) {
    name_ = name;
    return S_OK;
}

HRESULT WMProfile::CreateNewStream(const WMGuid& streamType,
                                   std::shared_ptr<WMStreamConfig>* config) {
    if (!config)
        return E_POINTER;
    if (streamType != WMMEDIATYPE_Audio && streamType != WMMEDIATYPE_Video &&
        streamType != WMMEDIATYPE_Script)
        return E_INVALIDARG;
    *config = std::make_shared<WMStreamConfig>(streamType);
    return S_OK;
}

HRESULT WMProfile::AddStream(const WMStreamConfig& config) {
    WMMediaType type;
    if (config.GetStreamNumber() == 0 || Failed(config.GetMediaType(&type)))
        return NS_E_INVALID_STREAM;
    for (const WMStreamConfig& s : streams_) {
        if (s.GetStreamNumber() == config.GetStreamNumber())
            return NS_E_INVALID_STREAM;
    }
    streams_.push_back(config);
    return S_OK;
}

HRESULT WMProfile::GetStream(uint32_t index, WMStreamConfig* config) const {
    if (!config)
        return E_POINTER;
    if (index >= streams_.size())
        return E_INVALIDARG;
    *config = streams_[index];
    return S_OK;
}

HRESULT WMProfile::GetStreamByNumber(uint16_t number, WMStreamConfig* config) const {
    if (!config)
        return E_POINTER;
    for (const WMStreamConfig& s : streams_) {
        if (s.GetStreamNumber() == number) {
            *config = s;
            return S_OK;
        }
    }
    return NS_E_INVALID_STREAM;
}

HRESULT WMProfile::CreateNewMutualExclusion(std::shared_ptr<WMMutualExclusion>* exclusion) {
    if (!exclusion)
        return E_POINTER;
    *exclusion = std::make_shared<WMMutualExclusion>();
    return S_OK;
}

HRESULT WMProfile::AddMutualExclusion(const WMMutualExclusion& exclusion) {
    for (uint16_t number : exclusion.GetStreams()) {
        WMStreamConfig config{GUID_NULL};
        if (Failed(GetStreamByNumber(number, &config)))
            return NS_E_INVALID_STREAM;
    }
    exclusions_.push_back(exclusion);
    return S_OK;
}

HRESULT WMProfile::GetMutualExclusion(uint32_t index, WMMutualExclusion* exclusion) const {
    if (!exclusion)
        return E_POINTER;
    if (index >= exclusions_.size())
        return E_INVALIDARG;
    *exclusion = exclusions_[index];
    return S_OK;
}

// Codec information.

const WMCodec* WMCodecInfo::Find(const WMGuid& majorType, uint32_t codec) const {
    uint32_t n = 0;
    for (const WMCodec& c : codecs_) {
        if (c.majorType != majorType)
            continue;
        if (n == codec)
            return &c;
        ++n;
    }
    return nullptr;
}

HRESULT WMCodecInfo::GetCodecInfoCount(const WMGuid& majorType, uint32_t* count) const {
    if (!count)
        return E_POINTER;
    *count =
        static_cast<uint32_t>(std::count_if(codecs_.begin(), codecs_.end(), [&](const WMCodec& c) {
            return c.majorType == majorType;
        }));
    return S_OK;
}

HRESULT WMCodecInfo::GetCodecName(const WMGuid& majorType, uint32_t codec,
                                  std::string* name) const {
    if (!name)
        return E_POINTER;
    const WMCodec* c = Find(majorType, codec);
    if (!c)
        return E_INVALIDARG;
    *name = c->name;
    return S_OK;
}

HRESULT WMCodecInfo::GetCodecFormatCount(const WMGuid& majorType, uint32_t codec,
                                         uint32_t* count) const {
    if (!count)
        return E_POINTER;
    const WMCodec* c = Find(majorType, codec);
    if (!c)
        return E_INVALIDARG;
    *count = static_cast<uint32_t>(c->formats.size());
    return S_OK;
}

HRESULT WMCodecInfo::GetCodecFormat(const WMGuid& majorType, uint32_t codec, uint32_t format,
                                    std::shared_ptr<WMStreamConfig>* config) const {
    if (!config)
        return E_POINTER;
    const WMCodec* c = Find(majorType, codec);
    if (!c || format >= c->formats.size())
        return E_INVALIDARG;
    *config = std::make_shared<WMStreamConfig>(c->formats[format].config);
    return S_OK;
}

// The profile manager.

HRESULT WMProfileManager::CreateEmptyProfile(uint32_t version,
                                             std::shared_ptr<WMProfile>* profile) {
    if (!profile)
        return E_POINTER;
    if (version != WMT_VER_4_0 && version != WMT_VER_7_0 && version != WMT_VER_8_0 &&
        version != WMT_VER_9_0)
        return E_INVALIDARG;
    *profile = std::make_shared<WMProfile>(version);
    return S_OK;
}

HRESULT WMProfileManager::GetCodecInfo(WMCodecInfo** info) {
    if (!info)
        return E_POINTER;
    *info = &codecInfo_;
    return S_OK;
}

HRESULT WMCreateProfileManager(std::shared_ptr<WMProfileManager>* manager) {
    if (!manager)
        return E_POINTER;
    if (!MediaPlatformInitialized())
        return RecordError(E_FAIL, QStringLiteral("The media platform is not initialised."));
    *manager = std::make_shared<WMProfileManager>(InstalledWMCodecs());
    return S_OK;
}

} // namespace orvelin::media
