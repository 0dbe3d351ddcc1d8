#include "finders/size_text_key.h"

#include <algorithm>

namespace dw {

SizeTextKey::SizeTextKey(const ThousandsText& thousands) {
    std::array<char16_t, 11> sorted{};
    for (int d = 0; d < 10; ++d) {
        sorted[size_t(d)] = char16_t(thousands.zero() + d);
    }
    sorted[10] = thousands.group();
    std::sort(sorted.begin(), sorted.end());
    const auto code = [&](char16_t c) {
        return quint32(std::find(sorted.begin(), sorted.end(), c) - sorted.begin() + 1);
    };
    std::array<quint32, 10> digitCode{};
    for (int d = 0; d < 10; ++d) {
        digitCode[size_t(d)] = code(char16_t(thousands.zero() + d));
    }
    groupCode_ = code(thousands.group());
    for (quint32 g = 0; g < 1000; ++g) {
        groupCodes_[g] = quint16((digitCode[g / 100] << 8) | (digitCode[(g / 10) % 10] << 4) |
                                 digitCode[g % 10]);
    }
}

}  // namespace dw
