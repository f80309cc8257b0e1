// The codec information of the installed Windows Media encoders: each
// encoder is opened for each format it might produce and the format it
// really gives is read from its output.

#include "media/WMProfile.h"

#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>

namespace orvelin::media {

namespace {

// Windows Media audio formats span about half a bit to four bits per sample
// (5 kbit/s at 8 kHz mono up to 320 kbit/s at 44.1 or 48 kHz stereo), on
// this ladder of bit rates.
constexpr int kSampleRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
constexpr int kBitrates[] = {5000,  6000,   8000,   10000,  12000,  16000, 20000,
                             22000, 24000,  32000,  40000,  48000,  64000, 80000,
                             96000, 128000, 160000, 192000, 256000, 320000};
constexpr double kMinBitsPerSample = 0.5;
constexpr double kMaxBitsPerSample = 4.0;

// A video format is asked for at this frame.
constexpr int kProbeWidth = 320;
constexpr int kProbeHeight = 240;
constexpr int kProbeRate = 30;

struct Element {
    GstElement* e = nullptr;
    ~Element() {
        if (e) {
            gst_element_set_state(e, GST_STATE_NULL);
            gst_object_unref(e);
        }
    }
};

// Runs `description` (ending in a fakesink named "out") until it prerolls
// and answers the caps that reached the sink, or nullptr. `encoderOut`
// receives the frame size of an audio encoder named "enc".
GstCaps* PrerolledCaps(const std::string& description, int* frameSamples) {
    GError* error = nullptr;
    Element pipeline{gst_parse_launch(description.c_str(), &error)};
    if (error) {
        g_error_free(error);
        return nullptr;
    }
    if (!pipeline.e)
        return nullptr;
    gst_element_set_state(pipeline.e, GST_STATE_PAUSED);
    if (gst_element_get_state(pipeline.e, nullptr, nullptr, 5 * GST_SECOND) !=
        GST_STATE_CHANGE_SUCCESS)
        return nullptr;
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline.e), "out");
    GstCaps* caps = nullptr;
    if (sink) {
        GstPad* pad = gst_element_get_static_pad(sink, "sink");
        caps = gst_pad_get_current_caps(pad);
        gst_object_unref(pad);
        gst_object_unref(sink);
    }
    if (frameSamples) {
        *frameSamples = 0;
        if (GstElement* enc = gst_bin_get_by_name(GST_BIN(pipeline.e), "enc")) {
            if (GST_IS_AUDIO_ENCODER(enc))
                *frameSamples = gst_audio_encoder_get_frame_samples_min(GST_AUDIO_ENCODER(enc));
            gst_object_unref(enc);
        }
    }
    return caps;
}

std::vector<uint8_t> CodecData(const GstStructure* s) {
    std::vector<uint8_t> bytes;
    const GValue* value = gst_structure_get_value(s, "codec_data");
    if (value && GST_VALUE_HOLDS_BUFFER(value)) {
        GstBuffer* buffer = gst_value_get_buffer(value);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            bytes.assign(map.data, map.data + map.size);
            gst_buffer_unmap(buffer, &map);
        }
    }
    return bytes;
}

bool ProducesKind(GstElementFactory* factory, const char* mediaType) {
    for (const GList* t = gst_element_factory_get_static_pad_templates(factory); t; t = t->next) {
        auto* tmpl = static_cast<GstStaticPadTemplate*>(t->data);
        if (tmpl->direction != GST_PAD_SRC)
            continue;
        GstCaps* caps = gst_static_caps_get(&tmpl->static_caps);
        bool found = false;
        for (guint i = 0; i < gst_caps_get_size(caps) && !found; ++i)
            found = gst_structure_has_name(gst_caps_get_structure(caps, i), mediaType);
        gst_caps_unref(caps);
        if (found)
            return true;
    }
    return false;
}

std::string LongName(GstElementFactory* factory) {
    const gchar* name = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
    return name ? name : GST_OBJECT_NAME(factory);
}

std::optional<WMCodecFormat> AudioFormat(const std::string& encoder, int rate, int channels,
                                         int bitrate) {
    const std::string description =
        "audiotestsrc num-buffers=1 samplesperbuffer=8192 ! audio/x-raw,format=F32LE,rate=" +
        std::to_string(rate) + ",channels=" + std::to_string(channels) + " ! " + encoder +
        " name=enc bitrate=" + std::to_string(bitrate) + " ! fakesink name=out";
    int frameSamples = 0;
    GstCaps* caps = PrerolledCaps(description, &frameSamples);
    if (!caps)
        return std::nullopt;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    int version = 0, blockAlign = 0, outRate = 0, outChannels = 0;
    const bool complete = gst_structure_get_int(s, "wmaversion", &version) &&
                          gst_structure_get_int(s, "block_align", &blockAlign) &&
                          gst_structure_get_int(s, "rate", &outRate) &&
                          gst_structure_get_int(s, "channels", &outChannels) && blockAlign > 0 &&
                          frameSamples > 0 && (version == 1 || version == 2);
    std::vector<uint8_t> extra = CodecData(s);
    gst_caps_unref(caps);
    if (!complete || outRate != rate || outChannels != channels)
        return std::nullopt;

    WaveFormatEx wave;
    wave.formatTag = version == 1 ? WAVE_FORMAT_MSAUDIO1 : WAVE_FORMAT_WMAUDIO2;
    wave.channels = static_cast<uint16_t>(channels);
    wave.samplesPerSec = static_cast<uint32_t>(rate);
    // Every block holds the same number of samples and the same bytes.
    wave.avgBytesPerSec =
        static_cast<uint32_t>(std::lround(static_cast<double>(blockAlign) * rate / frameSamples));
    wave.blockAlign = static_cast<uint16_t>(blockAlign);
    wave.bitsPerSample = 16;
    wave.extra = std::move(extra);

    WMMediaType type;
    type.majortype = WMMEDIATYPE_Audio;
    type.subtype = MediaSubtypeFromCode(wave.formatTag);
    type.fixedSizeSamples = true;
    type.temporalCompression = false;
    type.sampleSize = wave.blockAlign;
    type.formattype = WMFORMAT_WaveFormatEx;
    type.format = wave.ToBytes();

    WMCodecFormat format;
    format.config = WMStreamConfig(WMMEDIATYPE_Audio);
    format.config.SetBitrate(wave.avgBytesPerSec * 8);
    format.config.SetMediaType(type);
    format.encoderBitrate = bitrate;
    return format;
}

uint32_t VideoFourcc(const GstStructure* s) {
    if (const gchar* format = gst_structure_get_string(s, "format"); format && strlen(format) == 4)
        return MakeFourcc(format[0], format[1], format[2], format[3]);
    int version = 0;
    if (!gst_structure_get_int(s, "wmvversion", &version) || version < 1 || version > 3)
        return 0;
    return MakeFourcc('W', 'M', 'V', static_cast<char>('0' + version));
}

std::optional<WMCodecFormat> VideoFormat(GstElementFactory* factory) {
    const std::string name = GST_OBJECT_NAME(factory);
    int bitrate = 0;
    if (GstElement* element = gst_element_factory_create(factory, nullptr)) {
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(element), "bitrate"))
            g_object_get(element, "bitrate", &bitrate, nullptr);
        gst_object_unref(element);
    }
    const std::string description = "videotestsrc num-buffers=1 ! video/x-raw,format=I420,width=" +
                                    std::to_string(kProbeWidth) +
                                    ",height=" + std::to_string(kProbeHeight) +
                                    ",framerate=" + std::to_string(kProbeRate) + "/1 ! " + name +
                                    " name=enc ! fakesink name=out";
    GstCaps* caps = PrerolledCaps(description, nullptr);
    if (!caps)
        return std::nullopt;
    const uint32_t fourcc = VideoFourcc(gst_caps_get_structure(caps, 0));
    gst_caps_unref(caps);
    if (!fourcc)
        return std::nullopt;

    VideoInfoHeader header;
    header.rcSource = header.rcTarget = VideoRect{0, 0, kProbeWidth, kProbeHeight};
    header.dwBitRate = static_cast<uint32_t>(std::max(bitrate, 0));
    header.AvgTimePerFrame = 10000000 / kProbeRate;
    header.bmiHeader.biSize = 40;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biWidth = kProbeWidth;
    header.bmiHeader.biHeight = kProbeHeight;
    header.bmiHeader.biBitCount = 24;
    header.bmiHeader.biCompression = fourcc;

    WMMediaType type;
    type.majortype = WMMEDIATYPE_Video;
    type.subtype = MediaSubtypeFromCode(fourcc);
    type.fixedSizeSamples = false;
    type.temporalCompression = true;
    type.sampleSize = 0;
    type.formattype = WMFORMAT_VideoInfo;
    type.format = VideoInfoToBytes(header);

    WMCodecFormat format;
    format.config = WMStreamConfig(WMMEDIATYPE_Video);
    format.config.SetBitrate(header.dwBitRate);
    format.config.SetMediaType(type);
    format.encoderBitrate = bitrate;
    return format;
}

// Newest first: a higher version number in the caps.
int Version(GstElementFactory* factory, const char* field) {
    int best = 0;
    for (const GList* t = gst_element_factory_get_static_pad_templates(factory); t; t = t->next) {
        auto* tmpl = static_cast<GstStaticPadTemplate*>(t->data);
        if (tmpl->direction != GST_PAD_SRC)
            continue;
        GstCaps* caps = gst_static_caps_get(&tmpl->static_caps);
        for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
            int v = 0;
            if (gst_structure_get_int(gst_caps_get_structure(caps, i), field, &v))
                best = std::max(best, v);
        }
        gst_caps_unref(caps);
    }
    return best;
}

std::vector<GstElementFactory*> Encoders(const char* mediaType, const char* versionField) {
    std::vector<GstElementFactory*> found;
    GList* list =
        gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_ENCODER, GST_RANK_NONE);
    for (GList* l = list; l; l = l->next) {
        auto* factory = GST_ELEMENT_FACTORY(l->data);
        if (ProducesKind(factory, mediaType))
            found.push_back(GST_ELEMENT_FACTORY(gst_object_ref(factory)));
    }
    gst_plugin_feature_list_free(list);
    std::stable_sort(found.begin(), found.end(), [&](GstElementFactory* a, GstElementFactory* b) {
        const int va = Version(a, versionField), vb = Version(b, versionField);
        if (va != vb)
            return va > vb;
        return std::string_view(GST_OBJECT_NAME(a)) < std::string_view(GST_OBJECT_NAME(b));
    });
    return found;
}

std::vector<WMCodec> ProbeCodecs() {
    std::vector<WMCodec> codecs;
    for (GstElementFactory* factory : Encoders("audio/x-wma", "wmaversion")) {
        WMCodec codec{WMMEDIATYPE_Audio, LongName(factory), GST_OBJECT_NAME(factory), {}};
        for (int rate : kSampleRates) {
            for (int channels = 1; channels <= 2; ++channels) {
                for (int bitrate : kBitrates) {
                    const double bitsPerSample = static_cast<double>(bitrate) / rate / channels;
                    if (bitsPerSample < kMinBitsPerSample || bitsPerSample > kMaxBitsPerSample)
                        continue;
                    if (auto format = AudioFormat(codec.encoder, rate, channels, bitrate))
                        codec.formats.push_back(std::move(*format));
                }
            }
        }
        gst_object_unref(factory);
        if (!codec.formats.empty())
            codecs.push_back(std::move(codec));
    }
    for (GstElementFactory* factory : Encoders("video/x-wmv", "wmvversion")) {
        WMCodec codec{WMMEDIATYPE_Video, LongName(factory), GST_OBJECT_NAME(factory), {}};
        if (auto format = VideoFormat(factory))
            codec.formats.push_back(std::move(*format));
        gst_object_unref(factory);
        if (!codec.formats.empty())
            codecs.push_back(std::move(codec));
    }
    return codecs;
}

} // namespace

const std::vector<WMCodec>& InstalledWMCodecs() {
    static std::mutex lock;
    static std::vector<WMCodec> codecs;
    static bool probed = false;
    std::lock_guard guard(lock);
    if (!probed && MediaPlatformInitialized()) {
        codecs = ProbeCodecs();
        probed = true;
    }
    return codecs;
}

} // namespace orvelin::media
