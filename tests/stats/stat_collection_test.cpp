#include <gtest/gtest.h>

#include <QDateTime>
#include <QMimeDatabase>
#include <QTimeZone>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "base/file_dates.h"
#include "base/utility.h"
#include "platform/dir_reader.h"
#include "stats/stat_collection.h"
#include "support/scoped_env.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::TempTree;

TEST(StatBuckets, SizeClassesAndOverhangAtTheirBounds) {
    struct Case {
        qint64 size;
        int bucket;
        std::array<qint64, kOverhangSizes> overhang;
    };
    const Case cases[] = {
        {0, 0, {0, 0, 0, 0, 0}},
        {1, 0, {4095, 8191, 16383, 32767, 65535}},
        {4096, 0, {0, 4096, 12288, 28672, 61440}},
        {16384, 0, {0, 0, 0, 16384, 49152}},
        {16385, 1, {4095, 8191, 16383, 16383, 49151}},
        {32768, 1, {0, 0, 0, 0, 32768}},
        {32769, 2, {4095, 8191, 16383, 32767, 32767}},
        {1048576, 6, {0, 0, 0, 0, 0}},
        {1048577, 7, {4095, 8191, 16383, 32767, 65535}},
        {16777216, 10, {0, 0, 0, 0, 0}},
        {16777217, 11, {4095, 8191, 16383, 32767, 65535}},
        {5LL << 30, 11, {0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sizeBucket(c.size), c.bucket) << c.size;
        for (int k = 0; k < kOverhangSizes; ++k) {
            EXPECT_EQ(clusterOverhang(c.size, kOverhangClusters[k]), c.overhang[k])
                << c.size << " " << kOverhangLabels[k];
        }
    }
    EXPECT_STREQ(kSizeLabels[0], "0 - 16K");
    EXPECT_STREQ(kSizeLabels[11], "Over 16MB");
}

TEST(StatBuckets, AgesAndHalfHours) {
    const std::pair<qint64, int> ages[] = {{-1, 0},   {0, 1},    {7, 1},    {8, 2},    {30, 2},
                                           {31, 3},   {60, 3},   {61, 4},   {120, 4},  {121, 5},
                                           {365, 5},  {366, 6},  {730, 6},  {731, 7},  {1095, 7},
                                           {1096, 8}, {1460, 8}, {1461, 9}, {99999, 9}};
    for (const auto& [age, index] : ages) {
        EXPECT_EQ(ageToIndex(age), index) << age;
    }
    EXPECT_EQ(halfHourSlot(0, 29), 0);
    EXPECT_EQ(halfHourSlot(0, 30), 1);
    EXPECT_EQ(halfHourSlot(23, 59), 47);
    EXPECT_EQ(halfHourLabel(0), QStringLiteral("00:00"));
    EXPECT_EQ(halfHourLabel(19), QStringLiteral("09:30"));
    EXPECT_EQ(halfHourLabel(47), QStringLiteral("23:30"));
}

TEST(StatBuckets, ExtensionKeys) {
    const std::pair<const char*, const char*> cases[] = {
        {"README", ""},
        {"page.html", ".HTML"},
        {"LETTER.doc", ".DOC"},
        {"a.b.Tar", ".TAR"},
        {"a.", "."},
        {"x.\xc3\xa9", ".\xc3\xa9"},
        {"archive.backup", nullptr},
        {".bashrc", nullptr},
        {".x", ".X"},
    };
    for (const auto& [name, expected] : cases) {
        QByteArray key("junk");
        const bool has = extensionKey(name, key);
        EXPECT_EQ(has, expected != nullptr) << name;
        if (expected) {
            EXPECT_EQ(key, QByteArray(expected)) << name;
        }
    }
    ExtensionTable table;
    table.add(".DOC", "a.doc", 10);
    table.add(".DOC", "B.DOC", 5);
    table.add("", "setup", 1);
    table.add(".BACKUP", "a.backup", 7);  // too long: no entry
    table.ensure(".EXE");
    table.ensure(".DOC");
    const auto rows = table.rows();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].key, QByteArray());
    EXPECT_EQ(rows[0].type, QString());
    EXPECT_EQ(rows[1].key, QByteArray(".DOC"));
    EXPECT_EQ(rows[1].type, FileTypeOfName(QStringLiteral("a.doc")));
    EXPECT_EQ(rows[1].tally, (FileTally{2, 15}));
    EXPECT_EQ(rows[2].type, FileTypeOfName(QStringLiteral("a.exe")));
    EXPECT_EQ(rows[2].tally, (FileTally{0, 0}));
}

// One extension, several types: each type its own entry, named by the whole file name;
// the extension's total adds them up.
TEST(ExtensionTable, AnExtensionOfSeveralTypesHasAnEntryForEach) {
    ExtensionTable table;
    table.add(".5", "libomp.so.5", 100);
    table.add(".5", "libz.so.5", 50);
    table.add(".5", "passwd.5", 3);
    table.add(".GZ", "site.tar.gz", 7);
    table.add(".GZ", "log.gz", 2);
    const auto rows = table.rows();
    QStringList seen;
    for (const auto& r : rows) {
        seen << QString::fromUtf8(r.key) + QLatin1Char('=') + r.type + QLatin1Char('=') +
                    QString::number(r.tally.bytes);
    }
    const QMimeDatabase db;
    const auto comment = [&](const char* name) {
        return db.mimeTypeForName(QString::fromLatin1(name)).comment();
    };
    QStringList expected{
        ".5=" + comment("application/x-sharedlib") + "=150",
        ".5=" + comment("application/x-troff-man") + "=3",
        ".GZ=" + comment("application/x-compressed-tar") + "=7",
        ".GZ=" + comment("application/gzip") + "=2",
    };
    // Within a key the entries come by type text.
    std::sort(expected.begin(), expected.begin() + 2);
    std::sort(expected.begin() + 2, expected.end());
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(table.at(".5"), (FileTally{3, 153}));
}

TEST(StatTypeFilter, IncludeExcludeAndEmptyLists) {
    using M = TypeFilter::Mode;
    const QStringList docOnly{QStringLiteral("*.doc\tWord document")};
    struct Case {
        M mode;
        QStringList lines;
        const char* name;
        bool counted;
    };
    const Case cases[] = {
        {M::All, {}, "anything.txt", true},
        {M::Include, docOnly, "LETTER.DOC", true},
        {M::Include, docOnly, "letter.txt", false},
        {M::Include, docOnly, "doc", false},
        {M::Exclude, docOnly, "LETTER.DOC", false},
        {M::Exclude, docOnly, "letter.txt", true},
        {M::Include, {}, "LETTER.DOC", false},
        {M::Exclude, {}, "LETTER.DOC", true},
        {M::Include, {QStringLiteral("*.ht*")}, "page.htm", false},
        {M::Include, {QStringLiteral("*.ht*")}, "page.ht*", true},
        {M::Include, {QStringLiteral("*.backup")}, "a.BackUp", true},
        {M::Include, {QStringLiteral("*")}, "README", true},
        {M::Include, {QStringLiteral("*")}, "a.txt", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TypeFilter(c.mode, c.lines).selects(c.name), c.counted)
            << c.name << " mode " << int(c.mode) << " " << c.lines.join(',').toStdString();
    }
    EXPECT_EQ(extractExtension(QStringLiteral("*.DOC\tWord")), QStringLiteral(".doc"));

    // Include mode lists every asked type, also one no file had.
    StatTallies t;
    t.addFilterTypes(TypeFilter(M::Include, {QStringLiteral("*.doc"), QStringLiteral("*.exe")}));
    EXPECT_EQ(t.extensions.size(), 2);
    StatTallies none;
    none.addFilterTypes(TypeFilter(M::Exclude, {QStringLiteral("*.doc")}));
    EXPECT_EQ(none.extensions.size(), 0);
}

// The clock agrees with the packed dates the rest of the program uses, around the
// changes of summer time and at the ends of the packed range, in zones with whole and
// half-hour changes.
TEST(LocalDayClock, AgreesWithPackedDates) {
    for (const char* zone : {"Europe/Berlin", "Australia/Lord_Howe", "UTC", "America/St_Johns"}) {
        test::ScopedEnv tz("TZ", QByteArray(zone));
        tzset();
        LocalDayClock clock;
        QList<qint64> moments;
        for (const char* iso :
             {"2021-03-28T00:59:59Z", "2021-03-28T01:00:00Z", "2021-10-31T00:59:59Z",
              "2021-10-31T01:00:00Z", "2021-10-02T15:29:59Z", "2021-10-02T15:30:00Z",
              "1979-12-31T12:00:00Z", "1980-01-01T00:00:00Z", "2107-12-31T12:00:00Z",
              "2108-01-01T12:00:00Z", "1999-06-15T23:45:00Z", "1969-12-31T23:00:00Z"}) {
            moments
                << QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toSecsSinceEpoch();
        }
        // A sweep of every 17 minutes over a year, twice, so that cached days are reused.
        const qint64 start =
            QDateTime::fromString(QStringLiteral("2020-01-01T00:00:00Z"), Qt::ISODate)
                .toSecsSinceEpoch();
        for (int pass = 0; pass < 2; ++pass) {
            for (qint64 t = start; t < start + 366 * 86400; t += 17 * 60) {
                moments << t;
            }
        }
        for (qint64 t : moments) {
            const quint32 packed = PackDosDateTime(t);
            qint64 day = 0;
            int minute = -1;
            const bool ok = clock.toLocal(t, day, minute);
            ASSERT_EQ(ok, packed != 0) << zone << " " << t;
            if (!ok) {
                continue;
            }
            const QDateTime local = UnpackDosDateTime(packed);
            ASSERT_EQ(day, LocalDayClock::dayNumber(local.date())) << zone << " " << t;
            ASSERT_EQ(minute, local.time().hour() * 60 + local.time().minute()) << zone << " " << t;
        }
    }
    tzset();
}

// Collects `root` as the window does.
StatTallies collect(const QByteArray& root, const TypeFilter& filter, const QDate& today,
                    bool enterHidden = false) {
    StatCollector collector(filter, today);
    StatWalkHooks hooks(collector);
    FolderWalk walk(statisticsWalkOptions(enterHidden), hooks);
    walk.walkEntries({DriveEntry{DriveEntry::Kind::ExtraFolder, root, QString::fromUtf8(root),
                                 platform::VolumeKind::Fixed, true}});
    StatTallies t = collector.tallies();
    t.addFilterTypes(filter);
    return t;
}

// Seconds since the epoch of `time` local on the day `days` before `today` (after it for
// negative days).
std::time_t localMoment(const QDate& today, int days, QTime time) {
    return QDateTime(today.addDays(-days), time).toSecsSinceEpoch();
}

TEST(StatCollector, FilesOfKnownSizesAndTimesLandInTheirTallies) {
    const QDate today(2026, 6, 15);
    TempTree t;
    struct File {
        const char* name;
        qint64 size;
        int accessedDaysAgo;
        QTime accessedAt;
        int modifiedDaysAgo;
        QTime modifiedAt;
        int accessBucket;
        int modifyBucket;
        int accessSlot;  // -1: none
        int modifySlot;
    };
    const File files[] = {
        {"a/seven.doc", 16384, 7, QTime(12, 0), 8, QTime(0, 15), 1, 2, 24, -1},
        {"a/b/eight.DOC", 16385, 8, QTime(0, 30), 1461, QTime(23, 59), 2, 9, 1, 47},
        {"a/b/future.txt", 16777217, -10, QTime(9, 29), -400, QTime(9, 30), 2, 6, 18, 19},
        {"README", 1, 0, QTime(0, 0), 1460, QTime(13, 0), 1, 8, -1, 26},
        {"archive.backup", 4096, 365, QTime(6, 0), 366, QTime(6, 0), 5, 6, 12, 12},
    };
    for (const File& f : files) {
        t.fileOfSize(f.name, f.size);
        t.setTimes(f.name, localMoment(today, f.accessedDaysAgo, f.accessedAt),
                   localMoment(today, f.modifiedDaysAgo, f.modifiedAt));
    }
    const StatTallies s = collect(t.root(), {}, today);
    EXPECT_EQ(s.processed, 5);
    EXPECT_EQ(s.counted, 5);
    std::array<std::array<FileTally, kAgeBuckets>, 2> ages{};
    std::array<std::array<qint64, kHalfHours>, 2> expectedSlots{};
    std::array<FileTally, kSizeBuckets> sizes{};
    std::array<qint64, kOverhangSizes> overhang{};
    qint64 total = 0;
    for (const File& f : files) {
        ages[0][f.accessBucket].add(f.size);
        ages[1][f.modifyBucket].add(f.size);
        if (f.accessSlot >= 0) {
            ++expectedSlots[0][f.accessSlot];
        }
        if (f.modifySlot >= 0) {
            ++expectedSlots[1][f.modifySlot];
        }
        sizes[sizeBucket(f.size)].add(f.size);
        for (int k = 0; k < kOverhangSizes; ++k) {
            overhang[k] += clusterOverhang(f.size, kOverhangClusters[k]);
        }
        total += f.size;
    }
    EXPECT_EQ(s.agesOf(DateKind::Accessed), ages[0]);
    EXPECT_EQ(s.agesOf(DateKind::Modified), ages[1]);
    EXPECT_EQ(s.halfHoursOf(DateKind::Accessed), expectedSlots[0]);
    EXPECT_EQ(s.halfHoursOf(DateKind::Modified), expectedSlots[1]);
    EXPECT_EQ(s.sizes, sizes);
    EXPECT_EQ(s.overhang, overhang);
    EXPECT_EQ(s.totalBytes(), total);

    // The files were born now, on the real day: tallied by their distance to the fixed
    // day where the file system records birth times, else as not recorded.
    const auto probe = platform::statPath(t.path("README"));
    ASSERT_TRUE(probe.has_value());
    const int createdBucket =
        probe->hasCreated ? ageToIndex(std::abs(LocalDayClock::dayNumber(today) -
                                                LocalDayClock::dayNumber(QDate::currentDate())))
                          : 0;
    EXPECT_EQ(s.agesOf(DateKind::Created)[createdBucket].files, 5);

    // Extensions: README under the empty key, both .doc spellings under one key, the long
    // one under none.
    const auto rows = s.extensions.rows();
    QStringList keys;
    for (const auto& r : rows) {
        keys << QString::fromUtf8(r.key) + QLatin1Char('=') + QString::number(r.tally.files);
    }
    EXPECT_EQ(keys, QStringList({"=1", ".DOC=2", ".TXT=1"}));
    EXPECT_EQ(s.extensions.at(".DOC").bytes, 16384 + 16385);
}

TEST(StatCollector, BirthTimesAreTalliedAsCreation) {
    TempTree t;
    t.file("new.txt", "x");
    const auto probe = platform::statPath(t.path("new.txt"));
    ASSERT_TRUE(probe.has_value());
    if (!probe->hasCreated) {
        GTEST_SKIP() << "this file system records no birth times";
    }
    const QDateTime born = QDateTime::fromSecsSinceEpoch(probe->created);
    const StatTallies s = collect(t.root(), {}, born.date().addDays(10));
    EXPECT_EQ(s.agesOf(DateKind::Created)[2].files, 1);  // "8 - 30 days"
    const int slot = halfHourSlot(born.time().hour(), born.time().minute());
    EXPECT_EQ(s.halfHoursOf(DateKind::Created)[slot], slot == 0 ? 0 : 1);
}

TEST(StatCollector, AttributesHiddenFoldersAndTheFilter) {
    const QDate today = QDate::currentDate();
    TempTree t;
    t.fileOfSize("plain.txt", 10);
    t.fileOfSize("locked.doc", 20);
    t.setMode("locked.doc", 0444);
    t.fileOfSize(".hidden.doc", 40);
    t.symlink("link.doc", "plain.txt");
    t.symlink(".hiddenlink", "plain.txt");
    t.fifo("pipe");
    t.fileOfSize(".secret/inner.doc", 80);
    const qint64 linkSize = qint64(sizeof("plain.txt") - 1);

    const StatTallies s = collect(t.root(), {}, today);
    EXPECT_EQ(s.processed, 6);                                  // the hidden folder is not entered
    EXPECT_EQ(s.attributes[0], (FileTally{1, 20}));             // read-only
    EXPECT_EQ(s.attributes[1], (FileTally{2, 40 + linkSize}));  // hidden
    EXPECT_EQ(s.attributes[2], (FileTally{3, 2 * linkSize}));   // system
    EXPECT_EQ(s.attributes[3], (FileTally{0, 0}));              // archive
    EXPECT_STREQ(kAttributeLabels[3], "Archive");

    const StatTallies all = collect(t.root(), {}, today, true);
    EXPECT_EQ(all.processed, 7);

    const StatTallies docs = collect(
        t.root(), TypeFilter(TypeFilter::Mode::Include, {QStringLiteral("*.doc\tWord")}), today);
    EXPECT_EQ(docs.processed, 6);
    EXPECT_EQ(docs.counted, 3);
    EXPECT_EQ(docs.totalBytes(), 20 + 40 + linkSize);
    const StatTallies notDocs = collect(
        t.root(), TypeFilter(TypeFilter::Mode::Exclude, {QStringLiteral("*.doc\tWord")}), today);
    EXPECT_EQ(notDocs.counted, 3);
    EXPECT_EQ(notDocs.extensions.at(".DOC").files, 0);
}

TEST(StatCollector, HardLinksCountOnceAndAllocatedBytesAreTheDisks) {
    TempTree t;
    const QByteArray original = t.fileOfSize("one/data.bin", 10000);
    t.dir("two");
    t.dir("three");
    ASSERT_EQ(::link(original.constData(), t.path("two/data.bin").constData()), 0);
    ASSERT_EQ(::link(original.constData(), t.path("three/other.bin").constData()), 0);
    t.fileOfSize("single.bin", 1);
    // A sparse file: 64 MiB long, nothing stored.
    const QByteArray sparse = t.file("sparse.img");
    ASSERT_EQ(::truncate(sparse.constData(), 64LL << 20), 0);

    const StatTallies s = collect(t.root(), {}, QDate::currentDate());
    EXPECT_EQ(s.processed, 5);
    EXPECT_EQ(s.counted, 3);
    EXPECT_EQ(s.hardLinked, 1);
    EXPECT_EQ(s.totalBytes(), 10000 + 1 + (64LL << 20));
    EXPECT_EQ(s.sizes[0].files, 2);

    qint64 blocks = 0;
    for (const char* name : {"one/data.bin", "single.bin", "sparse.img"}) {
        struct stat st {};
        ASSERT_EQ(::stat(t.path(name).constData(), &st), 0);
        blocks += qint64(st.st_blocks) * 512;
    }
    EXPECT_EQ(s.allocated, blocks);
    EXPECT_LT(s.allocated, s.totalBytes());

    // Only a filtered-in name counts the file.
    const StatTallies bins =
        collect(t.root(), TypeFilter(TypeFilter::Mode::Exclude, {QStringLiteral("*.img")}),
                QDate::currentDate());
    EXPECT_EQ(bins.counted, 2);
    EXPECT_EQ(bins.hardLinked, 1);
}

TEST(StatCollector, SixtyFourBitTotals) {
    TempTree t;
    for (const char* name : {"a.img", "b.img", "c.img"}) {
        const QByteArray path = t.file(name);
        ASSERT_EQ(::truncate(path.constData(), (5LL << 30) + 1), 0);
    }
    const StatTallies s = collect(t.root(), {}, QDate::currentDate());
    EXPECT_EQ(s.sizes[11].bytes, 3 * ((5LL << 30) + 1));
    EXPECT_EQ(s.extensions.at(".IMG").bytes, 3 * ((5LL << 30) + 1));
    EXPECT_EQ(s.overhang[4], 3 * 65535);
}

TEST(StatDrives, CapacityAndClusterSizeOfTheVolumes) {
    TempTree t;
    const DriveEntry folder{DriveEntry::Kind::ExtraFolder, t.root(), QString::fromUtf8(t.root()),
                            platform::VolumeKind::Fixed, true};
    const auto space = platform::driveSpace(t.root());
    ASSERT_TRUE(space.has_value());
    EXPECT_EQ(pickListTotal({folder}), space->total);
    EXPECT_EQ(pickListTotal({folder, folder}), 2 * space->total);
    EXPECT_EQ(clusterSizeOf(folder), space->blockSize);
    const DriveEntry gone{DriveEntry::Kind::Drive, "/no/such/volume", QStringLiteral("x"),
                          platform::VolumeKind::Fixed, true};
    EXPECT_EQ(pickListTotal({gone}), 0);
    EXPECT_EQ(clusterSizeOf(gone), 0);
    EXPECT_EQ(overhangRowOf(4096), 0);
    EXPECT_EQ(overhangRowOf(65536), 4);
    EXPECT_EQ(overhangRowOf(1024), -1);
}

}  // namespace
}  // namespace dw
