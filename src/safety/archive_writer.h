#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

#include "platform/posix_io.h"

namespace dw {

// One file on its way into an archive, and what became of it.
struct ArchiveFile {
    QByteArray path;        // the original, native bytes
    QByteArray entryName;   // its stored name (storedEntryName of the path)
    qint64 size = 0;        // bytes read from it
    qint64 tag = 0;         // the caller's number for it, handed back unchanged
    bool deflated = false;  // stored deflated; false: stored as it is
    QString reason;         // why it is not archived; empty when it is
};

// The most bytes an archive comment can hold (its length is a 16-bit field).
inline constexpr qsizetype kMaxArchiveCommentBytes = 65535;

// Writes one ZIP archive in batches, so that a file's original may be deleted only once
// its copy is safely in the archive on disk, and a run costs time in proportion to its
// data (each commit rewrites the archive, so callers grow their batches with it).
//
// addFile reads and compresses a file at once (deflate at the normal level 6; a file
// that deflating does not make smaller is stored as it is) into a private spool beside
// the archive, so the original is read once and a batch's commit only copies. Each
// entry keeps the file's modification time (DOS time, plus the exact time in the common
// "UT" extra field where it fits in 32 bits), its mode (Unix external attributes, the
// DOS read-only bit when the owner may not write) and its owner ("ux" extra field).
// Entries are never encrypted.
//
// commit writes the batch (libzip writes a new archive beside the old one and renames
// it over, so a failed commit leaves the archive as it was), flushes it to the disk,
// opens it again, checks every entry of the batch (name, size, CRC, and its data read
// back through to the end), and checks that each original is still the file that was
// read (same inode, size and modification time). Only files passing all of this are
// reported archived.
//
// Originals are opened by path, never through a link, and only when they are regular
// files (a device or FIFO is refused before anything opens it); a caller that holds its
// files' folders open hands its own opener instead (setOpener), and then every read of
// an original, at the add, at a commit and in the read-back, goes through it.
//
// Opening an archive removes what earlier runs killed in the middle of a commit left
// beside archives in its folder: libzip's temporary files, named "Drive-...zip.XXXXXX"
// (six letters or digits), regular files of this user not changed for ten minutes.
// Nothing else is touched.
//
// Every libzip and zlib result is checked; a failure fails the file or the commit with
// the library's message.
//
// Not copyable. Single-threaded: every call, and every callback, runs on the caller's
// thread.
class ArchiveWriter {
public:
    // `archivePath`: the archive's native path; nothing is touched before open().
    explicit ArchiveWriter(const QByteArray& archivePath);
    // Forgets anything not committed: such files never reach the archive (the caller,
    // who has not been told they are archived, leaves them where they are).
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // Opens the original `path` (handed to addFile with `tag`) for reading: a valid
    // descriptor of that regular file, or an invalid one with `reason` set.
    using Opener =
        std::function<platform::UniqueFd(const QByteArray& path, qint64 tag, QString* reason)>;

    // Replaces the opening by path described above; an empty opener restores it. Set
    // before the first addFile.
    void setOpener(Opener opener);

    // Opens the archive for adding: an existing archive is checked for consistency and
    // keeps its entries and comment; an absent one is created by the first commit.
    // Makes the spool in the archive's folder and removes stale temporary files there.
    // Returns false, with error() set, when the folder does not exist or cannot be
    // written, the archive exists but is not a regular file or not a readable ZIP
    // archive, or the comment is longer than kMaxArchiveCommentBytes.
    bool open();

    const QByteArray& archivePath() const;

    // The reason of the last failure of open() or commit(); empty when there was none.
    const QString& error() const;

    // The archive comment written at each commit (UTF-8). Empty: the archive keeps the
    // comment it has (a new archive gets none). One longer than kMaxArchiveCommentBytes
    // is never cut: open() refuses it.
    void setComment(const QString& comment);

    enum class AddStatus {
        Added,    // read, compressed and pending until the next commit
        Failed,   // not added; `reason` says why; nothing of it is pending
        Stopped,  // `progress` asked to stop: the file is abandoned, nothing of it pending
    };

    // Reads the regular file at `path` (never through a link) and adds it to the
    // pending batch under storedEntryName(path). `progress`, when set, is called with
    // the share of the file done so far, 0 to 100 (0 first, 100 last), and stops the
    // file when it answers true. Fails for: a path that is not absolute or has ".."
    // in it, a link, anything but a regular file, a file that cannot be opened or read,
    // the archive itself, a name already in the archive or in the batch (an archived
    // copy is never replaced), a spool that cannot be written (full disk), and a writer
    // that is not open or failed before.
    AddStatus addFile(const QByteArray& path, qint64 tag,
                      const std::function<bool(int percent)>& progress, QString* reason);

    // The files of the pending batch, and the bytes they will add to the archive.
    qsizetype pendingCount() const;
    qint64 pendingArchiveBytes() const;

    // Entries in the archive on disk (as of the last open or commit), and its size.
    qsizetype entryCount() const;
    qint64 archiveSize() const;

    struct CommitResult {
        // False when the archive could not be written or does not read back: then every
        // pending file is in `notArchived`, error() says why, and the writer takes no
        // more files. The archive on disk is as the last good commit left it.
        bool ok = true;
        QList<ArchiveFile> archived;     // safely in the archive on disk
        QList<ArchiveFile> notArchived;  // each with its reason
    };

    // Writes the pending batch as described above. `progress`, when set, receives the
    // share of the write done (0 to 100) and is where the caller keeps its window live.
    // A pending file that cannot be read at this point (only large files stored as
    // they are are read again) is left out with its reason, and the others are written.
    // With nothing pending, returns ok and empty lists.
    CommitResult commit(const std::function<void(int percent)>& progress = {});

    // Drops the pending batch and returns its files, each with `reason`.
    QList<ArchiveFile> discardPending(const QString& reason);

    struct Impl;

private:
    std::unique_ptr<Impl> d_;
};

}  // namespace dw
