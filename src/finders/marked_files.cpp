#include "finders/marked_files.h"

#include "base/freed_text.h"
#include "platform/paths.h"

namespace dw {

MarkedFiles::Batch::~Batch() {
    if (--marks_.batchDepth_ == 0) {
        marks_.folder_.close();
        marks_.folderPath_.clear();
    }
}

std::optional<qint64> MarkedFiles::lookUp(const QByteArray& path) {
    const std::optional<platform::DirEntry> entry = lookUpEntry(path);
    return entry ? std::optional<qint64>(entry->size) : std::nullopt;
}

std::optional<platform::DirEntry> MarkedFiles::lookUpEntry(const QByteArray& path,
                                                           platform::FreedBlocks* freed) {
    const qsizetype slash = path.lastIndexOf(platform::kSep);
    QByteArray folder;
    QByteArray name;
    if (slash < 0) {
        folder = ".";
        name = path;
    } else {
        folder = slash == 0 ? QByteArray(platform::kRootFolder) : path.left(slash);
        name = path.mid(slash + 1);
    }
    std::optional<platform::DirEntry> result;
    if (!name.isEmpty()) {
        if (!folder_.isOpen() || folderPath_ != folder) {
            folderPath_ = folder;
            if (!folder_.open(folder)) {
                folderPath_.clear();
            }
        }
        platform::DirEntry entry;
        if (folder_.isOpen() && folder_.stat(name, entry)) {
            if (freed != nullptr) {
                *freed = blocks_.freedIfGoneAt(folder_.fd(), name, entry);
            }
            result = std::move(entry);
        }
    }
    if (batchDepth_ == 0) {
        folder_.close();
        folderPath_.clear();
    }
    return result;
}

void MarkedFiles::mark(const QByteArray& path) {
    Entry& e = entries_[path];
    if (++e.rows > 1) {
        return;
    }
    order_.append(path);
    platform::FreedBlocks freed;
    if (const std::optional<platform::DirEntry> found = lookUpEntry(path, &freed)) {
        e.counted = true;
        e.device = found->device;
        e.inode = found->inode;
        ++count_;
        Inode& in = inodes_[{found->device, found->inode}];
        ++in.marked;
        in.links = std::max<quint32>(found->links, 1);
        if (!in.inTotal && quint32(in.marked) >= in.links) {
            in.inTotal = true;
            in.bytes = freed.bytes;
            in.exact = freed.exact;
            total_ += freed.bytes;
            inexact_ += freed.exact ? 0 : 1;
        }
    }
}

void MarkedFiles::unmark(const QByteArray& path) {
    const auto it = entries_.find(path);
    if (it == entries_.end()) {
        return;
    }
    if (--it->rows > 0) {
        return;
    }
    if (it->counted) {
        --count_;
        const auto in = inodes_.find({it->device, it->inode});
        if (in != inodes_.end()) {
            if (in->inTotal) {
                in->inTotal = false;
                total_ -= in->bytes;
                inexact_ -= in->exact ? 0 : 1;
            }
            if (--in->marked == 0) {
                inodes_.erase(in);
            }
        }
    }
    entries_.erase(it);
    order_.removeOne(path);
}

void MarkedFiles::clear() {
    entries_.clear();
    inodes_.clear();
    order_.clear();
    count_ = 0;
    total_ = 0;
    inexact_ = 0;
}

QString MarkedFiles::statusText() const {
    return QStringLiteral("%1 files %2").arg(count_).arg(freedBytesText(total_, freedExact()));
}

}  // namespace dw
