#include "convert/ConvertSupport.h"

#include "lang/BuiltinStrings.h"
#include "lang/LanguagePack.h"
#include "media/EncoderRegistry.h"
#include "options/CompressorCatalog.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QVariant>

#include <cmath>
#include <sys/stat.h>

namespace orvelin {

const char* const kDivXDownloadUrl = "https://gstreamer.freedesktop.org/modules/gst-libav.html";
const char* const kMkvDownloadUrl =
    "https://gstreamer.freedesktop.org/modules/gst-plugins-good.html";
const char* const kDsmDownloadUrl = "https://sourceforge.net/projects/guliverkli2/";

bool FileExists(const QString& path) {
    if (path.isEmpty() || QFileInfo(path).isDir())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    file.close();
    return true;
}

bool SameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty())
        return false;
    const FileStamp sa = StampOf(a);
    const FileStamp sb = StampOf(b);
    return sa.valid && sb.valid && sa.device == sb.device && sa.inode == sb.inode;
}

FileStamp StampOf(const QString& path) {
    FileStamp stamp;
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return stamp;
    stamp.valid = true;
    stamp.device = static_cast<uint64_t>(st.st_dev);
    stamp.inode = static_cast<uint64_t>(st.st_ino);
    stamp.size = static_cast<int64_t>(st.st_size);
    stamp.changeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    return stamp;
}

void DisableDivXFeedback() {
    QSettings settings(QStringLiteral("DivXNetworks"), QStringLiteral("DivX4Windows"));
    const QString key = QStringLiteral("Disable feedback");
    if (!settings.contains(key))
        return;
    const QVariant value = settings.value(key);
    switch (value.typeId()) {
    case QMetaType::QByteArray: {
        QByteArray bytes = value.toByteArray();
        if (!bytes.isEmpty())
            bytes[0] = 1;
        settings.setValue(key, bytes);
        break;
    }
    case QMetaType::QString: {
        // A number as the settings file holds it: its lowest byte becomes 1.
        bool isNumber = false;
        const qlonglong number = value.toString().toLongLong(&isNumber);
        if (isNumber) {
            settings.setValue(key, QString::number((number & ~0xFFLL) | 1));
        } else {
            QString text = value.toString();
            if (!text.isEmpty())
                text[0] = QChar(1);
            settings.setValue(key, text);
        }
        break;
    }
    default: {
        bool isNumber = false;
        const qlonglong number = value.toLongLong(&isNumber);
        if (isNumber)
            settings.setValue(key, (number & ~0xFFLL) | 1);
        break;
    }
    }
    settings.sync();
}

QString ReplaceQuestionText(const QString& path) {
    return path + QLatin1Char(' ') + LanguagePack::Instance().GetString(IDS_MESSAGE_FILE_EXIST);
}

QString FrameRateQuestionText(double sourceFrameRate) {
    return QString::asprintf("The output frame rate is %f.The value may not be proper.\nClick Yes "
                             "to set the output frame rate 23.976. Click No to keep it.",
                             sourceFrameRate);
}

QString CompressorWarningText() {
    return QStringLiteral("You do not select a video compressor in Options dialog. The output "
                          "file will be very big.\n"
                          "Strongly recommend you to install DivX codec, then select DivX as "
                          "video compressor.\n"
                          "If there is no DivX codec on your system, please download it at ") +
           QLatin1String(kDivXDownloadUrl) + QStringLiteral("\nDo you want to continue?");
}

QString UsedTimeText(int32_t seconds) {
    const int32_t hours = seconds / 3600;
    const int32_t minutes = (seconds % 3600) / 60;
    const int32_t rest = seconds - (hours * 60 + minutes) * 60;
    return QString::asprintf("Please wait... Used Time: %02d:%02d:%02d", hours, minutes, rest);
}

QString DoneText(const QString& outputPath, int32_t width, int32_t height) {
    const LanguagePack& pack = LanguagePack::Instance();
    // Joined piece by piece: the path may hold anything, '%' included.
    return pack.GetString(IDS_DONE) + QStringLiteral(". ") + pack.GetString(IDS_OUTPUT_FILE) +
           QLatin1Char(' ') + outputPath + QStringLiteral("     ") +
           pack.GetString(IDS_RESOLUTION) + QLatin1Char(' ') + QString::number(width) +
           QLatin1Char('*') + QString::number(height);
}

QString FailedText(const QString& errorText) {
    return QStringLiteral("Conversion failed: ") + errorText;
}

QString OutputIsSourceText(const QString& outputPath) {
    return QStringLiteral("The output file %1 is the source video itself. Please choose another "
                          "output file in Options; the source is left as it is.")
        .arg(outputPath);
}

QString UnusableFrameRateText(double rate) {
    if (rate > kHighestFrameRate)
        return QStringLiteral("The frame rate is too large! The largest frame rate is %1.")
            .arg(kHighestFrameRate);
    return QStringLiteral("The frame rate is too small!");
}

QString KeptElsewhereText(const QString& outputPath, const QString& reason, const QString& keptAs) {
    return QStringLiteral("The converted file cannot be saved as %1 (%2). It is kept as %3.")
        .arg(outputPath, reason, keptAs);
}

QString UnsupportedContainerText(int32_t outputFormat) {
    return QStringLiteral("The stored output format (%1) names no container that can be "
                          "written. Please choose the output file again in Options.")
        .arg(outputFormat);
}

QString SourceChangedText(const QString& sourcePath, bool kept) {
    return QStringLiteral("%1 was changed while it was being converted. ").arg(sourcePath) +
           (kept ? QStringLiteral("The output file may be incomplete or damaged.")
                 : QStringLiteral("No output file was written."));
}

QString EmptyStretchText() {
    return QStringLiteral("The end time must be later than the start time. Please set the "
                          "Start Time and the End Time again.");
}

QString UnstorableStreamText(const OutputSettings& out) {
    // WMV and ASF encode by themselves.
    if (out.outputFormat == kContainerWmv || out.outputFormat == kContainerAsf)
        return QString();
    const ContainerInfo* container = Container(out.outputFormat);
    if (!container)
        return QString();
    const QString muxer = ContainerMultiplexer(out.outputFormat);
    const QString name = QString::fromLatin1(container->listText);
    if (out.useVideoCompressor != 1 &&
        !media::MultiplexerTakesUncompressed(muxer, media::CompressorKind::Video))
        return QStringLiteral("An %1 file cannot store full frames (uncompressed video). Please "
                              "choose a video compressor in Options.")
            .arg(name);
    if (out.useAudioCompressor != 1 &&
        !media::MultiplexerTakesUncompressed(muxer, media::CompressorKind::Audio))
        return QStringLiteral("An %1 file cannot store uncompressed sound. Please choose an "
                              "audio compressor in Options.")
            .arg(name);
    return QString();
}

} // namespace orvelin
