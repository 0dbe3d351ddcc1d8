#pragma once

#include <QByteArray>
#include <QFile>

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

}  // namespace dw::platform
