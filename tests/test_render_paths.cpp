// A timeline of one clip per group is rendered by a plain pipeline (the
// file's decoder sought to the part); any other by the editing services.
// Both must give the same file: the same timeline is rendered both ways into
// uncompressed Matroska and the two files are read back independently and
// compared, for sources as they come: a part that starts between two
// frames, another frame rate, a transport stream whose clock starts late,
// pixels that are not square, two sound tracks of which the container marks
// the second, and video tagged as turned by a quarter.
#include "convert/TimelineBuilder.h"
#include "media/CaptureGraphBuilder.h"
#include "media/ErrorText.h"
#include "media/RenderEngine.h"
#include "media/encoders/FilterGraphImpl.h"
#include "support/ConvertJob.h"
#include "support/DecodedStreams.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

using namespace orvelin;
using namespace orvelin::test;
using namespace std::chrono_literals;

namespace {

constexpr media::REFERENCE_TIME kSecond = media::kUnitsPerSecond;

media::REFERENCE_TIME Seconds(double s) {
    return static_cast<media::REFERENCE_TIME>(std::llround(s * double(kSecond)));
}

// The part of a file that a timeline plays from its start, and the frame
// the video group gives it.
struct Part {
    QString file;
    double from = 0.0; // seconds into the file
    double length = 1.0;
    int width = 160;
    int height = 120;
    double fps = 25.0;
    int32_t stretchMode = media::RESIZEF_STRETCH;
};

// How the timeline was rendered, read back from the file.
struct Rendering {
    bool editingServices = false; // the graph held an editing timeline
    // The graph's positions, as the progress bar reads them, while it ran.
    std::vector<media::REFERENCE_TIME> positions;
    int width = 0;
    int height = 0;
    DecodedStreams streams;

    size_t Pictures() const { return streams.video.size(); }
    // Picture `i` as grey levels.
    QImage Picture(size_t i) const {
        const std::vector<uint8_t>& data = streams.video[i].data;
        if (data.size() != size_t(width) * size_t(height))
            return {};
        return QImage(data.data(), width, height, width, QImage::Format_Grayscale8).copy();
    }
    std::vector<int> FrameNumbers() const {
        std::vector<int> numbers;
        for (size_t i = 0; i < Pictures(); ++i)
            numbers.push_back(FrameNumber(Picture(i)));
        return numbers;
    }
    // The length of the sound, from its first sample to its last.
    double SoundLength() const {
        return streams.sound.empty() ? -1.0 : streams.SoundEnd() - streams.sound.front().start;
    }
    std::vector<int16_t> Samples() const {
        std::vector<int16_t> samples;
        for (const DecodedBlock& b : streams.sound) {
            const size_t at = samples.size();
            samples.resize(at + b.data.size() / 2);
            memcpy(samples.data() + at, b.data.data(), (b.data.size() / 2) * 2);
        }
        return samples;
    }
};

// A timeline of `part` in a video group and its sound in an audio group.
std::shared_ptr<media::Timeline> TimelineOf(const Part& part) {
    std::shared_ptr<media::Timeline> timeline;
    if (media::Failed(media::Timeline::Create(&timeline)))
        return nullptr;
    const media::REFERENCE_TIME from = Seconds(part.from);
    const media::REFERENCE_TIME length = Seconds(part.length);
    for (const bool video : {true, false}) {
        std::shared_ptr<media::TimelineGroup> group;
        timeline->CreateEmptyNode(&group);
        if (media::Failed(group->SetMediaType(video ? MakeVideoGroupType(part.width, part.height)
                                                    : MakeAudioGroupType())))
            return nullptr;
        if (video)
            group->SetOutputFPS(part.fps);
        if (media::Failed(timeline->AddGroup(group)))
            return nullptr;
        std::shared_ptr<media::TimelineTrack> track;
        timeline->CreateEmptyNode(&track);
        group->VTrackInsBefore(track, -1);
        std::shared_ptr<media::TimelineSource> clip;
        timeline->CreateEmptyNode(&clip);
        clip->SetStartStop(0, length);
        clip->SetMediaTimes(from, from + length);
        clip->SetMediaName(part.file);
        if (video)
            clip->SetStretchMode(part.stretchMode);
        if (media::Failed(track->SrcAdd(clip)))
            return nullptr;
    }
    return timeline;
}

// Renders `part` into an uncompressed Matroska file `name` of `env`, by the
// plain pipeline or by the editing services, and reads the file back.
void Render(const TestEnv& env, const Part& part, bool editingServices, const QString& name,
            Rendering* out) {
    *out = Rendering{};
    std::shared_ptr<media::Timeline> timeline = TimelineOf(part);
    ASSERT_TRUE(timeline);
    std::shared_ptr<media::RenderEngine> engine;
    ASSERT_EQ(media::RenderEngine::Create(&engine), media::S_OK);
    engine->SetTimelineObject(timeline);
    engine->SetAlwaysUseEditingServices(editingServices);
    const media::HRESULT connected = engine->ConnectFrontEnd();
    ASSERT_EQ(connected, media::S_OK) << media::GetErrorText(connected).toStdString();
    std::shared_ptr<media::FilterGraph> graph;
    ASSERT_EQ(engine->GetFilterGraph(&graph), media::S_OK);
    out->editingServices = graph->impl().timeline != nullptr;

    std::unique_ptr<media::CaptureGraphBuilder> builder;
    ASSERT_EQ(media::CaptureGraphBuilder::Create(&builder), media::S_OK);
    builder->SetFiltergraph(graph);
    std::shared_ptr<media::Filter> mux;
    const QString output = env.TempPath(name);
    ASSERT_EQ(builder->SetOutputFileName(media::OutputType::Matroska, output, &mux, nullptr),
              media::S_OK);
    for (int32_t g = 0; g < 2; ++g) {
        media::OutputPin pin;
        ASSERT_EQ(engine->GetGroupOutputPin(g, &pin), media::S_OK);
        ASSERT_EQ(builder->RenderStream(pin, nullptr, mux), media::S_OK);
    }
    bool complete = false;
    QString error;
    QObject receiver;
    graph->SetNotifyWindow(&receiver, [&] {
        media::GraphEvent event;
        while (media::Succeeded(graph->Events().GetEvent(&event))) {
            complete = complete || event.code == media::EC_COMPLETE;
            if (event.code == media::EC_ERRORABORT && error.isEmpty())
                error = event.text;
        }
    });
    ASSERT_EQ(graph->Run(), media::S_OK) << graph->LastErrorText().toStdString();
    const bool ended = WaitFor(
        [&] {
            media::REFERENCE_TIME now = 0;
            if (media::Succeeded(graph->GetCurrentPosition(&now)))
                out->positions.push_back(now);
            return complete || !error.isEmpty();
        },
        30s);
    graph->Stop();
    engine->ScrapIt();
    ASSERT_TRUE(ended) << "the rendering did not end";
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();

    out->width = part.width;
    out->height = part.height;
    out->streams = DecodeStreams(output, env.TempPath(name + ".read"));
    ASSERT_TRUE(out->streams.ok) << "the rendered file cannot be read back";
    ASSERT_GT(out->Pictures(), 0u);
    ASSERT_FALSE(out->streams.sound.empty());
}

// The plain pipeline's and the editing services' renderings of `part`.
struct BothWays {
    Rendering plain;
    Rendering editing;
};

void RenderBothWays(const TestEnv& env, const Part& part, const QString& name, BothWays* out) {
    ASSERT_NO_FATAL_FAILURE(Render(env, part, false, name + "-plain.mkv", &out->plain));
    ASSERT_NO_FATAL_FAILURE(Render(env, part, true, name + "-ges.mkv", &out->editing));
    // Otherwise the comparison compares a path with itself.
    ASSERT_FALSE(out->plain.editingServices) << "the plain pipeline was not used";
    ASSERT_TRUE(out->editing.editingServices);
}

// Luma PSNR of two pictures of the same size; infinite when equal.
double Psnr(const QImage& a, const QImage& b) {
    if (a.isNull() || a.size() != b.size())
        return 0.0;
    double sum = 0.0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* ra = a.constScanLine(y);
        const uchar* rb = b.constScanLine(y);
        for (int x = 0; x < a.width(); ++x) {
            const double d = double(ra[x]) - double(rb[x]);
            sum += d * d;
        }
    }
    const double mse = sum / (double(a.width()) * a.height());
    return mse == 0.0 ? std::numeric_limits<double>::infinity()
                      : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// The lowest PSNR of corresponding pictures (0 when the counts differ).
double LowestPsnr(const Rendering& a, const Rendering& b, size_t* worst = nullptr) {
    if (a.Pictures() != b.Pictures())
        return 0.0;
    double lowest = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < a.Pictures(); ++i) {
        const double p = Psnr(a.Picture(i), b.Picture(i));
        if (p < lowest) {
            lowest = p;
            if (worst)
                *worst = i;
        }
    }
    return lowest;
}

// Mean grey of a rectangle of a picture.
double Brightness(const QImage& image, const QRect& area) {
    double sum = 0.0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            sum += image.constScanLine(y)[x];
    return r.isEmpty() ? -1.0 : sum / (double(r.width()) * r.height());
}

// The first sample of `samples` louder than a quiet hiss; -1 when none is.
long FirstSound(const std::vector<int16_t>& samples) {
    for (size_t i = 0; i < samples.size(); ++i)
        if (std::abs(int(samples[i])) > 500)
            return long(i);
    return -1;
}

// The two renderings carry the same sound: sample for sample the same
// tenths of a second (the same decoder reads the same part), and the same
// length within `slack` seconds. The plain pipeline reads compressed sound
// from a little before the part, so its sound starts with the part (the
// sources' tone runs throughout); the editing services' decoder starts
// cold at the part and may give silence for its first frames (MP3 in AVI:
// 0.17 s). The tenths are compared from where both sound.
void ExpectSameSound(const Rendering& plain, const Rendering& editing, double slack) {
    EXPECT_NEAR(plain.SoundLength(), editing.SoundLength(), slack);
    const std::vector<int16_t> a = plain.Samples();
    const std::vector<int16_t> b = editing.Samples();
    // Within 30 ms (an AAC source's own priming is 23 ms), and never later
    // than the editing services'.
    const long plainStart = FirstSound(a);
    const long editingStart = std::max(0L, FirstSound(b));
    EXPECT_GE(plainStart, 0);
    EXPECT_LT(plainStart, 44100 * 3 / 100) << "the plain pipeline's sound starts late";
    EXPECT_LE(plainStart, editingStart + 1);
    constexpr size_t kWindow = 4410;
    const size_t from = (size_t(editingStart) + kWindow - 1) / kWindow * kWindow;
    int windows = 0;
    int differing = 0;
    double first = -1.0;
    for (size_t at = from; at + kWindow <= std::min(a.size(), b.size()); at += kWindow) {
        double difference = 0.0;
        double energy = 0.0;
        for (size_t i = at; i < at + kWindow; ++i) {
            const double d = double(a[i]) - double(b[i]);
            difference += d * d;
            energy += double(a[i]) * a[i] + double(b[i]) * b[i];
        }
        ++windows;
        if (energy > 0.0 && difference / energy > 0.01) {
            ++differing;
            if (first < 0.0)
                first = double(at) / 44100.0;
        }
    }
    EXPECT_EQ(differing, 0) << "the sound first differs in the tenth from "
                            << QString::number(first, 'f', 1).toStdString() << " s; " << differing
                            << " of " << windows << " tenths differ";
}

std::string Listed(const std::vector<int>& numbers) {
    std::string text;
    for (int n : numbers)
        text += std::to_string(n) + " ";
    return text;
}

// Three seconds of numbered 160 x 120 frames at 25 fps with a tone, through
// `video` and `sound` into `mux`.
QString NumberedFile(const QString& name, const QString& video, const QString& sound,
                     const QString& mux, int frames = 75) {
    Sources& s = Sources::Get();
    return s.Make(name, s.NumberedSource(frames, 160, 120, "25/1") + " ! " + video + " ! queue ! " +
                            mux + " name=mux ! filesink location=@OUT@ " +
                            Sources::Tone(frames / 25.0, sound) + "! mux. ");
}

// The same frames and sound, both ways, for a part of `file` at `fps`.
void ExpectSameFramesAndSound(const TestEnv& env, const QString& file, double from, double length,
                              double fps, const QString& name) {
    SCOPED_TRACE(QString("%1 from %2 s at %3 fps").arg(name).arg(from).arg(fps).toStdString());
    Part part;
    part.file = file;
    part.from = from;
    part.length = length;
    part.fps = fps;
    BothWays both;
    ASSERT_NO_FATAL_FAILURE(RenderBothWays(env, part, name, &both));
    const std::vector<int> plain = both.plain.FrameNumbers();
    const std::vector<int> editing = both.editing.FrameNumbers();
    EXPECT_EQ(plain.size(), editing.size());
    EXPECT_EQ(plain, editing) << "plain: " << Listed(plain)
                              << "\nediting services: " << Listed(editing);
    // Every picture carries a readable number, from the frame at the part's
    // start (or the next one) on.
    for (const std::vector<int>* numbers : {&plain, &editing}) {
        ASSERT_FALSE(numbers->empty());
        EXPECT_EQ(std::count(numbers->begin(), numbers->end(), -1), 0) << Listed(*numbers);
        EXPECT_NEAR(numbers->front(), from * 25.0, 1.0) << Listed(*numbers);
    }
    ExpectSameSound(both.plain, both.editing, 1.0 / fps);
    EXPECT_NEAR(both.plain.SoundLength(), length, 1.0 / fps);
    // The position counts from the part's start, not from the file's.
    for (const Rendering* r : {&both.plain, &both.editing}) {
        SCOPED_TRACE(r->editingServices ? "editing services" : "plain pipeline");
        for (media::REFERENCE_TIME at : r->positions)
            EXPECT_LE(at, Seconds(length + 0.1));
    }
}

} // namespace

// Parts that start between two source frames and on one, at 23.976 and 30
// fps, from Matroska (H.264 with Vorbis) and AVI (MPEG-4 with MP3).
TEST(RenderPaths, TrimmedPartsAtAnotherRateGiveTheSameFramesAndSound) {
    TestEnv env;
    const QString mkv =
        NumberedFile("numbered.mkv", "x264enc speed-preset=ultrafast key-int-max=25 ! h264parse",
                     "vorbisenc", "matroskamux");
    const QString avi =
        NumberedFile("numbered.avi", "avenc_mpeg4 ! mpeg4videoparse", "lamemp3enc", "avimux");
    ASSERT_FALSE(mkv.isEmpty());
    ASSERT_FALSE(avi.isEmpty());
    // 0.54 s lies halfway between frames 13 and 14; 0.52 s is frame 13.
    ExpectSameFramesAndSound(env, mkv, 0.54, 1.5, 23.976, "mkv-between");
    ExpectSameFramesAndSound(env, mkv, 0.52, 1.5, 30.0, "mkv-on");
    ExpectSameFramesAndSound(env, avi, 0.54, 1.5, 30.0, "avi-between");
    ExpectSameFramesAndSound(env, avi, 0.52, 1.5, 23.976, "avi-on");
}

// An MPEG transport stream's time stamps start late; the part counts from
// its first frame either way.
TEST(RenderPaths, TransportStreamPartsGiveTheSameFramesAndSound) {
    TestEnv env;
    const QString ts =
        NumberedFile("numbered.ts", "x264enc speed-preset=ultrafast key-int-max=25 ! h264parse",
                     "avenc_aac ! aacparse", "mpegtsmux");
    ASSERT_FALSE(ts.isEmpty());
    ExpectSameFramesAndSound(env, ts, 0.0, 1.0, 25.0, "ts-start");
    ExpectSameFramesAndSound(env, ts, 1.3, 1.0, 25.0, "ts-between");
}

// A DVD title as ffmpeg writes it, whose first pack (0.535 s) comes before
// its first picture (0.54 s), and interlaced H.264 whose fields both ways
// make whole pictures: parts count from the first picture either way.
TEST(RenderPaths, LateProgramStreamAndInterlacedPartsGiveTheSameFramesAndSound) {
    TestEnv env;
    Sources& s = Sources::Get();
    s.NumberedSource(75, 160, 120, "25/1");
    const QString vob = s.Path("late.vob");
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-nostdin", "-y", "-loglevel", "error", "-framerate", "25", "-i",
                            s.Path("frames-160x120-75/%05d.png"), "-f", "lavfi", "-i",
                            "sine=f=440:sample_rate=48000", "-t", "3", "-target", "pal-dvd", "-s",
                            "160x120", vob});
    ASSERT_TRUE(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0);
    ExpectSameFramesAndSound(env, vob, 0.0, 1.0, 25.0, "vob-start");
    ExpectSameFramesAndSound(env, vob, 1.3, 1.0, 25.0, "vob-between");

    const QString interlaced = s.Make(
        "interlaced.ts", s.NumberedSource(100, 160, 120, "50/1") +
                             " ! interlace field-pattern=1:1 top-field-first=true ! "
                             "video/x-raw,format=I420 ! x264enc interlaced=true "
                             "speed-preset=ultrafast ! h264parse ! queue ! mpegtsmux name=mux ! "
                             "filesink location=@OUT@ " +
                             Sources::Tone(2.0, "avenc_mp2") + "! mux. ");
    ASSERT_FALSE(interlaced.isEmpty());
    ExpectSameFramesAndSound(env, interlaced, 0.0, 1.0, 25.0, "interlaced");
}

// Pictures whose shown shape differs from the frame's are placed alike:
// cropped (mode 1: at their shown size, centred, what sticks out cut) and
// letterboxed (mode 2: as large as fits, centred). Black where nothing of
// the picture lies, the numbered frames' grey lower half where it does.
TEST(RenderPaths, OtherShapesAreCroppedAndLetterboxedAlike) {
    TestEnv env;
    Sources& s = Sources::Get();
    // 128 x 96 stored pixels, each 4:3 wide: a 171 x 96 picture.
    const QString wide =
        s.Make("anamorphic.mkv", s.NumberedSource(50, 128, 96, "25/1") +
                                     " ! capssetter caps=\"video/x-raw,pixel-aspect-ratio=4/3\" ! "
                                     "x264enc speed-preset=ultrafast key-int-max=25 ! h264parse ! "
                                     "queue ! matroskamux name=mux ! filesink location=@OUT@ " +
                                     Sources::Tone(2.0, "vorbisenc") + "! mux. ");
    // 160 x 120 square pixels, for a frame of 16:9.
    const QString narrow =
        NumberedFile("numbered.mkv", "x264enc speed-preset=ultrafast key-int-max=25 ! h264parse",
                     "vorbisenc", "matroskamux");
    ASSERT_FALSE(wide.isEmpty());
    ASSERT_FALSE(narrow.isEmpty());
    ASSERT_EQ(Discover(wide).width, 128);
    struct Case {
        QString file;
        int width;
        int height;
        int32_t mode;
        std::vector<QRect> black; // outside the picture
        QRect grey;               // inside its lower half
        bool evenPlace;           // the picture's rectangle starts at an even row and column
    };
    const Case cases[] = {
        // Rows 12 to 107, columns -5 to 165.
        {wide,
         160,
         120,
         media::RESIZEF_CROP,
         {QRect(0, 0, 160, 12), QRect(0, 108, 160, 12)},
         QRect(0, 62, 160, 44),
         false},
        // 160 x 90, rows 15 to 104.
        {wide,
         160,
         120,
         media::RESIZEF_PRESERVEASPECTRATIO,
         {QRect(0, 0, 160, 15), QRect(0, 105, 160, 15)},
         QRect(0, 62, 160, 42),
         false},
        // Columns 16 to 175, rows -6 to 113.
        {narrow,
         192,
         108,
         media::RESIZEF_CROP,
         {QRect(0, 0, 16, 108), QRect(176, 0, 16, 108)},
         QRect(16, 56, 160, 50),
         true},
        // 144 x 108, columns 24 to 167.
        {narrow,
         192,
         108,
         media::RESIZEF_PRESERVEASPECTRATIO,
         {QRect(0, 0, 24, 108), QRect(168, 0, 24, 108)},
         QRect(24, 56, 144, 50),
         true},
    };
    for (const Case& c : cases) {
        const QString name = QString("%1-%2x%3-mode%4")
                                 .arg(c.file == wide ? "anamorphic" : "four-three")
                                 .arg(c.width)
                                 .arg(c.height)
                                 .arg(c.mode);
        SCOPED_TRACE(name.toStdString());
        Part part;
        part.file = c.file;
        part.from = 0.3;
        part.length = 1.0;
        part.width = c.width;
        part.height = c.height;
        part.stretchMode = c.mode;
        BothWays both;
        ASSERT_NO_FATAL_FAILURE(RenderBothWays(env, part, name, &both));
        ASSERT_EQ(both.plain.Pictures(), both.editing.Pictures());
        // The editing services' compositor puts 4:2:0 pictures at even
        // places only: one due at an odd row or column lands one further
        // on. The plain pipeline puts it where it is due, so the two agree
        // picture for picture only where the place is even.
        if (c.evenPlace) {
            size_t worst = 0;
            const double psnr = LowestPsnr(both.plain, both.editing, &worst);
            EXPECT_GT(psnr, 35.0) << "picture " << worst;
        }
        for (const Rendering* r : {&both.plain, &both.editing}) {
            SCOPED_TRACE(r->editingServices ? "editing services" : "plain pipeline");
            const QImage first = r->Picture(0);
            ASSERT_EQ(first.size(), QSize(c.width, c.height));
            for (QRect bar : c.black) {
                if (r->editingServices && !c.evenPlace)
                    bar.adjust(1, 1, -1, -1);
                EXPECT_LT(Brightness(first, bar), 4.0)
                    << bar.x() << "," << bar.y() << " " << bar.width() << "x" << bar.height();
            }
            EXPECT_NEAR(Brightness(first, c.grey), 128.0, 8.0);
        }
    }
}

// Of two sound tracks (440 Hz, then 1000 Hz), both ways play the first, or
// the one the container marks as default.
TEST(RenderPaths, TheSameOfTwoSoundTracksIsPlayed) {
    TestEnv env;
    Sources& s = Sources::Get();
    const QString both =
        s.Make("two-tones.mkv", s.NumberedSource(50, 160, 120, "25/1") +
                                    " ! x264enc speed-preset=ultrafast key-int-max=25 ! "
                                    "h264parse ! queue ! matroskamux name=mux ! "
                                    "filesink location=@OUT@ " +
                                    Sources::Tone(2.0, "vorbisenc", 440) + "! mux. " +
                                    Sources::Tone(2.0, "vorbisenc", 1000) + "! mux. ");
    ASSERT_FALSE(both.isEmpty());
    // Tracks: 0 the pictures, 1 the 440 Hz sound, 2 the 1000 Hz sound.
    const QString second = MarkOnlyDefault(both, 3, 2, s.Path("second-default.mkv"));
    ASSERT_FALSE(second.isEmpty());
    ASSERT_EQ(Discover(second).audioStreams, 2);
    for (const auto& [file, pitch] : {std::pair{both, 440.0}, std::pair{second, 1000.0}}) {
        const QString name = file == both ? "first-track" : "marked-track";
        SCOPED_TRACE(name.toStdString());
        Part part;
        part.file = file;
        part.from = 0.5;
        part.length = 1.0;
        BothWays out;
        ASSERT_NO_FATAL_FAILURE(RenderBothWays(env, part, name, &out));
        ExpectSameSound(out.plain, out.editing, 0.04);
        const std::vector<int16_t> plain = out.plain.Samples();
        const std::vector<int16_t> editing = out.editing.Samples();
        ASSERT_GT(plain.size(), 30000u);
        ASSERT_GT(editing.size(), 30000u);
        const double plainPitch = Pitch(plain, 4410, 22050);
        const double editingPitch = Pitch(editing, 4410, 22050);
        EXPECT_NEAR(plainPitch, editingPitch, 20.0);
        EXPECT_NEAR(plainPitch, pitch, 20.0);
        EXPECT_NEAR(editingPitch, pitch, 20.0);
    }
}

namespace {

// A file of 96 x 64 stored pixels with the top-left quarter white and a
// tone, whose video track header turns it by `degrees` clockwise (as phones
// write it): it shows 64 x 96.
QString TurnedFile(int degrees) {
    Sources& s = Sources::Get();
    const QString folder = s.Path("corner");
    if (!QDir(folder).exists()) {
        QDir().mkpath(folder);
        QImage image(96, 64, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter(&image).fillRect(0, 0, 48, 32, Qt::white);
        for (int i = 0; i < 50; ++i)
            image.save(QString("%1/%2.png").arg(folder).arg(i, 5, 10, QChar('0')), "PNG");
    }
    const QString stored = s.Make(
        "corner.mp4", QString("multifilesrc location=\"%1/%05d.png\" index=0 stop-index=49 "
                              "caps=\"image/png,framerate=25/1\" ! pngdec ! videoconvert ! "
                              "video/x-raw,format=I420 ! x264enc speed-preset=ultrafast ! "
                              "h264parse ! queue ! mp4mux name=mux ! filesink location=@OUT@ ")
                              .arg(folder) +
                          Sources::Tone(2.0, "avenc_aac") + "! mux. ");
    QFile in(stored);
    if (stored.isEmpty() || !in.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = in.readAll();
    // The track header of the track whose media header is a video one.
    qsizetype header = -1;
    for (qsizetype trak = bytes.indexOf("trak"); trak >= 0 && header < 0;) {
        const qsizetype next = bytes.indexOf("trak", trak + 4);
        const qsizetype vmhd = bytes.indexOf("vmhd", trak);
        if (vmhd >= 0 && (next < 0 || vmhd < next))
            header = bytes.indexOf("tkhd", trak);
        trak = next;
    }
    if (header < 0)
        return {};
    // Its matrix (a b u / c d v / x y w, 16.16 fixed point, w 2.30) follows
    // the times, which are 32 or 64 bits wide by the header's version.
    const qsizetype matrix = header + (bytes[header + 4] == 0 ? 44 : 56);
    const uint32_t one = 0x10000;
    const uint32_t minusOne = 0xFFFF0000;
    const uint32_t b = degrees == 90 ? one : minusOne;
    const uint32_t c = degrees == 90 ? minusOne : one;
    const uint32_t values[9] = {0, b, 0, c, 0, 0, 0, 0, 0x40000000};
    for (int i = 0; i < 9; ++i)
        for (int b = 0; b < 4; ++b)
            bytes[matrix + i * 4 + b] = char((values[i] >> (24 - 8 * b)) & 0xFF);
    const QString turned = s.Path(QString("turned-%1.mp4").arg(degrees));
    QFile out(turned);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return {};
    return turned;
}

} // namespace

// Video tagged as turned is stood up alike: into a frame of its shown
// shape, and letterboxed into a wide one.
TEST(RenderPaths, TurnedVideoIsStoodUpAlike) {
    TestEnv env;
    struct Case {
        int degrees;
        int width;
        int height;
        int32_t mode;
        QRect white; // where the stored top-left corner lands
        QRect black;
    };
    // Turned clockwise the corner is at the top right, the other way at the
    // bottom left; 64 x 96 in 160 x 120 is 80 x 120 from x = 40.
    const Case cases[] = {
        {90, 64, 96, media::RESIZEF_STRETCH, QRect(36, 4, 24, 40), QRect(4, 4, 24, 40)},
        {270, 160, 120, media::RESIZEF_PRESERVEASPECTRATIO, QRect(44, 64, 32, 52),
         QRect(84, 4, 32, 52)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.degrees);
        const QString file = TurnedFile(c.degrees);
        ASSERT_FALSE(file.isEmpty());
        ASSERT_TRUE(Discover(file).raw.contains(QString("rotate-%1").arg(c.degrees)));
        Part part;
        part.file = file;
        part.from = 0.2;
        part.length = 1.0;
        part.width = c.width;
        part.height = c.height;
        part.stretchMode = c.mode;
        BothWays both;
        ASSERT_NO_FATAL_FAILURE(
            RenderBothWays(env, part, QString("turned-%1").arg(c.degrees), &both));
        ASSERT_EQ(both.plain.Pictures(), both.editing.Pictures());
        size_t worst = 0;
        EXPECT_GT(LowestPsnr(both.plain, both.editing, &worst), 35.0) << "picture " << worst;
        for (const Rendering* r : {&both.plain, &both.editing}) {
            SCOPED_TRACE(r->editingServices ? "editing services" : "plain pipeline");
            const QImage first = r->Picture(0);
            ASSERT_EQ(first.size(), QSize(c.width, c.height));
            EXPECT_GT(Brightness(first, c.white), 200.0);
            EXPECT_LT(Brightness(first, c.black), 40.0);
            if (c.mode == media::RESIZEF_PRESERVEASPECTRATIO) {
                EXPECT_LT(Brightness(first, QRect(0, 0, 36, 120)), 20.0);
                EXPECT_LT(Brightness(first, QRect(124, 0, 36, 120)), 20.0);
            }
        }
    }
}
