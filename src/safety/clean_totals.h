#pragma once

#include <QDate>
#include <QtGlobal>

// The cumulative totals of what the program has deleted, sent to the trash and stored
// in archives, kept in the settings section "Diskwell" (settings_sections.h), shown and
// reset by the statistics window. Every count and size is 64-bit; -1 (also what a
// missing value reads as) means "not counted since the last reset".
namespace dw {

struct CleanTotals {
    qint64 Ndelete = -1;     // files deleted
    qint64 SizeDelete = -1;  // bytes deleted
    qint64 NWaste = -1;      // files sent to the trash
    qint64 SizeWaste = -1;   // bytes sent to the trash
    qint64 DelDate = -1;     // day of the first delete or trash run since the reset
    qint64 NZip = -1;        // files stored in archives
    qint64 SizeZip = -1;     // bytes stored in archives (before compression)
    qint64 ZipDate = -1;     // day of the first archive run since the reset
};

// The totals as stored; each missing or unreadable value is -1.
CleanTotals readCleanTotals();

// `date` as the totals store days: whole days since 30 December 1899.
qint64 totalsDayNumber(const QDate& date);

// Adds a delete or trash run to the totals, in one write: "Ndelete", "SizeDelete",
// "NWaste" and "SizeWaste" each become the amount added plus the stored value when that
// is above 0 (so a reset value of -1 counts as nothing; sums stop at the largest 64-bit
// value rather than wrapping), and all four are written, also those that received 0.
// "DelDate" is set to `today` when it is below 0 (-1 after a reset, or missing), else
// kept. Returns false when
// the settings file could not be written; then nothing changed.
bool recordDeleteTotals(qint64 deletedCount, qint64 deletedBytes, qint64 recycledCount,
                        qint64 recycledBytes, const QDate& today = QDate::currentDate());

// The same for an archive run: "NZip", "SizeZip" and "ZipDate".
bool recordZipTotals(qint64 count, qint64 bytes, const QDate& today = QDate::currentDate());

// "Reset these numbers": writes -1 to all eight values, in one write. Returns false when
// the settings file could not be written; then nothing changed.
bool resetCleanTotals();

}  // namespace dw
