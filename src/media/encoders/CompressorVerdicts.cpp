#include "media/encoders/CompressorVerdicts.h"

#include "media/PlaybackGraph.h"
#include "media/encoders/CompressorTrial.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <gst/gst.h>

#include <memory>

namespace orvelin::media {

namespace {

// Changes whenever the trials or the compressors' chains change, so that
// verdicts found another way are not reused.
constexpr int kTrialScheme = 1;

struct Rate {
    int num;
    int den;
    const char* text;
};
// The rates the program writes, as the timeline makes them exact: the
// presets with their decimals as written, and a custom rate.
constexpr Rate kRates[] = {
    {2997, 125, "23.976"}, {25, 1, "25"}, {2997, 100, "29.97"}, {30, 1, "30"}, {15, 1, "15"}};

// A digest of every installed plug-in with its version.
QString PluginSetKey() {
    QStringList plugins;
    GList* list = gst_registry_get_plugin_list(gst_registry_get());
    for (GList* l = list; l; l = l->next) {
        auto* plugin = GST_PLUGIN(l->data);
        const gchar* file = gst_plugin_get_filename(plugin);
        plugins << QStringLiteral("%1 %2 %3")
                       .arg(QString::fromUtf8(gst_plugin_get_name(plugin)),
                            QString::fromUtf8(gst_plugin_get_version(plugin)),
                            QString::fromUtf8(file ? file : ""));
    }
    gst_plugin_list_free(list);
    plugins.sort();
    guint major = 0, minor = 0, micro = 0, nano = 0;
    gst_version(&major, &minor, &micro, &nano);
    plugins << QStringLiteral("gstreamer %1.%2.%3.%4 scheme %5")
                   .arg(major)
                   .arg(minor)
                   .arg(micro)
                   .arg(nano)
                   .arg(kTrialScheme);
    const QByteArray digest =
        QCryptographicHash::hash(plugins.join('\n').toUtf8(), QCryptographicHash::Sha1);
    return QString::fromLatin1(digest.toHex().left(16));
}

struct Memory {
    QString key;                      // the plug-in set the verdicts belong to
    QHash<QString, QString> verdicts; // "muxer/factory" -> "" (works) or the reason
    bool loaded = false;
};

Memory& Remembered() {
    static Memory memory;
    return memory;
}

QString EntryName(const QString& factory, const QString& muxer) {
    return muxer + '/' + factory;
}

struct TrialOutcome {
    QString reason;         // empty when every trial passed
    bool conclusive = true; // false when a trial ran out of time
};

TrialOutcome RunTrials(const QString& factory, CompressorKind kind, const QString& muxer) {
    QTemporaryDir folder;
    if (!folder.isValid())
        return {QStringLiteral("no temporary folder for the trial"), false};
    const bool video = kind == CompressorKind::Video;
    const int runs = video ? static_cast<int>(std::size(kRates)) : 1;
    for (int i = 0; i < runs; ++i) {
        // A fresh instance, as every press of OK makes one.
        std::shared_ptr<Filter> compressor = BindCompressor(factory);
        if (!compressor)
            return {QStringLiteral("it cannot be made")};
        CompressorTrial trial;
        trial.kind = kind;
        trial.muxer = muxer;
        trial.frames = video ? 8 : 10;
        trial.path = folder.filePath(QStringLiteral("trial"));
        if (video) {
            trial.rateNum = kRates[i].num;
            trial.rateDen = kRates[i].den;
        }
        QString error;
        const HRESULT hr = RunCompressorTrial(compressor, trial, &error, 20000);
        // A machine too busy to finish says nothing about the encoder: it
        // stays listed and is tried again in the next run.
        if (hr == VFW_E_TIMEOUT)
            return {QString(), false};
        if (Failed(hr)) {
            return {video ? QStringLiteral("fails at %1 frames per second: %2")
                                .arg(QLatin1String(kRates[i].text), error)
                          : error};
        }
        if (QFileInfo(trial.path).size() == 0)
            return {QStringLiteral("writes an empty file")};
    }
    return {};
}

} // namespace

QString CompressorVerdictCacheFile() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return QDir(base).filePath(
        QStringLiteral("orvelin/compressor-trials-%1.ini").arg(PluginSetKey()));
}

void ForgetCompressorVerdicts() {
    Remembered() = Memory{};
}

CompressorVerdict TrialVerdict(const QString& factory, CompressorKind kind, const QString& muxer) {
    Memory& memory = Remembered();
    const QString file = CompressorVerdictCacheFile();
    if (!memory.loaded || memory.key != file) {
        memory = Memory{};
        memory.key = file;
        memory.loaded = true;
        QSettings stored(file, QSettings::IniFormat);
        for (const QString& name : stored.allKeys())
            memory.verdicts.insert(name, stored.value(name).toString());
    }
    const QString entry = EntryName(factory, muxer);
    auto found = memory.verdicts.constFind(entry);
    if (found == memory.verdicts.constEnd()) {
        const TrialOutcome outcome = RunTrials(factory, kind, muxer);
        if (!outcome.conclusive)
            return {true, QString()};
        found = memory.verdicts.insert(entry, outcome.reason);
        QDir().mkpath(QFileInfo(file).path());
        QSettings stored(file, QSettings::IniFormat);
        stored.setValue(entry, outcome.reason);
    }
    return {found->isEmpty(), *found};
}

} // namespace orvelin::media
