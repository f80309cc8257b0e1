#include "lang/LogFont.h"

#include "app/SettingsStore.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace orvelin {

namespace {

uint8_t LowByte(int32_t value) {
    return static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFF);
}

// At most 31 characters, never half a surrogate pair.
QString CutFaceName(const QString& name) {
    QString cut;
    int characters = 0;
    for (qsizetype i = 0; i < name.size() && characters < LogFont::kMaxFaceNameLength; ++i) {
        cut.append(name[i]);
        if (name[i].isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate())
            cut.append(name[++i]);
        ++characters;
    }
    return cut;
}

double ScreenDpi() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->logicalDotsPerInchY();
    return 96.0;
}

} // namespace

LogFont ReadLogFont(const SettingsStore& settings, const QString& section) {
    LogFont r;
    const LogFont d;
    r.lfHeight = settings.GetInt(section, "lfHeight", d.lfHeight);
    r.lfWidth = settings.GetInt(section, "lfWidth", d.lfWidth);
    r.lfEscapement = settings.GetInt(section, "lfEscapement", d.lfEscapement);
    r.lfOrientation = settings.GetInt(section, "lfOrientation", d.lfOrientation);
    r.lfWeight = settings.GetInt(section, "lfWeight", d.lfWeight);
    r.lfItalic = LowByte(settings.GetInt(section, "lfItalic", d.lfItalic));
    r.lfUnderline = LowByte(settings.GetInt(section, "lfUnderline", d.lfUnderline));
    r.lfStrikeOut = LowByte(settings.GetInt(section, "lfStrikeOut", d.lfStrikeOut));
    r.lfCharSet = LowByte(settings.GetInt(section, "lfCharSet", d.lfCharSet));
    r.lfOutPrecision = LowByte(settings.GetInt(section, "lfOutPrecision", d.lfOutPrecision));
    r.lfClipPrecision = LowByte(settings.GetInt(section, "lfClipPrecision", d.lfClipPrecision));
    r.lfQuality = 0;
    r.lfPitchAndFamily = LowByte(settings.GetInt(section, "lfPitchAndFamily", d.lfPitchAndFamily));
    r.lfFaceName = CutFaceName(settings.GetString(section, "lfFaceName", d.lfFaceName));
    return r;
}

void WriteLogFont(SettingsStore& settings, const QString& section, const LogFont& r) {
    settings.WriteInt(section, "lfHeight", r.lfHeight);
    settings.WriteInt(section, "lfWidth", r.lfWidth);
    settings.WriteInt(section, "lfEscapement", r.lfEscapement);
    settings.WriteInt(section, "lfOrientation", r.lfOrientation);
    settings.WriteInt(section, "lfWeight", r.lfWeight);
    settings.WriteInt(section, "lfItalic", r.lfItalic);
    settings.WriteInt(section, "lfUnderline", r.lfUnderline);
    settings.WriteInt(section, "lfStrikeOut", r.lfStrikeOut);
    settings.WriteInt(section, "lfCharSet", r.lfCharSet);
    settings.WriteInt(section, "lfOutPrecision", r.lfOutPrecision);
    settings.WriteInt(section, "lfClipPrecision", r.lfClipPrecision);
    settings.WriteInt(section, "lfPitchAndFamily", r.lfPitchAndFamily);
    settings.WriteString(section, "lfFaceName", CutFaceName(r.lfFaceName));
}

QFont FontFromLogFont(const LogFont& r) {
    QFont font;
    const QString face = CutFaceName(r.lfFaceName).trimmed();
    if (!face.isEmpty())
        font.setFamily(face);
    font.setStyleHint(QFont::SansSerif);
    // A negative height is the character height; a positive one the cell
    // height, of which the characters take about four fifths.
    int64_t pixels = LogFont::kDefaultPixelSize;
    if (r.lfHeight < 0)
        pixels = -static_cast<int64_t>(r.lfHeight);
    else if (r.lfHeight > 0)
        pixels = (static_cast<int64_t>(r.lfHeight) * 4 + 2) / 5;
    font.setPixelSize(static_cast<int>(
        std::clamp<int64_t>(pixels, LogFont::kMinPixelSize, LogFont::kMaxPixelSize)));
    const int weight = r.lfWeight <= 0 ? 400 : std::clamp(r.lfWeight, 100, 900);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(r.lfItalic != 0);
    font.setUnderline(r.lfUnderline != 0);
    font.setStrikeOut(r.lfStrikeOut != 0);
    return font;
}

LogFont LogFontFromFont(const QFont& font, const LogFont& base) {
    LogFont r = base;
    int pixels = font.pixelSize();
    if (pixels <= 0)
        pixels = static_cast<int>(std::lround(font.pointSizeF() * ScreenDpi() / 72.0));
    r.lfHeight = -std::clamp(pixels, LogFont::kMinPixelSize, LogFont::kMaxPixelSize);
    r.lfWidth = 0;
    r.lfWeight = std::clamp(static_cast<int>(font.weight()), 100, 900);
    r.lfItalic = font.italic() ? 1 : 0;
    r.lfUnderline = font.underline() ? 1 : 0;
    r.lfStrikeOut = font.strikeOut() ? 1 : 0;
    r.lfQuality = 0;
    r.lfFaceName = CutFaceName(font.family());
    return r;
}

} // namespace orvelin
