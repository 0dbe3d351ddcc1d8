#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>

#include <fcntl.h>
#include <unistd.h>

#include "base/file_pager.h"
#include "base/utility.h"
#include "platform/posix_io.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

constexpr qint64 kCap = FilePager::kMaxLineBytes;

// The lines as the pager shows them, walked one after the other from the start.
QList<QByteArray> walkLines(const FilePager& pager) {
    QList<QByteArray> lines;
    for (qint64 start = 0; start < pager.size(); start = pager.nextLineStart(start)) {
        lines.append(pager.lineBytesAt(start));
    }
    return lines;
}

TEST(FilePager, SplitsLinesAtLineEndsAndAtTheLongestLine) {
    test::TempTree tree;
    const QByteArray a(kCap, 'a');
    // 62 lines at their longest and one of 16,382 bytes: the next line starts 16,385
    // bytes before the first megabyte's end.
    const QByteArray megabyteFiller = QByteArray(1024 * 1024 - kCap - 2, 'f') + '\n';
    QList<QByteArray> fillerLines(62, QByteArray(kCap, 'f'));
    fillerLines.append(QByteArray(1024 * 1024 - 63 * kCap - 2, 'f'));
    const struct {
        const char* what;
        QByteArray content;
        QList<QByteArray> lines;
    } cases[] = {
        {"empty", "", {}},
        {"one line without an end", "abc", {"abc"}},
        {"one line with its end", "abc\n", {"abc"}},
        {"two lines, the last without end", "a\nb", {"a", "b"}},
        {"CR LF ends", "one\r\ntwo\r\n", {"one", "two"}},
        {"a lone CR stays", "one\rtwo\n", {"one\rtwo"}},
        {"empty lines", "\n\n\nx", {"", "", "", "x"}},
        {"longest line with its end", a + "\nb", {a, "b"}},
        {"longest line at the end", a, {a}},
        {"one byte beyond the longest", a + "b\n", {a, "b"}},
        {"the longest line and a CR LF", a + "\r\n", {a}},
        {"the longest line, a CR LF and more", a + "\r\nb", {a, "b"}},
        {"the longest line and a CR at the end", a + "\r", {a, "\r"}},
        {"the longest line and a CR of the next", a + "\rb\n", {a, "\rb"}},
        // The count reads a megabyte at a time: its first one ends on the "\r".
        {"a CR LF across the count's first megabyte", megabyteFiller + a + "\r\nz\n",
         fillerLines + QList<QByteArray>{a, "z"}},
        {"a CR ending the file after the count's first megabyte", megabyteFiller + a + "\r",
         fillerLines + QList<QByteArray>{a, "\r"}},
        {"three and a bit times the longest",
         QByteArray(3 * kCap + 5, 'z'),
         {QByteArray(kCap, 'z'), QByteArray(kCap, 'z'), QByteArray(kCap, 'z'), "zzzzz"}},
        {"a long line between short ones", "s\n" + a + a + "\nt\n", {"s", a, a, "t"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray path = tree.file("lines.txt", c.content);
        FilePager pager;
        ASSERT_TRUE(pager.open(path));
        EXPECT_EQ(pager.size(), c.content.size());
        EXPECT_EQ(walkLines(pager), c.lines);
        pager.finishCount();
        ASSERT_TRUE(pager.lineCountKnown());
        EXPECT_EQ(pager.lineCount(), c.lines.size());
        for (qint64 i = 0; i < c.lines.size(); ++i) {
            EXPECT_EQ(pager.lineBytes(i), c.lines.at(i)) << "line " << i;
        }
        EXPECT_EQ(pager.lineStart(c.lines.size()), -1);
        EXPECT_EQ(pager.lineBytes(c.lines.size()), QByteArray());
    }
}

TEST(FilePager, FindsAnyLineOfALargeFileBeforeAndAfterTheCount) {
    test::TempTree tree;
    // Enough lines and bytes for many checkpoints, lines of varying length and a few
    // broken long ones among them.
    QByteArray content;
    QList<QByteArray> expected;
    for (int i = 0; i < 30000; ++i) {
        QByteArray line = "line " + QByteArray::number(i) + QByteArray(i % 97, '.');
        if (i % 5000 == 4999) {
            line = QByteArray(kCap, 'L');  // exactly the longest: still one line
        }
        content += line + (i % 3 == 0 ? "\r\n" : "\n");
        expected.append(line);
    }
    const QByteArray path = tree.file("big.txt", content);

    FilePager pager;
    ASSERT_TRUE(pager.open(path));
    // Before any count: found by scanning from the start.
    EXPECT_EQ(pager.lineBytes(12345), expected.at(12345));
    EXPECT_FALSE(pager.lineCountKnown());

    QSignalSpy finished(&pager, &FilePager::countFinished);
    pager.countLines();
    ASSERT_TRUE(finished.wait(20000));
    ASSERT_TRUE(pager.lineCountKnown());
    EXPECT_EQ(pager.lineCount(), expected.size());
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(finished.first().first().toLongLong(), expected.size());
    EXPECT_EQ(pager.bytesCounted(), content.size());
    for (const qint64 i : {0, 1, 4095, 4096, 4097, 4999, 5000, 12345, 29998, 29999, 7, 3}) {
        EXPECT_EQ(pager.lineBytes(i), expected.at(i)) << "line " << i;
    }
    // The line holding an offset, at line starts, in the middle and at the end.
    const qint64 start = pager.lineStart(20000);
    EXPECT_EQ(pager.lineAtOffset(start), 20000);
    EXPECT_EQ(pager.lineAtOffset(start + 3), 20000);
    EXPECT_EQ(pager.lineAtOffset(start - 1), 19999);
    EXPECT_EQ(pager.lineAtOffset(content.size() + 10), 29999);
    // Bytes across the cache's blocks.
    EXPECT_EQ(pager.bytes(FilePager::kBlockSize - 3, 10),
              content.mid(FilePager::kBlockSize - 3, 10));
    EXPECT_EQ(pager.bytes(content.size() - 2, 100), content.right(2));
    EXPECT_EQ(pager.bytes(content.size(), 1), QByteArray());
}

TEST(FilePager, ACancelledCountGoesOnWhereItStopped) {
    test::TempTree tree;
    QByteArray content;
    for (int i = 0; i < 200000; ++i) {
        content += "row " + QByteArray::number(i) + '\n';
    }
    const QByteArray path = tree.file("rows.txt", content);
    FilePager pager;
    ASSERT_TRUE(pager.open(path));
    pager.countLines();
    pager.cancelCount();
    EXPECT_FALSE(pager.isCounting());
    // A reader for another thread goes on from the lines found so far, on its own.
    const std::unique_ptr<FilePager> reader = pager.reader();
    ASSERT_NE(reader, nullptr);
    reader->finishCount();
    ASSERT_TRUE(reader->lineCountKnown());
    EXPECT_EQ(reader->lineCount(), 200000);
    EXPECT_EQ(reader->lineBytes(123456), QByteArray("row 123456"));
    // Asked to stop first, it leaves the total unknown.
    FilePager uncounted;
    ASSERT_TRUE(uncounted.open(path));
    const std::unique_ptr<FilePager> stopped = uncounted.reader();
    stopped->requestStop();
    stopped->finishCount();
    EXPECT_FALSE(stopped->lineCountKnown());
    pager.finishCount();
    ASSERT_TRUE(pager.lineCountKnown());
    EXPECT_EQ(pager.lineCount(), 200000);
    EXPECT_EQ(pager.lineBytes(199999), QByteArray("row 199999"));
}

TEST(FilePager, RefusesWhatIsNoFileAndReadsNonUtf8Names) {
    test::TempTree tree;
    FilePager pager;
    EXPECT_FALSE(pager.open(tree.path("missing")));
    EXPECT_FALSE(pager.open(tree.dir("folder")));
    EXPECT_FALSE(pager.open(tree.fifo("pipe")));
    EXPECT_FALSE(pager.isOpen());
    ASSERT_TRUE(pager.open(tree.file("caf\xe9\xff.txt", "x\ny\n")));
    pager.finishCount();
    EXPECT_EQ(pager.lineCount(), 2);
}

// The viewer and its strings look at stored files only, reached through the links the
// user hands them; anything else is refused with its reason, and nothing waits: a FIFO
// whose writer never writes, or a file of /proc, which calls itself regular and empty
// (reading /proc/kmsg would wait for the kernel's next message, and consume it).
TEST(FilePager, SpecialFilesAreRefusedWithTheirReasonAndNothingWaits) {
    test::TempTree tree;
    const QByteArray pipe = tree.fifo("pipe");
    // A writer that never writes: a read from the FIFO would wait for ever.
    const platform::UniqueFd writer(::open(pipe.constData(), O_RDWR | O_CLOEXEC));
    ASSERT_TRUE(writer);
    const QByteArray file = tree.file("plain.txt", "some text here\n");
    struct Case {
        const char* what;
        QByteArray path;
        QString reason;  // empty: opened and read
    };
    const Case cases[] = {
        {"a FIFO with a writer", pipe, QStringLiteral("it is not a regular file")},
        {"a link to it", tree.symlink("to-pipe", pipe), QStringLiteral("it is not a regular file")},
        {"a link to a file of /proc", tree.symlink("to-proc", "/proc/self/status"),
         QStringLiteral("it is a file of the kernel, not of a disk")},
        {"a link to a folder", tree.symlink("to-folder", tree.dir("folder")),
         QStringLiteral("it is a folder")},
        {"a link to a file", tree.symlink("to-file", file), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray strings = tree.path("strings.txt");
        const int status = test::runWithDeadline(
            [&] {
                FilePager pager;
                const bool opened = pager.open(c.path);
                if (opened != c.reason.isEmpty() || pager.openError() != c.reason) {
                    return 1;
                }
                const QString error = ExtractStrings(c.path, strings, 5, 100);
                const QString expected = c.reason.isEmpty()
                                             ? QString()
                                             : QStringLiteral("Could not open file ") +
                                                   QFile::decodeName(c.path) +
                                                   QStringLiteral(": ") + c.reason;
                return error == expected ? 0 : 2;
            },
            10);
        EXPECT_EQ(status, 0) << "1: the pager, 2: the strings, -1: it waited";
    }
}

// Holes are counted without reading them: the lines come out as if the zeros were read.
TEST(FilePager, CountsTheHolesOfASparseFileAsZeros) {
    test::TempTree tree;
    const struct {
        const char* what;
        qint64 holeFrom;
        qint64 holeTo;
    } cases[] = {
        {"a hole after a short line", 5, 3 * 1024 * 1024},
        {"a hole that ends inside a line", 5, 3 * 1024 * 1024 + 7},
        {"a hole at the start", 0, 2 * 1024 * 1024},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray path = tree.file("holes.bin", QByteArray("head\n").left(c.holeFrom));
        {
            QFile f(QFile::decodeName(path));
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            ASSERT_TRUE(f.resize(c.holeTo));
            ASSERT_TRUE(f.seek(c.holeTo));
            f.write("tail\nthe last line\n" + QByteArray(100, 'x'));
        }
        FilePager pager;
        ASSERT_TRUE(pager.open(path));
        const QList<QByteArray> lines = walkLines(pager);
        pager.finishCount();
        EXPECT_EQ(pager.lineCount(), lines.size());
        EXPECT_EQ(pager.lineBytes(lines.size() - 1), QByteArray(100, 'x'));
        EXPECT_EQ(pager.lineBytes(lines.size() - 2), QByteArray("the last line"));
        for (const qint64 i : {qint64(0), qint64(1), qint64(lines.size() / 2)}) {
            EXPECT_EQ(pager.lineBytes(i), lines.at(i)) << "line " << i;
        }
    }
}

// A 10 GB file of holes: opening it reads nothing of it, its first and last bytes are
// there at once, and closing it while its lines are counted stops the count.
TEST(FilePager, OpensATenGigabyteSparseFile) {
    test::TempTree tree;
    const QByteArray path = tree.file("sparse.bin", "first line\nsecond");
    {
        QFile f(QFile::decodeName(path));
        ASSERT_TRUE(f.resize(10LL * 1000 * 1000 * 1000));
    }
    FilePager pager;
    ASSERT_TRUE(pager.open(path));
    EXPECT_EQ(pager.size(), 10LL * 1000 * 1000 * 1000);
    pager.countLines();
    EXPECT_EQ(pager.lineBytes(0), QByteArray("first line"));
    // The rest of line 2 is holes: broken at the longest line.
    EXPECT_EQ(pager.lineBytes(1), "second" + QByteArray(kCap - 6, '\0'));
    EXPECT_EQ(pager.bytes(pager.size() - 4, 16), QByteArray(4, '\0'));
    EXPECT_EQ(pager.lineAtOffset(11 + 3 * kCap), 4);
    // Where the file system tells its holes, the count may be done already.
    if (pager.lineCountKnown()) {
        EXPECT_EQ(pager.lineCount(), 1 + (pager.size() - 11 + kCap - 1) / kCap);
    }
    pager.close();
    EXPECT_FALSE(pager.isCounting());
    EXPECT_EQ(pager.size(), 0);
}

}  // namespace
}  // namespace dw
