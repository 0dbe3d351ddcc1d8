#pragma once

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <array>
#include <limits>
#include <utility>

#include "base/file_dates.h"
#include "platform/dir_entry.h"
#include "scan/drive_entry.h"
#include "scan/folder_walk.h"
#include "stats/stat_tallies.h"

// The collection of disk statistics: the walk's per-file step that sorts each file into
// the tallies, and the facts about the drives that the statistics window and
// `diskwell-cli stats` share.
namespace dw {

// Local day numbers and times of day of file times, as the tallies need them, without a
// time-zone conversion per file (LocalOffsets).
class LocalDayClock {
public:
    // The local day (days since 1 January 1970, local) and the minute of the local day
    // (0 to 1439) of `epochSeconds`. False when the moment has no packed date-time: its
    // local year lies outside 1980 to 2107, or it cannot be converted at all.
    bool toLocal(qint64 epochSeconds, qint64& day, int& minuteOfDay);

    // The local day number of a calendar date.
    static qint64 dayNumber(const QDate& date);

private:
    LocalOffsets offsets_;
};

// Sorts files into the tallies, in the order the collection adds them: filter, hard
// links, attributes, half hours, ages, extension, size class, overhang, then the count of
// files processed. Ages are the absolute distance in whole days between `today` and the
// date's local day, so a date in the future counts by its distance too; a date that is
// not recorded (no birth time, or a time outside 1980 to 2107) counts under "Not
// recorded" and in no half hour.
//
// A file with several names (links > 1) is counted once per device and inode: its later
// names are processed but not counted. The table of such files holds each only until all
// its names have been seen, so it stays small on whole-disk walks.
class StatCollector {
public:
    explicit StatCollector(TypeFilter filter = {}, QDate today = QDate::currentDate());

    // Adds one entry the walk handed over (a file, link, FIFO ...; folders are not
    // files and are ignored).
    void addFile(const platform::DirEntry& entry);

    // Empties the tallies and the table of hard links (the filter and today stay).
    void clear();

    const StatTallies& tallies() const { return tallies_; }
    const TypeFilter& filter() const { return filter_; }

private:
    void tallyDate(DateKind kind, qint64 epochSeconds, bool recorded, qint64 size);

    TypeFilter filter_;
    qint64 today_;
    LocalDayClock clock_;
    StatTallies tallies_;
    QByteArray key_;
    // device and inode of a multiply linked file -> how many of its names are still due
    QHash<std::pair<quint64, quint64>, quint32> linksDue_;
};

// The walk of a collection: every name ("*.*"), hidden and system entries handed over
// (a link as itself), no folder entries; hidden folders entered only when
// `enterHidden`.
WalkOptions statisticsWalkOptions(bool enterHidden = false);

// The walk's side of a collection without a window (the command line, tests): hands
// every file to the collector; an unopened start folder is counted.
class StatWalkHooks : public WalkHooks {
public:
    explicit StatWalkHooks(StatCollector& collector) : collector_(collector) {}
    void onFile(const WalkFolder& folder, const platform::DirEntry& entry) override;

private:
    StatCollector& collector_;
};

// The capacity in bytes of the chosen entries (computePickListTotal): the total of the
// file system of every entry that answers (a drive that is ready, or an extra folder
// whose file system answers); the others add nothing. 0 when none answers.
qint64 pickListTotal(const QList<DriveEntry>& entries);

// The cluster size of an entry's file system: its fundamental block size (statvfs
// f_frsize), or 0 when it does not answer.
qint64 clusterSizeOf(const DriveEntry& entry);

// The row of the overhang table that the cluster size `cluster` is (0 for 4096 to 4 for
// 65536), or -1 when it is none of the five.
int overhangRowOf(qint64 cluster);

}  // namespace dw
