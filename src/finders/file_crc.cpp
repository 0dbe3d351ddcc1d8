#include "finders/file_crc.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "platform/native_file.h"

namespace dw {

std::optional<quint32> FileCrc(const QByteArray& path) {
    const platform::UniqueFd fd = platform::openRegularFileForReading(path);
    if (!fd) {
        return std::nullopt;
    }
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    // Large reads keep the system calls few; the blocks are cut from them at their fixed
    // offsets, so the value does not depend on how much one read returns.
    constexpr qint64 kBuffer = 1 << 20;
    static_assert(kBuffer % kFileCrcBlock == 0);
    const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(kBuffer);
    const uLong empty = ::crc32(0L, Z_NULL, 0);
    quint32 sum = 0;
    qint64 filled = 0;
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer.get() + filled, size_t(kBuffer - filled));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        filled += got;
        const bool atEnd = got == 0;
        qint64 whole = atEnd ? filled : filled - filled % kFileCrcBlock;
        for (qint64 at = 0; at < whole; at += kFileCrcBlock) {
            const qint64 n = std::min(kFileCrcBlock, whole - at);
            sum += quint32(::crc32(empty, buffer.get() + at, uInt(n)));
        }
        if (atEnd) {
            return sum;
        }
        if (whole > 0 && whole < filled) {
            std::copy(buffer.get() + whole, buffer.get() + filled, buffer.get());
        }
        filled -= whole;
    }
}

QString FileCrcText(std::optional<quint32> value) {
    if (!value) {
        return QStringLiteral("unreadable");
    }
    return QStringLiteral("%1").arg(*value, 8, 16, QLatin1Char('0')).toUpper();
}

QString CrcFieldText(std::optional<quint32> mine, std::optional<quint32> other) {
    if (!mine) {
        return QStringLiteral("unreadable");
    }
    const QString value = QStringLiteral("%1").arg(*mine, 8, 16).toUpper();
    // Nothing can be said of contents that could not be read.
    if (!other) {
        return value;
    }
    return value + (*mine == *other ? QStringLiteral(" file contents are identical")
                                    : QStringLiteral(" file contents differ"));
}

}  // namespace dw
