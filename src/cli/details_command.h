#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>

// diskwell-cli details FILE...  and  diskwell-cli crc FILE...
namespace dw::cli {

// details: for each FILE, the details window's lines as "LABEL<TAB>VALUE" (File name,
// Type, Size, Size on disk, Creation date, Modification date, Access date, Attributes,
// then the version lines), each value written by TsvEscape (the file name from the
// path's exact bytes), a blank line between files. A link is described as itself. A
// FILE that is not there: "diskwell-cli details: cannot find FILE" on `err`, the others
// are still described. Options: -h/--help, "--" before names beginning with "-".
// Returns kExitOk; kExitIncomplete when a FILE was not there; kExitUsage (nothing
// printed) for an unknown option or no FILE.
int runDetails(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);
QString detailsUsage();

// crc: for each FILE, "VALUE<TAB>FILE": VALUE the pair comparison's check value
// (FileCrc) as eight upper-case hexadecimal digits, or "unreadable" for a file that is
// not a readable regular file (links are not followed); FILE by TsvEscape. Returns
// kExitOk; kExitIncomplete when any FILE was unreadable; kExitUsage as for details.
int runCrc(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);
QString crcUsage();

}  // namespace dw::cli
