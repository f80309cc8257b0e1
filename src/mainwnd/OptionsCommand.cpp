// The main window's Options command: the Output options dialog edits a copy
// of the output settings, and OK copies the values back.
#include "app/AppContext.h"
#include "mainwnd/MainDialog.h"
#include "options/OutputOptionsDialog.h"

namespace orvelin {

void MainDialog::OnOptions() {
    if (commandsBlocked_)
        return;
    const OutputOptionsSource source{state_.sourceWidth, state_.sourceHeight,
                                     state_.sourceFrameRate, state_.itemCount};
    OutputOptionsDialog dialog(app_, state_.output, source, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const OutputSettings& chosen = dialog.Settings();
    OutputSettings& o = state_.output;
    o.outputPath = chosen.outputPath;
    o.outputFrameRate = chosen.outputFrameRate;
    o.outputWidth = chosen.outputWidth;
    o.outputHeight = chosen.outputHeight;
    o.useVideoCompressor = chosen.useVideoCompressor;
    o.useAudioCompressor = chosen.useAudioCompressor;
    o.frameRateIndex = chosen.frameRateIndex;
    o.resizeMode = chosen.resizeMode;
    RefreshOutputInfo();
    o.videoBitrate = chosen.videoBitrate;
    o.audioBitrate = chosen.audioBitrate;
    o.outputFormat = chosen.outputFormat;
    o.fileProfile = chosen.fileProfile;
}

} // namespace orvelin
