#include "base/file_dates.h"

#include "base/utility.h"

#include <QLocale>

#include "platform/local_time.h"

namespace dw {

namespace {

struct Fields {
    QDate date;
    QTime time;
    bool dateValid() const { return date.isValid(); }
    bool valid() const { return date.isValid() && time.isValid(); }
};

Fields unpack(quint32 packed) {
    const int year = int(packed >> 25) + 1980;
    const int month = int((packed >> 21) & 0x0F);
    const int day = int((packed >> 16) & 0x1F);
    const int hour = int((packed >> 11) & 0x1F);
    const int minute = int((packed >> 5) & 0x3F);
    const int second = int(packed & 0x1F) * 2;
    Fields f;
    if (QDate::isValid(year, month, day)) {
        f.date = QDate(year, month, day);
    }
    if (QTime::isValid(hour, minute, second)) {
        f.time = QTime(hour, minute, second);
    }
    return f;
}

}  // namespace

quint32 PackDosDateTime(qint64 epochSeconds) {
    platform::LocalTime t;
    if (!platform::toLocalTime(epochSeconds, t)) {
        return 0;
    }
    if (t.year < 1980 || t.year > 2107) {
        return 0;
    }
    // A leap second (60) still fits: 30 in five bits.
    return (quint32(t.year - 1980) << 25) | (quint32(t.month) << 21) | (quint32(t.day) << 16) |
           (quint32(t.hour) << 11) | (quint32(t.minute) << 5) | quint32(t.second / 2);
}

namespace {

// A day number of DaysFromCivil back to its date.
void civilFromDays(qint64 z, qint64& y, int& m, int& d) {
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

}  // namespace

namespace {

constexpr qint64 kDaySeconds = 86400;

qint64 floorDiv(qint64 a, qint64 b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

bool askOffset(qint64 epochSeconds, qint64& offset) {
    platform::LocalTime t;
    if (!platform::toLocalTime(epochSeconds, t)) {
        return false;
    }
    // A leap second counts as the last second of its minute.
    const qint64 local = DaysFromCivil(t.year, t.month, t.day) * kDaySeconds + t.hour * 3600 +
                         t.minute * 60 + qMin(t.second, 59);
    offset = local - epochSeconds;
    return true;
}

}  // namespace

bool LocalOffsets::at(qint64 epochSeconds, qint64& offset) {
    const qint64 utcDay = floorDiv(epochSeconds, kDaySeconds);
    Slot& slot = slots_[size_t(quint64(utcDay) % slots_.size())];
    if (slot.utcDay != utcDay) {
        // Offsets change at most a few times a year, so one equal at both ends of a day
        // holds all day long.
        qint64 first = 0;
        qint64 last = 0;
        if (!askOffset(utcDay * kDaySeconds, first) ||
            !askOffset(utcDay * kDaySeconds + kDaySeconds - 1, last)) {
            return askOffset(epochSeconds, offset);
        }
        slot.utcDay = utcDay;
        slot.offset = first;
        slot.mixed = first != last;
    }
    if (slot.mixed) {
        return askOffset(epochSeconds, offset);
    }
    offset = slot.offset;
    return true;
}

quint32 DosDatePacker::operator()(qint64 epochSeconds) {
    qint64 offset = 0;
    if (!offsets_.at(epochSeconds, offset)) {
        return 0;
    }
    const qint64 local = epochSeconds + offset;
    const qint64 days = floorDiv(local, kDaySeconds);
    const qint64 secs = local - days * kDaySeconds;
    qint64 year = 0;
    int month = 0;
    int day = 0;
    civilFromDays(days, year, month, day);
    if (year < 1980 || year > 2107) {
        return 0;
    }
    return (quint32(year - 1980) << 25) | (quint32(month) << 21) | (quint32(day) << 16) |
           (quint32(secs / 3600) << 11) | (quint32((secs / 60) % 60) << 5) |
           quint32((secs % 60) / 2);
}

QDateTime UnpackDosDateTime(quint32 packed) {
    const Fields f = unpack(packed);
    if (!f.valid()) {
        return {};
    }
    return QDateTime(f.date, f.time);
}

quint32 AccessedFileDate(const platform::DirEntry& entry) {
    return PackDosDateTime(entry.accessed);
}

quint32 CreatedFileDate(const platform::DirEntry& entry) {
    return entry.hasCreated ? PackDosDateTime(entry.created) : 0;
}

quint32 ModifiedFileDate(const platform::DirEntry& entry) {
    return PackDosDateTime(entry.modified);
}

QString FileDateToDateText(quint32 packed) {
    if (packed == 0) {
        return {};
    }
    const Fields f = unpack(packed);
    const QDate date = f.dateValid() ? f.date : QDate(1980, 1, 1);
    return QLocale().toString(date, QLocale::ShortFormat);
}

QString FileDateToTimeText(quint32 packed) {
    if (packed == 0) {
        return {};
    }
    const Fields f = unpack(packed);
    if (!f.valid()) {
        return QStringLiteral("12:00:00");
    }
    const QLocale locale;
    return locale.toString(f.time, LongTimeFormat(locale));
}

QDateTime FileDateToDateTimeSafe(quint32 packed) {
    const QDateTime value = UnpackDosDateTime(packed);
    if (value.isValid()) {
        return value;
    }
    return QDateTime(QDate(1980, 1, 1), QTime(0, 0));
}

QString FileDateToHhmm(quint32 packed) {
    const Fields f = unpack(packed);
    return f.valid() ? f.time.toString(QStringLiteral("hhmm")) : QStringLiteral("1200");
}

QString FileDateToYyyymmdd(quint32 packed) {
    const Fields f = unpack(packed);
    return f.valid() ? f.date.toString(QStringLiteral("yyyyMMdd")) : QStringLiteral("19800101");
}

}  // namespace dw
