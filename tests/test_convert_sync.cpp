// Picture and sound stay together through every container and sound
// encoder: a clip that flashes one white frame and beeps at the same moment
// is converted, decoded again, and the flash and the start of the beep are
// compared.
#include "media/EncoderRegistry.h"
#include "options/OutputSettings.h"
#include "support/ConvertJob.h"
#include "support/DecodedStreams.h"
#include "support/MediaFixtures.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

using namespace orvelin;
using namespace orvelin::test;

namespace {

constexpr double kFlash = 1.0;       // seconds
constexpr double kTolerance = 0.010; // seconds
constexpr int kRate = 44100;

// 50 black frames at 25 per second; frame 25 (at 1 s) is white.
QString FlashAndBeepSource() {
    Sources& s = Sources::Get();
    const QString frames = s.Path("flash");
    const QString wav = s.Path("beep.wav");
    if (!QDir(frames).exists()) {
        QDir().mkpath(frames);
        for (int i = 0; i < 50; ++i) {
            QImage image(160, 120, QImage::Format_RGB32);
            image.fill(i == 25 ? Qt::white : Qt::black);
            image.save(QString("%1/%2.png").arg(frames).arg(i, 5, 10, QChar('0')), "PNG");
        }
        if (!WriteBeepsWav(wav, kRate, 2.0, {kFlash}))
            return {};
    }
    return s.Make("flash-beep.mkv",
                  QString("multifilesrc location=\"%1/%05d.png\" index=0 stop-index=49 "
                          "caps=\"image/png,framerate=25/1\" ! pngdec ! videoconvert ! "
                          "video/x-raw,format=I420 ! x264enc speed-preset=ultrafast ! h264parse ! "
                          "queue ! matroskamux name=mux ! filesink location=@OUT@ "
                          "filesrc location=\"%2\" ! wavparse ! audioconvert ! "
                          "audio/x-raw,format=S16LE ! queue ! mux. ")
                      .arg(frames, wav));
}

struct Pair {
    int32_t container;
    const char* extension;
    const char* video;
    const char* sound; // nullptr: uncompressed
};

} // namespace

TEST(ConvertSync, TheSourceFlashesAndBeepsTogether) {
    const QString source = FlashAndBeepSource();
    ASSERT_FALSE(source.isEmpty());
    const DecodedStreams in = DecodeStreams(source, Sources::Get().Path("decoded-source"));
    ASSERT_TRUE(in.ok);
    EXPECT_NEAR(in.FirstBrightPicture(), kFlash, 0.001);
    EXPECT_NEAR(in.FirstLoudSample(), kFlash, 0.001);
}

TEST(ConvertSync, FlashAndBeepStayTogetherInEveryContainer) {
    const QString source = FlashAndBeepSource();
    ASSERT_FALSE(source.isEmpty());
    const Pair pairs[] = {
        {kContainerMkv, "mkv", "x264enc", nullptr},
        {kContainerMkv, "mkv", "x264enc", "vorbisenc"},
        {kContainerMkv, "mkv", "x264enc", "opusenc"},
        {kContainerMkv, "mkv", "x264enc", "lamemp3enc"},
        {kContainerMkv, "mkv", "x264enc", "avenc_aac"},
        {kContainerAvi, "avi", "x264enc", nullptr},
        {kContainerAvi, "avi", "x264enc", "lamemp3enc"},
        {kContainerMp4, "mp4", "x264enc", "avenc_aac"},
        {kContainerMp4, "mp4", "x264enc", "voaacenc"},
        {kContainerMp4, "mp4", "x264enc", "fdkaacenc"},
        {kContainerMp4, "mp4", "x264enc", "lamemp3enc"},
        {kContainerOgm, "ogg", "theoraenc", "vorbisenc"},
        {kContainerOgm, "ogg", "theoraenc", "opusenc"},
    };
    for (const Pair& p : pairs) {
        const QString name =
            QString("sync-%1-%2.%3").arg(p.video, p.sound ? p.sound : "pcm", p.extension);
        SCOPED_TRACE(name.toStdString());
        if (!media::BindCompressor(QString::fromLatin1(p.video)) ||
            (p.sound && !media::BindCompressor(QString::fromLatin1(p.sound)))) {
            std::printf("%s: encoder not installed, skipped\n", qPrintable(name));
            continue;
        }
        Job job(source, p.container, name);
        ASSERT_TRUE(job.opened);
        job.UseCompressors(p.video, p.sound);
        ASSERT_TRUE(job.Run()) << job.env.ui.MessageTexts().join("|").toStdString();
        const DecodedStreams out = DecodeStreams(job.Output(), job.env.TempPath("decoded"));
        ASSERT_TRUE(out.ok);
        const double flash = out.FirstBrightPicture();
        const double beep = out.FirstLoudSample();
        std::printf("%s: flash %.3f s, beep %.3f s, sound %+.1f ms\n", qPrintable(name), flash,
                    beep, (beep - flash) * 1000.0);
        EXPECT_NEAR(flash, kFlash, 0.041);
        EXPECT_NEAR(beep - flash, 0.0, kTolerance);
    }
}
