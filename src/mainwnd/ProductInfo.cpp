#include "mainwnd/ProductInfo.h"

#ifndef ORVELIN_VERSION
#error "ORVELIN_VERSION comes from the project version in CMakeLists.txt"
#endif

namespace orvelin {

QString VersionLine() {
    return QStringLiteral("Version ") + QStringLiteral(ORVELIN_VERSION);
}

} // namespace orvelin
