#include "options/OutputOptionsDialog.h"

#include "controls/Accessibility.h"

#include "app/AppContext.h"
#include "app/UiServices.h"
#include "lang/BuiltinStrings.h"
#include "lang/LanguagePack.h"
#include "options/CodecSettings.h"
#include "options/OutputOptionsValues.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>

namespace orvelin {

using media::CompressorKind;

namespace {

QString Text(int32_t id) {
    return LanguagePack::Instance().GetString(id);
}

// Selects an entry, or nothing when the list has no such entry.
void SelectEntry(QComboBox* list, int entry) {
    list->setCurrentIndex(entry >= 0 && entry < list->count() ? entry : -1);
}

void ReplaceEntry(QComboBox* list, int entry, const QString& text) {
    list->removeItem(entry);
    list->insertItem(entry, text);
}

} // namespace

OutputOptionsDialog::OutputOptionsDialog(AppContext& app, const OutputSettings& settings,
                                         const OutputOptionsSource& source, QWidget* parent,
                                         CompressorSource& compressors)
    : QDialog(parent), app_(app), settings_(settings), source_(source),
      catalog_(app.ui, compressors, this), encoderTable_(media::ListVfwCompressors) {
    CreateControls();
    LabelFields(this, {{IDC_STATIC_OUTPUT_FILE, IDC_EDIT_OUTPUT_FILE},
                       {IDC_STATIC_RESOLUTION, IDC_COMBO_RESOLUTION},
                       {IDC_STATIC_FRAME_RATE, IDC_COMBO_FRAME_RATE},
                       {IDC_STATIC_RESIZE_MODE, IDC_COMBO_RESIZE_MODE},
                       {IDC_STATIC_VIDEO_COMPRESSOR, IDC_COMBO_VIDEO_COMPRESSOR},
                       {IDC_STATIC_AUDIO_COMPRESSOR, IDC_COMBO_AUDIO_COMPRESSOR},
                       {IDC_STATIC_VIDEO_COMPRESSOR_BITRATE, IDC_EDIT_VIDEO_BITRATE},
                       {IDC_STATIC_AUDIO_COMPRESSOR_BITRATE, IDC_COMBO_AUDIO_BITRATE}});
    NameControl(this, IDC_EDIT_WIDTH, QStringLiteral("Width"));
    NameControl(this, IDC_EDIT_HEIGHT, QStringLiteral("Height"));
    NameControl(this, IDC_EDIT_FRAME_RATE, QStringLiteral("Custom frame rate"));
    OrderTabsByLayout(this);
    Open();
    // The lists report the user's choices from here on.
    connect(Combo(IDC_COMBO_RESOLUTION), &QComboBox::currentIndexChanged, this,
            &OutputOptionsDialog::OnResolutionChanged);
    connect(Combo(IDC_COMBO_FRAME_RATE), &QComboBox::currentIndexChanged, this,
            &OutputOptionsDialog::OnFrameRateChanged);
    connect(Combo(IDC_COMBO_VIDEO_COMPRESSOR), &QComboBox::currentIndexChanged, this,
            &OutputOptionsDialog::OnVideoCompressorChanged);
}

void OutputOptionsDialog::SetVideoEncoderTable(
    std::function<std::vector<media::VfwCompressorInfo>()> table) {
    encoderTable_ = std::move(table);
}

void OutputOptionsDialog::Open() {
    FillResolutionList();
    ShowControl(IDC_COMBO_VFW_CODECS, false);
    Edit(IDC_EDIT_OUTPUT_FILE)->setText(settings_.outputPath);
    Edit(IDC_EDIT_WIDTH)->setText(QString::number(settings_.outputWidth));
    Edit(IDC_EDIT_HEIGHT)->setText(QString::number(settings_.outputHeight));
    ShowControl(IDC_EDIT_WIDTH, false);
    ShowControl(IDC_EDIT_HEIGHT, false);
    SelectResolution();
    FillFrameRateList();

    QComboBox* video = Combo(IDC_COMBO_VIDEO_COMPRESSOR);
    QComboBox* audio = Combo(IDC_COMBO_AUDIO_COMPRESSOR);
    // The first listing after a plug-in change tries the compressors out,
    // which takes a while.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    catalog_.SetContainer(settings_.outputFormat);
    catalog_.FillVideoCompressorList(video);
    catalog_.SelectStoredChoice(CompressorKind::Video, video, app_.settings);
    catalog_.FillAudioCompressorList(audio);
    catalog_.SelectStoredChoice(CompressorKind::Audio, audio, app_.settings);
    QGuiApplication::restoreOverrideCursor();

    QComboBox* resize = Combo(IDC_COMBO_RESIZE_MODE);
    resize->setItemText(0, Text(IDS_PRESERVE_ASPECT_RATIO));
    resize->setItemText(1, Text(IDS_STRETCH));
    resize->setCurrentIndex(settings_.resizeMode == 2 ? 0 : 1);

    ShowControl(IDC_COMBO_VIDEO_COMPRESSOR, false);
    ShowControl(IDC_COMBO_AUDIO_COMPRESSOR, false);
    ShowControl(IDC_BUTTON_VIDEO_CODEC_SETTINGS, false);
    Edit(IDC_EDIT_VIDEO_BITRATE)->setText(QString::number(settings_.videoBitrate / 1024));
    Edit(IDC_EDIT_AUDIO_BITRATE)->setText(QString::number(settings_.audioBitrate / 1000));
    SelectEntry(Combo(IDC_COMBO_AUDIO_BITRATE), AudioBitrateEntry(settings_.audioBitrate));
    ShowControl(IDC_STATIC_VIDEO_COMPRESSOR, false);
    ShowControl(IDC_STATIC_AUDIO_COMPRESSOR, false);
    ShowControl(IDC_STATIC_OPTIONS_NOTE, false);

    SelectEntry(Combo(IDC_COMBO_OUTPUT_FORMAT), settings_.outputFormat);
    ApplyContainerLayout(settings_.outputFormat);
    ShowControl(IDC_COMBO_OUTPUT_FORMAT, false);

    LanguagePack::Instance().ApplyToDialog(this, IDD_DIALOG_OUTPUT_OPTIONS);
}

void OutputOptionsDialog::FillResolutionList() {
    QComboBox* list = Combo(IDC_COMBO_RESOLUTION);
    QString original = Text(IDS_ORIGINAL_SIZE);
    if (source_.sourceWidth != 0 || source_.sourceHeight != 0)
        original += QStringLiteral(" %1*%2").arg(source_.sourceWidth).arg(source_.sourceHeight);
    ReplaceEntry(list, kResolutionOriginal, original);
    ReplaceEntry(list, kResolutionCustom, Text(IDS_CUSTOM_SIZE));
}

void OutputOptionsDialog::SelectResolution() {
    int entry = kResolutionOriginal;
    if (settings_.outputWidth != source_.sourceWidth ||
        settings_.outputHeight != source_.sourceHeight)
        entry = ResolutionEntryFor(settings_.outputWidth, settings_.outputHeight);
    Combo(IDC_COMBO_RESOLUTION)->setCurrentIndex(entry);
    if (entry == kResolutionCustom) {
        ShowControl(IDC_EDIT_WIDTH, true);
        ShowControl(IDC_EDIT_HEIGHT, true);
    }
}

void OutputOptionsDialog::FillFrameRateList() {
    QComboBox* list = Combo(IDC_COMBO_FRAME_RATE);
    QString original = Text(IDS_ORIGINAL_FRAME_RATE);
    if (source_.itemCount > 0)
        original += QString::asprintf(" %.3f", source_.sourceFrameRate);
    ReplaceEntry(list, kFrameRateOriginal, original);
    ReplaceEntry(list, kFrameRateCustom, Text(IDS_CUSTOM_FRAME_RATE));

    QLineEdit* rate = Edit(IDC_EDIT_FRAME_RATE);
    rate->setText(settings_.frameRateIndex == kFrameRateOriginal
                      ? QString::asprintf("%f", 23.976)
                      : QString::asprintf("%.3f", settings_.outputFrameRate));
    ShowControl(IDC_EDIT_FRAME_RATE, false);
    SelectEntry(list, settings_.frameRateIndex);
    if (settings_.frameRateIndex >= kFrameRateCustom)
        ShowControl(IDC_EDIT_FRAME_RATE, true);
}

void OutputOptionsDialog::ApplyContainerLayout(int32_t containerIndex) {
    QLineEdit* name = Edit(IDC_EDIT_OUTPUT_FILE);
    if (const std::optional<QString> named =
            ApplyFormatExtension(app_.ui, containerIndex, name->text()))
        name->setText(*named);
    if (containerIndex > kContainerOgm) {
        app_.ui.MessageBox(this, QStringLiteral("unknown error"), QStringLiteral("error"));
        return;
    }
    if (containerIndex < 0)
        return; // no container: neither group is laid out
    const bool bitrates = Container(containerIndex)->usesBitrates;
    for (int id :
         {IDC_STATIC_VIDEO_COMPRESSOR, IDC_STATIC_AUDIO_COMPRESSOR, IDC_COMBO_AUDIO_COMPRESSOR,
          IDC_BUTTON_VIDEO_CODEC_SETTINGS, IDC_COMBO_VIDEO_COMPRESSOR, IDC_STATIC_OPTIONS_NOTE})
        ShowControl(id, !bitrates);
    for (int id :
         {IDC_EDIT_VIDEO_BITRATE, IDC_COMBO_AUDIO_BITRATE, IDC_STATIC_VIDEO_COMPRESSOR_BITRATE,
          IDC_STATIC_AUDIO_COMPRESSOR_BITRATE, IDC_STATIC_VIDEO_KBPS, IDC_STATIC_AUDIO_KBPS})
        ShowControl(id, bitrates);
}

void OutputOptionsDialog::OnResolutionChanged(int entry) {
    QSize size;
    if (entry == kResolutionOriginal)
        size = QSize(source_.sourceWidth, source_.sourceHeight);
    else if (entry == kResolutionCustom)
        size = QSize(settings_.outputWidth, settings_.outputHeight);
    else if (entry > kResolutionOriginal && entry < kResolutionCustom)
        size = ResolutionPreset(entry);
    else
        return;
    Edit(IDC_EDIT_WIDTH)->setText(QString::number(size.width()));
    Edit(IDC_EDIT_HEIGHT)->setText(QString::number(size.height()));
    ShowControl(IDC_EDIT_WIDTH, entry == kResolutionCustom);
    ShowControl(IDC_EDIT_HEIGHT, entry == kResolutionCustom);
}

void OutputOptionsDialog::OnFrameRateChanged(int entry) {
    QString text;
    if (entry == kFrameRateOriginal)
        text = QString::asprintf("%f", source_.sourceFrameRate);
    else if (entry == kFrameRateCustom)
        text = QString::asprintf("%.3f", settings_.outputFrameRate);
    else if (entry > kFrameRateOriginal && entry < kFrameRateCustom)
        text = QString::asprintf("%f", FrameRatePreset(entry));
    else
        return;
    Edit(IDC_EDIT_FRAME_RATE)->setText(text);
    ShowControl(IDC_EDIT_FRAME_RATE, entry == kFrameRateCustom);
}

void OutputOptionsDialog::OnVideoCompressorChanged(int entry) {
    // A copy keeps the source's size, rate and sound: choosing it for the
    // picture sets the other lists to match, where the user sees them.
    if (entry < 0 || entry != catalog_.CopyPosition(CompressorKind::Video))
        return;
    Combo(IDC_COMBO_RESOLUTION)->setCurrentIndex(kResolutionOriginal);
    Combo(IDC_COMBO_FRAME_RATE)->setCurrentIndex(kFrameRateOriginal);
    if (const int copy = catalog_.CopyPosition(CompressorKind::Audio); copy >= 0)
        Combo(IDC_COMBO_AUDIO_COMPRESSOR)->setCurrentIndex(copy);
}

void OutputOptionsDialog::OnBrowse() {
    const int32_t format = settings_.outputFormat;
    FileDialogRequest request;
    request.owner = this;
    request.title = Text(IDS_SELECT_OUTPUT_FILE);
    request.startFolder = BrowseStartFolder(settings_.outputPath);
    request.fileName = QStringLiteral("*.*");
    request.selectedFilter = 0;
    if (ContainerSupported(format)) {
        request.filters = {FileFilter{QString::fromLatin1(Container(format)->filterText), {}}};
    } else {
        app_.ui.MessageBox(this, QStringLiteral("Does not support the video format"),
                           QStringLiteral("Error"));
    }
    const std::optional<QString> chosen = app_.ui.SaveFileName(request);
    if (!chosen)
        return;
    if (const std::optional<QString> named = ApplyFormatExtension(app_.ui, format, *chosen))
        Edit(IDC_EDIT_OUTPUT_FILE)->setText(*named);
}

void OutputOptionsDialog::OnDefault() {
    const int32_t format = settings_.outputFormat;
    if (ContainerSupported(format) && Container(format)->usesBitrates) {
        Edit(IDC_EDIT_VIDEO_BITRATE)->setText(QString::number(780));
        Combo(IDC_COMBO_AUDIO_BITRATE)->setCurrentIndex(1);
        return;
    }
    SelectEntry(Combo(IDC_COMBO_VIDEO_COMPRESSOR),
                catalog_.DefaultSelection(CompressorKind::Video));
    SelectEntry(Combo(IDC_COMBO_AUDIO_COMPRESSOR),
                catalog_.DefaultSelection(CompressorKind::Audio));
}

void OutputOptionsDialog::OnVideoCodecSettings() {
    // The property editor opens owned by this dialog; the encoder's
    // remembered state goes in before and comes back after.
    RunVideoCodecSettings(this, Combo(IDC_COMBO_VIDEO_COMPRESSOR)->currentText(),
                          Combo(IDC_COMBO_VFW_CODECS), app_.ui, encoderTable_);
}

void OutputOptionsDialog::reject() {
    QDialog::reject();
}

} // namespace orvelin
