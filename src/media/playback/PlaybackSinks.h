#pragma once

#include <memory>

typedef struct _GstElement GstElement;

namespace orvelin::media {

class FrameMailbox;

// The sinks a playback pipeline ends in. Each answers a floating element
// (or null when an element is missing from the installation).

// Decoded video converted to 32-bit RGB with square pixels, played in real
// time and posted frame by frame to `mailbox`. Late frames are dropped.
GstElement* CreateDisplayVideoSink(const std::shared_ptr<FrameMailbox>& mailbox);

// A sink that accepts only decoded video or audio (`rawCaps` "video/x-raw"
// or "audio/x-raw") and throws it away: the pipeline still has to find a
// decoder for each stream, which is what the probe checks.
GstElement* CreateDiscardSink(const char* rawCaps);

// The system's audio output; a clocked discard sink when no audio device
// works, so that playback still runs in real time.
GstElement* CreateAudioOutput();

// The system's video output in its own window: an X or Wayland video sink
// that can open the display. Null when there is no display to show on (the
// automatic choice would then try sinks that crash without one). Unlike
// the others, a full (not floating) reference.
GstElement* CreateVideoWindowOutput();

} // namespace orvelin::media
