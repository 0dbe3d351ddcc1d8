#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "safety/archive_writer.h"

namespace dw {

// What a zip run needs to know before its first file.
struct ZipRunSettings {
    // The folder archives go to (DefaultZipPath); empty means defaultZipFolder().
    QString zipFolder;
    // The calling tool's word in the archive names ("Duplicates", "FolderClean", ...).
    QString callerWord;
    // The run's time stamp, taken once: one archive per volume and run.
    QDateTime stamp = QDateTime::currentDateTime();
    // The archive comment; empty leaves an existing archive's comment as it is.
    QString comment;
    // The volume key of a file's path; unset: volumeKeyOfPath, asked once per folder.
    std::function<QString(const QByteArray& path)> volumeKeyOf;
    // A batch is committed once it holds at least max(minBatchFiles, entries already in
    // the archive) files or max(minBatchBytes, the archive's size) bytes: every commit
    // rewrites the archive, so batches grow with it and a run stays linear in its data.
    int minBatchFiles = 256;
    qint64 minBatchBytes = 64 * 1024 * 1024;
    // Opens an original for reading (its read into the archive, and its read-back at
    // the commit), as ArchiveWriter::setOpener; unset: the writer's own opening by
    // path.
    ArchiveWriter::Opener openOriginal;
};

// What became of one file handed to a zip run, as a code beside the result's text.
enum class ZipFileCode {
    Archived,     // its copy is in the archive and reads back
    NotArchived,  // it could not be archived for a reason of its own or of its archive
    Aborted,      // the run was stopped (the file being compressed, or one after it)
};

// What became of one file handed to a zip run. Every file handed to ZipRun::addFile is
// reported exactly once, in ZipRunHooks::fileDone.
struct ZipFileResult {
    QByteArray path;  // the file, as handed in
    qint64 tag = 0;   // the caller's number for it
    qint64 size = 0;  // bytes archived (0 when not archived)
    bool archived = false;
    // Archived: its copy is in `archive` on disk and reads back; the caller may delete
    // the original now. Not archived: the file must stay; `reason` says why.
    QByteArray archive;  // the archive it went to or was meant for (may be empty)
    QString reason;
    ZipFileCode code = ZipFileCode::NotArchived;  // Archived exactly when `archived`
};

struct ZipRunHooks {
    // Progress of the file being compressed (0 to 100), and of a batch being written
    // and checked. The window shows it and runs its pending events here; answering
    // true stops the run: the file being compressed is abandoned (it stays), no
    // further file is taken, and what was compressed before is still committed by
    // finish(). May be unset.
    std::function<bool(int percent)> progress;
    // Called once per file, in the order the outcomes become known: a file that cannot
    // be read at once, the files of a batch when it is committed.
    std::function<void(const ZipFileResult& result)> fileDone;
};

// The archive side of a zip-then-delete run: files of any volumes go, in the order
// handed in, into one archive per volume ("Drive-<key>-<word><stamp>.zip" in the archive
// folder), each stored under its full path without the leading "/". Files are committed
// in batches; a file is reported archived only once its batch is written, flushed to
// disk and read back, so the caller deletes originals only then. A run that cannot
// open or write an archive ends: the files of the failed batch are reported not
// archived, batches committed before stay as they are, and further files are refused.
//
// Usage: addFile for each file (stop when it answers Stopped or Ended), then finish().
// Single-threaded; hooks run inside addFile and finish.
class ZipRun {
public:
    ZipRun(ZipRunSettings settings, ZipRunHooks hooks);
    // Drops whatever finish() did not commit, without reporting it: those files were
    // never reported archived and so stay where they are.
    ~ZipRun();
    ZipRun(const ZipRun&) = delete;
    ZipRun& operator=(const ZipRun&) = delete;

    enum class AddStatus {
        Queued,   // compressed and waiting for its batch's commit
        Failed,   // not archived (already reported); the run goes on
        Stopped,  // the progress hook asked to stop (the file was reported not archived)
        Ended,    // an archive could not be opened or written: error() says why; the
                  // file was reported not archived and the run takes no more files
    };

    // Adds the file at `path` (absolute, native bytes) to the archive of its volume.
    // `tag` is handed back in its result. May commit a batch (reporting its files); a
    // stop asked for while a batch is written lets the file stay queued and sets
    // stopped(), so callers check stopped() (or their own abort flag) before the next.
    // After a stop, or once the run has ended, every further file is reported not
    // archived at once.
    AddStatus addFile(const QByteArray& path, qint64 tag = 0);

    // Commits every pending batch and reports its files. Returns false when the run
    // ended on an archive failure (error() says why), also one of an earlier addFile.
    bool finish();

    // True once an archive failed; error() is the message to show.
    bool ended() const { return ended_; }
    const QString& error() const { return error_; }
    // True once the progress hook asked to stop.
    bool stopped() const { return stopped_; }

    // The archives this run opened, in the order of their first file.
    QList<QByteArray> archives() const;

    // The bytes those archives take on the disk now (their allocated blocks); an archive
    // that is gone counts 0. Meant after finish().
    qint64 archivesOnDisk() const;

    // Files and bytes reported archived so far.
    qint64 archivedCount() const { return archivedCount_; }
    qint64 archivedBytes() const { return archivedBytes_; }

private:
    ArchiveWriter* writerFor(const QByteArray& path, QString* key);
    bool commitWriter(ArchiveWriter& writer);
    void report(const ArchiveFile& file, const QByteArray& archive, bool archived);
    void reportNotArchived(const QByteArray& path, qint64 tag, const QByteArray& archive,
                           const QString& reason);
    void reportAborted(const QByteArray& path, qint64 tag, const QByteArray& archive);
    QString keyOf(const QByteArray& path);

    ZipRunSettings settings_;
    ZipRunHooks hooks_;
    std::vector<std::unique_ptr<ArchiveWriter>> writers_;
    QHash<QString, ArchiveWriter*> byKey_;
    QHash<QByteArray, QString> keyByFolder_;
    bool ended_ = false;
    bool stopped_ = false;
    QString error_;
    qint64 archivedCount_ = 0;
    qint64 archivedBytes_ = 0;
};

}  // namespace dw
