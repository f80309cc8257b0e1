#include "options/OutputSettings.h"

#include "app/SettingsStore.h"
#include "app/UiServices.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <array>
#include <cctype>
#include <charconv>
#include <limits>
#include <string_view>

namespace orvelin {

namespace {
constexpr std::array<ContainerInfo, kContainerCount> kContainers{{
    {"AVI", "avi", "Audio Video Interleave file(*.avi)", false},
    {"WMV", "wmv", "Windows Media Video file (*.wmv)", true},
    {"MKV", "mkv", "Matroska video file(*.mkv)", false},
    {"ASF", "asf", "Advanced Systems Format file(*.asf)", true},
    {"MP4", "mp4", "MPEG-4 file(*.mp4)", false},
    {"DSM", "dsm", "DSM file(*.dsm)", false},
    {"OGM", "ogm", "Ogg Media File(*.ogm)", false},
    {"MPG", "", "", false},
    {"RM", "", "", false},
    {"MOV", "", "", false},
    {"CONTAINER 1", "", "", false},
    {"CONTAINER 2", "", "", false},
    {"CONTAINER 3", "", "", false},
    {"CONTAINER 4", "", "", false},
    {"CONTAINER 5", "", "", false},
    {"CONTAINER 6", "", "", false},
    {"CONTAINER 7", "", "", false},
    {"CONTAINER 8", "", "", false},
    {"CONTAINER 9", "", "", false},
    {"CONTAINER 10", "", "", false},
}};

const QString kSettings = QStringLiteral("Settings");
} // namespace

const ContainerInfo* Container(int32_t index) {
    if (index < 0 || index >= kContainerCount)
        return nullptr;
    return &kContainers[static_cast<size_t>(index)];
}

bool ContainerSupported(int32_t index) {
    return index >= 0 && index <= kContainerOgm;
}

std::optional<QString> ApplyFormatExtension(UiServices& ui, int32_t containerIndex,
                                            const QString& path) {
    QString stem = path;
    const int dot = stem.lastIndexOf('.');
    if (dot >= 0)
        stem.truncate(dot);
    if (!ContainerSupported(containerIndex)) {
        ui.MessageBox(nullptr, QStringLiteral("Does not support the video format"),
                      QStringLiteral("Error"));
        return std::nullopt;
    }
    return stem + "." + QString::fromLatin1(Container(containerIndex)->extension);
}

QString DefaultOutputName(UiServices& ui) {
    const QString fileTail = QStringLiteral("/output.wmv");
    const QString builtin = QDir::homePath() + fileTail;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (folder.isEmpty()) {
        ui.MessageBox(nullptr, QStringLiteral("Can not get My Video directory!"),
                      QStringLiteral("Error"));
        return builtin;
    }
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    return folder + fileTail;
}

double ParseRateText(const QString& text) {
    // Like strtod in the "C" numeric locale, whatever the user's locale:
    // leading blanks, an optional sign, then the longest number prefix.
    const QByteArray bytes = text.toUtf8();
    const char* p = bytes.constData();
    const char* end = p + bytes.size();
    while (p < end && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    double value = 0.0;
    const auto result = std::from_chars(p, end, value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too far from 1 for a double: huge unless its exponent is negative.
        const std::string_view number(p, static_cast<size_t>(result.ptr - p));
        const size_t exponent = number.find_first_of("eE");
        const bool tiny = exponent != std::string_view::npos && exponent + 1 < number.size() &&
                          number[exponent + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (result.ec != std::errc()) {
        return 0.0;
    }
    return negative ? -value : value;
}

void ApplyFrameRateIndex(const SettingsStore& store, int32_t& index, double& rate) {
    switch (index) {
    case 0:
    case 1:
        rate = 23.976;
        break;
    case 2:
        rate = 24.0;
        break;
    case 3:
        rate = 25.0;
        break;
    case 4:
        rate = 29.97;
        break;
    case 5:
        rate = 30.0;
        break;
    case 6:
        rate = ParseRateText(store.GetString(kSettings, QStringLiteral("OutputFrameRate"),
                                             QStringLiteral("23.976")));
        break;
    default:
        index = 1;
        rate = 23.976;
        break;
    }
}

int32_t LoadOutputFormat(const SettingsStore& store) {
    return store.GetInt(kSettings, QStringLiteral("nOuptputFormat"), kContainerMkv);
}

QString LoadOutputName(const SettingsStore& store, UiServices& ui, int32_t outputFormat) {
    // The default is worked out first, so its messages appear even when a
    // name is stored.
    const QString fallback = DefaultOutputName(ui);
    QString stored = store.GetString(kSettings, QStringLiteral("OutputName"), fallback);
    // A name that names no file (empty, a folder, an extension alone) would
    // write a hidden file of the extension alone.
    if (QFileInfo(stored.trimmed()).completeBaseName().isEmpty())
        stored = fallback;
    return ApplyFormatExtension(ui, outputFormat, stored).value_or(QString());
}

OutputSettings LoadOutputSettings(const SettingsStore& store, UiServices& ui) {
    OutputSettings s;
    s.outputFormat = LoadOutputFormat(store);
    s.outputPath = LoadOutputName(store, ui, s.outputFormat);
    s.outputWidth = store.GetInt(kSettings, QStringLiteral("OutputWidth"), 0);
    s.outputHeight = store.GetInt(kSettings, QStringLiteral("OutputHigh"), 0);
    s.frameRateIndex = store.GetInt(kSettings, QStringLiteral("OutputFrameRateIndex"), 1);
    ApplyFrameRateIndex(store, s.frameRateIndex, s.outputFrameRate);
    s.videoBitrate = store.GetInt(kSettings, QStringLiteral("n_video_bitrate"), 798720);
    s.audioBitrate = store.GetInt(kSettings, QStringLiteral("n_audio_bitrate"), 128000);
    s.fileProfile = store.GetInt(kSettings, QStringLiteral("b_file_profile"), 0);
    s.useVideoCompressor = 0;
    s.useAudioCompressor = 0;
    s.resizeMode = 2;
    return s;
}

void SaveOutputSettings(SettingsStore& store, const OutputSettingsToSave& v) {
    store.WriteInt(kSettings, QStringLiteral("OutputFrameRateIndex"), v.frameRateIndex);
    store.WriteString(kSettings, QStringLiteral("OutputFrameRate"), v.frameRateText);
    store.WriteString(kSettings, QStringLiteral("OutputName"), v.outputName);
    store.WriteInt(kSettings, QStringLiteral("OutputWidth"), v.outputWidth);
    store.WriteInt(kSettings, QStringLiteral("OutputHigh"), v.outputHeight);
    store.WriteInt(QStringLiteral("DexVideoCompress"), QStringLiteral("CompressorNumber"),
                   v.videoCompressorNumber);
    store.WriteInt(QStringLiteral("DexAudioCompress"), QStringLiteral("CompressorNumber"),
                   v.audioCompressorNumber);
    store.WriteInt(kSettings, QStringLiteral("n_video_bitrate"), v.videoBitrate);
    store.WriteInt(kSettings, QStringLiteral("n_audio_bitrate"), v.audioBitrate);
    store.WriteInt(kSettings, QStringLiteral("nOuptputFormat"), v.outputFormat);
}

} // namespace orvelin
