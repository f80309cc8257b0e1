// The Output options dialog driven offscreen: opening, handlers, Browse,
// Default, OK with its checks and stored values, Cancel, the Settings button.
#include "app/SettingsStore.h"
#include "controls/DialogUnits.h"
#include "media/EncoderRegistry.h"
#include "options/CodecSettings.h"
#include "options/CompressorCatalog.h"
#include "options/OutputOptionsDialog.h"
#include "options/OutputOptionsValues.h"
#include "options/PropertyEditorDialog.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

#include "support/ListCompressorSource.h"

#include "support/ModalWatch.h"

#include <memory>

using namespace orvelin;
using ListSource = orvelin::test::ListCompressorSource;
using media::CompressorDevice;
using media::CompressorKind;
using orvelin::test::Device;
using orvelin::test::WhenModal;
using D = OutputOptionsDialog;

namespace {

const char* const kStoredKeys[][2] = {
    {"Settings", "OutputFrameRateIndex"},
    {"Settings", "OutputFrameRate"},
    {"Settings", "OutputName"},
    {"Settings", "OutputWidth"},
    {"Settings", "OutputHigh"},
    {"DexVideoCompress", "CompressorNumber"},
    {"DexAudioCompress", "CompressorNumber"},
    {"Settings", "n_video_bitrate"},
    {"Settings", "n_audio_bitrate"},
    {"Settings", "nOuptputFormat"},
};

class OutputOptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ReleaseSelectedCompressors();
        CodecStateBlocks::Instance().Clear();
        source.video = {Device("x264enc", "x264 H.264 Encoder"),
                        Device("avenc_mpeg4", "MPEG-4 Video (DivX compatible)"),
                        Device("vp8enc", "On2 VP8 Encoder")};
        source.audio = {Device("vorbisenc", "Vorbis audio encoder"),
                        Device("lamemp3enc", "L.A.M.E. mp3 encoder")};
        settings.outputPath = env.TempPath("clip.mkv");
    }
    void TearDown() override {
        ReleaseSelectedCompressors();
        CodecStateBlocks::Instance().Clear();
    }

    std::unique_ptr<D> Open(CompressorSource* compressors = nullptr) {
        return std::make_unique<D>(*env.context, settings, video, nullptr,
                                   compressors ? *compressors : source);
    }
    static QComboBox* Combo(const D& d, int id) { return qobject_cast<QComboBox*>(d.Control(id)); }
    static QLineEdit* Edit(const D& d, int id) { return qobject_cast<QLineEdit*>(d.Control(id)); }
    static bool Shown(const D& d, int id) { return d.Control(id)->isVisibleTo(&d); }
    static void Press(const D& d, int id) { qobject_cast<QPushButton*>(d.Control(id))->click(); }
    bool NothingStored() const {
        for (const auto& key : kStoredKeys) {
            if (env.ReopenStore()->Contains(key[0], key[1]))
                return false;
        }
        return true;
    }

    test::TestEnv env;
    ListSource source;
    OutputSettings settings;
    OutputOptionsSource video; // no video open
};

} // namespace

TEST_F(OutputOptionsDialogTest, EveryControlAtItsTemplatePosition) {
    auto d = Open();
    EXPECT_EQ(d->windowTitle(), "Output options");
    const DialogUnits du(d->font());
    EXPECT_EQ(d->size(), QSize(du.X(278), du.Y(182)));
    struct Row {
        int id;
        QRect units;
        const char* text;
    };
    const Row rows[] = {
        {D::IDC_STATIC_OUTPUT_FILE, {7, 7, 66, 14}, "Output file:"},
        {D::IDC_EDIT_OUTPUT_FILE, {80, 7, 126, 14}, nullptr},
        {D::IDC_BUTTON_BROWSE, {206, 7, 65, 14}, "Browse"},
        {D::IDC_STATIC_RESOLUTION, {7, 29, 66, 14}, "Resolution:"},
        {D::IDC_EDIT_WIDTH, {214, 29, 22, 14}, nullptr},
        {D::IDC_EDIT_HEIGHT, {248, 29, 22, 14}, nullptr},
        {D::IDC_STATIC_FRAME_RATE, {7, 49, 66, 14}, "Frame rate:"},
        {D::IDC_EDIT_FRAME_RATE, {214, 49, 36, 12}, nullptr},
        {D::IDC_STATIC_RESIZE_MODE, {7, 69, 66, 14}, "Resize mode:"},
        {D::IDC_STATIC_VIDEO_COMPRESSOR, {7, 90, 66, 14}, "Video compressor:"},
        {D::IDC_BUTTON_VIDEO_CODEC_SETTINGS, {205, 89, 66, 14}, "Settings"},
        {D::IDC_STATIC_AUDIO_COMPRESSOR, {7, 110, 66, 14}, "Audio compressor:"},
        {D::IDC_STATIC_OPTIONS_NOTE,
         {7, 138, 264, 20},
         "Note: some video and audio compressors may not work properly. For more detail, "
         "please read help."},
        {D::IDC_STATIC_VIDEO_COMPRESSOR_BITRATE, {7, 90, 100, 14}, "Video encoding bitrate:"},
        {D::IDC_EDIT_VIDEO_BITRATE, {114, 90, 89, 14}, nullptr},
        {D::IDC_STATIC_VIDEO_KBPS, {214, 90, 53, 14}, "Kbps"},
        {D::IDC_STATIC_AUDIO_COMPRESSOR_BITRATE, {7, 110, 100, 14}, "Audio encoding bitrate:"},
        {D::IDC_STATIC_AUDIO_KBPS, {214, 110, 53, 14}, "Kbps"},
        {D::IDC_EDIT_AUDIO_BITRATE, {251, 114, 10, 14}, nullptr},
        {D::IDC_BUTTON_OPTIONS_OK, {33, 161, 66, 14}, "OK"},
        {D::IDC_BUTTON_OUTPUT_DEAULT, {106, 161, 66, 14}, "Default"},
        {D::IDC_BUTTON_OPTIONS_CANCEL, {179, 161, 66, 14}, "Cancel"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        QWidget* w = d->Control(r.id);
        ASSERT_TRUE(w);
        EXPECT_EQ(w->property("controlId").toInt(), r.id);
        const QRect u = r.units;
        EXPECT_EQ(w->geometry(), du.Rect(u.x(), u.y(), u.width(), u.height()));
        if (r.text) {
            if (auto* label = qobject_cast<QLabel*>(w))
                EXPECT_EQ(label->text(), r.text);
            else
                EXPECT_EQ(qobject_cast<QPushButton*>(w)->text(), r.text);
        }
    }
    // Lists: position and width from the template, a closed height of 14 units.
    const Row lists[] = {
        {D::IDC_COMBO_RESOLUTION, {80, 29, 126, 14}, nullptr},
        {D::IDC_COMBO_FRAME_RATE, {80, 49, 126, 14}, nullptr},
        {D::IDC_COMBO_RESIZE_MODE, {80, 69, 126, 14}, nullptr},
        {D::IDC_COMBO_OUTPUT_FORMAT, {204, 68, 67, 14}, nullptr},
        {D::IDC_COMBO_VIDEO_COMPRESSOR, {80, 90, 126, 14}, nullptr},
        {D::IDC_COMBO_AUDIO_COMPRESSOR, {80, 110, 126, 14}, nullptr},
        {D::IDC_COMBO_AUDIO_BITRATE, {114, 110, 91, 14}, nullptr},
        {D::IDC_COMBO_VFW_CODECS, {215, 129, 16, 14}, nullptr},
    };
    for (const Row& r : lists) {
        SCOPED_TRACE(r.id);
        QComboBox* combo = Combo(*d, r.id);
        ASSERT_TRUE(combo);
        EXPECT_EQ(combo->property("controlId").toInt(), r.id);
        const QRect u = r.units;
        EXPECT_EQ(combo->geometry(), du.Rect(u.x(), u.y(), u.width(), u.height()));
    }
    EXPECT_TRUE(qobject_cast<QPushButton*>(d->Control(D::IDC_BUTTON_OPTIONS_OK))->isDefault());
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_WIDTH)->alignment(), Qt::AlignCenter);
    EXPECT_EQ(d->Control(12345), nullptr);

    QStringList containers;
    for (int i = 0; i < Combo(*d, D::IDC_COMBO_OUTPUT_FORMAT)->count(); ++i)
        containers << Combo(*d, D::IDC_COMBO_OUTPUT_FORMAT)->itemText(i);
    EXPECT_EQ(containers.size(), 20);
    EXPECT_EQ(containers.first(), "AVI");
    EXPECT_EQ(containers.last(), "CONTAINER 10");
    EXPECT_FALSE(Shown(*d, D::IDC_COMBO_OUTPUT_FORMAT));
    EXPECT_FALSE(Shown(*d, D::IDC_COMBO_VFW_CODECS));
    EXPECT_FALSE(Shown(*d, D::IDC_EDIT_AUDIO_BITRATE));
}

TEST_F(OutputOptionsDialogTest, NoVideoAndZeroSizeOpensOnOriginalSize) {
    auto d = Open();
    QComboBox* sizes = Combo(*d, D::IDC_COMBO_RESOLUTION);
    EXPECT_EQ(sizes->currentIndex(), 0);
    EXPECT_EQ(sizes->itemText(0), "Original size");
    EXPECT_EQ(sizes->itemText(8), "Custom size");
    EXPECT_EQ(sizes->itemText(2), "720 * 576");
    EXPECT_EQ(sizes->count(), 9);
    EXPECT_FALSE(Shown(*d, D::IDC_EDIT_WIDTH));
    EXPECT_FALSE(Shown(*d, D::IDC_EDIT_HEIGHT));
    QComboBox* rates = Combo(*d, D::IDC_COMBO_FRAME_RATE);
    EXPECT_EQ(rates->itemText(0), "Original frame rate");
    EXPECT_EQ(rates->itemText(6), "Custom frame rate");
    EXPECT_EQ(rates->currentIndex(), 1);
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_FRAME_RATE)->text(), "23.976");
    EXPECT_FALSE(Shown(*d, D::IDC_EDIT_FRAME_RATE));
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_OUTPUT_FILE)->text(), env.TempPath("clip.mkv"));
    EXPECT_TRUE(env.ui.calls.empty());
}

TEST_F(OutputOptionsDialogTest, OpenVideoNamesItsSizeAndRate) {
    video = {640, 360, 29.97, 1};
    settings.outputWidth = 640;
    settings.outputHeight = 360;
    auto d = Open();
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_RESOLUTION)->itemText(0), "Original size 640*360");
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_RESOLUTION)->currentIndex(), 0);
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_FRAME_RATE)->itemText(0), "Original frame rate 29.970");
    // The source size comes before the presets: 640 × 480 from a 640 × 480
    // video is "Original size".
    video = {640, 480, 25.0, 1};
    settings.outputWidth = 640;
    settings.outputHeight = 480;
    EXPECT_EQ(Combo(*Open(), D::IDC_COMBO_RESOLUTION)->currentIndex(), 0);
}

TEST_F(OutputOptionsDialogTest, StoredSizesChooseTheirEntry) {
    settings.outputWidth = 720;
    settings.outputHeight = 480;
    auto d = Open();
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_RESOLUTION)->currentIndex(), 3);
    EXPECT_FALSE(Shown(*d, D::IDC_EDIT_WIDTH));

    settings.outputWidth = 700;
    settings.outputHeight = 500;
    d = Open();
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_RESOLUTION)->currentIndex(), 8);
    EXPECT_TRUE(Shown(*d, D::IDC_EDIT_WIDTH));
    EXPECT_TRUE(Shown(*d, D::IDC_EDIT_HEIGHT));
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_WIDTH)->text(), "700");
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_HEIGHT)->text(), "500");
}

TEST_F(OutputOptionsDialogTest, ResolutionChoicesFillTheBoxes) {
    video = {1280, 720, 25.0, 1};
    settings.outputWidth = 700;
    settings.outputHeight = 500;
    auto d = Open();
    QComboBox* sizes = Combo(*d, D::IDC_COMBO_RESOLUTION);
    sizes->setCurrentIndex(2);
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_WIDTH)->text(), "720");
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_HEIGHT)->text(), "576");
    EXPECT_FALSE(Shown(*d, D::IDC_EDIT_WIDTH));
    sizes->setCurrentIndex(0);
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_WIDTH)->text(), "1280");
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_HEIGHT)->text(), "720");
    Edit(*d, D::IDC_EDIT_WIDTH)->setText("1");
    sizes->setCurrentIndex(8); // back to the size the dialog opened with
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_WIDTH)->text(), "700");
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_HEIGHT)->text(), "500");
    EXPECT_TRUE(Shown(*d, D::IDC_EDIT_HEIGHT));
    sizes->setCurrentIndex(7);
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(d->Settings().outputWidth, 352);
    EXPECT_EQ(d->Settings().outputHeight, 240);
}

TEST_F(OutputOptionsDialogTest, CustomSizeIsRoundedDownToEightsAndAtLeastSixteen) {
    settings.outputWidth = 700;
    settings.outputHeight = 500;
    auto d = Open();
    Edit(*d, D::IDC_EDIT_WIDTH)->setText("30");
    Edit(*d, D::IDC_EDIT_HEIGHT)->setText("9");
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(d->Settings().outputWidth, 24);
    EXPECT_EQ(d->Settings().outputHeight, 16);
    auto store = env.ReopenStore();
    EXPECT_EQ(store->GetInt("Settings", "OutputWidth", -1), 24);
    EXPECT_EQ(store->GetInt("Settings", "OutputHigh", -1), 16);
}

TEST_F(OutputOptionsDialogTest, AbsurdSizesAreRefusedAndNothingIsStored) {
    settings.outputWidth = 700;
    settings.outputHeight = 500;
    auto d = Open();
    d->show();
    const char* const refused[][2] = {
        {"100000", "480"}, {"640", "8200"}, {"99999999999999999999", "480"}, {"8200", "8200"}};
    for (const auto& size : refused) {
        SCOPED_TRACE(size[0]);
        env.ui.Clear();
        Edit(*d, D::IDC_EDIT_WIDTH)->setText(size[0]);
        Edit(*d, D::IDC_EDIT_HEIGHT)->setText(size[1]);
        Press(*d, D::IDC_BUTTON_OPTIONS_OK);
        ASSERT_EQ(env.ui.Messages().size(), 1u);
        EXPECT_TRUE(env.ui.calls[0].text.startsWith("The frame size "));
        EXPECT_TRUE(env.ui.calls[0].text.contains("8192*8192"));
        EXPECT_EQ(env.ui.calls[0].caption, ApplicationName());
        EXPECT_TRUE(env.ui.calls[0].hadOwner);
        EXPECT_TRUE(d->isVisible());
        EXPECT_TRUE(NothingStored());
    }
    EXPECT_EQ(env.ui.calls[0].text,
              "The frame size 8200*8200 is too large! The largest frame size is 8192*8192.");
    // Rounding comes first: 8199 is 8192, the largest size taken.
    env.ui.Clear();
    Edit(*d, D::IDC_EDIT_WIDTH)->setText("8199");
    Edit(*d, D::IDC_EDIT_HEIGHT)->setText("-5");
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    EXPECT_TRUE(env.ui.calls.empty());
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->Settings().outputWidth, 8192);
    EXPECT_EQ(d->Settings().outputHeight, 16);
}

TEST_F(OutputOptionsDialogTest, SizeTextThatIsNoNumberBecomesSixteen) {
    settings.outputWidth = 700;
    settings.outputHeight = 500;
    auto d = Open();
    Edit(*d, D::IDC_EDIT_WIDTH)->setText("wide");
    Edit(*d, D::IDC_EDIT_HEIGHT)->setText("  480px");
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(d->Settings().outputWidth, 16);
    EXPECT_EQ(d->Settings().outputHeight, 480);
}

TEST_F(OutputOptionsDialogTest, CustomRateOfZeroIsRefusedAndAThousandthAccepted) {
    settings.frameRateIndex = 6;
    settings.outputFrameRate = 12.5;
    auto d = Open();
    d->show();
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_FRAME_RATE)->currentIndex(), 6);
    EXPECT_TRUE(Shown(*d, D::IDC_EDIT_FRAME_RATE));
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_FRAME_RATE)->text(), "12.500");

    for (const char* text : {"0", "", "fast", "0.0009", "0.999", "-25", "nan"}) {
        SCOPED_TRACE(text);
        env.ui.Clear();
        Edit(*d, D::IDC_EDIT_FRAME_RATE)->setText(text);
        Press(*d, D::IDC_BUTTON_OPTIONS_OK);
        EXPECT_EQ(env.ui.MessageTexts(), QStringList{"The frame rate is too small!"});
        EXPECT_EQ(env.ui.calls[0].caption, ApplicationName());
        EXPECT_TRUE(d->isVisible());
        EXPECT_TRUE(NothingStored());
    }
    env.ui.Clear();
    Edit(*d, D::IDC_EDIT_FRAME_RATE)->setText("1");
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    EXPECT_TRUE(env.ui.calls.empty());
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_DOUBLE_EQ(d->Settings().outputFrameRate, 1.0);
    EXPECT_EQ(d->Settings().frameRateIndex, 6);
    auto store = env.ReopenStore();
    EXPECT_EQ(store->GetString("Settings", "OutputFrameRate", ""), "1");
    EXPECT_EQ(store->GetInt("Settings", "OutputFrameRateIndex", -1), 6);
}

TEST_F(OutputOptionsDialogTest, RateTextIsReadAsANumberPrefix) {
    settings.frameRateIndex = 6;
    settings.outputFrameRate = 30.0;
    auto d = Open();
    Edit(*d, D::IDC_EDIT_FRAME_RATE)->setText("25,5 fps");
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_DOUBLE_EQ(d->Settings().outputFrameRate, 25.0);
    // The text is stored as typed; it reads as 25 again at the next start.
    EXPECT_EQ(env.ReopenStore()->GetString("Settings", "OutputFrameRate", ""), "25,5 fps");
}

TEST_F(OutputOptionsDialogTest, AbsurdCustomRatesAreRefused) {
    settings.frameRateIndex = 6;
    auto d = Open();
    for (const char* text : {"1e9", "inf", "1e309", "1000.5"}) {
        SCOPED_TRACE(text);
        env.ui.Clear();
        Edit(*d, D::IDC_EDIT_FRAME_RATE)->setText(text);
        Press(*d, D::IDC_BUTTON_OPTIONS_OK);
        EXPECT_EQ(env.ui.MessageTexts(),
                  QStringList{"The frame rate is too large! The largest frame rate is 1000."});
        EXPECT_NE(d->result(), QDialog::Accepted);
        EXPECT_TRUE(NothingStored());
    }
    Edit(*d, D::IDC_EDIT_FRAME_RATE)->setText("1000");
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    EXPECT_EQ(d->result(), QDialog::Accepted);
}

TEST_F(OutputOptionsDialogTest, FrameRateChoicesFillTheRateBox) {
    video = {640, 480, 29.97, 1};
    settings.frameRateIndex = 3;
    settings.outputFrameRate = 25.0;
    auto d = Open();
    QLineEdit* box = Edit(*d, D::IDC_EDIT_FRAME_RATE);
    EXPECT_EQ(box->text(), "25.000"); // as the dialog opened on it
    QComboBox* rates = Combo(*d, D::IDC_COMBO_FRAME_RATE);
    rates->setCurrentIndex(2);
    EXPECT_EQ(box->text(), "24.000000"); // after the user picked it
    EXPECT_FALSE(Shown(*d, D::IDC_EDIT_FRAME_RATE));
    rates->setCurrentIndex(6);
    EXPECT_EQ(box->text(), "25.000");
    EXPECT_TRUE(Shown(*d, D::IDC_EDIT_FRAME_RATE));
    rates->setCurrentIndex(0);
    EXPECT_EQ(box->text(), "29.970000");
    rates->setCurrentIndex(4);
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_DOUBLE_EQ(d->Settings().outputFrameRate, 29.97);
    EXPECT_EQ(env.ReopenStore()->GetString("Settings", "OutputFrameRate", ""), "29.970000");
}

TEST_F(OutputOptionsDialogTest, OriginalRateStoresTheFixedTextAndTakesTheSourceRate) {
    video = {640, 480, 29.97, 1};
    settings.frameRateIndex = 0;
    auto d = Open();
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_FRAME_RATE)->text(), "23.976000");
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_FRAME_RATE)->currentIndex(), 0);
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_DOUBLE_EQ(d->Settings().outputFrameRate, 29.97);
    EXPECT_EQ(d->Settings().frameRateIndex, 0);
    auto store = env.ReopenStore();
    EXPECT_EQ(store->GetString("Settings", "OutputFrameRate", ""), "23.976");
    EXPECT_EQ(store->GetInt("Settings", "OutputFrameRateIndex", -1), 0);
}

TEST_F(OutputOptionsDialogTest, WindowsMediaShowsTheBitRatesAndDefaultPutsThemBack) {
    settings.outputFormat = kContainerWmv;
    settings.videoBitrate = 512 * 1024;
    settings.audioBitrate = 320000;
    auto d = Open();
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_OUTPUT_FILE)->text(), env.TempPath("clip.wmv"));
    for (int id : {D::IDC_EDIT_VIDEO_BITRATE, D::IDC_COMBO_AUDIO_BITRATE,
                   D::IDC_STATIC_VIDEO_COMPRESSOR_BITRATE, D::IDC_STATIC_AUDIO_COMPRESSOR_BITRATE,
                   D::IDC_STATIC_VIDEO_KBPS, D::IDC_STATIC_AUDIO_KBPS})
        EXPECT_TRUE(Shown(*d, id)) << id;
    for (int id :
         {D::IDC_STATIC_VIDEO_COMPRESSOR, D::IDC_STATIC_AUDIO_COMPRESSOR,
          D::IDC_COMBO_AUDIO_COMPRESSOR, D::IDC_BUTTON_VIDEO_CODEC_SETTINGS,
          D::IDC_COMBO_VIDEO_COMPRESSOR, D::IDC_STATIC_OPTIONS_NOTE, D::IDC_EDIT_AUDIO_BITRATE})
        EXPECT_FALSE(Shown(*d, id)) << id;
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_VIDEO_BITRATE)->text(), "512");
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_AUDIO_BITRATE)->currentText(), "320");
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_AUDIO_BITRATE)->text(), "320");

    Press(*d, D::IDC_BUTTON_OUTPUT_DEAULT);
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_VIDEO_BITRATE)->text(), "780");
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_AUDIO_BITRATE)->currentIndex(), 1);
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_AUDIO_BITRATE)->currentText(), "128");
}

TEST_F(OutputOptionsDialogTest, VideoBitRateIsStoredTimes1024) {
    settings.outputFormat = kContainerAsf;
    auto d = Open();
    Edit(*d, D::IDC_EDIT_VIDEO_BITRATE)->setText("780");
    Combo(*d, D::IDC_COMBO_AUDIO_BITRATE)->setCurrentIndex(2);
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(d->Settings().videoBitrate, 798720);
    EXPECT_EQ(d->Settings().audioBitrate, 192000);
    auto store = env.ReopenStore();
    EXPECT_EQ(store->GetInt("Settings", "n_video_bitrate", -1), 798720);
    EXPECT_EQ(store->GetInt("Settings", "n_audio_bitrate", -1), 192000);
    EXPECT_EQ(store->GetInt("Settings", "nOuptputFormat", -1), kContainerAsf);
}

TEST_F(OutputOptionsDialogTest, UnknownAudioRateKeepsTheOldValueAndHugeVideoRateIsHeld) {
    settings.outputFormat = kContainerWmv;
    settings.audioBitrate = 96000;
    auto d = Open();
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_AUDIO_BITRATE)->currentIndex(), -1);
    Edit(*d, D::IDC_EDIT_VIDEO_BITRATE)->setText("99999999");
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(d->Settings().audioBitrate, 96000);
    EXPECT_EQ(d->Settings().videoBitrate, 2147483647);
    EXPECT_EQ(env.ReopenStore()->GetInt("Settings", "n_audio_bitrate", -1), 96000);
}

TEST_F(OutputOptionsDialogTest, UnsupportedContainerOpensWithTwoMessagesAndIsKept) {
    settings.outputFormat = 7;
    settings.outputPath = "/tmp/kept.mkv";
    auto d = Open();
    ASSERT_EQ(env.ui.MessageTexts(),
              (QStringList{"Does not support the video format", "unknown error"}));
    EXPECT_EQ(env.ui.calls[0].caption, "Error");
    EXPECT_EQ(env.ui.calls[1].caption, "error");
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_OUTPUT_FILE)->text(), "/tmp/kept.mkv");
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_OUTPUT_FORMAT)->currentIndex(), 7);
    EXPECT_FALSE(Shown(*d, D::IDC_COMBO_VIDEO_COMPRESSOR));
    env.ui.Clear();
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(d->Settings().outputFormat, 7);
    EXPECT_EQ(env.ReopenStore()->GetInt("Settings", "nOuptputFormat", -1), 7);
    EXPECT_EQ(env.ReopenStore()->GetString("Settings", "OutputName", ""), "/tmp/kept.mkv");

    // Outside the list the container is stored as -1.
    settings.outputFormat = 25;
    env.ui.Clear();
    d = Open();
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_OUTPUT_FORMAT)->currentIndex(), -1);
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    EXPECT_EQ(d->Settings().outputFormat, -1);
    EXPECT_EQ(env.ReopenStore()->GetInt("Settings", "nOuptputFormat", 0), -1);
}

TEST_F(OutputOptionsDialogTest, StoredCompressorChoicesSelectAndOkBinds) {
    env.settings->WriteInt("DexVideoCompress", "CompressorNumber", 2);
    env.settings->WriteInt("DexAudioCompress", "CompressorNumber", -1);
    auto d = Open();
    QComboBox* videoList = Combo(*d, D::IDC_COMBO_VIDEO_COMPRESSOR);
    QComboBox* audioList = Combo(*d, D::IDC_COMBO_AUDIO_COMPRESSOR);
    EXPECT_EQ(videoList->itemText(0), "Full frames (uncompressed)");
    EXPECT_EQ(audioList->itemText(0), "Uncompressed Audio");
    EXPECT_EQ(videoList->currentText(), "On2 VP8 Encoder");
    EXPECT_EQ(audioList->currentIndex(), 0);
    EXPECT_TRUE(Shown(*d, D::IDC_COMBO_VIDEO_COMPRESSOR));
    EXPECT_TRUE(Shown(*d, D::IDC_BUTTON_VIDEO_CODEC_SETTINGS));
    EXPECT_TRUE(Shown(*d, D::IDC_STATIC_OPTIONS_NOTE));
    EXPECT_FALSE(Shown(*d, D::IDC_EDIT_VIDEO_BITRATE));

    audioList->setCurrentIndex(2);
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(d->Settings().useVideoCompressor, 1);
    EXPECT_EQ(d->Settings().useAudioCompressor, 1);
    ASSERT_TRUE(SelectedVideoCompressor());
    EXPECT_EQ(SelectedVideoCompressor()->FactoryName(), "vp8enc");
    ASSERT_TRUE(SelectedAudioCompressor());
    EXPECT_EQ(SelectedAudioCompressor()->FactoryName(), "lamemp3enc");
    auto store = env.ReopenStore();
    EXPECT_EQ(store->GetInt("DexVideoCompress", "CompressorNumber", 9), 2);
    EXPECT_EQ(store->GetInt("DexAudioCompress", "CompressorNumber", 9), 1);
}

// A copy keeps the source's size, rate and sound, so choosing it sets them.
TEST_F(OutputOptionsDialogTest, ChoosingCopySetsTheSourcesSizeRateAndSound) {
    video = {1280, 720, 25.0, 1};
    settings.outputWidth = 320;
    settings.outputHeight = 240;
    auto d = Open();
    Combo(*d, D::IDC_COMBO_FRAME_RATE)->setCurrentIndex(2);
    QComboBox* videoList = Combo(*d, D::IDC_COMBO_VIDEO_COMPRESSOR);
    videoList->setCurrentIndex(videoList->count() - 1);
    ASSERT_EQ(videoList->currentText(), "Copy (no re-encoding)");
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_AUDIO_COMPRESSOR)->currentText(), "Copy (no re-encoding)");
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(d->Settings().outputWidth, 1280);
    EXPECT_EQ(d->Settings().outputHeight, 720);
    EXPECT_EQ(d->Settings().frameRateIndex, 0);
}

TEST_F(OutputOptionsDialogTest, StoredChoiceBeyondTheListLeavesNoSelectionAndStoresMinusTwo) {
    env.settings->WriteInt("DexVideoCompress", "CompressorNumber", 3); // position 4 of 4
    settings.useVideoCompressor = 0;
    SelectedVideoCompressor() = media::Filter::Create("x264enc");
    auto d = Open();
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_VIDEO_COMPRESSOR)->currentIndex(), -1);
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(env.ReopenStore()->GetInt("DexVideoCompress", "CompressorNumber", 9), -2);
    EXPECT_EQ(d->Settings().useVideoCompressor, 1);
    EXPECT_FALSE(SelectedVideoCompressor()); // released, nothing bound
}

TEST_F(OutputOptionsDialogTest, NothingChosenYetSelectsThePreferredAndDefaultReturnsToIt) {
    auto d = Open();
    QComboBox* videoList = Combo(*d, D::IDC_COMBO_VIDEO_COMPRESSOR);
    QComboBox* audioList = Combo(*d, D::IDC_COMBO_AUDIO_COMPRESSOR);
    EXPECT_EQ(videoList->currentIndex(), 2); // the DivX one
    EXPECT_EQ(audioList->currentIndex(), 0); // no "microsoft adpcm"
    videoList->setCurrentIndex(1);
    audioList->setCurrentIndex(2);
    Edit(*d, D::IDC_EDIT_OUTPUT_FILE)->setText("/tmp/changed.mkv");
    Press(*d, D::IDC_BUTTON_OUTPUT_DEAULT);
    EXPECT_EQ(videoList->currentIndex(), 2);
    EXPECT_EQ(audioList->currentIndex(), 0);
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_OUTPUT_FILE)->text(), "/tmp/changed.mkv");
    // Choosing the first entry keeps the earlier instance but clears the flag.
    auto earlier = media::Filter::Create("vorbisenc");
    SelectedAudioCompressor() = earlier;
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    EXPECT_EQ(d->Settings().useAudioCompressor, 0);
    EXPECT_EQ(SelectedAudioCompressor(), earlier);
    EXPECT_EQ(env.ReopenStore()->GetInt("DexAudioCompress", "CompressorNumber", 9), -1);
}

TEST_F(OutputOptionsDialogTest, OkStoresEveryValueAndCarriesTheRest) {
    video = {320, 240, 25.0, 1};
    settings.outputWidth = 320;
    settings.outputHeight = 240;
    settings.resizeMode = 0;
    settings.fileProfile = 1;
    env.settings->WriteInt("Settings", "b_file_profile", 1);
    auto d = Open();
    QComboBox* resize = Combo(*d, D::IDC_COMBO_RESIZE_MODE);
    EXPECT_EQ(resize->itemText(0), "Preserve aspect ratio");
    EXPECT_EQ(resize->itemText(1), "Stretch");
    EXPECT_EQ(resize->currentIndex(), 1);
    resize->setCurrentIndex(0);
    Edit(*d, D::IDC_EDIT_OUTPUT_FILE)->setText("/somewhere/typed name.avi");
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    ASSERT_EQ(d->result(), QDialog::Accepted);
    const OutputSettings& out = d->Settings();
    EXPECT_EQ(out.resizeMode, 2);
    EXPECT_EQ(out.fileProfile, 1);
    EXPECT_EQ(out.outputPath, "/somewhere/typed name.avi"); // exactly as typed
    EXPECT_EQ(out.outputWidth, 320);
    auto store = env.ReopenStore();
    for (const auto& key : kStoredKeys)
        EXPECT_TRUE(store->Contains(key[0], key[1])) << key[1];
    EXPECT_EQ(store->GetString("Settings", "OutputName", ""), "/somewhere/typed name.avi");
    EXPECT_EQ(store->GetString("Settings", "OutputFrameRate", ""), "23.976");
    EXPECT_EQ(store->GetInt("Settings", "b_file_profile", 0), 1);
}

TEST_F(OutputOptionsDialogTest, CancelStoresNothing) {
    settings.outputWidth = 700;
    settings.outputHeight = 500;
    auto d = Open();
    Edit(*d, D::IDC_EDIT_WIDTH)->setText("320");
    Press(*d, D::IDC_BUTTON_OPTIONS_CANCEL);
    EXPECT_EQ(d->result(), QDialog::Rejected);
    EXPECT_TRUE(NothingStored());
    EXPECT_EQ(d->Settings().outputWidth, 700);
    EXPECT_FALSE(SelectedVideoCompressor());
}

TEST_F(OutputOptionsDialogTest, BrowseStartsInTheFolderOfTheName) {
    settings.outputPath = "clip.mkv";
    auto d = Open();
    env.ui.fileAnswers.push_back(env.TempPath("picked.avi"));
    Press(*d, D::IDC_BUTTON_BROWSE);
    ASSERT_EQ(env.ui.calls.size(), 1u);
    const test::UiCall& call = env.ui.calls[0];
    EXPECT_EQ(call.kind, test::UiCall::SaveFile);
    EXPECT_EQ(call.file.startFolder, ".");
    EXPECT_EQ(call.file.title, "Select Output File Name");
    EXPECT_EQ(call.file.fileName, "*.*");
    EXPECT_EQ(call.file.owner, d.get());
    ASSERT_EQ(call.file.filters.size(), 1);
    EXPECT_EQ(call.file.filters[0].text, "Matroska video file(*.mkv)");
    EXPECT_TRUE(call.file.filters[0].pattern.isEmpty());
    EXPECT_EQ(call.file.selectedFilter, 0);
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_OUTPUT_FILE)->text(), env.TempPath("picked.mkv"));
    EXPECT_TRUE(NothingStored()); // nothing until OK

    // A cancelled file dialog changes nothing; the start folder is that of
    // the name the dialog opened with.
    settings.outputPath = "/srv/videos/in.dir/clip.mkv";
    d = Open();
    env.ui.Clear();
    Press(*d, D::IDC_BUTTON_BROWSE);
    EXPECT_EQ(env.ui.calls[0].file.startFolder, "/srv/videos/in.dir");
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_OUTPUT_FILE)->text(), "/srv/videos/in.dir/clip.mkv");
}

TEST_F(OutputOptionsDialogTest, BrowseForAnUnsupportedContainerHasNoFilterAndKeepsTheName) {
    settings.outputFormat = 9;
    settings.outputPath = "/tmp/kept.mkv";
    auto d = Open();
    env.ui.Clear();
    env.ui.fileAnswers.push_back(QString("/tmp/other.mov"));
    Press(*d, D::IDC_BUTTON_BROWSE);
    ASSERT_EQ(env.ui.calls.size(), 3u);
    EXPECT_EQ(env.ui.calls[0].text, "Does not support the video format");
    EXPECT_TRUE(env.ui.calls[0].hadOwner);
    EXPECT_TRUE(env.ui.calls[1].file.filters.isEmpty());
    EXPECT_EQ(env.ui.calls[2].text, "Does not support the video format");
    EXPECT_FALSE(env.ui.calls[2].hadOwner);
    EXPECT_EQ(Edit(*d, D::IDC_EDIT_OUTPUT_FILE)->text(), "/tmp/kept.mkv");
}

// The Settings button on the installed encoders.
TEST_F(OutputOptionsDialogTest, FullFramesFindsNothingAndDoesNothing) {
    auto d = Open(&MediaCompressorSource());
    Combo(*d, D::IDC_COMBO_VIDEO_COMPRESSOR)->setCurrentIndex(0);
    bool opened = false;
    auto watcher = WhenModal<QDialog>([](QDialog* dialog) { dialog->reject(); }, &opened);
    Press(*d, D::IDC_BUTTON_VIDEO_CODEC_SETTINGS);
    EXPECT_FALSE(opened);
    EXPECT_TRUE(env.ui.calls.empty());
    EXPECT_GT(Combo(*d, D::IDC_COMBO_VFW_CODECS)->count(), 0); // listed, nothing matched
    EXPECT_FALSE(CodecStateBlocks::Instance().Has("x264enc"));
}

TEST_F(OutputOptionsDialogTest, SettingsTwiceOpensTheSecondEditorWithTheFirstOnesState) {
    std::vector<CompressorDevice> installed;
    ASSERT_EQ(media::EnumerateCompressors(CompressorKind::Video, installed), media::S_OK);
    int x264 = -1;
    for (size_t i = 0; i < installed.size(); ++i) {
        if (installed[i].factoryName == "x264enc")
            x264 = static_cast<int>(i);
    }
    ASSERT_GE(x264, 0);
    auto d = Open(&MediaCompressorSource());
    d->show();
    Combo(*d, D::IDC_COMBO_VIDEO_COMPRESSOR)->setCurrentIndex(x264 + 1);

    bool ran = false;
    QWidget* owner = nullptr;
    auto watcher = WhenModal<PropertyEditorDialog>(
        [&](PropertyEditorDialog* editor) {
            owner = editor->parentWidget();
            qobject_cast<QSpinBox*>(editor->Editor("bitrate"))->setValue(48);
            qobject_cast<QSpinBox*>(editor->Editor("key-int-max"))->setValue(7);
            editor->Buttons()->button(QDialogButtonBox::Ok)->click();
        },
        &ran);
    Press(*d, D::IDC_BUTTON_VIDEO_CODEC_SETTINGS);
    ASSERT_TRUE(ran);
    EXPECT_EQ(owner, d.get());
    EXPECT_EQ(Combo(*d, D::IDC_COMBO_VFW_CODECS)->currentText(),
              Combo(*d, D::IDC_COMBO_VIDEO_COMPRESSOR)->currentText());
    EXPECT_FALSE(Shown(*d, D::IDC_COMBO_VFW_CODECS));

    int bitrate = 0;
    int keyInterval = 0;
    watcher = WhenModal<PropertyEditorDialog>(
        [&](PropertyEditorDialog* editor) {
            bitrate = qobject_cast<QSpinBox*>(editor->Editor("bitrate"))->value();
            keyInterval = qobject_cast<QSpinBox*>(editor->Editor("key-int-max"))->value();
            editor->Buttons()->button(QDialogButtonBox::Cancel)->click();
        },
        &ran);
    Press(*d, D::IDC_BUTTON_VIDEO_CODEC_SETTINGS);
    ASSERT_TRUE(ran);
    EXPECT_EQ(bitrate, 48);
    EXPECT_EQ(keyInterval, 7);
    EXPECT_TRUE(env.ui.calls.empty());

    // OK binds a new instance of the encoder, which carries the settings
    // into the conversion.
    Press(*d, D::IDC_BUTTON_OPTIONS_OK);
    ASSERT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(d->Settings().useVideoCompressor, 1);
    ASSERT_TRUE(SelectedVideoCompressor());
    EXPECT_EQ(SelectedVideoCompressor()->FactoryName(), "x264enc");
    EXPECT_EQ(SelectedVideoCompressor()->GetProperty("bitrate"), "48");
    EXPECT_EQ(SelectedVideoCompressor()->GetProperty("key-int-max"), "7");
    EXPECT_EQ(env.ReopenStore()->GetInt("DexVideoCompress", "CompressorNumber", -9), x264);
}

TEST(OutputOptionsValues, NumberRules) {
    EXPECT_EQ(ReadIntegerPrefix("  -42abc"), -42);
    EXPECT_EQ(ReadIntegerPrefix("+7"), 7);
    EXPECT_EQ(ReadIntegerPrefix("x1"), 0);
    EXPECT_EQ(ReadIntegerPrefix(""), 0);
    EXPECT_EQ(ReadIntegerPrefix("-99999999999999999999"), INT32_MIN);
    EXPECT_EQ(RoundFrameSide(30), 24);
    EXPECT_EQ(RoundFrameSide(9), 16);
    EXPECT_EQ(RoundFrameSide(-17), 16);
    EXPECT_EQ(RoundFrameSide(INT32_MAX), 2147483640);
    EXPECT_EQ(RoundFrameSide(INT32_MIN), 16);
    EXPECT_EQ(KbpsToVideoBitrate(780), 798720);
    EXPECT_EQ(KbpsToVideoBitrate(-3000000), INT32_MIN);
    EXPECT_EQ(BrowseStartFolder("/out.mkv"), "/");
    EXPECT_EQ(BrowseStartFolder("a/b/c.mkv"), "a/b");
    EXPECT_EQ(BrowseStartFolder(""), ".");
}

// Both layouts drawn: the shown controls lie inside the dialog, do not cover
// each other and have room for their texts. With ORVELIN_SCREENSHOT_DIR set
// the pictures are saved there.
TEST_F(OutputOptionsDialogTest, BothLayoutsFitTheDialog) {
    const QString folder = qEnvironmentVariable("ORVELIN_SCREENSHOT_DIR");
    video = {1280, 720, 29.97, 1};
    settings.outputWidth = 700;
    settings.outputHeight = 500;
    settings.frameRateIndex = 6;
    for (int32_t format : {kContainerMkv, kContainerWmv}) {
        SCOPED_TRACE(format);
        settings.outputFormat = format;
        auto d = Open();
        d->show();
        ASSERT_TRUE(test::WaitFor([&] { return d->isVisible(); }));
        std::vector<QWidget*> shown;
        for (QWidget* w : d->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (w->property("controlId").isValid() && w->isVisibleTo(d.get()))
                shown.push_back(w);
        }
        EXPECT_EQ(shown.size(), 21u);
        const DialogUnits du(d->font());
        for (QWidget* w : shown) {
            const int id = w->property("controlId").toInt();
            EXPECT_TRUE(d->rect().contains(w->geometry())) << id;
            for (QWidget* other : shown) {
                // The video compressor list reaches one unit under Settings.
                const QRect common = w->geometry() & other->geometry();
                if (other != w) {
                    EXPECT_TRUE(common.isEmpty() || common.width() <= du.X(1))
                        << id << " " << other->property("controlId").toInt();
                }
            }
            QString text;
            if (auto* label = qobject_cast<QLabel*>(w); label && !label->wordWrap())
                text = label->text();
            else if (auto* button = qobject_cast<QPushButton*>(w))
                text = button->text();
            EXPECT_LE(w->fontMetrics().horizontalAdvance(text), w->width()) << id;
        }
        if (!folder.isEmpty())
            d->grab().save(QStringLiteral("%1/output-options-%2.png")
                               .arg(folder, format == kContainerWmv ? "bitrates" : "compressors"));
    }
}
