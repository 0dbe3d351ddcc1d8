#include "support/printers.h"

#include <cstdio>

namespace {

// `bytes` in double quotes: printable ASCII as it is (a quote and a backslash escaped),
// control characters as C escapes, and the bytes from 0x80 up as they are when
// `wholeUtf8` (a text's UTF-8, for the terminal to show) or else as "\xNN".
void printQuoted(const QByteArray& bytes, bool wholeUtf8, std::ostream* os) {
    *os << '"';
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            *os << '\\' << c;
        } else if (c == '\n') {
            *os << "\\n";
        } else if (c == '\t') {
            *os << "\\t";
        } else if (c == '\r') {
            *os << "\\r";
        } else if (u < 0x20 || u == 0x7f || (u >= 0x80 && !wholeUtf8)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", unsigned(u));
            *os << hex;
        } else {
            *os << c;
        }
    }
    *os << '"';
}

}  // namespace

void PrintTo(const QString& text, std::ostream* os) {
    printQuoted(text.toUtf8(), true, os);
}

void PrintTo(const QByteArray& bytes, std::ostream* os) {
    // Native names are not necessarily UTF-8: every byte above ASCII shows as a number.
    printQuoted(bytes, false, os);
}

void PrintTo(QChar c, std::ostream* os) {
    char code[16];
    std::snprintf(code, sizeof code, " (U+%04X)", unsigned(c.unicode()));
    printQuoted(QString(c).toUtf8(), true, os);
    *os << code;
}
