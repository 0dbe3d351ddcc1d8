#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>

// diskwell-cli restore ARCHIVE [--into FOLDER]
namespace dw::cli {

// The subcommand: `args` are its arguments (after "restore"). Extracts every entry of
// ARCHIVE below FOLDER (default "/", where each file goes back to its place) as the
// restore window does: names with ".." or a leading "/" are refused, links are neither
// followed nor made, an existing file is never overwritten (it is reported and kept).
// Into "/", an archive named after a volume that is not mounted is refused as a whole.
// Each entry not restored gives one line on `err`: "Cannot extract NAME from ARCHIVE: "
// and the reason. Prints "restored N of M files into FOLDER" on `out`.
// Options: --into FOLDER (or --into=FOLDER), -h/--help, "--" before an archive name that
// begins with "-". Returns kExitOk when every entry was restored, kExitIncomplete when
// some were not (or the archive or folder cannot be read), kExitUsage (nothing done)
// for an unknown option, a missing or empty folder, or not exactly one archive.
int runRestore(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);

// The subcommand's usage text.
QString restoreUsage();

}  // namespace dw::cli
