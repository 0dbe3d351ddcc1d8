#include <gtest/gtest.h>

#include <QFile>
#include <QHash>
#include <QLocale>
#include <QSet>

#include <sys/stat.h>

#include <ctime>
#include <limits>
#include <utility>

#include "base/sort_grid.h"
#include "base/utility.h"
#include "finders/dup_fixture.h"
#include "finders/dup_search.h"
#include "finders/folded_text.h"
#include "finders/thousands_text.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::dupOptions;
using test::hogOptions;
using test::runSearch;
using test::TempTree;

constexpr std::time_t kT0 = 1614853230;  // 4 March 2021, 10:20:30 UTC

struct File {
    const char* path;
    qint64 size;
    std::time_t modified = kT0;
};

void makeFiles(TempTree& t, std::initializer_list<File> files) {
    for (const File& f : files) {
        t.fileOfSize(f.path, f.size);
        t.setTimes(f.path, kT0, f.modified);
    }
}

// The grid's rows as paths relative to the tree's root.
QStringList relativePaths(const test::SearchRun& run, const TempTree& t) {
    QStringList out;
    for (const QByteArray& p : run.paths()) {
        out << QFile::decodeName(p.mid(t.root().size() + 1));
    }
    return out;
}

// ---- the text comparison of the candidate list ------------------------------------------

TEST(FoldedText, ComparesUpperCasedCharactersAndKeepsBadBytesApart) {
    struct Case {
        QByteArray a;
        QByteArray b;
        int sign;
    };
    const Case cases[] = {
        {"readme.txt", "README.TXT", 0},
        {"a", "B", -1},
        {"_x", "ZZ", 1},  // 95 after 90: upper-cased, not lower-cased
        {"ab", "abc", -1},
        {"", "", 0},
        {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", 0},  // été, ÉTÉ
        {"z", "\xC3\xA9", -1},                          // ASCII before other letters
        {"\xFF", "\xFE", 1},                            // bad bytes: distinct values
        {"a\xFF", "a\xFF", 0},
        {"a\xFF", "A\xFF", 0},
        {"\xC3", "\xC3\xA9", 1},                  // a cut sequence is a bad byte, above letters
        {"\xEF\xBF\xBD", "\xFF", -1},             // U+FFFD itself differs from a bad byte
        {"\xF0\x9F\x98\x80", "\xEF\xBF\xBF", 1},  // beyond the basic plane
        {"\xC4\xB1x", "iX", 0},                   // the dotless i upper-cases to I
        {"\xC4\xB1", "_", -1},
    };
    for (const Case& c : cases) {
        const int r = compareFolded(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign)
            << c.a.toHex().constData() << " " << c.b.toHex().constData();
        const int back = compareFolded(c.b, c.a);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign);
        // The sort bytes of the two texts, split anywhere into two parts, compare alike.
        for (qsizetype cut = 0; cut <= c.a.size(); ++cut) {
            const TextParts a{QByteArrayView(c.a).first(cut), QByteArrayView(c.a).sliced(cut)};
            const TextParts b{c.b, {}};
            std::string aBytes;
            std::string bBytes;
            appendFoldedSortBytes(a, aBytes);
            appendFoldedSortBytes(b, bBytes);
            const int bytes = aBytes.compare(bBytes);
            const int joined = compareFolded(a, b);
            EXPECT_EQ((bytes > 0) - (bytes < 0), (joined > 0) - (joined < 0))
                << c.a.toHex().constData() << " cut " << cut << " " << c.b.toHex().constData();
        }
    }
}

TEST(FoldedText, PartsCompareAsTheirJoinedText) {
    const QByteArray texts[] = {"/a/", "/a b/", "/A/b", "c", "b/c", "", "/a/b", "\xFF"};
    for (const QByteArray& a1 : texts) {
        for (const QByteArray& a2 : texts) {
            for (const QByteArray& b1 : texts) {
                const int joined = compareFolded(a1 + a2, b1 + a2);
                const int parts = compareFolded(TextParts{a1, a2}, TextParts{b1, a2});
                EXPECT_EQ((joined > 0) - (joined < 0), (parts > 0) - (parts < 0));
            }
        }
    }
    EXPECT_EQ(trimmedField(" \t a b \n"), QByteArrayView("a b"));
    EXPECT_EQ(trimmedField(" \t "), QByteArrayView(""));
}

TEST(ThousandsText, GivesTheTextsOfFormatThousands) {
    const QLocale saved;
    for (const char* name : {"en_US", "de_DE", "fr_FR", "de_CH", "ar_EG", "hi_IN"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        const ThousandsText text;
        for (qint64 n : {qint64(0), qint64(5), qint64(10), qint64(999), qint64(1000), qint64(1024),
                         qint64(100000), qint64(1000001), qint64(999999999), qint64(256000),
                         qint64(5368709120), qint64(-1234567), std::numeric_limits<qint64>::max(),
                         std::numeric_limits<qint64>::min()}) {
            EXPECT_EQ(text(n), FormatThousands(n)) << name << " " << n;
            char buffer[ThousandsText::kMaxUtf8];
            EXPECT_EQ(QString::fromUtf8(buffer, text.toUtf8(n, buffer)), FormatThousands(n));
        }
    }
    QLocale::setDefault(saved);
}

// ---- the duplicate criteria ------------------------------------------------------------

struct CriterionCase {
    const char* what;
    int criterion;
    std::initializer_list<File> files;
    QStringList rows;  // expected, in grid order
    QByteArray bands;
};

TEST(DupSearch, CriteriaGroupNeighboursWhoseKeysAgree) {
    const CriterionCase cases[] = {
        {"names compared without case",
         0,
         {{"a/README.TXT", 10}, {"b/readme.txt", 20}, {"c/other.txt", 10}},
         {"a/README.TXT", "b/readme.txt"},
         "AA"},
        {"name and size: the file of another size is no result",
         1,
         {{"x/README.TXT", 100}, {"y/README.TXT", 200}, {"z/README.TXT", 100}},
         {"x/README.TXT", "z/README.TXT"},
         "AA"},
        {"name, size, date and time",
         2,
         {{"f/x.dat", 100}, {"g/x.dat", 100}, {"h/x.dat", 100, kT0 + 60}},
         {"f/x.dat", "g/x.dat"},
         "AA"},
        {"keys are joined without separator: A1 + 23 = A12 + 3 (the bands compare names)",
         1,
         {{"p/A1", 23}, {"q/A12", 3}},
         {"p/A1", "q/A12"},
         "AB"},
        {"size only, groups in the order of their size texts, bands alternate",
         3,
         {{"s/a", 999}, {"s/b", 999}, {"s/c", 1024}, {"s/d", 1024}, {"s/e", 7}},
         {"s/c", "s/d", "s/a", "s/b"},
         "AABB"},
        {"size and date/time: only neighbours in the order size, then name",
         4,
         {{"n/a", 500}, {"n/b", 500, kT0 + 3600}, {"n/c", 500}},
         {},
         ""},
        {"size and date/time: two groups of one size share a band",
         4,
         {{"m/a", 100}, {"m/b", 100}, {"m/c", 100, kT0 + 3600}, {"m/d", 100, kT0 + 3600}},
         {"m/a", "m/b", "m/c", "m/d"},
         "AAAA"},
        {"size and type",
         5,
         {{"t/a.txt", 50}, {"t/b.txt", 50}, {"t/c.jpg", 50}},
         {"t/a.txt", "t/b.txt"},
         "AA"},
        {"type and date/time",
         6,
         {{"u/a.txt", 5}, {"u/b.txt", 6}, {"u/c.txt", 7, kT0 + 2}, {"u/d.jpg", 8}},
         {"u/a.txt", "u/b.txt"},
         "AA"},
        {"name groups alternate",
         0,
         {{"v/x.txt", 1}, {"w/x.txt", 2}, {"v/y.txt", 3}, {"w/Y.TXT", 4}, {"w/z", 5}},
         {"v/x.txt", "w/x.txt", "v/y.txt", "w/Y.TXT"},
         "AABB"},
    };
    for (const CriterionCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempTree t;
        makeFiles(t, c.files);
        const test::SearchRun run = runSearch(dupOptions(c.criterion), {t.root()});
        EXPECT_EQ(run.search->resultCount(), c.rows.size());
        if (c.rows.isEmpty()) {
            // The cleared grid: one empty data row.
            EXPECT_EQ(run.rows(), 1);
            EXPECT_TRUE(run.grid->rowData(1).isEmpty());
            continue;
        }
        EXPECT_EQ(relativePaths(run, t), c.rows);
        EXPECT_EQ(run.bands(), c.bands);
    }
}

TEST(DupSearch, GridShowsTheSameColumnsForEveryCriterion) {
    TempTree t;
    makeFiles(t, {{"d1/same.txt", 1234567}, {"d2/same.txt", 1234567}});
    const QLocale locale;
    for (int criterion = 0; criterion < kDupCriterionCount; ++criterion) {
        const test::SearchRun run = runSearch(dupOptions(criterion), {t.root()});
        ASSERT_EQ(run.rows(), 2) << criterion;
        EXPECT_EQ(run.grid->rowCells(0), DupColumnTitles(true));
        EXPECT_EQ(run.cell(kDupNameColumn, 1), QStringLiteral("same.txt"));
        EXPECT_EQ(run.cell(kDupSizeColumn, 1), QStringLiteral("1,234,567"));
        EXPECT_EQ(run.cell(kDupModifiedColumn, 1),
                  locale.toString(QDate(2021, 3, 4), QLocale::ShortFormat));
        EXPECT_EQ(run.cell(kDupTimeColumn, 1), QStringLiteral("10:20:30 AM"));
        EXPECT_EQ(run.cell(kDupAccessColumn, 1), run.cell(kDupModifiedColumn, 1));
        EXPECT_EQ(run.cell(kDupFolderColumn, 1), QFile::decodeName(t.path("d1")));
        EXPECT_EQ(run.cell(kDupTypeColumn, 1), FileTypeName(QStringLiteral(".txt")));
        EXPECT_EQ(run.grid->rowData(2), t.path("d2/same.txt"));
    }
}

TEST(DupSearch, SizeTestsAndUnits) {
    struct Case {
        const char* what;
        DupOptions options;
        QStringList rows;
    };
    TempTree t;
    makeFiles(t, {{"k/a", 1000},
                  {"k/b", 1000},
                  {"k/c", 1024},
                  {"k/d", 1024},
                  {"k/e", 1024},
                  {"k/f", 256000},
                  {"k/g", 256000}});
    DupOptions initial;
    initial.criterion = 3;
    DupOptions kb1 = dupOptions(3);
    kb1.unit = SizeUnit::KB;
    kb1.num1 = 1;
    DupOptions kb2 = kb1;
    kb2.num1 = 2;
    DupOptions smaller = dupOptions(3, 1000);
    smaller.sizeTest = SizeTest::SmallerOrEqual;
    DupOptions between = kb1;
    between.sizeTest = SizeTest::Between;
    between.num1 = 250;
    between.num2 = 250;
    const Case cases[] = {
        {"initial options: at least 250 KB", initial, {"k/f", "k/g"}},
        {"all sizes", dupOptions(3), {"k/a", "k/b", "k/c", "k/d", "k/e", "k/f", "k/g"}},
        {"larger or equal to 1 KB", kb1, {"k/c", "k/d", "k/e", "k/f", "k/g"}},
        {"larger or equal to 2 KB", kb2, {"k/f", "k/g"}},
        {"smaller or equal to 1000 bytes", smaller, {"k/a", "k/b"}},
        {"in between 250 and 250 KB: exactly 256,000 bytes", between, {"k/f", "k/g"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const test::SearchRun run = runSearch(c.options, {t.root()});
        QStringList rows = relativePaths(run, t);
        rows.sort();
        EXPECT_EQ(rows, c.rows);
    }
}

// A folder ticked twice, or inside another ticked entry, is searched once: its files
// neither pair with themselves nor show as a group of one file's names.
TEST(DupSearch, TheSameFolderReachedTwiceListsEachFileOnce) {
    TempTree t;
    t.file("DATA/f.txt", "0123456789");
    t.file("g.txt", "abcdefghij");
    for (const int criterion : {0, kContentCriterion}) {
        for (const QList<QByteArray>& folders : {QList<QByteArray>{t.root(), t.path("DATA")},
                                                 {t.path("DATA"), t.root()},
                                                 {t.path("DATA"), t.path("DATA")}}) {
            SCOPED_TRACE(criterion);
            const test::SearchRun run = runSearch(dupOptions(criterion), folders);
            EXPECT_EQ(run.search->resultCount(), 0)
                << relativePaths(run, t).join(' ').toStdString();
            EXPECT_EQ(run.search->candidateCount(), folders.contains(t.root()) ? 2 : 1);
        }
    }
}

TEST(DupSearch, CandidateLimitStopsTheWalkAndSaysSoOnce) {
    test::ScriptedPrompter prompter;
    TempTree t;
    makeFiles(t, {{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}, {"e", 5}});
    DupOptions options = hogOptions(SizeTest::LargerOrEqual, 0, 0, SizeUnit::Bytes);
    options.candidateLimit = 3;
    const test::SearchRun run = runSearch(options, {t.root()});
    EXPECT_TRUE(run.listFull);
    EXPECT_EQ(run.fullCalls, 1);
    EXPECT_EQ(run.search->candidateCount(), 3);
    EXPECT_EQ(run.rows(), 3);
    // The search shows nothing itself; the caller warns with this text.
    EXPECT_TRUE(prompter.boxes().isEmpty());
    EXPECT_EQ(resourceLimitText(),
              QStringLiteral("Due to Windows resource limitations ... cannot process any more "
                             "files.\n\nTry increasing the file size limits or file match and "
                             "re-scan."));
}

// ---- file hogs ---------------------------------------------------------------------------

TEST(FileHogs, SizeRangeLargestFirstPathsInTheirRealCase) {
    TempTree t;
    makeFiles(t, {{"Mixed/First.TXT", 10240},
                  {"Mixed/Second.DAT", 20480},
                  {"Mixed/ThirdFile.Bin", 20481},
                  {"Mixed/Small.dat", 10239},
                  {"Other/Mid.LOG", 15000}});
    const test::SearchRun run =
        runSearch(hogOptions(SizeTest::Between, 10, 20, SizeUnit::KB), {t.root()});
    EXPECT_EQ(relativePaths(run, t),
              QStringList({"Mixed/Second.DAT", "Other/Mid.LOG", "Mixed/First.TXT"}));
    EXPECT_EQ(run.grid->rowCells(0), DupColumnTitles(false));
    EXPECT_EQ(run.column(kHogSizeColumn), QStringList({"20,480", "15,000", "10,240"}));
    // The path cell names the file exactly as it is on disk.
    for (qsizetype r = 1; r <= run.rows(); ++r) {
        EXPECT_EQ(run.cell(kHogPathColumn, r), QFile::decodeName(run.grid->rowData(r)));
        EXPECT_TRUE(QFile::exists(run.cell(kHogPathColumn, r)));
    }
    EXPECT_EQ(run.bands(), QByteArray(3, '\0'));
}

// Units up to GB, each 1,024 of the one below; too large a product saturates instead of
// wrapping round to a small or negative limit that would list every file.
TEST(FileHogs, LimitsInMegabytesAndGigabytes) {
    struct Case {
        qint64 count;
        SizeUnit unit;
        qint64 bytes;
    };
    const qint64 max = std::numeric_limits<qint64>::max();
    const Case cases[] = {
        {10000, SizeUnit::Bytes, 10000},
        {1, SizeUnit::KB, 1024},
        {1, SizeUnit::MB, 1048576},
        {1, SizeUnit::GB, 1073741824},
        {10000, SizeUnit::GB, 10000LL << 30},
        {0, SizeUnit::GB, 0},
        {-1, SizeUnit::GB, 0},
        {max >> 30, SizeUnit::GB, (max >> 30) << 30},
        {(max >> 30) + 1, SizeUnit::GB, max},
        {max, SizeUnit::KB, max},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SizeUnitsInBytes(c.count, c.unit), c.bytes)
            << c.count << " " << SizeUnitText(c.unit);
    }

    // Files over 1 GB (sparse: no disk space is used).
    TempTree t;
    for (const auto& [rel, size] : {std::pair<const char*, qint64>{"big/exactly", 1LL << 30},
                                    {"big/below", (1LL << 30) - 1},
                                    {"big/above", (3LL << 30) + 5},
                                    {"mid/two-mb", 2LL << 20}}) {
        QFile f(QFile::decodeName(t.file(rel, QByteArray())));
        ASSERT_TRUE(f.resize(size)) << rel;
    }
    const test::SearchRun gb =
        runSearch(hogOptions(SizeTest::LargerOrEqual, 1, 0, SizeUnit::GB), {t.root()});
    EXPECT_EQ(relativePaths(gb, t), QStringList({"big/above", "big/exactly"}));
    const test::SearchRun mb =
        runSearch(hogOptions(SizeTest::Between, 1, 1023, SizeUnit::MB), {t.root()});
    EXPECT_EQ(relativePaths(mb, t), QStringList({"mid/two-mb"}));

    DupOptions o = hogOptions(SizeTest::LargerOrEqual, 1, 0, SizeUnit::GB);
    EXPECT_EQ(DupReportTitle(o, {}),
              QStringLiteral("File Hogs larger or equal to 1 GB matching *.* on drive(s) "));
}

TEST(FileHogs, EqualSizesKeepTheOrderOfTheSizeSort) {
    TempTree t;
    makeFiles(t, {{"a", 300}, {"b", 300}, {"c", 999}, {"d", 1024}, {"e", 300}});
    const test::SearchRun run =
        runSearch(hogOptions(SizeTest::LargerOrEqual, 0, 0, SizeUnit::Bytes), {t.root()});
    EXPECT_EQ(run.column(kHogSizeColumn), QStringList({"1,024", "999", "300", "300", "300"}));
    // Lines sorted as text, taken last to first, then the quicksort by number.
    const QStringList rows = relativePaths(run, t);
    EXPECT_EQ(rows.mid(0, 2), QStringList({"d", "c"}));
    EXPECT_EQ(QSet<QString>(rows.begin() + 2, rows.end()), QSet<QString>({"a", "b", "e"}));
}

TEST(FileHogs, RowsComeInTheOrderOfTheGridsSizeSort) {
    // Many files of a few sizes, so that the quicksort's handling of equal keys shows:
    // the grid filled by the search must hold its rows exactly as a grid filled in result
    // order and then sorted by the "Size" column (largest first).
    TempTree t;
    const qint64 sizes[] = {300, 0, 1024, 300, 77, 1024, 300};
    for (int i = 0; i < 70; ++i) {
        const QByteArray name = QByteArray(i % 3 == 0 ? "Dir/" : "dir/") +
                                QByteArray::number((i * 37) % 70) + (i % 2 ? ".TXT" : ".bin");
        t.fileOfSize(name, sizes[i % 7]);
    }
    const test::SearchRun run =
        runSearch(hogOptions(SizeTest::LargerOrEqual, 0, 0, SizeUnit::Bytes), {t.root()});
    ASSERT_EQ(run.rows(), 70);
    GridTable sorted;
    ClearDupGrid(sorted, false);
    sorted.setRowCount(1);
    for (qsizetype k = 0; k < run.search->resultCount(); ++k) {
        const GridRow row = run.search->resultRow(k);
        sorted.appendRow(row.cells, row.data);
    }
    ASSERT_TRUE(SortGridByNumber(sorted, 1, sorted.rowCount() - 1, true, kHogSizeColumn));
    for (qsizetype r = 1; r < sorted.rowCount(); ++r) {
        EXPECT_EQ(run.grid->rowData(r), sorted.rowData(r)) << r;
        EXPECT_EQ(run.grid->rowCells(r), sorted.rowCells(r)) << r;
    }
}

TEST(DupSearch, LongResultListsFillTheGridAsRowByRow) {
    // Enough rows for the grid to be filled in two halves at once; names beyond ASCII
    // and bytes that are no UTF-8 here and there take the slower path of a row.
    for (const bool duplicateMode : {true, false}) {
        SCOPED_TRACE(duplicateMode ? "duplicates" : "file hogs");
        DupSearch search(duplicateMode
                             ? dupOptions(3)
                             : hogOptions(SizeTest::LargerOrEqual, 0, 0, SizeUnit::Bytes));
        for (int i = 0; i < 45000; ++i) {
            WalkFolder folder;
            folder.path = "/data/d" + QByteArray::number(i / 700);
            folder.text = QFile::decodeName(folder.path);
            platform::DirEntry e;
            e.name = "f" + QByteArray::number(i) + (i % 97 == 0 ? "Ã©" : "") +
                     (i % 131 == 0 ? "ÿ" : "") + (i % 3 ? ".txt" : ".bin");
            e.size = (i * 7919) % 5000;
            e.modified = 1614853230 + 60 * (i % 11);
            e.accessed = e.modified;
            ASSERT_EQ(search.addFile(folder, e), DupSearch::Step::Added);
        }
        search.finish();
        GridTable grid;
        search.fillGrid(grid);
        const std::vector<quint32> order = search.rowOrder();
        ASSERT_EQ(grid.rowCount() - 1, qsizetype(order.size()));
        QHash<QByteArray, GridRow> expected;
        for (qsizetype k = 0; k < search.resultCount(); ++k) {
            const GridRow row = search.resultRow(k);
            expected.insert(row.data, row);
        }
        for (qsizetype r = 1; r < grid.rowCount(); ++r) {
            ASSERT_EQ(grid.rowData(r), search.candidates().path(order[size_t(r - 1)])) << r;
            const GridRow& want = expected[grid.rowData(r)];
            ASSERT_EQ(grid.rowCells(r), want.cells) << r;
            ASSERT_EQ(grid.band(r), want.band) << r;
        }
    }
}

// ---- hostile names -----------------------------------------------------------------------

TEST(DupSearch, EveryRowCarriesTheExactPathOfItsFile) {
    TempTree t;
    const QList<QByteArray> names = {"tab\tname",     "new\nline",    " lead",
                                     "trail ",        "\xFF\xFE bad", "back\\slash",
                                     "we ird\tdir/x", "caf\xC3\xA9",  "\xE9t\xE9 dir/y\xE9"};
    QSet<QByteArray> made;
    for (const QByteArray& n : names) {
        made.insert(t.fileOfSize(n, 77));
    }
    for (const bool duplicateMode : {true, false}) {
        SCOPED_TRACE(duplicateMode ? "duplicates" : "file hogs");
        DupOptions options = duplicateMode
                                 ? dupOptions(3)
                                 : hogOptions(SizeTest::LargerOrEqual, 0, 0, SizeUnit::Bytes);
        const test::SearchRun run = runSearch(options, {t.root()});
        const QList<QByteArray> paths = run.paths();
        EXPECT_EQ(QSet<QByteArray>(paths.begin(), paths.end()), made);
        for (const QByteArray& p : paths) {
            struct stat st {};
            EXPECT_EQ(::lstat(p.constData(), &st), 0) << p.toHex().constData();
            EXPECT_EQ(st.st_size, 77);
        }
        // The grid holds each result's cells and band exactly as the search gives them
        // one by one (decoded texts, bad bytes as U+FFFD).
        QHash<QByteArray, GridRow> expected;
        for (qsizetype k = 0; k < run.search->resultCount(); ++k) {
            const GridRow row = run.search->resultRow(k);
            expected.insert(row.data, row);
        }
        ASSERT_EQ(expected.size(), run.rows());
        for (qsizetype r = 1; r <= run.rows(); ++r) {
            const GridRow& want = expected[run.grid->rowData(r)];
            EXPECT_EQ(run.grid->rowCells(r), want.cells) << r;
            EXPECT_EQ(run.grid->band(r), want.band) << r;
        }
        if (duplicateMode) {
            // Names show as they are: blanks kept, nothing cut at a TAB.
            EXPECT_TRUE(run.column(kDupNameColumn).contains(QStringLiteral(" lead")));
            EXPECT_TRUE(run.column(kDupNameColumn).contains(QStringLiteral("tab\tname")));
        }
    }
}

TEST(DupSearch, ReportTitleNamesOptionsAndDrives) {
    DupOptions o;
    DriveEntry root;
    root.startFolder = "/";
    root.checked = true;
    DriveEntry home;
    home.startFolder = "/home";
    EXPECT_EQ(
        DupReportTitle(o, {root}),
        QStringLiteral("Duplicates larger or equal to 250 KB matching *.* on drive(s) root "));
    o.duplicateMode = false;
    o.sizeTest = SizeTest::SmallerOrEqual;
    o.num1 = 3;
    o.unit = SizeUnit::Bytes;
    o.pattern = QStringLiteral("*.bak");
    EXPECT_EQ(DupReportTitle(o, {root, home}),
              QStringLiteral("File Hogs smaller or equal to 3 bytes matching *.bak on drive(s) "
                             "root home "));
    o.sizeTest = SizeTest::Between;
    o.num1 = 10;
    o.num2 = 20;
    o.unit = SizeUnit::KB;
    EXPECT_EQ(DupReportTitle(o, {}),
              QStringLiteral("File Hogs in between 10 KB and 20 KB matching *.bak on drive(s) "));
}

}  // namespace
}  // namespace dw
