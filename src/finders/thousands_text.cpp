#include "finders/thousands_text.h"

#include <QLocale>

#include <array>
#include <cstring>

#include "base/utility.h"

namespace dw {

namespace {

// 19 digits, 6 separators and a sign.
constexpr int kMaxChars = 32;

}  // namespace

ThousandsText::ThousandsText() {
    const QLocale locale;
    const QString zero = locale.zeroDigit();
    const QString group = locale.groupSeparator();
    const QString minus = locale.negativeSign();
    if (zero.size() != 1 || group.size() != 1 || minus.size() != 1) {
        return;
    }
    zero_ = zero.at(0).unicode();
    group_ = group.at(0).unicode();
    minus_ = minus.at(0).unicode();
    fast_ = true;
    asciiDigits_ = zero_ == u'0' && group_ < 0x80;
    // Trust the shortcut only where it agrees with the real thing.
    for (qint64 probe :
         {qint64(0), qint64(7), qint64(1234), qint64(-98765), qint64(1234567890123456789LL)}) {
        char16_t buffer[kMaxChars];
        const int n = format(probe, buffer);
        if (QStringView(buffer, n) != FormatThousands(probe)) {
            fast_ = false;
            asciiDigits_ = false;
            return;
        }
    }
}

int ThousandsText::reversedDigits(quint64 v, char16_t* reversed) const {
    int length = 0;
    int digits = 0;
    do {
        if (digits > 0 && digits % 3 == 0) {
            reversed[length++] = group_;
        }
        reversed[length++] = char16_t(zero_ + char16_t(v % 10));
        v /= 10;
        ++digits;
    } while (v != 0);
    return length;
}

int ThousandsText::format(qint64 n, char16_t* out) const {
    char16_t reversed[kMaxChars];
    // Negate in unsigned arithmetic: the lowest 64-bit number has no positive twin.
    int length = reversedDigits(n < 0 ? quint64(0) - quint64(n) : quint64(n), reversed);
    if (n < 0) {
        reversed[length++] = minus_;
    }
    for (int i = 0; i < length; ++i) {
        out[i] = reversed[length - 1 - i];
    }
    return length;
}

QString ThousandsText::operator()(qint64 n) const {
    if (!fast_) {
        return FormatThousands(n);
    }
    char16_t buffer[kMaxChars];
    const int length = format(n, buffer);
    return QString(reinterpret_cast<const QChar*>(buffer), length);
}

int ThousandsText::toUtf8(qint64 n, char* out) const {
    if (!fast_) {
        const QByteArray utf8 = FormatThousands(n).toUtf8();
        const int length = int(std::min<qsizetype>(utf8.size(), kMaxUtf8));
        std::memcpy(out, utf8.constData(), size_t(length));
        return length;
    }
    if (asciiDigits_ && n >= 0) {
        // Digits 0-9 and an ASCII separator, the common case: three digits at a time.
        static constexpr auto kTriples = [] {
            std::array<char, 3000> t{};
            for (int v = 0; v < 1000; ++v) {
                t[size_t(3 * v)] = char('0' + v / 100);
                t[size_t(3 * v + 1)] = char('0' + (v / 10) % 10);
                t[size_t(3 * v + 2)] = char('0' + v % 10);
            }
            return t;
        }();
        quint32 groups[8];
        const int count = digitGroups(quint64(n), groups);
        const quint32 top = groups[count - 1];
        const int topDigits = leadingDigits(top);
        std::memcpy(out, kTriples.data() + 3 * top + (3 - topDigits), size_t(topDigits));
        int written = topDigits;
        for (int g = count - 2; g >= 0; --g) {
            out[written] = char(group_);
            std::memcpy(out + written + 1, kTriples.data() + 3 * groups[g], 3);
            written += 4;
        }
        return written;
    }
    char16_t buffer[kMaxChars];
    const int length = format(n, buffer);
    int written = 0;
    for (int i = 0; i < length; ++i) {
        const char16_t c = buffer[i];
        if (c < 0x80) {
            out[written++] = char(c);
        } else if (c < 0x800) {
            out[written++] = char(0xC0 | (c >> 6));
            out[written++] = char(0x80 | (c & 0x3F));
        } else {
            // Digits and separators are never surrogates (the constructor checked them).
            out[written++] = char(0xE0 | (c >> 12));
            out[written++] = char(0x80 | ((c >> 6) & 0x3F));
            out[written++] = char(0x80 | (c & 0x3F));
        }
    }
    return written;
}

}  // namespace dw
