#pragma once

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
