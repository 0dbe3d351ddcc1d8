#include "finders/content_groups.h"

#include <xxhash.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>

#include "platform/content_file.h"

namespace dw {

namespace {

constexpr qint64 kPrefixBytes = 4096;
// Smaller files are read in the order of their inodes: asking for their places would
// cost more than it saves.
constexpr qint64 kPlacedFile = 64 * 1024;
// At most this many files are compared with one reference at a time.
constexpr size_t kCompareBatch = 16;

// The last write and the inode's last change of an opened file, as one value.
quint64 stampOf(qint64 modifiedNs, qint64 changedNs) {
    return quint64(modifiedNs) * 0x9E3779B97F4A7C15ull ^ quint64(changedNs);
}

}  // namespace

// What one reading thread owns.
struct ContentGrouper::Reader {
    explicit Reader(qint64 chunk)
        : buffer(new char[size_t(chunk)]), state(XXH3_createState()), chunkBytes(chunk) {}
    ~Reader() { XXH3_freeState(state); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    platform::ContentFile file;
    std::unique_ptr<char[]> buffer;
    XXH3_state_t* state;
    qint64 chunkBytes;
};

// Files whose whole-file hashes agree, to be compared byte by byte; afterwards the sets
// of equal files among them.
struct ContentGrouper::Compare {
    std::vector<quint32> items;
    std::vector<std::vector<quint32>> equal;
};

ContentGrouper::ContentGrouper(const ContentOptions& options) : options_(options) {
    options_.threads = std::max(1, options_.threads);
    options_.chunkBytes = std::max<qint64>(options_.chunkBytes, kPrefixBytes);
}

ContentGrouper::~ContentGrouper() = default;

void ContentGrouper::add(const ContentCandidate& file) {
    if (file.size == 0 && !options_.includeEmpty) {
        return;
    }
    Item item;
    item.id = file.id;
    item.size = file.size;
    // A search meets few file systems: each is a small number.
    const auto known = std::find(devices_.begin(), devices_.end(), file.device);
    item.device = quint16(known - devices_.begin());
    if (known == devices_.end()) {
        devices_.push_back(file.device);
    }
    item.inode = file.inode;
    item.stamp = quint64(file.modified);
    item.place = file.inode;
    items_.push_back(item);
}

void ContentGrouper::renumber(const std::function<quint32(quint32 id)>& newId) {
    for (Item& item : items_) {
        item.id = newId(item.id);
    }
}

void ContentGrouper::notePeak(qsizetype bytes) {
    peak_ = std::max(peak_, qsizetype(items_.size() * sizeof(Item)) + bytes);
}

void ContentGrouper::fail(Item& item, std::vector<ContentProblem>& list, const QString& reason) {
    item.state = &list == &changed_ ? Item::State::Changed : Item::State::Unreadable;
    const std::lock_guard lock(problems_);
    list.push_back({item.id, reason});
}

template <class Work>
void ContentGrouper::parallel(size_t count, const Hooks& hooks, Work work) {
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
            Reader reader(options_.chunkBytes);
            while (!stop_.load(std::memory_order_relaxed)) {
                const size_t i = next.fetch_add(1);
                if (i >= count) {
                    break;
                }
                work(reader, i);
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

bool ContentGrouper::openChecked(platform::ContentFile& file, Item& item, const Hooks& hooks) {
    if (hooks.beforeRead) {
        hooks.beforeRead(item.id);
    }
    QString reason;
    if (!file.open(pathOf_(item.id), &reason)) {
        fail(item, unreadable_, reason);
        return false;
    }
    const platform::ContentFile::Stamp* s = &file.openedStamp();
    // The walk knew the last write to the second; later opens know it and the inode's
    // last change exactly.
    const bool first = !item.opened;
    const quint64 stamp =
        first ? quint64(s->modifiedNs / 1'000'000'000) : stampOf(s->modifiedNs, s->changedNs);
    if (s->device != devices_[item.device] || s->inode != item.inode || s->size != item.size ||
        stamp != item.stamp) {
        fail(item, changed_, QStringLiteral("it changed while it was read"));
        return false;
    }
    if (first) {
        item.opened = true;
        item.stamp = stampOf(s->modifiedNs, s->changedNs);
    }
    return true;
}

bool ContentGrouper::finishChecked(platform::ContentFile& file, Item& item) {
    const std::optional<platform::ContentFile::Stamp> s = file.stamp();
    file.close();
    if (!s || s->size != item.size || stampOf(s->modifiedNs, s->changedNs) != item.stamp) {
        fail(item, changed_, QStringLiteral("it changed while it was read"));
        return false;
    }
    return true;
}

void ContentGrouper::readPrefix(Reader& reader, Item& item, const Hooks& hooks) {
    if (!openChecked(reader.file, item, hooks)) {
        return;
    }
    const qint64 want = std::min(item.size, kPrefixBytes);
    QString reason;
    const qint64 got = reader.file.read(0, reader.buffer.get(), want, nullptr, &reason);
    if (got != want) {
        reader.file.close();
        if (got < 0) {
            fail(item, unreadable_, reason);
        } else {
            fail(item, changed_, QStringLiteral("it changed while it was read"));
        }
        return;
    }
    read_ += got;
    item.hash = XXH3_128bits(reader.buffer.get(), size_t(got));
    if (item.size <= kPrefixBytes && hooks.wholeHashed) {
        hooks.wholeHashed(item.id, item.hash);
    }
    if (item.size > kPlacedFile) {
        if (const std::optional<quint64> at = reader.file.physicalOffset()) {
            item.place = *at;
            item.placeKnown = true;
        }
    }
    finishChecked(reader.file, item);
}

void ContentGrouper::readWhole(Reader& reader, Item& item, const Hooks& hooks) {
    if (!openChecked(reader.file, item, hooks)) {
        toRead_ -= item.size;
        return;
    }
    XXH3_128bits_reset(reader.state);
    qint64 at = 0;
    while (at < item.size) {
        if (stop_.load(std::memory_order_relaxed)) {
            reader.file.close();
            item.state = Item::State::Stopped;
            return;
        }
        const qint64 want = std::min(reader.chunkBytes, item.size - at);
        QString reason;
        const qint64 got = reader.file.read(at, reader.buffer.get(), want, nullptr, &reason);
        if (got != want) {
            reader.file.close();
            toRead_ -= item.size - at;
            if (got < 0) {
                fail(item, unreadable_, reason);
            } else {
                fail(item, changed_, QStringLiteral("it changed while it was read"));
            }
            return;
        }
        XXH3_128bits_update(reader.state, reader.buffer.get(), size_t(got));
        at += got;
        read_ += got;
    }
    item.hash = XXH3_128bits_digest(reader.state);
    if (hooks.wholeHashed) {
        hooks.wholeHashed(item.id, item.hash);
    }
    finishChecked(reader.file, item);
}

void ContentGrouper::compare(Reader& reader, Compare& task, const Hooks& hooks) {
    // The reference is read once for each batch of up to kCompareBatch others; files that
    // differ from it are compared again among themselves (only a hash collision gets
    // there).
    std::vector<quint32> rest = task.items;
    const qint64 size = items_[rest.front()].size;
    while (rest.size() >= 2 && !stop_.load()) {
        std::vector<quint32> equal;
        std::vector<quint32> differ;
        Item& ref = items_[rest.front()];
        std::vector<quint32> others(rest.begin() + 1, rest.end());
        bool refOk = true;
        for (size_t from = 0; from < others.size() && refOk && !stop_.load();
             from += kCompareBatch) {
            const size_t to = std::min(others.size(), from + kCompareBatch);
            std::vector<std::unique_ptr<platform::ContentFile>> files;
            std::vector<quint32> batch;
            for (size_t k = from; k < to; ++k) {
                Item& other = items_[others[k]];
                auto file = std::make_unique<platform::ContentFile>();
                if (openChecked(*file, other, hooks)) {
                    files.push_back(std::move(file));
                    batch.push_back(others[k]);
                } else {
                    toRead_ -= 2 * size;
                }
            }
            if (!openChecked(reader.file, ref, hooks)) {
                refOk = false;
                break;
            }
            std::unique_ptr<char[]> theirs(new char[size_t(reader.chunkBytes)]);
            std::vector<bool> same(batch.size(), true);
            qint64 at = 0;
            bool readFailed = false;
            while (at < size && !stop_.load(std::memory_order_relaxed)) {
                const qint64 want = std::min(reader.chunkBytes, size - at);
                bool refZero = false;
                QString reason;
                if (reader.file.read(at, reader.buffer.get(), want, &refZero, &reason) != want) {
                    fail(
                        ref, reason.isEmpty() ? changed_ : unreadable_,
                        reason.isEmpty() ? QStringLiteral("it changed while it was read") : reason);
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
                    if (files[k]->read(at, theirs.get(), want, &zero, &why) != want) {
                        Item& other = items_[batch[k]];
                        fail(other, why.isEmpty() ? changed_ : unreadable_,
                             why.isEmpty() ? QStringLiteral("it changed while it was read") : why);
                        same[k] = false;
                        continue;
                    }
                    read_ += want;
                    // Two spans of holes are equal without looking at them.
                    if (!(refZero && zero) &&
                        std::memcmp(reader.buffer.get(), theirs.get(), size_t(want)) != 0) {
                        same[k] = false;
                        toRead_ -= 2 * (size - at - want);
                    }
                }
                at += want;
            }
            if (stop_.load()) {
                return;
            }
            if (readFailed || !finishChecked(reader.file, ref)) {
                refOk = false;
                break;
            }
            for (size_t k = 0; k < batch.size(); ++k) {
                Item& other = items_[batch[k]];
                if (other.state == Item::State::Waiting) {
                    if (finishChecked(*files[k], other)) {
                        (same[k] ? equal : differ).push_back(batch[k]);
                    }
                }
            }
        }
        if (refOk) {
            equal.insert(equal.begin(), rest.front());
            if (equal.size() >= 2) {
                task.equal.push_back(std::move(equal));
            }
            rest = std::move(differ);
        } else {
            // Without its reference the others are compared among themselves.
            rest.erase(rest.begin());
        }
    }
}

bool ContentGrouper::run(const PathOf& pathOf, const Hooks& hooks) {
    if (ran_) {
        return result_;
    }
    ran_ = true;
    pathOf_ = pathOf;
    const size_t n = items_.size();
    notePeak(0);

    // Names of one inode are one file: its first name (lowest id) stands for it.
    std::vector<quint32> order(n);
    for (size_t i = 0; i < n; ++i) {
        order[i] = quint32(i);
    }
    const auto sameFileFirst = [&](quint32 a, quint32 b) {
        const Item& x = items_[a];
        const Item& y = items_[b];
        if (x.device != y.device) {
            return x.device < y.device;
        }
        if (x.inode != y.inode) {
            return x.inode < y.inode;
        }
        return x.id < y.id;
    };
    std::sort(order.begin(), order.end(), sameFileFirst);
    std::vector<quint32> leaders;
    for (size_t k = 0; k < n;) {
        size_t e = k + 1;
        while (e < n && items_[order[e]].device == items_[order[k]].device &&
               items_[order[e]].inode == items_[order[k]].inode) {
            ++e;
        }
        items_[order[k]].names = quint32(e - k);
        leaders.push_back(order[k]);
        k = e;
    }
    notePeak(qsizetype((order.capacity() + leaders.capacity()) * sizeof(quint32)));
    order = {};

    // Only a size that another file shares needs reading; files of no size are equal
    // without it.
    std::sort(leaders.begin(), leaders.end(), [&](quint32 a, quint32 b) {
        const Item& x = items_[a];
        const Item& y = items_[b];
        return x.size != y.size ? x.size < y.size : x.id < y.id;
    });
    std::vector<quint32> toRead;
    std::vector<Compare> compares;
    for (size_t k = 0; k < leaders.size();) {
        size_t e = k + 1;
        while (e < leaders.size() && items_[leaders[e]].size == items_[leaders[k]].size) {
            ++e;
        }
        if (e - k >= 2) {
            if (items_[leaders[k]].size == 0) {
                Compare empty;
                empty.equal.emplace_back(leaders.begin() + qsizetype(k),
                                         leaders.begin() + qsizetype(e));
                compares.push_back(std::move(empty));
            } else {
                for (size_t j = k; j < e; ++j) {
                    toRead.push_back(leaders[j]);
                    toRead_ += items_[leaders[j]].size;
                }
            }
        }
        k = e;
    }

    // The first 4 KiB, in inode order.
    std::sort(toRead.begin(), toRead.end(), [&](quint32 a, quint32 b) {
        const Item& x = items_[a];
        const Item& y = items_[b];
        return x.device != y.device ? x.device < y.device : x.inode < y.inode;
    });
    notePeak(qsizetype((leaders.capacity() + toRead.capacity()) * sizeof(quint32)));
    parallel(toRead.size(), hooks, [&](Reader& reader, size_t i) {
        Item& item = items_[toRead[i]];
        readPrefix(reader, item, hooks);
        if (item.state != Item::State::Waiting) {
            toRead_ -= item.size - std::min(item.size, kPrefixBytes);
        }
    });

    // Files of one size and one prefix hash go on; files of at most 4 KiB are read whole.
    const auto sameClass = [&](const Item& x, const Item& y) {
        return x.size == y.size && x.hash.low64 == y.hash.low64 && x.hash.high64 == y.hash.high64;
    };
    const auto byClass = [&](quint32 a, quint32 b) {
        const Item& x = items_[a];
        const Item& y = items_[b];
        if (x.size != y.size) {
            return x.size < y.size;
        }
        if (x.hash.high64 != y.hash.high64) {
            return x.hash.high64 < y.hash.high64;
        }
        if (x.hash.low64 != y.hash.low64) {
            return x.hash.low64 < y.hash.low64;
        }
        return x.id < y.id;
    };
    const auto splitIntoClasses = [&](std::vector<quint32>& files, auto&& onClass) {
        std::erase_if(files, [&](quint32 i) { return items_[i].state != Item::State::Waiting; });
        std::sort(files.begin(), files.end(), byClass);
        for (size_t k = 0; k < files.size();) {
            size_t e = k + 1;
            while (e < files.size() && sameClass(items_[files[e]], items_[files[k]])) {
                ++e;
            }
            onClass(k, e);
            k = e;
        }
    };
    std::vector<quint32> whole;
    if (!stop_.load()) {
        splitIntoClasses(toRead, [&](size_t k, size_t e) {
            const qint64 size = items_[toRead[k]].size;
            if (e - k < 2) {
                items_[toRead[k]].state = Item::State::Unique;
                toRead_ -= size - std::min(size, kPrefixBytes);
            } else if (size <= kPrefixBytes) {
                Compare c;
                c.items.assign(toRead.begin() + qsizetype(k), toRead.begin() + qsizetype(e));
                toRead_ += qint64(c.items.size()) * size;
                compares.push_back(std::move(c));
            } else {
                for (size_t j = k; j < e; ++j) {
                    whole.push_back(toRead[j]);
                    // The first 4 KiB were counted with the size; they are read again.
                    toRead_ += kPrefixBytes;
                }
            }
        });
    }

    // Whole files, in the order of their places on the disk where known.
    std::sort(whole.begin(), whole.end(), [&](quint32 a, quint32 b) {
        const Item& x = items_[a];
        const Item& y = items_[b];
        if (x.placeKnown != y.placeKnown) {
            return x.placeKnown;
        }
        return x.device != y.device ? x.device < y.device : x.place < y.place;
    });
    parallel(whole.size(), hooks,
             [&](Reader& reader, size_t i) { readWhole(reader, items_[whole[i]], hooks); });
    if (!stop_.load()) {
        splitIntoClasses(whole, [&](size_t k, size_t e) {
            if (e - k < 2) {
                items_[whole[k]].state = Item::State::Unique;
                return;
            }
            Compare c;
            c.items.assign(whole.begin() + qsizetype(k), whole.begin() + qsizetype(e));
            toRead_ += qint64(c.items.size()) * items_[whole[k]].size;
            compares.push_back(std::move(c));
        });
    }
    notePeak(
        qsizetype((leaders.capacity() + toRead.capacity() + whole.capacity()) * sizeof(quint32)));
    toRead.clear();
    whole.clear();

    // Byte by byte, the tasks in the order of their first file's place on the disk.
    std::vector<size_t> taskOrder;
    for (size_t t = 0; t < compares.size(); ++t) {
        if (!compares[t].items.empty()) {
            std::sort(compares[t].items.begin(), compares[t].items.end(),
                      [&](quint32 a, quint32 b) { return items_[a].place < items_[b].place; });
            taskOrder.push_back(t);
        }
    }
    std::sort(taskOrder.begin(), taskOrder.end(), [&](size_t a, size_t b) {
        return items_[compares[a].items.front()].place < items_[compares[b].items.front()].place;
    });
    parallel(taskOrder.size(), hooks,
             [&](Reader& reader, size_t i) { compare(reader, compares[taskOrder[i]], hooks); });

    // The groups: equal files, then the files of several names that are in none.
    for (Compare& c : compares) {
        for (std::vector<quint32>& equal : c.equal) {
            ContentGroup g;
            std::sort(equal.begin(), equal.end(),
                      [&](quint32 a, quint32 b) { return items_[a].id < items_[b].id; });
            g.ids.reserve(equal.size());
            g.names.reserve(equal.size());
            for (quint32 i : equal) {
                items_[i].placed = true;
                g.ids.push_back(items_[i].id);
                g.names.push_back(items_[i].names);
            }
            groups_.push_back(std::move(g));
        }
    }
    for (quint32 leader : leaders) {
        const Item& l = items_[leader];
        if (l.names >= 2 && !l.placed && l.state != Item::State::Unreadable &&
            l.state != Item::State::Changed) {
            ContentGroup g;
            g.kind = ContentGroup::Kind::HardLinks;
            groups_.push_back(std::move(g));
        }
    }
    // Every name of a hard-linked file, in id order, into its group.
    if (std::any_of(groups_.begin(), groups_.end(), [](const ContentGroup& g) {
            return g.kind == ContentGroup::Kind::HardLinks;
        })) {
        // The names of one inode are neighbours in (device, inode, id) order, its first
        // name first.
        std::vector<quint32> byInode(n);
        for (size_t i = 0; i < n; ++i) {
            byInode[i] = quint32(i);
        }
        std::sort(byInode.begin(), byInode.end(), sameFileFirst);
        size_t g = 0;
        for (size_t k = 0; k < n;) {
            const Item& l = items_[byInode[k]];
            const size_t e = k + l.names;
            if (l.names >= 2 && !l.placed && l.state != Item::State::Unreadable &&
                l.state != Item::State::Changed) {
                while (groups_[g].kind != ContentGroup::Kind::HardLinks) {
                    ++g;
                }
                groups_[g].ids.reserve(l.names);
                groups_[g].names.reserve(l.names);
                for (size_t j = k; j < e; ++j) {
                    groups_[g].ids.push_back(items_[byInode[j]].id);
                    groups_[g].names.push_back(1);
                }
                ++g;
            }
            k = e;
        }
    }
    std::sort(groups_.begin(), groups_.end(), [](const ContentGroup& a, const ContentGroup& b) {
        return a.ids.front() < b.ids.front();
    });
    const auto byProblemId = [](const ContentProblem& a, const ContentProblem& b) {
        return a.id < b.id;
    };
    std::sort(unreadable_.begin(), unreadable_.end(), byProblemId);
    std::sort(changed_.begin(), changed_.end(), byProblemId);
    pathOf_ = {};
    // What the files were is no longer needed once they are grouped.
    items_ = {};
    result_ = !stop_.load();
    return result_;
}

}  // namespace dw
