#pragma once

#include "media/FilterGraph.h"
#include "media/RenderEngine.h"
#include "media/Timeline.h"

#include <QString>
#include <memory>

namespace orvelin {

// The objects of one conversion: the timeline, the render engine, and the
// graph as media control (run, stop) and as media event source. Each slot
// holds one reference or nothing.
struct ConversionJob {
    std::shared_ptr<media::Timeline> timeline;
    std::shared_ptr<media::RenderEngine> renderEngine;
    std::shared_ptr<media::FilterGraph> mediaControl;
    std::shared_ptr<media::FilterGraph> mediaEvent;
    // The file the graph writes; the output path when empty.
    QString writePath;

    bool Empty() const { return !timeline && !renderEngine && !mediaControl && !mediaEvent; }
    // Stops the graph without finishing its file, stops its notifications
    // and empties every slot (a job whose build failed, or one left behind).
    void Discard();
};

} // namespace orvelin
