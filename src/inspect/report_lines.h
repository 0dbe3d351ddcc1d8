#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// The text of the printed reports: the lines that the report printer paints, built
// here so that they can be checked without a printer.
namespace dw {

class GridTable;

// The message of both reports when the printer fails (an error box without sound).
inline constexpr char kPrintErrorText[] = "Error printing report ... quitting";

// The date line of a report: "Printed : " + `printed` in the default locale's short date
// format + two blanks + its time in the long time format (without a time-zone name).
QString PrintedLine(const QDateTime& printed);

// One cell of a printed grid row: `text` left-justified in a field of exactly `width`
// characters (cut when longer, padded with blanks when shorter) followed by one blank,
// as the format "%-<width>.<width>s " gives it. Characters are counted as code points, so
// a character outside the basic plane is never cut in half. A control character (TAB,
// line feed ...) in a cell would break the columns of the line and is printed as "?".
// A width below 1 gives the blank alone.
QString ReportCell(QStringView text, int width);

// The characters a printed column of `pixels` pixels holds: pixels div 6.
inline int ReportColumnChars(int pixels) {
    return pixels < 0 ? 0 : pixels / 6;
}

// The lines of a grid report: `title`, PrintedLine(printed), two empty lines, then one
// line per grid row, the title row first: every column's cell as ReportCell with
// ReportColumnChars of the column's width in `columnWidths` (pixels; a column without a
// width counts as 0).
QStringList GridReportLines(const GridTable& grid, const QList<int>& columnWidths,
                            const QString& title, const QDateTime& printed);

// The lines of a list report: "   " + `title`, "   " + PrintedLine(printed), two empty
// lines, then every line of `list` in order, each after three blanks and otherwise as
// it is (TAB characters included).
QStringList ListReportLines(const QStringList& list, const QString& title,
                            const QDateTime& printed);

}  // namespace dw
