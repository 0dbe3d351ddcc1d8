#pragma once

#include <QDate>
#include <QLocale>
#include <QStringView>

#include <span>
#include <vector>

namespace dw {

class GridTable;

// How a grid sort reads the key cells of its rows.
enum class GridSortKey { Text, Number, Date };

// The text of the error box (after the hand sound) with which a window refuses a sort
// whose rows or key column lie outside the grid.
inline constexpr char kSortRangeErrorText[] = "Range check error";

// Sorts rows `first` to `last` (inclusive) of `grid` by the cell of `keyColumn`, smallest
// key first, or largest first when `descending`. Rows move whole (cells, mark, band,
// hidden value); rows outside the range, the title row among them, are not touched.
// Keys are read, in the default locale:
//   SortGridByText   the cell text with ASCII a-z taken as A-Z and nothing else changed,
//                    compared by character code (a text before every longer text that
//                    begins with it; letters beyond ASCII after all ASCII ones);
//   SortGridByNumber NumericKey of the cell;
//   SortGridByDate   DateKey of the cell.
// The order is that of a quicksort whose pivot is the key of the middle row, (lo + hi) / 2
// (the text sort hands ranges of at most five rows to a bubble sort that never exchanges
// equal neighbours). It is not stable: rows with equal keys may change their order, and
// always in the same, reproducible way for the same grid.
//
// The range is refused when `first` is below 1 (row 0 holds the titles), `last` is below
// 0 or beyond the last row, or `keyColumn` is no column of the grid: the grid is left as
// it was and the result is false (nothing is shown; the caller says kSortRangeErrorText).
// A range with last < first is empty: nothing happens and the result is true. Otherwise
// the result is true; the grid's rows are written once, at the end, with one move
// notification.
bool SortGridByText(GridTable& grid, qsizetype first, qsizetype last, bool descending,
                    int keyColumn);
bool SortGridByNumber(GridTable& grid, qsizetype first, qsizetype last, bool descending,
                      int keyColumn);
bool SortGridByDate(GridTable& grid, qsizetype first, qsizetype last, bool descending,
                    int keyColumn);
// The order SortGridByNumber gives rows whose keys are `keys` (the row k places after
// `first` having keys[k]): element k of the result is the index in `keys` of the row
// that ends up k places after `first`. For a caller that holds the numbers already and
// fills its grid in sorted order: the rows come out exactly as the sort of their cells
// would put them, equal keys included.
std::vector<qsizetype> NumberSortOrder(std::span<const double> keys, bool descending);
// One of the three above, chosen by `key`.
bool SortGrid(GridTable& grid, GridSortKey key, qsizetype first, qsizetype last, bool descending,
              int keyColumn);
// The order SortGrid would give, without moving a row: for a caller that sorts a large
// grid on another thread while its window keeps painting, and moves the rows itself. The
// grid is only read (other threads may read it meanwhile; none may write it). False for
// a refused range, as SortGrid. Otherwise true, with `order` the new order as
// GridTable::reorderRows(first, order) takes it, or empty when no row would move.
bool SortGridOrder(const GridTable& grid, GridSortKey key, qsizetype first, qsizetype last,
                   bool descending, int keyColumn, std::vector<qsizetype>& order);

// The number key of a cell: the digits 0-9 (and the locale's own digits, where it has
// others) and the locale's decimal separator of `text`, in their order, everything else
// dropped (thousands separators, blanks, units such as
// "KB", signs, letters), read as a decimal number. 0 when nothing is left, when two
// decimal separators are left, or when the number does not fit a double. So "1,024 KB"
// is 1024, "-5" is 5 and "" is 0 (in a locale with "." as decimal separator).
double NumericKey(QStringView text);
double NumericKey(QStringView text, const QLocale& locale);

// The key every text gets that is no date: 1 January 1900.
QDate NoDateKey();

// The date key of a cell: the whole text read as a date in the locale's short date
// format: day, month and year as numbers of one to four digits (0-9 or the locale's own)
// in the format's order,
// separated by the format's date separator, blanks allowed around the numbers. A year of
// one or two digits is taken as the year with those last two digits that lies from 80
// years before to 19 years after `today`'s year (in 2026: 1946 to 2045); a date without
// a year falls in `today`'s year. Anything else (an empty text, no such date, more text
// after it such as a time of day) gives NoDateKey(). Formats that spell months or
// weekdays out are read with QLocale::toDate. The first form uses the default locale and
// the current date.
QDate DateKey(QStringView text);
QDate DateKey(QStringView text, const QLocale& locale, const QDate& today);

}  // namespace dw
