// The editing services (and GIO with them) come before any Qt header.
#include "media/timeline/GesFrontEnd.h"

#include "media/RenderEngine.h"

#include "media/ErrorText.h"
#include "media/encoders/FilterGraphImpl.h"
#include "media/playback/ProgramStreamSeek.h"
#include "media/timeline/ConversionDecoders.h"
#include "media/timeline/OutputChain.h"
#include "media/timeline/PlainFrontEnd.h"
#include "media/timeline/RgbConvertElement.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

namespace orvelin::media {

namespace {

constexpr HRESULT RPC_E_WRONG_THREAD = static_cast<HRESULT>(0x8001010Eu);

// The editing services belong to the thread that initialised them: the
// application's main thread.
bool onMediaThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

// The video group's output: the composed picture converted to 24-bit RGB.
HRESULT AddRgbOutput(FilterGraph::Impl& graph, GstPad* composed, GstPad** output) {
    GstElement* convert = graph.AddElement(kRgbConvertFactory);
    GstElement* format = graph.AddElement("capsfilter");
    if (!convert || !format)
        return RecordError(REGDB_E_CLASSNOTREG,
                           QStringLiteral("A GStreamer element the conversion needs "
                                          "(%1) is not installed.")
                               .arg(QLatin1String(convert ? "capsfilter" : kRgbConvertFactory)));
    GstCaps* rgb = gst_caps_from_string("video/x-raw,format=RGB");
    g_object_set(format, "caps", rgb, nullptr);
    gst_caps_unref(rgb);
    GstPad* sink = gst_element_get_static_pad(convert, "sink");
    const bool linked =
        gst_pad_link(composed, sink) == GST_PAD_LINK_OK && gst_element_link(convert, format);
    gst_object_unref(sink);
    if (!linked)
        return RecordError(VFW_E_CANNOT_CONNECT,
                           QStringLiteral("The timeline's video cannot be converted to RGB."));
    *output = gst_element_get_static_pad(format, "src");
    return S_OK;
}

HRESULT wrongThread() {
    return RecordError(RPC_E_WRONG_THREAD,
                       QStringLiteral("The editing timeline was used from the wrong thread."));
}

} // namespace

HRESULT RenderEngine::Create(std::shared_ptr<RenderEngine>* engine) {
    if (!engine)
        return E_POINTER;
    engine->reset();
    if (!MediaPlatformInitialized())
        return RecordError(REGDB_E_CLASSNOTREG,
                           QStringLiteral("The media platform is not initialised."));
    engine->reset(new RenderEngine());
    return S_OK;
}

RenderEngine::~RenderEngine() {
    ScrapIt();
}

HRESULT RenderEngine::SetTimelineObject(std::shared_ptr<Timeline> timeline) {
    if (!timeline)
        return E_POINTER;
    timeline_ = std::move(timeline);
    return S_OK;
}

HRESULT RenderEngine::GetTimelineObject(std::shared_ptr<Timeline>* timeline) const {
    if (!timeline)
        return E_POINTER;
    *timeline = timeline_;
    return timeline_ ? S_OK : RecordError(E_UNEXPECTED, QStringLiteral("No timeline is set."));
}

HRESULT RenderEngine::SetDynamicReconnectLevel(int32_t level) {
    reconnectLevel_ = level;
    return S_OK;
}

// The outputs of a timeline's groups before they join the graph's chains.
struct RenderEngine::Build {
    std::vector<GstPad*> pads; // by group number (references held; may be null)
    std::vector<std::string> colorimetry;
    ~Build() {
        for (GstPad* pad : pads)
            if (pad)
                gst_object_unref(pad);
    }
};

namespace {

// The editing services' rendering of `model` into `graph`.
HRESULT connectGes(const Timeline& model, FilterGraph::Impl& graph, std::vector<GstPad*>* pads,
                   std::vector<std::string>* colorimetry) {
    GesFrontEnd frontEnd;
    if (HRESULT hr = BuildGesFrontEnd(model, &frontEnd); Failed(hr))
        return hr;
    if (!gst_bin_add(GST_BIN(graph.pipeline), GST_ELEMENT(frontEnd.timeline))) {
        ReleaseGesFrontEnd(&frontEnd);
        return RecordError(E_FAIL, QStringLiteral("The conversion graph cannot be made."));
    }
    graph.timeline = GST_ELEMENT(frontEnd.timeline);
    graph.sources = WatchTimelineSources(graph.timeline);
    graph.plannedLength = ges_timeline_get_duration(frontEnd.timeline);
    for (GESTrack* track : frontEnd.groupTracks) {
        GstPad* pad = ges_timeline_get_pad_for_track(frontEnd.timeline, track);
        pads->push_back(pad ? GST_PAD(gst_object_ref(pad)) : nullptr);
    }
    *colorimetry = frontEnd.groupColorimetry;
    ReleaseGesFrontEnd(&frontEnd); // the pipeline holds the timeline now
    return S_OK;
}

} // namespace

HRESULT RenderEngine::ConnectFrontEnd() {
    if (!onMediaThread())
        return wrongThread();
    if (!timeline_)
        return RecordError(E_UNEXPECTED, QStringLiteral("No timeline is set."));
    ScrapIt();

    std::shared_ptr<FilterGraph> graph(new FilterGraph());
    FilterGraph::Impl& impl = graph->impl();
    if (!impl.pipeline)
        return RecordError(E_FAIL, QStringLiteral("The conversion graph cannot be made."));
    WatchProgramStreamSeeks(impl.pipeline);
    TuneConversionDecoders(impl.pipeline);
    Build build;
    HRESULT hr = S_FALSE;
    if (!alwaysEditingServices_ && SuitsPlainFrontEnd(*timeline_)) {
        PlainFrontEnd plain;
        hr = BuildPlainFrontEnd(*timeline_, GST_BIN(impl.pipeline), &plain);
        if (Failed(hr))
            return hr;
        if (hr == S_OK) {
            for (GstPad* pad : plain.groupPads)
                build.pads.push_back(GST_PAD(gst_object_ref(pad)));
            build.colorimetry = plain.groupColorimetry;
            impl.sources = plain.sources;
            impl.plannedLength = plain.length;
            ReleasePlainFrontEnd(&plain);
        }
    }
    if (hr == S_FALSE) {
        if (HRESULT ges = connectGes(*timeline_, impl, &build.pads, &build.colorimetry);
            Failed(ges))
            return ges;
    }

    for (size_t g = 0; g < build.pads.size(); ++g) {
        GstPad* pad = build.pads[g];
        GraphBranch branch;
        std::shared_ptr<TimelineGroup> group;
        GroupMediaType type;
        if (Succeeded(timeline_->GetGroup(static_cast<int32_t>(g), &group)) && group)
            group->GetMediaType(&type);
        branch.kind =
            type.majortype == MediaMajorType::Video ? MediaMajorType::Video : MediaMajorType::Audio;
        if (branch.kind == MediaMajorType::Video && type.videoInfo) {
            branch.width = type.videoInfo->bmiHeader.biWidth;
            branch.height = std::abs(type.videoInfo->bmiHeader.biHeight);
            if (g < build.colorimetry.size())
                branch.colorimetry = build.colorimetry[g];
        }
        if (pad && branch.kind == MediaMajorType::Video) {
            if (HRESULT rgb = AddRgbOutput(impl, pad, &branch.source); Failed(rgb))
                return rgb;
        } else {
            branch.source = pad ? GST_PAD(gst_object_ref(pad)) : nullptr;
        }
        impl.branches.push_back(branch);
    }
    graph_ = std::move(graph);
    return S_OK;
}

HRESULT RenderEngine::GetFilterGraph(std::shared_ptr<FilterGraph>* graph) const {
    if (!graph)
        return E_POINTER;
    *graph = graph_;
    return graph_ ? S_OK
                  : RecordError(E_UNEXPECTED, QStringLiteral("The front end is not connected."));
}

HRESULT RenderEngine::GetGroupOutputPin(int32_t group, OutputPin* pin) const {
    if (!pin)
        return E_POINTER;
    *pin = OutputPin{};
    if (!graph_)
        return RecordError(E_UNEXPECTED, QStringLiteral("The front end is not connected."));
    const auto& branches = graph_->impl().branches;
    if (group < 0 || group >= static_cast<int32_t>(branches.size()) ||
        !branches[static_cast<size_t>(group)].source)
        return RecordError(E_INVALIDARG,
                           QStringLiteral("The timeline has no output for group %1.").arg(group));
    pin->graph = graph_;
    pin->group = group;
    pin->kind = branches[static_cast<size_t>(group)].kind;
    return S_OK;
}

HRESULT RenderEngine::RenderOutputPins() {
    if (!graph_)
        return RecordError(E_UNEXPECTED, QStringLiteral("The front end is not connected."));
    auto& impl = graph_->impl();
    for (size_t g = 0; g < impl.branches.size(); ++g) {
        if (impl.branches[g].head)
            continue;
        if (HRESULT hr = LinkGroupOutput(impl, static_cast<int32_t>(g), nullptr, nullptr);
            Failed(hr))
            return hr;
    }
    return S_OK;
}

HRESULT RenderEngine::ScrapIt() {
    if (!graph_)
        return S_OK;
    if (!onMediaThread())
        return wrongThread();
    graph_->impl().Release();
    graph_.reset();
    return S_OK;
}

} // namespace orvelin::media
