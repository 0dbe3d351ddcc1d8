// A delete run over 100,000 marked files (100 folders of 1,000 files of 512 bytes)
// against `rm` given the same files (`xargs -0 rm -f --`, fed the same list), and, for
// reference, `rm -rf` of the folders and the deletion panel's whole road: the split
// against this machine's Safe Harbor, then the run.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "safety/clean_run.h"
#include "safety/safe_harbor.h"

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 1000;
constexpr int kFiles = kFolders * kFilesPerFolder;
constexpr size_t kFileSize = 512;

void run(const std::string& cmd) {
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    }
}

// A fresh tree for each iteration, made while the clock is stopped; its list of paths
// is also written NUL-separated for rm.
class Tree {
public:
    Tree() {
        char pattern[] = "/tmp/dw-bench-clean-XXXXXX";
        root_ = mkdtemp(pattern);
        listFile_ = root_ + "/list";
    }
    ~Tree() { run("rm -rf '" + root_ + "'"); }

    void make() {
        files_.clear();
        files_.reserve(kFiles);
        std::string list;
        const std::string data(kFileSize, 'x');
        for (int f = 0; f < kFolders; ++f) {
            const std::string folder = root_ + "/files/folder" + std::to_string(f);
            ::mkdir((root_ + "/files").c_str(), 0755);
            ::mkdir(folder.c_str(), 0755);
            for (int i = 0; i < kFilesPerFolder; ++i) {
                const std::string file = folder + "/marked file " + std::to_string(i) + ".tmp";
                const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd < 0 || ::write(fd, data.data(), data.size()) != ssize_t(data.size())) {
                    std::perror(file.c_str());
                }
                if (fd >= 0) {
                    ::close(fd);
                }
                files_.append(QByteArray::fromStdString(file));
                list += file;
                list += '\0';
            }
        }
        FILE* out = std::fopen(listFile_.c_str(), "wb");
        std::fwrite(list.data(), 1, list.size(), out);
        std::fclose(out);
        run("sync");
    }

    const std::string& root() const { return root_; }
    const std::string& listFile() const { return listFile_; }
    const QList<QByteArray>& files() const { return files_; }

private:
    std::string root_;
    std::string listFile_;
    QList<QByteArray> files_;
};

Tree& tree() {
    static Tree instance;
    return instance;
}

void BM_DeleteRun(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        tree().make();
        state.ResumeTiming();
        qsizetype last = 0;
        dw::CleanRunHooks hooks;
        // What the panel does per file: note where the run is.
        hooks.starting = [&last](qsizetype i, const QByteArray&) { last = i; };
        const dw::CleanRunSummary s = dw::deleteFiles(tree().files(), hooks);
        if (s.doneCount != kFiles) {
            state.SkipWithError("not every file was deleted");
        }
        benchmark::DoNotOptimize(last);
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}

void BM_SplitAndDeleteRun(benchmark::State& state) {
    dw::SafeHarbor harbor;
    harbor.ReadSafeHarborExtensions();
    harbor.GetSearchPath();
    for (auto _ : state) {
        state.PauseTiming();
        tree().make();
        harbor.clearMemo();
        state.ResumeTiming();
        const dw::SafeHarborSplit split = dw::splitBySafeHarbor(tree().files(), harbor);
        const dw::CleanRunSummary s = dw::deleteFiles(split.deletable);
        if (s.doneCount != kFiles) {
            state.SkipWithError("not every file was deleted");
        }
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}

void BM_RmFiles(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        tree().make();
        state.ResumeTiming();
        run("xargs -0 rm -f -- < '" + tree().listFile() + "'");
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}

void BM_RmRecursive(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        tree().make();
        state.ResumeTiming();
        run("rm -rf '" + tree().root() + "/files'");
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}

BENCHMARK(BM_DeleteRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RmFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SplitAndDeleteRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RmRecursive)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
