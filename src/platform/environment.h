#pragma once

#include <QByteArray>
#include <QList>

namespace dw::platform {

// The folders of the program search path: $PATH split at ":", empty elements (which
// the shell reads as the current folder) left out, order and duplicates kept as they
// are. Read whole, however long. Empty when PATH is unset or empty.
QList<QByteArray> searchPath();

// The same split of a given PATH value.
QList<QByteArray> splitSearchPath(const QByteArray& pathValue);

// The system's own configuration folder, which takes the place of the Windows folder:
// "/etc".
QByteArray windowsFolder();

// The system's shared libraries, which take the place of the System folder: "/usr/lib".
QByteArray systemFolder();

// The user's home folder: $HOME when it is an absolute path, else the password
// database's entry for the user, else "/". Without a trailing "/" (except "/").
QByteArray homeFolder();

// The user's cache folder: $XDG_CACHE_HOME when it is an absolute path, else the home
// folder's ".cache". Without a trailing "/".
QByteArray cacheHomeFolder();

// The user's data folder: $XDG_DATA_HOME when it is an absolute path, else the home
// folder's ".local/share". Without a trailing "/".
QByteArray dataHomeFolder();

// The canonical form of `path` (absolute, every link and "."/".." resolved, no trailing
// "/") when it exists; `path` unchanged when it does not or cannot be resolved.
QByteArray shortPath(const QByteArray& path);

// The folder for temporary files: $TMPDIR when it names an existing folder, else
// "/tmp". Without a trailing "/".
QByteArray tempFolder();

// The process's current folder, however long; empty when it cannot be told (removed).
QByteArray currentFolder();

// The mount point of the drive-list volume holding the current folder, "/" when there
// is none (the current folder is gone, or on a volume the drive lists leave out).
QByteArray currentVolumeFolder();

}  // namespace dw::platform
