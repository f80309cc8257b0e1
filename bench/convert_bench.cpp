// Runs one conversion through the program's conversion engine, exactly as
// the Convert button does, without a window: the benchmark's Orvelin side.
//
//   orvelin_convert_bench SOURCE OUTPUT.mkv START_S END_S WIDTH HEIGHT FPS ENCODER [NAME=VALUE...]
//
// ENCODER is the video encoder's factory name (x264enc, avenc_mpeg4, ...),
// each NAME=VALUE one of its settings as the Settings button stores them.
// The sound is written uncompressed, the program's default where no
// Microsoft ADPCM encoder is installed.
#include "app/UiServices.h"
#include "convert/ConversionController.h"
#include "convert/ConvertHost.h"
#include "convert/Slideshow.h"
#include "media/EncoderRegistry.h"
#include "media/MediaPlatform.h"
#include "options/CompressorCatalog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <clocale>
#include <cstdio>

using namespace orvelin;

namespace {

// Says every message on the standard error and answers it with its first
// button.
class ConsoleUi : public UiServices {
public:
    int MessageBox(QWidget*, const QString& text, const QString& caption, MsgButtons buttons,
                   MsgIcon) override {
        std::fprintf(stderr, "[%s] %s\n", qPrintable(caption), qPrintable(text));
        ++messages;
        return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? IdYes : IdOk;
    }
    std::optional<QString> OpenFileName(const FileDialogRequest&) override { return {}; }
    std::optional<QString> SaveFileName(const FileDialogRequest&) override { return {}; }
    std::optional<QFont> ChooseFont(QWidget*, const QFont&) override { return {}; }
    using UiServices::OpenUrl;
    void OpenUrl(const QString&, std::function<void(bool opened)> done) override {
        if (done)
            done(false);
    }
    bool StartProcess(const QString&, const QStringList&) override { return false; }
    QString HtmlAssociationCommand() override { return {}; }
    int messages = 0;
};

class ConsoleHost : public ConvertHost {
public:
    MainState& State() override { return state; }
    UiServices& Ui() override { return ui; }
    QWidget* OwnerWidget() override { return nullptr; }
    void SetConvertButtonText(const QString&) override {}
    void SetStatusText(const QString& text) override { status = text; }
    void DisableEditControls() override {}
    void EnableEditControls() override {}
    void ShowFilterProperties(const std::vector<std::shared_ptr<media::Filter>>&) override {}
    // The end is taken when the job says so, not at the next look.
    void ConversionEnded(JobOutcome, const QString&) override {
        if (loop)
            loop->quit();
    }
    QEventLoop* loop = nullptr;

    MainState state;
    ConsoleUi ui;
    QString status;
};

// The resident memory now and at its peak, from the kernel's account.
QString memoryText() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return QStringLiteral("memory unknown");
    QString rss, peak;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            rss = QString::fromLatin1(line.mid(6)).simplified();
        else if (line.startsWith("VmHWM:"))
            peak = QString::fromLatin1(line.mid(6)).simplified();
    }
    return QStringLiteral("resident %1, peak %2").arg(rss, peak);
}

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (argc < 9) {
        std::fprintf(stderr,
                     "usage: %s SOURCE OUTPUT START_S END_S WIDTH HEIGHT FPS ENCODER "
                     "[NAME=VALUE...]\n",
                     argv[0]);
        return 2;
    }
    if (media::Failed(media::InitializeMediaPlatform())) {
        std::fprintf(stderr, "the media platform cannot be initialised\n");
        return 1;
    }
    std::fprintf(stderr, "media platform ready after %.3f s\n", sinceStart.elapsed() / 1000.0);
    const QString source = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    const auto seconds = [](const char* text) {
        return static_cast<REFERENCE_TIME>(std::atof(text) * media::kUnitsPerSecond);
    };

    ConsoleHost host;
    MainState& state = host.state;
    SetOpenedVideo(state, source, seconds(argv[4]), seconds(argv[4]), [] { return 0; });
    state.trimStart = seconds(argv[3]);
    state.trimEnd = seconds(argv[4]);
    state.output.outputPath = output;
    state.output.outputFormat = kContainerMkv;
    state.output.outputWidth = std::atoi(argv[5]);
    state.output.outputHeight = std::atoi(argv[6]);
    state.output.frameRateIndex = 6;
    state.output.outputFrameRate = std::atof(argv[7]);
    state.output.resizeMode = 2;

    const QString factory = QString::fromLocal8Bit(argv[8]);
    std::shared_ptr<media::Filter> encoder = media::BindCompressor(factory);
    if (!encoder) {
        std::fprintf(stderr, "%s is not available\n", argv[8]);
        return 1;
    }
    for (int i = 9; i < argc; ++i) {
        const QString setting = QString::fromLocal8Bit(argv[i]);
        const qsizetype equals = setting.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            std::fprintf(stderr, "not a NAME=VALUE setting: %s\n", argv[i]);
            return 2;
        }
        encoder->SetProperty(setting.left(equals), setting.mid(equals + 1));
    }
    SelectedVideoCompressor() = encoder;
    std::fprintf(stderr, "compressor ready after %.3f s (%s)\n", sinceStart.elapsed() / 1000.0,
                 qPrintable(memoryText()));
    state.output.useVideoCompressor = 1;
    state.output.useAudioCompressor = 0; // 16-bit PCM, as the other side writes

    ConversionController controller(host);
    QElapsedTimer clock;
    clock.start();
    controller.OnConvertClicked();
    const double buildSeconds = clock.elapsed() / 1000.0;
    if (!controller.Converting()) {
        std::fprintf(stderr, "the conversion did not start\n");
        return 1;
    }
    // The event loop idles until the job has ended (and looks now and then,
    // should the end come without a word).
    QEventLoop loop;
    host.loop = &loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!controller.Converting())
            loop.quit();
    });
    poll.start(50);
    if (controller.Converting())
        loop.exec();
    host.loop = nullptr;
    std::printf("orvelin: %.3f s (%.3f s to build and start), %s\n", clock.elapsed() / 1000.0,
                buildSeconds, qPrintable(host.status));
    ReleaseSelectedCompressors();
    std::fprintf(stderr, "done after %.3f s (%s)\n", sinceStart.elapsed() / 1000.0,
                 qPrintable(memoryText()));
    return host.ui.messages == 0 ? 0 : 1;
}
