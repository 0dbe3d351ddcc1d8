#include "inspect/file_details.h"

#include <QFile>

#include "base/file_dates.h"
#include "base/utility.h"
#include "inspect/file_version.h"
#include "platform/dir_reader.h"
#include "platform/paths.h"
#include "platform/volumes.h"

namespace dw {

QString FileTypeOfPath(const QByteArray& path) {
    const QString type = FileTypeOfName(QFile::decodeName(platform::nameOfPath(path)));
    return type.isEmpty() ? QStringLiteral("No extension") : type;
}

QString ClusterText(qint64 allocated, qint64 clusterSize) {
    if (clusterSize <= 0) {
        return QStringLiteral("Cluster size: unknown");
    }
    const qint64 used = allocated / clusterSize + (allocated % clusterSize != 0 ? 1 : 0);
    return QStringLiteral("Cluster size: ") + FormatThousands(clusterSize) +
           QStringLiteral("  Clusters used : ") + FormatThousands(used);
}

QString AttributesText(quint32 attributes) {
    static const std::pair<quint32, const char*> kWords[] = {
        {platform::kAttrReadOnly, " ReadOnly"}, {platform::kAttrHidden, " Hidden"},
        {platform::kAttrSystem, " System"},     {platform::kAttrVolume, " VolumeID"},
        {platform::kAttrFolder, " Directory"},  {platform::kAttrArchive, " Archive"},
    };
    QString text;
    for (const auto& [bit, word] : kWords) {
        if ((attributes & bit) != 0) {
            text += QLatin1String(word);
        }
    }
    return text;
}

QString DateAgeText(quint32 packed, const QDateTime& now, bool withTime) {
    const QString date = FileDateToDateText(packed);
    if (date.isEmpty()) {
        return QStringLiteral("???");
    }
    QString text = date;
    if (withTime) {
        text += QLatin1Char(' ') + FileDateToTimeText(packed);
    }
    return text + QStringLiteral("  ") +
           RelativeDateText(FileDateToDateTimeSafe(packed).date(), now);
}

std::optional<FileDetails> ReadFileDetails(const QByteArray& path, const QDateTime& now) {
    const std::optional<platform::DirEntry> entry = platform::statPath(path);
    if (!entry) {
        return std::nullopt;
    }
    FileDetails d;
    d.path = path;
    d.isFolder = entry->isFolder();
    d.fileName = QFile::decodeName(path);
    d.type = FileTypeOfPath(path);
    d.sizeBytes = FormatThousands(entry->size) + QStringLiteral(" bytes");
    const auto space = platform::driveSpace(platform::folderOfPath(path));
    // The blocks the file holds, not its size rounded up: holes and compression take none.
    d.clusters = ClusterText(entry->allocated, space ? space->blockSize : 0);
    d.created = DateAgeText(CreatedFileDate(*entry), now, false);
    d.modified = DateAgeText(ModifiedFileDate(*entry), now, false);
    d.accessed = DateAgeText(AccessedFileDate(*entry), now, false);
    d.attributes = AttributesText(entry->attributes);
    if (!d.isFolder) {
        d.versionLines = FileVersionLines(path, true);
    }
    return d;
}

QStringList DetailsPrintLines(const FileDetails& d) {
    QStringList lines = {
        QStringLiteral("Name of file : \t") + d.fileName,
        QStringLiteral("Type of file : \t") + d.type,
        QStringLiteral(" "),
        QStringLiteral("Size of file : \t") + d.sizeBytes,
        QStringLiteral("               \t") + d.clusters,
        QStringLiteral(" "),
        QStringLiteral("Creation date     : \t") + d.created,
        QStringLiteral("Modification date : \t") + d.modified,
        QStringLiteral("Access date       : \t") + d.accessed,
        QStringLiteral(" "),
        QStringLiteral("Attributes : \t") + d.attributes,
        QStringLiteral(" "),
    };
    lines += d.versionLines;
    return lines;
}

QList<std::pair<QString, QString>> DetailsFields(const FileDetails& d) {
    QList<std::pair<QString, QString>> fields = {
        {QStringLiteral("File name"), d.fileName},
        {QStringLiteral("Type"), d.type},
        {QStringLiteral("Size"), d.sizeBytes},
        {QStringLiteral("Size on disk"), d.clusters},
        {QStringLiteral("Creation date"), d.created},
        {QStringLiteral("Modification date"), d.modified},
        {QStringLiteral("Access date"), d.accessed},
        {QStringLiteral("Attributes"), d.attributes},
    };
    const QStringList& labels = VersionLineLabels();
    for (qsizetype k = 0; k < d.versionLines.size() && k < labels.size(); ++k) {
        const QString& label = labels[k];
        QString value = d.versionLines[k].mid(label.size());
        while (value.startsWith(QLatin1Char('\t'))) {
            value.remove(0, 1);
        }
        fields.append({label.chopped(2), value});
    }
    return fields;
}

}  // namespace dw
