#pragma once

#include "media/EncoderRegistry.h"
#include "options/CompressorCatalog.h"
#include "options/OutputSettings.h"

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

class QComboBox;
class QLineEdit;

namespace orvelin {

struct AppContext;

// What the main window tells the dialog about the opened video; shown, never
// returned.
struct OutputOptionsSource {
    int32_t sourceWidth = 0; // probed frame size; both 0 until a video was probed
    int32_t sourceHeight = 0;
    double sourceFrameRate = 23.976;
    int32_t itemCount = 0; // 0: no video open
};

// "Output options" (dialog 129): output file, frame size, frame rate, resize
// mode and either the compressors or, for WMV and ASF, the Windows Media bit
// rates. The dialog works on its own copy of the output settings; OK checks
// the values, writes them to the settings store (all of them or none), binds
// the chosen compressors and ends the dialog; the caller then copies
// Settings() back. Cancel changes nothing.
class OutputOptionsDialog : public QDialog {
    Q_OBJECT
public:
    enum ControlId : int {
        IDD_DIALOG_OUTPUT_OPTIONS = 129,
        IDC_STATIC_OUTPUT_FILE = 1023,
        IDC_EDIT_OUTPUT_FILE = 1022,
        IDC_BUTTON_BROWSE = 1024,
        IDC_STATIC_RESOLUTION = 1026,
        IDC_COMBO_RESOLUTION = 1025,
        IDC_EDIT_WIDTH = 1027,
        IDC_EDIT_HEIGHT = 1028,
        IDC_STATIC_FRAME_RATE = 1078,
        IDC_COMBO_FRAME_RATE = 1068,
        IDC_EDIT_FRAME_RATE = 1069,
        IDC_STATIC_RESIZE_MODE = 1079,
        IDC_COMBO_RESIZE_MODE = 1070,
        IDC_COMBO_OUTPUT_FORMAT = 1094,
        IDC_STATIC_VIDEO_COMPRESSOR = 1080,
        IDC_COMBO_VIDEO_COMPRESSOR = 1001,
        IDC_BUTTON_VIDEO_CODEC_SETTINGS = 1053,
        IDC_STATIC_AUDIO_COMPRESSOR = 1081,
        IDC_COMBO_AUDIO_COMPRESSOR = 1002,
        IDC_STATIC_OPTIONS_NOTE = 1077,
        IDC_STATIC_VIDEO_COMPRESSOR_BITRATE = 1087,
        IDC_EDIT_VIDEO_BITRATE = 1089,
        IDC_STATIC_VIDEO_KBPS = 1091,
        IDC_STATIC_AUDIO_COMPRESSOR_BITRATE = 1088,
        IDC_COMBO_AUDIO_BITRATE = 1090,
        IDC_STATIC_AUDIO_KBPS = 1092,
        IDC_EDIT_AUDIO_BITRATE = 1093,
        IDC_COMBO_VFW_CODECS = 1052,
        IDC_BUTTON_OPTIONS_OK = 1082,
        IDC_BUTTON_OUTPUT_DEAULT = 1051,
        IDC_BUTTON_OPTIONS_CANCEL = 1083,
    };

    // Opens the dialog on `settings` (the main window's outputPath,
    // outputWidth, outputHeight, outputFrameRate, frameRateIndex,
    // resizeMode, useVideoCompressor, useAudioCompressor, videoBitrate,
    // audioBitrate, outputFormat, fileProfile) and the facts of the opened
    // video. The opening steps run here, messages included. `compressors`
    // lists and binds the compressors (the media registry in the program).
    OutputOptionsDialog(AppContext& app, const OutputSettings& settings,
                        const OutputOptionsSource& source, QWidget* parent = nullptr,
                        CompressorSource& compressors = MediaCompressorSource());

    // The dialog's values; after OK the ones to copy back.
    const OutputSettings& Settings() const { return settings_; }

    // The control with a template identifier; nullptr when there is none.
    QWidget* Control(int id) const;

    // Stands in for the listing of installed video encoders that the
    // Settings button searches (tests).
    void SetVideoEncoderTable(std::function<std::vector<media::VfwCompressorInfo>()> table);

public slots:
    void accept() override; // OK: check, store, bind, close
    void reject() override; // Cancel

private slots:
    void OnResolutionChanged(int entry);
    void OnFrameRateChanged(int entry);
    void OnVideoCompressorChanged(int entry);
    void OnBrowse();
    void OnDefault();
    void OnVideoCodecSettings();

private:
    void CreateControls();
    void Open();
    void FillResolutionList();
    void SelectResolution();
    void FillFrameRateList();
    void ApplyContainerLayout(int32_t containerIndex);
    void ShowControl(int id, bool show);
    bool CheckFrameRate(double rate, int rateEntry);
    bool CheckFrameSize(int32_t width, int32_t height);

    QComboBox* Combo(int id) const;
    QLineEdit* Edit(int id) const;

    AppContext& app_;
    OutputSettings settings_;
    OutputOptionsSource source_;
    CompressorCatalog catalog_;
    std::function<std::vector<media::VfwCompressorInfo>()> encoderTable_;
    std::map<int, QWidget*> controls_;
};

} // namespace orvelin
