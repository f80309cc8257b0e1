#pragma once

#include <cstdint>
#include <string>

namespace orvelin::media {

// Result codes of the media seam: 32-bit, negative means failure.
using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline bool Failed(HRESULT hr) {
    return hr < 0;
}
inline bool Succeeded(HRESULT hr) {
    return hr >= 0;
}

// Initialises GStreamer and the editing services once for the process (the
// thread that calls it first is the one the editing services belong to).
// Later calls answer the first call's result.
HRESULT InitializeMediaPlatform();
// Releases what the initialisation took; safe to call when it failed.
void UninitializeMediaPlatform();
bool MediaPlatformInitialized();

} // namespace orvelin::media
