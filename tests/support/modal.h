#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace dw::test {

// How long a helper waits for the modal window it answers before failing the test.
inline constexpr int kModalWaitMs = 10000;

// The active modal window if it is a W, else nullptr.
template <typename W>
W* activeModal() {
    return qobject_cast<W*>(QApplication::activeModalWidget());
}

// The helpers still waiting for their window; the test main drops them when a test ends,
// so none answers a window of a later test.
QObject& modalWaits();

// Runs `step` on the modal window of type W once it is up: from the event loop that runs
// next, it looks every 10 ms for the active modal widget to be a W, and runs `step` once.
// When none has come up after kModalWaitMs, the test fails with a message naming W, and
// whatever modal window is up instead is closed (rejected), so the test goes on rather
// than hanging.
template <typename W>
void onModal(std::function<void(W&)> step) {
    auto* timer = new QTimer(&modalWaits());
    const QDeadlineTimer deadline(kModalWaitMs);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, deadline, step = std::move(step)] {
        if (W* w = activeModal<W>()) {
            timer->stop();
            // Deleted once control is back in this event loop, after `step` and any
            // window it runs.
            timer->deleteLater();
            step(*w);
            return;
        }
        if (!deadline.hasExpired()) {
            timer->setInterval(10);
            return;
        }
        timer->stop();
        timer->deleteLater();
        QWidget* other = QApplication::activeModalWidget();
        ADD_FAILURE() << "no modal " << W::staticMetaObject.className() << " came up within "
                      << kModalWaitMs / 1000 << " s"
                      << (other ? "; the modal window up instead is closed" : "");
        if (auto* dialog = qobject_cast<QDialog*>(other)) {
            dialog->reject();
        } else if (other) {
            other->close();
        }
    });
    timer->start(0);
}

}  // namespace dw::test
