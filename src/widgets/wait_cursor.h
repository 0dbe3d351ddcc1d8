#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace dw {

// Shows `shape` as the application's cursor for as long as it lives, however the work
// it covers ends. Overrides nest: the innermost one shows.
class CursorOverride {
public:
    explicit CursorOverride(Qt::CursorShape shape) {
        QGuiApplication::setOverrideCursor(QCursor(shape));
    }
    ~CursorOverride() { QGuiApplication::restoreOverrideCursor(); }
    CursorOverride(const CursorOverride&) = delete;
    CursorOverride& operator=(const CursorOverride&) = delete;
};

// The hourglass while a long step runs.
class WaitCursor : public CursorOverride {
public:
    WaitCursor() : CursorOverride(Qt::WaitCursor) {}
};

}  // namespace dw
