#include "platform/volumes.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>

#include "platform/environment.h"
#include "platform/paths.h"

namespace dw::platform {

namespace {

constexpr std::string_view kPseudoTypes[] = {
    "proc",    "sysfs",    "devtmpfs",  "devpts",       "securityfs", "debugfs",     "tracefs",
    "pstore",  "bpf",      "mqueue",    "hugetlbfs",    "autofs",     "binfmt_misc", "configfs",
    "fusectl", "efivarfs", "selinuxfs", "rpc_pipefs",   "nsfs",       "nfsd",        "devfs",
    "usbfs",   "sockfs",   "pipefs",    "anon_inodefs", "xenfs",      "smackfs",     "apparmorfs",
};

constexpr std::string_view kNetworkTypes[] = {
    "nfs",    "nfs4",        "cifs",        "smb3",      "smbfs",
    "ncpfs",  "sshfs",       "fuse.sshfs",  "9p",        "virtiofs",
    "afs",    "ceph",        "fuse.ceph",   "glusterfs", "fuse.glusterfs",
    "davfs",  "fuse.davfs2", "fuse.rclone", "fuse.s3fs", "lustre",
    "beegfs", "orangefs",
};

// Trees whose mounts belong to the system, not to the user's drives.
constexpr std::string_view kInternalTrees[] = {
    "/proc", "/sys", "/dev", "/run", "/var/lib/docker", "/var/lib/containers",
};

template <size_t N>
bool contains(const std::string_view (&list)[N], const QByteArray& value) {
    const std::string_view v(value.constData(), size_t(value.size()));
    for (std::string_view item : list) {
        if (item == v) {
            return true;
        }
    }
    return false;
}

bool isAtOrBelow(const QByteArray& path, std::string_view tree) {
    const QByteArray t(tree.data(), qsizetype(tree.size()));
    return path == t || (path.startsWith(t) && path.size() > t.size() && path[t.size()] == kSep);
}

// The mount table writes space, tab, newline and backslash as "\ooo".
QByteArray decodeOctalEscapes(const QByteArray& field) {
    if (!field.contains('\\')) {
        return field;
    }
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1];
            const char b = field[i + 2];
            const char d = field[i + 3];
            const auto isOctal = [](char x) { return x >= '0' && x <= '7'; };
            if (isOctal(a) && isOctal(b) && isOctal(d)) {
                out.append(char(((a - '0') << 6) | ((b - '0') << 3) | (d - '0')));
                i += 3;
                continue;
            }
        }
        out.append(c);
    }
    return out;
}

// udev names label links with unsafe bytes as "\xHH" ("My\x20Disk").
QString decodeUdevLabel(const QByteArray& name) {
    QByteArray out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            bool ok = false;
            const int value = name.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(name[i]);
    }
    return QString::fromUtf8(out);
}

QByteArray canonical(const QByteArray& path) {
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved) {
        return {};
    }
    QByteArray out(resolved);
    std::free(resolved);
    return out;
}

QByteArray readSmallFile(const QByteArray& path) {
    QFile f(QFile::decodeName(path));
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return f.read(4096).trimmed();
}

struct LabelLink {
    quint64 device = 0;  // rdev of the block device the link names, 0 if none
    QByteArray target;   // canonical target of the link
    QString label;
};

// Looks up device facts once per table: the label links are listed at most once.
class Classifier {
public:
    explicit Classifier(const SystemPaths& system) : system_(system) {}

    void classify(Volume& v) {
        if (v.fsType == "tmpfs" || v.fsType == "ramfs") {
            v.kind = VolumeKind::RamDisk;
            return;
        }
        if (v.fsType == "iso9660" || v.fsType == "udf") {
            v.kind = VolumeKind::CdRom;
            v.label = labelFor(v);
            return;
        }
        if (contains(kNetworkTypes, v.fsType)) {
            v.kind = VolumeKind::Network;
            return;
        }
        v.kind = isRemovable(blockDeviceOf(v)) ? VolumeKind::Removable : VolumeKind::Fixed;
        v.label = labelFor(v);
    }

private:
    // The block device behind a mount: the table's device when it is a real one;
    // btrfs and some others report an anonymous device, so then the source's.
    quint64 blockDeviceOf(const Volume& v) const {
        if (major(v.device) != 0) {
            return v.device;
        }
        struct stat st {};
        if (v.source.startsWith("/dev/") && ::stat(v.source.constData(), &st) == 0 &&
            S_ISBLK(st.st_mode)) {
            return st.st_rdev;
        }
        return 0;
    }

    bool isRemovable(quint64 device) const {
        if (device == 0) {
            return false;
        }
        const QByteArray link = system_.sysDevBlock + kSep + QByteArray::number(major(device)) +
                                ':' + QByteArray::number(minor(device));
        QByteArray node = canonical(link);
        if (node.isEmpty()) {
            return false;
        }
        // A partition's flag is its disk's.
        struct stat st {};
        if (::stat((node + kSep + "partition").constData(), &st) == 0) {
            node = node.left(node.lastIndexOf(kSep));
        }
        return readSmallFile(node + kSep + "removable") == "1";
    }

    QString labelFor(const Volume& v) {
        if (!labelsRead_) {
            readLabels();
        }
        if (labels_.isEmpty()) {
            return {};
        }
        const quint64 device = blockDeviceOf(v);
        const QByteArray source = v.source.startsWith(kSep) ? canonical(v.source) : QByteArray();
        for (const LabelLink& l : labels_) {
            if ((device != 0 && l.device == device) || (!source.isEmpty() && l.target == source)) {
                return l.label;
            }
        }
        return {};
    }

    void readLabels() {
        labelsRead_ = true;
        DIR* dir = ::opendir(system_.byLabel.constData());
        if (!dir) {
            return;
        }
        while (const dirent* e = ::readdir(dir)) {
            const QByteArray name(e->d_name);
            if (name == "." || name == "..") {
                continue;
            }
            LabelLink link;
            const QByteArray path = system_.byLabel + kSep + name;
            link.target = canonical(path);
            struct stat st {};
            if (::stat(path.constData(), &st) == 0 && S_ISBLK(st.st_mode)) {
                link.device = st.st_rdev;
            }
            link.label = decodeUdevLabel(name);
            if (!link.target.isEmpty() || link.device != 0) {
                labels_.append(link);
            }
        }
        ::closedir(dir);
    }

    const SystemPaths& system_;
    bool labelsRead_ = false;
    QList<LabelLink> labels_;
};

// One line: "id parent major:minor root mountpoint options [optional...] - type source
// superoptions".
std::optional<Volume> parseLine(const QByteArray& line) {
    const QList<QByteArray> fields = line.split(' ');
    if (fields.size() < 10) {
        return std::nullopt;
    }
    qsizetype dash = -1;
    for (qsizetype i = 6; i < fields.size(); ++i) {
        if (fields[i] == "-") {
            dash = i;
            break;
        }
    }
    if (dash < 0 || dash + 2 >= fields.size()) {
        return std::nullopt;
    }
    const QByteArray& numbers = fields[2];
    const qsizetype colon = numbers.indexOf(':');
    bool okMajor = false;
    bool okMinor = false;
    const uint maj = numbers.left(colon).toUInt(&okMajor);
    const uint min = numbers.mid(colon + 1).toUInt(&okMinor);
    if (colon < 0 || !okMajor || !okMinor) {
        return std::nullopt;
    }
    Volume v;
    v.mountPoint = decodeOctalEscapes(fields[4]);
    if (!v.mountPoint.startsWith(kSep)) {
        return std::nullopt;
    }
    v.device = makedev(maj, min);
    v.fsType = decodeOctalEscapes(fields[dash + 1]);
    v.source = decodeOctalEscapes(fields[dash + 2]);
    return v;
}

// Parses without classifying: the caller classifies what it keeps.
QList<Volume> parseRaw(const QByteArray& text) {
    QList<Volume> mounts;
    for (const QByteArray& line : text.split('\n')) {
        std::optional<Volume> v = parseLine(line.trimmed());
        if (!v) {
            continue;
        }
        // A later mount on the same point hides the earlier one.
        for (qsizetype i = 0; i < mounts.size(); ++i) {
            if (mounts[i].mountPoint == v->mountPoint) {
                mounts.removeAt(i);
                break;
            }
        }
        mounts.append(std::move(*v));
    }
    return mounts;
}

bool isSystemInternal(const Volume& v) {
    if (isPseudoFileSystem(v.fsType)) {
        return true;
    }
    // udisks mounts USB sticks and cards below /run/media on many distributions: the
    // user's own volumes, though /run is otherwise the system's.
    if (isAtOrBelow(v.mountPoint, "/run/media")) {
        return false;
    }
    for (std::string_view tree : kInternalTrees) {
        if (isAtOrBelow(v.mountPoint, tree)) {
            return true;
        }
    }
    // Snap packages are squashfs images mounted below /snap.
    return v.fsType == "squashfs" &&
           (isAtOrBelow(v.mountPoint, "/snap") || isAtOrBelow(v.mountPoint, "/var/lib/snapd") ||
            v.source.endsWith(".snap"));
}

QByteArray readMountTable() {
    // /proc files report size 0: read until the end.
    QFile f(QStringLiteral("/proc/self/mountinfo"));
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return f.readAll();
}

QByteArray parentOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf(kSep);
    return slash <= 0 ? QByteArray(kRootFolder) : path.left(slash);
}

// `base` (a canonical folder) followed by `tail` (components, each with its leading "/").
QByteArray joinTail(const QByteArray& base, const QByteArray& tail) {
    if (base == kRootFolder) {
        return tail.isEmpty() ? base : tail;
    }
    return base + tail;
}

// The path with every link above its last component resolved, the last component
// itself left alone; for a missing path, the nearest existing folder resolved and the
// rest appended.
QByteArray locate(QByteArray path) {
    if (!path.startsWith(kSep)) {
        path = joinTail(currentFolder(), kSep + path);
    }
    while (path.size() > 1 && path.endsWith(kSep)) {
        path.chop(1);
    }
    QByteArray tail;
    while (path != kRootFolder) {
        struct stat st {};
        if (::lstat(path.constData(), &st) == 0) {
            if (S_ISLNK(st.st_mode)) {
                const QByteArray parent = canonical(parentOf(path));
                if (parent.isEmpty()) {
                    return path + tail;
                }
                return joinTail(joinTail(parent, path.mid(path.lastIndexOf(kSep))), tail);
            }
            const QByteArray resolved = canonical(path);
            return joinTail(resolved.isEmpty() ? path : resolved, tail);
        }
        const qsizetype slash = path.lastIndexOf(kSep);
        tail.prepend(path.mid(slash));
        path = slash == 0 ? QByteArray(kRootFolder) : path.left(slash);
    }
    return joinTail(path, tail);
}

}  // namespace

QString volumeText(const Volume& volume) {
    const QString mountPoint = QFile::decodeName(volume.mountPoint);
    switch (volume.kind) {
        case VolumeKind::Removable:
            return mountPoint;
        case VolumeKind::Network:
            return volume.source.isEmpty()
                       ? mountPoint
                       : mountPoint + QLatin1Char(' ') + QFile::decodeName(volume.source);
        default:
            return volume.label.isEmpty()
                       ? mountPoint
                       : mountPoint + QStringLiteral(" [") + volume.label + QLatin1Char(']');
    }
}

QString volumeKey(const QByteArray& mountPoint) {
    QByteArray key = mountPoint;
    while (key.startsWith(kSep)) {
        key.remove(0, 1);
    }
    while (key.endsWith(kSep)) {
        key.chop(1);
    }
    if (key.isEmpty()) {
        return QStringLiteral("root");
    }
    key.replace(kSep, '_');
    return QFile::decodeName(key);
}

QList<Volume> parseAllMounts(const QByteArray& mountInfo, const SystemPaths& system) {
    QList<Volume> mounts = parseRaw(mountInfo);
    Classifier classifier(system);
    for (Volume& v : mounts) {
        classifier.classify(v);
    }
    return mounts;
}

QList<Volume> parseMountInfo(const QByteArray& mountInfo, const SystemPaths& system) {
    QList<Volume> mounts = parseRaw(mountInfo);
    mounts.removeIf(isSystemInternal);
    Classifier classifier(system);
    for (Volume& v : mounts) {
        classifier.classify(v);
    }
    return mounts;
}

QList<Volume> mountTable() {
    return parseRaw(readMountTable());
}

QList<Volume> mountedVolumes() {
    QList<Volume> volumes = parseMountInfo(readMountTable());
    // Containers bind-mount single files (/etc/hosts); those are no drives. Network
    // mounts are not probed: a dead server would hang the probe.
    volumes.removeIf([](const Volume& v) {
        if (v.kind == VolumeKind::Network) {
            return false;
        }
        struct stat st {};
        return ::stat(v.mountPoint.constData(), &st) == 0 && !S_ISDIR(st.st_mode);
    });
    return volumes;
}

std::optional<Volume> mountHolding(const QByteArray& absolutePath, const QList<Volume>& mounts) {
    const Volume* best = nullptr;
    for (const Volume& v : mounts) {
        const QByteArray& m = v.mountPoint;
        const bool holds = m == kRootFolder || absolutePath == m ||
                           (absolutePath.startsWith(m) && absolutePath.size() > m.size() &&
                            absolutePath[m.size()] == kSep);
        if (holds && (!best || m.size() >= best->mountPoint.size())) {
            best = &v;
        }
    }
    if (!best) {
        return std::nullopt;
    }
    return *best;
}

std::optional<Volume> mountOf(const QByteArray& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    // Classify only the one mount found: probing every mount is needless work.
    std::optional<Volume> found = mountHolding(locate(path), parseRaw(readMountTable()));
    if (found) {
        SystemPaths system;
        Classifier(system).classify(*found);
    }
    return found;
}

std::optional<Volume> volumeOf(const QByteArray& path) {
    std::optional<Volume> found = mountOf(path);
    if (found && isSystemInternal(*found)) {
        return std::nullopt;
    }
    return found;
}

bool isPseudoFileSystem(const QByteArray& fsType) {
    return fsType.startsWith("cgroup") || contains(kPseudoTypes, fsType);
}

bool isMountPoint(const QByteArray& path) {
    if (path.isEmpty()) {
        return false;
    }
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || S_ISLNK(st.st_mode)) {
        return false;
    }
    const QByteArray real = canonical(path);
    if (real.isEmpty()) {
        return false;
    }
    if (real == kRootFolder) {
        return true;
    }
    struct statx sx {};
    if (::statx(AT_FDCWD, real.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_INO,
                &sx) == 0 &&
        (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0) {
        return (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    }
    struct stat parent {};
    if (::stat(parentOf(real).constData(), &parent) == 0 && parent.st_dev != st.st_dev) {
        return true;
    }
    // Bind mounts within one file system keep the device: only the table knows them.
    for (const Volume& v : parseRaw(readMountTable())) {
        if (v.mountPoint == real) {
            return true;
        }
    }
    return false;
}

std::optional<DriveSpace> driveSpace(const QByteArray& path) {
    struct statvfs vfs {};
    if (path.isEmpty() || ::statvfs(path.constData(), &vfs) != 0) {
        return std::nullopt;
    }
    const qint64 block = qint64(vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize);
    DriveSpace space;
    space.blockSize = block;
    space.total = qint64(vfs.f_blocks) * block;
    space.free = qint64(vfs.f_bavail) * block;
    // Some file systems report more available than free blocks (network ones): no
    // reserve then.
    space.reserved = vfs.f_bfree > vfs.f_bavail ? qint64(vfs.f_bfree - vfs.f_bavail) * block : 0;
    return space;
}

bool isReady(const QByteArray& path) {
    struct statvfs vfs {};
    return !path.isEmpty() && ::statvfs(path.constData(), &vfs) == 0;
}

}  // namespace dw::platform
