#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
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

// The work runs on a thread of its own while the pump keeps running here, at least once
// however quick the work; what it throws arrives here.
TEST(EventPump, RunWhilePumpingPumpsUntilTheWorkIsDone) {
    std::atomic<bool> release{false};
    std::atomic<bool> workDone{false};
    int pumps = 0;
    int pumpsWhileWorking = 0;
    std::thread::id workThread;
    runWhilePumping(
        [&] {
            workThread = std::this_thread::get_id();
            QDeadlineTimer deadline(10000);
            while (!release && !deadline.hasExpired()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            workDone = true;
        },
        [&] {
            ++pumps;
            if (!workDone) {
                ++pumpsWhileWorking;
            }
            if (pumps == 3) {
                release = true;
            }
        });
    EXPECT_TRUE(workDone);
    EXPECT_GE(pumpsWhileWorking, 3);
    EXPECT_NE(workThread, std::this_thread::get_id());

    pumps = 0;
    runWhilePumping([] {}, [&] { ++pumps; });
    EXPECT_GE(pumps, 1);
    EXPECT_THROW(runWhilePumping([] { throw std::runtime_error("no room"); }, [] {}),
                 std::runtime_error);
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
