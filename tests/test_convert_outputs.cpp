// What a conversion writes, read back with gst-discoverer and by decoding
// frames: each container with its compressors, the length of the trimmed
// part, the frame size and rate, letterboxing of pictures with non-square
// pixels, silence for a video without sound, and a wipe over a single clip.
#include "convert/ConversionController.h"
#include "convert/TimelineBuilder.h"
#include "media/CaptureGraphBuilder.h"
#include "media/EncoderRegistry.h"
#include "media/ErrorText.h"
#include "media/RenderEngine.h"
#include "media/TransitionPatterns.h"
#include "options/CompressorCatalog.h"
#include "support/ConvertTestHost.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

using namespace orvelin;
using namespace std::chrono_literals;

namespace {

constexpr media::REFERENCE_TIME kSecond = media::kUnitsPerSecond;

class Sources {
public:
    static Sources& Get() {
        static Sources sources;
        return sources;
    }
    QString Make(const QString& name, const test::MediaSpec& clip) {
        const QString path = dir_.filePath(name);
        if (!QFile::exists(path)) {
            QString log;
            EXPECT_TRUE(test::MakeMedia(path, clip, &log)) << log.toStdString();
        }
        return path;
    }
    // 3 s, 160 x 120, 25 fps, with sound.
    QString Clip() {
        test::MediaSpec clip;
        clip.width = 160;
        clip.height = 120;
        clip.seconds = 3.0;
        return Make("clip.mkv", clip);
    }

private:
    QTemporaryDir dir_;
};

struct Job {
    test::TestEnv env;
    test::ConvertTestHost host{env.ui};
    ConversionController controller{host};

    Job(const QString& source, double seconds, int width, int height, int32_t format,
        const QString& outputName) {
        host.OpenVideo(source, seconds, width, height, 25.0, env.TempPath(outputName), format);
        host.state.output.frameRateIndex = 3;
    }
    ~Job() { ReleaseSelectedCompressors(); }

    void UseCompressors(const char* video, const char* audio) {
        test::UseCompressors(host.state.output, video, audio);
    }
    // Presses Convert, answers what is asked with Yes, and waits for the end.
    test::MediaFacts Run() {
        controller.OnConvertClicked();
        EXPECT_TRUE(controller.Converting()) << env.ui.MessageTexts().join("|").toStdString();
        EXPECT_TRUE(test::WaitFor([&] { return !controller.Converting(); }, 60s));
        EXPECT_TRUE(host.status.startsWith("Done. ")) << host.status.toStdString();
        return test::Discover(host.state.output.outputPath);
    }
    double TrimSeconds() const {
        return double(host.state.trimEnd - host.state.trimStart) / kSecond;
    }
};

// The decoded frames of a file, in order.
std::vector<QImage> Frames(const QString& path, const QString& folder) {
    QDir().mkpath(folder);
    QString log;
    const QString pipeline = test::DecodeOnly(path, "video/x-raw") +
                             QString(" ! videoconvert ! video/x-raw,format=RGB ! pngenc "
                                     "snapshot=false ! multifilesink location=\"%1/f%05d.png\"")
                                 .arg(folder);
    EXPECT_TRUE(test::RunGstLaunch(pipeline, &log, 20000)) << log.toStdString();
    std::vector<QImage> frames;
    for (const QString& name : QDir(folder).entryList({"f*.png"}, QDir::Files, QDir::Name))
        frames.push_back(QImage(folder + "/" + name));
    return frames;
}

// Mean brightness (0 to 255) of a row of a frame.
double RowBrightness(const QImage& image, int y) {
    double sum = 0;
    for (int x = 0; x < image.width(); ++x)
        sum += qGray(image.pixel(x, y));
    return sum / image.width();
}

double Brightness(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        sum += RowBrightness(image, y);
    return sum / image.height();
}

} // namespace

TEST(ConvertOutputs, UncompressedMatroskaKeepsTheTrimmedLengthSizeAndRate) {
    Job job(Sources::Get().Clip(), 3.0, 160, 120, kContainerMkv, "raw.mkv");
    job.host.state.trimStart = kSecond / 2;
    job.host.state.trimEnd = 5 * kSecond / 2;
    const test::MediaFacts facts = job.Run();
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_TRUE(facts.raw.contains("container format: Matroska"));
    EXPECT_NEAR(facts.durationSeconds, job.TrimSeconds(), 0.04);
    EXPECT_EQ(facts.width, 160);
    EXPECT_EQ(facts.height, 120);
    EXPECT_EQ(facts.fpsNum, 25);
    EXPECT_EQ(facts.fpsDen, 1);
    EXPECT_EQ(facts.videoStreams, 1);
    EXPECT_EQ(facts.audioStreams, 1);
    EXPECT_TRUE(facts.raw.contains("format=(string)RGB"));
    EXPECT_TRUE(facts.raw.contains("format=(string)S16LE")); // 16-bit sound, not 32
}

TEST(ConvertOutputs, UncompressedAviOfOddWidthIsBgrWithPaddedRowsAtTheUnroundedRate) {
    Job job(Sources::Get().Clip(), 3.0, 160, 120, kContainerAvi, "raw.avi");
    job.host.state.output.frameRateIndex = 1;
    job.host.state.output.outputFrameRate = 23.976;
    job.host.state.output.outputWidth = 641;
    job.host.state.output.outputHeight = 480;
    job.host.state.trimEnd = kSecond;
    const test::MediaFacts facts = job.Run();
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_TRUE(facts.raw.contains("container format: AVI"));
    EXPECT_EQ(facts.width, 641);
    EXPECT_EQ(facts.height, 480);
    EXPECT_NEAR(facts.durationSeconds, 1.0, 125.0 / 2997.0);
    EXPECT_EQ(facts.fpsNum, 2997); // 23.976 is 2997/125, not 24000/1001
    EXPECT_EQ(facts.fpsDen, 125);
    EXPECT_TRUE(facts.raw.contains("format=(string)BGR")) << facts.raw.toStdString();
    EXPECT_TRUE(facts.raw.contains("format=(string)S16LE"));
    // 24 pictures of 1924 × 480 bytes are stored.
    EXPECT_GT(QFileInfo(job.host.state.output.outputPath).size(), 24LL * 923520);
}

TEST(ConvertOutputs, X264WithAacInMp4) {
    Job job(Sources::Get().Clip(), 3.0, 160, 120, kContainerMp4, "h264.mp4");
    job.UseCompressors("x264enc", "avenc_aac");
    job.host.state.trimStart = kSecond;
    job.host.state.trimEnd = 3 * kSecond;
    const test::MediaFacts facts = job.Run();
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_EQ(job.host.filterDialogs, 1);
    QStringList names;
    for (const auto& filter : job.host.shownFilters)
        names << filter->Name();
    EXPECT_TRUE(names.contains("VideoCompressor") && names.contains("AudioCompressor") &&
                names.contains("File writer"))
        << names.join(",").toStdString();
    EXPECT_TRUE(facts.raw.contains("container format: ISO MP4/M4A"));
    EXPECT_TRUE(facts.raw.contains("H.264"));
    EXPECT_TRUE(facts.raw.contains("chroma-format=(string)4:2:0"));
    EXPECT_TRUE(facts.raw.contains("MPEG-4 AAC"));
    EXPECT_NEAR(facts.durationSeconds, job.TrimSeconds(), 0.06);
    EXPECT_EQ(facts.fpsNum, 25);
    EXPECT_EQ(Frames(job.host.state.output.outputPath, job.env.TempPath("frames")).size(), 50u);
}

TEST(ConvertOutputs, TheUsersReorderingSettingComesBackAfterAnAviJob) {
    // AVI needs pictures in display order, so the job turns B-frames off;
    // the encoder the user chose gets its own setting back afterwards.
    Job job(Sources::Get().Clip(), 3.0, 160, 120, kContainerAvi, "ordered.avi");
    job.UseCompressors("x264enc", nullptr);
    ASSERT_EQ(SelectedVideoCompressor()->SetProperty("bframes", "3"), media::S_OK);
    job.host.state.trimEnd = kSecond;
    ASSERT_TRUE(job.Run().ok);
    EXPECT_EQ(SelectedVideoCompressor()->GetProperty("bframes"), QStringLiteral("3"));
}

TEST(ConvertOutputs, X264WithMp3InAviKeepsEveryFrameInOrder) {
    // x264 reorders frames (B-frames); AVI stores them in decoding order
    // without times, so every frame must arrive once and in sequence.
    Job job(Sources::Get().Clip(), 3.0, 160, 120, kContainerAvi, "h264.avi");
    job.UseCompressors("x264enc", "lamemp3enc");
    job.host.state.trimStart = kSecond / 2;
    job.host.state.trimEnd = 5 * kSecond / 2;
    const test::MediaFacts facts = job.Run();
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_TRUE(facts.raw.contains("container format: AVI"));
    EXPECT_TRUE(facts.raw.contains("H.264"));
    EXPECT_TRUE(facts.raw.contains("layer=(int)3"));
    EXPECT_NEAR(facts.durationSeconds, 2.0, 0.06);
    EXPECT_EQ(Frames(job.host.state.output.outputPath, job.env.TempPath("frames")).size(), 50u);
}

TEST(ConvertOutputs, TheoraWithVorbisInOgm) {
    Job job(Sources::Get().Clip(), 3.0, 160, 120, kContainerOgm, "theora.ogm");
    job.UseCompressors("theoraenc", "vorbisenc");
    job.host.state.trimEnd = 2 * kSecond;
    const test::MediaFacts facts = job.Run();
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_TRUE(facts.raw.contains("container format: Ogg"));
    EXPECT_TRUE(facts.raw.contains("Theora"));
    EXPECT_TRUE(facts.raw.contains("Vorbis"));
    EXPECT_NEAR(facts.durationSeconds, 2.0, 0.05);
    EXPECT_EQ(facts.width, 160);
}

TEST(ConvertOutputs, Vp8WithVorbisInMatroskaAtNtscFilmRate) {
    Job job(Sources::Get().Clip(), 3.0, 160, 120, kContainerMkv, "vp8.mkv");
    job.UseCompressors("vp8enc", "vorbisenc");
    job.host.state.output.frameRateIndex = 1;
    job.host.state.output.outputFrameRate = 23.976;
    job.host.state.output.outputWidth = 128;
    job.host.state.output.outputHeight = 96;
    job.host.state.trimStart = kSecond / 2;
    job.host.state.trimEnd = 2 * kSecond;
    const test::MediaFacts facts = job.Run();
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_TRUE(facts.raw.contains("VP8"));
    EXPECT_TRUE(facts.raw.contains("Vorbis"));
    // Matroska stores a frame duration, which reads back as about 23.976.
    ASSERT_GT(facts.fpsDen, 0);
    EXPECT_NEAR(double(facts.fpsNum) / facts.fpsDen, 23.976, 0.001);
    EXPECT_EQ(facts.width, 128);
    EXPECT_NEAR(facts.durationSeconds, job.TrimSeconds(), 125.0 / 2997.0);
}

TEST(ConvertOutputs, NonSquarePixelsAreLetterboxedByTheirDisplayShape) {
    // 128 × 96 stored pixels that are 4:3 wide show as 16:9.
    test::MediaSpec clip;
    clip.width = 128;
    clip.height = 96;
    clip.parNum = 4;
    clip.parDen = 3;
    clip.seconds = 1.0;
    clip.audio = false;
    const QString source = Sources::Get().Make("anamorphic.mkv", clip);
    for (int32_t mode : {2, 0}) {
        Job job(source, 1.0, 128, 96, kContainerMkv, QString("box%1.mkv").arg(mode));
        job.host.state.output.outputWidth = 160;
        job.host.state.output.outputHeight = 120;
        job.host.state.output.resizeMode = mode;
        job.host.state.trimEnd = kSecond / 5;
        const test::MediaFacts facts = job.Run();
        ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
        const auto frames = Frames(job.host.state.output.outputPath, job.env.TempPath("frames"));
        ASSERT_FALSE(frames.empty());
        const QImage& frame = frames.front();
        ASSERT_EQ(frame.size(), QSize(160, 120));
        if (mode == 2) {
            // 160 × 90 in the middle: bars of 15 rows above and below.
            EXPECT_LT(RowBrightness(frame, 5), 8);
            EXPECT_LT(RowBrightness(frame, 114), 8);
            EXPECT_GT(RowBrightness(frame, 25), 60);
        } else {
            EXPECT_GT(RowBrightness(frame, 5), 60);
        }
    }
}

TEST(ConvertOutputs, AVideoWithoutSoundGetsSilenceOfItsLength) {
    test::MediaSpec clip;
    clip.width = 96;
    clip.height = 64;
    clip.seconds = 2.0;
    clip.audio = false;
    const QString source = Sources::Get().Make("silent.mkv", clip);
    Job job(source, 2.0, 96, 64, kContainerMkv, "silent-out.mkv");
    job.host.state.trimStart = kSecond / 2;
    const test::MediaFacts facts = job.Run();
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_EQ(facts.audioStreams, 1);
    EXPECT_EQ(facts.videoStreams, 1);
    EXPECT_NEAR(facts.durationSeconds, 1.5, 0.05);
}

TEST(ConvertOutputs, AWipeOverASingleClipRevealsItFromBlack) {
    test::TestEnv env;
    const QString source = Sources::Get().Clip();
    // One clip of 1 s with a 0.6 s SMPTE wipe at its start, uncompressed.
    std::shared_ptr<media::Timeline> timeline;
    ASSERT_EQ(media::Timeline::Create(&timeline), media::S_OK);
    std::shared_ptr<media::TimelineGroup> group;
    timeline->CreateEmptyNode(&group);
    ASSERT_EQ(group->SetMediaType(MakeVideoGroupType(160, 120)), media::S_OK);
    group->SetOutputFPS(25.0);
    ASSERT_EQ(timeline->AddGroup(group), media::S_OK);
    std::shared_ptr<media::TimelineTrack> track;
    timeline->CreateEmptyNode(&track);
    group->VTrackInsBefore(track, -1);
    std::shared_ptr<media::TimelineSource> clip;
    timeline->CreateEmptyNode(&clip);
    clip->SetStartStop(0, kSecond);
    clip->SetMediaTimes(0, kSecond);
    clip->SetMediaName(source);
    ASSERT_EQ(track->SrcAdd(clip), media::S_OK);
    std::shared_ptr<media::TimelineTransition> wipe;
    timeline->CreateEmptyNode(&wipe);
    wipe->SetSubObjectGUID(media::kSmpteWipeClassId);
    wipe->SetStartStop(0, 6 * kSecond / 10);
    auto setter = std::make_shared<media::PropertySetter>();
    setter->AddProp("MaskNum", 0, {{0, media::DEXTERF_JUMP, 1.0}});
    wipe->SetPropertySetter(setter);
    ASSERT_EQ(track->TransAdd(wipe), media::S_OK);

    std::shared_ptr<media::RenderEngine> engine;
    ASSERT_EQ(media::RenderEngine::Create(&engine), media::S_OK);
    engine->SetTimelineObject(timeline);
    ASSERT_EQ(engine->ConnectFrontEnd(), media::S_OK)
        << media::GetErrorText(media::E_FAIL).toStdString();
    std::shared_ptr<media::FilterGraph> graph;
    engine->GetFilterGraph(&graph);
    std::unique_ptr<media::CaptureGraphBuilder> builder;
    media::CaptureGraphBuilder::Create(&builder);
    builder->SetFiltergraph(graph);
    std::shared_ptr<media::Filter> mux;
    const QString output = env.TempPath("wipe.mkv");
    ASSERT_EQ(builder->SetOutputFileName(media::OutputType::Matroska, output, &mux, nullptr),
              media::S_OK);
    media::OutputPin pin;
    ASSERT_EQ(engine->GetGroupOutputPin(0, &pin), media::S_OK);
    ASSERT_EQ(builder->RenderStream(pin, nullptr, mux), media::S_OK);
    bool complete = false;
    QObject receiver;
    graph->SetNotifyWindow(&receiver, [&] {
        media::GraphEvent event;
        while (media::Succeeded(graph->Events().GetEvent(&event)))
            complete = complete || event.code == media::EC_COMPLETE;
    });
    ASSERT_EQ(graph->Run(), media::S_OK);
    ASSERT_TRUE(test::WaitFor([&] { return complete; }, 30s));
    graph->Stop();
    engine->ScrapIt();

    const auto frames = Frames(output, env.TempPath("frames"));
    ASSERT_EQ(frames.size(), 25u);
    // Black at the start, half of the picture halfway through the wipe
    // (a bar moving from left to right), all of it after the wipe.
    EXPECT_LT(Brightness(frames[0]), 12);
    const QImage& middle = frames[8]; // 0.32 s of 0.6 s
    double left = 0, right = 0;
    for (int y = 0; y < middle.height(); ++y) {
        left += qGray(middle.pixel(10, y));
        right += qGray(middle.pixel(150, y));
    }
    EXPECT_GT(left / middle.height(), 40);
    EXPECT_LT(right / middle.height(), 12);
    EXPECT_GT(Brightness(frames[20]), 60);
}

// MPEG-2 stores only its standard rates; the program's 23.976 and 29.97
// (2997/125 and 2997/100) are fitted to 24000/1001 and 30000/1001, keeping
// every frame and the length.
TEST(ConvertOutputs, Mpeg2InMatroskaAtNtscRates) {
    for (const double rate : {23.976, 29.97}) {
        SCOPED_TRACE(rate);
        Job job(Sources::Get().Clip(), 3.0, 160, 120, kContainerMkv, "mpeg2.mkv");
        job.UseCompressors("mpeg2enc", "vorbisenc");
        job.host.state.output.frameRateIndex = rate < 24 ? 1 : 4;
        job.host.state.output.outputFrameRate = rate;
        job.host.state.trimEnd = 2 * kSecond;
        const test::MediaFacts facts = job.Run();
        ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
        EXPECT_TRUE(facts.raw.contains("MPEG-2") || facts.raw.contains("MPEG-1"))
            << facts.raw.toStdString();
        ASSERT_GT(facts.fpsDen, 0);
        EXPECT_NEAR(double(facts.fpsNum) / facts.fpsDen, rate, 0.001);
        EXPECT_NEAR(facts.durationSeconds, job.TrimSeconds(), 1.0 / rate + 0.001);
    }
}

// mjpegtools ends the whole program when its video buffer holds fewer than
// four pictures at the bit rate (Generic MPEG-1's own buffer: 2.3 Mbit/s at
// 25 fps): the job gets a buffer that holds them, and the user's setting
// comes back afterwards.
TEST(ConvertOutputs, Mpeg2AtAHighBitRateConvertsAndKeepsTheUsersBuffer) {
    Job job(Sources::Get().Clip(), 3.0, 160, 120, kContainerMkv, "mpeg2-8m.mkv");
    job.UseCompressors("mpeg2enc", "vorbisenc");
    ASSERT_EQ(SelectedVideoCompressor()->SetProperty("bitrate", "8000"), media::S_OK);
    job.host.state.trimEnd = kSecond;
    const test::MediaFacts facts = job.Run();
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_NEAR(facts.durationSeconds, 1.0, 0.06);
    EXPECT_EQ(SelectedVideoCompressor()->GetProperty("bufsize"), QStringLiteral("0"));
}

namespace {

// The first decoded picture of a file as I420 planes, read without any
// colour conversion; empty when it cannot be read.
QByteArray FirstPicture(const QString& path, const QString& rawPath, int width, int height) {
    QString log;
    const QString pipeline =
        test::DecodeOnly(path, "video/x-raw") +
        QString(" ! videoconvert ! video/x-raw,format=I420 ! filesink location=\"%1\"")
            .arg(rawPath);
    EXPECT_TRUE(test::RunGstLaunch(pipeline, &log, 20000)) << log.toStdString();
    QFile raw(rawPath);
    if (!raw.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = qint64(width) * height * 3 / 2;
    QByteArray picture = raw.read(size);
    return picture.size() == size ? picture : QByteArray();
}

// Mean luma (0 to 255, as stored) of the first decoded picture of a file;
// -1 when it cannot be read.
double FirstPictureLuma(const QString& path, const QString& rawPath, int width, int height) {
    const QByteArray picture = FirstPicture(path, rawPath, width, height);
    if (picture.isEmpty())
        return -1;
    const qint64 luma = qint64(width) * height;
    double sum = 0;
    for (qint64 i = 0; i < luma; ++i)
        sum += static_cast<unsigned char>(picture[i]);
    return sum / double(luma);
}

// PSNR of `count` bytes of two pictures from `offset` on.
double Psnr(const QByteArray& a, const QByteArray& b, qint64 offset, qint64 count) {
    double sum = 0;
    for (qint64 i = offset; i < offset + count; ++i) {
        const double d =
            double(static_cast<unsigned char>(a[i])) - double(static_cast<unsigned char>(b[i]));
        sum += d * d;
    }
    return sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * double(count) / sum);
}

} // namespace

TEST(ConvertOutputs, PicturesComeThroughTheRgbGroupIntact) {
    // Coloured pictures, stored losslessly, converted at their own size
    // with a lossless compressor: what is written is what was read, up to
    // the rounding of the trip to RGB and back (for the standard and the
    // high-definition matrix).
    for (const auto& [width, height, colorimetry] :
         {std::tuple{320, 240, "bt601"}, std::tuple{1280, 720, "bt709"}}) {
        SCOPED_TRACE(colorimetry);
        test::TestEnv env;
        const QString source = env.TempPath("colours.mkv");
        QString log;
        ASSERT_TRUE(test::RunGstLaunch(
            QString("videotestsrc num-buffers=5 pattern=ball animation-mode=frames ! "
                    "video/x-raw,width=%1,height=%2,framerate=25/1 ! videoconvert ! "
                    "video/x-raw,format=I420,colorimetry=%3 ! avenc_ffv1 ! matroskamux ! "
                    "filesink location=\"%4\"")
                .arg(width)
                .arg(height)
                .arg(colorimetry)
                .arg(source),
            &log))
            << log.toStdString();
        Job job(source, 0.2, width, height, kContainerMkv, "colours-out.mkv");
        job.UseCompressors("avenc_ffv1", nullptr);
        job.host.state.output.outputWidth = width;
        job.host.state.output.outputHeight = height;
        job.host.state.trimEnd = kSecond / 5;
        const test::MediaFacts facts = job.Run();
        ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
        const QByteArray before = FirstPicture(source, env.TempPath("in.yuv"), width, height);
        const QByteArray after =
            FirstPicture(job.host.state.output.outputPath, env.TempPath("out.yuv"), width, height);
        ASSERT_FALSE(before.isEmpty());
        ASSERT_FALSE(after.isEmpty());
        const qint64 luma = qint64(width) * height;
        EXPECT_GT(Psnr(before, after, 0, luma), 45.0);
        EXPECT_GT(Psnr(before, after, luma, luma / 2), 40.0);
    }
}

TEST(ConvertOutputs, ScaledDownHdVideoKeepsItsColoursThroughTheRgbGroup) {
    // A high-definition picture is coded with the HD matrix; the smaller
    // output must not recompute its luma with the standard-definition one
    // (pure red would come out 19 levels brighter).
    test::TestEnv env;
    const QString source = env.TempPath("red-hd.mp4");
    QString log;
    ASSERT_TRUE(test::RunGstLaunch(
        QString("videotestsrc num-buffers=13 pattern=red ! "
                "video/x-raw,width=1280,height=720,framerate=25/1 ! videoconvert ! "
                "video/x-raw,format=I420,colorimetry=bt709 ! x264enc speed-preset=ultrafast "
                "tune=zerolatency ! h264parse ! mp4mux ! filesink location=\"%1\"")
            .arg(source),
        &log))
        << log.toStdString();
    Job job(source, 0.52, 1280, 720, kContainerMkv, "red-small.mkv");
    job.UseCompressors("x264enc", nullptr);
    job.host.state.output.outputWidth = 320;
    job.host.state.output.outputHeight = 180;
    job.host.state.trimEnd = kSecond / 2;
    const test::MediaFacts facts = job.Run();
    ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
    EXPECT_TRUE(facts.raw.contains("colorimetry=(string)bt709")) << facts.raw.toStdString();
    const double before = FirstPictureLuma(source, env.TempPath("source.yuv"), 1280, 720);
    const double after =
        FirstPictureLuma(job.host.state.output.outputPath, env.TempPath("output.yuv"), 320, 180);
    ASSERT_GT(before, 0);
    EXPECT_NEAR(after, before, 3.0);

    // Written as RGB, the picture is the red it was.
    Job raw(source, 0.52, 1280, 720, kContainerMkv, "red-small-rgb.mkv");
    raw.host.state.output.outputWidth = 320;
    raw.host.state.output.outputHeight = 180;
    raw.host.state.trimEnd = kSecond / 2;
    ASSERT_TRUE(raw.Run().ok);
    const std::vector<QImage> frames =
        Frames(raw.host.state.output.outputPath, env.TempPath("rgb-frames"));
    ASSERT_FALSE(frames.empty());
    const QRgb middle = frames.front().pixel(160, 90);
    EXPECT_GE(qRed(middle), 252);
    EXPECT_LE(qGreen(middle), 3);
    EXPECT_LE(qBlue(middle), 3);
}
