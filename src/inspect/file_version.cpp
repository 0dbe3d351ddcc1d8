#include "inspect/file_version.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/native_file.h"

namespace dw {

namespace {

// Anything larger is not a version block a program would carry.
constexpr qint64 kMaxVersionBlock = 1 << 20;
constexpr quint16 kVersionResourceType = 16;
constexpr int kMaxSections = 4096;
constexpr int kMaxDirectoryEntries = 4096;

struct Key {
    const char* label;
    const char* name;
};

constexpr Key kKeys[] = {
    {"Company: ", "CompanyName"},
    {"File description: ", "FileDescription"},
    {"File version: ", "FileVersion"},
    {"Internal name: ", "InternalName"},
    {"Copyright: ", "LegalCopyright"},
    {"Trademarks: ", "LegalTrademarks"},
    {"Original filename: ", "OriginalFilename"},
    {"Private build info: ", "PrivateBuild"},
    {"Product name: ", "ProductName"},
    {"Product version: ", "ProductVersion"},
    {"Special build info: ", "SpecialBuild"},
};

// Where the file's bytes come from: a whole image in memory or an open file. A read
// succeeds only when every byte asked for exists.
class Source {
public:
    virtual ~Source() = default;
    virtual bool read(qint64 offset, qint64 length, QByteArray& out) const = 0;
};

class MemorySource : public Source {
public:
    explicit MemorySource(const QByteArray& image) : image_(image) {}
    bool read(qint64 offset, qint64 length, QByteArray& out) const override {
        if (offset < 0 || length < 0 || offset > image_.size() || length > image_.size() - offset) {
            return false;
        }
        out = image_.mid(offset, length);
        return true;
    }

private:
    const QByteArray& image_;
};

class FileSource : public Source {
public:
    FileSource(int fd, qint64 size) : fd_(fd), size_(size) {}
    bool read(qint64 offset, qint64 length, QByteArray& out) const override {
        if (offset < 0 || length < 0 || offset > size_ || length > size_ - offset) {
            return false;
        }
        out.resize(length);
        qint64 done = 0;
        while (done < length) {
            const ssize_t got =
                ::pread(fd_, out.data() + done, size_t(length - done), off_t(offset + done));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return false;
            }
            done += got;
        }
        return true;
    }

private:
    int fd_;
    qint64 size_;
};

// Little-endian fields of a buffer; reads past its end give 0 and clear `ok`.
struct Reader {
    const QByteArray& d;
    bool ok = true;

    quint32 byteAt(qint64 at) {
        if (at < 0 || at >= d.size()) {
            ok = false;
            return 0;
        }
        return quint8(d[at]);
    }
    quint16 u16(qint64 at) { return quint16(byteAt(at) | byteAt(at + 1) << 8); }
    quint32 u32(qint64 at) { return u16(at) | quint32(u16(at + 2)) << 16; }
};

struct Section {
    quint32 virtualAddress = 0;
    quint32 virtualSize = 0;
    quint32 rawSize = 0;
    quint32 rawOffset = 0;
};

class PeImage {
public:
    explicit PeImage(const Source& source) : source_(source) {}

    // The version resource's bytes, or an empty array.
    QByteArray versionBlock() {
        if (!readHeaders()) {
            return {};
        }
        quint32 rva = 0;
        quint32 size = 0;
        if (!findVersionData(rva, size) || size == 0 || size > kMaxVersionBlock) {
            return {};
        }
        QByteArray data;
        if (!readRva(rva, size, data)) {
            return {};
        }
        return data;
    }

private:
    bool readHeaders() {
        QByteArray dos;
        if (!source_.read(0, 64, dos) || !dos.startsWith("MZ")) {
            return false;
        }
        Reader r{dos};
        const qint64 pe = r.u32(0x3C);
        QByteArray head;
        if (!source_.read(pe, 24, head) || !head.startsWith(QByteArrayView("PE\0\0", 4))) {
            return false;
        }
        Reader h{head};
        const int sectionCount = h.u16(6);
        const int optionalSize = h.u16(20);
        if (sectionCount == 0 || sectionCount > kMaxSections) {
            return false;
        }
        QByteArray optional;
        if (!source_.read(pe + 24, optionalSize, optional)) {
            return false;
        }
        Reader o{optional};
        const quint16 magic = o.u16(0);
        qint64 countAt = 0;
        if (magic == 0x10B) {
            countAt = 92;
        } else if (magic == 0x20B) {
            countAt = 108;
        } else {
            return false;
        }
        const quint32 directories = o.u32(countAt);
        if (!o.ok || directories < 3) {
            return false;
        }
        // The resource table is the third data directory.
        resourceRva_ = o.u32(countAt + 4 + 2 * 8);
        if (!o.ok || resourceRva_ == 0) {
            return false;
        }
        QByteArray table;
        if (!source_.read(pe + 24 + optionalSize, qint64(sectionCount) * 40, table)) {
            return false;
        }
        Reader t{table};
        for (int k = 0; k < sectionCount; ++k) {
            const qint64 at = qint64(k) * 40;
            sections_.push_back(
                Section{t.u32(at + 12), t.u32(at + 8), t.u32(at + 16), t.u32(at + 20)});
        }
        return t.ok;
    }

    // The bytes at a virtual address, from the section that holds all of them in the file.
    bool readRva(quint32 rva, qint64 length, QByteArray& out) const {
        for (const Section& s : sections_) {
            const qint64 inSection = qint64(rva) - qint64(s.virtualAddress);
            if (inSection < 0 || inSection + length > qint64(s.rawSize)) {
                continue;
            }
            return source_.read(qint64(s.rawOffset) + inSection, length, out);
        }
        return false;
    }

    // One entry of the resource directory at `directory` (an offset in the resource
    // table): the entry `index`, or the first entry with the numeric id `id` when it is
    // given. Fills the entry's target offset and whether it is a further directory.
    bool directoryEntry(quint32 directory, int id, quint32& target, bool& isDirectory) const {
        QByteArray head;
        if (!readRva(resourceRva_ + directory, 16, head)) {
            return false;
        }
        Reader h{head};
        const int named = h.u16(12);
        const int numbered = h.u16(14);
        const int count = std::min(named + numbered, kMaxDirectoryEntries);
        QByteArray entries;
        if (count == 0 || !readRva(resourceRva_ + directory + 16, qint64(count) * 8, entries)) {
            return false;
        }
        Reader e{entries};
        for (int k = 0; k < count; ++k) {
            const quint32 name = e.u32(qint64(k) * 8);
            const quint32 offset = e.u32(qint64(k) * 8 + 4);
            if (id >= 0 && ((name & 0x80000000u) != 0 || name != quint32(id))) {
                continue;
            }
            target = offset & 0x7FFFFFFFu;
            isDirectory = (offset & 0x80000000u) != 0;
            return true;
        }
        return false;
    }

    bool findVersionData(quint32& rva, quint32& size) const {
        // Type, then name, then language: the first version resource, its first language.
        quint32 names = 0;
        quint32 languages = 0;
        quint32 leaf = 0;
        bool directory = false;
        if (!directoryEntry(0, kVersionResourceType, names, directory) || !directory ||
            !directoryEntry(names, -1, languages, directory) || !directory ||
            !directoryEntry(languages, -1, leaf, directory) || directory) {
            return false;
        }
        QByteArray entry;
        if (!readRva(resourceRva_ + leaf, 16, entry)) {
            return false;
        }
        Reader r{entry};
        rva = r.u32(0);
        size = r.u32(4);
        return r.ok;
    }

    const Source& source_;
    std::vector<Section> sections_;
    quint32 resourceRva_ = 0;
};

// One block of the version resource: a length, a value length, a type, a key, a value
// and child blocks, each part aligned to 4 bytes of the resource.
struct Block {
    qint64 end = 0;  // past the block, never past its parent
    QString key;
    qint64 value = 0;     // where the value begins
    qint64 children = 0;  // where the first child begins
};

qint64 align4(qint64 at) {
    return (at + 3) & ~qint64(3);
}

// Reads UTF-16 code units from `at` to a zero unit or `end`; false when `end` comes first
// and `needZero` is set.
bool readText(const QByteArray& d, qint64 at, qint64 end, QString& text, qint64& after,
              bool needZero) {
    Reader r{d};
    text.clear();
    while (at + 2 <= end) {
        const quint16 unit = r.u16(at);
        at += 2;
        if (unit == 0) {
            after = at;
            return true;
        }
        text.append(QChar(unit));
    }
    after = at;
    return !needZero;
}

bool parseBlock(const QByteArray& d, qint64 at, qint64 limit, Block& b) {
    Reader r{d};
    if (at < 0 || at + 6 > limit) {
        return false;
    }
    const qint64 length = r.u16(at);
    const qint64 valueLength = r.u16(at + 2);
    const int type = r.u16(at + 4);
    if (!r.ok || length < 6) {
        return false;
    }
    b.end = std::min(at + length, limit);
    qint64 afterKey = 0;
    if (!readText(d, at + 6, b.end, b.key, afterKey, true)) {
        return false;
    }
    b.value = std::min(align4(afterKey), b.end);
    const qint64 valueBytes = type == 1 ? valueLength * 2 : valueLength;
    b.children = std::min(align4(b.value + valueBytes), b.end);
    return true;
}

// Calls `visit` for each child of `parent` until it returns false.
template <typename Visit>
void forEachChild(const QByteArray& d, const Block& parent, Visit visit) {
    qint64 at = parent.children;
    Block child;
    while (parseBlock(d, at, parent.end, child)) {
        if (!visit(child)) {
            return;
        }
        const qint64 next = align4(child.end);
        if (next <= at) {
            return;
        }
        at = next;
    }
}

bool findChild(const QByteArray& d, const Block& parent, const QString& key, Block& found) {
    bool got = false;
    forEachChild(d, parent, [&](const Block& child) {
        if (child.key.compare(key, Qt::CaseInsensitive) == 0) {
            found = child;
            got = true;
        }
        return !got;
    });
    return got;
}

QStringList linesOfBlock(const QByteArray& d, bool withTab) {
    Block root;
    if (!parseBlock(d, 0, d.size(), root) || root.key != QLatin1String("VS_VERSION_INFO")) {
        return {};
    }
    Block varInfo;
    Block translation;
    if (!findChild(d, root, QStringLiteral("VarFileInfo"), varInfo) ||
        !findChild(d, varInfo, QStringLiteral("Translation"), translation)) {
        return {};
    }
    Reader r{d};
    if (translation.value + 4 > translation.end) {
        return {};
    }
    const quint16 language = r.u16(translation.value);
    const quint16 codePage = r.u16(translation.value + 2);
    const QString tableName = QStringLiteral("%1%2")
                                  .arg(language, 4, 16, QLatin1Char('0'))
                                  .arg(codePage, 4, 16, QLatin1Char('0'));
    Block stringInfo;
    Block table;
    const bool hasInfo = findChild(d, root, QStringLiteral("StringFileInfo"), stringInfo);
    bool hasTable = hasInfo && findChild(d, stringInfo, tableName, table);
    if (hasInfo && !hasTable) {
        // Many programs list one translation (0409/04B0, say) and carry their only table
        // under another name: the file's first table says more than eleven empty lines.
        forEachChild(d, stringInfo, [&](const Block& child) {
            table = child;
            hasTable = true;
            return false;
        });
    }
    QStringList lines;
    for (const Key& key : kKeys) {
        QString value;
        Block string;
        if (hasTable && findChild(d, table, QLatin1String(key.name), string)) {
            qint64 after = 0;
            // The value runs to its zero or to the block's end, whatever its length field
            // says (writers disagree on counting it in bytes or characters).
            readText(d, string.value, string.end, value, after, false);
            qsizetype blanks = 0;
            while (blanks < value.size() && value[blanks] == QLatin1Char(' ')) {
                ++blanks;
            }
            value.remove(0, blanks);
        }
        QString line = QLatin1String(key.label);
        if (withTab) {
            line += QLatin1Char('\t');
            if (qstrcmp(key.name, "LegalCopyright") == 0) {
                line += QLatin1Char('\t');
            }
        }
        lines.append(line + value);
    }
    return lines;
}

}  // namespace

const QStringList& VersionLineLabels() {
    static const QStringList labels = [] {
        QStringList l;
        for (const Key& key : kKeys) {
            l.append(QLatin1String(key.label));
        }
        return l;
    }();
    return labels;
}

QStringList VersionLinesOfImage(const QByteArray& image, bool withTab) {
    MemorySource source(image);
    return linesOfBlock(PeImage(source).versionBlock(), withTab);
}

QStringList FileVersionLines(const QByteArray& path, bool withTab) {
    const platform::UniqueFd fd = platform::openRegularFileForReading(path);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) {
        return {};
    }
    FileSource source(fd.get(), st.st_size);
    return linesOfBlock(PeImage(source).versionBlock(), withTab);
}

}  // namespace dw
