#include "support/file_holder.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace dw::test {

namespace {

// The child's side: only calls that are safe after a fork of a threaded process.
[[noreturn]] void holdInChild(const char* path, FileHolder::Hold hold, int in, int out) {
    using Hold = FileHolder::Hold;
    // Another holder's pipe, inherited here, would keep that holder's child waiting.
    for (int fd = 3; fd < 4096; ++fd) {
        if (fd != in && fd != out) {
            ::close(fd);
        }
    }
    const bool writable = hold == Hold::Writing || hold == Hold::SharedMap;
    const int fd = ::open(
        path, (writable ? (hold == Hold::Writing ? O_WRONLY : O_RDWR) : O_RDONLY) | O_CLOEXEC);
    char* map = nullptr;
    size_t length = 0;
    if (fd >= 0 && (hold == Hold::SharedMap || hold == Hold::PrivateMap)) {
        struct stat st {};
        length = ::fstat(fd, &st) == 0 && st.st_size > 0 ? size_t(st.st_size) : 0;
        void* m = length == 0 ? MAP_FAILED
                              : ::mmap(nullptr, length,
                                       hold == Hold::SharedMap ? PROT_READ | PROT_WRITE : PROT_READ,
                                       hold == Hold::SharedMap ? MAP_SHARED : MAP_PRIVATE, fd, 0);
        ::close(fd);
        map = m == MAP_FAILED ? nullptr : static_cast<char*>(m);
    }
    const bool held =
        hold == Hold::SharedMap || hold == Hold::PrivateMap ? map != nullptr : fd >= 0;
    const char answer = held ? 'y' : 'n';
    (void)!::write(out, &answer, 1);
    // Each request: a length byte and that many bytes to write at the start of the file.
    unsigned char n = 0;
    while (held && ::read(in, &n, 1) == 1) {
        char bytes[255];
        size_t got = 0;
        while (got < n) {
            const ssize_t r = ::read(in, bytes + got, n - got);
            if (r <= 0) {
                ::_exit(0);
            }
            got += size_t(r);
        }
        bool done = false;
        if (hold == Hold::Writing) {
            done = ::pwrite(fd, bytes, n, 0) == ssize_t(n);
        } else if (hold == Hold::SharedMap && n <= length) {
            std::memcpy(map, bytes, n);
            done = true;
        }
        const char reply = done ? 'y' : 'n';
        (void)!::write(out, &reply, 1);
    }
    ::_exit(0);
}

}  // namespace

FileHolder::FileHolder(const QByteArray& path, Hold hold) {
    int down[2];
    int up[2];
    if (::pipe2(down, O_CLOEXEC) != 0) {
        return;
    }
    if (::pipe2(up, O_CLOEXEC) != 0) {
        ::close(down[0]);
        ::close(down[1]);
        return;
    }
    child_ = ::fork();
    if (child_ == 0) {
        ::close(down[1]);
        ::close(up[0]);
        holdInChild(path.constData(), hold, down[0], up[1]);
    }
    ::close(down[0]);
    ::close(up[1]);
    toChild_ = down[1];
    fromChild_ = up[0];
    char answer = 0;
    // The child answers at once; a child that died gives end of file.
    ready_ = child_ > 0 && ::read(fromChild_, &answer, 1) == 1 && answer == 'y';
}

FileHolder::~FileHolder() {
    release();
}

bool FileHolder::write(const QByteArray& bytes) {
    if (!ready_ || bytes.size() > 255) {
        return false;
    }
    QByteArray request(1, char(bytes.size()));
    request += bytes;
    if (::write(toChild_, request.constData(), size_t(request.size())) != request.size()) {
        return false;
    }
    char reply = 0;
    return ::read(fromChild_, &reply, 1) == 1 && reply == 'y';
}

void FileHolder::release() {
    if (toChild_ >= 0) {
        ::close(toChild_);
        toChild_ = -1;
    }
    if (child_ > 0) {
        int status = 0;
        ::waitpid(child_, &status, 0);
        child_ = -1;
    }
    if (fromChild_ >= 0) {
        ::close(fromChild_);
        fromChild_ = -1;
    }
    ready_ = false;
}

}  // namespace dw::test
