#pragma once

#include <QElapsedTimer>

#include <functional>

namespace dw::platform {

// Runs the window events that are waiting (repaints, input, an Abort click), then
// returns. For long operations on the window's thread.
void pumpEvents();

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
