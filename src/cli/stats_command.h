#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>

#include "stats/stat_tallies.h"

// diskwell-cli stats [--hidden] [--include P... | --exclude P...] FOLDER...
namespace dw::cli {

// Writes `tallies` as sections of tab-separated values, each a line "# NAME", a header
// line and its rows, numbers as plain integers, in this order: totals, types (sorted by
// extension key), sizes, accessed, created, modified, hours, attributes, overhang (five
// cluster rows and "allocated"). Extension keys are written as their native bytes.
void writeStatSections(const StatTallies& tallies, QTextStream& out);

// Writes the section "space": header "volume\ttotal\tfree\treserved", then one row for
// each mount holding one of `folders`, in the order first met, each mount once: its
// mount point (escaped as the other commands' cells), its bytes in all, the bytes the
// user can still write and the free bytes kept for root (platform::driveSpace). A folder
// whose mount or space cannot be asked has no row.
void writeSpaceSection(const QList<QByteArray>& folders, QTextStream& out);

// The subcommand: `args` are its arguments (after "stats"). Options: --include P and
// --exclude P (each once per pattern, "--include=P" too; not both kinds), --hidden (enter
// hidden folders), -h/--help, "--" before folder names that begin with "-". Returns
// kExitOk, kExitIncomplete when a folder could not be opened (the others are still
// collected and printed), or kExitUsage (nothing walked).
int runStats(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);

// The subcommand's usage text.
QString statsUsage();

}  // namespace dw::cli
