// A zip run (compress, commit in batches, flush, read back) against Info-ZIP's
// `zip -r -6` on the same files in the same run: 10,000 files of 4 KiB, and 20 files of
// 50 MiB (ten that deflate well, ten of random bytes that are stored).
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "safety/zip_run.h"

namespace {

constexpr int kSmallFiles = 10000;
constexpr int kSmallFolders = 100;
constexpr qint64 kSmallSize = 4 * 1024;
constexpr int kBigFiles = 20;
constexpr qint64 kBigSize = 50 * 1024 * 1024;

// Lines of words: deflates to about a third, as text and logs do.
void fillText(std::vector<char>& buf, std::mt19937& gen) {
    static const char* const kWords[] = {"disk",  "space", "archive", "folder", "restore",
                                         "file",  "bytes", "volume",  "the",    "of",
                                         "temp",  "cache", "report",  "2024",   "error",
                                         "value", "entry", "name",    "size",   "date"};
    size_t i = 0;
    while (i < buf.size()) {
        const char* w = kWords[gen() % 20];
        while (*w && i < buf.size()) {
            buf[i++] = *w++;
        }
        if (i < buf.size()) {
            buf[i++] = (gen() % 9 == 0) ? '\n' : ' ';
        }
    }
}

void fillRandom(std::vector<char>& buf, std::mt19937_64& gen) {
    for (size_t i = 0; i + 8 <= buf.size(); i += 8) {
        const quint64 v = gen();
        std::memcpy(&buf[i], &v, 8);
    }
}

void writeFile(const std::string& path, const std::vector<char>& data) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size())) {
        std::perror(path.c_str());
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

void run(const std::string& cmd) {
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    }
}

// The trees are made once per process and removed at exit.
class Trees {
public:
    Trees() {
        char pattern[] = "/tmp/dw-bench-zip-XXXXXX";
        root_ = mkdtemp(pattern);
        ::mkdir((root_ + "/small").c_str(), 0755);
        ::mkdir((root_ + "/big").c_str(), 0755);
        ::mkdir((root_ + "/out").c_str(), 0755);
        std::mt19937 gen(7);
        std::vector<char> buf(kSmallSize);
        for (int f = 0; f < kSmallFolders; ++f) {
            const std::string folder = root_ + "/small/folder" + std::to_string(f);
            ::mkdir(folder.c_str(), 0755);
            for (int i = 0; i < kSmallFiles / kSmallFolders; ++i) {
                fillText(buf, gen);
                const std::string file = folder + "/file-" + std::to_string(i) + ".txt";
                writeFile(file, buf);
                small_.append(QFile::encodeName(QString::fromStdString(file)));
            }
        }
        std::vector<char> big(kBigSize);
        std::mt19937_64 noise(11);
        for (int i = 0; i < kBigFiles; ++i) {
            if (i % 2 == 0) {
                fillText(big, gen);
            } else {
                fillRandom(big, noise);
            }
            const std::string file = root_ + "/big/file-" + std::to_string(i) + ".dat";
            writeFile(file, big);
            big_.append(QFile::encodeName(QString::fromStdString(file)));
        }
    }
    ~Trees() { run("rm -rf '" + root_ + "'"); }

    const std::string& root() const { return root_; }
    const QList<QByteArray>& small() const { return small_; }
    const QList<QByteArray>& big() const { return big_; }

private:
    std::string root_;
    QList<QByteArray> small_;
    QList<QByteArray> big_;
};

const Trees& trees() {
    static const Trees instance;
    return instance;
}

void zipRun(benchmark::State& state, const QList<QByteArray>& files) {
    const std::string out = trees().root() + "/out";
    qint64 bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        run("rm -f '" + out + "'/*.zip");
        state.ResumeTiming();
        dw::ZipRunSettings settings;
        settings.zipFolder = QString::fromStdString(out);
        settings.callerWord = QStringLiteral("Bench");
        qint64 archived = 0;
        dw::ZipRunHooks hooks;
        hooks.fileDone = [&archived](const dw::ZipFileResult& r) {
            archived += r.archived ? 1 : 0;
        };
        dw::ZipRun zip(settings, hooks);
        for (const QByteArray& f : files) {
            zip.addFile(f);
        }
        if (!zip.finish() || archived != files.size()) {
            state.SkipWithError("not every file was archived");
        }
        bytes += zip.archivedBytes();
    }
    state.SetBytesProcessed(bytes);
    state.SetItemsProcessed(state.iterations() * files.size());
}

void infoZip(benchmark::State& state, const std::string& folder, qint64 count, qint64 size) {
    const std::string out = trees().root() + "/out/infozip.zip";
    for (auto _ : state) {
        state.PauseTiming();
        run("rm -f '" + out + "'");
        state.ResumeTiming();
        run("cd '" + trees().root() + "' && zip -r -6 -q '" + out + "' '" + folder + "'");
    }
    state.SetBytesProcessed(state.iterations() * count * size);
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_ZipRunSmallFiles(benchmark::State& state) {
    zipRun(state, trees().small());
}
void BM_InfoZipSmallFiles(benchmark::State& state) {
    infoZip(state, "small", kSmallFiles, kSmallSize);
}
void BM_ZipRunBigFiles(benchmark::State& state) {
    zipRun(state, trees().big());
}
void BM_InfoZipBigFiles(benchmark::State& state) {
    infoZip(state, "big", kBigFiles, kBigSize);
}

BENCHMARK(BM_ZipRunSmallFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_InfoZipSmallFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ZipRunBigFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_InfoZipBigFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
