#include "convert/WindowsMediaStep.h"

#include "app/UiServices.h"
#include "convert/WindowsMediaProfile.h"
#include "media/AsfWriter.h"

namespace orvelin {

using media::Failed;
using media::HRESULT;

void ReportWindowsMediaFailure(UiServices& ui, const char* format, media::HRESULT hr) {
    const QString text = QString::asprintf(format, static_cast<unsigned int>(hr));
    ui.MessageBox(nullptr, text, QStringLiteral("Vantorix"), MsgButtons::Ok);
}

HRESULT WindowsMediaWriterStep::GenerateProfile(const OutputSettings& settings) {
    profile_.reset();
    AudioStreamParams audio;
    audio.bitrate = static_cast<uint32_t>(settings.audioBitrate);
    audio.formatTag = media::WAVE_FORMAT_WMAUDIO2;
    audio.sampleRate = 44100;
    audio.channels = 2;
    VideoStreamParams video;
    video.fourcc = kFourccWmv3;
    video.bitrate = static_cast<uint32_t>(settings.videoBitrate);
    video.height = settings.outputHeight;
    video.width = settings.outputWidth;
    // Whole frames per second, truncated: 23.976 gives 23, 29.97 gives 29.
    video.frameRate =
        settings.outputFrameRate > 0 ? static_cast<uint32_t>(settings.outputFrameRate) : 0;
    video.quality = 0;
    video.keyFrameSpacing = 8;
    const HRESULT hr =
        orvelin::GenerateProfile(&audio, nullptr, 1, &video, &profile_, media::WMT_VER_9_0);
    if (Failed(hr)) {
        profile_.reset();
        ReportWindowsMediaFailure(
            ui_, "Failed to GenerateProfile Audio video with script!  hr=0x%x\n", hr);
    }
    return hr;
}

HRESULT WindowsMediaWriterStep::ConfigureWriter(media::Filter& writer,
                                                const OutputSettings& settings) {
    // The profile lives only for this build; the writer keeps what it needs.
    std::shared_ptr<media::WMProfile> generated = std::move(profile_);
    std::shared_ptr<media::ConfigAsfWriter> config;
    if (HRESULT hr = media::QueryConfigAsfWriter(writer, &config); Failed(hr)) {
        ReportWindowsMediaFailure(ui_, "Failed to QI for IConfigAsfWriter!  hr=0x%x\n", hr);
        return hr;
    }
    if (settings.fileProfile == 1) {
        std::shared_ptr<media::WMProfile> loaded;
        if (HRESULT hr = MapProfile("test2", &loaded); Failed(hr)) {
            ReportWindowsMediaFailure(ui_, "Failed to map profile ID!  hr=0x%x\n", hr);
            return hr;
        }
        if (HRESULT hr = config->ConfigureFilterUsingProfile(*loaded); Failed(hr)) {
            ReportWindowsMediaFailure(
                ui_, "Failed to configure filter to use file profile!  hr=0x%x\n", hr);
            return hr;
        }
        return media::S_OK;
    }
    if (!generated) {
        ReportWindowsMediaFailure(ui_, "Failed to configure filter to use profile!  hr=0x%x\n",
                                  media::E_POINTER);
        return media::E_POINTER;
    }
    if (HRESULT hr = config->ConfigureFilterUsingProfile(*generated); Failed(hr)) {
        ReportWindowsMediaFailure(ui_, "Failed to configure filter to use profile!  hr=0x%x\n", hr);
        return hr;
    }
    return media::S_OK;
}

} // namespace orvelin
