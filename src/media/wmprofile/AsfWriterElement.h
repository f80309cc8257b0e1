#pragma once

// wmprofile/ owns WMV and ASF output: the Windows Media profile model over
// the installed Windows Media encoders (WMProfile.h, WMCodecProbe.cpp) and
// the ASF writer element that a profile configures (this header, private to
// the media seam).

namespace orvelin::media {

// Registers the writer element once and answers its factory name; nullptr
// when the ASF multiplexer it writes with is not installed.
const char* AsfWriterFactoryName();

} // namespace orvelin::media
