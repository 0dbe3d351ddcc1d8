#include "safety/archive_name.h"

#include <QFileInfo>
#include <QLocale>

#include "base/settings_sections.h"
#include "base/utility.h"
#include "platform/paths.h"
#include "platform/volumes.h"

namespace dw {

namespace {

QString twoDigits(int n) {
    return QStringLiteral("%1").arg(n % 100, 2, 10, QLatin1Char('0'));
}

QString fileNameOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char(platform::kSep));
    return slash < 0 ? path : path.mid(slash + 1);
}

const QString kDrivePrefix = QStringLiteral("Drive-");

}  // namespace

QString archiveStamp(const QDateTime& stamp) {
    const QDate date = stamp.date();
    const QTime time = stamp.time();
    QString month = QLocale().monthName(date.month(), QLocale::ShortFormat);
    month.remove(QLatin1Char(platform::kSep));
    return twoDigits(date.day()) + month + twoDigits(date.year()) + twoDigits(time.hour()) +
           twoDigits(time.minute());
}

QString archiveFolderOrDefault(const QString& zipFolder) {
    return zipFolder.isEmpty() ? defaultZipFolder() : zipFolder;
}

QString archiveName(const QString& callerWord, const QString& volumeKey, const QDateTime& stamp,
                    const QString& zipFolder) {
    const QString name = kDrivePrefix + volumeKey + QLatin1Char('-') + callerWord +
                         archiveStamp(stamp) + QStringLiteral(".zip");
    return platform::joinPath(archiveFolderOrDefault(zipFolder), name);
}

QByteArray storedEntryName(const QByteArray& absolutePath) {
    if (!absolutePath.startsWith(platform::kSep)) {
        return {};
    }
    QByteArray name;
    name.reserve(absolutePath.size());
    qsizetype start = 0;
    while (start <= absolutePath.size()) {
        qsizetype end = absolutePath.indexOf(platform::kSep, start);
        if (end < 0) {
            end = absolutePath.size();
        }
        const QByteArray part = absolutePath.mid(start, end - start);
        start = end + 1;
        if (part.isEmpty() || part == ".") {
            continue;
        }
        if (part == "..") {
            return {};
        }
        if (!name.isEmpty()) {
            name += platform::kSep;
        }
        name += part;
    }
    return name;
}

QString volumeKeyOfPath(const QByteArray& path) {
    const std::optional<platform::Volume> volume = platform::mountOf(path);
    return volume ? platform::volumeKey(volume->mountPoint) : QStringLiteral("root");
}

QString archiveVolumeKey(const QString& archivePath, const QStringList& candidateKeys) {
    const QString name = fileNameOf(archivePath);
    if (!name.startsWith(kDrivePrefix, Qt::CaseInsensitive)) {
        return {};
    }
    const QString rest = name.mid(kDrivePrefix.size());
    QString best;
    for (const QString& key : candidateKeys) {
        if (!key.isEmpty() && key.size() > best.size() && rest.startsWith(key + QLatin1Char('-'))) {
            best = key;
        }
    }
    return best;
}

bool isVolumeArchiveName(const QString& archivePath) {
    return fileNameOf(archivePath).startsWith(kDrivePrefix, Qt::CaseInsensitive);
}

}  // namespace dw
