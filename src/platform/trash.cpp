#include "platform/trash.h"

#include <QFile>
#include <QHash>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>

#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/posix_io.h"
#include "platform/volumes.h"

namespace dw::platform {

namespace {

constexpr char kInfoSuffix[] = ".trashinfo";
constexpr qsizetype kMaxName = NAME_MAX;

// One trash folder to try, in order.
struct TrashCandidate {
    enum class Kind { Home, AdminTopdir, UserTopdir };
    Kind kind;
    QByteArray topdir;  // for the volume trashes: where relative paths start
};

// What trashing into one candidate came to.
enum class Outcome { Done, TryNext, Failed };

// Absolute, without empty or "." components and trailing "/"; ".." is left to the
// caller, as it cannot be resolved by text alone.
QByteArray absoluteClean(const QByteArray& path) {
    const QByteArray full = path.startsWith(kSep) ? path : joinPath(currentFolder(), path);
    QByteArray out;
    for (const QByteArray& part : full.split(kSep)) {
        if (part.isEmpty() || part == ".") {
            continue;
        }
        out += kSep;
        out += part;
    }
    return out.isEmpty() ? QByteArray(kRootFolder) : out;
}

QByteArray nameOf(const QByteArray& path) {
    return nameOfPath(path);
}

// Only absolute paths come here: a name without a folder never reaches it.
QByteArray folderOf(const QByteArray& path) {
    return folderOfPath(path);
}

// The device of `path`, or of its nearest existing ancestor: the home trash may not
// exist yet, but will be made on the volume of whatever holds it.
std::optional<dev_t> deviceOfNearest(QByteArray path) {
    for (;;) {
        struct stat st {};
        if (::stat(path.constData(), &st) == 0) {
            return st.st_dev;
        }
        if (path == kRootFolder || path.isEmpty()) {
            return std::nullopt;
        }
        path = folderOf(path);
    }
}

QByteArray homeTrash() {
    return joinPath(dataHomeFolder(), "Trash");
}

// Makes `path` and its missing parents (mode 0700) and checks it is a folder. The home
// trash may sit behind the user's own links.
bool makeFolders(const QByteArray& path, int* err) {
    struct stat st {};
    if (::stat(path.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return true;
        }
        *err = ENOTDIR;
        return false;
    }
    if (errno != ENOENT) {
        *err = errno;
        return false;
    }
    if (path != kRootFolder && !makeFolders(folderOf(path), err)) {
        return false;
    }
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        *err = errno;
        return false;
    }
    return true;
}

// On a shared volume nobody else's folder or link may stand in for the user's trash.
bool makeOwnFolder(const QByteArray& path, int* err) {
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        *err = errno;
        return false;
    }
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) {
        *err = errno;
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
        *err = EPERM;
        return false;
    }
    return true;
}

// The trash folder of a candidate, made ready with its files/ and info/ folders.
std::optional<QByteArray> prepare(const TrashCandidate& c, int* err) {
    const QByteArray uid = QByteArray::number(::geteuid());
    QByteArray trash;
    switch (c.kind) {
        case TrashCandidate::Kind::Home:
            trash = homeTrash();
            if (!makeFolders(joinPath(trash, "files"), err) ||
                !makeFolders(joinPath(trash, "info"), err)) {
                return std::nullopt;
            }
            return trash;
        case TrashCandidate::Kind::AdminTopdir: {
            const QByteArray shared = joinPath(c.topdir, ".Trash");
            struct stat st {};
            if (::lstat(shared.constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
                (st.st_mode & S_ISVTX) == 0) {
                *err = ENOENT;
                return std::nullopt;
            }
            trash = joinPath(shared, uid);
            break;
        }
        case TrashCandidate::Kind::UserTopdir:
            trash = joinPath(c.topdir, ".Trash-" + uid);
            break;
    }
    if (!makeOwnFolder(trash, err) || !makeOwnFolder(joinPath(trash, "files"), err) ||
        !makeOwnFolder(joinPath(trash, "info"), err)) {
        return std::nullopt;
    }
    return trash;
}

// The n-th name for `name` in the trash, short enough that its .trashinfo name fits.
QByteArray trashName(const QByteArray& name, int n) {
    QByteArray stem = name;
    QByteArray extension;
    QByteArray suffix;
    if (n > 1) {
        suffix = "_" + QByteArray::number(n);
        const qsizetype dot = name.lastIndexOf('.');
        if (dot > 0) {
            stem = name.left(dot);
            extension = name.mid(dot);
        }
    }
    const qsizetype room = kMaxName - qsizetype(sizeof(kInfoSuffix) - 1) - suffix.size();
    if (stem.size() + extension.size() > room) {
        if (extension.size() > room / 2) {
            extension.clear();
        }
        stem.truncate(room - extension.size());
    }
    return stem + suffix + extension;
}

QByteArray deletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return QByteArray(text, qsizetype(length));
}

// The entry `name` of the folder open as `fromFd`, renamed to `to`: the rename starts
// from the descriptor, so exactly the entry of that folder moves, whatever its path
// leads to by now.
int renameNoReplace(int fromFd, const QByteArray& name, const QByteArray& to) {
    if (::renameat2(fromFd, name.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // File systems without the flag: the name was checked free just before.
    struct stat st {};
    if (::lstat(to.constData(), &st) == 0) {
        return EEXIST;
    }
    return ::renameat(fromFd, name.constData(), AT_FDCWD, to.constData()) == 0 ? 0 : errno;
}

// Where the entry to trash is: its folder's descriptor and its name there.
struct Source {
    int folderFd;
    QByteArray name;
};

// The number to try first for `name` in the trash folder `files`: one past the last this
// process gave it there. Many files of one name (a deep tree's, a build's) would
// otherwise try every name taken before them, again for each file.
class NameNumbers {
public:
    int first(const QByteArray& files, const QByteArray& name) {
        const std::lock_guard<std::mutex> lock(mutex_);
        return next_.value(files + '\0' + name, 1);
    }
    void used(const QByteArray& files, const QByteArray& name, int n) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (next_.size() > kLimit) {
            next_.clear();
        }
        next_.insert(files + '\0' + name, n + 1);
    }

private:
    static constexpr qsizetype kLimit = 4096;
    std::mutex mutex_;
    QHash<QByteArray, int> next_;
};

NameNumbers& nameNumbers() {
    static NameNumbers numbers;
    return numbers;
}

Outcome trashInto(const QByteArray& trash, const Source& source, const QByteArray& recordedPath,
                  QByteArray* trashedAs, int* err) {
    const QByteArray files = joinPath(trash, "files");
    const QByteArray info = joinPath(trash, "info");
    const QByteArray& name = source.name;
    const QByteArray content = "[Trash Info]\nPath=" + recordedPath.toPercentEncoding("/") +
                               "\nDeletionDate=" + deletionDate() + "\n";
    for (int n = nameNumbers().first(files, name); n < 100000; ++n) {
        const QByteArray candidate = trashName(name, n);
        const QByteArray infoFile = joinPath(info, candidate + kInfoSuffix);
        // The .trashinfo made with O_EXCL is what reserves a name in the trash.
        UniqueFd fd(::open(infoFile.constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd) {
            if (errno == EEXIST) {
                continue;
            }
            *err = errno;
            return Outcome::Failed;
        }
        const QByteArray target = joinPath(files, candidate);
        struct stat st {};
        if (::lstat(target.constData(), &st) == 0) {
            fd.reset();
            ::unlink(infoFile.constData());
            continue;
        }
        const bool written = writeAll(fd.get(), content);
        const int writeErr = errno;
        if (!written || fd.close() != 0) {
            *err = written ? errno : writeErr;
            ::unlink(infoFile.constData());
            return Outcome::Failed;
        }
        const int renameErr = renameNoReplace(source.folderFd, name, target);
        if (renameErr == 0) {
            nameNumbers().used(files, name, n);
            if (trashedAs) {
                *trashedAs = target;
            }
            return Outcome::Done;
        }
        ::unlink(infoFile.constData());
        if (renameErr == EEXIST) {
            continue;
        }
        *err = renameErr;
        return renameErr == EXDEV ? Outcome::TryNext : Outcome::Failed;
    }
    *err = EEXIST;
    return Outcome::Failed;
}

}  // namespace

namespace {

// The path the kernel knows for the folder open as `fd`, links resolved: one call
// however deep the folder lies. Empty when it cannot tell (no /proc, a folder removed or
// out of reach of this process's root).
QByteArray kernelPathOf(int fd) {
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    QByteArray buffer(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = ::readlink(link.constData(), buffer.data(), size_t(buffer.size()));
    if (n <= 0 || n >= buffer.size()) {
        return {};
    }
    buffer.truncate(n);
    if (!buffer.startsWith(kSep) || buffer.endsWith(" (deleted)")) {
        return {};
    }
    return buffer;
}

// The highest folder from `folder` up to `mountPoint` still on `device`: the top of the
// btrfs subvolume holding `folder` (renames do not cross subvolumes), or the mount
// point itself where the mount is one file system.
QByteArray topOfDevice(const QByteArray& folder, const QByteArray& mountPoint, dev_t device) {
    struct stat st {};
    if (::stat(mountPoint.constData(), &st) == 0 && st.st_dev == device) {
        return mountPoint;
    }
    QByteArray top = folder;
    while (top != mountPoint && top != kRootFolder) {
        const QByteArray up = folderOf(top);
        if (::stat(up.constData(), &st) != 0 || st.st_dev != device) {
            break;
        }
        top = up;
    }
    return top;
}

// Whether the entry `name` of `folderFd` is the root of a mount (a bind-mounted file).
bool isMountRootAt(int folderFd, const QByteArray& name, const QByteArray& original) {
    struct statx sx {};
    if (::statx(folderFd, name.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_INO,
                &sx) == 0 &&
        (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0) {
        return (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    }
    return isMountPoint(original);
}

// The failure of a trash, its cause first.
struct TrashFailure {
    std::function<bool(const QString&)> say;
    int* cause;
    bool operator()(const QString& why, int err = 0) const {
        if (cause) {
            *cause = err;
        }
        return say(why);
    }
};

// Trashes `source`, which is the entry at the absolute, clean path `original` (holding
// no ".."); `folderDevice` is the device of the folder holding it.
bool trashEntry(const Source& source, const QByteArray& original, dev_t folderDevice,
                const TrashFailure& fail, QByteArray* trashedAs) {
    if (original == kRootFolder || isMountRootAt(source.folderFd, source.name, original)) {
        return fail(QStringLiteral("it is the root of a volume"));
    }
    // Where the entry really lies, links in its folders resolved: a volume trash records
    // the path below its volume's root.
    QByteArray locatedFolder = kernelPathOf(source.folderFd);
    if (locatedFolder.isEmpty()) {
        locatedFolder = shortPath(folderOf(original));
    }
    const QByteArray located = joinPath(locatedFolder, nameOf(original));

    QList<TrashCandidate> candidates;
    const std::optional<dev_t> homeDevice = deviceOfNearest(homeTrash());
    if (homeDevice && *homeDevice == folderDevice) {
        candidates.append({TrashCandidate::Kind::Home, {}});
    }
    const std::optional<Volume> mount = mountHolding(located, mountTable());
    if (mount) {
        const QByteArray top = topOfDevice(locatedFolder, mount->mountPoint, folderDevice);
        candidates.append({TrashCandidate::Kind::AdminTopdir, top});
        candidates.append({TrashCandidate::Kind::UserTopdir, top});
    }

    int lastErr = 0;
    for (const TrashCandidate& c : candidates) {
        int err = 0;
        const std::optional<QByteArray> trash = prepare(c, &err);
        if (!trash) {
            // The home trash is the only one for its volume when it is usable at all.
            if (c.kind == TrashCandidate::Kind::Home) {
                return fail(QStringLiteral("the trash folder %1 cannot be made: %2")
                                .arg(QFile::decodeName(homeTrash()), errnoText(err)),
                            err);
            }
            lastErr = err;
            continue;
        }
        QByteArray recorded = original;
        if (c.kind != TrashCandidate::Kind::Home) {
            recorded = c.topdir == kRootFolder ? located.mid(1) : located.mid(c.topdir.size() + 1);
        }
        switch (trashInto(*trash, source, recorded, trashedAs, &err)) {
            case Outcome::Done:
                return true;
            case Outcome::Failed:
                return fail(errnoText(err), err);
            case Outcome::TryNext:
                lastErr = err;
                break;
        }
    }
    return fail(
        lastErr != 0 && lastErr != ENOENT && lastErr != EXDEV
            ? QStringLiteral("its volume has no usable trash folder (%1)").arg(errnoText(lastErr))
            : QStringLiteral("its volume has no usable trash folder"),
        lastErr == ENOENT || lastErr == EXDEV ? 0 : lastErr);
}

TrashFailure failureSetter(const QByteArray& path, QString* error, int* cause) {
    return {[path, error](const QString& why) {
                if (error) {
                    *error = QStringLiteral("Cannot move %1 to the trash: %2")
                                 .arg(QFile::decodeName(path), why);
                }
                return false;
            },
            cause};
}

// The folder holding the entry `name` of `folderFd`: its device.
std::optional<dev_t> folderDevice(int folderFd, int* err) {
    struct stat st {};
    if (::fstat(folderFd, &st) != 0) {
        *err = errno;
        return std::nullopt;
    }
    return st.st_dev;
}

}  // namespace

bool moveToTrash(const QByteArray& path, QString* error, QByteArray* trashedAs, int* cause) {
    const TrashFailure fail = failureSetter(path, error, cause);
    if (path.isEmpty()) {
        return fail(errnoText(ENOENT), ENOENT);
    }
    QByteArray original = absoluteClean(path);
    if (original.split(kSep).contains("..")) {
        const QByteArray folder = shortPath(folderOf(original));
        original = joinPath(folder, nameOf(original));
    }
    struct stat st {};
    if (::lstat(original.constData(), &st) != 0) {
        const int err = errno;
        return fail(errnoText(err), err);
    }
    if (original == kRootFolder) {
        return fail(QStringLiteral("it is the root of a volume"));
    }
    const UniqueFd folder(::open(folderOf(original).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    int err = errno;
    const std::optional<dev_t> device =
        folder ? folderDevice(folder.get(), &err) : std::optional<dev_t>();
    if (!device) {
        return fail(errnoText(err), err);
    }
    return trashEntry({folder.get(), nameOf(original)}, original, *device, fail, trashedAs);
}

bool moveToTrashAt(int folderFd, const QByteArray& name, const QByteArray& path, QString* error,
                   QByteArray* trashedAs, int* cause) {
    const TrashFailure fail = failureSetter(path, error, cause);
    if (name.isEmpty() || name.contains(kSep) || name == "." || name == ".." ||
        !path.startsWith(kSep) || path.split(kSep).contains("..")) {
        return fail(errnoText(EINVAL), EINVAL);
    }
    struct stat st {};
    if (::fstatat(folderFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        const int err = errno;
        return fail(errnoText(err), err);
    }
    int err = 0;
    const std::optional<dev_t> device = folderDevice(folderFd, &err);
    if (!device) {
        return fail(errnoText(err), err);
    }
    return trashEntry({folderFd, name}, absoluteClean(path), *device, fail, trashedAs);
}

QByteArray homeTrashFolder() {
    return homeTrash();
}

}  // namespace dw::platform
