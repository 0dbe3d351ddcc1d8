// The files-by-date finder, the quick clean and the cache cleaner over the generated tree
// of 200,000 files, each against the plain walk (or plain listing) of the same warm tree
// in the same run, result grid filled.
//
//   bench_finders --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
//
// Compare the medians: BM_DatedEveryFile / BM_PlainWalk, BM_TempDefaults and
// BM_TempEveryExtension / BM_PlainWalkHidden, BM_CacheCollect / BM_CacheListing must stay
// at or below 1.3. DW_BENCH_TREE=FOLDER runs on a tree made before by bench_make_tree.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocale>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/grid_table.h"
#include "base/settings_sections.h"
#include "finders/cache_folders.h"
#include "finders/date_search.h"
#include "finders/temp_search.h"
#include "platform/dir_reader.h"
#include "scan/folder_walk.h"
#include "tree_generator.h"

namespace {

const dw::bench::BenchTree& tree() {
    static const dw::bench::BenchTree instance("finders", 200000, true);
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

// The walk alone, with a per-file step that reads what the finders read.
class PlainHooks : public dw::WalkHooks {
public:
    qint64 files = 0;
    qint64 sum = 0;
    void onFile(const dw::WalkFolder&, const dw::platform::DirEntry& e) override {
        ++files;
        sum += e.size + e.modified + e.accessed + e.created;
    }
};

void plainWalk(benchmark::State& state, const dw::WalkOptions& options) {
    qint64 files = 0;
    for (auto _ : state) {
        PlainHooks hooks;
        dw::FolderWalk walk(options, hooks);
        walk.walkEntries(entries());
        files = hooks.files;
        benchmark::DoNotOptimize(hooks.sum);
    }
    state.counters["files"] = double(files);
}

dw::WalkOptions everyName() {
    dw::WalkOptions w;
    w.pattern = dw::WildcardPattern(QStringLiteral("*.*"));
    return w;
}

void BM_PlainWalk(benchmark::State& state) {
    plainWalk(state, everyName());
}
BENCHMARK(BM_PlainWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainWalkHidden(benchmark::State& state) {
    plainWalk(state, dw::TempWalkOptions());
}
BENCHMARK(BM_PlainWalkHidden)->Unit(benchmark::kMillisecond)->UseRealTime();

void runFinder(benchmark::State& state, dw::RowFinder& finder, const dw::WalkOptions& options) {
    finder.start();
    dw::RowFinderHooks hooks(finder);
    dw::FolderWalk walk(options, hooks);
    walk.walkEntries(entries());
    finder.finish();
    state.counters["rows"] = double(finder.foundCount());
}

// "On or Before" today: every file is a row.
void BM_DatedEveryFile(benchmark::State& state) {
    dw::DateOptions o;
    o.test = dw::DateTest::OnOrBefore;
    for (auto _ : state) {
        dw::GridTable grid;
        dw::DateSearch search(o, grid);
        runFinder(state, search, everyName());
        benchmark::DoNotOptimize(grid.rowCount());
    }
}
BENCHMARK(BM_DatedEveryFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// "In between" one day long ago: the date test for every file, hardly any row.
void BM_DatedNarrow(benchmark::State& state) {
    dw::DateOptions o;
    o.test = dw::DateTest::Between;
    o.start = o.end = QDate(2001, 1, 1);
    for (auto _ : state) {
        dw::GridTable grid;
        dw::DateSearch search(o, grid);
        runFinder(state, search, everyName());
    }
}
BENCHMARK(BM_DatedNarrow)->Unit(benchmark::kMillisecond)->UseRealTime();

// The quick clean's thirteen defaults.
void BM_TempDefaults(benchmark::State& state) {
    const dw::TempMatcher matcher(dw::settings::defaultTempFilesForQuickClean());
    for (auto _ : state) {
        dw::GridTable grid;
        dw::TempSearch search(matcher, grid);
        runFinder(state, search, dw::TempWalkOptions());
    }
}
BENCHMARK(BM_TempDefaults)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every extension of the tree selected: nearly every file is a row.
void BM_TempEveryExtension(benchmark::State& state) {
    const dw::TempMatcher matcher({"*.txt", "*.dat", "*.jpg", "*.doc", "*.cpp", "*.h", "*.tmp",
                                   "*.log", "*.png", "*.bak", "*.gz"});
    for (auto _ : state) {
        dw::GridTable grid;
        dw::TempSearch search(matcher, grid);
        runFinder(state, search, dw::TempWalkOptions());
    }
}
BENCHMARK(BM_TempEveryExtension)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every folder of the tree as a cache folder.
const QList<QByteArray>& cacheFolders() {
    static const QList<QByteArray> folders = [] {
        class Folders : public dw::WalkHooks {
        public:
            QList<QByteArray> list;
            void onFile(const dw::WalkFolder&, const dw::platform::DirEntry&) override {}
            void onFolderEntered(const dw::WalkFolder& f) override { list << f.path; }
        } hooks;
        dw::FolderWalk walk(everyName(), hooks);
        walk.walkEntries(entries());
        return hooks.list;
    }();
    return folders;
}

void BM_CacheListing(benchmark::State& state) {
    qint64 files = 0;
    for (auto _ : state) {
        files = 0;
        qint64 sum = 0;
        dw::platform::DirReader reader;
        dw::platform::DirEntry e;
        for (const QByteArray& f : cacheFolders()) {
            if (!reader.open(f)) {
                continue;
            }
            while (reader.next(e)) {
                if (!e.isFolder()) {
                    ++files;
                    sum += e.size + e.accessed;
                }
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["files"] = double(files);
}
BENCHMARK(BM_CacheListing)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CacheCollect(benchmark::State& state) {
    qint64 files = 0;
    for (auto _ : state) {
        const dw::CacheFiles found = dw::CollectCacheFiles(cacheFolders(), 0);
        files = found.paths.size();
        benchmark::DoNotOptimize(found.totalBytes);
    }
    state.counters["files"] = double(files);
}
BENCHMARK(BM_CacheCollect)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    tree();
    cacheFolders();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
