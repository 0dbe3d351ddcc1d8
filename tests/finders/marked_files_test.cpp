#include <gtest/gtest.h>

#include <QFile>

#include "finders/marked_files.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::TempTree;

TEST(MarkedFiles, CountsAndTotalsFollowMarks) {
    TempTree t;
    const QByteArray a = t.fileOfSize("a", 100);
    const QByteArray b = t.fileOfSize("sub/b\nc", 200);
    const QByteArray gone = t.path("gone");
    MarkedFiles marks;
    marks.mark(a);
    marks.mark(b);
    EXPECT_EQ(marks.statusText(), QStringLiteral("2 files 300 bytes"));
    EXPECT_EQ(marks.paths(), QList<QByteArray>({a, b}));

    // A file that is not on disk is listed but not counted.
    marks.mark(gone);
    EXPECT_EQ(marks.count(), 2);
    EXPECT_EQ(marks.paths(), QList<QByteArray>({a, b, gone}));
    marks.unmark(gone);
    EXPECT_EQ(marks.count(), 2);
    EXPECT_EQ(marks.totalBytes(), 300);

    marks.unmark(a);
    EXPECT_EQ(marks.statusText(), QStringLiteral("1 files 200 bytes"));
    EXPECT_EQ(marks.paths(), QList<QByteArray>({b}));
    marks.clear();
    EXPECT_EQ(marks.statusText(), QStringLiteral("0 files 0 bytes"));
    EXPECT_TRUE(marks.paths().isEmpty());
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
    EXPECT_EQ(marks.totalBytes(), 150);
    ASSERT_TRUE(QFile::resize(QFile::decodeName(grows), 5000));
    ASSERT_TRUE(QFile::remove(QFile::decodeName(vanishes)));
    t.fileOfSize("appears", 7);
    marks.unmark(grows);
    marks.unmark(vanishes);
    marks.unmark(appears);
    EXPECT_EQ(marks.count(), 0);
    EXPECT_EQ(marks.totalBytes(), 0);
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
    EXPECT_EQ(marks.statusText(), QStringLiteral("2 files 30 bytes"));
    marks.unmark(f);
    EXPECT_TRUE(marks.isMarked(f));
    EXPECT_EQ(marks.count(), 2);
    marks.unmark(f);
    EXPECT_FALSE(marks.isMarked(f));
    EXPECT_EQ(marks.paths(), QList<QByteArray>({upper}));
    EXPECT_EQ(marks.statusText(), QStringLiteral("1 files 20 bytes"));
}

TEST(MarkedFiles, TotalsAre64Bit) {
    TempTree t;
    const QByteArray big = t.file("big");
    ASSERT_TRUE(QFile::resize(QFile::decodeName(big), qint64(5) << 30));  // sparse
    const QByteArray link = t.symlink("link", "big");
    MarkedFiles marks;
    marks.mark(big);
    marks.mark(big + "x");  // no such file
    EXPECT_EQ(marks.statusText(), QStringLiteral("1 files 5,368,709,120 bytes"));
    EXPECT_EQ(marks.lookUp(link), std::optional<qint64>(3));  // the link itself
    EXPECT_EQ(marks.lookUp(t.path("nothing")), std::nullopt);
    EXPECT_EQ(marks.lookUp("/"), std::nullopt);
}

}  // namespace
}  // namespace dw
