#include <gtest/gtest.h>

#include <QStringList>

#include <algorithm>
#include <vector>

#include "base/grid_table.h"

namespace dw {
namespace {

// Counts what a table announces, in order.
struct Recorder {
    explicit Recorder(GridTable& t) {
        QObject::connect(&t, &GridTable::rowsAboutToBeInserted, &t,
                         [this](qsizetype f, qsizetype l) {
                             log.append(QStringLiteral("+%1-%2").arg(f).arg(l));
                         });
        QObject::connect(&t, &GridTable::rowsAboutToBeRemoved, &t,
                         [this](qsizetype f, qsizetype l) {
                             log.append(QStringLiteral("-%1-%2").arg(f).arg(l));
                         });
        QObject::connect(&t, &GridTable::rowsAboutToBeMoved, &t,
                         [this] { log.append(QStringLiteral("move")); });
        QObject::connect(
            &t, &GridTable::cellsChanged, &t, [this](qsizetype f, qsizetype l, int c1, int c2) {
                log.append(QStringLiteral("cells %1-%2 %3-%4").arg(f).arg(l).arg(c1).arg(c2));
            });
        QObject::connect(&t, &GridTable::aboutToReset, &t,
                         [this] { log.append(QStringLiteral("reset<")); });
        QObject::connect(&t, &GridTable::reset, &t,
                         [this] { log.append(QStringLiteral(">reset")); });
    }
    QStringList log;
};

TEST(GridTable, KeepsCellTextAndHiddenBytesExactly) {
    GridTable t(4);
    const QStringList texts{
        QString(),
        QStringLiteral("plain"),
        QString::fromUtf8("caf\u00e9 \u65e5\u672c \U0001F600"),  // two-byte, three-byte, pair
        QString(2000, QLatin1Char('x')),
    };
    const QByteArray path("/home/ann/a\tb\nc\xff\x00 end", 21);
    const qsizetype row = t.appendRow(texts, path, 1, 'B');
    EXPECT_EQ(row, 1);
    EXPECT_EQ(t.rowCells(row), texts);
    EXPECT_EQ(t.rowData(row), path);
    EXPECT_EQ(t.cellUtf8(2, row), texts[2].toUtf8());

    // A lone surrogate cannot be stored as UTF-8: it reads back as U+FFFD.
    t.setCell(1, row, QString(QChar(0xD800)) + QStringLiteral("z"));
    EXPECT_EQ(t.cell(1, row), QString(QChar(0xFFFD)) + QStringLiteral("z"));

    // Writing cells keeps the hidden value and the per-row data, and the other way round.
    t.setCell(3, row, QString());
    t.setRowData(row, "/other");
    EXPECT_EQ(t.cell(2, row), texts[2]);
    EXPECT_EQ(t.cell(3, row), QString());
    EXPECT_EQ(t.rowData(row), QByteArray("/other"));
    t.setRowCells(row, {QStringLiteral("one")});
    EXPECT_EQ(t.rowCells(row), (QStringList{"one", "", "", ""}));
    EXPECT_EQ(t.rowData(row), QByteArray("/other"));
    EXPECT_EQ(t.mark(row), 1);
    EXPECT_EQ(t.band(row), 'B');

    // Outside the grid: reads are empty, writes change nothing.
    t.setCell(4, row, QStringLiteral("no"));
    t.setCell(0, 2, QStringLiteral("no"));
    t.setMark(7, 1);
    EXPECT_EQ(t.cell(4, row), QString());
    EXPECT_EQ(t.cell(0, 2), QString());
    EXPECT_EQ(t.mark(7), 0);
    EXPECT_EQ(t.rowCount(), 2);

    // Cells beyond a row's columns are dropped; a narrowed grid that widens again shows
    // empty cells, not the old ones.
    t.appendRow({"a", "b", "c", "d", "e"});
    EXPECT_EQ(t.rowCells(2), (QStringList{"a", "b", "c", "d"}));
    t.setColumnCount(2);
    t.setColumnCount(4);
    EXPECT_EQ(t.rowCells(2), (QStringList{"a", "b", "", ""}));
}

TEST(GridTable, RowsMoveWholeWithTheirData) {
    GridTable t(2);
    t.setTitles({"Name", "Size"});
    for (int i = 1; i <= 5; ++i) {
        t.appendRow({QStringLiteral("r%1").arg(i), QString::number(i)},
                    QByteArray("/p/") + QByteArray::number(i), static_cast<quint8>(i % 2),
                    static_cast<char>('A' + i % 2));
    }
    auto order = [&t] {
        QString s;
        for (qsizetype r = 1; r < t.rowCount(); ++r) {
            const int id = t.cell(1, r).toInt();
            // Every part of the row must still belong to the same id.
            EXPECT_EQ(t.cell(0, r), QStringLiteral("r%1").arg(id));
            EXPECT_EQ(t.rowData(r), QByteArray("/p/") + QByteArray::number(id));
            EXPECT_EQ(t.mark(r), id % 2);
            EXPECT_EQ(t.band(r), 'A' + id % 2);
            s += QString::number(id);
        }
        return s;
    };
    t.swapRows(1, 5);
    EXPECT_EQ(order(), "52341");
    t.moveRow(1, 4);  // down
    EXPECT_EQ(order(), "23451");
    t.moveRow(5, 2);  // up
    EXPECT_EQ(order(), "21345");
    const std::vector<qsizetype> permutation{4, 2, 3};
    EXPECT_TRUE(t.reorderRows(2, permutation));
    EXPECT_EQ(order(), "24135");
    const std::vector<qsizetype> notPermutation{2, 2, 3};
    const std::vector<qsizetype> outside{2, 3, 5};
    EXPECT_FALSE(t.reorderRows(2, notPermutation));
    EXPECT_FALSE(t.reorderRows(2, outside));
    EXPECT_EQ(order(), "24135");
    EXPECT_EQ(t.rowCells(0), (QStringList{"Name", "Size"}));
}

TEST(GridTable, AnnouncesChangesOncePerBatch) {
    GridTable t(2);
    Recorder rec(t);
    QList<GridRow> batch;
    for (int i = 0; i < 100; ++i)
        batch.append({{QString::number(i), "x"}, "/p", 0, 0});
    t.appendRows(batch);
    t.setCell(1, 3, QStringLiteral("y"));
    t.setMark(4, 1);
    t.setMark(4, 1);  // no change, no signal
    t.swapRows(1, 2);
    t.removeRows(0, 3);  // the title row stays: rows 1 and 2 go
    t.beginUpdate();
    t.beginUpdate();
    t.appendRow({"a"});
    t.setCell(0, 1, QStringLiteral("b"));
    t.endUpdate();
    t.clearRows();
    t.endUpdate();
    EXPECT_EQ(rec.log, (QStringList{"+1-100", "cells 3-3 1-1", "cells 4-4 0-1", "move", "-1-2",
                                    "reset<", ">reset"}));
    EXPECT_EQ(t.rowCount(), 1);
}

// A table filled by batches elsewhere takes the shown table's place whole: rows from
// batches (whose blocks the table shares) stay readable after the table they came
// from is gone, and each table tells its observers once.
TEST(GridTable, SwapContentsExchangesEverythingAndResetsEachObserverOnce) {
    GridTable shown(2);
    shown.setTitles({"A", "B"});
    shown.appendRow({"old", "row"}, "/old");
    Recorder rec(shown);
    {
        GridTable built(3);
        built.setTitles({"Size", "Name", "Path"});
        GridRowBatch batch(built);
        for (int i = 0; i < 5000; ++i) {
            const QByteArray n = QByteArray::number(i);
            const QByteArray name = "f" + n;
            const QByteArray path = "/d/" + name;
            const QByteArrayView cells[] = {n, name, path};
            batch.addRow(cells, path, quint8(i % 2), 'A');
        }
        batch.commit();
        Recorder builtRec(built);
        shown.swapContents(built);
        shown.swapContents(shown);
        EXPECT_EQ(builtRec.log, (QStringList{"reset<", ">reset"}));
        EXPECT_EQ(built.columnCount(), 2);
        EXPECT_EQ(built.rowCells(1), (QStringList{"old", "row"}));
        EXPECT_EQ(built.rowData(1), QByteArray("/old"));
    }
    EXPECT_EQ(rec.log, (QStringList{"reset<", ">reset"}));
    ASSERT_EQ(shown.rowCount(), 5001);
    EXPECT_EQ(shown.columnCount(), 3);
    EXPECT_EQ(shown.rowCells(0), (QStringList{"Size", "Name", "Path"}));
    EXPECT_EQ(shown.rowCells(4321), (QStringList{"4320", "f4320", "/d/f4320"}));
    EXPECT_EQ(shown.rowData(5000), QByteArray("/d/f4999"));
    EXPECT_EQ(shown.mark(2), 1);
    shown.clearRows();
    EXPECT_EQ(shown.rowCount(), 1);
}

TEST(GridTable, RowCountKeepsTheTitleRow) {
    GridTable t(1);
    t.setTitles({"T"});
    t.setRowCount(4);
    EXPECT_EQ(t.rowCount(), 4);
    EXPECT_EQ(t.cell(0, 3), QString());
    t.setCell(0, 3, QStringLiteral("last"));
    t.insertRows(1, 2);
    EXPECT_EQ(t.rowCount(), 6);
    EXPECT_EQ(t.cell(0, 5), QStringLiteral("last"));
    t.insertRows(0, 1);  // nothing goes before the title row
    EXPECT_EQ(t.rowCount(), 6);
    t.setRowCount(0);
    EXPECT_EQ(t.rowCount(), 1);
    EXPECT_EQ(t.title(0), QStringLiteral("T"));
}

// The batch must store every row exactly as appendRow() with the decoded texts does: the
// same cells (bad UTF-8 read as U+FFFD), the hidden value byte for byte, mark and band.
TEST(GridRowBatch, RowsReadBackAsAppendRowStoresThem) {
    struct Case {
        const char* what;
        std::vector<QByteArray> cells;
        QByteArray data;
        quint8 mark;
        char band;
    };
    const QByteArray hostile("/d/a\tb\nc\xff\xfe\x00 end ", 19);
    const std::vector<Case> cases{
        {"plain", {"name", "1,024", "5/3/2024"}, "/d/name", 0, 'A'},
        {"tab, newline, blanks", {"a\tb", "line1\nline2", "  both  "}, hostile, 1, 'B'},
        {"multi-byte", {"caf\xc3\xa9", "\xe6\x97\xa5", "\xf0\x9f\x98\x80"}, "/x", 0, 0},
        {"bad UTF-8 in cells", {"bad\xff", "\xc3", "\xed\xa0\x80 sur"}, hostile, 3, 'A'},
        {"empty cells between", {"", "mid", ""}, "", 0, 0},
        {"nothing at all", {}, "", 0, 0},
        {"hidden value only", {}, QByteArray("\x00\x01", 2), 2, 0},
        {"more cells than columns", {"a", "b", "c", "d", "e"}, "/e", 0, 0},
    };
    GridTable expected(3);
    GridTable actual(3);
    GridTable wholeRows(3);  // the same rows through addRow
    GridRowBatch batch(actual);
    GridRowBatch rowBatch(wholeRows);
    for (const Case& c : cases) {
        QStringList texts;
        std::vector<QByteArrayView> views;
        for (const QByteArray& cell : c.cells) {
            texts << QString::fromUtf8(cell);
            views.push_back(cell);
        }
        expected.appendRow(texts, c.data, c.mark, c.band);
        for (const QByteArray& cell : c.cells)
            batch.addCell(cell);
        batch.endRow(c.data, c.mark, c.band);
        rowBatch.addRow(views, c.data, c.mark, c.band);
    }
    EXPECT_EQ(actual.rowCount(), 1);  // nothing is seen before the commit
    EXPECT_EQ(batch.commit(), 1);
    EXPECT_EQ(rowBatch.commit(), 1);
    ASSERT_EQ(actual.rowCount(), expected.rowCount());
    ASSERT_EQ(wholeRows.rowCount(), expected.rowCount());
    for (size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(cases[k].what);
        const auto row = static_cast<qsizetype>(k + 1);
        for (const GridTable* table : {&actual, &wholeRows}) {
            EXPECT_EQ(table->rowCells(row), expected.rowCells(row));
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(table->cellUtf8(c, row).toByteArray(),
                          expected.cellUtf8(c, row).toByteArray());
            EXPECT_EQ(table->rowData(row), cases[k].data);
            EXPECT_EQ(table->mark(row), cases[k].mark);
            EXPECT_EQ(table->band(row), cases[k].band);
        }
    }
    // Trailing empty cells and cells beyond the last column are left out of the blocks:
    // they take what rows given without them take.
    GridTable trimmed(3);
    {
        GridRowBatch plain(trimmed);
        for (const Case& c : cases) {
            std::vector<QByteArray> cells(c.cells.begin(),
                                          c.cells.begin() + std::min<size_t>(c.cells.size(), 3));
            while (!cells.empty() && cells.back().isEmpty())
                cells.pop_back();
            for (const QByteArray& cell : cells)
                plain.addCell(cell);
            plain.endRow(c.data, c.mark, c.band);
        }
        plain.commit();
    }
    actual.squeeze();
    trimmed.squeeze();
    wholeRows.squeeze();
    EXPECT_EQ(actual.memoryUsage(), trimmed.memoryUsage());
    EXPECT_EQ(wholeRows.memoryUsage(), trimmed.memoryUsage());
    EXPECT_EQ(actual.cell(0, 4), QStringLiteral("bad") + QChar(0xFFFD));

    // A cell may come in pieces and as text; the next row starts at column 0 again.
    batch.append(QByteArrayView("/home/"));
    batch.append(QStringView(u"\u00e9t\u00e9"));
    batch.endCell();
    batch.append(QByteArrayView("open"));  // ended by endRow
    batch.endRow("/home/x");
    batch.addCell("next");
    batch.endRow();
    EXPECT_EQ(batch.commit(), 9);
    EXPECT_EQ(actual.rowCells(9),
              (QStringList{QString::fromUtf8("/home/\u00e9t\u00e9"), "open", ""}));
    EXPECT_EQ(actual.rowCells(10), (QStringList{"next", "", ""}));
    EXPECT_EQ(batch.commit(), -1);  // nothing waits
}

TEST(GridRowBatch, AHiddenValueGivenAsOneOfTheCellsIsKeptOnce) {
    const QByteArray path("/data/some/long/folder/name.txt");
    const QByteArray other("/data/some/long/folder/name.txt");  // equal, not the same bytes
    GridTable shared(3);
    GridTable copied(3);
    {
        GridRowBatch a(shared);
        GridRowBatch b(copied);
        const QByteArrayView cells[] = {"1,024", path, "Text"};
        a.addRow(cells, path, 1, 'A');
        const QByteArrayView otherCells[] = {"1,024", other, "Text"};
        b.addRow(otherCells, path, 1, 'A');
        a.commit();
        b.commit();
    }
    for (const GridTable* t : {&shared, &copied}) {
        EXPECT_EQ(t->rowData(1), path);
        EXPECT_EQ(t->cellUtf8(1, 1), QByteArrayView(path));
        EXPECT_EQ(t->mark(1), 1);
        EXPECT_EQ(t->band(1), 'A');
    }
    EXPECT_EQ(shared.memoryUsage() + ((path.size() + 7) & ~7), copied.memoryUsage());
    // The value stays what it was through changes of its cell and of the columns.
    shared.setCell(1, 1, u"renamed");
    EXPECT_EQ(shared.rowData(1), path);
    EXPECT_EQ(shared.cell(1, 1), QStringLiteral("renamed"));
    GridTable narrowed(3);
    {
        GridRowBatch batch(narrowed);
        const QByteArrayView cells[] = {"1,024", "x", path};
        batch.addRow(cells, path);
        batch.commit();
    }
    narrowed.setColumnCount(1);
    EXPECT_EQ(narrowed.rowData(1), path);
    narrowed.setColumnCount(3);
    EXPECT_EQ(narrowed.cell(2, 1), QString());
    EXPECT_EQ(narrowed.rowData(1), path);
    narrowed.setRowData(1, "/else");
    EXPECT_EQ(narrowed.rowData(1), QByteArray("/else"));
    EXPECT_EQ(narrowed.cell(0, 1), QStringLiteral("1,024"));
}

// Rows from a batch share their allocations: each must read back right through edits,
// moves and removals of its neighbours, and through the table being emptied between
// commits of the same batch.
TEST(GridRowBatch, RowsSurviveEditsMovesAndEmptyingBetweenCommits) {
    GridTable t(2);
    t.setTitles({QStringLiteral("N"), QStringLiteral("S")});
    GridRowBatch batch(t);
    const auto add = [&](const char* name, const char* size) {
        batch.addCell(name);
        batch.addCell(size);
        batch.endRow(QByteArray("/p/") + name);
    };
    const auto rows = [&] {
        QStringList out;
        for (qsizetype r = 0; r < t.rowCount(); ++r)
            out << t.rowCells(r).join(u',') + u'@' + QString::fromUtf8(t.rowData(r));
        return out;
    };
    add("a", "1");
    add("b", "2");
    add("c", "3");
    batch.commit();
    t.setCell(0, 2, u"B");
    t.moveRow(3, 1);
    t.swapRows(0, 2);
    EXPECT_EQ(rows(), QStringList({"a,1@/p/a", "c,3@/p/c", "N,S@", "B,2@/p/b"}));
    t.swapRows(0, 2);
    t.removeRows(2, 1);
    EXPECT_EQ(rows(), QStringList({"N,S@", "c,3@/p/c", "B,2@/p/b"}));

    add("d", "4");
    t.clearRows();
    batch.commit();
    EXPECT_EQ(rows(), QStringList({"N,S@", "d,4@/p/d"}));
    t.clearRows();
    add("e", "5");
    batch.commit();
    t.clearRows();
    add("f", "6");
    add("g", "7");
    batch.commit();
    EXPECT_EQ(rows(), QStringList({"N,S@", "f,6@/p/f", "g,7@/p/g"}));
}

TEST(GridRowBatch, AnnouncesEachCommitOnceAndDropsWhatWasNotCommitted) {
    GridTable t(2);
    Recorder rec(t);
    {
        GridRowBatch batch(t);
        for (int i = 0; i < 1000; ++i) {
            batch.addCell(QByteArray::number(i));
            batch.endRow("/p");
        }
        EXPECT_EQ(batch.pendingCount(), 1000);
        batch.commit();
        EXPECT_EQ(batch.pendingCount(), 0);
        batch.addCell("dropped");
        batch.endRow();
    }
    t.beginUpdate();
    GridRowBatch quiet(t);
    quiet.addCell("while updating");
    quiet.endRow();
    quiet.commit();
    t.endUpdate();
    EXPECT_EQ(rec.log, (QStringList{"+1-1000", "reset<", ">reset"}));
    EXPECT_EQ(t.rowCount(), 1002);
    EXPECT_EQ(t.cell(0, 1000), QStringLiteral("999"));
    EXPECT_EQ(t.cell(0, 1001), QStringLiteral("while updating"));
}

}  // namespace
}  // namespace dw
