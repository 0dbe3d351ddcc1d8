#include "platform/event_pump.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <exception>
#include <thread>
#include <utility>

namespace dw::platform {

void pumpEvents() {
    QCoreApplication::processEvents();
}

void runWhilePumping(const std::function<void()>& work, const std::function<void()>& pump) {
    std::exception_ptr failure;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        finished.store(true);
    });
    do {
        pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (!finished.load());
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
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
