#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

#include "finders/space_tree.h"
#include "scan/drive_entry.h"

// The folder hogs: which folders take the most space. Two scans over the checked
// entries of a drive check list:
// - Main folders: one row for each folder directly under an entry's start folder, with
//   totals over that folder's whole tree: every file of every folder entered (hidden
//   files too), and as sub-folders the folders entered below it. Hidden folders are not
//   entered (and a hidden folder directly under the start folder gets no row); files
//   lying directly in the start folder are in no row.
// - All folders: one row for every folder entered, the start folder included, with
//   totals over the files directly in it and, as sub-folders, every folder entry in it
//   (hidden ones too). A folder in which nothing but hidden entries lies (or nothing at
//   all) gets no row.
// Files are every entry that is not a folder (links and other system entries as
// themselves, with their own size). Sizes are 64-bit sums of the entries' sizes; a file
// with several names is counted once per scan (device and inode), the first time it is
// met, as `du` does. The walk is the finders' walk: never through a link, never onto
// another file system.
namespace dw {

enum class FolderHogMode { Main, All };

struct FolderHogRow {
    QByteArray path;        // the folder, native bytes, in its real case
    qint64 bytes = 0;       // the counted files' sizes
    qint64 allocated = 0;   // the blocks they take on the disk (holes and compression as they are)
    qint64 files = 0;       // the counted files
    qint64 subFolders = 0;  // see the modes
    // The latest last access among them, packed (local time); 0 when none has a time that
    // can be packed (the latest lies before 1980 or after 2107).
    quint32 latestAccess = 0;
    qint64 latestAccessSeconds = 0;  // the same in seconds since 1970 (UTC); 0: none
    qint64 capacity = 0;             // bytes of the volume of the row's checked entry; 0: unknown
};

struct FolderHogHooks {
    // The folder being walked, for the status line. May be unset.
    std::function<void(const QString& folderText)> progress;
    // After every directory entry read: where a window runs its events (on a clock).
    // May be unset.
    std::function<void()> yield;
    // Asked as the walk goes: true stops it; the rows finished so far are kept, and so
    // are the rows of the folders being walked, with what was summed up to then. May be
    // unset.
    std::function<bool()> abortRequested;
    // A checked entry whose start folder could not be opened, with the message "Can't
    // open drive " and its text. May be unset.
    std::function<void(const QString& message)> unopened;
};

// Whether a scan keeps the tree it walks (SpaceTree), for a map of it.
struct FolderHogTreeOptions {
    bool keep = false;
    // Files of at least this size get an item of their own; smaller ones are folded
    // into their folder's small-files item.
    qint64 keptFileSize = 256 * 1024;
};

struct FolderHogResult {
    QList<FolderHogRow> rows;  // largest first (bytes), then by path
    bool aborted = false;
    int unopened = 0;  // checked entries whose start folder could not be opened
    // With FolderHogTreeOptions::keep: every folder entered and every file counted, in
    // either mode (in the main-folders scan the files lying directly in a start folder
    // too); a file with several names is in it once, as in the rows. (So in the
    // main-folders scan with the tree kept, a file lying directly in a start folder is
    // met too: another name of it in a later checked entry's main folder is not counted
    // again there.) After an abort it holds what was walked. Null otherwise.
    std::shared_ptr<const SpaceTree> tree;
};

// Scans every checked entry of `entries` in list order (a drive whose volume does not
// answer is skipped silently).
FolderHogResult scanFolderHogs(const QList<DriveEntry>& entries, FolderHogMode mode,
                               const FolderHogHooks& hooks = {},
                               const FolderHogTreeOptions& tree = {});

// "% Used": 100 x bytes / capacity as "#0.00" (two decimals); "???" when the capacity
// is unknown (0) or the bytes are not smaller than it. Rows pass their allocated bytes:
// the share of the volume the folder really takes, so a sparse file's folder shows
// what its blocks take, not its apparent size.
QString folderHogPercentText(qint64 bytes, qint64 capacity);

// The print title: "Folder hogs on drive(s) " followed, for each of `checked`, by its
// volume's key and a blank.
QString FolderHogReportTitle(const QList<DriveEntry>& checked);

// `bytes` in the largest unit that keeps the number at 1 or above: "512 bytes",
// "1.5 KB", "23.4 MB", "1.2 GB", "3.0 TB" (1 KB = 1,024 bytes; one decimal).
QString humanSizeText(qint64 bytes);

}  // namespace dw
