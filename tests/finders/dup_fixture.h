#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QStringList>

#include <memory>

#include "base/grid_table.h"
#include "base/utility.h"
#include "finders/dup_search.h"
#include "scan/folder_walk.h"
#include "support/temp_tree.h"

namespace dw::test {

// The status line of `files` marked files whose removal frees the blocks of `freeing`
// (each one's allocated bytes): "3 files 12,288 bytes".
inline QString markedStatus(qint64 files, const QList<QByteArray>& freeing) {
    return QStringLiteral("%1 files %2 bytes")
        .arg(files)
        .arg(FormatThousands(allocatedBytes(freeing)));
}

// Extra-folder entries, checked, for `folders` (native paths), as a finder's drive list
// holds them.
inline QList<DriveEntry> folderEntries(const QList<QByteArray>& folders) {
    QList<DriveEntry> entries;
    for (const QByteArray& f : folders) {
        DriveEntry e;
        e.kind = DriveEntry::Kind::ExtraFolder;
        e.startFolder = f;
        e.text = QFile::decodeName(f);
        e.checked = true;
        entries.append(e);
    }
    return entries;
}

inline WalkOptions dupWalkOptions(const DupOptions& options) {
    WalkOptions w;
    w.pattern = WildcardPattern(options.pattern);
    return w;
}

// A whole search without a window: the walk of `folders`, the per-file step, the
// grouping or ordering, and the grid the window would show.
struct SearchRun {
    std::unique_ptr<DupSearch> search;
    std::unique_ptr<GridTable> grid;
    bool listFull = false;
    int fullCalls = 0;  // how often the hooks were told the list became full

    qsizetype rows() const { return grid->rowCount() - 1; }
    QString cell(int column, qsizetype row) const { return grid->cell(column, row); }
    // One column of the data rows, top to bottom.
    QStringList column(int c) const {
        QStringList out;
        for (qsizetype r = 1; r < grid->rowCount(); ++r) {
            out << grid->cell(c, r);
        }
        return out;
    }
    QList<QByteArray> paths() const {
        QList<QByteArray> out;
        for (qsizetype r = 1; r < grid->rowCount(); ++r) {
            out << grid->rowData(r);
        }
        return out;
    }
    QByteArray bands() const {
        QByteArray out;
        for (qsizetype r = 1; r < grid->rowCount(); ++r) {
            out += grid->band(r);
        }
        return out;
    }
};

inline SearchRun runSearch(const DupOptions& options, const QList<QByteArray>& folders) {
    SearchRun run;
    run.search = std::make_unique<DupSearch>(options);
    struct Hooks : DupWalkHooks {
        using DupWalkHooks::DupWalkHooks;
        void onListFull() override { ++calls; }
        int calls = 0;
    } hooks(*run.search);
    FolderWalk walk(dupWalkOptions(options), hooks);
    walk.walkEntries(folderEntries(folders));
    run.search->finish();
    run.listFull = hooks.listFull();
    run.fullCalls = hooks.calls;
    run.grid = std::make_unique<GridTable>();
    run.search->fillGrid(*run.grid);
    return run;
}

// Options for the duplicate criterion `criterion` with every file of at least `lo`
// bytes.
inline DupOptions dupOptions(int criterion, qint64 lo = 0) {
    DupOptions o;
    o.duplicateMode = true;
    o.criterion = criterion;
    o.sizeTest = SizeTest::LargerOrEqual;
    o.num1 = lo;
    o.unit = SizeUnit::Bytes;
    return o;
}

inline DupOptions hogOptions(SizeTest test, qint64 num1, qint64 num2, SizeUnit unit) {
    DupOptions o;
    o.duplicateMode = false;
    o.sizeTest = test;
    o.num1 = num1;
    o.num2 = num2;
    o.unit = unit;
    return o;
}

}  // namespace dw::test
