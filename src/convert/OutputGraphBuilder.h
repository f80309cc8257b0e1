#pragma once

#include "convert/ConversionJob.h"
#include "media/CaptureGraphBuilder.h"
#include "media/RenderEngine.h"
#include "media/Timeline.h"

#include <QString>
#include <functional>
#include <memory>

class QObject;

namespace orvelin {

class ConvertHost;
class WindowsMediaStep;

// Sets preview mode off on every group of the timeline.
media::HRESULT DisablePreviewMode(media::Timeline& timeline);

// Connects a timeline to a render engine and builds the output graph of the
// chosen container behind it: multiplexer and file writer, the compressors
// as "VideoCompressor" and "AudioCompressor", the graph's events to the main
// window, and runs it. Every failure is reported in message boxes and ends
// the build with the job not running.
class OutputGraphBuilder {
public:
    struct Callbacks {
        QObject* notifyReceiver = nullptr;  // lives in the UI thread
        std::function<void()> onGraphEvent; // queued on notifyReceiver's thread
        std::function<void()> onRunning;    // the graph runs: enter the running state
    };

    OutputGraphBuilder(ConvertHost& host, ConversionJob& job, WindowsMediaStep& windowsMedia,
                       Callbacks callbacks);

    // Creates the render engine in the job, connects the timeline and builds
    // the output graph. Answers 0 once the engine is connected, whatever the
    // graph build gave.
    media::HRESULT RenderTimelineToFile(const std::shared_ptr<media::Timeline>& timeline);
    media::HRESULT BuildOutputGraph(media::RenderEngine& engine, const QString& path);

private:
    void Report(const QString& text);
    void ReportPlatformError(media::HRESULT hr);
    media::HRESULT ContainerStep(media::CaptureGraphBuilder& builder, const QString& path,
                                 std::shared_ptr<media::Filter>* mux);
    media::HRESULT RenderGroup(media::CaptureGraphBuilder& builder, media::RenderEngine& engine,
                               media::FilterGraph& graph, int32_t group,
                               const std::shared_ptr<media::Filter>& mux);

    ConvertHost& host_;
    ConversionJob& job_;
    WindowsMediaStep& windowsMedia_;
    Callbacks callbacks_;
};

} // namespace orvelin
