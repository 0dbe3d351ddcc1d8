#include <gtest/gtest.h>

#include <QFile>

#include <unistd.h>

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

    struct Step {
        bool mark;
        QByteArray path;
        const char* status;
    };
    const Step steps[] = {
        {true, h1, "1 files 0 bytes"},  // one name of two: nothing is freed
        {true, plain, "2 files 5 bytes"},
        {true, h2, "3 files 1,005 bytes"},  // the last name: its bytes, once
        {true, three, "4 files 1,005 bytes"},
        {true, t.path("three-b"), "5 files 1,005 bytes"},  // its third name is not marked
        {false, h1, "4 files 5 bytes"},
        {true, h1, "5 files 1,005 bytes"},
        {true, t.path("three-c"), "6 files 1,075 bytes"},
        {false, t.path("three-b"), "5 files 1,005 bytes"},
        {false, h2, "4 files 5 bytes"},
        {false, h1, "3 files 5 bytes"},
    };
    MarkedFiles marks;
    for (const Step& s : steps) {
        s.mark ? marks.mark(s.path) : marks.unmark(s.path);
        EXPECT_EQ(marks.statusText(), QLatin1String(s.status)) << s.path.constData();
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
