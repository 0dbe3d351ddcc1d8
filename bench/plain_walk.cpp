// The plainest walk a program can make, as a yardstick for `diskwell-cli walk --hidden
// --system` over the same tree: single-threaded, one descriptor per level, openat,
// getdents64 and one statx per entry (links not followed), folders entered in the order
// listed, hidden folders and other file systems left out. Prints the same three counts
// as the walk command, so the two can be checked against each other.
//
//   bench_make_tree /tmp/tree
//   hyperfine -w 2 -N 'bench_plain_walk /tmp/tree' \
//       'diskwell-cli walk --hidden --system /tmp/tree'
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct Counts {
    long long files = 0;
    long long folders = 0;
    long long bytes = 0;
};

struct LinuxDirent64 {
    unsigned long long d_ino;
    long long d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

constexpr unsigned kMask = STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_ATIME |
                           STATX_MTIME | STATX_BTIME | STATX_NLINK | STATX_BLOCKS;
constexpr int kBufferSize = 32 * 1024;

void walk(int fd, unsigned major, unsigned minor, Counts& counts) {
    ++counts.folders;
    std::unique_ptr<char[]> buffer(new char[kBufferSize]);
    for (;;) {
        const long n = syscall(SYS_getdents64, fd, buffer.get(), kBufferSize);
        if (n <= 0) {
            break;
        }
        for (long at = 0; at < n;) {
            const auto* d = reinterpret_cast<const LinuxDirent64*>(buffer.get() + at);
            at += d->d_reclen;
            const char* name = d->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) {
                continue;
            }
            struct statx sx;
            if (statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kMask, &sx) != 0) {
                continue;
            }
            if (!S_ISDIR(sx.stx_mode)) {
                ++counts.files;
                counts.bytes += (long long)sx.stx_size;
                continue;
            }
            if (name[0] == '.' || sx.stx_dev_major != major || sx.stx_dev_minor != minor) {
                continue;
            }
            const int child = openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0) {
                walk(child, major, minor, counts);
                close(child);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const int fd = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct statx sx;
    if (fd < 0 || statx(fd, "", AT_EMPTY_PATH, STATX_TYPE, &sx) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    Counts counts;
    walk(fd, sx.stx_dev_major, sx.stx_dev_minor, counts);
    close(fd);
    std::printf("files %lld\nfolders %lld\nbytes %lld\n", counts.files, counts.folders,
                counts.bytes);
    return 0;
}
