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
