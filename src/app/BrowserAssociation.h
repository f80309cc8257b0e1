#pragma once

#include <QString>

namespace orvelin {

// The command line registered for web pages: the Exec line of the desktop
// entry that `xdg-mime query default text/html` names. Empty when there is no
// such entry or it has no Exec line.
QString DefaultBrowserExecLine();

// The Exec value of the [Desktop Entry] group of a desktop file, with the
// string escapes (\s, \n, \t, \r, \\) resolved; empty when there is none.
QString DesktopEntryExec(const QString& desktopFilePath);

// The desktop file for a desktop entry id ("firefox-esr.desktop"), looked up in
// the applications folders; a dash may stand for a sub-folder
// ("kde4-konqueror.desktop" is kde4/konqueror.desktop). Empty when not found.
QString LocateDesktopEntry(const QString& desktopId);

} // namespace orvelin
