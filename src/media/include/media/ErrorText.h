#pragma once

#include "media/MediaPlatform.h"

#include <QString>

namespace orvelin::media {

// Result codes of the editing and output graph operations.
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT E_DISK_FULL = static_cast<HRESULT>(0x80070070u);
constexpr HRESULT VFW_E_INVALIDMEDIATYPE = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = static_cast<HRESULT>(0x80040207u);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = static_cast<HRESULT>(0x80040204u);
constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209u);
constexpr HRESULT VFW_E_CANNOT_CONNECT = static_cast<HRESULT>(0x80040217u);
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = static_cast<HRESULT>(0x8004022Au);
constexpr HRESULT VFW_E_DUPLICATE_NAME = static_cast<HRESULT>(0x8004023Du);
constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = static_cast<HRESULT>(0x80040240u);
constexpr HRESULT VFW_E_CANNOT_LOAD_SOURCE_FILTER = static_cast<HRESULT>(0x80040241u);
constexpr HRESULT VFW_E_FILE_TOO_SHORT = static_cast<HRESULT>(0x80040243u);
constexpr HRESULT VFW_E_RUNTIME_ERROR = static_cast<HRESULT>(0x8004025Au);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);

// The longest error text handed to the user.
constexpr int kMaxErrorTextLength = 160;

// A readable text for a result code, at most 160 characters. When the seam
// recorded a detail for the same code on this thread (the reason an
// operation just failed), that detail is the text; otherwise a generic text
// for the code.
QString GetErrorText(HRESULT hr);

// Remembers why an operation of this thread failed with `hr` and answers
// `hr`, so that failing paths read `return RecordError(code, text);`.
HRESULT RecordError(HRESULT hr, const QString& detail);

// Cuts a text to the longest error text, marking the cut.
QString LimitErrorText(const QString& text);

} // namespace orvelin::media
