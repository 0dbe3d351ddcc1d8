#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <memory>
#include <vector>

namespace dw {

// Many short byte texts (dates, times, names of types) kept back to back in blocks that
// never move, each reached by the number `add` gave it. A text costs its bytes, a
// four-byte length and a four-byte place, instead of a heap object of its own.
//
// The views `at` returns stay valid while the arena lives, across later `add` calls,
// until `clear`. Not safe for `add` on one thread while another reads; reads alone may
// run on any number of threads.
class TextArena {
public:
    // Stores a copy of `text` (any bytes, empty included) and returns its number: 0 for
    // the first text, then 1, 2, ... in the order of adding.
    quint32 add(QByteArrayView text);

    // The bytes of text `id` (an id `add` returned since the last `clear`).
    QByteArrayView at(quint32 id) const;

    qsizetype count() const { return qsizetype(places_.size()); }
    // The memory held: blocks and the table of places.
    qsizetype bytes() const;
    void clear();

private:
    // Blocks of 64 KiB, so that a place is a block number and an offset of 16 bits each;
    // a text too long for one has a block of its own.
    static constexpr quint32 kBlockBytes = 1u << 16;

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<quint32> places_;  // block << 16 | offset of the length before the text
    quint32 used_ = kBlockBytes;   // bytes used in the last block
    qsizetype held_ = 0;           // bytes in blocks
};

}  // namespace dw
