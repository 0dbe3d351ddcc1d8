#pragma once

#include <QStringList>

#include "base/file_dates.h"
#include "base/grid_table.h"
#include "finders/file_rows.h"
#include "scan/folder_walk.h"

// The common part of the finders that list one grid row per file they accept (files by
// date, temporary files): the grid they fill, the rows waiting to go into it, and the
// walk's side of a search without a window.
namespace dw {

// Fills `grid` while a walk hands it files: the finder's addFile() writes a row for
// every file it accepts into a batch, and flush() puts the waiting rows into the grid in
// one insertion (a walk flushes after every folder). Every row carries its file's native
// path as its hidden value. The grid must outlive the finder.
class RowFinder {
public:
    virtual ~RowFinder() = default;
    RowFinder(const RowFinder&) = delete;
    RowFinder& operator=(const RowFinder&) = delete;

    // The per-file step: adds a row when the finder accepts the file.
    virtual void addFile(const WalkFolder& folder, const platform::DirEntry& entry) = 0;

    // Makes `grid` the cleared result grid: the titles and one empty data row; the found
    // count goes back to 0.
    void clear();
    // Starts a scan: clear(), then no data row, so the rows found follow the titles.
    void start();
    // Puts the waiting rows into the grid.
    void flush();
    // Ends a scan: flush(), and with no row found the one empty data row again.
    void finish();

    // Rows written since start() (flushed or waiting).
    qsizetype foundCount() const { return found_; }
    GridTable& grid() const { return grid_; }
    const QStringList& titles() const { return titles_; }

protected:
    RowFinder(GridTable& grid, QStringList titles);

    // For addFile(): ends the row written into batch() with `path` as its hidden value.
    void endRow(QByteArrayView path);
    GridRowBatch& batch() { return batch_; }
    FileRowTexts& texts() { return texts_; }
    // platform::joinPath(folder.path, name), in a buffer that the next call reuses.
    const QByteArray& pathOf(const WalkFolder& folder, const QByteArray& name);
    // The entry's times packed as AccessedFileDate, CreatedFileDate and ModifiedFileDate
    // give them.
    quint32 accessed(const platform::DirEntry& e) { return packer_(e.accessed); }
    quint32 created(const platform::DirEntry& e) { return e.hasCreated ? packer_(e.created) : 0; }
    quint32 modified(const platform::DirEntry& e) { return packer_(e.modified); }

private:
    GridTable& grid_;
    QStringList titles_;
    GridRowBatch batch_;
    FileRowTexts texts_;
    DosDatePacker packer_;
    QByteArray path_;
    qsizetype found_ = 0;
};

// The walk's side of a row finder without a window (the command line, tests): hands
// every file to the finder and flushes its rows after every folder.
class RowFinderHooks : public WalkHooks {
public:
    explicit RowFinderHooks(RowFinder& finder) : finder_(finder) {}
    void onFile(const WalkFolder& folder, const platform::DirEntry& entry) override {
        finder_.addFile(folder, entry);
    }
    void onFolderDone(const WalkFolder&) override { finder_.flush(); }

private:
    RowFinder& finder_;
};

}  // namespace dw
