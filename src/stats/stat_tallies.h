#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <utility>

#include "base/extension_types.h"
#include "base/file_dates.h"

// The tallies of a statistics collection and the rules that sort one file into them:
// size classes, ages, half hours of the day, attributes, extensions and the slack of the
// last cluster. Every count and byte total is 64-bit; the tallies have a fixed size,
// except the extension table, which holds one entry per distinct extension key of at
// most 5 characters and file type.
namespace dw {

// A count of files and the sum of their sizes.
struct FileTally {
    qint64 files = 0;
    qint64 bytes = 0;
    void add(qint64 size) {
        ++files;
        bytes += size;
    }
    bool operator==(const FileTally&) const = default;
};

inline constexpr int kDateKinds = 3;  // DateKind's values, 0 to 2

// ---- size classes --------------------------------------------------------------------
inline constexpr int kSizeBuckets = 12;
// The labels of the size classes, smallest first: "0 - 16K" (0 to 16,384 bytes),
// "16K - 32K", ... "8MB - 16MB", "Over 16MB" (16,777,217 bytes and more).
extern const char* const kSizeLabels[kSizeBuckets];
// The class of a file of `size` bytes, 0 ("0 - 16K") to 11 ("Over 16MB"); upper bounds
// are inclusive (16,384 is class 0, 16,385 class 1). Negative sizes count as 0.
int sizeBucket(qint64 size);

// ---- ages ----------------------------------------------------------------------------
inline constexpr int kAgeBuckets = 10;
// The labels of the age classes: "Not recorded", "<= 7 days", "8 - 30 days", ...,
// "3 - 4 years", "Over 4 years".
extern const char* const kAgeLabels[kAgeBuckets];
// The class of an age in whole days: -1 (no date) gives 0 "Not recorded"; 0 to 7 gives 1,
// 8 to 30 gives 2, 31 to 60 gives 3, 61 to 120 gives 4, 121 to 365 gives 5, 366 to 730
// gives 6, 731 to 1095 gives 7, 1096 to 1460 gives 8, 1461 and more gives 9. Any other
// negative age counts as no date.
int ageToIndex(qint64 ageDays);

// ---- times of day --------------------------------------------------------------------
inline constexpr int kHalfHours = 48;
// The half hour of a local time of day: 2 x hour, plus 1 from minute 30 on (0 to 47).
inline int halfHourSlot(int hour, int minute) {
    return 2 * hour + (minute >= 30 ? 1 : 0);
}
// The label of slot k: "00:00", "00:30", ... "23:30".
QString halfHourLabel(int slot);

// ---- attributes ----------------------------------------------------------------------
// The attributes tallied, in the order of the tallies: read-only (bit 0x01), hidden
// (0x02), system (0x04), archive (0x20, never set on Linux, so it reads 0).
inline constexpr int kAttributeKinds = 4;
extern const quint32 kAttributeBits[kAttributeKinds];
// "Read-only", "Hidden", "System", "Archive".
extern const char* const kAttributeLabels[kAttributeKinds];

// ---- cluster overhang ----------------------------------------------------------------
inline constexpr int kOverhangSizes = 5;
// 4096, 8192, 16384, 32768 and 65536 bytes.
inline constexpr std::array<qint64, kOverhangSizes> kOverhangClusters{4096, 8192, 16384, 32768,
                                                                      65536};
// "4K", "8K", "16K", "32K", "64K".
extern const char* const kOverhangLabels[kOverhangSizes];
// The unused bytes of the last cluster of a file of `size` bytes with clusters of
// `cluster` bytes: 0 when the size is a multiple of the cluster (0 included), else
// cluster - size mod cluster. 0 for a cluster size below 1.
qint64 clusterOverhang(qint64 size, qint64 cluster);

// ---- extensions ----------------------------------------------------------------------
// The extension key of a file name: its text from the last "." on, dot included, ASCII
// letters upper-cased ("page.html" gives ".HTML", "a." gives "."), or the empty key for
// a name without ".". Returns false, `key` then undefined, when the key would be longer
// than 5 bytes ("archive.backup", ".bashrc"): such files have no extension entry.
bool extensionKey(QByteArrayView name, QByteArray& key);

// The extension table: one entry per key and file type, count and bytes. A key's files
// can be of several types ("libz.so.1" a shared library, "ls.1" a manual page, both
// ".1"). Bounded by the number of distinct keys (at most 5 bytes each) times the types
// met.
class ExtensionTable {
public:
    // Adds one file named `name` (native bytes) of `size` to the entry of `key` and the
    // file's type (FileTypeOfName of `name`), made when missing. Keys longer than 5 bytes
    // are ignored.
    void add(QByteArrayView key, QByteArrayView name, qint64 size);
    // Makes an entry (0 files, 0 bytes) for `key` when it has none, of the type of a name
    // ending in `key`.
    void ensure(QByteArrayView key);
    void clear() {
        entries_.clear();
        types_.clear();
    }
    qsizetype size() const { return entries_.size(); }
    // The files and bytes of `key`, of every type; a zero tally when it has none.
    FileTally at(QByteArrayView key) const;

    struct Row {
        QByteArray key;  // native bytes, such as ".DOC", or empty
        QString type;    // FileTypeOfName of the entry's files (empty for none known)
        FileTally tally;
    };
    // Every entry, ordered by key (byte order, so the empty key comes first), then type.
    QList<Row> rows() const;

private:
    static quint64 pack(QByteArrayView key);
    QHash<std::pair<quint64, quint32>, FileTally> entries_;  // by packed key, type
    ExtensionTypes types_;
};

// ---- the type filter -----------------------------------------------------------------
// Which files a collection counts: all, only those of listed types (include), or all but
// those (exclude). A type is taken from each list line as its characters from the second
// up to the first TAB, lower-cased ("*.doc<TAB>Word document" gives ".doc"); a file
// matches when its extension (from its last "." on, dot included, the empty text without
// one) equals one of them, ASCII case ignored. Other wildcards have no meaning: "*.ht*"
// matches no file. An empty include list counts nothing, an empty exclude list
// everything.
class TypeFilter {
public:
    enum class Mode { All, Include, Exclude };

    TypeFilter() = default;
    TypeFilter(Mode mode, const QStringList& lines);

    Mode mode() const { return mode_; }
    // The types, as taken from the lines (".doc"), in their order, each once.
    const QList<QByteArray>& types() const { return types_; }

    bool selects(QByteArrayView name) const;

private:
    Mode mode_ = Mode::All;
    QList<QByteArray> types_;
    QSet<QByteArray> set_;
};

// The extension of a type-list line as the filter takes it: from its second character
// up to the first TAB, lower-cased ("*.doc" gives ".doc").
QString extractExtension(const QString& line);

// ---- the tallies ---------------------------------------------------------------------
struct StatTallies {
    qint64 processed = 0;  // every file the walk met, counted or not
    qint64 counted = 0;    // the files that passed the filter, each once
    // Files with more than one name (hard links) that were counted: each was counted
    // once, under the first of its names that passed the filter.
    qint64 hardLinked = 0;
    // The bytes the counted files take on their disks (their allocated blocks).
    qint64 allocated = 0;
    std::array<FileTally, kAttributeKinds> attributes{};
    // Per DateKind: the files whose date falls into each half hour. Slot 0 (00:00 to
    // 00:29) is never counted, nor a date that is not recorded.
    std::array<std::array<qint64, kHalfHours>, kDateKinds> halfHours{};
    // Per DateKind: the files and bytes of each age class.
    std::array<std::array<FileTally, kAgeBuckets>, kDateKinds> ages{};
    std::array<FileTally, kSizeBuckets> sizes{};
    // Per cluster size of kOverhangClusters: the summed slack of the counted files.
    std::array<qint64, kOverhangSizes> overhang{};
    ExtensionTable extensions;

    // The bytes of all counted files (the sum of the size classes).
    qint64 totalBytes() const;
    const std::array<FileTally, kAgeBuckets>& agesOf(DateKind kind) const {
        return ages[int(kind)];
    }
    const std::array<qint64, kHalfHours>& halfHoursOf(DateKind kind) const {
        return halfHours[int(kind)];
    }
    // Gives every type of an include filter an extension entry (0 files) where it has
    // none, so the table lists each type asked for; nothing for other modes.
    void addFilterTypes(const TypeFilter& filter);
};

}  // namespace dw
