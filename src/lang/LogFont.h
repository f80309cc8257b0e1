#pragma once

#include <QFont>
#include <QString>
#include <cstdint>

namespace orvelin {

class SettingsStore;

// The logical-font record a language's dialog font is stored as (the members
// of the classic LOGFONT under their own names). lfHeight < 0 is the character
// height in pixels, > 0 the cell height, 0 the default height; lfWeight 400 is
// normal and 700 bold.
struct LogFont {
    int32_t lfHeight = -11;
    int32_t lfWidth = 0;
    int32_t lfEscapement = 0;
    int32_t lfOrientation = 0;
    int32_t lfWeight = 400;
    uint8_t lfItalic = 0;
    uint8_t lfUnderline = 0;
    uint8_t lfStrikeOut = 0;
    uint8_t lfCharSet = 1;
    uint8_t lfOutPrecision = 0;
    uint8_t lfClipPrecision = 0;
    uint8_t lfQuality = 0;
    uint8_t lfPitchAndFamily = 0;
    QString lfFaceName = QStringLiteral("Microsoft Sans Serif");

    static constexpr int kMaxFaceNameLength = 31;
    // Pixel sizes a built font is kept within, whatever the record says.
    static constexpr int kMinPixelSize = 6;
    static constexpr int kMaxPixelSize = 64;
    static constexpr int kDefaultPixelSize = 11;

    bool operator==(const LogFont&) const = default;
};

// The record stored in `section` (each key with its default; the one-byte
// members keep their low eight bits, the face name at most 31 characters).
LogFont ReadLogFont(const SettingsStore& settings, const QString& section);
// Writes the 13 keys into `section`.
void WriteLogFont(SettingsStore& settings, const QString& section, const LogFont& record);

// The font a record stands for, kept legible: the size stays within the
// limits above and an unknown face falls back through Qt's font matching.
QFont FontFromLogFont(const LogFont& record);
// The record of a font the user chose; the members a QFont does not carry are
// taken from `base`.
LogFont LogFontFromFont(const QFont& font, const LogFont& base = {});

} // namespace orvelin
