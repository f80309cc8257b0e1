#include "support/ConvertJob.h"

#include "mainwnd/VideoProbe.h"
#include "media/EncoderRegistry.h"
#include "options/CompressorCatalog.h"
#include "support/MediaFixtures.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace std::chrono_literals;

namespace orvelin::test {

namespace {
constexpr int kBits = 8;
constexpr media::REFERENCE_TIME kSecond = media::kUnitsPerSecond;
} // namespace

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

Sources& Sources::Get() {
    static Sources sources;
    return sources;
}

QString Sources::NumberedSource(int frames, int width, int height, const QString& fps) {
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

QString Sources::Make(const QString& name, const QString& description) {
    const QString path = Path(name);
    if (!QFile::exists(path)) {
        QString log;
        QString desc = description;
        desc.replace("@OUT@", "\"" + path + "\"");
        if (!RunGstLaunch(desc, &log, 120000)) {
            ADD_FAILURE() << name.toStdString() << ": " << log.toStdString();
            QFile::remove(path);
            return {};
        }
    }
    return path;
}

QString Sources::Tone(double seconds, const QString& encoder, int freq, int rate) {
    const int buffers = static_cast<int>(seconds * rate / 1024 + 0.999);
    return QString("audiotestsrc num-buffers=%1 samplesperbuffer=1024 freq=%2 ! "
                   "audio/x-raw,rate=%4,channels=2 ! audioconvert ! %3 ! queue ")
        .arg(buffers)
        .arg(freq)
        .arg(encoder)
        .arg(rate);
}

Job::Job(const QString& source, int32_t format, const QString& outputName) {
    media::REFERENCE_TIME length = 0;
    opened = ProbeVideo(env.ui, &host.owner, source, &length, host.state) == 1;
    probedLength = length;
    const double seconds = double(length / kSecond);
    host.OpenVideo(source, seconds, host.state.sourceWidth, host.state.sourceHeight,
                   host.state.sourceFrameRate, env.TempPath(outputName), format);
}

Job::~Job() {
    ReleaseSelectedCompressors();
}

void Job::UseCompressors(const char* video, const char* audio) {
    test::UseCompressors(host.state.output, video, audio);
}

bool Job::Run() {
    controller.OnConvertClicked();
    if (!controller.Converting()) {
        ADD_FAILURE() << "not started: " << env.ui.MessageTexts().join("|").toStdString();
        return false;
    }
    const bool ended = WaitFor([&] { return !controller.Converting(); }, 60s);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(host.status.startsWith("Done. ")) << host.status.toStdString();
    return ended && host.status.startsWith("Done. ");
}

// The decoded frames of a file's video, in order.
std::vector<QImage> Frames(const QString& path, const QString& folder, int count) {
    QDir().mkpath(folder);
    QString log;
    const QString pipeline =
        QString("filesrc location=\"%1\" ! decodebin name=d d. ! video/x-raw ! queue ! "
                "videoconvert ! video/x-raw,format=RGB ! pngenc snapshot=false ! "
                "multifilesink location=\"%2/f%05d.png\"%3 d. ! audio/x-raw ! queue ! fakesink")
            .arg(path, folder, count > 0 ? QString(" max-files=0") : QString());
    EXPECT_TRUE(RunGstLaunch(pipeline, &log)) << log.toStdString();
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
    EXPECT_TRUE(RunGstLaunch(pipeline, &log)) << log.toStdString();
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

} // namespace orvelin::test
