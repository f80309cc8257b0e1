#pragma once

#include "media/Filter.h"
#include "media/GraphEvents.h"
#include "media/MediaPlatform.h"
#include "media/PlaybackGraph.h"
#include "media/Timeline.h"

#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QObject;

namespace orvelin::media {

struct GraphFilterEntry {
    QString name;
    std::shared_ptr<Filter> filter;
};

// How much of one stream of a source file a run decoded, and the problems
// its demultiplexer and decoders reported meanwhile.
struct SourceStreamReport {
    QString file;
    MediaMajorType kind = MediaMajorType::None;
    // The length of the clip on the timeline, and how much of it was
    // decoded, counted from the clip's in-point.
    REFERENCE_TIME asked = 0;
    REFERENCE_TIME reached = 0;
    // The time one decoded picture stands for (pictures only; 0 when not
    // known).
    REFERENCE_TIME framePeriod = 0;
    // Problems met: complaints of the demultiplexer and decoders, pictures
    // or sound the decoders marked as concealed, holes and steps back in
    // the decoded stream's times.
    int warnings = 0;
    QString firstWarning;
};

// The length a media file's header declares when its demultiplexer goes by
// what the file holds instead (AVI: pictures times their period); 0 when
// the header declares none or the file is of another kind.
REFERENCE_TIME DeclaredLength(const QString& path);

// The graph a render engine builds for a timeline: the timeline's outputs,
// the filters added to it (compressors, multiplexer, file writer) and the
// chains that join them. It is run and stopped as a whole and reports end of
// stream and errors through its event queue.
class FilterGraph {
public:
    ~FilterGraph();
    FilterGraph(const FilterGraph&) = delete;
    FilterGraph& operator=(const FilterGraph&) = delete;

    // Adds a filter under `name`. Fails for a missing filter (E_POINTER), a
    // name already used (VFW_E_DUPLICATE_NAME) or a filter that another graph
    // still holds. A filter leaves the graph when the graph is released, and
    // may then join another graph.
    HRESULT AddFilter(const std::shared_ptr<Filter>& filter, const QString& name);
    // The filters added or created for the graph, in the order they came.
    std::vector<GraphFilterEntry> Filters() const;

    // Starts the graph. Fails with the platform's reason (GetErrorText) when
    // an element refuses to start, e.g. a file that cannot be written.
    HRESULT Run();
    // Stops the graph. A running graph first finishes what it has converted
    // so far: every stream is ended where it stands and the multiplexer
    // completes the file (waiting at most the finish timeout), so that the
    // file plays. Then everything is stopped. Safe to call repeatedly.
    HRESULT Stop();
    GraphState State() const;
    // How far a running graph has got, in 100 ns units from the timeline's
    // start; E_FAIL when it cannot tell (not running, no position yet).
    HRESULT GetCurrentPosition(REFERENCE_TIME* position) const;
    void SetFinishTimeout(std::chrono::milliseconds timeout);
    // A running graph through which nothing passes for `timeout` (10 s
    // unless set) ends with EC_ERRORABORT (VFW_E_TIMEOUT) naming the files
    // it reads, instead of waiting for ever.
    void SetStallTimeout(std::chrono::milliseconds timeout);

    // End of stream (EC_COMPLETE, once) and errors (EC_ERRORABORT with the
    // platform's text) of a running graph. Nothing is queued while Stop
    // finishes the file.
    GraphEventQueue& Events();
    HRESULT SetNotifyWindow(QObject* receiver, std::function<void()> notify);

    // The frame size the video chain hands to the file: the timeline's own,
    // or one pixel less where an encoder takes only even sizes (4:2:0
    // pictures). False before the video output is connected.
    bool WrittenVideoSize(int32_t* width, int32_t* height) const;

    // The reason of the first error the graph reported; empty without one.
    QString LastErrorText() const;

    // Errors and warnings that name the file `written` name `shown` instead
    // (the graph writes beside the file the user chose).
    void ShowFileAs(const QString& written, const QString& shown);

    // Every stream the timeline's clips decode from files (pictures left
    // out), with how far it got so far.
    std::vector<SourceStreamReport> SourceReports() const;

    struct Impl;
    Impl& impl() { return *impl_; }
    const Impl& impl() const { return *impl_; }

private:
    friend class RenderEngine;
    FilterGraph();
    std::unique_ptr<Impl> impl_;
};

} // namespace orvelin::media
