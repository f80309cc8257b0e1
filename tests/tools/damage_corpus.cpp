// Converts a corpus of damaged media files through the real main window and
// counts how each job ended (not a test):
//
//   damage_corpus FOLDER [DAMAGED_PER_KIND=48] [SEED=20261210]
//   damage_corpus --convert SOURCE OUTPUT.mkv
//
// Five small clean sources (Matroska, MP4, AVI, MPEG-TS, Ogg; 160x120, 3 s,
// moving pictures and a tone) are damaged with a fixed seed: bits flipped,
// the file cut short, a region zeroed, a region doubled. Each damaged file
// is converted as a user would (Open Video, Convert, every question
// answered Yes) and counted as warned, plain "Done" or failed. Every plain
// "Done" output is compared with the conversion of the undamaged source by
// ffmpeg's PSNR: how many have pictures below 25 dB (and how many have ten or
// more). A clean corpus of real-world kinds (VOB, TS, phone-like clips of
// variable frame rate, AVI with VBR MP3, sound shorter than the picture by
// design) must give no warning at all.
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <clocale>
#include <cstdio>
#include <random>

using namespace orvelin;
using namespace orvelin::test;

namespace {

bool Run(const QString& program, const QStringList& arguments, QByteArray* out = nullptr,
         int timeoutMs = 300000) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs))
        return false;
    if (out)
        *out = process.readAll();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool Ffmpeg(const QStringList& arguments) {
    QByteArray out;
    const bool ok =
        Run("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-y"} + arguments, &out);
    if (!ok)
        std::fprintf(stderr, "ffmpeg %s: %s\n", qPrintable(arguments.join(' ')), out.constData());
    return ok;
}

const QStringList kPicture{"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=3"};
const QStringList kSound{"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=3"};

struct Kind {
    const char* name;
    QStringList codecs;
};

// The damaged corpus' clean sources.
const Kind kKinds[] = {
    {"mkv", {"-c:v", "libx264", "-g", "25", "-c:a", "libvorbis"}},
    {"mp4", {"-c:v", "libx264", "-g", "25", "-c:a", "aac"}},
    {"avi", {"-c:v", "mpeg4", "-g", "25", "-c:a", "libmp3lame"}},
    {"ts", {"-c:v", "libx264", "-g", "25", "-c:a", "mp2"}},
    {"ogg", {"-c:v", "libtheora", "-g", "25", "-c:a", "libvorbis"}},
};

bool MakeClean(const QString& path, const QStringList& codecs) {
    return Ffmpeg(kPicture + kSound + codecs + QStringList{"-pix_fmt", "yuv420p", path});
}

// The clean real-world kinds.
bool MakeRealWorld(const QString& folder, QStringList* made) {
    struct Recipe {
        const char* name;
        QStringList arguments;
    };
    // Phone-like: 30 pictures a second, then 15, with a little jitter; the
    // sound goes on a little longer than the picture.
    const QStringList vfrPicture{"-f", "lavfi", "-i",
                                 "testsrc2=size=160x120:rate=30:duration=2.5,"
                                 "setpts='(N/30+if(gt(N,45),(N-45)/30,0)+0.008*sin(N*1.3))/TB'"};
    const QStringList vfrSound{"-f", "lavfi", "-i",
                               "sine=frequency=440:sample_rate=44100:duration=3.5"};
    const Recipe recipes[] = {
        {"dvd.vob",
         kPicture + kSound +
             QStringList{"-c:v", "mpeg2video", "-c:a", "ac3", "-f", "vob", "-pix_fmt", "yuv420p"}},
        {"broadcast.ts",
         kPicture + kSound + QStringList{"-c:v", "libx264", "-c:a", "aac", "-pix_fmt", "yuv420p"}},
        {"phone.mp4", vfrPicture + vfrSound +
                          QStringList{"-fps_mode", "vfr", "-c:v", "libx264", "-c:a", "aac",
                                      "-pix_fmt", "yuv420p"}},
        {"phone.mkv", vfrPicture + vfrSound +
                          QStringList{"-fps_mode", "vfr", "-c:v", "libx264", "-c:a", "libvorbis",
                                      "-pix_fmt", "yuv420p"}},
        {"vbr-mp3.avi", kPicture + kSound +
                            QStringList{"-c:v", "mpeg4", "-c:a", "libmp3lame", "-q:a", "2",
                                        "-pix_fmt", "yuv420p"}},
        {"short-sound.mkv",
         kPicture + QStringList{"-f", "lavfi", "-i", "sine=frequency=440:duration=1.5"} +
             QStringList{"-c:v", "libx264", "-c:a", "libvorbis", "-pix_fmt", "yuv420p"}},
        {"short-sound.mp4",
         kPicture + QStringList{"-f", "lavfi", "-i", "sine=frequency=440:duration=1.5"} +
             QStringList{"-c:v", "libx264", "-c:a", "aac", "-pix_fmt", "yuv420p"}},
        {"short-sound.avi",
         kPicture + QStringList{"-f", "lavfi", "-i", "sine=frequency=440:duration=1.5"} +
             QStringList{"-c:v", "mpeg4", "-c:a", "libmp3lame", "-pix_fmt", "yuv420p"}},
    };
    for (const Recipe& recipe : recipes) {
        const QString path = folder + "/" + recipe.name;
        if (!Ffmpeg(recipe.arguments + QStringList{path}))
            return false;
        *made << path;
    }
    for (const Kind& kind : kKinds)
        *made << folder + "/clean." + kind.name;
    return true;
}

// One damage of a file's bytes, drawn from `random`; answers its name.
QString Damage(QByteArray& bytes, std::mt19937& random, int which) {
    const qsizetype size = bytes.size();
    // The first kilobytes (headers) are spared now and then, so that most
    // files still open.
    const qsizetype from = random() % 2 ? size / 20 : 0;
    auto at = [&](qsizetype span) {
        return from + static_cast<qsizetype>(random() % std::max<qsizetype>(1, size - from - span));
    };
    switch (which % 4) {
    case 0: {
        const int flips = 1 + static_cast<int>(random() % 40);
        for (int i = 0; i < flips; ++i)
            bytes[at(1)] ^= static_cast<char>(1 << (random() % 8));
        return QStringLiteral("%1 bits flipped").arg(flips);
    }
    case 1: {
        const int percent = 50 + static_cast<int>(random() % 48);
        bytes.truncate(size * percent / 100);
        return QStringLiteral("cut to %1 %").arg(percent);
    }
    case 2: {
        const qsizetype span = size * (1 + static_cast<qsizetype>(random() % 10)) / 100;
        const qsizetype start = at(span);
        std::fill(bytes.begin() + start, bytes.begin() + start + span, '\0');
        return QStringLiteral("%1 bytes zeroed at %2").arg(span).arg(start);
    }
    default: {
        const qsizetype span = size * (1 + static_cast<qsizetype>(random() % 10)) / 100;
        const qsizetype start = at(span);
        bytes.insert(start + span, bytes.mid(start, span));
        return QStringLiteral("%1 bytes at %2 doubled").arg(span).arg(start);
    }
    }
}

enum class Outcome { Warned, Done, Failed };

// Converts `source` into `output` through the main window.
Outcome Convert(TestEnv& env, const QString& source, const QString& output, QString* status) {
    QFile::remove(output);
    env.settings->WriteString("Settings", "OutputName", output);
    MainDialog dialog(*env.context);
    dialog.show();
    env.ui.Clear();
    env.ui.messageAnswers.clear();
    env.ui.fileAnswers = {source};
    qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_OPEN_VIDEO))->click();
    if (dialog.State().itemCount != 1) {
        *status = QStringLiteral("not opened: ") + env.ui.MessageTexts().join(" | ");
        return Outcome::Failed;
    }
    qobject_cast<QAbstractButton*>(dialog.Control(IDC_BUTTON_CONVERT))->click();
    if (!WaitFor([&] { return dialog.State().converting == 0; }, std::chrono::seconds(300))) {
        *status = QStringLiteral("did not end");
        return Outcome::Failed;
    }
    *status = dialog.ControlText(IDC_STATIC_OUTPUT_INFO);
    if (status->startsWith("Done. "))
        return Outcome::Done;
    if (!QFileInfo::exists(output) || status->startsWith("Conversion failed") ||
        !status->contains("Done. "))
        return Outcome::Failed;
    return Outcome::Warned;
}

// The pictures of `output` below 25 dB against `reference`; -1 when they
// cannot be compared. Pictures missing at the end count as broken.
int BrokenPictures(const QString& output, const QString& reference, int referenceFrames) {
    QByteArray out;
    if (!Run("ffmpeg",
             {"-hide_banner", "-nostats", "-i", output, "-i", reference, "-lavfi",
              "[0:v][1:v]psnr=stats_file=-:shortest=1", "-f", "null", "-"},
             &out))
        return -1;
    static const QRegularExpression line("psnr_avg:(\\S+)");
    int broken = 0;
    int frames = 0;
    for (auto it = line.globalMatch(QString::fromUtf8(out)); it.hasNext();) {
        const QString value = it.next().captured(1);
        ++frames;
        if (value != "inf" && value.toDouble() < 25.0)
            ++broken;
    }
    // Pictures missing at the end are counted apart (a cut file whose
    // container declares no length cannot tell that it was cut).
    (void)referenceFrames;
    return frames == 0 ? -1 : broken;
}

int FrameCount(const QString& path) {
    QByteArray out;
    Run("ffprobe",
        {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
         "stream=nb_read_frames", "-of", "csv=p=0", path},
        &out);
    return out.trimmed().toInt();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [DAMAGED_PER_KIND] [SEED]\n", argv[0]);
        return 2;
    }
    if (argc == 4 && QByteArray(argv[1]) == "--convert") {
        // One file, as the corpus converts it.
        TestEnv env;
        QString status;
        Convert(env, QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath(),
                QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath(), &status);
        std::printf("%s\n%s\n", qPrintable(status), qPrintable(env.ui.MessageTexts().join("\n")));
        return 0;
    }
    const QString folder = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const int perKind = argc > 2 ? std::atoi(argv[2]) : 48;
    const unsigned seed = argc > 3 ? static_cast<unsigned>(std::atoll(argv[3])) : 20261210u;
    QDir().mkpath(folder + "/damaged");
    QDir().mkpath(folder + "/out");
    TestEnv env;

    // Clean sources and their conversions: the references.
    QStringList clean;
    if (!MakeRealWorld(folder, &clean))
        return 1;
    std::mt19937 random(seed);
    int cleanWarned = 0, cleanFailed = 0;
    for (const Kind& kind : kKinds) {
        const QString source = folder + "/clean." + kind.name;
        if (!MakeClean(source, kind.codecs))
            return 1;
    }
    for (const QString& source : clean) {
        QString status;
        const QString output = folder + "/out/" + QFileInfo(source).fileName() + ".mkv";
        const Outcome outcome = Convert(env, source, output, &status);
        cleanWarned += outcome == Outcome::Warned;
        cleanFailed += outcome == Outcome::Failed;
        std::printf("clean %-20s %s\n", qPrintable(QFileInfo(source).fileName()),
                    qPrintable(status));
        std::fflush(stdout);
    }

    int warned = 0, done = 0, failed = 0, doneBroken = 0, doneBroken10 = 0, doneShort = 0;
    for (const Kind& kind : kKinds) {
        const QString source = folder + "/clean." + kind.name;
        const QString reference = folder + "/out/clean." + kind.name + ".mkv";
        const int referenceFrames = FrameCount(reference);
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray original = file.readAll();
        for (int i = 0; i < perKind; ++i) {
            QByteArray bytes = original;
            const QString how = Damage(bytes, random, i);
            const QString damaged =
                folder +
                QStringLiteral("/damaged/%1-%2.%1").arg(kind.name).arg(i, 3, 10, QChar('0'));
            QFile out(damaged);
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
                return 1;
            out.close();
            const QString output = folder + "/out/" + QFileInfo(damaged).fileName() + ".mkv";
            QString status;
            const Outcome outcome = Convert(env, damaged, output, &status);
            QString verdict;
            switch (outcome) {
            case Outcome::Warned:
                ++warned;
                verdict = "warned";
                break;
            case Outcome::Failed:
                ++failed;
                verdict = "failed";
                break;
            case Outcome::Done: {
                ++done;
                const int broken = BrokenPictures(output, reference, referenceFrames);
                const int frames = FrameCount(output);
                doneBroken += broken != 0;
                doneBroken10 += broken >= 10 || broken < 0;
                doneShort += frames < referenceFrames - 2;
                verdict = QStringLiteral("DONE (%1 of %2 pictures below 25 dB; %3 of %4 pictures)")
                              .arg(broken)
                              .arg(frames)
                              .arg(frames)
                              .arg(referenceFrames);
                break;
            }
            }
            std::printf("%s (%s): %s - %s\n", qPrintable(QFileInfo(damaged).fileName()),
                        qPrintable(how), qPrintable(verdict), qPrintable(status.left(300)));
            std::fflush(stdout);
        }
    }
    std::printf("\ndamaged: %d files: %d warned, %d plain Done, %d failed; plain Done with "
                "pictures below 25 dB: %d (with 10 or more: %d); plain Done shorter than the "
                "undamaged conversion: %d\n",
                warned + done + failed, warned, done, failed, doneBroken, doneBroken10, doneShort);
    std::printf("clean: %d files: %d warned, %d failed\n", static_cast<int>(clean.size()),
                cleanWarned, cleanFailed);
    return 0;
}
