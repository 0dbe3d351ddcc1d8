#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QTextStream>

// diskwell-cli clean (--delete | --trash | --zip [--comment TEXT] | --share) [--caller WORD]
//                    [--zip-folder FOLDER] [PATH... | -0]
namespace dw::cli {

// The subcommand: `args` are its arguments (after "clean"). Works as the deletion panel
// does once its questions are answered yes:
// - the files are the PATHs given, or with -0 the NUL-separated paths read from `input`
//   (stdin in the overload without it); relative paths are taken from the current folder, and a
//   path given twice is one file;
// - the Safe Harbor is loaded as the program loads it; every file it protects is set
//   aside, listed on `err` with its reason, and never touched; without a Safe Harbor
//   folder list (never built), or when the folder list or the settings file cannot be
//   read or the protected extensions' count is damaged (SafeHarbor::loadError), nothing
//   is touched at all and the message names the file;
// - a file replaced, or whose folder was replaced, after it was checked is left alone
//   and reported;
// - the rest are deleted (--delete), sent to the desktop's trash (--trash; the run stops
//   at the first file the trash refuses), or stored in the archives of their volumes and
//   deleted once their archive is on disk and reads back (--zip), in the archive folder
//   of the settings unless --zip-folder is given, with the comment of the settings
//   unless --comment is given, named with the caller word (default none) and the time
//   of the run;
// - with --share nothing is deleted: the files are sorted into sets of identical files
//   (pairIdenticalFiles), the first of each set in the order given is kept, the Safe
//   Harbor sets aside the others it protects, and the rest are made to share the kept
//   file's blocks (shareFiles); the summary counts the files that had a twin and the
//   bytes given back as measured, and the totals are not touched (nothing was deleted);
// - every file not acted on is reported on `err`, one line each, with the reason; a
//   summary goes to `out`; the totals of the settings grow by what was done.
// Returns kExitOk when every file was acted on, kExitIncomplete when some were not,
// kExitUsage (nothing done) for bad arguments (a comment longer than an archive can
// hold among them).
int runClean(const QList<QByteArray>& args, QTextStream& out, QTextStream& err, QIODevice* input);
// The same reading -0 paths from stdin.
int runClean(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);

// The subcommand's usage text.
QString cleanUsage();

}  // namespace dw::cli
