#include "safety/ui/safe_harbor_styler.h"

#include "safety/safe_harbor.h"

namespace dw {

StringGrid::CellStyler SafeHarborBoldStyler(std::function<QByteArray(qsizetype row)> pathOfRow,
                                            const SafeHarbor& harbor, bool rowsAreFiles,
                                            StringGrid::CellStyler next, int boldColumn) {
    return [pathOfRow = std::move(pathOfRow), &harbor, rowsAreFiles, next = std::move(next),
            boldColumn](qsizetype row, int column, CellStyle& style) {
        if (next) {
            next(row, column, style);
        }
        if (row < 1 || (boldColumn >= 0 && column != boldColumn)) {
            return;
        }
        const QByteArray path = pathOfRow(row);
        if (!path.isEmpty() && harbor.isInSafeHarbor(path, rowsAreFiles)) {
            style.bold = true;
        }
    };
}

StringGrid::CellStyler SafeHarborBoldStyler(const StringGrid& grid, const SafeHarbor& harbor,
                                            bool rowsAreFiles, StringGrid::CellStyler next,
                                            int boldColumn) {
    return SafeHarborBoldStyler([&grid](qsizetype row) { return grid.table().rowData(row); },
                                harbor, rowsAreFiles, std::move(next), boldColumn);
}

}  // namespace dw
