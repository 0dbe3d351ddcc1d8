#pragma once

#include <QByteArray>
#include <QHash>

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/block_usage.h"
#include "platform/dir_reader.h"
#include "platform/file_remover.h"

namespace dw {

// The bytes a run frees. A file of several names (hard links) frees its bytes only when
// the last of its names goes: its bytes count with the name that leaves it without any,
// so a file with a name the run leaves alone (kept, or outside what the run acts on)
// frees nothing, and a file whose every name goes counts once.
//
// Tell it how many names a file has before the first of them is acted on (seen or
// before); later calls for the same file (device and inode) are ignored, so the count
// is the one from before the run touched it.
//
// A file's bytes are the blocks the disk gets back (measure(): allocated less shared,
// platform::BlockUsage), read before the file is acted on, since afterwards there is
// nothing left to read. Not thread-safe.
class FreedBytes {
public:
    // The file `file` has `links` names (0 is taken as 1).
    void seen(const platform::FileIdentity& file, quint32 links) {
        const Key key{file.device, file.inode};
        if (!left_.contains(key)) {
            left_.insert(key, std::max<quint32>(links, 1));
        }
    }
    // As seen(), with the number of names read at `path` now; a path that no longer
    // leads to that file counts as one name.
    void before(const QByteArray& path, const platform::FileIdentity& file) {
        if (left_.contains(Key{file.device, file.inode})) {
            return;
        }
        const std::optional<platform::DirEntry> e = platform::statPath(path);
        const bool same = e && e->device == file.device && e->inode == file.inode;
        seen(file, same ? e->links : 1);
    }
    // What the file at `path` gives back once its last name goes, read now.
    platform::FreedBlocks measure(const QByteArray& path) { return usage_.freedIfGone(path); }
    // As measure(), for the entry `name` of the folder open in `folderFd`.
    platform::FreedBlocks measureAt(int folderFd, const QByteArray& name) {
        return usage_.freedIfGoneAt(folderFd, name);
    }

    // One of its names is gone (or in the trash): the bytes that frees, `blocks.bytes` or
    // 0. A figure that is only an upper bound and counts makes exact() false.
    qint64 gone(const platform::FileIdentity& file, const platform::FreedBlocks& blocks) {
        const qint64 bytes = gone(file, blocks.bytes);
        if (bytes > 0 && !blocks.exact) {
            exact_ = false;
        }
        return bytes;
    }

    // False once a counted figure was an upper bound: the total is then "at most".
    bool exact() const { return exact_; }

    // One of its names is gone (or in the trash): the bytes that frees, `size` or 0. A
    // file never seen frees its size.
    qint64 gone(const platform::FileIdentity& file, qint64 size) {
        const auto it = left_.find(Key{file.device, file.inode});
        if (it == left_.end() || *it <= 1) {
            return size;
        }
        --*it;
        return 0;
    }

private:
    using Key = std::pair<quint64, quint64>;
    QHash<Key, quint32> left_;
    platform::BlockUsage usage_;
    bool exact_ = true;
};

}  // namespace dw
