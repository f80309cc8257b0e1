#include "media/MediaPlatform.h"

#include <gst/gst.h>
#include <malloc.h>

#include "media/timeline/RgbConvertElement.h"

#include <mutex>

namespace orvelin::media {

namespace {
std::once_flag g_initOnce;
HRESULT g_initResult = E_FAIL;
} // namespace

HRESULT InitializeMediaPlatform() {
    std::call_once(g_initOnce, [] {
        // Each streaming thread would otherwise get a memory pool of its
        // own (up to eight per processor), each keeping what it once held;
        // a few shared pools keep the program's size steady from one file
        // to the next.
        mallopt(M_ARENA_MAX, 4);
        GError* error = nullptr;
        if (!gst_init_check(nullptr, nullptr, &error)) {
            if (error)
                g_error_free(error);
            g_initResult = E_FAIL;
            return;
        }
        // The editing services start when a timeline first needs them (see
        // GesFrontEnd.h): they bring an embedded Python with them.
        g_initResult = RegisterRgbConvertElement() ? S_OK : E_FAIL;
    });
    return g_initResult;
}

void UninitializeMediaPlatform() {
    // GStreamer and the editing services cannot be initialised again within one process, so
    // they stay loaded until the process ends; nothing is held here.
}

bool MediaPlatformInitialized() {
    return Succeeded(g_initResult) && gst_is_initialized();
}

} // namespace orvelin::media
