#include <gtest/gtest.h>

#include <QLocale>

#include "base/settings_sections.h"
#include "base/utility.h"
#include "platform/paths.h"
#include "safety/archive_name.h"

namespace dw {
namespace {

// Pins the default locale for one test and puts the test-wide one back.
struct LocaleScope {
    explicit LocaleScope(const QLocale& l) : saved(QLocale()) { QLocale::setDefault(l); }
    ~LocaleScope() { QLocale::setDefault(saved); }
    QLocale saved;
};

TEST(ArchiveName, TimeStampIsDayShortMonthOfTheLocaleYearHourMinute) {
    EXPECT_EQ(archiveStamp(QDateTime(QDate(1999, 9, 6), QTime(15, 33))), "06Sep991533");
    EXPECT_EQ(archiveStamp(QDateTime(QDate(2026, 12, 10), QTime(0, 5))), "10Dec260005");
    EXPECT_EQ(archiveStamp(QDateTime(QDate(2000, 1, 31), QTime(23, 59, 59))), "31Jan002359");
    for (const QLocale& l :
         {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::French, QLocale::France),
          QLocale(QLocale::Japanese, QLocale::Japan)}) {
        LocaleScope scope(l);
        SCOPED_TRACE(l.name().toStdString());
        for (int month : {3, 9}) {
            const QString name = l.monthName(month, QLocale::ShortFormat);
            EXPECT_EQ(archiveStamp(QDateTime(QDate(2024, month, 7), QTime(8, 9))),
                      QStringLiteral("07") + name + QStringLiteral("240809"));
        }
    }
}

TEST(ArchiveName, NamesTheVolumeTheCallerAndTheRunInTheArchiveFolder) {
    const QDateTime stamp(QDate(1999, 9, 6), QTime(15, 33));
    EXPECT_EQ(archiveName("Duplicates", "root", stamp, "/srv/zips"),
              "/srv/zips/Drive-root-Duplicates06Sep991533.zip");
    EXPECT_EQ(archiveName("TempClean", "mnt_data", stamp, "/srv/zips/"),
              "/srv/zips/Drive-mnt_data-TempClean06Sep991533.zip");
    // The browser hands over no word; an empty folder means the default one.
    EXPECT_EQ(archiveName("", "home", stamp, ""),
              platform::joinPath(defaultZipFolder(), "Drive-home-06Sep991533.zip"));
}

TEST(ArchiveName, StoredNameIsTheFullPathWithoutTheLeadingSeparator) {
    const struct {
        QByteArray path;
        QByteArray stored;
    } cases[] = {
        {"/home/ann/a.tmp", "home/ann/a.tmp"},
        {"//home//ann/./a.tmp", "home/ann/a.tmp"},
        {"/tab\there/new\nline/\xff\xfe.bin", "tab\there/new\nline/\xff\xfe.bin"},
        {"/ lead and trail ", " lead and trail "},
        {"relative/a.tmp", ""},
        {"", ""},
        {"/", ""},
        {"/home/../etc/passwd", ""},
        {"/home/ann/..", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(storedEntryName(c.path), c.stored) << c.path.constData();
    }
}

TEST(ArchiveName, TheArchivesVolumeIsTheLongestMountedKeyItsNameBeginsWith) {
    const QStringList keys = {"root", "home", "media_ann_my", "media_ann_my-stick"};
    EXPECT_EQ(archiveVolumeKey("/z/Drive-home-TempClean06Sep991533.zip", keys), "home");
    EXPECT_EQ(archiveVolumeKey("/z/Drive-media_ann_my-stick-Duplicates06Sep991533.zip", keys),
              "media_ann_my-stick");
    EXPECT_EQ(archiveVolumeKey("/z/DRIVE-root-06Sep991533.zip", keys), "root");
    EXPECT_EQ(archiveVolumeKey("/z/Drive-mnt_usb-06Sep991533.zip", keys), "");
    EXPECT_EQ(archiveVolumeKey("/z/Drive-HOME-06Sep991533.zip", keys), "");
    EXPECT_EQ(archiveVolumeKey("/z/DriveC.zip", keys), "");
    EXPECT_TRUE(isVolumeArchiveName("/z/drive-home-x.ZIP"));
    EXPECT_FALSE(isVolumeArchiveName("/Drive-z/backup.zip"));
}

}  // namespace
}  // namespace dw
