#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>
#include <utility>

namespace dw {

// What the file details window shows of one file, as texts.
struct FileDetails {
    QByteArray path;  // native bytes, as given
    bool isFolder = false;
    QString fileName;   // the path as text
    QString type;       // FileTypeOfPath
    QString sizeBytes;  // "1,000 bytes"
    QString clusters;   // ClusterText of the allocated bytes and the volume's block size
    QString created;    // DateAgeText of the three dates
    QString modified;
    QString accessed;
    QString attributes;        // AttributesText
    QStringList versionLines;  // FileVersionLines with TABs
};

// The details of the entry at `path` (a link is described as itself, never followed),
// with the dates' ages relative to `now`; nullopt when nothing is there. The cluster
// size is the block size of the volume holding the entry's folder.
std::optional<FileDetails> ReadFileDetails(const QByteArray& path,
                                           const QDateTime& now = QDateTime::currentDateTime());

// FileTypeOfName of the path's last name, "No extension" where that is empty (a name
// without a dot that the file-type database does not know).
QString FileTypeOfPath(const QByteArray& path);

// "Cluster size: 4,096  Clusters used : 1": the clusters that `allocated` bytes on the
// disk take (a file's allocated blocks, as `stat` counts them, not its size: a sparse
// file's holes take none), the last one rounded up. "Cluster size: unknown" when
// `clusterSize` is not above 0.
QString ClusterText(qint64 allocated, qint64 clusterSize);

// " ReadOnly", " Hidden", " System", " VolumeID", " Directory", " Archive", for each
// attribute bit (platform/dir_entry.h) set, in this order; empty when none is.
QString AttributesText(quint32 attributes);

// A packed date-time as its date text (and, with `withTime`, a blank and its time
// text), two blanks and how far it lies from `now` in words ("This week"); "???" for a
// file without that date (0).
QString DateAgeText(quint32 packed, const QDateTime& now, bool withTime);

// The lines the window prints: "Name of file : \t" and the path, "Type of file : \t",
// " ", "Size of file : \t", fifteen blanks and a TAB before the cluster line, " ", the
// three dates ("Creation date     : \t", "Modification date : \t",
// "Access date       : \t"), " ", "Attributes : \t", " ", then the version lines.
QStringList DetailsPrintLines(const FileDetails& details);

// The window's lines as label and value, for the command line: "File name", "Type",
// "Size", "Size on disk", "Creation date", "Modification date", "Access date",
// "Attributes", then each version line's label (without its ": ") and value.
QList<std::pair<QString, QString>> DetailsFields(const FileDetails& details);

}  // namespace dw
