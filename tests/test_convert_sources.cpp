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
#include "media/SmartCut.h"
#include "options/CompressorCatalog.h"
#include "support/ConvertJob.h"
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
using namespace orvelin::test;
using namespace std::chrono_literals;

namespace {

constexpr media::REFERENCE_TIME kSecond = media::kUnitsPerSecond;

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

namespace {

// Two seconds of numbered frames with two sound tracks: 440 Hz, then 1000 Hz.
QString TwoToneSource() {
    Sources& s = Sources::Get();
    return s.Make("two-tracks.mkv",
                  s.NumberedSource(50, 160, 120, "25/1") +
                      " ! x264enc speed-preset=ultrafast key-int-max=25 ! h264parse ! queue ! "
                      "matroskamux name=mux ! filesink location=@OUT@ " +
                      Sources::Tone(2.0, "vorbisenc", 440) + "! mux. " +
                      Sources::Tone(2.0, "vorbisenc", 1000) + "! mux. ");
}

struct ConvertedTone {
    test::MediaFacts facts;
    double pitch = -1; // of the sound written; -1 when there is too little
};

// Converts a source with sound into Matroska (x264, Vorbis) as Open Video
// and Convert do, and reads back what was written.
ConvertedTone ConvertTone(const QString& source, const QString& outputName) {
    ConvertedTone out;
    Job job(source, kContainerMkv, outputName);
    if (!job.opened) {
        ADD_FAILURE() << "the source did not open";
        return out;
    }
    job.UseCompressors("x264enc", "vorbisenc");
    if (!job.Run()) {
        ADD_FAILURE() << job.env.ui.MessageTexts().join("|").toStdString();
        return out;
    }
    out.facts = test::Discover(job.Output());
    const std::vector<int16_t> sound = Sound(job.Output(), job.env.TempPath("sound.raw"));
    EXPECT_GT(sound.size(), 44100u);
    if (sound.size() > 44100u)
        out.pitch = Pitch(sound, 4410, 22050);
    return out;
}

} // namespace

TEST(ConvertSources, TwoSoundTracksConvertWithTheFirstOne) {
    const QString source = TwoToneSource();
    ASSERT_FALSE(source.isEmpty());
    ASSERT_EQ(test::Discover(source).audioStreams, 2);
    const ConvertedTone out = ConvertTone(source, "two-tracks-out.mkv");
    EXPECT_EQ(out.facts.videoStreams, 1);
    EXPECT_EQ(out.facts.audioStreams, 1);
    EXPECT_NEAR(out.facts.durationSeconds, 2.0, 0.06);
    // The first track's 440 Hz, not the second's 1000 Hz.
    EXPECT_NEAR(out.pitch, 440.0, 20.0);
}

TEST(ConvertSources, SoundTrackMarkedDefaultIsTheOneConverted) {
    Sources& s = Sources::Get();
    const QString plain = TwoToneSource();
    ASSERT_FALSE(plain.isEmpty());
    // Tracks: 0 video, 1 the 440 Hz sound, 2 the 1000 Hz sound.
    const QString source = MarkOnlyDefault(plain, 3, 2, s.Path("second-default.mkv"));
    ASSERT_FALSE(source.isEmpty());
    ASSERT_EQ(test::Discover(source).audioStreams, 2);
    const ConvertedTone out = ConvertTone(source, "second-default-out.mkv");
    EXPECT_EQ(out.facts.audioStreams, 1);
    EXPECT_NEAR(out.facts.durationSeconds, 2.0, 0.06);
    EXPECT_NEAR(out.pitch, 1000.0, 20.0);
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
    // A program stream's length is the demultiplexer's estimate from its
    // packs' clock: within a few frames.
    EXPECT_NEAR(double(job.probedLength) / kSecond, seconds, 0.1);
    job.host.state.trimStart = at;
    job.host.state.trimEnd = at + 2 * kSecond;
    job.UseCompressors("x264enc", "vorbisenc");
    ASSERT_TRUE(job.Run());
    const std::vector<QImage> frames = Frames(job.Output(), job.env.TempPath("frames"));
    ASSERT_FALSE(frames.empty());
    EXPECT_NEAR(FrameNumber(frames.front()), shownNumber, 1);
    EXPECT_NEAR(double(frames.size()), 50.0, 1.0);
    EXPECT_NEAR(FrameNumber(frames.back()), shownNumber + 49, 1);

    // A cut without re-encoding of the same marks holds the same pictures.
    media::SmartCutJob cut;
    cut.source = source.toStdString();
    cut.output = job.env.TempPath("copy.mkv").toStdString();
    cut.start = at;
    cut.end = at + 2 * kSecond;
    ASSERT_EQ(media::SmartCutRefusal(cut), "");
    std::atomic<bool> stop{false};
    const media::SmartCutReport r = media::RunSmartCut(cut, stop, nullptr);
    ASSERT_TRUE(media::Succeeded(r.hr)) << r.error;
    const std::vector<QImage> copied =
        Frames(QString::fromStdString(cut.output), job.env.TempPath("copied"));
    ASSERT_EQ(copied.size(), frames.size());
    EXPECT_EQ(FrameNumber(copied.front()), FrameNumber(frames.front()));
    EXPECT_EQ(FrameNumber(copied.back()), FrameNumber(frames.back()));
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

namespace {

// A numbered MPEG-2 picture stream of 5 s with MPEG-1 layer 2 sound, in a
// program stream written by `mux` (the file's first time stamp is 0.5 s).
QString ProgramStream(const QString& name, const QString& mux, int soundRate,
                      const QString& soundEncoder) {
    Sources& s = Sources::Get();
    return s.Make(name, s.NumberedSource(125, 160, 120, "25/1") +
                            " ! mpeg2enc format=3 ! mpegvideoparse ! queue ! " + mux +
                            " name=mux ! filesink location=@OUT@ " +
                            Sources::Tone(5.0, soundEncoder, 440, soundRate) + "! mux. ");
}

} // namespace

TEST(ConvertSources, ProgramStreamStartsAtTheFrameShown) {
    const QString source = ProgramStream("clip.mpg", "avmux_mpeg", 44100, "avenc_mp2");
    ASSERT_FALSE(source.isEmpty());
    CheckStartsWhereShown(source, 5.0, 2.0);
    // From the first frame, and from a mark between two key pictures.
    CheckStartsWhereShown(source, 5.0, 0.0);
    CheckStartsWhereShown(source, 5.0, 2.32);
}

TEST(ConvertSources, DvdProgramStreamStartsAtTheFrameShown) {
    const QString source = ProgramStream("clip.vob", "avmux_dvd", 48000, "avenc_ac3");
    ASSERT_FALSE(source.isEmpty());
    CheckStartsWhereShown(source, 5.0, 2.0);
    // Less than the lead-in after the first frame.
    CheckStartsWhereShown(source, 5.0, 0.68);
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

namespace {

// What ffprobe (or ffmpeg) prints for `args`.
QString Ff(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000))
        process.kill();
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

// One field of one stream, as ffprobe tells it ("v:0", "width").
QString Probe(const QString& path, const QString& stream, const QString& entry) {
    return Ff("ffprobe", {"-v", "error", "-select_streams", stream, "-show_entries",
                          "stream=" + entry, "-of", "default=nw=1:nk=1", path})
        .section('\n', 0, 0)
        .trimmed();
}

// Where one stream's last packet ends, in seconds from the file's start.
double StreamEnd(const QString& path, const QString& stream) {
    double end = 0.0;
    const QString packets =
        Ff("ffprobe", {"-v", "error", "-select_streams", stream, "-show_entries",
                       "packet=pts_time,duration_time", "-of", "csv=p=0", path});
    for (const QString& line : packets.split('\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(',');
        if (fields.size() == 2)
            end = std::max(end, fields[0].toDouble() + fields[1].toDouble());
    }
    return end;
}

} // namespace

// A DVD title as ffmpeg writes it (first picture at 0.54 s, first pack at
// 0.535 s, 16:9 in 352×288 pixels): it opens with its real length and
// converts from its first picture to its last, at its own size and shape.
TEST(ConvertSources, LateDvdTitleConvertsWholeFromItsFirstPictureWithItsShape) {
    Sources& s = Sources::Get();
    s.NumberedSource(75, 352, 288, "25/1"); // the numbered pictures
    const QString source = s.Path("late.vob");
    if (!QFile::exists(source))
        Ff("ffmpeg", {"-nostdin",   "-y",      "-loglevel", "error",
                      "-framerate", "25",      "-i",        s.Path("frames-352x288-75/%05d.png"),
                      "-f",         "lavfi",   "-i",        "sine=f=440:sample_rate=48000",
                      "-t",         "3",       "-target",   "pal-dvd",
                      "-s",         "352x288", "-aspect",   "16:9",
                      "-b:v",       "1500k",   source});
    ASSERT_EQ(Probe(source, "v:0", "start_time"), "0.540000");
    ASSERT_EQ(Probe(source, "v:0", "sample_aspect_ratio"), "16:11");

    Job job(source, kContainerMkv, "late-vob.mkv");
    ASSERT_TRUE(job.opened);
    EXPECT_NEAR(double(job.probedLength) / kSecond, 3.0, 0.05);
    EXPECT_EQ(job.host.state.trimEnd, 3 * kSecond);
    job.UseCompressors("x264enc", "vorbisenc");
    ASSERT_TRUE(job.Run());
    const QString out = job.Output();
    EXPECT_NEAR(StreamEnd(out, "v:0"), 3.0, 0.05);
    EXPECT_NEAR(StreamEnd(out, "a:0"), 3.0, 0.05);
    // Stored as the source is, shown 16:9, with no bars.
    EXPECT_EQ(Probe(out, "v:0", "width") + "x" + Probe(out, "v:0", "height"), "352x288");
    EXPECT_EQ(Probe(out, "v:0", "display_aspect_ratio"), "16:9");
    const std::vector<QImage> frames = Frames(out, job.env.TempPath("frames"));
    ASSERT_EQ(frames.size(), 75u);
    EXPECT_EQ(FrameNumber(frames.front()), 0);
    EXPECT_EQ(FrameNumber(frames.back()), 74);
    EXPECT_GT(qGray(frames.front().pixel(176, 285)), 100) << "no bar below the picture";
    // The preview shows, and a conversion from a mark starts at, the same
    // picture.
    CheckStartsWhereShown(source, 3.0, 0.64);
}

// A plain VOB of ffmpeg's (its default low bit rate, AC-3 at 44.1 kHz):
// the demultiplexer's estimate from the packs says 2.85 s, its pictures last
// 3 s; the part it opens with is the length of its pictures and converts.
TEST(ConvertSources, SmallDvdTitleOfLowBitRateConvertsWhole) {
    Sources& s = Sources::Get();
    const QString source = s.Path("small.vob");
    if (!QFile::exists(source))
        Ff("ffmpeg", {"-nostdin",  "-y",
                      "-loglevel", "error",
                      "-f",        "lavfi",
                      "-i",        "testsrc2=size=160x120:rate=25:duration=3",
                      "-f",        "lavfi",
                      "-i",        "sine=frequency=440:sample_rate=44100:duration=3",
                      "-c:v",      "mpeg2video",
                      "-c:a",      "ac3",
                      "-f",        "vob",
                      "-pix_fmt",  "yuv420p",
                      source});
    Job job(source, kContainerMkv, "small-vob.mkv");
    ASSERT_TRUE(job.opened);
    EXPECT_EQ(job.host.state.trimEnd, 3 * kSecond);
    job.UseCompressors("x264enc", "vorbisenc");
    ASSERT_TRUE(job.Run());
    EXPECT_NEAR(StreamEnd(job.Output(), "v:0"), 3.0, 0.05);
}

// Interlaced H.264 in a transport stream whose clock starts at 3600 s: the
// whole clip opens and converts, and what is written is progressive.
TEST(ConvertSources, InterlacedTransportStreamIsWrittenWholeAndProgressive) {
    Sources& s = Sources::Get();
    const QString source = s.Make(
        "interlaced.ts",
        "videotestsrc num-buffers=150 pattern=ball ! video/x-raw,width=320,height=256,"
        "framerate=50/1 ! interlace field-pattern=1:1 top-field-first=true ! "
        "video/x-raw,format=I420 ! x264enc "
        "interlaced=true speed-preset=ultrafast key-int-max=25 ! h264parse ! queue ! mpegtsmux "
        "name=mux ! filesink location=@OUT@ " +
            Sources::Tone(3.0, "avenc_mp2", 440, 48000) + "! mux. ");
    ASSERT_FALSE(source.isEmpty());
    ASSERT_EQ(Probe(source, "v:0", "field_order"), "tt");

    Job job(source, kContainerMkv, "interlaced.mkv");
    ASSERT_TRUE(job.opened);
    EXPECT_NEAR(double(job.probedLength) / kSecond, 3.0, 0.05);
    job.UseCompressors("x264enc", "vorbisenc");
    ASSERT_TRUE(job.Run());
    const QString out = job.Output();
    EXPECT_NEAR(StreamEnd(out, "v:0"), 3.0, 0.05);
    EXPECT_NEAR(StreamEnd(out, "a:0"), 3.0, 0.05);
    // ffmpeg's field detector: "Single frame detection: TFF: 0 BFF: 0
    // Progressive: n Undetermined: m".
    const QString idet =
        Ff("ffmpeg", {"-nostdin", "-i", out, "-vf", "idet", "-an", "-f", "null", "-"});
    const QRegularExpressionMatch counts =
        QRegularExpression(
            R"(Single frame detection: TFF:\s*(\d+) BFF:\s*(\d+) Progressive:\s*(\d+))")
            .match(idet);
    ASSERT_TRUE(counts.hasMatch()) << idet.toStdString();
    EXPECT_LE(counts.captured(1).toInt() + counts.captured(2).toInt(), 2);
    EXPECT_GT(counts.captured(3).toInt(), 40);
}
