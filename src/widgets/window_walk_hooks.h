#pragma once

#include <functional>
#include <utility>

#include "platform/event_pump.h"

namespace dw {

// The base of a window's walk hooks: the abort flag that the window's Abort control (or
// Esc) sets, and a yield that runs the window's pending events whenever about 30 ms have
// passed since the last time, so the window repaints and Abort can be pressed while the
// walk runs at full speed. The window adds its per-file step and progress display.
// `Hooks` is the walk's hooks class (WalkHooks, or one derived from it) whose virtual
// `abortRequested() const` and `yield()` this overrides; it is a parameter so that the
// widgets need no engine header.
template <class Hooks>
class WindowWalkHooks : public Hooks {
public:
    // `pump` is what runs when the interval is up (platform::pumpEvents unless a test
    // says otherwise).
    explicit WindowWalkHooks(int intervalMs = platform::ClockedPump::kDefaultIntervalMs,
                             std::function<void()> pump = platform::pumpEvents)
        : pump_(intervalMs, std::move(pump)) {}

    // Sets the flag; the walk stops at its next check. For the Abort control's slot.
    void requestAbort() { abort_ = true; }

    // Clears the flag and starts the pump's interval anew: call before each walk.
    void startWalk() {
        abort_ = false;
        sinceClockCheck_ = 0;
        pump_.restart();
    }

    bool abortRequested() const override { return abort_; }

    // Looks at the clock only every kEntriesPerClockCheck entries: reading the clock
    // costs more than an entry of a warm folder, and 16 entries take well under a
    // millisecond even there, a few on a slow network drive.
    void yield() override {
        if (++sinceClockCheck_ < kEntriesPerClockCheck) {
            return;
        }
        sinceClockCheck_ = 0;
        pump_();
    }

    static constexpr int kEntriesPerClockCheck = 16;

private:
    platform::ClockedPump pump_;
    int sinceClockCheck_ = 0;
    bool abort_ = false;
};

}  // namespace dw
