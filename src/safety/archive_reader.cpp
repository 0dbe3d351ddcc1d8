#include "safety/archive_reader.h"

#include <QFile>

#include <sys/stat.h>
#include <zip.h>

namespace dw {

namespace {

constexpr zip_uint16_t kExtraTime = 0x5455;   // "UT"
constexpr zip_uint16_t kExtraOwner = 0x7875;  // "ux"
constexpr zip_uint8_t kOpsysUnix = ZIP_OPSYS_UNIX;
constexpr zip_uint32_t kDosFolder = 0x10;
constexpr zip_uint32_t kDosReadOnly = 0x01;

quint32 le32(const zip_uint8_t* p, int size) {
    quint32 v = 0;
    for (int i = size - 1; i >= 0; --i) {
        v = (v << 8) | p[i];
    }
    return v;
}

ArchiveReadError errorFrom(zip_error_t* error) {
    ArchiveReadError e;
    e.text = QString::fromLocal8Bit(zip_error_strerror(error));
    e.library = zip_error_system_type(error) != ZIP_ET_SYS;
    const int code = zip_error_code_zip(error);
    e.wrongPassword = code == ZIP_ER_WRONGPASSWD;
    e.needsPassword = code == ZIP_ER_NOPASSWD;
    return e;
}

void readExtras(zip_t* za, zip_uint64_t i, ArchiveEntry& entry) {
    zip_uint16_t length = 0;
    const zip_uint8_t* ut =
        zip_file_extra_field_get_by_id(za, i, kExtraTime, 0, &length, ZIP_FL_CENTRAL);
    if (!ut) {
        ut = zip_file_extra_field_get_by_id(za, i, kExtraTime, 0, &length, ZIP_FL_LOCAL);
    }
    if (ut && length >= 5 && (ut[0] & 0x01)) {
        entry.mtime = static_cast<qint32>(le32(ut + 1, 4));
    }
    const zip_uint8_t* ux =
        zip_file_extra_field_get_by_id(za, i, kExtraOwner, 0, &length, ZIP_FL_CENTRAL);
    if (ux && length >= 3 && ux[0] == 1) {
        const int uidSize = ux[1];
        if (uidSize >= 1 && uidSize <= 4 && length >= 2 + uidSize + 1) {
            const int gidSize = ux[2 + uidSize];
            if (gidSize >= 1 && gidSize <= 4 && length >= 3 + uidSize + gidSize) {
                entry.hasOwner = true;
                entry.uid = le32(ux + 2, uidSize);
                entry.gid = le32(ux + 3 + uidSize, gidSize);
            }
        }
    }
}

}  // namespace

QString ArchiveEntry::displayName() const {
    return QFile::decodeName(name);
}

struct ArchiveReader::Impl {
    zip_t* za = nullptr;
    QByteArray path;
    QString error;
    QList<ArchiveEntry> entries;
    QString comment;

    void close() {
        if (za) {
            zip_discard(za);
            za = nullptr;
        }
        entries.clear();
        comment.clear();
    }
};

ArchiveReader::ArchiveReader() : d_(std::make_unique<Impl>()) {}

ArchiveReader::~ArchiveReader() {
    d_->close();
}

bool ArchiveReader::open(const QByteArray& path) {
    Impl& d = *d_;
    d.close();
    d.path = path;
    d.error.clear();
    int code = 0;
    zip_t* za = zip_open(path.constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!za) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        d.error = QString::fromLocal8Bit(zip_error_strerror(&error));
        zip_error_fini(&error);
        return false;
    }
    const zip_int64_t count = zip_get_num_entries(za, 0);
    QList<ArchiveEntry> entries;
    entries.reserve(count > 0 ? count : 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t st;
        if (zip_stat_index(za, index, ZIP_FL_ENC_RAW, &st) != 0) {
            d.error = QString::fromLocal8Bit(zip_strerror(za));
            zip_discard(za);
            return false;
        }
        ArchiveEntry e;
        e.name = QByteArray(st.name);
        e.size = static_cast<qint64>(st.size);
        e.compressedSize = static_cast<qint64>(st.comp_size);
        e.encrypted =
            (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
        e.mtime = st.mtime;
        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(za, index, 0, &opsys, &attributes) == 0) {
            const zip_uint32_t unixMode = attributes >> 16;
            if (opsys == kOpsysUnix && unixMode != 0) {
                e.mode = static_cast<int>(unixMode & 07777);
                const zip_uint32_t type = unixMode & S_IFMT;
                e.isFolder = type == S_IFDIR;
                e.isLink = type == S_IFLNK;
                e.isSpecial = type != 0 && type != S_IFREG && type != S_IFDIR && type != S_IFLNK;
            } else {
                e.isFolder = (attributes & kDosFolder) != 0;
            }
            e.readOnly = (attributes & kDosReadOnly) != 0;
        }
        if (e.name.endsWith('/')) {
            e.isFolder = true;
        }
        readExtras(za, index, e);
        entries.append(std::move(e));
    }
    int length = 0;
    const char* comment = zip_get_archive_comment(za, &length, ZIP_FL_ENC_GUESS);
    d.comment = comment ? QString::fromUtf8(comment, length) : QString();
    d.entries = std::move(entries);
    d.za = za;
    return true;
}

void ArchiveReader::close() {
    d_->close();
}

bool ArchiveReader::isOpen() const {
    return d_->za != nullptr;
}

const QByteArray& ArchiveReader::path() const {
    return d_->path;
}

const QString& ArchiveReader::error() const {
    return d_->error;
}

const QList<ArchiveEntry>& ArchiveReader::entries() const {
    return d_->entries;
}

QString ArchiveReader::comment() const {
    return d_->comment;
}

std::unique_ptr<ArchiveEntryStream> ArchiveReader::openEntry(qsizetype index,
                                                             const QByteArray* password,
                                                             ArchiveReadError* error) const {
    if (!d_->za || index < 0 || index >= d_->entries.size()) {
        if (error) {
            error->text = QStringLiteral("No such entry");
            error->library = true;
        }
        return nullptr;
    }
    zip_file_t* f = zip_fopen_index_encrypted(d_->za, static_cast<zip_uint64_t>(index), 0,
                                              password ? password->constData() : nullptr);
    if (!f) {
        if (error) {
            *error = errorFrom(zip_get_error(d_->za));
        }
        zip_error_clear(d_->za);
        return nullptr;
    }
    return std::unique_ptr<ArchiveEntryStream>(new ArchiveEntryStream(f));
}

ArchiveEntryStream::~ArchiveEntryStream() {
    zip_fclose(static_cast<zip_file_t*>(file_));
}

qint64 ArchiveEntryStream::read(char* data, qint64 length) {
    auto* f = static_cast<zip_file_t*>(file_);
    const zip_int64_t n = zip_fread(f, data, static_cast<zip_uint64_t>(length));
    if (n < 0) {
        error_ = errorFrom(zip_file_get_error(f));
        return -1;
    }
    return n;
}

}  // namespace dw
