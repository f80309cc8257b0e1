#pragma once

// "orvelinrgbconvert": the element that turns the composed 4:2:0 pictures
// into the video group's 24-bit RGB and, before a 4:2:0 encoder, back
// (RgbConversion). It converts with the YCbCr matrix and range of the
// 4:2:0 side's colorimetry, as videoconvert does by default, in a single
// pass and a fraction of videoconvert's time; for the media seam only.

namespace orvelin::media {

// The element's factory name.
inline constexpr const char* kRgbConvertFactory = "orvelinrgbconvert";

// Registers the element with GStreamer (once; GStreamer is initialised).
bool RegisterRgbConvertElement();

} // namespace orvelin::media
