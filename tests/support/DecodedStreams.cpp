#include "support/DecodedStreams.h"

#include "support/MediaFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>

namespace orvelin::test {

namespace {

double seconds(const QString& text) {
    static const QRegularExpression clock("(\\d+):(\\d+):(\\d+)\\.(\\d+)");
    const auto m = clock.match(text);
    if (!m.hasMatch())
        return -1.0;
    return m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toInt() +
           m.captured(4).toDouble() / 1e9;
}

struct Entry {
    qint64 bytes = 0;
    double start = 0.0;
    double end = 0.0;
};

// The blocks identity `name` reported, in order.
std::vector<Entry> entries(const QString& log, const QString& name) {
    static const QRegularExpression line(
        "\\((\\w+):sink\\) \\((\\d+) bytes, dts: [^,]*, pts: ([^,]*), duration: ([^,]*),");
    std::vector<Entry> found;
    for (auto it = line.globalMatch(log); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(1) != name)
            continue;
        Entry e;
        e.bytes = m.captured(2).toLongLong();
        e.start = seconds(m.captured(3));
        const double length = seconds(m.captured(4));
        e.end = e.start + std::max(0.0, length);
        found.push_back(e);
    }
    return found;
}

std::vector<DecodedBlock> blocks(const std::vector<Entry>& list, const QString& rawPath) {
    QFile file(rawPath);
    std::vector<DecodedBlock> out;
    if (!file.open(QIODevice::ReadOnly))
        return out;
    const QByteArray bytes = file.readAll();
    qint64 at = 0;
    for (const Entry& e : list) {
        DecodedBlock b;
        b.start = e.start;
        b.end = e.end;
        const qint64 n = std::min<qint64>(e.bytes, bytes.size() - at);
        if (n > 0)
            b.data.assign(bytes.constData() + at, bytes.constData() + at + n);
        at += std::max<qint64>(n, 0);
        out.push_back(std::move(b));
    }
    return out;
}

double lastEnd(const std::vector<DecodedBlock>& list) {
    double end = -1.0;
    for (const DecodedBlock& b : list)
        end = std::max(end, b.end);
    return end;
}

} // namespace

double DecodedStreams::VideoEnd() const {
    return lastEnd(video);
}

// Decoded sound is continuous: its samples count from the first block's
// time (block times of some files are wrong, as AVI's for MP3 in GStreamer).
double DecodedStreams::SoundEnd() const {
    if (sound.empty())
        return -1.0;
    size_t samples = 0;
    for (const DecodedBlock& b : sound)
        samples += b.data.size() / 2;
    return sound.front().start + double(samples) / 44100.0;
}

double DecodedStreams::FirstBrightPicture(int level) const {
    for (const DecodedBlock& b : video) {
        if (b.data.empty())
            continue;
        double sum = 0;
        for (uint8_t v : b.data)
            sum += v;
        if (sum / double(b.data.size()) > level)
            return b.start;
    }
    return -1.0;
}

double DecodedStreams::FirstLoudSample(int level) const {
    size_t before = 0;
    for (const DecodedBlock& b : sound) {
        const size_t count = b.data.size() / 2;
        for (size_t i = 0; i < count; ++i) {
            const auto v = static_cast<int16_t>(b.data[2 * i] | (b.data[2 * i + 1] << 8));
            if (std::abs(int(v)) > level)
                return sound.front().start + double(before + i) / 44100.0;
        }
        before += count;
    }
    return -1.0;
}

namespace {

// Decodes one kind of stream of `path` into `rawPath` through `convert`;
// the blocks as identity reported them. One stream per run, so that the
// reports of two streaming threads cannot mix.
bool decodeOne(const QString& path, const QString& kind, const QStringList& convert,
               const QString& rawPath, std::vector<DecodedBlock>* out) {
    QFile::remove(rawPath);
    QStringList args = {"-v"};
    args << QProcess::splitCommand(DecodeOnly(path, kind));
    for (const QString& step : convert)
        args << "!" << step;
    args << "!"
         << "identity"
         << "name=T"
         << "silent=false"
         << "!"
         << "filesink"
         << "location=" + rawPath;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("gst-launch-1.0", args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    const std::vector<Entry> list = entries(QString::fromUtf8(p.readAll()), "T");
    qint64 total = 0;
    for (const Entry& e : list)
        total += e.bytes;
    *out = blocks(list, rawPath);
    return p.exitCode() == 0 && total == QFileInfo(rawPath).size();
}

} // namespace

DecodedStreams DecodeStreams(const QString& path, const QString& folder) {
    QDir().mkpath(folder);
    DecodedStreams result;
    const bool video = decodeOne(path, "video/x-raw", {"videoconvert", "video/x-raw,format=GRAY8"},
                                 folder + "/video.gray", &result.video);
    const bool sound = decodeOne(
        path, "audio/x-raw",
        {"audioconvert", "audioresample", "audio/x-raw,format=S16LE,channels=1,rate=44100"},
        folder + "/sound.s16", &result.sound);
    result.ok = video && sound;
    return result;
}

} // namespace orvelin::test
