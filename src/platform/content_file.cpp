#include "platform/content_file.h"

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <linux/openat2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <limits>

namespace dw::platform {

namespace {

constexpr qint64 kNoMoreData = std::numeric_limits<qint64>::max();
constexpr int kFileFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
constexpr qint64 kSmallFile = 64 * 1024;

// Shared by every thread: once the kernel has refused openat2, no thread asks again.
std::atomic<bool> openat2Works{true};

qint64 nanoseconds(const timespec& t) {
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

void say(QString* reason, const QString& text) {
    if (reason) {
        *reason = text;
    }
}

}  // namespace

bool ContentFile::open(const QByteArray& path, QString* reason) {
    close();
    if (path.isEmpty() || path.contains('\0')) {
        say(reason, errnoText(ENOENT));
        return false;
    }
    const auto tryOpen = [&path](int flags) {
        if (openat2Works.load(std::memory_order_relaxed)) {
            open_how how{};
            how.flags = quint64(flags);
            how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
            const int fd =
                int(::syscall(SYS_openat2, AT_FDCWD, path.constData(), &how, sizeof how));
            const bool refused = fd < 0 && (errno == ENOSYS || errno == E2BIG ||
                                            (errno == EPERM && (flags & O_NOATIME) == 0));
            if (!refused) {
                return fd;
            }
            // An older kernel, or a sandbox that forbids the call.
            openat2Works.store(false, std::memory_order_relaxed);
        }
        return ::open(path.constData(), flags);
    };
    // Reading for a comparison is no use of the file: its access date stays, where the
    // system lets us (the owner's files, or any file for root).
    UniqueFd fd(tryOpen(kFileFlags | O_NOATIME));
    if (!fd && errno == EPERM) {
        fd.reset(tryOpen(kFileFlags));
    }
    if (!fd) {
        const int err = errno;
        say(reason,
            err == ELOOP ? QStringLiteral("a symbolic link is on its path") : errnoText(err));
        return false;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        say(reason, errnoText(errno));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        say(reason, QStringLiteral("it is not a regular file"));
        return false;
    }
    // O_NONBLOCK only kept a FIFO from blocking the open; reads of a regular file ignore it.
    // A small file is read in one or two reads: asking the file system about its layout
    // or its holes would cost more than the reads.
    const bool large = st.st_size > kSmallFile;
    if (large) {
        ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    fd_ = std::move(fd);
    size_ = qint64(st.st_size);
    dataAt_ = -1;
    holeAt_ = -1;
    askedAt_ = 0;
    seekWorks_ = large;
    opened_ = Stamp{quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
                    nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
    return true;
}

void ContentFile::close() {
    fd_.reset();
    size_ = 0;
    dataAt_ = -1;
    holeAt_ = -1;
}

FileUse ContentFile::use() const {
    return fd_ ? writersOf(fd_.get()) : FileUse::Unknown;
}

std::optional<ContentFile::Stamp> ContentFile::stamp() const {
    struct stat st {};
    if (!fd_ || ::fstat(fd_.get(), &st) != 0) {
        return std::nullopt;
    }
    Stamp s;
    s.device = quint64(st.st_dev);
    s.inode = quint64(st.st_ino);
    s.size = qint64(st.st_size);
    s.modifiedNs = nanoseconds(st.st_mtim);
    s.changedNs = nanoseconds(st.st_ctim);
    return s;
}

std::optional<quint64> ContentFile::physicalOffset() const {
    if (!fd_) {
        return std::nullopt;
    }
    // The request and room for the one extent asked for, as the kernel expects them.
    alignas(fiemap) char request[sizeof(fiemap) + sizeof(fiemap_extent)] = {};
    auto* map = reinterpret_cast<fiemap*>(request);
    map->fm_start = 0;
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_extent_count = 1;
    if (::ioctl(fd_.get(), FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0) {
        return std::nullopt;
    }
    const fiemap_extent& extent = map->fm_extents[0];
    // Data not yet written out has no place on the disk yet.
    if ((extent.fe_flags & (FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DELALLOC)) != 0) {
        return std::nullopt;
    }
    return quint64(extent.fe_physical);
}

qint64 ContentFile::read(qint64 offset, char* buffer, qint64 length, bool* allZero, QString* reason,
                         bool fillHoles) {
    if (allZero) {
        *allZero = false;
    }
    if (!fd_ || offset < 0 || length < 0) {
        say(reason, errnoText(EBADF));
        return -1;
    }
    qint64 done = 0;
    bool onlyHoles = true;
    while (done < length) {
        const qint64 at = offset + done;
        const qint64 want = length - done;
        if (seekWorks_ && (dataAt_ < 0 || at < askedAt_ || at >= holeAt_)) {
            const off_t data = ::lseek(fd_.get(), off_t(at), SEEK_DATA);
            askedAt_ = at;
            if (data < 0 && errno == ENXIO) {
                dataAt_ = kNoMoreData;
                holeAt_ = kNoMoreData;
            } else if (data < 0) {
                // The file system cannot tell its holes: read everything.
                seekWorks_ = false;
            } else {
                const off_t hole = ::lseek(fd_.get(), data, SEEK_HOLE);
                dataAt_ = qint64(data);
                holeAt_ = hole < 0 ? kNoMoreData : qint64(hole);
            }
        }
        if (seekWorks_ && at < dataAt_) {
            // A hole: zeros up to the next data, or up to the end of the file.
            const qint64 end = dataAt_ == kNoMoreData ? size_ : dataAt_;
            const qint64 n = std::min(want, end - at);
            if (n <= 0) {
                break;
            }
            // Writing the zeros of a span that is all hole would cost more than the
            // caller's use of them when it can take them as zeros without looking.
            if (fillHoles || !allZero || done > 0 || n < want) {
                std::memset(buffer + done, 0, size_t(n));
            }
            done += n;
            continue;
        }
        const qint64 n = seekWorks_ && holeAt_ != kNoMoreData ? std::min(want, holeAt_ - at) : want;
        const ssize_t got = ::pread(fd_.get(), buffer + done, size_t(n), off_t(at));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            say(reason, errnoText(errno));
            return -1;
        }
        if (got == 0) {
            break;
        }
        onlyHoles = false;
        done += got;
    }
    if (allZero) {
        *allZero = onlyHoles && done > 0;
    }
    return done;
}

}  // namespace dw::platform
