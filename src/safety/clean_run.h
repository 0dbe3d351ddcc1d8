#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

#include "platform/file_remover.h"
#include "safety/zip_run.h"

// The engines behind the deletion panel and `diskwell-cli clean`: the split of a list of
// marked files against the Safe Harbor, and the three runs over the files left to act
// on (delete, send to the trash, store in archives and then delete). Files are native
// byte paths; every file is reached through platform::FileRemover, so nothing is
// removed through a link, no folder, mount point or system folder is removed, and a
// link is removed itself, never its target.
//
// Every file is checked once (FileRemover::inspect: its folder opened without following
// links, the folder's and the file's device and inode): by splitBySafeHarbor, at the
// same time as its Safe Harbor check, for the runs handed a split; at the start of the
// run for the runs handed a list of paths. Every later step that touches a file (the
// read into an archive and its read-back, the move to the trash, the removal) goes
// through its folder opened afresh and compares the folder's and the file's identity
// with what the check found: a file whose folder or self was replaced meanwhile is
// reported not done, with the reason, and left alone. Summaries count only what was
// done.
namespace dw {

class SafeHarbor;

// The marked files sorted into those to act on and those the Safe Harbor protects.
struct SafeHarborSplit {
    QList<QByteArray> deletable;       // sorted (byte order), each path once
    QList<QByteArray> protectedFiles;  // sorted (byte order), each path once
    QList<int> reasons;                // the reason code (1 to 4) of each protected file
    // What the check found at each file of `deletable`, in its order; nullopt where the
    // file cannot be acted on, with the reason and its code at the same place of
    // `checkReasons` and `checkCodes` (RemoveCode::None where the check found the file).
    std::vector<std::optional<platform::FileIdentity>> identities;
    QList<QString> checkReasons;
    QList<platform::RemoveCode> checkCodes;
};

// Asks `harbor` about every file of `files` (as a file) and sorts it to one side, and
// checks every file to act on (identities). Identical paths are one file. `yield`,
// when set, is called after each file with the number of files asked so far, so a
// window can show progress and keep its events running.
SafeHarborSplit splitBySafeHarbor(const QList<QByteArray>& files, const SafeHarbor& harbor,
                                  const std::function<void(qsizetype done)>& yield = {});

// What became of one file of a run. Each file handed to a run is reported exactly once.
struct CleanFileResult {
    QByteArray path;
    qsizetype index = -1;  // its place in the list handed in
    // Deleted, in the trash, or (zip runs) stored in its archive and then deleted.
    bool done = false;
    // Zip runs: its copy is safely in `archive` (whether or not the original could be
    // deleted afterwards).
    bool archived = false;
    QByteArray archive;
    qint64 size = 0;  // the file's bytes when acted on (archived or done); else 0
    QString reason;   // why it was not done (or, archived, why the original stayed)
    // The code of `reason` when platform::FileRemover gave it at the check, the opening
    // for the archive, the removal or the move to the trash; RemoveCode::None for a file
    // done, for the run's own reasons (not tried, the run aborted, an archive failure)
    // and for a file an archive could not read once opened.
    platform::RemoveCode code = platform::RemoveCode::None;
    // Zip runs: left because the run was aborted (the file being compressed, or one
    // after it), not because of anything wrong with it.
    bool aborted = false;
};

struct CleanRunHooks {
    // Called once every file has been checked, just before the file at `index` is acted
    // on (deleted, trashed, read into its archive); not for files the check refused.
    // Where tests replace a file or its folder between the check and the act. May be
    // unset.
    std::function<void(qsizetype index, const QByteArray& path)> checked;
    // Called before each file is taken, with its place in the list: where a window shows
    // the file's name and moves its bar, and keeps its events running. May be unset.
    std::function<void(qsizetype index, const QByteArray& path)> starting;
    // Zip runs only: the share (0 to 100) of the file being compressed, or of a batch
    // being written. Answering true aborts the run: the file being compressed stays,
    // no further file is taken, and the files compressed before are still committed
    // and then deleted. May be unset.
    std::function<bool(int percent)> progress;
    // Once for every file, in the order the outcomes are known (zip runs report a
    // batch's files when it is committed). May be unset.
    std::function<void(const CleanFileResult& result)> fileDone;
};

struct CleanRunSummary {
    qsizetype files = 0;   // files handed in
    qint64 doneCount = 0;  // files deleted, trashed, or archived and deleted
    // The bytes their going gives back (FreedBytes: allocated blocks less those shared
    // with other files); a file of several names (hard links) counts only with the name
    // whose going leaves it without any. Trash runs: the bytes emptying the trash of them
    // would give back.
    qint64 doneBytes = 0;
    // False when some counted file's volume would not say which blocks it shares: then
    // doneBytes is an upper bound ("at most").
    bool doneBytesExact = true;
    // Their apparent sizes (what was stored, for zip runs), each name counted.
    qint64 doneSize = 0;
    // Zip runs: files (and their bytes) safely stored in archives, including those
    // whose original could not be deleted afterwards: what the archive totals count.
    qint64 archivedCount = 0;
    qint64 archivedBytes = 0;
    // Trash runs: a file could not be trashed, so the run stopped there; the files
    // after it were not tried (each reported with a reason saying so).
    bool stopped = false;
    // Zip runs: the abort hook stopped the run.
    bool aborted = false;
    // Zip runs: an archive could not be opened or written; `error` says why, and the
    // files from there on were not archived.
    bool ended = false;
    QString error;
    // Zip runs: the archives opened, in the order of their first file, and the bytes
    // they take on the disk once written (allocated blocks).
    QList<QByteArray> archives;
    qint64 archivesOnDisk = 0;

    // Zip runs: what the run won: the bytes freed less the archives' bytes on the disk;
    // negative when the archives take more than the originals gave back.
    qint64 zipSavings() const { return doneBytes - archivesOnDisk; }

    bool complete() const { return doneCount == files; }
};

// Deletes every file of `files` in order. A file that cannot be deleted is reported
// (not done, with the reason) and the run goes on with the next.
CleanRunSummary deleteFiles(const QList<QByteArray>& files, const CleanRunHooks& hooks = {});

// Sends every file of `files` to the desktop's trash of its own volume, in order, after
// the checks every deletion makes; each is renamed from its checked folder
// (platform::FileRemover::trash). A file that cannot be checked or sent is reported; the
// run then goes on only when trashRunGoesOnAfter() says so for its code (the file or its
// folder was replaced, or its path gained a link, since the check), and otherwise stops
// there (summary `stopped`): every file after it stays where it is.
CleanRunSummary trashFiles(const QList<QByteArray>& files, const CleanRunHooks& hooks = {});

// Stores every file of `files` in the archives of its volume (ZipRun, with `settings`:
// folder, caller word, the run's time stamp and the comment) and deletes each original
// once its batch is on disk and reads back, and only when the file is still the one
// that was read (same inode, size and time). A file that cannot be archived stays and
// the run goes on; an archive that cannot be opened or written ends the run (summary
// `ended`): files of the failed batch and all later files stay where they are.
CleanRunSummary zipFiles(const QList<QByteArray>& files, ZipRunSettings settings,
                         const CleanRunHooks& hooks = {});

// The same runs over the files to act on of `split` (split.deletable, in its order),
// each acted on only while it is still what the split's check found.
CleanRunSummary deleteFiles(const SafeHarborSplit& split, const CleanRunHooks& hooks = {});
CleanRunSummary trashFiles(const SafeHarborSplit& split, const CleanRunHooks& hooks = {});
CleanRunSummary zipFiles(const SafeHarborSplit& split, ZipRunSettings settings,
                         const CleanRunHooks& hooks = {});

}  // namespace dw
