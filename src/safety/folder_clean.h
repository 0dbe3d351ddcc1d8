#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

#include "platform/file_remover.h"
#include "safety/zip_run.h"

// The engine behind the folder-deletion window and `diskwell-cli clean-folder`: removes
// one whole folder with everything below it, sends its files to the trash, or stores
// them in archives (and by default deletes them then).
//
// The folder is checked first (platform::FileRemover::inspectFolder): an absolute real
// folder, reached without any link, not a system folder or the user's home, not a mount
// point. The walk then holds every folder it is in open and reads it through that
// descriptor, never following a link: a link inside is a file like any other (removed
// or trashed as itself, never its target; not archived). A folder that is the root of a
// mount inside the tree is reported and kept, and so, with it, is every folder above it.
// Every file and folder is acted on through platform::FileRemover, handed what the walk
// found (its device and inode, and those of the folder it lies in), so an entry, or a
// folder on its way, replaced between the look and the act is left alone and reported.
//
// Order: the entries of a folder in listing order; a sub-folder is emptied and then
// removed when it is met (archive runs remove the emptied folders at the end, once their
// files are safely archived and deleted).
//
// Archive runs go through ZipRun: a file is deleted only after its batch is written and
// read back, and only while it is still the file that was read. Without deleteAfterZip
// nothing is removed and no attribute question is asked.
//
// Single-threaded; the hooks run on the caller's thread.
namespace dw {

class SafeHarbor;

enum class FolderCleanMode { Delete, Trash, Zip };

// The three questions asked, in this order, for each file that has the attribute: the
// owner's write bit is clear, the name begins with ".", it is neither a regular file nor
// a folder (a link, FIFO, socket or device).
enum class FileAttribute { ReadOnly, Hidden, System };

enum class AttributeAnswer {
    Yes,   // go on with this file
    Keep,  // leave this file where it is (reported kept) and go on with the next
    Stop,  // leave this file and stop the run (reported as an abort)
};

struct FolderCleanSettings {
    FolderCleanMode mode = FolderCleanMode::Delete;
    // Archive runs: delete every file once it is safely archived, and the emptied
    // folders after.
    bool deleteAfterZip = true;
    // Archive runs: where the archives go and what they are called (the caller word
    // "FolderClean", the run's stamp, the comment).
    ZipRunSettings zip;
    // When set, a folder inside the tree that this Safe Harbor protects for reason 1 (the
    // system's own trees) is not entered: it and everything in it stay, reported kept.
    const SafeHarbor* harbor = nullptr;
};

struct FolderCleanHooks {
    // Asked for each attribute a file has, in the order of FileAttribute, before the
    // file is acted on. Unset: Keep (a file with any of these attributes stays).
    std::function<AttributeAnswer(FileAttribute attribute, const QByteArray& path)> ask;
    // Called before each file is taken, with the number of files taken before it: where
    // a window shows the count and the name, and keeps its events running. May be unset.
    std::function<void(const QByteArray& path, qint64 count)> starting;
    // Asked before each file and each folder, and while a file is compressed: true
    // stops the run there. Nothing is left half done: the file being compressed stays,
    // and what was compressed before is still committed and then deleted. May be unset.
    std::function<bool()> abortRequested;
    // Archive runs: the share (0 to 100) of the file or batch being written. May be
    // unset.
    std::function<void(int percent)> progress;
    // Called after an entry was examined and before it is acted on (removed, trashed,
    // read into the archive, or, for a folder, removed once emptied): where tests replace
    // it or its folder. May be unset.
    std::function<void(const QByteArray& path)> checked;
};

// The step of a run at which a file stayed, for the entries of KeptEntry.
enum class KeptStep {
    Other,       // anything else: a folder, an attribute, the Safe Harbor, the trash
    Archive,     // the file could not be added to its archive (a zip run)
    DeleteFile,  // the file could not be deleted (a delete run, or after it was archived)
};

// One entry that stayed, with the reason.
struct KeptEntry {
    QByteArray path;
    QString reason;
    // The code of `reason` when platform::FileRemover gave it (a file or folder that could
    // not be removed or trashed, one replaced since the look) or for a mount point met;
    // RemoveCode::None for the run's own reasons (attributes, the Safe Harbor, a folder
    // that could not be read, an archive that could not take the file).
    platform::RemoveCode code = platform::RemoveCode::None;
    KeptStep step = KeptStep::Other;
};

struct FolderCleanSummary {
    // The folder could not be taken at all: `refusal` says why (inspectFolder's reasons;
    // for archive runs also "the archive folder lies inside it", for trash runs "the trash
    // lies inside it"); nothing was done.
    bool refused = false;
    QString refusal;
    // The code of `refusal` when inspectFolder gave it; RemoveCode::None for the run's own
    // refusals (the Safe Harbor, the trash or the archive folder inside it, a folder that
    // cannot be read).
    platform::RemoveCode refusalCode = platform::RemoveCode::None;
    // Files deleted, trashed, or (archive runs with deleteAfterZip) archived and then
    // deleted; and the bytes that frees. A file of several names (hard links) counts its
    // bytes once, with the last of its names to go: nothing when a name of it stays,
    // outside the folder or kept inside it.
    qint64 doneCount = 0;
    qint64 doneBytes = 0;
    // False when a counted file's volume would not say which blocks it shares:
    // doneBytes is then an upper bound ("at most").
    bool doneBytesExact = true;
    // Archive runs: files safely stored in an archive (deleted afterwards or not).
    qint64 archivedCount = 0;
    qint64 archivedBytes = 0;
    // Folders removed, the folder itself included; and whether it is gone.
    qint64 foldersRemoved = 0;
    bool folderRemoved = false;
    // Stopped by the abort hook or by a Stop answer.
    bool aborted = false;
    // The file whose attribute question was answered Stop (empty otherwise): the run
    // ended there and the folder is only partly removed.
    QByteArray stoppedAt;
    // Trash runs: a file could not be trashed, so the run stopped there. Archive runs:
    // an archive could not be opened or written. `error` says why.
    bool stopped = false;
    QString error;
    // The code of `error` when platform::FileRemover gave it (a trash that refused the
    // file, or found its volume full); RemoveCode::None otherwise.
    platform::RemoveCode errorCode = platform::RemoveCode::None;
    // Every file and folder that stayed for a reason of its own, each once, in the order
    // met: files that could not be removed, trashed or archived, files kept on an
    // attribute question, mount points, protected folders, folders that could not be
    // read or removed. Folders that stayed only because something in them stayed are not
    // listed; nor are the entries a stop left untried.
    QList<KeptEntry> kept;
    // The mount points met (also in `kept`).
    QList<QByteArray> mountPoints;
    // Archive runs: the archives written, and the bytes they take on the disk.
    QList<QByteArray> archives;
    qint64 archivesOnDisk = 0;
};

// Runs `settings.mode` over the folder `folder` (absolute, native bytes) as described
// above and says what was done.
FolderCleanSummary cleanFolder(const QByteArray& folder, const FolderCleanSettings& settings,
                               const FolderCleanHooks& hooks = {});

// Why `folder` may not be removed as a whole, by the checks cleanFolder starts with
// (platform::FileRemover::inspectFolder): RemoveCode::None when it may, else the code of
// the refusal, with its text in `text` when given (left as it is for None).
platform::RemoveCode folderRefusalCode(const QByteArray& folder, QString* text = nullptr);

// The text of folderRefusalCode() for display, or an empty text when the folder may be
// removed.
QString folderRefusal(const QByteArray& folder);

// Whether the Safe Harbor of `harbor` marks `folder` or a folder below it not to be
// deleted: the reason code (1 to 3, SafeHarbor's) of the folder itself when it is
// protected, else that of the first listed folder below it (in list order), else 0.
int treeSafeHarborReason(const SafeHarbor& harbor, const QByteArray& folder);

}  // namespace dw
