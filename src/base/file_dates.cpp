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

// Days since 1 January 1970 of a civil date, and back (the proleptic Gregorian calendar).
qint64 daysFromCivil(qint64 y, int m, int d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

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

quint32 DosDatePacker::operator()(qint64 epochSeconds) {
    const qint64 block = epochSeconds >= 0 ? epochSeconds / 900 : (epochSeconds - 899) / 900;
    Slot& slot = slots_[size_t(quint64(block) % slots_.size())];
    if (slot.block != block) {
        slot.block = block;
        platform::LocalTime t;
        slot.valid = platform::toLocalTime(epochSeconds, t);
        if (slot.valid) {
            const qint64 local = daysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 +
                                 t.minute * 60 + t.second;
            slot.offset = local - epochSeconds;
        }
    }
    if (!slot.valid) {
        return 0;
    }
    const qint64 local = epochSeconds + slot.offset;
    const qint64 days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
    const qint64 secs = local - days * 86400;
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
