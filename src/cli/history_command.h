#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>

#include "finders/folder_hogs.h"

// diskwell-cli history [FOLDER] and diskwell-cli growth [--since DATE | --scan ID] [--all]
// FOLDER, and the recording behind `folders --record`.
namespace dw::cli {

// Records one scan per folder of `roots` (canonical paths, as scanned) in the scan
// history: the rows of `result` at or below it, with `mode` as its options. Honours the
// history settings (nothing recorded, and that said on `err`, when recording is off).
// While some folder could not be opened, a root without rows is not recorded: it would
// read as one whose folders were all removed.
// A problem with the history file is said once on `err`; the scan's own output is never
// affected. Returns true when every scan was recorded (or recording is off).
bool recordFolderScans(const QList<QByteArray>& roots, FolderHogMode mode,
                       const FolderHogResult& result, QTextStream& err);

// The subcommand "history": the recorded scans (of FOLDER's canonical path when given),
// newest first, as TSV under a title line: ID, Time (local, yyyy-MM-ddTHH:mm:ss),
// Options, Folders, Files, Size (apparent bytes), Allocated, Volume, Root. Returns
// kExitOk, kExitIncomplete when the history could not be read, kExitUsage for bad
// arguments.
int runHistory(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);
QString historyUsage();

// The subcommand "growth": compares FOLDER's newest recorded scan with an earlier one of
// the same options (the one before it; --since DATE: the newest taken on or before DATE;
// --scan ID: that one) and prints TSV rows under a title line: Folder, Was, Now, Change
// (signed: "+N", "-N", "0"), FilesWas, FilesNow, State ("new", "gone", "grew", "shrank",
// "same"), sorted by change, largest growth first. Unchanged folders only with --all.
// Returns kExitOk, kExitIncomplete when there is no such pair of scans or the history
// could not be read, kExitUsage for bad arguments.
int runGrowth(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);
QString growthUsage();

}  // namespace dw::cli
