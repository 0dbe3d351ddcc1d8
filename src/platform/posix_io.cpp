#include "platform/posix_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace dw::platform {

void UniqueFd::reset(int fd) {
    if (fd_ >= 0 && fd_ != fd) {
        ::close(fd_);
    }
    fd_ = fd;
}

int UniqueFd::close() {
    if (fd_ < 0) {
        return 0;
    }
    // The descriptor is gone whatever close() answers; retrying could close another.
    return ::close(release());
}

bool writeAll(int fd, const char* data, qint64 length, qint64 offset) {
    while (length > 0) {
        const ssize_t n = offset >= 0 ? ::pwrite(fd, data, size_t(length), offset)
                                      : ::write(fd, data, size_t(length));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        data += n;
        length -= n;
        if (offset >= 0) {
            offset += n;
        }
    }
    return true;
}

bool writeAll(int fd, const QByteArray& data) {
    return writeAll(fd, data.constData(), data.size());
}

namespace {

std::atomic<int> attributeFault{0};

}  // namespace

int setFileMode(int fd, mode_t mode) {
    if (const int fault = attributeFault.load()) {
        return fault;
    }
    return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

int setFileTimes(int fd, const struct timespec times[2]) {
    if (const int fault = attributeFault.load()) {
        return fault;
    }
    return ::futimens(fd, times) == 0 ? 0 : errno;
}

void failAttributeChanges(int error) {
    attributeFault.store(error);
}

QString errnoText(int err) {
    // strerror_r (GNU form) leaves errno alone and is safe from any thread.
    char buffer[256];
    return QString::fromLocal8Bit(::strerror_r(err, buffer, sizeof buffer));
}

}  // namespace dw::platform
