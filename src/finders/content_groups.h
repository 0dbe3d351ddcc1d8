#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <xxhash.h>

#include <atomic>
#include <bit>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace dw {

namespace platform {
class ContentFile;
}

// One file of a search, as the walk saw it (its size is asked for by run(): the caller
// keeps it anyway).
struct ContentCandidate {
    quint32 id = 0;  // the caller's number for the file; each name of a file has its own
    quint64 device = 0;
    quint64 inode = 0;
    qint64 modified = 0;  // last write, seconds since the epoch
};

// A group the content search found. SameContent: two or more different files (inodes)
// whose bytes are equal, each listed once by the first of its names (the lowest id),
// with the count of its names found in `names` (1 for most files). HardLinks: one file
// found under two or more names (every name listed, `names` all 1): deleting one of
// them wins no space. The spans view the grouper's own storage: valid until it is
// destroyed or releaseGroups() is called.
struct ContentGroup {
    enum class Kind : quint8 { SameContent, HardLinks };
    Kind kind = Kind::SameContent;
    std::span<const quint32> ids;    // ascending
    std::span<const quint32> names;  // beside `ids`
};

// A file left out of every group, and why.
struct ContentProblem {
    quint32 id = 0;
    QString reason;
};

struct ContentOptions {
    // Empty files are one group of equal files only when asked for; otherwise they are
    // left out (and never read).
    bool includeEmpty = false;
    // The threads that read the files.
    int threads = 2;
    // The size of each thread's reads (taken down to a multiple of 4 KiB, at least 4 KiB).
    qint64 chunkBytes = 256 << 10;
};

// How a content search reports its progress.
struct ContentHooks {
    // Called on the caller's thread every `intervalMs` while files are read, with the
    // bytes read so far and the bytes to read (which shrinks as files fall out and
    // grows by the comparisons once they are known). Answering false stops the run
    // as requestStop() does.
    std::function<bool(qint64 done, qint64 total)> progress;
    int intervalMs = 20;
    // Called on a reading thread before a file is opened for each of its reads (the
    // first 4 KiB, the whole file, the comparison), with its id. May be unset.
    std::function<void(quint32 id)> beforeRead;
    // Called on a reading thread with a file's hash of its whole content, which it may
    // change: tests make different files' hashes agree, as a collision would. May be unset.
    std::function<void(quint32 id, XXH128_hash_t& hash)> wholeHashed;
};

// Groups files whose contents are byte for byte equal.
//
// Files of one inode (hard links: the same device and inode) are one file and are never
// read twice. Only files whose size another file shares are read: first the first 4 KiB
// of each, hashed (XXH3, 128 bits); where those agree the whole file, hashed; where the
// whole-file hashes agree the files are compared byte by byte, so a group never rests on
// a hash alone (a collision costs a comparison, never a wrong group). Files of at most
// 4 KiB are compared before any larger file is read whole, so a run stopped during that
// reading keeps their groups. Reads are large
// and sequential, run on `threads` worker threads, and go in the order of the files'
// places on the disk where the file system tells it (FIEMAP, for files of more than
// 64 KiB; known once a file has been opened, so the first 4 KiB go in inode order), else
// in inode order. Holes of sparse files are not read (they are zeros).
//
// Every file is opened without following a link (platform::ContentFile) and compared
// with what the walk saw (device, inode, size, last write): a file that differs, or
// whose size, last write or inode change while it is read, is reported in changed(),
// never grouped; so is a file that another program has open for writing or mapped
// writable when it is opened for its byte by byte comparison or when that read ends
// (platform::writersOf: a write through a map need not change its size or times), with
// the reason "it is in use by another program". Files whose first 4 KiB or whole-file
// hashes are unique are not asked about: they are never grouped anyway. A file that cannot be
// opened or read is reported in unreadable(), never grouped. Each problem file is reported once, by
// the id of its first name.
//
// Names of one file are told apart by the size the walk saw with them: names of an inode
// that the walk saw with different sizes (it was written during the walk) are taken for
// different files, which then never agree with each other (one of them has changed).
//
// Memory: add() keeps 14 bytes per file, empty files included (in blocks, never copied
// as the list grows), and 4 more for ids that are not 0, 1, 2, ... in the order of adding
// unless renumber() makes them 0, 1, 2, ... in another order. run() adds 32 bytes for
// every file whose size another file shares, 12 for each of them of more than 64 KiB,
// and 12 per file for sorting while it finds the files to read; it gives back 4 bytes
// per file once it has, and all the rest before it returns, keeping only the groups
// (8 bytes per name in a group). Each reading thread holds one read's buffer
// (ContentOptions::chunkBytes).
class ContentGrouper {
public:
    // The exact native path of the file `id`. Called from the reading threads at the
    // same time: it must be safe to call so (reading shared data only).
    using PathOf = std::function<QByteArray(quint32 id)>;
    // The size the walk saw of the file `id`, called as PathOf is.
    using SizeOf = std::function<qint64(quint32 id)>;

    using Hooks = ContentHooks;

    explicit ContentGrouper(const ContentOptions& options = {});
    ~ContentGrouper();
    ContentGrouper(const ContentGrouper&) = delete;
    ContentGrouper& operator=(const ContentGrouper&) = delete;

    // Adds a file before run(). Ids must be distinct.
    void add(const ContentCandidate& file);

    // Gives every file added the id `newId(id)` (distinct again), before run(): for a
    // caller that numbers its files anew once it has them all. Takes 4 bytes per file
    // for a while (and keeps them when the new ids are not 0, 1, 2, ...).
    void renumber(const std::function<quint32(quint32 id)>& newId);

    // Reads and groups, with the files' paths from `pathOf` and the sizes the walk saw from
    // `sizeOfId`. Returns true when done; false when stopped, and then the groups
    // hold what was proven before the stop (the hard links, the empty files, and the
    // groups whose comparison had ended). Runs once; later calls return what the first
    // returned.
    bool run(const PathOf& pathOf, const SizeOf& sizeOfId, const Hooks& hooks = {});

    // Stops a run at once (the readers stop before their next read). Any thread.
    void requestStop() { stop_.store(true); }
    bool stopped() const { return stop_.load(); }

    // The groups, ordered by their first id; each group's ids ascending.
    qsizetype groupCount() const { return qsizetype(groupSpans_.size()); }
    ContentGroup group(qsizetype k) const;
    // Gives back the memory of the groups (groupCount() is 0 afterwards).
    void releaseGroups();
    const std::vector<ContentProblem>& unreadable() const { return unreadable_; }
    const std::vector<ContentProblem>& changed() const { return changed_; }

    qint64 bytesRead() const { return read_.load(); }
    qint64 bytesToRead() const { return toRead_.load(); }
    // The most heap bytes the search's own tables held at once.
    qsizetype peakMemoryUsage() const { return peak_; }

private:
    // What the walk saw of the files, one column per field, each in blocks that never
    // move, so a column can be given back on its own once it is no longer needed. Blocks
    // of 256 KiB are mapped on their own (see platform::keepLargeBlocksApart), so a column
    // given back leaves no free space behind in the heap.
    static constexpr size_t kColumnBlockBytes = 256 * 1024;
    template <class T>
    class Column {
        static_assert(std::has_single_bit(sizeof(T)));
        static constexpr int kBlockBits = std::countr_zero(kColumnBlockBytes / sizeof(T));
        static constexpr quint32 kBlockSize = 1u << kBlockBits;

    public:
        T operator[](quint32 i) const { return blocks_[i >> kBlockBits][i & (kBlockSize - 1)]; }
        // Sets value `i`, the next one.
        void append(quint32 i, T value) {
            if ((i & (kBlockSize - 1)) == 0) {
                blocks_.push_back(std::make_unique_for_overwrite<T[]>(kBlockSize));
            }
            blocks_.back()[i & (kBlockSize - 1)] = value;
        }
        void release() {
            blocks_.clear();
            blocks_.shrink_to_fit();
        }
        qsizetype bytes() const { return qsizetype(blocks_.size() * kBlockSize * sizeof(T)); }
        // The first `count` values, value k at place `to[k]` (`to` a permutation of 0 to
        // count - 1).
        Column moved(const std::vector<quint32>& to, quint32 count) const {
            Column c;
            for (quint32 k = 0; k < count; k += kBlockSize) {
                c.blocks_.push_back(std::make_unique_for_overwrite<T[]>(kBlockSize));
            }
            for (quint32 k = 0; k < count; ++k) {
                c.blocks_[to[k] >> kBlockBits][to[k] & (kBlockSize - 1)] = (*this)[k];
            }
            return c;
        }

    private:
        std::vector<std::unique_ptr<T[]>> blocks_;
    };
    // A file (the first of its names) whose size another file shares, while run() works.
    // 32 bytes.
    struct Work {
        enum State : quint32 { Waiting, Unique, Unreadable, Changed, Stopped, Equal };
        // The hash of the first 4 KiB, then of the whole file; once found Equal, the set of
        // equal files it is in.
        XXH128_hash_t hash{0, 0};
        // The walk's last write (seconds, low 32 bits) until the first open, then the last
        // write and last change that open saw, mixed into one value.
        quint64 stamp = 0;
        quint32 item = 0;        // its number in the order of adding
        quint32 names : 24 = 1;  // names of this inode (counted up to 2^24 - 1)
        quint32 state : 3 = Waiting;
        quint32 placeKnown : 1 = 0;  // in places_
        quint32 opened : 1 = 0;
    };
    static_assert(sizeof(Work) == 32, "the table of the files read grows with it");
    struct Range {
        quint32 begin = 0;
        quint32 end = 0;
    };
    struct Reader;

    qint64 sizeOf(quint32 item) const { return sizeOf_(idOf(item)); }
    quint64 inodeOf(quint32 item) const { return inodes_[item]; }
    quint16 deviceOf(quint32 item) const { return devices_[item]; }
    quint32 idOf(quint32 item) const { return ids_.empty() ? item : ids_[item]; }
    // Where the file's data lies on its disk where known, else its inode.
    quint64 placeOf(const Work& work) const;
    // All files, ordered by (size, device, inode, id), with their sizes by file.
    std::vector<quint32> itemsBySizeAndFile(std::vector<qint64>& sizes) const;

    // Runs task(reader, i) for i from 0 to count - 1 on the reading threads, each reader
    // with reads of `readBytes`.
    template <class Task>
    void parallel(size_t count, qint64 readBytes, const Hooks& hooks, Task task);
    // With `askUse`, a file another program may be writing fails too (the byte by byte
    // comparison, which every grouped file passes: the files it never reaches are never
    // grouped, so they need not be asked about).
    bool openChecked(platform::ContentFile& file, Work& work, const Hooks& hooks,
                     bool askUse = false);
    bool finishChecked(platform::ContentFile& file, Work& work, bool askUse = false);
    void readPrefix(Reader& reader, Work& work, const Hooks& hooks);
    void readWhole(Reader& reader, Work& work, const Hooks& hooks);
    void compare(Reader& reader, Range range, const Hooks& hooks);
    void fail(Work& work, std::vector<ContentProblem>& list, const QString& reason);
    void collectGroups();

    // The phases of run(), in their order. keepSharedSizes makes work_: one entry per
    // file whose size another file shares (files of no size Equal at once, unless left
    // out), and returns the ranges of work_ of each size with files still to read.
    std::vector<Range> keepSharedSizes();
    // Reads the first 4 KiB of those files, in inode order, and puts the classes of
    // equal size and hash that remain into `compares` (files of at most 4 KiB, compared
    // byte by byte next) or `wholeRuns` (hashed whole next).
    void readPrefixes(std::vector<Range> sizeRuns, const Hooks& hooks, std::vector<Range>& compares,
                      std::vector<Range>& wholeRuns);
    // Hashes the files of `wholeRuns` whole, in the order of their places on the disk
    // where known, and adds the classes of equal hashes to `compares`.
    void readWholeFiles(std::vector<Range> wholeRuns, const Hooks& hooks,
                        std::vector<Range>& compares);
    // Compares the files of each range byte by byte; the equal ones become Equal.
    void compareBytes(std::vector<Range> compares, const Hooks& hooks);
    // Makes the groups and the problems' lists, and gives back what the work took.
    void finishGroups();
    // Sorts each range so that its files still waiting come first, in classes of equal
    // hashes, and calls onClass(begin, end) for each class.
    template <class OnClass>
    void splitIntoClasses(const std::vector<Range>& ranges, OnClass&& onClass);
    // The places in work_ of the ranges' entries, in order.
    static std::vector<quint32> workIn(const std::vector<Range>& ranges);
    void notePeak(qsizetype bytes);

    ContentOptions options_;
    Column<quint64> inodes_;
    Column<quint32> seconds_;  // low 32 bits of the last write, seconds since the epoch
    Column<quint16> devices_;  // the file system's place in deviceIds_
    quint32 count_ = 0;
    // Empty while every id is the file's number in the order of adding.
    std::vector<quint32> ids_;
    std::vector<quint64> deviceIds_;
    std::vector<Work> work_;
    // The places on the disk the file system told, by file (item), for the files of more
    // than 64 KiB: sorted once their first 4 KiB have all been read.
    std::vector<std::pair<quint32, quint64>> places_;
    std::mutex placesMutex_;
    PathOf pathOf_;
    SizeOf sizeOf_;
    // The groups: the ids and names of all of them, one after the other, and the part of
    // them each group holds, in the order of their first ids.
    std::vector<quint32> groupIds_;
    std::vector<quint32> groupNames_;
    struct GroupSpan {
        quint32 begin = 0;
        quint32 count = 0;
        ContentGroup::Kind kind = ContentGroup::Kind::SameContent;
    };
    std::vector<GroupSpan> groupSpans_;
    std::vector<ContentProblem> unreadable_;
    std::vector<ContentProblem> changed_;
    std::mutex problems_;
    std::atomic<bool> stop_{false};
    std::atomic<qint64> read_{0};
    std::atomic<qint64> toRead_{0};
    qsizetype peak_ = 0;
    bool ran_ = false;
    bool result_ = false;
};

}  // namespace dw
