#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace dw::platform {

// Attribute bits of a directory entry, with their Linux meaning.
inline constexpr quint32 kAttrReadOnly = 0x01;  // the owner's write bit is clear
inline constexpr quint32 kAttrHidden = 0x02;    // the name begins with "." (not "." or "..")
inline constexpr quint32 kAttrSystem = 0x04;    // neither a regular file nor a directory
inline constexpr quint32 kAttrVolume = 0x08;    // never set on Linux
inline constexpr quint32 kAttrFolder = 0x10;    // a real directory; a link is never a folder
inline constexpr quint32 kAttrArchive = 0x20;   // never set on Linux

// One entry of a folder as the directory reader reports it, never following a link
// (a symbolic link is reported as itself: a system entry, its own size).
struct DirEntry {
    QByteArray name;  // native bytes, without the folder
    qint64 size = 0;  // 64-bit; 0 for folders
    quint32 attributes = 0;
    // Times in seconds since the epoch (UTC). `created` is the birth time where the
    // file system reports one; `hasCreated` is false where it does not.
    qint64 accessed = 0;
    qint64 modified = 0;
    qint64 created = 0;
    bool hasCreated = false;
    // Identity on the machine, for "is this the same file" and "same file system".
    quint64 device = 0;
    quint64 inode = 0;
    // The number of names the file has (hard links); 1 where the system does not say.
    quint32 links = 1;

    bool isFolder() const { return (attributes & kAttrFolder) != 0; }
    bool isHidden() const { return (attributes & kAttrHidden) != 0; }
    bool isSystem() const { return (attributes & kAttrSystem) != 0; }
};

// 1 for the entries "." and "..", 0 for any other folder, 2 for anything else.
inline int EntryKind(const DirEntry& e) {
    if (e.isFolder()) {
        return (e.name == "." || e.name == "..") ? 1 : 0;
    }
    return 2;
}

}  // namespace dw::platform
