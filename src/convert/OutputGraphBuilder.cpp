#include "convert/OutputGraphBuilder.h"

#include "app/UiServices.h"
#include "convert/ConvertHost.h"
#include "convert/ConvertSupport.h"
#include "convert/WindowsMediaStep.h"
#include "media/ErrorText.h"
#include "options/CompressorCatalog.h"

namespace orvelin {

using media::Failed;
using media::HRESULT;
using media::S_OK;
using media::Succeeded;

HRESULT DisablePreviewMode(media::Timeline& timeline) {
    int32_t count = 0;
    if (HRESULT hr = timeline.GetGroupCount(&count); Failed(hr))
        return hr;
    for (int32_t g = 0; g < count; ++g) {
        std::shared_ptr<media::TimelineGroup> group;
        if (Succeeded(timeline.GetGroup(g, &group)))
            group->SetPreviewMode(false);
    }
    return S_OK;
}

OutputGraphBuilder::OutputGraphBuilder(ConvertHost& host, ConversionJob& job,
                                       WindowsMediaStep& windowsMedia, Callbacks callbacks)
    : host_(host), job_(job), windowsMedia_(windowsMedia), callbacks_(std::move(callbacks)) {}

void OutputGraphBuilder::Report(const QString& text) {
    host_.Ui().FrameworkMessageBox(host_.OwnerWidget(), text);
}

void OutputGraphBuilder::ReportPlatformError(HRESULT hr) {
    Report(media::GetErrorText(hr));
}

HRESULT OutputGraphBuilder::RenderTimelineToFile(const std::shared_ptr<media::Timeline>& timeline) {
    if (HRESULT hr = media::RenderEngine::Create(&job_.renderEngine); Failed(hr)) {
        host_.Ui().MessageBox(host_.OwnerWidget(), QStringLiteral("Could not create pRenderEngine"),
                              QStringLiteral("Error"), MsgButtons::Ok);
        return hr;
    }
    media::RenderEngine& engine = *job_.renderEngine;
    if (HRESULT hr = engine.SetTimelineObject(timeline); Failed(hr)) {
        Report(QStringLiteral("Could not SetTimelineObject"));
        return hr;
    }
    engine.SetDynamicReconnectLevel(media::CONNECTF_DYNAMIC_SOURCES);
    if (HRESULT hr = engine.ConnectFrontEnd(); Failed(hr)) {
        Report(QStringLiteral("Could not ConnectFrontEnd"));
        // Why: a file that cannot be read or is too short, said plainly.
        ReportPlatformError(hr);
        return hr;
    }
    const QString path =
        job_.writePath.isEmpty() ? host_.State().output.outputPath : job_.writePath;
    if (timeline)
        DisablePreviewMode(*timeline);
    BuildOutputGraph(engine, path);
    return S_OK;
}

HRESULT OutputGraphBuilder::ContainerStep(media::CaptureGraphBuilder& builder, const QString& path,
                                          std::shared_ptr<media::Filter>* mux) {
    OutputSettings& out = host_.State().output;
    const QString fileNameFailure =
        QStringLiteral("Error pBuilder->SetOutputFileName(&guid, Filename, &pMux, &pWriter )");
    std::shared_ptr<media::Filter> writer;
    auto finish = [&] {
        media::SetInterleavingMode(**mux, media::INTERLEAVE_FULL);
        media::SetFileWriterMode(*writer, media::AM_FILE_OVERWRITE);
    };
    switch (out.outputFormat) {
    case kContainerAvi:
    case kContainerMkv:
    case kContainerMp4:
    case kContainerDsm:
    case kContainerOgm: {
        media::OutputType type = media::OutputType::Avi;
        if (out.outputFormat == kContainerMkv || out.outputFormat == kContainerMp4)
            type = media::OutputType::Matroska;
        else if (out.outputFormat == kContainerDsm)
            type = media::OutputType::Dsm;
        else if (out.outputFormat == kContainerOgm)
            type = media::OutputType::Ogm;
        if (HRESULT hr = builder.SetOutputFileName(type, path, mux, &writer); Failed(hr)) {
            if (type == media::OutputType::Matroska) {
                Report(QStringLiteral("Please install MKV codec)"));
                host_.Ui().OpenUrl(QLatin1String(kMkvDownloadUrl));
            } else if (type == media::OutputType::Dsm) {
                Report(QStringLiteral("Please install DSM Splitter/Muxer codec)"));
                host_.Ui().OpenUrl(QLatin1String(kDsmDownloadUrl));
            } else {
                Report(fileNameFailure);
            }
            return hr;
        }
        finish();
        return S_OK;
    }
    case kContainerWmv:
    case kContainerAsf: {
        if (HRESULT hr = windowsMedia_.GenerateProfile(out); Failed(hr))
            return hr;
        if (HRESULT hr =
                builder.SetOutputFileName(media::OutputType::WindowsMediaAsf, path, mux, &writer);
            Failed(hr)) {
            Report(fileNameFailure);
            return hr;
        }
        finish();
        if (HRESULT hr = windowsMedia_.ConfigureWriter(**mux, out); Failed(hr))
            return hr;
        // The writer encodes by itself.
        out.useVideoCompressor = 0;
        out.useAudioCompressor = 0;
        return S_OK;
    }
    default:
        // Without a multiplexer the streams would play in windows and on
        // the speakers instead of going to a file.
        Report(UnsupportedContainerText(out.outputFormat));
        return media::E_INVALIDARG;
    }
}

HRESULT OutputGraphBuilder::RenderGroup(media::CaptureGraphBuilder& builder,
                                        media::RenderEngine& engine, media::FilterGraph& graph,
                                        int32_t group, const std::shared_ptr<media::Filter>& mux) {
    const OutputSettings& out = host_.State().output;
    media::OutputPin pin;
    if (HRESULT hr = engine.GetGroupOutputPin(group, &pin); Failed(hr)) {
        Report(QStringLiteral("Could not GetGroupOutputPin( g, &pPin )"));
        return hr;
    }
    const bool video = group == 0;
    std::shared_ptr<media::Filter> compressor;
    if ((video ? out.useVideoCompressor : out.useAudioCompressor) == 1) {
        compressor = video ? SelectedVideoCompressor() : SelectedAudioCompressor();
        const QString name =
            video ? QStringLiteral("VideoCompressor") : QStringLiteral("AudioCompressor");
        if (HRESULT hr = graph.AddFilter(compressor, name); Failed(hr)) {
            ReportPlatformError(hr);
            return hr;
        }
    }
    if (HRESULT hr = builder.RenderStream(pin, compressor, mux); Failed(hr)) {
        Report(QStringLiteral("failed pBuilder->RenderStream( NULL, NULL, pPin, NULL, pMux )"));
        ReportPlatformError(hr);
        return hr;
    }
    return S_OK;
}

HRESULT OutputGraphBuilder::BuildOutputGraph(media::RenderEngine& engine, const QString& path) {
    std::unique_ptr<media::CaptureGraphBuilder> builder;
    if (HRESULT hr = media::CaptureGraphBuilder::Create(&builder); Failed(hr)) {
        Report(QStringLiteral("Could not create ICaptureGraphBuilder2"));
        return hr;
    }
    std::shared_ptr<media::Timeline> timeline;
    std::shared_ptr<media::FilterGraph> graph;
    if (HRESULT hr = engine.GetTimelineObject(&timeline); Failed(hr))
        return hr;
    if (HRESULT hr = engine.GetFilterGraph(&graph); Failed(hr))
        return hr;
    int32_t groups = 0;
    timeline->GetGroupCount(&groups);
    if (groups == 0) {
        Report(QStringLiteral("Could not GetGroupCount( &Groups )"));
        return media::E_INVALIDARG;
    }
    if (HRESULT hr = builder->SetFiltergraph(graph); Failed(hr)) {
        Report(QStringLiteral("Error pBuilder->SetFiltergraph( pGraph )"));
        return hr;
    }
    // The job writes beside the chosen file; the user hears of that file.
    graph->ShowFileAs(path, host_.State().output.outputPath);
    std::shared_ptr<media::Filter> mux;
    if (HRESULT hr = ContainerStep(*builder, path, &mux); Failed(hr))
        return hr;
    for (int32_t g = 0; g < groups; ++g) {
        if (HRESULT hr = RenderGroup(*builder, engine, *graph, g, mux); Failed(hr))
            return hr;
    }
    job_.mediaControl = graph;
    job_.mediaEvent = graph;
    if (HRESULT hr = graph->SetNotifyWindow(callbacks_.notifyReceiver, callbacks_.onGraphEvent);
        Failed(hr)) {
        Report(QStringLiteral("can not SetNotifyWindow!!!"));
        return hr;
    }
    if (host_.State().output.outputFormat == kContainerMp4) {
        std::vector<std::shared_ptr<media::Filter>> filters;
        for (const media::GraphFilterEntry& entry : graph->Filters())
            filters.push_back(entry.filter);
        host_.ShowFilterProperties(filters);
    }
    if (HRESULT hr = graph->Run(); Failed(hr)) {
        Report(QStringLiteral("can not pControl->Run()!!!"));
        ReportPlatformError(hr);
        return hr;
    }
    if (callbacks_.onRunning)
        callbacks_.onRunning();
    return S_OK;
}

} // namespace orvelin
