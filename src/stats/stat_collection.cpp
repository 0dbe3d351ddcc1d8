#include "stats/stat_collection.h"

#include <cstdlib>

#include "platform/local_time.h"
#include "platform/volumes.h"

namespace dw {

namespace {

constexpr qint64 kDaySeconds = 86400;

// Days since 1 January 1970 of a proleptic Gregorian date (H. Hinnant's algorithm).
constexpr qint64 daysFromCivil(qint64 y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

constexpr qint64 kFirstPackedDay = daysFromCivil(1980, 1, 1);
constexpr qint64 kPastLastPackedDay = daysFromCivil(2108, 1, 1);

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

LocalDayClock::LocalDayClock() = default;

qint64 LocalDayClock::dayNumber(const QDate& date) {
    return daysFromCivil(date.year(), date.month(), date.day());
}

bool LocalDayClock::offsetAt(qint64 epochSeconds, qint32& offset) const {
    platform::LocalTime t;
    if (!platform::toLocalTime(epochSeconds, t)) {
        return false;
    }
    const qint64 local = daysFromCivil(t.year, t.month, t.day) * kDaySeconds + t.hour * 3600 +
                         t.minute * 60 + qMin(t.second, 59);
    offset = qint32(local - epochSeconds);
    return true;
}

bool LocalDayClock::toLocal(qint64 epochSeconds, qint64& day, int& minuteOfDay) {
    const qint64 utcDay = floorDiv(epochSeconds, kDaySeconds);
    Slot& slot = slots_[size_t(quint64(utcDay) % slots_.size())];
    qint32 offset = 0;
    if (slot.utcDay != utcDay) {
        // Offsets change at most twice a year, so one equal at both ends of a day holds
        // all day long.
        qint32 first = 0;
        qint32 last = 0;
        const bool ok = offsetAt(utcDay * kDaySeconds, first) &&
                        offsetAt(utcDay * kDaySeconds + kDaySeconds - 1, last);
        if (!ok) {
            if (!offsetAt(epochSeconds, offset)) {
                return false;
            }
        } else {
            slot.utcDay = utcDay;
            slot.offset = first;
            slot.mixed = first != last;
        }
    }
    if (slot.utcDay == utcDay) {
        if (slot.mixed) {
            if (!offsetAt(epochSeconds, offset)) {
                return false;
            }
        } else {
            offset = slot.offset;
        }
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
        t.extensions.add(key_, size);
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
