#include "platform/file_remover.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/environment.h"
#include "platform/paths.h"
#include "platform/posix_io.h"

namespace dw::platform {

namespace {

QString linkInPathText() {
    return QStringLiteral("a folder on its path is a symbolic link");
}

// An absolute path taken apart: its folder and its name, both without repeated or
// trailing separators and "." components.
struct PathParts {
    QByteArray folder;  // "/" or "/a/b"
    QByteArray name;    // empty for the root itself
    QByteArray whole() const { return name.isEmpty() ? folder : joinPath(folder, name); }
};

enum class SplitError { None, NotAbsolute, DotDot, Nul };

// True when the path needs no cleaning: no repeated separator, no "." or ".."
// component, no trailing separator. The common case, split without a list.
bool isPlainAbsolute(const QByteArray& path) {
    const char* p = path.constData();
    const qsizetype n = path.size();
    if (n < 2 || p[0] != kSep || p[n - 1] == kSep) {
        return false;
    }
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] != kSep) {
            continue;
        }
        if (p[i + 1] == kSep) {
            return false;
        }
        if (p[i + 1] == '.') {
            const char after = p[i + 2];
            if (after == kSep || after == '\0' ||
                (after == '.' && (p[i + 3] == kSep || p[i + 3] == '\0'))) {
                return false;
            }
        }
    }
    return true;
}

SplitError splitPath(const QByteArray& path, PathParts& parts) {
    if (!path.startsWith(kSep)) {
        return SplitError::NotAbsolute;
    }
    // The system would read such a path only up to the NUL: another file.
    if (path.contains('\0')) {
        return SplitError::Nul;
    }
    if (isPlainAbsolute(path)) {
        const qsizetype slash = path.lastIndexOf(kSep);
        parts.folder = slash == 0 ? QByteArray(kRootFolder) : path.left(slash);
        parts.name = path.mid(slash + 1);
        return SplitError::None;
    }
    QList<QByteArray> components;
    for (const QByteArray& c : path.split(kSep)) {
        if (c.isEmpty() || c == ".") {
            continue;
        }
        if (c == "..") {
            return SplitError::DotDot;
        }
        components.append(c);
    }
    parts.name = components.isEmpty() ? QByteArray() : components.takeLast();
    parts.folder = kRootFolder;
    for (qsizetype i = 0; i < components.size(); ++i) {
        if (i > 0) {
            parts.folder += kSep;
        }
        parts.folder += components[i];
    }
    return SplitError::None;
}

// ".." resolved by text; what is left of a path that climbs above the root is the root.
QByteArray lexicalClean(const QByteArray& path) {
    QList<QByteArray> out;
    for (const QByteArray& c : path.split(kSep)) {
        if (c.isEmpty() || c == ".") {
            continue;
        }
        if (c == "..") {
            if (!out.isEmpty()) {
                out.removeLast();
            }
            continue;
        }
        out.append(c);
    }
    QByteArray clean;
    for (const QByteArray& c : out) {
        clean += kSep;
        clean += c;
    }
    return clean.isEmpty() ? QByteArray(kRootFolder) : clean;
}

}  // namespace

QList<QByteArray> systemFolders() {
    QList<QByteArray> list = {"/",      "/bin",   "/boot",   "/dev", "/etc",  "/home", "/lib",
                              "/lib32", "/lib64", "/libx32", "/opt", "/proc", "/root", "/run",
                              "/sbin",  "/snap",  "/srv",    "/sys", "/tmp",  "/usr",  "/var"};
    const QByteArray home = lexicalClean(homeFolder());
    const QByteArray realHome = lexicalClean(shortPath(home));
    for (const QByteArray& h : {home, realHome}) {
        if (!list.contains(h)) {
            list.append(h);
        }
    }
    return list;
}

bool isSystemFolder(const QByteArray& path) {
    if (path.isEmpty()) {
        return false;
    }
    const QByteArray absolute = path.startsWith(kSep) ? path : currentFolder() + kSep + path;
    return systemFolders().contains(lexicalClean(absolute));
}

FileRemover::FileRemover(bool walkFolders)
    : systemFolders_(systemFolders()), useOpenat2_(!walkFolders) {}

FileRemover::~FileRemover() {
    reset();
}

void FileRemover::reset() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    folder_.clear();
    folderDevice_ = 0;
}

int FileRemover::folderFd(const QByteArray& folder, int* error) {
    if (fd_ >= 0 && folder == folder_) {
        return fd_;
    }
    reset();
    int fd = -1;
    bool walked = false;
    if (useOpenat2_) {
        // One call refuses a link anywhere on the way.
        open_how how{};
        how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        fd = int(::syscall(SYS_openat2, AT_FDCWD, folder.constData(), &how, sizeof how));
        if (fd < 0 && (errno == ENOSYS || errno == E2BIG || errno == EPERM)) {
            // An older kernel, or a sandbox that forbids the call: walk instead.
            useOpenat2_ = false;
        } else {
            walked = true;
            if (fd < 0) {
                *error = errno;
                return -1;
            }
        }
    }
    if (!walked) {
        fd = ::open(kRootFolder, O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            *error = errno;
            return -1;
        }
        for (const QByteArray& c : folder.split(kSep)) {
            if (c.isEmpty()) {
                continue;
            }
            const int next = ::openat(fd, c.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
            const int openError = errno;
            ::close(fd);
            if (next < 0) {
                *error = openError;
                return -1;
            }
            struct stat st {};
            if (::fstat(next, &st) != 0 || !S_ISDIR(st.st_mode)) {
                *error = S_ISLNK(st.st_mode) ? ELOOP : ENOTDIR;
                ::close(next);
                return -1;
            }
            fd = next;
        }
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *error = errno;
        ::close(fd);
        return -1;
    }
    fd_ = fd;
    folder_ = folder;
    folderDevice_ = quint64(st.st_dev);
    return fd_;
}

std::optional<FileIdentity> FileRemover::inspect(const QByteArray& path, QString* reason) {
    auto fail = [reason](const QString& text) -> std::optional<FileIdentity> {
        if (reason) {
            *reason = text;
        }
        return std::nullopt;
    };
    PathParts parts;
    switch (splitPath(path, parts)) {
        case SplitError::NotAbsolute:
            return fail(QStringLiteral("its path is not absolute"));
        case SplitError::DotDot:
            return fail(QStringLiteral("its path holds \"..\""));
        case SplitError::Nul:
            return fail(QStringLiteral("its path holds a NUL byte"));
        case SplitError::None:
            break;
    }
    if (parts.name.isEmpty() || systemFolders_.contains(parts.whole())) {
        return fail(QStringLiteral("it is a system folder"));
    }
    int error = 0;
    const int fd = folderFd(parts.folder, &error);
    if (fd < 0) {
        return fail(error == ELOOP ? linkInPathText() : errnoText(error));
    }
    struct statx sx {};
    if (::statx(fd, parts.name.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_MTIME, &sx) != 0) {
        return fail(errnoText(errno));
    }
    if (S_ISDIR(sx.stx_mode)) {
        return fail(QStringLiteral("it is a folder"));
    }
    const quint64 device = quint64(makedev(sx.stx_dev_major, sx.stx_dev_minor));
    const bool mountRoot = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
                           (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    if (mountRoot || device != folderDevice_) {
        return fail(QStringLiteral("it is a mount point"));
    }
    FileIdentity id;
    id.device = device;
    id.inode = sx.stx_ino;
    id.size = qint64(sx.stx_size);
    id.modifiedNs = qint64(sx.stx_mtime.tv_sec) * 1000000000 + sx.stx_mtime.tv_nsec;
    id.isLink = S_ISLNK(sx.stx_mode);
    id.isRegular = S_ISREG(sx.stx_mode);
    return id;
}

bool FileRemover::remove(const QByteArray& path, QString* reason, const FileIdentity* expected,
                         FileIdentity* identity) {
    const std::optional<FileIdentity> found = inspect(path, reason);
    if (!found) {
        return false;
    }
    if (expected && *found != *expected) {
        if (reason) {
            *reason = QStringLiteral("it changed after it was archived");
        }
        return false;
    }
    // inspect() left the folder's descriptor open and split the same path.
    PathParts parts;
    splitPath(path, parts);
    if (::unlinkat(fd_, parts.name.constData(), 0) != 0) {
        if (reason) {
            *reason = errnoText(errno);
        }
        return false;
    }
    if (identity) {
        *identity = *found;
    }
    return true;
}

}  // namespace dw::platform
