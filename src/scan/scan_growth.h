#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include "scan/scan_history.h"

// What changed between two scans of one root, folder by folder.
namespace dw {

enum class GrowthState { New, Gone, Grew, Shrank, Same };

struct GrowthRow {
    QByteArray path;
    qint64 was = 0;     // apparent bytes in the earlier scan; 0 for a new folder
    qint64 now = 0;     // apparent bytes in the later scan; 0 for a gone folder
    qint64 change = 0;  // now - was
    qint64 filesWas = 0;
    qint64 filesNow = 0;
    GrowthState state = GrowthState::Same;

    bool operator==(const GrowthRow&) const = default;
};

// One row per folder in either scan (matched by exact path bytes): New when only `now`
// has it, Gone when only `was` has it, else Grew, Shrank or Same by its apparent bytes
// (a folder whose size is unchanged but whose file count changed is Same). Sorted by
// change, largest growth first, then by path bytes. Sizes are the apparent bytes, as
// the folder hogs' "Size" column shows them.
QList<GrowthRow> compareScans(const QList<HistoryFolder>& was, const QList<HistoryFolder>& now);

// "new", "gone", "grew", "shrank", "same".
QString growthStateText(GrowthState state);

}  // namespace dw
