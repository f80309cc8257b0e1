#pragma once

#include <QSize>
#include <QString>
#include <cstdint>

namespace orvelin {

// The fixed choices and number rules of the Output options dialog.

// Resolution list: entry 0 is the source size, 1 to 7 these presets, 8 the
// custom size.
constexpr int kResolutionOriginal = 0;
constexpr int kResolutionCustom = 8;
// The preset size of entries 1 to 7; an invalid size for any other entry.
QSize ResolutionPreset(int entry);
// The entry whose preset is exactly `width` × `height`, or kResolutionCustom.
int ResolutionEntryFor(int32_t width, int32_t height);

// Frame-rate list: entry 0 is the source rate, 1 to 5 these rates, 6 the
// custom rate.
constexpr int kFrameRateOriginal = 0;
constexpr int kFrameRateCustom = 6;
// The rate of entries 1 to 5; 0 for any other entry.
double FrameRatePreset(int entry);

// The smallest rate OK accepts (fewer than one picture a second makes a file
// of stills), and the largest one it accepts in the custom box: a larger
// rate would make the conversion produce frames without end.
constexpr double kMinFrameRate = 1.0;
constexpr double kMaxCustomFrameRate = 1000.0;

// The largest output width and height OK accepts (after rounding): larger
// frames exhaust the memory of the conversion or are refused by encoders.
constexpr int32_t kMaxFrameSide = 8192;

// Reads a text the way a C integer read does: leading blanks, an optional
// sign, then the digits up to the first other character; 0 when there are
// none. Values beyond the 32-bit range are held at its ends.
int32_t ReadIntegerPrefix(const QString& text);

// A typed width or height as the dialog stores it: rounded toward zero to a
// multiple of 8, then raised to 16 when below 16.
int32_t RoundFrameSide(int32_t typed);

// Kbps × 1024 as bits per second, held at the 32-bit range.
int32_t KbpsToVideoBitrate(int32_t kbps);

// The audio bit-rate list ("64", "128", "192", "320"): the rate of an entry
// (0 for none) and the entry of a rate (-1 for any other rate).
int32_t AudioBitrateForEntry(int entry);
int AudioBitrateEntry(int32_t bitsPerSecond);

// The folder the Browse dialog starts in: everything before the last "/" of
// the path, "/" when that is the first character, "." when there is none.
QString BrowseStartFolder(const QString& outputPath);

} // namespace orvelin
