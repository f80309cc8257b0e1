// The Windows Media ASF writer: a bin holding asfmux that takes uncompressed
// video and sound on request pads and, once configured with a profile,
// encodes each stream with the Windows Media encoder of its format.

#include "media/AsfWriter.h"

#include "media/ErrorText.h"
#include "media/encoders/CompressorRecipes.h"
#include "media/wmprofile/AsfStreamRepairs.h"
#include "media/wmprofile/AsfWriterElement.h"

#include <gst/gst.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>
#include <vector>

namespace orvelin::media {

namespace {

struct WriterStream {
    bool video = false;
    std::vector<GstElement*> elements; // in the bin, in chain order
    GstPad* muxPad = nullptr;          // requested from asfmux (reference held)
    GstPad* ghost = nullptr;           // the writer's input for it (reference held)
    bool handedOut = false;
};

struct WriterState {
    std::vector<WriterStream> streams;
};

} // namespace

} // namespace orvelin::media

extern "C" {

struct OrvelinAsfWriter {
    GstBin parent;
    GstElement* mux;
    orvelin::media::WriterState* state;
};

struct OrvelinAsfWriterClass {
    GstBinClass parent_class;
};

G_DEFINE_TYPE(OrvelinAsfWriter, orvelin_asf_writer, GST_TYPE_BIN)

} // extern "C"

namespace orvelin::media {

namespace {

constexpr const char* kFactoryName = "orvelinasfwriter";

GstStaticPadTemplate kSrcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-ms-asf"));
GstStaticPadTemplate kVideoTemplate = GST_STATIC_PAD_TEMPLATE(
    "video_%u", GST_PAD_SINK, GST_PAD_REQUEST, GST_STATIC_CAPS("video/x-raw"));
GstStaticPadTemplate kAudioTemplate = GST_STATIC_PAD_TEMPLATE(
    "audio_%u", GST_PAD_SINK, GST_PAD_REQUEST, GST_STATIC_CAPS("audio/x-raw"));

OrvelinAsfWriter* AsWriter(gpointer p) {
    return reinterpret_cast<OrvelinAsfWriter*>(p);
}

void ClearStreams(OrvelinAsfWriter* writer) {
    for (WriterStream& s : writer->state->streams) {
        if (s.handedOut)
            gst_element_remove_pad(GST_ELEMENT(writer), s.ghost);
        if (s.ghost)
            gst_object_unref(s.ghost);
        if (s.muxPad) {
            gst_element_release_request_pad(writer->mux, s.muxPad);
            gst_object_unref(s.muxPad);
        }
        for (GstElement* e : s.elements) {
            gst_element_set_state(e, GST_STATE_NULL);
            gst_bin_remove(GST_BIN(writer), e);
        }
    }
    writer->state->streams.clear();
}

GstPad* RequestNewPad(GstElement* element, GstPadTemplate* templ, const gchar*, const GstCaps*) {
    OrvelinAsfWriter* writer = AsWriter(element);
    const bool video = g_str_has_prefix(GST_PAD_TEMPLATE_NAME_TEMPLATE(templ), "video");
    for (WriterStream& s : writer->state->streams) {
        if (s.video != video || s.handedOut)
            continue;
        if (GST_STATE(element) > GST_STATE_READY)
            gst_pad_set_active(s.ghost, TRUE);
        if (!gst_element_add_pad(element, s.ghost))
            return nullptr;
        s.handedOut = true;
        return s.ghost;
    }
    return nullptr; // the profile has no (further) stream of this kind
}

void ReleasePad(GstElement* element, GstPad* pad) {
    OrvelinAsfWriter* writer = AsWriter(element);
    for (WriterStream& s : writer->state->streams) {
        if (s.ghost == pad && s.handedOut) {
            gst_element_remove_pad(element, pad);
            s.handedOut = false;
        }
    }
}

void Finalize(GObject* object) {
    OrvelinAsfWriter* writer = AsWriter(object);
    for (WriterStream& s : writer->state->streams) {
        if (s.ghost)
            gst_object_unref(s.ghost);
        if (s.muxPad)
            gst_object_unref(s.muxPad);
    }
    delete writer->state;
    writer->state = nullptr;
    G_OBJECT_CLASS(orvelin_asf_writer_parent_class)->finalize(object);
}

} // namespace

} // namespace orvelin::media

extern "C" {

static void orvelin_asf_writer_class_init(OrvelinAsfWriterClass* klass) {
    using namespace orvelin::media;
    auto* element = GST_ELEMENT_CLASS(klass);
    G_OBJECT_CLASS(klass)->finalize = Finalize;
    gst_element_class_add_static_pad_template(element, &kSrcTemplate);
    gst_element_class_add_static_pad_template(element, &kVideoTemplate);
    gst_element_class_add_static_pad_template(element, &kAudioTemplate);
    gst_element_class_set_static_metadata(
        element, "WM ASF Writer", "Codec/Muxer",
        "Encodes uncompressed video and sound with the Windows Media encoders of its profile "
        "and writes them into an ASF file",
        "Orvelin");
    element->request_new_pad = RequestNewPad;
    element->release_pad = ReleasePad;
}

static void orvelin_asf_writer_init(OrvelinAsfWriter* writer) {
    writer->state = new orvelin::media::WriterState();
    writer->mux = gst_element_factory_make("asfmux", "mux");
    if (!writer->mux)
        return;
    gst_bin_add(GST_BIN(writer), writer->mux);
    guint packetSize = 0;
    g_object_get(writer->mux, "packet-size", &packetSize, nullptr);
    orvelin::media::RepairPartialPackets(writer->mux, packetSize);
    GstPad* src = gst_element_get_static_pad(writer->mux, "src");
    gst_element_add_pad(GST_ELEMENT(writer), gst_ghost_pad_new("src", src));
    gst_object_unref(src);
}

} // extern "C"

namespace orvelin::media {

namespace {

// The installed codec that writes a format: the audio codec with a format of
// this tag, or the video codec with a format of this FOURCC.
const WMCodec* CodecFor(const WMGuid& major, uint32_t code) {
    for (const WMCodec& codec : InstalledWMCodecs()) {
        if (codec.majorType != major)
            continue;
        for (const WMCodecFormat& f : codec.formats) {
            WMMediaType type;
            if (Succeeded(f.config.GetMediaType(&type)) && type.subtype.data1 == code)
                return &codec;
        }
    }
    return nullptr;
}

// The encoder setting that gives the wave format: the one the codec's own
// format of the same layout was made with, else the stream's bit rate.
int32_t AudioEncoderBitrate(const WMCodec& codec, const WaveFormatEx& wave, uint32_t bitrate) {
    for (const WMCodecFormat& f : codec.formats) {
        WMMediaType type;
        WaveFormatEx other;
        if (Succeeded(f.config.GetMediaType(&type)) &&
            WaveFormatEx::FromBytes(type.format, &other) && other.formatTag == wave.formatTag &&
            other.samplesPerSec == wave.samplesPerSec && other.channels == wave.channels &&
            other.blockAlign == wave.blockAlign)
            return f.encoderBitrate;
    }
    return static_cast<int32_t>(std::min<uint32_t>(bitrate, INT32_MAX));
}

void SetCaps(GstElement* capsfilter, GstCaps* caps) {
    g_object_set(capsfilter, "caps", caps, nullptr);
    gst_caps_unref(caps);
}

// The picture format the video encoder is given: the profile's size, and
// the rate of the pictures coming in where its whole part is the profile's
// rate (a profile holds whole frames per second: 29.97 is written at
// 30000/1001, not 29), else the profile's rate.
struct VideoFormat {
    GstElement* capsfilter;
    int width;
    int height;
    int wholeRate;
};

void SetVideoCaps(const VideoFormat& format, int rateNum, int rateDen) {
    SetCaps(format.capsfilter,
            gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width", G_TYPE_INT,
                                format.width, "height", G_TYPE_INT, format.height, "framerate",
                                GST_TYPE_FRACTION, rateNum, rateDen, "pixel-aspect-ratio",
                                GST_TYPE_FRACTION, 1, 1, nullptr));
}

GstPadProbeReturn OnVideoCaps(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
        return GST_PAD_PROBE_OK;
    const auto* format = static_cast<const VideoFormat*>(data);
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    int num = 0;
    int den = 0;
    const GstStructure* s = caps ? gst_caps_get_structure(caps, 0) : nullptr;
    if (s && gst_structure_get_fraction(s, "framerate", &num, &den) && num > 0 && den > 0 &&
        num / den == format->wholeRate)
        SetVideoCaps(*format, num, den);
    else
        SetVideoCaps(*format, format->wholeRate, 1);
    return GST_PAD_PROBE_OK;
}

void KeepFractionalRate(GstElement* first, GstElement* capsfilter, int width, int height,
                        int wholeRate) {
    auto* format = new VideoFormat{capsfilter, width, height, wholeRate};
    SetVideoCaps(*format, wholeRate, 1);
    GstPad* sink = gst_element_get_static_pad(first, "sink");
    gst_pad_add_probe(sink, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, OnVideoCaps, format,
                      [](gpointer data) { delete static_cast<VideoFormat*>(data); });
    gst_object_unref(sink);
}

class AsfWriterConfig : public ConfigAsfWriter {
public:
    explicit AsfWriterConfig(GstElement* writer) : writer_(GST_ELEMENT(gst_object_ref(writer))) {}
    ~AsfWriterConfig() override { gst_object_unref(writer_); }
    AsfWriterConfig(const AsfWriterConfig&) = delete;
    AsfWriterConfig& operator=(const AsfWriterConfig&) = delete;

    HRESULT ConfigureFilterUsingProfile(const WMProfile& profile) override;

private:
    OrvelinAsfWriter* Writer() const { return reinterpret_cast<OrvelinAsfWriter*>(writer_); }
    HRESULT AddStream(const WMStreamConfig& config, int index);

    GstElement* writer_;
};

HRESULT AsfWriterConfig::AddStream(const WMStreamConfig& config, int index) {
    OrvelinAsfWriter* writer = Writer();
    WMMediaType type;
    if (HRESULT hr = config.GetMediaType(&type); Failed(hr))
        return hr;
    const bool video = config.GetStreamType() == WMMEDIATYPE_Video;
    WriterStream stream;
    stream.video = video;
    auto add = [&](const char* factory) -> GstElement* {
        GstElement* e = gst_element_factory_make(factory, nullptr);
        if (!e)
            return nullptr;
        gst_bin_add(GST_BIN(writer), e);
        stream.elements.push_back(e);
        return e;
    };
    auto fail = [&](HRESULT hr, const QString& text) {
        for (GstElement* e : stream.elements) {
            gst_element_set_state(e, GST_STATE_NULL);
            gst_bin_remove(GST_BIN(writer), e);
        }
        return RecordError(hr, text);
    };
    const QString missing =
        QStringLiteral("A GStreamer element the Windows Media writer needs (%1) "
                       "is not installed.");

    GstElement* encoder = nullptr;
    if (video) {
        VideoInfoHeader header;
        if (type.formattype != WMFORMAT_VideoInfo || !VideoInfoFromBytes(type.format, &header))
            return RecordError(E_INVALIDARG,
                               QStringLiteral("The video stream has no video format."));
        const WMCodec* codec = CodecFor(WMMEDIATYPE_Video, header.bmiHeader.biCompression);
        if (!codec)
            return RecordError(NS_E_VIDEO_CODEC_NOT_INSTALLED,
                               QStringLiteral("No Windows Media video encoder for this format is "
                                              "installed."));
        const int width = header.bmiHeader.biWidth;
        const int height = std::abs(header.bmiHeader.biHeight);
        if (width <= 0 || height <= 0 || header.AvgTimePerFrame <= 0)
            return RecordError(E_INVALIDARG,
                               QStringLiteral("The video stream has no frame size or rate."));
        const int fps =
            std::max(1, static_cast<int>(std::lround(10000000.0 / header.AvgTimePerFrame)));
        for (const char* factory : {"videoconvert", "videoscale", "videorate", "capsfilter"}) {
            if (!add(factory))
                return fail(REGDB_E_CLASSNOTREG, missing.arg(QLatin1String(factory)));
        }
        KeepFractionalRate(stream.elements.front(), stream.elements.back(), width, height, fps);
        encoder = add(codec->encoder.c_str());
        if (!encoder)
            return fail(REGDB_E_CLASSNOTREG, missing.arg(QString::fromStdString(codec->encoder)));
        // The libav video encoders move their output 1000 hours on; the ASF
        // multiplexer stores those times as they are, and players that
        // honour the file's play duration then show no picture. The
        // pictures get their input times back (these encoders keep order).
        InstallTimestampRepair(encoder);
        const uint32_t bitrate = config.GetBitrate() ? config.GetBitrate() : header.dwBitRate;
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(encoder), "bitrate"))
            g_object_set(encoder, "bitrate",
                         static_cast<gint>(std::min<uint32_t>(bitrate, INT32_MAX)), nullptr);
        int64_t spacing = 0;
        config.GetMaxKeyFrameSpacing(&spacing);
        if (spacing > 0 && g_object_class_find_property(G_OBJECT_GET_CLASS(encoder), "gop-size")) {
            const int64_t frames = std::max<int64_t>(1, spacing * fps / 10000000);
            g_object_set(encoder, "gop-size", static_cast<gint>(std::min<int64_t>(frames, 600)),
                         nullptr);
        }
    } else if (config.GetStreamType() == WMMEDIATYPE_Audio) {
        WaveFormatEx wave;
        if (type.formattype != WMFORMAT_WaveFormatEx ||
            !WaveFormatEx::FromBytes(type.format, &wave))
            return RecordError(E_INVALIDARG,
                               QStringLiteral("The audio stream has no wave format."));
        const WMCodec* codec = CodecFor(WMMEDIATYPE_Audio, wave.formatTag);
        if (!codec)
            return RecordError(NS_E_AUDIO_CODEC_NOT_INSTALLED,
                               QStringLiteral("No Windows Media audio encoder for this format is "
                                              "installed."));
        for (const char* factory : {"audioconvert", "audioresample", "capsfilter"}) {
            if (!add(factory))
                return fail(REGDB_E_CLASSNOTREG, missing.arg(QLatin1String(factory)));
        }
        SetCaps(stream.elements.back(),
                gst_caps_new_simple("audio/x-raw", "rate", G_TYPE_INT,
                                    static_cast<int>(wave.samplesPerSec), "channels", G_TYPE_INT,
                                    static_cast<int>(wave.channels), nullptr));
        if (g_str_has_prefix(codec->encoder.c_str(), "avenc_wmav")) {
            GstPad* raw = gst_element_get_static_pad(stream.elements.back(), "src");
            TakeOffWmaPriming(raw);
            gst_object_unref(raw);
        }
        encoder = add(codec->encoder.c_str());
        if (!encoder)
            return fail(REGDB_E_CLASSNOTREG, missing.arg(QString::fromStdString(codec->encoder)));
        g_object_set(encoder, "bitrate", AudioEncoderBitrate(*codec, wave, config.GetBitrate()),
                     nullptr);
    } else {
        return S_OK; // script commands come from no timeline output; the stream stays empty
    }

    for (size_t i = 0; i + 1 < stream.elements.size(); ++i) {
        if (!gst_element_link(stream.elements[i], stream.elements[i + 1]))
            return fail(VFW_E_CANNOT_CONNECT,
                        QStringLiteral("The Windows Media writer cannot connect its encoder."));
    }
    stream.muxPad = gst_element_request_pad_simple(writer->mux, video ? "video_%u" : "audio_%u");
    GstPad* encoderSrc = gst_element_get_static_pad(encoder, "src");
    const bool linked = stream.muxPad && gst_pad_link(encoderSrc, stream.muxPad) == GST_PAD_LINK_OK;
    gst_object_unref(encoderSrc);
    if (!linked) {
        if (stream.muxPad) {
            gst_element_release_request_pad(writer->mux, stream.muxPad);
            gst_object_unref(stream.muxPad);
        }
        return fail(VFW_E_NO_ACCEPTABLE_TYPES,
                    QStringLiteral("The ASF multiplexer cannot store the encoder's stream."));
    }
    GstPad* head = gst_element_get_static_pad(stream.elements.front(), "sink");
    const std::string name = (video ? "video_" : "audio_") + std::to_string(index);
    stream.ghost = gst_ghost_pad_new(name.c_str(), head);
    gst_object_unref(head);
    gst_object_ref_sink(stream.ghost);
    writer->state->streams.push_back(std::move(stream));
    return S_OK;
}

HRESULT AsfWriterConfig::ConfigureFilterUsingProfile(const WMProfile& profile) {
    OrvelinAsfWriter* writer = Writer();
    if (!writer->mux)
        return RecordError(REGDB_E_CLASSNOTREG,
                           QStringLiteral("The ASF multiplexer (GStreamer element asfmux) is not "
                                          "installed."));
    for (const WriterStream& s : writer->state->streams) {
        if (s.handedOut)
            return RecordError(E_UNEXPECTED,
                               QStringLiteral("The Windows Media writer is connected already."));
    }
    if (GST_STATE(writer) > GST_STATE_NULL)
        return RecordError(E_UNEXPECTED, QStringLiteral("The Windows Media writer is running."));
    ClearStreams(writer);
    if (profile.GetStreamCount() == 0)
        return RecordError(E_INVALIDARG, QStringLiteral("The profile has no streams."));
    for (uint32_t i = 0; i < profile.GetStreamCount(); ++i) {
        WMStreamConfig config{GUID_NULL};
        profile.GetStream(i, &config);
        if (HRESULT hr = AddStream(config, static_cast<int>(i)); Failed(hr)) {
            ClearStreams(writer);
            return hr;
        }
    }
    return S_OK;
}

} // namespace

const char* AsfWriterFactoryName() {
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        GstElementFactory* mux = gst_element_factory_find("asfmux");
        if (!mux)
            return;
        gst_object_unref(mux);
        registered = gst_element_register(nullptr, kFactoryName, GST_RANK_NONE,
                                          orvelin_asf_writer_get_type());
    });
    return registered ? kFactoryName : nullptr;
}

HRESULT QueryConfigAsfWriter(Filter& filter, std::shared_ptr<ConfigAsfWriter>* config) {
    if (!config)
        return E_POINTER;
    void* native = filter.NativeElement();
    if (!native || !G_TYPE_CHECK_INSTANCE_TYPE(native, orvelin_asf_writer_get_type()))
        return E_NOINTERFACE;
    *config = std::make_shared<AsfWriterConfig>(GST_ELEMENT(native));
    return S_OK;
}

} // namespace orvelin::media
