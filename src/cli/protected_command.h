#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>

// diskwell-cli protected PATH...
namespace dw {
class SafeHarbor;
}

namespace dw::cli {

// The answer line for one path, as the subcommand prints it (without the line end):
// "PATH<TAB>protected<TAB>reason text" or "PATH<TAB>not protected". An existing folder
// (a real one, not a link to one) is asked as a folder, anything else as a file.
QByteArray protectedLine(const SafeHarbor& harbor, const QByteArray& path);

// The subcommand: `args` are its arguments (after "protected"). Loads the Safe Harbor as
// the program does (folders.txt of the settings folder, $PATH, the system folders, the
// protected extensions of the settings) and prints one protectedLine per PATH, in order;
// the path is written as the exact bytes given. Options: -h/--help, and "--" before
// paths that begin with "-". Returns kExitOk; kExitIncomplete when the folder list has
// not been built yet (a warning on `err`: only the search path, the system folders and
// the extensions were asked; the lines are printed still); kExitUsage (nothing printed)
// for an unknown option or no path.
int runProtected(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);

// The subcommand's usage text.
QString protectedUsage();

}  // namespace dw::cli
