#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <zlib.h>

#include "finders/dup_pairs.h"
#include "finders/dup_search.h"
#include "finders/file_crc.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

quint32 crcOf(const QByteArray& bytes) {
    return quint32(
        ::crc32(0L, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size())));
}

TEST(FileCrc, SumsTheCrcOfEach2048ByteBlock) {
    test::TempTree t;
    QByteArray random(3 * 1024 * 1024 + 2048 * 3 + 17, '\0');
    QRandomGenerator gen(7);
    for (char& c : random) {
        c = char(gen.bounded(256));
    }
    quint32 expected = 0;
    for (qsizetype at = 0; at < random.size(); at += 2048) {
        expected += crcOf(random.mid(at, 2048));
    }
    const QByteArray b2049 = QByteArray(2048, 'a') + 'b';
    struct Case {
        const char* what;
        QByteArray content;
        quint32 value;
    } cases[] = {
        {"empty", {}, 0},
        {"abc", "abc", 0x352441C2},
        {"one whole block", QByteArray(2048, 'a'), crcOf(QByteArray(2048, 'a'))},
        {"2,049 bytes", b2049, crcOf(QByteArray(2048, 'a')) + crcOf("b")},
        {"blocks across the reads", random, expected},
    };
    for (const Case& c : cases) {
        const QByteArray path = t.file(QByteArray("f-") + c.what, c.content);
        EXPECT_EQ(FileCrc(path), std::optional<quint32>(c.value)) << c.what;
    }
    EXPECT_EQ(FileCrcText(0x352441C2), QStringLiteral("352441C2"));
    EXPECT_EQ(FileCrcText(0x1A), QStringLiteral("0000001A"));

    // What cannot be read as a regular file has no value: never a link's target.
    const QByteArray unreadable[] = {
        t.path("missing"),
        t.symlink("link-to-abc", "f-abc"),
        t.dir("folder"),
        t.fifo("pipe"),
        // A kernel file calls itself regular; some of them wait or consume what they give.
        QByteArray("/proc/self/status"),
    };
    for (const QByteArray& path : unreadable) {
        EXPECT_EQ(FileCrc(path), std::nullopt) << path.constData();
    }
    EXPECT_EQ(FileCrcText(std::nullopt), QStringLiteral("unreadable"));

    // A file its reader may not open.
    const QByteArray locked = t.file("locked", "abc");
    t.setMode("locked", 0000);
    EXPECT_EQ(test::runAsNobody([&] { return FileCrc(locked) ? 1 : 0; }), 0);
}

TEST(FileCrc, FieldTextsNeverCallUnreadableFilesIdentical) {
    const std::optional<quint32> none;
    struct Case {
        std::optional<quint32> mine, other;
        const char* text;
    } cases[] = {
        {0x352441C2, 0x352441C2, "352441C2 file contents are identical"},
        {0x1A, 0x352441C2, "      1A file contents differ"},
        {none, none, "unreadable"},
        {0x1A, none, "      1A"},
        {none, 0x1A, "unreadable"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CrcFieldText(c.mine, c.other), QString::fromLatin1(c.text)) << c.text;
    }
}

// Rows in the duplicate-mode columns: name, size, modified, time, access, folder, type.
QStringList row(const char* name, const char* size, const char* date, const char* time,
                const char* type) {
    return {QString::fromLatin1(name), QString::fromLatin1(size), QString::fromLatin1(date),
            QString::fromLatin1(time), QStringLiteral("1/1/26"),  QStringLiteral("/x"),
            QString::fromLatin1(type)};
}

TEST(DupPairs, WalksTheListByItsCriterion) {
    const QList<QStringList> list = {
        row("Filename", "Size", "Modified", "Time", "Type"),
        row("README.TXT", "10", "1/2/26", "10:00:00 AM", "Text"),
        row("readme.txt", "10", "1/2/26", "10:00:00 AM", "Text"),
        row("LOG.TXT", "10", "1/3/26", "9:00:00 AM", "Text"),
        row("LOG.TXT", "20", "1/3/26", "9:00:00 AM", "Text"),
        row("log.txt", "20", "1/3/26", "9:00:00 AM", "Text"),
    };
    // Starting on row 1 under "Filename only": next goes to 3 (2 and 3 differ), then to
    // 4, then stays on the last pair; previous goes back to 3, then to 1, then stays.
    EXPECT_EQ(NextPairRow(list, 0, 1), 3);
    EXPECT_EQ(NextPairRow(list, 0, 3), 4);
    EXPECT_EQ(NextPairRow(list, 0, 4), 4);
    EXPECT_EQ(PrevPairRow(list, 0, 4), 3);
    EXPECT_EQ(PrevPairRow(list, 0, 3), 1);
    EXPECT_EQ(PrevPairRow(list, 0, 1), 1);
    EXPECT_EQ(PrevPairRow(list, 0, 0), 0);

    // Which pairs match under each criterion (pairs at rows 1 to 4).
    const char* expected[7] = {
        "1011",  // names, ASCII case folded
        "1001",  // names and sizes
        "1001",  // names, sizes, dates and times
        "1101",  // sizes
        "1001",  // sizes, dates and times
        "1101",  // sizes and types
        "1011",  // types, dates and times
    };
    for (int criterion = 0; criterion < 7; ++criterion) {
        QString got;
        for (qsizetype i = 1; i <= 4; ++i) {
            got += PairMatches(list, criterion, i) ? u'1' : u'0';
        }
        EXPECT_EQ(got, QLatin1String(expected[criterion])) << "criterion " << criterion;
    }
    EXPECT_FALSE(PairMatches(list, 0, 5));
    // "Same contents" needs the bands: without them no pair is known to match.
    EXPECT_FALSE(PairMatches(list, kContentCriterion, 1));

    // A last pair that does not match is still where "next" stops.
    EXPECT_EQ(NextPairRow(list.mid(0, 5), 1, 1), 3);
}

// Under "Same contents" the groups alternate their bands, and neighbouring groups may
// share a size: next and previous step group by group, never over one.
TEST(DupPairs, SameContentsStepsThroughEveryGroup) {
    const QList<QStringList> list = {
        row("Filename", "Size", "Modified", "Time", "Type"),
        row("a1", "10", "1/2/26", "10:00:00 AM", "Text"),  // group 1
        row("a2", "10", "1/3/26", "10:00:00 AM", "Text"),
        row("b1", "10", "1/2/26", "10:00:00 AM", "Text"),  // group 2: same size
        row("b2", "10", "1/2/26", "11:00:00 AM", "Data"),
        row("c1", "20", "1/2/26", "10:00:00 AM", "Text"),  // group 3: the first's band
        row("c2", "20", "1/2/26", "10:00:00 AM", "Text"),
    };
    const QByteArray bands("\0AABBAA", 7);
    QString matches;
    for (qsizetype i = 1; i <= 5; ++i) {
        matches += PairMatches(list, kContentCriterion, i, bands) ? u'1' : u'0';
    }
    EXPECT_EQ(matches, QStringLiteral("10101"));
    EXPECT_EQ(NextPairRow(list, kContentCriterion, 1, bands), 3);
    EXPECT_EQ(NextPairRow(list, kContentCriterion, 3, bands), 5);
    EXPECT_EQ(PrevPairRow(list, kContentCriterion, 5, bands), 3);
    EXPECT_EQ(PrevPairRow(list, kContentCriterion, 3, bands), 1);
    // Bands shorter than the list: the rows beyond them match nothing.
    EXPECT_FALSE(PairMatches(list, kContentCriterion, 5, bands.first(6)));
}

}  // namespace
}  // namespace dw
