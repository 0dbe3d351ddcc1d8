#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include "platform/posix_io.h"

namespace dw::platform {

// Opens `file` on the native byte path `path`, which may hold any bytes a file name can
// (not only valid UTF-8), so the file reached is exactly the one named. `mode` is one of
// ReadOnly, WriteOnly (creates the file or empties it), WriteOnly | Append (creates it
// or appends) or ReadWrite (creates it, keeps its content); Text and Unbuffered may be
// added. Symbolic links are followed, as for any ordinary open. Opening for reading
// never blocks on a FIFO without a writer (it reads as empty). The file is closed with
// `file` (or by file.close()). Returns false, leaving `file` closed, when the path
// cannot be opened so; `file` must not be open on entry.
bool openNativeFile(QFile& file, const QByteArray& path, QIODevice::OpenMode mode);

// Where the next bytes that are really stored lie in the open `file` of `size` bytes,
// from `offset` on: `start` is the first offset at or after `offset` that holds data
// (`size` when only a hole follows) and `end` the end of that run of data (the next
// hole or `size`). The bytes of a hole read as zeros. Where the file system cannot tell
// (or the file is not open), {offset, size}: everything counts as data. Moves the
// file's descriptor position: seek the QFile before reading again.
struct DataRun {
    qint64 start;
    qint64 end;
};
DataRun nextDataRun(QFile& file, qint64 offset, qint64 size);
// Opens the regular file at the native byte path `path` for reading, without following
// a symbolic link in its last component and without ever blocking or reading a device:
// a link, folder, FIFO, socket or device is refused, and so is a file of a kernel file
// system (isKernelFile). Returns the descriptor (blocking reads), or an empty one with
// errno set (ELOOP for a link, EINVAL for anything else that is not a regular file, the
// open's own error otherwise).
UniqueFd openRegularFileForReading(const QByteArray& path);

// Opens the file at the native byte path `path` for looking at its bytes (the viewer,
// its strings), following symbolic links as the user who named or dropped it meant.
// The open never waits (a FIFO without a writer) and only a regular file of a file
// system that stores files is kept, so no later read can block or have effects. Returns
// the descriptor (blocking reads: a regular file never waits), or an empty one: with
// `reason` (when given) set to "it is a folder", "it is not a regular file" (a FIFO,
// socket or device) or "it is a file of the kernel, not of a disk" (isKernelFile) when
// it is refused for what it is; with `reason` emptied and errno set when the system
// would not open it (no such file, no permission, ...).
UniqueFd openFileToLookAt(const QByteArray& path, QString* reason = nullptr);

// The same, into `file` (closed on entry; closed with it), opened in `mode` (ReadOnly,
// with Unbuffered if wanted). False with `reason` set as above.
bool openFileToLookAt(QFile& file, const QByteArray& path, QString* reason = nullptr,
                      QIODevice::OpenMode mode = QIODevice::ReadOnly);

// True when the open descriptor `fd` is a file of a kernel file system (/proc, /sys,
// debugfs, tracefs, securityfs, configfs, cgroup, bpf): such files say they are regular
// and empty, yet reading some of them waits for events or consumes them (/proc/kmsg).
bool isKernelFile(int fd);

}  // namespace dw::platform
