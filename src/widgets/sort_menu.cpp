#include "widgets/sort_menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>

#include <vector>

#include "base/grid_table.h"
#include "platform/event_pump.h"
#include "widgets/message_boxes.h"
#include "widgets/wait_cursor.h"

namespace dw {

namespace {

constexpr bool kAscending = false;
constexpr bool kDescending = true;

constexpr SortItem kDupItems[] = {
    {"&Size", 0, GridSortKey::Number, kDescending},
    {"&Date", 1, GridSortKey::Date, kDescending},
    {"&Access Date", 3, GridSortKey::Date, kDescending},
    {"&Name", 4, GridSortKey::Text, kAscending},
    {"&Type", 5, GridSortKey::Text, kAscending},
};

constexpr SortItem kCleanItems[] = {
    {"&Size", 0, GridSortKey::Number, kDescending},
    {"&Date", 1, GridSortKey::Date, kDescending},
    {"&Access date", 3, GridSortKey::Date, kDescending},
    {"&Name", 4, GridSortKey::Text, kAscending},
    {"&Type", 5, GridSortKey::Text, kAscending},
};

constexpr SortItem kDirHogItems[] = {
    {"Sort by &Size", 0, GridSortKey::Number, kDescending},
    {"Sort by # &Files", 2, GridSortKey::Number, kDescending},
    {"Sort by # Sub-f&olders", 3, GridSortKey::Number, kDescending},
    {"Sort by &Access Date", 4, GridSortKey::Date, kDescending},
    {"Sort by &Name", 5, GridSortKey::Text, kAscending},
};

constexpr SortItem kModsItems[] = {
    {"&Name", 0, GridSortKey::Text, kAscending},
    {"Access &Date", 1, GridSortKey::Date, kDescending},
    {"&Creation Date", 2, GridSortKey::Date, kDescending},
    {"&Modification Date", 3, GridSortKey::Date, kDescending},
    {"&Size", 4, GridSortKey::Number, kAscending},
    {"&Folder", 5, GridSortKey::Text, kAscending},
    {"&Type", 6, GridSortKey::Text, kAscending},
};

constexpr SortItem kBrowseItems[] = {
    {"Name", 4, GridSortKey::Text, kAscending},
    {"Modified &Date", 0, GridSortKey::Date, kDescending},
    {"&Access Date", 2, GridSortKey::Date, kDescending},
    {"&Size", 3, GridSortKey::Number, kDescending},
    {"&Type", 5, GridSortKey::Text, kAscending},
};

constexpr SortItem kStatisticsItems[] = {
    {"Sort by &Extension", 0, GridSortKey::Text, kAscending},
    {"Sort by &Type", 1, GridSortKey::Text, kAscending},
    {"Sort by &Size", 2, GridSortKey::Number, kDescending},
    {"Sort by &Number of files", 3, GridSortKey::Number, kDescending},
    {"Sort by &Average File Size", 4, GridSortKey::Number, kDescending},
};

}  // namespace

const SortMenuSetup kSortMenuDup{"TfrmDup", kDupItems};
const SortMenuSetup kSortMenuClean{"TfrmClean", kCleanItems};
const SortMenuSetup kSortMenuDirHog{"TfrmDirHog", kDirHogItems};
const SortMenuSetup kSortMenuMods{"TfrmMods", kModsItems};
const SortMenuSetup kSortMenuBrowse{"TfrmBrowse", kBrowseItems, SortInversion::BeforeUserSort};
// The table keeps its closing totals row last and sorts only with two entries or more.
const SortMenuSetup kSortMenuStatistics{"TfrmStatistics", kStatisticsItems, SortInversion::Never, 4,
                                        1};

SortDirections& SortDirections::forRun() {
    static SortDirections directions;
    return directions;
}

bool SortDirections::descending(const SortMenuSetup& setup, int item) const {
    const auto it = stored_.find({setup.id, item});
    if (it != stored_.end())
        return it->second;
    return item >= 0 && item < static_cast<int>(setup.items.size())
               ? setup.items[static_cast<size_t>(item)].startsDescending
               : false;
}

void SortDirections::setDescending(const SortMenuSetup& setup, int item, bool descending) {
    stored_[{setup.id, item}] = descending;
}

SortMenu::SortMenu(GridTable* grid, const SortMenuSetup& setup, QObject* parent,
                   SortDirections* directions)
    : QObject(parent),
      grid_(grid),
      setup_(setup),
      directions_(directions ? directions : &SortDirections::forRun()) {
    for (int i = 0; i < static_cast<int>(setup_.items.size()); ++i) {
        auto* action =
            new QAction(QString::fromUtf8(setup_.items[static_cast<size_t>(i)].text), this);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, i] {
            choose(i);
            // Qt toggled the action on the click; the checks follow the last sort only.
            syncChecks();
        });
        actions_.append(action);
    }
    checkOnly(setup_.checkedAtStart);
}

QAction* SortMenu::action(int item) const {
    return item >= 0 && item < actions_.size() ? actions_[item] : nullptr;
}

void SortMenu::addTo(QMenu* menu) const {
    menu->addActions(actions_);
}

int SortMenu::itemForColumn(int column) const {
    for (int i = 0; i < itemCount(); ++i) {
        if (setup_.items[static_cast<size_t>(i)].column == column)
            return i;
    }
    return -1;
}

bool SortMenu::choose(int item) {
    if (item < 0 || item >= itemCount())
        return false;
    bool desc = descending(item);
    if (setup_.inversion == SortInversion::BeforeUserSort) {
        if (!enabled_ || busy_ || grid_->rowCount() < setup_.minimumRows)
            return false;
        desc = !desc;
        setDescending(item, desc);
    }
    if (!sortBy(item, desc))
        return false;
    if (setup_.inversion == SortInversion::AfterEachSort)
        setDescending(item, !desc);
    return true;
}

bool SortMenu::chooseColumn(int column) {
    return choose(itemForColumn(column));
}

bool SortMenu::resortChecked() {
    if (checked_ < 0)
        return false;
    return sortBy(checked_, descending(checked_));
}

bool SortMenu::sortBy(int item, bool descending) {
    if (!enabled_ || busy_ || grid_->rowCount() < setup_.minimumRows)
        return false;
    busy_ = true;
    const WaitCursor wait;
    checkOnly(-1);
    const SortItem& sortItem = setup_.items[static_cast<size_t>(item)];
    const qsizetype last = grid_->rowCount() - 1 - setup_.rowsKeptBelow;
    std::vector<qsizetype> order;
    bool done = false;
    const auto sort = [&] {
        done = SortGridOrder(*grid_, sortItem.key, 1, last, descending, sortItem.column, order);
    };
    if (last >= paintingRows_) {
        // The sort only reads the grid, so the view may paint from it meanwhile; input
        // waits until the rows have moved, since a click or a key could change them.
        platform::runWhilePumping(
            sort, [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    } else {
        sort();
    }
    if (done && !order.empty())
        grid_->reorderRows(1, order);
    if (!done)
        ShowBox(platform::MessageKind::Error, QString::fromLatin1(kSortRangeErrorText),
                platform::Sound::Hand);
    checkOnly(item);
    busy_ = false;
    if (done)
        emit sorted(item, descending);
    return done;
}

bool SortMenu::descending(int item) const {
    return directions_->descending(setup_, item);
}

void SortMenu::setDescending(int item, bool descending) {
    directions_->setDescending(setup_, item, descending);
}

void SortMenu::checkOnly(int item) {
    checked_ = item >= 0 && item < itemCount() ? item : -1;
    syncChecks();
}

void SortMenu::syncChecks() {
    for (int i = 0; i < actions_.size(); ++i)
        actions_[i]->setChecked(i == checked_);
}

}  // namespace dw
