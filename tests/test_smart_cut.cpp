// Cuts without re-encoding, checked with ffmpeg: the pictures at both marks,
// the copied middle bit for bit, the sound in step, and the refusals.
#include "convert/CopyConversion.h"
#include "media/MediaPlatform.h"
#include "media/SmartCut.h"
#include "media/smartcut/Mp4Tracks.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace orvelin;
using namespace orvelin::test;

namespace {

QByteArray RunTool(const QString& tool, const QStringList& args) {
    QProcess p;
    p.start(tool, args);
    p.waitForFinished(60000);
    return p.readAllStandardOutput() + p.readAllStandardError();
}

// The decoded pictures of a file as 320x240 luma planes.
std::vector<QByteArray> Pictures(const QString& path) {
    QProcess p;
    p.start("ffmpeg", {"-v", "error", "-i", path, "-map", "0:v", "-fps_mode", "passthrough",
                       "-pix_fmt", "gray", "-f", "rawvideo", "-"});
    p.waitForFinished(60000);
    const QByteArray all = p.readAllStandardOutput();
    std::vector<QByteArray> out;
    for (qsizetype at = 0; at + 320 * 240 <= all.size(); at += 320 * 240)
        out.push_back(all.mid(at, 320 * 240));
    return out;
}

double Psnr(const QByteArray& a, const QByteArray& b) {
    double sum = 0;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const double d = double(uint8_t(a[i])) - double(uint8_t(b[i]));
        sum += d * d;
    }
    return sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * a.size() / sum);
}

std::vector<QByteArray> PacketHashes(const QString& path) {
    std::vector<QByteArray> hashes;
    for (const QByteArray& line : RunTool("ffmpeg", {"-v", "error", "-i", path, "-map", "0:v", "-c",
                                                     "copy", "-f", "framemd5", "-"})
                                      .split('\n'))
        if (!line.startsWith('#') && line.count(',') >= 5)
            hashes.push_back(line.split(',').last().trimmed());
    return hashes;
}

// The time of a stream's first packet, or of its first decoded frame (with
// the edit lists applied).
double FirstTime(const QString& path, const char* stream, const char* what = "packet") {
    return RunTool("ffprobe", {"-v", "error", "-select_streams", stream, "-show_entries",
                               QStringLiteral("%1=pts_time").arg(what), "-of", "csv=p=0",
                               "-read_intervals", "%+#1", path})
        .split('\n')
        .first()
        .split(',')
        .first()
        .toDouble();
}

class SmartCutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(media::Succeeded(media::InitializeMediaPlatform()));
    }

    // 100 pictures of 320x240 video at `fps` with a keyframe every 12 (H.264
    // with B-frames unless `video` says otherwise), and AAC sound.
    QString Source(const QString& name, const char* mux,
                   const char* video = "x264enc key-int-max=12 bframes=2 speed-preset=ultrafast "
                                       "! h264parse") {
        const QString path = dir.filePath(name);
        const QString desc =
            QStringLiteral("videotestsrc pattern=ball num-buffers=100 ! "
                           "video/x-raw,format=I420,width=320,height=240,framerate=%4/1 ! %3 ! %1 "
                           "name=m ! filesink location=%2 audiotestsrc num-buffers=188 "
                           "samplesperbuffer=1024 ! audio/x-raw,rate=48000 ! avenc_aac ! m.")
                .arg(QLatin1String(mux), path, QLatin1String(video))
                .arg(fps);
        EXPECT_TRUE(RunGstLaunch(desc));
        return path;
    }

    // Cuts and checks every promise of the copy against the source.
    // `joined`: copied packets that carry more units in front of their own
    // bytes (the source's parameter sets where the copy starts).
    media::SmartCutReport CutAndCheck(const QString& source, const QString& out, double start,
                                      double end, int joined = 0) {
        media::SmartCutJob job;
        job.source = source.toStdString();
        job.output = out.toStdString();
        job.start = std::llround(start * 1e7);
        job.end = std::llround(end * 1e7);
        job.muxer = out.endsWith(".mp4") ? "mp4mux" : "matroskamux";
        EXPECT_EQ(media::SmartCutRefusal(job), "");
        std::atomic<bool> stop{false};
        const media::SmartCutReport r = media::RunSmartCut(job, stop, nullptr);
        EXPECT_TRUE(media::Succeeded(r.hr)) << r.error;

        // The picture shown at the start mark to the one before the end mark.
        const int first = int(std::floor(start * fps + 1e-9));
        const int last = int(std::ceil(end * fps - 1e-9)) - 1;
        const std::vector<QByteArray> src = Pictures(source), got = Pictures(out);
        EXPECT_EQ(int(got.size()), last - first + 1);
        EXPECT_EQ(r.videoFrames, last - first + 1);
        int exact = 0;
        for (size_t i = 0; i < got.size() && first + i < src.size(); ++i) {
            EXPECT_GE(Psnr(got[i], src[first + i]), 40.0) << "picture " << i;
            exact += got[i] == src[first + i];
            // Nearer its own source picture than the one before it.
            if (first + i > 0 && src[first + i] != src[first + i - 1]) {
                EXPECT_GT(Psnr(got[i], src[first + i]), Psnr(got[i], src[first + i - 1]))
                    << "picture " << i;
            }
        }
        EXPECT_GE(exact, r.copiedFrames); // copied pictures decode the same
        // Every copied packet is one of the source's, byte for byte.
        const std::vector<QByteArray> srcPackets = PacketHashes(source);
        const std::set<QByteArray> known(srcPackets.begin(), srcPackets.end());
        int same = 0;
        for (const QByteArray& h : PacketHashes(out))
            same += known.count(h) ? 1 : 0;
        EXPECT_EQ(same, r.copiedFrames - joined);
        EXPECT_EQ(RunTool("ffmpeg", {"-v", "error", "-i", out, "-f", "null", "-"}), QByteArray());
        // The sound starts with the picture, within one AAC frame; in MP4 to
        // the sample, its edit list skipping the part before the picture.
        EXPECT_NEAR(FirstTime(out, "a"), FirstTime(out, "v"), 0.0215);
        if (out.endsWith(".mp4")) {
            EXPECT_NEAR(FirstTime(out, "a", "frame"), FirstTime(out, "v", "frame"), 0.0005);
        }
        return r;
    }

    QTemporaryDir dir;
    int fps = 25;
};

TEST_F(SmartCutTest, MarksBetweenKeyframesReencodeOnlyTheEnds) {
    const QString mkv = Source("src.mkv", "matroskamux");
    const media::SmartCutReport r = CutAndCheck(mkv, dir.filePath("a.mkv"), 0.70, 3.30);
    // 0.68 to 0.92 and 2.88 to 3.28 encoded again, 0.96 to 2.84 copied.
    EXPECT_EQ(r.reencodedFrames, 7 + 11);
    EXPECT_EQ(r.copiedFrames, 48);
    EXPECT_GT(r.audioFrames, 0);
    const QString mp4 = Source("src.mp4", "mp4mux");
    CutAndCheck(mp4, dir.filePath("b.mp4"), 0.70, 3.30);
    // No keyframe inside: the whole stretch is encoded again.
    const media::SmartCutReport whole = CutAndCheck(mkv, dir.filePath("c.mkv"), 1.05, 1.35);
    EXPECT_EQ(whole.copiedFrames, 0);
    EXPECT_EQ(whole.reencodedFrames, 8);
}

TEST_F(SmartCutTest, MarksOnKeyframesCopyEverything) {
    const QString mp4 = Source("src.mp4", "mp4mux");
    const media::SmartCutReport r = CutAndCheck(mp4, dir.filePath("a.mp4"), 0.96, 2.88);
    EXPECT_EQ(r.reencodedFrames, 0);
    EXPECT_EQ(r.copiedFrames, 48);
}

TEST_F(SmartCutTest, WhatCannotBeCopiedIsRefusedInAPlainSentence) {
    const QString vp8 = dir.filePath("vp8.mkv");
    ASSERT_TRUE(RunGstLaunch(QStringLiteral("videotestsrc num-buffers=50 ! "
                                            "video/x-raw,width=320,height=240,framerate=25/1 ! "
                                            "vp8enc ! matroskamux ! filesink location=%1")
                                 .arg(vp8)));
    media::SmartCutJob job;
    job.source = vp8.toStdString();
    job.output = dir.filePath("x.mkv").toStdString();
    job.start = 5000000;
    job.end = 15000000;
    EXPECT_NE(media::SmartCutRefusal(job).find("VP8"), std::string::npos);
    std::atomic<bool> stop{false};
    EXPECT_TRUE(media::Failed(media::RunSmartCut(job, stop, nullptr).hr));
    EXPECT_FALSE(QFile::exists(dir.filePath("x.mkv"))); // nothing written

    // Through the program: another size, another rate, sound not copied.
    MainState state;
    state.items.push_back({Source("src.mkv", "matroskamux"), 40000000});
    state.trimStart = 5000000;
    state.trimEnd = 30000000;
    state.output.outputFormat = kContainerMkv;
    state.output.useVideoCompressor = kCopyStream;
    state.output.useAudioCompressor = kCopyStream;
    state.output.outputWidth = 320;
    state.output.outputHeight = 240;
    state.output.frameRateIndex = 0;
    EXPECT_EQ(CopyRefusalText(state), QString());
    state.output.outputWidth = 640;
    EXPECT_TRUE(CopyRefusalText(state).contains("320*240")) << CopyRefusalText(state).toStdString();
    state.output.outputWidth = 320;
    state.output.frameRateIndex = 3;
    state.output.outputFrameRate = 30;
    EXPECT_TRUE(CopyRefusalText(state).contains("frame rate"));
    state.output.frameRateIndex = 0;
    state.output.useAudioCompressor = 0;
    EXPECT_TRUE(CopyRefusalText(state).contains("sound"));
    state.output.useAudioCompressor = kCopyStream;
    state.output.outputFormat = kContainerAvi;
    EXPECT_FALSE(CopyRefusalText(state).isEmpty());
}

// H.265 in open groups: its keyframes are clean-random-access pictures
// whose leading pictures need the group before (the start mark falls on
// one). A turned picture stays turned in MP4 and is refused for Matroska.
// VP9 joins as it is.
TEST_F(SmartCutTest, H265AndVp9CutExactlyToo) {
    const QString hevc = Source("hevc.mp4", "mp4mux",
                                "x265enc key-int-max=12 speed-preset=ultrafast "
                                "option-string=bframes=3:open-gop=1:scenecut=0 ! h265parse");
    ASSERT_TRUE(media::smartcut::SetMp4VideoRotation(hevc.toStdString(), 90));
    const media::SmartCutReport r = CutAndCheck(hevc, dir.filePath("a.mp4"), 0.41, 3.30, 1);
    EXPECT_GE(r.copiedFrames, 60);
    auto turn = [](const QString& path) {
        return RunTool("ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries",
                                   "stream_side_data=rotation", "-of", "csv=p=0", path})
            .trimmed();
    };
    EXPECT_FALSE(turn(hevc).isEmpty());
    EXPECT_EQ(turn(dir.filePath("a.mp4")), turn(hevc));
    media::SmartCutJob job;
    job.source = hevc.toStdString();
    job.output = dir.filePath("b.mkv").toStdString();
    job.start = 5000000;
    job.end = 30000000;
    EXPECT_NE(media::SmartCutRefusal(job).find("turned by 90 degrees"), std::string::npos);

    // At 30 a second WebM rounds the times to milliseconds: pictures
    // overlap the next one's start.
    fps = 30;
    const QString vp9 = dir.filePath("vp9.webm");
    RunTool("ffmpeg", {"-v",           "error",      "-f",
                       "lavfi",        "-i",         "testsrc2=size=320x240:rate=30",
                       "-f",           "lavfi",      "-i",
                       "sine=r=48000", "-t",         "3.4",
                       "-c:v",         "libvpx-vp9", "-g",
                       "12",           "-deadline",  "realtime",
                       "-cpu-used",    "8",          "-c:a",
                       "libopus",      vp9});
    EXPECT_EQ(CutAndCheck(vp9, dir.filePath("c.mp4"), 0.71, 3.25).copiedFrames, 72);
}

// Pictures missing in the source are copied as missing, and said so.
TEST_F(SmartCutTest, HolesInTheSourceAreReported) {
    const QString holed = dir.filePath("holed.mkv");
    RunTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25", "-t",
                       "4", "-vf", "select='not(between(n,40,55))'", "-fps_mode", "passthrough",
                       "-c:v", "libx264", "-g", "12", holed});
    media::SmartCutJob job;
    job.source = holed.toStdString();
    job.output = dir.filePath("out.mkv").toStdString();
    job.start = 7000000;
    job.end = 33000000;
    std::atomic<bool> stop{false};
    const media::SmartCutReport r = media::RunSmartCut(job, stop, nullptr);
    ASSERT_TRUE(media::Succeeded(r.hr)) << r.error;
    EXPECT_EQ(r.damage, 1);
    EXPECT_EQ(r.firstDamage, "pictures missing from 1.60 s to 2.24 s");
    EXPECT_EQ(RunTool("ffmpeg", {"-v", "error", "-i", dir.filePath("out.mkv"), "-f", "null", "-"}),
              QByteArray());
}

} // namespace

// MPEG-2 in a DVD-style program stream with open groups and MPEG audio: the
// I pictures are copy points, the B pictures shown before one are encoded
// with the start, and the stream's times begin at its first picture.
TEST_F(SmartCutTest, Mpeg2ProgramStreamsCopyFromTheirIPictures) {
    auto makeVob = [&](const QString& name, const QStringList& more) {
        const QString path = dir.filePath(name);
        const QString args = "-v error -f lavfi -i testsrc2=size=320x240:rate=25:duration=4 -f "
                             "lavfi -i sine=f=440:r=48000:d=4 -c:v mpeg2video -g 12 -bf 2 -q:v 4 "
                             "-c:a mp2";
        RunTool("ffmpeg", args.split(' ') + more + QStringList{"-f", "vob", path});
        return path;
    };
    const QString vob = makeVob("src.vob", {});
    const std::vector<QByteArray> src = Pictures(vob), srcPackets = PacketHashes(vob);
    const std::set<QByteArray> known(srcPackets.begin(), srcPackets.end());
    media::SmartCutJob job;
    job.source = vob.toStdString();
    auto cut = [&](double start, double end) {
        job.output = dir.filePath("out.mkv").toStdString();
        // The marks count from the first picture, as the program's do.
        job.start = std::llround(start * 1e7);
        job.end = std::llround(end * 1e7);
        EXPECT_EQ(media::SmartCutRefusal(job), "");
        std::atomic<bool> stop{false};
        const media::SmartCutReport r = media::RunSmartCut(job, stop, nullptr);
        EXPECT_TRUE(media::Succeeded(r.hr)) << r.error;
        const QString out = dir.filePath("out.mkv");
        const int first = int(std::floor(start * 25 + 1e-9));
        const std::vector<QByteArray> got = Pictures(out);
        EXPECT_EQ(int(got.size()), int(std::ceil(end * 25 - 1e-9)) - first);
        int exact = 0, same = 0;
        for (size_t i = 0; i < got.size() && first + i < src.size(); ++i) {
            EXPECT_GE(Psnr(got[i], src[first + i]), 40.0) << "picture " << i;
            exact += got[i] == src[first + i];
        }
        for (const QByteArray& h : PacketHashes(out))
            same += known.count(h) ? 1 : 0;
        EXPECT_EQ(exact, r.copiedFrames);
        EXPECT_EQ(same, r.copiedFrames);
        EXPECT_EQ(RunTool("ffmpeg", {"-v", "error", "-i", out, "-f", "null", "-"}), QByteArray());
        EXPECT_NEAR(FirstTime(out, "a"), FirstTime(out, "v"), 0.024); // one MPEG audio frame
        return r;
    };
    // 0.68 to 0.92 (the last two are B pictures of the I at 0.96) and 3.28
    // encoded again.
    media::SmartCutReport r = cut(0.70, 3.30);
    EXPECT_EQ(r.reencodedFrames, 8);
    EXPECT_EQ(r.copiedFrames, 58);
    // From an I picture to the B pictures before another: all copied.
    r = cut(0.96, 2.80);
    EXPECT_EQ(r.reencodedFrames, 0);
    EXPECT_EQ(r.copiedFrames, 46);

    job.muxer = "mp4mux";
    EXPECT_NE(media::SmartCutRefusal(job).find("MP4"), std::string::npos);
    job.muxer = "matroskamux";
    job.source = makeVob("interlaced.vob", {"-flags", "+ilme+ildct", "-top", "1"}).toStdString();
    EXPECT_NE(media::SmartCutRefusal(job).find("Interlaced"), std::string::npos);
}
