#include <gtest/gtest.h>

#include <QDateTime>

#include "base/grid_table.h"
#include "inspect/grid_export.h"
#include "inspect/report_lines.h"

namespace dw {
namespace {

const QDateTime kPrinted(QDate(2024, 7, 9), QTime(14, 5, 6));

TEST(ReportLines, CellsAreCutAndPaddedToTheColumnWidth) {
    struct Case {
        QString text;
        int width;
        QString cell;
    };
    const Case cases[] = {
        {QStringLiteral("abc"), 5, QStringLiteral("abc   ")},
        {QStringLiteral("abcdefghij"), 4, QStringLiteral("abcd ")},
        {QStringLiteral("abcd"), 4, QStringLiteral("abcd ")},
        {QString(), 3, QStringLiteral("    ")},
        {QStringLiteral("x"), 0, QStringLiteral(" ")},
        {QStringLiteral("tab\there"), 8, QStringLiteral("tab?here ")},
        // A character beyond the basic plane counts once and is never cut in half.
        {QStringLiteral("a\U0001F600b"), 2, QStringLiteral("a\U0001F600 ")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReportCell(c.text, c.width), c.cell) << c.text.toStdString();
    }
    EXPECT_EQ(ReportColumnChars(120), 20);
    EXPECT_EQ(ReportColumnChars(125), 20);
    EXPECT_EQ(ReportColumnChars(5), 0);
}

TEST(ReportLines, GridReportHasHeadingBlankLinesAndOneLinePerRow) {
    GridTable grid(2);
    grid.setTitles({QStringLiteral("Name"), QStringLiteral("Size")});
    grid.appendRow({QStringLiteral("a-name-of-twenty-five-chr"), QStringLiteral("1,024")});
    const QStringList lines =
        GridReportLines(grid, {120, 36}, QStringLiteral("Duplicates x"), kPrinted);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], QStringLiteral("Duplicates x"));
    EXPECT_EQ(lines[1], QStringLiteral("Printed : 7/9/24  2:05:06 PM"));
    EXPECT_EQ(lines[2], QString());
    EXPECT_EQ(lines[3], QString());
    EXPECT_EQ(lines[4], QStringLiteral("Name                 Size   "));
    EXPECT_EQ(lines[5], QStringLiteral("a-name-of-twenty-fiv 1,024  "));

    // A grid of its title row alone: the heading, two blank lines and that row.
    GridTable titlesOnly(1);
    titlesOnly.setTitles({QStringLiteral("Only")});
    EXPECT_EQ(GridReportLines(titlesOnly, {24}, QStringLiteral("T"), kPrinted),
              QStringList({QStringLiteral("T"), QStringLiteral("Printed : 7/9/24  2:05:06 PM"),
                           QString(), QString(), QStringLiteral("Only ")}));
}

TEST(ReportLines, ListReportIndentsAndKeepsTabs) {
    EXPECT_EQ(ListReportLines({QStringLiteral("Size:\t12"), QString()},
                              QStringLiteral("File details of /a"), kPrinted),
              QStringList({QStringLiteral("   File details of /a"),
                           QStringLiteral("   Printed : 7/9/24  2:05:06 PM"), QString(), QString(),
                           QStringLiteral("   Size:\t12"), QStringLiteral("   ")}));
}

TEST(GridExport, ClipboardForms) {
    GridTable grid(3);
    grid.setTitles({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    grid.appendRow({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")},
                   "/data/one\tname");
    grid.appendRow({});  // an empty row gives no line
    grid.appendRow({QStringLiteral("x"), QString(), QStringLiteral("z")}, "/a b ");
    EXPECT_EQ(ClipboardText(grid, ClipboardForm::EntireGrid),
              QStringLiteral("A\tB\tC\n1\t2\t3\nx\t\tz"));
    EXPECT_EQ(ClipboardLines(grid, ClipboardForm::FilenamesOnly),
              QStringList({QStringLiteral("/data/one\tname"), QStringLiteral("/a b ")}));
    EXPECT_EQ(ClipboardLines(grid, ClipboardForm::FilenamesOnly, true).size(), 3);

    // Three columns and two rows: two lines with two TABs each.
    GridTable small(3);
    small.setTitles({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    small.appendRow({QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("f")});
    const QStringList lines = ClipboardLines(small, ClipboardForm::EntireGrid);
    ASSERT_EQ(lines.size(), 2);
    for (const QString& l : lines) {
        EXPECT_EQ(l.count(u'\t'), 2);
    }
}

TEST(GridExport, TsvCellsAreExactAndReversible) {
    struct Case {
        QByteArray bytes;
        QByteArray escaped;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"a\tb", "a\\tb"},
        {"line\nbreak\r", "line\\nbreak\\r"},
        {"back\\slash", "back\\\\slash"},
        {"\xFF\xFE", "\\xFF\\xFE"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},       // valid UTF-8 stays
        {"\xC3", "\\xC3"},                    // a cut sequence
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},  // a surrogate is no character
        {"\xC0\xAF", "\\xC0\\xAF"},           // an overlong "/"
        {"\\x41", "\\\\x41"},                 // text that looks like an escape
        {" lead and trail ", " lead and trail "},
    };
    // The writer into a buffer of the room it asks for gives the same bytes and stays in
    // that room (the bytes after it keep their marks).
    const auto written = [](const QByteArray& bytes) {
        QByteArray room(4 * bytes.size() + 8, '#');
        const char* end = WriteTsvEscaped(bytes, room.data());
        EXPECT_EQ(room.mid(4 * bytes.size()).count('#'), 8) << bytes.toHex().constData();
        return room.left(end - room.constData());
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TsvEscape(c.bytes), c.escaped) << c.bytes.toHex().constData();
        EXPECT_EQ(TsvUnescape(TsvEscape(c.bytes)), c.bytes);
        EXPECT_EQ(written(c.bytes), c.escaped) << c.bytes.toHex().constData();
    }
    EXPECT_EQ(TsvLine({"a\tb", "", "c"}), QByteArray("a\\tb\t\tc"));
    // Every byte value survives the round trip.
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        all += char(b);
    }
    EXPECT_EQ(TsvUnescape(TsvEscape(all)), all);
    EXPECT_EQ(written(all), TsvEscape(all));
    // Bytes that are no UTF-8 take all the room: four bytes each.
    EXPECT_EQ(written(all.mid(0x80)), TsvEscape(all.mid(0x80)));
    EXPECT_EQ(TsvEscape(all.mid(0x80)).size(), 4 * 0x80);
    EXPECT_FALSE(TsvEscape(all).contains('\t'));
    EXPECT_FALSE(TsvEscape(all).contains('\n'));
    // Long runs are scanned several bytes at a time: a byte that needs escaping is found
    // wherever it lies in such a run (control characters, the backslash, DEL, bytes of
    // 0x80 and above).
    for (const char special : {'\0', '\t', '\n', '\r', '\x1F', '\\', '\x7F', '\x80', '\xFF'}) {
        const QByteArray alone = TsvEscape(QByteArray(1, special));
        for (int at = 0; at < 20; ++at) {
            QByteArray text(20, 'a');
            text[at] = special;
            EXPECT_EQ(TsvEscape(text), QByteArray(at, 'a') + alone + QByteArray(19 - at, 'a'))
                << int(special) << " at " << at;
        }
    }
}

}  // namespace
}  // namespace dw
