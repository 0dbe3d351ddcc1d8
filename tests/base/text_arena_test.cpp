#include <gtest/gtest.h>

#include <QByteArray>

#include <vector>

#include "base/text_arena.h"

namespace dw {
namespace {

QByteArray textOf(qsizetype length, char seed) {
    QByteArray text(length, Qt::Uninitialized);
    for (qsizetype k = 0; k < length; ++k) {
        text[k] = char(seed + k * 7);  // every byte value, NUL included
    }
    return text;
}

// Texts of lengths around a block's end: the last one that fits, the first one that
// does not, one too long for any block, and empty texts between them. Every view taken
// along the way must still show its text after all the later additions.
TEST(TextArena, TextsKeepTheirBytesAndViewsAcrossBlocks) {
    const qsizetype block = 1 << 16;
    const std::vector<qsizetype> lengths = {
        0, 1, 9, block - 4 - 10, 6, block - 4, 0, block - 3, 200000, 3, block, 12345, 1, 0, 40000};
    TextArena arena;
    std::vector<QByteArray> texts;
    std::vector<QByteArrayView> views;
    for (size_t k = 0; k < lengths.size(); ++k) {
        texts.push_back(textOf(lengths[k], char(k)));
        EXPECT_EQ(arena.add(texts.back()), quint32(k));
        views.push_back(arena.at(quint32(k)));
    }
    for (int round = 0; round < 2000; ++round) {
        arena.add(textOf(round % 50, char(round)));
    }
    ASSERT_EQ(arena.count(), qsizetype(lengths.size()) + 2000);
    for (size_t k = 0; k < lengths.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(views[k].toByteArray(), texts[k]);
        EXPECT_EQ(arena.at(quint32(k)).toByteArray(), texts[k]);
    }
    EXPECT_GE(arena.bytes(), 200000 + 2 * block);

    arena.clear();
    EXPECT_EQ(arena.count(), 0);
    EXPECT_EQ(arena.add("after"), 0u);
    EXPECT_EQ(arena.at(0), QByteArrayView("after"));
}

}  // namespace
}  // namespace dw
