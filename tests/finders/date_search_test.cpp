#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include "base/file_dates.h"
#include "base/utility.h"
#include "finders/date_search.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::TempTree;

// Noon local time on `day`, as seconds since the epoch.
std::time_t noonOf(const QDate& day) {
    return std::time_t(QDateTime(day, QTime(12, 0)).toSecsSinceEpoch());
}

const QDate kStart(2024, 3, 10);
const QDate kEnd(2024, 3, 20);

TEST(DateSearch, DateTestAroundTheBounds) {
    struct Case {
        const char* what;
        QDate day;  // null: the file has no date
        DateTest test;
        bool matches;
    };
    const Case cases[] = {
        {"before: the day before the start", kStart.addDays(-1), DateTest::OnOrBefore, true},
        {"before: the start itself", kStart, DateTest::OnOrBefore, true},
        {"before: the day after the start", kStart.addDays(1), DateTest::OnOrBefore, false},
        {"before: no date", {}, DateTest::OnOrBefore, true},
        {"between: the day before the start", kStart.addDays(-1), DateTest::Between, false},
        {"between: the start itself", kStart, DateTest::Between, true},
        {"between: the end itself", kEnd, DateTest::Between, true},
        {"between: the day after the end", kEnd.addDays(1), DateTest::Between, false},
        {"between: no date", {}, DateTest::Between, false},
        {"after: the day before the start", kStart.addDays(-1), DateTest::OnOrAfter, false},
        {"after: the start itself", kStart, DateTest::OnOrAfter, true},
        {"after: far beyond the end field", kEnd.addYears(3), DateTest::OnOrAfter, true},
        {"after: no date", {}, DateTest::OnOrAfter, false},
    };
    for (const Case& c : cases) {
        const quint32 packed = c.day.isNull() ? 0 : PackDosDateTime(noonOf(c.day));
        EXPECT_EQ(PassesDateTest(packed, c.test, kStart, kEnd), c.matches) << c.what;
    }
    // Late in the evening and early in the morning are still that day.
    const quint32 late = PackDosDateTime(QDateTime(kEnd, QTime(23, 59, 58)).toSecsSinceEpoch());
    const quint32 early = PackDosDateTime(QDateTime(kStart, QTime(0, 0)).toSecsSinceEpoch());
    EXPECT_TRUE(PassesDateTest(late, DateTest::Between, kStart, kEnd));
    EXPECT_TRUE(PassesDateTest(early, DateTest::Between, kStart, kEnd));
    // Equal bounds: exactly that day.
    EXPECT_TRUE(PassesDateTest(early, DateTest::Between, kStart, kStart));
    EXPECT_FALSE(PassesDateTest(late, DateTest::Between, kStart, kStart));
}

// A walk of a real tree with the three kinds: rows, cells and hidden paths.
TEST(DateSearch, ListsTheFilesOfTheChosenDateWithTheirRows) {
    TempTree t;
    const QDate inRange = kStart.addDays(2);
    const QDate outRange = kEnd.addDays(5);
    t.fileOfSize("a/old.txt", 1234);
    t.setTimes("a/old.txt", noonOf(inRange), noonOf(outRange));
    t.fileOfSize("a/new.log", 5);
    t.setTimes("a/new.log", noonOf(outRange), noonOf(inRange));
    t.fileOfSize("before1980.bin", 7);
    t.setTimes("before1980.bin", 86400 * 10, 86400 * 10);
    // Past the packed form's last year: a late date, not a missing one.
    const QDate future(2200, 6, 1);
    t.fileOfSize("future.txt", 9);
    t.setTimes("future.txt", noonOf(future), noonOf(future));
    // Hostile names are listed as exactly those files.
    const QByteArray odd = t.fileOfSize("tab\there\nnl\xff.txt", 3);
    t.setTimes("tab\there\nnl\xff.txt", noonOf(inRange), noonOf(inRange));
    t.fileOfSize(".hidden.txt", 3);
    t.setTimes(".hidden.txt", noonOf(inRange), noonOf(inRange));
    t.fileOfSize(".cache/x.txt", 3);
    t.setTimes(".cache/x.txt", noonOf(inRange), noonOf(inRange));

    const auto run = [&](DateKind kind, DateTest test, const QString& pattern) {
        DateOptions o;
        o.kind = kind;
        o.test = test;
        o.start = kStart;
        o.end = kEnd;
        o.pattern = pattern;
        auto grid = std::make_unique<GridTable>();
        DateSearch search(o, *grid);
        RowFinderHooks hooks(search);
        WalkOptions w;
        w.pattern = WildcardPattern(pattern);
        FolderWalk walk(w, hooks);
        search.start();
        std::optional<StartFolder> start = EnterStartFolder(t.root());
        EXPECT_TRUE(start.has_value());
        walk.walkTree(*start);
        search.finish();
        QSet<QByteArray> paths;
        for (qsizetype r = 1; r < grid->rowCount(); ++r) {
            if (!grid->rowData(r).isEmpty()) {
                paths.insert(grid->rowData(r).mid(t.root().size() + 1));
            }
        }
        return std::make_pair(std::move(grid), paths);
    };

    auto [accessed, accessedPaths] = run(DateKind::Accessed, DateTest::Between, "*.*");
    EXPECT_EQ(accessedPaths, (QSet<QByteArray>{"a/old.txt", "tab\there\nnl\xff.txt"}));
    EXPECT_EQ(accessed->rowCells(0), DateColumnTitles());
    for (qsizetype r = 1; r < accessed->rowCount(); ++r) {
        if (accessed->rowData(r).endsWith("old.txt")) {
            EXPECT_EQ(accessed->cell(kDateNameColumn, r), "old.txt");
            EXPECT_EQ(accessed->cell(kDateAccessedColumn, r), DateToTextSafe(inRange));
            EXPECT_EQ(accessed->cell(kDateModifiedColumn, r), DateToTextSafe(outRange));
            EXPECT_EQ(accessed->cell(kDateSizeColumn, r), FormatThousands(1234));
            EXPECT_EQ(accessed->cell(kDateFolderColumn, r), QFile::decodeName(t.path("a")));
            EXPECT_EQ(accessed->cell(kDateTypeColumn, r), FileTypeName(".txt"));
            const QList<QByteArray> bytes = GridRowBytes(*accessed, r, kDateFileCells);
            EXPECT_EQ(bytes[kDateNameColumn], "old.txt");
            EXPECT_EQ(bytes[kDateFolderColumn], t.path("a"));
        } else {
            EXPECT_EQ(accessed->rowData(r), odd);
            EXPECT_EQ(GridRowBytes(*accessed, r, kDateFileCells)[kDateNameColumn],
                      "tab\there\nnl\xff.txt");
        }
    }

    auto [modified, modifiedPaths] = run(DateKind::Modified, DateTest::Between, "*.*");
    EXPECT_EQ(modifiedPaths, (QSet<QByteArray>{"a/new.log", "tab\there\nnl\xff.txt"}));

    // A file with no date is listed only by "On or Before".
    auto [before, beforePaths] = run(DateKind::Accessed, DateTest::OnOrBefore, "*.*");
    EXPECT_TRUE(beforePaths.contains("before1980.bin"));
    EXPECT_FALSE(beforePaths.contains("a/new.log"));
    EXPECT_FALSE(beforePaths.contains("future.txt"));
    auto [after, afterPaths] = run(DateKind::Accessed, DateTest::OnOrAfter, "*.*");
    EXPECT_FALSE(afterPaths.contains("before1980.bin"));
    EXPECT_TRUE(afterPaths.contains("a/new.log"));
    ASSERT_TRUE(afterPaths.contains("future.txt"));
    for (qsizetype r = 1; r < after->rowCount(); ++r) {
        if (after->rowData(r).endsWith("/future.txt")) {
            EXPECT_EQ(after->cell(kDateAccessedColumn, r), DateToTextSafe(future));
            EXPECT_EQ(after->cell(kDateModifiedColumn, r), DateToTextSafe(future));
        }
    }

    // The pattern narrows, ignoring case.
    auto [logs, logPaths] = run(DateKind::Modified, DateTest::Between, "*.LOG");
    EXPECT_EQ(logPaths, (QSet<QByteArray>{"a/new.log"}));

    // Nothing found: the titles and one empty data row.
    auto [none, nonePaths] = run(DateKind::Modified, DateTest::Between, "*.zzz");
    EXPECT_TRUE(nonePaths.isEmpty());
    EXPECT_EQ(none->rowCount(), 2);
}

TEST(DateSearch, ReportTitleNamesKindAndRange) {
    DateOptions o;
    o.start = kStart;
    o.end = kEnd;
    o.kind = DateKind::Modified;
    o.test = DateTest::Between;
    EXPECT_EQ(DateReportTitle(o),
              "Files Modified between " + DateToTextSafe(kStart) + " and " + DateToTextSafe(kEnd));
    o.kind = DateKind::Accessed;
    o.test = DateTest::OnOrAfter;
    EXPECT_EQ(DateReportTitle(o), "Files Last accessed after " + DateToTextSafe(kStart));
    o.kind = DateKind::Created;
    o.test = DateTest::OnOrBefore;
    EXPECT_EQ(DateReportTitle(o), "Files Created before " + DateToTextSafe(kStart));
}

}  // namespace
}  // namespace dw
