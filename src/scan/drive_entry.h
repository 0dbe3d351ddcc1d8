#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <initializer_list>

#include "platform/volumes.h"

namespace dw {

// One entry of a drive check list: a mounted volume, or an extra folder that the user
// added to every list. The list keeps these as they are and never parses a text back:
// the start folder is carried as native bytes, the text is only for display and
// messages.
struct DriveEntry {
    enum class Kind { Drive, ExtraFolder };

    Kind kind = Kind::Drive;
    // Where a walk of the entry starts: the volume's mount point, or the extra folder's
    // path as stored (native bytes).
    QByteArray startFolder;
    // What the list shows: `platform::volumeText` of a volume ("/ [root]",
    // "/mnt/share //nas/share"), or the extra folder exactly as stored.
    QString text;
    // The volume's kind; for extra folders always Fixed and without meaning.
    platform::VolumeKind volumeKind = platform::VolumeKind::Fixed;
    bool checked = false;

    bool isDrive() const { return kind == Kind::Drive; }
    bool operator==(const DriveEntry&) const = default;
};

// The kinds of volume a window's drive list offers.
class DriveKinds {
public:
    constexpr DriveKinds() = default;
    constexpr DriveKinds(std::initializer_list<platform::VolumeKind> kinds) {
        for (platform::VolumeKind k : kinds) {
            bits_ |= bit(k);
        }
    }
    constexpr bool contains(platform::VolumeKind kind) const { return (bits_ & bit(kind)) != 0; }

private:
    static constexpr quint32 bit(platform::VolumeKind kind) { return 1u << quint32(kind); }
    quint32 bits_ = 0;
};

// The drive lists of the windows. Removable volumes take the place of floppy drives.
// The duplicates and file-hogs finder, the quick clean and the folder hogs.
inline constexpr DriveKinds kFinderDriveKinds{
    platform::VolumeKind::Removable, platform::VolumeKind::Fixed, platform::VolumeKind::Network,
    platform::VolumeKind::CdRom};
// The files-accessed finder.
inline constexpr DriveKinds kFilesAccessedDriveKinds{
    platform::VolumeKind::Removable, platform::VolumeKind::Fixed, platform::VolumeKind::Network};
// The statistics and the drive dialog that chooses their drives.
inline constexpr DriveKinds kStatisticsDriveKinds{
    platform::VolumeKind::Fixed, platform::VolumeKind::Network, platform::VolumeKind::CdRom,
    platform::VolumeKind::RamDisk};

}  // namespace dw
