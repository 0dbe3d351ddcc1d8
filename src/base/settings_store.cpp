#include "base/settings_store.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <optional>

#include "base/utility.h"
#include "platform/settings_file.h"

namespace dw {

namespace {

QString programKey() {
    return QString::fromLatin1(ProgramKey);
}

QChar keySep() {
    return QLatin1Char('\\');
}

std::optional<qint64> parseDecimal(QStringView text) {
    if (text.isEmpty())
        return std::nullopt;
    bool negative = false;
    if (text.front() == QLatin1Char('-') || text.front() == QLatin1Char('+')) {
        negative = text.front() == QLatin1Char('-');
        text = text.sliced(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    // Accumulate towards the negative side, which has room for the minimum.
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    qint64 acc = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        const int digit = c.unicode() - '0';
        if (acc < (kMin + digit) / 10)
            return std::nullopt;
        acc = acc * 10 - digit;
    }
    if (!negative) {
        if (acc == kMin)
            return std::nullopt;
        return -acc;
    }
    return acc;
}

std::optional<qint64> parseHex(QStringView digits) {
    if (digits.isEmpty() || digits.size() > 16)
        return std::nullopt;
    quint64 acc = 0;
    for (const QChar c : digits) {
        const char16_t u = c.unicode();
        int v = -1;
        if (u >= '0' && u <= '9')
            v = u - '0';
        if (u >= 'a' && u <= 'f')
            v = u - 'a' + 10;
        if (u >= 'A' && u <= 'F')
            v = u - 'A' + 10;
        if (v < 0)
            return std::nullopt;
        acc = acc * 16 + quint64(v);
    }
    return qint64(acc);
}

int placementField(QStringView token, int def) {
    const std::optional<qint64> v = parseDecimal(token);
    if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max()) {
        return def;
    }
    return int(*v);
}

// "File" followed by a positive decimal without leading zeros, as the list writer
// names its values; anything else is not an entry.
qint64 listEntryIndex(const QString& name) {
    const QLatin1StringView prefix(settings::kListEntryPrefix);
    if (!name.startsWith(prefix, Qt::CaseInsensitive))
        return 0;
    const QStringView digits = QStringView(name).sliced(prefix.size());
    if (digits.isEmpty() || digits.front() == QLatin1Char('0') ||
        digits.front() == QLatin1Char('+') || digits.front() == QLatin1Char('-')) {
        return 0;
    }
    const std::optional<qint64> i = parseDecimal(digits);
    return i.value_or(0);
}

QString placementSection(const QString& key, const QString& subkey) {
    return key + keySep() + subkey;
}

// The length of the valid UTF-8 character at `i`, or 0 when the byte there starts none
// (a stray continuation byte, an overlong form, a surrogate, beyond U+10FFFF, cut short).
qsizetype utf8CharLength(const QByteArray& s, qsizetype i) {
    const auto b = [&](qsizetype k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = b(i);
    if (lead < 0x80) {
        return 1;
    }
    qsizetype n = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        n = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        n = 3;
        lo = lead == 0xe0 ? 0xa0 : 0x80;
        hi = lead == 0xed ? 0x9f : 0xbf;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        n = 4;
        lo = lead == 0xf0 ? 0x90 : 0x80;
        hi = lead == 0xf4 ? 0x8f : 0xbf;
    } else {
        return 0;
    }
    if (i + n > s.size() || b(i + 1) < lo || b(i + 1) > hi) {
        return 0;
    }
    for (qsizetype k = 2; k < n; ++k) {
        if (b(i + k) < 0x80 || b(i + k) > 0xbf) {
            return 0;
        }
    }
    return n;
}

constexpr char kBytesPrefix[] = "bytes:";

}  // namespace

std::optional<qint64> parseStoredInteger(const QString& stored) {
    const QStringView text = QStringView(stored).trimmed();
    if (text.size() > 2 &&
        (text.startsWith(QLatin1String("0x")) || text.startsWith(QLatin1String("0X")))) {
        return parseHex(text.sliced(2));
    }
    return parseDecimal(text);
}

QString nativePathSetting(const QByteArray& path) {
    bool valid = true;
    for (qsizetype i = 0; i < path.size() && valid;) {
        const qsizetype n = utf8CharLength(path, i);
        // A TAB would end the entry in a numbered list (writeList keeps what is before it).
        valid = n > 0 && path[i] != '\t';
        i += n;
    }
    if (valid) {
        return QString::fromUtf8(path);
    }
    QByteArray out = kBytesPrefix;
    for (qsizetype i = 0; i < path.size();) {
        const qsizetype n = utf8CharLength(path, i);
        if (n == 0 || path[i] == '%' || path[i] == '\t') {
            out += '%' + QByteArray::number(static_cast<unsigned char>(path[i]), 16)
                             .rightJustified(2, '0')
                             .toUpper();
            ++i;
        } else {
            out += path.mid(i, n);
            i += n;
        }
    }
    return QString::fromUtf8(out);
}

QByteArray nativePathFromSetting(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    if (!utf8.startsWith(kBytesPrefix)) {
        return utf8;
    }
    QByteArray out;
    const auto hex = [](char c) {
        return (c >= '0' && c <= '9')   ? c - '0'
               : (c >= 'a' && c <= 'f') ? c - 'a' + 10
               : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                        : -1;
    };
    for (qsizetype i = qsizetype(sizeof(kBytesPrefix)) - 1; i < utf8.size(); ++i) {
        if (utf8[i] == '%' && i + 2 < utf8.size() && hex(utf8[i + 1]) >= 0 &&
            hex(utf8[i + 2]) >= 0) {
            out += char(hex(utf8[i + 1]) * 16 + hex(utf8[i + 2]));
            i += 2;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

// ---- PlacementRecord ------------------------------------------------------------------

PlacementRecord PlacementRecord::parse(const QString& text) {
    PlacementRecord r;
    int* const fields[] = {&r.flags, &r.showCommand, &r.minX, &r.minY,  &r.maxX,
                           &r.maxY,  &r.left,        &r.top,  &r.right, &r.bottom};
    const QList<QStringView> tokens = QStringView(text).split(QLatin1Char(' '));
    for (int i = 0; i < 10; ++i) {
        const int def = fields[i] == &r.showCommand ? kShowNormal : 0;
        *fields[i] = i < tokens.size() ? placementField(tokens[i], def) : def;
    }
    return r;
}

QString PlacementRecord::toText() const {
    QString out;
    for (const int v : {flags, showCommand, minX, minY, maxX, maxY, left, top, right, bottom}) {
        out += QString::number(v);
        out += QLatin1Char(' ');
    }
    return out;
}

// ---- SettingsStore --------------------------------------------------------------------

QString SettingsStore::sectionPath(const QString& section) {
    return section.isEmpty() ? programKey() : programKey() + keySep() + section;
}

QString SettingsStore::readString(const QString& section, const QString& name,
                                  const QString& def) const {
    return platform::SettingsFile::user().value(sectionPath(section), name).value_or(def);
}

qint64 SettingsStore::readInteger(const QString& section, const QString& name, qint64 def) const {
    const std::optional<QString> text =
        platform::SettingsFile::user().value(sectionPath(section), name);
    if (!text)
        return def;
    return parseStoredInteger(*text).value_or(def);
}

bool SettingsStore::writeString(const QString& section, const QString& name, const QString& text) {
    return platform::SettingsFile::user().setValue(sectionPath(section), name, text);
}

bool SettingsStore::writeInteger(const QString& section, const QString& name, qint64 value) {
    return writeString(section, name, QString::number(value));
}

NumberedList SettingsStore::readList(const QString& section) const {
    // One read of the whole section: one consistent snapshot, and a corrupt count in
    // the billions costs nothing, as only the values present are looked at.
    const QList<platform::SettingsFile::Value> values =
        platform::SettingsFile::user().values(sectionPath(section));
    qint64 count = -1;
    for (const auto& [name, text] : values) {
        if (name.compare(QLatin1StringView(settings::kListCount), Qt::CaseInsensitive) == 0) {
            count = parseStoredInteger(text).value_or(-1);
        }
    }
    NumberedList list;
    if (count <= -1)
        return list;
    list.saved = true;
    QList<std::pair<qint64, QString>> found;
    for (const auto& [name, text] : values) {
        const qint64 i = listEntryIndex(name);
        if (i >= 1 && i <= count && !text.isEmpty())
            found.append({i, text});
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& entry : found)
        list.entries.append(entry.second);
    return list;
}

NumberedList SettingsStore::readListChecked(const QString& section, QString* error) const {
    if (error)
        error->clear();
    const platform::SettingsFile file = platform::SettingsFile::user();
    const std::optional<QList<platform::SettingsFile::Value>> values =
        file.checkedValues(sectionPath(section), error);
    if (!values)
        return {};
    std::optional<QString> countText;
    QList<std::pair<qint64, QString>> found;
    for (const auto& [name, text] : *values) {
        if (name.compare(QLatin1StringView(settings::kListCount), Qt::CaseInsensitive) == 0) {
            countText = text;
        }
        const qint64 i = listEntryIndex(name);
        if (i >= 1 && !text.isEmpty())
            found.append({i, text});
    }
    const std::optional<qint64> count =
        countText ? parseStoredInteger(*countText) : std::optional<qint64>();
    const bool damaged = countText ? (!count || *count < 0) : !found.isEmpty();
    NumberedList list;
    if (!countText && !damaged)
        return list;  // never saved
    // A damaged count: every entry that is there protects, whatever the count says.
    const qint64 last = damaged ? std::numeric_limits<qint64>::max() : count.value_or(0);
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    list.saved = true;
    for (const auto& entry : found) {
        if (entry.first <= last)
            list.entries.append(entry.second);
    }
    if (damaged && error) {
        *error = QStringLiteral(
                     "The list \"%1\" in the settings file %2 is damaged: its count \"%3\" is %4")
                     .arg(section, file.path(), QLatin1StringView(settings::kListCount),
                          countText ? QStringLiteral("\"%1\"").arg(*countText)
                                    : QStringLiteral("missing"));
    }
    return list;
}

bool SettingsStore::writeList(const QString& section, const QStringList& entries) {
    QList<platform::SettingsFile::Value> values;
    values.reserve(entries.size() + 1);
    values.append({QString::fromLatin1(settings::kListCount), QString::number(entries.size())});
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString& entry = entries[i];
        const qsizetype tab = entry.indexOf(QLatin1Char('\t'));
        values.append({QString::fromLatin1(settings::kListEntryPrefix) + QString::number(i + 1),
                       tab < 0 ? entry : entry.left(tab)});
    }
    return platform::SettingsFile::user().setValues(sectionPath(section), values);
}

PlacementRecord SettingsStore::readPlacement(const QString& key, const QString& subkey,
                                             const QString& valueName) const {
    return PlacementRecord::parse(ReadUserRegString(placementSection(key, subkey), valueName));
}

bool SettingsStore::writePlacement(const QString& key, const QString& subkey,
                                   const QString& valueName, const PlacementRecord& record) {
    return platform::SettingsFile::user().setValue(placementSection(key, subkey), valueName,
                                                   record.toText());
}

// ---- free functions -------------------------------------------------------------------

QString programFileName() {
    if (QCoreApplication::instance() != nullptr) {
        return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    }
    QString target = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    // The kernel marks a program file replaced while running; its name is still ours.
    const QLatin1StringView deleted{" (deleted)"};
    if (target.endsWith(deleted))
        target.chop(deleted.size());
    return QFileInfo(target).fileName();
}

QString placementSubkey(const settings::PlacementKey& key) {
    return key.subkey == nullptr || *key.subkey == '\0' ? programFileName()
                                                        : QString::fromLatin1(key.subkey);
}

QString ReadUserRegString(const QString& keyPath, const QString& name) {
    return platform::SettingsFile::user().value(keyPath, name).value_or(QString());
}

QString ReadMachineRegString(const QString& keyPath, const QString& name) {
    return platform::SettingsFile::machine().value(keyPath, name).value_or(QString());
}

}  // namespace dw
