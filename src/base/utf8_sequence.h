#pragma once

#include <QtGlobal>

namespace dw {

// The length (2 to 4) of the valid multi-byte UTF-8 sequence at `p`, of which at most `n`
// bytes may be read, with its code point in `cp`; 0 when the bytes there are no valid
// multi-byte sequence: an ASCII byte, a stray continuation byte, a sequence cut short by
// `n`, an overlong form, a surrogate or a value above U+10FFFF. `cp` is unspecified then.
// `n` must be at least 1.
inline int Utf8Sequence(const unsigned char* p, qsizetype n, char32_t& cp) {
    const unsigned char c = p[0];
    int len;
    char32_t min;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (n < len) {
        return 0;
    }
    for (int k = 1; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

}  // namespace dw
