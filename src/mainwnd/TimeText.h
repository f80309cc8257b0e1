#pragma once

#include <QString>
#include <cstdint>

namespace orvelin {

// "%02d:%02d:%02d" of a time in 100 ns units, cut to whole seconds toward
// zero; the hours are not limited to two digits.
QString TimeText(int64_t time100ns);
// "%02d:%02d:%02d / %02d:%02d:%02d" of a position and a length.
QString PositionText(int64_t current100ns, int64_t length100ns);

} // namespace orvelin
