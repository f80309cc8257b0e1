#pragma once

#include "media/MediaPlatform.h"
#include "media/Timeline.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvelin::media {

// The Windows Media profile model: a profile manager with the codec
// information of the installed Windows Media encoders, profiles made of
// stream configurations with their media types, and mutual exclusions.
// The ASF writer (AsfWriter.h) is configured with such a profile.

struct WMGuid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    std::array<uint8_t, 8> data4{};
    bool operator==(const WMGuid&) const = default;
};

extern const WMGuid GUID_NULL;
extern const WMGuid WMMEDIATYPE_Audio;
extern const WMGuid WMMEDIATYPE_Video;
extern const WMGuid WMMEDIATYPE_Script;
extern const WMGuid WMFORMAT_WaveFormatEx;
extern const WMGuid WMFORMAT_VideoInfo;
extern const WMGuid WMFORMAT_Script;
extern const WMGuid WMSCRIPTTYPE_TwoStrings;
extern const WMGuid CLSID_WMMutex_Bitrate;

// The media subtype of a format tag or FOURCC: its first 32 bits are the
// code, the rest the standard base 0000-0010-8000-00AA00389B71.
WMGuid MediaSubtypeFromCode(uint32_t code);

constexpr uint32_t MakeFourcc(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

constexpr uint32_t WMT_VER_4_0 = 0x00040000;
constexpr uint32_t WMT_VER_7_0 = 0x00070000;
constexpr uint32_t WMT_VER_8_0 = 0x00080000;
constexpr uint32_t WMT_VER_9_0 = 0x00090000;

constexpr uint16_t WAVE_FORMAT_MSAUDIO1 = 0x160; // Windows Media Audio 1
constexpr uint16_t WAVE_FORMAT_WMAUDIO2 = 0x161; // Windows Media Audio 2 (and 7, 8, 9)

constexpr HRESULT NS_E_AUDIO_CODEC_NOT_INSTALLED = static_cast<HRESULT>(0xC00D0BC2u);
constexpr HRESULT NS_E_VIDEO_CODEC_NOT_INSTALLED = static_cast<HRESULT>(0xC00D0BC4u);
constexpr HRESULT NS_E_INVALID_STREAM = static_cast<HRESULT>(0xC00D002Au);

// The wave format block of an audio media type (18 bytes, then the codec's
// extra bytes), little-endian as stored in a file.
struct WaveFormatEx {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    std::vector<uint8_t> extra; // the extra-size field is its length

    std::vector<uint8_t> ToBytes() const;
    // False when the block is shorter than its extra size says.
    static bool FromBytes(const std::vector<uint8_t>& bytes, WaveFormatEx* format);
};

// The video-info header of a video media type (Timeline.h) as the 88 bytes
// of a format block, and back.
std::vector<uint8_t> VideoInfoToBytes(const VideoInfoHeader& header);
bool VideoInfoFromBytes(const std::vector<uint8_t>& bytes, VideoInfoHeader* header);

struct WMMediaType {
    WMGuid majortype;
    WMGuid subtype;
    bool fixedSizeSamples = false;
    bool temporalCompression = false;
    uint32_t sampleSize = 0;
    WMGuid formattype;
    std::vector<uint8_t> format;
};

// One stream of a profile: its numbers and names, bit rate and media type,
// and for video the quality and the key-frame spacing.
class WMStreamConfig {
public:
    explicit WMStreamConfig(const WMGuid& streamType) : streamType_(streamType) {}

    WMGuid GetStreamType() const { return streamType_; }
    uint16_t GetStreamNumber() const { return streamNumber_; }
    // Stream numbers run from 1 to 63.
    HRESULT SetStreamNumber(uint16_t number);
    std::u16string GetStreamName() const { return streamName_; }
    HRESULT SetStreamName(const std::u16string& name);
    std::u16string GetConnectionName() const { return connectionName_; }
    HRESULT SetConnectionName(const std::u16string& name);
    uint32_t GetBitrate() const { return bitrate_; }
    HRESULT SetBitrate(uint32_t bitsPerSecond);
    uint32_t GetBufferWindow() const { return bufferWindow_; }
    HRESULT SetBufferWindow(uint32_t milliseconds);

    // The media properties. A media type whose major type is not the
    // stream's is refused.
    HRESULT GetMediaType(WMMediaType* type) const;
    HRESULT SetMediaType(const WMMediaType& type);

    // The video media properties; E_NOINTERFACE on other streams.
    bool HasVideoMediaProps() const { return streamType_ == WMMEDIATYPE_Video; }
    HRESULT SetQuality(uint32_t quality);
    HRESULT GetQuality(uint32_t* quality) const;
    HRESULT SetMaxKeyFrameSpacing(int64_t spacing);
    HRESULT GetMaxKeyFrameSpacing(int64_t* spacing) const;

private:
    WMGuid streamType_;
    uint16_t streamNumber_ = 0;
    std::u16string streamName_;
    std::u16string connectionName_;
    uint32_t bitrate_ = 0;
    uint32_t bufferWindow_ = 3000;
    WMMediaType mediaType_;
    bool haveMediaType_ = false;
    uint32_t quality_ = 0;
    int64_t maxKeyFrameSpacing_ = 0;
};

class WMMutualExclusion {
public:
    HRESULT SetType(const WMGuid& type);
    WMGuid GetType() const { return type_; }
    HRESULT AddStream(uint16_t streamNumber);
    HRESULT RemoveStream(uint16_t streamNumber);
    const std::vector<uint16_t>& GetStreams() const { return streams_; }

private:
    WMGuid type_;
    std::vector<uint16_t> streams_;
};

class WMProfile {
public:
    explicit WMProfile(uint32_t version) : version_(version) {}

    uint32_t GetVersion() const { return version_; }
    std::u16string GetName() const { return name_; }
    HRESULT SetName(const std::u16string& name);

    // A new, unnumbered stream configuration of the major type (audio,
    // video or script); it belongs to the profile only once added.
    HRESULT CreateNewStream(const WMGuid& streamType, std::shared_ptr<WMStreamConfig>* config);
    // Adds a copy of the configuration. Refused when it has no stream
    // number or media type, or when its number is taken already.
    HRESULT AddStream(const WMStreamConfig& config);
    uint32_t GetStreamCount() const { return static_cast<uint32_t>(streams_.size()); }
    HRESULT GetStream(uint32_t index, WMStreamConfig* config) const;
    HRESULT GetStreamByNumber(uint16_t number, WMStreamConfig* config) const;

    HRESULT CreateNewMutualExclusion(std::shared_ptr<WMMutualExclusion>* exclusion);
    // Adds a copy; every stream it names must be in the profile.
    HRESULT AddMutualExclusion(const WMMutualExclusion& exclusion);
    uint32_t GetMutualExclusionCount() const { return static_cast<uint32_t>(exclusions_.size()); }
    HRESULT GetMutualExclusion(uint32_t index, WMMutualExclusion* exclusion) const;

private:
    uint32_t version_;
    std::u16string name_;
    std::vector<WMStreamConfig> streams_;
    std::vector<WMMutualExclusion> exclusions_;
};

// One concrete format an encoder produces.
struct WMCodecFormat {
    WMStreamConfig config{GUID_NULL}; // stream type, bit rate and media type
    int32_t encoderBitrate = 0;       // the encoder setting that gives this format
};

// An installed Windows Media encoder and the formats it can produce.
struct WMCodec {
    WMGuid majorType;
    std::string name;    // readable name
    std::string encoder; // the GStreamer element that encodes it
    std::vector<WMCodecFormat> formats;
};

// The installed Windows Media encoders, found once per process: each one is
// asked for every usual Windows Media audio format (8 to 48 kHz, mono and
// stereo, the Windows Media bit rates) or for a video format, and lists what
// it really produces. Newer codecs come first. Empty when the media platform
// is not initialised.
const std::vector<WMCodec>& InstalledWMCodecs();

// The codec information of a profile manager.
class WMCodecInfo {
public:
    explicit WMCodecInfo(std::vector<WMCodec> codecs) : codecs_(std::move(codecs)) {}

    HRESULT GetCodecInfoCount(const WMGuid& majorType, uint32_t* count) const;
    HRESULT GetCodecName(const WMGuid& majorType, uint32_t codec, std::string* name) const;
    HRESULT GetCodecFormatCount(const WMGuid& majorType, uint32_t codec, uint32_t* count) const;
    // A copy of the format's stream configuration.
    HRESULT GetCodecFormat(const WMGuid& majorType, uint32_t codec, uint32_t format,
                           std::shared_ptr<WMStreamConfig>* config) const;

private:
    const WMCodec* Find(const WMGuid& majorType, uint32_t codec) const;
    std::vector<WMCodec> codecs_;
};

class WMProfileManager {
public:
    // A manager whose codec information lists `codecs` instead of the
    // installed encoders.
    explicit WMProfileManager(std::vector<WMCodec> codecs) : codecInfo_(std::move(codecs)) {}

    HRESULT CreateEmptyProfile(uint32_t version, std::shared_ptr<WMProfile>* profile);
    // Loads a profile from its XML text (the <profile> document of the
    // Windows Media profile files). Text that is no such document is
    // refused with E_INVALIDARG.
    HRESULT LoadProfileByData(const std::u16string& text, std::shared_ptr<WMProfile>* profile);
    HRESULT GetCodecInfo(WMCodecInfo** info);

private:
    WMCodecInfo codecInfo_;
};

// A profile manager over the installed Windows Media encoders.
HRESULT WMCreateProfileManager(std::shared_ptr<WMProfileManager>* manager);

} // namespace orvelin::media
