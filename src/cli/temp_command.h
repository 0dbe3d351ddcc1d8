#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>

// diskwell-cli temp [--ext PATTERN]... FOLDER...
namespace dw::cli {

// The quick clean without its window: walks the FOLDERs as the window walks its checked
// entries (hidden files listed, hidden folders and links left out) and lists the files
// whose extension is one of the patterns: each --ext given, else the stored list of the
// "Quick clean" window, else its defaults. Prints the grid as the window shows it after a
// scan (largest first), title row first, cells escaped by TsvEscape (FileName from the
// native path). Exit statuses as the other finders.
int runTemp(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);
QString tempUsage();

}  // namespace dw::cli
