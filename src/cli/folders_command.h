#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>

// diskwell-cli folders (--main | --all) [--record] FOLDER...
namespace dw::cli {

// The subcommand: `args` are its arguments (after "folders"). Runs the folder hogs'
// scan (scanFolderHogs) over the FOLDERs as checked extra folders and prints one
// TSV line per result row, largest first, under a title line: the size in bytes
// (unformatted), "% Used" ("#0.00", "???" when unknown), the file count, the sub-folder
// count, the latest file access as yyyy-mm-dd (empty for none) and the folder's path
// (TsvEscape'd). With no row, "No files found." goes to stderr.
// With --record the FOLDERs are scanned by their canonical paths and each one's rows are
// stored in the scan history (recordFolderScans).
// Returns kExitOk, kExitIncomplete when a FOLDER could not be opened or the scan could
// not be recorded, kExitUsage (nothing done) for bad arguments.
int runFolders(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);

// The subcommand's usage text.
QString foldersUsage();

}  // namespace dw::cli
