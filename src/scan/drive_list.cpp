#include "scan/drive_list.h"

#include <QFile>

#include <algorithm>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "platform/environment.h"
#include "platform/paths.h"

namespace dw {

QList<DriveEntry> driveEntries(const QList<platform::Volume>& volumes, DriveKinds kinds,
                               const QByteArray& currentVolume, const QStringList& extraFolders) {
    QList<platform::Volume> shown;
    for (const platform::Volume& v : volumes) {
        if (kinds.contains(v.kind)) {
            shown.append(v);
        }
    }
    std::stable_sort(shown.begin(), shown.end(),
                     [](const platform::Volume& a, const platform::Volume& b) {
                         return a.mountPoint < b.mountPoint;
                     });

    QList<DriveEntry> entries;
    entries.reserve(shown.size() + extraFolders.size());
    for (const platform::Volume& v : shown) {
        DriveEntry e;
        e.kind = DriveEntry::Kind::Drive;
        e.startFolder = v.mountPoint;
        e.text = platform::volumeText(v);
        e.volumeKind = v.kind;
        entries.append(e);
    }

    const auto checkFirst = [&entries](const QByteArray& mountPoint) {
        for (DriveEntry& e : entries) {
            if (e.startFolder == mountPoint) {
                e.checked = true;
                return true;
            }
        }
        return false;
    };
    if (!checkFirst(currentVolume)) {
        checkFirst(QByteArray(platform::kRootFolder));
    }

    for (const QString& folder : extraFolders) {
        if (folder.isEmpty()) {
            continue;
        }
        DriveEntry e;
        e.kind = DriveEntry::Kind::ExtraFolder;
        e.startFolder = nativePathFromSetting(folder);
        e.text = QFile::decodeName(e.startFolder);
        entries.append(e);
    }
    return entries;
}

QStringList extraFolders() {
    return SettingsStore().readList(QString::fromLatin1(settings::kNewFolders)).entries;
}

QList<DriveEntry> DriveCheckListEntries(DriveKinds kinds, bool withExtraFolders) {
    return driveEntries(platform::mountedVolumes(), kinds, platform::currentVolumeFolder(),
                        withExtraFolders ? extraFolders() : QStringList());
}

bool DriveReady(const QByteArray& mountPoint) {
    return platform::isReady(mountPoint.isEmpty() ? QByteArray(platform::kRootFolder) : mountPoint);
}

bool PathDriveReady(const DriveEntry& entry) {
    return !entry.isDrive() || DriveReady(entry.startFolder);
}

std::optional<StartFolder> EnterStartFolder(const DriveEntry& entry) {
    return EnterStartFolder(entry.startFolder);
}

QByteArray StartFolderPath(QByteArray folder) {
    while (folder.size() > 1 && folder.endsWith(platform::kSep)) {
        folder.chop(1);
    }
    return folder;
}

std::optional<StartFolder> EnterStartFolder(const QByteArray& folder) {
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    StartFolder start;
    start.path = StartFolderPath(folder);
    if (!start.reader.open(start.path)) {
        return std::nullopt;
    }
    platform::DirEntry self;
    if (!start.reader.statFolder(self)) {
        return std::nullopt;
    }
    start.device = self.device;
    start.inode = self.inode;
    // Below the start the device check keeps the walk on this file system, so only the
    // start itself can lead into a pseudo one.
    if (const std::optional<platform::Volume> mount = platform::mountOf(start.path)) {
        if (platform::isPseudoFileSystem(mount->fsType)) {
            return std::nullopt;
        }
    }
    return start;
}

QString DriveWord(const DriveEntry& entry) {
    if (entry.isDrive()) {
        return platform::volumeKey(entry.startFolder);
    }
    if (const std::optional<platform::Volume> v = platform::mountOf(entry.startFolder)) {
        return platform::volumeKey(v->mountPoint);
    }
    return entry.text;
}

}  // namespace dw
