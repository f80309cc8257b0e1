// The sound of a converted file ends with its picture: a source whose
// sound track is shorter than its picture gets silence up to the end, and
// a conversion stopped by the user ends both streams at the same time.
#include "convert/ConversionController.h"
#include "options/OutputSettings.h"
#include "support/ConvertJob.h"
#include "support/DecodedStreams.h"
#include "support/MediaFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace orvelin;
using namespace orvelin::test;
using namespace std::chrono_literals;

namespace {

constexpr double kTogether = 0.05; // seconds

QString ShortSoundSource() {
    Sources& s = Sources::Get();
    return s.Make("short-sound.mkv",
                  "videotestsrc num-buffers=175 ! video/x-raw,width=160,height=120,"
                  "framerate=25/1 ! x264enc speed-preset=ultrafast key-int-max=25 ! h264parse ! "
                  "queue ! matroskamux name=mux ! filesink location=@OUT@ " +
                      Sources::Tone(5.0, "vorbisenc") + "! mux. ");
}

} // namespace

TEST(ConvertSoundEnds, SoundShorterThanThePictureIsFilledWithSilence) {
    const QString source = ShortSoundSource();
    ASSERT_FALSE(source.isEmpty());
    struct Case {
        int32_t container;
        const char* name;
        const char* sound;
    };
    for (const Case& c : {Case{kContainerMkv, "short-sound-out.mkv", "vorbisenc"},
                          Case{kContainerAvi, "short-sound-out.avi", "lamemp3enc"},
                          Case{kContainerAvi, "short-sound-pcm.avi", nullptr}}) {
        SCOPED_TRACE(c.name);
        Job job(source, c.container, c.name);
        ASSERT_TRUE(job.opened);
        job.UseCompressors("x264enc", c.sound);
        ASSERT_TRUE(job.Run());
        const DecodedStreams out = DecodeStreams(job.Output(), job.env.TempPath("decoded"));
        ASSERT_TRUE(out.ok);
        EXPECT_NEAR(out.VideoEnd(), 7.0, 0.05);
        std::printf("%s: picture ends %.3f s, sound %.3f s\n", c.name, out.VideoEnd(),
                    out.SoundEnd());
        EXPECT_NEAR(out.SoundEnd(), out.VideoEnd(), kTogether);
        // The tone is kept up to its end; silence follows.
        EXPECT_NEAR(out.FirstLoudSample(), 0.0, 0.1);
    }
}

namespace {

// A 640 x 480 source long enough to be stopped well before its end.
QString LongSource() {
    Sources& s = Sources::Get();
    return s.Make("long.mkv", "videotestsrc num-buffers=750 pattern=ball ! "
                              "video/x-raw,width=640,height=480,framerate=25/1 ! "
                              "x264enc speed-preset=ultrafast key-int-max=25 ! h264parse ! "
                              "queue ! matroskamux name=mux ! filesink location=@OUT@ " +
                                  Sources::Tone(30.0, "vorbisenc") + "! mux. ");
}

} // namespace

TEST(ConvertSoundEnds, StoppedConversionEndsSoundAndPictureTogether) {
    const QString source = LongSource();
    ASSERT_FALSE(source.isEmpty());
    struct Case {
        int32_t container;
        const char* name;
        const char* video;
        const char* sound;
    };
    for (const Case& c : {Case{kContainerMkv, "stopped.mkv", "x264enc", "vorbisenc"},
                          Case{kContainerOgm, "stopped.ogg", "theoraenc", "vorbisenc"}}) {
        SCOPED_TRACE(c.name);
        Job job(source, c.container, c.name);
        ASSERT_TRUE(job.opened);
        job.UseCompressors(c.video, c.sound);
        job.controller.OnConvertClicked();
        ASSERT_TRUE(job.controller.Converting())
            << job.env.ui.MessageTexts().join("|").toStdString();
        ASSERT_TRUE(WaitFor([&] { return job.host.status.endsWith("00:00:01"); }, 30s));
        ASSERT_TRUE(job.controller.Converting()) << "the job ended before it could be stopped";
        job.controller.OnConvertClicked(); // Stop
        EXPECT_FALSE(job.controller.Converting());
        const DecodedStreams out = DecodeStreams(job.Output(), job.env.TempPath("decoded"));
        ASSERT_TRUE(out.ok);
        EXPECT_GT(out.VideoEnd(), 0.5);
        EXPECT_LT(out.VideoEnd(), 29.0);
        std::printf("%s: picture ends %.3f s, sound %.3f s\n", c.name, out.VideoEnd(),
                    out.SoundEnd());
        EXPECT_NEAR(out.SoundEnd(), out.VideoEnd(), kTogether);
    }
}
