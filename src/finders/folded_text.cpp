#include "finders/folded_text.h"

#include <QChar>

#include <algorithm>
#include <cstring>

#include "base/utf8_sequence.h"

namespace dw {

namespace {

// Values of bytes that are no valid UTF-8: above every code point (0x10FFFF).
constexpr char32_t kInvalidBase = 0x110000;
constexpr char32_t kEnd = 0xFFFFFFFF;

char32_t upperAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? char32_t(c - ('a' - 'A')) : char32_t(c);
}

// Reads one character at `p` (before `end`), returns its folded value and advances `p`.
char32_t readFolded(const unsigned char*& p, const unsigned char* end) {
    const unsigned char c = *p;
    if (c < 0x80) {
        ++p;
        return upperAscii(c);
    }
    char32_t cp = 0;
    const int len = Utf8Sequence(p, end - p, cp);
    if (len == 0) {
        ++p;
        return kInvalidBase + c;
    }
    p += len;
    return QChar::toUpper(cp);
}

struct Cursor {
    explicit Cursor(TextParts t)
        : p_(bytes(t.first)),
          end_(p_ + t.first.size()),
          next_(bytes(t.second)),
          nextEnd_(next_ + t.second.size()) {}

    char32_t next() {
        if (p_ == end_) {
            if (next_ == nextEnd_) {
                return kEnd;
            }
            p_ = next_;
            end_ = nextEnd_;
            next_ = nextEnd_;
        }
        return readFolded(p_, end_);
    }

    static const unsigned char* bytes(QByteArrayView v) {
        return reinterpret_cast<const unsigned char*>(v.data());
    }
    const unsigned char* p_;
    const unsigned char* end_;
    const unsigned char* next_;
    const unsigned char* nextEnd_;
};

}  // namespace

int compareFolded(QByteArrayView a, QByteArrayView b) {
    // The common case, two ASCII names, stays in this loop.
    const auto* pa = reinterpret_cast<const unsigned char*>(a.data());
    const auto* pb = reinterpret_cast<const unsigned char*>(b.data());
    const auto* ea = pa + a.size();
    const auto* eb = pb + b.size();
    while (pa != ea && pb != eb) {
        if ((*pa | *pb) < 0x80) {
            const char32_t ca = upperAscii(*pa++);
            const char32_t cb = upperAscii(*pb++);
            if (ca != cb) {
                return ca < cb ? -1 : 1;
            }
            continue;
        }
        const char32_t ca = readFolded(pa, ea);
        const char32_t cb = readFolded(pb, eb);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (pa == ea) {
        return pb == eb ? 0 : -1;
    }
    return 1;
}

int compareFolded(TextParts a, TextParts b) {
    Cursor ca(a);
    Cursor cb(b);
    for (;;) {
        // Two ASCII characters, the common case, without a call.
        if (ca.p_ != ca.end_ && cb.p_ != cb.end_ && (*ca.p_ | *cb.p_) < 0x80) {
            const char32_t x = upperAscii(*ca.p_++);
            const char32_t y = upperAscii(*cb.p_++);
            if (x != y) {
                return x < y ? -1 : 1;
            }
            continue;
        }
        const char32_t x = ca.next();
        const char32_t y = cb.next();
        if (x != y) {
            // kEnd is the largest value, but the shorter text comes first.
            if (x == kEnd) {
                return -1;
            }
            if (y == kEnd) {
                return 1;
            }
            return x < y ? -1 : 1;
        }
        if (x == kEnd) {
            return 0;
        }
    }
}

void foldedPrefixKey(TextParts text, int chars, quint8* out) {
    int i = 0;
    bool stopped = false;
    for (const QByteArrayView part : {text.first, text.second}) {
        const auto* p = reinterpret_cast<const unsigned char*>(part.data());
        const auto* end = p + part.size();
        while (i < chars && p != end) {
            // Eight ASCII bytes at a time: a-z become A-Z by clearing bit 5 of each.
            if (chars - i >= 8 && end - p >= 8) {
                quint64 word;
                std::memcpy(&word, p, sizeof word);
                if ((word & 0x8080808080808080ull) == 0) {
                    const quint64 atLeastA = word + 0x1F1F1F1F1F1F1F1Full;  // >= 'a'
                    const quint64 aboveZ = word + 0x0505050505050505ull;    // > 'z'
                    const quint64 lower = atLeastA & ~aboveZ & 0x8080808080808080ull;
                    word ^= lower >> 2;
                    std::memcpy(out + i, &word, sizeof word);
                    i += 8;
                    p += 8;
                    continue;
                }
            }
            if (*p < 0x80) {
                out[i++] = quint8(upperAscii(*p++));
                continue;
            }
            const char32_t c = readFolded(p, end);
            if (c >= 0x80) {
                // Every character beyond ASCII sorts after all ASCII ones; which of them
                // comes first is left to the whole comparison.
                out[i++] = 0xFF;
                stopped = true;
                break;
            }
            out[i++] = quint8(c);
        }
        if (stopped || i == chars) {
            break;
        }
    }
    for (; i < chars; ++i) {
        out[i] = 0;
    }
}

void appendFoldedSortBytes(TextParts text, std::string& out) {
    // ASCII values, nearly every character of real names, take one byte; any other
    // value is 0xFF and its three bytes, high byte first, above every ASCII one. No
    // encoding is the beginning of another, so the first byte where two strings differ
    // lies in the encodings of the first characters that differ. The parts are read one
    // after the other, as Cursor reads them: a sequence never runs on into the second.
    out.reserve(out.size() + size_t(text.first.size() + text.second.size()));
    for (const QByteArrayView part : {text.first, text.second}) {
        const auto* p = reinterpret_cast<const unsigned char*>(part.data());
        const auto* end = p + part.size();
        while (p != end) {
            if (*p < 0x80) {
                out.push_back(char(upperAscii(*p++)));
                continue;
            }
            // Values reach kInvalidBase + 0xFF at most, well within three bytes.
            const char32_t c = readFolded(p, end);
            if (c < 0x80) {
                out.push_back(char(c));
                continue;
            }
            const char bytes[4] = {char(0xFF), char(c >> 16), char((c >> 8) & 0xFF),
                                   char(c & 0xFF)};
            out.append(bytes, 4);
        }
    }
}

TextParts skipBytes(TextParts text, qsizetype bytes) {
    if (bytes <= 0) {
        return text;
    }
    if (bytes < text.first.size()) {
        return {text.first.sliced(bytes), text.second};
    }
    bytes -= text.first.size();
    return {{}, text.second.sliced(std::min(bytes, text.second.size()))};
}

qsizetype commonPrefixBytes(TextParts a, TextParts b, qsizetype limit) {
    const auto byteAt = [](const TextParts& t, qsizetype i) -> int {
        if (i < t.first.size()) {
            return quint8(t.first[i]);
        }
        i -= t.first.size();
        return i < t.second.size() ? quint8(t.second[i]) : -1;
    };
    qsizetype n = 0;
    while (n < limit) {
        const int x = byteAt(a, n);
        if (x < 0 || x != byteAt(b, n)) {
            break;
        }
        ++n;
    }
    // Back to a byte that is no continuation byte in either text: such a byte always
    // starts a character, however the bytes before it decode.
    const auto continuation = [&](const TextParts& t) {
        const int x = byteAt(t, n);
        return x >= 0 && (x & 0xC0) == 0x80;
    };
    while (n > 0 && (continuation(a) || continuation(b))) {
        --n;
    }
    return n;
}

QByteArrayView trimmedField(QByteArrayView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) {
        --end;
    }
    return text.sliced(begin, end - begin);
}

}  // namespace dw
