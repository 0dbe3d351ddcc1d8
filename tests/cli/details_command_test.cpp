#include <gtest/gtest.h>

#include <QFile>

#include "support/cli_runner.h"
#include "support/pe_image.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::runCli;

test::CliOptions english() {
    test::CliOptions o;
    o.env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    o.env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    return o;
}

TEST(CliCrc, PrintsEachValueAndSaysWhichFilesWereUnreadable) {
    test::TempTree t;
    const QByteArray abc = t.file("abc", "abc");
    const QByteArray odd = t.file("tab\there", "abc");
    const QByteArray empty = t.file("-empty");
    const QByteArray link = t.symlink("link", "abc");

    test::CliRun run =
        runCli({QStringLiteral("crc"), QFile::decodeName(abc), QFile::decodeName(odd),
                QStringLiteral("--"), QFile::decodeName(empty)});
    EXPECT_EQ(run.status, 0) << run.errText().toStdString();
    EXPECT_EQ(run.out, "352441C2\t" + abc + "\n352441C2\t" + t.root() + "/tab\\there\n00000000\t" +
                           empty + "\n");

    run = runCli({QStringLiteral("crc"), QFile::decodeName(link), QFile::decodeName(abc),
                  QFile::decodeName(t.path("missing"))});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "unreadable\t" + link + "\n352441C2\t" + abc + "\nunreadable\t" +
                           t.path("missing") + "\n");

    EXPECT_EQ(runCli({QStringLiteral("crc")}).status, 2);
    EXPECT_EQ(
        runCli({QStringLiteral("crc"), QStringLiteral("--bogus"), QFile::decodeName(abc)}).status,
        2);
}

TEST(CliDetails, PrintsTheWindowsLinesForEachFile) {
    test::TempTree t;
    const QByteArray notes = t.file("notes.txt", QByteArray(1000, 'n'));
    t.setMode("notes.txt", 0444);
    test::PeVersion v;
    v.strings = {{QStringLiteral("CompanyName"), QStringLiteral("Brightwater")},
                 {QStringLiteral("FileVersion"), QStringLiteral("3.0\r\n")}};
    const QByteArray exe = t.file("tool.exe", test::PeBuilder::image(&v));

    const test::CliRun run = runCli({QStringLiteral("details"), QFile::decodeName(notes),
                                     QFile::decodeName(t.path("gone")), QFile::decodeName(exe)},
                                    english());
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(
        run.errText().contains(QStringLiteral("cannot find ") + QFile::decodeName(t.path("gone"))))
        << run.errText().toStdString();
    const QList<QByteArray> files = run.out.split('\n');
    // 8 lines, a blank one, 8 + 11 lines, and the end of the last line.
    ASSERT_EQ(files.size(), 8 + 1 + 19 + 1) << run.out.constData();
    const QByteArray labels[] = {"File name",    "Type",          "Size",
                                 "Size on disk", "Creation date", "Modification date",
                                 "Access date",  "Attributes"};
    for (int k = 0; k < 8; ++k) {
        EXPECT_TRUE(files[k].startsWith(labels[k] + '\t')) << files[k].constData();
        EXPECT_TRUE(files[9 + k].startsWith(labels[k] + '\t')) << files[9 + k].constData();
    }
    EXPECT_EQ(files[0], "File name\t" + notes);
    EXPECT_EQ(files[2], "Size\t1,000 bytes");
    EXPECT_TRUE(files[3].startsWith("Size on disk\tCluster size: ")) << files[3].constData();
    EXPECT_TRUE(files[3].endsWith("  Clusters used : 1")) << files[3].constData();
    EXPECT_EQ(files[7], "Attributes\t ReadOnly");
    EXPECT_EQ(files[8], "");
    EXPECT_EQ(files[17], "Company\tBrightwater");
    EXPECT_EQ(files[19], "File version\t3.0\\r\\n");
    EXPECT_EQ(files[27], "Special build info\t");
}

}  // namespace
}  // namespace dw
