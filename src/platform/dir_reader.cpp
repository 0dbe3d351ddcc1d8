#include "platform/dir_reader.h"

#include <dirent.h>
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

// Large enough that a folder of a few hundred entries is read in one system call,
// small enough that a reader per level of a deep walk stays cheap.
constexpr int kBufferSize = 16 * 1024;

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
                              STATX_MTIME | STATX_BTIME;
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

void assignName(QByteArray& target, const char* name, size_t length) {
    // Reuses the caller's buffer when it is not shared, so a loop over a folder does
    // not allocate per entry.
    target.resize(static_cast<qsizetype>(length));
    std::memcpy(target.data(), name, length);
}

}  // namespace

DirReader::~DirReader() {
    close();
}

DirReader::DirReader(DirReader&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      error_(other.error_),
      buffer_(std::move(other.buffer_)),
      length_(std::exchange(other.length_, 0)),
      offset_(std::exchange(other.offset_, 0)),
      atEnd_(other.atEnd_),
      position_(other.position_) {}

DirReader& DirReader::operator=(DirReader&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        error_ = other.error_;
        buffer_ = std::move(other.buffer_);
        length_ = std::exchange(other.length_, 0);
        offset_ = std::exchange(other.offset_, 0);
        atEnd_ = other.atEnd_;
        position_ = other.position_;
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
    if (!buffer_) {
        buffer_ = std::make_unique<char[]>(kBufferSize);
    }
    length_ = 0;
    offset_ = 0;
    atEnd_ = false;
    position_ = 0;
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
    // The buffer is dropped too: a walk keeps closed readers for the levels it had to
    // give up when out of descriptors.
    buffer_.reset();
    length_ = 0;
    offset_ = 0;
    atEnd_ = true;
    position_ = 0;
}

bool DirReader::fill() {
    for (;;) {
        const ssize_t n = ::getdents64(fd_, buffer_.get(), kBufferSize);
        if (n > 0) {
            length_ = static_cast<int>(n);
            offset_ = 0;
            return true;
        }
        if (n == 0) {
            atEnd_ = true;
            error_ = 0;
            return false;
        }
        if (errno == EINTR) {
            continue;
        }
        error_ = errno;
        atEnd_ = true;
        return false;
    }
}

bool DirReader::next(DirEntry& entry) {
    if (fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    for (;;) {
        if (offset_ >= length_) {
            if (atEnd_ || !fill()) {
                return false;
            }
        }
        const auto* d = reinterpret_cast<const struct dirent64*>(buffer_.get() + offset_);
        offset_ += d->d_reclen;
        position_ = d->d_off;
        const char* name = d->d_name;
        if (isDotOrDotDot(name)) {
            continue;
        }
        if (!statInto(fd_, name, 0, name, entry)) {
            continue;
        }
        assignName(entry.name, name, std::strlen(name));
        return true;
    }
}

bool DirReader::stat(const QByteArray& name, DirEntry& entry) const {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    const QByteArray clean = withoutTrailingSlashes(name);
    if (!statInto(fd_, clean.constData(), 0, clean.constData(), entry)) {
        return false;
    }
    entry.name = clean;
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
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) {
        error_ = errno;
        return false;
    }
    length_ = 0;
    offset_ = 0;
    atEnd_ = false;
    position_ = position;
    error_ = 0;
    return true;
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
