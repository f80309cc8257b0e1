// Containers as libav players read them: a clip that flashes and beeps
// together several times is converted and read back with ffmpeg, which
// places sound and pictures by the times the file stores (not by counting
// samples): variable-rate MP3 in AVI, and WMV and ASF at NTSC rates, whole
// and clean to their end; and an encoder that obeys its bit rate.
#include "options/CompressorCatalog.h"
#include "options/OutputSettings.h"
#include "support/ConvertJob.h"
#include "support/MediaFixtures.h"

#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace orvelin;
using namespace orvelin::test;

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 6;
const double kFlashes[] = {1.0, 2.5, 3.3, 4.7, 5.5}; // seconds, irregular

struct ToolRun {
    QByteArray out;
    QByteArray err;
};

ToolRun Ff(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return {p.readAllStandardOutput(), p.readAllStandardError()};
}

// A clip of `kSeconds` at `num`/`den` pictures per second, black but for
// one white picture at each flash, with a 1 kHz beep of 0.1 s starting
// with each white picture (H.264 and PCM in Matroska).
QString FlashAndBeepClip(int num, int den) {
    Sources& s = Sources::Get();
    const QString tag = QString("%1-%2").arg(num).arg(den);
    const QString video = s.Path("flashes-" + tag + ".yuv");
    const QString sound = s.Path("beeps-" + tag + ".wav");
    const int frames = int(std::ceil(double(kSeconds) * num / den)) + 1;
    const int w = 160, h = 120;
    std::vector<int> white;
    for (double t : kFlashes)
        white.push_back(int(std::lround(t * num / den)));
    if (!QFile::exists(video)) {
        QFile f(video);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        QByteArray chroma(w * h / 2, char(128));
        for (int i = 0; i < frames; ++i) {
            const bool lit = std::find(white.begin(), white.end(), i) != white.end();
            f.write(QByteArray(w * h, char(lit ? 235 : 16)));
            f.write(chroma);
        }
        QList<double> beeps;
        for (int n : white)
            beeps.append(double(n) * den / num);
        if (!WriteBeepsWav(sound, kRate, double(frames) * den / num, beeps))
            return {};
    }
    return s.Make("flash-beep-" + tag + ".mkv",
                  QString("filesrc location=\"%1\" ! rawvideoparse width=%2 height=%3 "
                          "format=i420 framerate=%4/%5 ! x264enc speed-preset=ultrafast ! "
                          "h264parse ! queue ! matroskamux name=mux ! filesink location=@OUT@ "
                          "filesrc location=\"%6\" ! wavparse ! audioconvert ! "
                          "audio/x-raw,format=S16LE ! queue ! mux. ")
                      .arg(video)
                      .arg(w)
                      .arg(h)
                      .arg(num)
                      .arg(den)
                      .arg(sound));
}

// When ffmpeg shows each white picture, and when each beep starts in the
// sound as ffmpeg places it by its time stamps.
struct Reading {
    int pictures = 0;
    QString rate; // the video stream's frame rate, as ffprobe gives it
    std::vector<double> flashes;
    std::vector<double> beeps;
};

Reading Read(const QString& file) {
    Reading r;
    const QString frames =
        Ff("ffprobe",
           {"-v", "error", "-f", "lavfi", "-i", "movie=" + file + ",signalstats", "-show_entries",
            "frame=pts_time:frame_tags=lavfi.signalstats.YAVG", "-of", "csv=p=0"})
            .out;
    bool lit = false;
    for (const QString& line : frames.split('\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(',');
        if (f.size() < 2)
            continue;
        ++r.pictures;
        const bool bright = f[1].toDouble() > 128;
        if (bright && !lit)
            r.flashes.push_back(f[0].toDouble());
        lit = bright;
    }
    r.rate =
        QString::fromLatin1(Ff("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                           "stream=r_frame_rate", "-of", "csv=p=0", file})
                                .out)
            .trimmed();
    const QByteArray pcm = Ff("ffmpeg", {"-v", "error", "-i", file, "-map", "0:a:0", "-af",
                                         "aresample=async=1:first_pts=0", "-ac", "1", "-ar",
                                         QString::number(kRate), "-f", "s16le", "-"})
                               .out;
    const auto* samples = reinterpret_cast<const int16_t*>(pcm.constData());
    int quiet = kRate;
    for (qsizetype i = 0; i < pcm.size() / 2; ++i) {
        if (std::abs(samples[i]) > 4000) {
            if (quiet > kRate / 10)
                r.beeps.push_back(double(i) / kRate);
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    return r;
}

// Every white picture shown at its time and heard with its beep.
void ExpectInStep(const Reading& r, int num, int den, double tolerance) {
    ASSERT_EQ(r.flashes.size(), std::size(kFlashes));
    ASSERT_EQ(r.beeps.size(), std::size(kFlashes));
    for (size_t i = 0; i < r.flashes.size(); ++i) {
        const double at = std::lround(kFlashes[i] * num / den) * double(den) / num;
        std::printf("flash %.3f s, beep %+.1f ms\n", r.flashes[i],
                    (r.beeps[i] - r.flashes[i]) * 1000);
        EXPECT_NEAR(r.flashes[i], at, 0.002);
        EXPECT_NEAR(r.beeps[i], r.flashes[i], tolerance);
    }
}

} // namespace

TEST(ConvertContainers, VariableRateMp3InAviIsInStepForLibavPlayers) {
    const QString source = FlashAndBeepClip(25, 1);
    ASSERT_FALSE(source.isEmpty());
    Job job(source, kContainerAvi, "mp3.avi");
    ASSERT_TRUE(job.opened);
    job.UseCompressors("x264enc", "lamemp3enc"); // the encoder's default is VBR
    ASSERT_TRUE(job.Run()) << job.env.ui.MessageTexts().join("|").toStdString();
    ExpectInStep(Read(job.Output()), 25, 1, 0.020);
}

TEST(ConvertContainers, WindowsMediaKeepsNtscRatesEveryPictureAndTheSoundInStep) {
    struct Case {
        int32_t format;
        const char* name;
        int num;
        int den;
    };
    for (const Case& c : {Case{kContainerWmv, "ntsc.wmv", 30000, 1001},
                          Case{kContainerAsf, "film.asf", 24000, 1001}}) {
        SCOPED_TRACE(c.name);
        const QString source = FlashAndBeepClip(c.num, c.den);
        ASSERT_FALSE(source.isEmpty());
        Job job(source, c.format, c.name);
        ASSERT_TRUE(job.opened);
        ASSERT_TRUE(job.Run()) << job.env.ui.MessageTexts().join("|").toStdString();
        const ToolRun decoded =
            Ff("ffmpeg", {"-v", "error", "-i", job.Output(), "-f", "null", "-"});
        EXPECT_TRUE(decoded.out.isEmpty() && decoded.err.isEmpty()) << decoded.err.toStdString();
        const Reading r = Read(job.Output());
        EXPECT_EQ(r.rate, QString("%1/%2").arg(c.num).arg(c.den));
        // Every picture that starts within the converted seconds.
        EXPECT_EQ(r.pictures, int(std::ceil(double(kSeconds) * c.num / c.den)));
        ExpectInStep(r, c.num, c.den, 0.020);
    }
}

TEST(ConvertContainers, Mpeg4PartTwoWritesTheBitRateItsSettingsHold) {
    // Moving detail that the encoder codes at 600 kbit/s and at three times
    // that, well between its coarsest and finest quantiser.
    const QString source = Sources::Get().Make(
        "zone-plate.mkv", "videotestsrc num-buffers=150 pattern=zone-plate kx2=4 ky2=4 kt2=1 "
                          "kxt=1 ! video/x-raw,width=320,height=240,framerate=25/1 ! "
                          "x264enc pass=quant quantizer=10 speed-preset=ultrafast ! h264parse ! "
                          "matroskamux ! filesink location=@OUT@");
    ASSERT_FALSE(source.isEmpty());
    for (int bitrate : {600000, 1800000}) {
        SCOPED_TRACE(bitrate);
        Job job(source, kContainerAvi, QString("mpeg4-%1.avi").arg(bitrate));
        ASSERT_TRUE(job.opened);
        job.UseCompressors("avenc_mpeg4", nullptr);
        SelectedVideoCompressor()->SetProperty("bitrate", QString::number(bitrate));
        ASSERT_TRUE(job.Run()) << job.env.ui.MessageTexts().join("|").toStdString();
        qint64 bytes = 0;
        for (const QByteArray& size :
             Ff("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries", "packet=size",
                            "-of", "csv=p=0", job.Output()})
                 .out.split('\n'))
            bytes += size.toLongLong();
        const double written = bytes * 8.0 / job.probedLength * media::kUnitsPerSecond;
        std::printf("set %d bit/s, written %.0f bit/s\n", bitrate, written);
        EXPECT_NEAR(written, bitrate, 0.15 * bitrate);
    }
}
