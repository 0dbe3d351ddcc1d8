#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace dw::platform {

// The folders no deletion may ever remove, whatever the Safe Harbor says: "/", /bin,
// /boot, /dev, /etc, /home, /lib, /lib32, /lib64, /libx32, /opt, /proc, /root, /run,
// /sbin, /snap, /srv, /sys, /tmp, /usr, /var, and the user's home folder (as
// homeFolder() names it and in its canonical form).
QList<QByteArray> systemFolders();

// True when `path` names one of systemFolders() itself (not something inside one).
// Judged by its text after dropping repeated "/", "." components and trailing "/", so
// "/bin", "//bin/" and "/./bin" are all refused, whether /bin is a folder or a link.
// A relative path, or one holding "..", is judged by its canonical form.
bool isSystemFolder(const QByteArray& path);

// What a removal found at a path, to tell later whether it is still the same file.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;         // the entry's own size (a link's, not its target's)
    qint64 modifiedNs = 0;   // modification time, nanoseconds since the epoch
    bool isLink = false;     // a symbolic link (removed as itself)
    bool isRegular = false;  // a regular file

    bool operator==(const FileIdentity&) const = default;
};

// Removes single files the way every deletion of the program must: never through a
// link, never a folder, never a mount point or a system folder.
//
// A path is acted on only when
// - it is absolute and holds no ".." component and no NUL byte (repeated "/" and "."
//   components are dropped);
// - it does not name a system folder (isSystemFolder);
// - no folder on its way is a symbolic link (the folders are opened one by one, or in
//   one call where the kernel offers it, refusing any link), so the entry reached is
//   the one the path names and no other;
// - the entry itself is not a folder (a link to a folder is a link, and removable);
// - the entry is not the root of a mount (a bind-mounted file).
// The entry is then removed relative to its folder's descriptor: a link is removed
// itself, never its target.
//
// The descriptor of the last folder used is kept, so a sorted list of files costs one
// folder opening per folder. Not thread-safe; not copyable.
class FileRemover {
public:
    // `walkFolders`: open the folders of a path one by one even where the kernel could
    // refuse links on the whole way in one call (as on kernels before 5.6); for tests.
    explicit FileRemover(bool walkFolders = false);
    ~FileRemover();
    FileRemover(const FileRemover&) = delete;
    FileRemover& operator=(const FileRemover&) = delete;

    // Checks `path` as described above and returns what is there, or nullopt with
    // `reason` (when given) set to a clear message: "its path is not absolute", "its
    // path holds \"..\"", "its path holds a NUL byte", "it is a system folder", "a folder on its
    // path is a symbolic link", "it is a folder", "it is a mount point", or the system's text for
    // the error ("No such file or directory", "Permission denied", ...).
    std::optional<FileIdentity> inspect(const QByteArray& path, QString* reason = nullptr);

    // Removes the entry at `path` after inspect() has passed it. With `expected`, the
    // entry must still be that file (same device, inode, size and modification time);
    // otherwise it stays and `reason` is "it changed after it was archived". Returns
    // true when the entry is gone; `identity`, when given, receives what was removed.
    // False with `reason` set otherwise (inspect's reasons, or the system's text for a
    // failed removal, such as "Permission denied").
    bool remove(const QByteArray& path, QString* reason = nullptr,
                const FileIdentity* expected = nullptr, FileIdentity* identity = nullptr);

    // Closes the kept folder descriptor (it is also closed with the object).
    void reset();

private:
    // The descriptor of `folder` (normalised, absolute) opened without following any
    // link, or -1 with errno-like `error` set; `folderDevice` its device.
    int folderFd(const QByteArray& folder, int* error);

    const QList<QByteArray> systemFolders_;  // taken once: it asks for the home folder
    QByteArray folder_;
    int fd_ = -1;
    quint64 folderDevice_ = 0;
    bool useOpenat2_ = true;
};

}  // namespace dw::platform
