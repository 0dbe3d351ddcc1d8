#include "platform/dir_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

namespace dw::platform {

namespace {

constexpr int kOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Kernels or sandboxes without statx get fstatat, which has no birth time.
std::atomic<bool> g_statxMissing{false};

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

quint32 attributesFor(unsigned mode, const char* name) {
    quint32 attributes = 0;
    if (S_ISDIR(mode)) {
        attributes |= kAttrFolder;
    } else if (!S_ISREG(mode)) {
        attributes |= kAttrSystem;
    }
    if (name[0] == '.' && !isDotOrDotDot(name)) {
        attributes |= kAttrHidden;
    }
    if ((mode & S_IWUSR) == 0) {
        attributes |= kAttrReadOnly;
    }
    return attributes;
}

// Fills everything but the name; `name` is only looked at for the hidden bit.
bool statInto(int dirFd, const char* path, int extraFlags, const char* name, DirEntry& e) {
    if (!g_statxMissing.load(std::memory_order_relaxed)) {
        struct statx sx;
        const unsigned mask = STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_ATIME |
                              STATX_MTIME | STATX_BTIME | STATX_NLINK | STATX_BLOCKS;
        if (::statx(dirFd, path, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | extraFlags, mask, &sx) ==
            0) {
            const bool folder = S_ISDIR(sx.stx_mode);
            e.attributes = attributesFor(sx.stx_mode, name);
            e.size = folder ? 0 : static_cast<qint64>(sx.stx_size);
            e.accessed = sx.stx_atime.tv_sec;
            e.modified = sx.stx_mtime.tv_sec;
            // A birth time of 0 is what some file systems report for "unknown".
            e.hasCreated = (sx.stx_mask & STATX_BTIME) != 0 &&
                           (sx.stx_btime.tv_sec != 0 || sx.stx_btime.tv_nsec != 0);
            e.created = e.hasCreated ? sx.stx_btime.tv_sec : 0;
            e.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
            e.inode = sx.stx_ino;
            e.links = (sx.stx_mask & STATX_NLINK) != 0 ? sx.stx_nlink : 1;
            e.allocated = static_cast<qint64>(sx.stx_blocks) * 512;
            return true;
        }
        if (errno != ENOSYS) {
            return false;
        }
        g_statxMissing.store(true, std::memory_order_relaxed);
    }
    struct stat st;
    if (::fstatat(dirFd, path, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | extraFlags) != 0) {
        return false;
    }
    const bool folder = S_ISDIR(st.st_mode);
    e.attributes = attributesFor(st.st_mode, name);
    e.size = folder ? 0 : static_cast<qint64>(st.st_size);
    e.accessed = st.st_atim.tv_sec;
    e.modified = st.st_mtim.tv_sec;
    e.created = 0;
    e.hasCreated = false;
    e.device = st.st_dev;
    e.inode = st.st_ino;
    e.links = static_cast<quint32>(st.st_nlink);
    e.allocated = static_cast<qint64>(st.st_blocks) * 512;
    return true;
}

// Trailing "/" would make the kernel follow a link in the last component.
QByteArray withoutTrailingSlashes(const QByteArray& path) {
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == '/') {
        --end;
    }
    return end == path.size() ? path : path.left(end);
}

}  // namespace

DirReader::~DirReader() {
    close();
}

DirReader::DirReader(DirReader&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), error_(other.error_), names_(std::move(other.names_)) {}

DirReader& DirReader::operator=(DirReader&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        error_ = other.error_;
        names_ = std::move(other.names_);
    }
    return *this;
}

bool DirReader::open(const QByteArray& path) {
    closeDescriptor();
    if (path.isEmpty()) {
        error_ = ENOENT;
        return false;
    }
    const QByteArray clean = withoutTrailingSlashes(path);
    return adopt(::open(clean.constData(), kOpenFlags));
}

bool DirReader::openAt(int parentFd, const QByteArray& name) {
    closeDescriptor();
    if (name.isEmpty()) {
        error_ = ENOENT;
        return false;
    }
    const QByteArray clean = withoutTrailingSlashes(name);
    return adopt(::openat(parentFd, clean.constData(), kOpenFlags));
}

bool DirReader::adopt(int fd) {
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    fd_ = fd;
    error_ = 0;
    if (!names_.start(fd_)) {
        error_ = names_.error();
        closeDescriptor();
        return false;
    }
    return true;
}

void DirReader::closeDescriptor() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void DirReader::close() {
    closeDescriptor();
    // The listing's buffer goes too: a walk keeps closed readers for the levels it had
    // to give up when out of descriptors.
    names_.release();
}

bool DirReader::next(DirEntry& entry) {
    if (fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    NameType type;
    // The name goes straight into the caller's entry, so a loop allocates nothing.
    while (names_.next(entry.name, type)) {
        if (statInto(fd_, entry.name.constData(), 0, entry.name.constData(), entry)) {
            return true;
        }
    }
    error_ = names_.error();
    return false;
}

bool DirReader::stat(const QByteArray& name, DirEntry& entry) const {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    qsizetype length = name.size();
    while (length > 1 && name[length - 1] == '/') {
        --length;
    }
    if (length != name.size()) {
        const QByteArray clean = name.left(length);
        if (!statInto(fd_, clean.constData(), 0, clean.constData(), entry)) {
            return false;
        }
        entry.name = clean;
        return true;
    }
    if (!statInto(fd_, name.constData(), 0, name.constData(), entry)) {
        return false;
    }
    // Copied into the entry's own buffer rather than shared: sharing costs two atomic
    // reference counts per entry, and each of them waits for every store before it.
    entry.name.resize(length);
    std::memcpy(entry.name.data(), name.constData(), size_t(length));
    return true;
}

bool DirReader::statFolder(DirEntry& entry) const {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    if (!statInto(fd_, "", AT_EMPTY_PATH, "", entry)) {
        return false;
    }
    entry.name.clear();
    return true;
}

bool DirReader::seek(qint64 position) {
    if (fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    const bool ok = names_.start(fd_, position);
    error_ = names_.error();
    return ok;
}

std::optional<DirEntry> statPath(const QByteArray& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    const QByteArray clean = withoutTrailingSlashes(path);
    const qsizetype slash = clean.lastIndexOf('/');
    QByteArray name = (clean == "/" || slash < 0) ? clean : clean.mid(slash + 1);
    DirEntry entry;
    if (!statInto(AT_FDCWD, clean.constData(), 0, name.constData(), entry)) {
        return std::nullopt;
    }
    entry.name = std::move(name);
    return entry;
}

}  // namespace dw::platform
