#pragma once

#include <QByteArray>

#include <optional>

namespace dw::platform {

// The bytes of a text file the program reads (its lists, its settings) as UTF-8 text
// with "\n" line ends as they were: a file that begins with a UTF-16 byte-order mark
// (FF FE little-endian, FE FF big-endian, as editors on other systems save text) is
// converted, its mark dropped; a UTF-8 byte-order mark is dropped; any other file is
// returned as it is, byte for byte. nullopt when a UTF-16 file cannot be read as
// written (an odd number of bytes, a lone surrogate).
std::optional<QByteArray> textFileAsUtf8(const QByteArray& data);

}  // namespace dw::platform
