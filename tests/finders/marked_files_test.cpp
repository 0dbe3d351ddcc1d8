#include <gtest/gtest.h>

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include "base/utility.h"
#include "finders/marked_files.h"
#include "support/loop_volume.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::allocatedBytes;
using test::TempTree;

constexpr qint64 kMiB = 1024 * 1024;

QString status(qint64 files, qint64 bytes) {
    return QStringLiteral("%1 files %2 bytes").arg(files).arg(FormatThousands(bytes));
}

TEST(MarkedFiles, CountsAndTotalsFollowMarks) {
    TempTree t;
    const QByteArray a = t.fileOfSize("a", 100);
    const QByteArray b = t.fileOfSize("sub/b\nc", 200);
    const QByteArray gone = t.path("gone");
    const qint64 aBytes = allocatedBytes(a);
    const qint64 bBytes = allocatedBytes(b);
    MarkedFiles marks;
    marks.mark(a);
    marks.mark(b);
    EXPECT_EQ(marks.statusText(), status(2, aBytes + bBytes));
    EXPECT_EQ(marks.paths(), QList<QByteArray>({a, b}));

    // A file that is not on disk is listed but not counted.
    marks.mark(gone);
    EXPECT_EQ(marks.count(), 2);
    EXPECT_EQ(marks.paths(), QList<QByteArray>({a, b, gone}));
    marks.unmark(gone);
    EXPECT_EQ(marks.count(), 2);
    EXPECT_EQ(marks.freedBytes(), aBytes + bBytes);
    EXPECT_TRUE(marks.freedExact());

    marks.unmark(a);
    EXPECT_EQ(marks.statusText(), status(1, bBytes));
    EXPECT_EQ(marks.paths(), QList<QByteArray>({b}));
    marks.clear();
    EXPECT_EQ(marks.statusText(), QStringLiteral("0 files 0 bytes"));
    EXPECT_TRUE(marks.paths().isEmpty());
}

TEST(MarkedFiles, AFileOfSeveralNamesCountsItsBytesOnlyWithAllItsNamesMarked) {
    TempTree t;
    const QByteArray h1 = t.fileOfSize("h1", 1000);
    const QByteArray h2 = t.path("sub/h2");
    t.dir("sub");
    ASSERT_EQ(::link(h1.constData(), h2.constData()), 0);
    const QByteArray three = t.fileOfSize("three", 70);
    ASSERT_EQ(::link(three.constData(), t.path("three-b").constData()), 0);
    ASSERT_EQ(::link(three.constData(), t.path("three-c").constData()), 0);
    const QByteArray plain = t.fileOfSize("plain", 5);

    const qint64 h = allocatedBytes(h1);
    const qint64 p = allocatedBytes(plain);
    const qint64 t3 = allocatedBytes(three);

    struct Step {
        bool mark;
        QByteArray path;
        qint64 files;
        qint64 bytes;
    };
    const Step steps[] = {
        {true, h1, 1, 0},  // one name of two: nothing is freed
        {true, plain, 2, p},
        {true, h2, 3, p + h},  // the last name: its bytes, once
        {true, three, 4, p + h},
        {true, t.path("three-b"), 5, p + h},  // its third name is not marked
        {false, h1, 4, p},
        {true, h1, 5, p + h},
        {true, t.path("three-c"), 6, p + h + t3},
        {false, t.path("three-b"), 5, p + h},
        {false, h2, 4, p},
        {false, h1, 3, p},
    };
    MarkedFiles marks;
    for (const Step& s : steps) {
        s.mark ? marks.mark(s.path) : marks.unmark(s.path);
        EXPECT_EQ(marks.statusText(), status(s.files, s.bytes)) << s.path.constData();
    }
}

TEST(MarkedFiles, UnmarkTakesOffWhatMarkAdded) {
    TempTree t;
    const QByteArray grows = t.fileOfSize("grows", 100);
    const QByteArray vanishes = t.fileOfSize("vanishes", 50);
    const QByteArray appears = t.path("appears");
    MarkedFiles marks;
    marks.mark(grows);
    marks.mark(vanishes);
    marks.mark(appears);
    EXPECT_EQ(marks.count(), 2);
    EXPECT_EQ(marks.freedBytes(), allocatedBytes(grows) + allocatedBytes(vanishes));
    ASSERT_TRUE(QFile::resize(QFile::decodeName(grows), 5000));
    ASSERT_TRUE(QFile::remove(QFile::decodeName(vanishes)));
    t.fileOfSize("appears", 7);
    marks.unmark(grows);
    marks.unmark(vanishes);
    marks.unmark(appears);
    EXPECT_EQ(marks.count(), 0);
    EXPECT_EQ(marks.freedBytes(), 0);
}

TEST(MarkedFiles, APathShownByTwoRowsIsListedAndCountedOnce) {
    TempTree t;
    const QByteArray f = t.fileOfSize("f", 10);
    const QByteArray upper = t.fileOfSize("F", 20);  // another file on Linux
    MarkedFiles marks;
    MarkedFiles::Batch batch(marks);
    marks.mark(f);
    marks.mark(f);
    marks.mark(upper);
    EXPECT_EQ(marks.paths(), QList<QByteArray>({f, upper}));
    EXPECT_EQ(marks.statusText(), status(2, allocatedBytes(f) + allocatedBytes(upper)));
    marks.unmark(f);
    EXPECT_TRUE(marks.isMarked(f));
    EXPECT_EQ(marks.count(), 2);
    marks.unmark(f);
    EXPECT_FALSE(marks.isMarked(f));
    EXPECT_EQ(marks.paths(), QList<QByteArray>({upper}));
    EXPECT_EQ(marks.statusText(), status(1, allocatedBytes(upper)));
}

// The total is what the disk gives back: a sparse file adds its blocks, not its
// length; sizes stay 64-bit.
TEST(MarkedFiles, ASparseFileAddsItsBlocksNotItsLength) {
    TempTree t;
    const QByteArray big = t.file("big");
    ASSERT_TRUE(QFile::resize(QFile::decodeName(big), qint64(5) << 30));  // sparse
    const QByteArray link = t.symlink("link", "big");
    MarkedFiles marks;
    marks.mark(big);
    marks.mark(big + "x");  // no such file
    EXPECT_EQ(marks.statusText(), status(1, allocatedBytes(big)));
    EXPECT_LT(marks.freedBytes(), kMiB);
    EXPECT_EQ(marks.lookUp(big), std::optional<qint64>(qint64(5) << 30));
    EXPECT_EQ(marks.lookUp(link), std::optional<qint64>(3));  // the link itself
    EXPECT_EQ(marks.lookUp(t.path("nothing")), std::nullopt);
    EXPECT_EQ(marks.lookUp("/"), std::nullopt);
}

// On a volume that shares blocks: a reflinked copy adds nothing, a real copy its
// blocks, and a file whose sharing cannot be asked makes the total an upper bound.
TEST(MarkedFiles, SharedBlocksAreNotCountedAndUnknownsSayAtMost) {
    TempTree tree;
    test::LoopVolume volume(tree.root(), QStringLiteral("btrfs"), 128);
    if (!volume.ok()) {
        GTEST_SKIP() << volume.whyNot().toStdString();
    }
    volume.randomFile("plain", kMiB);
    volume.copy("plain", "copy");
    if (!volume.reflink("plain", "reflink")) {
        GTEST_SKIP() << "the btrfs volume refuses reflinks";
    }
    volume.available();
    {
        MarkedFiles marks;
        marks.mark(volume.path("reflink"));
        EXPECT_EQ(marks.statusText(), QStringLiteral("1 files 0 bytes"));
        marks.mark(volume.path("copy"));
        EXPECT_EQ(marks.statusText(), status(2, kMiB));
        EXPECT_TRUE(marks.freedExact());
    }

    ASSERT_EQ(::chmod(volume.path("reflink").constData(), 0), 0);
    ASSERT_EQ(::chmod(volume.root().constData(), 0755), 0);
    ASSERT_EQ(::chmod(tree.root().constData(), 0755), 0);
    const int exit = test::runAsNobody([&] {
        MarkedFiles marks;
        marks.mark(volume.path("reflink"));
        const bool upper = marks.statusText() == QStringLiteral("1 files at most 1,048,576 bytes");
        marks.unmark(volume.path("reflink"));
        return upper && marks.freedExact() && marks.freedBytes() == 0 ? 0 : 1;
    });
    EXPECT_EQ(exit, 0);
}

}  // namespace
}  // namespace dw
