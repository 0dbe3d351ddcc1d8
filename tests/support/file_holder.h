#pragma once

#include <QByteArray>

#include <sys/types.h>

namespace dw::test {

// A second process that holds one file the way another program would, until the
// holder is destroyed (or release() is called). The child only waits on a pipe, so it
// ends as soon as this process lets go of it, even if this process dies: nothing hangs.
class FileHolder {
public:
    enum class Hold {
        Reading,     // open read-only
        Writing,     // open write-only
        SharedMap,   // mapped shared and writable, its descriptor closed
        PrivateMap,  // mapped private and read-only, its descriptor closed
    };

    // Forks the child and waits until it holds `path` (ready() then says whether it could).
    FileHolder(const QByteArray& path, Hold hold);
    ~FileHolder();
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;

    bool ready() const { return ready_; }

    // Writes `bytes` at the start of the file through the child's hold (a write, or a
    // store into the shared map), and waits until it is done. False when the child
    // cannot (a read-only hold).
    bool write(const QByteArray& bytes);

    // Lets the child end and waits for it.
    void release();

private:
    pid_t child_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    bool ready_ = false;
};

}  // namespace dw::test
