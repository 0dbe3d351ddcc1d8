#pragma once

#include <QtGlobal>

#include <array>

#include "finders/thousands_text.h"

namespace dw {

// Keys of 128 bits for sorting: compared as numbers, shifted as one.
__extension__ typedef unsigned __int128 SortKey128;

// The size texts of a simple locale (ThousandsText::isSimple) are made of eleven
// characters: ten digits and one separator. Numbered 1 to 11 in the order of their codes,
// with 0 for the end, each fits in 4 bits, and a text of `chars` characters at most
// becomes a number of 4 * `chars` bits in the order of the texts. The number is made from
// the size's groups of three digits, each looked up whole, not from its text.
class SizeTextKey {
public:
    explicit SizeTextKey(const ThousandsText& thousands);

    // The number of characters of the size's text.
    static int length(qint64 size) {
        int digits = 1;
        for (quint64 v = quint64(size); v >= 10; v /= 10) {
            ++digits;
        }
        return digits + (digits - 1) / 3;
    }

    // The key of `size` (>= 0) for texts of at most `chars` characters.
    SortKey128 operator()(qint64 size, int chars) const {
        quint32 groups[8];
        const int count = ThousandsText::digitGroups(quint64(size), groups);
        // The leading group has no leading zeros: only its own digits' codes.
        const quint32 top = groups[count - 1];
        const int topDigits = ThousandsText::leadingDigits(top);
        SortKey128 key = groupCodes_[top] & ((1u << (4 * topDigits)) - 1);
        int length = topDigits;
        for (int g = count - 2; g >= 0; --g) {
            key = (key << 16) | (SortKey128(groupCode_) << 12) | groupCodes_[groups[g]];
            length += 4;
        }
        return key << (4 * (chars - length));
    }

private:
    quint32 groupCode_ = 0;
    std::array<quint16, 1000> groupCodes_{};
};

}  // namespace dw
