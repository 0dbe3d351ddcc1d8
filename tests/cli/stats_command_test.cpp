#include <gtest/gtest.h>

#include <QDateTime>
#include <QMap>
#include <QTextStream>

#include <unistd.h>

#include "cli/cli_support.h"
#include "cli/stats_command.h"
#include "platform/volumes.h"
#include "stats/stat_collection.h"
#include "support/cli_runner.h"
#include "support/df_figures.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::TempTree;

// Sections by name: the header line first, then the rows, each split at TABs.
using Sections = QMap<QString, QList<QStringList>>;

Sections parseSections(const QString& text, QStringList* order = nullptr) {
    Sections sections;
    QString current;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("# "))) {
            current = line.mid(2);
            if (order) {
                *order << current;
            }
            sections[current];
            continue;
        }
        sections[current].append(line.split(QLatin1Char('\t')));
    }
    return sections;
}

// A small tree: known sizes and dates, a hard link, a link, a hidden folder. Every
// entry is dated 40 days back, the letter at 10:45 and the others at 03:00.
void makeTree(TempTree& t) {
    const QDate day = QDate::currentDate().addDays(-40);
    const std::time_t letter = QDateTime(day, QTime(10, 45)).toSecsSinceEpoch();
    const std::time_t others = QDateTime(day, QTime(3, 0)).toSecsSinceEpoch();
    t.fileOfSize("docs/letter.doc", 20000);
    t.fileOfSize("docs/NOTES.TXT", 5);
    t.fileOfSize("README", 1);
    const QByteArray big = t.file("disk.img");
    ASSERT_EQ(::truncate(big.constData(), 17LL << 20), 0);
    ASSERT_EQ(::link(t.path("docs/NOTES.TXT").constData(), t.path("again.txt").constData()), 0);
    t.symlink("docs/link.doc", "letter.doc");
    t.fileOfSize(".cache/hidden.doc", 300);
    for (const char* name : {"docs/NOTES.TXT", "README", "disk.img", "docs/link.doc"}) {
        t.setTimes(name, others, others);
    }
    t.setTimes("docs/letter.doc", letter, letter);
}

QString engineText(const QByteArray& root, const TypeFilter& filter, bool hidden) {
    StatCollector collector(filter);
    StatWalkHooks hooks(collector);
    FolderWalk walk(statisticsWalkOptions(hidden), hooks);
    walk.walkEntries(cli::folderEntries({root}));
    StatTallies t = collector.tallies();
    t.addFilterTypes(filter);
    QString text;
    QTextStream out(&text);
    cli::writeStatSections(t, out);
    return text;
}

TEST(CliStats, SectionsInOrderWithTheirLabelsAndKnownNumbers) {
    TempTree t;
    makeTree(t);
    const test::CliRun run = test::runCli({QStringLiteral("stats"), QString::fromUtf8(t.root())});
    ASSERT_EQ(run.status, 0) << run.errText().toStdString();
    QStringList order;
    const Sections s = parseSections(run.outText(), &order);
    EXPECT_EQ(order, QStringList({"totals", "types", "sizes", "accessed", "created", "modified",
                                  "hours", "attributes", "overhang", "space"}));

    EXPECT_EQ(
        s["totals"],
        (QList<QStringList>{{"processed", "counted", "bytes", "hard_links"},
                            {"6", "5", QString::number(20000 + 5 + 1 + (17LL << 20) + 10), "1"}}));
    EXPECT_EQ(s["types"], (QList<QStringList>{{"extension", "files", "bytes"},
                                              {"", "1", "1"},
                                              {".DOC", "2", "20010"},
                                              {".IMG", "1", QString::number(17LL << 20)},
                                              {".TXT", "1", "5"}}));
    const auto& sizes = s["sizes"];
    ASSERT_EQ(sizes.size(), 13);
    EXPECT_EQ(sizes[0], QStringList({"bucket", "files", "bytes"}));
    EXPECT_EQ(sizes[1], QStringList({"0 - 16K", "3", "16"}));
    EXPECT_EQ(sizes[2], QStringList({"16K - 32K", "1", "20000"}));
    EXPECT_EQ(sizes[12], QStringList({"Over 16MB", "1", QString::number(17LL << 20)}));
    for (const char* name : {"accessed", "created", "modified"}) {
        const auto& ages = s[QLatin1String(name)];
        ASSERT_EQ(ages.size(), 11) << name;
        EXPECT_EQ(ages[1][0], QStringLiteral("Not recorded"));
        EXPECT_EQ(ages[10][0], QStringLiteral("Over 4 years"));
    }
    const QString total = QString::number(20000 + 5 + 1 + (17LL << 20) + 10);
    EXPECT_EQ(s["modified"][4], QStringList({"31 - 60 days", "5", total}));
    EXPECT_EQ(s["accessed"][4], QStringList({"31 - 60 days", "5", total}));
    const auto& hours = s["hours"];
    ASSERT_EQ(hours.size(), 49);
    EXPECT_EQ(hours[0], QStringList({"slot", "created", "modified", "accessed"}));
    EXPECT_EQ(hours[1][0], QStringLiteral("00:00"));
    EXPECT_EQ(hours[7], QStringList({"03:00", hours[7][1], "4", "4"}));
    EXPECT_EQ(hours[22], QStringList({"10:30", hours[22][1], "1", "1"}));
    EXPECT_EQ(hours[48][0], QStringLiteral("23:30"));
    EXPECT_EQ(s["attributes"], (QList<QStringList>{{"attribute", "files", "bytes"},
                                                   {"Hidden", "0", "0"},
                                                   {"Read-only", "0", "0"},
                                                   {"System", "1", "10"},
                                                   {"Archive", "0", "0"}}));
    const auto& overhang = s["overhang"];
    ASSERT_EQ(overhang.size(), 7);
    EXPECT_EQ(overhang[1][0], QStringLiteral("4K"));
    EXPECT_EQ(overhang[6][0], QStringLiteral("allocated"));
    // 20000 -> 480, 5 -> 4091, 1 -> 4095, 10 -> 4086 at 4K; the image fills its clusters.
    EXPECT_EQ(overhang[1][1], QStringLiteral("12752"));
}

// The space of the folders' volume, once however many folders lie on it: free is what
// df says is available, the reserve what df counts neither used nor available.
TEST(CliStats, SpaceOfEachVolumeAsDfSeesIt) {
    TempTree t;
    t.fileOfSize("docs/a.txt", 10);
    const test::CliRun run = test::runCli(
        {QStringLiteral("stats"), QString::fromUtf8(t.root()), QString::fromUtf8(t.path("docs"))});
    ASSERT_EQ(run.status, 0) << run.errText().toStdString();
    const QList<QStringList> space = parseSections(run.outText())["space"];
    ASSERT_EQ(space.size(), 2);
    EXPECT_EQ(space[0], QStringList({"volume", "total", "free", "reserved"}));
    const std::optional<platform::Volume> volume = platform::mountOf(t.root());
    ASSERT_TRUE(volume.has_value());
    ASSERT_EQ(space[1].size(), 4);
    EXPECT_EQ(space[1][0], QString::fromUtf8(volume->mountPoint));

    const std::optional<test::DfFigures> df = test::dfFigures(t.root());
    ASSERT_TRUE(df.has_value());
    // Other programs write on the same volume meanwhile.
    constexpr double kSlack = 64.0 * 1024 * 1024;
    EXPECT_EQ(space[1][1].toLongLong(), df->size);
    EXPECT_NEAR(space[1][2].toDouble(), double(df->avail), kSlack);
    EXPECT_NEAR(space[1][3].toDouble(), double(df->reserved()), kSlack);
}

TEST(CliStats, AgreesWithTheEngineForEachFilter) {
    TempTree t;
    makeTree(t);
    struct Case {
        QStringList args;
        TypeFilter filter;
        bool hidden;
    };
    const Case cases[] = {
        {{}, {}, false},
        {{QStringLiteral("--hidden")}, {}, true},
        {{QStringLiteral("--include"), QStringLiteral("*.doc"), QStringLiteral("--include=*.exe")},
         TypeFilter(TypeFilter::Mode::Include, {QStringLiteral("*.doc"), QStringLiteral("*.exe")}),
         false},
        {{QStringLiteral("--exclude"), QStringLiteral("*.TXT")},
         TypeFilter(TypeFilter::Mode::Exclude, {QStringLiteral("*.TXT")}),
         false},
    };
    for (const Case& c : cases) {
        QStringList args{QStringLiteral("stats")};
        args << c.args << QString::fromUtf8(t.root());
        const test::CliRun run = test::runCli(args);
        EXPECT_EQ(run.status, 0) << args.join(' ').toStdString();
        const QString text = run.outText();
        EXPECT_EQ(text.left(text.indexOf(QLatin1String("# space\n"))),
                  engineText(t.root(), c.filter, c.hidden))
            << args.join(' ').toStdString();
    }
    // The include list names .EXE with no file of its own.
    const test::CliRun docs = test::runCli(
        {QStringLiteral("stats"), QStringLiteral("--include=*.doc"), QStringLiteral("--include"),
         QStringLiteral("*.exe"), QString::fromUtf8(t.root())});
    const Sections s = parseSections(docs.outText());
    EXPECT_EQ(s["types"].value(2), QStringList({".EXE", "0", "0"}));
    EXPECT_EQ(s["totals"].value(1).value(1), QStringLiteral("2"));
}

TEST(CliStats, UsageErrorsAndUnopenedFolders) {
    TempTree t;
    t.file("a.txt", "abc");
    struct Case {
        QStringList args;
        int status;
        const char* errorPart;
    };
    const Case cases[] = {
        {{}, 2, "no folder given"},
        {{QStringLiteral("--include")}, 2, "--include needs a pattern"},
        {{QStringLiteral("--include=*.a"), QStringLiteral("--exclude=*.b"), QStringLiteral("x")},
         2,
         "cannot be mixed"},
        {{QStringLiteral("--bogus"), QStringLiteral("x")}, 2, "unknown option '--bogus'"},
        {{QString::fromUtf8(t.path("missing")), QString::fromUtf8(t.root())},
         1,
         "Can't open drive "},
    };
    for (const Case& c : cases) {
        QStringList args{QStringLiteral("stats")};
        args << c.args;
        const test::CliRun run = test::runCli(args);
        EXPECT_EQ(run.status, c.status) << args.join(' ').toStdString();
        EXPECT_TRUE(run.errText().contains(QLatin1String(c.errorPart)))
            << run.errText().toStdString();
        if (c.status == 2) {
            EXPECT_TRUE(run.out.isEmpty());
        }
    }
    // The folder that opened is still counted.
    const test::CliRun partial =
        test::runCli({QStringLiteral("stats"), QString::fromUtf8(t.path("missing")),
                      QString::fromUtf8(t.root())});
    EXPECT_EQ(parseSections(partial.outText())["totals"].value(1).value(0), QStringLiteral("1"));
    const test::CliRun help = test::runCli({QStringLiteral("help"), QStringLiteral("stats")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.outText().startsWith(QLatin1String("Usage: diskwell-cli stats")));
}

}  // namespace
}  // namespace dw
