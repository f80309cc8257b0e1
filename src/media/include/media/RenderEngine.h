#pragma once

#include "media/FilterGraph.h"
#include "media/MediaPlatform.h"
#include "media/Timeline.h"

#include <memory>

namespace orvelin::media {

// The output of one timeline group in a render engine's graph.
struct OutputPin {
    std::shared_ptr<FilterGraph> graph;
    int32_t group = -1;
    MediaMajorType kind = MediaMajorType::None;
    bool IsValid() const { return graph && group >= 0; }
};

// Dynamic reconnection levels (recorded; the graph is always built whole).
constexpr int32_t CONNECTF_DYNAMIC_NONE = 0;
constexpr int32_t CONNECTF_DYNAMIC_SOURCES = 1;

// Turns a timeline into a graph with one uncompressed output per group:
// group k gives video at the group's frame size and rate as 24-bit RGB, or
// the mixed sound as 16-bit stereo PCM at 44100 Hz. Each source plays its
// file from media start to media stop at its timeline start; video sources
// are fitted into the frame by their stretch mode; tracks later in a group
// lie on top; transitions blend a track in over what lies below it.
//
// Editing-services objects belong to the thread that initialised the media
// platform; every call of the render engine must come from that thread.
class RenderEngine {
public:
    static HRESULT Create(std::shared_ptr<RenderEngine>* engine);
    ~RenderEngine();
    RenderEngine(const RenderEngine&) = delete;
    RenderEngine& operator=(const RenderEngine&) = delete;

    HRESULT SetTimelineObject(std::shared_ptr<Timeline> timeline);
    HRESULT GetTimelineObject(std::shared_ptr<Timeline>* timeline) const;
    HRESULT SetDynamicReconnectLevel(int32_t level);
    int32_t DynamicReconnectLevel() const { return reconnectLevel_; }

    // Builds the graph of the timeline. Fails when a source file cannot be
    // read, when it ends before the part its source reads, or when a source
    // would change the playing speed (media and timeline lengths differ); the
    // reason is the platform's error text of the result. A source whose file
    // lacks the group's kind of stream gives black or silence.
    HRESULT ConnectFrontEnd();
    HRESULT GetFilterGraph(std::shared_ptr<FilterGraph>* graph) const;
    HRESULT GetGroupOutputPin(int32_t group, OutputPin* pin) const;
    // Renders every timeline through the editing services, also one that a
    // plain pipeline plays (one clip per group from the start, no
    // transition); for comparing the two.
    void SetAlwaysUseEditingServices(bool always) { alwaysEditingServices_ = always; }
    // Sends every group output to the default video or audio output.
    HRESULT RenderOutputPins();
    // Stops and discards the graph.
    HRESULT ScrapIt();

private:
    RenderEngine() = default;
    struct Build;
    std::shared_ptr<Timeline> timeline_;
    std::shared_ptr<FilterGraph> graph_;
    int32_t reconnectLevel_ = CONNECTF_DYNAMIC_NONE;
    bool alwaysEditingServices_ = false;
};

} // namespace orvelin::media
