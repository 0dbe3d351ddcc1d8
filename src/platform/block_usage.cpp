#include "platform/block_usage.h"

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "platform/dir_reader.h"
#include "platform/posix_io.h"

namespace dw::platform {

namespace {

// Volumes that never let two files own the same blocks (statfs f_type). Anything not
// here may, or cannot be told: FIEMAP is asked there.
bool cannotShare(quint64 type) {
    switch (type) {
        case 0xEF53:      // ext2, ext3, ext4
        case 0x01021994:  // tmpfs
        case 0x858458F6:  // ramfs
        case 0x4D44:      // FAT
        case 0x2011BAB0:  // exFAT
        case 0x5346544E:  // NTFS (the kernel's drivers)
        case 0x73717368:  // squashfs
        case 0x9660:      // ISO 9660
        case 0xF2F52010:  // F2FS
            return true;
        default:
            return false;
    }
}

// The same volumes by the names the mount table gives them.
constexpr std::array<const char*, 14> kCannotShareKinds = {
    "ext2",  "ext3", "ext4",  "tmpfs",    "ramfs",   "vfat", "msdos",
    "exfat", "ntfs", "ntfs3", "squashfs", "iso9660", "f2fs", "devtmpfs"};

constexpr size_t kExtentsPerCall = 128;

}  // namespace

bool BlockUsage::mayShare(const QByteArray& path, quint64 device) {
    const auto known = mayShare_.constFind(device);
    if (known != mayShare_.constEnd()) {
        return *known;
    }
    // Asked of the entry itself through an O_PATH descriptor: no link followed, nothing
    // opened for reading, and the answer is for the volume the entry really is on.
    const UniqueFd fd(::open(path.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct statfs fs {};
    struct stat st {};
    const bool asked = fd && ::fstatfs(fd.get(), &fs) == 0 && ::fstat(fd.get(), &st) == 0;
    const bool may = !asked || !cannotShare(quint64(fs.f_type));
    if (asked && quint64(st.st_dev) == device) {
        mayShare_.insert(device, may);
    }
    return may;
}

bool BlockUsage::mayShareKind(const QByteArray& fsType) {
    return std::none_of(kCannotShareKinds.begin(), kCannotShareKinds.end(),
                        [&fsType](const char* kind) { return fsType == kind; });
}

std::optional<std::vector<Extent>> BlockUsage::extents(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return std::nullopt;
    }
    // struct fiemap ends in a flexible array: the room for the extents follows it.
    constexpr size_t kBytes = sizeof(struct fiemap) + kExtentsPerCall * sizeof(fiemap_extent);
    alignas(struct fiemap) std::array<unsigned char, kBytes> buffer{};
    auto* map = reinterpret_cast<struct fiemap*>(buffer.data());
    std::vector<Extent> found;
    quint64 start = 0;
    for (;;) {
        buffer.fill(0);
        map->fm_start = start;
        map->fm_length = FIEMAP_MAX_OFFSET - start;
        map->fm_extent_count = kExtentsPerCall;
        if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0) {
            return std::nullopt;
        }
        const quint32 mapped = map->fm_mapped_extents;
        if (mapped == 0) {
            return found;
        }
        for (quint32 i = 0; i < mapped; ++i) {
            const struct fiemap_extent& e = map->fm_extents[i];
            found.push_back(Extent{qint64(e.fe_logical), quint64(e.fe_physical),
                                   qint64(e.fe_length), (e.fe_flags & FIEMAP_EXTENT_SHARED) != 0});
        }
        const struct fiemap_extent& last = map->fm_extents[mapped - 1];
        if ((last.fe_flags & FIEMAP_EXTENT_LAST) != 0 || last.fe_length == 0) {
            return found;
        }
        start = last.fe_logical + last.fe_length;
    }
}

std::optional<std::vector<Extent>> BlockUsage::extentsAt(const QByteArray& path, quint64 device,
                                                         quint64 inode) {
    return extentsIn(AT_FDCWD, path, device, inode);
}

std::optional<std::vector<Extent>> BlockUsage::extentsIn(int folderFd, const QByteArray& name,
                                                         quint64 device, quint64 inode) {
    // O_NONBLOCK: should the name now be a FIFO, opening it must not wait for a writer.
    UniqueFd fd(::openat(folderFd, name.constData(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd) {
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || quint64(st.st_dev) != device ||
        quint64(st.st_ino) != inode) {
        return std::nullopt;
    }
    return extents(fd.get());
}

qint64 BlockUsage::sharedBytes(const std::vector<Extent>& extents, qint64 allocated) {
    qint64 shared = 0;
    for (const Extent& e : extents) {
        if (e.shared) {
            shared += e.length;
        }
    }
    return std::clamp<qint64>(shared, 0, std::max<qint64>(allocated, 0));
}

FreedBlocks BlockUsage::freedIfGone(const QByteArray& path, const DirEntry& entry) {
    const qint64 allocated = std::max<qint64>(entry.allocated, 0);
    // A folder or special file is never a regular file here: attributes tell links and
    // devices (system) apart from regular files.
    if (entry.isFolder() || entry.isSystem() || !mayShare(path, entry.device)) {
        return FreedBlocks{allocated, true};
    }
    return lessShared(allocated, extentsAt(path, entry.device, entry.inode));
}

FreedBlocks BlockUsage::lessShared(qint64 allocated,
                                   const std::optional<std::vector<Extent>>& map) {
    if (!map) {
        return FreedBlocks{allocated, false};
    }
    return FreedBlocks{allocated - sharedBytes(*map, allocated), true};
}

FreedBlocks BlockUsage::freedIfGoneAt(int folderFd, const QByteArray& name) {
    struct stat st {};
    if (::fstatat(folderFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return FreedBlocks{0, true};
    }
    const qint64 allocated = qint64(st.st_blocks) * 512;
    if (!S_ISREG(st.st_mode) || !mayShareIn(folderFd, quint64(st.st_dev))) {
        return FreedBlocks{allocated, true};
    }
    return lessShared(allocated, extentsIn(folderFd, name, quint64(st.st_dev), quint64(st.st_ino)));
}

FreedBlocks BlockUsage::freedIfGoneAt(int folderFd, const QByteArray& name, const DirEntry& entry) {
    const qint64 allocated = std::max<qint64>(entry.allocated, 0);
    if (entry.isFolder() || entry.isSystem() || !mayShareIn(folderFd, entry.device)) {
        return FreedBlocks{allocated, true};
    }
    return lessShared(allocated, extentsIn(folderFd, name, entry.device, entry.inode));
}

bool BlockUsage::mayShareIn(int folderFd, quint64 device) {
    auto known = mayShare_.constFind(device);
    if (known == mayShare_.constEnd()) {
        // The folder's volume is the file's: a file that is a mount's root is never
        // acted on.
        struct statfs fs {};
        const bool asked = ::fstatfs(folderFd, &fs) == 0;
        known = mayShare_.insert(device, !asked || !cannotShare(quint64(fs.f_type)));
    }
    return *known;
}

FreedBlocks BlockUsage::freedIfGone(const QByteArray& path) {
    const std::optional<DirEntry> entry = statPath(path);
    if (!entry) {
        return FreedBlocks{0, true};
    }
    return freedIfGone(path, *entry);
}

}  // namespace dw::platform
