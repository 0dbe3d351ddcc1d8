#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// Where archives go and what they and their entries are called. One archive holds the
// files of one volume, named after the volume's key, the calling tool's word and the
// minute of the run; each entry is stored under the file's full path without the
// leading "/", so that restoring into "/" puts every file back where it was.
namespace dw {

// The run's time stamp as it appears in archive names, "ddmmmyyhhmm": the day with two
// digits, the default locale's short name of the month (Qt's short format, as the
// locale writes it: "Sep" in English, "Sept." in some others; a "/" in it would make a
// folder, so any is dropped), the year with two digits, the hour (00-23) and the
// minute with two digits each. 6 September 1999, 15:33 gives "06Sep991533".
QString archiveStamp(const QDateTime& stamp);

// The folder archives go to: `zipFolder`, or defaultZipFolder() when it is empty.
QString archiveFolderOrDefault(const QString& zipFolder);

// The full path of the archive for the files of the volume `volumeKey` (see
// platform::volumeKey), written for `callerWord` ("Duplicates", "TempClean", ...; may be
// empty) in the run that started at `stamp`: "Drive-" + key + "-" + word + stamp +
// ".zip" joined to archiveFolderOrDefault(zipFolder) with one "/".
// Example: "/home/ann/zips/Drive-home-TempClean10Dec261533.zip".
QString archiveName(const QString& callerWord, const QString& volumeKey, const QDateTime& stamp,
                    const QString& zipFolder);

// The name an archived file is stored under: its absolute native path without the
// leading "/" ("/home/ann/a.tmp" gives "home/ann/a.tmp"), bytes unchanged. Repeated
// "/" and "." components are dropped. Empty (the file cannot be archived) when the
// path is not absolute, names the root itself, or has a ".." component, since such a
// name would not restore to the file's place.
QByteArray storedEntryName(const QByteArray& absolutePath);

// The key of the volume that holds `path` (platform::volumeKey of its mount point,
// pseudo mounts included: a file in /dev/shm gives "dev_shm"); "root" when the mount
// table cannot be read.
QString volumeKeyOfPath(const QByteArray& path);

// Which of `candidateKeys` (the keys of the mounted volumes) the archive's file name
// carries: the longest key K for which the name (without its folders) begins with
// "Drive-" + K + "-". Empty when none does, or the name does not begin with "Drive-".
// Keys may themselves hold "-" ("media_ann_my-stick"), so the name alone cannot tell
// where the key ends.
QString archiveVolumeKey(const QString& archivePath, const QStringList& candidateKeys);

// True when the archive's file name begins with "Drive-" (without regard to case): an
// archive written by this program, named after its volume.
bool isVolumeArchiveName(const QString& archivePath);

}  // namespace dw
