#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QList>

#include <stdexcept>

#include "base/grid_table.h"
#include "base/tsv_text.h"
#include "finders/dup_fixture.h"
#include "finders/dup_row_writer.h"
#include "finders/dup_search.h"

namespace dw {
namespace {

using test::dupOptions;
using test::hogOptions;

// Names and folders that every escape of a line meets: TAB, line feed, carriage return,
// backslash, bytes that are no UTF-8, leading blanks, and plain names between them.
QByteArray hostileName(int i) {
    static const char* const kParts[] = {"tab\there",    "new\nline", "cr\rhere",    "back\\slash",
                                         "\xFF\xFE bad", "  lead",    "caf\xC3\xA9", "plain"};
    return QByteArray(kParts[i % 8]) + QByteArray::number(i % 1500) + (i % 3 ? ".txt" : ".b\tn");
}

QByteArray hostileFolder(int i) {
    static const char* const kParts[] = {"/data/d", "/data/ w\teird", "/data/\xE9t\xE9",
                                         "/data/back\\"};
    return QByteArray(kParts[i % 4]) + QByteArray::number(i / 900);
}

// A finished search of `count` files whose names and sizes repeat, so that duplicate mode
// finds groups.
std::unique_ptr<DupSearch> searchOf(const DupOptions& options, int count) {
    auto search = std::make_unique<DupSearch>(options);
    for (int i = 0; i < count; ++i) {
        WalkFolder folder;
        folder.path = hostileFolder(i / 50);
        folder.text = QFile::decodeName(folder.path);
        platform::DirEntry e;
        e.name = hostileName(i);
        e.size = (i * 7919) % 6000;
        e.modified = 1614853230 + 60 * (i % 11);
        e.accessed = e.modified + 86400 * (i % 5);
        EXPECT_EQ(search->addFile(folder, e), DupSearch::Step::Added);
    }
    search->finish();
    return search;
}

QByteArray written(const DupRowWriter& writer, DupRowWriter::Threads threads,
                   QList<qsizetype>* calls = nullptr) {
    QByteArray out;
    writer.write(
        [&](QByteArrayView bytes) {
            out.append(bytes);
            if (calls) {
                calls->append(bytes.size());
            }
        },
        threads);
    return out;
}

// The lines the filled grid gives, each cell exact and escaped, after the group number.
QByteArray gridLines(const DupSearch& search, bool groups) {
    const bool duplicateMode = search.options().duplicateMode;
    GridTable grid;
    search.fillGrid(grid);
    QByteArray out;
    for (qsizetype r = 0; r < grid.rowCount(); ++r) {
        QList<QByteArray> cells = DupRowBytes(grid, r, duplicateMode);
        if (groups) {
            cells.prepend(r == 0 ? QByteArray("Group")
                                 : QByteArray::number(search.resultGroup(r - 1)));
        }
        out += TsvLine(cells) + '\n';
    }
    return out;
}

TEST(DupRowWriter, TwoThreadsWriteTheBytesOfOneAndOfTheGrid) {
    // Enough rows for many pieces on each thread, so that the second thread's buffers are
    // used again and a piece boundary falls inside runs of equal folders.
    constexpr int kFiles = 9 * DupRowWriter::kPieceRows + 123;
    struct Case {
        const char* what;
        DupOptions options;
        bool groups;
    };
    const Case cases[] = {
        {"duplicates by size, groups", dupOptions(3), true},
        {"duplicates by name", dupOptions(0), false},
        {"file hogs", hogOptions(SizeTest::LargerOrEqual, 0, 0, SizeUnit::Bytes), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::unique_ptr<DupSearch> search = searchOf(c.options, kFiles);
        ASSERT_GT(search->resultCount(), 2 * DupRowWriter::kPieceRows);
        const DupRowWriter writer(*search, c.groups);
        QList<qsizetype> calls;
        const QByteArray two = written(writer, DupRowWriter::Threads::Two, &calls);
        const QByteArray one = written(writer, DupRowWriter::Threads::One);
        ASSERT_EQ(two.size(), one.size());
        EXPECT_TRUE(two == one);
        EXPECT_TRUE(one == gridLines(*search, c.groups));
        // The title line, then one call per piece.
        EXPECT_EQ(calls.size(), 1 + (search->resultCount() + DupRowWriter::kPieceRows - 1) /
                                        DupRowWriter::kPieceRows);
    }
}

TEST(DupRowWriter, NoResultsGiveTheTitleLineAlone) {
    const std::unique_ptr<DupSearch> search = searchOf(dupOptions(3), 0);
    EXPECT_EQ(written(DupRowWriter(*search, true), DupRowWriter::Threads::Two),
              "Group\tFilename\tSize\tModified\tTime\tAccess\tFolder\tType\n");
}

TEST(DupRowWriter, ASinkThatThrowsEndsBothThreads) {
    const std::unique_ptr<DupSearch> search = searchOf(
        hogOptions(SizeTest::LargerOrEqual, 0, 0, SizeUnit::Bytes), 6 * DupRowWriter::kPieceRows);
    const DupRowWriter writer(*search, false);
    for (const int callsBeforeThrow : {1, 2, 3}) {
        int calls = 0;
        EXPECT_THROW(writer.write(
                         [&](QByteArrayView) {
                             if (++calls > callsBeforeThrow) {
                                 throw std::runtime_error("full");
                             }
                         },
                         DupRowWriter::Threads::Two),
                     std::runtime_error);
        EXPECT_EQ(calls, callsBeforeThrow + 1);
    }
}

}  // namespace
}  // namespace dw
