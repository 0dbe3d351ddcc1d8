#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>

#include "scan/folder_walk.h"

// diskwell-cli walk [--hidden] [--system] [--pattern P] FOLDER...
namespace dw::cli {

// What a walk of some folders found.
struct WalkCounts {
    qint64 files = 0;    // entries handed to the per-file step
    qint64 folders = 0;  // folders entered, the start folders included
    qint64 bytes = 0;    // the sum of the sizes of those entries
    int unopened = 0;    // start folders that could not be opened
};

// Walks every folder of `folders` (native bytes), in order, as the finders walk their
// checked entries (a folder given twice, or inside another, is walked once), with `options`, and
// counts. A folder that cannot be opened gives the error "Can't open drive " followed by its name
// through the prompter in force and counts in `unopened`; the others are walked.
WalkCounts countWalk(const QList<QByteArray>& folders, const WalkOptions& options);

// The subcommand: `args` are its arguments (after "walk"). Options: --hidden (hand over
// hidden files too, as the quick clean does), --system (links, FIFOs, sockets and
// devices too, each as itself), --pattern P or --pattern=P (the wildcard pattern, default
// "*.*"), -h/--help, and "--" before folder names that begin with "-". Prints
// "files N", "folders N" and "bytes N", one per line, in plain decimal. Returns kExitOk,
// kExitIncomplete when a folder could not be opened (the counts of the others are still
// printed), or kExitUsage (nothing walked) for an unknown option, a missing or empty
// pattern, or no folder.
int runWalk(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);

// The subcommand's usage text.
QString walkUsage();

}  // namespace dw::cli
