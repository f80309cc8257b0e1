#pragma once

#include "media/PlaybackGraph.h"

#include <QString>

namespace orvelin::media {

// Where the pictures of a file start on its own clock. MPEG program and
// transport streams carry time stamps that start late (0.1 to 1.5 s, or
// anywhere after a cut), and GStreamer's positions and seeks count on that
// clock; the program counts from the first frame. Playback graphs note what
// they found when a file opens; a file not yet opened is opened for it.
// The program stream demultiplexer counts from the first frame by itself
// when its first pack's clock is the first frame's time stamp (its seeks are
// helped to land on the asked picture, see ProgramStreamSeek.h): such
// streams keep 0. Other files start at 0.
REFERENCE_TIME StreamStartOf(const QString& path);
// A file that begins with MPEG transport packets (188 bytes, or 192 with
// the time code of .m2ts).
bool IsTransportStream(const QString& path);
void NoteStreamStart(const QString& path, REFERENCE_TIME start);

} // namespace orvelin::media
