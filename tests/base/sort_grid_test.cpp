#include <gtest/gtest.h>

#include <QLocale>
#include <QRandomGenerator>

#include <memory>
#include <vector>

#include "base/grid_table.h"
#include "base/sort_grid.h"
#include "support/scripted_prompter.h"

namespace dw {
namespace {

// A grid whose data rows carry `keys` in column 0, their number (1, 2, ...) in column 1
// and per-row data derived from that number, so that a test can tell whether a row
// moved whole.
QByteArray pathOf(int id) {
    return QByteArray("/data/f\t") + QByteArray::number(id) + "\xff";
}

std::unique_ptr<GridTable> makeGrid(const QStringList& keys) {
    auto grid = std::make_unique<GridTable>(3);
    grid->setTitles({QStringLiteral("Key"), QStringLiteral("Id"), QStringLiteral("Other")});
    for (int i = 0; i < keys.size(); ++i) {
        const int id = i + 1;
        grid->appendRow({keys[i], QString::number(id), QStringLiteral("o%1").arg(id)}, pathOf(id),
                        static_cast<quint8>(id % 3), static_cast<char>('A' + id % 2));
    }
    return grid;
}

QStringList column(const GridTable& grid, int c) {
    QStringList out;
    for (qsizetype r = 1; r < grid.rowCount(); ++r)
        out.append(grid.cell(c, r));
    return out;
}

// Every data row still holds the cells and per-row data it was made with, and the title
// row is untouched.
void expectRowsWhole(const GridTable& grid, const QStringList& keys) {
    EXPECT_EQ(grid.rowCells(0),
              (QStringList{QStringLiteral("Key"), QStringLiteral("Id"), QStringLiteral("Other")}));
    for (qsizetype r = 1; r < grid.rowCount(); ++r) {
        const int id = grid.cell(1, r).toInt();
        ASSERT_GE(id, 1);
        ASSERT_LE(id, keys.size());
        EXPECT_EQ(grid.cell(0, r), keys[id - 1]) << "row " << r;
        EXPECT_EQ(grid.cell(2, r), QStringLiteral("o%1").arg(id));
        EXPECT_EQ(grid.rowData(r), pathOf(id));
        EXPECT_EQ(grid.mark(r), id % 3);
        EXPECT_EQ(grid.band(r), 'A' + id % 2);
    }
}

struct SortCase {
    const char* name;
    GridSortKey key;
    bool descending;
    QStringList keys;
    qsizetype first;  // 0: from row 1
    qsizetype last;   // 0: to the last row
    QStringList expected;
};

TEST(SortGrid, OrdersRowsAsTheKeysSay) {
    const SortCase cases[] = {
        {"numbers with separators, a blank and a unit",
         GridSortKey::Number,
         false,
         {"999", "1,024", "", "12 KB"},
         0,
         0,
         {"", "12 KB", "999", "1,024"}},
        {"the same, largest first",
         GridSortKey::Number,
         true,
         {"999", "1,024", "", "12 KB"},
         0,
         0,
         {"1,024", "999", "12 KB", ""}},
        {"numbers: words count 0, signs are dropped, decimals count",
         GridSortKey::Number,
         false,
         {"DELETED", "-5", "2.5", "12.5 KB", "3", "1,000,000", "7 KB", ".5"},
         0,
         0,
         {"DELETED", ".5", "2.5", "3", "-5", "7 KB", "12.5 KB", "1,000,000"}},
        {"sizes beyond 32 bits",
         GridSortKey::Number,
         true,
         {"4,294,967,296", "5,368,709,120", "4,294,967,295", "0"},
         0,
         0,
         {"5,368,709,120", "4,294,967,296", "4,294,967,295", "0"}},
        {"text ignores the case of ASCII letters only",
         GridSortKey::Text,
         false,
         {"b", "A", "C"},
         0,
         0,
         {"A", "b", "C"}},
        {"a short range never exchanges equal neighbours",
         GridSortKey::Text,
         false,
         {"apple", "B", "APPLE", "a", "Apple"},
         0,
         0,
         {"a", "apple", "APPLE", "Apple", "B"}},
        {"text by character code, shorter first",
         GridSortKey::Text,
         false,
         {"zeta", "_x", "ZZ", "alpha", "\u00c9mile", "ab", "abc", "Beta", "0day"},
         0,
         0,
         {"0day", "ab", "abc", "alpha", "Beta", "zeta", "ZZ", "_x", "\u00c9mile"}},
        {"text, largest first",
         GridSortKey::Text,
         true,
         {"zeta", "_x", "ZZ", "alpha", "\u00c9mile", "ab", "abc", "Beta", "0day"},
         0,
         0,
         {"\u00c9mile", "_x", "ZZ", "zeta", "Beta", "alpha", "abc", "ab", "0day"}},
        {"dates: empty and unreadable cells count as 1900",
         GridSortKey::Date,
         false,
         {"1/2/2003", "", "nonsense"},
         0,
         0,
         {"nonsense", "", "1/2/2003"}},
        // "6/1" has no year: it lies in this year, so after 2025.
        {"dates in the short format, two-digit years and none",
         GridSortKey::Date,
         false,
         {"12/31/2025", "3/10/99", "1/2/2003", "1/1/80", "1/1/1900 ", "6/1"},
         0,
         0,
         {"1/1/1900 ", "1/1/80", "3/10/99", "1/2/2003", "12/31/2025", "6/1"}},
        {"dates, newest first",
         GridSortKey::Date,
         true,
         {"1/2/2003", "3/10/99", "12/31/2025"},
         0,
         0,
         {"12/31/2025", "1/2/2003", "3/10/99"}},
        {"only the range moves",
         GridSortKey::Number,
         false,
         {"5", "1", "4", "3", "2"},
         2,
         4,
         {"5", "1", "3", "4", "2"}},
        {"a range of one row", GridSortKey::Text, false, {"b", "a"}, 2, 2, {"b", "a"}},
        {"an empty range", GridSortKey::Number, false, {"2", "1"}, 2, 1, {"2", "1"}},
    };
    for (const SortCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScriptedPrompter prompter;
        auto grid = makeGrid(c.keys);
        const qsizetype first = c.first ? c.first : 1;
        const qsizetype last = c.last ? c.last : grid->rowCount() - 1;
        EXPECT_TRUE(SortGrid(*grid, c.key, first, last, c.descending, 0));
        EXPECT_EQ(column(*grid, 0), c.expected);
        expectRowsWhole(*grid, c.keys);
        EXPECT_TRUE(prompter.boxes().isEmpty());
    }
}

TEST(SortGrid, GridWithOnlyTheTitleRowStaysAsItIs) {
    test::ScriptedPrompter prompter;
    auto grid = makeGrid({});
    for (GridSortKey key : {GridSortKey::Text, GridSortKey::Number, GridSortKey::Date}) {
        EXPECT_TRUE(SortGrid(*grid, key, 1, grid->rowCount() - 1, false, 0));
    }
    EXPECT_EQ(grid->rowCount(), 1);
    expectRowsWhole(*grid, {});
    EXPECT_TRUE(prompter.boxes().isEmpty());
}

TEST(SortGrid, TotalsRowBelowTheRangeStaysLast) {
    auto grid = makeGrid({"300", "1,000", "20", "1,320"});
    ASSERT_TRUE(SortGridByNumber(*grid, 1, grid->rowCount() - 2, true, 0));
    EXPECT_EQ(column(*grid, 0), (QStringList{"1,000", "300", "20", "1,320"}));
    ASSERT_TRUE(SortGridByNumber(*grid, 1, grid->rowCount() - 2, false, 0));
    EXPECT_EQ(column(*grid, 0), (QStringList{"20", "300", "1,000", "1,320"}));
}

TEST(SortGrid, RangeOutsideTheGridIsRefusedWithoutABox) {
    struct Case {
        const char* name;
        qsizetype first;
        qsizetype last;
        int column;
    };
    const Case cases[] = {
        {"the title row", 0, 3, 0},       {"a negative first row", -1, 3, 0},
        {"beyond the last row", 1, 4, 0}, {"a negative last row", 1, -1, 0},
        {"a negative column", 1, 3, -1},  {"beyond the last column", 1, 3, 3},
    };
    const QStringList keys{"b", "c", "a"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (GridSortKey key : {GridSortKey::Text, GridSortKey::Number, GridSortKey::Date}) {
            test::ScriptedPrompter prompter;
            auto grid = makeGrid(keys);
            EXPECT_FALSE(SortGrid(*grid, key, c.first, c.last, false, c.column));
            EXPECT_TRUE(prompter.boxes().isEmpty());
            EXPECT_TRUE(prompter.sounds().isEmpty());
            EXPECT_EQ(column(*grid, 0), keys);
            expectRowsWhole(*grid, keys);
        }
    }
}

TEST(SortGrid, MoreThan65535RowsSort) {
    QStringList keys;
    for (int i = 0; i < 70000; ++i)
        keys.append(QString::number((i * 7919) % 70000));
    auto grid = makeGrid(keys);
    ASSERT_TRUE(SortGridByNumber(*grid, 1, grid->rowCount() - 1, false, 0));
    for (qsizetype r = 1; r < grid->rowCount(); ++r) {
        ASSERT_EQ(grid->cell(0, r), QString::number(r - 1));
    }
}

TEST(NumericKey, KeepsDigitsAndTheDecimalSeparator) {
    struct Case {
        const char* text;
        double key;
    };
    const Case english[] = {
        {"1,024 KB", 1024},
        {"-5", 5},
        {"", 0},
        {"abc", 0},
        {"1.2.3", 0},
        {".", 0},
        {"5.", 5},
        {".5", 0.5},
        {"1,234,567", 1234567},
        {" 12 ", 12},
        {"DELETED", 0},
        {"1 2", 12},
        {"12,345,678,901,234", 12345678901234.0},
        // Fifteen digits and more, where a whole number no longer fits every reader.
        {"999,999,999,999,999", 999999999999999.0},
        {"9,007,199,254,740,993", 9007199254740992.0},
        {"123,456,789,012,345,678,901", 123456789012345678901.0},
        {"007", 7},
        {"1,234.5", 1234.5},
    };
    for (const Case& c : english) {
        EXPECT_DOUBLE_EQ(NumericKey(QString::fromUtf8(c.text)), c.key) << c.text;
    }
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_DOUBLE_EQ(NumericKey(u"1.234,5", german), 1234.5);
    EXPECT_DOUBLE_EQ(NumericKey(u"1.024 KB", german), 1024);
    EXPECT_DOUBLE_EQ(NumericKey(u"1,5,5", german), 0);
    // Where the locale writes its own digits, its numbers still have their value.
    const QLocale arabic(QLocale::Arabic, QLocale::SaudiArabia);
    EXPECT_DOUBLE_EQ(NumericKey(arabic.toString(1234567), arabic), 1234567);
}

TEST(DateKey, ReadsTheWholeTextInTheShortDateFormat) {
    const QDate today(2026, 6, 15);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale hungarian(QLocale::Hungarian, QLocale::Hungary);
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    const QLocale bulgarian(QLocale::Bulgarian, QLocale::Bulgaria);
    const QDate none = NoDateKey();
    struct Case {
        const QLocale* locale;
        const char* text;
        QDate key;
    };
    const Case cases[] = {
        {&us, "3/10/99", QDate(1999, 3, 10)},
        {&us, "3/10/1999", QDate(1999, 3, 10)},
        {&us, "03/10/1999", QDate(1999, 3, 10)},
        {&us, "1/1/80", QDate(1980, 1, 1)},
        {&us, "12/31/45", QDate(2045, 12, 31)},
        {&us, "1/1/46", QDate(1946, 1, 1)},
        {&us, "5/6", QDate(2026, 5, 6)},
        {&us, "3/10/99  ", QDate(1999, 3, 10)},
        {&us, " 3 / 10 / 99", QDate(1999, 3, 10)},
        {&us, "2/29/2024", QDate(2024, 2, 29)},
        {&us, "", none},
        {&us, "   ", none},
        {&us, "nonsense", none},
        {&us, "3/10/99 12:00", none},
        {&us, "3/10/99/", none},
        {&us, "2/30/2020", none},
        {&us, "13/1/2020", none},
        {&us, "3-10-99", none},
        {&us, "3/10/19999", none},
        {&us, "0/10/99", none},
        {&us, "3/10/0000", none},
        {&german, "10.03.99", QDate(1999, 3, 10)},
        {&german, "10.03.2026", QDate(2026, 3, 10)},
        {&german, "3/10/99", none},
        {&hungarian, "2026. 03. 05.", QDate(2026, 3, 5)},
        {&hungarian, "2026. 03. 05", QDate(2026, 3, 5)},
        {&korean, "26. 3. 5.", QDate(2026, 3, 5)},
        {&bulgarian, "5.03.26 \u0433.", QDate(2026, 3, 5)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DateKey(QString::fromUtf8(c.text), *c.locale, today), c.key)
            << c.locale->name().toStdString() << " '" << c.text << "'";
    }
    // The texts a locale writes itself come back as their dates.
    for (const QLocale& l :
         {us, german, hungarian, korean, bulgarian, QLocale(QLocale::Arabic, QLocale::SaudiArabia),
          QLocale(QLocale::Persian, QLocale::Iran)}) {
        const QDate d(2024, 11, 28);
        EXPECT_EQ(DateKey(l.toString(d, QLocale::ShortFormat), l, today), d)
            << l.name().toStdString();
    }
}

// The grid sorts written out plainly: recursion in the given order, keys read from the
// cell text at every comparison. The library's sorts must give exactly these rows, equal
// keys included.
class PlainSort {
public:
    PlainSort(GridSortKey kind, bool descending) : kind_(kind), descending_(descending) {}

    void sort(std::vector<std::pair<QString, int>>& t, int lo, int hi) const {
        if (kind_ == GridSortKey::Text && hi - lo < 5) {
            bubble(t, lo, hi);
            return;
        }
        if (lo >= hi)
            return;
        const QString pivot = t[static_cast<size_t>((lo + hi) / 2)].first;
        int i = lo;
        int j = hi;
        while (i <= j) {
            if (!descending_) {
                while (compare(t[i].first, pivot) < 0)
                    ++i;
                while (compare(t[j].first, pivot) > 0)
                    --j;
            } else {
                while (compare(t[i].first, pivot) > 0)
                    ++i;
                while (compare(t[j].first, pivot) < 0)
                    --j;
            }
            if (i <= j) {
                std::swap(t[i], t[j]);
                ++i;
                --j;
            }
        }
        sort(t, lo, j);
        sort(t, i, hi);
    }

private:
    void bubble(std::vector<std::pair<QString, int>>& t, int lo, int hi) const {
        bool exchanged = true;
        while (exchanged) {
            exchanged = false;
            for (int r = lo; r < hi; ++r) {
                const int c = compare(t[r].first, t[r + 1].first);
                if (descending_ ? c < 0 : c > 0) {
                    std::swap(t[r], t[r + 1]);
                    exchanged = true;
                }
            }
        }
    }

    int compare(const QString& a, const QString& b) const {
        switch (kind_) {
            case GridSortKey::Number: {
                const double x = NumericKey(a);
                const double y = NumericKey(b);
                return x < y ? -1 : (y < x ? 1 : 0);
            }
            case GridSortKey::Date: {
                const QDate x = DateKey(a);
                const QDate y = DateKey(b);
                return x < y ? -1 : (y < x ? 1 : 0);
            }
            case GridSortKey::Text:
                break;
        }
        QByteArray x = a.toUtf8();
        QByteArray y = b.toUtf8();
        for (char& ch : x) {
            if (ch >= 'a' && ch <= 'z')
                ch = static_cast<char>(ch - 32);
        }
        for (char& ch : y) {
            if (ch >= 'a' && ch <= 'z')
                ch = static_cast<char>(ch - 32);
        }
        return x.compare(y) < 0 ? -1 : (x == y ? 0 : 1);
    }

    GridSortKey kind_;
    bool descending_;
};

TEST(SortGrid, GivesTheRowsOfThePlainQuicksortEvenWithManyEqualKeys) {
    const QStringList numbers{"1,024", "12", "", "x", "1,024 KB", "7", "0", "12.5", "999"};
    const QStringList texts{"a",
                            "A",
                            "b",
                            "B_",
                            "Ab",
                            "\u00e9",
                            "ab",
                            "abcdefghij",
                            "ABCDEFGHIK",
                            "abcdefgh",
                            "_",
                            QStringLiteral("a") + QChar(0),
                            QStringLiteral("a") + QChar(0) + QChar(0),
                            "/home/ann/Documents/report.txt",
                            "/home/ann/documents/Report.txt",
                            "/home/ann/Documents/report.txt.bak",
                            "/home/ann/Documents/r\u00e9sum\u00e9.txt",
                            "/home/ann/Documents/"};
    const QStringList dates{"1/2/2003", "", "x", "3/10/99", "12/31/2025", "3/10/1999", "6/1"};
    QRandomGenerator random(1234);
    for (GridSortKey kind : {GridSortKey::Text, GridSortKey::Number, GridSortKey::Date}) {
        const QStringList& pool = kind == GridSortKey::Text     ? texts
                                  : kind == GridSortKey::Number ? numbers
                                                                : dates;
        for (int round = 0; round < 60; ++round) {
            const int n = 1 + random.bounded(round < 30 ? 12 : round < 55 ? 300 : 3000);
            QStringList keys;
            for (int i = 0; i < n; ++i)
                keys.append(pool[random.bounded(pool.size())]);
            const int first = 1 + random.bounded(n);
            const int last = first + random.bounded(n - first + 1);
            const bool descending = random.bounded(2) == 1;

            std::vector<std::pair<QString, int>> plain;
            for (int i = 0; i < n; ++i)
                plain.emplace_back(keys[i], i + 1);
            PlainSort(kind, descending).sort(plain, first - 1, last - 1);

            auto grid = makeGrid(keys);
            ASSERT_TRUE(SortGrid(*grid, kind, first, last, descending, 0));
            for (int r = 1; r <= n; ++r) {
                ASSERT_EQ(grid->cell(1, r).toInt(), plain[static_cast<size_t>(r - 1)].second)
                    << "kind " << int(kind) << " round " << round << " row " << r;
            }
            expectRowsWhole(*grid, keys);
        }
    }
}

// A short date format with month names ("17 Jun 2021" in the C locale) is read once per
// distinct text: the rows must still come out as reading every cell would put them, with
// repeated dates and texts that are no date.
TEST(SortGrid, DatesOfEveryLocaleGiveTheRowsOfThePlainQuicksort) {
    struct LocaleGuard {
        ~LocaleGuard() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    } guard;
    QRandomGenerator random(77);
    for (const QLocale& locale :
         {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedKingdom),
          QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::French, QLocale::France)}) {
        SCOPED_TRACE(locale.name().toStdString());
        QLocale::setDefault(locale);
        for (const int n : {40, 3000}) {
            QStringList keys;
            for (int i = 0; i < n; ++i) {
                const int pick = random.bounded(20);
                if (pick == 0) {
                    keys.append(QStringLiteral("no date %1").arg(random.bounded(n)));
                } else if (pick == 1) {
                    keys.append(QString());
                } else {
                    const QDate date =
                        QDate(1981, 1, 1).addDays(random.bounded(n < 1000 ? 30 : 2 * n));
                    keys.append(locale.toString(date, QLocale::ShortFormat));
                }
            }
            const bool descending = n == 3000;
            std::vector<std::pair<QString, int>> plain;
            for (int i = 0; i < n; ++i)
                plain.emplace_back(keys[i], i + 1);
            PlainSort(GridSortKey::Date, descending).sort(plain, 0, n - 1);
            auto grid = makeGrid(keys);
            ASSERT_TRUE(SortGrid(*grid, GridSortKey::Date, 1, n, descending, 0));
            for (int r = 1; r <= n; ++r) {
                ASSERT_EQ(grid->cell(1, r).toInt(), plain[static_cast<size_t>(r - 1)].second)
                    << "rows " << n << " row " << r;
            }
            if (n == 40) {
                expectRowsWhole(*grid, keys);
            }
        }
        // The dates are read as dates, not as texts: 2 Feb sorts before 10 Jan of the
        // following year whatever their texts.
        auto grid = makeGrid({locale.toString(QDate(2021, 1, 10), QLocale::ShortFormat),
                              locale.toString(QDate(2020, 2, 2), QLocale::ShortFormat)});
        ASSERT_TRUE(SortGrid(*grid, GridSortKey::Date, 1, 2, false, 0));
        EXPECT_EQ(grid->cell(1, 1), QStringLiteral("2"));
    }
}

TEST(SortGrid, LongRangesGiveTheRowsOfThePlainQuicksort) {
    // Long enough for the two parts of the first step to be sorted at once; few distinct
    // keys, so that the order of equal ones shows.
    const QStringList numbers{"1,024", "12", "", "7", "0", "999", "300"};
    const QStringList texts{"a", "A", "b", "Ab", "ab", "_", "/home/x", "/Home/x"};
    QRandomGenerator random(99);
    for (GridSortKey kind : {GridSortKey::Number, GridSortKey::Text}) {
        const QStringList& pool = kind == GridSortKey::Text ? texts : numbers;
        const int n = 42000;
        QStringList keys;
        for (int i = 0; i < n; ++i)
            keys.append(pool[random.bounded(pool.size())]);
        for (const bool descending : {true, false}) {
            std::vector<std::pair<QString, int>> plain;
            for (int i = 0; i < n; ++i)
                plain.emplace_back(keys[i], i + 1);
            PlainSort(kind, descending).sort(plain, 0, n - 1);
            auto grid = makeGrid(keys);
            ASSERT_TRUE(SortGrid(*grid, kind, 1, n, descending, 0));
            for (int r = 1; r <= n; ++r) {
                ASSERT_EQ(grid->cell(1, r).toInt(), plain[static_cast<size_t>(r - 1)].second)
                    << "kind " << int(kind) << " row " << r;
            }
            if (kind == GridSortKey::Number) {
                std::vector<double> values;
                for (const QString& k : keys)
                    values.push_back(NumericKey(k));
                const std::vector<qsizetype> order = NumberSortOrder(values, descending);
                for (int r = 1; r <= n; ++r) {
                    ASSERT_EQ(order[static_cast<size_t>(r - 1)] + 1,
                              plain[static_cast<size_t>(r - 1)].second)
                        << r;
                }
            }
        }
    }
}

}  // namespace
}  // namespace dw
