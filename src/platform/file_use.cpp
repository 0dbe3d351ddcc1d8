#include "platform/file_use.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>

#include "platform/posix_io.h"

namespace dw::platform {

FileUse writersOf(int fd) {
    // The default signal of a lease break (SIGIO) ends the program; SIGURG is ignored by
    // default. Set before the lease, which keeps the descriptor's signal.
    if (::fcntl(fd, F_SETSIG, SIGURG) != 0) {
        return FileUse::Unknown;
    }
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        return FileUse::Free;
    }
    // EAGAIN is the kernel's "someone has it open for writing"; anything else says
    // nothing about the file.
    return errno == EAGAIN ? FileUse::InUse : FileUse::Unknown;
}

FileUse writersOfEntry(int folderFd, const QByteArray& name) {
    UniqueFd fd(::openat(folderFd, name.constData(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        // Another program holds a lease on it and would have to give it up first.
        return errno == EWOULDBLOCK ? FileUse::InUse : FileUse::Unknown;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return FileUse::Unknown;
    }
    return writersOf(fd.get());
}

QString inUseText() {
    return QStringLiteral("it is in use by another program");
}

}  // namespace dw::platform
