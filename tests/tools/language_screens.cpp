// Saves pictures of the main window, its popup menu and the Output options
// dialog in every language pack found, for looking at the translations:
//   language_screens <output folder> [--dark]
// The settings come from XDG_CONFIG_HOME as for the program; the start
// language is its Option/CurrentLanguage. --dark draws with a dark palette
// (Fusion style), as under a dark desktop theme.
#include "app/AppContext.h"
#include "app/SettingsStore.h"
#include "controls/Theme.h"
#include "lang/LanguagePack.h"
#include "lang/PopupMenu.h"
#include "mainwnd/MainDialog.h"
#include "media/MediaPlatform.h"
#include "options/OutputOptionsDialog.h"
#include "support/ScriptedUi.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPixmap>
#include <QStyleFactory>
#include <QTextStream>

#include <clocale>

using namespace orvelin;

namespace {

void Save(QWidget* w, const QString& path) {
    w->grab().save(path);
    QTextStream(stdout) << "wrote " << path << "\n";
}

void SaveOptions(AppContext& context, MainDialog& main, const QString& path) {
    OutputOptionsSource source;
    OutputOptionsDialog options(context, main.State().output, source, &main);
    options.show();
    QApplication::processEvents();
    Save(&options, path);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("ZEVRANT");
    QApplication::setApplicationName("orvelin");
    std::setlocale(LC_NUMERIC, "C");
    media::InitializeMediaPlatform();
    QStringList args = QApplication::arguments().mid(1);
    if (args.removeAll(QStringLiteral("--dark")) > 0) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(DarkPalette());
    }
    const QString out = args.isEmpty() ? QDir::currentPath() : args.first();
    QDir().mkpath(out);

    SettingsStore settings;
    test::ScriptedUi ui;
    AppContext context{settings, ui, 0};
    LanguagePack& pack = LanguagePack::Instance();
    pack.Attach(&settings, &ui);
    QString language = settings.GetString("Option", "CurrentLanguage", "english");
    // The packs beside the build's program.
    pack.Init(LanguagePack::FindBaseFolder(QApplication::applicationDirPath() + "/.."), language);

    {
        MainDialog main(context);
        main.show();
        QApplication::processEvents();
        Save(&main, out + "/start_" + pack.CurrentName() + "_main.png");
        SaveOptions(context, main, out + "/start_" + pack.CurrentName() + "_options.png");

        for (int i = 0; i < pack.PackCount(); ++i) {
            const QString name = pack.PackName(i);
            main.SetPopupRunner([&](QMenu* popup, const QPoint&) -> QAction* {
                QAction* pick = nullptr;
                for (QAction* item : popup->actions()) {
                    if (QMenu* sub = item->menu()) {
                        for (QAction* entry : sub->actions()) {
                            if (MenuCommandId(entry) == IDM_LANGUAGE_FIRST + i)
                                pick = entry;
                        }
                    }
                }
                return pick;
            });
            main.ShowPopupMenu(QPoint(10, 10));
            QApplication::processEvents();
            // The menu as it shows in the new language.
            main.SetPopupRunner([&](QMenu* popup, const QPoint&) -> QAction* {
                popup->popup(QPoint(0, 0));
                QApplication::processEvents();
                Save(popup, out + "/" + name + "_menu.png");
                popup->hide();
                return nullptr;
            });
            main.ShowPopupMenu(QPoint(10, 10));
            Save(&main, out + "/" + name + "_main.png");
            SaveOptions(context, main, out + "/" + name + "_options.png");
            for (const auto& call : ui.Messages())
                QTextStream(stdout)
                    << name << " message: " << call.caption << " / " << call.text << "\n";
            ui.Clear();
        }
        main.RequestClose();
    }
    pack.Attach(nullptr, nullptr);
    return 0;
}
