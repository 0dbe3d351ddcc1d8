#pragma once

#include <QByteArray>

#include <functional>

#include "widgets/string_grid.h"

namespace dw {

class SafeHarbor;

// The result grids' bold type for protected files: a cell styler that makes every cell
// of a row bold when the Safe Harbor protects the row's path. The path of a row is its
// hidden value (GridTable::rowData, the native path the finders store), or what
// `pathOfRow` returns for grids that keep it elsewhere; rows with an empty path stay as
// they are. `rowsAreFiles` says whether the paths are files (duplicates, file hogs,
// files accessed) or folders (folder hogs). `next`, when given, runs first (bands,
// colours) and the bold type is added to what it set. `boldColumn` -1 makes the whole
// row bold; another number only that column's cell.
//
// The styler asks harbor.isInSafeHarbor for every painted cell; its memo makes repeated
// questions about one row's folder cheap. `grid` and `harbor` must outlive the styler:
// the grid is the one it is installed on, the harbor the main window's.
StringGrid::CellStyler SafeHarborBoldStyler(const StringGrid& grid, const SafeHarbor& harbor,
                                            bool rowsAreFiles = true,
                                            StringGrid::CellStyler next = {}, int boldColumn = -1);
StringGrid::CellStyler SafeHarborBoldStyler(std::function<QByteArray(qsizetype row)> pathOfRow,
                                            const SafeHarbor& harbor, bool rowsAreFiles = true,
                                            StringGrid::CellStyler next = {}, int boldColumn = -1);

}  // namespace dw
