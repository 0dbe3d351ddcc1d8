#pragma once

#include <QDateTime>
#include <QString>

#include <array>
#include <limits>

#include "platform/dir_entry.h"

// Packed date-times: a file's local date and time in 32 bits, as the archives and the
// finders' lists keep them. Date in the high 16 bits (year - 1980 in bits 25-31, month
// in 21-24, day in 16-20), time in the low 16 bits (hour in 11-15, minute in 5-10,
// seconds / 2 in 0-4). Two-second resolution, years 1980 to 2107. The value 0 means that
// the file has no date.
namespace dw {

// The three dates a file has: last access, creation (birth, where the file system records
// it) and last write, in the order the statistics' tallies keep them.
enum class DateKind { Accessed = 0, Created = 1, Modified = 2 };

// `epochSeconds` (seconds since 1970 UTC) in local time, packed. 0 when the moment lies
// before 1980 or after 2107 in local time, or cannot be converted at all. Odd seconds
// are rounded down.
quint32 PackDosDateTime(qint64 epochSeconds);

// Days since 1 January 1970 of a date of the proleptic Gregorian calendar.
constexpr qint64 DaysFromCivil(qint64 year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yoe = year - era * 400;
    const qint64 doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The offset of local time from UTC at many moments in a row (a walk's files), with the
// system asked once per UTC day rather than once per moment: the offsets of the last
// 4,096 days met are kept, and a day on which the offset changes (summer time) is asked
// moment by moment. Not thread-safe; one per walk.
class LocalOffsets {
public:
    // Local time minus UTC at `epochSeconds`, in seconds. False when the system cannot
    // convert the moment.
    bool at(qint64 epochSeconds, qint64& offset);

private:
    struct Slot {
        qint64 utcDay = std::numeric_limits<qint64>::min();
        qint64 offset = 0;
        bool mixed = false;  // the offset changes during the day
    };
    std::array<Slot, 4096> slots_{};
};

// PackDosDateTime for many moments in a row (a walk's files): the same values, with the
// time zone's offset taken from LocalOffsets. Not thread-safe; one per walk.
class DosDatePacker {
public:
    quint32 operator()(qint64 epochSeconds);

private:
    LocalOffsets offsets_;
};

// The local date-time a packed value stands for. Invalid when the value holds no valid
// date and time (0, month 0 or 13, 30 February, hour 24, seconds 60 and beyond, ...), or
// names a local time that does not exist (skipped by a change to summer time).
QDateTime UnpackDosDateTime(quint32 packed);

// The last-access, creation and last-write times of a directory entry, packed. 0 when
// the time cannot be packed; CreatedFileDate is 0 also when the file system reports no
// creation (birth) time for the entry.
quint32 AccessedFileDate(const platform::DirEntry& entry);
quint32 CreatedFileDate(const platform::DirEntry& entry);
quint32 ModifiedFileDate(const platform::DirEntry& entry);

// The date in the default locale's short date format. Empty for 0; the text of
// 1 January 1980 for a value whose date is not valid.
QString FileDateToDateText(quint32 packed);

// The time in the default locale's long time format (hours, minutes and seconds; the
// time-zone name some locales add is left out). Empty for 0; "12:00:00" for a value
// that is no valid date-time.
QString FileDateToTimeText(quint32 packed);

// The local date-time; 1 January 1980, 00:00 for a value that is no valid date-time
// (0 included).
QDateTime FileDateToDateTimeSafe(quint32 packed);

// The time as "hhmm" (24 hours, "0930"); "1200" for a value that is no valid
// date-time (0 included).
QString FileDateToHhmm(quint32 packed);

// The date as "yyyymmdd" ("19990310"); "19800101" for a value that is no valid
// date-time (0 included).
QString FileDateToYyyymmdd(quint32 packed);

}  // namespace dw
