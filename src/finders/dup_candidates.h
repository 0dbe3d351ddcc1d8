#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "base/extension_types.h"
#include "finders/dup_texts.h"
#include "finders/thousands_text.h"
#include "platform/dir_entry.h"

namespace dw {

struct WalkFolder;

// The fields of a candidate line of the duplicates and file-hogs finder, each the text
// its list shows:
//   Name      the file's name as the folder listing gave it
//   Size      FormatThousands of its size
//   Modified  FileDateToDateText of its last-write time
//   Time      FileDateToTimeText of its last-write time
//   Access    FileDateToDateText of its last-access time
//   Folder    the folder text of the folder it lies in
//   Type      FileTypeOfName of its name
//   Path      the folder text, "/" unless it ends with one, and the name
enum class DupField { Name, Size, Modified, Time, Access, Folder, Type, Path };

// The folder a candidate lies in: its native path and its text (the path decoded).
struct DupFolder {
    QByteArray path;
    QString text;
};

// The candidate list of one scan: one compact record per file that passed the
// finder's tests, sizes and times as numbers, the name's bytes kept once, the folder
// and the file type shared by all the files that have them. The texts of the fields
// are made only when asked for.
//
// The list plays the part of a list of TAB-separated lines kept sorted by their whole
// text, case-insensitively: files are added in the walk's order, and sortLines() then
// puts them once into the order such lines would have (see there).
//
// The list holds at most `limit()` candidates. add() refuses a file beyond it, and also
// when memory for it cannot be had; the caller then warns and stops its walk.
class DupCandidateList {
public:
    // Enough for tens of millions of files.
    static constexpr qsizetype kDefaultLimit = 100'000'000;
    // The largest limit a list takes (a larger one counts as this).
    static constexpr qsizetype kMaxLimit = (qsizetype(1) << 30) - 1;

    explicit DupCandidateList(qsizetype limit = kDefaultLimit);
    ~DupCandidateList();
    DupCandidateList(const DupCandidateList&) = delete;
    DupCandidateList& operator=(const DupCandidateList&) = delete;

    qsizetype limit() const { return limit_; }
    qsizetype size() const { return count_; }
    bool isEmpty() const { return count_ == 0; }

    // The longest name a candidate can have, in bytes.
    static constexpr qsizetype kMaxNameBytes = 0xFFFF;

    // Adds the file `entry` of `folder` at the end. Returns false, adding nothing, when
    // the list holds limit() candidates already, the name is longer than kMaxNameBytes
    // (no file system allows such names) or memory for another one cannot be had.
    bool add(const WalkFolder& folder, const platform::DirEntry& entry);
    // The same for a file given by its name, size and last-write and last-access times.
    bool add(const WalkFolder& folder, QByteArrayView name, qint64 size, qint64 modified,
             qint64 accessed);

    // Empties the list (the limit stays).
    void clear();

    // Whether each folder's names are sorted as soon as the folder is complete (when a
    // file of another folder is added), on the thread that adds, so that a sort by the
    // Path field has less left to do at its end. Set it before the first add; the order
    // sortLines gives is the same either way. Costs four bytes per candidate.
    void setEarlyPathOrder(bool on) { earlyPathOrder_ = on; }
    // Whether the texts of each new date and time (makeTexts) are made as files are
    // added, on the thread that adds. Set it before the first add.
    void setEarlyTexts(bool on) { earlyTexts_ = on; }

    // Sorts the candidates as lines made of `fields` in that order, joined by TAB, would
    // sort by their whole text: field by field, each compared case-insensitively as
    // compareFolded does on its text, a text that is the beginning of the other first.
    // Candidates whose lines are equal keep the order they were added in. Sizes, dates
    // and times therefore sort as their texts do ("1,024" before "999"). O(n log n).
    void sortLines(std::span<const DupField> fields);

    // The number candidate `i` (in the current order) had when it was added: 0 for the
    // first file added, 1 for the next, and so on.
    quint32 addedAs(qsizetype i) const { return numberAt(i); }
    // Reads of candidate `i` (0 to size() - 1, in the current order).
    qint64 size(qsizetype i) const { return at(i).size; }
    quint32 modified(qsizetype i) const { return at(i).modified; }
    quint32 accessed(qsizetype i) const { return at(i).accessed; }
    // The name's native bytes; valid while the list lives and is not cleared.
    QByteArrayView name(qsizetype i) const { return nameOf(at(i)); }
    const DupFolder& folder(qsizetype i) const { return folders_[at(i).folder]; }
    // The file's exact native path: the folder's path and the name joined.
    QByteArray path(qsizetype i) const;

    // The text of field `field` of candidate `i`.
    QString text(qsizetype i, DupField field) const;
    // The same written into `out`, reusing its storage where it holds the only reference
    // to it: a loop that fills many rows through the same strings allocates nothing for
    // names, paths and sizes.
    void textInto(qsizetype i, DupField field, QString& out) const;
    // The same as UTF-8 bytes, appended to `out`; the Name, Folder and Path fields are
    // appended as their native bytes.
    void appendBytes(qsizetype i, DupField field, QByteArray& out) const;

    // The same bytes without copying, for one piece of a field: Path gives the folder
    // prefix (the folder's path, "/" added unless it ends with one) and the name is the
    // second piece, name(i); Size is written into `sizeBuffer` (ThousandsText::kMaxUtf8
    // bytes); every other field is a view of the list's own storage. Valid while the
    // list is not changed and `sizeBuffer` lives.
    QByteArrayView fieldBytes(qsizetype i, DupField field, char* sizeBuffer) const;
    // Asks the processor to fetch what reading candidate `i` will touch: its record
    // (`stage` 0), or, once that is at hand, its name and folder (`stage` 1). Reading many
    // candidates in sorted order jumps through memory; fetching a few ahead hides that.
    void prefetch(qsizetype i, int stage) const;

    // Makes now the texts of every candidate's dates and times, which the reads above
    // otherwise make when first asked for: after it, until the list changes, those reads
    // only read, and several threads may make them at once.
    void makeTexts() const;

    // Identity of texts that are shared: equal ids mean equal texts.
    quint32 typeId(qsizetype i) const { return at(i).type; }
    // The same for the folder (one folder met by the walk): equal ids mean equal Folder
    // and folder prefix texts. Ids count from 0 in the order the folders were met.
    quint32 folderId(qsizetype i) const { return at(i).folder; }
    // The Time text's id of a packed last-write time.
    static quint32 timeKey(quint32 packed) { return DupTexts::timeKey(packed); }

    // Heap bytes the list holds now (records, names, folders, types), by capacity.
    qsizetype memoryUsage() const;
    // The most heap bytes it held at once, the temporary tables of sorting included.
    qsizetype peakMemoryUsage() const { return peak_; }

private:
    // Every field is set when the candidate is added; a block's records are left
    // unwritten until then, so the pages of a block's unused end are never touched.
    struct Record {
        qint64 size;
        quint64 name;  // chunk index << 36 | offset in the chunk << 16 | length
        quint32 folder;
        quint32 type;
        quint32 modified;
        quint32 accessed;
    };
    // Records live in blocks that never move, so the list grows without copying; the
    // order is a separate index.
    static constexpr int kBlockBits = 14;
    static constexpr quint32 kBlockSize = 1u << kBlockBits;

    const Record& record(quint32 n) const { return blocks_[n >> kBlockBits][n & (kBlockSize - 1)]; }
    Record& record(quint32 n) { return blocks_[n >> kBlockBits][n & (kBlockSize - 1)]; }
    // Until the first sort the order is the order of adding, kept without a table.
    quint32 numberAt(qsizetype i) const { return order_.empty() ? quint32(i) : order_[size_t(i)]; }
    const Record& at(qsizetype i) const { return record(numberAt(i)); }
    QByteArrayView nameOf(const Record& r) const;

    bool storeName(QByteArrayView name, quint64& ref);
    QByteArrayView folderPrefix(quint32 folder) const;
    void notePeak(qsizetype extra) const;

    // Below this many candidates a sort stays on one thread: a thread's start would cost
    // more than it saves.
    static constexpr qsizetype kMinimumPiece = 20000;

    class LinePlan;   // how sortLines keys and compares the lines
    class PathOrder;  // the order of the Path texts, begun as folders are added

    qsizetype limit_;
    std::vector<std::unique_ptr<Record[]>> blocks_;
    std::vector<quint32> order_;  // candidate numbers in the current order, once sorted
    qsizetype count_ = 0;
    std::vector<std::unique_ptr<char[]>> chunks_;
    quint32 chunkUsed_ = 0;
    std::vector<DupFolder> folders_;
    std::vector<QByteArray> folderPrefixes_;  // the path followed by "/" (the root as is)
    QByteArray lastFolderPath_;
    qsizetype folderBytes_ = 0;
    ExtensionTypes types_;
    // PackDosDateTime of times met before: files share a few thousand times at most, and
    // each conversion to local time costs more than the rest of adding a file.
    struct TimeSlot {
        qint64 epoch = std::numeric_limits<qint64>::min();
        quint32 packed = 0;
    };
    std::unique_ptr<std::array<TimeSlot, 4096>> timeSlots_;
    quint32 packedTime(qint64 epoch);
    ThousandsText thousands_;
    // Texts of dates and times, made once per distinct value when first asked for.
    mutable DupTexts texts_;
    mutable qsizetype peak_ = 0;
    bool earlyTexts_ = false;
    // The candidates before this one have their texts made.
    mutable qsizetype textsUpTo_ = 0;
    bool earlyPathOrder_ = false;
    std::unique_ptr<PathOrder> pathOrder_;
};

}  // namespace dw
