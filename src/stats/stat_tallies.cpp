#include "stats/stat_tallies.h"

#include <QFile>

#include <algorithm>

namespace dw {

const char* const kSizeLabels[kSizeBuckets] = {
    "0 - 16K",    "16K - 32K", "32K - 64K", "64K - 128K", "128K - 256K", "256K - 512K",
    "512K - 1MB", "1MB - 2MB", "2MB - 4MB", "4MB - 8MB",  "8MB - 16MB",  "Over 16MB"};

const char* const kAgeLabels[kAgeBuckets] = {
    "Not recorded",   "<= 7 days",   "8 - 30 days", "31 - 60 days", "61 - 120 days",
    "121 - 365 days", "1 - 2 years", "2 - 3 years", "3 - 4 years",  "Over 4 years"};

const quint32 kAttributeBits[kAttributeKinds] = {0x01, 0x02, 0x04, 0x20};
const char* const kAttributeLabels[kAttributeKinds] = {"Read-only", "Hidden", "System", "Archive"};

const char* const kOverhangLabels[kOverhangSizes] = {"4K", "8K", "16K", "32K", "64K"};

int sizeBucket(qint64 size) {
    // Bucket k (k >= 1) holds 16 KiB * 2^(k-1) + 1 to 16 KiB * 2^k.
    qint64 upper = 16384;
    for (int k = 0; k < kSizeBuckets - 1; ++k) {
        if (size <= upper) {
            return k;
        }
        upper *= 2;
    }
    return kSizeBuckets - 1;
}

int ageToIndex(qint64 ageDays) {
    if (ageDays < 0) {
        return 0;
    }
    static constexpr qint64 kUpper[] = {7, 30, 60, 120, 365, 730, 1095, 1460};
    for (int k = 0; k < int(std::size(kUpper)); ++k) {
        if (ageDays <= kUpper[k]) {
            return k + 1;
        }
    }
    return kAgeBuckets - 1;
}

QString halfHourLabel(int slot) {
    return QStringLiteral("%1:%2")
        .arg(slot / 2, 2, 10, QLatin1Char('0'))
        .arg(slot % 2 == 0 ? QStringLiteral("00") : QStringLiteral("30"));
}

qint64 clusterOverhang(qint64 size, qint64 cluster) {
    if (cluster < 1 || size <= 0) {
        return 0;
    }
    const qint64 rest = size % cluster;
    return rest == 0 ? 0 : cluster - rest;
}

bool extensionKey(QByteArrayView name, QByteArray& key) {
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0) {
        key.clear();
        return true;
    }
    const qsizetype length = name.size() - dot;
    if (length > 5) {
        return false;
    }
    key.resize(length);
    for (qsizetype i = 0; i < length; ++i) {
        const char c = name[dot + i];
        key[i] = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
    }
    return true;
}

// A key of at most 5 bytes packs into one integer with its length, so the table hashes
// and compares plain numbers.
quint64 ExtensionTable::pack(QByteArrayView key) {
    quint64 packed = quint64(key.size()) << 56;
    for (qsizetype i = 0; i < key.size(); ++i) {
        packed |= quint64(quint8(key[i])) << (8 * i);
    }
    return packed;
}

void ExtensionTable::add(QByteArrayView key, QByteArrayView name, qint64 size) {
    if (key.size() > 5) {
        return;
    }
    entries_[{pack(key), types_.idOfName(name)}].add(size);
}

void ExtensionTable::ensure(QByteArrayView key) {
    if (key.size() > 5) {
        return;
    }
    const quint64 packed = pack(key);
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it) {
        if (it.key().first == packed) {
            return;
        }
    }
    // A name with something before the extension: the database may not read a name that
    // is only an extension as ending in it.
    entries_.insert({packed, types_.idOfName(QByteArray("x").append(key))}, FileTally());
}

FileTally ExtensionTable::at(QByteArrayView key) const {
    FileTally sum;
    if (key.size() > 5) {
        return sum;
    }
    const quint64 packed = pack(key);
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it) {
        if (it.key().first == packed) {
            sum.files += it.value().files;
            sum.bytes += it.value().bytes;
        }
    }
    return sum;
}

QList<ExtensionTable::Row> ExtensionTable::rows() const {
    QList<Row> out;
    out.reserve(entries_.size());
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it) {
        const quint64 packed = it.key().first;
        const int length = int(packed >> 56);
        QByteArray key(length, Qt::Uninitialized);
        for (int i = 0; i < length; ++i) {
            key[i] = char((packed >> (8 * i)) & 0xff);
        }
        out.append({key, types_.text(it.key().second), it.value()});
    }
    std::sort(out.begin(), out.end(), [](const Row& a, const Row& b) {
        return a.key != b.key ? a.key < b.key : a.type < b.type;
    });
    return out;
}

QString extractExtension(const QString& line) {
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    const QString pattern = tab < 0 ? line : line.left(tab);
    return pattern.mid(1).toLower();
}

namespace {

QByteArray asciiLower(QByteArrayView bytes) {
    QByteArray out = bytes.toByteArray();
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = char(c - 'A' + 'a');
        }
    }
    return out;
}

}  // namespace

TypeFilter::TypeFilter(Mode mode, const QStringList& lines) : mode_(mode) {
    for (const QString& line : lines) {
        const QByteArray type = asciiLower(QFile::encodeName(extractExtension(line)));
        if (!set_.contains(type)) {
            set_.insert(type);
            types_.append(type);
        }
    }
}

bool TypeFilter::selects(QByteArrayView name) const {
    if (mode_ == Mode::All) {
        return true;
    }
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray ext = dot < 0 ? QByteArray() : asciiLower(name.sliced(dot));
    const bool listed = set_.contains(ext);
    return mode_ == Mode::Include ? listed : !listed;
}

qint64 StatTallies::totalBytes() const {
    qint64 total = 0;
    for (const FileTally& t : sizes) {
        total += t.bytes;
    }
    return total;
}

void StatTallies::addFilterTypes(const TypeFilter& filter) {
    if (filter.mode() != TypeFilter::Mode::Include) {
        return;
    }
    QByteArray key;
    for (const QByteArray& type : filter.types()) {
        if (extensionKey(type, key)) {
            extensions.ensure(key);
        }
    }
}

}  // namespace dw
