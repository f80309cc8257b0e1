#pragma once

#include "media/MediaPlatform.h"

#include <QString>
#include <chrono>

namespace orvelin::media {

// Looks at a file before any pipeline touches it: it must exist, be a regular
// file with at least one byte, and its first bytes must be readable. Named
// pipes, folders and devices are refused at once (a pipe would block a reader
// until a writer appears). The look happens on a thread of its own, so a file
// on a mount that no longer answers costs the caller `timeout` at most.
// Answers S_OK, VFW_E_NOT_FOUND (missing or unreadable), VFW_E_CANNOT_RENDER
// (not a regular file, or empty) or VFW_E_TIMEOUT, with a reason in `why`.
HRESULT CheckPlayableFile(const QString& path, std::chrono::milliseconds timeout, QString* why);

} // namespace orvelin::media
