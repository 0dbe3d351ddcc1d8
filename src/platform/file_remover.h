#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

#include "platform/posix_io.h"

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

// What a check found at a path, to tell later whether it is still the same file in the
// same folder.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    quint64 folderDevice = 0;  // the folder the file was found in
    quint64 folderInode = 0;
    qint64 size = 0;         // the entry's own size (a link's, not its target's)
    qint64 modifiedNs = 0;   // modification time, nanoseconds since the epoch
    bool isLink = false;     // a symbolic link (removed as itself)
    bool isRegular = false;  // a regular file

    bool operator==(const FileIdentity&) const = default;
};

// Acts on single files the way every deletion of the program must: never through a
// link, never on a folder, never on a mount point or a system folder, and only on the
// file that was checked.
//
// A path is acted on only when
// - it is absolute and holds no ".." component and no NUL byte (repeated "/" and "."
//   components are dropped);
// - it does not end with "/" (as `rm` refuses "file/": "Not a directory", and a
//   folder, or a link to one, written so is "it is a folder");
// - it does not name a system folder (isSystemFolder);
// - no folder on its way is a symbolic link (the folders are opened one by one, or in
//   one call where the kernel offers it, refusing any link), so the entry reached is
//   the one the path names and no other;
// - the entry itself is not a folder (a link to a folder is a link, and removable);
// - the entry is not the root of a mount (a bind-mounted file), as the kernel tells it
//   (the mount's own root), never by a device differing from its folder's: on an
//   overlay the files of one folder report the devices of the layers they lie on;
// - it is not a trash folder, nor in one (inTrashText()): the desktop's home trash, a
//   volume's .Trash-UID or .Trash, and the Trash folder of any user's data folder
//   (".local/share/Trash"); what is there is already the trash's, and taking it again
//   loses its original path.
// - at the act, a regular file is not in use: no program has it open for writing or
//   mapped writable (writersOf; where the file system cannot tell, the act goes on).
//
// inspect() is the check: it returns the file's identity, including the device and
// inode of the folder it was found in. Every act (remove, trash, openForReading) is
// handed that identity, opens the path's folder afresh without following links, and
// acts only when that folder and the entry in it are still the ones checked (same
// device and inode); the act itself goes through the folder's descriptor (unlinkat,
// renameat, openat), never through the path. A file or folder replaced since the check
// is left alone and reported so.
//
// Not thread-safe; not copyable.
// What a walk that holds its folders open found at one entry, for the acts above.
struct EntryFacts {
    FileIdentity identity;  // folderDevice and folderInode: the folder it was found in
    quint32 mode = 0;       // the entry's st_mode
    bool isFolder = false;
    bool isMountRoot = false;  // the root of a mount (the kernel's word, see FileRemover)
    quint32 links = 1;         // its number of names (hard links)
};

// The entry `name` (one component) of the folder open as `folderFd`, whose device and
// inode are `folderDevice` and `folderInode`, stat'ed without following a link and
// without triggering an automount. nullopt with `error` set to the errno when it
// cannot be stat'ed.
std::optional<EntryFacts> examineAt(int folderFd, const QByteArray& name, quint64 folderDevice,
                                    quint64 folderInode, int* error);

// Why FileRemover did not act on an entry (or found it unfit for the act asked). Every
// reason a FileRemover call gives carries one of these beside its text; decisions are
// taken on the code, the text is only shown.
enum class RemoveCode {
    None,            // the call acted (or, for a check, found the entry fit)
    NotAbsolute,     // "its path is not absolute"
    HoldsDotDot,     // "its path holds \"..\""
    HoldsNul,        // "its path holds a NUL byte"
    SystemFolder,    // "it is a system folder"
    LinkOnPath,      // "a folder on its path is a symbolic link"
    IsFolder,        // "it is a folder"
    NotFolder,       // "it is not a folder" (a whole-folder act on something else)
    IsLink,          // "it is a symbolic link" (a whole-folder act on a link), or a link
                     // handed to openForReading
    NotRegular,      // openForReading on a device, FIFO or socket
    MountPoint,      // "it is a mount point"
    InTrash,         // inTrashText(): a trash folder or something in one
    ReplacedFolder,  // replacedFolderText(): its folder is not the one checked
    ReplacedFile,    // replacedFileText(): the entry is not the one checked
    Changed,         // changedText(): the same file with another size or time
    SystemError,     // the system refused the look or the act (its errno text)
    TrashRefused,    // the desktop's trash could not take it (the trash's message)
    TrashFull,       // the same because the trash's volume is full or over its quota
    InUse,           // inUseText(): another program has it open for writing
};

// True when the folder entry `name` (one component) is a trash folder of a volume or a
// user's data folder: ".Trash" (the administrator's shared trash), ".Trash-" and digits
// (a user's volume trash), or "Trash" when `folder` ends in ".local/share". Judged by
// name, so such a folder anywhere is refused: taking a real trash again loses what it
// knows, while keeping a folder that only looks like one loses nothing.
bool isTrashFolderName(const QByteArray& folder, const QByteArray& name);

// A folder a walk holds open, for the acts below that go through it rather than its
// path: the walk's cost stays linear in the depth of the tree, and nothing a path leads
// to later can stand in for it.
struct HeldFolder {
    int fd = -1;        // the folder itself (not owned)
    int parentFd = -1;  // the folder it was found in (not owned); -1: not checked again
    QByteArray name;    // its name there
    quint64 device = 0;
    quint64 inode = 0;
    QByteArray path;  // its absolute path: for the trash's record and for messages
};

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
    // path holds \"..\"", "its path holds a NUL byte", "it is a system folder", "a folder
    // on its path is a symbolic link", "it is a folder", "it is a mount point", or the
    // system's text for the error ("No such file or directory", "Not a directory",
    // "Permission denied", ...).
    std::optional<FileIdentity> inspect(const QByteArray& path, QString* reason = nullptr);

    // Removes the entry at `path` (a link itself, never its target). Without `expected`
    // it is checked first (inspect) and removed. With `expected` (from inspect), it is
    // removed only when it is still that file: a folder or file replaced since gives
    // replacedFolderText() or replacedFileText(); the same file with another size or
    // modification time gives changedText(); a regular file in use gives inUseText().
    // Returns true when the entry is gone;
    // `identity`, when given, receives what was removed. False with `reason` set
    // otherwise (also inspect's reasons, or the system's text for a failed removal, such
    // as "Permission denied").
    bool remove(const QByteArray& path, QString* reason = nullptr,
                const FileIdentity* expected = nullptr, FileIdentity* identity = nullptr);

    // Moves the entry at `path` into the desktop's trash of its own volume (see
    // moveToTrashAt) when it is still `expected` (device and inode, in the same folder)
    // and not in use. False with `reason` set as for remove(), or to the trash's message.
    bool trash(const QByteArray& path, const FileIdentity& expected, QString* reason = nullptr);

    // Opens the entry at `path` for reading when it is a regular file and still
    // `expected` (device, inode, size and modification time, in the same folder) and no
    // program has it open for writing (inUseText() otherwise: what is read could change
    // while it is read); the open never follows a link, never blocks, and nothing but a
    // regular file is ever opened. An invalid descriptor with `reason` set otherwise.
    UniqueFd openForReading(const QByteArray& path, const FileIdentity& expected,
                            QString* reason = nullptr);

    // Checks the folder at `path` as a whole-folder removal needs: absolute, no "..", no
    // link on the way or at its end, not a system folder, a real folder, not the root of
    // a mount. Returns its identity (device and inode, and those of its folder), or
    // nullopt with `reason` set: inspect's path reasons, "it is a system folder", "it is
    // a symbolic link", "it is not a folder", "it is a mount point", or the system's text.
    std::optional<FileIdentity> inspectFolder(const QByteArray& path, QString* reason = nullptr);

    // Removes the empty folder at `path` when it is still the folder found by a check:
    // `expected` holds its device and inode and those of the folder it lies in (size,
    // times and the flags are not compared). The path is checked as for a file (absolute,
    // no "..", no link on the way, not a system folder, not a mount point) and the folder
    // removed through its parent's descriptor. Returns true when it is gone; false with
    // `reason` set otherwise: replacedFolderText() or replacedFileText() for a folder
    // replaced since the check, "it is not a folder", inspect's reasons, or the system's
    // text ("Directory not empty", "Permission denied", ...).
    bool removeFolder(const QByteArray& path, const FileIdentity& expected,
                      QString* reason = nullptr);

    // The acts above for the entry `name` of a folder a walk holds: the entry must still
    // be `expected` (as a walk's examineAt found it, with `folder`'s device and inode as
    // its folder's), and the folder must still be `folder.name` of its parent, else
    // replacedFolderText() (linkOnPathText() when a link took its place). The entry is
    // looked at and acted on through `folder.fd`: no path is resolved again. The reasons
    // and results are those of remove(), trash() and removeFolder().
    bool removeAt(const HeldFolder& folder, const QByteArray& name, const FileIdentity& expected,
                  QString* reason = nullptr, FileIdentity* identity = nullptr);
    bool trashAt(const HeldFolder& folder, const QByteArray& name, const FileIdentity& expected,
                 QString* reason = nullptr);
    bool removeFolderAt(const HeldFolder& folder, const QByteArray& name,
                        const FileIdentity& expected, QString* reason = nullptr);

    // True when the entry `name` of the folder at `folder` (clean, absolute) is a trash
    // folder: isTrashFolderName, or the home trash (as its path is written or as it
    // really lies). What a walk that refuses none on its way asks of each folder it meets.
    bool isTrashFolder(const QByteArray& folder, const QByteArray& name) const;

    // The reasons of a file that is no longer the one checked.
    static QString replacedFolderText();  // "its folder was replaced after it was checked"
    static QString replacedFileText();    // "it was replaced after it was checked"
    static QString changedText();         // "it changed after it was checked"
    static QString linkOnPathText();      // "a folder on its path is a symbolic link"
    static QString inTrashText();         // "it is the trash's own folder or lies in it"

    // The code of the last call's outcome: RemoveCode::None after a call that acted (or a
    // check that found the entry fit), else the code of the reason it gave.
    RemoveCode lastCode() const { return lastCode_; }

    // Closes the descriptor of the folder used last (it is also closed with the object,
    // and replaced at the next call).
    void reset();

private:
    struct Target;
    // Notes `code` as the last outcome and `text` in `reason` (when given); false.
    bool refuse(RemoveCode code, const QString& text, QString* reason);
    // Checks `path` and opens its folder: the entry's identity, with `target` holding
    // the folder's descriptor and the name. nullopt with `reason` set otherwise.
    std::optional<FileIdentity> reach(const QByteArray& path, Target& target, QString* reason);
    // The descriptor of `folder` (normalised, absolute) opened without following any
    // link, or -1 with errno-like `error` set.
    int folderFd(const QByteArray& folder, int* error);
    // The folder of `path` opened and held (its descriptor), with the last component in
    // `name` and whether the path ended in "/"; -1 with `reason` set when the path is
    // refused as written or its folder cannot be reached.
    int openFolderOf(const QByteArray& path, QByteArray& name, bool& trailingSep, QString* reason);
    // Checks the folder at `path` (inspectFolder) and opens its parent: its identity with
    // `target` holding the parent's descriptor and the name, or nullopt with `reason`.
    std::optional<FileIdentity> reachFolder(const QByteArray& path, Target& target,
                                            QString* reason);
    // The entry `name` of `folder` for the acts "At": what examineAt finds there once the
    // folder is known to be still in its place and the entry fit for a file act
    // (`wantFolder` false) or a folder act, and still `expected` (with the same size and
    // time too when `sameContent`); nullopt with `reason` set otherwise.
    std::optional<EntryFacts> reachAt(const HeldFolder& folder, const QByteArray& name,
                                      bool wantFolder, const FileIdentity& expected,
                                      bool sameContent, QString* reason);
    // True when the clean absolute `path` lies in a trash folder, or is one.
    bool inTrash(const QByteArray& path) const;
    // Moves the entry `name` of the folder open as `folderFd` (at `path`) to the trash:
    // true, or false with the code and `reason` set (TrashFull for a full volume).
    bool trashEntry(int folderFd, const QByteArray& name, const QByteArray& path, QString* reason);

    const QList<QByteArray> systemFolders_;  // taken once: it asks for the home folder
    const QList<QByteArray> homeTrashes_;    // the home trash as written and its real path
    UniqueFd fd_;
    quint64 folderDevice_ = 0;
    quint64 folderInode_ = 0;
    bool useOpenat2_ = true;
    RemoveCode lastCode_ = RemoveCode::None;
};

}  // namespace dw::platform
