#include "stats/stat_collection.h"

#include <cstdlib>

#include "platform/volumes.h"

namespace dw {

namespace {

constexpr qint64 kDaySeconds = 86400;

constexpr qint64 kFirstPackedDay = DaysFromCivil(1980, 1, 1);
constexpr qint64 kPastLastPackedDay = DaysFromCivil(2108, 1, 1);

constexpr bool clustersArePowersOfTwo() {
    for (qint64 c : kOverhangClusters) {
        if (c <= 0 || (c & (c - 1)) != 0) {
            return false;
        }
    }
    return true;
}

qint64 floorDiv(qint64 a, qint64 b) {
    qint64 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) {
        --q;
    }
    return q;
}

}  // namespace

qint64 LocalDayClock::dayNumber(const QDate& date) {
    return DaysFromCivil(date.year(), date.month(), date.day());
}

bool LocalDayClock::toLocal(qint64 epochSeconds, qint64& day, int& minuteOfDay) {
    qint64 offset = 0;
    if (!offsets_.at(epochSeconds, offset)) {
        return false;
    }
    const qint64 local = epochSeconds + offset;
    day = floorDiv(local, kDaySeconds);
    if (day < kFirstPackedDay || day >= kPastLastPackedDay) {
        return false;
    }
    minuteOfDay = int((local - day * kDaySeconds) / 60);
    return true;
}

StatCollector::StatCollector(TypeFilter filter, QDate today)
    : filter_(std::move(filter)), today_(LocalDayClock::dayNumber(today)) {}

void StatCollector::clear() {
    tallies_ = StatTallies();
    linksDue_.clear();
}

void StatCollector::tallyDate(DateKind kind, qint64 epochSeconds, bool recorded, qint64 size) {
    qint64 day = 0;
    int minute = 0;
    const int k = int(kind);
    if (!recorded || !clock_.toLocal(epochSeconds, day, minute)) {
        tallies_.ages[k][0].add(size);
        return;
    }
    const int slot = halfHourSlot(minute / 60, minute % 60);
    if (slot != 0) {
        ++tallies_.halfHours[k][slot];
    }
    tallies_.ages[k][ageToIndex(std::abs(today_ - day))].add(size);
}

void StatCollector::addFile(const platform::DirEntry& entry) {
    if (entry.isFolder()) {
        return;
    }
    StatTallies& t = tallies_;
    ++t.processed;
    if (!filter_.selects(entry.name)) {
        return;
    }
    if (entry.links > 1) {
        const std::pair<quint64, quint64> id{entry.device, entry.inode};
        const auto due = linksDue_.find(id);
        if (due != linksDue_.end()) {
            if (--due.value() == 0) {
                linksDue_.erase(due);
            }
            return;
        }
        linksDue_.insert(id, entry.links - 1);
        ++t.hardLinked;
    }
    const qint64 size = entry.size;
    ++t.counted;
    t.allocated += entry.allocated;
    for (int a = 0; a < kAttributeKinds; ++a) {
        if ((entry.attributes & kAttributeBits[a]) != 0) {
            t.attributes[a].add(size);
        }
    }
    tallyDate(DateKind::Accessed, entry.accessed, true, size);
    tallyDate(DateKind::Created, entry.created, entry.hasCreated, size);
    tallyDate(DateKind::Modified, entry.modified, true, size);
    if (extensionKey(entry.name, key_)) {
        t.extensions.add(key_, entry.name, size);
    }
    t.sizes[sizeBucket(size)].add(size);
    // The cluster sizes are powers of two: the rest of a division is a mask.
    static_assert(clustersArePowersOfTwo());
    if (size > 0) {
        for (int c = 0; c < kOverhangSizes; ++c) {
            const qint64 rest = size & (kOverhangClusters[c] - 1);
            t.overhang[c] += rest == 0 ? 0 : kOverhangClusters[c] - rest;
        }
    }
}

WalkOptions statisticsWalkOptions(bool enterHidden) {
    WalkOptions options;
    options.pattern = WildcardPattern(QStringLiteral("*.*"));
    options.wantHidden = true;
    options.wantSystem = true;
    options.wantFolders = false;
    options.enterHidden = enterHidden;
    return options;
}

void StatWalkHooks::onFile(const WalkFolder&, const platform::DirEntry& entry) {
    collector_.addFile(entry);
}

qint64 pickListTotal(const QList<DriveEntry>& entries) {
    qint64 total = 0;
    for (const DriveEntry& e : entries) {
        if (!PathDriveReady(e)) {
            continue;
        }
        if (const auto space = platform::driveSpace(e.startFolder)) {
            total += space->total;
        }
    }
    return total;
}

qint64 clusterSizeOf(const DriveEntry& entry) {
    if (!PathDriveReady(entry)) {
        return 0;
    }
    const auto space = platform::driveSpace(entry.startFolder);
    return space ? space->blockSize : 0;
}

int overhangRowOf(qint64 cluster) {
    for (int c = 0; c < kOverhangSizes; ++c) {
        if (kOverhangClusters[c] == cluster) {
            return c;
        }
    }
    return -1;
}

}  // namespace dw
