#pragma once

// The editing services' library is opened when a timeline first needs it,
// not when the program starts: it brings an embedded Python and its own
// dependencies (3 MB of memory and some start-up time) that a conversion
// of one clip never uses. For the media seam only.

#include <QString>

namespace orvelin::media {

// Opens the editing services' library once per process; false, with the
// reason in `why`, when it cannot be opened. Until it is open, no function
// of the editing services may be called.
bool OpenEditingServicesLibrary(QString* why);

} // namespace orvelin::media
