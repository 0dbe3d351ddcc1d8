#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

#include "safety/archive_reader.h"

// Putting an archive's files back: every entry is extracted below a chosen folder with
// its stored path ("home/ann/a.tmp" into "/" gives /home/ann/a.tmp).
namespace dw {

// Why one entry was not restored.
enum class RestoreProblem {
    Exists,      // something of that name is already there: kept, never overwritten
    UnsafeName,  // an absolute name or a ".." component: it would leave the folder
    LinkInPath,  // a folder on its way is a symbolic link or not a folder: not followed
    NotAFile,    // the entry is a link, device, FIFO or socket: not created
    NoPassword,  // encrypted, and no password was given
    Library,     // the ZIP library's failure (damaged data, CRC, method, wrong password)
    System,      // the operating system's failure (permissions, a full disk)
};

struct RestoreFailure {
    qsizetype index = -1;  // the entry's index in ArchiveReader::entries()
    QByteArray entryName;
    RestoreProblem problem = RestoreProblem::System;
    QString reason;             // a clear sentence for the user
    bool libraryError = false;  // the reason is the ZIP library's own text
};

struct RestoreHooks {
    // Before each entry.
    std::function<void(qsizetype index, const ArchiveEntry& entry)> entryStarted;
    // The share of the archive done, 0 to 100, by bytes; where a window runs its events.
    // Answering true stops before the next entry. May be unset.
    std::function<bool(int percent)> progress;
    // Asked for an encrypted entry when no password known so far opens it; `retry` is
    // true when the last one given was wrong. nullopt: no password (the entry fails).
    // Unset: encrypted entries fail.
    std::function<std::optional<QByteArray>(const ArchiveEntry& entry, bool retry)> password;
    // Once per entry not restored; the run goes on with the next.
    std::function<void(const RestoreFailure& failure)> failed;
    // Once per file restored without its permission bits or modification time, because
    // the folder's volume could not set them (FAT through FUSE, for one): its bytes are
    // there and it counts as restored; `warning.reason` says what was not set and why
    // (`problem` is RestoreProblem::System).
    std::function<void(const RestoreFailure& warning)> warned;
};

struct RestoreSummary {
    qsizetype entries = 0;   // entries in the archive
    qsizetype restored = 0;  // files written and folders made or found in place
    qsizetype failed = 0;    // entries reported through `failed`
    qsizetype warnings = 0;  // files restored but reported through `warned`
    bool stopped = false;    // the progress hook stopped it
    // Set when nothing could be done at all (the folder cannot be opened); then no
    // entry was looked at.
    QString error;

    bool complete() const { return error.isEmpty() && !stopped && restored == entries; }
};

// Extracts every entry of the open `archive` below the folder `root` (native bytes; the
// folder itself may be reached through links, as the user chose it).
// - Entries with an absolute name or a ".." component are refused. "." and empty
//   components are skipped.
// - Folders on the way are opened one component at a time relative to their parent,
//   never following a link, and made when missing (with the entry's mode for folder
//   entries, the usual default otherwise); run as root, a folder made belongs to the
//   owner of the folder it is made in.
// - Files are created new (never through a link, never over anything that exists:
//   an existing file is reported and kept), written, then given the entry's owner
//   (only when running as root and the archive records one), permission bits (0777 of
//   its mode; set-id and sticky bits are not restored) and modification time (also
//   as access time). A file that fails halfway is removed again; a mode or time the
//   volume cannot set is only a warning (as unzip has it): the bytes stay.
// - Links, devices, FIFOs and sockets are never created.
// - Encrypted entries are opened with the last password that worked, else the one the
//   hook gives.
RestoreSummary restoreArchive(const ArchiveReader& archive, const QByteArray& root,
                              const RestoreHooks& hooks);

// Makes the folders of `relative` (components separated by "/") below the folder
// `base`, as the restore makes the folders on an entry's way: one component at a time,
// never through a link, missing ones made with the usual default mode. Returns true when
// all of them are folders afterwards (also when they existed). False, with `error` set,
// for an empty or absolute name or one with a ".." component, a link or a file in the
// way, or a folder that cannot be made.
bool makeFolders(const QByteArray& base, const QByteArray& relative, QString* error);

// The message of an entry that failed: "Cannot extract " + entry + " from " + archive.
QString extractFailureText(const QByteArray& entryName, const QByteArray& archivePath);

// The question for an entry whose name is already taken at the destination:
// "Cannot move " + entry + ". Would create a duplicate name. Ignore future warnings?"
QString duplicateNameWarningText(const QByteArray& entryName);

}  // namespace dw
