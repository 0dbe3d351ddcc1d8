#pragma once

#include <QByteArray>
#include <QHash>
#include <QtGlobal>

#include <optional>
#include <vector>

#include "platform/dir_entry.h"

namespace dw::platform {

// One stretch of a file's data as the file system maps it (FIEMAP).
struct Extent {
    qint64 logical = 0;    // offset in the file
    quint64 physical = 0;  // where the volume keeps it; comparable between files of one volume
    qint64 length = 0;
    // The file system says another file (a reflinked copy, a snapshot) uses these blocks
    // too: removing this file does not give them back.
    bool shared = false;
};

// What the disk gives back once a file's last name goes.
struct FreedBlocks {
    qint64 bytes = 0;
    // False where the volume may share blocks between files but would not say which
    // (FIEMAP refused, or the file could not be opened to ask): `bytes` is then its
    // allocated bytes, an upper bound ("at most").
    bool exact = true;
};

// The blocks files really take and share, as opposed to their apparent sizes.
//
// Bytes freed by a file = its allocated bytes (st_blocks x 512: holes take nothing,
// compressed data its compressed blocks) less the bytes of the extents FIEMAP flags as
// shared. FIEMAP is asked only on volumes that can share blocks between files (btrfs,
// xfs, and any volume whose kind does not rule it out, such as FUSE or network
// volumes); on ext2-4, tmpfs, FAT, exFAT, NTFS, squashfs and ISO 9660 the allocated
// bytes are the answer without opening the file.
//
// Keeps a small cache of the answer per device, so one object should serve a whole run.
// Never follows a link and never opens anything but a regular file (no FIFO can block,
// no device is touched). Not thread-safe.
class BlockUsage {
public:
    // True when the volume holding `path` (device `device`, as its stat reported) may
    // share blocks between files. A path whose volume cannot be asked counts as one that
    // may (the safe side for a figure of bytes freed).
    bool mayShare(const QByteArray& path, quint64 device);

    // False for the kinds of volume, as the mount table names them ("ext4", "tmpfs",
    // "vfat"...), that never let two files own the same blocks: the same kinds mayShare()
    // rules out, told without touching any file. True for any other kind.
    static bool mayShareKind(const QByteArray& fsType);

    // What removing the last name of `entry` (as read at `path`, not following a link)
    // gives back. A link or anything that is not a regular file: its allocated bytes,
    // exact. A regular file on a volume that may share: allocated less shared, exact when
    // FIEMAP answered for the same file (device and inode), else allocated and not exact.
    FreedBlocks freedIfGone(const QByteArray& path, const DirEntry& entry);

    // As above, reading the entry at `path` first; a path that cannot be read frees 0,
    // exact (there is nothing to remove).
    FreedBlocks freedIfGone(const QByteArray& path);

    // As freedIfGone(path), for the entry `name` (one component) of the folder open in
    // `folderFd`: a walk that holds its folders asks without resolving the path again.
    FreedBlocks freedIfGoneAt(int folderFd, const QByteArray& name);

    // As freedIfGone(path, entry), for the entry `name` of the folder open in `folderFd`
    // as already read there: FIEMAP is asked only while the name is still that file.
    FreedBlocks freedIfGoneAt(int folderFd, const QByteArray& name, const DirEntry& entry);

    // The data extents of the regular file open in `fd`, in file order; an empty list
    // for a file with no blocks. nullopt when the file system refuses FIEMAP (errno says
    // why) or `fd` is not a regular file.
    static std::optional<std::vector<Extent>> extents(int fd);

    // The extents of the regular file at `path`, opened without following a link and
    // only while it is still the file `device`/`inode`; nullopt when it cannot be opened,
    // is another file, or FIEMAP is refused.
    static std::optional<std::vector<Extent>> extentsAt(const QByteArray& path, quint64 device,
                                                        quint64 inode);

    // The bytes of `extents` flagged shared, at most `allocated` (extent lengths are
    // rounded to blocks and may run past the allocation the stat reports).
    static qint64 sharedBytes(const std::vector<Extent>& extents, qint64 allocated);

private:
    // extentsAt() for the entry `name` of the folder open in `folderFd` (AT_FDCWD: a
    // path).
    static std::optional<std::vector<Extent>> extentsIn(int folderFd, const QByteArray& name,
                                                        quint64 device, quint64 inode);
    // mayShare() for a file of device `device` in the folder open in `folderFd`.
    bool mayShareIn(int folderFd, quint64 device);
    // `allocated` less the shared bytes of `map`; not exact when there is no map.
    static FreedBlocks lessShared(qint64 allocated, const std::optional<std::vector<Extent>>& map);

    QHash<quint64, bool> mayShare_;
};

}  // namespace dw::platform
