#include "media/CaptureGraphBuilder.h"

#include "media/ErrorText.h"
#include "media/encoders/FilterGraphImpl.h"
#include "media/timeline/OutputChain.h"
#include "media/wmprofile/AsfWriterElement.h"

namespace orvelin::media {

namespace {

const char* muxFactory(OutputType type, const QString& path) {
    switch (type) {
    case OutputType::Avi:
        return "avimux";
    case OutputType::WindowsMediaAsf:
        // The writer encodes by itself and writes through asfmux.
        if (const char* writer = AsfWriterFactoryName())
            return writer;
        return "asfmux";
    case OutputType::Matroska:
        // MP4 output goes through the Matroska type; an output name ending
        // in ".mp4" takes the MP4 multiplexer.
        return path.endsWith(QLatin1String(".mp4"), Qt::CaseInsensitive) ? "mp4mux" : "matroskamux";
    case OutputType::Dsm:
        return "dsmmux";
    case OutputType::Ogm:
        return "oggmux";
    }
    return "";
}

GstElement* nativeOf(const std::shared_ptr<Filter>& filter) {
    return filter ? static_cast<GstElement*>(filter->NativeElement()) : nullptr;
}

bool hasProperty(GstElement* element, const char* name) {
    return element && g_object_class_find_property(G_OBJECT_GET_CLASS(element), name);
}

} // namespace

HRESULT CaptureGraphBuilder::Create(std::unique_ptr<CaptureGraphBuilder>* builder) {
    if (!builder)
        return E_POINTER;
    if (!MediaPlatformInitialized())
        return RecordError(REGDB_E_CLASSNOTREG,
                           QStringLiteral("The media platform is not initialised."));
    builder->reset(new CaptureGraphBuilder());
    return S_OK;
}

HRESULT CaptureGraphBuilder::SetFiltergraph(const std::shared_ptr<FilterGraph>& graph) {
    if (!graph)
        return E_POINTER;
    if (graph_)
        return RecordError(E_UNEXPECTED, QStringLiteral("The builder already has a graph."));
    graph_ = graph;
    return S_OK;
}

HRESULT CaptureGraphBuilder::SetOutputFileName(OutputType type, const QString& path,
                                               std::shared_ptr<Filter>* mux,
                                               std::shared_ptr<Filter>* writer) {
    if (!graph_)
        return RecordError(E_UNEXPECTED, QStringLiteral("The builder has no graph."));
    if (path.isEmpty())
        return RecordError(E_INVALIDARG, QStringLiteral("No output file name was given."));
    const char* factory = muxFactory(type, path);
    std::shared_ptr<Filter> muxFilter = Filter::Create(QString::fromUtf8(factory));
    if (!muxFilter)
        return RecordError(REGDB_E_CLASSNOTREG,
                           QStringLiteral("No multiplexer for this container is installed "
                                          "(GStreamer element %1).")
                               .arg(QString::fromUtf8(factory)));
    std::shared_ptr<Filter> sink = Filter::Create(QStringLiteral("filesink"));
    if (!sink)
        return RecordError(REGDB_E_CLASSNOTREG,
                           QStringLiteral("No file writer (GStreamer element filesink) is "
                                          "installed."));
    g_object_set(nativeOf(sink), "location", path.toUtf8().constData(), nullptr);
    if (HRESULT hr = graph_->AddFilter(muxFilter, muxFilter->LongName()); Failed(hr))
        return hr;
    if (HRESULT hr = graph_->AddFilter(sink, QStringLiteral("File writer")); Failed(hr))
        return hr;
    if (!gst_element_link(nativeOf(muxFilter), nativeOf(sink)))
        return RecordError(VFW_E_CANNOT_CONNECT,
                           QStringLiteral("%1 cannot write to a file.").arg(muxFilter->LongName()));
    if (mux)
        *mux = muxFilter;
    if (writer)
        *writer = sink;
    return S_OK;
}

HRESULT CaptureGraphBuilder::RenderStream(const OutputPin& pin,
                                          const std::shared_ptr<Filter>& compressor,
                                          const std::shared_ptr<Filter>& mux) {
    if (!graph_)
        return RecordError(E_UNEXPECTED, QStringLiteral("The builder has no graph."));
    if (!pin.IsValid() || pin.graph != graph_)
        return RecordError(E_INVALIDARG,
                           QStringLiteral("The output does not belong to this graph."));
    return LinkGroupOutput(graph_->impl(), pin.group, nativeOf(compressor), nativeOf(mux));
}

HRESULT SetInterleavingMode(Filter& mux, int32_t mode) {
    auto* element = static_cast<GstElement*>(mux.NativeElement());
    if (!hasProperty(element, "interleave-time"))
        return E_NOINTERFACE;
    // Full interleaving: chunks of a quarter second; otherwise whole seconds.
    const guint64 chunk = mode == INTERLEAVE_FULL ? 250 * GST_MSECOND : GST_SECOND;
    g_object_set(element, "interleave-time", chunk, nullptr);
    return S_OK;
}

HRESULT SetFileWriterMode(Filter& writer, int32_t mode) {
    auto* element = static_cast<GstElement*>(writer.NativeElement());
    if (!hasProperty(element, "append"))
        return E_NOINTERFACE;
    g_object_set(element, "append", mode == AM_FILE_OVERWRITE ? FALSE : TRUE, nullptr);
    return S_OK;
}

} // namespace orvelin::media
