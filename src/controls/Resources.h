#pragma once

#include <QByteArray>
#include <QCursor>
#include <QIcon>
#include <QPixmap>

#include <optional>

namespace orvelin {

// The program's own art and sound, addressed by the resource numbers the
// windows use (icons 128, 140, 145 to 159; bitmap 139; cursor 141; wave 144).
QIcon LoadIconResource(int id);
// The icon's natural size in pixels (square); 0 when the id is unknown.
int IconResourceSize(int id);
QPixmap LoadBitmapResource(int id);
// Null cursor when the id is unknown.
std::optional<QCursor> LoadCursorResource(int id);
QByteArray LoadWaveResource(int id);

} // namespace orvelin
