// The treemap of the folder hogs over the generated tree of 200,000 files and over a
// model of 1,000,000 files built in memory, and what keeping the model costs the scan.
//
//   bench_treemap --benchmark_repetitions=3
//
// BM_TreemapDraw/200k (layout and drawing at 1,600 x 1,000) must stay under 0.3 s and
// BM_TreemapDraw/1M under 1.5 s; BM_FolderHogsScanKeepingTree / BM_FolderHogsScan at or
// below 1.10. The counter bytes_per_item is the model's memory over its items (records,
// names and spare room), at most 64. DW_BENCH_TREE=FOLDER runs on a tree made before by
// bench_make_tree.
#include <benchmark/benchmark.h>

#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "finders/folder_hogs.h"
#include "finders/space_tree.h"
#include "finders/ui/treemap_view.h"
#include "folder_entries.h"
#include "tree_generator.h"

namespace {

const dw::bench::BenchTree& tree() {
    static const dw::bench::BenchTree instance("treemap", 200000, true);
    return instance;
}

QList<dw::DriveEntry> entries() {
    return dw::bench::folderEntries(tree().root());
}

std::shared_ptr<const dw::SpaceTree> scannedModel(qint64 keptFileSize) {
    dw::FolderHogTreeOptions keep;
    keep.keep = true;
    keep.keptFileSize = keptFileSize;
    return dw::scanFolderHogs(entries(), dw::FolderHogMode::All, {}, keep).tree;
}

// splitmix64, as the tree generator: the same model every run.
std::uint64_t mix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// A million files in folders of 20 to 180 files, five levels of eight folders, with the
// generator's mix of sizes and types; every file kept as an item of its own.
std::shared_ptr<const dw::SpaceTree> generatedModel(qint64 files) {
    static const char* const kExt[] = {".txt", ".dat", ".jpg", ".doc", ".cpp", ".h",
                                       ".tmp", ".log", ".png", ".bak", "",     ".gz"};
    std::uint64_t state = 20261210;
    dw::SpaceTreeBuilder b(0);
    qint64 made = 0;
    std::function<void(const QByteArray&, int)> folder = [&](const QByteArray& path, int depth) {
        b.enterFolder(path, depth == 0 ? (qint64(1) << 40) : 0);
        if (depth < 5) {
            for (int i = 0; i < 8 && made < files; ++i) {
                folder(path + "/d" + QByteArray::number(i), depth + 1);
            }
        }
        const qint64 here = 20 + qint64(mix(state) % 161);
        for (qint64 i = 0; i < here && made < files; ++i, ++made) {
            const std::uint64_t bucket = mix(state) % 100;
            qint64 size = qint64(mix(state) % 1024);
            if (bucket >= 98) {
                size = qint64(1 + mix(state) % 64) << 20;
            } else if (bucket >= 85) {
                size = 65536 + qint64(mix(state) % (960 * 1024));
            } else if (bucket >= 45) {
                size = 1024 + qint64(mix(state) % (63 * 1024));
            }
            b.addFile("file" + QByteArray::number(i) + kExt[mix(state) % 12], size);
        }
        b.leaveFolder();
    };
    while (made < files) {
        folder("/generated" + QByteArray::number(made), 0);
    }
    return std::make_shared<const dw::SpaceTree>(b.finish());
}

void drawBench(benchmark::State& state, const dw::SpaceTree& model) {
    const dw::SpaceItem& top = model.item(0);
    const quint32 root = top.count == 1 ? top.first : 0;
    std::size_t tiles = 0;
    for (auto _ : state) {
        const dw::TreemapPicture p = dw::drawTreemap(model, root, QSize(1600, 1000));
        tiles = p.tiles.size();
        benchmark::DoNotOptimize(p.image.constBits());
    }
    state.counters["items"] = double(model.size());
    state.counters["tiles"] = double(tiles);
    state.counters["bytes_per_item"] = double(model.memoryBytes()) / double(model.size());
}

void BM_TreemapDraw200k(benchmark::State& state) {
    static const auto model = scannedModel(256 * 1024);
    drawBench(state, *model);
}
BENCHMARK(BM_TreemapDraw200k)
    ->Name("BM_TreemapDraw/200k")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_TreemapDraw200kEveryFile(benchmark::State& state) {
    static const auto model = scannedModel(0);
    drawBench(state, *model);
}
BENCHMARK(BM_TreemapDraw200kEveryFile)
    ->Name("BM_TreemapDraw/200k_every_file")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_TreemapDraw1M(benchmark::State& state) {
    static const auto model = generatedModel(1000000);
    drawBench(state, *model);
}
BENCHMARK(BM_TreemapDraw1M)
    ->Name("BM_TreemapDraw/1M")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_FolderHogsScan(benchmark::State& state) {
    tree();
    for (auto _ : state) {
        const dw::FolderHogResult r = dw::scanFolderHogs(entries(), dw::FolderHogMode::All);
        benchmark::DoNotOptimize(r.rows.size());
    }
}
BENCHMARK(BM_FolderHogsScan)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FolderHogsScanKeepingTree(benchmark::State& state) {
    tree();
    dw::FolderHogTreeOptions keep;
    keep.keep = true;
    qint64 items = 0;
    qint64 bytes = 0;
    for (auto _ : state) {
        const dw::FolderHogResult r =
            dw::scanFolderHogs(entries(), dw::FolderHogMode::All, {}, keep);
        items = r.tree->size();
        bytes = r.tree->memoryBytes();
        benchmark::DoNotOptimize(r.rows.size());
    }
    state.counters["items"] = double(items);
    state.counters["bytes_per_item"] = double(bytes) / double(items);
}
BENCHMARK(BM_FolderHogsScanKeepingTree)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
