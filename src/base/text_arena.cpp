#include "base/text_arena.h"

#include <cstring>

namespace dw {

quint32 TextArena::add(QByteArrayView text) {
    const quint32 length = quint32(text.size());
    const size_t need = sizeof(quint32) + length;
    quint32 place = 0;
    if (need > kBlockBytes) {
        // Kept whole in a block of its own, which the next text does not share.
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(need));
        held_ += qsizetype(need);
        place = quint32(blocks_.size() - 1) << 16;
        used_ = kBlockBytes;
    } else {
        if (used_ + need > kBlockBytes) {
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockBytes));
            held_ += kBlockBytes;
            used_ = 0;
        }
        place = quint32(blocks_.size() - 1) << 16 | used_;
        used_ += quint32(need);
    }
    char* at = blocks_[place >> 16].get() + (place & 0xFFFF);
    std::memcpy(at, &length, sizeof length);
    if (length > 0) {
        std::memcpy(at + sizeof length, text.data(), length);
    }
    places_.push_back(place);
    return quint32(places_.size() - 1);
}

QByteArrayView TextArena::at(quint32 id) const {
    const quint32 place = places_[id];
    const char* start = blocks_[place >> 16].get() + (place & 0xFFFF);
    quint32 length = 0;
    std::memcpy(&length, start, sizeof length);
    return QByteArrayView(start + sizeof length, qsizetype(length));
}

qsizetype TextArena::bytes() const {
    return held_ + qsizetype(places_.capacity() * sizeof(quint32) +
                             blocks_.capacity() * sizeof(std::unique_ptr<char[]>));
}

void TextArena::clear() {
    blocks_ = std::vector<std::unique_ptr<char[]>>();
    places_ = std::vector<quint32>();
    used_ = kBlockBytes;
    held_ = 0;
}

}  // namespace dw
