#pragma once

#include <QList>
#include <QObject>

#include <map>
#include <span>
#include <string>
#include <utility>

#include "base/sort_grid.h"

class QAction;
class QMenu;

namespace dw {

class GridTable;

// When a "Sort by" item turns its stored direction round.
enum class SortInversion {
    AfterEachSort,   // sorts with the stored direction, then inverts it (the list windows)
    BeforeUserSort,  // a user's choice inverts it first and sorts with the result; a
                     // re-sort of a refilled list keeps it (the browser)
    Never,           // the direction is fixed (the statistics table)
};

// One "Sort by" item: its menu text, the column it sorts by, how the key is read, and
// the direction it has when the program starts.
struct SortItem {
    const char* text;
    int column;
    GridSortKey key;
    bool startsDescending;
};

// A window's "Sort by" menu. `id` names the window for the directions that last for the
// program run.
struct SortMenuSetup {
    const char* id;
    std::span<const SortItem> items;
    SortInversion inversion = SortInversion::AfterEachSort;
    // The grid needs at least this many rows, title included, for a sort to happen.
    qsizetype minimumRows = 2;
    // Rows at the bottom that stay out of every sort (a totals row).
    qsizetype rowsKeptBelow = 0;
    // The item checked when the menu is made.
    int checkedAtStart = 0;
};

// The sort menus of the windows, with their items, columns, keys and the directions the
// items start the program run with.
extern const SortMenuSetup kSortMenuDup;         // duplicates and file hogs (file-hog mode)
extern const SortMenuSetup kSortMenuClean;       // quick clean of temporary files
extern const SortMenuSetup kSortMenuDirHog;      // folder hogs
extern const SortMenuSetup kSortMenuMods;        // files accessed
extern const SortMenuSetup kSortMenuBrowse;      // disk and folder browser
extern const SortMenuSetup kSortMenuStatistics;  // statistics: file-type table

// The stored directions of sort items, per menu id and item. An item not yet stored has
// its starting direction. One instance, forRun(), lasts for the program run, so that a
// window opened later continues with the directions an earlier one left.
class SortDirections {
public:
    static SortDirections& forRun();

    bool descending(const SortMenuSetup& setup, int item) const;
    void setDescending(const SortMenuSetup& setup, int item, bool descending);
    // Every item back to its starting direction.
    void clear() { stored_.clear(); }

private:
    std::map<std::pair<std::string, int>, bool> stored_;
};

// The bookkeeping of a window's "Sort by" items: one checkable action per item (owned by
// the SortMenu), the stored directions, the wait cursor, the check marks. A choice of an
// item, from its action or from a click on its column's title, does nothing while sorting
// is disabled, while another sort runs or when the grid has fewer than the menu's minimum
// rows; otherwise it shows the wait cursor, unchecks all items, sorts grid rows 1 to the
// last row not kept below by the item's column and key, in the direction its inversion
// rule gives, checks the item and restores the cursor. A sort of many rows (a million
// take about half a second) runs on a thread of its own while the window keeps painting
// and its timers run; input made meanwhile is delivered once the rows have moved.
//
// The grid and the setup are not owned and must outlive the SortMenu (the setups above
// live as long as the program).
class SortMenu : public QObject {
    Q_OBJECT

public:
    // `directions` defaults to SortDirections::forRun().
    SortMenu(GridTable* grid, const SortMenuSetup& setup, QObject* parent = nullptr,
             SortDirections* directions = nullptr);

    const SortMenuSetup& setup() const { return setup_; }
    int itemCount() const { return static_cast<int>(actions_.size()); }
    QAction* action(int item) const;
    const QList<QAction*>& actions() const { return actions_; }
    // Adds the item actions to `menu`, in order.
    void addTo(QMenu* menu) const;

    // The item that sorts by `column`, or -1 when none does.
    int itemForColumn(int column) const;

    // The user chose `item` (its action or its column's title). Returns true when the
    // grid was sorted.
    bool choose(int item);
    // The user clicked the title of `column`: choose() of its item; false when the column
    // has none.
    bool chooseColumn(int column);
    // Sorts again by the checked item with its stored direction, which stays as it is (a
    // refilled list). Same guards as choose(); the check marks stay.
    bool resortChecked();

    // Whether a sort is running (the window's events run during a long one).
    bool isSorting() const { return busy_; }
    // For tests: the rows from which a sort runs on its own thread (default 100,000).
    void setPaintingRows(qsizetype rows) { paintingRows_ = rows; }

    // While disabled (a window mode without sorting), choices do nothing.
    void setSortingEnabled(bool enabled) { enabled_ = enabled; }
    bool isSortingEnabled() const { return enabled_; }

    // The stored direction of an item.
    bool descending(int item) const;
    void setDescending(int item, bool descending);

    // The checked item; checkOnly() checks `item` and unchecks the others (-1: none).
    int checkedItem() const { return checked_; }
    void checkOnly(int item);

signals:
    // A sort by `item` in the direction given took place.
    void sorted(int item, bool descending);

private:
    bool sortBy(int item, bool descending);
    void syncChecks();

    GridTable* grid_;
    const SortMenuSetup& setup_;
    SortDirections* directions_;
    QList<QAction*> actions_;
    int checked_ = -1;
    bool enabled_ = true;
    bool busy_ = false;
    qsizetype paintingRows_ = 100000;
};

}  // namespace dw
