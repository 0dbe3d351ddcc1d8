#pragma once

#include <QByteArray>
#include <QHash>

#include <algorithm>
#include <optional>
#include <utility>

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
// is the one from before the run touched it. Not thread-safe.
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
};

}  // namespace dw
