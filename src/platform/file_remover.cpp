#include "platform/file_remover.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/environment.h"
#include "platform/file_use.h"
#include "platform/paths.h"
#include "platform/trash.h"

namespace dw::platform {

namespace {

QString linkInPathText() {
    return QStringLiteral("a folder on its path is a symbolic link");
}

// A reason with its code.
struct Failure {
    RemoveCode code = RemoveCode::None;
    QString text;
};

// An absolute path taken apart: its folder and its name, both without repeated or
// trailing separators and "." components.
struct PathParts {
    QByteArray folder;         // "/" or "/a/b"
    QByteArray name;           // empty for the root itself
    bool trailingSep = false;  // written with a separator after the name
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
        parts.trailingSep = false;
        return SplitError::None;
    }
    qsizetype end = path.size();
    while (end > 0 &&
           (path[end - 1] == kSep || (path[end - 1] == '.' && end >= 2 && path[end - 2] == kSep))) {
        --end;
    }
    // "a/" and "a/." both ask for "a" as a folder.
    parts.trailingSep = end < path.size();
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

// Why `path` cannot be acted on as it is written (not absolute, "..", a NUL byte, the
// root or a system folder); nullopt when it can, with `parts` filled.
std::optional<Failure> refusal(const QByteArray& path, const QList<QByteArray>& systemFolders,
                               PathParts& parts) {
    switch (splitPath(path, parts)) {
        case SplitError::NotAbsolute:
            return Failure{RemoveCode::NotAbsolute, QStringLiteral("its path is not absolute")};
        case SplitError::DotDot:
            return Failure{RemoveCode::HoldsDotDot, QStringLiteral("its path holds \"..\"")};
        case SplitError::Nul:
            return Failure{RemoveCode::HoldsNul, QStringLiteral("its path holds a NUL byte")};
        case SplitError::None:
            break;
    }
    if (parts.name.isEmpty() || systemFolders.contains(parts.whole())) {
        return Failure{RemoveCode::SystemFolder, QStringLiteral("it is a system folder")};
    }
    return std::nullopt;
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

quint64 deviceOf(const struct statx& sx) {
    return quint64(makedev(sx.stx_dev_major, sx.stx_dev_minor));
}

// The kernel tells the root of a mount since 5.8; before, another device than the
// folder's is the only sign left.
bool isMountRootStatx(const struct statx& sx, quint64 folderDevice) {
    if ((sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0) {
        return (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    }
    return deviceOf(sx) != folderDevice;
}

}  // namespace

bool isTrashFolderName(const QByteArray& folder, const QByteArray& name) {
    if (name == ".Trash") {
        return true;
    }
    constexpr char kUserTrash[] = ".Trash-";
    constexpr qsizetype kUserTrashSize = sizeof(kUserTrash) - 1;
    if (name.size() > kUserTrashSize && name.startsWith(kUserTrash)) {
        return std::all_of(name.begin() + kUserTrashSize, name.end(),
                           [](char c) { return c >= '0' && c <= '9'; });
    }
    return name == "Trash" && (folder.endsWith("/.local/share") || folder == ".local/share");
}

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

struct FileRemover::Target {
    int folderFd = -1;  // owned by the remover
    QByteArray name;
};

QString FileRemover::replacedFolderText() {
    return QStringLiteral("its folder was replaced after it was checked");
}

QString FileRemover::replacedFileText() {
    return QStringLiteral("it was replaced after it was checked");
}

QString FileRemover::linkOnPathText() {
    return linkInPathText();
}

QString FileRemover::inTrashText() {
    return QStringLiteral("it is the trash's own folder or lies in it");
}

QString FileRemover::changedText() {
    return QStringLiteral("it changed after it was checked");
}

bool FileRemover::refuse(RemoveCode code, const QString& text, QString* reason) {
    lastCode_ = code;
    if (reason) {
        *reason = text;
    }
    return false;
}

namespace {

QList<QByteArray> homeTrashForms() {
    const QByteArray trash = lexicalClean(homeTrashFolder());
    const QByteArray real = lexicalClean(shortPath(trash));
    return real == trash ? QList<QByteArray>{trash} : QList<QByteArray>{trash, real};
}

}  // namespace

FileRemover::FileRemover(bool walkFolders)
    : systemFolders_(systemFolders()), homeTrashes_(homeTrashForms()), useOpenat2_(!walkFolders) {}

bool FileRemover::isTrashFolder(const QByteArray& folder, const QByteArray& name) const {
    return isTrashFolderName(folder, name) || homeTrashes_.contains(joinPath(folder, name));
}

bool FileRemover::inTrash(const QByteArray& path) const {
    for (const QByteArray& trash : homeTrashes_) {
        if (path == trash || (path.startsWith(trash) && path.at(trash.size()) == kSep)) {
            return true;
        }
    }
    // The path is clean here: components separated by single "/", no "." or "..".
    qsizetype start = 1;
    while (start < path.size()) {
        qsizetype end = path.indexOf(kSep, start);
        if (end < 0) {
            end = path.size();
        }
        if (isTrashFolderName(path.left(start - 1), path.mid(start, end - start))) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

FileRemover::~FileRemover() = default;

void FileRemover::reset() {
    fd_.reset();
    folderDevice_ = 0;
    folderInode_ = 0;
}

int FileRemover::folderFd(const QByteArray& folder, int* error) {
    // The folder is opened afresh for every file: a descriptor kept from an earlier file
    // would still lead to a folder renamed away since, while the path leads elsewhere.
    reset();
    UniqueFd fd;
    bool walked = false;
    if (useOpenat2_) {
        // One call refuses a link anywhere on the way.
        open_how how{};
        how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        fd.reset(int(::syscall(SYS_openat2, AT_FDCWD, folder.constData(), &how, sizeof how)));
        if (!fd && (errno == ENOSYS || errno == E2BIG || errno == EPERM)) {
            // An older kernel, or a sandbox that forbids the call: walk instead.
            useOpenat2_ = false;
        } else {
            walked = true;
            if (!fd) {
                *error = errno;
                return -1;
            }
        }
    }
    if (!walked) {
        fd.reset(::open(kRootFolder, O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!fd) {
            *error = errno;
            return -1;
        }
        for (const QByteArray& c : folder.split(kSep)) {
            if (c.isEmpty()) {
                continue;
            }
            UniqueFd next(::openat(fd.get(), c.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
            if (!next) {
                *error = errno;
                return -1;
            }
            struct stat st {};
            if (::fstat(next.get(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                *error = S_ISLNK(st.st_mode) ? ELOOP : ENOTDIR;
                return -1;
            }
            fd = std::move(next);
        }
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        *error = errno;
        return -1;
    }
    fd_ = std::move(fd);
    folderDevice_ = quint64(st.st_dev);
    folderInode_ = quint64(st.st_ino);
    return fd_.get();
}

int FileRemover::openFolderOf(const QByteArray& path, QByteArray& name, bool& trailingSep,
                              QString* reason) {
    PathParts parts;
    lastCode_ = RemoveCode::None;
    std::optional<Failure> refused = refusal(path, systemFolders_, parts);
    if (!refused && inTrash(parts.whole())) {
        refused = Failure{RemoveCode::InTrash, inTrashText()};
    }
    int fd = -1;
    if (!refused) {
        int error = 0;
        fd = folderFd(parts.folder, &error);
        if (fd < 0) {
            refused = error == ELOOP ? Failure{RemoveCode::LinkOnPath, linkInPathText()}
                                     : Failure{RemoveCode::SystemError, errnoText(error)};
        }
    }
    if (refused) {
        refuse(refused->code, refused->text, reason);
    }
    name = parts.name;
    trailingSep = parts.trailingSep;
    return fd;
}

std::optional<FileIdentity> FileRemover::reach(const QByteArray& path, Target& target,
                                               QString* reason) {
    auto fail = [this, reason](RemoveCode code,
                               const QString& text) -> std::optional<FileIdentity> {
        refuse(code, text, reason);
        return std::nullopt;
    };
    PathParts parts;
    const int fd = openFolderOf(path, parts.name, parts.trailingSep, reason);
    if (fd < 0) {
        return std::nullopt;
    }
    struct statx sx {};
    if (::statx(fd, parts.name.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_MTIME | STATX_NLINK,
                &sx) != 0) {
        return fail(RemoveCode::SystemError, errnoText(errno));
    }
    if (S_ISDIR(sx.stx_mode)) {
        return fail(RemoveCode::IsFolder, QStringLiteral("it is a folder"));
    }
    if (parts.trailingSep) {
        // Written as a folder: the system would follow a link here, and anything but a
        // folder is refused, as `rm` refuses "file/".
        struct stat target {};
        if (S_ISLNK(sx.stx_mode) && ::fstatat(fd, parts.name.constData(), &target, 0) == 0 &&
            S_ISDIR(target.st_mode)) {
            return fail(RemoveCode::IsFolder, QStringLiteral("it is a folder"));
        }
        return fail(RemoveCode::SystemError, errnoText(ENOTDIR));
    }
    const quint64 device = deviceOf(sx);
    if (isMountRootStatx(sx, folderDevice_)) {
        return fail(RemoveCode::MountPoint, QStringLiteral("it is a mount point"));
    }
    FileIdentity id;
    id.device = device;
    id.inode = sx.stx_ino;
    id.folderDevice = folderDevice_;
    id.folderInode = folderInode_;
    id.size = qint64(sx.stx_size);
    id.modifiedNs = qint64(sx.stx_mtime.tv_sec) * 1000000000 + sx.stx_mtime.tv_nsec;
    id.isLink = S_ISLNK(sx.stx_mode);
    id.isRegular = S_ISREG(sx.stx_mode);
    target.folderFd = fd;
    target.name = parts.name;
    return id;
}

std::optional<FileIdentity> FileRemover::inspect(const QByteArray& path, QString* reason) {
    Target target;
    return reach(path, target, reason);
}

namespace {

// Why `found` is not the file `expected`, or nullopt when it is. `sameContent` also asks
// for the same size and modification time.
std::optional<Failure> differenceFrom(const FileIdentity& found, const FileIdentity& expected,
                                      bool sameContent) {
    if (found.folderDevice != expected.folderDevice || found.folderInode != expected.folderInode) {
        return Failure{RemoveCode::ReplacedFolder, FileRemover::replacedFolderText()};
    }
    if (found.device != expected.device || found.inode != expected.inode) {
        return Failure{RemoveCode::ReplacedFile, FileRemover::replacedFileText()};
    }
    if (sameContent && (found.size != expected.size || found.modifiedNs != expected.modifiedNs)) {
        return Failure{RemoveCode::Changed, FileRemover::changedText()};
    }
    return std::nullopt;
}

}  // namespace

bool FileRemover::remove(const QByteArray& path, QString* reason, const FileIdentity* expected,
                         FileIdentity* identity) {
    Target target;
    const std::optional<FileIdentity> found = reach(path, target, reason);
    if (!found) {
        return false;
    }
    if (expected) {
        if (const std::optional<Failure> difference = differenceFrom(*found, *expected, true)) {
            return refuse(difference->code, difference->text, reason);
        }
    }
    if (found->isRegular && writersOfEntry(target.folderFd, target.name) == FileUse::InUse) {
        return refuse(RemoveCode::InUse, inUseText(), reason);
    }
    if (::unlinkat(target.folderFd, target.name.constData(), 0) != 0) {
        return refuse(RemoveCode::SystemError, errnoText(errno), reason);
    }
    if (identity) {
        *identity = *found;
    }
    return true;
}

std::optional<EntryFacts> examineAt(int folderFd, const QByteArray& name, quint64 folderDevice,
                                    quint64 folderInode, int* error) {
    struct statx sx {};
    if (::statx(folderFd, name.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_MTIME, &sx) != 0) {
        *error = errno;
        return std::nullopt;
    }
    EntryFacts facts;
    FileIdentity& id = facts.identity;
    id.device = deviceOf(sx);
    id.inode = sx.stx_ino;
    id.folderDevice = folderDevice;
    id.folderInode = folderInode;
    id.size = S_ISDIR(sx.stx_mode) ? 0 : qint64(sx.stx_size);
    id.modifiedNs = qint64(sx.stx_mtime.tv_sec) * 1000000000 + sx.stx_mtime.tv_nsec;
    id.isLink = S_ISLNK(sx.stx_mode);
    id.isRegular = S_ISREG(sx.stx_mode);
    facts.mode = sx.stx_mode;
    facts.isFolder = S_ISDIR(sx.stx_mode);
    facts.links = (sx.stx_mask & STATX_NLINK) != 0 ? std::max<quint32>(sx.stx_nlink, 1) : 1;
    facts.isMountRoot = isMountRootStatx(sx, folderDevice);
    return facts;
}

std::optional<FileIdentity> FileRemover::reachFolder(const QByteArray& path, Target& target,
                                                     QString* reason) {
    auto fail = [this, reason](RemoveCode code,
                               const QString& text) -> std::optional<FileIdentity> {
        refuse(code, text, reason);
        return std::nullopt;
    };
    PathParts parts;
    const int fd = openFolderOf(path, parts.name, parts.trailingSep, reason);
    if (fd < 0) {
        return std::nullopt;
    }
    int error = 0;
    const std::optional<EntryFacts> facts =
        examineAt(fd, parts.name, folderDevice_, folderInode_, &error);
    if (!facts) {
        return fail(RemoveCode::SystemError, errnoText(error));
    }
    if (facts->identity.isLink) {
        return fail(RemoveCode::IsLink, QStringLiteral("it is a symbolic link"));
    }
    if (!facts->isFolder) {
        return fail(RemoveCode::NotFolder, QStringLiteral("it is not a folder"));
    }
    if (facts->isMountRoot) {
        return fail(RemoveCode::MountPoint, QStringLiteral("it is a mount point"));
    }
    target.folderFd = fd;
    target.name = parts.name;
    return facts->identity;
}

std::optional<FileIdentity> FileRemover::inspectFolder(const QByteArray& path, QString* reason) {
    Target target;
    return reachFolder(path, target, reason);
}

bool FileRemover::removeFolder(const QByteArray& path, const FileIdentity& expected,
                               QString* reason) {
    Target target;
    const std::optional<FileIdentity> found = reachFolder(path, target, reason);
    if (!found) {
        return false;
    }
    if (const std::optional<Failure> difference = differenceFrom(*found, expected, false)) {
        return refuse(difference->code, difference->text, reason);
    }
    if (::unlinkat(target.folderFd, target.name.constData(), AT_REMOVEDIR) != 0) {
        return refuse(RemoveCode::SystemError, errnoText(errno), reason);
    }
    return true;
}

bool FileRemover::trash(const QByteArray& path, const FileIdentity& expected, QString* reason) {
    Target target;
    const std::optional<FileIdentity> found = reach(path, target, reason);
    if (!found) {
        return false;
    }
    if (const std::optional<Failure> difference = differenceFrom(*found, expected, false)) {
        return refuse(difference->code, difference->text, reason);
    }
    if (found->isRegular && writersOfEntry(target.folderFd, target.name) == FileUse::InUse) {
        return refuse(RemoveCode::InUse, inUseText(), reason);
    }
    PathParts parts;
    splitPath(path, parts);
    return trashEntry(target.folderFd, target.name, parts.whole(), reason);
}

bool FileRemover::trashEntry(int folderFd, const QByteArray& name, const QByteArray& path,
                             QString* reason) {
    QString trashError;
    int cause = 0;
    if (!moveToTrashAt(folderFd, name, path, &trashError, nullptr, &cause)) {
        const bool full = cause == ENOSPC || cause == EDQUOT;
        return refuse(full ? RemoveCode::TrashFull : RemoveCode::TrashRefused, trashError, reason);
    }
    return true;
}

std::optional<EntryFacts> FileRemover::reachAt(const HeldFolder& folder, const QByteArray& name,
                                               bool wantFolder, const FileIdentity& expected,
                                               bool sameContent, QString* reason) {
    auto fail = [this, reason](RemoveCode code, const QString& text) -> std::optional<EntryFacts> {
        refuse(code, text, reason);
        return std::nullopt;
    };
    lastCode_ = RemoveCode::None;
    if (folder.parentFd >= 0) {
        struct statx self {};
        if (::statx(folder.parentFd, folder.name.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                    STATX_TYPE | STATX_INO, &self) != 0) {
            return fail(RemoveCode::SystemError, errnoText(errno));
        }
        if (S_ISLNK(self.stx_mode)) {
            return fail(RemoveCode::LinkOnPath, linkInPathText());
        }
        if (deviceOf(self) != folder.device || self.stx_ino != folder.inode) {
            return fail(RemoveCode::ReplacedFolder, replacedFolderText());
        }
    }
    int error = 0;
    std::optional<EntryFacts> facts =
        examineAt(folder.fd, name, folder.device, folder.inode, &error);
    if (!facts) {
        return fail(RemoveCode::SystemError, errnoText(error));
    }
    if (wantFolder && facts->identity.isLink) {
        return fail(RemoveCode::IsLink, QStringLiteral("it is a symbolic link"));
    }
    if (wantFolder != facts->isFolder) {
        return wantFolder ? fail(RemoveCode::NotFolder, QStringLiteral("it is not a folder"))
                          : fail(RemoveCode::IsFolder, QStringLiteral("it is a folder"));
    }
    if (facts->isMountRoot) {
        return fail(RemoveCode::MountPoint, QStringLiteral("it is a mount point"));
    }
    if (const std::optional<Failure> difference =
            differenceFrom(facts->identity, expected, sameContent)) {
        return fail(difference->code, difference->text);
    }
    return facts;
}

bool FileRemover::removeAt(const HeldFolder& folder, const QByteArray& name,
                           const FileIdentity& expected, QString* reason, FileIdentity* identity) {
    const std::optional<EntryFacts> found = reachAt(folder, name, false, expected, true, reason);
    if (!found) {
        return false;
    }
    if (::unlinkat(folder.fd, name.constData(), 0) != 0) {
        return refuse(RemoveCode::SystemError, errnoText(errno), reason);
    }
    if (identity) {
        *identity = found->identity;
    }
    return true;
}

bool FileRemover::trashAt(const HeldFolder& folder, const QByteArray& name,
                          const FileIdentity& expected, QString* reason) {
    const std::optional<EntryFacts> found = reachAt(folder, name, false, expected, false, reason);
    if (!found) {
        return false;
    }
    return trashEntry(folder.fd, name, joinPath(folder.path, name), reason);
}

bool FileRemover::removeFolderAt(const HeldFolder& folder, const QByteArray& name,
                                 const FileIdentity& expected, QString* reason) {
    const std::optional<EntryFacts> found = reachAt(folder, name, true, expected, false, reason);
    if (!found) {
        return false;
    }
    if (::unlinkat(folder.fd, name.constData(), AT_REMOVEDIR) != 0) {
        return refuse(RemoveCode::SystemError, errnoText(errno), reason);
    }
    return true;
}

UniqueFd FileRemover::openForReading(const QByteArray& path, const FileIdentity& expected,
                                     QString* reason) {
    auto fail = [this, reason](RemoveCode code, const QString& text) {
        refuse(code, text, reason);
        return UniqueFd();
    };
    Target target;
    const std::optional<FileIdentity> found = reach(path, target, reason);
    if (!found) {
        return UniqueFd();
    }
    if (found->isLink) {
        return fail(RemoveCode::IsLink,
                    QStringLiteral("It is a symbolic link; links are not archived"));
    }
    if (!found->isRegular) {
        // A device or FIFO is never opened: opening some devices has effects.
        return fail(RemoveCode::NotRegular, QStringLiteral("It is not a regular file"));
    }
    if (const std::optional<Failure> difference = differenceFrom(*found, expected, true)) {
        return fail(difference->code, difference->text);
    }
    UniqueFd fd(::openat(target.folderFd, target.name.constData(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        return fail(RemoveCode::SystemError, errnoText(errno));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return fail(RemoveCode::SystemError, errnoText(errno));
    }
    // The name may have been given to another file between the look and the open.
    FileIdentity opened = *found;
    opened.device = quint64(st.st_dev);
    opened.inode = quint64(st.st_ino);
    opened.size = qint64(st.st_size);
    opened.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    const std::optional<Failure> swapped =
        S_ISREG(st.st_mode) ? differenceFrom(opened, expected, true)
                            : Failure{RemoveCode::ReplacedFile, replacedFileText()};
    if (swapped) {
        return fail(swapped->code, swapped->text);
    }
    if (writersOf(fd.get()) == FileUse::InUse) {
        return fail(RemoveCode::InUse, inUseText());
    }
    // Reads block as usual: a regular file never waits.
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    }
    return fd;
}

}  // namespace dw::platform
