#include "inspect/grid_export.h"

#include <QFile>

#include "base/grid_table.h"

namespace dw {

namespace {

bool rowIsEmpty(const GridTable& grid, qsizetype row) {
    for (int c = 0; c < grid.columnCount(); ++c) {
        if (!grid.cellUtf8(c, row).isEmpty()) {
            return false;
        }
    }
    return true;
}

}  // namespace

QStringList ClipboardLines(const GridTable& grid, ClipboardForm form, bool keepEmpty) {
    QStringList lines;
    if (form == ClipboardForm::FilenamesOnly) {
        for (qsizetype r = 1; r < grid.rowCount(); ++r) {
            const QByteArrayView path = grid.rowDataView(r);
            if (path.isEmpty() && !keepEmpty) {
                continue;
            }
            lines << QFile::decodeName(path.toByteArray());
        }
        return lines;
    }
    for (qsizetype r = 0; r < grid.rowCount(); ++r) {
        if (!keepEmpty && rowIsEmpty(grid, r)) {
            continue;
        }
        lines << grid.rowCells(r).join(u'\t');
    }
    return lines;
}

QString ClipboardText(const GridTable& grid, ClipboardForm form, bool keepEmpty) {
    return ClipboardLines(grid, form, keepEmpty).join(u'\n');
}

}  // namespace dw
