#pragma once

#include <QString>
#include <QStringList>

// Type lines: what the type lists of the program show for a file pattern, the pattern, a
// TAB and the description of the pattern's file type ("*.doc<TAB>Word document"). The
// stored lists keep only the pattern.
namespace dw {

// The extension of a pattern or file name with its dot: the text from its last "." on
// ("*.doc" and "readme.txt" give ".doc" and ".txt", "a*.tmp" gives ".tmp", "*." gives
// "."); the empty text when it has no ".".
QString PatternExtension(const QString& pattern);

// `pattern`, a TAB and FileTypeName of its extension. The description is empty for
// patterns whose extension holds a wildcard ("*.~*") or that have none ("*").
QString TypeLine(const QString& pattern);

// The pattern of a type line: its text before the first TAB (the whole line without one).
QString TypeLinePattern(const QString& line);

// Appends to `lines` each line of `added` that `lines` does not hold yet (exactly equal),
// in order; returns how many were appended.
int AddTypeLines(QStringList& lines, const QStringList& added);

}  // namespace dw
