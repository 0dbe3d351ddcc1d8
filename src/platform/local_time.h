#pragma once

#include <QtGlobal>

namespace dw::platform {

// A moment broken down in the user's local time zone.
struct LocalTime {
    int year = 0;    // e.g. 1999
    int month = 0;   // 1 to 12
    int day = 0;     // 1 to 31
    int hour = 0;    // 0 to 23
    int minute = 0;  // 0 to 59
    int second = 0;  // 0 to 60 (a leap second)
};

// Converts `epochSeconds` (seconds since 1 January 1970 UTC) to local time, with the
// time-zone rules in force at that moment (summer time included). Returns false, and
// leaves `out` untouched, when the system cannot convert it (far outside its range).
// Thread-safe.
bool toLocalTime(qint64 epochSeconds, LocalTime& out);

}  // namespace dw::platform
