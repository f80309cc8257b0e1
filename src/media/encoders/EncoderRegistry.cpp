#include "media/EncoderRegistry.h"

#include "media/encoders/CompressorRecipes.h"
#include "media/encoders/CompressorVerdicts.h"
#include "media/encoders/GstFilterImpl.h"

#include <gst/gst.h>

#include <algorithm>
#include <optional>

namespace orvelin::media {

namespace {

const char* const kMultiplexers[] = {"avimux", "matroskamux", "mp4mux", "oggmux", "asfmux"};

// The caps a factory's pads of one direction can carry (static templates).
GstCaps* TemplateCaps(GstElementFactory* factory, GstPadDirection direction) {
    GstCaps* all = gst_caps_new_empty();
    for (const GList* t = gst_element_factory_get_static_pad_templates(factory); t; t = t->next) {
        auto* tmpl = static_cast<GstStaticPadTemplate*>(t->data);
        if (tmpl->direction == direction)
            all = gst_caps_merge(all, gst_static_caps_get(&tmpl->static_caps));
    }
    return all;
}

GstElementFactory* FindFactory(const char* name) {
    return gst_element_factory_find(name);
}

// What comes out of the compressor: the parser's output where one follows
// the encoder (it rewrites the stream format), else the encoder's own.
GstCaps* OutputCaps(GstElementFactory* encoder, const CompressorRecipe* recipe) {
    if (recipe && recipe->parser) {
        if (GstElementFactory* parser = FindFactory(recipe->parser)) {
            GstCaps* parsed = TemplateCaps(parser, GST_PAD_SRC);
            gst_object_unref(parser);
            return parsed;
        }
    }
    return TemplateCaps(encoder, GST_PAD_SRC);
}

bool MuxerTakes(const char* muxerName, GstCaps* caps) {
    GstElementFactory* muxer = FindFactory(muxerName);
    if (!muxer)
        return false;
    GstCaps* sink = TemplateCaps(muxer, GST_PAD_SINK);
    const bool takes = gst_caps_can_intersect(sink, caps);
    gst_caps_unref(sink);
    gst_object_unref(muxer);
    return takes;
}

// A file nobody here can decode is no playable file.
bool DecoderExists(GstCaps* caps) {
    GList* decoders =
        gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_DECODER, GST_RANK_NONE);
    bool found = false;
    for (GList* l = decoders; l && !found; l = l->next) {
        GstCaps* sink = TemplateCaps(GST_ELEMENT_FACTORY(l->data), GST_PAD_SINK);
        found = gst_caps_can_intersect(sink, caps);
        gst_caps_unref(sink);
    }
    gst_plugin_feature_list_free(decoders);
    return found;
}

bool IsKind(GstElementFactory* factory, CompressorKind kind) {
    const gchar* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
    if (!klass)
        return false;
    const QString k = QString::fromUtf8(klass);
    return k.contains(kind == CompressorKind::Video ? QLatin1String("Encoder/Video")
                                                    : QLatin1String("Encoder/Audio"));
}

QString FactoryName(GstElementFactory* factory) {
    return QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)));
}

// The factory's long name without the wrapper's "libav " in front: what the
// encoder writes is what a user looks for.
QString FactoryLongName(GstElementFactory* factory) {
    const gchar* name = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
    if (!name)
        return FactoryName(factory);
    QString text = QString::fromUtf8(name);
    if (text.startsWith(QLatin1String("libav ")))
        text.remove(0, 6);
    return text;
}

struct Candidate {
    CompressorDevice device;
    QString excludedBecause; // empty when listed
};

// Every encoder factory of the kind that a multiplexer of the program takes,
// with the catalogue's verdict.
std::vector<Candidate> Candidates(CompressorKind kind) {
    std::vector<Candidate> list;
    GList* encoders =
        gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_ENCODER, GST_RANK_NONE);
    for (GList* l = encoders; l; l = l->next) {
        auto* factory = GST_ELEMENT_FACTORY(l->data);
        if (!IsKind(factory, kind))
            continue;
        Candidate c;
        c.device.factoryName = FactoryName(factory);
        const CompressorRecipe* recipe = FindRecipe(c.device.factoryName);
        c.device.rank = static_cast<int>(gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(factory)));
        c.device.friendlyName = recipe && recipe->friendlyName
                                    ? QString::fromUtf8(recipe->friendlyName)
                                    : FactoryLongName(factory);
        GstCaps* out = OutputCaps(factory, recipe);
        const QStringList bad = recipe && recipe->badMuxers
                                    ? QString::fromUtf8(recipe->badMuxers).split(' ')
                                    : QStringList();
        for (const char* muxer : kMultiplexers) {
            if (MuxerTakes(muxer, out) && !bad.contains(QLatin1String(muxer)))
                c.device.muxers << QString::fromLatin1(muxer);
        }
        if (c.device.muxers.isEmpty()) {
            gst_caps_unref(out);
            continue; // nothing the program writes can carry it
        }
        if (recipe && recipe->excluded)
            c.excludedBecause = QString::fromUtf8(recipe->excluded);
        else if (recipe && recipe->parser &&
                 !gst_registry_check_feature_version(gst_registry_get(), recipe->parser, 1, 0, 0))
            c.excludedBecause = QStringLiteral("the parser it needs (%1) is not installed")
                                    .arg(QString::fromUtf8(recipe->parser));
        else if (!DecoderExists(out))
            c.excludedBecause = QStringLiteral("no installed decoder plays what it writes");
        gst_caps_unref(out);
        list.push_back(std::move(c));
    }
    gst_plugin_feature_list_free(encoders);
    std::sort(list.begin(), list.end(), [](const Candidate& a, const Candidate& b) {
        if (a.device.rank != b.device.rank)
            return a.device.rank > b.device.rank;
        return a.device.factoryName < b.device.factoryName;
    });
    return list;
}

GstElement* MakeElement(const char* factory) {
    return gst_element_factory_make(factory, nullptr);
}

// "name=value;name=value" applied to an element.
void ApplySettings(GstElement* element, const char* settings) {
    if (!settings)
        return;
    for (const QString& pair : QString::fromUtf8(settings).split(';', Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf('=');
        GParamSpec* param = g_object_class_find_property(G_OBJECT_GET_CLASS(element),
                                                         pair.left(eq).toUtf8().constData());
        if (!param)
            continue;
        GValue value = G_VALUE_INIT;
        g_value_init(&value, G_PARAM_SPEC_VALUE_TYPE(param));
        if (PropertyValueFromText(param, pair.mid(eq + 1), &value))
            g_object_set_property(G_OBJECT(element), param->name, &value);
        g_value_unset(&value);
    }
}

QSet<QString> PinnedNames(const char* settings) {
    QSet<QString> names;
    if (!settings)
        return names;
    for (const QString& pair : QString::fromUtf8(settings).split(';', Qt::SkipEmptyParts))
        names.insert(pair.left(pair.indexOf('=')));
    return names;
}

bool TakesI420(GstElement* encoder) {
    GstPad* sink = gst_element_get_static_pad(encoder, "sink");
    if (!sink)
        return false;
    GstCaps* filter = gst_caps_from_string("video/x-raw,format=I420");
    GstCaps* caps = gst_pad_query_caps(sink, filter);
    const bool takes = caps && !gst_caps_is_empty(caps);
    if (caps)
        gst_caps_unref(caps);
    gst_caps_unref(filter);
    gst_object_unref(sink);
    return takes;
}

// Links the chain inside the bin and gives the bin its two pads.
bool LinkChain(GstBin* bin, const std::vector<GstElement*>& chain) {
    for (GstElement* e : chain)
        gst_bin_add(bin, e);
    for (size_t i = 0; i + 1 < chain.size(); ++i) {
        if (!gst_element_link(chain[i], chain[i + 1]))
            return false;
    }
    GstPad* first = gst_element_get_static_pad(chain.front(), "sink");
    GstPad* last = gst_element_get_static_pad(chain.back(), "src");
    const bool ok = first && last &&
                    gst_element_add_pad(GST_ELEMENT(bin), gst_ghost_pad_new("sink", first)) &&
                    gst_element_add_pad(GST_ELEMENT(bin), gst_ghost_pad_new("src", last));
    if (first)
        gst_object_unref(first);
    if (last)
        gst_object_unref(last);
    return ok;
}

// A compressor any list may hold (the trials bind through this too).
std::optional<CompressorDevice> FindCandidate(const QString& factoryName, CompressorKind kind) {
    for (Candidate& c : Candidates(kind)) {
        if (c.device.factoryName == factoryName && c.excludedBecause.isEmpty())
            return std::move(c.device);
    }
    return std::nullopt;
}

// Two encoders may share a long name; the list must tell them apart.
void TellNamesApart(std::vector<CompressorDevice>& devices) {
    for (size_t i = 0; i < devices.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (devices[j].friendlyName.compare(devices[i].friendlyName, Qt::CaseInsensitive) ==
                0) {
                devices[i].friendlyName += QStringLiteral(" (%1)").arg(devices[i].factoryName);
                break;
            }
        }
    }
}

} // namespace

QStringList ProgramMultiplexers() {
    QStringList names;
    for (const char* muxer : kMultiplexers)
        names << QString::fromLatin1(muxer);
    return names;
}

HRESULT EnumerateCompressors(CompressorKind kind, const QString& muxer,
                             std::vector<CompressorDevice>& devices) {
    devices.clear();
    if (!MediaPlatformInitialized())
        return E_FAIL;
    for (Candidate& c : Candidates(kind)) {
        if (c.excludedBecause.isEmpty() && c.device.muxers.contains(muxer) &&
            TrialVerdict(c.device.factoryName, kind, muxer).works)
            devices.push_back(std::move(c.device));
    }
    TellNamesApart(devices);
    return S_OK;
}

HRESULT EnumerateCompressors(CompressorKind kind, std::vector<CompressorDevice>& devices) {
    return EnumerateCompressors(kind, QStringLiteral("matroskamux"), devices);
}

bool MultiplexerTakesUncompressed(const QString& muxer, CompressorKind kind) {
    if (!MediaPlatformInitialized())
        return false;
    GstCaps* raw =
        gst_caps_from_string(kind == CompressorKind::Video ? "video/x-raw" : "audio/x-raw");
    const bool takes = MuxerTakes(muxer.toUtf8().constData(), raw);
    gst_caps_unref(raw);
    return takes;
}

std::vector<ExcludedCompressor> ExcludedCompressors(CompressorKind kind) {
    std::vector<ExcludedCompressor> out;
    if (!MediaPlatformInitialized())
        return out;
    for (const Candidate& c : Candidates(kind)) {
        if (!c.excludedBecause.isEmpty())
            out.push_back({c.device.factoryName, c.excludedBecause});
    }
    return out;
}

std::vector<ExcludedCompressor> ExcludedCompressors(CompressorKind kind, const QString& muxer) {
    std::vector<ExcludedCompressor> out;
    if (!MediaPlatformInitialized())
        return out;
    for (const Candidate& c : Candidates(kind)) {
        if (!c.excludedBecause.isEmpty()) {
            out.push_back({c.device.factoryName, c.excludedBecause});
        } else if (!c.device.muxers.contains(muxer)) {
            out.push_back({c.device.factoryName,
                           QStringLiteral("its files do not play back from %1").arg(muxer)});
        } else if (CompressorVerdict v = TrialVerdict(c.device.factoryName, kind, muxer);
                   !v.works) {
            out.push_back({c.device.factoryName, v.reason});
        }
    }
    return out;
}

std::shared_ptr<Filter> BindCompressor(const QString& factoryName) {
    if (!MediaPlatformInitialized())
        return nullptr;
    GstElementFactory* factory = FindFactory(factoryName.toUtf8().constData());
    if (!factory)
        return nullptr;
    const bool video = IsKind(factory, CompressorKind::Video);
    gst_object_unref(factory);
    std::optional<CompressorDevice> device =
        FindCandidate(factoryName, video ? CompressorKind::Video : CompressorKind::Audio);
    if (!device)
        return nullptr;

    const CompressorRecipe* recipe = FindRecipe(factoryName);
    GstElement* encoder = MakeElement(factoryName.toUtf8().constData());
    if (!encoder)
        return nullptr;
    gst_object_ref_sink(encoder);
    std::vector<GstElement*> chain;
    if (video) {
        chain.push_back(MakeElement("videoconvert"));
        // Players expect 4:2:0 from the common encoders; fed RGB they would
        // pick 4:4:4 by themselves.
        if (TakesI420(encoder)) {
            GstElement* filter = MakeElement("capsfilter");
            GstCaps* caps = gst_caps_from_string("video/x-raw,format=I420");
            g_object_set(filter, "caps", caps, nullptr);
            gst_caps_unref(caps);
            chain.push_back(filter);
        }
        if (recipe && recipe->fitRate)
            chain.push_back(MakeElement("videorate"));
    } else {
        chain.push_back(MakeElement("audioconvert"));
        chain.push_back(MakeElement("audioresample"));
    }
    chain.push_back(encoder);
    if (recipe && recipe->parser)
        chain.push_back(MakeElement(recipe->parser));

    GstElement* bin = gst_bin_new(nullptr);
    const bool made = std::all_of(chain.begin(), chain.end(), [](GstElement* e) { return e; });
    if (!made || !LinkChain(GST_BIN(bin), chain)) {
        if (!made) {
            for (GstElement* e : chain) {
                if (e && e != encoder)
                    gst_object_unref(gst_object_ref_sink(e));
            }
        }
        gst_object_unref(gst_object_ref_sink(bin));
        gst_object_unref(encoder);
        return nullptr;
    }
    if (recipe) {
        ApplySettings(encoder, recipe->initial);
        ApplySettings(encoder, recipe->pinned);
        if (recipe->restoreTimestamps)
            InstallTimestampRepair(encoder);
        if (recipe->rateControlRate > 0)
            InstallRateControlFix(encoder, recipe->rateControlRate);
        if (recipe->fitBuffer)
            InstallBufferFit(encoder);
    }
    auto filter = std::make_shared<GstFilter>(bin, encoder, device->friendlyName,
                                              PinnedNames(recipe ? recipe->pinned : nullptr));
    gst_object_unref(encoder);
    return filter;
}

std::vector<VfwCompressorInfo> ListVfwCompressors() {
    std::vector<VfwCompressorInfo> table;
    std::vector<CompressorDevice> devices;
    if (Failed(EnumerateCompressors(CompressorKind::Video, devices)))
        return table;
    GstCaps* testFrame = gst_caps_from_string("video/x-raw,width=352,height=240");
    for (const CompressorDevice& d : devices) {
        if (table.size() == 50)
            break;
        GstElement* encoder = MakeElement(d.factoryName.toUtf8().constData());
        if (!encoder)
            continue;
        gst_object_ref_sink(encoder);
        // The compressor converts the RGB frame itself; what counts is
        // whether the encoder takes a picture of that size.
        GstPad* sink = gst_element_get_static_pad(encoder, "sink");
        GstCaps* caps = sink ? gst_pad_query_caps(sink, testFrame) : nullptr;
        if (caps && !gst_caps_is_empty(caps))
            table.push_back({QStringLiteral("vidc"), d.factoryName, d.factoryName, d.friendlyName});
        if (caps)
            gst_caps_unref(caps);
        if (sink)
            gst_object_unref(sink);
        gst_object_unref(encoder);
    }
    gst_caps_unref(testFrame);
    return table;
}

} // namespace orvelin::media
