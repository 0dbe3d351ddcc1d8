#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <string>

// The exact text of one cell of a tab-separated line, and its reverse.
namespace dw {

// One cell of a tab-separated line, exact: TAB, line feed, carriage return and
// backslash are written as "\t", "\n", "\r" and "\\"; every byte that is not part of a
// valid UTF-8 sequence as "\x" and two upper-case hexadecimal digits; everything else
// as it is. The result is valid UTF-8 and holds no TAB or line break, and
// TsvUnescape gives back `bytes` exactly.
QByteArray TsvEscape(QByteArrayView bytes);

// TsvEscape(bytes) appended to `out`, for writing many cells into one buffer.
void AppendTsvEscaped(QByteArrayView bytes, std::string& out);

// The most bytes TsvEscape writes for one byte ("\x" and two digits).
constexpr qsizetype kTsvEscapedMax = 4;

// TsvEscape(bytes) written at `out`, which has room for kTsvEscapedMax * bytes.size()
// bytes (the most it can take: every byte written as "\xHH"); returns the end of what
// was written. For writers that keep their own buffer.
char* WriteTsvEscaped(QByteArrayView bytes, char* out);

// The reverse of TsvEscape. A backslash before any other character, or at the end, is
// kept as it is.
QByteArray TsvUnescape(QByteArrayView text);

// `cells`, each TsvEscape'd, joined by TAB (no line end).
QByteArray TsvLine(const QList<QByteArray>& cells);

}  // namespace dw
