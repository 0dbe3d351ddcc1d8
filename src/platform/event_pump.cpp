#include "platform/event_pump.h"

#include <QCoreApplication>

#include <utility>

namespace dw::platform {

void pumpEvents() {
    QCoreApplication::processEvents();
}

ClockedPump::ClockedPump(int intervalMs, std::function<void()> pump)
    : intervalMs_(intervalMs), pump_(std::move(pump)) {
    clock_.start();
}

bool ClockedPump::operator()() {
    if (clock_.elapsed() < intervalMs_) {
        return false;
    }
    // The interval counts from the end of the pump: time spent in event handlers is
    // not taken from the loop's next stretch of work.
    if (pump_) {
        pump_();
    }
    clock_.restart();
    return true;
}

}  // namespace dw::platform
