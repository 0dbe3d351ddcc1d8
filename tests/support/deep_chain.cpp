#include "support/deep_chain.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dw::test {

DeepChain::DeepChain(const QByteArray& root, int depth, const QByteArray& name)
    : root_(root), name_(name), depth_(depth) {
    int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY);
    int levels = 0;
    for (; levels < depth && fd >= 0; ++levels) {
        const int child = ::mkdirat(fd, name_.constData(), 0755) == 0
                              ? ::openat(fd, name_.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW)
                              : -1;
        ::close(fd);
        fd = child;
    }
    made_ = fd >= 0 && levels == depth;
    for (const char* file : {"f0", "f1"}) {
        const int out = fd >= 0 ? ::openat(fd, file, O_WRONLY | O_CREAT, 0644) : -1;
        made_ = made_ && out >= 0 && ::write(out, "x", 1) == 1;
        if (out >= 0) {
            ::close(out);
        }
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

DeepChain::~DeepChain() {
    int fd = ::open(root_.constData(), O_RDONLY | O_DIRECTORY);
    int levels = 0;
    for (int child; fd >= 0 && (child = ::openat(fd, name_.constData(),
                                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW)) >= 0;
         ++levels) {
        ::close(fd);
        fd = child;
    }
    ::unlinkat(fd, "f0", 0);
    ::unlinkat(fd, "f1", 0);
    for (; levels > 0 && fd >= 0; --levels) {
        const int parent = ::openat(fd, "..", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = parent;
        ::unlinkat(fd, name_.constData(), AT_REMOVEDIR);
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

QByteArray DeepChain::bottom() const {
    QByteArray path = root_;
    for (int i = 0; i < depth_; ++i) {
        path += '/' + name_;
    }
    return path;
}

}  // namespace dw::test
