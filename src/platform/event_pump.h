#pragma once

#include <QElapsedTimer>

#include <functional>

namespace dw::platform {

// Runs the window events that are waiting (repaints, input, an Abort click), then
// returns. For long operations on the window's thread.
void pumpEvents();

// Runs `work` on a thread of its own and, until it is done, `pump` on the calling thread
// every few milliseconds (at least once), so a window stays live while a long step that
// does not touch it runs. `work` must not use what `pump` may change. An exception `work`
// throws is thrown again here once its thread has ended.
void runWhilePumping(const std::function<void()>& work, const std::function<void()>& pump);

// A yield hook for loops that run once per directory entry: calling it pumps events
// only when at least the interval (about 30 ms) has passed since its last pump, so a
// window stays live while the loop runs at full speed. The clock starts when the pump
// is made: the first pump comes one interval later, not on the first call.
class ClockedPump {
public:
    static constexpr int kDefaultIntervalMs = 30;

    // `pump` is what runs when the interval is up (pumpEvents unless a test says
    // otherwise).
    explicit ClockedPump(int intervalMs = kDefaultIntervalMs,
                         std::function<void()> pump = pumpEvents);

    // Pumps if the interval is up; returns whether it did.
    bool operator()();

    // Starts the interval anew, as if it had just pumped.
    void restart() { clock_.restart(); }

private:
    qint64 intervalMs_;
    std::function<void()> pump_;
    QElapsedTimer clock_;
};

}  // namespace dw::platform
