#pragma once

#include <QByteArray>
#include <QList>
#include <QTemporaryDir>

#include <ctime>
#include <functional>

namespace dw::test {

// A real folder tree in a fresh temporary folder, removed with the object. Paths are
// native bytes relative to the root ("a/b/c.txt"); parents are made as needed. Every
// maker returns the full native path of what it made and fails the test if it cannot.
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const QByteArray& root() const { return root_; }
    QByteArray path(const QByteArray& rel) const;

    QByteArray file(const QByteArray& rel, const QByteArray& content = {});
    QByteArray fileOfSize(const QByteArray& rel, qint64 size, char fill = 'x');
    QByteArray dir(const QByteArray& rel);
    QByteArray symlink(const QByteArray& rel, const QByteArray& target);
    QByteArray fifo(const QByteArray& rel);
    void setTimes(const QByteArray& rel, std::time_t accessed, std::time_t modified);
    void setMode(const QByteArray& rel, unsigned mode);
    bool exists(const QByteArray& rel) const;

private:
    void makeParents(const QByteArray& full);

    QTemporaryDir dir_;
    QByteArray root_;
};

// Whether anything is at the full native `path`: a file, folder, FIFO, or a symbolic
// link (a dangling one too; the link is not followed).
bool present(const QByteArray& path);

// The bytes the file at `path` takes on the disk (st_blocks x 512, not following a
// link); 0 when nothing is there.
qint64 allocatedBytes(const QByteArray& path);
// The sum of allocatedBytes() over `paths`.
qint64 allocatedBytes(const QList<QByteArray>& paths);

// Runs `body` in a child process that has dropped root to the user "nobody", so that
// folders with mode 000 are really unreadable. Returns the child's exit status, or -1
// when the child could not be started or did not exit normally. `body` must not use
// gtest assertions; it reports through its return value (0 to 255).
int runAsNobody(const std::function<int()>& body);

// Runs `body` in a child process and waits for it at most `seconds`: a body that blocks
// is killed. Returns the child's exit status, or -1 when it could not be started, was
// killed at the deadline or did not exit normally. `body` reports as for runAsNobody.
int runWithDeadline(const std::function<int()>& body, int seconds);

}  // namespace dw::test
