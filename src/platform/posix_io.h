#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <sys/types.h>

#include <ctime>
#include <utility>

// Small POSIX plumbing shared by the platform layer and the engines: an owning file
// descriptor, complete writes, and the system's text for an error number.
namespace dw::platform {

// Owns one file descriptor and closes it when it goes (or is reset). Move-only; an
// empty one holds -1. Closing ignores the result: callers that must know whether the
// data reached the disk call close() themselves and check it.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    explicit operator bool() const { return valid(); }

    // Gives up ownership: returns the descriptor and holds -1.
    int release() { return std::exchange(fd_, -1); }
    // Closes what it holds (if anything) and takes `fd`.
    void reset(int fd = -1);
    // Closes what it holds and returns close()'s result (0 when it held nothing), with
    // errno set on failure; holds -1 afterwards.
    int close();

private:
    int fd_ = -1;
};

// Writes all `length` bytes of `data` to `fd`, going on after short writes and EINTR.
// With `offset` >= 0 the bytes go there (pwrite; the file position stays), else at the
// file position. Returns false with errno set when a write fails (or writes nothing).
bool writeAll(int fd, const char* data, qint64 length, qint64 offset = -1);
bool writeAll(int fd, const QByteArray& data);

// The system's text for the error number `err` ("No such file or directory").
QString errnoText(int err);

// Sets the permission bits (fchmod) or the access and modification times (futimens) of
// the open file `fd`: 0, or the error number of the failure. Some volumes cannot keep
// them at all (FAT through FUSE gives ENOSYS, others EPERM or EOPNOTSUPP).
int setFileMode(int fd, mode_t mode);
int setFileTimes(int fd, const struct timespec times[2]);

// For tests: from now on setFileMode and setFileTimes fail with `error` without asking
// the system, as on a volume that cannot keep modes or times; 0 ends it. Process-wide.
void failAttributeChanges(int error);

}  // namespace dw::platform
