#include <gtest/gtest.h>

#include <QFile>

#include <unistd.h>

#include "safety/folder_tally.h"
#include "support/scoped_mount.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::allocatedBytes;

// What a removal of the folder would take: links counted as themselves, a file of two
// names only when both are inside, a mount inside not entered.
TEST(FolderTally, CountsWhatARemovalWouldTake) {
    test::TempTree t;
    const QByteArray a = t.fileOfSize("D/a", 10'000);
    const QByteArray b = t.fileOfSize("D/sub/deeper/.b", 5'000);
    const QByteArray both = t.fileOfSize("D/sub/both", 9'000);
    ASSERT_EQ(::link(both.constData(), t.path("D/both-again").constData()), 0);
    const QByteArray half = t.fileOfSize("D/half", 7'000);
    ASSERT_EQ(::link(half.constData(), t.path("outside").constData()), 0);
    t.fileOfSize("big-outside", 50'000);
    const QByteArray link = t.symlink("D/link", "../big-outside");
    t.dir("D/mnt");
    test::ScopedMount mount("none", t.path("D/mnt"), "tmpfs", "size=1m");
    if (mount.ok()) {
        t.fileOfSize("D/mnt/hidden-by-mount", 3'000);
    }

    const FolderTally tally = tallyFolder(t.path("D"));
    EXPECT_TRUE(tally.complete);
    EXPECT_FALSE(tally.unopened);
    EXPECT_EQ(tally.files, 6);    // a, .b, both, both-again, half, link
    EXPECT_EQ(tally.folders, 3);  // sub, sub/deeper, mnt
    EXPECT_EQ(tally.bytes,
              allocatedBytes(a) + allocatedBytes(b) + allocatedBytes(both) + allocatedBytes(link));
}

TEST(FolderTally, StopsWhenAskedAndSaysSo) {
    test::TempTree t;
    for (int i = 0; i < 50; ++i) {
        t.file("D/f" + QByteArray::number(i), "x");
    }
    int asked = 0;
    const FolderTally stopped = tallyFolder(t.path("D"), [&asked] { return ++asked > 10; });
    EXPECT_FALSE(stopped.complete);
    EXPECT_LT(stopped.files, 50);

    const FolderTally gone = tallyFolder(t.path("nothing"));
    EXPECT_TRUE(gone.unopened);
    EXPECT_EQ(gone.files, 0);
    t.file("plain", "x");
    EXPECT_TRUE(tallyFolder(t.path("plain")).unopened);
    t.symlink("to-D", "D");
    EXPECT_TRUE(tallyFolder(t.path("to-D")).unopened);
}

}  // namespace
}  // namespace dw
