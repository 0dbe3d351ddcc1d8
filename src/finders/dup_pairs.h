#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace dw {

// Walking a duplicates list pair by pair. `rows` are the list's rows as the grid holds
// them, row 0 the titles, each row the duplicate-mode cells (kDupNameColumn to
// kDupTypeColumn of dup_search.h). A pair at row i is rows i and i + 1. `bands` holds
// each row's band tag as the grid holds it (GridTable::band): under "Same contents" the
// groups of equal files alternate their bands, so two neighbours of one band and size are
// of one group.

// Whether rows i and i + 1 agree under `criterion` (0 to 6, the duplicate criteria):
//   0 names; 1 names and sizes; 2 names, sizes, modified dates and times; 3 sizes;
//   4 sizes, modified dates and times; 5 sizes and types; 6 types, modified dates and
//   times; 7 ("Same contents") sizes and bands.
// Names are compared with ASCII letters folded to one case, every other cell exactly.
// False when either row is outside the list (or, for 7, outside `bands`) or the
// criterion is unknown.
bool PairMatches(const QList<QStringList>& rows, int criterion, qsizetype i,
                 const QByteArray& bands = {});

// The row of the next pair after the pair at `r`: the first matching pair below r, or
// the list's last pair when none below matches. `r` itself when r is the last pair or
// beyond (nothing to go to).
qsizetype NextPairRow(const QList<QStringList>& rows, int criterion, qsizetype r,
                      const QByteArray& bands = {});

// The row of the previous pair before the pair at `r`: the nearest matching pair above
// r, or row 1 when none above matches. `r` itself when r < 2.
qsizetype PrevPairRow(const QList<QStringList>& rows, int criterion, qsizetype r,
                      const QByteArray& bands = {});

}  // namespace dw
