#include "app/Installation.h"

#include <QDir>

// Both come from the build's install layout (cmake/Install.cmake).
#ifndef ORVELIN_APP_ID
#error "ORVELIN_APP_ID is not defined"
#endif
#ifndef ORVELIN_DATA_FROM_BIN
#error "ORVELIN_DATA_FROM_BIN is not defined"
#endif

namespace orvelin {

QString ApplicationId() {
    return QStringLiteral(ORVELIN_APP_ID);
}

QString InstalledDataFolder(const QString& programFolder) {
    // The data folder relative to the executable's folder, so that a tree
    // installed under any prefix (or moved as a whole) still finds it.
    const QString data = QString::fromUtf8(ORVELIN_DATA_FROM_BIN);
    if (QDir::isAbsolutePath(data))
        return QDir::cleanPath(data);
    return QDir::cleanPath(programFolder + QLatin1Char('/') + data);
}

} // namespace orvelin
