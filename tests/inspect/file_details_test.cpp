#include <gtest/gtest.h>

#include <QFile>

#include <unistd.h>

#include "base/utility.h"
#include "inspect/file_details.h"
#include "platform/dir_entry.h"
#include "platform/volumes.h"
#include "support/pe_image.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

TEST(FileDetails, ClusterAndAttributeTexts) {
    struct Case {
        qint64 size, cluster;
        const char* text;
    } cases[] = {
        {1000, 4096, "Cluster size: 4,096  Clusters used : 1"},
        {1, 4096, "Cluster size: 4,096  Clusters used : 1"},
        {4096, 4096, "Cluster size: 4,096  Clusters used : 1"},
        {4097, 4096, "Cluster size: 4,096  Clusters used : 2"},
        {0, 4096, "Cluster size: 4,096  Clusters used : 0"},
        {qint64(5) << 30, 65536, "Cluster size: 65,536  Clusters used : 81,920"},
        {10, 0, "Cluster size: unknown"},
    };
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const Case& c : cases) {
        EXPECT_EQ(ClusterText(c.size, c.cluster), QLatin1String(c.text)) << c.size;
    }
    using namespace platform;
    EXPECT_EQ(AttributesText(kAttrArchive | kAttrHidden | kAttrReadOnly),
              QStringLiteral(" ReadOnly Hidden Archive"));
    EXPECT_EQ(AttributesText(0x3F),
              QStringLiteral(" ReadOnly Hidden System VolumeID Directory Archive"));
    EXPECT_EQ(AttributesText(0), QString());
}

TEST(FileDetails, DescribesARealFileAndPrintsItsLines) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    test::TempTree t;
    const QByteArray notes = t.file(".notes.txt", QByteArray(1000, 'n'));
    t.setMode(".notes.txt", 0444);
    const std::time_t when = 1765000000;  // a Saturday in December 2025
    t.setTimes(".notes.txt", when, when);
    const QDateTime now = QDateTime::fromSecsSinceEpoch(when).addDays(1);

    const auto d = ReadFileDetails(notes, now);
    ASSERT_TRUE(d);
    const qint64 block = platform::driveSpace(t.root())->blockSize;
    EXPECT_EQ(d->sizeBytes, QStringLiteral("1,000 bytes"));
    EXPECT_EQ(d->clusters, ClusterText(1000, block));
    EXPECT_EQ(d->attributes, QStringLiteral(" ReadOnly Hidden"));
    EXPECT_EQ(d->type, FileTypeName(QStringLiteral(".txt")));
    EXPECT_TRUE(d->modified.endsWith(QStringLiteral("  Yesterday"))) << d->modified.toStdString();
    EXPECT_EQ(d->accessed, d->modified);
    EXPECT_TRUE(d->versionLines.isEmpty());
    // Without version information the printout ends after the attributes and a blank.
    const QStringList lines = DetailsPrintLines(*d);
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[0], QStringLiteral("Name of file : \t") + QFile::decodeName(notes));
    EXPECT_EQ(lines[4], QStringLiteral("               \t") + d->clusters);
    EXPECT_EQ(lines[10], QStringLiteral("Attributes : \t ReadOnly Hidden"));
    EXPECT_EQ(lines[11], QStringLiteral(" "));

    // Clusters used are the blocks held: a 40 MiB file of holes holds none.
    const QByteArray sparse = t.file("sparse.img", {});
    ASSERT_EQ(::truncate(sparse.constData(), 40 << 20), 0);
    const auto holes = ReadFileDetails(sparse, now);
    ASSERT_TRUE(holes);
    EXPECT_EQ(holes->sizeBytes, QStringLiteral("41,943,040 bytes"));
    EXPECT_EQ(holes->clusters, ClusterText(0, block));
    EXPECT_TRUE(holes->clusters.endsWith(QStringLiteral("Clusters used : 0")));

    // A program's version lines follow, and the command line's fields name them.
    test::PeVersion v;
    v.strings = {{QStringLiteral("CompanyName"), QStringLiteral("Brightwater")},
                 {QStringLiteral("LegalCopyright"), QStringLiteral("(c) 1999")}};
    const auto exe = ReadFileDetails(t.file("tool", test::PeBuilder::image(&v)), now);
    ASSERT_TRUE(exe);
    EXPECT_EQ(exe->type, QStringLiteral("No extension"));
    EXPECT_EQ(DetailsPrintLines(*exe).mid(12, 1),
              QStringList{QStringLiteral("Company: \tBrightwater")});
    const auto fields = DetailsFields(*exe);
    ASSERT_EQ(fields.size(), 8 + 11);
    EXPECT_EQ(fields[3].first, QStringLiteral("Size on disk"));
    EXPECT_EQ(fields[8], std::make_pair(QStringLiteral("Company"), QStringLiteral("Brightwater")));
    EXPECT_EQ(fields[12], std::make_pair(QStringLiteral("Copyright"), QStringLiteral("(c) 1999")));
    EXPECT_EQ(fields[18], std::make_pair(QStringLiteral("Special build info"), QString()));

    // A link is described as itself; nothing there gives nothing.
    const auto link = ReadFileDetails(t.symlink("link", "tool"), now);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->attributes, QStringLiteral(" System"));
    EXPECT_TRUE(link->versionLines.isEmpty());
    const auto folder = ReadFileDetails(t.dir("sub"), now);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->attributes, QStringLiteral(" Directory"));
    EXPECT_FALSE(ReadFileDetails(t.path("gone"), now));
}

}  // namespace
}  // namespace dw
