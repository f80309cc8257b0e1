#include "options/OutputOptionsValues.h"

#include <array>
#include <limits>

namespace orvelin {

namespace {

constexpr std::array<QSize, 7> kResolutionPresets{{
    {640, 480},
    {720, 576},
    {720, 480},
    {480, 576},
    {480, 480},
    {352, 288},
    {352, 240},
}};

constexpr std::array<double, 5> kFrameRatePresets{23.976, 24.0, 25.0, 29.97, 30.0};

constexpr std::array<int32_t, 4> kAudioBitrates{64000, 128000, 192000, 320000};

int32_t Clamp32(int64_t value) {
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

} // namespace

QSize ResolutionPreset(int entry) {
    if (entry < 1 || entry > static_cast<int>(kResolutionPresets.size()))
        return QSize();
    return kResolutionPresets[static_cast<size_t>(entry - 1)];
}

int ResolutionEntryFor(int32_t width, int32_t height) {
    for (size_t i = 0; i < kResolutionPresets.size(); ++i) {
        if (kResolutionPresets[i] == QSize(width, height))
            return static_cast<int>(i) + 1;
    }
    return kResolutionCustom;
}

double FrameRatePreset(int entry) {
    if (entry < 1 || entry > static_cast<int>(kFrameRatePresets.size()))
        return 0.0;
    return kFrameRatePresets[static_cast<size_t>(entry - 1)];
}

int32_t ReadIntegerPrefix(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr int64_t kLimit = int64_t{1} << 40; // far beyond 32 bits, no overflow
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value < kLimit)
            value = value * 10 + (text[i].unicode() - '0');
    }
    return Clamp32(negative ? -value : value);
}

int32_t RoundFrameSide(int32_t typed) {
    const int32_t rounded = typed / 8 * 8; // toward zero
    return rounded < 16 ? 16 : rounded;
}

int32_t KbpsToVideoBitrate(int32_t kbps) {
    return Clamp32(int64_t{kbps} * 1024);
}

int32_t AudioBitrateForEntry(int entry) {
    if (entry < 0 || entry >= static_cast<int>(kAudioBitrates.size()))
        return 0;
    return kAudioBitrates[static_cast<size_t>(entry)];
}

int AudioBitrateEntry(int32_t bitsPerSecond) {
    for (size_t i = 0; i < kAudioBitrates.size(); ++i) {
        if (kAudioBitrates[i] == bitsPerSecond)
            return static_cast<int>(i);
    }
    return -1;
}

QString BrowseStartFolder(const QString& outputPath) {
    const qsizetype slash = outputPath.lastIndexOf('/');
    if (slash < 0)
        return QStringLiteral(".");
    if (slash == 0)
        return QStringLiteral("/");
    return outputPath.left(slash);
}

} // namespace orvelin
