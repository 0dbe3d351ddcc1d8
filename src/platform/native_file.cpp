#include "platform/native_file.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix_io.h"

namespace dw::platform {

bool openNativeFile(QFile& file, const QByteArray& path, QIODevice::OpenMode mode) {
    if (file.isOpen() || path.isEmpty() || path.contains('\0')) {
        return false;
    }
    const bool reads = mode.testFlag(QIODevice::ReadOnly);
    const bool writes = mode.testFlag(QIODevice::WriteOnly);
    if (!reads && !writes) {
        return false;
    }
    int flags = O_CLOEXEC | O_NOCTTY;
    if (reads && writes) {
        flags |= O_RDWR | O_CREAT;
    } else if (writes) {
        flags |= O_WRONLY | O_CREAT;
        flags |= mode.testFlag(QIODevice::Append) ? O_APPEND : O_TRUNC;
    } else {
        // Opening a FIFO for reading would wait for a writer; a non-blocking open
        // returns at once, and blocking reads are restored below.
        flags |= O_RDONLY | O_NONBLOCK;
    }
    int fd = -1;
    do {
        fd = ::open(path.constData(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return false;
    }
    if ((flags & O_NONBLOCK) != 0) {
        const int current = ::fcntl(fd, F_GETFL);
        if (current >= 0) {
            ::fcntl(fd, F_SETFL, current & ~O_NONBLOCK);
        }
    }
    // QFile must not truncate again or reposition: the descriptor is already as asked.
    QIODevice::OpenMode qtMode = mode & ~QIODevice::Truncate;
    if (!file.open(fd, qtMode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

DataRun nextDataRun(QFile& file, qint64 offset, qint64 size) {
    const int fd = file.handle();
    if (fd < 0 || offset >= size) {
        return {std::min(offset, size), size};
    }
    const off_t data = ::lseek(fd, offset, SEEK_DATA);
    if (data < 0) {
        // ENXIO: nothing but a hole up to the end; anything else: no answer, read it all.
        return errno == ENXIO ? DataRun{size, size} : DataRun{offset, size};
    }
    const off_t hole = ::lseek(fd, data, SEEK_HOLE);
    return {std::min<qint64>(data, size), hole < 0 ? size : std::min<qint64>(hole, size)};
}

UniqueFd openRegularFileForReading(const QByteArray& path) {
    if (path.isEmpty() || path.contains('\0')) {
        errno = ENOENT;
        return {};
    }
    // O_NONBLOCK keeps a FIFO from waiting for a writer; it is refused below anyway.
    UniqueFd fd;
    do {
        fd.reset(
            ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    } while (!fd && errno == EINTR);
    if (!fd) {
        return {};
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return {};
    }
    if (!S_ISREG(st.st_mode) || isKernelFile(fd.get())) {
        errno = EINVAL;
        return {};
    }
    const int current = ::fcntl(fd.get(), F_GETFL);
    if (current >= 0) {
        ::fcntl(fd.get(), F_SETFL, current & ~O_NONBLOCK);
    }
    return fd;
}

bool isKernelFile(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) {
        return false;
    }
    switch (static_cast<unsigned long>(fs.f_type)) {
        case PROC_SUPER_MAGIC:
        case SYSFS_MAGIC:
        case DEBUGFS_MAGIC:
        case TRACEFS_MAGIC:
        case SECURITYFS_MAGIC:
        case 0x62656570:  // configfs
        case CGROUP_SUPER_MAGIC:
        case CGROUP2_SUPER_MAGIC:
        case BPF_FS_MAGIC:
            return true;
        default:
            return false;
    }
}

UniqueFd openFileToLookAt(const QByteArray& path, QString* reason) {
    const auto fail = [reason](const QString& text) {
        if (reason) {
            *reason = text;
        }
        return UniqueFd();
    };
    if (reason) {
        reason->clear();
    }
    if (path.isEmpty() || path.contains('\0')) {
        errno = ENOENT;
        return {};
    }
    UniqueFd fd;
    do {
        fd.reset(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    } while (!fd && errno == EINTR);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) {
        return {};
    }
    if (S_ISDIR(st.st_mode)) {
        return fail(QStringLiteral("it is a folder"));
    }
    if (!S_ISREG(st.st_mode)) {
        return fail(QStringLiteral("it is not a regular file"));
    }
    if (isKernelFile(fd.get())) {
        return fail(QStringLiteral("it is a file of the kernel, not of a disk"));
    }
    const int current = ::fcntl(fd.get(), F_GETFL);
    if (current >= 0) {
        ::fcntl(fd.get(), F_SETFL, current & ~O_NONBLOCK);
    }
    return fd;
}

bool openFileToLookAt(QFile& file, const QByteArray& path, QString* reason,
                      QIODevice::OpenMode mode) {
    if (file.isOpen()) {
        return false;
    }
    UniqueFd fd = openFileToLookAt(path, reason);
    if (!fd) {
        return false;
    }
    if (!file.open(fd.get(), mode, QFileDevice::AutoCloseHandle)) {
        return false;
    }
    fd.release();
    return true;
}

}  // namespace dw::platform
