#include "platform/local_time.h"

#include <ctime>
#include <limits>

namespace dw::platform {

bool toLocalTime(qint64 epochSeconds, LocalTime& out) {
    if constexpr (sizeof(std::time_t) < sizeof(qint64)) {
        if (epochSeconds < std::numeric_limits<std::time_t>::min() ||
            epochSeconds > std::numeric_limits<std::time_t>::max()) {
            return false;
        }
    }
    const std::time_t t = static_cast<std::time_t>(epochSeconds);
    std::tm tm{};
    // localtime_r, not localtime: callers may convert from several threads.
    if (::localtime_r(&t, &tm) == nullptr) {
        return false;
    }
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.day = tm.tm_mday;
    out.hour = tm.tm_hour;
    out.minute = tm.tm_min;
    out.second = tm.tm_sec;
    return true;
}

}  // namespace dw::platform
