#pragma once

#include <QByteArray>
#include <QFile>

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
// a link, folder, FIFO, socket or device is refused. Returns the descriptor (blocking
// reads), or an empty one with errno set (ELOOP for a link, EINVAL for anything else
// that is not a regular file, the open's own error otherwise).
UniqueFd openRegularFileForReading(const QByteArray& path);

}  // namespace dw::platform
