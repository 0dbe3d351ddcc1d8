#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <xxhash.h>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace dw {

namespace platform {
class ContentFile;
}

// One file of a search, as the walk saw it.
struct ContentCandidate {
    quint32 id = 0;  // the caller's number for the file; each name of a file has its own
    qint64 size = 0;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 modified = 0;  // last write, seconds since the epoch
};

// A group the content search found. SameContent: two or more different files (inodes)
// whose bytes are equal, each listed once by the first of its names (the lowest id),
// with the count of its names found in `names` (1 for most files). HardLinks: one file
// found under two or more names (every name listed, `names` all 1): deleting one of
// them wins no space.
struct ContentGroup {
    enum class Kind { SameContent, HardLinks };
    Kind kind = Kind::SameContent;
    std::vector<quint32> ids;    // ascending
    std::vector<quint32> names;  // beside `ids`
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
    // The size of each thread's reads.
    qint64 chunkBytes = 1 << 20;
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
// a hash alone. Reads are large and sequential, run on `threads` worker threads, and go
// in the order of the files' places on the disk where the file system tells it (FIEMAP,
// for files of more than 64 KiB; known once a file has been opened, so the first 4 KiB
// go in inode order), else in inode order. Holes of sparse files are not read (they are zeros).
//
// Every file is opened without following a link (platform::ContentFile) and compared
// with what the walk saw (device, inode, size, last write): a file that differs, or
// whose size, last write or inode change while it is read, is reported in changed(),
// never grouped. A file that cannot be opened or read is reported in unreadable(),
// never grouped. Each problem file is reported once, by the id of its first name.
class ContentGrouper {
public:
    // The exact native path of the file `id`. Called from the reading threads at the
    // same time: it must be safe to call so (reading shared data only).
    using PathOf = std::function<QByteArray(quint32 id)>;

    using Hooks = ContentHooks;

    explicit ContentGrouper(const ContentOptions& options = {});
    ~ContentGrouper();
    ContentGrouper(const ContentGrouper&) = delete;
    ContentGrouper& operator=(const ContentGrouper&) = delete;

    // Adds a file before run(). Ids must be distinct.
    void add(const ContentCandidate& file);

    // Gives every file added the id `newId(id)` (distinct again), before run(): for a
    // caller that numbers its files anew once it has them all.
    void renumber(const std::function<quint32(quint32 id)>& newId);

    // Reads and groups. Returns true when done; false when stopped, and then groups()
    // holds what was proven before the stop (the hard links, the empty files, and the
    // groups whose comparison had ended). Runs once; later calls return what the first
    // returned.
    bool run(const PathOf& pathOf, const Hooks& hooks = {});

    // Stops a run at once (the readers stop before their next read). Any thread.
    void requestStop() { stop_.store(true); }
    bool stopped() const { return stop_.load(); }

    // The groups, ordered by their first id; each group's ids ascending.
    const std::vector<ContentGroup>& groups() const { return groups_; }
    const std::vector<ContentProblem>& unreadable() const { return unreadable_; }
    const std::vector<ContentProblem>& changed() const { return changed_; }

    qint64 bytesRead() const { return read_.load(); }
    qint64 bytesToRead() const { return toRead_.load(); }
    // The most heap bytes the search's own tables held at once.
    qsizetype peakMemoryUsage() const { return peak_; }

private:
    // One name of a file; the first name of each inode stands for its file. 64 bytes.
    struct Item {
        enum class State : quint8 { Waiting, Unique, Unreadable, Changed, Stopped };
        XXH128_hash_t hash{0, 0};
        qint64 size = 0;
        quint64 inode = 0;
        // The walk's last write (seconds) until the first open, then the last write and
        // last change that open saw, mixed into one value.
        quint64 stamp = 0;
        quint64 place = 0;  // where its data lies on the disk, or its inode
        quint32 id = 0;
        quint32 names = 1;   // names of this inode (on its first name)
        quint16 device = 0;  // its place in devices_
        State state = State::Waiting;
        bool placed : 1 = false;  // in a SameContent group
        bool placeKnown : 1 = false;
        bool opened : 1 = false;
    };
    struct Reader;
    struct Compare;

    template <class Work>
    void parallel(size_t count, const Hooks& hooks, Work work);
    bool openChecked(platform::ContentFile& file, Item& item, const Hooks& hooks);
    bool finishChecked(platform::ContentFile& file, Item& item);
    void readPrefix(Reader& reader, Item& item, const Hooks& hooks);
    void readWhole(Reader& reader, Item& item, const Hooks& hooks);
    void compare(Reader& reader, Compare& task, const Hooks& hooks);
    void fail(Item& item, std::vector<ContentProblem>& list, const QString& reason);
    void notePeak(qsizetype bytes);

    ContentOptions options_;
    // Blocks that never move: adding files copies none of them.
    std::deque<Item> items_;
    std::vector<quint64> devices_;
    PathOf pathOf_;
    std::vector<ContentGroup> groups_;
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
