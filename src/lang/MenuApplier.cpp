// Retitling a menu from the loaded pack.
#include "lang/LanguagePack.h"
#include "lang/PopupMenu.h"

#include <QAction>
#include <QMenu>

namespace orvelin {

bool LanguagePack::ApplyToMenu(QMenu* menu, int32_t resourceId, bool topLevel) const {
    if (packNames_.isEmpty() || !menu)
        return false;
    if (topLevel)
        popupCounter_ = resourceId * 65536;
    ApplyMenuLevel(menu, topLevel);
    return true;
}

void LanguagePack::ApplyMenuLevel(QMenu* menu, bool topLevel) const {
    const QList<QAction*> items = menu->actions();
    for (QAction* item : items) {
        if (item->isSeparator())
            continue;
        QMenu* submenu = item->menu();
        if (!topLevel) {
            QString text;
            if (submenu)
                text = GetMenuText(popupCounter_++);
            else
                text = GetMenuText(MenuCommandId(item));
            if (!text.isEmpty())
                item->setText(text);
        }
        if (submenu)
            ApplyMenuLevel(submenu, false);
    }
}

} // namespace orvelin
