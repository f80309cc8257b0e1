#pragma once

// encoders/: compressors as filters. The encoder registry (which installed
// encoders a multiplexer here takes, media/EncoderRegistry.h), the recipes and
// trials that keep out encoders that fail here, the filter wrapper over an
// element (this file) with its properties as text, and the throw-away filter
// graph of the property dialogs (media/FilterGraph.h).

#include "media/Filter.h"

#include <QString>
#include <memory>
#include <vector>

namespace orvelin::media {

// Wraps an element that already exists (for instance one a pipeline holds)
// as a filter; takes its own reference. `nativeElement` is a GstElement*;
// nullptr gives nullptr.
std::shared_ptr<Filter> WrapNativeElement(void* nativeElement);

// The elements directly inside a bin (a GstBin*, usually a pipeline), as
// filters, in the bin's own order (the most recently added first). An entry is
// nullptr when the child cannot be read; the list is empty when `nativeBin` is
// not a bin.
std::vector<std::shared_ptr<Filter>> ListBinFilters(void* nativeBin);

} // namespace orvelin::media
