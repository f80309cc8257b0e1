#pragma once

#include "media/MediaPlatform.h"
#include "media/WMProfile.h"

#include <functional>
#include <memory>
#include <string>

namespace orvelin {

// What the audio stream of a Windows Media profile must match.
struct AudioStreamParams {
    uint32_t bitrate = 0;    // bits per second
    uint32_t formatTag = 0;  // compared with the low 16 bits
    uint32_t sampleRate = 0; // samples per second
    uint32_t channels = 0;
};

// One video stream of a Windows Media profile.
struct VideoStreamParams {
    uint32_t fourcc = 0;
    uint32_t bitrate = 0; // bits per second
    int32_t height = 0;
    int32_t width = 0;
    uint32_t frameRate = 0; // whole frames per second
    uint32_t quality = 0;
    uint32_t keyFrameSpacing = 0; // seconds
};

constexpr uint32_t kFourccWmv3 = 0x33564D57; // "WMV3"

using ProfileManagerFactory =
    std::function<media::HRESULT(std::shared_ptr<media::WMProfileManager>*)>;

// Builds the custom profile "Custom Profile": audio stream 1 in the installed
// format that matches `audio`, video streams 2, 3, ... from `video`, a bit
// rate exclusion over several video streams, and a script stream after the
// last video stream when `scriptBitrate` is given. `createManager` makes the
// profile manager (the installed encoders unless a caller supplies its own).
media::HRESULT
GenerateProfile(const AudioStreamParams* audio, const uint32_t* scriptBitrate, uint16_t videoCount,
                const VideoStreamParams* video, std::shared_ptr<media::WMProfile>* profile,
                uint32_t version,
                const ProfileManagerFactory& createManager = media::WMCreateProfileManager);

// Adds audio stream 1 in the one installed format whose average bit rate is
// within 250 bit/s of `bitrate` with the same sample rate, channels and tag;
// among several the smallest block alignment wins when a video stream is
// present, the largest when not (the later one on a tie).
media::HRESULT AddAudioStream(uint32_t formatTag, uint32_t bitrate, uint32_t sampleRate,
                              uint32_t channels, bool videoPresent, media::WMProfile& profile,
                              media::WMProfileManager& manager);

// Adds a video stream in the first installed format of `fourcc`; when none
// has it (no Windows Media Video 9 encoder exists here), in the first
// installed Windows Media video format, the newest codec first.
media::HRESULT AddVideoStream(media::WMProfile& profile, media::WMProfileManager& manager,
                              uint16_t streamNumber, uint32_t fourcc, uint32_t bitrate,
                              int32_t width, int32_t height, uint32_t frameRate, uint32_t quality,
                              uint32_t keyFrameSpacing);

// Makes video streams 2 to count + 1 exclude each other by bit rate.
media::HRESULT AddBitrateMutex(media::WMProfile& profile, uint16_t videoCount);

media::HRESULT AddScriptStream(media::WMProfile& profile, uint16_t streamNumber, uint32_t bitrate);

// Number, names, bit rate and media type of a stream, in that order.
media::HRESULT ConfigureStream(media::WMStreamConfig& config, uint16_t streamNumber,
                               const std::u16string& streamName,
                               const std::u16string& connectionName, uint32_t bitrate,
                               const media::WMMediaType& type);

// Loads a profile from profile text. Without `profile`: E_POINTER.
media::HRESULT
MapProfile(const std::string& text, std::shared_ptr<media::WMProfile>* profile,
           const ProfileManagerFactory& createManager = media::WMCreateProfileManager);

} // namespace orvelin
