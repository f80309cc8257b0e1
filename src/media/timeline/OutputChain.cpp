#include "media/timeline/OutputChain.h"

#include "media/ErrorText.h"
#include "media/encoders/CompressorRecipes.h"
#include "media/playback/PlaybackSinks.h"
#include "media/timeline/RgbConvertElement.h"
#include "media/timeline/StreamEnds.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace orvelin::media {

namespace {

QString longName(GstElement* element) {
    if (GstElementFactory* factory = gst_element_get_factory(element)) {
        const gchar* name =
            gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
        if (name)
            return QString::fromUtf8(name);
    }
    return QString::fromUtf8(GST_OBJECT_NAME(element));
}

bool isEncoder(GstElement* element) {
    GstElementFactory* factory = gst_element_get_factory(element);
    const gchar* klass =
        factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
    return klass && strstr(klass, "Encoder");
}

// The encoder inside a compressor (the compressor itself unless it is a bin).
GstElement* findEncoder(GstElement* compressor) {
    if (!GST_IS_BIN(compressor))
        return compressor;
    GstElement* found = nullptr;
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(compressor));
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        if (isEncoder(element))
            found = element;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return found ? found : compressor;
}

// Converters share the work among the processors.
void useAllProcessors(GstElement* element) {
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(element), "n-threads"))
        g_object_set(element, "n-threads", std::clamp(g_get_num_processors(), 1u, 8u), nullptr);
}

// Calls `visit` on each element inside a packaged compressor made by
// `factoryName`.
template <typename Visit>
void forEachInside(GstElement* compressor, const char* factoryName, Visit visit) {
    if (!GST_IS_BIN(compressor))
        return;
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(compressor));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* factory = gst_element_get_factory(element);
        if (factory && g_str_equal(GST_OBJECT_NAME(factory), factoryName))
            visit(element);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
}

void useAllProcessorsInside(GstElement* compressor) {
    forEachInside(compressor, "videoconvert", useAllProcessors);
}

GstCaps* padCaps(GstElement* element, const char* padName) {
    GstPad* pad = gst_element_get_static_pad(element, padName);
    if (!pad)
        return nullptr;
    GstCaps* caps = gst_pad_query_caps(pad, nullptr);
    gst_object_unref(pad);
    return caps;
}

bool takesI420(GstElement* encoder) {
    GstCaps* caps = padCaps(encoder, "sink");
    if (!caps)
        return false;
    GstCaps* i420 = gst_caps_from_string("video/x-raw,format=I420");
    const bool takes = gst_caps_can_intersect(caps, i420);
    gst_caps_unref(i420);
    gst_caps_unref(caps);
    return takes;
}

// Pictures made 4:2:0 again after the group's RGB keep the colorimetry
// they came with: the source's luma passes through unchanged, where the
// default for the output size would recompute it with another matrix.
void keepColorimetryInside(GstElement* compressor, const std::string& colorimetry) {
    if (colorimetry.empty())
        return;
    forEachInside(compressor, "capsfilter", [&](GstElement* element) {
        GstCaps* caps = nullptr;
        g_object_get(element, "caps", &caps, nullptr);
        if (caps && gst_caps_get_size(caps) == 1 &&
            g_strcmp0(gst_structure_get_string(gst_caps_get_structure(caps, 0), "format"),
                      "I420") == 0) {
            GstCaps* kept = gst_caps_copy(caps);
            gst_caps_set_simple(kept, "colorimetry", G_TYPE_STRING, colorimetry.c_str(), nullptr);
            g_object_set(element, "caps", kept, nullptr);
            gst_caps_unref(kept);
        }
        if (caps)
            gst_caps_unref(caps);
    });
}

// The parser a bare encoder's stream needs before a multiplexer.
const char* parserFor(GstElement* encoder) {
    GstCaps* caps = padCaps(encoder, "src");
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) {
        if (caps)
            gst_caps_unref(caps);
        return nullptr;
    }
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    const char* parser = nullptr;
    int version = 0;
    if (gst_structure_has_name(s, "video/x-h264"))
        parser = "h264parse";
    else if (gst_structure_has_name(s, "video/x-h265"))
        parser = "h265parse";
    else if (gst_structure_has_name(s, "video/mpeg") &&
             gst_structure_get_int(s, "mpegversion", &version) && version == 4)
        parser = "mpeg4videoparse";
    else if (gst_structure_has_name(s, "audio/mpeg") &&
             gst_structure_get_int(s, "mpegversion", &version))
        parser = version == 1 ? "mpegaudioparse" : "aacparse";
    gst_caps_unref(caps);
    if (parser) {
        GstElementFactory* factory = gst_element_factory_find(parser);
        if (!factory)
            return nullptr;
        gst_object_unref(factory);
    }
    return parser;
}

// AVI keeps no presentation times and players place MP4 pictures that are
// stored out of order differently (one frame or more apart): pictures are
// written in the order they are shown.
// The user's own setting is kept on the encoder and given back when the job
// lets the encoder go (RestoreReordering), so that the next job into
// another container codes as the user chose.
constexpr const char* kReorderingKeys[][2] = {{"bframes", "orvelin-own-bframes"},
                                              {"max-bframes", "orvelin-own-max-bframes"}};

bool writableInteger(GstElement* encoder, const char* property, GType* type) {
    GParamSpec* param = g_object_class_find_property(G_OBJECT_GET_CLASS(encoder), property);
    if (!param || !(param->flags & G_PARAM_WRITABLE))
        return false;
    *type = G_PARAM_SPEC_VALUE_TYPE(param);
    return *type == G_TYPE_UINT || *type == G_TYPE_INT;
}

void withoutReordering(GstElement* encoder) {
    for (const auto& [property, key] : kReorderingKeys) {
        GType type = G_TYPE_INVALID;
        if (!writableInteger(encoder, property, &type))
            continue;
        GValue own = G_VALUE_INIT;
        g_value_init(&own, type);
        g_object_get_property(G_OBJECT(encoder), property, &own);
        const gint64 value =
            type == G_TYPE_UINT ? gint64(g_value_get_uint(&own)) : gint64(g_value_get_int(&own));
        g_value_unset(&own);
        if (!g_object_get_data(G_OBJECT(encoder), key))
            g_object_set_data_full(G_OBJECT(encoder), key, new gint64(value),
                                   [](gpointer p) { delete static_cast<gint64*>(p); });
        if (type == G_TYPE_UINT)
            g_object_set(encoder, property, 0u, nullptr);
        else
            g_object_set(encoder, property, 0, nullptr);
    }
}

bool canFeed(GstPad* src, GstPad* sink) {
    GstCaps* from = gst_pad_query_caps(src, nullptr);
    GstCaps* to = gst_pad_query_caps(sink, nullptr);
    const bool ok = from && to && gst_caps_can_intersect(from, to);
    if (from)
        gst_caps_unref(from);
    if (to)
        gst_caps_unref(to);
    return ok;
}

// What the last element of a chain hands on, for messages.
QString streamText(bool video, GstElement* compressor) {
    if (!compressor)
        return video ? QStringLiteral("uncompressed video") : QStringLiteral("uncompressed sound");
    return QStringLiteral("the output of %1").arg(longName(findEncoder(compressor)));
}

class ChainBuilder {
public:
    explicit ChainBuilder(FilterGraph::Impl& graph) : graph_(graph) {}
    ~ChainBuilder() {
        if (!done_)
            Undo();
        if (requestPad_)
            gst_object_unref(requestPad_);
    }

    GstElement* Add(const char* factory) {
        GstElement* element = graph_.AddElement(factory);
        if (element)
            made_.push_back(element);
        return element;
    }
    // Takes over a sink made elsewhere (a full reference).
    GstElement* Adopt(GstElement* element) {
        if (!element)
            return nullptr;
        gst_bin_add(GST_BIN(graph_.pipeline), element);
        gst_object_unref(element);
        made_.push_back(element);
        return element;
    }
    void Commit() { done_ = true; }
    void SetRequestPad(GstElement* mux, GstPad* pad) {
        mux_ = mux;
        requestPad_ = pad;
    }
    void NoteLinked(GstElement* a, GstElement* b) { links_.emplace_back(a, b); }

private:
    void Undo() {
        for (auto& [a, b] : links_)
            gst_element_unlink(a, b);
        if (requestPad_)
            gst_element_release_request_pad(mux_, requestPad_);
        for (GstElement* element : made_)
            gst_bin_remove(GST_BIN(graph_.pipeline), element);
    }

    FilterGraph::Impl& graph_;
    std::vector<GstElement*> made_;
    std::vector<std::pair<GstElement*, GstElement*>> links_;
    GstElement* mux_ = nullptr;
    GstPad* requestPad_ = nullptr;
    bool done_ = false;
};

} // namespace

HRESULT LinkGroupOutput(FilterGraph::Impl& graph, int32_t group, GstElement* compressor,
                        GstElement* mux) {
    if (group < 0 || group >= static_cast<int32_t>(graph.branches.size()) ||
        !graph.branches[static_cast<size_t>(group)].source)
        return RecordError(VFW_E_NOT_FOUND,
                           QStringLiteral("The timeline has no output for group %1.").arg(group));
    GraphBranch& branch = graph.branches[static_cast<size_t>(group)];
    if (branch.head)
        return RecordError(
            VFW_E_ALREADY_CONNECTED,
            QStringLiteral("The output of group %1 is already connected.").arg(group));
    if (compressor && GST_OBJECT_PARENT(compressor) != GST_OBJECT(graph.pipeline))
        return RecordError(VFW_E_NOT_FOUND, QStringLiteral("The compressor has not been added "
                                                           "to the graph."));
    const bool video = branch.kind == MediaMajorType::Video;
    const bool packaged = compressor && GST_IS_BIN(compressor); // converts by itself
    const QString missing = QStringLiteral("A GStreamer element the conversion needs (%1) is "
                                           "not installed.");

    ChainBuilder build(graph);
    std::vector<GstElement*> chain;
    auto add = [&](const char* factory) {
        GstElement* element = build.Add(factory);
        if (element)
            chain.push_back(element);
        return element != nullptr;
    };
    // The group's RGB goes back to 4:2:0 for an encoder that takes it by the
    // program's own converter (a packaged compressor's converter then has
    // nothing left to do); any other format by videoconvert.
    const bool toI420 = video && compressor && takesI420(findEncoder(compressor));
    // The queue hands the pictures over to the encoder's thread. One picture
    // waiting is enough to keep the encoder busy while the timeline makes
    // the next (measured: no slower than two, and 6 MB less at 1080p);
    // the default (10 MB) holds dozens of raw frames. Where they go back to
    // 4:2:0, the queue stands after that conversion: the group's RGB is made
    // and undone on one thread, and only the smaller pictures wait (at
    // 1080p, 3 MB each instead of 6).
    auto addQueue = [&] {
        if (!add("queue"))
            return false;
        if (video)
            g_object_set(chain.back(), "max-size-buffers", 1u, "max-size-bytes", 0u,
                         "max-size-time", static_cast<guint64>(0), nullptr);
        return true;
    };
    const bool queueLast = toI420;
    if (!queueLast && !addQueue())
        return RecordError(REGDB_E_CLASSNOTREG, missing.arg(QStringLiteral("queue")));
    const size_t conversionAt = chain.size();
    if (!packaged || toI420) {
        const char* converters[] = {video ? (toI420 ? kRgbConvertFactory : "videoconvert")
                                          : "audioconvert",
                                    video ? nullptr : "audioresample"};
        for (const char* factory : converters) {
            if (factory && !add(factory))
                return RecordError(REGDB_E_CLASSNOTREG, missing.arg(QLatin1String(factory)));
        }
        if (video)
            useAllProcessors(chain.back());
        if (toI420 && !branch.colorimetry.empty())
            g_object_set(chain.back(), "colorimetry", branch.colorimetry.c_str(), nullptr);
    }
    if (packaged && video) {
        useAllProcessorsInside(compressor);
        keepColorimetryInside(compressor, branch.colorimetry);
    }

    // The format handed on where the next element would otherwise choose.
    const char* format = nullptr;
    std::string i420 = "video/x-raw,format=I420";
    if (!branch.colorimetry.empty())
        i420 += ",colorimetry=" + branch.colorimetry;
    const QString muxFactory =
        mux ? QString::fromUtf8(GST_OBJECT_NAME(gst_element_get_factory(mux))) : QString();
    if (toI420)
        format = i420.c_str();
    else if (video && !compressor && muxFactory == QLatin1String("avimux"))
        format = "video/x-raw,format=BGR";
    else if (video && !compressor && muxFactory == QLatin1String("matroskamux"))
        format = "video/x-raw,format=RGB";
    else if (!video && !compressor && mux)
        format = "audio/x-raw,format=S16LE";
    // Encoders of 4:2:0 pictures take only even sizes (x264 and x265 refuse
    // an odd one, openh264 writes another size than it was given): the last
    // column or row is left out.
    int writtenWidth = branch.width;
    int writtenHeight = branch.height;
    if (toI420 && (branch.width % 2 || branch.height % 2)) {
        GstElement* crop = build.Add("videocrop");
        if (!crop)
            return RecordError(REGDB_E_CLASSNOTREG, missing.arg(QStringLiteral("videocrop")));
        g_object_set(crop, "right", branch.width % 2, "bottom", branch.height % 2, nullptr);
        chain.insert(chain.begin() + static_cast<std::ptrdiff_t>(conversionAt),
                     crop); // before the colour conversion
        writtenWidth -= branch.width % 2;
        writtenHeight -= branch.height % 2;
    }
    if (format) {
        if (!add("capsfilter"))
            return RecordError(REGDB_E_CLASSNOTREG, missing.arg(QStringLiteral("capsfilter")));
        GstCaps* caps = gst_caps_from_string(format);
        g_object_set(chain.back(), "caps", caps, nullptr);
        gst_caps_unref(caps);
    }
    if (queueLast && !addQueue())
        return RecordError(REGDB_E_CLASSNOTREG, missing.arg(QStringLiteral("queue")));
    if (video && compressor &&
        (muxFactory == QLatin1String("avimux") || muxFactory == QLatin1String("mp4mux")))
        withoutReordering(findEncoder(compressor));
    if (compressor) {
        chain.push_back(compressor);
        // AVI stores a sound stream that no parser has framed as constant
        // bit rate at its first frame's rate: variable-rate MP3 then plays
        // out of step in libav players. Framed, it is stored a frame per
        // chunk, which every player times right.
        if (!packaged || (!video && muxFactory == QLatin1String("avimux"))) {
            if (const char* parser = parserFor(compressor); parser && !add(parser))
                return RecordError(REGDB_E_CLASSNOTREG, missing.arg(QLatin1String(parser)));
        }
    }

    for (size_t i = 0; i + 1 < chain.size(); ++i) {
        if (!gst_element_link(chain[i], chain[i + 1])) {
            const bool intoCompressor = chain[i + 1] == compressor;
            return RecordError(
                VFW_E_CANNOT_CONNECT,
                intoCompressor ? QStringLiteral("%1 cannot take %2.")
                                     .arg(longName(findEncoder(compressor)),
                                          video ? QStringLiteral("video") : QStringLiteral("sound"))
                               : QStringLiteral("%1 cannot be connected to %2.")
                                     .arg(longName(chain[i]), longName(chain[i + 1])));
        }
        build.NoteLinked(chain[i], chain[i + 1]);
    }

    GstElement* last = chain.back();
    if (mux) {
        GstPad* target = gst_element_request_pad_simple(mux, video ? "video_%u" : "audio_%u");
        if (!target)
            return RecordError(
                VFW_E_NO_ACCEPTABLE_TYPES,
                QStringLiteral("%1 takes no %2 stream.")
                    .arg(longName(mux), video ? QStringLiteral("video") : QStringLiteral("audio")));
        build.SetRequestPad(mux, target);
        GstPad* source = gst_element_get_static_pad(last, "src");
        const bool fits = source && canFeed(source, target);
        const bool linked = fits && gst_pad_link(source, target) == GST_PAD_LINK_OK;
        if (source)
            gst_object_unref(source);
        if (!linked)
            return RecordError(VFW_E_NO_ACCEPTABLE_TYPES,
                               QStringLiteral("%1 cannot store %2.")
                                   .arg(longName(mux), streamText(video, compressor)));
        build.NoteLinked(last, mux);
    } else {
        // The default outputs: a video window, and the sound device (or,
        // without one, silence at the same pace so that the picture plays).
        GstElement* sink = nullptr;
        if (video) {
            sink = build.Adopt(CreateVideoWindowOutput());
            if (!sink)
                return RecordError(VFW_E_CANNOT_RENDER,
                                   QStringLiteral("There is no display to show the video on."));
        } else {
            GstElement* audio = CreateAudioOutput();
            if (audio)
                sink = build.Adopt(GST_ELEMENT(gst_object_ref_sink(audio)));
            if (!sink)
                return RecordError(REGDB_E_CLASSNOTREG,
                                   missing.arg(QLatin1String("autoaudiosink")));
        }
        if (!gst_element_link(last, sink))
            return RecordError(
                VFW_E_CANNOT_RENDER,
                QStringLiteral("%1 cannot be played here.").arg(streamText(video, compressor)));
    }

    GstPad* head = gst_element_get_static_pad(chain.front(), "sink");
    if (gst_pad_link(branch.source, head) != GST_PAD_LINK_OK) {
        gst_object_unref(head);
        return RecordError(VFW_E_CANNOT_CONNECT,
                           QStringLiteral("The timeline output cannot be connected."));
    }
    branch.head = head;
    branch.writtenWidth = writtenWidth;
    branch.writtenHeight = writtenHeight;
    if (mux)
        WatchStreamEnds(graph, branch, chain.front(),
                        compressor ? findEncoder(compressor) : nullptr);
    build.Commit();
    return S_OK;
}

void RestoreReordering(GstElement* compressor) {
    if (!compressor)
        return;
    GstElement* encoder = findEncoder(compressor);
    RestoreRateControl(encoder);
    for (const auto& [property, key] : kReorderingKeys) {
        auto* own = static_cast<gint64*>(g_object_get_data(G_OBJECT(encoder), key));
        GType type = G_TYPE_INVALID;
        if (!own || !writableInteger(encoder, property, &type))
            continue;
        if (type == G_TYPE_UINT)
            g_object_set(encoder, property, static_cast<guint>(*own), nullptr);
        else
            g_object_set(encoder, property, static_cast<gint>(*own), nullptr);
        g_object_set_data(G_OBJECT(encoder), key, nullptr);
    }
}

} // namespace orvelin::media
