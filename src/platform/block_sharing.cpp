#include "platform/block_sharing.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace dw::platform {

namespace {

// btrfs caps each call at 16 MiB; asking for more only makes it answer with less.
constexpr qint64 kChunk = 16 * 1024 * 1024;

ShareCode codeOfError(int error) {
    switch (error) {
        case EOPNOTSUPP:
        case EINVAL:
        case ENOTTY:
            return ShareCode::Unsupported;
        case EXDEV:
            return ShareCode::OtherVolume;
        default:
            return ShareCode::Refused;
    }
}

ShareOutcome failure(ShareCode code, int error, qint64 bytes) {
    return ShareOutcome{code, error, bytes};
}

}  // namespace

ShareOutcome shareBlocks(int twinFd, int fileFd) {
    struct stat twin {};
    struct stat file {};
    if (::fstat(twinFd, &twin) != 0 || ::fstat(fileFd, &file) != 0) {
        return failure(ShareCode::Refused, errno, 0);
    }
    if (!S_ISREG(twin.st_mode) || !S_ISREG(file.st_mode)) {
        return failure(ShareCode::NotRegular, 0, 0);
    }
    if (twin.st_dev != file.st_dev) {
        return failure(ShareCode::OtherVolume, EXDEV, 0);
    }
    if (twin.st_ino == file.st_ino) {
        return failure(ShareCode::SameFile, 0, 0);
    }
    if (twin.st_size != file.st_size) {
        return failure(ShareCode::Differs, 0, 0);
    }
    // struct file_dedupe_range ends in a flexible array: room for one destination.
    constexpr size_t kBytes = sizeof(file_dedupe_range) + sizeof(file_dedupe_range_info);
    alignas(file_dedupe_range) std::array<unsigned char, kBytes> buffer{};
    auto* range = reinterpret_cast<file_dedupe_range*>(buffer.data());
    const qint64 size = qint64(file.st_size);
    qint64 offset = 0;
    while (offset < size) {
        buffer.fill(0);
        const qint64 length = std::min(kChunk, size - offset);
        range->src_offset = quint64(offset);
        range->src_length = quint64(length);
        range->dest_count = 1;
        range->info[0].dest_fd = fileFd;
        range->info[0].dest_offset = quint64(offset);
        if (::ioctl(twinFd, FIDEDUPERANGE, range) != 0) {
            const int error = errno;
            return failure(codeOfError(error), error, offset);
        }
        const file_dedupe_range_info& info = range->info[0];
        if (info.status == FILE_DEDUPE_RANGE_DIFFERS) {
            return failure(ShareCode::Differs, 0, offset);
        }
        if (info.status < 0) {
            return failure(codeOfError(-info.status), -info.status, offset);
        }
        // A kernel may share less than asked; none at all would loop for ever.
        if (info.bytes_deduped == 0) {
            return failure(ShareCode::Refused, EAGAIN, offset);
        }
        offset += qint64(info.bytes_deduped);
    }
    return ShareOutcome{ShareCode::None, 0, size};
}

}  // namespace dw::platform
