#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include "platform/event_pump.h"

namespace dw::platform {
namespace {

TEST(EventPump, PumpRunsWaitingEvents) {
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    pumpEvents();
    EXPECT_TRUE(ran);
}

TEST(EventPump, ClockedPumpPumpsAtMostOncePerInterval) {
    int pumps = 0;
    ClockedPump slow(60'000, [&] { ++pumps; });
    EXPECT_FALSE(slow());  // the first interval counts from the pump's making
    ClockedPump pump(30, [&] { ++pumps; });
    QElapsedTimer clock;
    clock.start();
    qint64 calls = 0;
    int reported = 0;
    while (clock.elapsed() < 200) {
        reported += pump() ? 1 : 0;
        ++calls;
    }
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(reported, pumps);
    EXPECT_GE(pumps, 1);
    EXPECT_LE(pumps, elapsed / 30 + 1);
    EXPECT_GT(calls, 100 * pumps);  // most calls cost only a look at the clock
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
