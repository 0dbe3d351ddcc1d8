#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>

#include "base/grid_table.h"
#include "base/sort_grid.h"
#include "support/scripted_prompter.h"
#include "widgets/sort_menu.h"

namespace dw {
namespace {

// A file-hog style grid: Size, Date, Time, Access, FileName, Type.
class SortMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        grid.setColumnCount(6);
        grid.setTitles({"Size", "Modified", "Time", "Access", "FileName", "Type"});
    }

    void fill() {
        grid.appendRow({"2,000", "1/5/2020", "", "2/1/2024", "/b", "B File"});
        grid.appendRow({"30", "7/1/2021", "", "1/1/2024", "/c", "A File"});
        grid.appendRow({"1,000,000", "3/3/2019", "", "3/1/2024", "/a", "C File"});
    }

    // The FileName column top to bottom.
    QString names() const {
        QString s;
        for (qsizetype r = 1; r < grid.rowCount(); ++r)
            s += grid.cell(4, r);
        return s;
    }

    QList<bool> checks(const SortMenu& menu) const {
        QList<bool> out;
        for (QAction* a : menu.actions())
            out.append(a->isChecked());
        return out;
    }

    GridTable grid;
    SortDirections directions;
};

TEST_F(SortMenuTest, EachItemKeepsAndInvertsItsOwnDirection) {
    fill();
    SortMenu menu(&grid, kSortMenuDup, nullptr, &directions);
    EXPECT_EQ(checks(menu), (QList<bool>{true, false, false, false, false}));

    EXPECT_TRUE(menu.choose(0));  // "&Size" starts descending
    EXPECT_EQ(names(), "/a/b/c");
    EXPECT_FALSE(menu.descending(0));
    EXPECT_TRUE(menu.choose(0));
    EXPECT_EQ(names(), "/c/b/a");
    EXPECT_TRUE(menu.descending(0));

    EXPECT_TRUE(menu.choose(3));  // "&Name" starts ascending; Size's direction is its own
    EXPECT_EQ(names(), "/a/b/c");
    EXPECT_TRUE(menu.descending(0));
    EXPECT_TRUE(menu.descending(3));
    EXPECT_EQ(checks(menu), (QList<bool>{false, false, false, true, false}));

    EXPECT_TRUE(menu.chooseColumn(3));  // the "Access" title: "&Access Date", descending
    EXPECT_EQ(names(), "/a/b/c");
    EXPECT_FALSE(menu.chooseColumn(2));  // "Time" has no item
    EXPECT_EQ(menu.checkedItem(), 2);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // A window opened later in the same run goes on from these directions.
    SortMenu later(&grid, kSortMenuDup, nullptr, &directions);
    EXPECT_TRUE(later.choose(0));
    EXPECT_EQ(names(), "/a/b/c");  // descending, as the first window left it
}

// A long sort lets the window's events run (painting, timers) while it works: they see
// the rows as they were, never half moved, and the sort's result is what the plain sort
// gives. The refused range still says so from there.
TEST_F(SortMenuTest, ALongSortLetsTheWindowPaintAndMovesTheRowsOnlyWhenDone) {
    constexpr int kRows = 40000;
    for (int i = 0; i < kRows; ++i) {
        const int size = (i * 7919) % kRows;
        grid.appendRow({QString::number(size), "1/5/2020", "", "2/1/2024",
                        QStringLiteral("/f%1").arg(size, 6, 10, QLatin1Char('0')), "B File"});
    }
    GridTable plain(6);
    plain.setTitles(grid.rowCells(0));
    for (qsizetype r = 1; r < grid.rowCount(); ++r)
        plain.appendRow(grid.rowCells(r));
    ASSERT_TRUE(SortGrid(plain, GridSortKey::Text, 1, plain.rowCount() - 1, false, 4));

    SortMenu menu(&grid, kSortMenuDup, nullptr, &directions);
    menu.setPaintingRows(1000);
    const QString firstBefore = grid.cell(4, 1);
    int ticksWhileSorting = 0;
    bool rowsStill = true;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &menu, [&] {
        if (menu.isSorting()) {
            ++ticksWhileSorting;
            rowsStill = rowsStill && grid.cell(4, 1) == firstBefore;
        }
    });
    tick.start(0);
    EXPECT_TRUE(menu.choose(3));  // "&Name"
    tick.stop();
    EXPECT_GE(ticksWhileSorting, 1);
    EXPECT_TRUE(rowsStill);
    for (qsizetype r = 1; r < grid.rowCount(); ++r)
        ASSERT_EQ(grid.rowCells(r), plain.rowCells(r)) << r;
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    grid.setColumnCount(3);
    test::ScriptedPrompter prompter;
    EXPECT_FALSE(menu.choose(4));
    EXPECT_EQ(prompter.texts(), QStringList{QString::fromLatin1(kSortRangeErrorText)});
}

TEST_F(SortMenuTest, ASortTheGridCannotTakeIsRefusedWithTheRangeError) {
    // Three columns only: the "&Type" item sorts column 5.
    grid.setColumnCount(3);
    grid.appendRow({"2", "1/5/2020", ""});
    grid.appendRow({"1", "7/1/2021", ""});
    SortMenu menu(&grid, kSortMenuDup, nullptr, &directions);
    int sorts = 0;
    QObject::connect(&menu, &SortMenu::sorted, &menu, [&] { ++sorts; });
    test::ScriptedPrompter prompter;
    EXPECT_FALSE(menu.choose(4));
    ASSERT_EQ(prompter.boxes().size(), 1);
    EXPECT_EQ(prompter.boxes()[0].text, QString::fromLatin1(kSortRangeErrorText));
    EXPECT_EQ(prompter.boxes()[0].kind, platform::MessageKind::Error);
    EXPECT_EQ(prompter.sounds(), QList<platform::Sound>{platform::Sound::Hand});
    EXPECT_EQ(sorts, 0);
    EXPECT_EQ(grid.cell(0, 1), QStringLiteral("2"));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(SortMenuTest, NothingHappensWithoutADataRowOrWhileDisabled) {
    SortMenu menu(&grid, kSortMenuDup, nullptr, &directions);
    int sorts = 0;
    QObject::connect(&menu, &SortMenu::sorted, &menu, [&] { ++sorts; });
    menu.action(1)->trigger();
    EXPECT_FALSE(menu.choose(1));
    // The triggered action does not stay checked, the direction is unchanged.
    EXPECT_EQ(checks(menu), (QList<bool>{true, false, false, false, false}));
    EXPECT_TRUE(menu.descending(1));

    fill();
    menu.setSortingEnabled(false);  // duplicate mode
    EXPECT_FALSE(menu.choose(0));
    EXPECT_EQ(names(), "/b/c/a");
    menu.setSortingEnabled(true);
    menu.action(0)->trigger();
    EXPECT_EQ(names(), "/a/b/c");
    EXPECT_EQ(sorts, 1);
}

TEST_F(SortMenuTest, BrowserInvertsBeforeAUserSortAndResortsUnchanged) {
    // Browser columns: Modified, Time, Access, Size, Filename, Type.
    grid.setTitles({"Modified", "Time", "Access", "Size", "Filename", "Type"});
    grid.appendRow({"1/5/2020", "", "", "2,000", "b", ""});
    grid.appendRow({"7/1/2021", "", "", "30", "c", ""});
    grid.appendRow({"3/3/2019", "", "", "1,000,000", "a", ""});
    SortMenu menu(&grid, kSortMenuBrowse, nullptr, &directions);
    EXPECT_TRUE(menu.choose(3));  // "&Size" stored descending: the first click sorts ascending
    EXPECT_EQ(names(), "cba");
    EXPECT_FALSE(menu.descending(3));
    EXPECT_TRUE(menu.resortChecked());  // a refilled list keeps the direction
    EXPECT_EQ(names(), "cba");
    EXPECT_FALSE(menu.descending(3));
    EXPECT_TRUE(menu.choose(3));
    EXPECT_EQ(names(), "abc");
    EXPECT_TRUE(menu.choose(0));  // "Name" stored ascending: the first click sorts descending
    EXPECT_EQ(names(), "cba");
}

TEST_F(SortMenuTest, StatisticsKeepsTheTotalsRowAndNeverInverts) {
    grid.setColumnCount(5);
    grid.setTitles({"Extension", "Type", "Size", "# Files", "Avg File Size"});
    grid.appendRow({".TXT", "Text", "300", "3", "100"});
    SortMenu menu(&grid, kSortMenuStatistics, nullptr, &directions);
    grid.appendRow({"", "Totals", "300", "3", ""});
    EXPECT_FALSE(menu.choose(2));  // fewer than 4 rows
    grid.insertRows(2, 1);
    grid.setRowCells(2, {".DOC", "Document", "5,000", "1", "5,000"});
    EXPECT_TRUE(menu.choose(2));  // "Sort by &Size", always largest first
    EXPECT_TRUE(menu.choose(2));
    EXPECT_EQ(grid.cell(0, 1), ".DOC");
    EXPECT_EQ(grid.cell(0, 2), ".TXT");
    EXPECT_EQ(grid.cell(1, 3), "Totals");
    EXPECT_TRUE(menu.descending(2));
    EXPECT_TRUE(menu.choose(0));
    EXPECT_TRUE(menu.choose(0));
    EXPECT_EQ(grid.cell(0, 1), ".DOC");
    EXPECT_EQ(grid.cell(1, 3), "Totals");
}

TEST_F(SortMenuTest, AddsItsItemsToAMenu) {
    SortMenu menu(&grid, kSortMenuMods, nullptr, &directions);
    QMenu popup;
    menu.addTo(&popup);
    ASSERT_EQ(popup.actions().size(), 7);
    EXPECT_EQ(popup.actions()[1]->text(), QStringLiteral("Access &Date"));
    EXPECT_EQ(menu.itemForColumn(6), 6);
}

}  // namespace
}  // namespace dw
