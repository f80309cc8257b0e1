#pragma once

#include "media/Filter.h"
#include "media/MediaPlatform.h"
#include "media/WMProfile.h"

#include <memory>

namespace orvelin::media {

// The configuration of the Windows Media ASF writer (the filter that the
// capture graph builder's SetOutputFileName gives for WindowsMediaAsf). The
// writer takes uncompressed video and sound and encodes each stream of its
// profile with the installed Windows Media encoder of the stream's format.
class ConfigAsfWriter {
public:
    virtual ~ConfigAsfWriter() = default;
    // Sets the writer up for the profile: one encoder per stream, with the
    // stream's bit rate, frame size, whole-number frame rate and key-frame
    // spacing, or its sample rate and channels. Fails with
    // NS_E_AUDIO_CODEC_NOT_INSTALLED or NS_E_VIDEO_CODEC_NOT_INSTALLED when
    // no installed encoder writes a stream's format, and with E_UNEXPECTED
    // once the writer's inputs are connected.
    virtual HRESULT ConfigureFilterUsingProfile(const WMProfile& profile) = 0;
};

// The writer's configuration interface; E_NOINTERFACE when `filter` is no
// ASF writer.
HRESULT QueryConfigAsfWriter(Filter& filter, std::shared_ptr<ConfigAsfWriter>* config);

} // namespace orvelin::media
