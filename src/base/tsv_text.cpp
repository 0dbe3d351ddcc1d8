#include "base/tsv_text.h"

#include <cstring>

namespace dw {

namespace {

// The length of the valid UTF-8 sequence at `p`, or 0 when the byte there starts none.
int utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
    const unsigned char c = *p;
    int extra = 0;
    if (c < 0x80) {
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
        extra = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
        extra = 3;
    } else {
        return 0;
    }
    if (end - p <= extra) {
        return 0;
    }
    for (int i = 1; i <= extra; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
    }
    // Overlong forms, surrogates and values beyond U+10FFFF.
    if ((c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] >= 0xA0) || (c == 0xF0 && p[1] < 0x90) ||
        (c == 0xF4 && p[1] >= 0x90)) {
        return 0;
    }
    return extra + 1;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// TsvEscape(bytes), handed to `put` (a pointer and a length) a piece at a time.
template <typename Put>
void escapeTsv(QByteArrayView bytes, Put&& put) {
    static const char kHex[] = "0123456789ABCDEF";
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        // Runs of printable ASCII, nearly every byte of real names, go in one piece; the
        // run is scanned eight bytes at a time while no byte in them needs a look.
        const auto* run = p;
        while (end - run >= 8) {
            quint64 word;
            std::memcpy(&word, run, sizeof word);
            constexpr quint64 kOnes = 0x0101010101010101ull;
            constexpr quint64 kHigh = 0x8080808080808080ull;
            const quint64 control = (word - 0x20 * kOnes) & ~word;  // a byte below 0x20
            const quint64 slash = word ^ (0x5C * kOnes);            // a zero byte where '\\'
            const quint64 backslash = (slash - kOnes) & ~slash;
            if (((word | control | backslash) & kHigh) != 0) {
                break;
            }
            run += 8;
        }
        while (run < end && *run >= 0x20 && *run < 0x80 && *run != '\\') {
            ++run;
        }
        if (run > p) {
            put(reinterpret_cast<const char*>(p), size_t(run - p));
            p = run;
            continue;
        }
        const unsigned char c = *p;
        switch (c) {
            case '\t':
                put("\\t", 2);
                ++p;
                continue;
            case '\n':
                put("\\n", 2);
                ++p;
                continue;
            case '\r':
                put("\\r", 2);
                ++p;
                continue;
            case '\\':
                put("\\\\", 2);
                ++p;
                continue;
            default:
                break;
        }
        const int length = utf8SequenceLength(p, end);
        if (length == 0) {
            const char hex[4] = {'\\', 'x', kHex[c >> 4], kHex[c & 0x0F]};
            put(hex, 4);
            ++p;
        } else {
            put(reinterpret_cast<const char*>(p), size_t(length));
            p += length;
        }
    }
}

}  // namespace

QByteArray TsvEscape(QByteArrayView bytes) {
    std::string out;
    out.reserve(size_t(bytes.size()) + 8);
    AppendTsvEscaped(bytes, out);
    return QByteArray(out.data(), qsizetype(out.size()));
}

void AppendTsvEscaped(QByteArrayView bytes, std::string& out) {
    escapeTsv(bytes, [&out](const char* p, size_t n) { out.append(p, n); });
}

char* WriteTsvEscaped(QByteArrayView bytes, char* out) {
    escapeTsv(bytes, [&out](const char* p, size_t n) {
        std::memcpy(out, p, n);
        out += n;
    });
    return out;
}

QByteArray TsvUnescape(QByteArrayView text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const char next = text[i + 1];
        if (next == 't') {
            out += '\t';
        } else if (next == 'n') {
            out += '\n';
        } else if (next == 'r') {
            out += '\r';
        } else if (next == '\\') {
            out += '\\';
        } else if (next == 'x' && i + 3 < text.size() && hexValue(text[i + 2]) >= 0 &&
                   hexValue(text[i + 3]) >= 0) {
            out += char(hexValue(text[i + 2]) * 16 + hexValue(text[i + 3]));
            i += 2;
        } else {
            out += c;
            continue;
        }
        ++i;
    }
    return out;
}

QByteArray TsvLine(const QList<QByteArray>& cells) {
    std::string line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0) {
            line += '\t';
        }
        AppendTsvEscaped(cells[i], line);
    }
    return QByteArray(line.data(), qsizetype(line.size()));
}

}  // namespace dw
