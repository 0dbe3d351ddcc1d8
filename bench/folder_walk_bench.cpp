// The folder walk over a tree of 200,000 files against `find -xdev -printf '%s %T@\n'`
// over the same warm tree in the same run, and the cost of keeping a window live
// (events pumped on a clock from the yield hook).
//
//   bench_folder_walk --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
//
// Compare the medians: BM_WalkStatistics / BM_Find must stay at or below 1.0, and
// BM_WalkStatisticsPumped / BM_WalkStatistics at or below 1.05. A chain of 10,000 nested
// folders: BM_DeepChainWalk / BM_DeepChainFind at or below 2 (--benchmark_filter=DeepChain
// runs these alone; the chain is made at their first run).
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "scan/folder_walk.h"
#include "support/deep_chain.h"
#include "tree_generator.h"
#include "widgets/window_walk_hooks.h"

namespace {

const dw::bench::BenchTree& tree() {
    static const dw::bench::BenchTree instance("folder-walk", 200000, false);
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

class PumpedHooks : public dw::WindowWalkHooks<dw::WalkHooks> {
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
        walk.walkTree(*start);
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

// A chain of folders "d", 10,000 deep, with two files at its bottom, in a folder of its
// own; made through descriptors (its path is longer than a path may be) and taken away
// the same way.
class DeepChain {
public:
    static constexpr int kDepth = 10000;
    DeepChain() {
        char pattern[] = "/tmp/dw-bench-deep-chain-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        root_ = pattern;
        chain_ = std::make_unique<dw::test::DeepChain>(QByteArray::fromStdString(root_), kDepth);
    }
    ~DeepChain() {
        chain_.reset();
        ::rmdir(root_.c_str());
    }
    const std::string& root() const { return root_; }

private:
    std::string root_;
    std::unique_ptr<dw::test::DeepChain> chain_;
};

const DeepChain& deepChain() {
    static const DeepChain instance;
    return instance;
}

void BM_DeepChainWalk(benchmark::State& state) {
    const QByteArray root = QByteArray::fromStdString(deepChain().root());
    dw::WalkOptions options;
    options.wantHidden = true;
    options.wantSystem = true;
    qint64 entries = 0;
    for (auto _ : state) {
        PlainHooks hooks;
        std::optional<dw::StartFolder> start = dw::EnterStartFolder(root);
        if (!start) {
            state.SkipWithError("cannot open the chain");
            return;
        }
        dw::FolderWalk walk(options, hooks);
        walk.walkTree(*start);
        entries = hooks.totals.entries;
        state.counters["reopened"] = double(walk.foldersReopened());
    }
    state.counters["entries"] = double(entries);
}
BENCHMARK(BM_DeepChainWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DeepChainFind(benchmark::State& state) {
    const std::string cmd =
        "find '" + deepChain().root() + "' -xdev -printf '%s %T@\\n' > /dev/null";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("find failed");
        }
    }
}
BENCHMARK(BM_DeepChainFind)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // The pumped walk runs the event loop's pending events, as a window's walk does.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
