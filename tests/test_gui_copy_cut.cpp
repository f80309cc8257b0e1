// Cuts without re-encoding through the main window: chosen in Output
// options, run by Convert, ended by Stop, refused or failed - checked on the
// written file with ffmpeg and on the files left in the output's folder.
#include "app/DesktopSession.h"
#include "convert/ConversionController.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "options/CompressorCatalog.h"
#include "options/OutputOptionsDialog.h"
#include "options/OutputSettings.h"
#include "preview/PreviewPlayer.h"
#include "support/MainWindowTest.h"
#include "support/MediaFixtures.h"
#include "support/ModalWatch.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

using namespace orvelin;
using namespace orvelin::test;

namespace {

constexpr const char* kH264 = "x264enc key-int-max=12 bframes=2 speed-preset=ultrafast ! h264parse";

QByteArray Tool(const QString& tool, const QStringList& args) {
    QProcess p;
    p.start(tool, args);
    p.waitForFinished(60000);
    return (p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
}

// What ffmpeg says when it decodes the whole file; empty for a clean one.
QByteArray DecodeErrors(const QString& path) {
    return Tool("ffmpeg", {"-v", "error", "-i", path, "-f", "null", "-"});
}

int VideoFrames(const QString& path) {
    return Tool("ffprobe", {"-v", "error", "-select_streams", "v", "-count_packets",
                            "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", path})
        .toInt();
}

QByteArray Hash(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1)
               : QByteArray();
}

// Records the progress the main window gives the desktop.
struct ProgressSession : DesktopSession {
    std::vector<double> progress;
    void SetProgress(double fraction) override { progress.push_back(fraction); }
    void Notify(const QString&, const QString&) override {}
};

class GuiCopyCutTest : public MainWindowTest {
protected:
    void SetUp() override { SetDesktopSession(&session_); }
    void TearDown() override {
        dialog_.reset();
        SetDesktopSession(nullptr);
    }

    // `frames` pictures of `size` at 25 fps made by `encoder`, with AAC sound.
    QString Source(const QString& name, int frames, const char* encoder = kH264,
                   const char* size = "width=320,height=240") {
        const QString path = dir_.filePath(name);
        QString log;
        EXPECT_TRUE(RunGstLaunch(
            QStringLiteral("videotestsrc pattern=ball num-buffers=%1 ! "
                           "video/x-raw,format=I420,%2,framerate=25/1 ! %3 ! %4 name=m ! "
                           "filesink location=\"%5\" audiotestsrc num-buffers=%6 "
                           "samplesperbuffer=1024 ! audio/x-raw,rate=48000 ! avenc_aac ! m.")
                .arg(frames)
                .arg(QLatin1String(size), QLatin1String(encoder),
                     name.endsWith(".mp4") ? "mp4mux" : "matroskamux", path)
                .arg(frames * 48000 / 25 / 1024),
            &log))
            << log.toStdString();
        return path;
    }

    // Chooses "Copy (no re-encoding)" for both streams in Output options,
    // at the source's frame rate.
    void ChooseCopy() {
        bool shown = false;
        auto watch = WhenModal<OutputOptionsDialog>(
            [](OutputOptionsDialog* options) {
                auto list = [&](int id) { return qobject_cast<QComboBox*>(options->Control(id)); };
                list(OutputOptionsDialog::IDC_COMBO_FRAME_RATE)->setCurrentIndex(0);
                for (int id : {OutputOptionsDialog::IDC_COMBO_VIDEO_COMPRESSOR,
                               OutputOptionsDialog::IDC_COMBO_AUDIO_COMPRESSOR})
                    list(id)->setCurrentIndex(list(id)->findText(kCopyEntry));
                qobject_cast<QAbstractButton*>(
                    options->Control(OutputOptionsDialog::IDC_BUTTON_OPTIONS_OK))
                    ->click();
            },
            &shown);
        Click(IDC_BUTTON_OPTIONS);
        ASSERT_TRUE(shown);
        ASSERT_EQ(dialog_->State().output.useVideoCompressor, kCopyStream);
        ASSERT_EQ(dialog_->State().output.useAudioCompressor, kCopyStream);
    }
    // The same choice made straight in the window's state (a source whose
    // lists may not offer it, too).
    void UseCopy() {
        OutputSettings& out = dialog_->State().output;
        out.useVideoCompressor = out.useAudioCompressor = kCopyStream;
        out.frameRateIndex = 0;
    }

    void Mark(double start, double end) {
        PreviewPlayer* player = dialog_->Player();
        for (auto [at, button] :
             {std::pair{start, IDC_BUTTON_START_TIME}, {end, IDC_BUTTON_END_TIME}}) {
            const qint64 position = qRound64(at * 1e7);
            player->SeekTo(position);
            ASSERT_TRUE(WaitFor([&] { return player->CurrentPosition() == position; }));
            Click(button);
        }
    }

    // Clicks Convert; false when no job started.
    bool Convert() {
        env_.ui.Clear();
        Click(IDC_BUTTON_CONVERT);
        return dialog_->State().converting == 1;
    }
    bool WaitUntilIdle() {
        return WaitFor([&] { return dialog_->State().converting == 0; }, std::chrono::seconds(60));
    }

    // The hidden files in the output's folder (partial and lock files).
    std::string Hidden() const {
        const QStringList all = QDir(dir_.path()).entryList(QDir::Hidden | QDir::Files);
        return all.filter(QRegularExpression("^\\.")).join(' ').toStdString();
    }

    ProgressSession session_;
};

} // namespace

// The marked part, both marks between keyframes, is written whole and ends
// in "Done", with the controls given back.
TEST_F(GuiCopyCutTest, ACopyOfTheMarkedPartEndsInDone) {
    const QString output = dir_.filePath("cut.mkv");
    OpenAndShow(Source("clip.mp4", 100), output);
    const QString title = dialog_->windowTitle();
    ChooseCopy();
    Mark(0.72, 3.32);
    ASSERT_TRUE(Convert()) << Messages().toStdString();
    EXPECT_EQ(dialog_->ControlText(IDC_BUTTON_CONVERT), "Stop");
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_TRUE(Status().startsWith("Done. ")) << Status().toStdString();
    EXPECT_EQ(Messages().toStdString(), "");
    EXPECT_EQ(dialog_->ControlText(IDC_BUTTON_CONVERT), "Convert");
    EXPECT_EQ(dialog_->windowTitle(), title);
    EXPECT_EQ(DecodeErrors(output), QByteArray());
    EXPECT_EQ(VideoFrames(output), 65); // 0.72 s to 3.28 s
    EXPECT_EQ(Hidden(), "");
}

// A long copy into MP4: Stop at once writes nothing, or a file that plays;
// Stop midway keeps a playable start, as for a re-encoding; a run to the end
// counts the elapsed time, shows its progress and writes every picture; one
// whose source is cut short meanwhile fails and keeps the old file.
TEST_F(GuiCopyCutTest, ALongCopyShowsProgressStopsPlayablyAndFailsSafely) {
    // 27 minutes of small pictures: enough packets for the copy to take
    // seconds. Made by looping a short clip without re-encoding.
    const QString piece = Source("piece.mkv", 250, kH264, "width=160,height=120");
    const QString source = dir_.filePath("long.mkv");
    ASSERT_EQ(
        Tool("ffmpeg", {"-v", "error", "-stream_loop", "159", "-i", piece, "-c", "copy", source}),
        QByteArray());
    env_.settings->WriteInt("Settings", "nOuptputFormat", kContainerMp4);
    const QString output = dir_.filePath("long cut.mp4");
    OpenAndShow(source, output);
    UseCopy();

    // The check before the copy reads the whole marked part; the window
    // keeps running meanwhile.
    int beats = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] { ++beats; });
    beat.start(20);
    QElapsedTimer clicked;
    clicked.start();
    ASSERT_TRUE(Convert()) << Messages().toStdString();
    EXPECT_TRUE(clicked.elapsed() < 200 || beats > 0) << clicked.elapsed();
    beat.stop();
    Click(IDC_BUTTON_CONVERT); // Stop, most likely while the ends are encoded
    EXPECT_EQ(dialog_->State().converting, 0);
    if (QFile::exists(output)) { // the first pictures were written already
        EXPECT_TRUE(Status().startsWith("Done. ")) << Status().toStdString();
        EXPECT_EQ(DecodeErrors(output), QByteArray());
    } else {
        EXPECT_EQ(Status().toStdString(), "Stopped before anything was written.");
    }
    EXPECT_EQ(Hidden(), "");

    ASSERT_TRUE(Convert()) << Messages().toStdString();
    ASSERT_TRUE(WaitFor([&] {
        const int percent = dialog_->Conversion().ProgressPercent();
        return percent > 0 && percent < 90;
    }));
    Click(IDC_BUTTON_CONVERT); // Stop
    EXPECT_EQ(dialog_->State().converting, 0);
    EXPECT_TRUE(Status().startsWith("Done. ")) << Status().toStdString();
    EXPECT_EQ(Messages().toStdString(), "");
    EXPECT_EQ(DecodeErrors(output), QByteArray());
    const int kept = VideoFrames(output);
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, 40000);
    EXPECT_EQ(Hidden(), "");

    ASSERT_TRUE(Convert()) << Messages().toStdString(); // replacing it is answered Yes
    session_.progress.clear();
    QStringList statuses;
    ASSERT_TRUE(WaitFor([&] {
        if (!statuses.contains(Status()))
            statuses << Status();
        return dialog_->State().converting == 0;
    }));
    EXPECT_TRUE(statuses.contains("Please wait... Used Time: 00:00:01"))
        << statuses.join("|").toStdString();
    EXPECT_TRUE(Status().startsWith("Done. ")) << Status().toStdString();
    // Each second's share, rising, then none once the job has ended.
    std::vector<double>& shares = session_.progress;
    ASSERT_GE(shares.size(), 2u);
    EXPECT_EQ(shares.back(), -1.0);
    shares.pop_back();
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_GT(shares.back(), 0.0);
    EXPECT_EQ(VideoFrames(output), 40000);
    EXPECT_EQ(Hidden(), "");

    // The source cut short while it is copied: the copy fails, naming the
    // source, and the complete file stays.
    const QByteArray complete = Hash(output);
    ASSERT_TRUE(Convert()) << Messages().toStdString();
    ASSERT_TRUE(WaitFor([&] { return dialog_->Conversion().ProgressPercent() > 0; }));
    ASSERT_TRUE(QFile::resize(source, QFile(source).size() / 2));
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_TRUE(Status().startsWith("Conversion failed: " + source)) << Status().toStdString();
    EXPECT_EQ(Hash(output), complete);
    EXPECT_EQ(Hidden(), "");
}

// A copy that is refused or fails leaves an existing output as it was and
// nothing hidden beside it; a refusal comes before the question whether to
// replace it.
TEST_F(GuiCopyCutTest, ARefusedOrFailedCopyLeavesTheOldOutputAlone) {
    const QString output = dir_.filePath("old.mkv");
    const QString h264 = Source("h264.mkv", 100);
    const QString vp8 = Source("vp8.mkv", 50, "vp8enc deadline=1");
    struct Case {
        QString source;
        std::function<void(MainState&)> spoil;
        const char* says;
        bool refused;
    } cases[] = {
        {h264, [](MainState& s) { s.output.outputWidth = 640; }, "320*240", true},
        {vp8, [](MainState&) {}, "VP8", true},
        {h264, [](MainState& s) { QFile::remove(s.items[0].path); }, "cannot be read", true},
        {h264, [](MainState& s) { QFile::resize(s.items[0].path, 50000); }, "end at", false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        ASSERT_TRUE(MakeRandomFile(output, 5000));
        const QByteArray old = Hash(output);
        const QString source = dir_.filePath(QString("source %1.mkv").arg(++n));
        ASSERT_TRUE(QFile::copy(c.source, source));
        OpenAndShow(source, output);
        UseCopy();
        c.spoil(dialog_->State());
        if (Convert()) {
            ASSERT_TRUE(WaitUntilIdle());
        }
        EXPECT_FALSE(Status().startsWith("Done")) << Status().toStdString();
        EXPECT_TRUE(Messages().contains(c.says)) << Messages().toStdString();
        EXPECT_EQ(env_.ui.Messages().size(), c.refused ? 1u : 2u) << Messages().toStdString();
        EXPECT_EQ(Hash(output), old);
        EXPECT_EQ(Hidden(), "");
    }
}
