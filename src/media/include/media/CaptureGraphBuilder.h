#pragma once

#include "media/Filter.h"
#include "media/FilterGraph.h"
#include "media/MediaPlatform.h"
#include "media/RenderEngine.h"

#include <QString>
#include <memory>

namespace orvelin::media {

// What SetOutputFileName writes: a multiplexer type and its file writer.
enum class OutputType {
    Avi,             // avimux
    WindowsMediaAsf, // asfmux
    Matroska,        // matroskamux, or mp4mux for a name ending in ".mp4"
    Dsm,             // none is installed here: always fails
    Ogm,             // oggmux
};

// Builds the back end of an output graph: the multiplexer and file writer,
// and the chains from the timeline's outputs through the compressors.
class CaptureGraphBuilder {
public:
    static HRESULT Create(std::unique_ptr<CaptureGraphBuilder>* builder);

    HRESULT SetFiltergraph(const std::shared_ptr<FilterGraph>& graph);

    // Adds the multiplexer of `type` and a file writer for `path` to the
    // graph and joins them. Fails with REGDB_E_CLASSNOTREG when the
    // multiplexer is not installed.
    HRESULT SetOutputFileName(OutputType type, const QString& path, std::shared_ptr<Filter>* mux,
                              std::shared_ptr<Filter>* writer);

    // Connects a group output through `compressor` (in the graph already, or
    // nullptr) into `mux`; without a multiplexer into the default output.
    HRESULT RenderStream(const OutputPin& pin, const std::shared_ptr<Filter>& compressor,
                         const std::shared_ptr<Filter>& mux);

private:
    CaptureGraphBuilder() = default;
    std::shared_ptr<FilterGraph> graph_;
};

// Interleaving of a multiplexer.
constexpr int32_t INTERLEAVE_NONE = 0;
constexpr int32_t INTERLEAVE_CAPTURE = 1;
constexpr int32_t INTERLEAVE_FULL = 2;
// Sets how finely the multiplexer interleaves its streams where it has such
// a setting; E_NOINTERFACE when it has none (it interleaves by time anyway).
HRESULT SetInterleavingMode(Filter& mux, int32_t mode);

// File writer modes.
constexpr int32_t AM_FILE_OVERWRITE = 1;
// Makes the writer start the file afresh; E_NOINTERFACE when it cannot say.
HRESULT SetFileWriterMode(Filter& writer, int32_t mode);

} // namespace orvelin::media
