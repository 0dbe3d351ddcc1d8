#include "finders/file_rows.h"

#include <QFile>

#include <cstring>

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
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0) {
        return {};
    }
    const QByteArrayView ext = name.sliced(dot);
    TypeSlot* slot = nullptr;
    if (ext.size() <= TypeSlot::kMaxBytes) {
        quint32 h = 2166136261u;
        for (const char c : ext) {
            h = (h ^ quint8(c)) * 16777619u;
        }
        slot = &typeSlots_[h % typeSlots_.size()];
        if (slot->id >= 0 && slot->length == ext.size() &&
            std::memcmp(slot->bytes, ext.data(), size_t(ext.size())) == 0) {
            return types_[size_t(slot->id)];
        }
    }
    const QByteArray key = ext.toByteArray();
    auto it = typeIds_.constFind(key);
    if (it == typeIds_.constEnd()) {
        types_.push_back(FileTypeName(QFile::decodeName(key)).toUtf8());
        it = typeIds_.insert(key, qint32(types_.size() - 1));
    }
    if (slot) {
        slot->id = it.value();
        slot->length = quint8(ext.size());
        std::memcpy(slot->bytes, ext.data(), size_t(ext.size()));
    }
    return types_[size_t(it.value())];
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
