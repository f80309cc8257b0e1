#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace orvelin {

class SettingsStore;
class UiServices;

// Container indexes of the output format setting.
enum ContainerIndex : int32_t {
    kContainerAvi = 0,
    kContainerWmv = 1,
    kContainerMkv = 2,
    kContainerAsf = 3,
    kContainerMp4 = 4,
    kContainerDsm = 5,
    kContainerOgm = 6,
    kContainerCount = 20, // 7 to 19 are listed but not supported
};

struct ContainerInfo {
    const char* listText;
    const char* extension;  // without the dot; empty when unsupported
    const char* filterText; // file-dialog filter; empty when unsupported
    bool usesBitrates;      // Windows Media: bit rates instead of compressors
};

// The row of a container index; nullptr outside 0 to 19.
const ContainerInfo* Container(int32_t index);
bool ContainerSupported(int32_t index);

// What a conversion produces. Lives in the main window from start-up to exit.
struct OutputSettings {
    QString outputPath;
    int32_t outputWidth = 0;
    int32_t outputHeight = 0;
    double outputFrameRate = 23.976;
    int32_t frameRateIndex = 1;
    int32_t resizeMode = 2; // 2 preserve aspect ratio, 0 stretch
    int32_t useVideoCompressor = 0;
    int32_t useAudioCompressor = 0;
    int32_t videoBitrate = 798720;
    int32_t audioBitrate = 128000;
    int32_t outputFormat = kContainerMkv;
    int32_t fileProfile = 0;
};

// The values the Output options dialog worked out on OK, written in order.
struct OutputSettingsToSave {
    int32_t frameRateIndex = 1;
    QString frameRateText;
    QString outputName;
    int32_t outputWidth = 0;
    int32_t outputHeight = 0;
    int32_t videoCompressorNumber = -2;
    int32_t audioCompressorNumber = -2;
    int32_t videoBitrate = 798720;
    int32_t audioBitrate = 128000;
    int32_t outputFormat = kContainerMkv;
};

// Gives a path the extension of a container: the text from the last dot
// anywhere in the path on is dropped, then the container's extension added.
// For an unsupported container shows "Does not support the video format"
// (caption "Error", no owner) and answers nothing; the caller keeps its name.
std::optional<QString> ApplyFormatExtension(UiServices& ui, int32_t containerIndex,
                                            const QString& path);

// The default output file: the user's videos folder (else the home folder)
// followed by "/output.wmv".
QString DefaultOutputName(UiServices& ui);

// The output rate of a frame-rate choice; an index outside 0 to 6 becomes 1.
// Index 6 reads the stored custom rate text.
void ApplyFrameRateIndex(const SettingsStore& store, int32_t& index, double& rate);

// Reads a rate text the way a C number read does: the longest number prefix,
// 0.0 when there is none.
double ParseRateText(const QString& text);

// The individual reads, for callers that interleave other start-up work.
int32_t LoadOutputFormat(const SettingsStore& store);
QString LoadOutputName(const SettingsStore& store, UiServices& ui, int32_t outputFormat);

// Reads the whole record in its fixed order.
OutputSettings LoadOutputSettings(const SettingsStore& store, UiServices& ui);

// Writes the dialog's values in their fixed order.
void SaveOutputSettings(SettingsStore& store, const OutputSettingsToSave& values);

} // namespace orvelin
