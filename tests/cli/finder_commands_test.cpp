#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QSet>

#include "base/file_dates.h"
#include "base/grid_table.h"
#include "base/utility.h"
#include "finders/cache_folders.h"
#include "finders/dup_search.h"
#include "finders/temp_search.h"
#include "inspect/grid_export.h"
#include "scan/folder_walk.h"
#include "scan/type_lines.h"
#include "support/cli_runner.h"
#include "support/scoped_env.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::CliOptions;
using test::CliRun;
using test::runCli;
using test::TempTree;

std::time_t noonOf(const QDate& day) {
    return std::time_t(QDateTime(day, QTime(12, 0)).toSecsSinceEpoch());
}

// The output's lines, each split into its cells, unescaped to their exact bytes.
QList<QList<QByteArray>> rowsOf(const QByteArray& out) {
    QList<QList<QByteArray>> rows;
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        QList<QByteArray> cells;
        for (const QByteArray& cell : line.split('\t')) {
            cells << TsvUnescape(cell);
        }
        rows << cells;
    }
    return rows;
}

QString arg(const QByteArray& bytes) {
    return QFile::decodeName(bytes);
}

TEST(DatedCommand, ListsTheFilesOfTheRangeWithTheirExactNames) {
    TempTree t;
    const QDate day(2023, 5, 10);
    const QByteArray odd = "we\tird\nname\xff.txt";
    t.fileOfSize("in/" + odd, 1500);
    t.setTimes("in/" + odd, noonOf(day), noonOf(day));
    t.fileOfSize("in/before.txt", 2);
    t.setTimes("in/before.txt", noonOf(day.addDays(-1)), noonOf(day.addDays(-1)));
    t.fileOfSize("in/after.doc", 3);
    t.setTimes("in/after.doc", noonOf(day.addDays(1)), noonOf(day.addDays(1)));

    struct Case {
        QStringList args;
        QSet<QByteArray> names;
    };
    const QString d = day.toString(Qt::ISODate);
    const QString prev = day.addDays(-1).toString(Qt::ISODate);
    const Case cases[] = {
        {{"--modified", "--between", d, d}, {odd}},
        {{"--accessed", "--before", d}, {odd, "before.txt"}},
        {{"--accessed", "--after", d}, {odd, "after.doc"}},
        {{"--modified", "--between", prev, d, "--pattern", "*.TXT"}, {odd, "before.txt"}},
    };
    for (const Case& c : cases) {
        const CliRun run = runCli(QStringList{"dated"} + c.args + QStringList{arg(t.path("in"))});
        ASSERT_EQ(run.status, 0) << run.errText().toStdString();
        const QList<QList<QByteArray>> rows = rowsOf(run.out);
        ASSERT_FALSE(rows.isEmpty());
        EXPECT_EQ(rows[0], (QList<QByteArray>{"Filename", "Accessed", "Created", "Modified", "Size",
                                              "Folder", "Type"}));
        QSet<QByteArray> names;
        for (qsizetype r = 1; r < rows.size(); ++r) {
            names << rows[r][0];
            EXPECT_EQ(rows[r][5], t.path("in"));
            if (rows[r][0] == odd) {
                EXPECT_EQ(rows[r][4], FormatThousands(1500).toUtf8());
                // Dates are in the tool's locale: only their presence is checked here.
                EXPECT_FALSE(rows[r][3].isEmpty());
            }
        }
        EXPECT_EQ(names, c.names) << c.args.join(' ').toStdString();
    }

    const CliRun none = runCli({"dated", "--modified", "--after", "2099-01-01", arg(t.path("in"))});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(rowsOf(none.out).size(), 1);
    EXPECT_TRUE(none.errText().contains("No files found.")) << none.errText().toStdString();

    const CliRun missing = runCli(
        {"dated", "--modified", "--after", "2000-01-01", arg(t.path("gone")), arg(t.path("in"))});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.errText().contains("Can't open drive "));

    const QStringList bad[] = {
        {"dated", "--before", d, "x"},                           // no kind
        {"dated", "--accessed", "x"},                            // no test
        {"dated", "--accessed", "--before", "10/05/2023", "x"},  // not ISO
        {"dated", "--accessed", "--between", d, prev, "x"},      // end before start
        {"dated", "--accessed", "--before", d, "--after", d, "x"},
        {"dated", "--accessed", "--before", d},  // no folder
    };
    for (const QStringList& b : bad) {
        const CliRun run = runCli(b);
        EXPECT_EQ(run.status, 2) << b.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

TEST(DuplicatesAndHogsCommands, PrintTheRowsOfTheFinderGridByteForByte) {
    // Hostile names, a file at the start folder itself and many equal sizes: each line
    // must be the escaped cells of the grid the finder fills, in the grid's order.
    TempTree t;
    const QList<QByteArray> names = {
        "tab\tname", "new\nline",   "back\\slash", "\xFF\xFE bad",        "caf\xC3\xA9",
        "cr\rname",  "A/lower.txt", "a/UPPER.TXT", "\xE9t\xE9 dir/y\xE9", "deep/er/one.dat"};
    const qint64 sizes[] = {300, 0, 300, 1024, 77, 300, 1024};
    for (qsizetype i = 0; i < names.size(); ++i) {
        t.fileOfSize(names[i], sizes[i % 7]);
        t.fileOfSize("copies/" + QByteArray::number(i) + ".bin", sizes[(i + 3) % 7]);
        t.fileOfSize("same/" + names[i].mid(names[i].lastIndexOf('/') + 1), sizes[(i + 1) % 7]);
    }
    struct Case {
        QStringList args;
        bool duplicateMode;
        int criterion;
    };
    const Case cases[] = {
        {{"hogs", "--larger", "0", "--unit", "bytes"}, false, 0},
        {{"duplicates", "--criterion", "3", "--larger", "0", "--unit", "bytes"}, true, 3},
        {{"duplicates", "--criterion", "0", "--larger", "0", "--unit", "bytes"}, true, 0},
        {{"duplicates", "--criterion", "6", "--larger", "0", "--unit", "bytes"}, true, 6},
    };
    // The tool's texts in the C locale, and the grid's texts made in the same one.
    CliOptions options;
    options.env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    const QLocale pinned;
    QLocale::setDefault(QLocale::c());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        DupOptions o;
        o.duplicateMode = c.duplicateMode;
        o.criterion = c.criterion;
        o.num1 = 0;
        o.unit = SizeUnit::Bytes;
        DupSearch search(o);
        DupWalkHooks hooks(search);
        WalkOptions walkOptions;
        walkOptions.pattern = WildcardPattern(o.pattern);
        FolderWalk walk(walkOptions, hooks);
        walk.walkEntries({[&] {
            DriveEntry e;
            e.kind = DriveEntry::Kind::ExtraFolder;
            e.startFolder = t.root();
            e.text = arg(t.root());
            e.checked = true;
            return e;
        }()});
        search.finish();
        GridTable grid;
        search.fillGrid(grid);
        ASSERT_GT(search.resultCount(), 2);
        QByteArray expected;
        for (qsizetype r = 0; r < grid.rowCount(); ++r) {
            expected += TsvLine(DupRowBytes(grid, r, c.duplicateMode)) + '\n';
        }

        const CliRun run = runCli(c.args + QStringList{arg(t.root())}, options);
        EXPECT_EQ(run.status, 0) << run.errText().toStdString();
        EXPECT_EQ(run.out, expected);
    }
    QLocale::setDefault(pinned);
}

TEST(HogsCommand, SizesInMegabytesAndGigabytes) {
    TempTree t;
    for (const auto& [rel, size] : {std::pair<const char*, qint64>{"two-mb", 2LL << 20},
                                    {"just-below", (1LL << 20) - 1},
                                    {"two-gb", 2LL << 30}}) {
        QFile f(QFile::decodeName(t.file(rel, QByteArray())));
        ASSERT_TRUE(f.resize(size)) << rel;
    }
    const CliRun mb = runCli({"hogs", "--larger", "1", "--unit", "mb", arg(t.root())});
    ASSERT_EQ(mb.status, 0) << mb.errText().toStdString();
    ASSERT_EQ(rowsOf(mb.out).size(), 3);
    EXPECT_EQ(rowsOf(mb.out)[1][kHogPathColumn], t.path("two-gb"));
    EXPECT_EQ(rowsOf(mb.out)[2][kHogPathColumn], t.path("two-mb"));
    const CliRun gb = runCli({"hogs", "--larger", "1", "--unit", "GB", arg(t.root())});
    ASSERT_EQ(rowsOf(gb.out).size(), 2);
    EXPECT_EQ(rowsOf(gb.out)[1][kHogPathColumn], t.path("two-gb"));
    const CliRun tb = runCli({"hogs", "--larger", "1", "--unit", "TB", arg(t.root())});
    EXPECT_EQ(tb.status, 2);
    EXPECT_TRUE(tb.errText().contains("bytes, KB, MB or GB"));
}

TEST(TempCommand, ListsTemporaryFilesLargestFirstFromTheStoredListOrTheOptions) {
    TempTree t;
    TempTree config;
    CliOptions options;
    options.env.insert("DISKWELL_CONFIG_DIR", arg(config.root()));
    t.fileOfSize("a/small.tmp", 10);
    t.fileOfSize("a/BIG.TMP", 5000);
    t.fileOfSize("a/.hidden.bak", 20);
    t.fileOfSize("a/word.~mp", 30);
    t.fileOfSize("a/keep.txt", 40);
    t.fileOfSize(".hid/inside.tmp", 50);
    const QByteArray odd = t.fileOfSize("a/tab\there\xfe.old", 7);
    t.fileOfSize("a/m31.fts", 60);
    t.fileOfSize("a/notes.txt~", 3);
    t.fileOfSize("a/.~lock.report.odt#", 2);

    // No stored list: the quick clean's defaults, "*.~*" matching by pattern, editor
    // backups and office lock files by their whole names, FITS data left alone.
    const CliRun defaults = runCli({"temp", arg(t.root())}, options);
    ASSERT_EQ(defaults.status, 0) << defaults.errText().toStdString();
    const QList<QList<QByteArray>> rows = rowsOf(defaults.out);
    ASSERT_EQ(rows.size(), 8);
    EXPECT_EQ(rows[0],
              (QList<QByteArray>{"Size", "Modified", "Time", "Access", "FileName", "Type"}));
    const QList<QByteArray> order{t.path("a/BIG.TMP"),
                                  t.path("a/word.~mp"),
                                  t.path("a/.hidden.bak"),
                                  t.path("a/small.tmp"),
                                  odd,
                                  t.path("a/notes.txt~"),
                                  t.path("a/.~lock.report.odt#")};
    for (qsizetype r = 1; r < rows.size(); ++r) {
        EXPECT_EQ(rows[r][4], order[r - 1]) << r;
    }
    EXPECT_EQ(rows[1][0], FormatThousands(5000).toUtf8());

    // A stored list rules; --ext overrides it.
    {
        test::ScopedEnv dir("DISKWELL_CONFIG_DIR", config.root());
        ASSERT_TRUE(WriteTempExtensionLines({TypeLine("*.bak")}));
    }
    const CliRun stored = runCli({"temp", arg(t.root())}, options);
    ASSERT_EQ(rowsOf(stored.out).size(), 2);
    EXPECT_EQ(rowsOf(stored.out)[1][4], t.path("a/.hidden.bak"));
    const CliRun onlyOld = runCli({"temp", "--ext", "*.OLD", arg(t.root())}, options);
    ASSERT_EQ(rowsOf(onlyOld.out).size(), 2);
    EXPECT_EQ(rowsOf(onlyOld.out)[1][4], odd);

    const CliRun none = runCli({"temp", "--ext=*.zzz", arg(t.root())}, options);
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(rowsOf(none.out).size(), 1);
    EXPECT_TRUE(none.errText().contains("No files found."));

    EXPECT_EQ(runCli({"temp"}, options).status, 2);
    EXPECT_EQ(runCli({"temp", "--ext"}, options).status, 2);
    EXPECT_EQ(runCli({"temp", "--bogus", arg(t.root())}, options).status, 2);
}

TEST(CachesCommand, ListsFoldersAndOldFilesForTheCleanCommand) {
    TempTree home;
    TempTree config;
    CliOptions options;
    options.env.insert("HOME", arg(home.root()));
    options.env.remove("XDG_CACHE_HOME");
    options.env.insert("DISKWELL_CONFIG_DIR", arg(config.root()));
    const QByteArray ff = home.dir(".cache/mozilla/firefox/a.default/cache2/entries");
    const QByteArray snap =
        home.dir("snap/chromium/common/.cache/chromium/Default/Cache/Cache_Data");
    const QDate today = QDate::currentDate();
    home.fileOfSize(".cache/mozilla/firefox/a.default/cache2/entries/OLD1", 100);
    home.setTimes(".cache/mozilla/firefox/a.default/cache2/entries/OLD1",
                  noonOf(today.addDays(-40)), noonOf(today.addDays(-40)));
    home.fileOfSize(".cache/mozilla/firefox/a.default/cache2/entries/new\tone", 5);
    home.fileOfSize("snap/chromium/common/.cache/chromium/Default/Cache/Cache_Data/f_1", 9);
    home.setTimes("snap/chromium/common/.cache/chromium/Default/Cache/Cache_Data/f_1",
                  noonOf(today.addDays(-35)), noonOf(today.addDays(-35)));

    // Without a stored list, the window's first discovery: native and packaged browsers.
    const CliRun list = runCli({"caches", "--list"}, options);
    ASSERT_EQ(list.status, 0);
    EXPECT_EQ(rowsOf(list.out), (QList<QList<QByteArray>>{{"Folder"}, {ff}, {snap}}));
    const CliRun all = runCli({"caches", "--list", "--discover"}, options);
    EXPECT_EQ(rowsOf(all.out), (QList<QList<QByteArray>>{{"Folder"}, {ff}, {snap}}));

    const CliRun old = runCli({"caches", "--discover", "--days", "30"}, options);
    ASSERT_EQ(old.status, 0);
    const QList<QList<QByteArray>> rows = rowsOf(old.out);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0], (QList<QByteArray>{"Size", "Accessed", "FileName"}));
    EXPECT_EQ(rows[1][2], ff + "/OLD1");
    EXPECT_FALSE(rows[1][1].isEmpty());
    EXPECT_EQ(rows[2][2], snap + "/f_1");

    const CliRun nul = runCli({"caches", "--discover", "-0"}, options);
    QList<QByteArray> paths = nul.out.split('\0');
    ASSERT_EQ(paths.takeLast(), QByteArray());
    EXPECT_EQ(QSet<QByteArray>(paths.begin(), paths.end()),
              (QSet<QByteArray>{ff + "/OLD1", ff + "/new\tone", snap + "/f_1"}));

    const CliRun none = runCli({"caches", "--days", "100"}, options);
    EXPECT_EQ(none.status, 0);
    EXPECT_TRUE(none.errText().contains(kNoCacheFilesText));

    EXPECT_EQ(runCli({"caches", "--days", "101"}, options).status, 2);
    EXPECT_EQ(runCli({"caches", "--days"}, options).status, 2);
    EXPECT_EQ(runCli({"caches", "somewhere"}, options).status, 2);
}

}  // namespace
}  // namespace dw
