#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

#include "platform/file_use.h"
#include "platform/posix_io.h"

namespace dw::platform {

// One regular file opened to read its content, for proving files equal byte by byte.
//
// open() reaches the file without following a symbolic link anywhere on its path (one
// openat2 call with RESOLVE_NO_SYMLINKS where the kernel has it, else the last component
// opened with O_NOFOLLOW) and refuses anything that is not a regular file, so a FIFO
// never blocks and a device is never read. read() returns the bytes as a plain read
// would, but the holes of a sparse file (where the file system tells them, through
// SEEK_DATA and SEEK_HOLE, asked for files of more than 64 KiB) are given as zeros
// without being read, and said so: reading a disk image of many gigabytes of holes costs
// almost nothing.
//
// Not shared between threads; each thread opens its own files.
class ContentFile {
public:
    // What fstat says of the open file: its identity and the stamps that change when it
    // is written.
    struct Stamp {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;  // nanoseconds since the epoch
        qint64 changedNs = 0;   // inode change time, nanoseconds since the epoch

        // The same file with the same content as far as the stamps tell.
        bool operator==(const Stamp&) const = default;
    };

    ContentFile() = default;
    ContentFile(const ContentFile&) = delete;
    ContentFile& operator=(const ContentFile&) = delete;

    // Opens the file at the absolute native `path` for reading, closing whatever was
    // open, without changing its access date where the system allows it (O_NOATIME). Returns false,
    // with the reason in `reason` (the system's text, or "it is not a regular file", or "a symbolic
    // link is on its path"), when it cannot.
    bool open(const QByteArray& path, QString* reason = nullptr);
    void close();
    bool isOpen() const { return fd_.valid(); }

    // The open file's stamps now; nullopt when fstat fails.
    std::optional<Stamp> stamp() const;
    // Whether some program has the open file open for writing or mapped writable
    // (writersOf): its bytes may change without its stamps telling. Unknown when no file
    // is open.
    FileUse use() const;
    // Its stamps as open() found them.
    const Stamp& openedStamp() const { return opened_; }

    // Where the file's first byte lies on its disk, as FIEMAP reports it: for reading
    // many files in the order of their place on the disk. nullopt where the file system
    // does not tell, or the file has no data on the disk (empty, or all holes).
    std::optional<quint64> physicalOffset() const;

    // Reads up to `length` bytes at `offset` into `buffer`. Returns the bytes given
    // (fewer than `length` only at the end of the file, 0 at or beyond it), or -1 with
    // the reason in `reason` when reading fails. `allZero`, when given, is set when the
    // whole span given lay in a hole (its bytes are zeros that were not read); with
    // `allZero` given and `fillHoles` false such a span is not even written into
    // `buffer` (its zeros are left to the caller), which costs nothing however long.
    qint64 read(qint64 offset, char* buffer, qint64 length, bool* allZero = nullptr,
                QString* reason = nullptr, bool fillHoles = true);

private:
    UniqueFd fd_;
    Stamp opened_;
    qint64 size_ = 0;
    // Asked at `askedAt_`, the file system said the next data begins at `dataAt_` and the
    // hole after it at `holeAt_`; asked again when a read goes before or past that.
    qint64 askedAt_ = 0;
    qint64 dataAt_ = -1;
    qint64 holeAt_ = -1;
    bool seekWorks_ = true;
};

}  // namespace dw::platform
