#pragma once

#include "media/MediaPlatform.h"

#include <QString>

typedef struct _GError GError;

namespace orvelin::media {

// The result code that stands for a GStreamer error of a playback pipeline.
HRESULT ResultForPlaybackError(const GError* error);

// A readable text of at most 160 characters.
QString ShortErrorText(const QString& text);

} // namespace orvelin::media
