// Shared main of the test binaries.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "support/modal.h"

namespace dw::test {

QObject& modalWaits() {
    // Never destroyed: it must outlast every test and the application object.
    static QObject* const holder = new QObject;
    return *holder;
}

namespace {

// Stops the whole binary with a message naming the test when one test runs longer than
// the limit: a window left waiting for an answer that never comes would otherwise hang
// the run until ctest's own timeout, without saying which test it was.
class Watchdog final : public ::testing::EmptyTestEventListener {
public:
    // The watch runs on a thread of its own until the process ends, so what it reads is
    // never destroyed.
    explicit Watchdog(int limitSeconds) : state_(new State{limitSeconds, {}, {}, {}}) {
        std::thread([state = state_] { watch(*state); }).detach();
    }

    void OnTestStart(const ::testing::TestInfo& info) override {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        state_->running = std::string(info.test_suite_name()) + '.' + info.name();
        state_->started = std::chrono::steady_clock::now();
    }

    void OnTestEnd(const ::testing::TestInfo&) override {
        {
            const std::lock_guard<std::mutex> lock(state_->mutex);
            state_->running.clear();
        }
        // A helper whose window never came must not answer one of the next test.
        const auto waits = modalWaits().findChildren<QTimer*>(Qt::FindDirectChildrenOnly);
        for (QTimer* t : waits) {
            delete t;
        }
    }

private:
    struct State {
        int limit;
        std::mutex mutex;
        std::string running;  // empty between tests
        std::chrono::steady_clock::time_point started;
    };

    static void watch(State& state) {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            const std::lock_guard<std::mutex> lock(state.mutex);
            if (!state.running.empty() && std::chrono::steady_clock::now() - state.started >
                                              std::chrono::seconds(state.limit)) {
                std::fprintf(stderr,
                             "\n[ WATCHDOG ] %s has run for more than %d s (a window waiting "
                             "for an answer?): FAILED, the test binary is stopped.\n",
                             state.running.c_str(), state.limit);
                std::fflush(stderr);
                std::abort();
            }
        }
    }

    State* state_;
};

}  // namespace
}  // namespace dw::test

int main(int argc, char** argv) {
    // Must be set before the QApplication exists; ctest sets it too, but test discovery
    // and hand runs may not.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // No test may read or write the user's real settings: every binary gets a private
    // settings folder (tests that need their own set DISKWELL_CONFIG_DIR themselves).
    QTemporaryDir configDir;
    qputenv("DISKWELL_CONFIG_DIR", configDir.path().toLocal8Bit());
    qunsetenv("LANGUAGE");

    QApplication app(argc, argv);
    // Tests pin the locale; the program uses the user's.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    ::testing::InitGoogleTest(&argc, argv);
    // 30 s per test; DISKWELL_TEST_WATCHDOG=0 turns it off (a test under a debugger).
    bool set = false;
    const int limit = qEnvironmentVariableIntValue("DISKWELL_TEST_WATCHDOG", &set);
    if (!set || limit > 0) {
        ::testing::UnitTest::GetInstance()->listeners().Append(
            new dw::test::Watchdog(set ? limit : 30));
    }
    return RUN_ALL_TESTS();
}
