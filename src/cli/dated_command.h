#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>

// diskwell-cli dated (--accessed|--created|--modified)
//                    (--before DATE | --after DATE | --between DATE DATE)
//                    [--pattern P] FOLDER...
namespace dw::cli {

// The files-by-date finder without its window: the same walk, date test and rows.
// Dates are ISO ("2024-03-10"), whole days, both bounds included; --before and --after
// mean "on or before" and "on or after". A file without the chosen date (no birth time
// on its file system, or a time before 1980) is listed only by --before.
//
// Prints the grid's title row and one line per file in walk order, the cells joined by
// TAB and each written by TsvEscape from its exact bytes (Filename and Folder from the
// native path). "No files found." and folders that cannot be opened go through the
// prompter (stderr). Returns kExitOk; kExitIncomplete when a folder could not be opened;
// kExitUsage for bad arguments (nothing walked).
int runDated(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);
QString datedUsage();

}  // namespace dw::cli
