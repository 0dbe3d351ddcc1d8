#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <string>

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

// One cell of a tab-separated line, exact: TAB, line feed, carriage return and
// backslash are written as "\t", "\n", "\r" and "\\"; every byte that is not part of a
// valid UTF-8 sequence as "\x" and two upper-case hexadecimal digits; everything else
// as it is. The result is valid UTF-8 and holds no TAB or line break, and
// TsvUnescape gives back `bytes` exactly.
QByteArray TsvEscape(QByteArrayView bytes);

// TsvEscape(bytes) appended to `out`, for writing many cells into one buffer.
void AppendTsvEscaped(QByteArrayView bytes, std::string& out);

// The most bytes TsvEscape writes for one byte ("\x" and two digits).
constexpr qsizetype kTsvEscapedMax = 4;

// TsvEscape(bytes) written at `out`, which has room for kTsvEscapedMax * bytes.size()
// bytes (the most it can take: every byte written as "\xHH"); returns the end of what
// was written. For writers that keep their own buffer.
char* WriteTsvEscaped(QByteArrayView bytes, char* out);

// The reverse of TsvEscape. A backslash before any other character, or at the end, is
// kept as it is.
QByteArray TsvUnescape(QByteArrayView text);

// `cells`, each TsvEscape'd, joined by TAB (no line end).
QByteArray TsvLine(const QList<QByteArray>& cells);

}  // namespace dw
