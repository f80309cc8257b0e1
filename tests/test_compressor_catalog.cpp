// The compressor catalogue: what it lists really encodes, in a stable order,
// behind the fixed first entries, bound by position, with the preferred
// defaults and the stored-position rules.
#include "media/EncoderRegistry.h"
#include "media/PlaybackGraph.h"
#include "media/encoders/CompressorTrial.h"
#include "media/encoders/CompressorVerdicts.h"
#include "options/CodecSettings.h"
#include "options/CompressorCatalog.h"
#include "options/OutputOptionsDialog.h"
#include "options/OutputSettings.h"
#include "support/MediaFixtures.h"
#include "support/TestEnv.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "support/ListCompressorSource.h"

#include <algorithm>
#include <cstdio>

using namespace orvelin;
using ListSource = orvelin::test::ListCompressorSource;
using media::CompressorDevice;
using media::CompressorKind;
using orvelin::test::Device;

namespace {

std::vector<CompressorDevice> Listed(CompressorKind kind) {
    std::vector<CompressorDevice> devices;
    EXPECT_EQ(media::EnumerateCompressors(kind, devices), media::S_OK);
    return devices;
}

int PositionOf(const std::vector<CompressorDevice>& devices, const QString& factory) {
    for (size_t i = 0; i < devices.size(); ++i) {
        if (devices[i].factoryName == factory)
            return static_cast<int>(i);
    }
    return -1;
}

// Streams of a kind in the discoverer's report. (MediaFacts counts a stream
// twice when a blank line precedes it: its pattern lets \s run across lines.)
int StreamCount(const test::MediaFacts& facts, const QString& kind) {
    const QRegularExpression line(QStringLiteral("^[ \\t]*%1 #\\d+:").arg(kind),
                                  QRegularExpression::MultilineOption);
    int count = 0;
    for (auto it = line.globalMatch(facts.raw); it.hasNext(); it.next())
        ++count;
    return count;
}

// Decodes the whole file; false when a decoder or demultiplexer fails.
bool DecodesToEnd(const QString& path, QString* log) {
    return test::RunGstLaunch(
        QStringLiteral("filesrc location=\"%1\" ! decodebin ! fakesink").arg(path), log, 60000);
}

class CatalogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ReleaseSelectedCompressors();
        CodecStateBlocks::Instance().Clear();
    }
    void TearDown() override { ReleaseSelectedCompressors(); }
    test::TestEnv env;
};

} // namespace

// The frame rates the program writes, as the timeline makes them exact: the
// presets 23.976, 25, 29.97 and 30 and a custom rate.
struct TrialRate {
    int num;
    int den;
};
constexpr TrialRate kRates[] = {{2997, 125}, {25, 1}, {2997, 100}, {30, 1}, {15, 1}};

// Every compressor listed for a container writes a file into it that an
// independent look finds playable with the right length, and that decodes to
// its end. Each compressor is tried at another of the program's rates in each
// container, so every rate meets many encoders in every container.
TEST_F(CatalogTest, EveryListedCompressorWritesAPlayableFileIntoItsContainer) {
    int trials = 0;
    int container = 0;
    for (int32_t format : {kContainerMkv, kContainerMp4, kContainerAvi, kContainerOgm}) {
        const QString muxer = ContainerMultiplexer(format);
        CompressorCatalog catalog(env.ui);
        catalog.SetContainer(format);
        for (CompressorKind kind : {CompressorKind::Video, CompressorKind::Audio}) {
            std::vector<CompressorDevice> devices;
            ASSERT_EQ(media::EnumerateCompressors(kind, muxer, devices), media::S_OK);
            ASSERT_FALSE(devices.empty()) << muxer.toStdString();
            for (size_t i = 0; i < devices.size(); ++i) {
                const CompressorDevice& device = devices[i];
                const TrialRate rate = kRates[(i + static_cast<size_t>(container)) % 5];
                SCOPED_TRACE((device.factoryName + " into " + muxer +
                              QStringLiteral(" at %1/%2").arg(rate.num).arg(rate.den))
                                 .toStdString());
                EXPECT_TRUE(device.muxers.contains(muxer));
                std::shared_ptr<media::Filter> compressor;
                if (kind == CompressorKind::Video)
                    catalog.GetCompressor(static_cast<int>(i), &compressor);
                else
                    catalog.GetAudioCompressor(static_cast<int>(i), &compressor);
                ASSERT_TRUE(compressor);
                EXPECT_EQ(compressor->FactoryName(), device.factoryName);

                media::CompressorTrial trial;
                trial.kind = kind;
                trial.muxer = muxer;
                trial.rateNum = rate.num;
                trial.rateDen = rate.den;
                trial.path = env.TempPath(device.factoryName + "-" + muxer + ".bin");
                QString error;
                ASSERT_EQ(media::RunCompressorTrial(compressor, trial, &error), media::S_OK)
                    << error.toStdString();
                ++trials;

                const test::MediaFacts facts = test::Discover(trial.path);
                ASSERT_TRUE(facts.ok) << facts.raw.toStdString();
                if (kind == CompressorKind::Video) {
                    EXPECT_EQ(StreamCount(facts, "video"), 1);
                    EXPECT_EQ(facts.width, 160);
                    EXPECT_EQ(facts.height, 120);
                    // 10 frames at the rate, within one frame.
                    const double frame = double(rate.den) / rate.num;
                    EXPECT_NEAR(facts.durationSeconds, 10 * frame, frame + 0.001)
                        << facts.raw.toStdString();
                } else {
                    EXPECT_EQ(StreamCount(facts, "audio"), 1);
                    // 10 blocks of 1024 samples at 44.1 kHz (0.232 s), plus
                    // the encoder's own padding; nothing lost at the end.
                    EXPECT_GT(facts.durationSeconds, 0.225) << facts.raw.toStdString();
                    EXPECT_LT(facts.durationSeconds, 0.35) << facts.raw.toStdString();
                }
                QString log;
                EXPECT_TRUE(DecodesToEnd(trial.path, &log)) << log.toStdString();
                QFile::remove(trial.path);
            }
        }
        ++container;
    }
    EXPECT_GT(trials, 80);
    EXPECT_TRUE(env.ui.Messages().empty());
}

// What fails in a container, or plays nowhere but here, is not offered for
// it; what works elsewhere still is.
TEST_F(CatalogTest, ContainerListsLeaveOutWhatFailsThere) {
    auto listed = [](CompressorKind kind, const char* muxer) {
        std::vector<CompressorDevice> devices;
        EXPECT_EQ(media::EnumerateCompressors(kind, QString::fromLatin1(muxer), devices),
                  media::S_OK);
        return devices;
    };
    const auto mkvVideo = listed(CompressorKind::Video, "matroskamux");
    const auto mkvAudio = listed(CompressorKind::Audio, "matroskamux");
    const auto mp4Audio = listed(CompressorKind::Audio, "mp4mux");
    EXPECT_EQ(PositionOf(mkvVideo, "avenc_png"), -1);
    EXPECT_EQ(PositionOf(mkvAudio, "avenc_alac"), -1);
    EXPECT_EQ(PositionOf(mkvAudio, "speexenc"), -1);
    EXPECT_EQ(PositionOf(mp4Audio, "opusenc"), -1);
    EXPECT_GE(PositionOf(mkvAudio, "opusenc"), 0);
    EXPECT_GE(PositionOf(listed(CompressorKind::Audio, "oggmux"), "speexenc"), 0);
    // MPEG-2 takes every rate the program writes.
    EXPECT_GE(PositionOf(mkvVideo, "mpeg2enc"), 0);
    // The two-argument listing is the Matroska one.
    const auto plain = Listed(CompressorKind::Video);
    ASSERT_EQ(plain.size(), mkvVideo.size());
    for (size_t i = 0; i < plain.size(); ++i)
        EXPECT_EQ(plain[i].factoryName, mkvVideo[i].factoryName);
    // The reasons are kept.
    const auto excluded = media::ExcludedCompressors(CompressorKind::Video, "matroskamux");
    const auto png = std::find_if(excluded.begin(), excluded.end(), [](const auto& e) {
        return e.factoryName == QLatin1String("avenc_png");
    });
    ASSERT_NE(png, excluded.end());
    EXPECT_FALSE(png->reason.isEmpty());
}

// The names say what a user needs to know, and no two read alike.
TEST_F(CatalogTest, NamesSayWhatTheCompressorWrites) {
    for (const char* muxer : {"matroskamux", "mp4mux", "avimux", "oggmux"}) {
        for (CompressorKind kind : {CompressorKind::Video, CompressorKind::Audio}) {
            std::vector<CompressorDevice> devices;
            ASSERT_EQ(media::EnumerateCompressors(kind, QString::fromLatin1(muxer), devices),
                      media::S_OK);
            for (const CompressorDevice& d : devices) {
                SCOPED_TRACE(d.factoryName.toStdString());
                EXPECT_FALSE(d.friendlyName.contains("FFmpeg", Qt::CaseInsensitive));
                EXPECT_FALSE(d.friendlyName.contains(" #"));
                EXPECT_FALSE(d.friendlyName.contains(QStringLiteral("(%1)").arg(d.factoryName)))
                    << "told apart only by its factory: " << d.friendlyName.toStdString();
                EXPECT_NE(d.friendlyName.trimmed(), QStringLiteral("Apple ProRes"));
            }
        }
    }
    const auto video = Listed(CompressorKind::Video);
    const int ffv1 = PositionOf(video, "avenc_ffv1");
    ASSERT_GE(ffv1, 0);
    EXPECT_EQ(video[static_cast<size_t>(ffv1)].friendlyName, QStringLiteral("FFV1 lossless"));
}

// The trials run once per installed plug-in set: a later run of the program
// reads their verdicts, so the dialog's lists come quickly.
TEST_F(CatalogTest, TrialVerdictsAreKeptForTheInstalledPlugins) {
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", env.TempPath("cache").toUtf8());
    media::ForgetCompressorVerdicts();
    const QString file = media::CompressorVerdictCacheFile();
    EXPECT_TRUE(file.startsWith(env.TempPath("cache")));
    EXPECT_FALSE(QFileInfo::exists(file));

    // The Options dialog fills both lists as it opens.
    auto open = [&](QStringList* video) {
        QElapsedTimer timer;
        timer.start();
        OutputOptionsDialog dialog(*env.context, OutputSettings{}, OutputOptionsSource{});
        const qint64 ms = timer.elapsed();
        auto* list = qobject_cast<QComboBox*>(
            dialog.Control(OutputOptionsDialog::IDC_COMBO_VIDEO_COMPRESSOR));
        if (list) {
            for (int i = 0; i < list->count(); ++i)
                *video << list->itemText(i);
        }
        return ms;
    };
    QStringList cold;
    const qint64 coldMs = open(&cold);
    EXPECT_TRUE(QFileInfo::exists(file));
    media::ForgetCompressorVerdicts(); // a new run of the program
    QStringList warm;
    const qint64 warmMs = open(&warm);
    std::printf("Options dialog opens in %lld ms with trials, %lld ms from kept verdicts\n",
                static_cast<long long>(coldMs), static_cast<long long>(warmMs));
    EXPECT_GT(cold.size(), 5);
    EXPECT_EQ(cold, warm);
    EXPECT_LT(warmMs, 1500);

    media::ForgetCompressorVerdicts();
    qputenv("XDG_CACHE_HOME", oldCache);
}

// A trial cut short by its time limit says so apart from a failure (the
// catalogue keeps no verdict from it), and leaves the compressor usable.
TEST_F(CatalogTest, ATrialOutOfTimeIsNoVerdict) {
    auto compressor = media::BindCompressor(QStringLiteral("x264enc"));
    ASSERT_TRUE(compressor);
    media::CompressorTrial trial;
    trial.frames = 100000;
    trial.path = env.TempPath("long.mkv");
    QString error;
    EXPECT_EQ(media::RunCompressorTrial(compressor, trial, &error, 1), media::VFW_E_TIMEOUT);
    EXPECT_FALSE(error.isEmpty());
    trial.frames = 5;
    EXPECT_EQ(media::RunCompressorTrial(compressor, trial, &error), media::S_OK)
        << error.toStdString();
}

// The repaired encoder keeps the time of every frame: its files are as long
// as what went in, in every container, also when one instance is used for
// one conversion after another.
TEST_F(CatalogTest, RepairedMpeg4EncoderKeepsFrameTimes) {
    auto compressor = media::BindCompressor(QStringLiteral("avenc_mpeg4"));
    ASSERT_TRUE(compressor);
    for (const QString& muxer : {QStringLiteral("matroskamux"), QStringLiteral("mp4mux"),
                                 QStringLiteral("avimux"), QStringLiteral("matroskamux")}) {
        SCOPED_TRACE(muxer.toStdString());
        media::CompressorTrial trial;
        trial.muxer = muxer;
        trial.frames = 50;
        trial.path = env.TempPath("mpeg4-" + muxer);
        QString error;
        ASSERT_EQ(media::RunCompressorTrial(compressor, trial, &error), media::S_OK)
            << error.toStdString();
        const test::MediaFacts facts = test::Discover(trial.path);
        ASSERT_TRUE(facts.ok);
        EXPECT_NEAR(facts.durationSeconds, 2.0, 0.041);
    }
}

TEST_F(CatalogTest, OrderIsStableRankThenName) {
    for (CompressorKind kind : {CompressorKind::Video, CompressorKind::Audio}) {
        const std::vector<CompressorDevice> first = Listed(kind);
        const std::vector<CompressorDevice> second = Listed(kind);
        ASSERT_EQ(first.size(), second.size());
        for (size_t i = 0; i < first.size(); ++i) {
            EXPECT_EQ(first[i].factoryName, second[i].factoryName);
            EXPECT_EQ(first[i].friendlyName, second[i].friendlyName);
        }
        for (size_t i = 1; i < first.size(); ++i) {
            const bool ordered = first[i - 1].rank > first[i].rank ||
                                 (first[i - 1].rank == first[i].rank &&
                                  first[i - 1].factoryName < first[i].factoryName);
            EXPECT_TRUE(ordered) << first[i - 1].factoryName.toStdString() << " before "
                                 << first[i].factoryName.toStdString();
        }
        // Names tell the entries apart.
        for (size_t i = 0; i < first.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                EXPECT_NE(first[i].friendlyName.toLower(), first[j].friendlyName.toLower());
    }
}

TEST_F(CatalogTest, BrokenEncodersAreLeftOutWithAReason) {
    const std::vector<CompressorDevice> video = Listed(CompressorKind::Video);
    for (const char* broken : {"avenc_mpeg2video", "avenc_mpeg1video", "avenc_h264_omx"})
        EXPECT_EQ(PositionOf(video, QString::fromLatin1(broken)), -1) << broken;
    const auto excluded = media::ExcludedCompressors(CompressorKind::Video);
    const auto it = std::find_if(excluded.begin(), excluded.end(), [](const auto& e) {
        return e.factoryName == QLatin1String("avenc_mpeg2video");
    });
    ASSERT_NE(it, excluded.end());
    EXPECT_FALSE(it->reason.isEmpty());
    // A left-out encoder cannot be bound either.
    EXPECT_FALSE(media::BindCompressor(QStringLiteral("avenc_mpeg2video")));
    EXPECT_FALSE(media::BindCompressor(QStringLiteral("no_such_encoder")));
}

TEST_F(CatalogTest, ListsStartWithTheFixedEntries) {
    CompressorCatalog catalog(env.ui);
    QComboBox video;
    video.addItem("left over");
    catalog.FillVideoCompressorList(&video);
    const std::vector<CompressorDevice> devices = Listed(CompressorKind::Video);
    // Matroska takes copied streams: the copy entry ends the list.
    ASSERT_EQ(video.count(), static_cast<int>(devices.size()) + 2);
    EXPECT_EQ(video.itemText(0), QStringLiteral("Full frames (uncompressed)"));
    for (size_t i = 0; i < devices.size(); ++i)
        EXPECT_EQ(video.itemText(static_cast<int>(i) + 1), devices[i].friendlyName);
    EXPECT_EQ(video.itemText(video.count() - 1), QStringLiteral("Copy (no re-encoding)"));
    EXPECT_EQ(video.currentIndex(), 0);

    QComboBox audio;
    catalog.FillAudioCompressorList(&audio);
    EXPECT_EQ(audio.itemText(0), QStringLiteral("Uncompressed Audio"));
    EXPECT_EQ(audio.count(), static_cast<int>(Listed(CompressorKind::Audio).size()) + 2);
    EXPECT_EQ(audio.currentIndex(), 0);
}

TEST_F(CatalogTest, EmptyCategoryShowsOnlyTheFirstEntry) {
    ListSource source;
    CompressorCatalog catalog(env.ui, source);
    QComboBox audio;
    catalog.FillAudioCompressorList(&audio);
    EXPECT_EQ(audio.count(), 2); // the first entry and the copy entry
    EXPECT_EQ(audio.currentIndex(), 0);
    int position = -1;
    EXPECT_FALSE(catalog.FindPreferredAudioCompressor(position));
    EXPECT_EQ(catalog.InitialSelection(CompressorKind::Audio, *env.settings), 0);
}

TEST_F(CatalogTest, EnumeratorFailuresAreReported) {
    ListSource source;
    source.video = {Device("x264enc", "x264")};
    CompressorCatalog catalog(env.ui, source);
    source.status = CompressorSource::Status::NoSystemEnumerator;
    QComboBox list;
    catalog.FillVideoCompressorList(&list);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.currentIndex(), -1);
    source.status = CompressorSource::Status::NoClassEnumerator;
    std::shared_ptr<media::Filter> place;
    catalog.GetCompressor(0, &place);
    EXPECT_FALSE(place);
    ASSERT_EQ(env.ui.Messages().size(), 2u);
    EXPECT_EQ(env.ui.Messages()[0].text, QStringLiteral("Failed to create system enumerator"));
    EXPECT_EQ(env.ui.Messages()[0].caption, QStringLiteral("orvelin"));
    EXPECT_EQ(env.ui.Messages()[1].text, QStringLiteral("Failed to create class enumerator"));
}

TEST_F(CatalogTest, BindsByPosition) {
    CompressorCatalog catalog(env.ui);
    const std::vector<CompressorDevice> video = Listed(CompressorKind::Video);
    const std::vector<CompressorDevice> audio = Listed(CompressorKind::Audio);
    std::shared_ptr<media::Filter> place = media::Filter::Create("identity");
    const int x264 = PositionOf(video, "x264enc");
    ASSERT_GE(x264, 0);
    catalog.GetCompressor(x264, &place);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->FactoryName(), QStringLiteral("x264enc"));
    catalog.GetAudioCompressor(static_cast<int>(audio.size()) - 1, &place);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->FactoryName(), audio.back().factoryName);

    // Outside the list: the place is emptied and nothing is said.
    catalog.GetCompressor(static_cast<int>(video.size()), &place);
    EXPECT_FALSE(place);
    place = media::Filter::Create("identity");
    catalog.GetAudioCompressor(-1, &place);
    EXPECT_FALSE(place);
    EXPECT_TRUE(env.ui.Messages().empty());

    catalog.GetCompressor(0, nullptr);
    catalog.GetAudioCompressor(0, nullptr);
    EXPECT_EQ(env.ui.MessageTexts(), QStringList({"GetCompressor received invalid pointer",
                                                  "GetAudioCompressor received invalid pointer"}));
}

TEST_F(CatalogTest, UnbindableEntrySaysFailedToBind) {
    ListSource source;
    source.video = {Device("x264enc", "x264"), Device("gone_encoder", "Gone Codec")};
    CompressorCatalog catalog(env.ui, source);
    std::shared_ptr<media::Filter> place;
    catalog.GetCompressor(1, &place);
    EXPECT_FALSE(place);
    ASSERT_EQ(env.ui.Messages().size(), 1u);
    EXPECT_EQ(env.ui.Messages()[0].text, QStringLiteral("Failed to bind to object"));
    EXPECT_EQ(env.ui.Messages()[0].caption, QStringLiteral("orvelin"));

    // At OK the flag is still set although nothing was bound.
    SelectedVideoCompressor() = media::Filter::Create("identity");
    int32_t use = 0;
    EXPECT_EQ(catalog.ChooseAtOk(CompressorKind::Video, 2, use), 1);
    EXPECT_EQ(use, 1);
    EXPECT_FALSE(SelectedVideoCompressor());
}

TEST_F(CatalogTest, PreferredDefaultsAreFoundByName) {
    ListSource source;
    source.video = {Device("a", "Plain"), Device("b", "My dIvX Pro 6.8"), Device("c", "divx too")};
    source.audio = {Device("d", "IMA ADPCM"), Device("e", "The MICROSOFT ADPCM codec")};
    CompressorCatalog catalog(env.ui, source);
    int position = -1;
    ASSERT_TRUE(catalog.FindPreferredVideoCompressor(position));
    EXPECT_EQ(position, 1);
    ASSERT_TRUE(catalog.FindPreferredAudioCompressor(position));
    EXPECT_EQ(position, 1);
    EXPECT_EQ(catalog.DefaultSelection(CompressorKind::Video), 2);

    source.video = {Device("a", "Plain")};
    EXPECT_FALSE(catalog.FindPreferredVideoCompressor(position));
    EXPECT_EQ(catalog.InitialSelection(CompressorKind::Video, *env.settings), 0);
}

// Here the MPEG-4 Part 2 encoder is the DivX-compatible default; no audio
// encoder is dressed up as Microsoft ADPCM, which Matroska cannot carry.
TEST_F(CatalogTest, RegistryDefaults) {
    CompressorCatalog catalog(env.ui);
    int position = -1;
    ASSERT_TRUE(catalog.FindPreferredVideoCompressor(position));
    const std::vector<CompressorDevice> video = Listed(CompressorKind::Video);
    EXPECT_EQ(video[static_cast<size_t>(position)].factoryName, QStringLiteral("avenc_mpeg4"));
    EXPECT_TRUE(video[static_cast<size_t>(position)].muxers.contains("matroskamux"));
    EXPECT_FALSE(catalog.FindPreferredAudioCompressor(position));
    EXPECT_EQ(catalog.InitialSelection(CompressorKind::Video, *env.settings),
              PositionOf(video, "avenc_mpeg4") + 1);
    EXPECT_EQ(catalog.InitialSelection(CompressorKind::Audio, *env.settings), 0);
}

TEST_F(CatalogTest, StoredPositionsSelectTheList) {
    CompressorCatalog catalog(env.ui);
    QComboBox list;
    catalog.FillVideoCompressorList(&list);

    env.settings->WriteInt("DexVideoCompress", "CompressorNumber", -1);
    catalog.SelectStoredChoice(CompressorKind::Video, &list, *env.settings);
    EXPECT_EQ(list.currentIndex(), 0); // the fixed entry, even with a DivX encoder present

    env.settings->WriteInt("DexVideoCompress", "CompressorNumber", 3);
    catalog.SelectStoredChoice(CompressorKind::Video, &list, *env.settings);
    EXPECT_EQ(list.currentIndex(), 4);

    env.settings->WriteInt("DexVideoCompress", "CompressorNumber", list.count() + 5);
    catalog.SelectStoredChoice(CompressorKind::Video, &list, *env.settings);
    EXPECT_EQ(list.currentIndex(), -1);

    // Section and key are found whatever their case.
    env.settings->WriteInt("dexaudiocompress", "compressornumber", 1);
    EXPECT_EQ(catalog.InitialSelection(CompressorKind::Audio, *env.settings), 2);
}

TEST_F(CatalogTest, OkRuleStoresPositionMinusOneAndBinds) {
    CompressorCatalog catalog(env.ui);
    const std::vector<CompressorDevice> audio = Listed(CompressorKind::Audio);
    const int vorbis = PositionOf(audio, "vorbisenc");
    ASSERT_GE(vorbis, 0);

    int32_t use = 0;
    EXPECT_EQ(catalog.ChooseAtOk(CompressorKind::Audio, vorbis + 1, use), vorbis);
    EXPECT_EQ(use, 1);
    ASSERT_TRUE(SelectedAudioCompressor());
    const std::shared_ptr<media::Filter> first = SelectedAudioCompressor();
    EXPECT_EQ(first->FactoryName(), QStringLiteral("vorbisenc"));

    // The fixed entry keeps the instance but turns the flag off.
    EXPECT_EQ(catalog.ChooseAtOk(CompressorKind::Audio, 0, use), -1);
    EXPECT_EQ(use, 0);
    EXPECT_EQ(SelectedAudioCompressor(), first);

    // Every OK that chooses a device makes a new instance.
    catalog.ChooseAtOk(CompressorKind::Audio, vorbis + 1, use);
    EXPECT_NE(SelectedAudioCompressor(), first);

    // No selection: -2 stored, the instance released, nothing bound, flag on.
    EXPECT_EQ(catalog.ChooseAtOk(CompressorKind::Audio, -1, use), -2);
    EXPECT_EQ(use, 1);
    EXPECT_FALSE(SelectedAudioCompressor());
    EXPECT_TRUE(env.ui.Messages().empty());
}

TEST_F(CatalogTest, ReleaseEmptiesBothSlots) {
    SelectedVideoCompressor() = media::BindCompressor("x264enc");
    SelectedAudioCompressor() = media::BindCompressor("vorbisenc");
    ASSERT_TRUE(SelectedVideoCompressor() && SelectedAudioCompressor());
    ReleaseSelectedCompressors();
    EXPECT_FALSE(SelectedVideoCompressor());
    EXPECT_FALSE(SelectedAudioCompressor());
}

TEST_F(CatalogTest, VfwTableDescribesTheVideoCompressors) {
    const auto table = media::ListVfwCompressors();
    const std::vector<CompressorDevice> video = Listed(CompressorKind::Video);
    ASSERT_FALSE(table.empty());
    EXPECT_LE(table.size(), 50u);
    EXPECT_LE(table.size(), video.size());
    for (const auto& entry : table) {
        EXPECT_EQ(entry.type, QStringLiteral("vidc"));
        const int at = PositionOf(video, entry.handler);
        ASSERT_GE(at, 0) << entry.handler.toStdString();
        // The Settings button finds the chosen compressor by this text.
        EXPECT_EQ(entry.description, video[static_cast<size_t>(at)].friendlyName);
    }
}
