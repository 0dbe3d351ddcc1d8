// Reading a tree of 200,000 files with the directory reader, against `find -xdev
// -printf` over the same tree (same work: every entry stat'ed, size and name output).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/dir_reader.h"

namespace {

constexpr int kFolders = 1000;
constexpr int kFilesPerFolder = 200;

// Built once per run: 10 top folders of 100 folders of 200 files, removed at exit.
class Tree {
public:
    Tree() {
        char pattern[] = "/tmp/dw-bench-walk-XXXXXX";
        root_ = mkdtemp(pattern);
        for (int f = 0; f < kFolders; ++f) {
            const std::string group = root_ + "/group" + std::to_string(f / 100);
            mkdir(group.c_str(), 0755);
            const std::string folder = group + "/folder" + std::to_string(f);
            mkdir(folder.c_str(), 0755);
            for (int i = 0; i < kFilesPerFolder; ++i) {
                const std::string file = folder + "/file-" + std::to_string(i) + ".dat";
                const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd >= 0) {
                    if (ftruncate(fd, i * 37) != 0) {
                        std::perror("ftruncate");
                    }
                    close(fd);
                }
            }
        }
    }
    ~Tree() {
        const std::string cmd = "rm -rf '" + root_ + "'";
        if (std::system(cmd.c_str()) != 0) {
            std::perror("rm");
        }
    }
    const std::string& root() const { return root_; }

private:
    std::string root_;
};

const std::string& tree() {
    static const Tree instance;
    return instance.root();
}

void walk(dw::platform::DirReader& reader, qint64& files, qint64& bytes) {
    dw::platform::DirEntry e;
    while (reader.next(e)) {
        if (e.isFolder()) {
            dw::platform::DirReader child;
            if (child.openAt(reader, e.name)) {
                walk(child, files, bytes);
            }
        } else {
            ++files;
            bytes += e.size;
        }
    }
}

void BM_DirReaderWalk(benchmark::State& state) {
    const QByteArray root = QByteArray::fromStdString(tree());
    for (auto _ : state) {
        qint64 files = 0;
        qint64 bytes = 0;
        dw::platform::DirReader reader;
        reader.open(root);
        walk(reader, files, bytes);
        if (files != qint64(kFolders) * kFilesPerFolder) {
            state.SkipWithError("wrong file count");
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * kFolders * kFilesPerFolder);
}
BENCHMARK(BM_DirReaderWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FindPrintf(benchmark::State& state) {
    const std::string cmd = "find '" + tree() + "' -xdev -printf '%s %p\\n' > /dev/null";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("find failed");
        }
    }
    state.SetItemsProcessed(state.iterations() * kFolders * kFilesPerFolder);
}
BENCHMARK(BM_FindPrintf)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
