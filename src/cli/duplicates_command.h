#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>

// diskwell-cli duplicates [OPTIONS] FOLDER...
// diskwell-cli hogs [OPTIONS] FOLDER...
//
// The duplicates and file-hogs finder without its window: the same walk, per-file
// step, grouping or ordering and result rows, printed as tab-separated lines.
namespace dw::cli {

// The subcommands. `args` are their arguments (after "duplicates" or "hogs"). Options:
//   --criterion N            the duplicate criterion 0 to 7 (duplicates only; default 0)
//   --groups                 (duplicates only) a first column "Group": each row's group
//                            number, 1, 2, ... in output order
//   --empty                  (duplicates only) criterion 7: empty files are duplicates
//   --larger N | --smaller N | --between N M
//                            the size test and its limits (default --larger 250)
//   --unit bytes|KB          the unit of the limits (default KB)
//   --pattern P              the wildcard pattern (default "*.*")
//   --limit N                the most candidates the list may hold (default
//                            DupCandidateList::kDefaultLimit)
//   -h, --help               the usage text
// and "--" before folder names that begin with "-". The value forms "--opt=V" work too.
//
// Prints the result grid to `out`: its title row, then one line per result in the
// window's row order, the cells joined by TAB and each written by TsvEscape from its
// exact bytes (the file's name, folder or path from the native path), so every path
// can be recovered byte for byte. Messages (a folder that cannot be opened, the
// resource-limit warning, "No files found.") go through the prompter in force, which
// prints them on stderr. Returns kExitOk; kExitIncomplete when a folder could not be
// opened, the candidate list was full or (criterion 7) a file could not be read or changed
// while it was read, each said on stderr (the rows found are printed); kExitUsage for bad
// arguments (nothing walked).
int runDuplicates(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);
int runHogs(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);

QString duplicatesUsage();
QString hogsUsage();

}  // namespace dw::cli
