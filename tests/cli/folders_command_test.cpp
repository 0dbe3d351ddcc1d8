// diskwell-cli folders, run as the built tool, against du.
#include <gtest/gtest.h>

#include <QFile>

#include <unistd.h>

#include "safety/archive_fixtures.h"
#include "support/cli_runner.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

struct Row {
    qint64 bytes = 0;
    QByteArray percent;
    qint64 files = 0;
    qint64 subFolders = 0;
    QByteArray name;
};

QList<Row> rowsOf(const QByteArray& out) {
    QList<Row> rows;
    const QList<QByteArray> lines = out.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> cells = lines[i].split('\t');
        if (cells.size() == 6) {
            rows.append({cells[0].toLongLong(), cells[1], cells[2].toLongLong(),
                         cells[3].toLongLong(), cells[5]});
        }
    }
    return rows;
}

qint64 firstNumber(const test::ProgramRun& run) {
    return run.out.split('\t').value(0).trimmed().toLongLong();
}

// What du says of `folder`'s files alone: bytes (apparent sizes) and count, each name
// of a file counted once, folders taken out.
struct DuTotals {
    qint64 bytes = 0;
    qint64 files = 0;
};

DuTotals duFiles(const QByteArray& folder) {
    const QString f = QFile::decodeName(folder);
    const qint64 bytes =
        firstNumber(test::runProgram(QStringLiteral("du"), {QStringLiteral("-sb"), f}));
    const qint64 inodes = firstNumber(test::runProgram(
        QStringLiteral("du"), {QStringLiteral("-s"), QStringLiteral("--inodes"), f}));
    const test::ProgramRun dirs = test::runProgram(
        QStringLiteral("find"), {f, QStringLiteral("-type"), QStringLiteral("d"),
                                 QStringLiteral("-printf"), QStringLiteral("%s\\n")});
    DuTotals t{bytes, inodes};
    for (const QByteArray& line : dirs.out.split('\n')) {
        if (!line.isEmpty()) {
            t.bytes -= line.toLongLong();
            --t.files;
        }
    }
    return t;
}

// A tree with files of several names, inside one folder and across folders, a link, a
// file larger than 4 GiB (sparse) and odd names.
struct HogTree {
    test::TempTree t;
    HogTree() {
        t.file("one/a.bin", QByteArray(70000, 'a'));
        t.file("one/deep/deeper/b.txt", QByteArray(1234, 'b'));
        t.file("one/deep/.hidden-file", QByteArray(10, 'h'));
        t.file("two/c.txt", QByteArray(999, 'c'));
        t.file(QByteArray("two/tab\there \xff"), QByteArray(17, 'o'));
        t.symlink("two/link", t.path("one/a.bin"));
        t.file("three/big.sparse");
        EXPECT_EQ(::truncate(t.path("three/big.sparse").constData(), 5LL << 30), 0);
        t.file("top.txt", QByteArray(55, 't'));
        for (const char* name : {"one/deep/a-again", "two/a-too", "one/a-third"}) {
            EXPECT_EQ(::link(t.path("one/a.bin").constData(), t.path(name).constData()), 0);
        }
        t.dir("empty");
    }
};

TEST(CliFolders, TotalsMatchDuWithEachFileCountedOnce) {
    HogTree h;
    const test::CliRun all = test::runCli(
        {QStringLiteral("folders"), QStringLiteral("--all"), QFile::decodeName(h.t.root())});
    ASSERT_EQ(all.status, 0) << all.err.constData();
    const QList<Row> rows = rowsOf(all.out);
    qint64 bytes = 0;
    qint64 files = 0;
    for (const Row& r : rows) {
        bytes += r.bytes;
        files += r.files;
    }
    const DuTotals du = duFiles(h.t.root());
    EXPECT_EQ(bytes, du.bytes);
    EXPECT_EQ(files, du.files);
    EXPECT_GT(bytes, 5LL << 30);
    // Largest first; the empty folder has no row.
    for (qsizetype i = 1; i < rows.size(); ++i) {
        EXPECT_GE(rows[i - 1].bytes, rows[i].bytes);
    }
    for (const Row& r : rows) {
        EXPECT_FALSE(r.name.endsWith("/empty"));
    }

    const test::CliRun main = test::runCli(
        {QStringLiteral("folders"), QStringLiteral("--main"), QFile::decodeName(h.t.root())});
    ASSERT_EQ(main.status, 0) << main.err.constData();
    const QList<Row> mainRows = rowsOf(main.out);
    ASSERT_EQ(mainRows.size(), 4);  // one, two, three, empty; never top.txt
    qint64 mainBytes = 0;
    qint64 mainFiles = 0;
    for (const Row& r : mainRows) {
        mainBytes += r.bytes;
        mainFiles += r.files;
    }
    EXPECT_EQ(mainBytes, du.bytes - 55);
    EXPECT_EQ(mainFiles, du.files - 1);
    EXPECT_EQ(mainRows[0].name, h.t.path("three"));
    EXPECT_EQ(mainRows[0].bytes, 5LL << 30);
    EXPECT_EQ(mainRows.last().name, h.t.path("empty"));
    EXPECT_EQ(mainRows.last().percent, "0.00");
    for (const Row& r : mainRows) {
        if (r.name == h.t.path("one")) {
            EXPECT_EQ(r.subFolders, 2);
        }
    }
}

TEST(CliFolders, BadArgumentsAndNothingFound) {
    test::TempTree t;
    t.dir("only");
    const test::CliRun none = test::runCli(
        {QStringLiteral("folders"), QStringLiteral("--all"), QFile::decodeName(t.path("only"))});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.err, "diskwell-cli folders: No files found.\n");
    EXPECT_EQ(test::runCli({QStringLiteral("folders"), QStringLiteral("/tmp")}).status, 2);
    EXPECT_EQ(test::runCli({QStringLiteral("folders"), QStringLiteral("--main")}).status, 2);
    EXPECT_EQ(test::runCli({QStringLiteral("folders"), QStringLiteral("--main"),
                            QStringLiteral("--all"), QStringLiteral("/tmp")})
                  .status,
              2);
    EXPECT_EQ(test::runCli({QStringLiteral("folders"), QStringLiteral("--main"),
                            QFile::decodeName(t.path("missing"))})
                  .status,
              1);
}

}  // namespace
}  // namespace dw
