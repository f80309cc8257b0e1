#pragma once

#include <cstdint>
#include <string>

namespace orvelin::media::smartcut {

// The turn, in degrees clockwise (0, 90, 180 or 270), that an orientation
// tag ("rotate-90") asks for; -1 for one that also mirrors or is unknown.
int OrientationDegrees(const std::string& tag);

// Records in a written MP4 file that its video track is shown turned by
// `degrees` (the track header's transformation matrix, as players read
// it). GStreamer's MP4 writer does not write it. False when the file has
// no video track header to change.
bool SetMp4VideoRotation(const std::string& path, int degrees);

// Makes a written MP4 file's sound start `trim` nanoseconds into its first
// frame, at the same time as its picture: GStreamer's MP4 writer starts a
// sound that begins before the picture first and delays the picture by an
// empty edit instead. The sound track's edit list then skips the samples
// before the picture, and the picture's empty edit goes. False when the
// file's edit lists are not as the writer makes them.
bool TrimMp4SoundStart(const std::string& path, int64_t trim);

} // namespace orvelin::media::smartcut
