#pragma once

#include <QChar>
#include <QString>

namespace dw {

// FormatThousands for millions of numbers: the same texts, made without the locale
// machinery for each number. It reads the default locale's digits and group separator
// when it is made; where they are not single characters it falls back to
// FormatThousands itself, so the texts are always the same as FormatThousands gives.
class ThousandsText {
public:
    ThousandsText();

    // FormatThousands(n) in the default locale at the time this object was made.
    QString operator()(qint64 n) const;

    // The same written as UTF-8 into `out` (at least kMaxUtf8 bytes); returns the
    // number of bytes written.
    static constexpr int kMaxUtf8 = 96;
    int toUtf8(qint64 n, char* out) const;

    // True when the texts are made from one digit zero, nine digits after it and one
    // group separator, each a single UTF-16 character (then `zero()` and `group()` tell
    // them); false when FormatThousands itself makes them.
    bool isSimple() const { return fast_; }
    char16_t zero() const { return zero_; }
    char16_t group() const { return group_; }
    // The text of a number >= 0 in reversed order (last digit first), when isSimple();
    // returns its length (at most 32).
    int reversedDigits(quint64 n, char16_t* out) const;

    // The groups of three digits a simple text shows for `n`, the last group first, into
    // `groups` (room for 7); returns how many there are (1 to 7). The first group of the
    // text (the last one written) has `leadingDigits` of it digits, without leading zeros.
    static int digitGroups(quint64 n, quint32* groups) {
        int count = 0;
        do {
            groups[count++] = quint32(n % 1000);
            n /= 1000;
        } while (n != 0);
        return count;
    }
    static int leadingDigits(quint32 group) { return group >= 100 ? 3 : (group >= 10 ? 2 : 1); }

private:
    int format(qint64 n, char16_t* out) const;

    bool fast_ = false;
    bool asciiDigits_ = false;  // fast_, with the digits 0-9 and an ASCII separator
    char16_t zero_ = u'0';
    char16_t group_ = u',';
    char16_t minus_ = u'-';
};

}  // namespace dw
