// The main window's popup menu: language choice, font choice and About.
#include "app/AppContext.h"
#include "app/UiServices.h"
#include "lang/LanguagePack.h"
#include "lang/PopupMenu.h"
#include "mainwnd/ControlIds.h"
#include "mainwnd/MainDialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QMouseEvent>

namespace orvelin {

void MainDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        ShowPopupMenu(event->position().toPoint());
        event->accept();
        return;
    }
    QDialog::mouseReleaseEvent(event);
}

void MainDialog::ShowPopupMenu(const QPoint& position) {
    if (commandsBlocked_)
        return;
    std::unique_ptr<QMenu> resource = LoadMenuResource(IDR_POPUP_MENU);
    if (!resource) {
        app_.ui.MessageBox(nullptr, QStringLiteral("Can not find Language Menu!"),
                           QStringLiteral("error"));
        return;
    }
    const QList<QAction*> top = resource->actions();
    QMenu* popup = top.isEmpty() ? nullptr : top.first()->menu();
    if (!popup)
        return;
    FillLanguageMenu(resource.get(), popup);
    const QPoint global = mapToGlobal(position);
    QAction* chosen = popupRunner_ ? popupRunner_(popup, global) : popup->exec(global);
    const int command = MenuCommandId(chosen);
    // The menu is gone before the command runs.
    resource.reset();
    if (command != 0)
        OnPopupCommand(command);
}

bool MainDialog::FillLanguageMenu(QMenu* resource, QMenu* popup) {
    QMenu* language = nullptr;
    for (QAction* item : popup->actions()) {
        if (item->menu()) {
            language = item->menu();
            break;
        }
    }
    if (!language)
        return false;
    const QList<QAction*> placeholder = language->actions();
    if (!placeholder.isEmpty())
        language->removeAction(placeholder.first());
    LanguagePack& pack = LanguagePack::Instance();
    for (int i = 0; i < pack.PackCount(); ++i) {
        QAction* item = AppendMenuItem(language, IDM_LANGUAGE_FIRST + i, pack.PackName(i));
        item->setCheckable(true);
        item->setChecked(pack.PackName(i).compare(pack.CurrentName(), Qt::CaseInsensitive) == 0);
    }
    pack.ApplyToMenu(resource, IDR_POPUP_MENU, true);
    return true;
}

void MainDialog::OnPopupCommand(int commandId) {
    if (commandsBlocked_)
        return;
    OnSelectLanguage(commandId);
    switch (commandId) {
    case IDM_POPUPMENU_FONT:
        OnFont();
        break;
    case IDM_ABOUT:
        if (auto* b = qobject_cast<QAbstractButton*>(Control(IDC_BUTTON_ABOUT)))
            b->click();
        break;
    default:
        break;
    }
}

void MainDialog::OnSelectLanguage(int commandId) {
    if (commandsBlocked_)
        return;
    // Only the first thousand packs can be chosen; a command id past them
    // (whatever its low 16 bits) does nothing.
    if (commandId < IDM_LANGUAGE_FIRST || commandId > IDM_LANGUAGE_LAST)
        return;
    LanguagePack& pack = LanguagePack::Instance();
    const int index = commandId - IDM_LANGUAGE_FIRST;
    if (index >= pack.PackCount())
        return;
    QString name = pack.PackName(index);
    pack.Select(name);
    pack.ApplyToDialog(this, IDD_MAIN_DIALOG);
    app_.ui.MessageBox(this, pack.GetString(126), pack.GetString(108));
}

void MainDialog::OnFont() {
    if (commandsBlocked_)
        return;
    LanguagePack& pack = LanguagePack::Instance();
    const LogFont record = pack.FontRecord();
    const QFont initial = pack.Font() ? *pack.Font() : FontFromLogFont(record);
    const std::optional<QFont> chosen = app_.ui.ChooseFont(nullptr, initial);
    if (!chosen)
        return;
    pack.SetFont(LogFontFromFont(*chosen, record));
    pack.SaveFont();
    pack.ApplyToDialog(this, IDD_MAIN_DIALOG);
}

} // namespace orvelin
