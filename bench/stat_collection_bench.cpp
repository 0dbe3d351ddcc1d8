// The statistics collection over the generated tree of 200,000 files against the plain
// walk of the same warm tree in the same run: the engine in this process, and the
// command-line tool as a whole process (`diskwell-cli stats` against `diskwell-cli walk
// --hidden --system`, which walks the same entries), with the peak resident memory of
// each process.
//
//   bench_stat_collection --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
//
// Compare the medians: BM_Collection / BM_PlainWalk and BM_CliStats / BM_CliWalk must
// stay at or below 1.2. With DW_BENCH_BIG_TREE=1 a second tree five times larger is made
// too and BM_CliStatsBig reports the peak memory there: it must stay within a few MiB of
// BM_CliStats's (the tallies have a fixed size). DW_BENCH_TREE=FOLDER runs on a tree made
// before by bench_make_tree instead of the 200,000-file one.
#include <benchmark/benchmark.h>

#include <QFile>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "scan/folder_walk.h"
#include "stats/stat_collection.h"
#include "tree_generator.h"

namespace {

const dw::bench::BenchTree& tree() {
    static const dw::bench::BenchTree instance("stats-200k", 200000, true);
    return instance;
}

const dw::bench::BenchTree& bigTree() {
    static const dw::bench::BenchTree instance("stats-1m", 1000000, false);
    return instance;
}

QList<dw::DriveEntry> entries(const std::string& root) {
    dw::DriveEntry e;
    e.kind = dw::DriveEntry::Kind::ExtraFolder;
    e.startFolder = QByteArray::fromStdString(root);
    e.text = QFile::decodeName(e.startFolder);
    e.checked = true;
    return {e};
}

// The walk of a collection with a per-file step that reads what a finder reads.
class PlainHooks : public dw::WalkHooks {
public:
    qint64 files = 0;
    qint64 sum = 0;
    void onFile(const dw::WalkFolder&, const dw::platform::DirEntry& e) override {
        ++files;
        sum += e.size + e.modified + e.accessed;
    }
};

void BM_PlainWalk(benchmark::State& state) {
    qint64 files = 0;
    for (auto _ : state) {
        PlainHooks hooks;
        dw::FolderWalk walk(dw::statisticsWalkOptions(), hooks);
        walk.walkEntries(entries(tree().root()));
        files = hooks.files;
        benchmark::DoNotOptimize(hooks.sum);
    }
    state.counters["files"] = double(files);
}
BENCHMARK(BM_PlainWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Collection(benchmark::State& state) {
    qint64 files = 0;
    for (auto _ : state) {
        dw::StatCollector collector;
        dw::StatWalkHooks hooks(collector);
        dw::FolderWalk walk(dw::statisticsWalkOptions(), hooks);
        walk.walkEntries(entries(tree().root()));
        files = collector.tallies().counted;
        benchmark::DoNotOptimize(collector.tallies().totalBytes());
    }
    state.counters["files"] = double(files);
}
BENCHMARK(BM_Collection)->Unit(benchmark::kMillisecond)->UseRealTime();

// Runs the built tool with `args`, its output thrown away; returns its peak resident
// memory in KiB, or -1 when it failed.
long runTool(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        std::vector<char*> argv;
        std::string program = DISKWELL_CLI_PATH;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (std::string& a : copy) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (std::freopen("/dev/null", "w", stdout) == nullptr) {
            _exit(127);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss;
}

void runToolBench(benchmark::State& state, const std::vector<std::string>& args) {
    long peak = 0;
    for (auto _ : state) {
        peak = runTool(args);
        if (peak < 0) {
            state.SkipWithError("diskwell-cli failed");
            return;
        }
    }
    state.counters["peak_rss_mib"] = double(peak) / 1024.0;
}

void BM_CliWalk(benchmark::State& state) {
    runToolBench(state, {"walk", "--hidden", "--system", tree().root()});
}
BENCHMARK(BM_CliWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CliStats(benchmark::State& state) {
    runToolBench(state, {"stats", tree().root()});
}
BENCHMARK(BM_CliStats)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CliStatsBig(benchmark::State& state) {
    if (std::getenv("DW_BENCH_BIG_TREE") == nullptr) {
        state.SkipWithError("set DW_BENCH_BIG_TREE=1 to make the tree of 1,000,000 files");
        return;
    }
    runToolBench(state, {"stats", bigTree().root()});
}
BENCHMARK(BM_CliStatsBig)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
