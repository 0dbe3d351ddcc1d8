#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>

#include <limits>

#include <time.h>

#include "base/file_dates.h"
#include "support/scoped_env.h"

namespace dw {
namespace {

constexpr quint32 pack(int year, int month, int day, int hour, int minute, int second) {
    return (quint32(year - 1980) << 25) | (quint32(month) << 21) | (quint32(day) << 16) |
           (quint32(hour) << 11) | (quint32(minute) << 5) | quint32(second / 2);
}

qint64 localSeconds(int year, int month, int day, int hour, int minute, int second) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second)).toSecsSinceEpoch();
}

TEST(PackedDates, PackLocalTimeAndUnpackItAgain) {
    const struct {
        int y, mo, d, h, mi, s;
    } cases[] = {
        {1980, 1, 1, 0, 0, 0},   {1999, 3, 10, 13, 5, 8},    {2000, 2, 29, 23, 59, 58},
        {2038, 1, 19, 3, 14, 8}, {2107, 12, 31, 23, 59, 58}, {2024, 7, 4, 12, 30, 0},
    };
    for (const auto& c : cases) {
        const qint64 seconds = localSeconds(c.y, c.mo, c.d, c.h, c.mi, c.s);
        const quint32 packed = PackDosDateTime(seconds);
        EXPECT_EQ(packed, pack(c.y, c.mo, c.d, c.h, c.mi, c.s)) << c.y << "-" << c.mo;
        EXPECT_EQ(UnpackDosDateTime(packed),
                  QDateTime(QDate(c.y, c.mo, c.d), QTime(c.h, c.mi, c.s)));
    }
    // Two-second resolution: an odd second is rounded down.
    EXPECT_EQ(PackDosDateTime(localSeconds(1999, 3, 10, 13, 5, 9)), pack(1999, 3, 10, 13, 5, 8));
}

TEST(PackedDates, MomentsOutside1980To2107CannotBePacked) {
    EXPECT_EQ(PackDosDateTime(localSeconds(1979, 12, 31, 23, 59, 59)), 0u);
    EXPECT_EQ(PackDosDateTime(localSeconds(2108, 1, 1, 0, 0, 0)), 0u);
    EXPECT_EQ(PackDosDateTime(0), 0u);
    EXPECT_EQ(PackDosDateTime(-5), 0u);
    EXPECT_EQ(PackDosDateTime(std::numeric_limits<qint64>::max()), 0u);
    EXPECT_EQ(PackDosDateTime(std::numeric_limits<qint64>::min()), 0u);
}

TEST(PackedDates, DirectoryEntriesGiveTheirThreeTimes) {
    platform::DirEntry entry;
    entry.accessed = localSeconds(2001, 5, 6, 7, 8, 10);
    entry.modified = localSeconds(1999, 3, 10, 13, 5, 8);
    entry.created = localSeconds(1998, 1, 2, 3, 4, 6);
    entry.hasCreated = false;
    EXPECT_EQ(AccessedFileDate(entry), pack(2001, 5, 6, 7, 8, 10));
    EXPECT_EQ(ModifiedFileDate(entry), pack(1999, 3, 10, 13, 5, 8));
    EXPECT_EQ(CreatedFileDate(entry), 0u);  // no birth time reported
    entry.hasCreated = true;
    EXPECT_EQ(CreatedFileDate(entry), pack(1998, 1, 2, 3, 4, 6));
    entry.modified = localSeconds(1975, 1, 1, 0, 0, 0);
    entry.accessed = 0;
    EXPECT_EQ(ModifiedFileDate(entry), 0u);
    EXPECT_EQ(AccessedFileDate(entry), 0u);
}

TEST(PackedDates, TextsOfAValidValue) {
    const quint32 value = pack(1999, 3, 10, 13, 5, 8);
    EXPECT_EQ(FileDateToDateText(value), QStringLiteral("3/10/99"));
    EXPECT_EQ(FileDateToTimeText(value), QStringLiteral("1:05:08 PM"));  // no time zone
    EXPECT_EQ(FileDateToDateTimeSafe(value), QDateTime(QDate(1999, 3, 10), QTime(13, 5, 8)));
    EXPECT_EQ(FileDateToHhmm(value), QStringLiteral("1305"));
    EXPECT_EQ(FileDateToHhmm(pack(2001, 1, 1, 9, 7, 0)), QStringLiteral("0907"));
    EXPECT_EQ(FileDateToYyyymmdd(value), QStringLiteral("19990310"));
}

TEST(PackedDates, InvalidValuesFallBack) {
    const quint32 badMonth = pack(1999, 13, 1, 10, 0, 0);
    const quint32 badDay = pack(1999, 2, 30, 10, 0, 0);
    const quint32 badHour = pack(1999, 3, 10, 25, 0, 0);          // the date itself is fine
    const quint32 badSecond = pack(1999, 3, 10, 10, 0, 0) | 30u;  // 60 seconds
    const QDateTime start1980(QDate(1980, 1, 1), QTime(0, 0));

    const struct {
        quint32 value;
        const char* dateText;
        const char* timeText;
    } cases[] = {
        {0, "", ""},
        {badMonth, "1/1/80", "12:00:00"},
        {badDay, "1/1/80", "12:00:00"},
        {badHour, "3/10/99", "12:00:00"},
        {badSecond, "3/10/99", "12:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileDateToDateText(c.value), QString::fromLatin1(c.dateText)) << c.value;
        EXPECT_EQ(FileDateToTimeText(c.value), QString::fromLatin1(c.timeText)) << c.value;
        EXPECT_FALSE(UnpackDosDateTime(c.value).isValid()) << c.value;
        EXPECT_EQ(FileDateToDateTimeSafe(c.value), start1980) << c.value;
        EXPECT_EQ(FileDateToHhmm(c.value), QStringLiteral("1200")) << c.value;
        EXPECT_EQ(FileDateToYyyymmdd(c.value), QStringLiteral("19800101")) << c.value;
    }
}

TEST(PackedDates, TextsFollowTheDefaultLocale) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const quint32 value = pack(1999, 3, 10, 13, 5, 8);
    const QString date = FileDateToDateText(value);
    const QString time = FileDateToTimeText(value);
    const QString fallback = FileDateToDateText(pack(1999, 13, 1, 0, 0, 0));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(date, QStringLiteral("10.03.99"));
    EXPECT_EQ(time, QStringLiteral("13:05:08"));
    EXPECT_EQ(fallback, QStringLiteral("01.01.80"));
}

// The packer of a walk gives what PackDosDateTime gives, around the changes to and from
// summer time of zones with whole-hour, half-hour and quarter-hour offsets, and at the
// ends of the range.
TEST(PackedDates, ThePackerOfAWalkAgreesWithPackDosDateTime) {
    for (const char* zone : {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe",
                             "Asia/Kathmandu", "Pacific/Chatham", "UTC"}) {
        test::ScopedEnv tz("TZ", QByteArray(zone));
        ::tzset();
        DosDatePacker packer;
        // Two years minute by minute in steps of 7 minutes, then big odd steps to 2108.
        qint64 t = QDateTime(QDate(2023, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
        const qint64 end = t + 2 * 366 * 86400;
        for (; t < end; t += 7 * 60 + 13) {
            ASSERT_EQ(packer(t), PackDosDateTime(t)) << zone << " " << t;
        }
        for (t = 0; t < 4'400'000'000LL; t += 86400 * 17 + 3631) {
            ASSERT_EQ(packer(t), PackDosDateTime(t)) << zone << " " << t;
        }
        EXPECT_EQ(packer(-1), 0u);
    }
    ::tzset();
}

}  // namespace
}  // namespace dw
