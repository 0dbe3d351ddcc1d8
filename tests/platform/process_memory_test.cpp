#include <gtest/gtest.h>

#include <QFile>

#include <cstdlib>
#include <vector>

#include "platform/process_memory.h"

namespace dw::platform {
namespace {

long residentKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

// The rows of a big list: many small blocks, freed while a block made after them stays,
// so the heap cannot simply shrink from its end.
TEST(ProcessMemory, GivingBackFreeMemoryReturnsTheFreedRowsPages) {
#if !defined(__GLIBC__)
    GTEST_SKIP() << "giving free pages back needs glibc's allocator";
#endif
    constexpr int kBlocks = 400'000;
    constexpr size_t kBlockBytes = 200;
    std::vector<char*> blocks;
    blocks.reserve(kBlocks);
    for (int i = 0; i < kBlocks; ++i) {
        char* block = static_cast<char*>(std::malloc(kBlockBytes));
        ASSERT_NE(block, nullptr);
        block[0] = char(i);
        block[kBlockBytes - 1] = char(i);
        blocks.push_back(block);
    }
    // The last block stays: it lies after the others.
    char* const pin = blocks.back();
    blocks.pop_back();
    for (char* block : blocks) {
        std::free(block);
    }
    blocks = std::vector<char*>();
    const long held = residentKiB();
    giveBackFreeMemory();
    const long after = residentKiB();
    ASSERT_GT(held, 0);
    // About 80 MB were freed; most of it leaves the process's memory.
    EXPECT_GT(held - after, 40 * 1024) << held << " KiB held, " << after << " KiB after";
    std::free(pin);
}

}  // namespace
}  // namespace dw::platform
