// The pair comparison's check value (FileCrc: zlib's crc32 of each 2,048-byte block,
// summed) against a plain zlib crc32 of the same file read in 1 MiB pieces, in the same
// run, on one 1 GiB file of random bytes (read from the page cache when memory allows,
// so both sides measure the same reading).
#include <benchmark/benchmark.h>

#include <QByteArray>

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "finders/file_crc.h"

namespace {

constexpr qint64 kFileSize = qint64(1) << 30;

const std::string& testFile() {
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string p = std::string(tmp ? tmp : "/tmp") + "/diskwell-crc-bench.bin";
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::mt19937_64 gen(42);
        std::vector<quint64> block(1 << 17);  // 1 MiB
        for (qint64 done = 0; fd >= 0 && done < kFileSize; done += 1 << 20) {
            for (quint64& v : block) {
                v = gen();
            }
            if (::write(fd, block.data(), 1 << 20) != 1 << 20) {
                std::perror(p.c_str());
                break;
            }
        }
        if (fd >= 0) {
            ::close(fd);
        }
        std::atexit([] { ::unlink(testFile().c_str()); });
        return p;
    }();
    return path;
}

void BM_FileCrc(benchmark::State& state) {
    const QByteArray path = QByteArray::fromStdString(testFile());
    for (auto _ : state) {
        benchmark::DoNotOptimize(dw::FileCrc(path));
    }
    state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_PlainZlibCrc32(benchmark::State& state) {
    std::vector<unsigned char> buffer(1 << 20);
    for (auto _ : state) {
        const int fd = ::open(testFile().c_str(), O_RDONLY | O_CLOEXEC);
        uLong crc = ::crc32(0L, Z_NULL, 0);
        ssize_t got = 0;
        while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) {
            crc = ::crc32(crc, buffer.data(), uInt(got));
        }
        ::close(fd);
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(state.iterations() * kFileSize);
}

// Alternating, so that neither side alone gets the warm cache or the quiet machine.
BENCHMARK(BM_PlainZlibCrc32)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_FileCrc)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_PlainZlibCrc32)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_FileCrc)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
