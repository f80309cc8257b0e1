#pragma once

#include <QString>

namespace orvelin {

// The maker's addresses and lines shown by Homepage and the About box.
inline const QString kHomepageAddress = QStringLiteral("https://orvelin.zevrant.com/");
inline const QString kContactAddress = QStringLiteral("https://orvelin.zevrant.com/contact.htm");
inline const QString kMakerLine = QStringLiteral("Copyright (C) 2026 ZEVRANT Software");

// "Version " and the project version of this build ("Version 1.1.0").
QString VersionLine();

} // namespace orvelin
