#include "support/MediaFixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <QDataStream>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace orvelin::test {

namespace {
bool runTool(const QString& program, const QStringList& args, QString* output, int timeoutMs,
             bool* timedOut = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForStarted(10000)) {
        if (output)
            *output = program + " did not start";
        return false;
    }
    const bool finished = process.waitForFinished(timeoutMs);
    if (!finished)
        process.kill(), process.waitForFinished(5000);
    if (timedOut)
        *timedOut = !finished;
    if (output)
        *output = QString::fromUtf8(process.readAll());
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString quoted(const QString& path) {
    QString p = path;
    p.replace('\\', "\\\\").replace('"', "\\\"");
    return "\"" + p + "\"";
}
} // namespace

bool RunGstLaunch(const QString& pipeline, QString* log, int timeoutMs) {
    QStringList args{"-q", "-e"};
    // gst-launch parses its arguments as one description.
    args << QProcess::splitCommand(pipeline);
    // A gst-launch run reading back a finished file has been seen, rarely
    // and only under load, never to end; a run that runs out of time is
    // tried once more before the test that needs it fails.
    bool timedOut = false;
    if (runTool("gst-launch-1.0", args, log, timeoutMs, &timedOut))
        return true;
    return timedOut && runTool("gst-launch-1.0", args, log, timeoutMs);
}

QString DecodeOnly(const QString& path, const QString& kind) {
    const MediaFacts facts = Discover(path);
    const bool video = kind.startsWith(QLatin1String("video"));
    const bool other = video ? facts.audioStreams > 0 : facts.videoStreams > 0;
    QString description = QString("filesrc location=%1 ! decodebin name=d ").arg(quoted(path));
    if (other)
        description +=
            QString("d. ! %1 ! queue ! fakesink sync=false ")
                .arg(video ? QStringLiteral("audio/x-raw") : QStringLiteral("video/x-raw"));
    return description + QString("d. ! %1 ! queue").arg(kind);
}

bool MakeMedia(const QString& path, const MediaSpec& clip, QString* log) {
    const int frames = static_cast<int>(clip.seconds * clip.fpsNum / clip.fpsDen + 0.5);
    QString mux, venc, aenc;
    switch (clip.container) {
    case Container::Mkv:
        mux = "matroskamux";
        venc = "x264enc tune=zerolatency speed-preset=ultrafast key-int-max=25 ! h264parse";
        aenc = "audioconvert ! vorbisenc";
        break;
    case Container::Mp4:
        mux = "mp4mux";
        venc = "x264enc tune=zerolatency speed-preset=ultrafast key-int-max=25 ! h264parse";
        aenc = "audioconvert ! avenc_aac";
        break;
    case Container::Avi:
        mux = "avimux";
        venc = "avenc_mpeg4 ! mpeg4videoparse";
        aenc = "audioconvert ! lamemp3enc";
        break;
    case Container::Ogg:
        mux = "oggmux";
        venc = "theoraenc";
        aenc = "audioconvert ! vorbisenc";
        break;
    }
    QString desc = QString("%1 name=mux ! filesink location=%2 ").arg(mux, quoted(path));
    if (clip.video) {
        desc += QString("videotestsrc num-buffers=%1 pattern=smpte ! "
                        "video/x-raw,width=%2,height=%3,framerate=%4/%5,format=I420,"
                        "pixel-aspect-ratio=%7/%8 ! videoconvert ! %6 ! queue ! mux. ")
                    .arg(frames)
                    .arg(clip.width)
                    .arg(clip.height)
                    .arg(clip.fpsNum)
                    .arg(clip.fpsDen)
                    .arg(venc)
                    .arg(clip.parNum)
                    .arg(clip.parDen);
    }
    if (clip.audio) {
        const int samplesPerBuffer = 1024;
        const int buffers = static_cast<int>(clip.seconds * 44100.0 / samplesPerBuffer + 0.999);
        desc += QString("audiotestsrc num-buffers=%1 samplesperbuffer=%2 wave=sine ! "
                        "audio/x-raw,rate=44100,channels=2 ! %3 ! queue ! mux. ")
                    .arg(buffers)
                    .arg(samplesPerBuffer)
                    .arg(aenc);
    }
    return RunGstLaunch(desc, log, 120000) && QFile::exists(path);
}

bool MakeVariableRateMedia(const QString& path, Container container, int fastFrames, int fastFps,
                           int slowFrames, int slowFps, QString* log) {
    const QString mux = container == Container::Mp4 ? "mp4mux" : "matroskamux";
    // Both parts are joined one after the other and stripped of their rate,
    // so the muxer sees only the frames' own times.
    const QString part = "videotestsrc num-buffers=%1 ! "
                         "video/x-raw,width=64,height=48,framerate=%2/1,format=I420 ! parts. ";
    const QString desc =
        QString("concat name=parts ! capssetter caps=\"video/x-raw,framerate=0/1\" ! "
                "videoconvert ! x264enc speed-preset=ultrafast key-int-max=25 ! h264parse ! "
                "%1 ! filesink location=%2 ")
            .arg(mux, quoted(path)) +
        part.arg(fastFrames).arg(fastFps) + part.arg(slowFrames).arg(slowFps);
    return RunGstLaunch(desc, log, 120000) && QFile::exists(path);
}

QString SharedMedia(const QString& name, const MediaSpec& clip) {
    static QTemporaryDir dir;
    static QHash<QString, QString> made;
    if (!made.contains(name)) {
        const QString path = dir.filePath(name);
        QString log;
        made.insert(name, MakeMedia(path, clip, &log) ? path : QString());
        if (made[name].isEmpty())
            qWarning("could not make %s: %s", qPrintable(name), qPrintable(log));
    }
    return made[name];
}

MediaFacts Discover(const QString& path) {
    MediaFacts facts;
    QString out;
    facts.ok = runTool("gst-discoverer-1.0", {"-v", path}, &out, 60000);
    facts.raw = out;
    if (!facts.ok)
        return facts;
    static const QRegularExpression duration("Duration: (\\d+):(\\d+):(\\d+)\\.(\\d+)");
    if (auto m = duration.match(out); m.hasMatch()) {
        facts.durationSeconds = m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 +
                                m.captured(3).toInt() + ("0." + m.captured(4)).toDouble();
    }
    static const QRegularExpression width("Width: (\\d+)"), height("Height: (\\d+)"),
        rate("Frame rate: (\\d+)/(\\d+)");
    if (auto m = width.match(out); m.hasMatch())
        facts.width = m.captured(1).toInt();
    if (auto m = height.match(out); m.hasMatch())
        facts.height = m.captured(1).toInt();
    if (auto m = rate.match(out); m.hasMatch()) {
        facts.fpsNum = m.captured(1).toInt();
        facts.fpsDen = m.captured(2).toInt();
    }
    facts.videoStreams = static_cast<int>(out.count(QRegularExpression(
        "^[ \\t]*video( #\\d+)?:",
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption)));
    facts.audioStreams = static_cast<int>(out.count(QRegularExpression(
        "^[ \\t]*audio( #\\d+)?:",
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption)));
    static const QRegularExpression container("container( #\\d+)?: (.+)",
                                              QRegularExpression::CaseInsensitiveOption);
    if (auto m = container.match(out); m.hasMatch())
        facts.container = m.captured(2).trimmed();
    return facts;
}

bool MakeRandomFile(const QString& path, qint64 size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The same bytes on every run: now and then a fresh draw happens to
    // look enough like a real stream to be opened, which made a test that
    // expects a refusal fail at random.
    QRandomGenerator random(static_cast<quint32>(size) ^ 0x5eed0f1eu);
    QByteArray bytes(static_cast<int>(size), Qt::Uninitialized);
    for (auto& b : bytes)
        b = static_cast<char>(random.bounded(256));
    return file.write(bytes) == size;
}

bool MakeTruncatedCopy(const QString& source, const QString& target, qint64 keepBytes) {
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = in.read(keepBytes);
    return out.write(bytes) == bytes.size();
}

bool OverwriteTail(const QString& path, qint64 keepBytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.size() <= keepBytes || !file.seek(keepBytes))
        return false;
    QByteArray bytes(static_cast<int>(file.size() - keepBytes), Qt::Uninitialized);
    for (auto& b : bytes)
        b = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return file.write(bytes) == bytes.size();
}

bool OverwriteSpots(const QString& path, qint64 keepBytes, int count, int length, quint32 seed) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.size() <= keepBytes + length)
        return false;
    QRandomGenerator random(seed);
    for (int i = 0; i < count; ++i) {
        const qint64 at = keepBytes + random.bounded(file.size() - keepBytes - length);
        QByteArray bytes(length, Qt::Uninitialized);
        for (auto& b : bytes)
            b = static_cast<char>(random.bounded(256));
        if (!file.seek(at) || file.write(bytes) != length)
            return false;
    }
    return true;
}

QString MarkOnlyDefault(const QString& source, int tracks, int keep, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = in.readAll();
    const QByteArray name("\x53\x6e", 2);
    int track = 0;
    for (qsizetype at = bytes.indexOf(name); at >= 0 && track < tracks;
         at = bytes.indexOf(name, at + 2), ++track) {
        const int size = static_cast<unsigned char>(bytes[at + 2]) & 0x7f;
        if (!(static_cast<unsigned char>(bytes[at + 2]) & 0x80) || size < 3)
            return {};
        if (track == keep)
            continue;
        QByteArray mark("\x88\x81\x00", 3);
        mark += char(0xEC);
        mark += char(0x80 | (size - 2));
        mark += QByteArray(size - 2, '\0');
        bytes.replace(at, 3 + size, mark);
    }
    QFile out(target);
    if (track < tracks || !out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return {};
    return target;
}

bool WriteBeepsWav(const QString& path, int rate, double seconds, const QList<double>& beeps) {
    const int samples = int(std::lround(seconds * rate));
    QByteArray pcm(qsizetype(samples) * 4, '\0');
    for (double at : beeps) {
        const int from = int(std::lround(at * rate));
        for (int i = std::max(0, from); i < std::min(samples, from + rate / 10); ++i) {
            const auto v = static_cast<int16_t>(16000 * std::sin(2 * M_PI * 1000.0 * i / rate));
            for (int ch = 0; ch < 2; ++ch) {
                pcm[4 * i + 2 * ch] = char(v & 0xFF);
                pcm[4 * i + 2 * ch + 1] = char((v >> 8) & 0xFF);
            }
        }
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&f);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + pcm.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(2) << quint32(rate) << quint32(rate * 4)
        << quint16(4) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(pcm.size());
    out.writeRawData(pcm.constData(), pcm.size());
    return out.status() == QDataStream::Ok;
}

} // namespace orvelin::test
