#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace dw {

// The check value of a file's contents, as the pair comparison shows it: the file is
// taken in blocks of 2,048 bytes (the last one shorter), the standard CRC-32 of each
// block by itself (reflected polynomial 0xEDB88320, initial value 0xFFFFFFFF, result
// complemented: zlib's crc32) is computed, and the block values are added modulo 2^32.
// An empty file gives 0; a file of up to 2,048 bytes gives its plain CRC-32 ("abc":
// 0x352441C2).
//
// The file is opened without following a symbolic link. nullopt when it is not a
// regular file that can be opened for reading, or when a read fails: such a file has no
// value, and two of them are never the same contents.
std::optional<quint32> FileCrc(const QByteArray& path);

// The block size of FileCrc.
inline constexpr qint64 kFileCrcBlock = 2048;

// The value as eight upper-case hexadecimal digits ("352441C2"), or "unreadable".
QString FileCrcText(std::optional<quint32> value);

// The CRC field of a pair comparison's pane for `mine` beside `other`: the value, right
// aligned in eight characters, then " file contents are identical" when the values are
// equal, " file contents differ" when they are not. An unreadable file reads
// "unreadable"; beside one, the other pane shows its value alone: contents that could
// not be read are never called identical, nor different.
QString CrcFieldText(std::optional<quint32> mine, std::optional<quint32> other);

}  // namespace dw
