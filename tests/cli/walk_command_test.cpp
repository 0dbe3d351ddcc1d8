#include <gtest/gtest.h>

#include <QProcess>
#include <QTextStream>

#include <sys/mount.h>
#include <unistd.h>

#include "cli/command_line.h"
#include "cli/walk_command.h"
#include "support/cli_runner.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::TempTree;

struct Counts {
    qint64 files = 0;
    qint64 folders = 0;
    qint64 bytes = 0;
    bool operator==(const Counts&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Counts& c) {
    return os << "files " << c.files << " folders " << c.folders << " bytes " << c.bytes;
}

Counts parseCounts(const QString& out) {
    Counts c;
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() == 3 && lines[0].startsWith(QLatin1String("files ")) &&
        lines[1].startsWith(QLatin1String("folders ")) &&
        lines[2].startsWith(QLatin1String("bytes "))) {
        c.files = lines[0].mid(6).toLongLong();
        c.folders = lines[1].mid(8).toLongLong();
        c.bytes = lines[2].mid(6).toLongLong();
    } else {
        c.files = -1;
    }
    return c;
}

// The same walk done by find, with the expressions the README gives: stay on the file
// system, never descend into hidden folders below the start, count every entry that is
// not a folder (regular files only without --system, no hidden names without --hidden).
Counts findCounts(const QByteArray& root, bool hidden, bool system, const QString& iname = {}) {
    const QStringList prune = {
        QString::fromUtf8(root),  QStringLiteral("-xdev"), QStringLiteral("-mindepth"),
        QStringLiteral("1"),      QStringLiteral("("),     QStringLiteral("-type"),
        QStringLiteral("d"),      QStringLiteral("-name"), QStringLiteral(".*"),
        QStringLiteral("-prune"), QStringLiteral(")"),     QStringLiteral("-o")};
    QStringList files = prune;
    files << QStringLiteral("!") << QStringLiteral("-type") << QStringLiteral("d");
    if (!system) {
        files << QStringLiteral("-type") << QStringLiteral("f");
    }
    if (!hidden) {
        files << QStringLiteral("!") << QStringLiteral("-name") << QStringLiteral(".*");
    }
    if (!iname.isEmpty()) {
        files << QStringLiteral("-iname") << iname;
    }
    files << QStringLiteral("-printf") << QStringLiteral("%s\\n");
    QStringList folders = prune;
    folders << QStringLiteral("-type") << QStringLiteral("d") << QStringLiteral("-printf")
            << QStringLiteral("d\\n");

    Counts c;
    QProcess p;
    p.start(QStringLiteral("find"), files);
    p.waitForFinished(120000);
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty()) {
            ++c.files;
            c.bytes += line.toLongLong();
        }
    }
    p.start(QStringLiteral("find"), folders);
    p.waitForFinished(120000);
    c.folders = 1 + p.readAllStandardOutput().count('\n');  // the start folder too
    return c;
}

// A tree with everything the rules are about.
void makeMixedTree(TempTree& t) {
    for (int i = 0; i < 6; ++i) {
        const QByteArray n = QByteArray::number(i);
        t.fileOfSize("a/file" + n + ".txt", 100 * i + 1);
        t.fileOfSize("a/b/c/deep" + n + ".DAT", 7 * i);
        t.fileOfSize("a/b/.hidden" + n, 3 + i);
    }
    t.file("with space/and\nnewline.TXT", "12345");
    t.file(".hidden-folder/never/counted.txt", "xxxxxxxx");
    t.file(".hidden-folder/counted-not.txt", "yy");
    t.file("top.txt", "top");
    t.dir("empty");
    t.symlink("a/link-to-file", "file1.txt");
    t.symlink("link-to-folder", "a");
    t.symlink("dangling", "nowhere/at/all");
    t.symlink(".hidden-link", "top.txt");
    t.fifo("a/b/fifo");
    const QByteArray big = t.file("a/sparse.bin");
    ASSERT_EQ(::truncate(big.constData(), 3LL << 30), 0);
}

TEST(CliWalk, CountsAgreeWithFindUnderTheSameRules) {
    TempTree t;
    makeMixedTree(t);
    // A file system mounted inside is left out, by find -xdev too (find still lists the
    // mount point itself as a folder, which the walk does not enter).
    t.dir("mounted");
    struct Unmount {
        QByteArray point;
        bool mounted;
        ~Unmount() {
            if (mounted) {
                ::umount2(point.constData(), MNT_DETACH);
            }
        }
    } mount{t.path("mounted"),
            ::mount("dw-cli", t.path("mounted").constData(), "tmpfs", 0, "size=1m") == 0};
    const bool mounted = mount.mounted;
    if (mounted) {
        t.file("mounted/other-fs.txt", "other file system");
    }
    struct Case {
        QStringList flags;
        bool hidden;
        bool system;
    };
    const Case cases[] = {
        {{}, false, false},
        {{QStringLiteral("--hidden")}, true, false},
        {{QStringLiteral("--system")}, false, true},
        {{QStringLiteral("--hidden"), QStringLiteral("--system")}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags.join(QLatin1Char(' ')).toStdString());
        const test::CliRun run = test::runCli(QStringList{QStringLiteral("walk")} + c.flags +
                                              QStringList{QString::fromUtf8(t.root())});
        EXPECT_EQ(run.status, 0) << run.errText().toStdString();
        EXPECT_TRUE(run.errText().isEmpty()) << run.errText().toStdString();
        Counts expected = findCounts(t.root(), c.hidden, c.system);
        expected.folders -= mounted ? 1 : 0;
        EXPECT_EQ(parseCounts(run.outText()), expected);
        EXPECT_GT(expected.bytes, 3LL << 30);
    }
    {
        const test::CliRun run =
            test::runCli({QStringLiteral("walk"), QStringLiteral("--pattern"),
                          QStringLiteral("*.TXT"), QString::fromUtf8(t.root())});
        Counts expected = findCounts(t.root(), false, false, QStringLiteral("*.txt"));
        expected.folders -= mounted ? 1 : 0;
        EXPECT_EQ(parseCounts(run.outText()), expected);
        EXPECT_EQ(expected.files, 6 + 2);
    }
}

TEST(CliWalk, FoldersAreWalkedInTurnAndMissingOnesReported) {
    TempTree t;
    t.file("one/a", "1234");
    const QString one = QString::fromUtf8(t.path("one"));
    const QString missing = QString::fromUtf8(t.path("missing"));

    // A folder given twice, or inside another one given, is walked once.
    t.file("one/sub/b", "12");
    const QString sub = QString::fromUtf8(t.path("one/sub"));
    test::CliRun twice = test::runCli({QStringLiteral("walk"), sub, one, one});
    EXPECT_EQ(twice.status, 0);
    EXPECT_EQ(parseCounts(twice.outText()), (Counts{2, 2, 6}));

    test::CliRun partly = test::runCli({QStringLiteral("walk"), missing, one});
    EXPECT_EQ(partly.status, 1);
    EXPECT_EQ(parseCounts(partly.outText()), (Counts{2, 2, 6}));
    EXPECT_TRUE(partly.errText().contains(QStringLiteral("Can't open drive ") + missing))
        << partly.errText().toStdString();

    // Folder names beginning with "-" after "--".
    const QByteArray dashed = t.file("-dash/f", "xy");
    test::CliRun dash =
        test::runCli({QStringLiteral("walk"), QStringLiteral("--"), QStringLiteral("-dash")});
    EXPECT_EQ(dash.status, 1);  // relative to the tool's folder, where there is none
    QProcess p;
    p.setWorkingDirectory(QString::fromUtf8(t.root()));
    p.start(QStringLiteral(DISKWELL_CLI_PATH),
            {QStringLiteral("walk"), QStringLiteral("--"), QStringLiteral("-dash")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(parseCounts(QString::fromUtf8(p.readAllStandardOutput())), (Counts{1, 1, 2}));
}

TEST(CliWalk, BadArgumentsGiveStatusTwoAndNothingWalked) {
    TempTree t;
    const QString root = QString::fromUtf8(t.root());
    const QStringList cases[] = {
        {},
        {QStringLiteral("walk")},
        {QStringLiteral("walk"), QStringLiteral("--hidden")},
        {QStringLiteral("walk"), QStringLiteral("--bogus"), root},
        {QStringLiteral("walk"), root, QStringLiteral("-x")},
        {QStringLiteral("walk"), QStringLiteral("--pattern")},
        {QStringLiteral("walk"), QStringLiteral("--pattern"), QStringLiteral(" ; "), root},
        {QStringLiteral("walk"), QStringLiteral("--pattern="), root},
        {QStringLiteral("frobnicate"), root},
        {QStringLiteral("--bogus")},
        {QStringLiteral("help"), QStringLiteral("frobnicate")},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        const test::CliRun run = test::runCli(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.outText().isEmpty()) << run.outText().toStdString();
        EXPECT_TRUE(run.errText().contains(QLatin1String("diskwell-cli")))
            << run.errText().toStdString();
        EXPECT_TRUE(run.errText().contains(QLatin1String("--help"))) << run.errText().toStdString();
    }
}

TEST(CliWalk, HelpAndVersion) {
    const test::CliRun overview = test::runCli({QStringLiteral("--help")});
    EXPECT_EQ(overview.status, 0);
    EXPECT_TRUE(overview.outText().startsWith(QLatin1String("Usage: diskwell-cli COMMAND")));
    EXPECT_TRUE(overview.outText().contains(QLatin1String("\n  walk ")));
    EXPECT_TRUE(overview.errText().isEmpty());

    const test::CliRun walkHelp = test::runCli({QStringLiteral("walk"), QStringLiteral("--help")});
    EXPECT_EQ(walkHelp.status, 0);
    EXPECT_TRUE(walkHelp.outText().startsWith(
        QLatin1String("Usage: diskwell-cli walk [--hidden] [--system] [--pattern P] FOLDER...")));
    EXPECT_EQ(test::runCli({QStringLiteral("help"), QStringLiteral("walk")}).outText(),
              walkHelp.outText());

    const test::CliRun version = test::runCli({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.outText(), QStringLiteral("diskwell-cli " DISKWELL_VERSION "\n"));
}

TEST(CliWalk, FolderArgumentsAreNativeBytes) {
    // A name that is no valid UTF-8 cannot pass through a text argument list; the
    // command line takes the bytes as the system gives them.
    TempTree t;
    const QByteArray odd = t.path("odd\xff\xfe name");
    t.file("odd\xff\xfe name/inside", "abc");
    test::ScriptedPrompter prompter;
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    EXPECT_EQ(cli::runCommandLine({"walk", "--hidden", "--system", odd}, outStream, errStream), 0);
    EXPECT_EQ(out, QStringLiteral("files 1\nfolders 1\nbytes 3\n"));
    EXPECT_TRUE(err.isEmpty());
    EXPECT_TRUE(prompter.boxes().isEmpty());

    const cli::WalkCounts counts = cli::countWalk({odd, t.path("gone")}, WalkOptions());
    EXPECT_EQ(counts.files, 1);
    EXPECT_EQ(counts.unopened, 1);
    EXPECT_EQ(prompter.texts(),
              QStringList{QStringLiteral("Can't open drive ") + QFile::decodeName(t.path("gone"))});
}

}  // namespace
}  // namespace dw
