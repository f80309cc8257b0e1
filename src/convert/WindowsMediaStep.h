#pragma once

#include "media/Filter.h"
#include "media/MediaPlatform.h"
#include "options/OutputSettings.h"

#include <QString>

class QWidget;

namespace orvelin {

class UiServices;

// The Windows Media part of an output graph (WMV and ASF): the profile built
// from the bit rates, frame size and rate before the writer exists, and the
// writer's configuration with it afterwards. Each step reports its own
// failures.
class WindowsMediaStep {
public:
    virtual ~WindowsMediaStep() = default;
    virtual media::HRESULT GenerateProfile(const OutputSettings& settings) = 0;
    virtual media::HRESULT ConfigureWriter(media::Filter& writer,
                                           const OutputSettings& settings) = 0;
};

// Shows a Windows Media failure report: the text formatted with the result
// as lower-case hexadecimal, caption "Vantorix", no owner window.
void ReportWindowsMediaFailure(UiServices& ui, const char* format, media::HRESULT hr);

// What stands in until the Windows Media profile builder exists: building
// the profile fails with E_NOTIMPL and its report, so a WMV or ASF
// conversion ends at the profile step.
class WindowsMediaUnavailable : public WindowsMediaStep {
public:
    explicit WindowsMediaUnavailable(UiServices& ui) : ui_(ui) {}
    media::HRESULT GenerateProfile(const OutputSettings& settings) override;
    media::HRESULT ConfigureWriter(media::Filter& writer, const OutputSettings& settings) override;

private:
    UiServices& ui_;
};

} // namespace orvelin
