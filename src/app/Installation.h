#pragma once

#include <QString>

namespace orvelin {

// The id the desktop knows the program by (reverse DNS): the desktop entry is
// `<id>.desktop`, the theme icon and the AppStream component carry the same
// name, and task-bar progress and notifications refer to it.
QString ApplicationId();

// The folder an installed program keeps its shared, architecture-independent
// files in (language packs, help pages), worked out from the folder of the
// executable: PREFIX/bin gives PREFIX/share/orvelin. The build tree keeps
// them beside the program instead; callers look there first.
QString InstalledDataFolder(const QString& programFolder);

} // namespace orvelin
