#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace dw::test {

// A file system mounted for one test and detached with the object, however the test
// ends. Tests run as root; where the kernel or the machine cannot mount, ok() is false
// and why() says what failed, for the test's skip message.
class ScopedMount {
public:
    // mount(2) of `source` at `target` as `type` with the file system's `options`; a
    // null `type` bind-mounts `source` (a file or a folder) there.
    ScopedMount(const QByteArray& source, const QByteArray& target, const char* type,
                const QByteArray& options = {});
    ~ScopedMount();
    ScopedMount(ScopedMount&& other) noexcept;
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;
    ScopedMount& operator=(ScopedMount&&) = delete;

    bool ok() const { return ok_; }
    const QString& why() const { return why_; }

private:
    ScopedMount() = default;

    QByteArray target_;
    bool ok_ = false;
    QString why_;
};

// Two tmpfs mounted at `lower` and `upper` (existing folders) as the layers of an
// overlay whose files report their layer's device, not their folder's: fill `lower`,
// then mount the overlay.
class TwoLayers {
public:
    TwoLayers(const QByteArray& lower, const QByteArray& upper);
    bool ok() const { return lowerFs_.ok() && upperFs_.ok(); }
    // The overlay of the two at `merged` (an existing folder); upper's data and work
    // folders are made for it.
    ScopedMount mountOverlay(const QByteArray& merged) const;

private:
    QByteArray lower_;
    QByteArray upper_;
    ScopedMount lowerFs_;
    ScopedMount upperFs_;
};

// Runs `program` with `args` and waits for it (at most a minute): true when it exited
// with 0.
bool runProgram(const QString& program, const QStringList& args);

}  // namespace dw::test
