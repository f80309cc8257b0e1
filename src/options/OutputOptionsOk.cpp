// OK of the Output options dialog: the checks, then every value worked out
// and written in its fixed order, so that an OK stores all values or none.
#include "app/AppContext.h"
#include "app/UiServices.h"
#include "options/OutputOptionsDialog.h"
#include "options/OutputOptionsValues.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>

namespace orvelin {

using media::CompressorKind;

bool OutputOptionsDialog::CheckFrameRate(double rate, int rateEntry) {
    if (!(rate >= kMinFrameRate)) { // a text that is no number reads as 0
        app_.ui.FrameworkMessageBox(this, QStringLiteral("The frame rate is too small!"));
        return false;
    }
    if (rateEntry == kFrameRateCustom && !(rate <= kMaxCustomFrameRate)) {
        app_.ui.FrameworkMessageBox(
            this, QStringLiteral("The frame rate is too large! The largest frame rate is %1.")
                      .arg(kMaxCustomFrameRate));
        return false;
    }
    return true;
}

bool OutputOptionsDialog::CheckFrameSize(int32_t width, int32_t height) {
    if (width <= kMaxFrameSide && height <= kMaxFrameSide)
        return true;
    app_.ui.FrameworkMessageBox(
        this, QStringLiteral("The frame size %1*%2 is too large! The largest frame size is %3*%3.")
                  .arg(width)
                  .arg(height)
                  .arg(kMaxFrameSide));
    return false;
}

void OutputOptionsDialog::accept() {
    const QString rateText = Edit(IDC_EDIT_FRAME_RATE)->text();
    const int rateEntry = Combo(IDC_COMBO_FRAME_RATE)->currentIndex();
    settings_.outputFrameRate = ParseRateText(rateText);
    if (!CheckFrameRate(settings_.outputFrameRate, rateEntry))
        return;
    const int32_t width = RoundFrameSide(ReadIntegerPrefix(Edit(IDC_EDIT_WIDTH)->text()));
    const int32_t height = RoundFrameSide(ReadIntegerPrefix(Edit(IDC_EDIT_HEIGHT)->text()));
    if (!CheckFrameSize(width, height))
        return;

    OutputSettingsToSave save;
    settings_.frameRateIndex = rateEntry;
    save.frameRateIndex = rateEntry;
    save.frameRateText = rateEntry == kFrameRateOriginal ? QStringLiteral("23.976") : rateText;
    if (rateEntry == kFrameRateOriginal) {
        settings_.outputFrameRate = source_.sourceFrameRate;
    } else if (rateEntry == kFrameRateCustom) {
        settings_.outputFrameRate = ParseRateText(rateText);
    } else if (rateEntry > kFrameRateOriginal && rateEntry < kFrameRateCustom) {
        settings_.outputFrameRate = FrameRatePreset(rateEntry);
    } else {
        settings_.frameRateIndex = 1;
        settings_.outputFrameRate = FrameRatePreset(1);
    }

    settings_.outputPath = Edit(IDC_EDIT_OUTPUT_FILE)->text();
    // A box that names no file gives the default name, as at start-up.
    if (QFileInfo(settings_.outputPath.trimmed()).completeBaseName().isEmpty())
        settings_.outputPath =
            ApplyFormatExtension(app_.ui, settings_.outputFormat, DefaultOutputName(app_.ui))
                .value_or(DefaultOutputName(app_.ui));
    save.outputName = settings_.outputPath;

    settings_.outputWidth = width;
    settings_.outputHeight = height;
    save.outputWidth = width;
    save.outputHeight = height;

    save.videoCompressorNumber = catalog_.ChooseAtOk(
        CompressorKind::Video, Combo(IDC_COMBO_VIDEO_COMPRESSOR)->currentIndex(),
        settings_.useVideoCompressor);
    save.audioCompressorNumber = catalog_.ChooseAtOk(
        CompressorKind::Audio, Combo(IDC_COMBO_AUDIO_COMPRESSOR)->currentIndex(),
        settings_.useAudioCompressor);

    settings_.resizeMode = Combo(IDC_COMBO_RESIZE_MODE)->currentIndex() == 0 ? 2 : 0;

    settings_.videoBitrate =
        KbpsToVideoBitrate(ReadIntegerPrefix(Edit(IDC_EDIT_VIDEO_BITRATE)->text()));
    save.videoBitrate = settings_.videoBitrate;

    const int audioEntry = Combo(IDC_COMBO_AUDIO_BITRATE)->currentIndex();
    if (audioEntry >= 0)
        settings_.audioBitrate = AudioBitrateForEntry(audioEntry);
    save.audioBitrate = settings_.audioBitrate;

    settings_.outputFormat = Combo(IDC_COMBO_OUTPUT_FORMAT)->currentIndex();
    save.outputFormat = settings_.outputFormat;

    SaveOutputSettings(app_.settings, save);
    QDialog::accept();
}

} // namespace orvelin
