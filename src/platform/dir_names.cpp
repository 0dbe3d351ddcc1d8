#include "platform/dir_names.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace dw::platform {

namespace {

// One system call reads a folder of a few hundred entries; the buffer lives only while
// its listing is open or suspended.
constexpr int kBufferSize = 16 * 1024;

NameType typeOf(unsigned char dType) {
    switch (dType) {
        case DT_DIR:
            return NameType::Folder;
        case DT_REG:
            return NameType::Regular;
        case DT_UNKNOWN:
            return NameType::Unknown;
        default:
            return NameType::Other;
    }
}

}  // namespace

DirNames::DirNames() = default;

DirNames::~DirNames() = default;

DirNames::DirNames(DirNames&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      error_(other.error_),
      buffer_(std::move(other.buffer_)),
      length_(std::exchange(other.length_, 0)),
      offset_(std::exchange(other.offset_, 0)),
      atEnd_(std::exchange(other.atEnd_, true)),
      position_(other.position_) {}

DirNames& DirNames::operator=(DirNames&& other) noexcept {
    if (this != &other) {
        fd_ = std::exchange(other.fd_, -1);
        error_ = other.error_;
        buffer_ = std::move(other.buffer_);
        length_ = std::exchange(other.length_, 0);
        offset_ = std::exchange(other.offset_, 0);
        atEnd_ = std::exchange(other.atEnd_, true);
        position_ = other.position_;
    }
    return *this;
}

bool DirNames::start(int fd, qint64 position) {
    length_ = 0;
    offset_ = 0;
    if (fd < 0 || ::lseek(fd, static_cast<off_t>(position), SEEK_SET) < 0) {
        error_ = fd < 0 ? EBADF : errno;
        fd_ = -1;
        atEnd_ = true;
        return false;
    }
    fd_ = fd;
    error_ = 0;
    atEnd_ = false;
    position_ = position;
    return true;
}

void DirNames::release() {
    buffer_.reset();
    fd_ = -1;
    length_ = 0;
    offset_ = 0;
    atEnd_ = true;
}

bool DirNames::fill() {
    // Allocated at the first read and left uninitialised: a reader opened only to stat
    // its entries or to open its subfolders never pays for a buffer.
    if (!buffer_) {
        buffer_.reset(new char[kBufferSize]);
    }
    for (;;) {
        const ssize_t n = ::getdents64(fd_, buffer_.get(), kBufferSize);
        if (n > 0) {
            length_ = static_cast<int>(n);
            offset_ = 0;
            return true;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        error_ = n == 0 ? 0 : errno;
        atEnd_ = true;
        return false;
    }
}

bool DirNames::next(QByteArray& name, NameType& type) {
    for (;;) {
        if (offset_ >= length_) {
            if (atEnd_ || !fill()) {
                return false;
            }
        }
        const auto* d = reinterpret_cast<const struct dirent64*>(buffer_.get() + offset_);
        offset_ += d->d_reclen;
        position_ = d->d_off;
        const char* n = d->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) {
            continue;
        }
        const size_t length = std::strlen(n);
        name.resize(static_cast<qsizetype>(length));
        std::memcpy(name.data(), n, length);
        type = typeOf(d->d_type);
        return true;
    }
}

}  // namespace dw::platform
