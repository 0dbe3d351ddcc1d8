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

}  // namespace

QString fileTypeDescription(const QString& extension) {
    if (extension.size() < 2 || !extension.startsWith(QLatin1Char('.')) || hasWildcard(extension)) {
        return {};
    }
    const QMimeDatabase db;
    // Matching by name only: the database never touches a file for this.
    const QMimeType type =
        db.mimeTypeForFile(QStringLiteral("file") + extension, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault()) {
        return {};
    }
    // A type without a description is still better named by its MIME name than by the
    // made-up "XYZ File" of an unknown extension.
    const QString comment = type.comment();
    return comment.isEmpty() ? type.name() : comment;
}

const QStringList& knownFileSuffixes() {
    static const QStringList suffixes = collectSuffixes();
    return suffixes;
}

}  // namespace dw::platform
