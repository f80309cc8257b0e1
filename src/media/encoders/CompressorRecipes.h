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
    // The picture rate the libav wrapper's rate control counts with where it
    // is not the stream's (its time base); 0 when it counts right.
    int rateControlRate = 0;
    // mjpegtools' video buffer (kB) is made to hold the bit rate asked for.
    bool fitBuffer = false;
    const char* badMuxers = nullptr; // space-separated multiplexers whose files do not play
    const char* excluded = nullptr;  // why the encoder is left out
};

// The recipe of an encoder factory; nullptr when it needs nothing special.
const CompressorRecipe* FindRecipe(const QString& factoryName);

// Gives each buffer leaving `encoder` the time of the frame that went in at
// the same position (the encoder must not reorder frames).
void InstallTimestampRepair(GstElement* encoder);

// Makes a libav MPEG-4 Visual style encoder whose rate control counts
// `assumedRate` pictures per second write the bit rate and quantiser its
// settings hold, whatever the stream's rate (see CompressorRecipes.cpp).
// What it changes on the encoder is given back by RestoreRateControl.
void InstallRateControlFix(GstElement* encoder, int assumedRate);
// Makes mjpegtools' MPEG encoder take any bit rate its settings hold: its
// rate control ends the whole program when the video buffer holds fewer than
// four pictures at that rate (46 kB, Generic MPEG-1's own size, is 2.3 Mbit/s
// at 25 pictures a second). The buffer is made large enough once the picture
// rate is known; what it changes is given back by RestoreRateControl.
void InstallBufferFit(GstElement* encoder);
// Gives the encoder back the settings InstallRateControlFix or
// InstallBufferFit changed for a job.
void RestoreRateControl(GstElement* encoder);

} // namespace orvelin::media
