// Filter settings: the property model of a filter, its saved state, the
// property editor, the filter properties dialog and the codec Settings
// button's matching and remembered state.
#include "media/EncoderRegistry.h"
#include "media/Filter.h"
#include "media/encoders/CompressorTrial.h"
#include "options/CodecSettings.h"
#include "options/CompressorCatalog.h"
#include "options/FilterPropertiesDialog.h"
#include "options/PropertyEditorDialog.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

#include "support/ModalWatch.h"

using namespace orvelin;
using media::FilterProperty;
using orvelin::test::WhenModal;

namespace {

const FilterProperty* Find(const std::vector<FilterProperty>& list, const QString& name) {
    for (const FilterProperty& p : list) {
        if (p.name == name)
            return &p;
    }
    return nullptr;
}

void Press(QDialogButtonBox* box, QDialogButtonBox::StandardButton which) {
    box->button(which)->click();
}

// A filter without settings.
class BareFilter : public media::Filter {
public:
    explicit BareFilter(QString name) : name_(std::move(name)) {}
    QString FactoryName() const override { return "bare"; }
    QString LongName() const override { return "Bare filter"; }
    QString Name() const override { return name_; }
    media::HRESULT SetName(const QString& name) override {
        name_ = name;
        return media::S_OK;
    }
    std::vector<FilterProperty> Properties() const override { return {}; }
    media::HRESULT SetProperty(const QString&, const QString&) override {
        return media::E_INVALIDARG;
    }
    QString GetProperty(const QString&) const override { return {}; }
    QString SerializeState() const override { return {}; }
    media::HRESULT RestoreState(const QString&) override { return media::S_OK; }
    void* NativeElement() const override { return nullptr; }

private:
    QString name_;
};

media::VfwCompressorInfo Vfw(const QString& handler, const QString& description) {
    return {QStringLiteral("vidc"), handler, handler, description};
}

class CodecSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        CodecStateBlocks::Instance().Clear();
        ReleaseSelectedCompressors();
    }
    void TearDown() override {
        CodecStateBlocks::Instance().Clear();
        ReleaseSelectedCompressors();
    }
    test::TestEnv env;
};

} // namespace

TEST_F(CodecSettingsTest, FilterListsWritablePropertiesWithTypesAndRanges) {
    EXPECT_FALSE(media::Filter::Create("no_such_factory"));
    auto x264 = media::Filter::Create("x264enc", "enc");
    ASSERT_TRUE(x264);
    EXPECT_EQ(x264->FactoryName(), QStringLiteral("x264enc"));
    EXPECT_EQ(x264->LongName(), QStringLiteral("x264 H.264 Encoder"));
    EXPECT_EQ(x264->Name(), QStringLiteral("enc"));
    const auto props = x264->Properties();
    EXPECT_FALSE(Find(props, "name"));
    EXPECT_FALSE(Find(props, "parent"));

    const FilterProperty* bitrate = Find(props, "bitrate");
    ASSERT_TRUE(bitrate);
    EXPECT_EQ(bitrate->kind, FilterProperty::Kind::UnsignedInteger);
    EXPECT_EQ(bitrate->minimum, 1);
    EXPECT_EQ(bitrate->maximum, 2048000);
    EXPECT_EQ(bitrate->value, QStringLiteral("2048"));
    EXPECT_EQ(bitrate->defaultValue, QStringLiteral("2048"));

    const FilterProperty* preset = Find(props, "speed-preset");
    ASSERT_TRUE(preset);
    EXPECT_EQ(preset->kind, FilterProperty::Kind::Enum);
    EXPECT_TRUE(preset->enumNicks.contains("ultrafast"));
    EXPECT_EQ(preset->enumNicks.size(), preset->enumNames.size());
    EXPECT_EQ(preset->value, QStringLiteral("medium"));

    const FilterProperty* analyse = Find(props, "analyse");
    ASSERT_TRUE(analyse);
    EXPECT_EQ(analyse->kind, FilterProperty::Kind::Flags);
    EXPECT_EQ(Find(props, "byte-stream")->kind, FilterProperty::Kind::Boolean);
    EXPECT_EQ(Find(props, "ip-factor")->kind, FilterProperty::Kind::Double);
    EXPECT_EQ(Find(props, "option-string")->kind, FilterProperty::Kind::String);
}

TEST_F(CodecSettingsTest, SetPropertyReadsTextAndRefusesBadValues) {
    auto x264 = media::Filter::Create("x264enc");
    ASSERT_TRUE(x264);
    EXPECT_EQ(x264->SetProperty("bitrate", "800"), media::S_OK);
    EXPECT_EQ(x264->GetProperty("bitrate"), QStringLiteral("800"));
    EXPECT_EQ(x264->SetProperty("bitrate", "0"), media::E_INVALIDARG);
    EXPECT_EQ(x264->SetProperty("bitrate", "3000000"), media::E_INVALIDARG);
    EXPECT_EQ(x264->SetProperty("bitrate", "12abc"), media::E_INVALIDARG);
    EXPECT_EQ(x264->SetProperty("bitrate", "-5"), media::E_INVALIDARG);
    EXPECT_EQ(x264->GetProperty("bitrate"), QStringLiteral("800"));

    EXPECT_EQ(x264->SetProperty("speed-preset", "ultrafast"), media::S_OK);
    EXPECT_EQ(x264->GetProperty("speed-preset"), QStringLiteral("ultrafast"));
    EXPECT_EQ(x264->SetProperty("speed-preset", "warp-speed"), media::E_INVALIDARG);
    EXPECT_EQ(x264->SetProperty("analyse", "i4x4+p8x8"), media::S_OK);
    EXPECT_EQ(x264->GetProperty("analyse"), QStringLiteral("i4x4+p8x8"));
    EXPECT_EQ(x264->SetProperty("analyse", "i4x4+nonsense"), media::E_INVALIDARG);
    EXPECT_EQ(x264->SetProperty("byte-stream", "true"), media::S_OK);
    EXPECT_EQ(x264->GetProperty("byte-stream"), QStringLiteral("true"));
    EXPECT_EQ(x264->SetProperty("ip-factor", "1.25"), media::S_OK);
    EXPECT_EQ(x264->GetProperty("ip-factor"), QStringLiteral("1.25"));
    EXPECT_EQ(x264->SetProperty("ip-factor", "nan"), media::E_INVALIDARG);
    EXPECT_EQ(x264->SetProperty("no-such-setting", "1"), media::E_INVALIDARG);
    EXPECT_EQ(x264->SetProperty("name", "renamed"), media::E_INVALIDARG);
}

TEST_F(CodecSettingsTest, StateRoundTripsThroughText) {
    auto first = media::Filter::Create("x264enc");
    ASSERT_TRUE(first);
    ASSERT_EQ(first->SetProperty("bitrate", "777"), media::S_OK);
    ASSERT_EQ(first->SetProperty("speed-preset", "veryfast"), media::S_OK);
    ASSERT_EQ(first->SetProperty("option-string", "a=1\\b\nc:d\r"), media::S_OK);
    ASSERT_EQ(first->SetProperty("analyse", "i8x8+b8x8"), media::S_OK);
    ASSERT_EQ(first->SetProperty("ip-factor", "1.3"), media::S_OK);
    const QString state = first->SerializeState();
    EXPECT_TRUE(state.contains("bitrate=777\n"));
    EXPECT_TRUE(state.contains("option-string=a=1\\\\b\\nc:d\\r\n"));

    auto second = media::Filter::Create("x264enc");
    EXPECT_EQ(second->RestoreState(state), media::S_OK);
    EXPECT_EQ(second->SerializeState(), state);
    EXPECT_EQ(second->GetProperty("option-string"), QStringLiteral("a=1\\b\nc:d\r"));

    // Unknown or broken lines are passed over; the rest still applies.
    auto third = media::Filter::Create("x264enc");
    EXPECT_EQ(third->RestoreState("junk line\nnot-a-setting=3\nbitrate=99\nbitrate=abc\n"),
              media::S_FALSE);
    EXPECT_EQ(third->GetProperty("bitrate"), QStringLiteral("99"));
}

TEST_F(CodecSettingsTest, RepairedEncoderHidesItsFixedSetting) {
    auto mpeg4 = media::BindCompressor("avenc_mpeg4");
    ASSERT_TRUE(mpeg4);
    EXPECT_EQ(mpeg4->FactoryName(), QStringLiteral("avenc_mpeg4"));
    EXPECT_TRUE(mpeg4->LongName().contains("DivX"));
    const auto props = mpeg4->Properties();
    EXPECT_TRUE(Find(props, "bitrate"));
    EXPECT_FALSE(Find(props, "max-bframes"));
    EXPECT_EQ(mpeg4->SetProperty("max-bframes", "2"), media::E_INVALIDARG);
    EXPECT_EQ(mpeg4->GetProperty("max-bframes"), QStringLiteral("0"));
    EXPECT_FALSE(mpeg4->SerializeState().contains("max-bframes"));
}

TEST_F(CodecSettingsTest, EditorOkAppliesTheChangedValue) {
    auto x264 = media::Filter::Create("x264enc");
    PropertyEditorDialog dialog(x264, "x264", env.ui);
    dialog.show();
    auto* bitrate = qobject_cast<QSpinBox*>(dialog.Editor("bitrate"));
    ASSERT_TRUE(bitrate);
    EXPECT_EQ(bitrate->value(), 2048);
    EXPECT_EQ(bitrate->minimum(), 1);
    EXPECT_EQ(bitrate->maximum(), 2048000);
    EXPECT_TRUE(qobject_cast<QComboBox*>(dialog.Editor("speed-preset")));
    EXPECT_TRUE(qobject_cast<QCheckBox*>(dialog.Editor("byte-stream")));
    EXPECT_TRUE(qobject_cast<QLineEdit*>(dialog.Editor("option-string")));
    auto* analyse = dialog.Editor("analyse");
    ASSERT_TRUE(analyse);
    auto* i4x4 = analyse->findChild<QCheckBox*>("analyse/i4x4");
    ASSERT_TRUE(i4x4);

    bitrate->setValue(640);
    auto* preset = qobject_cast<QComboBox*>(dialog.Editor("speed-preset"));
    preset->setCurrentIndex(preset->findData("superfast"));
    i4x4->setChecked(!i4x4->isChecked());
    const QString before = x264->SerializeState();
    Press(dialog.Buttons(), QDialogButtonBox::Ok);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(x264->GetProperty("bitrate"), QStringLiteral("640"));
    EXPECT_EQ(x264->GetProperty("speed-preset"), QStringLiteral("superfast"));
    EXPECT_NE(x264->GetProperty("analyse"), QString());
    // Nothing else moved.
    QStringList changed;
    const QStringList a = before.split('\n'), b = x264->SerializeState().split('\n');
    ASSERT_EQ(a.size(), b.size());
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            changed << b[i].section('=', 0, 0);
    }
    changed.sort();
    EXPECT_EQ(changed.join(',').toStdString(), "analyse,bitrate,speed-preset");
    EXPECT_TRUE(env.ui.Messages().empty());
}

TEST_F(CodecSettingsTest, EditorCancelLeavesTheFilter) {
    auto x264 = media::Filter::Create("x264enc");
    const QString before = x264->SerializeState();
    PropertyEditorDialog dialog(x264, "x264", env.ui);
    qobject_cast<QSpinBox*>(dialog.Editor("bitrate"))->setValue(100);
    Press(dialog.Buttons(), QDialogButtonBox::Cancel);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(x264->SerializeState(), before);
}

TEST_F(CodecSettingsTest, EditorRefusedValueKeepsTheDialogAndCancelUndoes) {
    // A 64-bit range gets a text box whose text is checked when it is set.
    auto sink = media::Filter::Create("fakesink");
    ASSERT_TRUE(sink);
    const QString before = sink->SerializeState();
    PropertyEditorDialog dialog(sink, "sink", env.ui);
    dialog.show();
    auto* maxLateness = qobject_cast<QLineEdit*>(dialog.Editor("max-lateness"));
    ASSERT_TRUE(maxLateness);
    maxLateness->setText("not a number");
    auto* sync = qobject_cast<QCheckBox*>(dialog.Editor("sync"));
    ASSERT_TRUE(sync);
    sync->setChecked(!sync->isChecked());
    Press(dialog.Buttons(), QDialogButtonBox::Ok);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(env.ui.Messages().size(), 1u);
    EXPECT_TRUE(env.ui.Messages()[0].text.contains("max-lateness"));
    Press(dialog.Buttons(), QDialogButtonBox::Cancel);
    EXPECT_EQ(sink->SerializeState(), before);
}

TEST(ExtractVersionNumber, FindsTheFirstRunOfDigitsAndStops) {
    EXPECT_EQ(ExtractVersionNumber("DivX 6.8.5 Codec (2 Logical CPUs)"), QString("6.8.5"));
    EXPECT_EQ(ExtractVersionNumber("DivX Pro 5.1.1 Codec"), QString("5.1.1"));
    EXPECT_EQ(ExtractVersionNumber("v1.2b3"), QString("1.2"));
    EXPECT_EQ(ExtractVersionNumber(".5x"), QString(".5"));
    EXPECT_EQ(ExtractVersionNumber("MPEG-4 Part 2"), QString("4"));
    EXPECT_EQ(ExtractVersionNumber("7"), QString("7"));
    EXPECT_FALSE(ExtractVersionNumber("DivX Codec"));
    EXPECT_FALSE(ExtractVersionNumber(""));
}

TEST(MatchVfwCompressor, ExactNameThenTheDivxVersionRule) {
    const std::vector<media::VfwCompressorInfo> table = {
        Vfw("xvid", "Xvid MPEG-4 Codec"),       Vfw("dx50", "DivX Pro 5.1.1 Codec"),
        Vfw("div6", "DivX 6.8.5 Codec"),        Vfw("div7", "DivX 6.8.5 Codec (old)"),
        Vfw("cvid", "Cinepak Codec by Radius"), Vfw("cvi2", "CINEPAK CODEC BY RADIUS")};
    // Exact, ignoring case; the last exact match wins.
    EXPECT_EQ(MatchVfwCompressor(table, "cinepak codec by radius"), 5);
    EXPECT_EQ(MatchVfwCompressor(table, "Xvid MPEG-4 Codec"), 0);
    // "divx" on both sides with the same version: the first such entry.
    EXPECT_EQ(MatchVfwCompressor(table, "DivX 6.8.5 Decoder Filter"), 2);
    EXPECT_EQ(MatchVfwCompressor(table, "divx pro 5.1.1 something"), 1);
    // Different versions and no exact name: nothing.
    EXPECT_EQ(MatchVfwCompressor(table, "DivX 7.0 Codec"), -1);
    // Without "divx" in the selected name the version rule does not apply.
    EXPECT_EQ(MatchVfwCompressor(table, "Codec 6.8.5"), -1);
    // An exact match later in the table overrides a version match.
    EXPECT_EQ(MatchVfwCompressor(table, "DivX 6.8.5 Codec (old)"), 3);
    EXPECT_EQ(MatchVfwCompressor(table, "Full frames (uncompressed)"), -1);
    EXPECT_EQ(MatchVfwCompressor({}, "x"), -1);
}

TEST_F(CodecSettingsTest, FullFramesFindsNothingAndOpensNothing) {
    QComboBox hidden;
    bool opened = false;
    // An editor would be modal inside the call, where the watcher sees it.
    auto watcher = WhenModal<QDialog>([](QDialog* d) { d->reject(); }, &opened);
    RunVideoCodecSettings(nullptr, "Full frames (uncompressed)", &hidden, env.ui);
    EXPECT_FALSE(opened);
    EXPECT_EQ(hidden.count(), static_cast<int>(media::ListVfwCompressors().size()));
    EXPECT_GT(hidden.count(), 0);
}

// Settings twice: the second editor opens with what the first left; the
// remembered state reaches the instance the next OK binds, and the file it
// encodes.
TEST_F(CodecSettingsTest, RememberedStateReachesTheNextBoundCompressor) {
    std::vector<media::CompressorDevice> video;
    ASSERT_EQ(media::EnumerateCompressors(media::CompressorKind::Video, video), media::S_OK);
    int x264 = -1;
    for (size_t i = 0; i < video.size(); ++i) {
        if (video[i].factoryName == QLatin1String("x264enc"))
            x264 = static_cast<int>(i);
    }
    ASSERT_GE(x264, 0);
    const QString name = video[static_cast<size_t>(x264)].friendlyName;
    QComboBox hidden;

    bool ran = false;
    QString caption;
    auto watcher = WhenModal<PropertyEditorDialog>(
        [&](PropertyEditorDialog* editor) {
            caption = editor->windowTitle();
            qobject_cast<QSpinBox*>(editor->Editor("bitrate"))->setValue(48);
            Press(editor->Buttons(), QDialogButtonBox::Ok);
        },
        &ran);
    RunVideoCodecSettings(nullptr, name, &hidden, env.ui);
    ASSERT_TRUE(ran);
    EXPECT_EQ(caption, name);
    EXPECT_EQ(hidden.currentText(), name);
    ASSERT_TRUE(CodecStateBlocks::Instance().Has("x264enc"));

    int shown = 0;
    watcher = WhenModal<PropertyEditorDialog>(
        [&](PropertyEditorDialog* editor) {
            shown = qobject_cast<QSpinBox*>(editor->Editor("bitrate"))->value();
            Press(editor->Buttons(), QDialogButtonBox::Cancel);
        },
        &ran);
    RunVideoCodecSettings(nullptr, name.toUpper(), &hidden, env.ui);
    ASSERT_TRUE(ran);
    EXPECT_EQ(shown, 48);
    // Cancel keeps what was remembered.
    EXPECT_TRUE(CodecStateBlocks::Instance().State("x264enc").contains("bitrate=48\n"));

    // OK of the Output options dialog binds a new instance with that state.
    CompressorCatalog catalog(env.ui);
    int32_t use = 0;
    catalog.ChooseAtOk(media::CompressorKind::Video, x264 + 1, use);
    ASSERT_TRUE(SelectedVideoCompressor());
    EXPECT_EQ(SelectedVideoCompressor()->GetProperty("bitrate"), QStringLiteral("48"));

    // ... and it encodes with it: far fewer bytes than at the default rate.
    media::CompressorTrial trial;
    trial.frames = 25;
    trial.noisy = true;
    trial.path = env.TempPath("low.mkv");
    ASSERT_EQ(media::RunCompressorTrial(SelectedVideoCompressor(), trial), media::S_OK);
    auto plain = media::BindCompressor("x264enc");
    trial.path = env.TempPath("default.mkv");
    ASSERT_EQ(media::RunCompressorTrial(plain, trial), media::S_OK);
    const qint64 low = QFileInfo(env.TempPath("low.mkv")).size();
    const qint64 normal = QFileInfo(env.TempPath("default.mkv")).size();
    EXPECT_GT(low, 0);
    EXPECT_LT(low * 4, normal) << low << " vs " << normal;

    // Other encoders are not touched by it.
    std::shared_ptr<media::Filter> other;
    for (size_t i = 0; i < video.size(); ++i) {
        if (video[i].factoryName == QLatin1String("vp8enc"))
            catalog.GetCompressor(static_cast<int>(i), &other);
    }
    ASSERT_TRUE(other);
    EXPECT_EQ(other->SerializeState(), media::BindCompressor("vp8enc")->SerializeState());
}

TEST_F(CodecSettingsTest, ConfigureWithoutSuchEncoderDoesNothing) {
    bool opened = false;
    auto watcher = WhenModal<QDialog>([](QDialog* d) { d->reject(); }, &opened);
    RunVideoCodecSettings(nullptr, "Ghost", nullptr, env.ui,
                          [] { return std::vector{Vfw("ghostenc", "Ghost")}; });
    EXPECT_FALSE(opened);
    EXPECT_FALSE(CodecStateBlocks::Instance().Has("ghostenc"));
}

TEST_F(CodecSettingsTest, FilterPropertiesDialogListsAndOpensSettings) {
    auto compressor = media::BindCompressor("x264enc");
    ASSERT_EQ(compressor->SetName("VideoCompressor"), media::S_OK);
    auto writer = media::Filter::Create("filesink", "File writer");
    auto bare = std::make_shared<BareFilter>("Bare");
    FilterPropertiesDialog dialog(
        std::vector<std::shared_ptr<media::Filter>>{compressor, writer, bare, nullptr,
                                                    media::Filter::Create("identity", "After")},
        env.ui);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Set Filter's Properties"));
    QListWidget* list = dialog.FilterList();
    ASSERT_EQ(list->count(), 5);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("VideoCompressor"));
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("File writer"));
    EXPECT_EQ(list->item(3)->text(), QStringLiteral("<ERROR>"));
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_TRUE(dialog.SettingsButton()->isEnabled());
    EXPECT_EQ(dialog.SettingsButton()->text(), QStringLiteral("&Settings"));
    EXPECT_EQ(dialog.ContinueButton()->text(), QStringLiteral("&Continue"));
    EXPECT_EQ(list->property("controlId").toInt(), 1095);
    EXPECT_EQ(dialog.SettingsButton()->property("controlId").toInt(), 1096);
    EXPECT_EQ(dialog.ContinueButton()->property("controlId").toInt(), 2);

    list->setCurrentRow(2); // no settings
    EXPECT_FALSE(dialog.SettingsButton()->isEnabled());
    list->setCurrentRow(1);
    EXPECT_TRUE(dialog.SettingsButton()->isEnabled());
    list->setCurrentRow(3); // "<ERROR>": nothing found, the button stays
    EXPECT_TRUE(dialog.SettingsButton()->isEnabled());
    list->setCurrentRow(4); // behind an unreadable filter: not found either
    EXPECT_TRUE(dialog.SettingsButton()->isEnabled());
    EXPECT_FALSE(dialog.FindFilterByName("After"));
    EXPECT_EQ(dialog.FindFilterByName("File writer"), writer);
    EXPECT_FALSE(dialog.FindFilterByName("file writer"));

    list->setCurrentRow(0);
    dialog.show();
    bool ran = false;
    QString caption;
    auto watcher = WhenModal<PropertyEditorDialog>(
        [&](PropertyEditorDialog* editor) {
            caption = editor->windowTitle();
            qobject_cast<QSpinBox*>(editor->Editor("bitrate"))->setValue(1500);
            Press(editor->Buttons(), QDialogButtonBox::Ok);
        },
        &ran);
    dialog.SettingsButton()->click();
    ASSERT_TRUE(ran);
    EXPECT_EQ(caption, QStringLiteral("VideoCompressor"));
    EXPECT_EQ(compressor->GetProperty("bitrate"), QStringLiteral("1500"));

    dialog.ContinueButton()->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(CodecSettingsTest, FilterPropertiesDialogWhenFiltersCannotBeListed) {
    FilterPropertiesDialog dialog(std::nullopt, env.ui);
    ASSERT_EQ(dialog.FilterList()->count(), 1);
    EXPECT_EQ(dialog.FilterList()->item(0)->text(), QStringLiteral("<ERROR>"));
    EXPECT_FALSE(dialog.SettingsButton()->isEnabled());
    EXPECT_FALSE(dialog.FindFilterByName("<ERROR>"));
}

// Every listed compressor's settings open in the editor, and OK without a
// change leaves every value exactly as it was.
TEST_F(CodecSettingsTest, EveryCompressorOpensInTheEditorUnchanged) {
    for (auto kind : {media::CompressorKind::Video, media::CompressorKind::Audio}) {
        std::vector<media::CompressorDevice> devices;
        ASSERT_EQ(media::EnumerateCompressors(kind, devices), media::S_OK);
        for (const media::CompressorDevice& device : devices) {
            SCOPED_TRACE(device.factoryName.toStdString());
            auto compressor = media::BindCompressor(device.factoryName);
            ASSERT_TRUE(compressor);
            const QString before = compressor->SerializeState();
            PropertyEditorDialog editor(compressor, device.friendlyName, env.ui);
            for (const FilterProperty& p : compressor->Properties())
                EXPECT_TRUE(editor.Editor(p.name)) << p.name.toStdString();
            Press(editor.Buttons(), QDialogButtonBox::Ok);
            EXPECT_EQ(editor.result(), QDialog::Accepted);
            EXPECT_EQ(compressor->SerializeState(), before);
        }
    }
    EXPECT_TRUE(env.ui.Messages().empty());
}
