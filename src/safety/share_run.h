#pragma once

#include <QByteArray>
#include <QList>

#include "safety/clean_run.h"

// The run that wins space without removing anything: each file of a list is made to
// use the very blocks of an identical twin (the kernel's dedupe call, which compares the
// bytes itself), on volumes that can share blocks between files (btrfs, xfs). Every
// name, owner, mode, time and byte of both files stays; nothing is deleted.
namespace dw {

// A file to share and the twin whose blocks it takes (the kept file of its group).
struct SharePair {
    QByteArray file;
    QByteArray twin;
};

// Shares the blocks of every pair of `pairs`, in order, reporting each file once through
// `hooks` (CleanFileResult: `done` when it now shares the twin's blocks; `size` the bytes
// the volume got back, measured on the file after the call as its allocated bytes less
// those it shares, against the same figure before; `reason` otherwise). Both files are
// checked first (platform::FileRemover::inspect: absolute paths, no link on the way or at
// the end, regular files), then opened read-only, without following links, only while
// they are still what the check found (device, inode, size, time, in the same folder),
// and checked again after the call. A file is refused, and the run goes on, when:
// - its volume cannot share blocks ("its file system cannot share blocks between
//   files": BlockUsage::mayShare, or the kernel refusing the call);
// - it and its twin are on different volumes;
// - its bytes differ from its twin's (the kernel's comparison, or another size);
// - it or its twin changed or was replaced since the check;
// - it is its twin (same file), or the kernel says no (its text).
// `checked` and `starting` are called as in the other runs; `progress` is not used.
// The summary's doneCount and doneBytes count the files shared and the bytes they gave
// back; `files` is the number of pairs.
CleanRunSummary shareFiles(const QList<SharePair>& pairs, const CleanRunHooks& hooks = {});

// The files of `files` that have an identical twin earlier in the list, each paired with
// the first file of its set: files are sets when they are regular files (not followed
// through a link) on the same device with the same size and the same bytes (read and
// compared here; the kernel compares them again when sharing). A path given twice is
// one file; a name of a file already listed (a hard link) is left out; files that
// cannot be read are left out. The pairs follow the order of `files`.
QList<SharePair> pairIdenticalFiles(const QList<QByteArray>& files);

// The reason of a file whose volume cannot share blocks.
QString cannotShareText();  // "its file system cannot share blocks between files"

}  // namespace dw
