#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <optional>

#include "platform/dir_reader.h"
#include "platform/volumes.h"
#include "scan/drive_entry.h"

namespace dw {

// The entries of a drive check list, from explicit facts:
// 1. a drive entry for every volume of `volumes` whose kind is in `kinds`, ordered by
//    mount point (byte order, so "/" comes first and a volume's folders follow it), with
//    `platform::volumeText` as its text;
// 2. the entry whose mount point is `currentVolume` checked; when there is none, the
//    entry of the root volume "/" checked instead (none when that is not listed either);
// 3. then one unchecked extra-folder entry for every non-empty text of `extraFolders`,
//    in their order, its start folder the native bytes the text stands for
//    (nativePathFromSetting: byte-exact also for names that are not UTF-8) and its
//    text that path for display (duplicates kept).
QList<DriveEntry> driveEntries(const QList<platform::Volume>& volumes, DriveKinds kinds,
                               const QByteArray& currentVolume, const QStringList& extraFolders);

// The extra folders the user added to the drive lists: the entries of the settings list
// "NewFolders" in their stored order (empty when it was never saved).
QStringList extraFolders();

// The entries of a window's drive check list on this machine: `driveEntries` of the
// mounted volumes, the volume of the current folder, and `extraFolders()` when
// `withExtraFolders` (none otherwise).
QList<DriveEntry> DriveCheckListEntries(DriveKinds kinds, bool withExtraFolders);

// True when the volume mounted at `mountPoint` answers (its space can be asked). An
// empty text tests the root volume "/".
bool DriveReady(const QByteArray& mountPoint);

// False only for a drive entry whose volume does not answer (`DriveReady` of its mount
// point); an extra folder is always ready (a missing one fails `EnterStartFolder`).
bool PathDriveReady(const DriveEntry& entry);

// A folder opened as the start of a walk.
struct StartFolder {
    platform::DirReader reader;  // open on the folder
    // The folder as given, trailing separators removed except for the root "/": the
    // folder text of the walk's first level.
    QByteArray path;
    quint64 device = 0;  // the file system the walk must not leave
    quint64 inode = 0;
};

// `folder` as a walk names its start: trailing separators removed, except for the root
// "/".
QByteArray StartFolderPath(QByteArray folder);

// Opens the start folder of `entry` (its `startFolder`). Nullopt, with nothing left
// open, when it cannot be opened: it does not exist, cannot be read, is not a folder, is
// a symbolic link (a start folder is not followed either; links in the folders above it
// are), or lies on a pseudo file system (proc, sysfs ...), which a walk never enters.
std::optional<StartFolder> EnterStartFolder(const DriveEntry& entry);
std::optional<StartFolder> EnterStartFolder(const QByteArray& folder);

// The word a report title uses for a checked entry in place of a drive letter: the
// volume's key (platform::volumeKey: the mount point without its leading "/" and with
// "/" as "_", "root" for "/"); an extra folder gives the key of the volume it lies on
// (its own text when the mount table cannot be read).
QString DriveWord(const DriveEntry& entry);

}  // namespace dw
