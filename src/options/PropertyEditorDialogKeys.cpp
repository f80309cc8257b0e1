#include "options/PropertyEditorDialogKeys.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <array>

namespace orvelin {

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("PropertyEditorDialog", text);
}

// One row per setting: factory names (space-separated), property, label.
struct KeyRow {
    const char* factories;
    const char* property;
    const char* label;
};

constexpr const char* kLibavVideo = "avenc_mpeg4 avenc_mpeg2video avenc_mpeg1video avenc_h263 "
                                    "avenc_h263p avenc_msmpeg4 avenc_msmpeg4v2 avenc_wmv1 "
                                    "avenc_wmv2 avenc_flv avenc_mjpeg";
constexpr const char* kVpx = "vp8enc vp9enc";
constexpr const char* kLibavAudio = "avenc_aac avenc_ac3 avenc_ac3_fixed avenc_mp2 "
                                    "avenc_mp2fixed avenc_eac3 avenc_opus avenc_wmav1 avenc_wmav2";

// clang-format off
const std::array kKeyRows{
    KeyRow{"x264enc x265enc", "pass", "Rate control"},
    KeyRow{"x264enc x265enc", "bitrate", "Bit rate (kbit/s)"},
    KeyRow{"x264enc", "quantizer", "Quantizer (constant quality modes; lower is better)"},
    KeyRow{"x265enc", "qp", "Quantizer (-1 = off; lower is better)"},
    KeyRow{"x264enc x265enc", "speed-preset", "Speed preset"},
    KeyRow{"x264enc x265enc", "tune", "Tuning"},
    KeyRow{"x264enc x265enc", "key-int-max", "Keyframe interval (frames, 0 = automatic)"},
    KeyRow{kLibavVideo, "pass", "Rate control"},
    KeyRow{kLibavVideo, "bitrate", "Bit rate (bit/s)"},
    KeyRow{kLibavVideo, "quantizer", "Quantizer (constant quality mode; lower is better)"},
    KeyRow{kLibavVideo, "gop-size", "Keyframe interval (frames)"},
    KeyRow{kVpx, "end-usage", "Rate control"},
    KeyRow{kVpx, "target-bitrate", "Bit rate (bit/s, 0 = automatic)"},
    KeyRow{kVpx, "cq-level", "Quality level (constrained quality; lower is better)"},
    KeyRow{kVpx, "deadline", "Time per frame (µs; 0 = best quality, 1 = real time)"},
    KeyRow{kVpx, "cpu-used", "Speed (higher is faster)"},
    KeyRow{kVpx, "keyframe-max-dist", "Keyframe interval (frames)"},
    KeyRow{"av1enc", "end-usage", "Rate control"},
    KeyRow{"av1enc", "target-bitrate", "Bit rate (kbit/s)"},
    KeyRow{"av1enc", "cpu-used", "Speed (higher is faster)"},
    KeyRow{"av1enc", "keyframe-max-dist", "Keyframe interval (frames)"},
    KeyRow{"av1enc", "usage-profile", "Usage profile"},
    KeyRow{"theoraenc", "bitrate", "Bit rate (kbit/s, 0 = use quality)"},
    KeyRow{"theoraenc", "quality", "Quality (0 to 63; higher is better)"},
    KeyRow{"theoraenc", "speed-level", "Speed (higher is faster)"},
    KeyRow{"theoraenc", "keyframe-force", "Keyframe interval (frames)"},
    KeyRow{"openh264enc", "rate-control", "Rate control"},
    KeyRow{"openh264enc", "bitrate", "Bit rate (bit/s)"},
    KeyRow{"openh264enc", "complexity", "Speed (complexity)"},
    KeyRow{"openh264enc", "gop-size", "Keyframe interval (frames)"},
    KeyRow{"mpeg2enc", "bitrate", "Bit rate (kbit/s)"},
    KeyRow{"mpeg2enc", "quantisation", "Quantisation (-1 = constant bit rate; 1 best, 31 worst)"},
    KeyRow{"mpeg2enc", "format", "Profile"},
    KeyRow{"mpeg2enc", "max-gop-size", "Keyframe interval (frames, -1 = default)"},
    KeyRow{"lamemp3enc", "target", "Rate control"},
    KeyRow{"lamemp3enc", "bitrate", "Bit rate (kbit/s)"},
    KeyRow{"lamemp3enc", "quality", "Quality (0 best to 10)"},
    KeyRow{"lamemp3enc", "cbr", "Constant bit rate"},
    KeyRow{"vorbisenc", "quality", "Quality (-0.1 to 1.0; higher is better)"},
    KeyRow{"vorbisenc", "bitrate", "Average bit rate (bit/s, -1 = use quality)"},
    KeyRow{"opusenc voaacenc", "bitrate", "Bit rate (bit/s)"},
    KeyRow{"opusenc", "bitrate-type", "Rate control"},
    KeyRow{kLibavAudio, "bitrate", "Bit rate (bit/s)"},
    KeyRow{"flacenc", "quality", "Compression (0 fastest to 8 smallest)"},
};
// clang-format on

} // namespace

std::vector<KeySetting> KeySettingsOf(const QString& factoryName) {
    std::vector<KeySetting> keys;
    for (const KeyRow& row : kKeyRows) {
        const QStringList factories =
            QString::fromLatin1(row.factories).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (factories.contains(factoryName))
            keys.push_back({QString::fromLatin1(row.property), Tr(row.label)});
    }
    return keys;
}

QString PropertyTooltip(const media::FilterProperty& property) {
    static const QRegularExpression placeholder(QStringLiteral("\\(null\\)\\s*"));
    QString description = property.blurb;
    description.remove(placeholder);
    description = description.trimmed();
    // Only the wrapper's note is left: say that the element gives no text.
    if (description.isEmpty() || description.startsWith(QLatin1Char('(')))
        description = Tr("The encoder gives no description of \"%1\".").arg(property.name) +
                      (description.isEmpty() ? QString() : QStringLiteral(" ") + description);
    if (!property.defaultValue.isEmpty()) {
        const QString shown =
            IsUnsetValue(property, property.defaultValue) ? Tr("not set") : property.defaultValue;
        description += QStringLiteral("\n") + Tr("Default: %1").arg(shown);
    }
    return description;
}

bool IsUnsetValue(const media::FilterProperty& property, const QString& value) {
    if (property.kind != media::FilterProperty::Kind::Integer64)
        return false;
    // 2^64 - 1 (an unsigned "none") and 2^63 - 1 stand for "not set" where
    // they are the property's default and the top of its range.
    static const QStringList unsetTexts{QStringLiteral("18446744073709551615"),
                                        QStringLiteral("9223372036854775807")};
    return unsetTexts.contains(value) && property.defaultValue == value &&
           property.maximum >= 9.2e18;
}

} // namespace orvelin
