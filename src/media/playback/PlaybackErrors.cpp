#include "media/playback/PlaybackErrors.h"

#include "media/PlaybackGraph.h"

#include <gst/gst.h>

namespace orvelin::media {

HRESULT ResultForPlaybackError(const GError* error) {
    if (!error)
        return E_FAIL;
    if (error->domain == GST_RESOURCE_ERROR) {
        switch (error->code) {
        case GST_RESOURCE_ERROR_NOT_FOUND:
        case GST_RESOURCE_ERROR_OPEN_READ:
        case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
        case GST_RESOURCE_ERROR_READ:
        case GST_RESOURCE_ERROR_NOT_AUTHORIZED:
            return VFW_E_NOT_FOUND;
        default:
            return E_FAIL;
        }
    }
    if (error->domain == GST_STREAM_ERROR) {
        switch (error->code) {
        case GST_STREAM_ERROR_TYPE_NOT_FOUND:
        case GST_STREAM_ERROR_CODEC_NOT_FOUND:
        case GST_STREAM_ERROR_WRONG_TYPE:
        case GST_STREAM_ERROR_DECODE:
        case GST_STREAM_ERROR_DEMUX:
        case GST_STREAM_ERROR_FORMAT:
        case GST_STREAM_ERROR_NOT_IMPLEMENTED:
            return VFW_E_CANNOT_RENDER;
        default:
            return E_FAIL;
        }
    }
    if (error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN)
        return VFW_E_CANNOT_RENDER;
    return E_FAIL;
}

QString ShortErrorText(const QString& text) {
    QString simple = text.simplified();
    if (simple.size() <= 160)
        return simple;
    return simple.left(157) + QStringLiteral("...");
}

} // namespace orvelin::media
