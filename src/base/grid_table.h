#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace dw {

class GridRowBatch;

// One row ready to be appended: the texts of its cells (column 0 first; missing cells
// are empty, cells beyond the grid's column count are dropped), the hidden value it
// carries (for a file, its native path) and its per-row data.
struct GridRow {
    QStringList cells;
    QByteArray data;
    quint8 mark = 0;
    char band = 0;
};

// The storage of a string grid: rows of text cells, row 0 the title row, each row with a
// mark, a band tag and one hidden byte value. Holds millions of rows: a row's cells and
// hidden value live in one compact block (UTF-8 text), a row record is 16 bytes, and an
// empty row allocates nothing; the rows a GridRowBatch adds share large allocations,
// which the table gives back when its last data row goes. Rows always move whole: cells,
// mark, band and hidden value.
//
// Row numbers run from 0 (the title row) to rowCount() - 1; the grid always has its
// title row, so rowCount() is at least 1. Reads outside the grid give empty values; writes
// outside it are ignored.
//
// The table tells observers (the view's model) about every change through its signals.
// Between beginUpdate() and the matching endUpdate() it sends no fine-grained signal,
// only aboutToReset() at the start and reset() at the end: the way to fill or change many
// rows at once. No cell text is kept as display text other than the cell itself; text
// that is not valid UTF-16 (a lone surrogate) is stored as U+FFFD.
class GridTable : public QObject {
    Q_OBJECT

public:
    explicit GridTable(int columnCount = 0, QObject* parent = nullptr);
    ~GridTable() override;
    GridTable(const GridTable&) = delete;
    GridTable& operator=(const GridTable&) = delete;

    // Columns. Shrinking hides the cells beyond the new count (they read as empty) and
    // growing shows empty cells; a change resets observers. Negative counts count as 0.
    int columnCount() const { return columns_; }
    void setColumnCount(int count);

    // Rows, the title row included (at least 1). setRowCount adds empty rows at the end
    // or removes rows from the end; counts below 1 keep only the title row.
    qsizetype rowCount() const { return static_cast<qsizetype>(rows_.size()); }
    void setRowCount(qsizetype count);

    // Cell text; empty outside the grid.
    QString cell(int column, qsizetype row) const;
    // The cell's stored UTF-8 bytes, without copying. Stays valid until that row is
    // written, removed or the table destroyed; moving rows does not invalidate it.
    QByteArrayView cellUtf8(int column, qsizetype row) const;
    // Sets one cell; ignored outside the grid.
    void setCell(int column, qsizetype row, QStringView text);

    // All cells of a row (columnCount() texts); empty list outside the grid.
    QStringList rowCells(qsizetype row) const;
    // Replaces the cells of a row, keeping its mark, band and hidden value. Missing
    // cells become empty. Ignored outside the grid.
    void setRowCells(qsizetype row, const QStringList& cells);
    // The title row (row 0): its cells are the column titles.
    void setTitles(const QStringList& titles) { setRowCells(0, titles); }
    QString title(int column) const { return cell(column, 0); }

    // Per-row data. The mark is 0 for an unmarked row; a marked row carries a non-zero
    // value (1, or a glyph number of the window's choosing). The band tag is a character
    // of the window's choosing ('A', 'B'), 0 for none. Reads outside the grid give 0;
    // writes outside it are ignored.
    quint8 mark(qsizetype row) const;
    bool isMarked(qsizetype row) const { return mark(row) != 0; }
    void setMark(qsizetype row, quint8 mark);
    char band(qsizetype row) const;
    void setBand(qsizetype row, char band);

    // The row's hidden value, such as the native path of the row's file: bytes exactly as
    // given (any byte, NUL included). Empty outside the grid. The view form stays valid as
    // cellUtf8() does.
    QByteArray rowData(qsizetype row) const { return rowDataView(row).toByteArray(); }
    QByteArrayView rowDataView(qsizetype row) const;
    void setRowData(qsizetype row, QByteArrayView data);

    // Appends one row and returns its number.
    qsizetype appendRow(const QStringList& cells, QByteArrayView data = {}, quint8 mark = 0,
                        char band = 0);
    // Appends a batch of rows with one insertion signal for all of them.
    void appendRows(std::span<const GridRow> rows);
    void appendRows(const QList<GridRow>& rows) {
        appendRows(std::span<const GridRow>(rows.constData(), rows.size()));
    }
    // Inserts `count` empty rows before row `before` (1 to rowCount(); the title row stays
    // first). Ignored for other positions or count < 1.
    void insertRows(qsizetype before, qsizetype count);
    // Removes rows first to first + count - 1, clipped to the data rows (the title row is
    // never removed).
    void removeRows(qsizetype first, qsizetype count);
    // Removes every data row; the titles and the column count stay.
    void clearRows();

    // Whole-row moves: cells, mark, band and hidden value travel together. Out-of-range
    // rows make these do nothing. The title row can be moved by them like any row; the
    // callers keep it in place.
    void swapRows(qsizetype a, qsizetype b);
    // Takes row `from` out and puts it back so that it ends up as row `to`.
    void moveRow(qsizetype from, qsizetype to);
    // Puts the rows first, first + 1, ... in a new order: row first + k receives the row
    // that was row order[k]. Returns false and changes nothing unless `order` holds each
    // number of first to first + order.size() - 1 exactly once.
    bool reorderRows(qsizetype first, std::span<const qsizetype> order);

    // Exchanges everything the two tables hold (columns, rows, their blocks) in a moment,
    // each table resetting its observers: a table filled where no view watches it (on
    // another thread) takes the place of the one shown. Nothing happens with itself.
    void swapContents(GridTable& other);

    // Starts or ends a bulk change (they nest): see the class comment.
    void beginUpdate();
    void endUpdate();
    bool isUpdating() const { return updating_ > 0; }

    // Returns unused room of the row list to the allocator.
    void squeeze();
    // Heap bytes the table holds: row records (by capacity) plus row blocks with their
    // allocator overhead, estimated. For measuring the cost per row.
    qsizetype memoryUsage() const;

signals:
    // Rows first to last are about to appear / have appeared.
    void rowsAboutToBeInserted(qsizetype first, qsizetype last);
    void rowsInserted(qsizetype first, qsizetype last);
    // Rows first to last are about to go / have gone.
    void rowsAboutToBeRemoved(qsizetype first, qsizetype last);
    void rowsRemoved(qsizetype first, qsizetype last);
    // Rows are about to change places / have changed places (no row appeared or went).
    void rowsAboutToBeMoved();
    void rowsMoved();
    // Cells or per-row data of rows first to last (columns firstColumn to lastColumn)
    // changed.
    void cellsChanged(qsizetype first, qsizetype last, int firstColumn, int lastColumn);
    // Everything may have changed (column count, bulk change).
    void aboutToReset();
    void reset();

private:
    friend class GridRowBatch;

    // A row's block is its own allocation, or a part of a batch's (arenas_), marked by
    // the pointer's low bit and given back with the whole allocation.
    struct FreeBlock {
        void operator()(char* p) const {
            if ((reinterpret_cast<quintptr>(p) & 1) == 0)
                std::free(p);
        }
    };
    struct Row {
        std::unique_ptr<char, FreeBlock> block;
        quint8 mark = 0;
        char band = 0;
    };
    static const char* blockOf(const Row& r) {
        return reinterpret_cast<const char*>(reinterpret_cast<quintptr>(r.block.get()) &
                                             ~quintptr(1));
    }
    static bool inArena(const Row& r) {
        return (reinterpret_cast<quintptr>(r.block.get()) & 1) != 0;
    }

    bool validRow(qsizetype row) const { return row >= 0 && row < rowCount(); }
    static Row makeRow(const QStringList& cells, int columns, QByteArrayView data);
    void replaceBlock(qsizetype row, const QStringList& cells, QByteArrayView data);
    void notifyCells(qsizetype first, qsizetype last, int firstColumn, int lastColumn);
    void notifyMoves(bool before);
    // Appends rows built already, with one insertion signal for all of them.
    void appendBuilt(std::vector<Row>& built);

    std::vector<Row> rows_;
    std::vector<std::unique_ptr<char[]>> arenas_;  // the blocks of rows from batches
    int columns_ = 0;
    int updating_ = 0;
};

// Appends many rows to a GridTable whose cells are UTF-8 bytes already: each row is
// written cell by cell into one buffer and stored as the table's block for it, with no
// QString and no list per row. Rows wait in the batch until commit() puts them into the
// table all at once.
//
// Cells come in column order (column 0 first); cells beyond the table's column count are
// dropped, missing ones are empty. A cell's bytes that are not valid UTF-8 are stored as
// QString::fromUtf8 reads them (each bad sequence as U+FFFD), so a row reads back exactly
// as appendRow() with the decoded texts would store it. The hidden value is kept byte for
// byte, whatever it holds.
//
// The table must outlive the batch. Rows not committed when the batch goes are dropped,
// and the table never sees them.
class GridRowBatch {
public:
    explicit GridRowBatch(GridTable& table);
    ~GridRowBatch();
    GridRowBatch(const GridRowBatch&) = delete;
    GridRowBatch& operator=(const GridRowBatch&) = delete;

    // Makes room for `rows` waiting rows.
    void reserve(qsizetype rows);

    // Adds bytes (UTF-8) or text to the end of the cell being written.
    void append(QByteArrayView utf8) {
        bytes_.append(utf8.data(), static_cast<size_t>(utf8.size()));
    }
    void append(QStringView text);
    // Ends the cell being written; what is appended next goes to the next column.
    void endCell();
    // append(utf8), then endCell().
    void addCell(QByteArrayView utf8) {
        append(utf8);
        endCell();
    }

    // Ends the row being written (and a cell begun in it) with its hidden value, mark and
    // band. The row waits for commit(); the next append starts a new row at column 0.
    // Throws std::bad_alloc when its block cannot be had; the rows ended before stay.
    void endRow(QByteArrayView data = {}, quint8 mark = 0, char band = 0);

    // The same as addCell() for each of `cells` and then endRow(data, mark, band), in
    // one step: rows of ASCII cells (nearly all) are written straight into their block.
    void addRow(std::span<const QByteArrayView> cells, QByteArrayView data = {}, quint8 mark = 0,
                char band = 0);

    // Rows ended and not yet committed.
    qsizetype pendingCount() const { return static_cast<qsizetype>(pending_.size()); }

    // Appends the waiting rows to the table in the order they were ended, with one
    // rowsAboutToBeInserted / rowsInserted pair for all of them (none while the table is
    // updating). Returns the number of the first row appended, or -1 when none waited.
    // The batch is then empty and takes further rows; a row being written stays open.
    qsizetype commit();

private:
    // A block of `bytes` in the current allocation (a new one when it is full), and the
    // last such block given back.
    char* carve(size_t bytes);
    void uncarve(size_t bytes);

    GridTable& table_;
    std::string bytes_;          // the cells of the row being written, back to back
    std::vector<quint32> ends_;  // end offset of each cell ended so far
    std::vector<GridTable::Row> pending_;
    QString scratch_;
    // The blocks of the rows ended since the last commit, written one after the other.
    static constexpr size_t kArenaBytes = 256 * 1024;
    std::vector<std::unique_ptr<char[]>> arenas_;
    char* arenaAt_ = nullptr;
    size_t arenaLeft_ = 0;
};

}  // namespace dw
