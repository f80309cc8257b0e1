#pragma once

// What the ASF writer puts right around asfmux and the Windows Media Audio
// encoder so that every player reads the file as it was meant (private to
// the media seam).

#include <gst/gst.h>

#include <cstdint>
#include <vector>

namespace orvelin::media {

// asfmux gives a data packet that it does not fill (the last one, and any
// closed early) the length of its contents in the packet's length field
// and the rest as padding. Packets of a file are all one size, and libav
// reads that field as the packet's whole length: it counts the padding
// twice, calls the packet damaged or drops its last payloads (the last
// picture and up to a tenth of a second of sound). Packets leaving `mux`
// get their full length in that field, as the format has it.
void RepairPartialPackets(GstElement* mux, uint32_t packetSize);

// Fixes one packet in place; false when `data` is no data packet of
// `packetSize` bytes with a shortened length (it is then left alone).
bool RepairPartialPacket(uint8_t* data, size_t size, uint32_t packetSize);

// The Windows Media Audio encoders put one frame of silence (2048 samples
// at 44.1 kHz) before what they are given, which the file cannot tell a
// decoder to skip: the sound would be heard that much late. The sound
// passing `pad` (raw, before the encoder) loses that much of its start and
// comes earlier by as much, so that it is heard with its picture.
void TakeOffWmaPriming(GstPad* pad);

// The samples of silence a Windows Media Audio encoder puts first at
// `rate` (one frame).
uint32_t WmaPrimingSamples(int rate);

} // namespace orvelin::media
