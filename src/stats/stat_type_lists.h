#pragma once

#include <QString>
#include <QStringList>

// The statistics' stored type lists, "Include" (only these types are counted) and
// "Exclude" (all types but these), numbered lists of the settings store.
namespace dw {

// Replaces the content of `list` with the type lines (see scan/type_lines.h) of the
// stored list `name` ("Include" or "Exclude"): each non-empty stored pattern, TAB and
// its file type's name, in stored order. While the list has never been saved ("Number"
// absent, not a number, or -1 and below; "0x" and hex digits count as a number), the
// lines of "*.doc", "*.exe" and "*.dll". The statistics windows call this their
// ReadStatFilesFromDisk.
void ReadStatTypeList(QStringList& list, const QString& name);

// Stores `list` as the list `name`: "Number" := its count and "File<i>" := line i's
// pattern (its text before the first TAB). Values beyond the new count stay unread.
// False when the settings file could not be written (nothing changed then). The
// statistics windows call this their WriteStatFilesToDisk.
bool WriteStatTypeList(const QStringList& list, const QString& name);

}  // namespace dw
