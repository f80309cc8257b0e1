#include "app/SettingsStore.h"
#include "app/exe/ConverterApp.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"
#include "support/LanguageFixtures.h"
#include "support/TestEnv.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

using namespace orvelin;
using orvelin::test::TestEnv;

namespace {
MainDialog* ShownMainDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<MainDialog*>(w); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

// Clicks Exit on the main window as soon as it is shown.
void ExitWhenShown(std::function<void(MainDialog&)> before = {}) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, before] {
        if (MainDialog* dialog = ShownMainDialog()) {
            timer->stop();
            timer->deleteLater();
            if (before)
                before(*dialog);
            qobject_cast<QAbstractButton*>(dialog->Control(IDC_BUTTON_EXIT))->click();
        }
    });
    timer->start(10);
}
} // namespace

TEST(ApplicationStart, FirstRunStartsInEnglishAndSavesTheLanguageOnExit) {
    TestEnv env;
    bool sawDefaults = false;
    ConverterApp app(env.ui);
    app.SetLanguageBaseFolder(env.TempPath("no-packs"));
    ExitWhenShown([&](MainDialog& dialog) {
        sawDefaults = dialog.State().output.outputFormat == 2 &&
                      dialog.State().output.frameRateIndex == 1 &&
                      dialog.windowTitle() == "Orvelin";
    });
    EXPECT_EQ(app.Run(), 0);
    EXPECT_TRUE(sawDefaults);
    EXPECT_EQ(ShownMainDialog(), nullptr);
    EXPECT_EQ(env.ReopenStore()->GetString("Option", "CurrentLanguage", ""), "english");
    EXPECT_TRUE(env.ui.calls.empty());
}

TEST(ApplicationStart, AStoredLanguageWithoutPacksFallsBackToEnglish) {
    TestEnv env;
    env.settings->WriteString("Option", "CurrentLanguage", "German");
    ExitWhenShown();
    ConverterApp app(env.ui);
    app.SetLanguageBaseFolder(env.TempPath("no-packs"));
    EXPECT_EQ(app.Run(), 0);
    // No pack exists, so English was in force and is what the close writes.
    EXPECT_EQ(env.ReopenStore()->GetString("Option", "CurrentLanguage", ""), "english");
}

TEST(ApplicationStart, TheStoredLanguageIsLoadedAtStart) {
    TestEnv env;
    test::PackFolder folder;
    folder.Write("German", "[DIALOG]\nIDC_BUTTON_EXIT=Beenden\n");
    folder.Write("English", "");
    env.settings->WriteString("Option", "CurrentLanguage", "german");
    QString exitText;
    ExitWhenShown([&](MainDialog& dialog) { exitText = dialog.ControlText(IDC_BUTTON_EXIT); });
    ConverterApp app(env.ui);
    app.SetLanguageBaseFolder(folder.Base());
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(exitText, "Beenden");
    // The name as it was asked for.
    EXPECT_EQ(env.ReopenStore()->GetString("Option", "CurrentLanguage", ""), "german");
}
