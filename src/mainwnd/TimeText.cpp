#include "mainwnd/TimeText.h"

namespace orvelin {

QString TimeText(int64_t time100ns) {
    const int64_t s = time100ns / 10'000'000;
    const int64_t hours = s / 3600;
    const int64_t minutes = (s % 3600) / 60;
    const int64_t seconds = s - (hours * 60 + minutes) * 60;
    return QString::asprintf("%02lld:%02lld:%02lld", static_cast<long long>(hours),
                             static_cast<long long>(minutes), static_cast<long long>(seconds));
}

QString PositionText(int64_t current100ns, int64_t length100ns) {
    return TimeText(current100ns) + " / " + TimeText(length100ns);
}

} // namespace orvelin
