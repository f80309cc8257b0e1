#pragma once

#include <QByteArray>
#include <QString>

namespace orvelin {

// Decodes bytes of a Windows code page (1252, 1251, 936, ...) through iconv.
// A byte sequence that does not decode becomes U+FFFD and decoding goes on
// with the next byte; an unknown code page decodes as UTF-8.
QString DecodeCodePage(const QByteArray& bytes, int codePage);

// Decodes UTF-8; invalid sequences become U+FFFD.
QString DecodeUtf8(const QByteArray& bytes);

// The length of `bytes` without a last UTF-8 character that is cut short
// (its lead byte is there, some of its continuation bytes are not).
qsizetype CompleteUtf8Prefix(const QByteArray& bytes);

// Turns UTF-16 (little- or big-endian, no byte-order mark) into UTF-8. An
// unpaired surrogate and an odd last byte become U+FFFD.
QByteArray Utf16ToUtf8(const char* data, qsizetype size, bool bigEndian);

} // namespace orvelin
