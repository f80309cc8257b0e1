// The whole road through the real windows: open a video, choose output
// options (frame rate, resize mode, compressors, an encoder setting changed
// through Settings), convert, and check the file has exactly those
// properties.
#include "app/SettingsStore.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "media/Filter.h"
#include "options/CompressorCatalog.h"
#include "options/OutputOptionsDialog.h"
#include "options/PropertyEditorDialog.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace orvelin;
using namespace orvelin::test;

namespace {
// Runs `step` on the next modal window of type T as soon as it is shown.
template <typename T> void OnNextModal(std::function<void(T&)> step) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, step] {
        if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            step(*modal);
        }
    });
    timer->start(20);
}

void Choose(QComboBox* list, const QString& containing) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i).contains(containing, Qt::CaseInsensitive)) {
            list->setCurrentIndex(i);
            return;
        }
    }
    ADD_FAILURE() << "no entry with " << containing.toStdString();
}
} // namespace

TEST(GuiOptionsConvert, TheChosenOptionsReachTheFile) {
    TestEnv env;
    QTemporaryDir dir;
    // Noise is expensive to encode, so the encoder's bit rate shows in the size.
    const QString source = dir.filePath("noise.mkv");
    QString log;
    ASSERT_TRUE(RunGstLaunch(
        QString("matroskamux name=m ! filesink location=\"%1\" "
                "videotestsrc pattern=snow num-buffers=120 ! "
                "video/x-raw,width=320,height=240,framerate=30/1 ! x264enc speed-preset=ultrafast "
                "bitrate=4000 ! h264parse ! m. "
                "audiotestsrc num-buffers=180 samplesperbuffer=1000 ! "
                "audio/x-raw,rate=44100,channels=2 ! audioconvert ! vorbisenc ! m.")
            .arg(source),
        &log))
        << log.toStdString();
    const QString output = dir.filePath("chosen.mkv");
    env.settings->WriteString("Settings", "OutputName", output);

    MainDialog dialog(*env.context);
    dialog.show();
    env.ui.fileAnswers.push_back(source);
    qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_OPEN_VIDEO))->click();
    ASSERT_EQ(dialog.State().itemCount, 1);

    bool editorShown = false;
    OnNextModal<OutputOptionsDialog>([&](OutputOptionsDialog& options) {
        auto combo = [&](int id) { return qobject_cast<QComboBox*>(options.Control(id)); };
        Choose(combo(OutputOptionsDialog::IDC_COMBO_FRAME_RATE), "25");
        Choose(combo(OutputOptionsDialog::IDC_COMBO_RESIZE_MODE), "Stretch");
        Choose(combo(OutputOptionsDialog::IDC_COMBO_VIDEO_COMPRESSOR), "x264");
        Choose(combo(OutputOptionsDialog::IDC_COMBO_AUDIO_COMPRESSOR), "Vorbis");
        OnNextModal<PropertyEditorDialog>([&](PropertyEditorDialog& editor) {
            editorShown = true;
            qobject_cast<QSpinBox*>(editor.Editor("bitrate"))->setValue(64);
            editor.Buttons()->button(QDialogButtonBox::Ok)->click();
        });
        qobject_cast<QAbstractButton*>(
            options.Control(OutputOptionsDialog::IDC_BUTTON_VIDEO_CODEC_SETTINGS))
            ->click();
        qobject_cast<QAbstractButton*>(options.Control(OutputOptionsDialog::IDC_BUTTON_OPTIONS_OK))
            ->click();
    });
    qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_OPTIONS))->click();
    ASSERT_TRUE(editorShown);
    const OutputSettings& out = dialog.State().output;
    EXPECT_EQ(out.frameRateIndex, 3);
    EXPECT_DOUBLE_EQ(out.outputFrameRate, 25.0);
    EXPECT_EQ(out.resizeMode, 0);
    EXPECT_EQ(out.useVideoCompressor, 1);
    EXPECT_EQ(out.useAudioCompressor, 1);
    ASSERT_TRUE(SelectedVideoCompressor());
    EXPECT_EQ(SelectedVideoCompressor()->GetProperty("bitrate"), "64");

    env.ui.Clear();
    qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_CONVERT))->click();
    ASSERT_EQ(dialog.State().converting, 1) << env.ui.MessageTexts().join("|").toStdString();
    ASSERT_TRUE(WaitFor([&] { return dialog.State().converting == 0; }, std::chrono::seconds(120)));
    EXPECT_TRUE(dialog.ControlText(IDC_STATIC_OUTPUT_INFO).startsWith("Done"))
        << dialog.ControlText(IDC_STATIC_OUTPUT_INFO).toStdString();

    const MediaFacts facts = Discover(output);
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_EQ(facts.width, 320);
    EXPECT_EQ(facts.height, 240);
    EXPECT_EQ(facts.fpsNum, 25);
    EXPECT_EQ(facts.fpsDen, 1);
    EXPECT_NEAR(facts.durationSeconds, 4.0, 0.05);
    EXPECT_TRUE(facts.raw.contains("video/x-h264")) << facts.raw.toStdString();
    EXPECT_TRUE(facts.raw.contains("audio/x-vorbis")) << facts.raw.toStdString();
    // 4 s of noise at 64 kbit/s plus the sound stays far below what the
    // encoder's default 2048 kbit/s would write (about 1 MB).
    EXPECT_LT(QFileInfo(output).size(), 250 * 1024);
}
