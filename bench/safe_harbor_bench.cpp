// The Safe Harbor query as the result grids ask it, once per painted row, against a
// folder list of 20,000 entries and a non-empty extension list; the load of that list; and
// the build over this machine's configuration.
//
//   cmake --build build --target bench_safe_harbor && ./build/bench/bench_safe_harbor
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <dirent.h>

#include <memory>

#include "platform/environment.h"
#include "safety/safe_harbor.h"
#include "safety/safe_harbor_build.h"

namespace {

using dw::SafeHarbor;

constexpr int kFolderEntries = 20'000;
constexpr int kRows = 4'000;

// Up to `limit` files of the real folders below `folder`, found breadth first, so the
// rows spread over many real folders as a duplicates list does.
QList<QByteArray> realFiles(const QByteArray& folder, int limit) {
    QList<QByteArray> files;
    QList<QByteArray> queue{folder};
    while (!queue.isEmpty() && files.size() < limit) {
        const QByteArray dir = queue.takeFirst();
        DIR* d = ::opendir(dir.constData());
        if (!d) {
            continue;
        }
        while (dirent* e = ::readdir(d)) {
            const QByteArray name(e->d_name);
            if (name == "." || name == "..") {
                continue;
            }
            if (e->d_type == DT_DIR) {
                queue.append(dir + '/' + name);
            } else if (e->d_type == DT_REG && files.size() < limit) {
                files.append(dir + '/' + name);
            }
        }
        ::closedir(d);
    }
    return files;
}

// A lookup over 20,000 entries: real folders of /usr and made-up ones, one in twenty a
// subtree entry, with the machine's search path and system folders, and four protected
// extensions.
struct Fixture {
    QTemporaryDir dir;
    SafeHarbor harbor;
    QList<QByteArray> rows;

    Fixture() {
        QRandomGenerator rng(42);
        QList<QByteArray> folders;
        for (const QByteArray& f : realFiles("/usr/share", 40'000)) {
            const QByteArray folder = f.left(f.lastIndexOf('/') + 1);
            if (folders.isEmpty() || folders.back() != folder) {
                folders.append(folder);
            }
        }
        QByteArray list;
        int count = 0;
        for (const QByteArray& f : folders) {
            if (count >= kFolderEntries / 4) {
                break;
            }
            list += f + (rng.bounded(20) == 0 ? "*.*\n" : "\n");
            ++count;
        }
        for (; count < kFolderEntries; ++count) {
            list += "/srv/data/project-" + QByteArray::number(rng.bounded(100000)) + "/files/" +
                    QByteArray::number(count) + (rng.bounded(20) == 0 ? "/*.*\n" : "/\n");
        }
        const QString file = dir.path() + QStringLiteral("/folders.txt");
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        out.write(list);
        out.close();

        SafeHarbor::Sources sources = SafeHarbor::Sources::current();
        sources.foldersFile = file;
        harbor.GetSearchPath(sources);
        harbor.setExtensions({QStringLiteral("*.sys"), QStringLiteral("*.drv"),
                              QStringLiteral("readme.txt"), QStringLiteral("a*.tmp")});
        // The rows of a grid: files of /usr/lib and /usr/share in their walk order.
        rows = realFiles("/usr/lib", kRows / 2) + realFiles("/usr/share", kRows / 2);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Repainting a grid: every row asked in turn, rows of one folder mostly together.
void BM_QueryGridRows(benchmark::State& state) {
    Fixture& f = fixture();
    qsizetype protectedRows = 0;
    for (auto _ : state) {
        for (const QByteArray& row : f.rows) {
            protectedRows += f.harbor.isInSafeHarbor(row, true) ? 1 : 0;
        }
    }
    state.SetItemsProcessed(state.iterations() * f.rows.size());
    state.counters["protected"] = double(protectedRows) / double(state.iterations());
    state.counters["entries"] = double(f.harbor.lb1().size());
}
BENCHMARK(BM_QueryGridRows)->Unit(benchmark::kMicrosecond);

// Rows in random order, so each question usually names another folder than the last.
void BM_QueryShuffledRows(benchmark::State& state) {
    Fixture& f = fixture();
    QList<QByteArray> rows = f.rows;
    QRandomGenerator rng(7);
    for (qsizetype i = rows.size() - 1; i > 0; --i) {
        rows.swapItemsAt(i, rng.bounded(i + 1));
    }
    for (auto _ : state) {
        for (const QByteArray& row : rows) {
            benchmark::DoNotOptimize(f.harbor.isInSafeHarbor(row, true));
        }
    }
    state.SetItemsProcessed(state.iterations() * rows.size());
}
BENCHMARK(BM_QueryShuffledRows)->Unit(benchmark::kMicrosecond);

// The first paint after the memo was emptied: every folder canonicalised and searched.
void BM_QueryAfterClearingTheMemo(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        f.harbor.clearMemo();
        for (const QByteArray& row : f.rows) {
            benchmark::DoNotOptimize(f.harbor.isInSafeHarbor(row, true));
        }
    }
    state.SetItemsProcessed(state.iterations() * f.rows.size());
}
BENCHMARK(BM_QueryAfterClearingTheMemo)->Unit(benchmark::kMicrosecond);

// Loading the 20,000 entries (each canonicalised) with the search path and system folders.
void BM_LoadLists(benchmark::State& state) {
    Fixture& f = fixture();
    SafeHarbor::Sources sources = SafeHarbor::Sources::current();
    sources.foldersFile = f.dir.path() + QStringLiteral("/folders.txt");
    for (auto _ : state) {
        SafeHarbor harbor;
        harbor.GetSearchPath(sources);
        benchmark::DoNotOptimize(harbor.lb1().size());
    }
}
BENCHMARK(BM_LoadLists)->Unit(benchmark::kMillisecond);

// The build over this machine's configuration trees (/etc, the desktop-entry folders, the
// user's configuration), as "Build list of folders" runs it.
void BM_BuildThisMachine(benchmark::State& state) {
    const dw::HarborBuildRoots roots = dw::HarborBuildRoots::current();
    for (auto _ : state) {
        dw::SafeHarborBuild build;
        build.run(roots);
        state.counters["folders"] = double(build.found().size());
        state.counters["files"] = double(build.filesRead());
        state.counters["dirs"] = double(build.foldersEntered());
    }
}
BENCHMARK(BM_BuildThisMachine)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
