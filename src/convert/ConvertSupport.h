#pragma once

#include "options/OutputSettings.h"

#include <QString>
#include <cstdint>

namespace orvelin {

// The one-second timer of a running conversion (TIMER_CONVERT_PROGRESS).
constexpr int kTimerConvertProgress = 1112;
constexpr int kConvertProgressPeriodMs = 1000;
// The graph-event message of the main window (WM_USER + 13).
constexpr int kGraphNotifyMessage = 0x040D;

// Where the compressor warning sends users for a DivX-compatible encoder, and
// the pages opened when a multiplexer is missing.
extern const char* const kDivXDownloadUrl;
extern const char* const kMkvDownloadUrl;
extern const char* const kDsmDownloadUrl;

// True when the file can be opened for reading; a file that exists but
// cannot be read, and a folder, count as absent.
bool FileExists(const QString& path);

// True when both paths name the same file: the same device and inode once
// links are followed (a symbolic link, a hard link, "dir/../name").
bool SameFile(const QString& a, const QString& b);

// The frame rates a conversion writes: fewer than one picture a second
// makes a file of stills, more than 1000 no player shows.
constexpr double kLowestFrameRate = 1.0;
constexpr double kHighestFrameRate = 1000.0;

// What identifies a file's contents for the length of a conversion: device,
// inode, size and time of the last change. Empty (`valid` false) when the
// file cannot be read.
struct FileStamp {
    bool valid = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t changeNs = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const QString& path);

// The DivX codec's per-user "Disable feedback" value
// (QSettings("DivXNetworks", "DivX4Windows")): when it exists, its first byte
// becomes 1, keeping its kind and length. It is never created; failures are
// silent.
void DisableDivXFeedback();

// "<path> exists. Do you want to replace it?" in the current language.
QString ReplaceQuestionText(const QString& path);
// The frame-rate question for a probed rate (printed with six decimals).
QString FrameRateQuestionText(double sourceFrameRate);
// The warning when no video compressor is chosen.
QString CompressorWarningText();
// "Please wait... Used Time: hh:mm:ss" after `seconds` ticks.
QString UsedTimeText(int32_t seconds);
// "Done. Output file: <path>     Resolution: <w>*<h>" in the current language.
QString DoneText(const QString& outputPath, int32_t width, int32_t height);
// The status line after a conversion that ended in an error.
QString FailedText(const QString& errorText);
// The refusal of an output that is one of the files being converted.
QString OutputIsSourceText(const QString& outputPath);
// The refusal of a frame rate outside kLowestFrameRate..kHighestFrameRate
// (stored or probed); one that is no number is too small.
QString UnusableFrameRateText(double rate);
// The end of a job whose finished file could not take the output's name
// (`reason`), and is kept as `keptAs`.
QString KeptElsewhereText(const QString& outputPath, const QString& reason, const QString& keptAs);
// The refusal of a stored container index that names no container written here.
QString UnsupportedContainerText(int32_t outputFormat);
// The end of a job whose source changed while it was read; `kept` tells
// whether the output was written all the same.
QString SourceChangedText(const QString& sourcePath, bool kept);
// The refusal of a stretch whose end is not after its start.
QString EmptyStretchText();
// The refusal of a container that cannot store a stream left uncompressed
// (MP4 and OGM take no uncompressed pictures or sound); empty when the
// output settings' container stores both streams as they are chosen.
QString UnstorableStreamText(const OutputSettings& out);

} // namespace orvelin
