#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

#include "platform/block_usage.h"
#include "platform/dir_reader.h"

namespace dw {

// The files marked in a finder's result list (its `lbDeleted`), with the marked count
// and total: what the deletion panel receives.
//
// Files are native paths, compared exactly (byte for byte: Linux names are
// case-sensitive, and a name may hold any byte). A file that several rows of the list
// show (the same folder reached twice) is marked through each of its rows but listed
// and counted once: it stays in the list until the last of its rows is unmarked.
// Marking looks the file up on disk without following a link: a file found adds 1 to
// the count and to the total the bytes its removal would give back (platform::BlockUsage:
// its allocated blocks less those it shares with another file, so a sparse file adds
// its blocks, not its length, and a reflinked copy adds nothing); a file not found (it
// has gone) is listed but adds nothing. Unmarking takes off exactly what marking added,
// so the totals never drift or go below zero when a file changes or vanishes in between.
//
// A file of several names (hard links: one device and inode) frees its bytes only when
// its last name goes: its bytes join the total once as many of its names are marked as
// it has (its link count when the last of them was marked), and leave it as soon as one
// of them is unmarked. Every name still counts as a file.
class MarkedFiles {
public:
    MarkedFiles() = default;
    MarkedFiles(const MarkedFiles&) = delete;
    MarkedFiles& operator=(const MarkedFiles&) = delete;

    // One row showing `path` was marked / unmarked. Unmarking a path that is not
    // marked does nothing.
    void mark(const QByteArray& path);
    void unmark(const QByteArray& path);
    bool isMarked(const QByteArray& path) const { return entries_.contains(path); }

    // Forgets every mark.
    void clear();

    // The marked files, each once, in the order they were first marked.
    const QList<QByteArray>& paths() const { return order_; }
    // Files found when they were marked, and the bytes removing them would give back
    // (64-bit).
    qint64 count() const { return count_; }
    qint64 freedBytes() const { return total_; }
    // False while the total holds a file whose shared blocks the file system would not
    // tell (FIEMAP refused): the total is then an upper bound.
    bool freedExact() const { return inexact_ == 0; }

    // "%d files %s bytes": the count and FormatThousands of the total, as the status
    // line shows them ("3 files 1,234,567 bytes"; "3 files at most 1,234,567 bytes"
    // when the total is only an upper bound).
    QString statusText() const;

    // While a Batch lives, the folder of the last file looked up stays open, so marking
    // all the rows of a list opens each folder once rather than once per file.
    class Batch {
    public:
        explicit Batch(MarkedFiles& marks) : marks_(marks) { ++marks_.batchDepth_; }
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        MarkedFiles& marks_;
    };

    // The size of the file at `path` as it is on disk now (a link's own size, 0 for a
    // folder), or nullopt when there is no such entry.
    std::optional<qint64> lookUp(const QByteArray& path);

private:
    struct Entry {
        int rows = 0;
        bool counted = false;
        quint64 device = 0;
        quint64 inode = 0;
    };
    // The marked names of one file, and the bytes it put in the total (while all its
    // names are marked).
    struct Inode {
        int marked = 0;
        quint32 links = 1;
        bool inTotal = false;
        bool exact = true;
        qint64 bytes = 0;
    };
    using InodeKey = std::pair<quint64, quint64>;

    // The entry at `path`, and the bytes its removal would free when `freed` is given.
    std::optional<platform::DirEntry> lookUpEntry(const QByteArray& path,
                                                  platform::FreedBlocks* freed = nullptr);

    QHash<QByteArray, Entry> entries_;
    QHash<InodeKey, Inode> inodes_;
    QList<QByteArray> order_;
    qint64 count_ = 0;
    qint64 total_ = 0;
    int inexact_ = 0;
    platform::BlockUsage blocks_;
    platform::DirReader folder_;
    QByteArray folderPath_;
    int batchDepth_ = 0;
};

}  // namespace dw
