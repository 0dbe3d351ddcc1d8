#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include <vector>

#include "platform/event_pump.h"

namespace dw::platform {
namespace {

TEST(EventPump, PumpRunsWaitingEvents) {
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    pumpEvents();
    EXPECT_TRUE(ran);
}

// Only lower bounds on time are checked, which a busy machine cannot break: it can only
// make the gaps longer.
TEST(EventPump, ClockedPumpPumpsAtMostOncePerInterval) {
    constexpr int kIntervalMs = 30;
    int pumps = 0;
    ClockedPump slow(60'000, [&] { ++pumps; });
    for (int i = 0; i < 10'000; ++i) {
        EXPECT_FALSE(slow());  // the first interval counts from the pump's making
    }
    EXPECT_EQ(pumps, 0);

    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> pumpedAt;  // ns since the pump was made, at each pump's start
    ClockedPump pump(kIntervalMs, [&] { pumpedAt.push_back(clock.nsecsElapsed()); });
    int reported = 0;
    // Three pumps take about 90 ms; the deadline is only there so that a broken pump
    // cannot hang the test.
    while (pumpedAt.size() < 3 && clock.elapsed() < 60'000) {
        reported += pump() ? 1 : 0;
    }
    ASSERT_EQ(pumpedAt.size(), 3u);
    EXPECT_EQ(reported, 3);
    // The pump reads its clock in whole milliseconds, hence the one ms of slack.
    constexpr qint64 kAtLeastNs = (kIntervalMs - 1) * 1'000'000LL;
    qint64 previous = 0;
    for (const qint64 at : pumpedAt) {
        EXPECT_GE(at - previous, kAtLeastNs);
        previous = at;
    }
}

TEST(EventPump, ClockedPumpRunsTheEventLoop) {
    bool ran = false;
    ClockedPump pump(0);
    QTimer::singleShot(0, [&] { ran = true; });
    EXPECT_TRUE(pump());
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace dw::platform
