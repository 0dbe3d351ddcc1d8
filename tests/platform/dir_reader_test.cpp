#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSet>

#include <cerrno>
#include <ctime>
#include <map>

#include "platform/dir_reader.h"
#include "support/temp_tree.h"

namespace dw::platform {
namespace {

std::map<QByteArray, DirEntry> readAll(const QByteArray& folder) {
    std::map<QByteArray, DirEntry> entries;
    DirReader reader;
    EXPECT_TRUE(reader.open(folder)) << folder.constData() << ": " << reader.error();
    DirEntry e;
    while (reader.next(e)) {
        EXPECT_TRUE(entries.emplace(e.name, e).second) << "reported twice: " << e.name.constData();
    }
    EXPECT_EQ(reader.error(), 0);
    return entries;
}

TEST(DirReader, ReportsHostileNamesByteForByte) {
    test::TempTree tree;
    const QList<QByteArray> names = {
        "tab\there",         "new\nline", " leading", "trailing ",
        "bad\xff\xfe bytes", "100% sure", "%41%42",   "\xc3\xa9t\xc3\xa9",
        "back\\slash",       "a*b?c[d]",  "-dash",    "quote\"'",
    };
    for (const QByteArray& n : names) {
        tree.file("d/" + n, n);
    }
    const auto entries = readAll(tree.path("d"));
    ASSERT_EQ(entries.size(), size_t(names.size()));
    for (const QByteArray& n : names) {
        const auto it = entries.find(n);
        ASSERT_NE(it, entries.end()) << "missing " << n.toHex().constData();
        EXPECT_EQ(it->second.size, n.size());
        EXPECT_EQ(it->second.attributes, 0u) << n.constData();
    }
}

TEST(DirReader, AttributesFollowTheEntryNotItsTarget) {
    test::TempTree tree;
    tree.file("d/plain", "12345");
    tree.file("d/.hidden", "x");
    tree.file("d/locked", "abc");
    tree.setMode("d/locked", 0444);
    tree.dir("d/sub");
    tree.dir("d/.cache");
    tree.symlink("d/link-to-folder", tree.path("d/sub"));
    tree.symlink("d/dangling", "nowhere/at/all");
    tree.symlink("d/.hidden-link", "plain");
    tree.fifo("d/pipe");

    struct Case {
        const char* name;
        quint32 attributes;
        qint64 size;
    };
    const Case cases[] = {
        {"plain", 0, 5},
        {".hidden", kAttrHidden, 1},
        {"locked", kAttrReadOnly, 3},
        {"sub", kAttrFolder, 0},
        {".cache", kAttrFolder | kAttrHidden, 0},
        // A link is reported as itself: a system entry with the length of its target.
        {"link-to-folder", kAttrSystem, tree.path("d/sub").size()},
        {"dangling", kAttrSystem, qint64(sizeof("nowhere/at/all") - 1)},
        {".hidden-link", kAttrSystem | kAttrHidden, 5},
        {"pipe", kAttrSystem, 0},
    };
    const auto entries = readAll(tree.path("d"));
    ASSERT_EQ(entries.size(), std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto it = entries.find(c.name);
        ASSERT_NE(it, entries.end());
        EXPECT_EQ(it->second.attributes, c.attributes);
        EXPECT_EQ(it->second.size, c.size);
        EXPECT_EQ(EntryKind(it->second), (c.attributes & kAttrFolder) ? 0 : 2);

        struct stat st {};
        ASSERT_EQ(lstat(tree.path("d/" + QByteArray(c.name)).constData(), &st), 0);
        EXPECT_EQ(it->second.inode, st.st_ino);
        EXPECT_EQ(it->second.device, st.st_dev);
    }
}

TEST(DirReader, SizesAreSixtyFourBit) {
    test::TempTree tree;
    const QByteArray path = tree.file("big.bin");
    const qint64 fiveGiB = qint64(5) << 30;
    ASSERT_EQ(::truncate(path.constData(), fiveGiB), 0);  // sparse: no disk space used
    const auto entries = readAll(tree.root());
    ASSERT_EQ(entries.count("big.bin"), 1u);
    EXPECT_EQ(entries.at("big.bin").size, fiveGiB);
    const auto direct = statPath(path);
    ASSERT_TRUE(direct.has_value());
    EXPECT_EQ(direct->size, fiveGiB);
}

TEST(DirReader, ReportsAccessModifiedAndBirthTimes) {
    test::TempTree tree;
    const std::time_t before = std::time(nullptr);
    tree.file("f", "x");
    const std::time_t accessed = 1'000'000'000;  // 2001
    const std::time_t modified = 1'600'000'000;  // 2020
    tree.setTimes("f", accessed, modified);
    const DirEntry e = readAll(tree.root()).at("f");
    EXPECT_EQ(e.accessed, accessed);
    EXPECT_EQ(e.modified, modified);
    // Birth times exist only where the file system keeps them; when reported they are
    // the creation, not the times set afterwards.
    if (e.hasCreated) {
        EXPECT_GE(e.created, before - 1);
        EXPECT_LE(e.created, std::time(nullptr) + 1);
    } else {
        EXPECT_EQ(e.created, 0);
    }
}

TEST(DirReader, NeverOpensALinkOrAFileAsAFolder) {
    test::TempTree tree;
    tree.file("real/inside", "x");
    tree.symlink("link", tree.path("real"));
    tree.file("file", "x");

    DirReader reader;
    for (const QByteArray& p : {tree.path("link"), tree.path("link/"), tree.path("link//")}) {
        EXPECT_FALSE(reader.open(p)) << p.constData();
        EXPECT_TRUE(reader.error() == ELOOP || reader.error() == ENOTDIR) << reader.error();
        EXPECT_FALSE(reader.isOpen());
    }
    EXPECT_FALSE(reader.open(tree.path("file")));
    EXPECT_EQ(reader.error(), ENOTDIR);
    EXPECT_FALSE(reader.open(tree.path("missing")));
    EXPECT_EQ(reader.error(), ENOENT);
    EXPECT_FALSE(reader.open({}));

    DirReader root;
    ASSERT_TRUE(root.open(tree.root()));
    EXPECT_FALSE(reader.openAt(root, "link"));
    EXPECT_FALSE(reader.openAt(root, "file"));
    ASSERT_TRUE(reader.openAt(root, "real"));
    DirEntry e;
    ASSERT_TRUE(reader.next(e));
    EXPECT_EQ(e.name, "inside");
    EXPECT_FALSE(reader.next(e));
    EXPECT_EQ(reader.error(), 0);

    // The opened folder's own identity, for a walk that must stay on one file system.
    DirEntry self;
    ASSERT_TRUE(reader.statFolder(self));
    const auto byPath = statPath(tree.path("real"));
    ASSERT_TRUE(byPath.has_value());
    EXPECT_EQ(self.inode, byPath->inode);
    EXPECT_EQ(self.device, byPath->device);
    EXPECT_TRUE(self.isFolder());
}

TEST(DirReader, StatPathNeverFollowsTheLastComponent) {
    test::TempTree tree;
    tree.dir("real");
    tree.symlink(".link", tree.path("real"));
    for (const QByteArray& p : {tree.path(".link"), tree.path(".link/")}) {
        const auto e = statPath(p);
        ASSERT_TRUE(e.has_value()) << p.constData();
        EXPECT_EQ(e->name, ".link");
        EXPECT_EQ(e->attributes, kAttrSystem | kAttrHidden);
    }
    const auto root = statPath("/");
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(root->name, "/");
    EXPECT_TRUE(root->isFolder());
    EXPECT_FALSE(statPath(tree.path("missing")).has_value());
    EXPECT_FALSE(statPath({}).has_value());
}

TEST(DirReader, UnreadableFolderFailsWithItsErrno) {
    test::TempTree tree;
    tree.file("locked/secret", "x");
    tree.setMode("locked", 0);
    ::chmod(tree.root().constData(), 0755);
    const QByteArray locked = tree.path("locked");
    const int result = test::runAsNobody([&] {
        DirReader reader;
        if (reader.open(locked))
            return 1;
        if (reader.error() != EACCES)
            return 2;
        DirReader parent;
        if (!parent.open(locked.left(locked.lastIndexOf('/'))))
            return 3;
        if (reader.openAt(parent, "locked"))
            return 4;
        return reader.error() == EACCES ? 0 : 5;
    });
    EXPECT_EQ(result, 0);
}

TEST(DirReader, ResumesAFolderAfterReopeningIt) {
    test::TempTree tree;
    QSet<QByteArray> all;
    // Enough long names to need several reads of the buffer.
    for (int i = 0; i < 1500; ++i) {
        const QByteArray name = "file-with-a-rather-long-name-" + QByteArray::number(i);
        tree.file("d/" + name);
        all.insert(name);
    }
    QSet<QByteArray> seen;
    DirReader first;
    ASSERT_TRUE(first.open(tree.path("d")));
    DirEntry e;
    for (int i = 0; i < 700 && first.next(e); ++i) {
        seen.insert(e.name);
    }
    const qint64 position = first.tell();
    first.close();

    DirReader again;
    ASSERT_TRUE(again.open(tree.path("d")));
    ASSERT_TRUE(again.seek(position));
    while (again.next(e)) {
        EXPECT_FALSE(seen.contains(e.name)) << e.name.constData();
        seen.insert(e.name);
    }
    EXPECT_EQ(again.error(), 0);
    EXPECT_EQ(seen, all);
}

TEST(DirReader, MovedReaderKeepsItsPlace) {
    test::TempTree tree;
    tree.file("d/a");
    tree.file("d/b");
    DirReader reader;
    ASSERT_TRUE(reader.open(tree.path("d")));
    DirEntry e;
    ASSERT_TRUE(reader.next(e));
    const QByteArray first = e.name;
    DirReader moved = std::move(reader);
    EXPECT_FALSE(reader.isOpen());
    ASSERT_TRUE(moved.next(e));
    EXPECT_NE(e.name, first);
    EXPECT_FALSE(moved.next(e));
}

}  // namespace
}  // namespace dw::platform
