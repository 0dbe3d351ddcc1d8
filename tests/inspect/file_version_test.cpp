#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>

#include "inspect/file_version.h"
#include "support/pe_image.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::PeBuilder;
using test::PeVersion;

PeVersion fullVersion() {
    PeVersion v;
    v.strings = {
        {QStringLiteral("CompanyName"), QStringLiteral("Brightwater Systems")},
        {QStringLiteral("FileDescription"), QStringLiteral("   Sample tool")},
        {QStringLiteral("FileVersion"), QStringLiteral("3.0.1.7")},
        {QStringLiteral("InternalName"), QStringLiteral("sample")},
        {QStringLiteral("LegalCopyright"), QStringLiteral("Copyright \u00a9 1999")},
        {QStringLiteral("OriginalFilename"), QStringLiteral("SAMPLE.EXE")},
        {QStringLiteral("ProductName"), QStringLiteral("Sample")},
        {QStringLiteral("ProductVersion"), QStringLiteral("3.0")},
        {QStringLiteral("SpecialBuild"), QStringLiteral("x")},
    };
    return v;
}

const QStringList kFullLines = {
    QStringLiteral("Company: Brightwater Systems"),
    QStringLiteral("File description: Sample tool"),
    QStringLiteral("File version: 3.0.1.7"),
    QStringLiteral("Internal name: sample"),
    QStringLiteral("Copyright: Copyright \u00a9 1999"),
    QStringLiteral("Trademarks: "),
    QStringLiteral("Original filename: SAMPLE.EXE"),
    QStringLiteral("Private build info: "),
    QStringLiteral("Product name: Sample"),
    QStringLiteral("Product version: 3.0"),
    QStringLiteral("Special build info: x"),
};

TEST(FileVersionLines, ReadsTheElevenStringsOfTheFirstTranslation) {
    test::TempTree t;
    const QByteArray exe = t.file("tool.exe", PeBuilder::image(nullptr));
    {
        const PeVersion v = fullVersion();
        QFile f(QFile::decodeName(exe));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(PeBuilder::image(&v));
    }
    EXPECT_EQ(FileVersionLines(exe, false), kFullLines);

    // With TABs: one after each label, two after the copyright's.
    const QStringList tabbed = FileVersionLines(exe, true);
    ASSERT_EQ(tabbed.size(), 11);
    EXPECT_EQ(tabbed[0], QStringLiteral("Company: \tBrightwater Systems"));
    EXPECT_EQ(tabbed[4], QStringLiteral("Copyright: \t\tCopyright \u00a9 1999"));
    EXPECT_EQ(tabbed[5], QStringLiteral("Trademarks: \t"));

    // A link to the program is not followed; a plain text file has no version.
    EXPECT_TRUE(FileVersionLines(t.symlink("link.exe", "tool.exe"), false).isEmpty());
    EXPECT_TRUE(FileVersionLines(t.file("notes.txt", "MZ but no more"), false).isEmpty());
    EXPECT_TRUE(FileVersionLines(t.path("missing.exe"), false).isEmpty());
}

TEST(FileVersionLines, TableOfImages) {
    const auto with = [](auto change) {
        PeVersion v = fullVersion();
        change(v);
        return PeBuilder::image(&v);
    };
    const QByteArray good = with([](PeVersion&) {});
    const auto patched = [&](qsizetype at, quint32 value) {
        QByteArray d = good;
        PeBuilder::put32(d, at, value);
        return d;
    };
    const QStringList emptyValues = [] {
        QStringList l;
        for (const QString& label : VersionLineLabels()) {
            l.append(label);
        }
        return l;
    }();
    QStringList elsewhere = emptyValues;
    elsewhere[0] += QStringLiteral("Elsewhere");
    // The data entry's size and the section's sizes, where PeBuilder puts them.
    const qsizetype dataSize = PeBuilder::kRawStart + 0x4C;
    const qsizetype sectionRawSize = 0x58 + 224 + 16;
    const qsizetype lfanew = 0x3C;

    struct Case {
        const char* what;
        QByteArray image;
        QStringList lines;
    } cases[] = {
        {"the table's name in upper case",
         with([](PeVersion& v) { v.tableName = QStringLiteral("040904E4"); }), kFullLines},
        {"another translation listed first", with([](PeVersion& v) {
             v.language = 0x0407;
             v.codePage = 0x04B0;
         }),
         kFullLines},
        // Many programs list 0409/04B0 and carry their only table under another name.
        {"no table for the listed translation: the file's only table", with([](PeVersion& v) {
             v.codePage = 0x04B0;
             v.tableName = QStringLiteral("080904b0");
         }),
         kFullLines},
        {"no table for the listed translation: the first of several", with([](PeVersion& v) {
             v.tableName = QStringLiteral("080904b0");
             v.tablesBefore = {QStringLiteral("040704b0")};
         }),
         elsewhere},
        {"the listed translation's table wins over one before it",
         with([](PeVersion& v) { v.tablesBefore = {QStringLiteral("080904b0")}; }), kFullLines},
        {"no Translation value", with([](PeVersion& v) { v.withTranslation = false; }), {}},
        {"no resource at all", PeBuilder::image(nullptr), {}},
        {"not PE", QByteArray("MZ") + QByteArray(200, 'x'), {}},
        {"empty", QByteArray(), {}},
        {"header offset beyond the file", patched(lfanew, 0x7FFFFFF0), {}},
        {"header offset wrapping around", patched(lfanew, 0xFFFFFFFF), {}},
        {"version block claiming 4 GiB", patched(dataSize, 0xFFFFFFFF), {}},
        {"version block longer than the section", patched(dataSize, 0x10000), {}},
        // What is read lies inside the file, whatever the section claims.
        {"section larger than the file", patched(sectionRawSize, 0x7FFFFFFF), kFullLines},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VersionLinesOfImage(c.image, false), c.lines) << c.what;
    }

    // Every truncation of a good image reads no version, and never outside the file.
    for (qsizetype n = 0; n < good.size(); ++n) {
        ASSERT_TRUE(VersionLinesOfImage(good.left(n), false).isEmpty()) << "cut at " << n;
    }

    // Blocks whose own lengths lie: too short to hold their header, running past their
    // parent, or zero.
    const qsizetype info = PeBuilder::kRawStart + 0x58;
    for (const quint16 length : {quint16(0), quint16(5), quint16(0xFFFF)}) {
        for (qsizetype at = info; at + 1 < good.size(); at += 4) {
            QByteArray d = good;
            PeBuilder::put16(d, at, length);
            const QStringList lines = VersionLinesOfImage(d, false);
            ASSERT_TRUE(lines.isEmpty() || lines.size() == 11) << at;
        }
    }
}

// Thousands of damaged copies of a good program, read from a file as the windows read
// them: none may crash or read outside the file, and each gives no version or all
// eleven lines.
TEST(FileVersionLines, SurvivesMutatedFiles) {
    PeVersion v = fullVersion();
    const QByteArray good = PeBuilder::image(&v);
    test::TempTree t;
    QRandomGenerator random(20261210);
    int withLines = 0;
    for (int round = 0; round < 4000; ++round) {
        QByteArray d = good;
        const int changes = 1 + int(random.bounded(8));
        for (int k = 0; k < changes; ++k) {
            const qsizetype at = random.bounded(int(d.size()));
            switch (random.bounded(4)) {
                case 0:
                    d[at] = char(random.bounded(256));
                    break;
                case 1:  // a lying 16-bit length or count
                    d[at] = char(0xFF);
                    break;
                case 2:
                    d[at] = 0;
                    break;
                default:  // cut the file short
                    d.truncate(at);
                    break;
            }
            if (d.isEmpty()) {
                break;
            }
        }
        // A new file each time: emptying one file over and over makes ext4 flush it.
        const QByteArray path = t.file("fuzz-" + QByteArray::number(round) + ".exe", d);
        const QStringList lines = FileVersionLines(path, round % 2 == 0);
        QFile::remove(QFile::decodeName(path));
        ASSERT_TRUE(lines.isEmpty() || lines.size() == 11) << "round " << round;
        ASSERT_EQ(VersionLinesOfImage(d, round % 2 == 0), lines) << "round " << round;
        withLines += lines.isEmpty() ? 0 : 1;
    }
    // Damage that misses the parts read leaves the version readable.
    EXPECT_GT(withLines, 0);
}

}  // namespace
}  // namespace dw
