#include "platform/file_types.h"

#include <QMimeDatabase>
#include <QSet>

#include <algorithm>

namespace dw::platform {

namespace {

bool hasWildcard(const QString& s) {
    return s.contains(QLatin1Char('*')) || s.contains(QLatin1Char('?')) ||
           s.contains(QLatin1Char('['));
}

QStringList collectSuffixes() {
    const QMimeDatabase db;
    QSet<QString> seen;
    const QList<QMimeType> types = db.allMimeTypes();
    for (const QMimeType& type : types) {
        const QStringList suffixes = type.suffixes();
        for (const QString& suffix : suffixes) {
            if (suffix.isEmpty() || hasWildcard(suffix)) {
                continue;
            }
            seen.insert(suffix.toLower());
        }
    }
    QStringList list(seen.cbegin(), seen.cend());
    std::sort(list.begin(), list.end());
    return list;
}

// The number of characters a glob without "*" matches: a bracket class is one.
qsizetype fixedLength(QStringView glob) {
    qsizetype length = 0;
    for (qsizetype i = 0; i < glob.size(); ++i) {
        if (glob[i] == QLatin1Char('[')) {
            const qsizetype close = glob.indexOf(QLatin1Char(']'), i + 2);
            // An unclosed bracket is a plain character to the matcher.
            i = close < 0 ? i : close;
        }
        ++length;
    }
    return length;
}

FileTypeGlobShape collectShape() {
    FileTypeGlobShape shape;
    const QMimeDatabase db;
    QSet<QString> seen;
    const QList<QMimeType> types = db.allMimeTypes();
    for (const QMimeType& type : types) {
        const QStringList globs = type.globPatterns();
        for (const QString& raw : globs) {
            const QString glob = raw.toLower();
            if (glob.isEmpty() || seen.contains(glob)) {
                continue;
            }
            seen.insert(glob);
            if (glob.startsWith(QLatin1String("*."))) {
                const QStringView rest = QStringView(glob).mid(1);
                if (rest.contains(QLatin1Char('*'))) {
                    const qsizetype wild = std::min(
                        {rest.indexOf(QLatin1Char('*')),
                         rest.indexOf(QLatin1Char('?')) < 0 ? rest.size()
                                                            : rest.indexOf(QLatin1Char('?')),
                         rest.indexOf(QLatin1Char('[')) < 0 ? rest.size()
                                                            : rest.indexOf(QLatin1Char('['))});
                    shape.openSuffixStarts.append(rest.first(wild).toString());
                } else {
                    const qsizetype length = fixedLength(rest);
                    shape.longestSuffix = std::max(shape.longestSuffix, length);
                    if (hasWildcard(glob.mid(2)) &&
                        !shape.patternedSuffixLengths.contains(length)) {
                        shape.patternedSuffixLengths.append(length);
                    }
                }
                continue;
            }
            qsizetype first = glob.size();
            qsizetype last = -1;
            for (qsizetype i = 0; i < glob.size(); ++i) {
                const QChar c = glob[i];
                if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('[') ||
                    c == QLatin1Char(']')) {
                    first = std::min(first, i);
                    last = i;
                }
            }
            // A literal name is all start: its end would overlap it.
            shape.otherGlobs.append({glob.first(first), last < 0 ? QString() : glob.mid(last + 1)});
        }
    }
    return shape;
}

}  // namespace

QString fileTypeOfName(const QString& name) {
    if (name.isEmpty()) {
        return {};
    }
    const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault()) {
        return {};
    }
    // A type without a description is still better named by its MIME name than by the
    // made-up "XYZ File" of an unknown extension.
    const QString comment = type.comment();
    return comment.isEmpty() ? type.name() : comment;
}

const FileTypeGlobShape& fileTypeGlobShape() {
    static const FileTypeGlobShape shape = collectShape();
    return shape;
}

QString fileTypeDescription(const QString& extension) {
    if (extension.size() < 2 || !extension.startsWith(QLatin1Char('.')) || hasWildcard(extension)) {
        return {};
    }
    return fileTypeOfName(QStringLiteral("file") + extension);
}

const QStringList& knownFileSuffixes() {
    static const QStringList suffixes = collectSuffixes();
    return suffixes;
}

}  // namespace dw::platform
