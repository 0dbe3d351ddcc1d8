// diskwell-cli clean-folder, run as the built tool.
#include <gtest/gtest.h>

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "platform/environment.h"
#include "safety/archive_fixtures.h"
#include "support/cli_runner.h"
#include "support/scoped_env.h"
#include "support/scoped_mount.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::present;

// A folder F to clean, with a Safe Harbor whose folder list protects F/listed/ and a
// search path folder elsewhere; settings, archives and the trash in folders of the test.
class CliCleanFolder : public ::testing::Test {
protected:
    test::TempTree tree_;
    QByteArray r_ = platform::shortPath(tree_.root());
    QByteArray config_ = tree_.dir("config");
    QByteArray zips_ = tree_.dir("zips");
    QByteArray dataHome_ = tree_.dir("data-home");
    test::ScopedEnv configDir_{"DISKWELL_CONFIG_DIR", config_};

    void SetUp() override {
        tree_.file("config/folders.txt", r_ + "/elsewhere/*.*\n");
        tree_.file("F/a.txt", "aaaa");
        tree_.file("F/.hidden", "hh");
        tree_.file("F/sub/ro.txt", "rrr");
        tree_.setMode("F/sub/ro.txt", 0444);
        tree_.symlink("F/sub/link", r_ + "/outside.txt");
        tree_.file("outside.txt", "outside");
    }

    test::CliRun run(const QList<QByteArray>& args, bool merged = false) {
        test::CliOptions options;
        options.merged = merged;
        options.env.insert(QStringLiteral("DISKWELL_CONFIG_DIR"), QFile::decodeName(config_));
        options.env.insert(QStringLiteral("XDG_DATA_HOME"), QFile::decodeName(dataHome_));
        options.env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        options.workingFolder = QFile::decodeName(r_);
        QStringList list{QStringLiteral("clean-folder")};
        for (const QByteArray& a : args) {
            list.append(QFile::decodeName(a));
        }
        return test::runCli(list, options);
    }
    QByteArray F(const QByteArray& rel = {}) const {
        return rel.isEmpty() ? r_ + "/F" : r_ + "/F/" + rel;
    }
};

TEST_F(CliCleanFolder, WithoutTheYesFlagsSuchFilesStayAndAreReported) {
    const qint64 aBlocks = test::allocatedBytes(F("a.txt"));
    const qint64 restBlocks = test::allocatedBytes(F(".hidden")) +
                              test::allocatedBytes(F("sub/ro.txt")) +
                              test::allocatedBytes(F("sub/link"));
    const test::CliRun ran = run({"--delete", "F"});
    EXPECT_EQ(ran.status, 1) << ran.err.constData();
    const QByteArray p = "diskwell-cli clean-folder: Kept - ";
    EXPECT_TRUE(ran.err.contains(p + F(".hidden") + ": it is hidden\n")) << ran.err.constData();
    EXPECT_TRUE(ran.err.contains(p + F("sub/ro.txt") + ": it is read-only\n"));
    EXPECT_TRUE(ran.err.contains(p + F("sub/link") + ": it is a system file\n"));
    EXPECT_EQ(ran.out,
              "deleted 1 files (" + QByteArray::number(aBlocks) + " bytes) and 0 folders\n");
    EXPECT_FALSE(present(F("a.txt")));
    EXPECT_TRUE(present(F("sub/ro.txt")) && present(F(".hidden")) && present(F("sub/link")));

    const test::CliRun all =
        run({"--delete", "--yes-readonly", "--yes-hidden", "--yes-system", F() + "/"});
    EXPECT_EQ(all.status, 0) << all.err.constData();
    EXPECT_TRUE(all.err.isEmpty()) << all.err.constData();
    EXPECT_EQ(all.out,
              "deleted 3 files (" + QByteArray::number(restBlocks) + " bytes) and 2 folders\n");
    EXPECT_FALSE(present(F()));
    EXPECT_EQ(test::readBytes(r_ + "/outside.txt"), QByteArray("outside"));
    // The totals count what went.
    EXPECT_EQ(SettingsStore().readString(QString::fromLatin1(settings::kDiskwell),
                                         QStringLiteral("Ndelete"), QString()),
              QStringLiteral("4"));
}

TEST_F(CliCleanFolder, ZipKeepArchivesEverythingAndRemovesNothing) {
    const test::CliRun ran =
        run({"--zip", "--keep", "--zip-folder", zips_, "--comment", "old F", "F"});
    EXPECT_EQ(ran.status, 1) << ran.err.constData();  // the link cannot be archived
    EXPECT_TRUE(ran.err.contains("Kept - " + F("sub/link") + ": It is a symbolic link"))
        << ran.err.constData();
    EXPECT_TRUE(
        ran.out.startsWith("archived 3 files (9 bytes), deleted 0 of them and removed 0 "
                           "folders, in "))
        << ran.out.constData();
    for (const char* f : {"a.txt", ".hidden", "sub/ro.txt", "sub/link"}) {
        EXPECT_TRUE(present(F(f))) << f;
    }
    const qsizetype at = ran.out.indexOf("archive: ");
    ASSERT_GE(at, 0);
    const QByteArray archive = ran.out.mid(at + 9).trimmed();
    EXPECT_TRUE(archive.contains("-FolderClean")) << archive.constData();
    const test::PythonView view = test::pythonZipView(archive);
    ASSERT_TRUE(view.ok) << view.failure.toStdString();
    EXPECT_EQ(view.entries.size(), 3);
    EXPECT_EQ(view.comment, QByteArray("old F"));

    // Into another folder: an archive of the same minute already holds these names, and an
    // archived copy is never replaced.
    const test::CliRun gone = run({"--zip", "--zip-folder", tree_.dir("zips2"), "--yes-readonly",
                                   "--yes-hidden", "--yes-system", "F"});
    // The link is never archived, so it and its folder stay.
    EXPECT_EQ(gone.status, 1) << gone.err.constData() << gone.out.constData();
    EXPECT_FALSE(present(F("a.txt"))) << gone.err.constData() << gone.out.constData();
    EXPECT_TRUE(present(F("sub/link")));
}

TEST_F(CliCleanFolder, RefusalsAndTheSafeHarborAreErrors) {
    tree_.file("elsewhere/keep.txt", "listed");
    tree_.file("F/listed-inside/keep.txt", "listed too");
    tree_.file("config/folders.txt", r_ + "/elsewhere/*.*\n" + r_ + "/F/listed-inside/\n");
    const struct {
        QList<QByteArray> args;
        QByteArray message;
    } cases[] = {
        {{"--delete", "/usr"}, "cannot remove /usr: it is a system folder"},
        {{"--delete", "/"}, "cannot remove /: it is a system folder"},
        {{"--delete", r_ + "/outside.txt"}, "it is not a folder"},
        {{"--delete", r_ + "/elsewhere"},
         "cannot remove " + r_ + "/elsewhere: the folder or a sub-folder"},
        {{"--delete", "F"},
         "the folder or a sub-folder of the one to delete is marked NOT to be deleted because "
         "it is referenced in the registry (give --force-protected to go on)"},
    };
    for (const auto& c : cases) {
        const test::CliRun ran = run(c.args);
        EXPECT_EQ(ran.status, 1) << c.message.constData();
        EXPECT_TRUE(ran.err.contains(c.message)) << ran.err.constData();
        EXPECT_TRUE(ran.out.isEmpty());
    }
    EXPECT_TRUE(present(F("a.txt")));
    EXPECT_TRUE(present(r_ + "/elsewhere/keep.txt"));

    const test::CliRun forced = run(
        {"--delete", "--force-protected", "--yes-readonly", "--yes-hidden", "--yes-system", "F"});
    EXPECT_EQ(forced.status, 0) << forced.err.constData();
    EXPECT_FALSE(present(F()));

    for (const QList<QByteArray>& bad : {QList<QByteArray>{"F"},
                                         {"--delete", "--trash", "F"},
                                         {"--delete", "--keep", "F"},
                                         {"--delete"},
                                         {"--delete", "F", "G"},
                                         {"--zip", "--bogus", "F"}}) {
        EXPECT_EQ(run(bad).status, 2);
    }
}

TEST_F(CliCleanFolder, TrashSendsEveryFileToTheTrashAndRemovesTheFolders) {
    const test::CliRun ran =
        run({"--trash", "--yes-readonly", "--yes-hidden", "--yes-system", "F"});
    EXPECT_EQ(ran.status, 0) << ran.err.constData();
    EXPECT_TRUE(ran.out.startsWith("sent 4 files to the trash (")) << ran.out.constData();
    EXPECT_FALSE(present(F()));
    EXPECT_EQ(test::readBytes(dataHome_ + "/Trash/files/a.txt"), QByteArray("aaaa"));
    EXPECT_EQ(test::readBytes(r_ + "/outside.txt"), QByteArray("outside"));
}

// A bind-mounted file stops nothing: it is named with its reason and the rest goes to
// the trash. On one terminal what stayed comes before the summary.
TEST_F(CliCleanFolder, ATrashRunNamesABindMountedFileGoesOnAndReportsInOrder) {
    const QByteArray bound = tree_.file("F/sub/bound.txt", "covered");
    const test::ScopedMount bind(r_ + "/outside.txt", bound, nullptr);
    if (!bind.ok()) {
        GTEST_SKIP() << bind.why().toStdString();
    }
    const test::CliRun ran =
        run({"--trash", "--yes-readonly", "--yes-hidden", "--yes-system", "F"}, true);
    EXPECT_EQ(ran.status, 1);
    const QByteArray kept =
        "diskwell-cli clean-folder: Kept - " + bound + ": it is a mount point\n";
    EXPECT_TRUE(ran.out.startsWith(kept)) << ran.out.constData();
    const qsizetype summary = ran.out.indexOf("sent 4 files to the trash (");
    EXPECT_EQ(summary, kept.size()) << ran.out.constData();
    EXPECT_TRUE(ran.out.endsWith(" and removed 0 folders\n")) << ran.out.constData();
    EXPECT_FALSE(present(F("a.txt")) || present(F("sub/ro.txt")));
    EXPECT_EQ(test::readBytes(dataHome_ + "/Trash/files/a.txt"), QByteArray("aaaa"));
}

}  // namespace
}  // namespace dw
