#pragma once

// How the catalogue treats particular encoders of this platform version; for
// the media seam only.

#include <QString>
#include <gst/gst.h>

namespace orvelin::media {

struct CompressorRecipe {
    const char* factory;
    const char* friendlyName = nullptr; // a clearer name than the factory's long name
    const char* parser = nullptr;       // placed after the encoder
    const char* initial = nullptr;      // "name=value;..." starting settings (editable)
    const char* pinned = nullptr;       // "name=value;..." fixed settings (hidden)
    bool restoreTimestamps = false;     // the encoder's output times are repaired
    bool fitRate = false;               // frames are fitted to the nearest rate it takes
    const char* badMuxers = nullptr;    // space-separated multiplexers whose files do not play
    const char* excluded = nullptr;     // why the encoder is left out
};

// The recipe of an encoder factory; nullptr when it needs nothing special.
const CompressorRecipe* FindRecipe(const QString& factoryName);

// Gives each buffer leaving `encoder` the time of the frame that went in at
// the same position (the encoder must not reorder frames).
void InstallTimestampRepair(GstElement* encoder);

} // namespace orvelin::media
