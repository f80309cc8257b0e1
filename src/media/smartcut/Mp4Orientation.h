#pragma once

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

} // namespace orvelin::media::smartcut
