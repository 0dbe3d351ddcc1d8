#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

namespace dw {

// One entry of an archive, as its central directory records it.
struct ArchiveEntry {
    QByteArray name;  // the stored name, bytes as in the archive ("home/ann/a.tmp")
    qint64 size = 0;  // uncompressed bytes
    qint64 compressedSize = 0;
    bool encrypted = false;
    bool isFolder = false;   // a folder entry (name ending in "/", or a folder's mode)
    bool isLink = false;     // a symbolic link (Unix mode)
    bool isSpecial = false;  // a device, FIFO or socket (Unix mode)
    // Permission bits (07777) when the archive records a Unix mode; -1 when it records
    // none (archives from other systems): the restore then uses the usual default.
    int mode = -1;
    bool readOnly = false;  // the DOS read-only bit
    // Modification time in seconds since 1970: exact from the "UT" extra field when
    // present, else the entry's DOS time read as local time.
    qint64 mtime = 0;
    // The owner from the "ux" extra field, when present.
    bool hasOwner = false;
    quint32 uid = 0;
    quint32 gid = 0;

    // The name as display text (bytes that are not UTF-8 shown as the file name
    // decoding does).
    QString displayName() const;
};

// Why reading an entry failed.
struct ArchiveReadError {
    QString text;          // the reason, as the library or the system words it
    bool library = false;  // the ZIP library's own failure (bad data, CRC, method,
                           // password), not an error of the operating system
    bool wrongPassword = false;
    bool needsPassword = false;
};

class ArchiveEntryStream;

// An archive opened for reading: its entries, its comment and the data of each entry.
// Never changes the file. Not copyable; single-threaded.
class ArchiveReader {
public:
    ArchiveReader();
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Opens the archive at `path` (native bytes), closing any open before, and reads
    // its entries and comment. Returns false, with error() set and nothing open, when
    // the file cannot be read or is not a consistent ZIP archive.
    bool open(const QByteArray& path);
    void close();
    bool isOpen() const;

    const QByteArray& path() const;
    const QString& error() const;

    // The entries in archive order; empty when nothing is open.
    const QList<ArchiveEntry>& entries() const;
    // The archive comment as text (UTF-8, or the old PC code page when it is not).
    QString comment() const;

    // Opens entry `index` for reading its uncompressed data; `password` (may be null)
    // for encrypted entries. Returns null, with `error` filled, when it cannot: out of
    // range, encrypted and no or a wrong password (needsPassword / wrongPassword set),
    // an unsupported method, a damaged entry.
    std::unique_ptr<ArchiveEntryStream> openEntry(qsizetype index, const QByteArray* password,
                                                  ArchiveReadError* error) const;

    struct Impl;

private:
    std::unique_ptr<Impl> d_;
};

// The data of one entry, read in order. Owned by the caller; must not outlive the
// reader it came from.
class ArchiveEntryStream {
public:
    ~ArchiveEntryStream();
    ArchiveEntryStream(const ArchiveEntryStream&) = delete;
    ArchiveEntryStream& operator=(const ArchiveEntryStream&) = delete;

    // Reads up to `length` bytes into `data`: the count read, 0 at the end (after the
    // CRC was checked), -1 on failure with error() filled (a CRC mismatch included).
    qint64 read(char* data, qint64 length);
    const ArchiveReadError& error() const { return error_; }

private:
    friend class ArchiveReader;
    explicit ArchiveEntryStream(void* file) : file_(file) {}
    void* file_;
    ArchiveReadError error_;
};

}  // namespace dw
