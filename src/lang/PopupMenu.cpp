#include "lang/PopupMenu.h"

#include <QAction>
#include <QMenu>

namespace orvelin {

std::unique_ptr<QMenu> LoadMenuResource(int resourceId) {
    if (resourceId != IDR_POPUP_MENU)
        return nullptr;
    auto resource = std::make_unique<QMenu>();
    QMenu* popup = resource->addMenu(QStringLiteral("PopupMenu"));
    QMenu* language = popup->addMenu(QStringLiteral("Language"));
    language->addSeparator();
    AppendMenuItem(popup, IDM_POPUPMENU_FONT, QStringLiteral("Font"));
    AppendMenuItem(popup, IDM_ABOUT, QStringLiteral("About"));
    return resource;
}

int MenuCommandId(const QAction* item) {
    if (!item || item->isSeparator() || item->menu())
        return 0;
    return item->data().toInt();
}

QAction* AppendMenuItem(QMenu* menu, int commandId, const QString& text) {
    QAction* item = menu->addAction(text);
    item->setData(commandId);
    return item;
}

} // namespace orvelin
