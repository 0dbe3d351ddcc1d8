#pragma once

#include <QByteArray>
#include <QString>

namespace dw::platform {

// Moves the file, folder or link at `path` into the desktop's trash (the freedesktop.org
// trash), so that the desktop's trash and other trash tools list it under its exact
// original path and the time of deletion, and can restore it there.
//
// - Files on the volume of the user's data folder go to the home trash,
//   $XDG_DATA_HOME/Trash (default ~/.local/share/Trash), with their absolute path.
// - Files on another volume go to that volume's trash, $topdir/.Trash/$uid when the
//   administrator made $topdir/.Trash (a real, sticky folder, not a link), else
//   $topdir/.Trash-$uid (made when missing), with their path relative to $topdir.
//   $topdir is the top of the mount holding the file, or of the btrfs subvolume holding
//   it (the highest folder of the file's folder's device), where a rename can reach.
//   The volume is that of the file's folder: on an overlay a file reports the device of
//   its layer, its folder the overlay's.
// - The file is renamed, never copied: a volume without a usable trash is a failure.
// - A link is trashed as itself, never its target; a folder with everything in it.
// - Names already in the trash get a numbered name there ("a_2.txt"); the original
//   path is kept in the .trashinfo, percent-encoded byte for byte, so names holding
//   "%", blanks, TAB, newlines or bytes that are not UTF-8 restore exactly.
//
// Returns true when the entry is in the trash; `trashedAs`, when given, receives its
// path there. Returns false when the entry does not exist, cannot be moved (no write
// permission on its folder, a mount point, no trash on its volume), leaving the entry
// where it was and no .trashinfo behind; `error`, when given, receives a clear message
// that names the cause first, and `cause`, when given, its error number (ENOSPC or
// EDQUOT for a full volume, 0 when it is none of the system's).
bool moveToTrash(const QByteArray& path, QString* error, QByteArray* trashedAs = nullptr,
                 int* cause = nullptr);

// The same for the entry `name` (one name, no separator) of the folder open as
// `folderFd` (any descriptor of a folder, O_PATH too), whose absolute path (no "..") is
// `path`: `path` names the entry in the .trashinfo and in messages, but the entry is
// renamed from `folderFd`, so exactly that folder's entry goes, whatever `path` leads
// to by then; the volume's trash is picked by where the kernel says `folderFd` lies
// (its links resolved without resolving `path` again, so a deep folder costs no more
// than a shallow one). Returns as moveToTrash does.
bool moveToTrashAt(int folderFd, const QByteArray& name, const QByteArray& path, QString* error,
                   QByteArray* trashedAs = nullptr, int* cause = nullptr);

// The home trash: $XDG_DATA_HOME/Trash (default ~/.local/share/Trash), whether or not it
// exists yet.
QByteArray homeTrashFolder();

}  // namespace dw::platform
