#include "finders/row_finder.h"

#include <utility>

#include "platform/paths.h"

namespace dw {

RowFinder::RowFinder(GridTable& grid, QStringList titles)
    : grid_(grid), titles_(std::move(titles)), batch_(grid) {}

void RowFinder::clear() {
    batch_.commit();
    grid_.beginUpdate();
    grid_.setRowCount(1);
    grid_.setColumnCount(int(titles_.size()));
    grid_.setTitles(titles_);
    grid_.setRowCount(2);
    grid_.endUpdate();
    found_ = 0;
}

void RowFinder::start() {
    clear();
    grid_.setRowCount(1);
}

void RowFinder::flush() {
    batch_.commit();
}

void RowFinder::finish() {
    flush();
    if (found_ == 0) {
        grid_.setRowCount(2);
    }
}

void RowFinder::endRow(QByteArrayView path) {
    batch_.endRow(path);
    ++found_;
}

const QByteArray& RowFinder::pathOf(const WalkFolder& folder, const QByteArray& name) {
    // Rebuilt in place: a walk of millions of files allocates nothing here.
    path_.truncate(0);
    path_.append(folder.path);
    if (!path_.endsWith(platform::kSep)) {
        path_.append(platform::kSep);
    }
    path_.append(name);
    return path_;
}

}  // namespace dw
