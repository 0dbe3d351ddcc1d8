// Grid sorts and grid filling at the scale of a whole disk: a million rows.
//
//   cmake --build build --target bench_sort_grid && ./build/bench/bench_sort_grid
#include <benchmark/benchmark.h>

#include <QDate>
#include <QLocale>
#include <QRandomGenerator>
#include <QStringList>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <numeric>
#include <vector>

#include "base/grid_table.h"
#include "base/sort_grid.h"

namespace {

using dw::GridRow;
using dw::GridTable;

constexpr qsizetype kRows = 1'000'000;

const char* const kWords[] = {"report", "IMG",  "setup", "Backup",  "notes", "invoice", "DSC",
                              "thesis", "song", "video", "Archive", "data",  "draft",   "scan"};
const char* const kExtensions[] = {".docx", ".JPG", ".exe",    ".zip", ".txt", ".pdf",
                                   ".mp3",  ".mkv", ".tar.gz", ".iso", ".png", ".cpp"};

// One file-hog row as the finders write it: size with thousands separators, dates in the
// short format, time, full path, type; the hidden value is the native path.
GridRow makeRow(QRandomGenerator& random, const QLocale& locale) {
    const auto pick = [&random](const auto& list) {
        return list[random.bounded(static_cast<int>(std::size(list)))];
    };
    // Sizes spread over ten orders of magnitude, as on a real disk.
    const qint64 size = static_cast<qint64>(std::pow(10.0, random.bounded(10.0)));
    const QDate epoch(1985, 1, 1);
    const QDate modified = epoch.addDays(random.bounded(15000));
    const QDate accessed = modified.addDays(random.bounded(365));
    const QString name = QString::fromLatin1(pick(kWords)) + QLatin1Char('_') +
                         QString::number(random.bounded(100000)) +
                         QString::fromLatin1(pick(kExtensions));
    const QString folder = QStringLiteral("/home/ann/") + QString::fromLatin1(pick(kWords)) +
                           QLatin1Char('/') + QString::fromLatin1(pick(kWords));
    const QString path = folder + QLatin1Char('/') + name;
    GridRow row;
    row.cells = {locale.toString(size),
                 locale.toString(modified, QLocale::ShortFormat),
                 QStringLiteral("10:42:17 AM"),
                 locale.toString(accessed, QLocale::ShortFormat),
                 path,
                 QStringLiteral("Document File")};
    row.data = path.toUtf8();
    return row;
}

// The shared million-row grid (built once), with a name column added for the text sort.
GridTable& bigGrid() {
    static std::unique_ptr<GridTable> grid = [] {
        auto g = std::make_unique<GridTable>(7);
        g->setTitles({"Size", "Modified", "Time", "Access", "FileName", "Type", "Name"});
        QRandomGenerator random(42);
        const QLocale locale;
        QList<GridRow> batch;
        for (qsizetype i = 0; i < kRows; ++i) {
            GridRow row = makeRow(random, locale);
            row.cells.append(row.cells[4].section(QLatin1Char('/'), -1));
            batch.append(std::move(row));
            if (batch.size() == 4096) {
                g->appendRows(batch);
                batch.clear();
            }
        }
        g->appendRows(batch);
        g->squeeze();
        return g;
    }();
    return *grid;
}

// Puts the data rows in a random order (not timed), so that every run sorts unsorted rows.
void shuffle(GridTable& grid, quint32 seed) {
    std::vector<qsizetype> order(static_cast<size_t>(grid.rowCount() - 1));
    std::iota(order.begin(), order.end(), qsizetype(1));
    QRandomGenerator random(seed);
    for (size_t i = order.size() - 1; i > 0; --i) {
        std::swap(order[i], order[random.bounded(static_cast<quint32>(i + 1))]);
    }
    grid.reorderRows(1, order);
}

enum class Start { Shuffled, Sorted, Reversed };

void sortBench(benchmark::State& state, dw::GridSortKey key, int column, Start start) {
    GridTable& grid = bigGrid();
    quint32 seed = 1;
    for (auto _ : state) {
        state.PauseTiming();
        shuffle(grid, seed++);
        if (start != Start::Shuffled) {
            dw::SortGrid(grid, key, 1, grid.rowCount() - 1, start == Start::Reversed, column);
        }
        state.ResumeTiming();
        dw::SortGrid(grid, key, 1, grid.rowCount() - 1, false, column);
    }
    state.SetItemsProcessed(state.iterations() * (grid.rowCount() - 1));
}

void BM_SortByNumber(benchmark::State& s) {
    sortBench(s, dw::GridSortKey::Number, 0, Start::Shuffled);
}
void BM_SortByDate(benchmark::State& s) {
    sortBench(s, dw::GridSortKey::Date, 1, Start::Shuffled);
}
void BM_SortByTextName(benchmark::State& s) {
    sortBench(s, dw::GridSortKey::Text, 6, Start::Shuffled);
}
void BM_SortByTextPath(benchmark::State& s) {
    sortBench(s, dw::GridSortKey::Text, 4, Start::Shuffled);
}
void BM_SortByTextType(benchmark::State& s) {
    sortBench(s, dw::GridSortKey::Text, 5, Start::Shuffled);
}
void BM_SortByNumberSorted(benchmark::State& s) {
    sortBench(s, dw::GridSortKey::Number, 0, Start::Sorted);
}
void BM_SortByNumberReversed(benchmark::State& s) {
    sortBench(s, dw::GridSortKey::Number, 0, Start::Reversed);
}
void BM_SortByTimeAllEqual(benchmark::State& s) {
    sortBench(s, dw::GridSortKey::Number, 2, Start::Shuffled);
}
void BM_SortByTextNameSorted(benchmark::State& s) {
    sortBench(s, dw::GridSortKey::Text, 6, Start::Sorted);
}

BENCHMARK(BM_SortByNumber)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SortByDate)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SortByTextName)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SortByTextPath)->Unit(benchmark::kMillisecond)->Iterations(5);
// Every row the same key ("Document File", "10:42:17 AM" read as a number).
BENCHMARK(BM_SortByTextType)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SortByTimeAllEqual)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SortByNumberSorted)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortByNumberReversed)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortByTextNameSorted)->Unit(benchmark::kMillisecond)->Iterations(3);

// The date sort against the size sort of the same million rows, in the locales whose
// short dates differ most: C spells the month out ("17 Jun 2021"), the others write
// numbers in different orders. Each locale gets its own two-column grid, made in it.
struct LocaleCase {
    const char* name;
    QLocale locale;
};

const LocaleCase kLocales[] = {
    {"C", QLocale::c()},
    {"en_US", QLocale(QLocale::English, QLocale::UnitedStates)},
    {"en_GB", QLocale(QLocale::English, QLocale::UnitedKingdom)},
    {"de_DE", QLocale(QLocale::German, QLocale::Germany)},
};

void BM_DateAgainstSizeSort(benchmark::State& state) {
    const LocaleCase& c = kLocales[state.range(0)];
    const QLocale before;
    QLocale::setDefault(c.locale);
    GridTable grid(2);
    grid.setTitles({"Size", "Modified"});
    {
        QRandomGenerator random(42);
        QList<GridRow> batch;
        for (qsizetype i = 0; i < kRows; ++i) {
            GridRow row = makeRow(random, c.locale);
            row.cells.resize(2);
            batch.append(std::move(row));
            if (batch.size() == 4096) {
                grid.appendRows(batch);
                batch.clear();
            }
        }
        grid.appendRows(batch);
        grid.squeeze();
    }
    double sizeSeconds = 0;
    double dateSeconds = 0;
    quint32 seed = 1;
    const auto timed = [&grid](dw::GridSortKey key, int column) {
        const auto start = std::chrono::steady_clock::now();
        dw::SortGrid(grid, key, 1, grid.rowCount() - 1, false, column);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    for (auto _ : state) {
        shuffle(grid, seed++);
        const double bySize = timed(dw::GridSortKey::Number, 0);
        shuffle(grid, seed++);
        const double byDate = timed(dw::GridSortKey::Date, 1);
        sizeSeconds += bySize;
        dateSeconds += byDate;
        state.SetIterationTime(byDate);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["size_ms"] = 1000 * sizeSeconds / n;
    state.counters["date_ms"] = 1000 * dateSeconds / n;
    state.counters["date_over_size"] = dateSeconds / sizeSeconds;
    state.SetLabel(c.name);
    QLocale::setDefault(before);
}
BENCHMARK(BM_DateAgainstSizeSort)
    ->DenseRange(0, static_cast<int>(std::size(kLocales)) - 1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Fills a fresh grid with a million file-hog rows in batches, as a finder does, and
// reports the heap it keeps per row beyond the cell text and the hidden path.
void BM_FillMillionRows(benchmark::State& state) {
    QRandomGenerator random(7);
    const QLocale locale;
    // The rows are made beforehand: the finders' own work is not the grid's.
    std::vector<QList<GridRow>> batches;
    double textBytes = 0;
    double pathBytes = 0;
    for (qsizetype i = 0; i < kRows; i += 1000) {
        QList<GridRow> batch;
        for (int k = 0; k < 1000; ++k) {
            GridRow row = makeRow(random, locale);
            for (const QString& c : row.cells)
                textBytes += static_cast<double>(c.toUtf8().size());
            pathBytes += static_cast<double>(row.data.size());
            batch.append(std::move(row));
        }
        batches.push_back(std::move(batch));
    }
    double heapPerRow = 0;
    double estimatePerRow = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        {
            GridTable grid(6);
            for (const QList<GridRow>& batch : batches)
                grid.appendRows(batch);
            grid.squeeze();
            const size_t after = mallinfo2().uordblks;
            heapPerRow = static_cast<double>(after - before) / kRows;
            estimatePerRow = static_cast<double>(grid.memoryUsage()) / kRows;
            benchmark::DoNotOptimize(grid.rowCount());
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.counters["heap_per_row"] = heapPerRow;
    state.counters["text_per_row"] = textBytes / kRows;
    state.counters["path_per_row"] = pathBytes / kRows;
    state.counters["beyond_text_and_path"] = heapPerRow - (textBytes + pathBytes) / kRows;
    state.counters["estimate_per_row"] = estimatePerRow;
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_FillMillionRows)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    // The sizes and dates look as an English (US) desktop shows them.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
