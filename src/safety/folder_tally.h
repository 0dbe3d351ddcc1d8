#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <functional>

namespace dw {

// What removing a whole folder would take away, counted before the act: the figure the
// folder-deletion window shows before any of its buttons acts.
struct FolderTally {
    qint64 files = 0;    // every entry that is not a folder (links, FIFOs... included)
    qint64 folders = 0;  // the folders below it (the folder itself not counted)
    // The bytes the files take on the disk (allocated blocks), each file of several names
    // once; only files all of whose names lie inside the folder (so removing it gives
    // them back).
    qint64 bytes = 0;
    // False where the volume may share blocks between files (btrfs, xfs...): then `bytes`
    // is an upper bound, since a reflinked copy frees less (no block map is read here:
    // the count is meant to be quick).
    bool bytesExact = true;
    // False when the count was stopped before the end, or the folder could not be
    // opened: the figures are then what was counted so far ("at least").
    bool complete = false;
    // The folder could not be opened as a folder (gone, not a folder, a link, unreadable).
    bool unopened = false;
};

// Counts the files, folders and bytes below `folder` the way a removal walks it: links
// are never followed, other file systems mounted inside are not entered (a removal keeps
// them), folders that cannot be read are left out. `abortRequested` (may be unset) is
// asked as the walk goes; true stops the count there, with `complete` false. `progress`
// (may be unset) is called now and then with the figures so far: where a window shows
// them and keeps its events running.
FolderTally tallyFolder(const QByteArray& folder, const std::function<bool()>& abortRequested = {},
                        const std::function<void(const FolderTally&)>& progress = {});

}  // namespace dw
