#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/split_work.h"

namespace dw {
namespace {

struct Piece {
    qsizetype begin;
    qsizetype end;
    std::thread::id thread;
};

std::vector<Piece> piecesOf(qsizetype count, qsizetype minimumPiece) {
    std::mutex mutex;
    std::vector<Piece> pieces;
    SplitWork(count, minimumPiece, [&](qsizetype begin, qsizetype end) {
        const std::lock_guard lock(mutex);
        pieces.push_back({begin, end, std::this_thread::get_id()});
    });
    std::sort(pieces.begin(), pieces.end(),
              [](const Piece& a, const Piece& b) { return a.begin < b.begin; });
    return pieces;
}

TEST(SplitWork, PiecesCoverTheRangeOnceAndSmallRangesStayWhole) {
    const bool twoCores = std::thread::hardware_concurrency() >= 2;
    struct Case {
        qsizetype count;
        qsizetype minimumPiece;
        bool split;
    };
    for (const Case c : {Case{0, 10, false}, Case{1, 10, false}, Case{19, 10, false},
                         Case{20, 10, true}, Case{1001, 10, true}, Case{5, 0, true}}) {
        SCOPED_TRACE(testing::Message() << c.count << " by " << c.minimumPiece);
        const std::vector<Piece> pieces = piecesOf(c.count, c.minimumPiece);
        if (c.count == 0) {
            EXPECT_TRUE(pieces.empty());
            continue;
        }
        const bool split = c.split && twoCores;
        ASSERT_EQ(pieces.size(), split ? 2u : 1u);
        EXPECT_EQ(pieces.front().begin, 0);
        EXPECT_EQ(pieces.back().end, c.count);
        if (split) {
            EXPECT_EQ(pieces[0].end, pieces[1].begin);
            EXPECT_EQ(pieces[0].end, SplitPoint(c.count, c.minimumPiece));
            EXPECT_NE(pieces[0].thread, pieces[1].thread);
        } else {
            EXPECT_EQ(pieces[0].thread, std::this_thread::get_id());
            EXPECT_EQ(SplitPoint(c.count, c.minimumPiece), c.count);
        }
    }
}

TEST(SplitWork, AnExceptionOfEitherPieceComesBackAfterBothEnded) {
    if (std::thread::hardware_concurrency() < 2) {
        GTEST_SKIP() << "one core: the range is never split";
    }
    for (const qsizetype failing : {qsizetype(0), qsizetype(50)}) {
        std::atomic<int> ended{0};
        EXPECT_THROW(SplitWork(100, 10,
                               [&](qsizetype begin, qsizetype) {
                                   ++ended;
                                   if (begin == failing) {
                                       throw std::runtime_error("piece failed");
                                   }
                               }),
                     std::runtime_error);
        EXPECT_EQ(ended.load(), 2);
    }
    EXPECT_THROW(RunTogether([] { throw std::logic_error("first"); },
                             [] { throw std::runtime_error("second"); }),
                 std::logic_error);
}

}  // namespace
}  // namespace dw
