// diskwell-cli clean, run as the built tool.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <functional>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "cli/command_line.h"
#include "platform/environment.h"
#include "safety/clean_totals.h"
#include "support/cli_runner.h"
#include "support/loop_volume.h"
#include "support/scoped_env.h"
#include "support/scoped_mount.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::present;

// A tree with a Safe Harbor over part of it: folders.txt protects kept/, the search path
// is bin/, "*.sys" is a protected extension; settings and the trash in folders of the
// test.
class CliClean : public ::testing::Test {
protected:
    test::TempTree tree_;
    QByteArray r_ = platform::shortPath(tree_.root());
    QByteArray config_ = tree_.dir("config");
    QByteArray dataHome_ = tree_.dir("data-home");
    test::ScopedEnv configDir_{"DISKWELL_CONFIG_DIR", config_};

    void SetUp() override {
        tree_.dir("kept");
        tree_.dir("bin");
        tree_.file("config/folders.txt", r_ + "/kept/*.*\n");
        ASSERT_TRUE(SettingsStore().writeList(QString::fromLatin1(settings::kNoDelExt),
                                              {QStringLiteral("*.sys")}));
    }

    QByteArray file(const QByteArray& rel, const QByteArray& content = "x") {
        tree_.file(rel, content);
        return r_ + "/" + rel;
    }

    test::CliRun run(const QList<QByteArray>& args, const QByteArray& input = {}) {
        test::CliOptions options;
        options.env.insert(QStringLiteral("DISKWELL_CONFIG_DIR"), QFile::decodeName(config_));
        options.env.insert(QStringLiteral("XDG_DATA_HOME"), QFile::decodeName(dataHome_));
        options.env.insert(QStringLiteral("PATH"), QFile::decodeName(r_ + "/bin:/usr/bin:/bin"));
        options.workingFolder = QFile::decodeName(r_);
        options.input = input;
        QStringList list{QStringLiteral("clean")};
        for (const QByteArray& a : args) {
            list.append(QFile::decodeName(a));
        }
        return test::runCli(list, options);
    }
};

TEST_F(CliClean, DeletesWhatIsNotProtectedAndSaysWhyTheRestStays) {
    const QByteArray target = file("target.txt", "keep me");
    const QByteArray a = file("free/a.txt", "aaaa");
    const QByteArray link = r_ + "/free/link";
    ASSERT_EQ(::symlink(target.constData(), link.constData()), 0);
    const QByteArray kept = file("kept/deep/k.txt");
    const QByteArray tool = file("bin/tool");
    const QByteArray driver = file("free/DRIVER.SYS");
    const QByteArray folder = tree_.dir("free/folder");
    const qint64 blocks = test::allocatedBytes(a) + test::allocatedBytes(link);
    const test::CliRun ran = run({"--delete", a, link, kept, "free/DRIVER.SYS", tool, "free/folder",
                                  r_ + "/free/missing", a});
    EXPECT_EQ(ran.status, 1) << ran.err.constData();
    EXPECT_FALSE(present(a));
    EXPECT_FALSE(present(link));
    EXPECT_TRUE(present(target));
    EXPECT_TRUE(present(kept));
    EXPECT_TRUE(present(tool));
    EXPECT_TRUE(present(driver));
    EXPECT_TRUE(present(folder));
    const QByteArray p = "diskwell-cli clean: ";
    EXPECT_EQ(ran.err, p + "Protected by the Safe Harbor, not touched - " + tool +
                           ": in the search path\n" + p +
                           "Protected by the Safe Harbor, not touched - " + driver +
                           ": included in the protected file extensions\n" + p +
                           "Protected by the Safe Harbor, not touched - " + kept +
                           ": referenced in the registry\n" + p + "Couldn't delete file - " +
                           folder + ": it is a folder\n" + p + "Couldn't delete file - " + r_ +
                           "/free/missing: No such file or directory\n");
    // The bytes are the blocks the disk gets back.
    EXPECT_EQ(ran.out, "deleted 2 of 7 files (" + QByteArray::number(blocks) + " bytes)\n");
    EXPECT_EQ(readCleanTotals().Ndelete, 2);
    EXPECT_EQ(readCleanTotals().SizeDelete, blocks);

    // Everything acted on: 0.
    const QByteArray b = file("free/b.txt");
    EXPECT_EQ(run({"--delete", "--", b}).status, 0);
    EXPECT_FALSE(present(b));
    EXPECT_EQ(readCleanTotals().Ndelete, 3);
}

TEST_F(CliClean, ReadsNulSeparatedPathsWithHostileNames) {
    const QList<QByteArray> files = {
        file("free/new\nline"),        file("free/tab\there"),         file("free/-rf"),
        file("free/ lead and trail "), file("free/\xff\xfe not utf8"), file("free/100% sure")};
    QByteArray input;
    for (const QByteArray& f : files) {
        input += f + '\0';
    }
    const QByteArray kept = file("kept/new\nline");
    input += kept;  // the last one without its NUL
    qint64 blocks = 0;
    for (const QByteArray& f : files) {
        blocks += test::allocatedBytes(f);
    }
    const test::CliRun ran = run({"--delete", "-0"}, input);
    EXPECT_EQ(ran.status, 1);
    for (const QByteArray& f : files) {
        EXPECT_FALSE(present(f)) << f.constData();
    }
    EXPECT_TRUE(present(kept));
    EXPECT_TRUE(present(r_ + "/free"));
    EXPECT_EQ(ran.err, "diskwell-cli clean: Protected by the Safe Harbor, not touched - " + kept +
                           ": referenced in the registry\n");
    EXPECT_EQ(ran.out, "deleted 6 of 7 files (" + QByteArray::number(blocks) + " bytes)\n");

    const test::CliRun nothing = run({"--delete", "-0"}, {});
    EXPECT_EQ(nothing.status, 0);
}

TEST_F(CliClean, TrashesIntoTheDesktopTrash) {
    const QByteArray a = file("free/100% a.txt", "abc");
    const QByteArray b = file("free/b c", "de");
    const qint64 blocks = test::allocatedBytes(a) + test::allocatedBytes(b);
    const test::CliRun ran = run({"--trash", a, b});
    EXPECT_EQ(ran.status, 0) << ran.err.constData();
    EXPECT_FALSE(present(a));
    EXPECT_FALSE(present(b));
    EXPECT_EQ(ran.out,
              "sent 2 of 2 files to the trash (" + QByteArray::number(blocks) + " bytes)\n");
    EXPECT_EQ(QDir(QFile::decodeName(dataHome_ + "/Trash/files")).entryList(QDir::Files).size(), 2);
    EXPECT_EQ(readCleanTotals().NWaste, 2);
    EXPECT_EQ(readCleanTotals().SizeWaste, blocks);
    EXPECT_EQ(readCleanTotals().Ndelete, 0);

    QProcess list;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), QFile::decodeName(dataHome_));
    list.setProcessEnvironment(env);
    list.start(QStringLiteral("trash-list"), {});
    if (!list.waitForStarted(10000)) {
        GTEST_SKIP() << "trash-cli is not installed";
    }
    ASSERT_TRUE(list.waitForFinished(30000));
    const QByteArray listed = list.readAllStandardOutput();
    EXPECT_TRUE(listed.contains(" " + a + "\n")) << listed.constData();
    EXPECT_TRUE(listed.contains(" " + b + "\n")) << listed.constData();
}

// A file the trash cannot take is named with its cause before the general line; a
// bind-mounted file stops nothing; only a full volume is said to be a full bin.
TEST_F(CliClean, ATrashFailureNamesItsCauseFirstAndOnlyAFullVolumeIsAFullBin) {
    const QByteArray bound = file("free/bound.txt", "covered");
    const QByteArray after = file("free/after.txt", "goes");
    const test::ScopedMount bind(file("free/source.txt", "s"), bound, nullptr);
    const QByteArray full = tree_.dir("free/full");
    // Room for the folder, one file and the trash's three folders: no .trashinfo.
    const test::ScopedMount tmpfs("tmpfs", full, "tmpfs", "size=64k,nr_inodes=5");
    if (!bind.ok() || !tmpfs.ok()) {
        GTEST_SKIP() << bind.why().toStdString() << tmpfs.why().toStdString();
    }
    const QByteArray general =
        "diskwell-cli clean: An error occurred sending files to the recycle bin.";
    const qint64 afterBlocks = test::allocatedBytes(after);
    const test::CliRun ran = run({"--trash", bound, after});
    EXPECT_FALSE(present(after));
    EXPECT_TRUE(present(bound));
    const qsizetype cause = ran.err.indexOf(bound + ": it is a mount point\n");
    EXPECT_GE(cause, 0) << ran.err.constData();
    EXPECT_GT(ran.err.indexOf(general + "\n"), cause) << ran.err.constData();
    EXPECT_FALSE(ran.err.contains("full")) << ran.err.constData();
    EXPECT_EQ(ran.out,
              "sent 1 of 2 files to the trash (" + QByteArray::number(afterBlocks) + " bytes)\n");

    const QByteArray onFull = file("free/full/x.txt", "x");
    const test::CliRun fullRun = run({"--trash", onFull});
    EXPECT_TRUE(present(onFull));
    const qsizetype noSpace = fullRun.err.indexOf("No space left on device\n");
    EXPECT_GE(noSpace, 0) << fullRun.err.constData();
    EXPECT_GT(fullRun.err.indexOf(general + "  The bin may be full.\n"), noSpace)
        << fullRun.err.constData();
}

TEST_F(CliClean, ArchivesIntoTheStoredOrGivenFolderThenDeletes) {
    const QByteArray stored = tree_.dir("stored-zips");
    const QByteArray given = tree_.dir("given-zips");
    SettingsStore store;
    ASSERT_TRUE(store.writeString(QString::fromLatin1(settings::kZipFile),
                                  QString::fromLatin1(settings::kZipPath),
                                  QFile::decodeName(stored)));
    ASSERT_TRUE(store.writeString(QString::fromLatin1(settings::kZipFile),
                                  QString::fromLatin1(settings::kZipComment),
                                  QStringLiteral("stored comment")));
    const QByteArray a = file("free/a.txt", "hello hello hello");
    const QByteArray b = file("free/\nodd", "odd");
    const qint64 freed = test::allocatedBytes(a) + test::allocatedBytes(b);
    const test::CliRun first = run({"--zip", "--caller", "Nightly", a, b});
    EXPECT_EQ(first.status, 0) << first.err.constData();
    EXPECT_FALSE(present(a));
    EXPECT_FALSE(present(b));
    QStringList archives = QDir(QFile::decodeName(stored)).entryList(QDir::Files);
    ASSERT_EQ(archives.size(), 1);
    EXPECT_TRUE(archives[0].startsWith(QStringLiteral("Drive-"))) << archives[0].toStdString();
    EXPECT_TRUE(archives[0].contains(QStringLiteral("-Nightly"))) << archives[0].toStdString();
    const QByteArray archive = stored + "/" + QFile::encodeName(archives[0]);
    // What was stored; what it won once the archive's own blocks are counted.
    const qint64 archiveBytes = test::allocatedBytes(archive);
    EXPECT_TRUE(first.out.startsWith(
        "archived 2 of 2 files (20 bytes) and deleted 2 of them, in " + stored + "\nfreed " +
        QByteArray::number(freed) + " bytes; the archives take " +
        QByteArray::number(archiveBytes) + " bytes on the disk: a savings of " +
        QByteArray::number(freed - archiveBytes) + " bytes\narchive: " + archive + "\n"))
        << first.out.constData();
    // Python's zipfile reads it back, CRCs and comment included.
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, zipfile\n"
                                 "z = zipfile.ZipFile(sys.argv[1])\n"
                                 "assert z.testzip() is None\n"
                                 "print(len(z.namelist()), z.comment.decode())\n"),
                  QFile::decodeName(archive)});
    ASSERT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.readAllStandardOutput(), QByteArray("2 stored comment\n"));
    EXPECT_EQ(readCleanTotals().NZip, 2);
    EXPECT_EQ(readCleanTotals().SizeZip, 20);

    const QByteArray c = file("free/c.txt", "c");
    const test::CliRun second = run({"--zip", "--zip-folder", given, "--comment=given comment", c});
    EXPECT_EQ(second.status, 0) << second.err.constData();
    EXPECT_EQ(QDir(QFile::decodeName(given)).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(readCleanTotals().NZip, 3);
    // The options apply to the run only.
    EXPECT_EQ(store.readString(QString::fromLatin1(settings::kZipFile),
                               QString::fromLatin1(settings::kZipPath), QString()),
              QFile::decodeName(stored));

    // An archive folder that does not exist: nothing is deleted.
    const QByteArray d = file("free/d.txt", "d");
    const test::CliRun failed = run({"--zip", "--zip-folder", r_ + "/no/such", d});
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(present(d));
    EXPECT_TRUE(failed.err.contains("Couldn't zip up file - " + d)) << failed.err.constData();
}

TEST_F(CliClean, TouchesNothingWithoutASafeHarborListOrWithBadArguments) {
    const QByteArray a = file("free/a.txt");
    ASSERT_TRUE(QFile::remove(QFile::decodeName(config_ + "/folders.txt")));
    const test::CliRun missing = run({"--delete", a});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("has not been created yet")) << missing.err.constData();
    EXPECT_TRUE(present(a));
    tree_.file("config/folders.txt", r_ + "/kept/*.*\n");

    struct Case {
        QList<QByteArray> args;
        const char* message;
    };
    const QList<Case> cases = {
        {{a}, "say what to do: --delete, --trash, --zip or --share"},
        {{"--delete", "--trash", a}, "give only one of --delete, --trash, --zip and --share"},
        {{"--delete", "--comment", "x", a}, "--comment goes with --zip"},
        {{"--delete"}, "no file given"},
        {{"--delete", "-0", a}, "give paths or -0, not both"},
        {{"--delete", "--force", a}, "unknown option '--force'"},
        {{"--zip", "--caller", "a/b", a}, "--caller WORD cannot hold \"/\""},
        {{"--zip", a, "--zip-folder"}, "--zip-folder needs a value"},
        {{"--zip", "--comment", QByteArray(65536, 'c'), a},
         "--comment TEXT is longer than the 65535 bytes an archive comment can hold"},
    };
    for (const Case& c : cases) {
        const test::CliRun ran = run(c.args);
        EXPECT_EQ(ran.status, 2) << c.message;
        EXPECT_TRUE(ran.err.startsWith(QByteArray("diskwell-cli clean: ") + c.message))
            << ran.err.constData();
        EXPECT_TRUE(present(a)) << c.message;
    }
    EXPECT_EQ(readCleanTotals().Ndelete, -1);
    const test::CliRun help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: diskwell-cli clean (--delete | --trash | --zip"));
}

// A file given with a trailing "/" is not a folder: refused as `rm` refuses it.
TEST_F(CliClean, AFileWrittenAsAFolderIsRefused) {
    const QByteArray a = file("free/a.txt", "stays");
    const test::CliRun ran = run({"--delete", a + "/"});
    EXPECT_EQ(ran.status, 1);
    EXPECT_TRUE(present(a));
    EXPECT_TRUE(ran.err.contains("Couldn't delete file - " + a + "/: Not a directory"))
        << ran.err.constData();
}

// Twelve runs at once, one file each: the totals count all twelve.
TEST_F(CliClean, TotalsOfConcurrentRunsAddUp) {
    constexpr int kRuns = 12;
    QList<QProcess*> runs;
    QList<QByteArray> files;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISKWELL_CONFIG_DIR"), QFile::decodeName(config_));
    qint64 blocks = 0;
    for (int i = 0; i < kRuns; ++i) {
        files.append(file("free/" + QByteArray::number(i) + ".txt", QByteArray(i + 1, 'x')));
        blocks += test::allocatedBytes(files.last());
        auto* p = new QProcess;
        p->setProcessEnvironment(env);
        runs.append(p);
    }
    // Started one after the other without waiting, so they run side by side.
    for (int i = 0; i < kRuns; ++i) {
        runs[i]->start(
            QStringLiteral(DISKWELL_CLI_PATH),
            {QStringLiteral("clean"), QStringLiteral("--delete"), QFile::decodeName(files[i])});
    }
    for (QProcess* p : runs) {
        EXPECT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().constData();
        delete p;
    }
    for (const QByteArray& f : files) {
        EXPECT_FALSE(present(f)) << f.constData();
    }
    EXPECT_EQ(readCleanTotals().Ndelete, kRuns);
    EXPECT_EQ(readCleanTotals().SizeDelete, blocks);
}

// Settings that cannot be trusted stop every run before it touches a file, and
// `protected` answers nothing; the message names the file.
// "cannot be read: its line N PROBLEM", N the line of `text` that holds `mark`.
QByteArray lineProblem(const QByteArray& text, const QByteArray& mark, const char* problem) {
    const qsizetype line = text.left(text.indexOf(mark)).count('\n') + 1;
    return "cannot be read: its line " + QByteArray::number(line) + " " + problem;
}

TEST_F(CliClean, UnreadableOrDamagedSettingsTouchNothing) {
    const QByteArray ini = config_ + "/registry.ini";
    const QByteArray folders = config_ + "/folders.txt";
    const QByteArray good = [&] {
        QFile f(QFile::decodeName(ini));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    ASSERT_FALSE(good.isEmpty());
    const struct {
        const char* what;
        std::function<void()> spoil;
        QByteArray named;
        QByteArray problem;
    } cases[] = {
        {"registry.ini a FIFO",
         [&] {
             QFile::remove(QFile::decodeName(ini));
             tree_.fifo("config/registry.ini");
         },
         ini, "cannot be read: it is not a regular file"},
        {"folders.txt a link to /dev/zero",
         [&] {
             QFile::remove(QFile::decodeName(folders));
             tree_.symlink("config/folders.txt", "/dev/zero");
         },
         folders, "cannot be read: it is not a regular file"},
        {"a NUL byte in a File line",
         [&] {
             tree_.file("config/registry.ini",
                        QByteArray(good).replace("File1=*.sys", QByteArray("File1=*.s\0ys", 11)));
         },
         ini, lineProblem(good, "File1=", "holds a NUL byte")},
        {"a byte that is no UTF-8 in the list's header",
         [&] {
             tree_.file("config/registry.ini", QByteArray(good).replace("NoDelExt",
                                                                        "NoDel\xff"
                                                                        "Ext"));
         },
         ini, lineProblem(good, "NoDelExt", "is not valid UTF-8")},
        {"folders.txt saved as UTF-16 without its mark",
         [&] {
             const QString text = QFile::decodeName(r_ + "/kept/*.*\n");
             tree_.file("config/folders.txt",
                        QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
         },
         folders, "cannot be read: its line 1 holds a NUL byte"},
        {"the extensions' count damaged",
         [&] {
             tree_.file("config/registry.ini", QByteArray(good).replace("Number=1", "Number=abc"));
         },
         ini, "is damaged: its count \"Number\" is \"abc\""},
    };
    for (const auto& c : cases) {
        const QByteArray driver = file("free/driver.sys");
        const QByteArray plain = file("free/plain.txt");
        c.spoil();
        for (const char* action : {"--delete", "--trash", "--zip"}) {
            const test::CliRun ran = run({action, driver, plain});
            EXPECT_EQ(ran.status, 1) << c.what;
            EXPECT_TRUE(ran.err.contains(c.named + " " + c.problem)) << ran.err.constData();
            EXPECT_TRUE(ran.err.contains("No file was touched")) << ran.err.constData();
            EXPECT_TRUE(present(driver) && present(plain)) << c.what << " " << action;
        }
        test::CliOptions options;
        options.env.insert(QStringLiteral("DISKWELL_CONFIG_DIR"), QFile::decodeName(config_));
        const test::CliRun asked =
            test::runCli({QStringLiteral("protected"), QFile::decodeName(driver)}, options);
        EXPECT_EQ(asked.status, 1) << c.what;
        EXPECT_TRUE(asked.out.isEmpty()) << asked.out.constData();
        EXPECT_TRUE(asked.err.contains(c.named + " " + c.problem)) << asked.err.constData();
        // Mended again for the next case.
        QFile::remove(QFile::decodeName(ini));
        QFile::remove(QFile::decodeName(folders));
        tree_.file("config/registry.ini", good);
        tree_.file("config/folders.txt", r_ + "/kept/*.*\n");
    }

    // A registry.ini its reader may not read, as a user meets it.
    ASSERT_EQ(::chmod(tree_.root().constData(), 0755), 0);
    tree_.setMode("free", 0777);
    const QByteArray driver = file("free/driver.sys");
    tree_.setMode("config/registry.ini", 0);
    const int status = test::runAsNobody([&] {
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        const int cleaned =
            cli::runCommandLine({"clean", "--delete", driver}, outStream, errStream);
        if (cleaned != 1 || !err.contains(QLatin1String("Permission denied")) ||
            !err.contains(QFile::decodeName(ini))) {
            return 1;
        }
        const int asked = cli::runCommandLine({"protected", driver}, outStream, errStream);
        return asked == 1 && out.isEmpty() ? 0 : 2;
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(present(driver));
}

// Sharing pairs the files itself: the first of each set of identical files stays, the
// others (a protected one aside) take its blocks, and the volume gets their space back.
// Where blocks cannot be shared, nothing changes and each file says why.
TEST_F(CliClean, SharesTheBlocksOfIdenticalFiles) {
    constexpr qint64 kMiB = 1024 * 1024;
    test::LoopVolume btrfs(tree_.dir("btrfs"), QStringLiteral("btrfs"), 128);
    test::LoopVolume ext4(tree_.dir("ext4"), QStringLiteral("ext4"), 32);
    if (!btrfs.ok() || !ext4.ok()) {
        GTEST_SKIP() << (btrfs.whyNot() + ext4.whyNot()).toStdString();
    }
    const QByteArray first = btrfs.randomFile("first", 2 * kMiB);
    const QByteArray copy = btrfs.copy("first", "new\nline copy");
    const QByteArray copy2 = btrfs.copy("first", "-rf");
    const QByteArray driver = btrfs.copy("first", "DRIVER.SYS");
    const QByteArray other = btrfs.randomFile("other", 2 * kMiB);
    const auto readAll = [](const QByteArray& path) {
        QFile f(QFile::decodeName(path));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray bytes = readAll(first);
    const qint64 before = btrfs.available();
    const test::CliRun ran =
        run({"--share", "-0"}, first + '\0' + copy + '\0' + other + '\0' + driver + '\0' + copy2);
    EXPECT_EQ(ran.status, 1) << ran.err.constData();
    EXPECT_EQ(ran.out, QByteArray("shared 2 of 3 files (4194304 bytes freed)\n"));
    EXPECT_TRUE(ran.err.startsWith(
        "diskwell-cli clean: Protected by the Safe Harbor, not touched - " + driver))
        << ran.err.constData();
    EXPECT_EQ(btrfs.available() - before, 4 * kMiB);
    for (const QByteArray& f : {first, copy, copy2, driver}) {
        EXPECT_EQ(readAll(f), bytes) << f.constData();
    }
    EXPECT_TRUE(present(other));

    const QByteArray plain = ext4.randomFile("plain", kMiB);
    const QByteArray twin = ext4.copy("plain", "twin");
    const test::CliRun refused = run({"--share", plain, twin});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, QByteArray("shared 0 of 1 files (0 bytes freed)\n"));
    EXPECT_EQ(refused.err, "diskwell-cli clean: Couldn't share the blocks of file - " + twin +
                               ": its file system cannot share blocks between files\n");
    EXPECT_EQ(run({"--share", "--zip", plain}).status, 2);
}

}  // namespace
}  // namespace dw
