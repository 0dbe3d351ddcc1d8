#include "tree_generator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace dw::bench {

namespace {

// splitmix64: a fixed sequence on every machine, unlike the standard distributions.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // 0 .. n-1
    std::int64_t below(std::int64_t n) { return std::int64_t(next() % std::uint64_t(n)); }

private:
    std::uint64_t state_;
};

std::int64_t fileSize(Random& r) {
    const std::int64_t bucket = r.below(100);
    if (bucket < 45) {
        return r.below(1024);  // small text and settings files
    }
    if (bucket < 85) {
        return 1024 + r.below(63 * 1024);
    }
    if (bucket < 98) {
        return 64 * 1024 + r.below(960 * 1024);
    }
    return (1 + r.below(64)) * 1024 * 1024;
}

const char* const kExtensions[] = {".txt", ".dat", ".jpg", ".doc", ".cpp", ".h",
                                   ".tmp", ".log", ".png", ".bak", "",     ".tar.gz"};

struct Folder {
    std::string path;
    int depth;
};

}  // namespace

TreeCounts makeBenchTree(const std::string& root, std::int64_t files) {
    Random r(20260521);
    TreeCounts counts;
    std::vector<Folder> folders{{root, 0}};

    // Folders first: each new one goes below a random earlier one that is not too deep,
    // which gives a bushy tree of uneven depth. About 100 files per folder on average.
    const std::int64_t folderCount = files / 100;
    for (std::int64_t i = 1; i <= folderCount; ++i) {
        const Folder* parent = nullptr;
        do {
            parent = &folders[std::size_t(r.below(std::int64_t(folders.size())))];
        } while (parent->depth >= 6);
        const bool hidden = r.below(100) == 0;
        const std::string path =
            parent->path + (hidden ? "/.folder-" : "/folder-") + std::to_string(i);
        if (mkdir(path.c_str(), 0755) != 0) {
            std::fprintf(stderr, "mkdir %s: %s\n", path.c_str(), std::strerror(errno));
            return counts;
        }
        ++counts.folders;
        counts.hiddenFolders += hidden ? 1 : 0;
        folders.push_back({path, parent->depth + 1});
    }

    for (std::int64_t i = 0; i < files; ++i) {
        const Folder& folder = folders[std::size_t(r.below(std::int64_t(folders.size())))];
        const bool hidden = r.below(25) == 0;
        const std::string path = folder.path + (hidden ? "/.file-" : "/file-") + std::to_string(i) +
                                 kExtensions[r.below(12)];
        const std::int64_t size = fileSize(r);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ftruncate(fd, off_t(size)) != 0) {
            std::fprintf(stderr, "create %s: %s\n", path.c_str(), std::strerror(errno));
            if (fd >= 0) {
                close(fd);
            }
            return counts;
        }
        close(fd);
        ++counts.files;
        counts.hiddenFiles += hidden ? 1 : 0;
        counts.bytes += size;

        // Now and then a link or a FIFO beside it.
        const std::int64_t extra = r.below(200);
        if (extra < 2) {
            const std::string link = path + ".link";
            if (symlink(path.c_str(), link.c_str()) == 0) {
                ++counts.links;
            }
        } else if (extra == 2) {
            // To a folder above (a loop for a walk that follows links) or anywhere.
            const std::string link = folder.path + "/up-" + std::to_string(i);
            if (symlink(r.below(2) == 0 ? ".." : folders[0].path.c_str(), link.c_str()) == 0) {
                ++counts.links;
            }
        } else if (extra == 3) {
            const std::string link = folder.path + "/dangling-" + std::to_string(i);
            if (symlink("no/such/target", link.c_str()) == 0) {
                ++counts.links;
            }
        } else if (extra == 4 && r.below(10) == 0) {
            const std::string fifo = folder.path + "/fifo-" + std::to_string(i);
            if (mkfifo(fifo.c_str(), 0644) == 0) {
                ++counts.fifos;
            }
        }
    }
    return counts;
}

BenchTree::BenchTree(const std::string& tag, std::int64_t files, bool allowGiven) {
    if (const char* given = allowGiven ? std::getenv("DW_BENCH_TREE") : nullptr) {
        root_ = given;
        owned_ = false;
        return;
    }
    std::string pattern = "/tmp/dw-bench-" + tag + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    root_ = pattern;
    counts_ = makeBenchTree(root_, files);
    std::fprintf(stderr,
                 "tree %s: %lld files (%lld hidden), %lld folders (%lld hidden), %lld links, "
                 "%lld fifos\n",
                 root_.c_str(), (long long)counts_.files, (long long)counts_.hiddenFiles,
                 (long long)counts_.folders, (long long)counts_.hiddenFolders,
                 (long long)counts_.links, (long long)counts_.fifos);
}

BenchTree::~BenchTree() {
    if (!owned_) {
        return;
    }
    const std::string cmd = "rm -rf '" + root_ + "'";
    if (std::system(cmd.c_str()) != 0) {
        std::perror("rm");
    }
}

}  // namespace dw::bench
