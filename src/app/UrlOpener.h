#pragma once

#include <QUrl>
#include <functional>

namespace orvelin {

// How long the desktop's opener may run before it counts as having opened
// the address: an opener that starts the browser itself (xdg-open without a
// desktop environment) ends only when the browser does.
constexpr int kOpenerPatienceMs = 5000;

// Opens `url` with the desktop's opener (`xdg-open`) without waiting for it,
// and tells `done`, from the event loop, whether it opened: yes when the
// opener ends with status 0 or is still running after `patienceMs`; no when
// it cannot be started, crashes or ends with any other status (3: no
// application for the address, 4: the application failed). `done` may be
// empty.
void OpenWithDesktopOpener(const QUrl& url, std::function<void(bool opened)> done,
                           int patienceMs = kOpenerPatienceMs);

} // namespace orvelin
