#include <gtest/gtest.h>

#include <QFile>
#include <QScopeGuard>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix_io.h"
#include "safety/archive_fixtures.h"
#include "safety/archive_reader.h"
#include "safety/archive_restore.h"
#include "safety/zip_run.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::CraftedEntry;
using test::TempTree;

struct Outcome {
    RestoreSummary summary;
    QList<RestoreFailure> failures;
    QList<qsizetype> started;
};

Outcome restore(const QByteArray& archive, const QByteArray& root, RestoreHooks hooks = {}) {
    Outcome out;
    ArchiveReader reader;
    EXPECT_TRUE(reader.open(archive)) << reader.error().toStdString();
    hooks.failed = [&out](const RestoreFailure& f) { out.failures.append(f); };
    hooks.entryStarted = [&out](qsizetype i, const ArchiveEntry&) { out.started.append(i); };
    out.summary = restoreArchive(reader, root, hooks);
    return out;
}

struct stat statOf(const QByteArray& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.constData(), &st), 0) << path.constData();
    return st;
}

// Archives `paths` with the zip run and deletes them, as the deletion panel does.
QByteArray archiveAndDelete(const QList<QByteArray>& paths, const QByteArray& zipFolder) {
    ZipRunSettings s;
    s.zipFolder = QFile::decodeName(zipFolder);
    s.callerWord = QStringLiteral("Duplicates");
    s.volumeKeyOf = [](const QByteArray&) { return QStringLiteral("root"); };
    ZipRunHooks hooks;
    int archived = 0;
    hooks.fileDone = [&](const ZipFileResult& r) {
        EXPECT_TRUE(r.archived) << r.path.constData() << ": " << r.reason.toStdString();
        if (r.archived && ::unlink(r.path.constData()) == 0) {
            ++archived;
        }
    };
    ZipRun run(s, hooks);
    for (const QByteArray& p : paths) {
        run.addFile(p);
    }
    EXPECT_TRUE(run.finish());
    EXPECT_EQ(archived, paths.size());
    return run.archives().value(0);
}

TEST(ArchiveRestore, PutsFilesBackBelowTheRootWithContentModeTimeAndHostileNames) {
    TempTree tree;
    TempTree zips;
    TempTree into;
    const QByteArray names[] = {"docs/report.txt",      "docs/tab\there.txt",
                                "docs/new\nline.txt",   "docs/bytes-\xff\xfe-not-utf8.bin",
                                "other/deep/a b/c.dat", "other/empty"};
    QList<QByteArray> paths;
    QList<QByteArray> contents;
    const std::time_t when = 1234567891;
    for (size_t i = 0; i < std::size(names); ++i) {
        const QByteArray data = i == 5 ? QByteArray() : test::textBytes(3000 + 17 * i, int(i));
        paths.append(tree.file(names[i], data));
        contents.append(data);
        tree.setMode(names[i], i == 1 ? 0600 : 0644);
        tree.setTimes(names[i], when, when);
    }
    const QByteArray zip = archiveAndDelete(paths, zips.root());

    // Restoring into a test root stands in for "/": each file lands at root + its
    // original full path.
    const Outcome out = restore(zip, into.root());
    EXPECT_TRUE(out.summary.complete()) << out.failures.value(0).reason.toStdString();
    EXPECT_EQ(out.summary.restored, 6);
    EXPECT_TRUE(out.failures.isEmpty());
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QByteArray back = into.root() + paths[i];
        SCOPED_TRACE(back.constData());
        EXPECT_EQ(test::readBytes(back).value_or("<missing>"), contents[i]);
        const struct stat st = statOf(back);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, i == 1 ? 0600u : 0644u);
        EXPECT_EQ(st.st_mtim.tv_sec, when);
    }
}

// A volume that cannot keep modes or times (FAT through FUSE answers ENOSYS, others
// EPERM or EOPNOTSUPP): each file keeps its bytes and counts as restored, with a
// warning that says what it lacks. Raised through the platform layer's fault.
TEST(ArchiveRestore, AVolumeThatCannotKeepModesOrTimesKeepsTheBytesWithAWarning) {
    TempTree tree;
    TempTree zips;
    const QByteArray a = tree.file("docs/a.txt", test::textBytes(5000, 1));
    const QByteArray b = tree.file("docs/b.bin", test::randomBytes(700, 2));
    tree.setMode("docs/a.txt", 0644);
    const QByteArray zip = archiveAndDelete({a, b}, zips.root());
    for (const int fault : {ENOSYS, EPERM, EOPNOTSUPP}) {
        SCOPED_TRACE(fault);
        TempTree into;
        platform::failAttributeChanges(fault);
        const auto healed = qScopeGuard([] { platform::failAttributeChanges(0); });
        QList<RestoreFailure> warnings;
        RestoreHooks hooks;
        hooks.warned = [&warnings](const RestoreFailure& w) { warnings.append(w); };
        const Outcome out = restore(zip, into.root(), hooks);
        EXPECT_TRUE(out.summary.complete()) << out.failures.value(0).reason.toStdString();
        EXPECT_EQ(out.summary.restored, 2);
        EXPECT_EQ(out.summary.warnings, 2);
        ASSERT_EQ(warnings.size(), 2);
        EXPECT_EQ(warnings[0].entryName, a.mid(1));
        EXPECT_EQ(warnings[0].reason,
                  QStringLiteral("Restored without its permissions (%1) and its modification "
                                 "time (%1): its volume cannot keep them")
                      .arg(platform::errnoText(fault)));
        EXPECT_EQ(test::readBytes(into.root() + a).value_or("<missing>"), test::textBytes(5000, 1));
        EXPECT_EQ(test::readBytes(into.root() + b).value_or("<missing>"),
                  test::randomBytes(700, 2));
        // Left as private as it was made.
        EXPECT_EQ(statOf(into.root() + a).st_mode & 07777, 0600u);
    }
}

TEST(ArchiveRestore, RefusesNamesThatLeaveTheFolderWithTheExtractionMessage) {
    TempTree tree;
    const QByteArray into = tree.dir("into");
    const QByteArray zip = tree.path("Drive-root-Evil.zip");
    const QByteArray outside = tree.path("x");
    ASSERT_FALSE(tree.exists("x"));
    ASSERT_TRUE(test::craftArchive(zip, {
                                            {"../x", "escape 1"},
                                            {"/etc/diskwell-zip-slip-test", "escape 2"},
                                            {"a/../../x", "escape 3"},
                                            {"ok/./fine.txt", "fine"},
                                            {"ok/..", "escape 4"},
                                        }));
    const Outcome out = restore(zip, into);
    // Nothing written outside the folder: checked first, so that no failed assertion
    // below can skip it.
    EXPECT_FALSE(tree.exists("x"));
    EXPECT_FALSE(QFile::exists(QStringLiteral("/etc/diskwell-zip-slip-test")));
    EXPECT_EQ(out.summary.restored, 1);
    EXPECT_EQ(out.summary.failed, 4);
    EXPECT_FALSE(out.summary.complete());
    ASSERT_EQ(out.failures.size(), 4);
    for (const RestoreFailure& f : out.failures) {
        EXPECT_EQ(f.problem, RestoreProblem::UnsafeName) << f.entryName.constData();
        EXPECT_FALSE(f.reason.isEmpty());
    }
    EXPECT_EQ(extractFailureText(out.failures[0].entryName, zip),
              QStringLiteral("Cannot extract ../x from ") + QFile::decodeName(zip));
    EXPECT_EQ(test::readBytes(into + "/ok/fine.txt").value_or(""), "fine");
}

TEST(ArchiveRestore, NeverFollowsALinkNorOverwritesAnExistingFile) {
    TempTree tree;
    const QByteArray elsewhere = tree.dir("elsewhere");
    const QByteArray into = tree.dir("into");
    tree.symlink("into/home", elsewhere);       // a folder on the way
    tree.file("into/kept.txt", "old content");  // an existing file
    tree.file("elsewhere/target.txt", "target");
    tree.symlink("into/link.txt", elsewhere + "/target.txt");  // a link where a file goes
    tree.symlink("into/dangling.txt", elsewhere + "/made-through-link.txt");
    tree.file("into/notafolder", "a file");
    const QByteArray zip = tree.path("a.zip");
    ASSERT_TRUE(test::craftArchive(zip, {
                                            {"home/ann/a.txt", "through the link"},
                                            {"kept.txt", "new content"},
                                            {"link.txt", "through the link"},
                                            {"dangling.txt", "through the link"},
                                            {"notafolder/b.txt", "b"},
                                            {"sym", "elsewhere", 0120777},
                                            {"fresh/c.txt", "c"},
                                        }));
    const Outcome out = restore(zip, into);
    // Nothing written through a link or over a file: checked first, so that no failed
    // assertion below can skip it.
    EXPECT_FALSE(tree.exists("elsewhere/ann"));
    EXPECT_FALSE(tree.exists("elsewhere/made-through-link.txt"));
    EXPECT_EQ(test::readBytes(tree.path("elsewhere/target.txt")).value_or(""), "target");
    EXPECT_EQ(test::readBytes(into + "/kept.txt").value_or(""), "old content");
    EXPECT_FALSE(tree.exists("into/sym"));
    ASSERT_EQ(out.failures.size(), 6);
    const RestoreProblem expected[] = {RestoreProblem::LinkInPath, RestoreProblem::Exists,
                                       RestoreProblem::Exists,     RestoreProblem::Exists,
                                       RestoreProblem::LinkInPath, RestoreProblem::NotAFile};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(out.failures[i].problem, expected[i]) << out.failures[i].entryName.constData();
        EXPECT_EQ(out.failures[i].index, i);
    }
    EXPECT_TRUE(out.failures[0].reason.contains(QLatin1String("symbolic link")));
    EXPECT_TRUE(out.failures[1].reason.contains(QLatin1String("already exists")));
    EXPECT_EQ(test::readBytes(into + "/fresh/c.txt").value_or(""), "c");
    EXPECT_EQ(out.summary.restored, 1);
}

TEST(ArchiveRestore, AsksForThePasswordOfEncryptedEntriesAndRemembersIt) {
    TempTree tree;
    const QByteArray zip = tree.path("secret.zip");
    ASSERT_TRUE(test::craftArchive(zip, {{"s/one.txt", "one", 0100600, "sesame"},
                                         {"s/two.txt", "two", 0100600, "sesame"},
                                         {"plain.txt", "plain"}}));
    {
        const QByteArray into = tree.dir("given");
        QList<bool> asked;
        RestoreHooks hooks;
        hooks.password = [&](const ArchiveEntry& e, bool retry) -> std::optional<QByteArray> {
            EXPECT_TRUE(e.encrypted);
            asked.append(retry);
            return asked.size() == 1 ? QByteArray("wrong") : QByteArray("sesame");
        };
        const Outcome out = restore(zip, into, hooks);
        EXPECT_TRUE(out.summary.complete());
        // A wrong password, then the right one; the second entry needs no question.
        EXPECT_EQ(asked, (QList<bool>{false, true}));
        EXPECT_EQ(test::readBytes(into + "/s/two.txt").value_or(""), "two");
    }
    {
        const QByteArray into = tree.dir("refused");
        RestoreHooks hooks;
        hooks.password = [](const ArchiveEntry&, bool) { return std::optional<QByteArray>(); };
        const Outcome out = restore(zip, into, hooks);
        EXPECT_FALSE(tree.exists("refused/s/one.txt"));
        ASSERT_EQ(out.failures.size(), 2);
        EXPECT_EQ(out.failures[0].problem, RestoreProblem::NoPassword);
        EXPECT_EQ(test::readBytes(into + "/plain.txt").value_or(""), "plain");
    }
}

TEST(ArchiveRestore, ADamagedEntryIsReportedAsTheLibrarysFailureAndLeavesNoFile) {
    TempTree tree;
    const QByteArray into = tree.dir("into");
    const QByteArray zip = tree.path("bad.zip");
    const QByteArray data = test::textBytes(50000);
    ASSERT_TRUE(test::craftArchive(zip, {{"good.txt", "good"}, {"bad.txt", data}}));
    // Flip bytes in the middle of the second entry's compressed data.
    QFile f(QFile::decodeName(zip));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray all = f.readAll();
    const qsizetype at = all.indexOf("bad.txt") + 7 + 200;
    for (int i = 0; i < 16; ++i) {
        all[at + i] = static_cast<char>(all[at + i] ^ 0x5a);
    }
    f.seek(0);
    f.write(all);
    f.close();

    const Outcome out = restore(zip, into);
    EXPECT_FALSE(tree.exists("into/bad.txt"));
    ASSERT_EQ(out.failures.size(), 1);
    EXPECT_EQ(out.failures[0].entryName, "bad.txt");
    EXPECT_EQ(out.failures[0].problem, RestoreProblem::Library);
    EXPECT_TRUE(out.failures[0].libraryError);
    EXPECT_EQ(test::readBytes(into + "/good.txt").value_or(""), "good");
}

TEST(ArchiveRestore, GivesFilesBackToTheirOwnerWhenRunByTheAdministrator) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root";
    }
    TempTree tree;
    TempTree zips;
    TempTree into;
    const QByteArray file = tree.file("owned.txt", "nobody's");
    ASSERT_EQ(::chown(file.constData(), 65534, 65534), 0);
    const QByteArray zip = archiveAndDelete({file}, zips.root());
    // The folders the restore has to make lie in a folder of the same user.
    ASSERT_EQ(::chown(into.root().constData(), 65534, 65534), 0);
    const Outcome out = restore(zip, into.root());
    ASSERT_TRUE(out.summary.complete());
    const struct stat st = statOf(into.root() + file);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    const QByteArray firstMade = into.root() + file.left(file.indexOf('/', 1));
    EXPECT_EQ(statOf(firstMade).st_uid, 65534u) << firstMade.constData();
}

TEST(ArchiveRestore, AFolderThatCannotBeOpenedIsReportedOnce) {
    TempTree tree;
    const QByteArray zip = tree.path("a.zip");
    ASSERT_TRUE(test::craftArchive(zip, {{"a.txt", "a"}}));
    const Outcome out = restore(zip, tree.path("missing"));
    EXPECT_TRUE(out.summary.error.contains(QLatin1String("No such file or directory")));
    EXPECT_TRUE(out.started.isEmpty());
    EXPECT_FALSE(out.summary.complete());
}

}  // namespace
}  // namespace dw
