#include "finders/file_rows.h"

#include "base/file_dates.h"
#include "base/utility.h"
#include "platform/paths.h"

namespace dw {

FileRowTexts::FileRowTexts() : dateIds_(0x10000, -1) {}

QByteArrayView FileRowTexts::size(qint64 size) {
    const int n = thousands_.toUtf8(size, sizeBuffer_);
    return {sizeBuffer_, n};
}

QByteArrayView FileRowTexts::date(quint32 packed) {
    if (packed == 0) {
        return {};
    }
    // The text depends on the date part alone.
    qint32& id = dateIds_[packed >> 16];
    if (id < 0) {
        id = qint32(dates_.size());
        dates_.push_back(FileDateToDateText(packed & 0xFFFF0000u).toUtf8());
    }
    return dates_[size_t(id)];
}

QByteArrayView FileRowTexts::time(quint32 packed) {
    if (packed == 0) {
        return {};
    }
    auto it = times_.constFind(packed);
    if (it == times_.constEnd()) {
        it = times_.insert(packed, FileDateToTimeText(packed).toUtf8());
    }
    return it.value();
}

QByteArrayView FileRowTexts::type(QByteArrayView name) {
    return types_.utf8(types_.idOfName(name));
}

QList<QByteArray> GridRowBytes(const GridTable& grid, qsizetype row, FileCellColumns columns) {
    QList<QByteArray> cells;
    cells.reserve(grid.columnCount());
    for (int c = 0; c < grid.columnCount(); ++c) {
        cells << grid.cellUtf8(c, row).toByteArray();
    }
    const QByteArray path = grid.rowData(row);
    if (path.isEmpty()) {
        return cells;
    }
    const auto put = [&](int column, const QByteArray& bytes) {
        if (column >= 0 && column < cells.size()) {
            cells[column] = bytes;
        }
    };
    put(columns.path, path);
    const qsizetype slash = path.lastIndexOf(platform::kSep);
    put(columns.name, path.mid(slash + 1));
    put(columns.folder,
        slash <= 0 ? QByteArray(slash == 0 ? platform::kRootFolder : "") : path.left(slash));
    return cells;
}

}  // namespace dw
