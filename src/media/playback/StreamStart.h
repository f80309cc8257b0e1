#pragma once

#include "media/PlaybackGraph.h"

#include <QString>

namespace orvelin::media {

// Where the pictures of a file start on its own clock. MPEG program and
// transport streams carry time stamps that start late (0.1 to 0.7 s, or
// anywhere after a cut), and GStreamer's positions and seeks count on that
// clock; the program counts from the first frame. Playback graphs note what
// they found when a file opens; a file not yet opened is opened for it.
REFERENCE_TIME StreamStartOf(const QString& path);
void NoteStreamStart(const QString& path, REFERENCE_TIME start);

} // namespace orvelin::media
