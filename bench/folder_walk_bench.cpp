// The folder walk over a tree of 200,000 files against `find -xdev -printf '%s %T@\n'`
// over the same warm tree in the same run, and the cost of keeping a window live
// (events pumped on a clock from the yield hook).
//
//   bench_folder_walk --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
//
// Compare the medians: BM_WalkStatistics / BM_Find must stay at or below 1.0, and
// BM_WalkStatisticsPumped / BM_WalkStatistics at or below 1.05.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "scan/folder_walk.h"
#include "scan/window_walk_hooks.h"
#include "tree_generator.h"

namespace {

// Built once per run in a fresh temporary folder, removed at exit.
class Tree {
public:
    Tree() {
        char pattern[] = "/tmp/dw-bench-folder-walk-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        root_ = pattern;
        counts_ = dw::bench::makeBenchTree(root_);
        std::fprintf(stderr,
                     "tree %s: %lld files (%lld hidden), %lld folders (%lld hidden), "
                     "%lld links, %lld fifos\n",
                     root_.c_str(), (long long)counts_.files, (long long)counts_.hiddenFiles,
                     (long long)counts_.folders, (long long)counts_.hiddenFolders,
                     (long long)counts_.links, (long long)counts_.fifos);
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
    dw::bench::TreeCounts counts_;
};

const Tree& tree() {
    static const Tree instance;
    return instance;
}

// The work find's -printf '%s %T@' does per entry: its size and its time.
struct Totals {
    qint64 entries = 0;
    qint64 bytes = 0;
    qint64 times = 0;
};

class PlainHooks : public dw::WalkHooks {
public:
    Totals totals;
    void onFile(const dw::WalkFolder&, const dw::platform::DirEntry& e) override {
        ++totals.entries;
        totals.bytes += e.size;
        totals.times += e.modified;
    }
};

class PumpedHooks : public dw::WindowWalkHooks {
public:
    Totals totals;
    void onFile(const dw::WalkFolder&, const dw::platform::DirEntry& e) override {
        ++totals.entries;
        totals.bytes += e.size;
        totals.times += e.modified;
    }
};

template <class Hooks>
void runWalk(benchmark::State& state, bool hidden, bool system) {
    const QByteArray root = QByteArray::fromStdString(tree().root());
    dw::WalkOptions options;
    options.wantHidden = hidden;
    options.wantSystem = system;
    qint64 entries = 0;
    for (auto _ : state) {
        Hooks hooks;
        std::optional<dw::StartFolder> start = dw::EnterStartFolder(root);
        if (!start) {
            state.SkipWithError("cannot open the tree");
            return;
        }
        dw::FolderWalk walk(options, hooks);
        walk.scan_dir(*start);
        entries = hooks.totals.entries;
        benchmark::DoNotOptimize(hooks.totals.bytes);
        benchmark::DoNotOptimize(hooks.totals.times);
    }
    state.counters["entries"] = double(entries);
    state.SetItemsProcessed(state.iterations() * entries);
}

// The statistics' walk: hidden and system files too.
void BM_WalkStatistics(benchmark::State& state) {
    runWalk<PlainHooks>(state, true, true);
}
BENCHMARK(BM_WalkStatistics)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with a window's yield hook: events pumped whenever 30 ms have passed.
void BM_WalkStatisticsPumped(benchmark::State& state) {
    runWalk<PumpedHooks>(state, true, true);
}
BENCHMARK(BM_WalkStatisticsPumped)->Unit(benchmark::kMillisecond)->UseRealTime();

// The duplicates finder's walk: neither hidden nor system files.
void BM_WalkDuplicates(benchmark::State& state) {
    runWalk<PlainHooks>(state, false, false);
}
BENCHMARK(BM_WalkDuplicates)->Unit(benchmark::kMillisecond)->UseRealTime();

void runFind(benchmark::State& state, const std::string& expression) {
    const std::string cmd = "find '" + tree().root() + "' " + expression + " > /dev/null";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("find failed");
        }
    }
}

void BM_Find(benchmark::State& state) {
    runFind(state, "-xdev -printf '%s %T@\\n'");
}
BENCHMARK(BM_Find)->Unit(benchmark::kMillisecond)->UseRealTime();

// find doing what the statistics' walk does: hidden folders pruned, folders not printed.
void BM_FindSameRules(benchmark::State& state) {
    runFind(state,
            "-xdev -mindepth 1 \\( -type d -name '.*' -prune \\) -o ! -type d "
            "-printf '%s %T@\\n'");
}
BENCHMARK(BM_FindSameRules)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // The pumped walk runs the event loop's pending events, as a window's walk does.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    tree();  // built before any timing
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
