#pragma once

#include "media/Filter.h"
#include "media/MediaPlatform.h"
#include "media/WMProfile.h"
#include "options/OutputSettings.h"

#include <QString>
#include <memory>

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

// The conversion's Windows Media step: a custom profile of one audio and one
// video stream from the output settings (44100 Hz stereo Windows Media Audio 2
// at the audio bit rate; the video at the output size, whole frames per
// second, the video bit rate, key frames every 8 seconds), or with
// `fileProfile` 1 the profile of the profile text "test2", given to the ASF
// writer. The profile lives from GenerateProfile to ConfigureWriter.
class WindowsMediaWriterStep : public WindowsMediaStep {
public:
    explicit WindowsMediaWriterStep(UiServices& ui) : ui_(ui) {}
    media::HRESULT GenerateProfile(const OutputSettings& settings) override;
    media::HRESULT ConfigureWriter(media::Filter& writer, const OutputSettings& settings) override;

private:
    UiServices& ui_;
    std::shared_ptr<media::WMProfile> profile_;
};

} // namespace orvelin
