#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "base/progress_share.h"

namespace dw {
namespace {

TEST(ProgressShare, NeverFallsAndReachesAHundredOnlyWhenDone) {
    struct Step {
        qint64 done;
        qint64 total;
        int expected;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
    };
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    const Case cases[] = {
        {"a total that grows while reading (86 % would become 85 %)",
         {{517'803'286, 603'300'533, 85},
          {626'580'698, 733'313'620, 85},
          {700'000'000, 733'313'620, 95}}},
        {"a total that shrinks as files fall out", {{10, 100, 10}, {10, 20, 50}, {20, 20, 100}}},
        {"almost done is not done", {{999'999, 1'000'000, 99}, {1'000'000, 1'000'000, 100}}},
        {"nothing known yet, then a start", {{0, 0, 0}, {5, -1, 0}, {0, 50, 0}, {1, 50, 2}}},
        {"totals near the largest qint64", {{kMax / 4, kMax, 25}, {kMax - 1, kMax, 99}}},
        {"more read than the total once said", {{120, 100, 100}, {120, 400, 100}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProgressShare share;
        for (const Step& s : c.steps) {
            EXPECT_EQ(share.percent(s.done, s.total), s.expected) << s.done << " of " << s.total;
        }
    }
}

}  // namespace
}  // namespace dw
