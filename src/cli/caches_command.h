#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>

// diskwell-cli caches [--days N] [--list] [--discover] [-0]
namespace dw::cli {

// The browser-cache cleaner without its window. The folders are the window's list (the
// stored one; when none was ever stored, the first discovery), or with --discover every
// cache folder of the browsers found now. --list prints them (title "Folder", one TSV
// line each). Otherwise prints the files lying directly in them that were not accessed
// for at least N days (default 0), each once: title "Size", "Accessed", "FileName" and a
// TSV line per file; with -0 only the paths, each ended by a NUL byte, ready for
// `diskwell-cli clean -0`. With no such file, "No files found to clear" goes through the
// prompter. Returns kExitOk, or kExitUsage for bad arguments.
int runCaches(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);
QString cachesUsage();

}  // namespace dw::cli
