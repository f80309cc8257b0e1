#include "convert/SourceDamage.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>

namespace orvelin {

namespace {

constexpr media::REFERENCE_TIME kSecond = media::kUnitsPerSecond;

QString Seconds(media::REFERENCE_TIME t) {
    return QString::number(static_cast<double>(t) / kSecond, 'f', 2) + QStringLiteral(" s");
}

bool EndedEarly(const media::SourceStreamReport& stream) {
    return stream.asked - stream.reached > ShortfallTolerance(stream);
}

QString KindName(media::MediaMajorType kind) {
    return kind == media::MediaMajorType::Video ? QStringLiteral("picture")
                                                : QStringLiteral("sound");
}

// The sentences for one file's streams; empty when nothing is wrong.
QString FileDamageText(const QString& file,
                       const std::vector<const media::SourceStreamReport*>& streams) {
    const QString name = QFileInfo(file).fileName();
    QStringList sentences;
    const bool allEarly = std::all_of(streams.begin(), streams.end(),
                                      [](const auto* stream) { return EndedEarly(*stream); });
    if (allEarly) {
        media::REFERENCE_TIME asked = 0;
        QStringList ends;
        for (const auto* stream : streams) {
            asked = std::max(asked, stream->asked);
            ends << (ends.isEmpty()
                         ? QStringLiteral("The %1 of %2 ends after %3")
                               .arg(KindName(stream->kind), name, Seconds(stream->reached))
                         : QStringLiteral("its %1 after %2")
                               .arg(KindName(stream->kind), Seconds(stream->reached)));
        }
        sentences << ends.join(QStringLiteral(" and ")) +
                         QStringLiteral(" of the %1 converted; the source may be damaged or "
                                        "incomplete.")
                             .arg(Seconds(asked));
    }
    int warnings = 0;
    QString first;
    for (const auto* stream : streams) {
        if (stream->warnings > 0 && first.isEmpty())
            first = stream->firstWarning;
        warnings += stream->warnings;
    }
    if (warnings > 0) {
        sentences << QStringLiteral("Reading %1 met damaged data %2 (first: %3); the output may "
                                    "show it.")
                         .arg(name,
                              warnings == 1 ? QStringLiteral("once")
                                            : QStringLiteral("%1 times").arg(warnings),
                              first);
    }
    return sentences.join(QLatin1Char(' '));
}

} // namespace

media::REFERENCE_TIME ShortfallTolerance(const media::SourceStreamReport& stream) {
    // Without a known rate, pictures are taken to come 25 times a second.
    constexpr media::REFERENCE_TIME kUsualFramePeriod = kSecond / 25;
    constexpr media::REFERENCE_TIME kRounding = kSecond / 1000;
    if (stream.kind == media::MediaMajorType::Video)
        return 2 * (stream.framePeriod > 0 ? stream.framePeriod : kUsualFramePeriod) + kRounding;
    return kSecond / 10 + kRounding;
}

QString SourceDamageText(const std::vector<media::SourceStreamReport>& reports) {
    QStringList files;
    for (const auto& report : reports) {
        if (!files.contains(report.file))
            files << report.file;
    }
    QStringList texts;
    for (const QString& file : files) {
        std::vector<const media::SourceStreamReport*> streams;
        for (const auto& report : reports) {
            if (report.file == file)
                streams.push_back(&report);
        }
        const QString text = FileDamageText(file, streams);
        if (!text.isEmpty())
            texts << text;
    }
    return texts.join(QLatin1Char(' '));
}

QString DeclaredShortfallText(const QString& file, media::REFERENCE_TIME probed,
                              media::REFERENCE_TIME partEnd) {
    constexpr media::REFERENCE_TIME kTolerance = kSecond / 10;
    if (probed <= 0 || partEnd < probed - kTolerance)
        return QString();
    const media::REFERENCE_TIME declared = media::DeclaredLength(file);
    if (declared <= probed + kTolerance)
        return QString();
    return QStringLiteral("%1 ends after %2 of the %3 its header declares; the source may be "
                          "damaged or incomplete.")
        .arg(QFileInfo(file).fileName(), Seconds(probed), Seconds(declared));
}

} // namespace orvelin
