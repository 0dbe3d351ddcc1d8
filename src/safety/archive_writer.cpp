#include "safety/archive_writer.h"

#include <QFile>
#include <QHash>
#include <QSet>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/paths.h"
#include "platform/posix_io.h"
#include "safety/archive_name.h"

namespace dw {

namespace {

// Large enough that most files are read in one call and a big file's progress moves
// in visible steps; the whole of a file this size stays in memory, which lets a small
// file that does not shrink be stored from memory instead of being read again.
constexpr qint64 kChunk = 256 * 1024;
// Spool writes are gathered into blocks of this size.
constexpr qint64 kSpoolBlock = 1024 * 1024;

// Extra fields of the Info-ZIP family that other tools read: exact times and owners.
constexpr zip_uint16_t kExtraTime = 0x5455;   // "UT"
constexpr zip_uint16_t kExtraOwner = 0x7875;  // "ux"

using platform::UniqueFd;

// A temporary file a commit leaves only when it is killed: older than this, nothing is
// writing it any more.
constexpr std::time_t kStaleTemporarySeconds = 10 * 60;

QString shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

QString libzipError(zip_error_t* error) {
    return QString::fromLocal8Bit(zip_error_strerror(error));
}

QString zlibError(const z_stream& z, int code) {
    return QStringLiteral("Cannot compress the file: %1")
        .arg(QString::fromLatin1(z.msg ? z.msg : zError(code)));
}

QString libzipOpenError(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = libzipError(&error);
    zip_error_fini(&error);
    return text;
}

// What makes a file the one that was read: the same inode, size and modification time.
struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    qint64 size = 0;
    qint64 mtimeSec = 0;
    qint64 mtimeNsec = 0;

    static Identity of(const struct stat& st) {
        return {st.st_dev, st.st_ino, static_cast<qint64>(st.st_size), st.st_mtim.tv_sec,
                st.st_mtim.tv_nsec};
    }
    bool operator==(const Identity&) const = default;
};

// Reads until `length` bytes or the end of the file; -1 with errno on failure.
qint64 readFull(int fd, char* data, qint64 length) {
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::read(fd, data + done, static_cast<size_t>(length - done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += n;
    }
    return done;
}

// 0 when `path` is flushed to the disk, else the error number.
int syncPath(const QByteArray& path, int flags) {
    UniqueFd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC | flags));
    if (!fd) {
        return errno;
    }
    return ::fsync(fd.get()) == 0 ? 0 : errno;
}

// Opens the original at `path` for reading: only a regular file, never through a link,
// and only when the file opened is the one looked at (a device or FIFO is never opened).
UniqueFd openByPath(const QByteArray& path, QString* reason) {
    struct stat looked;
    if (::lstat(path.constData(), &looked) != 0) {
        *reason = platform::errnoText(errno);
        return UniqueFd();
    }
    if (S_ISLNK(looked.st_mode)) {
        *reason = QStringLiteral("It is a symbolic link; links are not archived");
        return UniqueFd();
    }
    if (!S_ISREG(looked.st_mode)) {
        *reason = QStringLiteral("It is not a regular file");
        return UniqueFd();
    }
    UniqueFd fd(
        ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        const int err = errno;
        *reason = err == ELOOP ? QStringLiteral("It is a symbolic link; links are not archived")
                               : platform::errnoText(err);
        return UniqueFd();
    }
    struct stat opened;
    if (::fstat(fd.get(), &opened) != 0 || opened.st_dev != looked.st_dev ||
        opened.st_ino != looked.st_ino) {
        *reason = QStringLiteral("The file changed before it was archived");
        return UniqueFd();
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    }
    return fd;
}

// True for the name libzip gives the temporary file of an archive of ours while it is
// written: "Drive-...zip." followed by six letters or digits.
bool isTemporaryArchiveName(const QByteArray& name) {
    constexpr qsizetype kSuffix = 6;
    if (!name.startsWith("Drive-") || name.size() < 6 + 5 + kSuffix) {
        return false;
    }
    const qsizetype dot = name.size() - kSuffix - 1;
    if (name.mid(dot - 4, 5) != ".zip.") {
        return false;
    }
    for (qsizetype i = dot + 1; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

// Removes the temporary archive files a killed commit left in `folder` (see the header).
void removeStaleTemporaries(const QByteArray& folder) {
    UniqueFd fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        return;
    }
    DIR* dir = ::fdopendir(fd.get());
    if (!dir) {
        return;
    }
    const int dirFd = fd.release();
    const std::time_t now = std::time(nullptr);
    QList<QByteArray> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!isTemporaryArchiveName(name)) {
            continue;
        }
        struct stat st;
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid() && now - st.st_mtim.tv_sec >= kStaleTemporarySeconds) {
            stale.append(name);
        }
    }
    for (const QByteArray& name : stale) {
        ::unlinkat(dirFd, name.constData(), 0);
    }
    ::closedir(dir);
}

void putLe16(std::vector<zip_uint8_t>& out, quint32 v) {
    out.push_back(static_cast<zip_uint8_t>(v & 0xff));
    out.push_back(static_cast<zip_uint8_t>((v >> 8) & 0xff));
}

void putLe32(std::vector<zip_uint8_t>& out, quint32 v) {
    putLe16(out, v & 0xffff);
    putLe16(out, v >> 16);
}

QByteArray folderOf(const QByteArray& path) {
    return platform::folderOfPath(path);
}

}  // namespace

// A pending file: what was read, where its data waits, and the state of the source
// libzip reads it through at the commit.
struct PendingEntry {
    ArchiveWriter::Impl* owner = nullptr;
    ArchiveFile file;
    quint32 crc = 0;
    bool inSpool = true;  // false: a large stored file, read again from its place
    qint64 spoolOffset = 0;
    qint64 spoolLength = 0;
    Identity identity;
    mode_t mode = 0;
    time_t mtime = 0;
    zip_int64_t index = -1;
    bool dropped = false;  // left out of the commit

    UniqueFd fd;
    qint64 position = 0;
    zip_error_t error{};
    bool failed = false;
    QString failure;

    PendingEntry() { zip_error_init(&error); }
    ~PendingEntry() {
        closeSource();
        zip_error_fini(&error);
    }
    PendingEntry(const PendingEntry&) = delete;
    PendingEntry& operator=(const PendingEntry&) = delete;

    void closeSource() { fd.reset(); }
};

struct ArchiveWriter::Impl {
    QByteArray path;
    QByteArray folder;
    QString error;
    QString comment;
    ArchiveWriter::Opener opener;
    zip_t* za = nullptr;
    bool opened = false;
    bool broken = false;

    // The spool: compressed data of the pending batch, in an unnamed file beside the
    // archive (same file system, so a full disk shows up here and not halfway through
    // a commit).
    UniqueFd spool;
    qint64 spoolBase = 0;  // spool offset of the first byte in spoolBuffer
    qint64 spoolHigh = 0;  // how far the spool file may reach (written or tried)
    std::vector<char> spoolBuffer;

    z_stream z{};
    bool zReady = false;
    std::vector<char> in;
    std::vector<char> out;

    std::vector<std::unique_ptr<PendingEntry>> pending;
    qint64 pendingBytes = 0;
    // The stored names in the archive and the batch, as raw bytes. libzip's own lookup
    // converts names that are not UTF-8 from the old PC code page first, so it cannot
    // find such names by their bytes.
    QSet<QByteArray> names;
    bool namesRead = false;
    qsizetype entries = 0;
    qint64 size = 0;
    bool haveIdentity = false;
    dev_t archiveDevice = 0;
    ino_t archiveInode = 0;

    std::function<void(int)> commitProgress;

    ~Impl() {
        // The archive goes first: discarding it may still call the entries' sources.
        if (za) {
            zip_discard(za);
        }
        pending.clear();
        if (zReady) {
            deflateEnd(&z);
        }
    }

    qint64 spoolEnd() const { return spoolBase + static_cast<qint64>(spoolBuffer.size()); }

    bool spoolFlush() {
        if (spoolBuffer.empty()) {
            return true;
        }
        spoolHigh = qMax(spoolHigh, spoolEnd());
        if (!platform::writeAll(spool.get(), spoolBuffer.data(),
                                static_cast<qint64>(spoolBuffer.size()), spoolBase)) {
            return false;
        }
        spoolBase += static_cast<qint64>(spoolBuffer.size());
        spoolBuffer.clear();
        return true;
    }

    bool spoolAppend(const char* data, qint64 length) {
        if (static_cast<qint64>(spoolBuffer.size()) + length > kSpoolBlock && !spoolFlush()) {
            return false;
        }
        if (length >= kSpoolBlock) {
            spoolHigh = qMax(spoolHigh, spoolBase + length);
            if (!platform::writeAll(spool.get(), data, length, spoolBase)) {
                return false;
            }
            spoolBase += length;
            return true;
        }
        spoolBuffer.insert(spoolBuffer.end(), data, data + length);
        return true;
    }

    void spoolRewind(qint64 offset) {
        if (offset >= spoolBase) {
            spoolBuffer.resize(static_cast<size_t>(offset - spoolBase));
        } else {
            spoolBuffer.clear();
            spoolBase = offset;
        }
        // Give back the space of what was written beyond (a failed write may have
        // written part of a block): on a full disk the next file and the commit need it.
        if (spoolHigh > spoolBase) {
            if (::ftruncate(spool.get(), spoolBase) == 0) {
                spoolHigh = spoolBase;
            }
        }
    }

    void spoolReset() {
        spoolBuffer.clear();
        spoolBase = 0;
        if (::ftruncate(spool.get(), 0) == 0) {
            spoolHigh = 0;
        }
    }

    bool makeSpool() {
        spool.reset(::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
        if (spool) {
            return true;
        }
        // File systems without unnamed files: a named one, unlinked at once.
        QByteArray pattern = platform::joinPath(folder, ".diskwell-spool-XXXXXX");
        spool.reset(::mkostemp(pattern.data(), O_CLOEXEC));
        if (!spool) {
            return false;
        }
        ::unlink(pattern.constData());
        return true;
    }

    UniqueFd openOriginal(const ArchiveFile& file, QString* reason) const {
        return opener ? opener(file.path, file.tag, reason) : openByPath(file.path, reason);
    }

    void readArchiveFacts() {
        struct stat st;
        if (::stat(path.constData(), &st) == 0) {
            haveIdentity = true;
            archiveDevice = st.st_dev;
            archiveInode = st.st_ino;
            size = static_cast<qint64>(st.st_size);
        } else {
            haveIdentity = false;
            size = 0;
        }
    }

    // Opens `za` for the next batch, after open() or a commit.
    bool reopen(bool check) {
        if (za) {
            return true;
        }
        struct stat st;
        const bool exists = ::lstat(path.constData(), &st) == 0;
        if (exists && !S_ISREG(st.st_mode)) {
            error = QStringLiteral("Cannot open the archive %1: it is not a regular file")
                        .arg(shown(path));
            return false;
        }
        int code = 0;
        const int flags = exists ? (check ? ZIP_CHECKCONS : 0) : ZIP_CREATE | ZIP_EXCL;
        za = zip_open(path.constData(), flags, &code);
        if (!za) {
            error = QStringLiteral("Cannot open the archive %1: %2")
                        .arg(shown(path), libzipOpenError(code));
            return false;
        }
        const zip_int64_t n = zip_get_num_entries(za, 0);
        entries = n < 0 ? 0 : static_cast<qsizetype>(n);
        if (!namesRead) {
            for (zip_int64_t i = 0; i < n; ++i) {
                if (const char* name =
                        zip_get_name(za, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW)) {
                    names.insert(QByteArray(name));
                }
            }
            namesRead = true;
        }
        readArchiveFacts();
        return true;
    }

    void fail(PendingEntry& e, int code, int sysErr, const QString& why) {
        zip_error_set(&e.error, code, sysErr);
        e.failed = true;
        e.failure = why;
    }

    static zip_int64_t source(void* userdata, void* data, zip_uint64_t length,
                              zip_source_cmd_t command);

    // What reading one original into the spool came to.
    struct Read {
        enum class Outcome { Done, Failed, Stopped } outcome = Outcome::Done;
        QString failure;
        quint32 crc = 0;
        qint64 total = 0;
        int chunksWithData = 0;
    };

    bool finishEntryFields(PendingEntry& e, const struct stat& st, QString* why);
    ArchiveWriter::AddStatus add(const QByteArray& path, qint64 tag,
                                 const std::function<bool(int)>& progress, QString* reason);
    Read compressInto(int fd, const Identity& before, const std::function<bool(int)>& progress);
    bool queue(std::unique_ptr<PendingEntry> e, const Read& read, qint64 start,
               const struct stat& st, QString* why);
    ArchiveWriter::CommitResult commit();
    void verify(CommitResult& result);
    zip_t* openForCheck(CommitResult& result);
    QString checkEntry(zip_t* check, zip_int64_t index, PendingEntry& e, qint64 toRead,
                       qint64 readSoFar, int& lastPercent);
    QString checkOriginal(const PendingEntry& e) const;
};

zip_int64_t ArchiveWriter::Impl::source(void* userdata, void* data, zip_uint64_t length,
                                        zip_source_cmd_t command) {
    auto* e = static_cast<PendingEntry*>(userdata);
    switch (command) {
        case ZIP_SOURCE_OPEN: {
            e->position = 0;
            if (e->inSpool) {
                return 0;
            }
            e->closeSource();
            QString why;
            e->fd = e->owner->openOriginal(e->file, &why);
            if (!e->fd) {
                e->owner->fail(*e, ZIP_ER_OPEN, 0, why);
                return -1;
            }
            struct stat st;
            if (::fstat(e->fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
                !(Identity::of(st) == e->identity)) {
                e->closeSource();
                e->owner->fail(*e, ZIP_ER_CHANGED, 0,
                               QStringLiteral("The file changed before it was archived"));
                return -1;
            }
            return 0;
        }
        case ZIP_SOURCE_READ: {
            const qint64 total = e->inSpool ? e->spoolLength : e->file.size;
            const qint64 want = qMin<qint64>(static_cast<qint64>(length), total - e->position);
            if (want <= 0) {
                return 0;
            }
            ssize_t n;
            do {
                n = e->inSpool ? ::pread(e->owner->spool.get(), data, static_cast<size_t>(want),
                                         e->spoolOffset + e->position)
                               : ::read(e->fd.get(), data, static_cast<size_t>(want));
            } while (n < 0 && errno == EINTR);
            if (n < 0) {
                const int err = errno;
                e->owner->fail(*e, ZIP_ER_READ, err, platform::errnoText(err));
                return -1;
            }
            if (n == 0) {
                e->owner->fail(*e, ZIP_ER_CHANGED, 0,
                               QStringLiteral("The file changed before it was archived"));
                return -1;
            }
            e->position += n;
            return n;
        }
        case ZIP_SOURCE_CLOSE:
            e->closeSource();
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_MTIME;
            st->size = static_cast<zip_uint64_t>(e->file.size);
            st->mtime = e->mtime;
            if (e->file.deflated) {
                st->valid |= ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC;
                st->comp_method = ZIP_CM_DEFLATE;
                st->comp_size = static_cast<zip_uint64_t>(e->spoolLength);
                st->crc = e->crc;
            } else {
                st->comp_method = ZIP_CM_STORE;
            }
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&e->error, data, length);
        case ZIP_SOURCE_FREE:
            // The entry belongs to the writer, which outlives every source.
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                  ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&e->error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
    }
}

bool ArchiveWriter::Impl::finishEntryFields(PendingEntry& e, const struct stat& st, QString* why) {
    const auto index = static_cast<zip_uint64_t>(e.index);
    // Stored entries must say so: libzip would otherwise deflate them itself.
    if (!e.file.deflated && zip_set_file_compression(za, index, ZIP_CM_STORE, 0) != 0) {
        *why = libzipError(zip_get_error(za));
        return false;
    }
    // Unix mode in the high 16 bits; the low byte keeps the DOS read-only bit, which
    // tools on other systems honour.
    const zip_uint32_t attributes = (static_cast<zip_uint32_t>(st.st_mode & 0xffff) << 16) |
                                    ((st.st_mode & S_IWUSR) ? 0u : 0x01u);
    if (zip_file_set_external_attributes(za, index, 0, ZIP_OPSYS_UNIX, attributes) != 0) {
        *why = libzipError(zip_get_error(za));
        return false;
    }

    const qint64 mtime = st.st_mtim.tv_sec;
    if (mtime >= INT_MIN && mtime <= INT_MAX) {
        std::vector<zip_uint8_t> ut{0x01};  // flags: modification time present
        putLe32(ut, static_cast<quint32>(static_cast<qint32>(mtime)));
        if (zip_file_extra_field_set(za, index, kExtraTime, ZIP_EXTRA_FIELD_NEW, ut.data(),
                                     static_cast<zip_uint16_t>(ut.size()),
                                     ZIP_FL_LOCAL | ZIP_FL_CENTRAL) != 0) {
            *why = libzipError(zip_get_error(za));
            return false;
        }
    }
    std::vector<zip_uint8_t> ux{0x01, 4};  // version 1, 4-byte ids
    putLe32(ux, static_cast<quint32>(st.st_uid));
    ux.push_back(4);
    putLe32(ux, static_cast<quint32>(st.st_gid));
    if (zip_file_extra_field_set(za, index, kExtraOwner, ZIP_EXTRA_FIELD_NEW, ux.data(),
                                 static_cast<zip_uint16_t>(ux.size()),
                                 ZIP_FL_LOCAL | ZIP_FL_CENTRAL) != 0) {
        *why = libzipError(zip_get_error(za));
        return false;
    }
    return true;
}

ArchiveWriter::AddStatus ArchiveWriter::Impl::add(const QByteArray& filePath, qint64 tag,
                                                  const std::function<bool(int)>& progress,
                                                  QString* reason) {
    auto failWith = [&](const QString& why) {
        if (reason) {
            *reason = why;
        }
        return AddStatus::Failed;
    };
    if (broken || !opened) {
        return failWith(error.isEmpty() ? QStringLiteral("The archive is not open") : error);
    }
    if (!reopen(false)) {
        broken = true;
        return failWith(error);
    }
    const QByteArray name = storedEntryName(filePath);
    if (name.isEmpty()) {
        return failWith(QStringLiteral("It is not a full path to a file"));
    }
    if (names.contains(name)) {
        return failWith(
            QStringLiteral("An entry of that name is already in the archive %1").arg(shown(path)));
    }

    auto e = std::make_unique<PendingEntry>();
    e->owner = this;
    e->file.path = filePath;
    e->file.entryName = name;
    e->file.tag = tag;
    QString why;
    const UniqueFd fd = openOriginal(e->file, &why);
    if (!fd) {
        return failWith(why);
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) {
        return failWith(platform::errnoText(errno));
    }
    if (!S_ISREG(st.st_mode)) {
        return failWith(QStringLiteral("It is not a regular file"));
    }
    if (haveIdentity && st.st_dev == archiveDevice && st.st_ino == archiveInode) {
        return failWith(QStringLiteral("It is the archive being written"));
    }
    const Identity before = Identity::of(st);

    if (progress && progress(0)) {
        return AddStatus::Stopped;
    }
    const qint64 start = spoolEnd();
    const Read read = compressInto(fd.get(), before, progress);
    if (read.outcome != Read::Outcome::Done) {
        spoolRewind(start);
        if (read.outcome == Read::Outcome::Stopped) {
            return AddStatus::Stopped;
        }
        return failWith(read.failure);
    }
    struct stat after;
    if (::fstat(fd.get(), &after) != 0 || !(Identity::of(after) == before) ||
        read.total != before.size) {
        spoolRewind(start);
        return failWith(QStringLiteral("The file changed while it was being archived"));
    }
    e->file.size = read.total;
    e->crc = read.crc;
    e->identity = before;
    e->mode = st.st_mode;
    e->mtime = st.st_mtim.tv_sec;
    if (!queue(std::move(e), read, start, st, &why)) {
        spoolRewind(start);
        return failWith(why);
    }
    if (progress) {
        progress(100);
    }
    return AddStatus::Added;
}

ArchiveWriter::Impl::Read ArchiveWriter::Impl::compressInto(
    int fd, const Identity& before, const std::function<bool(int)>& progress) {
    Read read;
    auto failed = [&read](const QString& why) {
        read.outcome = Read::Outcome::Failed;
        read.failure = why;
        return read;
    };
    if (const int code = deflateReset(&z); code != Z_OK) {
        return failed(zlibError(z, code));
    }
    read.crc = crc32(0L, Z_NULL, 0);
    int lastPercent = 0;
    bool end = false;
    while (!end) {
        // Exactly the size the file had when opened: a file that grows or shrinks
        // meanwhile is caught here and by the check after reading.
        const qint64 want = qMin<qint64>(kChunk, before.size - read.total);
        const qint64 n = want > 0 ? readFull(fd, in.data(), want) : 0;
        if (n < 0) {
            return failed(platform::errnoText(errno));
        }
        if (n < want) {
            return failed(QStringLiteral("The file changed while it was being archived"));
        }
        end = read.total + n >= before.size;
        if (n > 0) {
            ++read.chunksWithData;
            read.crc =
                crc32(read.crc, reinterpret_cast<const Bytef*>(in.data()), static_cast<uInt>(n));
            read.total += n;
        }
        z.next_in = reinterpret_cast<Bytef*>(in.data());
        z.avail_in = static_cast<uInt>(n);
        const int flush = end ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = static_cast<uInt>(out.size());
            const int code = deflate(&z, flush);
            // Z_BUF_ERROR only says no progress was possible with this call's buffers.
            if (code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR) {
                return failed(zlibError(z, code));
            }
            const qint64 have = static_cast<qint64>(out.size()) - z.avail_out;
            if (have > 0 && !spoolAppend(out.data(), have)) {
                const int err = errno;
                return failed(QStringLiteral("Cannot write the archive's working data in %1: %2")
                                  .arg(shown(folder), platform::errnoText(err)));
            }
        } while (z.avail_out == 0);
        if (progress && !end && before.size > 0) {
            const int percent = static_cast<int>(qMin<qint64>(99, read.total * 100 / before.size));
            if (percent > lastPercent) {
                lastPercent = percent;
                if (progress(percent)) {
                    read.outcome = Read::Outcome::Stopped;
                    return read;
                }
            }
        }
    }
    return read;
}

bool ArchiveWriter::Impl::queue(std::unique_ptr<PendingEntry> e, const Read& read, qint64 start,
                                const struct stat& st, QString* why) {
    const qint64 compressed = spoolEnd() - start;
    if (compressed < read.total) {
        e->file.deflated = true;
        e->spoolOffset = start;
        e->spoolLength = compressed;
    } else {
        spoolRewind(start);
        e->file.deflated = false;
        if (read.chunksWithData <= 1) {
            // Still in memory: stored from the spool, so the commit reads the spool only.
            if (!spoolAppend(in.data(), read.total)) {
                const int err = errno;
                *why = QStringLiteral("Cannot write the archive's working data in %1: %2")
                           .arg(shown(folder), platform::errnoText(err));
                return false;
            }
            e->spoolOffset = start;
            e->spoolLength = read.total;
        } else {
            e->inSpool = false;
        }
    }

    zip_source_t* src = zip_source_function(za, &Impl::source, e.get());
    if (!src) {
        *why = libzipError(zip_get_error(za));
        return false;
    }
    e->index = zip_file_add(za, e->file.entryName.constData(), src, ZIP_FL_ENC_GUESS);
    if (e->index < 0) {
        *why = libzipError(zip_get_error(za));
        zip_source_free(src);
        return false;
    }
    if (!finishEntryFields(*e, st, why)) {
        // The entry goes again, and its source with it.
        if (zip_delete(za, static_cast<zip_uint64_t>(e->index)) != 0) {
            // The source still points at the entry, which must then outlive the archive;
            // a writer in that state takes nothing more.
            e.release();
            broken = true;
            error = *why;
        }
        return false;
    }
    pendingBytes += e->inSpool ? e->spoolLength : e->file.size;
    names.insert(e->file.entryName);
    pending.push_back(std::move(e));
    return true;
}

ArchiveWriter::CommitResult ArchiveWriter::Impl::commit() {
    CommitResult result;
    if (pending.empty()) {
        return result;
    }
    auto failAll = [&](const QString& why) {
        error = why;
        broken = true;
        if (za) {
            zip_discard(za);
            za = nullptr;
        }
        for (auto& e : pending) {
            if (!e->dropped) {
                e->file.reason = why;
                result.notArchived.append(e->file);
            }
        }
        result.ok = false;
    };

    if (broken || !za) {
        failAll(error.isEmpty() ? QStringLiteral("The archive is not open") : error);
        pending.clear();
        return result;
    }
    if (!spoolFlush()) {
        const int err = errno;
        failAll(QStringLiteral("Cannot write the archive's working data in %1: %2")
                    .arg(shown(folder), platform::errnoText(err)));
        pending.clear();
        return result;
    }
    if (!comment.isEmpty()) {
        const QByteArray text = comment.toUtf8();
        if (text.size() > kMaxArchiveCommentBytes ||
            zip_set_archive_comment(za, text.constData(), static_cast<zip_uint16_t>(text.size())) !=
                0) {
            failAll(QStringLiteral("Cannot write the archive %1: %2")
                        .arg(shown(path), text.size() > kMaxArchiveCommentBytes
                                              ? QStringLiteral("the comment is too long")
                                              : libzipError(zip_get_error(za))));
            pending.clear();
            spoolReset();
            return result;
        }
    }
    if (zip_register_progress_callback_with_state(
            za, 0.01,
            [](zip_t*, double done, void* ud) {
                auto* self = static_cast<Impl*>(ud);
                if (self->commitProgress) {
                    self->commitProgress(static_cast<int>(done * 50));
                }
            },
            nullptr, this) != 0) {
        // Without it the write runs all the same, only without its share of progress.
    }

    for (;;) {
        if (zip_close(za) == 0) {
            za = nullptr;
            break;
        }
        // A source that could not be read fails the whole write, which leaves the
        // archive as it was; drop those files and write the rest.
        bool droppedSome = false;
        for (auto& e : pending) {
            if (e->failed && !e->dropped) {
                e->closeSource();
                if (zip_delete(za, static_cast<zip_uint64_t>(e->index)) != 0) {
                    continue;  // still in: the next close fails again, and all fail then
                }
                names.remove(e->file.entryName);
                e->dropped = true;
                e->file.reason = e->failure;
                result.notArchived.append(e->file);
                droppedSome = true;
            }
        }
        if (!droppedSome) {
            failAll(QStringLiteral("Cannot write the archive %1: %2")
                        .arg(shown(path), libzipError(zip_get_error(za))));
            pending.clear();
            spoolReset();
            return result;
        }
    }

    // The rename is done; make the new archive and its name durable before any
    // original is given up.
    int err = syncPath(path, 0);
    if (err == 0) {
        err = syncPath(folder, O_DIRECTORY);
    }
    if (err != 0) {
        const bool anyLeft =
            std::any_of(pending.begin(), pending.end(), [](const auto& e) { return !e->dropped; });
        if (anyLeft) {
            failAll(QStringLiteral("Cannot write the archive %1: %2")
                        .arg(shown(path), platform::errnoText(err)));
            pending.clear();
            spoolReset();
            return result;
        }
    }
    verify(result);
    pending.clear();
    pendingBytes = 0;
    spoolReset();
    return result;
}

zip_t* ArchiveWriter::Impl::openForCheck(CommitResult& result) {
    int code = 0;
    zip_t* check = zip_open(path.constData(), ZIP_RDONLY, &code);
    if (check) {
        return check;
    }
    const QString why = QStringLiteral("The archive %1 does not read back: %2")
                            .arg(shown(path), libzipOpenError(code));
    error = why;
    broken = true;
    result.ok = false;
    for (auto& e : pending) {
        if (!e->dropped) {
            e->file.reason = why;
            result.notArchived.append(e->file);
        }
    }
    return nullptr;
}

QString ArchiveWriter::Impl::checkEntry(zip_t* check, zip_int64_t index, PendingEntry& e,
                                        qint64 toRead, qint64 readSoFar, int& lastPercent) {
    zip_stat_t st;
    if (index < 0 || zip_stat_index(check, static_cast<zip_uint64_t>(index), 0, &st) != 0) {
        return QStringLiteral("Its entry is missing from the archive");
    }
    if (st.size != static_cast<zip_uint64_t>(e.file.size) || st.crc != e.crc) {
        return QStringLiteral("Its entry in the archive does not match the file");
    }
    zip_file_t* f = zip_fopen_index(check, static_cast<zip_uint64_t>(index), 0);
    if (!f) {
        return QStringLiteral("Its entry in the archive cannot be read: %1")
            .arg(libzipError(zip_get_error(check)));
    }
    // libzip checks the data against the entry's CRC, which was compared with the CRC
    // of the file as read just above.
    QString why;
    qint64 got = 0;
    zip_int64_t r;
    while ((r = zip_fread(f, out.data(), out.size())) > 0) {
        got += r;
        if (commitProgress && toRead > 0) {
            const int percent = 50 + static_cast<int>((readSoFar + got) * 50 / toRead);
            if (percent > lastPercent) {
                lastPercent = percent;
                commitProgress(percent);
            }
        }
    }
    if (r < 0) {
        why = QStringLiteral("Its entry in the archive cannot be read: %1")
                  .arg(libzipError(zip_file_get_error(f)));
    } else if (got != e.file.size) {
        why = QStringLiteral("Its entry in the archive does not match the file");
    }
    if (zip_fclose(f) != 0 && why.isEmpty()) {
        why = QStringLiteral("Its entry in the archive does not match the file");
    }
    return why;
}

QString ArchiveWriter::Impl::checkOriginal(const PendingEntry& e) const {
    QString why;
    const UniqueFd fd = openOriginal(e.file, &why);
    if (!fd) {
        return why.isEmpty() ? QStringLiteral("The file changed while it was being archived") : why;
    }
    struct stat now;
    if (::fstat(fd.get(), &now) != 0 || !(Identity::of(now) == e.identity)) {
        return QStringLiteral("The file changed while it was being archived");
    }
    return QString();
}

void ArchiveWriter::Impl::verify(CommitResult& result) {
    qint64 toRead = 0;
    QHash<QByteArray, zip_int64_t> indexOf;
    for (auto& e : pending) {
        if (!e->dropped) {
            toRead += e->file.size;
            indexOf.insert(e->file.entryName, -1);
        }
    }
    if (indexOf.isEmpty()) {
        readArchiveFacts();
        return;
    }
    zip_t* check = openForCheck(result);
    if (!check) {
        readArchiveFacts();
        return;
    }
    const zip_int64_t n = zip_get_num_entries(check, 0);
    entries = n < 0 ? 0 : static_cast<qsizetype>(n);
    // The batch was appended, so its entries are found from the end.
    qsizetype left = indexOf.size();
    for (zip_int64_t i = n - 1; i >= 0 && left > 0; --i) {
        const char* name = zip_get_name(check, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        if (!name) {
            continue;
        }
        auto it = indexOf.find(QByteArray(name));
        if (it != indexOf.end() && *it < 0) {
            *it = i;
            --left;
        }
    }

    qint64 readSoFar = 0;
    int lastPercent = 50;
    for (auto& e : pending) {
        if (e->dropped) {
            continue;
        }
        QString why = checkEntry(check, indexOf.value(e->file.entryName, -1), *e, toRead, readSoFar,
                                 lastPercent);
        readSoFar += e->file.size;
        if (why.isEmpty()) {
            why = checkOriginal(*e);
        }
        if (why.isEmpty()) {
            result.archived.append(e->file);
        } else {
            e->file.reason = why;
            result.notArchived.append(e->file);
        }
    }
    zip_discard(check);
    readArchiveFacts();
    if (commitProgress) {
        commitProgress(100);
    }
}

ArchiveWriter::ArchiveWriter(const QByteArray& archivePath) : d_(std::make_unique<Impl>()) {
    d_->path = archivePath;
    d_->folder = folderOf(archivePath);
}

ArchiveWriter::~ArchiveWriter() = default;

bool ArchiveWriter::open() {
    Impl& d = *d_;
    if (d.opened) {
        return !d.broken;
    }
    if (d.comment.toUtf8().size() > kMaxArchiveCommentBytes) {
        d.error = QStringLiteral(
                      "Cannot open the archive %1: the comment is longer than the %2 bytes an "
                      "archive comment can hold")
                      .arg(shown(d.path))
                      .arg(kMaxArchiveCommentBytes);
        return false;
    }
    struct stat st;
    if (::stat(d.folder.constData(), &st) != 0) {
        const int err = errno;
        d.error = QStringLiteral("Cannot open the archive %1: %2")
                      .arg(shown(d.path), platform::errnoText(err));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        d.error = QStringLiteral("Cannot open the archive %1: %2")
                      .arg(shown(d.path), platform::errnoText(ENOTDIR));
        return false;
    }
    removeStaleTemporaries(d.folder);
    if (!d.reopen(true)) {
        return false;
    }
    if (!d.makeSpool()) {
        const int err = errno;
        d.error = QStringLiteral("Cannot write the archive %1: %2")
                      .arg(shown(d.path), platform::errnoText(err));
        zip_discard(d.za);
        d.za = nullptr;
        return false;
    }
    if (deflateInit2(&d.z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        d.error = QStringLiteral("Cannot open the archive %1: out of memory").arg(shown(d.path));
        return false;
    }
    d.zReady = true;
    d.in.resize(kChunk);
    d.out.resize(kChunk);
    d.spoolBuffer.reserve(kSpoolBlock);
    d.opened = true;
    d.error.clear();
    return true;
}

void ArchiveWriter::setOpener(Opener opener) {
    d_->opener = std::move(opener);
}

const QByteArray& ArchiveWriter::archivePath() const {
    return d_->path;
}

const QString& ArchiveWriter::error() const {
    return d_->error;
}

void ArchiveWriter::setComment(const QString& comment) {
    d_->comment = comment;
}

ArchiveWriter::AddStatus ArchiveWriter::addFile(const QByteArray& path, qint64 tag,
                                                const std::function<bool(int)>& progress,
                                                QString* reason) {
    return d_->add(path, tag, progress, reason);
}

qsizetype ArchiveWriter::pendingCount() const {
    return static_cast<qsizetype>(d_->pending.size());
}

qint64 ArchiveWriter::pendingArchiveBytes() const {
    return d_->pendingBytes;
}

qsizetype ArchiveWriter::entryCount() const {
    return d_->entries;
}

qint64 ArchiveWriter::archiveSize() const {
    return d_->size;
}

ArchiveWriter::CommitResult ArchiveWriter::commit(const std::function<void(int)>& progress) {
    d_->commitProgress = progress;
    CommitResult result = d_->commit();
    d_->commitProgress = nullptr;
    return result;
}

QList<ArchiveFile> ArchiveWriter::discardPending(const QString& reason) {
    Impl& d = *d_;
    QList<ArchiveFile> files;
    for (auto& e : d.pending) {
        e->file.reason = reason;
        files.append(e->file);
        d.names.remove(e->file.entryName);
    }
    // Abandoning the open archive drops every added entry with it; the next batch
    // opens the archive afresh.
    if (d.za) {
        zip_discard(d.za);
        d.za = nullptr;
    }
    d.pending.clear();
    d.pendingBytes = 0;
    if (d.spool) {
        d.spoolReset();
    }
    return files;
}

}  // namespace dw
