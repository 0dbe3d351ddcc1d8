#include <gtest/gtest.h>

#include <unistd.h>

#include "finders/folder_hogs.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

DriveEntry folderEntry(const QByteArray& folder) {
    DriveEntry e;
    e.kind = DriveEntry::Kind::ExtraFolder;
    e.startFolder = folder;
    e.text = QString::fromUtf8(folder);
    e.checked = true;
    return e;
}

const FolderHogRow* rowFor(const FolderHogResult& r, const QByteArray& path) {
    for (const FolderHogRow& row : r.rows) {
        if (row.path == path) {
            return &row;
        }
    }
    return nullptr;
}

// A folder holding a sparse file: its size is the file's apparent size, its share of
// the volume ("% Used") what its blocks take.
TEST(FolderHogs, PercentUsedCountsTheBlocksNotTheApparentSize) {
    test::TempTree t;
    const QByteArray sparse = t.file("Sparse/disk.img", QByteArray(4096, 'd'));
    ASSERT_EQ(::truncate(sparse.constData(), 1LL << 30), 0);
    t.fileOfSize("Plain/data.bin", 8192);
    const FolderHogResult main = scanFolderHogs({folderEntry(t.root())}, FolderHogMode::Main);
    const FolderHogRow* s = rowFor(main, t.path("Sparse"));
    const FolderHogRow* p = rowFor(main, t.path("Plain"));
    ASSERT_TRUE(s && p);
    EXPECT_EQ(s->bytes, 1LL << 30);
    EXPECT_EQ(s->allocated, test::allocatedBytes(sparse));
    EXPECT_LT(s->allocated, 1LL << 20);
    EXPECT_EQ(p->allocated, test::allocatedBytes(t.path("Plain/data.bin")));
    ASSERT_GT(s->capacity, 1LL << 31);
    EXPECT_EQ(folderHogPercentText(s->allocated, s->capacity), QStringLiteral("0.00"));
}

// The two scans on one tree: what each counts as files and sub-folders, and which
// folders get a row at all.
TEST(FolderHogs, EachModeCountsWhatItSays) {
    test::TempTree t;
    t.file("Main/x.txt", "12345");
    t.file("Main/.hidden.txt", "12");
    t.file("Main/Sub/y.txt", "1234567");
    t.file("Main/.cache/skipped.txt", "not counted in main mode");
    t.file("Main/OnlyHidden/.dot", "1");
    t.file("loose.txt", "loose");
    t.file(".HiddenMain/z.txt", "z");
    t.dir("Empty");

    const FolderHogResult main = scanFolderHogs({folderEntry(t.root())}, FolderHogMode::Main);
    ASSERT_EQ(main.rows.size(), 2);  // Main and Empty; never the hidden one
    const FolderHogRow* m = rowFor(main, t.path("Main"));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->bytes, 5 + 2 + 7 + 1);
    EXPECT_EQ(m->files, 4);
    EXPECT_EQ(m->subFolders, 2);  // Sub and OnlyHidden; .cache is not entered
    EXPECT_NE(m->latestAccess, 0u);
    EXPECT_GT(m->capacity, 0);
    EXPECT_EQ(main.rows[0].path, t.path("Main"));  // largest first

    const FolderHogResult all = scanFolderHogs({folderEntry(t.root())}, FolderHogMode::All);
    const FolderHogRow* top = rowFor(all, t.path("Main"));
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->bytes, 5 + 2);
    EXPECT_EQ(top->files, 2);
    EXPECT_EQ(top->subFolders, 3);  // hidden ones too
    EXPECT_NE(rowFor(all, t.root()), nullptr);
    EXPECT_EQ(rowFor(all, t.path("Main/OnlyHidden")), nullptr);
    EXPECT_EQ(rowFor(all, t.path("Empty")), nullptr);
    EXPECT_EQ(rowFor(all, t.path("Main/.cache")), nullptr);
}

TEST(FolderHogs, PercentOfTheVolume) {
    EXPECT_EQ(folderHogPercentText(1, 400), QStringLiteral("0.25"));
    EXPECT_EQ(folderHogPercentText(0, 400), QStringLiteral("0.00"));
    EXPECT_EQ(folderHogPercentText(400, 400), QStringLiteral("???"));
    EXPECT_EQ(folderHogPercentText(5, 0), QStringLiteral("???"));
    EXPECT_EQ(folderHogPercentText(3LL << 40, 4LL << 40), QStringLiteral("75.00"));
}

// An abort keeps the finished rows and the rows being summed, with what they held then:
// an abort during the first folder still lists it.
TEST(FolderHogs, AbortKeepsTheRowsBuiltSoFar) {
    test::TempTree t;
    for (int i = 0; i < 6; ++i) {
        t.file("D0/f" + QByteArray::number(i), "x");
    }
    t.file("D1/f", "x");
    for (const FolderHogMode mode : {FolderHogMode::Main, FolderHogMode::All}) {
        int entries = 0;
        FolderHogHooks hooks;
        hooks.yield = [&] { ++entries; };
        hooks.abortRequested = [&] { return entries >= 3; };
        const FolderHogResult r = scanFolderHogs({folderEntry(t.root())}, mode, hooks);
        EXPECT_TRUE(r.aborted);
        ASSERT_FALSE(r.rows.isEmpty()) << int(mode);
        qint64 files = 0;
        for (const FolderHogRow& row : r.rows) {
            files += row.files;
        }
        EXPECT_GE(files, 1) << int(mode);
        EXPECT_LT(files, 7) << int(mode);
    }
}

}  // namespace
}  // namespace dw
