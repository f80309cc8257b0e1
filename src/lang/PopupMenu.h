#pragma once

#include <QString>
#include <memory>

class QAction;
class QMenu;

namespace orvelin {

// The popup menu resource of the main window and its command ids.
enum PopupMenuId : int {
    IDR_POPUP_MENU = 160,
    IDM_ABOUT = 32778,
    IDM_POPUPMENU_FONT = 32780,
    IDM_LANGUAGE_FIRST = 45400,
    IDM_LANGUAGE_LAST = 46399,
};

// Builds a menu resource: for 160 a top-level menu whose one submenu
// "PopupMenu" holds the submenu "Language" (a separator as placeholder),
// "Font" and "About". Null for an unknown resource.
std::unique_ptr<QMenu> LoadMenuResource(int resourceId);

// The command id of a menu item (0 for separators and submenus).
int MenuCommandId(const QAction* item);
// Adds a plain command item.
QAction* AppendMenuItem(QMenu* menu, int commandId, const QString& text);

} // namespace orvelin
