#pragma once

#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QPrinter;
class QWidget;

// Printing of the plain-text reports: the lines of report_lines.h painted page by page
// on a printer chosen in the print dialog (a real printer or a PDF file).
namespace dw {

class GridTable;

// Asks where and how to print: `scripted` when it is given (tests answer for the user
// there), otherwise the print dialog titled "Print" over `parent`. Returns true when the
// user chose to print; `printer` then holds the choice.
bool ConfirmPrint(QPrinter& printer, QWidget* parent,
                  const std::function<bool(QPrinter&)>& scripted);

// `family` at `points` points, or the fixed-pitch font the system gives in its place;
// where neither is fixed pitch, the first installed fixed-pitch family, so the columns
// of a report stay aligned whatever fonts the machine has.
QFont ReportFont(const QString& family, int points);

// Paints `lines` on `printer` in `font`, top to bottom, one line below the other; a line
// that no longer fits on the page starts a new page, and a line is cut at the right edge
// of the printable area. With `expandTabs` a TAB moves to the next multiple of eight
// characters. Shows the wait cursor while it paints. Returns true when every line was
// painted and the job closed; when the printer cannot be opened or a page cannot be
// started, shows kPrintErrorText in an error box without sound (through the prompter),
// paints nothing more, closes the job and returns false.
bool PrintReportLines(QPrinter& printer, const QStringList& lines, const QFont& font,
                      bool expandTabs);

// The grid report: GridReportLines of `grid` (its column widths in pixels in
// `columnWidths`) under `title`, dated now, in "Courier New" 8 points. The caller has
// shown the print dialog. Returns as PrintReportLines does.
bool PrintGridReport(QPrinter& printer, const GridTable& grid, const QList<int>& columnWidths,
                     const QString& title);

// The list report: ListReportLines of `list` under `title`, dated now, in "Courier"
// 8 points, TAB characters printed as tabs. Returns as PrintReportLines does.
bool PrintListReport(QPrinter& printer, const QStringList& list, const QString& title);

}  // namespace dw
