// The scan history: what recording adds to a folder hogs scan of the generated tree of
// 200,000 files, how long comparing two scans of 70,000 folders takes, and how much the
// history grows per folder per scan.
//
//   bench_scan_history --benchmark_repetitions=3
//
// BM_FolderHogsScan/recorded:1 / BM_FolderHogsScan/recorded:0 at or below 1.10; BM_CompareScans/70k
// (reading both scans and comparing them) under 0.5 s; the counter
// bytes_per_folder_per_scan of BM_RecordScans/70k (the file's growth from the first to
// the last of 20 scans of slowly changing folders, over the folders recorded) at most 40.
// DW_BENCH_TREE=FOLDER runs on a tree made before by bench_make_tree.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <string>

#include "finders/folder_hog_history.h"
#include "finders/folder_hogs.h"
#include "folder_entries.h"
#include "scan/scan_growth.h"
#include "scan/scan_history.h"
#include "tree_generator.h"

namespace {

const dw::bench::BenchTree& tree() {
    static const dw::bench::BenchTree instance("history", 200000, true);
    return instance;
}

QByteArray treeRoot() {
    return QByteArray::fromStdString(tree().root());
}

qint64 fileSize(const QByteArray& path) {
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 ? qint64(st.st_size) : 0;
}

dw::HistoryScan scanAt(const QByteArray& root, qint64 time) {
    dw::HistoryScan s;
    s.root = root;
    s.time = time;
    s.options = QStringLiteral("all");
    return s;
}

// `count` folders five levels deep under /srv/data, as a home or a server share has
// them; scan `generation` changes one folder in fifty, as a week of use might.
QList<dw::HistoryFolder> syntheticFolders(int count, int generation) {
    QList<dw::HistoryFolder> rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        QByteArray path = "/srv/data/projects";
        for (int level = 0, n = i; level < 4; ++level, n /= 12) {
            path += "/folder-" + QByteArray::number(n % 12) + "-" + QByteArray::number(level);
        }
        path += "/leaf" + QByteArray::number(i);
        const qint64 grown = (i % 50 == generation % 50) ? 4096 * generation : 0;
        rows.append(
            {path, 65536 + grown + i, 60000 + grown + i, 10 + i % 90, 1780000000 + i % 1000});
    }
    return rows;
}

// The folder hogs' scan alone (/0), and each scan then recorded in a history that keeps
// the last 20 (/1).
void BM_FolderHogsScan(benchmark::State& state) {
    tree();
    const bool record = state.range(0) != 0;
    QTemporaryDir dir;
    dw::ScanHistory history(QFile::encodeName(dir.filePath(QStringLiteral("history.sqlite"))));
    if (record && history.open() != dw::HistoryStatus::Ok) {
        state.SkipWithError(history.errorText().toStdString().c_str());
        return;
    }
    qint64 time = 0;
    qint64 folders = 0;
    for (auto _ : state) {
        const dw::FolderHogResult r =
            dw::scanFolderHogs(dw::bench::folderEntries(tree().root()), dw::FolderHogMode::All);
        folders = r.rows.size();
        if (record) {
            history.record(scanAt(treeRoot(), ++time),
                           dw::folderHogHistoryRows(r.rows, treeRoot()));
        }
    }
    state.counters["folders"] = double(folders);
}
BENCHMARK(BM_FolderHogsScan)
    ->ArgName("recorded")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Twenty scans of 70,000 folders; the growth of the file (log folded in) from the first
// to the last over the folders recorded after the first.
void BM_RecordScans(benchmark::State& state) {
    const int count = int(state.range(0));
    double perFolder = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        const QByteArray file = QFile::encodeName(dir.filePath(QStringLiteral("history.sqlite")));
        qint64 first = 0;
        for (int generation = 0; generation < 20; ++generation) {
            {
                dw::ScanHistory history(file);
                history.open();
                history.record(scanAt("/srv/data", generation + 1),
                               syntheticFolders(count, generation));
            }  // the last connection closing folds the log into the file
            if (generation == 0) {
                first = fileSize(file);
            }
        }
        perFolder = double(fileSize(file) - first) / (19.0 * count);
    }
    state.counters["bytes_per_folder_per_scan"] = perFolder;
}
BENCHMARK(BM_RecordScans)
    ->Name("BM_RecordScans/70k")
    ->Arg(70000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Both scans read back from the file and compared, as `growth` does.
void BM_CompareScans(benchmark::State& state) {
    const int count = int(state.range(0));
    QTemporaryDir dir;
    dw::ScanHistory history(QFile::encodeName(dir.filePath(QStringLiteral("history.sqlite"))));
    history.open();
    const qint64 was =
        history.record(scanAt("/srv/data", 1), syntheticFolders(count, 0)).value_or(0);
    QList<dw::HistoryFolder> later = syntheticFolders(count, 7);
    later.remove(0, count / 100);  // some gone
    const qint64 now = history.record(scanAt("/srv/data", 2), later).value_or(0);
    qint64 rows = 0;
    for (auto _ : state) {
        rows = dw::compareScans(history.folders(was), history.folders(now)).size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_CompareScans)
    ->Name("BM_CompareScans/70k")
    ->Arg(70000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
