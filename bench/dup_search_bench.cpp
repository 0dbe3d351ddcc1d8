// The duplicates and file-hogs finder over the generated tree of 200,000 files against
// the plain walk of the same warm tree in the same run, and the memory its candidate
// list takes per file.
//
//   bench_dup_search --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
//
// Compare the medians: BM_DuplicatesSizeOnly / BM_PlainWalk and BM_FileHogs /
// BM_PlainWalk must stay at or below 1.3 (both include filling the result grid; the
// *_SearchOnly lines leave the grid out; BM_FillGrid_* time the filling alone). BM_CandidateMemory
// reports the list's own account of its peak (list_bytes_per_candidate) and the growth of the
// process's peak resident memory during one search (rss_bytes_per_candidate); both must stay below
// 300. DW_BENCH_TREE=FOLDER runs on a tree made before by bench_make_tree instead.
//
// The times are wall times: the search fills its candidate list on a thread of its own
// during the walk, and sorts and fills the grid on two threads, so the "CPU" column (the
// benchmark's own thread) says less than the machine spent. Run it on an otherwise idle
// machine: a busy second core slows those steps.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocale>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/grid_table.h"
#include "finders/dup_search.h"
#include "process_status.h"
#include "scan/folder_walk.h"
#include "tree_generator.h"

namespace {

const dw::bench::BenchTree& tree() {
    static const dw::bench::BenchTree instance("dup-search", 200000, true);
    return instance;
}

QList<dw::DriveEntry> entries() {
    dw::DriveEntry e;
    e.kind = dw::DriveEntry::Kind::ExtraFolder;
    e.startFolder = QByteArray::fromStdString(tree().root());
    e.text = QFile::decodeName(e.startFolder);
    e.checked = true;
    return {e};
}

dw::WalkOptions finderWalk(const dw::DupOptions& options) {
    dw::WalkOptions w;
    w.pattern = dw::WildcardPattern(options.pattern);
    return w;
}

// The walk alone, with a per-file step that reads what the finder reads.
class PlainHooks : public dw::WalkHooks {
public:
    qint64 files = 0;
    qint64 bytes = 0;
    qint64 times = 0;
    void onFile(const dw::WalkFolder&, const dw::platform::DirEntry& e) override {
        ++files;
        bytes += e.size;
        times += e.modified + e.accessed;
    }
};

void BM_PlainWalk(benchmark::State& state) {
    qint64 files = 0;
    for (auto _ : state) {
        PlainHooks hooks;
        dw::FolderWalk walk(finderWalk(dw::DupOptions()), hooks);
        walk.walkEntries(entries());
        files = hooks.files;
        benchmark::DoNotOptimize(hooks.bytes);
        benchmark::DoNotOptimize(hooks.times);
    }
    state.counters["files"] = double(files);
}
BENCHMARK(BM_PlainWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

dw::DupOptions allSizes(bool duplicateMode, int criterion) {
    dw::DupOptions o;
    o.duplicateMode = duplicateMode;
    o.criterion = criterion;
    o.sizeTest = dw::SizeTest::LargerOrEqual;
    o.num1 = 0;
    o.unit = dw::SizeUnit::Bytes;
    return o;
}

void runSearch(benchmark::State& state, const dw::DupOptions& options, bool fillGrid) {
    qint64 candidates = 0;
    qint64 results = 0;
    for (auto _ : state) {
        dw::DupSearch search(options);
        dw::DupWalkHooks hooks(search);
        dw::FolderWalk walk(finderWalk(options), hooks);
        walk.walkEntries(entries());
        search.finish();
        if (fillGrid) {
            dw::GridTable grid;
            search.fillGrid(grid);
            benchmark::DoNotOptimize(grid.rowCount());
        }
        candidates = search.candidateCount();
        results = search.resultCount();
    }
    state.counters["candidates"] = double(candidates);
    state.counters["results"] = double(results);
}

// "Size only", every size: all files are candidates, most of them results.
void BM_DuplicatesSizeOnly(benchmark::State& state) {
    runSearch(state, allSizes(true, 3), true);
}
BENCHMARK(BM_DuplicatesSizeOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DuplicatesSizeOnly_SearchOnly(benchmark::State& state) {
    runSearch(state, allSizes(true, 3), false);
}
BENCHMARK(BM_DuplicatesSizeOnly_SearchOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// "Same contents", every size: the files of each size several share are read; then the
// files of each group are asked which blocks they share (BM_DuplicatesSameContents), or
// not (BM_DuplicatesSameContents_NoBlocks). Their ratio must stay at or below 1.10.
void BM_DuplicatesSameContents(benchmark::State& state) {
    runSearch(state, allSizes(true, dw::kContentCriterion), true);
}
BENCHMARK(BM_DuplicatesSameContents)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DuplicatesSameContents_NoBlocks(benchmark::State& state) {
    dw::DupOptions options = allSizes(true, dw::kContentCriterion);
    options.lookUpSharedBlocks = false;
    runSearch(state, options, true);
}
BENCHMARK(BM_DuplicatesSameContents_NoBlocks)->Unit(benchmark::kMillisecond)->UseRealTime();

// "Filename only", every size: the names are compared as text while sorting.
void BM_DuplicatesFilenameOnly(benchmark::State& state) {
    runSearch(state, allSizes(true, 0), true);
}
BENCHMARK(BM_DuplicatesFilenameOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// File hogs of every size: every file is listed and the grid sorted by size.
void BM_FileHogs(benchmark::State& state) {
    runSearch(state, allSizes(false, 0), true);
}
BENCHMARK(BM_FileHogs)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FileHogs_SearchOnly(benchmark::State& state) {
    runSearch(state, allSizes(false, 0), false);
}
BENCHMARK(BM_FileHogs_SearchOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// Filling the result grid alone, from one search made before the timing: the part of
// the *_SearchOnly / full difference that the grid and its number sort take.
void fillOnly(benchmark::State& state, const dw::DupOptions& options) {
    dw::DupSearch search(options);
    {
        dw::DupWalkHooks hooks(search);
        dw::FolderWalk walk(finderWalk(options), hooks);
        walk.walkEntries(entries());
        search.finish();
    }
    for (auto _ : state) {
        auto grid = std::make_unique<dw::GridTable>();
        search.fillGrid(*grid);
        benchmark::DoNotOptimize(grid->rowCount());
        state.PauseTiming();
        grid.reset();
        state.ResumeTiming();
    }
    state.counters["rows"] = double(search.resultCount());
}

void BM_FillGrid_DuplicatesSizeOnly(benchmark::State& state) {
    fillOnly(state, allSizes(true, 3));
}
BENCHMARK(BM_FillGrid_DuplicatesSizeOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FillGrid_FileHogs(benchmark::State& state) {
    fillOnly(state, allSizes(false, 0));
}
BENCHMARK(BM_FillGrid_FileHogs)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CandidateMemory(benchmark::State& state) {
    const dw::DupOptions options = allSizes(true, 3);
    for (auto _ : state) {
        state.PauseTiming();
        // Give freed memory back and reset the peak, so the peak below is this search's.
        malloc_trim(0);
        {
            QFile clear(QStringLiteral("/proc/self/clear_refs"));
            if (clear.open(QIODevice::WriteOnly)) {
                clear.write("5");
            }
        }
        const qint64 before = qint64(dw::bench::ProcessStatusKiB("VmRSS"));
        state.ResumeTiming();
        dw::DupSearch search(options);
        {
            dw::DupWalkHooks hooks(search);
            dw::FolderWalk walk(finderWalk(options), hooks);
            walk.walkEntries(entries());
            search.finish();
        }
        const qint64 peak = qint64(dw::bench::ProcessStatusKiB("VmHWM"));
        const double n = double(search.candidateCount());
        state.counters["candidates"] = n;
        state.counters["list_bytes_per_candidate"] = double(search.peakMemoryUsage()) / n;
        state.counters["rss_bytes_per_candidate"] = double(peak - before) * 1024.0 / n;
    }
}
BENCHMARK(BM_CandidateMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The figures are for the texts of a common desktop locale.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    tree();  // built before any timing
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
