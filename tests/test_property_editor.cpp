// The property editor's layout: the settings that decide an encoder's result
// first under plain names, the rest folded under "Advanced", readable
// tooltips and values, unset values shown as unset.
#include "media/Filter.h"
#include "options/PropertyEditorDialog.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace orvelin;

namespace {

// Every field of the dialog has a name, a tooltip without placeholders, and
// room for its whole value.
void ExpectReadableFields(PropertyEditorDialog& dialog, const QStringList& names) {
    for (const QString& name : names) {
        QWidget* editor = dialog.Editor(name);
        ASSERT_TRUE(editor) << name.toStdString();
        EXPECT_FALSE(editor->accessibleName().isEmpty()) << name.toStdString();
        EXPECT_FALSE(editor->toolTip().isEmpty()) << name.toStdString();
        EXPECT_FALSE(editor->toolTip().contains("(null)")) << name.toStdString();
        EXPECT_GE(editor->width(), editor->minimumSizeHint().width()) << name.toStdString();
    }
}

QStringList AllNames(const media::Filter& filter) {
    QStringList names;
    for (const media::FilterProperty& p : filter.Properties())
        names << p.name;
    return names;
}

} // namespace

TEST(PropertyEditor, KeySettingsFirstAdvancedFolded) {
    test::TestEnv env;
    struct Case {
        const char* factory;
        QStringList keys; // must lead, in this order
    };
    const Case cases[] = {
        {"x264enc", {"pass", "bitrate", "quantizer", "speed-preset", "tune", "key-int-max"}},
        {"avenc_mpeg4", {"pass", "bitrate", "quantizer", "gop-size"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.factory);
        auto filter = media::Filter::Create(c.factory);
        ASSERT_TRUE(filter);
        PropertyEditorDialog dialog(filter, c.factory, env.ui);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        // The key settings that this encoder has, in order, above the rest.
        const QStringList all = AllNames(*filter);
        QStringList expected;
        for (const QString& key : c.keys) {
            if (all.contains(key))
                expected << key;
        }
        EXPECT_TRUE(expected.contains("bitrate"));
        EXPECT_EQ(dialog.KeyProperties().mid(0, expected.size()), expected);
        EXPECT_TRUE(dialog.Editor("bitrate")->accessibleName().contains("Bit rate"));
        EXPECT_TRUE(dialog.Editor("bitrate")->accessibleName().contains("bit/s"));
        // Folded: only the key settings show; every other one is still there.
        EXPECT_FALSE(dialog.AdvancedToggle()->isChecked());
        EXPECT_FALSE(dialog.AdvancedPart()->isVisible());
        EXPECT_GT(all.size(), 40);
        for (const QString& name : all)
            ASSERT_TRUE(dialog.Editor(name)) << name.toStdString();
        ExpectReadableFields(dialog, expected);

        dialog.AdvancedToggle()->click();
        QApplication::processEvents();
        EXPECT_TRUE(dialog.AdvancedPart()->isVisible());
        ExpectReadableFields(dialog, all);
        // Wide enough: no sideways scrolling, no field cut at the right.
        auto* scroll = dialog.findChild<QScrollArea*>();
        ASSERT_TRUE(scroll);
        EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
        EXPECT_LE(scroll->widget()->minimumSizeHint().width(), scroll->viewport()->width());
        dialog.reject();
    }
}

TEST(PropertyEditor, UnsetValuesReadAsUnset) {
    test::TestEnv env;
    // The multiplexer's start time is "none" (2^64 - 1) until set.
    auto mux = media::Filter::Create("mp4mux");
    ASSERT_TRUE(mux);
    ASSERT_EQ(mux->GetProperty("start-time"), "18446744073709551615");
    {
        PropertyEditorDialog dialog(mux, "mp4mux", env.ui);
        // Nothing to fold away from: the whole list shows.
        EXPECT_TRUE(dialog.KeyProperties().isEmpty());
        EXPECT_FALSE(dialog.AdvancedPart()->isHidden());
        auto* start = qobject_cast<QLineEdit*>(dialog.Editor("start-time"));
        ASSERT_TRUE(start);
        EXPECT_EQ(start->text(), QString());
        EXPECT_EQ(start->placeholderText(), "not set");
        EXPECT_TRUE(start->toolTip().contains("Default: not set"));
        start->setText("5000");
        dialog.Buttons()->button(QDialogButtonBox::Ok)->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(mux->GetProperty("start-time"), "5000");
    {
        // Emptying the field makes it unset again.
        PropertyEditorDialog dialog(mux, "mp4mux", env.ui);
        auto* start = qobject_cast<QLineEdit*>(dialog.Editor("start-time"));
        EXPECT_EQ(start->text(), "5000");
        start->clear();
        dialog.Buttons()->button(QDialogButtonBox::Ok)->click();
    }
    EXPECT_EQ(mux->GetProperty("start-time"), "18446744073709551615");
    EXPECT_TRUE(env.ui.Messages().empty());
}
