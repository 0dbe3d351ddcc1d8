#include "platform/settings_file.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix_io.h"
#include "platform/text_file.h"

namespace dw::platform {

namespace {

// A settings file is a few kilobytes; the cap keeps a runaway or hostile file from
// exhausting memory, and the writer keeps to it so that what it writes can be read.
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;
constexpr int kLockWaitMs = 10000;

// ---- escaping ---------------------------------------------------------------------

bool isControl(uchar c) {
    return c < 0x20 || c == 0x7f;
}

char hexDigit(int v) {
    return "0123456789ABCDEF"[v & 0xf];
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QByteArray encodeName(const QString& name) {
    const QByteArray utf8 = name.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const uchar c = uchar(utf8[i]);
        const bool edgeBlank = c == ' ' && (i == 0 || i == utf8.size() - 1);
        if (isControl(c) || edgeBlank || c == '%' || c == '=' || c == '[' || c == ']' || c == ';' ||
            c == '#') {
            out += '%';
            out += hexDigit(c >> 4);
            out += hexDigit(c);
        } else {
            out += char(c);
        }
    }
    return out;
}

QString decodeName(QByteArrayView raw) {
    QByteArray bytes;
    bytes.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == '%' && i + 2 < raw.size() && hexValue(raw[i + 1]) >= 0 &&
            hexValue(raw[i + 2]) >= 0) {
            bytes += char(hexValue(raw[i + 1]) * 16 + hexValue(raw[i + 2]));
            i += 2;
        } else {
            bytes += raw[i];
        }
    }
    return QString::fromUtf8(bytes);
}

QByteArray encodeValue(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 8);
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const uchar c = uchar(utf8[i]);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case ' ':
                // Blanks at the ends would be lost to the reader's trimming.
                out += (i == 0 || i == utf8.size() - 1) ? "\\s" : " ";
                break;
            default:
                if (isControl(c)) {
                    out += "\\x";
                    out += hexDigit(c >> 4);
                    out += hexDigit(c);
                } else {
                    out += char(c);
                }
        }
    }
    return out;
}

QString decodeValue(QByteArrayView raw) {
    QByteArray bytes;
    bytes.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c != '\\' || i + 1 >= raw.size()) {
            bytes += c;
            continue;
        }
        const char e = raw[i + 1];
        switch (e) {
            case '\\':
                bytes += '\\';
                break;
            case 'n':
                bytes += '\n';
                break;
            case 'r':
                bytes += '\r';
                break;
            case 't':
                bytes += '\t';
                break;
            case 's':
                bytes += ' ';
                break;
            case 'x':
                if (i + 3 < raw.size() && hexValue(raw[i + 2]) >= 0 && hexValue(raw[i + 3]) >= 0) {
                    bytes += char(hexValue(raw[i + 2]) * 16 + hexValue(raw[i + 3]));
                    i += 3;
                    continue;
                }
                [[fallthrough]];
            default:
                // An unknown sequence (a hand-edited "C:\Temp") is kept as written.
                bytes += c;
                bytes += e;
        }
        ++i;
    }
    return QString::fromUtf8(bytes);
}

// ---- the parsed file --------------------------------------------------------------

struct Section {
    QString name;
    QList<SettingsFile::Value> values;
    QHash<QString, qsizetype> index;  // case-folded name -> position in values

    void set(const QString& key, const QString& text) {
        const QString folded = key.toCaseFolded();
        const auto it = index.constFind(folded);
        if (it != index.constEnd()) {
            values[*it].second = text;
        } else {
            index.insert(folded, values.size());
            values.append({key, text});
        }
    }

    const QString* find(const QString& key) const {
        const auto it = index.constFind(key.toCaseFolded());
        return it == index.constEnd() ? nullptr : &values[*it].second;
    }
};

class Document {
public:
    const Section* find(const QString& name) const {
        const auto it = index_.constFind(name.toCaseFolded());
        return it == index_.constEnd() ? nullptr : &sections_[*it];
    }

    Section& obtain(const QString& name) {
        const QString folded = name.toCaseFolded();
        const auto it = index_.constFind(folded);
        if (it != index_.constEnd())
            return sections_[*it];
        index_.insert(folded, sections_.size());
        sections_.append(Section{name, {}, {}});
        return sections_.last();
    }

    // The lines that cannot be read as written are left out; `damage`, when given,
    // receives what is wrong with the first of them ("its line 7 holds a NUL byte"), or
    // stays empty.
    static Document parse(QByteArrayView data, QString* damage = nullptr) {
        Document doc;
        if (data.startsWith("\xEF\xBB\xBF"))
            data = data.sliced(3);
        const auto damaged = [damage](qsizetype lineNo, const char* what) {
            if (damage && damage->isEmpty())
                *damage = QStringLiteral("its line %1 %2").arg(lineNo).arg(QLatin1String(what));
        };
        Section* current = nullptr;
        qsizetype pos = 0;
        qsizetype lineNo = 0;
        while (pos < data.size()) {
            qsizetype end = data.indexOf('\n', pos);
            if (end < 0)
                end = data.size();
            const QByteArrayView line = data.sliced(pos, end - pos).trimmed();
            pos = end + 1;
            ++lineNo;
            if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
                continue;
            const bool hasNul = line.contains('\0');
            const bool clean = !hasNul && line.isValidUtf8();
            if (!clean)
                damaged(lineNo, hasNul ? "holds a NUL byte" : "is not valid UTF-8");
            if (line.startsWith('[')) {
                // Values below a header that cannot be read belong to no section we
                // know, so they are dropped rather than credited to the one before.
                current = nullptr;
                if (clean && line.endsWith(']')) {
                    const QString name = decodeName(line.sliced(1, line.size() - 2).trimmed());
                    if (!name.isEmpty())
                        current = &doc.obtain(name);
                }
                if (current == nullptr)
                    damaged(lineNo, "is a damaged section header");
                continue;
            }
            if (!clean)
                continue;
            const qsizetype eq = line.indexOf('=');
            const QString key = eq <= 0 ? QString() : decodeName(line.first(eq).trimmed());
            if (key.isEmpty()) {
                damaged(lineNo, "is not a \"name=value\" line");
                continue;
            }
            if (current == nullptr) {
                damaged(lineNo, "belongs to no section");
                continue;
            }
            current->set(key, decodeValue(line.sliced(eq + 1).trimmed()));
        }
        return doc;
    }

    QByteArray serialize() const {
        QByteArray out;
        for (const Section& s : sections_) {
            if (!out.isEmpty())
                out += '\n';
            out += '[' + encodeName(s.name) + "]\n";
            for (const SettingsFile::Value& v : s.values) {
                out += encodeName(v.first) + '=' + encodeValue(v.second) + '\n';
            }
        }
        return out;
    }

private:
    // Sections keep their addresses only until the next obtain(); parse() holds at
    // most one pointer and refreshes it on every header.
    QList<Section> sections_;
    QHash<QString, qsizetype> index_;
};

enum class Load { Loaded, Missing, Unreadable, TooLarge };

// Reads `path` into `doc`. Only a regular file is read: the open does not wait for a
// FIFO's writer, and a device, FIFO or folder in the file's place is Unreadable (a link
// to /dev/zero would otherwise never end). `why` (when given) receives the reason of
// Unreadable. A file above the cap reads as its first kMaxFileBytes when `cut`, else
// is TooLarge.
Load load(const QString& path, Document* doc, bool cut = true, QString* why = nullptr,
          QString* damage = nullptr) {
    const QByteArray native = QFile::encodeName(path);
    auto unreadable = [why](const QString& text) {
        if (why) {
            *why = text;
        }
        return Load::Unreadable;
    };
    UniqueFd fd(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        const int err = errno;
        struct stat st {};
        if (err == ENOENT && ::lstat(native.constData(), &st) != 0) {
            return Load::Missing;
        }
        return unreadable(errnoText(err));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return unreadable(errnoText(errno));
    }
    if (!S_ISREG(st.st_mode)) {
        return unreadable(QStringLiteral("it is not a regular file"));
    }
    if (!cut && st.st_size > kMaxFileBytes) {
        return Load::TooLarge;
    }
    QByteArray data;
    data.resize(qMin<qint64>(st.st_size, kMaxFileBytes) + 1);
    qsizetype got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd.get(), data.data() + got, size_t(data.size() - got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return unreadable(errnoText(errno));
        }
        if (n == 0) {
            break;
        }
        got += n;
        if (got == data.size() && got <= kMaxFileBytes) {
            // Grown since the look: read on, up to the cap.
            data.resize(qMin<qsizetype>(data.size() * 2, kMaxFileBytes + 1));
        }
    }
    data.truncate(got);
    if (data.size() > kMaxFileBytes) {
        if (!cut) {
            return Load::TooLarge;
        }
        // A line cut at the cap is not a line.
        data.truncate(kMaxFileBytes);
        const qsizetype lastEnd = data.lastIndexOf('\n');
        data.truncate(lastEnd < 0 ? 0 : lastEnd + 1);
    }
    // A file saved as UTF-16 (with its byte-order mark) is read as its text.
    const std::optional<QByteArray> text = textFileAsUtf8(data);
    if (!text) {
        return unreadable(QStringLiteral("it is UTF-16 text that cannot be read"));
    }
    *doc = Document::parse(*text, damage);
    return Load::Loaded;
}

Document loadForReading(const QString& path) {
    Document doc;
    load(path, &doc);
    return doc;
}

bool isUsableName(const QString& name) {
    return !name.isEmpty();
}

}  // namespace

QString settingsFolder() {
    const QString own = qEnvironmentVariable("DISKWELL_CONFIG_DIR");
    if (!own.isEmpty())
        return QDir::cleanPath(QFileInfo(own).absoluteFilePath());
    // The XDG base directory rules say relative values are to be ignored.
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) {
        return QDir::cleanPath(xdg + QStringLiteral("/diskwell"));
    }
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/.config/diskwell"));
}

QString userSettingsFilePath() {
    return settingsFolder() + QStringLiteral("/registry.ini");
}

QString machineSettingsFilePath() {
    const QString own = qEnvironmentVariable("DISKWELL_MACHINE_CONFIG");
    if (!own.isEmpty())
        return own;
    return QStringLiteral("/etc/xdg/diskwell/registry.ini");
}

SettingsFile::SettingsFile(QString path) : path_(std::move(path)) {}

SettingsFile SettingsFile::user() {
    return SettingsFile(userSettingsFilePath());
}

SettingsFile SettingsFile::machine() {
    return SettingsFile(machineSettingsFilePath());
}

std::optional<QString> SettingsFile::value(const QString& section, const QString& name) const {
    const Document doc = loadForReading(path_);
    const Section* s = doc.find(section);
    if (s == nullptr)
        return std::nullopt;
    const QString* text = s->find(name);
    if (text == nullptr)
        return std::nullopt;
    return *text;
}

QList<SettingsFile::Value> SettingsFile::values(const QString& section) const {
    const Document doc = loadForReading(path_);
    const Section* s = doc.find(section);
    return s == nullptr ? QList<Value>{} : s->values;
}

bool SettingsFile::hasSection(const QString& section) const {
    return loadForReading(path_).find(section) != nullptr;
}

std::optional<QList<SettingsFile::Value>> SettingsFile::checkedValues(const QString& section,
                                                                      QString* error) const {
    Document doc;
    QString why;
    switch (load(path_, &doc, false, &why, &why)) {
        case Load::Missing:
            return QList<Value>{};
        case Load::Loaded:
            if (why.isEmpty()) {
                break;
            }
            // A line that cannot be read could be one that protects: nothing of the
            // file is taken.
            [[fallthrough]];
        case Load::TooLarge:
            if (why.isEmpty()) {
                why = QStringLiteral("it is larger than %1 MiB").arg(kMaxFileBytes / (1024 * 1024));
            }
            [[fallthrough]];
        case Load::Unreadable:
            if (error) {
                *error = QStringLiteral("The settings file %1 cannot be read: %2").arg(path_, why);
            }
            return std::nullopt;
    }
    const Section* s = doc.find(section);
    return s == nullptr ? QList<Value>{} : s->values;
}

bool SettingsFile::setValue(const QString& section, const QString& name, const QString& text) {
    return setValues(section, {{name, text}});
}

bool SettingsFile::setValues(const QString& section, const QList<Value>& values) {
    return update(section, [&values](const QList<Value>&) { return values; });
}

bool SettingsFile::update(const QString& section,
                          const std::function<QList<Value>(const QList<Value>& current)>& change) {
    if (!isUsableName(section))
        return false;
    const QFileInfo info(path_);
    if (!QDir().mkpath(info.absolutePath()))
        return false;

    QLockFile lock(path_ + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs))
        return false;

    // Read again under the lock: another copy may have written since our last look.
    // A line that cannot be read as written is left alone, not dropped by a rewrite: it
    // may protect files, and until the user mends it the clean runs refuse to act.
    Document doc;
    QString damage;
    const Load loaded = load(path_, &doc, true, nullptr, &damage);
    if (loaded == Load::Unreadable || loaded == Load::TooLarge || !damage.isEmpty())
        return false;
    const Section* current = doc.find(section);
    const QList<Value> values = change(current ? current->values : QList<Value>{});
    for (const Value& v : values) {
        if (!isUsableName(v.first))
            return false;
    }
    Section& s = doc.obtain(section);
    for (const Value& v : values)
        s.set(v.first, v.second);
    const QByteArray data = doc.serialize();
    if (data.size() > kMaxFileBytes)
        return false;

    QSaveFile out(path_);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(data) != data.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

}  // namespace dw::platform
