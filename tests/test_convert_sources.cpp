// Sources of every kind convert right: several sound tracks, MPEG program and
// transport streams that start at a time stamp other than 0, odd frame
// sizes, video tagged as turned by a quarter, and sound that ends before the
// picture. The sources carry their frame number as a bar code, so the frame
// that the preview shows and the first frame written can be told apart.
#include "convert/ConversionController.h"
#include "convert/TimelineBuilder.h"
#include "mainwnd/VideoProbe.h"
#include "media/EncoderRegistry.h"
#include "media/PlaybackGraph.h"
#include "options/CompressorCatalog.h"
#include "support/ConvertTestHost.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace orvelin;
using namespace std::chrono_literals;

namespace {

constexpr media::REFERENCE_TIME kSecond = media::kUnitsPerSecond;
constexpr int kBits = 8;

// Frame n: the upper half holds n as eight black or white bars (lowest bit
// on the left); the lower half is grey.
QImage NumberedFrame(int n, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(128, 128, 128));
    QPainter p(&image);
    for (int bit = 0; bit < kBits; ++bit) {
        const int x0 = bit * width / kBits;
        const int x1 = (bit + 1) * width / kBits;
        p.fillRect(x0, 0, x1 - x0, height / 2, (n >> bit) & 1 ? Qt::white : Qt::black);
    }
    return image;
}

// The number a frame carries; -1 when the bars cannot be read.
int FrameNumber(const QImage& image) {
    if (image.isNull())
        return -1;
    int n = 0;
    for (int bit = 0; bit < kBits; ++bit) {
        const int x = (2 * bit + 1) * image.width() / (2 * kBits);
        const int gray = qGray(image.pixel(x, image.height() / 4));
        if (gray > 90 && gray < 165)
            return -1;
        if (gray >= 165)
            n |= 1 << bit;
    }
    return n;
}

class Sources {
public:
    static Sources& Get() {
        static Sources sources;
        return sources;
    }
    QString Path(const QString& name) const { return dir_.filePath(name); }

    // Writes numbered frames as pictures (once per size and count) and
    // gives the gst-launch source that plays them at `fps`.
    QString NumberedSource(int frames, int width, int height, const QString& fps) {
        const QString folder = Path(QString("frames-%1x%2-%3").arg(width).arg(height).arg(frames));
        if (!QDir(folder).exists()) {
            QDir().mkpath(folder);
            for (int i = 0; i < frames; ++i)
                NumberedFrame(i, width, height)
                    .save(QString("%1/%2.png").arg(folder).arg(i, 5, 10, QChar('0')), "PNG");
        }
        return QString("multifilesrc location=\"%1/%05d.png\" index=0 stop-index=%2 "
                       "caps=\"image/png,framerate=%3\" ! pngdec ! videoconvert ! "
                       "video/x-raw,format=I420")
            .arg(folder)
            .arg(frames - 1)
            .arg(fps);
    }

    // Runs a gst-launch description once for `name`; the path, or empty.
    QString Make(const QString& name, const QString& description) {
        const QString path = Path(name);
        if (!QFile::exists(path)) {
            QString log;
            QString desc = description;
            desc.replace("@OUT@", "\"" + path + "\"");
            if (!test::RunGstLaunch(desc, &log, 120000)) {
                ADD_FAILURE() << name.toStdString() << ": " << log.toStdString();
                QFile::remove(path);
                return {};
            }
        }
        return path;
    }

    static QString Tone(double seconds, const QString& encoder, int freq = 440, int rate = 44100) {
        const int buffers = static_cast<int>(seconds * rate / 1024 + 0.999);
        return QString("audiotestsrc num-buffers=%1 samplesperbuffer=1024 freq=%2 ! "
                       "audio/x-raw,rate=%4,channels=2 ! audioconvert ! %3 ! queue ")
            .arg(buffers)
            .arg(freq)
            .arg(encoder)
            .arg(rate);
    }

private:
    QTemporaryDir dir_;
};

struct Job {
    test::TestEnv env;
    test::ConvertTestHost host{env.ui};
    ConversionController controller{host};

    // Opens `source` as Open Video does (the real probe), output into
    // `outputName` in the container `format`.
    Job(const QString& source, int32_t format, const QString& outputName) {
        media::REFERENCE_TIME length = 0;
        opened = ProbeVideo(env.ui, &host.owner, source, &length, host.state) == 1;
        probedLength = length;
        const double seconds = double(length / kSecond);
        host.OpenVideo(source, seconds, host.state.sourceWidth, host.state.sourceHeight,
                       host.state.sourceFrameRate, env.TempPath(outputName), format);
    }
    ~Job() { ReleaseSelectedCompressors(); }

    void UseCompressors(const char* video, const char* audio) {
        if (video) {
            SelectedVideoCompressor() = media::BindCompressor(QString::fromLatin1(video));
            ASSERT_TRUE(SelectedVideoCompressor()) << video;
            host.state.output.useVideoCompressor = 1;
        }
        if (audio) {
            SelectedAudioCompressor() = media::BindCompressor(QString::fromLatin1(audio));
            ASSERT_TRUE(SelectedAudioCompressor()) << audio;
            host.state.output.useAudioCompressor = 1;
        }
    }
    bool Run() {
        controller.OnConvertClicked();
        if (!controller.Converting()) {
            ADD_FAILURE() << "not started: " << env.ui.MessageTexts().join("|").toStdString();
            return false;
        }
        const bool ended = test::WaitFor([&] { return !controller.Converting(); }, 60s);
        EXPECT_TRUE(ended);
        EXPECT_TRUE(host.status.startsWith("Done. ")) << host.status.toStdString();
        return ended && host.status.startsWith("Done. ");
    }
    QString Output() const { return host.state.output.outputPath; }

    bool opened = false;
    media::REFERENCE_TIME probedLength = 0;
};

// The decoded frames of a file's video, in order.
std::vector<QImage> Frames(const QString& path, const QString& folder, int count = -1) {
    QDir().mkpath(folder);
    QString log;
    const QString pipeline =
        QString("filesrc location=\"%1\" ! decodebin name=d d. ! video/x-raw ! queue ! "
                "videoconvert ! video/x-raw,format=RGB ! pngenc snapshot=false ! "
                "multifilesink location=\"%2/f%05d.png\"%3 d. ! audio/x-raw ! queue ! fakesink")
            .arg(path, folder, count > 0 ? QString(" max-files=0") : QString());
    EXPECT_TRUE(test::RunGstLaunch(pipeline, &log)) << log.toStdString();
    std::vector<QImage> frames;
    for (const QString& name : QDir(folder).entryList({"f*.png"}, QDir::Files, QDir::Name)) {
        frames.push_back(QImage(folder + "/" + name));
        if (count > 0 && int(frames.size()) >= count)
            break;
    }
    return frames;
}

// The decoded sound of a file as 16-bit mono samples at 44.1 kHz.
std::vector<int16_t> Sound(const QString& path, const QString& rawPath) {
    QString log;
    const QString pipeline =
        QString("filesrc location=\"%1\" ! decodebin name=d d. ! audio/x-raw ! queue ! "
                "audioconvert ! audioresample ! audio/x-raw,format=S16LE,channels=1,rate=44100 ! "
                "filesink location=\"%2\" d. ! video/x-raw ! queue ! fakesink")
            .arg(path, rawPath);
    EXPECT_TRUE(test::RunGstLaunch(pipeline, &log)) << log.toStdString();
    QFile file(rawPath);
    std::vector<int16_t> samples;
    if (!file.open(QIODevice::ReadOnly))
        return samples;
    const QByteArray bytes = file.readAll();
    samples.resize(size_t(bytes.size()) / 2);
    memcpy(samples.data(), bytes.constData(), samples.size() * 2);
    return samples;
}

// The pitch of a stretch of samples, from its zero crossings.
double Pitch(const std::vector<int16_t>& samples, size_t from, size_t count) {
    int crossings = 0;
    for (size_t i = from + 1; i < std::min(samples.size(), from + count); ++i)
        if ((samples[i - 1] < 0) != (samples[i] < 0))
            ++crossings;
    return crossings / 2.0 / (double(count) / 44100.0);
}

QImage ShownFrame(media::PlaybackGraph& graph, media::REFERENCE_TIME at) {
    QImage shown;
    EXPECT_EQ(graph.SetPositions(at), media::S_OK);
    // The frame on show once the seek has landed.
    EXPECT_TRUE(test::WaitFor(
        [&] {
            media::REFERENCE_TIME pos = -1;
            graph.GetCurrentPosition(&pos);
            shown = graph.LastFrame();
            return FrameNumber(shown) >= 0 && std::llabs(pos - at) < kSecond / 100 &&
                   FrameNumber(shown) == FrameNumber(graph.LastFrame());
        },
        5s));
    test::WaitFor([] { return false; }, 300ms); // let a late frame arrive
    return graph.LastFrame();
}

} // namespace

TEST(ConvertSources, TwoSoundTracksConvertWithTheFirstOne) {
    Sources& s = Sources::Get();
    const QString source =
        s.Make("two-tracks.mkv",
               s.NumberedSource(50, 160, 120, "25/1") +
                   " ! x264enc speed-preset=ultrafast key-int-max=25 ! h264parse ! queue ! "
                   "matroskamux name=mux ! filesink location=@OUT@ " +
                   Sources::Tone(2.0, "vorbisenc", 440) + "! mux. " +
                   Sources::Tone(2.0, "vorbisenc", 1000) + "! mux. ");
    ASSERT_FALSE(source.isEmpty());
    ASSERT_EQ(test::Discover(source).audioStreams, 2);
    Job job(source, kContainerMkv, "two-tracks-out.mkv");
    ASSERT_TRUE(job.opened);
    job.UseCompressors("x264enc", "vorbisenc");
    ASSERT_TRUE(job.Run()) << job.env.ui.MessageTexts().join("|").toStdString();
    const test::MediaFacts facts = test::Discover(job.Output());
    EXPECT_EQ(facts.videoStreams, 1);
    EXPECT_EQ(facts.audioStreams, 1);
    EXPECT_NEAR(facts.durationSeconds, 2.0, 0.06);
    // The first track's 440 Hz, not the second's 1000 Hz.
    const std::vector<int16_t> sound = Sound(job.Output(), job.env.TempPath("sound.raw"));
    ASSERT_GT(sound.size(), 44100u);
    EXPECT_NEAR(Pitch(sound, 4410, 22050), 440.0, 20.0);
}

namespace {

// An MPEG stream whose time stamps start late: what the preview shows at a
// place, the place it reports, and the first frame a conversion from that
// place writes are the same frame.
void CheckStartsWhereShown(const QString& source, double seconds, double markSeconds) {
    auto graph = media::PlaybackGraph::Create();
    ASSERT_TRUE(graph);
    ASSERT_EQ(graph->RenderFile(source, true), media::S_OK) << graph->LastErrorText().toStdString();
    media::REFERENCE_TIME position = -1;
    ASSERT_TRUE(test::WaitFor([&] { return FrameNumber(graph->LastFrame()) >= 0; }, 5s));
    ASSERT_EQ(graph->GetCurrentPosition(&position), media::S_OK);
    EXPECT_LT(std::llabs(position), kSecond / 100) << "a fresh open is at its start";
    EXPECT_LE(FrameNumber(graph->LastFrame()), 1);
    media::REFERENCE_TIME length = 0;
    ASSERT_EQ(graph->GetStopPosition(&length), media::S_OK);
    EXPECT_NEAR(double(length) / kSecond, seconds, 0.1);

    const auto at = static_cast<media::REFERENCE_TIME>(markSeconds * kSecond);
    const QImage shown = ShownFrame(*graph, at);
    const int shownNumber = FrameNumber(shown);
    EXPECT_NEAR(shownNumber, markSeconds * 25, 1) << "the frame shown at the mark";
    ASSERT_EQ(graph->GetCurrentPosition(&position), media::S_OK);
    EXPECT_LT(std::llabs(position - at), kSecond / 100);
    graph.reset();

    Job job(source, kContainerMkv, "from-mark.mkv");
    ASSERT_TRUE(job.opened);
    EXPECT_EQ(job.probedLength / kSecond, static_cast<int64_t>(seconds));
    job.host.state.trimStart = at;
    job.host.state.trimEnd = at + 2 * kSecond;
    job.UseCompressors("x264enc", "vorbisenc");
    ASSERT_TRUE(job.Run());
    const std::vector<QImage> frames = Frames(job.Output(), job.env.TempPath("frames"));
    ASSERT_FALSE(frames.empty());
    EXPECT_NEAR(FrameNumber(frames.front()), shownNumber, 1);
    EXPECT_NEAR(double(frames.size()), 50.0, 1.0);
    EXPECT_NEAR(FrameNumber(frames.back()), shownNumber + 49, 1);
}

} // namespace

TEST(ConvertSources, TransportStreamStartsAtTheFrameShown) {
    Sources& s = Sources::Get();
    const QString source =
        s.Make("clip.ts", s.NumberedSource(125, 160, 120, "25/1") +
                              " ! x264enc speed-preset=ultrafast key-int-max=25 ! h264parse ! "
                              "queue ! mpegtsmux name=mux ! filesink location=@OUT@ " +
                              Sources::Tone(5.0, "avenc_aac ! aacparse") + "! mux. ");
    ASSERT_FALSE(source.isEmpty());
    CheckStartsWhereShown(source, 5.0, 2.0);
}

TEST(ConvertSources, OddFrameSizesAreMadeEvenForEncodersOfHalfSizeColour) {
    Sources& s = Sources::Get();
    const QString source = s.Make("odd.mkv", s.NumberedSource(25, 641, 481, "25/1") +
                                                 " ! jpegenc ! queue ! "
                                                 "matroskamux name=mux ! filesink location=@OUT@ " +
                                                 Sources::Tone(1.0, "vorbisenc") + "! mux. ");
    ASSERT_FALSE(source.isEmpty());
    struct Case {
        const char* encoder;
        int32_t container;
        int width;
        int height;
    };
    for (const Case& c :
         {Case{"x264enc", kContainerMkv, 640, 480}, Case{"x265enc", kContainerMkv, 640, 480},
          Case{"openh264enc", kContainerMp4, 640, 480}, Case{nullptr, kContainerMkv, 641, 481}}) {
        SCOPED_TRACE(c.encoder ? c.encoder : "uncompressed");
        Job job(source, c.container,
                QString("odd-%1.%2")
                    .arg(c.encoder ? c.encoder : "raw")
                    .arg(c.container == kContainerMp4 ? "mp4" : "mkv"));
        ASSERT_TRUE(job.opened);
        EXPECT_EQ(job.host.state.sourceWidth, 641);
        EXPECT_EQ(job.host.state.sourceHeight, 481);
        if (c.encoder) {
            if (!media::BindCompressor(QString::fromLatin1(c.encoder)))
                continue; // not installed here
            job.UseCompressors(c.encoder, "vorbisenc");
        }
        if (c.container == kContainerMp4)
            job.UseCompressors(nullptr, "avenc_aac");
        ASSERT_TRUE(job.Run());
        const test::MediaFacts facts = test::Discover(job.Output());
        EXPECT_EQ(facts.width, c.width);
        EXPECT_EQ(facts.height, c.height);
        EXPECT_TRUE(job.host.status.endsWith(QString("%1*%2").arg(c.width).arg(c.height)))
            << job.host.status.toStdString();
        const std::vector<QImage> frames = Frames(job.Output(), job.env.TempPath("frames"));
        ASSERT_EQ(frames.size(), 25u);
        EXPECT_EQ(frames.front().size(), QSize(c.width, c.height));
        EXPECT_EQ(FrameNumber(frames.front()), 0);
        EXPECT_EQ(FrameNumber(frames.back()), 24);
    }
}

namespace {

// A file whose pictures are stored 96 x 64 with the top-left quarter white,
// and whose video track is marked as turned by `degrees` clockwise (the
// matrix of its track header, as phones write it).
QString TurnedSource(int degrees) {
    Sources& s = Sources::Get();
    const QString folder = s.Path("quarter");
    if (!QDir(folder).exists()) {
        QDir().mkpath(folder);
        QImage image(96, 64, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter(&image).fillRect(0, 0, 48, 32, Qt::white);
        for (int i = 0; i < 25; ++i)
            image.save(QString("%1/%2.png").arg(folder).arg(i, 5, 10, QChar('0')), "PNG");
    }
    const QString plain =
        s.Make("quarter.mp4",
               QString("multifilesrc location=\"%1/%05d.png\" index=0 stop-index=24 "
                       "caps=\"image/png,framerate=25/1\" ! pngdec ! videoconvert ! "
                       "video/x-raw,format=I420 ! x264enc speed-preset=ultrafast ! h264parse ! "
                       "mp4mux ! filesink location=@OUT@")
                   .arg(folder));
    const QString turned = s.Path(QString("turned-%1.mp4").arg(degrees));
    QFile in(plain);
    if (plain.isEmpty() || !in.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = in.readAll();
    const qsizetype at = bytes.indexOf("tkhd");
    if (at < 0)
        return {};
    const qsizetype matrix = at + (bytes[at + 4] == 0 ? 44 : 56);
    // a b u / c d v / x y w, 16.16 fixed point (w 2.30).
    const uint32_t one = 0x10000, minusOne = 0xFFFF0000;
    const uint32_t values[9] = {
        0,         degrees == 90 ? one : minusOne, 0, degrees == 90 ? minusOne : one, 0, 0, 0, 0,
        0x40000000};
    for (int i = 0; i < 9; ++i)
        for (int b = 0; b < 4; ++b)
            bytes[matrix + i * 4 + b] = char((values[i] >> (24 - 8 * b)) & 0xFF);
    QFile out(turned);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return {};
    return turned;
}

bool Bright(const QImage& image, int x, int y) {
    return qGray(image.pixel(x, y)) > 160;
}

} // namespace

TEST(ConvertSources, TurnedPhoneVideoIsProbedAndWrittenStandingAndFillsItsFrame) {
    for (const int degrees : {90, 270}) {
        SCOPED_TRACE(degrees);
        const QString source = TurnedSource(degrees);
        ASSERT_FALSE(source.isEmpty());
        ASSERT_TRUE(test::Discover(source).raw.contains(QString("rotate-%1").arg(degrees)));
        Job job(source, kContainerMkv, QString("standing-%1.mkv").arg(degrees));
        ASSERT_TRUE(job.opened);
        EXPECT_EQ(job.host.state.sourceWidth, 64);
        EXPECT_EQ(job.host.state.sourceHeight, 96);
        job.UseCompressors("x264enc", nullptr);
        ASSERT_TRUE(job.Run());
        EXPECT_TRUE(job.host.status.endsWith("64*96")) << job.host.status.toStdString();
        const std::vector<QImage> frames = Frames(job.Output(), job.env.TempPath("frames"));
        ASSERT_FALSE(frames.empty());
        const QImage& f = frames.front();
        ASSERT_EQ(f.size(), QSize(64, 96));
        // Turned clockwise the white top-left corner is at the top right;
        // turned the other way, at the bottom left. No bars at the sides.
        const bool right = degrees == 90;
        EXPECT_EQ(Bright(f, 48, 24), right);
        EXPECT_EQ(Bright(f, 16, 72), !right);
        EXPECT_FALSE(Bright(f, 16, 24));
        EXPECT_FALSE(Bright(f, 48, 72));
        EXPECT_EQ(Bright(f, right ? 62 : 1, right ? 1 : 94), true) << "reaches the frame's edge";
    }
}
