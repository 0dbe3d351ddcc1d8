#include "base/grid_table.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>

namespace dw {

namespace {

// A row block: a quint32 header, then n quint32 end offsets, then the bytes of the parts
// back to back. The header's low 24 bits hold the part count n, its high 8 bits 0 or,
// for a hidden value that is the same as a cell (a file's path, shown as a cell too), that
// cell's column + 1. Parts 0 to n - 2 are the cells (UTF-8), part n - 1 the hidden value,
// stored empty when it is such a cell. Trailing empty cells are not stored, so short rows
// stay short.
constexpr qsizetype kHeader = sizeof(quint32);
constexpr quint32 kCountMask = 0xFFFFFF;
constexpr int kSameAsShift = 24;
constexpr quint32 kMaxSameAs = 0xFF;

quint32 header(const char* block) {
    quint32 h;
    std::memcpy(&h, block, sizeof h);
    return h;
}

quint32 partCount(const char* block) {
    return header(block) & kCountMask;
}

quint32 partEnd(const char* block, quint32 i) {
    quint32 e;
    std::memcpy(&e, block + kHeader + i * sizeof(quint32), sizeof e);
    return e;
}

const char* partBytes(const char* block) {
    return block + kHeader + partCount(block) * sizeof(quint32);
}

QByteArrayView part(const char* block, quint32 i) {
    const quint32 begin = i == 0 ? 0 : partEnd(block, i - 1);
    const quint32 end = partEnd(block, i);
    return QByteArrayView(partBytes(block) + begin, end - begin);
}

// Whether the bytes are all ASCII. Most cells are short: eight bytes at a time, without a
// vector loop's set-up.
bool isAscii(const char* p, size_t size) {
    quint64 high = 0;
    size_t k = 0;
    for (; k + 8 <= size; k += 8) {
        quint64 word;
        std::memcpy(&word, p + k, sizeof word);
        high |= word;
    }
    for (; k < size; ++k)
        high |= static_cast<unsigned char>(p[k]);
    return (high & 0x8080808080808080ull) == 0;
}

// The hidden value of a block.
QByteArrayView dataPart(const char* block) {
    const quint32 sameAs = header(block) >> kSameAsShift;
    return part(block, sameAs != 0 ? sameAs - 1 : partCount(block) - 1);
}

qsizetype blockSize(const char* block) {
    const quint32 n = partCount(block);
    return kHeader + n * sizeof(quint32) + (n == 0 ? 0 : partEnd(block, n - 1));
}

// Our own UTF-8 encoder: no temporary QByteArray per cell, and a lone surrogate becomes
// U+FFFD exactly as its length was counted.
qsizetype utf8Length(QStringView s) {
    qsizetype n = 0;
    const qsizetype size = s.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = s[i].unicode();
        if (c < 0x80) {
            n += 1;
        } else if (c < 0x800) {
            n += 2;
        } else if (QChar::isHighSurrogate(c) && i + 1 < size &&
                   QChar::isLowSurrogate(s[i + 1].unicode())) {
            n += 4;
            ++i;
        } else {
            n += 3;
        }
    }
    return n;
}

char* writeUtf8(char* out, QStringView s) {
    const qsizetype size = s.size();
    for (qsizetype i = 0; i < size; ++i) {
        char32_t c = s[i].unicode();
        if (c < 0x80) {
            *out++ = static_cast<char>(c);
        } else if (c < 0x800) {
            *out++ = static_cast<char>(0xC0 | (c >> 6));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && i + 1 < size &&
                   QChar::isLowSurrogate(s[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(static_cast<char16_t>(c), s[i + 1].unicode());
            ++i;
            *out++ = static_cast<char>(0xF0 | (c >> 18));
            *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            if (QChar::isSurrogate(c))
                c = 0xFFFD;
            *out++ = static_cast<char>(0xE0 | (c >> 12));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// One part of a block being built: text to encode, or bytes to copy as they are.
struct Part {
    QStringView text;
    QByteArrayView bytes;
    bool isText = false;
    qsizetype length = 0;
};

// Builds a block from `cells` (already trimmed of trailing empty cells) and `data`;
// nullptr when there is nothing to store.
char* buildBlock(std::vector<Part>& cells, QByteArrayView data) {
    if (cells.empty() && data.isEmpty())
        return nullptr;
    qsizetype bytes = 0;
    for (Part& p : cells) {
        p.length = p.isText ? utf8Length(p.text) : p.bytes.size();
        bytes += p.length;
    }
    bytes += data.size();
    const auto n = static_cast<quint32>(cells.size() + 1);
    const qsizetype total = kHeader + n * sizeof(quint32) + bytes;
    if (bytes > std::numeric_limits<quint32>::max())
        throw std::bad_alloc();
    char* block = static_cast<char*>(std::malloc(static_cast<size_t>(total)));
    if (!block)
        throw std::bad_alloc();
    std::memcpy(block, &n, sizeof n);
    char* out = block + kHeader + n * sizeof(quint32);
    char* const start = out;
    quint32 i = 0;
    auto setEnd = [&] {
        const auto e = static_cast<quint32>(out - start);
        std::memcpy(block + kHeader + i * sizeof(quint32), &e, sizeof e);
        ++i;
    };
    for (const Part& p : cells) {
        if (p.isText) {
            out = writeUtf8(out, p.text);
        } else if (p.length > 0) {
            std::memcpy(out, p.bytes.data(), static_cast<size_t>(p.length));
            out += p.length;
        }
        setEnd();
    }
    if (!data.isEmpty()) {
        std::memcpy(out, data.data(), static_cast<size_t>(data.size()));
        out += data.size();
    }
    setEnd();
    return block;
}

void trimTrailingEmpty(std::vector<Part>& parts) {
    while (!parts.empty()) {
        const Part& p = parts.back();
        if ((p.isText && !p.text.isEmpty()) || (!p.isText && !p.bytes.isEmpty()))
            break;
        parts.pop_back();
    }
}

// The stored cells of an existing block, at most `columns` of them, as raw parts.
std::vector<Part> storedCells(const char* block, int columns) {
    std::vector<Part> parts;
    if (!block)
        return parts;
    const quint32 cells = partCount(block) - 1;
    const quint32 keep = std::min<quint32>(cells, static_cast<quint32>(std::max(columns, 0)));
    parts.reserve(keep);
    for (quint32 i = 0; i < keep; ++i) {
        Part p;
        p.bytes = part(block, i);
        parts.push_back(p);
    }
    return parts;
}

std::vector<Part> textCells(const QStringList& cells, int columns) {
    std::vector<Part> parts;
    const qsizetype keep = std::min<qsizetype>(cells.size(), std::max(columns, 0));
    parts.reserve(static_cast<size_t>(keep));
    for (qsizetype i = 0; i < keep; ++i) {
        Part p;
        p.text = cells[i];
        p.isText = true;
        parts.push_back(p);
    }
    return parts;
}

}  // namespace

GridTable::GridTable(int columnCount, QObject* parent)
    : QObject(parent), columns_(std::max(columnCount, 0)) {
    static_assert(sizeof(Row) == 16, "a row record stays at 16 bytes for a million-row grid");
    rows_.resize(1);
}

GridTable::~GridTable() = default;

void GridTable::setColumnCount(int count) {
    count = std::max(count, 0);
    if (count == columns_)
        return;
    beginUpdate();
    if (count < columns_) {
        // Really drop the hidden cells, so that growing the grid again shows empty cells
        // and not stale ones.
        for (Row& r : rows_) {
            const char* block = blockOf(r);
            if (!block || partCount(block) - 1 <= static_cast<quint32>(count))
                continue;
            std::vector<Part> cells = storedCells(block, count);
            trimTrailingEmpty(cells);
            r.block.reset(buildBlock(cells, dataPart(block)));
        }
    }
    columns_ = count;
    endUpdate();
}

void GridTable::setRowCount(qsizetype count) {
    count = std::max<qsizetype>(count, 1);
    const qsizetype old = rowCount();
    if (count > old) {
        if (!isUpdating())
            emit rowsAboutToBeInserted(old, count - 1);
        rows_.resize(static_cast<size_t>(count));
        if (!isUpdating())
            emit rowsInserted(old, count - 1);
    } else if (count < old) {
        removeRows(count, old - count);
    }
}

QByteArrayView GridTable::cellUtf8(int column, qsizetype row) const {
    if (!validRow(row) || column < 0 || column >= columns_)
        return {};
    const char* block = blockOf(rows_[static_cast<size_t>(row)]);
    if (!block || static_cast<quint32>(column) >= partCount(block) - 1)
        return {};
    return part(block, static_cast<quint32>(column));
}

QString GridTable::cell(int column, qsizetype row) const {
    const QByteArrayView bytes = cellUtf8(column, row);
    return bytes.isEmpty() ? QString() : QString::fromUtf8(bytes);
}

void GridTable::setCell(int column, qsizetype row, QStringView text) {
    if (!validRow(row) || column < 0 || column >= columns_)
        return;
    Row& r = rows_[static_cast<size_t>(row)];
    const char* block = blockOf(r);
    std::vector<Part> cells = storedCells(block, columns_);
    if (cells.size() <= static_cast<size_t>(column)) {
        if (text.isEmpty())
            return;  // already empty
        cells.resize(static_cast<size_t>(column) + 1);
    }
    Part& p = cells[static_cast<size_t>(column)];
    p = Part{};
    p.text = text;
    p.isText = true;
    trimTrailingEmpty(cells);
    const QByteArrayView data = block ? dataPart(block) : QByteArrayView();
    r.block.reset(buildBlock(cells, data));
    notifyCells(row, row, column, column);
}

QStringList GridTable::rowCells(qsizetype row) const {
    QStringList out;
    if (!validRow(row))
        return out;
    out.reserve(columns_);
    for (int c = 0; c < columns_; ++c)
        out.append(cell(c, row));
    return out;
}

void GridTable::replaceBlock(qsizetype row, const QStringList& cells, QByteArrayView data) {
    std::vector<Part> parts = textCells(cells, columns_);
    trimTrailingEmpty(parts);
    rows_[static_cast<size_t>(row)].block.reset(buildBlock(parts, data));
}

void GridTable::setRowCells(qsizetype row, const QStringList& cells) {
    if (!validRow(row))
        return;
    // The hidden value must be copied out before its block is replaced.
    const QByteArray data = rowData(row);
    replaceBlock(row, cells, data);
    if (columns_ > 0)
        notifyCells(row, row, 0, columns_ - 1);
}

quint8 GridTable::mark(qsizetype row) const {
    return validRow(row) ? rows_[static_cast<size_t>(row)].mark : 0;
}

void GridTable::setMark(qsizetype row, quint8 mark) {
    if (!validRow(row) || rows_[static_cast<size_t>(row)].mark == mark)
        return;
    rows_[static_cast<size_t>(row)].mark = mark;
    notifyCells(row, row, 0, std::max(columns_ - 1, 0));
}

char GridTable::band(qsizetype row) const {
    return validRow(row) ? rows_[static_cast<size_t>(row)].band : 0;
}

void GridTable::setBand(qsizetype row, char band) {
    if (!validRow(row) || rows_[static_cast<size_t>(row)].band == band)
        return;
    rows_[static_cast<size_t>(row)].band = band;
    notifyCells(row, row, 0, std::max(columns_ - 1, 0));
}

QByteArrayView GridTable::rowDataView(qsizetype row) const {
    if (!validRow(row))
        return {};
    const char* block = blockOf(rows_[static_cast<size_t>(row)]);
    return block ? dataPart(block) : QByteArrayView();
}

void GridTable::setRowData(qsizetype row, QByteArrayView data) {
    if (!validRow(row))
        return;
    Row& r = rows_[static_cast<size_t>(row)];
    std::vector<Part> cells = storedCells(blockOf(r), columns_);
    r.block.reset(buildBlock(cells, data));
}

GridTable::Row GridTable::makeRow(const QStringList& cells, int columns, QByteArrayView data) {
    std::vector<Part> parts = textCells(cells, columns);
    trimTrailingEmpty(parts);
    Row r;
    r.block.reset(buildBlock(parts, data));
    return r;
}

qsizetype GridTable::appendRow(const QStringList& cells, QByteArrayView data, quint8 mark,
                               char band) {
    Row r = makeRow(cells, columns_, data);
    r.mark = mark;
    r.band = band;
    const qsizetype row = rowCount();
    if (!isUpdating())
        emit rowsAboutToBeInserted(row, row);
    rows_.push_back(std::move(r));
    if (!isUpdating())
        emit rowsInserted(row, row);
    return row;
}

void GridTable::appendRows(std::span<const GridRow> rows) {
    if (rows.empty())
        return;
    // Build every block before the observers hear of the insertion, so that a failed
    // allocation leaves the table as it was.
    std::vector<Row> built;
    built.reserve(rows.size());
    for (const GridRow& g : rows) {
        Row r = makeRow(g.cells, columns_, g.data);
        r.mark = g.mark;
        r.band = g.band;
        built.push_back(std::move(r));
    }
    appendBuilt(built);
}

void GridTable::appendBuilt(std::vector<Row>& built) {
    if (built.empty())
        return;
    const qsizetype first = rowCount();
    const qsizetype last = first + static_cast<qsizetype>(built.size()) - 1;
    if (rows_.capacity() < rows_.size() + built.size()) {
        // Geometric growth even for many small batches.
        rows_.reserve(std::max(rows_.size() + built.size(), rows_.capacity() * 3 / 2));
    }
    if (!isUpdating())
        emit rowsAboutToBeInserted(first, last);
    rows_.insert(rows_.end(), std::make_move_iterator(built.begin()),
                 std::make_move_iterator(built.end()));
    built.clear();
    if (!isUpdating())
        emit rowsInserted(first, last);
}

void GridTable::insertRows(qsizetype before, qsizetype count) {
    if (before < 1 || before > rowCount() || count < 1)
        return;
    if (!isUpdating())
        emit rowsAboutToBeInserted(before, before + count - 1);
    std::vector<Row> empty(static_cast<size_t>(count));
    rows_.insert(rows_.begin() + before, std::make_move_iterator(empty.begin()),
                 std::make_move_iterator(empty.end()));
    if (!isUpdating())
        emit rowsInserted(before, before + count - 1);
}

void GridTable::removeRows(qsizetype first, qsizetype count) {
    if (count < 1)
        return;
    qsizetype last = first + count - 1;
    first = std::max<qsizetype>(first, 1);
    last = std::min(last, rowCount() - 1);
    if (last < first)
        return;
    if (!isUpdating())
        emit rowsAboutToBeRemoved(first, last);
    rows_.erase(rows_.begin() + first, rows_.begin() + last + 1);
    // Blocks of rows removed from the middle stay in their allocation until no row
    // lives there any more; emptying the table gives them all back.
    if (!arenas_.empty() && rows_.size() == 1 && !inArena(rows_.front()))
        arenas_.clear();
    if (!isUpdating())
        emit rowsRemoved(first, last);
}

void GridTable::clearRows() {
    removeRows(1, rowCount() - 1);
}

void GridTable::swapRows(qsizetype a, qsizetype b) {
    if (!validRow(a) || !validRow(b) || a == b)
        return;
    notifyMoves(true);
    std::swap(rows_[static_cast<size_t>(a)], rows_[static_cast<size_t>(b)]);
    notifyMoves(false);
}

void GridTable::moveRow(qsizetype from, qsizetype to) {
    if (!validRow(from) || !validRow(to) || from == to)
        return;
    notifyMoves(true);
    auto it = rows_.begin();
    if (from < to) {
        std::rotate(it + from, it + from + 1, it + to + 1);
    } else {
        std::rotate(it + to, it + from, it + from + 1);
    }
    notifyMoves(false);
}

bool GridTable::reorderRows(qsizetype first, std::span<const qsizetype> order) {
    const auto n = static_cast<qsizetype>(order.size());
    if (n == 0)
        return true;
    if (first < 0 || first + n > rowCount())
        return false;
    std::vector<bool> seen(static_cast<size_t>(n), false);
    for (qsizetype from : order) {
        const qsizetype k = from - first;
        if (k < 0 || k >= n || seen[static_cast<size_t>(k)])
            return false;
        seen[static_cast<size_t>(k)] = true;
    }
    notifyMoves(true);
    // Only the 16-byte row records move; the row blocks stay where they are.
    std::vector<Row> moved(static_cast<size_t>(n));
    for (qsizetype k = 0; k < n; ++k) {
        moved[static_cast<size_t>(k)] = std::move(rows_[static_cast<size_t>(order[k])]);
    }
    std::move(moved.begin(), moved.end(), rows_.begin() + first);
    notifyMoves(false);
    return true;
}

void GridTable::swapContents(GridTable& other) {
    if (&other == this)
        return;
    beginUpdate();
    other.beginUpdate();
    std::swap(rows_, other.rows_);
    std::swap(arenas_, other.arenas_);
    std::swap(columns_, other.columns_);
    other.endUpdate();
    endUpdate();
}

void GridTable::beginUpdate() {
    if (updating_++ == 0)
        emit aboutToReset();
}

void GridTable::endUpdate() {
    if (updating_ == 0)
        return;
    if (--updating_ == 0)
        emit reset();
}

void GridTable::squeeze() {
    rows_.shrink_to_fit();
}

qsizetype GridTable::memoryUsage() const {
    // glibc's malloc: 8 bytes of chunk header, chunks in steps of 16, at least 32.
    qsizetype bytes = static_cast<qsizetype>(rows_.capacity() * sizeof(Row));
    for (const Row& r : rows_) {
        if (!r.block)
            continue;
        const qsizetype size = blockSize(blockOf(r));
        // A block in a batch's allocation takes its size rounded to 8 and no header.
        bytes += inArena(r) ? (size + 7) & ~7 : std::max<qsizetype>(32, (size + 8 + 15) & ~15);
    }
    return bytes;
}

void GridTable::notifyCells(qsizetype first, qsizetype last, int firstColumn, int lastColumn) {
    if (!isUpdating())
        emit cellsChanged(first, last, firstColumn, lastColumn);
}

void GridTable::notifyMoves(bool before) {
    if (isUpdating())
        return;
    if (before) {
        emit rowsAboutToBeMoved();
    } else {
        emit rowsMoved();
    }
}

GridRowBatch::GridRowBatch(GridTable& table) : table_(table) {
    bytes_.reserve(256);
    ends_.reserve(static_cast<size_t>(std::max(table.columnCount(), 1)));
}

GridRowBatch::~GridRowBatch() = default;

void GridRowBatch::reserve(qsizetype rows) {
    pending_.reserve(static_cast<size_t>(std::max<qsizetype>(rows, 0)));
}

void GridRowBatch::append(QStringView text) {
    const size_t at = bytes_.size();
    bytes_.resize(at + static_cast<size_t>(utf8Length(text)));
    writeUtf8(bytes_.data() + at, text);
}

void GridRowBatch::endCell() {
    const size_t begin = ends_.empty() ? 0 : ends_.back();
    if (ends_.size() >= static_cast<size_t>(table_.columnCount())) {
        bytes_.resize(begin);  // beyond the last column
        return;
    }
    // ASCII is stored as it is; anything else goes through the decoder, so that the cell
    // holds exactly what its text would.
    const char* p = bytes_.data() + begin;
    const size_t size = bytes_.size() - begin;
    if (!isAscii(p, size)) {
        scratch_ = QString::fromUtf8(bytes_.data() + begin, static_cast<qsizetype>(size));
        bytes_.resize(begin);
        append(QStringView(scratch_));
    }
    if (bytes_.size() > std::numeric_limits<quint32>::max())
        throw std::bad_alloc();
    ends_.push_back(static_cast<quint32>(bytes_.size()));
}

void GridRowBatch::endRow(QByteArrayView data, quint8 mark, char band) {
    if (!ends_.empty() ? bytes_.size() != ends_.back() : !bytes_.empty())
        endCell();
    // Trailing empty cells are not stored, as the table's own rows do.
    size_t cells = ends_.size();
    while (cells > 0 && ends_[cells - 1] == (cells >= 2 ? ends_[cells - 2] : 0))
        --cells;
    const size_t cellBytes = cells == 0 ? 0 : ends_[cells - 1];
    GridTable::Row row;
    row.mark = mark;
    row.band = band;
    if (cells > 0 || !data.isEmpty()) {
        const size_t total = cellBytes + static_cast<size_t>(data.size());
        if (total > std::numeric_limits<quint32>::max())
            throw std::bad_alloc();
        const auto n = static_cast<quint32>(cells + 1);
        const size_t offsets = static_cast<size_t>(kHeader) + n * sizeof(quint32);
        char* block = carve(offsets + total);
        row.block.reset(reinterpret_cast<char*>(reinterpret_cast<quintptr>(block) | 1));
        std::memcpy(block, &n, sizeof n);
        std::memcpy(block + kHeader, ends_.data(), cells * sizeof(quint32));
        const auto end = static_cast<quint32>(total);
        std::memcpy(block + kHeader + cells * sizeof(quint32), &end, sizeof end);
        if (cellBytes > 0)
            std::memcpy(block + offsets, bytes_.data(), cellBytes);
        if (!data.isEmpty())
            std::memcpy(block + offsets + cellBytes, data.data(), static_cast<size_t>(data.size()));
    }
    pending_.push_back(std::move(row));
    bytes_.clear();
    ends_.clear();
}

void GridRowBatch::uncarve(size_t bytes) {
    const size_t size = (bytes + 7) & ~size_t(7);
    arenaAt_ -= size;
    arenaLeft_ += size;
}

char* GridRowBatch::carve(size_t bytes) {
    // Blocks are carved out of large allocations, 8-aligned (the low bit of the row's
    // pointer marks them), instead of one allocation per row.
    const size_t size = (bytes + 7) & ~size_t(7);
    if (size > arenaLeft_) {
        const size_t chunk = std::max(size, kArenaBytes);
        arenas_.emplace_back(new char[chunk]);
        arenaAt_ = arenas_.back().get();
        arenaLeft_ = chunk;
    }
    char* block = arenaAt_;
    arenaAt_ += size;
    arenaLeft_ -= size;
    return block;
}

void GridRowBatch::addRow(std::span<const QByteArrayView> cells, QByteArrayView data, quint8 mark,
                          char band) {
    size_t count = std::min(cells.size(), static_cast<size_t>(std::max(table_.columnCount(), 0)));
    while (count > 0 && cells[count - 1].isEmpty())
        --count;
    size_t cellBytes = 0;
    for (size_t c = 0; c < count; ++c)
        cellBytes += static_cast<size_t>(cells[c].size());
    // A hidden value given as one of the cells themselves is kept once.
    quint32 sameAs = 0;
    for (size_t c = 0; c < count && c < kMaxSameAs && !data.isEmpty(); ++c) {
        if (cells[c].data() == data.data() && cells[c].size() == data.size()) {
            sameAs = static_cast<quint32>(c + 1);
            break;
        }
    }
    const size_t total = cellBytes + (sameAs != 0 ? 0 : static_cast<size_t>(data.size()));
    const auto cellByCell = [&] {
        for (const QByteArrayView cell : cells)
            addCell(cell);
        endRow(data, mark, band);
    };
    if (!bytes_.empty() || !ends_.empty() || total > std::numeric_limits<quint32>::max()) {
        // A row begun already, or a size to refuse.
        cellByCell();
        return;
    }
    GridTable::Row row;
    row.mark = mark;
    row.band = band;
    if (count > 0 || !data.isEmpty()) {
        const auto n = static_cast<quint32>(count + 1);
        const size_t offsets = static_cast<size_t>(kHeader) + n * sizeof(quint32);
        const size_t size = offsets + total;
        char* block = carve(size);
        char* end = block + kHeader;
        char* text = block + offsets;
        quint32 at = 0;
        for (size_t c = 0; c < count; ++c) {
            const auto bytes = static_cast<quint32>(cells[c].size());
            if (bytes > 0)
                std::memcpy(text + at, cells[c].data(), bytes);
            at += bytes;
            std::memcpy(end, &at, sizeof at);
            end += sizeof at;
        }
        // Cells that are all ASCII, nearly every row, are stored as they are; anything
        // else goes cell by cell through the decoder. The check runs over the copied
        // cells, which lie back to back.
        if (!isAscii(text, cellBytes)) {
            uncarve(size);
            cellByCell();
            return;
        }
        const quint32 head = n | (sameAs << kSameAsShift);
        std::memcpy(block, &head, sizeof head);
        const auto last = static_cast<quint32>(total);
        std::memcpy(end, &last, sizeof last);
        if (sameAs == 0 && !data.isEmpty())
            std::memcpy(text + at, data.data(), static_cast<size_t>(data.size()));
        row.block.reset(reinterpret_cast<char*>(reinterpret_cast<quintptr>(block) | 1));
    }
    pending_.push_back(std::move(row));
}

qsizetype GridRowBatch::commit() {
    if (pending_.empty())
        return -1;
    const qsizetype first = table_.rowCount();
    table_.appendBuilt(pending_);
    // The table owns the blocks from now on; the next row starts a fresh allocation, so
    // nothing is written into memory the table may give back.
    std::move(arenas_.begin(), arenas_.end(), std::back_inserter(table_.arenas_));
    arenas_.clear();
    arenaAt_ = nullptr;
    arenaLeft_ = 0;
    return first;
}

}  // namespace dw
