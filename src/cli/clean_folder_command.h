#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>

// diskwell-cli clean-folder (--delete | --trash | --zip [--keep] [--comment TEXT])
//                           [--zip-folder FOLDER] [--yes-readonly] [--yes-hidden]
//                           [--yes-system] [--force-protected] FOLDER
namespace dw::cli {

// The subcommand: `args` are its arguments (after "clean-folder"). Removes one folder
// with everything below it as the folder-deletion window does (cleanFolder):
// - a folder that may never be removed as a whole (a system folder, the home folder, a
//   mount point, a link, not a folder) is refused with the reason: nothing is done;
// - the Safe Harbor is loaded as the program loads it; while its lists are missing or
//   cannot be read nothing is done; a folder the Safe Harbor protects, or one with a
//   protected folder below it, is refused with the reason unless --force-protected is
//   given for reasons 2 to 4; for reason 1 (the system's trees) the folder itself is
//   always refused and such folders below it are always kept;
// - files that are read-only, hidden or system files (anything but a regular file) are
//   kept and reported unless the matching --yes-readonly, --yes-hidden or --yes-system
//   is given (archive runs with --keep ask nothing);
// - every entry that stayed is reported on `err` with its reason, the summary goes to
//   `out`, and the totals of the settings grow by what was done.
// Returns kExitOk when the folder is gone (with --zip --keep: every file archived),
// kExitIncomplete when something stayed or the folder was refused, kExitUsage (nothing
// done) for bad arguments.
int runCleanFolder(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);

// The subcommand's usage text.
QString cleanFolderUsage();

}  // namespace dw::cli
