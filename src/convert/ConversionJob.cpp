#include "convert/ConversionJob.h"

namespace orvelin {

void ConversionJob::Discard() {
    if (mediaEvent)
        mediaEvent->SetNotifyWindow(nullptr, {});
    mediaEvent.reset();
    mediaControl.reset();
    if (renderEngine)
        renderEngine->ScrapIt();
    renderEngine.reset();
    timeline.reset();
}

} // namespace orvelin
