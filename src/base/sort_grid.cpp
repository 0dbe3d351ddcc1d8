#include "base/sort_grid.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/grid_table.h"
#include "base/split_work.h"

namespace dw {

namespace {

// The keys are read both from QString text (the public functions) and straight from the
// grid's UTF-8 cells (the sorts, a million cells at a time), so the readers work on code
// units of either width. Everything they look for is ASCII or a locale string matched as
// a whole sequence, which is exact in both encodings.
template <class Ch>
using View = std::basic_string_view<Ch>;

std::u16string_view u16(QStringView s) {
    return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size())};
}

template <class Ch>
std::basic_string<Ch> encode(const QString& s) {
    if constexpr (sizeof(Ch) == 1) {
        return s.toStdString();
    } else {
        return s.toStdU16String();
    }
}

template <class Ch>
QString decode(View<Ch> t) {
    if constexpr (sizeof(Ch) == 1) {
        return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
    } else {
        return QString(reinterpret_cast<const QChar*>(t.data()), static_cast<qsizetype>(t.size()));
    }
}

template <class Ch>
bool startsWithAt(View<Ch> t, size_t i, View<Ch> seq) {
    return !seq.empty() && t.substr(i, seq.size()) == seq;
}

// The digits a text may hold: 0 to 9, and the locale's own ten where it writes numbers
// with other digits (Arabic, Persian, ...), which is what its number and date texts use.
template <class Ch>
class Digits {
public:
    explicit Digits(const QLocale& locale) {
        const QString zero = locale.zeroDigit();
        if (zero.size() == 1 && zero[0] != u'0') {
            for (char16_t d = 0; d < 10; ++d) {
                native_[d] = encode<Ch>(QString(QChar(char16_t(zero[0].unicode() + d))));
            }
        }
    }

    // The value of the digit at t[i], moving i past it; -1 (i unchanged) for no digit.
    int take(View<Ch> t, size_t& i) const {
        if (i >= t.size())
            return -1;
        if (t[i] >= '0' && t[i] <= '9')
            return static_cast<int>(t[i++] - '0');
        if (native_[0].empty() || static_cast<std::make_unsigned_t<Ch>>(t[i]) < 0x80)
            return -1;
        for (int d = 0; d < 10; ++d) {
            if (startsWithAt(t, i, View<Ch>(native_[static_cast<size_t>(d)]))) {
                i += native_[static_cast<size_t>(d)].size();
                return d;
            }
        }
        return -1;
    }

private:
    std::array<std::basic_string<Ch>, 10> native_;
};

// ---- number key -------------------------------------------------------------------

template <class Ch>
double numericKey(View<Ch> t, View<Ch> decimalPoint, const Digits<Ch>& digitSet) {
    // Most keys are whole numbers with group separators ("1,234,567"), read here straight
    // into an integer: fifteen digits always fit a double exactly, so this is the value
    // the full reading below gives them, without building the text first.
    quint64 whole = 0;
    int count = 0;
    bool point = false;
    for (size_t i = 0; i < t.size() && !point;) {
        const int d = digitSet.take(t, i);
        if (d >= 0) {
            whole = whole * 10 + static_cast<quint64>(d);
            ++count;
        } else if (startsWithAt(t, i, decimalPoint)) {
            point = true;
        } else {
            ++i;
        }
    }
    if (!point && count <= 15)
        return static_cast<double>(whole);

    std::string kept;
    int points = 0;
    bool digits = false;
    for (size_t i = 0; i < t.size();) {
        const int d = digitSet.take(t, i);
        if (d >= 0) {
            kept.push_back(static_cast<char>('0' + d));
            digits = true;
        } else if (startsWithAt(t, i, decimalPoint)) {
            kept.push_back('.');
            ++points;
            i += decimalPoint.size();
        } else {
            ++i;
        }
    }
    if (!digits || points > 1)
        return 0.0;
    double value = 0.0;
    const auto [end, ec] =
        std::from_chars(kept.data(), kept.data() + kept.size(), value, std::chars_format::fixed);
    if (ec != std::errc() || end != kept.data() + kept.size() || !std::isfinite(value)) {
        return 0.0;
    }
    return value;
}

// ---- date key ---------------------------------------------------------------------

enum Field { Day, Month, Year };

// What the sort needs to know of a short date format: the order of its numeric fields,
// its separator and whether it ends with one ("y. MM. dd."). A format that spells names
// or holds other literal text is read by QLocale instead.
struct DateFormat {
    QString format;
    bool numeric = false;
    std::array<Field, 3> order{Month, Day, Year};
    QString separator;
    bool trailingSeparator = false;
    bool twoDigitYear = false;

    explicit DateFormat(const QLocale& locale) : format(locale.dateFormat(QLocale::ShortFormat)) {
        int fields = 0;
        bool seenField = false;
        bool ok = true;
        QString trailing;  // literal text after the last field
        bool seen[3] = {false, false, false};
        for (qsizetype i = 0; i < format.size();) {
            const QChar c = format[i];
            if (c == u'\'') {
                // Quoted literal text: nothing numeric reads it.
                ok = false;
                break;
            }
            if (c.isLetter()) {
                qsizetype run = 1;
                while (i + run < format.size() && format[i + run] == c)
                    ++run;
                Field f;
                if (c == u'd' && run <= 2) {
                    f = Day;
                } else if (c == u'M' && run <= 2) {
                    f = Month;
                } else if (c == u'y') {
                    f = Year;
                    twoDigitYear = run == 2;
                } else {
                    ok = false;  // names of days or months, eras, ...
                    break;
                }
                if (seen[f] || fields == 3) {
                    ok = false;
                    break;
                }
                seen[f] = true;
                order[static_cast<size_t>(fields++)] = f;
                seenField = true;
                trailing.clear();
                i += run;
                continue;
            }
            if (!seenField && !c.isSpace()) {
                ok = false;  // literal text before the first field
                break;
            }
            if (seenField && !c.isSpace()) {
                if (separator.isEmpty()) {
                    separator = QString(c);
                } else if (QString(c) != separator) {
                    ok = false;
                    break;
                }
                if (fields == 3)
                    trailing += c;
            }
            ++i;
        }
        numeric = ok && fields == 3 && !separator.isEmpty() &&
                  (trailing.isEmpty() || trailing == separator);
        trailingSeparator = numeric && !trailing.isEmpty();
    }
};

// The year with the last two digits `yy` in the window of 80 years back to 19 ahead.
int windowedYear(int yy, int thisYear) {
    const int lowest = thisYear - 80;
    int year = lowest - lowest % 100 + yy;
    if (year < lowest)
        year += 100;
    return year;
}

template <class Ch>
class DateReader {
public:
    DateReader(const DateFormat& format, const QLocale& locale, const QDate& today)
        : format_(format),
          locale_(locale),
          digits_(locale),
          thisYear_(today.isValid() ? today.year() : QDate::currentDate().year()),
          separator_(encode<Ch>(format.separator)),
          blanks_{encode<Ch>(QStringLiteral(" ")), encode<Ch>(QString(QChar(0x00A0))),
                  encode<Ch>(QString(QChar(0x202F)))} {}

    QDate read(View<Ch> t) const {
        if (!format_.numeric)
            return readByLocale(t);
        size_t i = 0;
        int values[3] = {0, 0, 0};
        int digits[3] = {0, 0, 0};
        int count = 0;
        skipBlanks(t, i);
        if (!number(t, i, values[0], digits[0]))
            return {};
        count = 1;
        skipBlanks(t, i);
        if (!separator(t, i))
            return {};
        skipBlanks(t, i);
        if (!number(t, i, values[1], digits[1]))
            return {};
        count = 2;
        skipBlanks(t, i);
        if (separator(t, i)) {
            skipBlanks(t, i);
            if (number(t, i, values[2], digits[2])) {
                count = 3;
                skipBlanks(t, i);
                if (format_.trailingSeparator && separator(t, i))
                    skipBlanks(t, i);
            } else if (!format_.trailingSeparator) {
                return {};
            }
        }
        if (i != t.size())
            return {};

        int day = 0;
        int month = 0;
        int year = thisYear_;
        if (count == 3) {
            for (int k = 0; k < 3; ++k) {
                switch (format_.order[static_cast<size_t>(k)]) {
                    case Day:
                        day = values[k];
                        break;
                    case Month:
                        month = values[k];
                        break;
                    case Year:
                        year = digits[k] <= 2 ? windowedYear(values[k], thisYear_) : values[k];
                        break;
                }
            }
        } else {
            // Without a year the two numbers are day and month in the format's order.
            int k = 0;
            for (Field f : format_.order) {
                if (f == Year)
                    continue;
                (f == Day ? day : month) = values[k++];
            }
        }
        if (year < 1)
            return {};
        const QDate date(year, month, day);
        return date.isValid() ? date : QDate();
    }

private:
    void skipBlanks(View<Ch> t, size_t& i) const {
        for (bool more = true; more;) {
            more = false;
            for (const auto& b : blanks_) {
                if (startsWithAt(t, i, View<Ch>(b))) {
                    i += b.size();
                    more = true;
                }
            }
        }
    }

    bool separator(View<Ch> t, size_t& i) const {
        if (!startsWithAt(t, i, View<Ch>(separator_)))
            return false;
        i += separator_.size();
        return true;
    }

    bool number(View<Ch> t, size_t& i, int& value, int& digits) const {
        value = 0;
        digits = 0;
        for (int d = digits_.take(t, i); d >= 0; d = digits_.take(t, i)) {
            if (++digits > 4)
                return false;
            value = value * 10 + d;
        }
        return digits > 0;
    }

    QDate readByLocale(View<Ch> t) const {
        const QString text = decode<Ch>(t).trimmed();
        if (text.isEmpty())
            return {};
        QDate date = locale_.toDate(text, format_.format);
        if (date.isValid() && format_.twoDigitYear) {
            date = QDate(windowedYear(date.year() % 100, thisYear_), date.month(), date.day());
        }
        return date;
    }

    const DateFormat& format_;
    QLocale locale_;
    Digits<Ch> digits_;
    int thisYear_;
    std::basic_string<Ch> separator_;
    std::array<std::basic_string<Ch>, 3> blanks_;
};

// ---- the sort ---------------------------------------------------------------------

// The key table: the row's number before the sort and its key. Only these entries move
// while sorting.
template <class Key>
struct Entry {
    Key key;
    qsizetype row;
};

// ---- text ranks ------------------------------------------------------------------
//
// The text sort compares upper-cased UTF-8 bytes. Comparing cells in place costs a cache
// miss per comparison once the keys share long beginnings (full paths), so the text keys
// are first replaced by their ranks: equal texts get equal numbers, a smaller text a
// smaller number. The quicksort below sees exactly the same comparison results on the
// ranks as on the texts, so it moves the rows exactly as it would on the texts.
//
// The ranks come from a three-way radix quicksort that carries the next eight key bytes
// of each cell in its entry, so it reads each cell about once per eight bytes of depth.

inline unsigned char upper(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

struct TextCell {
    quint64 chunk;  // key bytes depth .. depth + 7, upper-cased, big-endian, 0-padded
    const unsigned char* data;
    qsizetype size;
    qsizetype index;  // position in the range
};

quint64 chunkAt(const TextCell& c, qsizetype depth) {
    quint64 chunk = 0;
    for (qsizetype i = depth; i < depth + 8; ++i) {
        chunk = (chunk << 8) | (i < c.size ? upper(c.data[i]) : 0u);
    }
    return chunk;
}

// Order of two keys whose first `depth` bytes agree.
int compareFrom(const TextCell& a, const TextCell& b, qsizetype depth) {
    const qsizetype common = std::min(a.size, b.size);
    for (qsizetype i = depth; i < common; ++i) {
        const unsigned char x = upper(a.data[i]);
        const unsigned char y = upper(b.data[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size == b.size ? 0 : (a.size < b.size ? -1 : 1);
}

void sortTextCells(TextCell* cells, qsizetype count) {
    struct Range {
        qsizetype begin;
        qsizetype count;
        qsizetype depth;  // the first `depth` key bytes agree; chunks hold the next eight
    };
    std::vector<Range> todo{{0, count, 0}};
    while (!todo.empty()) {
        const Range r = todo.back();
        todo.pop_back();
        TextCell* a = cells + r.begin;
        const qsizetype n = r.count;
        if (n < 2)
            continue;
        if (n < 16) {
            for (qsizetype i = 1; i < n; ++i) {
                for (qsizetype j = i; j > 0 && compareFrom(a[j - 1], a[j], r.depth) > 0; --j) {
                    std::swap(a[j - 1], a[j]);
                }
            }
            continue;
        }
        // Median of three chunks as the pivot, then a three-way partition.
        quint64 x = a[0].chunk, y = a[n / 2].chunk, z = a[n - 1].chunk;
        if (x > y)
            std::swap(x, y);
        if (y > z)
            std::swap(y, z);
        if (x > y)
            std::swap(x, y);
        const quint64 pivot = y;
        qsizetype lt = 0, i = 0, gt = n;
        while (i < gt) {
            if (a[i].chunk < pivot) {
                std::swap(a[lt++], a[i++]);
            } else if (a[i].chunk > pivot) {
                std::swap(a[i], a[--gt]);
            } else {
                ++i;
            }
        }
        todo.push_back({r.begin, lt, r.depth});
        todo.push_back({r.begin + gt, n - gt, r.depth});
        // Equal chunks: keys that end within them come first, shorter before longer (the
        // padding shows their tails are zero bytes); the others go on eight bytes deeper.
        qsizetype ended = lt;
        for (qsizetype k = lt; k < gt; ++k) {
            if (a[k].size <= r.depth + 8)
                std::swap(a[ended++], a[k]);
        }
        std::sort(a + lt, a + ended,
                  [](const TextCell& p, const TextCell& q) { return p.size < q.size; });
        for (qsizetype k = ended; k < gt; ++k)
            a[k].chunk = chunkAt(a[k], r.depth + 8);
        todo.push_back({r.begin + ended, gt - ended, r.depth + 8});
    }
}

// The rank of every cell of column `column`, rows first to last, in row order.
std::vector<quint32> textRanks(const GridTable& grid, qsizetype first, qsizetype last, int column) {
    const qsizetype n = last - first + 1;
    std::vector<TextCell> cells(static_cast<size_t>(n));
    for (qsizetype k = 0; k < n; ++k) {
        const QByteArrayView bytes = grid.cellUtf8(column, first + k);
        TextCell& c = cells[static_cast<size_t>(k)];
        c.data = reinterpret_cast<const unsigned char*>(bytes.data());
        c.size = bytes.size();
        c.index = k;
        c.chunk = chunkAt(c, 0);
    }
    sortTextCells(cells.data(), n);
    std::vector<quint32> ranks(static_cast<size_t>(n));
    quint32 rank = 0;
    for (qsizetype k = 0; k < n; ++k) {
        if (k > 0 &&
            compareFrom(cells[static_cast<size_t>(k - 1)], cells[static_cast<size_t>(k)], 0) != 0)
            ++rank;
        ranks[static_cast<size_t>(cells[static_cast<size_t>(k)].index)] = rank;
    }
    return ranks;
}

template <class Key>
int compareKeys(const Key& a, const Key& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Passes over lo..hi until one exchanges nothing; only neighbours out of order are
// exchanged, never equal ones.
template <class E>
void bubbleSort(E* t, qsizetype lo, qsizetype hi, bool descending) {
    for (bool exchanged = true; exchanged;) {
        exchanged = false;
        for (qsizetype r = lo; r < hi; ++r) {
            const int c = compareKeys(t[r].key, t[r + 1].key);
            if (descending ? c < 0 : c > 0) {
                std::swap(t[r], t[r + 1]);
                exchanged = true;
            }
        }
    }
}

// One step of the quicksort: pivot the key of the middle row and Hoare's crossing scan;
// lo..j and i..hi are then left to sort, each on its own.
template <class E>
void partition(E* t, qsizetype lo, qsizetype hi, bool descending, qsizetype& i, qsizetype& j) {
    const auto pivot = t[lo + (hi - lo) / 2].key;
    i = lo;
    j = hi;
    while (i <= j) {
        if (descending) {
            while (compareKeys(t[i].key, pivot) > 0)
                ++i;
            while (compareKeys(t[j].key, pivot) < 0)
                --j;
        } else {
            while (compareKeys(t[i].key, pivot) < 0)
                ++i;
            while (compareKeys(t[j].key, pivot) > 0)
                --j;
        }
        if (i <= j) {
            std::swap(t[i], t[j]);
            ++i;
            --j;
        }
    }
}

// The quicksort: a partition step, then lo..j and i..hi. The two parts are disjoint, so
// sorting the smaller one by recursion and the larger one in the loop gives the same rows
// as sorting them in order, with a stack depth that stays logarithmic whatever the keys.
template <class E, bool ShortRangesByBubble>
void quickSort(E* t, qsizetype lo, qsizetype hi, bool descending) {
    for (;;) {
        if (lo >= hi)
            return;
        if constexpr (ShortRangesByBubble) {
            if (hi - lo < 5) {
                bubbleSort(t, lo, hi, descending);
                return;
            }
        }
        qsizetype i = 0;
        qsizetype j = 0;
        partition(t, lo, hi, descending, i, j);
        if (j - lo < hi - i) {
            quickSort<E, ShortRangesByBubble>(t, lo, j, descending);
            lo = i;
        } else {
            quickSort<E, ShortRangesByBubble>(t, i, hi, descending);
            hi = j;
        }
    }
}

// The same rows as quickSort: for a long range its first step's two parts are sorted at
// once, which, being disjoint, they may.
template <class E, bool ShortRangesByBubble>
void quickSortAll(E* t, qsizetype lo, qsizetype hi, bool descending) {
    constexpr qsizetype kMinimumPart = 20000;
    if (SplitPoint(hi - lo + 1, kMinimumPart) > hi - lo) {
        quickSort<E, ShortRangesByBubble>(t, lo, hi, descending);
        return;
    }
    qsizetype i = 0;
    qsizetype j = 0;
    partition(t, lo, hi, descending, i, j);
    RunTogether([&] { quickSort<E, ShortRangesByBubble>(t, lo, j, descending); },
                [&] { quickSort<E, ShortRangesByBubble>(t, i, hi, descending); });
}

bool rangeFits(const GridTable& grid, qsizetype first, qsizetype last, int keyColumn) {
    return first >= 1 && last >= 0 && last < grid.rowCount() && keyColumn >= 0 &&
           keyColumn < grid.columnCount();
}

// Sorts the key table made of `keys` (one per row, first to last) into `order`, the rows'
// new order as reorderRows takes it; empty when no row moves.
template <bool ShortRangesByBubble, class Key>
void sortByKeys(qsizetype first, bool descending, const std::vector<Key>& keys,
                std::vector<qsizetype>& order) {
    std::vector<Entry<Key>> table;
    table.reserve(keys.size());
    for (size_t k = 0; k < keys.size(); ++k) {
        table.push_back({keys[k], first + static_cast<qsizetype>(k)});
    }
    quickSortAll<Entry<Key>, ShortRangesByBubble>(
        table.data(), 0, static_cast<qsizetype>(table.size()) - 1, descending);
    order.clear();
    order.reserve(table.size());
    bool moved = false;
    for (size_t k = 0; k < table.size(); ++k) {
        order.push_back(table[k].row);
        moved = moved || table[k].row != first + static_cast<qsizetype>(k);
    }
    if (!moved)
        order = std::vector<qsizetype>();
}

// The number or date sort: each row's key read once from its cell by `keyOf`.
template <class KeyOf>
bool sortByCellKeys(const GridTable& grid, qsizetype first, qsizetype last, bool descending,
                    int keyColumn, std::vector<qsizetype>& order, KeyOf keyOf) {
    if (!rangeFits(grid, first, last, keyColumn))
        return false;
    if (last < first)
        return true;
    using Key = decltype(keyOf(QByteArrayView()));
    std::vector<Key> keys;
    keys.reserve(static_cast<size_t>(last - first + 1));
    for (qsizetype r = first; r <= last; ++r)
        keys.push_back(keyOf(grid.cellUtf8(keyColumn, r)));
    sortByKeys<false>(first, descending, keys, order);
    return true;
}

bool orderByText(const GridTable& grid, qsizetype first, qsizetype last, bool descending,
                 int keyColumn, std::vector<qsizetype>& order) {
    if (!rangeFits(grid, first, last, keyColumn))
        return false;
    if (last < first)
        return true;
    sortByKeys<true>(first, descending, textRanks(grid, first, last, keyColumn), order);
    return true;
}

bool orderByNumber(const GridTable& grid, qsizetype first, qsizetype last, bool descending,
                   int keyColumn, std::vector<qsizetype>& order) {
    const QLocale locale;
    const std::string point = encode<char>(locale.decimalPoint());
    const Digits<char> digits(locale);
    return sortByCellKeys(
        grid, first, last, descending, keyColumn, order, [&point, &digits](QByteArrayView cell) {
            return numericKey<char>(View<char>(cell.data(), cell.size()), point, digits);
        });
}

bool orderByDate(const GridTable& grid, qsizetype first, qsizetype last, bool descending,
                 int keyColumn, std::vector<qsizetype>& order) {
    const QLocale locale;
    const DateFormat format(locale);
    const DateReader<char> reader(format, locale, QDate::currentDate());
    const qint64 none = NoDateKey().toJulianDay();
    const auto keyOf = [&reader, none](View<char> text) {
        const QDate d = reader.read(text);
        return d.isValid() ? d.toJulianDay() : none;
    };
    if (format.numeric) {
        return sortByCellKeys(
            grid, first, last, descending, keyColumn, order,
            [&keyOf](QByteArrayView cell) { return keyOf(View<char>(cell.data(), cell.size())); });
    }
    // A format with month names is read by QLocale, a thousand times slower than the
    // numeric reader; but a column holds few distinct dates (a day each), so each text is
    // read once. The views point into the grid, which is not written until the rows move.
    // Beyond kMostRemembered texts (not dates, mostly) the rest are read as they come.
    constexpr size_t kMostRemembered = 1 << 16;
    std::unordered_map<View<char>, qint64> known;
    return sortByCellKeys(grid, first, last, descending, keyColumn, order,
                          [&keyOf, &known](QByteArrayView cell) {
                              const View<char> text(cell.data(), cell.size());
                              if (const auto it = known.find(text); it != known.end())
                                  return it->second;
                              const qint64 key = keyOf(text);
                              if (known.size() < kMostRemembered)
                                  known.emplace(text, key);
                              return key;
                          });
}

}  // namespace

std::vector<qsizetype> NumberSortOrder(std::span<const double> keys, bool descending) {
    std::vector<Entry<double>> table;
    table.reserve(keys.size());
    for (size_t k = 0; k < keys.size(); ++k) {
        table.push_back({keys[k], static_cast<qsizetype>(k)});
    }
    quickSortAll<Entry<double>, false>(table.data(), 0, static_cast<qsizetype>(table.size()) - 1,
                                       descending);
    std::vector<qsizetype> order;
    order.reserve(table.size());
    for (const Entry<double>& e : table) {
        order.push_back(e.row);
    }
    return order;
}

bool SortGridOrder(const GridTable& grid, GridSortKey key, qsizetype first, qsizetype last,
                   bool descending, int keyColumn, std::vector<qsizetype>& order) {
    order.clear();
    switch (key) {
        case GridSortKey::Text:
            return orderByText(grid, first, last, descending, keyColumn, order);
        case GridSortKey::Number:
            return orderByNumber(grid, first, last, descending, keyColumn, order);
        case GridSortKey::Date:
            return orderByDate(grid, first, last, descending, keyColumn, order);
    }
    return false;
}

bool SortGridByText(GridTable& grid, qsizetype first, qsizetype last, bool descending,
                    int keyColumn) {
    return SortGrid(grid, GridSortKey::Text, first, last, descending, keyColumn);
}

bool SortGridByNumber(GridTable& grid, qsizetype first, qsizetype last, bool descending,
                      int keyColumn) {
    return SortGrid(grid, GridSortKey::Number, first, last, descending, keyColumn);
}

bool SortGridByDate(GridTable& grid, qsizetype first, qsizetype last, bool descending,
                    int keyColumn) {
    return SortGrid(grid, GridSortKey::Date, first, last, descending, keyColumn);
}

bool SortGrid(GridTable& grid, GridSortKey key, qsizetype first, qsizetype last, bool descending,
              int keyColumn) {
    std::vector<qsizetype> order;
    if (!SortGridOrder(grid, key, first, last, descending, keyColumn, order))
        return false;
    if (!order.empty())
        grid.reorderRows(first, order);
    return true;
}

double NumericKey(QStringView text) {
    return NumericKey(text, QLocale());
}

double NumericKey(QStringView text, const QLocale& locale) {
    const std::u16string point = locale.decimalPoint().toStdU16String();
    return numericKey<char16_t>(u16(text), point, Digits<char16_t>(locale));
}

QDate NoDateKey() {
    return QDate(1900, 1, 1);
}

QDate DateKey(QStringView text) {
    return DateKey(text, QLocale(), QDate::currentDate());
}

QDate DateKey(QStringView text, const QLocale& locale, const QDate& today) {
    const DateFormat format(locale);
    const QDate d = DateReader<char16_t>(format, locale, today).read(u16(text));
    return d.isValid() ? d : NoDateKey();
}

}  // namespace dw
