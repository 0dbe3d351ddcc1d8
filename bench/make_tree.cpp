// Makes the benchmark tree in a folder, for timing other tools on the same tree:
//   bench_make_tree DIR [FILES]
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tree_generator.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s DIR [FILES]\n", argv[0]);
        return 2;
    }
    if (mkdir(argv[1], 0755) != 0) {
        std::fprintf(stderr, "%s: %s (give a folder that does not exist yet)\n", argv[1],
                     std::strerror(errno));
        return 1;
    }
    const long long files = argc == 3 ? std::atoll(argv[2]) : 200000;
    const dw::bench::TreeCounts c = dw::bench::makeBenchTree(argv[1], files);
    std::printf(
        "files %lld (hidden %lld), folders %lld (hidden %lld), links %lld, fifos %lld, "
        "bytes %lld\n",
        (long long)c.files, (long long)c.hiddenFiles, (long long)c.folders,
        (long long)c.hiddenFolders, (long long)c.links, (long long)c.fifos, (long long)c.bytes);
    return c.files == files ? 0 : 1;
}
