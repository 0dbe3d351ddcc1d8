#include <gtest/gtest.h>

#include <QByteArray>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/block_usage.h"
#include "platform/dir_reader.h"
#include "support/loop_volume.h"
#include "support/temp_tree.h"

namespace dw::platform {
namespace {

constexpr qint64 kMiB = 1024 * 1024;

// The files whose figures differ: a plain file, a real copy, a reflinked copy, a copy
// sharing all but its middle, and a sparse file. Each promise is checked against what
// the volume's free space really gains when the file goes.
void expectPromisesKept(const QString& type, int megabytes) {
    test::TempTree tree;
    test::LoopVolume volume(tree.root(), type, megabytes);
    if (!volume.ok()) {
        GTEST_SKIP() << volume.whyNot().toStdString();
    }
    volume.randomFile("plain", 4 * kMiB);
    volume.copy("plain", "copy");
    volume.sparseFile("sparse", 40 * kMiB);
    const bool reflinks = volume.reflink("plain", "reflink");
    if (reflinks) {
        ASSERT_TRUE(volume.reflink("plain", "partly"));
        volume.overwrite("partly", kMiB, kMiB);
    }
    struct Case {
        QByteArray name;
        qint64 freed;  // what the file gives back, known from how it was made
    };
    std::vector<Case> cases = {{"copy", 4 * kMiB}, {"sparse", 4096}};
    if (reflinks) {
        cases.push_back({"reflink", 0});
        cases.push_back({"partly", kMiB});
    }
    ASSERT_GE(volume.available(), 0);  // everything made is on the disk before the figures
    BlockUsage usage;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.constData());
        const FreedBlocks promised = usage.freedIfGone(volume.path(c.name));
        EXPECT_TRUE(promised.exact);
        EXPECT_EQ(promised.bytes, c.freed);
        const qint64 before = volume.available();
        ASSERT_EQ(::unlink(volume.path(c.name).constData()), 0);
        EXPECT_EQ(volume.available() - before, promised.bytes);
    }
    // With its reflinks gone, the first file owns its blocks alone again.
    const FreedBlocks last = usage.freedIfGone(volume.path("plain"));
    EXPECT_EQ(last.bytes, 4 * kMiB);
    const qint64 before = volume.available();
    ASSERT_EQ(::unlink(volume.path("plain").constData()), 0);
    EXPECT_EQ(volume.available() - before, last.bytes);
}

TEST(BlockUsage, BytesFreedAreWhatBtrfsGivesBack) {
    expectPromisesKept(QStringLiteral("btrfs"), 128);
}

TEST(BlockUsage, BytesFreedAreWhatXfsGivesBack) {
    expectPromisesKept(QStringLiteral("xfs"), 320);
}

TEST(BlockUsage, BytesFreedAreWhatExt4GivesBack) {
    expectPromisesKept(QStringLiteral("ext4"), 32);
}

// A reflinked copy maps the same blocks as its original, flagged shared; a real copy
// maps blocks of its own.
TEST(BlockUsage, ExtentsShowWhatIsShared) {
    test::TempTree tree;
    test::LoopVolume volume(tree.root(), QStringLiteral("btrfs"), 128);
    if (!volume.ok()) {
        GTEST_SKIP() << volume.whyNot().toStdString();
    }
    volume.randomFile("a", 2 * kMiB);
    ASSERT_TRUE(volume.reflink("a", "b"));
    volume.copy("a", "c");
    volume.available();
    const auto extentsOf = [&](const QByteArray& name) {
        const std::optional<DirEntry> e = statPath(volume.path(name));
        EXPECT_TRUE(e.has_value());
        return BlockUsage::extentsAt(volume.path(name), e->device, e->inode);
    };
    const auto a = extentsOf("a");
    const auto b = extentsOf("b");
    const auto c = extentsOf("c");
    ASSERT_TRUE(a && b && c);
    ASSERT_FALSE(a->empty());
    EXPECT_EQ(a->front().physical, b->front().physical);
    EXPECT_TRUE(a->front().shared && b->front().shared);
    EXPECT_FALSE(c->front().shared);
    EXPECT_NE(c->front().physical, a->front().physical);
    // Another file's identity is refused, as is a path that is not a regular file.
    const std::optional<DirEntry> ea = statPath(volume.path("a"));
    EXPECT_FALSE(BlockUsage::extentsAt(volume.path("b"), ea->device, ea->inode).has_value());
    EXPECT_FALSE(BlockUsage::extentsAt(volume.root(), ea->device, ea->inode).has_value());
}

// A file the user cannot open for reading on a volume that shares blocks: the figure is
// its allocated bytes, said to be an upper bound. Links and FIFOs are never opened.
TEST(BlockUsage, WhatCannotBeAskedIsAnUpperBound) {
    test::TempTree tree;
    test::LoopVolume volume(tree.root(), QStringLiteral("btrfs"), 128);
    if (!volume.ok()) {
        GTEST_SKIP() << volume.whyNot().toStdString();
    }
    volume.randomFile("closed", kMiB);
    ASSERT_TRUE(volume.reflink("closed", "twin"));
    ASSERT_EQ(::chmod(volume.path("closed").constData(), 0), 0);
    ASSERT_EQ(::chmod(volume.root().constData(), 0755), 0);
    ASSERT_EQ(::chmod(tree.root().constData(), 0755), 0);
    volume.available();
    const int status = test::runAsNobody([&] {
        BlockUsage usage;
        const FreedBlocks f = usage.freedIfGone(volume.path("closed"));
        return (!f.exact && f.bytes == kMiB) ? 0 : 1;
    });
    EXPECT_EQ(status, 0);

    ASSERT_EQ(::mkfifo(volume.path("fifo").constData(), 0644), 0);
    ASSERT_EQ(::symlink("closed", volume.path("link").constData()), 0);
    BlockUsage usage;
    EXPECT_TRUE(usage.freedIfGone(volume.path("fifo")).exact);
    EXPECT_TRUE(usage.freedIfGone(volume.path("link")).exact);
    EXPECT_EQ(usage.freedIfGone(volume.path("missing")).bytes, 0);
}

}  // namespace
}  // namespace dw::platform
