#include "base/split_work.h"

#include <exception>
#include <thread>

namespace dw {

namespace {

bool twoCores() {
    return std::thread::hardware_concurrency() >= 2;
}

}  // namespace

qsizetype SplitPoint(qsizetype count, qsizetype minimumPiece) {
    if (count < 2 * std::max<qsizetype>(minimumPiece, 1) || !twoCores()) {
        return count;
    }
    return count / 2;
}

void RunTogether(const std::function<void()>& first, const std::function<void()>& second) {
    if (!twoCores()) {
        first();
        second();
        return;
    }
    std::exception_ptr firstError;
    std::thread thread([&] {
        try {
            first();
        } catch (...) {
            firstError = std::current_exception();
        }
    });
    std::exception_ptr secondError;
    try {
        second();
    } catch (...) {
        secondError = std::current_exception();
    }
    thread.join();
    if (firstError) {
        std::rethrow_exception(firstError);
    }
    if (secondError) {
        std::rethrow_exception(secondError);
    }
}

void SplitWork(qsizetype count, qsizetype minimumPiece,
               const std::function<void(qsizetype begin, qsizetype end)>& work) {
    const qsizetype split = SplitPoint(count, minimumPiece);
    if (split >= count) {
        if (count > 0) {
            work(0, count);
        }
        return;
    }
    RunTogether([&] { work(0, split); }, [&] { work(split, count); });
}

}  // namespace dw
