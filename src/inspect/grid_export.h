#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <string>

#include "base/tsv_text.h"

// The text forms of a result grid: the two clipboard forms of the finders and the
// tab-separated rows of the command-line tool.
namespace dw {

class GridTable;

// The forms of the "Clipboard" menu, by their item's tag.
enum class ClipboardForm {
    FilenamesOnly = 1,  // "Filenames only"
    EntireGrid = 2,     // "Entire grid separated by tabs"
};

// The lines of a clipboard form of `grid`:
// - FilenamesOnly: one line per data row (row 1 on) holding the row's file: its hidden
//   value (the native path) decoded for display, so the line names exactly the file of
//   the row, whatever its name holds;
// - EntireGrid: one line per row, the title row included, holding its cells from the
//   first column to the last joined by one TAB.
// An empty line, and a row whose cells are all empty, give no line unless `keepEmpty`.
QStringList ClipboardLines(const GridTable& grid, ClipboardForm form, bool keepEmpty = false);

// The clipboard text of those lines: joined by "\n", without a line break after the
// last one.
QString ClipboardText(const GridTable& grid, ClipboardForm form, bool keepEmpty = false);

}  // namespace dw
