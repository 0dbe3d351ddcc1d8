#include "finders/content_groups.h"

#include <xxhash.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "platform/content_file.h"

namespace dw {

namespace {

constexpr qint64 kPrefixBytes = 4096;
// Smaller files are read in the order of their inodes: asking for their places would
// cost more than it saves.
constexpr qint64 kPlacedFile = 64 * 1024;
// At most this many files are compared with one reference at a time.
constexpr size_t kCompareBatch = 16;
constexpr quint32 kMaxNames = (1u << 24) - 1;

// The last write and the inode's last change of an opened file, as one value.
quint64 stampOf(qint64 modifiedNs, qint64 changedNs) {
    return quint64(modifiedNs) * 0x9E3779B97F4A7C15ull ^ quint64(changedNs);
}

// The hash of a whole file: its blocks (of one size for the whole search) hashed one by
// one and mixed in order, so that a span of holes is hashed without being looked at
// (every block of zeros hashes alike, read or not). Blocks start at multiples of their
// size in the file.
class BlockHash {
public:
    static constexpr qint64 kMinBlock = 4096;
    static constexpr qint64 kMaxBlock = 64 * 1024;

    // The largest block (a power of two from kMinBlock to kMaxBlock) that whole reads of
    // `chunk` bytes (a multiple of kMinBlock) are made of. Large blocks cost less to mix.
    static qint64 blockFor(qint64 chunk) {
        qint64 block = kMaxBlock;
        while (chunk % block != 0) {
            block /= 2;
        }
        return block;
    }
    static const char* zeros() {
        static const std::array<char, kMaxBlock> bytes{};
        return bytes.data();
    }

    static XXH128_hash_t zeroBlockHash(qint64 block) {
        return XXH3_128bits(zeros(), size_t(block));
    }

    // Blocks of `block` bytes; `zeroBlock` is zeroBlockHash(block).
    BlockHash(qint64 block, XXH128_hash_t zeroBlock) : block_(block), zeroBlock_(zeroBlock) {}

    // `n` bytes of data; a multiple of the block but at the end of the file.
    void add(const char* data, qint64 n) {
        for (qint64 at = 0; at < n; at += block_) {
            mix(XXH3_128bits(data + at, size_t(std::min(block_, n - at))));
        }
    }
    // `n` bytes of zeros, as add() would take them.
    void addZeros(qint64 n) {
        for (qint64 k = n / block_; k > 0; --k) {
            mix(zeroBlock_);
        }
        if (n % block_ != 0) {
            mix(XXH3_128bits(zeros(), size_t(n % block_)));
        }
    }
    XXH128_hash_t digest() const { return hash_; }

private:
    // Each half of the blocks' hashes in a chain of its own.
    void mix(XXH128_hash_t block) {
        hash_.low64 = (hash_.low64 ^ block.low64) * 0x9E3779B97F4A7C15ull;
        hash_.low64 ^= hash_.low64 >> 29;
        hash_.high64 = (hash_.high64 ^ block.high64) * 0xC2B2AE3D27D4EB4Full;
        hash_.high64 ^= hash_.high64 >> 31;
    }
    qint64 block_;
    XXH128_hash_t zeroBlock_;
    XXH128_hash_t hash_{0, 0};
};

bool allZeros(const char* data, size_t n) {
    return n == 0 || (data[0] == 0 && std::memcmp(data, data + 1, n - 1) == 0);
}

// Whether two spans of one length are equal, either of them perhaps a hole whose zeros
// were not written out (`aHole`, `bHole`): two holes are equal without looking at them.
bool sameBytes(const char* a, bool aHole, const char* b, bool bHole, size_t n) {
    if (aHole || bHole) {
        return (aHole || allZeros(a, n)) && (bHole || allZeros(b, n));
    }
    return std::memcmp(a, b, n) == 0;
}

// The hash that marks the members of one set of equal files: the place of one of them.
XXH128_hash_t setKey(quint32 member) {
    return {member, 0};
}

bool sameHash(const XXH128_hash_t& a, const XXH128_hash_t& b) {
    return XXH128_isEqual(a, b) != 0;
}

bool hashBefore(const XXH128_hash_t& a, const XXH128_hash_t& b) {
    return XXH128_cmp(&a, &b) < 0;
}

const QString& changedText() {
    static const QString text = QStringLiteral("it changed while it was read");
    return text;
}

}  // namespace

// What one reading thread owns: its buffers are made once for all the files it reads.
struct ContentGrouper::Reader {
    explicit Reader(qint64 chunk)
        : buffer(new char[size_t(chunk)]),
          chunkBytes(chunk),
          hashBlock(BlockHash::blockFor(chunk)),
          zeroBlockHash(BlockHash::zeroBlockHash(hashBlock)) {}

    char* theirs() {
        if (!theirsBuffer) {
            theirsBuffer.reset(new char[size_t(chunkBytes)]);
        }
        return theirsBuffer.get();
    }

    platform::ContentFile file;
    std::array<platform::ContentFile, kCompareBatch> others;
    std::unique_ptr<char[]> buffer;
    std::unique_ptr<char[]> theirsBuffer;  // comparisons only
    qint64 chunkBytes;
    qint64 hashBlock;  // of whole-file hashes
    XXH128_hash_t zeroBlockHash;
};

ContentGrouper::ContentGrouper(const ContentOptions& options) : options_(options) {
    options_.threads = std::max(1, options_.threads);
    // Whole reads start at the beginnings of the blocks the hash is made of.
    options_.chunkBytes = std::max<qint64>(options_.chunkBytes, BlockHash::kMinBlock) /
                          BlockHash::kMinBlock * BlockHash::kMinBlock;
}

ContentGrouper::~ContentGrouper() = default;

void ContentGrouper::add(const ContentCandidate& file) {
    // Empty files are kept even when they are left out, so the ids of a caller that
    // numbers every file it adds need not be kept.
    const quint32 item = count_;
    if (!ids_.empty() || file.id != item) {
        if (ids_.empty()) {
            ids_.reserve(item + 1);
            for (quint32 k = 0; k < item; ++k) {
                ids_.push_back(k);
            }
        }
        ids_.push_back(file.id);
    }
    // A search meets few file systems: each is a small number.
    const auto known = std::find(deviceIds_.begin(), deviceIds_.end(), file.device);
    devices_.append(item, quint16(known - deviceIds_.begin()));
    if (known == deviceIds_.end()) {
        deviceIds_.push_back(file.device);
    }
    inodes_.append(item, file.inode);
    // Enough to tell a file written since the walk: its last write would have to move
    // by a multiple of 136 years to look the same.
    seconds_.append(item, quint32(quint64(file.modified)));
    ++count_;
}

void ContentGrouper::renumber(const std::function<quint32(quint32 id)>& newId) {
    std::vector<quint32> ids(count_);
    for (quint32 k = 0; k < count_; ++k) {
        ids[k] = newId(idOf(k));
    }
    // New ids that number the files 0, 1, 2, ... in a new order need not be kept: the
    // files are put in that order instead.
    bool permutation = true;
    {
        std::vector<bool> seen(count_);
        for (const quint32 id : ids) {
            if (id >= count_ || seen[id]) {
                permutation = false;
                break;
            }
            seen[id] = true;
        }
    }
    if (!permutation) {
        ids_ = std::move(ids);
        return;
    }
    inodes_ = inodes_.moved(ids, count_);
    seconds_ = seconds_.moved(ids, count_);
    devices_ = devices_.moved(ids, count_);
    ids_ = std::vector<quint32>();
}

ContentGroup ContentGrouper::group(qsizetype k) const {
    const GroupSpan& g = groupSpans_[size_t(k)];
    return {g.kind, std::span<const quint32>(groupIds_).subspan(g.begin, g.count),
            std::span<const quint32>(groupNames_).subspan(g.begin, g.count)};
}

void ContentGrouper::releaseGroups() {
    groupIds_ = std::vector<quint32>();
    groupNames_ = std::vector<quint32>();
    groupSpans_ = std::vector<GroupSpan>();
}

void ContentGrouper::notePeak(qsizetype bytes) {
    const qsizetype own =
        qsizetype(inodes_.bytes() + seconds_.bytes() + devices_.bytes() +
                  places_.capacity() * sizeof(places_[0]) + ids_.capacity() * sizeof(quint32) +
                  work_.capacity() * sizeof(Work));
    peak_ = std::max(peak_, own + bytes);
}

void ContentGrouper::fail(Work& work, std::vector<ContentProblem>& list, const QString& reason) {
    work.state = &list == &changed_ ? Work::Changed : Work::Unreadable;
    const std::lock_guard lock(problems_);
    list.push_back({idOf(work.item), reason});
}

template <class Task>
void ContentGrouper::parallel(size_t count, qint64 readBytes, const Hooks& hooks, Task task) {
    if (count == 0 || stop_.load()) {
        return;
    }
    std::atomic<size_t> next{0};
    std::mutex mutex;
    std::condition_variable finished;
    const int threads = int(std::min<size_t>(size_t(options_.threads), count));
    int running = threads;
    std::vector<std::thread> pool;
    pool.reserve(size_t(threads));
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            Reader reader(readBytes);
            while (!stop_.load(std::memory_order_relaxed)) {
                const size_t i = next.fetch_add(1);
                if (i >= count) {
                    break;
                }
                task(reader, i);
            }
            reader.file.close();
            const std::lock_guard lock(mutex);
            if (--running == 0) {
                finished.notify_all();
            }
        });
    }
    // The caller's thread only reports progress, so its window stays live.
    const auto interval = std::chrono::milliseconds(std::max(1, hooks.intervalMs));
    std::unique_lock lock(mutex);
    while (!finished.wait_for(lock, interval, [&] { return running == 0; })) {
        if (hooks.progress) {
            lock.unlock();
            if (!hooks.progress(read_.load(), toRead_.load())) {
                requestStop();
            }
            lock.lock();
        }
    }
    lock.unlock();
    for (std::thread& t : pool) {
        t.join();
    }
}

bool ContentGrouper::openChecked(platform::ContentFile& file, Work& work, const Hooks& hooks,
                                 bool askUse) {
    const quint32 id = idOf(work.item);
    if (hooks.beforeRead) {
        hooks.beforeRead(id);
    }
    QString reason;
    if (!file.open(pathOf_(id), &reason)) {
        fail(work, unreadable_, reason);
        return false;
    }
    const platform::ContentFile::Stamp* s = &file.openedStamp();
    // The walk knew the last write to the second; later opens know it and the inode's
    // last change exactly.
    const bool first = !work.opened;
    const quint64 stamp = first ? quint64(quint32(quint64(s->modifiedNs / 1'000'000'000)))
                                : stampOf(s->modifiedNs, s->changedNs);
    if (s->device != deviceIds_[deviceOf(work.item)] || s->inode != inodeOf(work.item) ||
        s->size != sizeOf(work.item) || stamp != work.stamp) {
        fail(work, changed_, changedText());
        return false;
    }
    // A writer may change the bytes through a map without changing size or times.
    if (askUse && file.use() == platform::FileUse::InUse) {
        file.close();
        fail(work, changed_, platform::inUseText());
        return false;
    }
    if (first) {
        work.opened = 1;
        work.stamp = stampOf(s->modifiedNs, s->changedNs);
    }
    return true;
}

bool ContentGrouper::finishChecked(platform::ContentFile& file, Work& work, bool askUse) {
    const std::optional<platform::ContentFile::Stamp> s = file.stamp();
    // A writer that came while the file was read.
    const bool inUse = askUse && file.use() == platform::FileUse::InUse;
    file.close();
    if (!s || s->size != sizeOf(work.item) || stampOf(s->modifiedNs, s->changedNs) != work.stamp) {
        fail(work, changed_, changedText());
        return false;
    }
    if (inUse) {
        fail(work, changed_, platform::inUseText());
        return false;
    }
    return true;
}

void ContentGrouper::readPrefix(Reader& reader, Work& work, const Hooks& hooks) {
    if (!openChecked(reader.file, work, hooks)) {
        return;
    }
    const qint64 size = sizeOf(work.item);
    const qint64 want = std::min(size, kPrefixBytes);
    QString reason;
    const qint64 got = reader.file.read(0, reader.buffer.get(), want, nullptr, &reason);
    if (got != want) {
        reader.file.close();
        if (got < 0) {
            fail(work, unreadable_, reason);
        } else {
            fail(work, changed_, changedText());
        }
        return;
    }
    read_ += got;
    XXH128_hash_t hash = XXH3_128bits(reader.buffer.get(), size_t(got));
    if (size <= kPrefixBytes && hooks.wholeHashed) {
        hooks.wholeHashed(idOf(work.item), hash);
    }
    work.hash = hash;
    if (size > kPlacedFile) {
        if (const std::optional<quint64> at = reader.file.physicalOffset()) {
            const std::lock_guard lock(placesMutex_);
            places_.push_back({work.item, *at});
            work.placeKnown = 1;
        }
    }
    finishChecked(reader.file, work);
}

void ContentGrouper::readWhole(Reader& reader, Work& work, const Hooks& hooks) {
    const qint64 size = sizeOf(work.item);
    if (!openChecked(reader.file, work, hooks)) {
        toRead_ -= size;
        return;
    }
    BlockHash hash(reader.hashBlock, reader.zeroBlockHash);
    qint64 at = 0;
    while (at < size) {
        if (stop_.load(std::memory_order_relaxed)) {
            reader.file.close();
            work.state = Work::Stopped;
            return;
        }
        const qint64 want = std::min(reader.chunkBytes, size - at);
        QString reason;
        bool zero = false;
        const qint64 got =
            reader.file.read(at, reader.buffer.get(), want, &zero, &reason, /*fillHoles=*/false);
        if (got != want) {
            reader.file.close();
            toRead_ -= size - at;
            if (got < 0) {
                fail(work, unreadable_, reason);
            } else {
                fail(work, changed_, changedText());
            }
            return;
        }
        if (zero) {
            hash.addZeros(got);
        } else {
            hash.add(reader.buffer.get(), got);
        }
        at += got;
        read_ += got;
    }
    XXH128_hash_t digest = hash.digest();
    if (hooks.wholeHashed) {
        hooks.wholeHashed(idOf(work.item), digest);
    }
    work.hash = digest;
    finishChecked(reader.file, work);
}

void ContentGrouper::compare(Reader& reader, Range range, const Hooks& hooks) {
    // The reference is read once for each batch of up to kCompareBatch others; files that
    // differ from it are compared again among themselves (only a hash collision gets
    // there). Each set of equal files is marked with its reference's place in work_.
    std::vector<quint32> rest;
    rest.reserve(range.end - range.begin);
    for (quint32 w = range.begin; w < range.end; ++w) {
        rest.push_back(w);
    }
    const qint64 size = sizeOf(work_[range.begin].item);
    char* theirs = reader.theirs();
    std::vector<quint32> equal;
    std::vector<quint32> differ;
    std::vector<quint32> batch;
    while (!stop_.load()) {
        // A file that failed is out of the comparison.
        std::erase_if(rest, [&](quint32 w) { return work_[w].state != Work::Waiting; });
        if (rest.size() < 2) {
            break;
        }
        equal.clear();
        differ.clear();
        Work& ref = work_[rest.front()];
        bool refOk = true;
        for (size_t from = 1; from < rest.size() && refOk && !stop_.load(); from += kCompareBatch) {
            const size_t to = std::min(rest.size(), from + kCompareBatch);
            batch.clear();
            for (size_t k = from; k < to; ++k) {
                Work& other = work_[rest[k]];
                if (openChecked(reader.others[batch.size()], other, hooks, true)) {
                    batch.push_back(rest[k]);
                } else {
                    toRead_ -= 2 * size;
                }
            }
            if (!openChecked(reader.file, ref, hooks, true)) {
                for (size_t k = 0; k < batch.size(); ++k) {
                    reader.others[k].close();
                }
                refOk = false;
                break;
            }
            std::array<bool, kCompareBatch> same;
            same.fill(true);
            qint64 at = 0;
            bool readFailed = false;
            while (at < size && !stop_.load(std::memory_order_relaxed)) {
                const qint64 want = std::min(reader.chunkBytes, size - at);
                bool refZero = false;
                QString reason;
                if (reader.file.read(at, reader.buffer.get(), want, &refZero, &reason,
                                     /*fillHoles=*/false) != want) {
                    fail(ref, reason.isEmpty() ? changed_ : unreadable_,
                         reason.isEmpty() ? changedText() : reason);
                    readFailed = true;
                    break;
                }
                read_ += want;
                for (size_t k = 0; k < batch.size(); ++k) {
                    if (!same[k]) {
                        continue;
                    }
                    bool zero = false;
                    QString why;
                    if (reader.others[k].read(at, theirs, want, &zero, &why,
                                              /*fillHoles=*/false) != want) {
                        fail(work_[batch[k]], why.isEmpty() ? changed_ : unreadable_,
                             why.isEmpty() ? changedText() : why);
                        same[k] = false;
                        continue;
                    }
                    read_ += want;
                    if (!sameBytes(reader.buffer.get(), refZero, theirs, zero, size_t(want))) {
                        same[k] = false;
                        toRead_ -= 2 * (size - at - want);
                    }
                }
                at += want;
            }
            if (stop_.load()) {
                reader.file.close();
                for (size_t k = 0; k < batch.size(); ++k) {
                    reader.others[k].close();
                }
                return;
            }
            if (readFailed || !finishChecked(reader.file, ref, true)) {
                reader.file.close();
                for (size_t k = 0; k < batch.size(); ++k) {
                    reader.others[k].close();
                }
                refOk = false;
                break;
            }
            for (size_t k = 0; k < batch.size(); ++k) {
                Work& other = work_[batch[k]];
                if (other.state == Work::Waiting && finishChecked(reader.others[k], other, true)) {
                    (same[k] ? equal : differ).push_back(batch[k]);
                }
                reader.others[k].close();
            }
        }
        if (refOk) {
            if (!equal.empty()) {
                ref.state = Work::Equal;
                ref.hash = setKey(rest.front());
                for (const quint32 w : equal) {
                    work_[w].state = Work::Equal;
                    work_[w].hash = setKey(rest.front());
                }
            }
            std::swap(rest, differ);
        } else {
            // Without its reference the others are compared among themselves.
            rest.erase(rest.begin());
        }
    }
}

quint64 ContentGrouper::placeOf(const Work& work) const {
    if (!work.placeKnown) {
        return inodeOf(work.item);
    }
    const auto at =
        std::lower_bound(places_.begin(), places_.end(), std::pair<quint32, quint64>(work.item, 0));
    return at->second;
}

std::vector<quint32> ContentGrouper::itemsBySizeAndFile(std::vector<qint64>& sizes) const {
    std::vector<quint32> items(count_);
    sizes.resize(count_);
    for (quint32 k = 0; k < count_; ++k) {
        items[k] = k;
        sizes[k] = sizeOf(k);
    }
    std::sort(items.begin(), items.end(), [&](quint32 a, quint32 b) {
        const qint64 sa = sizes[a];
        const qint64 sb = sizes[b];
        if (sa != sb) {
            return sa < sb;
        }
        if (deviceOf(a) != deviceOf(b)) {
            return deviceOf(a) < deviceOf(b);
        }
        if (inodeOf(a) != inodeOf(b)) {
            return inodeOf(a) < inodeOf(b);
        }
        return idOf(a) < idOf(b);
    });
    return items;
}

std::vector<ContentGrouper::Range> ContentGrouper::keepSharedSizes() {
    // Names of one inode are one file: its first name (lowest id) stands for it. Only a
    // size that another file shares needs reading, and only its files are kept on.
    std::vector<Range> sizeRuns;
    // The names sorted by size and file, marked where a size and where a file begins;
    // the sizes themselves (8 bytes a name) go before the table of work is made.
    constexpr quint8 kNewSize = 1;
    constexpr quint8 kNewFile = 2;
    std::vector<quint32> byFile;
    std::vector<quint8> marks;
    {
        std::vector<qint64> sizes;
        byFile = itemsBySizeAndFile(sizes);
        notePeak(
            qsizetype(byFile.capacity() * sizeof(quint32) + sizes.capacity() * sizeof(qint64)));
        marks.resize(byFile.size());
        for (size_t k = 0; k < byFile.size(); ++k) {
            const quint32 a = k == 0 ? 0 : byFile[k - 1];
            const quint32 b = byFile[k];
            if (k == 0 || sizes[a] != sizes[b]) {
                marks[k] = kNewSize | kNewFile;
            } else if (deviceOf(a) != deviceOf(b) || inodeOf(a) != inodeOf(b)) {
                marks[k] = kNewFile;
            }
        }
    }
    const size_t n = byFile.size();
    // Twice over the sorted names: to count the files kept, then to keep them, so the
    // table is made once at its size.
    for (const bool keep : {false, true}) {
        size_t kept = 0;
        for (size_t k = 0; k < n;) {
            size_t e = k + 1;
            size_t files = 1;
            while (e < n && !(marks[e] & kNewSize)) {
                files += (marks[e] & kNewFile) ? 1 : 0;
                ++e;
            }
            const qint64 size = e - k >= 2 ? sizeOf(byFile[k]) : 0;
            if (e - k >= 2 && (size != 0 || options_.includeEmpty)) {
                if (!keep) {
                    kept += files;
                } else {
                    const auto begin = quint32(work_.size());
                    for (size_t j = k; j < e;) {
                        size_t f = j + 1;
                        while (f < e && !(marks[f] & kNewFile)) {
                            ++f;
                        }
                        Work w;
                        w.item = byFile[j];
                        w.names = quint32(std::min<size_t>(f - j, kMaxNames));
                        w.stamp = seconds_[w.item];
                        // One file under several names has nothing to be compared with;
                        // files of no size are equal without reading them.
                        if (files < 2) {
                            w.state = Work::Unique;
                        } else if (size == 0) {
                            w.state = Work::Equal;
                            w.hash = setKey(begin);
                        } else {
                            toRead_ += size;
                        }
                        work_.push_back(w);
                        j = f;
                    }
                    if (files >= 2 && size > 0) {
                        sizeRuns.push_back({begin, quint32(work_.size())});
                    }
                }
            }
            k = e;
        }
        if (!keep) {
            work_.reserve(kept);
        }
    }
    notePeak(qsizetype(byFile.capacity() * sizeof(quint32) + marks.capacity()));
    return sizeRuns;
}

template <class OnClass>
void ContentGrouper::splitIntoClasses(const std::vector<Range>& ranges, OnClass&& onClass) {
    const auto waitingFirst = [&](const Work& x, const Work& y) {
        if ((x.state == Work::Waiting) != (y.state == Work::Waiting)) {
            return x.state == Work::Waiting;
        }
        if (!sameHash(x.hash, y.hash)) {
            return hashBefore(x.hash, y.hash);
        }
        return idOf(x.item) < idOf(y.item);
    };
    for (const Range r : ranges) {
        std::sort(work_.begin() + r.begin, work_.begin() + r.end, waitingFirst);
        for (quint32 k = r.begin; k < r.end && work_[k].state == Work::Waiting;) {
            quint32 e = k + 1;
            while (e < r.end && work_[e].state == Work::Waiting &&
                   sameHash(work_[e].hash, work_[k].hash)) {
                ++e;
            }
            onClass(k, e);
            k = e;
        }
    }
}

std::vector<quint32> ContentGrouper::workIn(const std::vector<Range>& ranges) {
    size_t files = 0;
    for (const Range r : ranges) {
        files += r.end - r.begin;
    }
    std::vector<quint32> work;
    work.reserve(files);
    for (const Range r : ranges) {
        for (quint32 w = r.begin; w < r.end; ++w) {
            work.push_back(w);
        }
    }
    return work;
}

void ContentGrouper::readPrefixes(std::vector<Range> sizeRuns, const Hooks& hooks,
                                  std::vector<Range>& compares, std::vector<Range>& wholeRuns) {
    // In inode order.
    std::vector<quint32> order = workIn(sizeRuns);
    std::sort(order.begin(), order.end(), [&](quint32 a, quint32 b) {
        const Work& x = work_[a];
        const Work& y = work_[b];
        const quint16 dx = deviceOf(x.item);
        const quint16 dy = deviceOf(y.item);
        return dx != dy ? dx < dy : inodeOf(x.item) < inodeOf(y.item);
    });
    notePeak(qsizetype((order.capacity() + 2 * sizeRuns.capacity()) * sizeof(quint32)));
    parallel(order.size(), kPrefixBytes, hooks, [&](Reader& reader, size_t i) {
        Work& work = work_[order[i]];
        readPrefix(reader, work, hooks);
        if (work.state != Work::Waiting) {
            const qint64 size = sizeOf(work.item);
            toRead_ -= size - std::min(size, kPrefixBytes);
        }
    });
    order = std::vector<quint32>();
    std::sort(places_.begin(), places_.end());

    // Files of one size and one prefix hash go on; files of at most 4 KiB are read whole.
    if (!stop_.load()) {
        splitIntoClasses(sizeRuns, [&](quint32 k, quint32 e) {
            const qint64 size = sizeOf(work_[k].item);
            if (e - k < 2) {
                work_[k].state = Work::Unique;
                toRead_ -= size - std::min(size, kPrefixBytes);
            } else if (size <= kPrefixBytes) {
                toRead_ += qint64(e - k) * size;
                compares.push_back({k, e});
            } else {
                // The first 4 KiB were counted with the size; they are read again.
                toRead_ += qint64(e - k) * kPrefixBytes;
                wholeRuns.push_back({k, e});
            }
        });
    }
}

void ContentGrouper::readWholeFiles(std::vector<Range> wholeRuns, const Hooks& hooks,
                                    std::vector<Range>& compares) {
    // In the order of their places on the disk where known.
    std::vector<quint32> order = workIn(wholeRuns);
    std::sort(order.begin(), order.end(), [&](quint32 a, quint32 b) {
        const Work& x = work_[a];
        const Work& y = work_[b];
        if (x.placeKnown != y.placeKnown) {
            return x.placeKnown > y.placeKnown;
        }
        const quint16 dx = deviceOf(x.item);
        const quint16 dy = deviceOf(y.item);
        return dx != dy ? dx < dy : placeOf(x) < placeOf(y);
    });
    notePeak(qsizetype((order.capacity() + 2 * (compares.capacity() + wholeRuns.capacity())) *
                       sizeof(quint32)));
    parallel(order.size(), options_.chunkBytes, hooks,
             [&](Reader& reader, size_t i) { readWhole(reader, work_[order[i]], hooks); });
    order = std::vector<quint32>();
    if (!stop_.load()) {
        splitIntoClasses(wholeRuns, [&](quint32 k, quint32 e) {
            if (e - k < 2) {
                work_[k].state = Work::Unique;
                return;
            }
            toRead_ += qint64(e - k) * sizeOf(work_[k].item);
            compares.push_back({k, e});
        });
    }
}

void ContentGrouper::compareBytes(std::vector<Range> compares, const Hooks& hooks) {
    // Byte by byte, the tasks in the order of their first file's place on the disk.
    for (const Range r : compares) {
        std::sort(work_.begin() + r.begin, work_.begin() + r.end,
                  [&](const Work& x, const Work& y) { return placeOf(x) < placeOf(y); });
    }
    std::sort(compares.begin(), compares.end(),
              [&](Range a, Range b) { return placeOf(work_[a.begin]) < placeOf(work_[b.begin]); });
    // A comparison holds two reads at once: each is half as large, so a thread holds no
    // more than while it hashed.
    parallel(compares.size(), std::max(kPrefixBytes, options_.chunkBytes / 2), hooks,
             [&](Reader& reader, size_t i) { compare(reader, compares[i], hooks); });
}

void ContentGrouper::finishGroups() {
    collectGroups();
    const auto byProblemId = [](const ContentProblem& a, const ContentProblem& b) {
        return a.id < b.id;
    };
    std::sort(unreadable_.begin(), unreadable_.end(), byProblemId);
    std::sort(changed_.begin(), changed_.end(), byProblemId);
    pathOf_ = {};
    sizeOf_ = {};
    // What the files were is no longer needed once they are grouped. (A vector assigned
    // `{}` would keep its memory: that picks the initializer-list assignment.)
    work_ = std::vector<Work>();
    inodes_.release();
    devices_.release();
    places_ = std::vector<std::pair<quint32, quint64>>();
    ids_ = std::vector<quint32>();
}

bool ContentGrouper::run(const PathOf& pathOf, const SizeOf& sizeOfId, const Hooks& hooks) {
    if (ran_) {
        return result_;
    }
    ran_ = true;
    pathOf_ = pathOf;
    sizeOf_ = sizeOfId;
    notePeak(0);
    std::vector<Range> sizeRuns = keepSharedSizes();
    // The walk's last writes went into the table.
    seconds_.release();
    // Each phase gives back its ranges' memory as it ends.
    std::vector<Range> compares;
    std::vector<Range> wholeRuns;
    readPrefixes(std::move(sizeRuns), hooks, compares, wholeRuns);
    // The small files' groups are proven before the long reading of the large files
    // begins, so that a stop during it keeps them.
    compareBytes(std::exchange(compares, {}), hooks);
    readWholeFiles(std::move(wholeRuns), hooks, compares);
    compareBytes(std::move(compares), hooks);
    finishGroups();
    result_ = !stop_.load();
    return result_;
}

void ContentGrouper::collectGroups() {
    // Equal files, then the files of several names that are in no group.
    std::sort(work_.begin(), work_.end(), [&](const Work& x, const Work& y) {
        if ((x.state == Work::Equal) != (y.state == Work::Equal)) {
            return x.state == Work::Equal;
        }
        if (!sameHash(x.hash, y.hash)) {
            return hashBefore(x.hash, y.hash);
        }
        return idOf(x.item) < idOf(y.item);
    });
    size_t rows = 0;
    std::vector<bool> linked;
    for (const Work& w : work_) {
        if (w.state == Work::Equal) {
            ++rows;
        } else if (w.names >= 2 && w.state != Work::Unreadable && w.state != Work::Changed) {
            if (linked.empty()) {
                linked.resize(count_);
            }
            linked[w.item] = true;
            rows += w.names;
        }
    }
    groupIds_.reserve(rows);
    groupNames_.reserve(rows);
    for (size_t k = 0; k < work_.size() && work_[k].state == Work::Equal;) {
        size_t e = k;
        const auto begin = quint32(groupIds_.size());
        for (; e < work_.size() && work_[e].state == Work::Equal &&
               sameHash(work_[e].hash, work_[k].hash);
             ++e) {
            groupIds_.push_back(idOf(work_[e].item));
            groupNames_.push_back(work_[e].names);
        }
        groupSpans_.push_back({begin, quint32(e - k), ContentGroup::Kind::SameContent});
        k = e;
    }
    if (!linked.empty()) {
        // Every name of a hard-linked file, in id order: its names are neighbours, its
        // first name first.
        std::vector<qint64> sizes;
        const std::vector<quint32> byFile = itemsBySizeAndFile(sizes);
        notePeak(
            qsizetype(byFile.capacity() * sizeof(quint32) + sizes.capacity() * sizeof(qint64)));
        for (size_t k = 0; k < byFile.size();) {
            size_t e = k + 1;
            while (e < byFile.size() && sizes[byFile[e]] == sizes[byFile[k]] &&
                   deviceOf(byFile[e]) == deviceOf(byFile[k]) &&
                   inodeOf(byFile[e]) == inodeOf(byFile[k])) {
                ++e;
            }
            if (linked[byFile[k]]) {
                const auto begin = quint32(groupIds_.size());
                for (size_t j = k; j < e; ++j) {
                    groupIds_.push_back(idOf(byFile[j]));
                    groupNames_.push_back(1);
                }
                groupSpans_.push_back({begin, quint32(e - k), ContentGroup::Kind::HardLinks});
            }
            k = e;
        }
    }
    std::sort(groupSpans_.begin(), groupSpans_.end(), [&](const GroupSpan& a, const GroupSpan& b) {
        return groupIds_[a.begin] < groupIds_[b.begin];
    });
}

}  // namespace dw
