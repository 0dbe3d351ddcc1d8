#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace dw::platform {

// What kind of drive a mounted volume is.
enum class VolumeKind {
    Fixed,      // a local disk file system
    Removable,  // on a block device whose disk says it is removable (USB stick, card)
    Network,    // nfs, cifs/smb, sshfs, 9p and the like
    CdRom,      // iso9660, udf
    RamDisk,    // tmpfs, ramfs
};

// One mounted file system, as the drive lists show it.
struct Volume {
    QByteArray mountPoint;  // native bytes, escapes of the mount table decoded
    QByteArray fsType;      // "ext4", "nfs4", "fuse.sshfs"
    QByteArray source;      // "/dev/sda1", "server:/export", "//host/share", "tmpfs"
    VolumeKind kind = VolumeKind::Fixed;
    QString label;       // the file system's label, empty when it has none or is unknown
    quint64 device = 0;  // the st_dev of the files on it (makedev of major:minor)
};

// The text of a volume's entry in a drive list:
// - removable: the mount point alone ("/media/ann/STICK");
// - network: the mount point, a blank and the remote source ("/mnt/share //nas/share");
// - any other with a label: the mount point, a blank and the label in square brackets
//   ("/ [root]", "/home [data]");
// - any other without a label: the mount point alone ("/tmp"): empty brackets would
//   say nothing, and Linux volumes often have no label.
// Mount points are shown as they are, never case-changed (they are case-sensitive).
QString volumeText(const Volume& volume);

// The volume's key for texts and archive names that name a drive: the mount point
// without its leading "/" and with every further "/" turned into "_", "root" for "/".
// "/home" gives "home", "/mnt/data" gives "mnt_data". Trailing "/" are ignored.
QString volumeKey(const QByteArray& mountPoint);

// Where classification looks up device facts. Tests point these at fixture trees.
struct SystemPaths {
    QByteArray sysDevBlock = "/sys/dev/block";  // "<major>:<minor>" links to devices
    QByteArray byLabel = "/dev/disk/by-label";  // links named by label to devices
};

// Every mount of a mountinfo text (the format of /proc/self/mountinfo), classified,
// in the table's order. Where a mount point appears more than once only the last
// (topmost) mount is kept. Malformed lines are skipped.
QList<Volume> parseAllMounts(const QByteArray& mountInfo, const SystemPaths& system = {});

// The drive list of a mountinfo text: `parseAllMounts` without the pseudo and
// system-internal mounts (pseudo file systems, everything at or below /proc, /sys,
// /dev and /run except the removable media udisks mounts below /run/media, snap
// images, container storage below /var/lib/docker and /var/lib/containers).
QList<Volume> parseMountInfo(const QByteArray& mountInfo, const SystemPaths& system = {});

// The drive list of this machine, from /proc/self/mountinfo; also leaves out mounts of
// single files (bind-mounted configuration files). Empty when the table cannot be read.
QList<Volume> mountedVolumes();

// This machine's mounts as /proc/self/mountinfo lists them, unclassified (mount points,
// sources and types only); empty when the table cannot be read.
QList<Volume> mountTable();

// The mount of `mounts` whose mount point is the longest prefix of `absolutePath` at a
// component boundary ("/home" holds "/home/ann", not "/homework"); the last one wins
// between equal mount points. Plain text comparison: the path should be canonical.
std::optional<Volume> mountHolding(const QByteArray& absolutePath, const QList<Volume>& mounts);

// The mount holding `path` on this machine, pseudo and system-internal ones included.
// A relative path is taken from the current folder. Links in the folders above the
// path are resolved; the path itself is never followed (a link lives where it lies).
// A path that does not exist is judged by its nearest existing folder. Nullopt only
// when the mount table cannot be read.
std::optional<Volume> mountOf(const QByteArray& path);

// The drive-list volume holding `path`: `mountOf`, or nullopt when that mount is one
// the drive lists leave out (a file in /proc, /run, /dev/shm ...).
std::optional<Volume> volumeOf(const QByteArray& path);

// True for file systems a walk must never enter: proc, sysfs, devtmpfs, devpts, cgroup
// and cgroup2, securityfs, debugfs, tracefs, pstore, bpf, mqueue, hugetlbfs, autofs,
// binfmt_misc, configfs, fusectl, efivarfs, selinuxfs, rpc_pipefs, nsfs, nfsd and the
// like. Real data file systems (tmpfs, overlay, squashfs, fuse.*) are not pseudo.
bool isPseudoFileSystem(const QByteArray& fsType);

// True when `path` is the root of a mount: listed as a mount point in the mount table,
// flagged as a mount root by the kernel, or on another device than its parent folder.
// "/" is one. A link is never a mount point (removing it removes only the link); a
// path that does not exist is none.
bool isMountPoint(const QByteArray& path);

// Space on the file system holding `path`, in bytes, and its block size. `free` is what
// the user can still write (as `df` shows it available); `reserved` the free blocks kept
// for root, which the user cannot write (0 where the file system keeps none). So
// total - free - reserved is in use. Quotas are not counted.
struct DriveSpace {
    qint64 total = 0;
    qint64 free = 0;
    qint64 reserved = 0;
    qint64 blockSize = 0;
};

// The space of the file system holding `path` (statvfs), nullopt when it cannot be
// asked (no such path, volume not ready).
std::optional<DriveSpace> driveSpace(const QByteArray& path);

// True when the file system holding `path` answers (statvfs succeeds).
bool isReady(const QByteArray& path);

}  // namespace dw::platform
