#include "support/temp_tree.h"

#include <gtest/gtest.h>

#include <QFile>

#include <dirent.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dw::test {

namespace {

void removeTree(const QByteArray& path) {
    // Restore permissions first so a test that locked a folder cannot leave it behind.
    struct stat st {};
    if (lstat(path.constData(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        chmod(path.constData(), 0700);
        if (DIR* d = opendir(path.constData())) {
            while (dirent* e = readdir(d)) {
                if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
                    continue;
                removeTree(path + '/' + e->d_name);
            }
            closedir(d);
        }
        rmdir(path.constData());
    } else {
        unlink(path.constData());
    }
}

}  // namespace

TempTree::TempTree() : root_(QFile::encodeName(dir_.path())) {
    dir_.setAutoRemove(false);
    EXPECT_TRUE(dir_.isValid());
}

TempTree::~TempTree() {
    removeTree(root_);
}

QByteArray TempTree::path(const QByteArray& rel) const {
    return rel.isEmpty() ? root_ : root_ + '/' + rel;
}

void TempTree::makeParents(const QByteArray& full) {
    for (qsizetype i = root_.size() + 1; i < full.size(); ++i) {
        if (full[i] != '/')
            continue;
        const QByteArray parent = full.left(i);
        if (mkdir(parent.constData(), 0755) != 0 && errno != EEXIST) {
            ADD_FAILURE() << "mkdir " << parent.constData() << ": " << std::strerror(errno);
        }
    }
}

QByteArray TempTree::file(const QByteArray& rel, const QByteArray& content) {
    const QByteArray full = path(rel);
    makeParents(full);
    const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        ADD_FAILURE() << "create " << full.constData() << ": " << std::strerror(errno);
        return full;
    }
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + done, content.size() - done);
        if (n <= 0)
            break;
        done += n;
    }
    ::close(fd);
    EXPECT_EQ(done, content.size()) << full.constData();
    return full;
}

QByteArray TempTree::fileOfSize(const QByteArray& rel, qint64 size, char fill) {
    return file(rel, QByteArray(size, fill));
}

QByteArray TempTree::dir(const QByteArray& rel) {
    const QByteArray full = path(rel);
    makeParents(full + '/');
    return full;
}

QByteArray TempTree::symlink(const QByteArray& rel, const QByteArray& target) {
    const QByteArray full = path(rel);
    makeParents(full);
    EXPECT_EQ(::symlink(target.constData(), full.constData()), 0) << std::strerror(errno);
    return full;
}

QByteArray TempTree::fifo(const QByteArray& rel) {
    const QByteArray full = path(rel);
    makeParents(full);
    EXPECT_EQ(::mkfifo(full.constData(), 0644), 0) << std::strerror(errno);
    return full;
}

void TempTree::setTimes(const QByteArray& rel, std::time_t accessed, std::time_t modified) {
    const timespec times[2] = {{accessed, 0}, {modified, 0}};
    EXPECT_EQ(utimensat(AT_FDCWD, path(rel).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

void TempTree::setMode(const QByteArray& rel, unsigned mode) {
    EXPECT_EQ(::chmod(path(rel).constData(), mode), 0);
}

bool TempTree::exists(const QByteArray& rel) const {
    return present(path(rel));
}

bool present(const QByteArray& path) {
    struct stat st {};
    return lstat(path.constData(), &st) == 0;
}

int runAsNobody(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        constexpr gid_t kNobodyGroup = 65534;
        constexpr uid_t kNobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(kNobodyGroup) != 0 || setuid(kNobody) != 0) {
            _exit(255);
        }
        _exit(body() & 0xff);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

qint64 allocatedBytes(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 ? qint64(st.st_blocks) * 512 : 0;
}

qint64 allocatedBytes(const QList<QByteArray>& paths) {
    qint64 sum = 0;
    for (const QByteArray& path : paths) {
        sum += allocatedBytes(path);
    }
    return sum;
}

int runWithDeadline(const std::function<int()>& body, int seconds) {
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        // The kernel ends the child at the deadline, whatever it waits on.
        ::alarm(unsigned(seconds));
        _exit(body() & 0xff);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

}  // namespace dw::test
