#pragma once

// The Windows Media ASF writer element; for the media seam only.

namespace orvelin::media {

// Registers the writer element once and answers its factory name; nullptr
// when the ASF multiplexer it writes with is not installed.
const char* AsfWriterFactoryName();

} // namespace orvelin::media
