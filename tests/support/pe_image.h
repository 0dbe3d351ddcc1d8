#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

// Small Windows PE images built byte by byte for the tests of the version reader: a
// 32-bit image with one ".rsrc" section whose resource directory leads (type 16, name 1,
// language 0x409) to a VS_VERSION_INFO block, laid out as Windows' resource compiler
// writes it.
namespace dw::test {

struct PeVersion {
    // The Translation value: language and code page.
    quint16 language = 0x0409;
    quint16 codePage = 0x04E4;
    // The string table's name; empty: the translation as eight lower-case digits.
    QString tableName;
    QList<std::pair<QString, QString>> strings;
    bool withTranslation = true;
    // Tables put before that one, of these names, each holding only CompanyName
    // "Elsewhere".
    QList<QString> tablesBefore;
};

class PeBuilder {
public:
    // A whole PE file; without a version, the resource directory is left out.
    static QByteArray image(const PeVersion* version) {
        QByteArray rsrc;
        if (version) {
            const QByteArray info = versionInfo(*version);
            rsrc = resourceDirectory(info);
        }
        QByteArray f(0x200, '\0');
        f[0] = 'M';
        f[1] = 'Z';
        put32(f, 0x3C, 0x40);
        f.replace(0x40, 4, QByteArray("PE\0\0", 4));
        put16(f, 0x44, 0x14C);  // i386
        put16(f, 0x46, 1);      // one section
        put16(f, 0x54, 224);    // the optional header's size
        const int opt = 0x58;
        put16(f, opt, 0x10B);
        put32(f, opt + 92, 16);
        if (version) {
            put32(f, opt + 96 + 16, kRsrcRva);
            put32(f, opt + 96 + 20, quint32(rsrc.size()));
        }
        const int section = opt + 224;
        f.replace(section, 5, ".rsrc");
        put32(f, section + 8, quint32(rsrc.size()));
        put32(f, section + 12, kRsrcRva);
        put32(f, section + 16, quint32(rsrc.size()));
        put32(f, section + 20, 0x200);
        return f + rsrc;
    }

    static constexpr quint32 kRsrcRva = 0x1000;
    static constexpr int kRawStart = 0x200;

    static void put16(QByteArray& d, qsizetype at, quint16 v) {
        d[at] = char(v & 0xFF);
        d[at + 1] = char(v >> 8);
    }
    static void put32(QByteArray& d, qsizetype at, quint32 v) {
        put16(d, at, quint16(v & 0xFFFF));
        put16(d, at + 2, quint16(v >> 16));
    }

    // One block: length, value length, type, key, padding, value, padding, children.
    static QByteArray block(const QString& key, const QByteArray& value, quint16 valueLength,
                            quint16 type, const QList<QByteArray>& children) {
        QByteArray b(6, '\0');
        b += utf16z(key);
        pad(b);
        b += value;
        for (const QByteArray& child : children) {
            pad(b);
            b += child;
        }
        put16(b, 0, quint16(b.size()));
        put16(b, 2, valueLength);
        put16(b, 4, type);
        return b;
    }

    static QByteArray utf16z(const QString& text) {
        QByteArray out;
        for (const QChar c : text) {
            out.append(char(c.unicode() & 0xFF));
            out.append(char(c.unicode() >> 8));
        }
        out.append(2, '\0');
        return out;
    }

    static void pad(QByteArray& b) {
        while (b.size() % 4 != 0) {
            b.append('\0');
        }
    }

    static QByteArray versionInfo(const PeVersion& v) {
        QList<QByteArray> strings;
        for (const auto& [key, value] : v.strings) {
            const QByteArray text = utf16z(value);
            strings.append(block(key, text, quint16(text.size() / 2), 1, {}));
        }
        const QString name = v.tableName.isEmpty() ? QStringLiteral("%1%2")
                                                         .arg(v.language, 4, 16, QLatin1Char('0'))
                                                         .arg(v.codePage, 4, 16, QLatin1Char('0'))
                                                   : v.tableName;
        QList<QByteArray> tables;
        for (const QString& other : v.tablesBefore) {
            const QByteArray text = utf16z(QStringLiteral("Elsewhere"));
            tables.append(block(
                other, {}, 0, 1,
                {block(QStringLiteral("CompanyName"), text, quint16(text.size() / 2), 1, {})}));
        }
        tables.append(block(name, {}, 0, 1, strings));
        const QByteArray stringInfo = block(QStringLiteral("StringFileInfo"), {}, 0, 1, tables);
        QList<QByteArray> children{stringInfo};
        if (v.withTranslation) {
            QByteArray pair(4, '\0');
            put16(pair, 0, v.language);
            put16(pair, 2, v.codePage);
            const QByteArray var = block(QStringLiteral("Translation"), pair, 4, 0, {});
            children.append(block(QStringLiteral("VarFileInfo"), {}, 0, 1, {var}));
        }
        QByteArray fixed(52, '\0');
        put32(fixed, 0, 0xFEEF04BD);
        return block(QStringLiteral("VS_VERSION_INFO"), fixed, 52, 0, children);
    }

    // Three levels of directory, one entry each, then the data entry and the block.
    static QByteArray resourceDirectory(const QByteArray& info) {
        QByteArray r(0x58, '\0');
        const auto dir = [&](int at, quint32 id, quint32 target) {
            put16(r, at + 14, 1);
            put32(r, at + 16, id);
            put32(r, at + 20, target);
        };
        dir(0x00, 16, 0x80000000u | 0x18);
        dir(0x18, 1, 0x80000000u | 0x30);
        dir(0x30, 0x409, 0x48);
        put32(r, 0x48, kRsrcRva + 0x58);
        put32(r, 0x4C, quint32(info.size()));
        return r + info;
    }
};

}  // namespace dw::test
