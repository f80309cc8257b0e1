#include "support/ConvertTestHost.h"

#include "convert/Slideshow.h"
#include "media/EncoderRegistry.h"
#include "options/CompressorCatalog.h"

#include <gtest/gtest.h>

namespace orvelin::test {

void ConvertTestHost::OpenVideo(const QString& path, double seconds, int width, int height,
                                double fps, const QString& outputPath, int32_t outputFormat) {
    const auto length = static_cast<REFERENCE_TIME>(seconds * media::kUnitsPerSecond);
    SetOpenedVideo(state, path, length, length, [] { return 0; });
    state.trimStart = 0;
    state.trimEnd = length;
    state.sourceWidth = width;
    state.sourceHeight = height;
    state.sourceFrameRate = fps;
    state.output.outputWidth = width;
    state.output.outputHeight = height;
    state.output.frameRateIndex = 0;
    state.output.outputFrameRate = fps;
    state.output.outputPath = outputPath;
    state.output.outputFormat = outputFormat;
}

void UseCompressors(OutputSettings& output, const char* video, const char* audio) {
    if (video) {
        SelectedVideoCompressor() = media::BindCompressor(QString::fromLatin1(video));
        ASSERT_TRUE(SelectedVideoCompressor()) << video;
        output.useVideoCompressor = 1;
    }
    if (audio) {
        SelectedAudioCompressor() = media::BindCompressor(QString::fromLatin1(audio));
        ASSERT_TRUE(SelectedAudioCompressor()) << audio;
        output.useAudioCompressor = 1;
    }
}

} // namespace orvelin::test
