#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "platform/environment.h"
#include "platform/file_remover.h"
#include "safety/archive_fixtures.h"
#include "safety/archive_name.h"
#include "safety/archive_reader.h"
#include "safety/clean_run.h"
#include "safety/clean_totals.h"
#include "safety/safe_harbor.h"
#include "support/file_holder.h"
#include "support/loop_volume.h"
#include "support/scoped_env.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::present;
using test::TempTree;

const QDateTime kStamp(QDate(1999, 9, 6), QTime(15, 33));

// Every result of a run, by path.
struct Results {
    QList<CleanFileResult> all;
    std::function<void(const CleanFileResult&)> after;

    CleanRunHooks hooks() {
        CleanRunHooks h;
        h.fileDone = [this](const CleanFileResult& r) {
            all.append(r);
            if (after) {
                after(r);
            }
        };
        return h;
    }
    const CleanFileResult* find(const QByteArray& path) const {
        for (const CleanFileResult& r : all) {
            if (r.path == path) {
                return &r;
            }
        }
        return nullptr;
    }
    // Every index of 0 .. n-1 reported exactly once.
    bool eachOnce(qsizetype n) const {
        QList<int> seen(n, 0);
        for (const CleanFileResult& r : all) {
            if (r.index < 0 || r.index >= n) {
                return false;
            }
            ++seen[r.index];
        }
        return seen == QList<int>(n, 1) && all.size() == n;
    }
};

// ---- totals ---------------------------------------------------------------------------

class CleanTotalsTest : public ::testing::Test {
protected:
    QTemporaryDir config_;
    test::ScopedEnv configDir_{"DISKWELL_CONFIG_DIR", config_.path().toLocal8Bit()};

    static QString stored(const char* name) {
        return SettingsStore().readString(QString::fromLatin1(settings::kDiskwell),
                                          QString::fromLatin1(name), QStringLiteral("<none>"));
    }
    // What the statistics window's "Reset these numbers" writes.
    static void reset() {
        SettingsStore store;
        for (const char* name :
             {settings::kNdelete, settings::kSizeDelete, settings::kNWaste, settings::kSizeWaste,
              settings::kDelDate, settings::kNZip, settings::kSizeZip, settings::kZipDate}) {
            ASSERT_TRUE(store.writeInteger(QString::fromLatin1(settings::kDiskwell),
                                           QString::fromLatin1(name), -1));
        }
    }
};

TEST_F(CleanTotalsTest, RunsAddUpFromNothingAndAfterAResetAndKeepTheFirstDay) {
    const QDate day1(1999, 9, 6);  // day 36409 after 30 December 1899
    const QDate day2(1999, 9, 7);
    const qint64 fiveGiB = 5LL * 1024 * 1024 * 1024;
    for (bool afterReset : {false, true}) {
        if (afterReset) {
            reset();
        }
        ASSERT_TRUE(recordDeleteTotals(3, 3000, 0, 0, day1));
        EXPECT_EQ(stored(settings::kNdelete), QStringLiteral("3"));
        EXPECT_EQ(stored(settings::kSizeDelete), QStringLiteral("3000"));
        EXPECT_EQ(stored(settings::kNWaste), QStringLiteral("0"));
        EXPECT_EQ(stored(settings::kSizeWaste), QStringLiteral("0"));
        EXPECT_EQ(stored(settings::kDelDate), QStringLiteral("36409"));

        ASSERT_TRUE(recordDeleteTotals(2, fiveGiB, 4, 10, day2));
        const CleanTotals t = readCleanTotals();
        EXPECT_EQ(t.Ndelete, 5);
        EXPECT_EQ(t.SizeDelete, 3000 + fiveGiB);
        EXPECT_EQ(t.NWaste, 4);
        EXPECT_EQ(t.SizeWaste, 10);
        EXPECT_EQ(t.DelDate, 36409);
        if (!afterReset) {
            EXPECT_EQ(t.NZip, -1);  // another group is not touched
            EXPECT_EQ(t.ZipDate, -1);
        }

        ASSERT_TRUE(recordZipTotals(7, fiveGiB, day2));
        ASSERT_TRUE(recordZipTotals(1, 1, day1));
        EXPECT_EQ(readCleanTotals().NZip, 8);
        EXPECT_EQ(readCleanTotals().SizeZip, fiveGiB + 1);
        EXPECT_EQ(readCleanTotals().ZipDate, 36410);
    }
}

// ---- the split ------------------------------------------------------------------------

TEST(SafeHarborSplitTest, ProtectedFilesGoAsideWithTheirReasonsTheRestSorted) {
    TempTree t;
    const QByteArray r = platform::shortPath(t.root());
    const QByteArray foldersFile = t.file("folders.txt", r + "/kept/*.*\n");
    SafeHarbor harbor;
    SafeHarbor::Sources s;
    s.foldersFile = QFile::decodeName(foldersFile);
    s.searchPath = {r + "/bin"};
    s.systemFolders = {r + "/sys"};
    for (const char* d : {"kept/deep", "bin", "sys", "free"}) {
        t.dir(d);
    }
    harbor.GetSearchPath(s);
    harbor.setExtensions({QStringLiteral("*.sys")});

    const QList<QByteArray> files = {
        r + "/free/b.txt", r + "/kept/deep/x.txt", r + "/bin/tool",   r + "/free/a.txt",
        r + "/sys/lib.so", r + "/free/DRIVER.SYS", r + "/free/a.txt", r + "/free/\n odd",
    };
    qsizetype calls = 0;
    const SafeHarborSplit split =
        splitBySafeHarbor(files, harbor, [&](qsizetype done) { calls = done; });
    EXPECT_EQ(split.deletable,
              (QList<QByteArray>{r + "/free/\n odd", r + "/free/a.txt", r + "/free/b.txt"}));
    EXPECT_EQ(split.protectedFiles, (QList<QByteArray>{r + "/bin/tool", r + "/free/DRIVER.SYS",
                                                       r + "/kept/deep/x.txt", r + "/sys/lib.so"}));
    EXPECT_EQ(split.reasons, (QList<int>{2, 4, 3, 1}));
    EXPECT_EQ(calls, 7);  // each distinct file once
}

// The split checks every file to act on together with its Safe Harbor check: a run
// handed the split acts only on what that check found, so a folder replaced between
// the split and the run (while the panel waits for its user) leaves every file alone.
TEST(SafeHarborSplitTest, RunsOfASplitActOnlyOnWhatItsCheckFound) {
    enum class Run { Delete, Trash, Zip };
    for (const Run run : {Run::Delete, Run::Trash, Run::Zip}) {
        TempTree t;
        TempTree zips;
        test::ScopedEnv dataHome("XDG_DATA_HOME", t.dir("data"));
        const QByteArray r = platform::shortPath(t.root());
        SafeHarbor harbor;
        SafeHarbor::Sources s;
        s.foldersFile = QFile::decodeName(t.file("folders.txt", r + "/kept/*.*\n"));
        harbor.GetSearchPath(s);
        const QList<QByteArray> files = {t.file("F/a.txt", "the user's a"),
                                         t.file("F/b.txt", "the user's b"), r + "/F/missing.txt"};
        const SafeHarborSplit split = splitBySafeHarbor(files, harbor);
        ASSERT_EQ(split.deletable.size(), 3);
        ASSERT_EQ(split.identities.size(), 3u);
        EXPECT_EQ(split.checkReasons.value(2), QStringLiteral("No such file or directory"));

        ASSERT_EQ(::rename((r + "/F").constData(), (r + "/F.old").constData()), 0);
        t.file("F/a.txt", "another folder's a");
        t.file("F/b.txt", "another folder's b");
        t.file("F/missing.txt", "not there at the check");

        Results results;
        CleanRunSummary summary;
        ZipRunSettings settings;
        settings.zipFolder = QFile::decodeName(zips.root());
        settings.volumeKeyOf = [](const QByteArray&) { return QStringLiteral("root"); };
        switch (run) {
            case Run::Delete:
                summary = deleteFiles(split, results.hooks());
                break;
            case Run::Trash:
                summary = trashFiles(split, results.hooks());
                break;
            case Run::Zip:
                summary = zipFiles(split, settings, results.hooks());
                break;
        }
        EXPECT_EQ(summary.doneCount, 0) << int(run);
        EXPECT_EQ(summary.archivedCount, 0) << int(run);
        EXPECT_EQ(results.find(split.deletable[0])->reason,
                  platform::FileRemover::replacedFolderText())
            << int(run);
        for (const char* name :
             {"F.old/a.txt", "F.old/b.txt", "F/a.txt", "F/b.txt", "F/missing.txt"}) {
            EXPECT_TRUE(t.exists(name)) << name << " " << int(run);
        }
    }
}

// ---- delete runs ----------------------------------------------------------------------

TEST(DeleteRun, DeletesWhatItMayReportsTheRestAndGoesOn) {
    TempTree t;
    const QByteArray r = t.root();
    const QByteArray target = t.fileOfSize("keep/target.bin", 5000);
    t.symlink("linked", r + "/keep");
    const QList<QByteArray> files = {
        t.fileOfSize("a/one.bin", 100),
        t.dir("a/folder"),
        t.symlink("a/link", target),
        r + "/a/missing",
        t.fileOfSize("a/\t-rf \n\xff name ", 23),
        r + "/linked/target.bin",
        t.fileOfSize("b/two.bin", 1000),
    };
    qint64 blocks = 0;  // what the four that go take on the disk, a link's own blocks only
    for (int i : {0, 2, 4, 6}) {
        blocks += test::allocatedBytes(files[i]);
    }
    Results results;
    QList<qsizetype> started;
    CleanRunHooks hooks = results.hooks();
    hooks.starting = [&](qsizetype i, const QByteArray&) { started.append(i); };
    const CleanRunSummary s = deleteFiles(files, hooks);

    EXPECT_EQ(started, (QList<qsizetype>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(results.eachOnce(files.size()));
    EXPECT_EQ(s.doneCount, 4);
    EXPECT_EQ(s.doneBytes, blocks);
    EXPECT_EQ(s.doneSize, 100 + qint64(target.size()) + 23 + 1000);
    EXPECT_FALSE(s.complete());
    for (int i : {0, 2, 4, 6}) {
        EXPECT_TRUE(results.find(files[i])->done) << i;
        EXPECT_FALSE(present(files[i])) << i;
    }
    EXPECT_EQ(results.find(files[1])->reason, QStringLiteral("it is a folder"));
    EXPECT_EQ(results.find(files[3])->reason, QStringLiteral("No such file or directory"));
    EXPECT_EQ(results.find(files[5])->reason,
              QStringLiteral("a folder on its path is a symbolic link"));
    EXPECT_TRUE(present(files[1]));
    EXPECT_TRUE(present(target));
}

TEST(DeleteRun, AFileThatCannotBeDeletedIsReportedAndTheRunGoesOn) {
    TempTree t;
    ASSERT_EQ(::chmod(t.root().constData(), 0755), 0);
    const QList<QByteArray> files = {t.file("locked/a.txt", "a"), t.file("open/b.txt", "bb"),
                                     t.file("locked/c.txt", "c"), t.file("open/d.txt", "dd")};
    t.setMode("locked", 0555);
    t.setMode("open", 0777);
    const qint64 blocks = test::allocatedBytes(files[1]) + test::allocatedBytes(files[3]);
    const int status = test::runAsNobody([&] {
        Results results;
        const CleanRunSummary s = deleteFiles(files, results.hooks());
        if (!results.eachOnce(4) || s.doneCount != 2 || s.doneBytes != blocks) {
            return 1;
        }
        for (int i : {0, 2}) {
            if (results.find(files[i])->done ||
                results.find(files[i])->reason != QLatin1String("Permission denied")) {
                return 2;
            }
        }
        return 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(present(files[0]));
    EXPECT_TRUE(present(files[2]));
    EXPECT_FALSE(present(files[1]));
    EXPECT_FALSE(present(files[3]));
}

// ---- trash runs -----------------------------------------------------------------------

TEST(TrashRun, FilesGoToTheDesktopTrashWithTheirPathsAndTheRunStopsAtAFailure) {
    TempTree t;
    const QByteArray data = t.dir("data");
    test::ScopedEnv dataHome("XDG_DATA_HOME", data);
    const QList<QByteArray> names = {"100% sure.txt", "caf\xc3\xa9 menu", "plain"};
    QList<QByteArray> files;
    for (const QByteArray& n : names) {
        files.append(t.file("docs/" + n, n));
    }
    qint64 blocks = 0;
    for (const QByteArray& f : files) {
        blocks += test::allocatedBytes(f);
    }
    Results results;
    const CleanRunSummary s = trashFiles(files, results.hooks());
    EXPECT_TRUE(s.complete());
    // The bytes emptying the trash of them gives back.
    EXPECT_EQ(s.doneBytes, blocks);
    for (const QByteArray& f : files) {
        EXPECT_FALSE(present(f)) << f.constData();
    }
    EXPECT_EQ(QDir(QFile::decodeName(data + "/Trash/files")).count(), 2u + 3u);

    const test::ProgramRun listed = test::runProgram(QStringLiteral("trash-list"), {}, {});
    if (listed.status == -1) {
        GTEST_SKIP() << "trash-cli is not installed";
    }
    for (const QByteArray& f : files) {
        EXPECT_TRUE(listed.out.contains(" " + f + "\n")) << listed.out.constData();
    }

    // A file that cannot be trashed stops the run; the files after it stay.
    const QList<QByteArray> more = {t.file("docs/first", "1"), t.path("docs/gone"),
                                    t.file("docs/last", "3")};
    Results second;
    const CleanRunSummary stopped = trashFiles(more, second.hooks());
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.doneCount, 1);
    EXPECT_TRUE(second.eachOnce(3));
    EXPECT_FALSE(present(more[0]));
    EXPECT_EQ(second.find(more[1])->reason, QStringLiteral("No such file or directory"));
    EXPECT_EQ(second.find(more[1])->code, platform::RemoveCode::SystemError);
    EXPECT_EQ(second.find(more[2])->reason,
              QStringLiteral("not tried: the run stopped at an earlier failure"));
    EXPECT_TRUE(present(more[2]));
}

TEST(CleanRuns, AFileOfSeveralNamesCountsItsBytesWithTheNameThatLeavesItWithoutAny) {
    struct Case {
        const char* what;
        bool trash;
        QList<QByteArray> names;  // of the file "h" (linked as h2, h3) and "plain"
        bool freesH;              // the bytes counted: h's blocks, plain's blocks
        bool freesPlain;
    };
    const Case cases[] = {
        {"delete one name of three", false, {"h", "plain"}, false, true},
        {"delete two names of three", false, {"h2", "h", "plain"}, false, true},
        {"delete every name", false, {"h3", "h", "plain", "h2"}, true, true},
        {"trash every name", true, {"h", "h2", "h3"}, true, false},
        {"trash one name", true, {"h2"}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempTree t;
        test::ScopedEnv dataHome("XDG_DATA_HOME", t.dir("data"));
        const QByteArray h = t.fileOfSize("docs/h", 1000);
        ASSERT_EQ(::link(h.constData(), t.path("docs/h2").constData()), 0);
        ASSERT_EQ(::link(h.constData(), t.path("docs/h3").constData()), 0);
        const QByteArray plain = t.fileOfSize("docs/plain", 7);
        // What the disk gives back is the blocks: a 7-byte file takes a whole one.
        const qint64 bytes = (c.freesH ? test::allocatedBytes(h) : 0) +
                             (c.freesPlain ? test::allocatedBytes(plain) : 0);
        QList<QByteArray> files;
        for (const QByteArray& n : c.names) {
            files.append(t.path("docs/" + n));
        }
        const CleanRunSummary s = c.trash ? trashFiles(files) : deleteFiles(files);
        EXPECT_TRUE(s.complete());
        EXPECT_EQ(s.doneCount, c.names.size());
        EXPECT_EQ(s.doneBytes, bytes);
        EXPECT_TRUE(s.doneBytesExact);
    }
}

// ---- a folder swapped during a run -----------------------------------------------------

// A folder F of the user's files, renamed away to F.old in the middle of a run and
// replaced by another folder (a copy with files of the same names, or a link to one).
struct SwappedFolder {
    enum class Kind { Copy, Link };
    static constexpr int kFiles = 12;
    static constexpr int kSwapAt = 5;  // swapped just before this file is acted on

    TempTree t;
    Kind kind;
    QList<QByteArray> files;

    explicit SwappedFolder(Kind k) : kind(k) {
        for (int i = 0; i < kFiles; ++i) {
            files.append(t.file("F/" + name(i), original(i)));
        }
    }
    static QByteArray name(int i) { return "f" + QByteArray::number(i) + ".txt"; }
    static QByteArray original(int i) {
        return "the user's file " + QByteArray::number(i) + test::textBytes(3000, i);
    }
    void swap() {
        const QByteArray r = t.root();
        ASSERT_EQ(::rename((r + "/F").constData(), (r + "/F.old").constData()), 0);
        const QByteArray other = kind == Kind::Copy ? QByteArray("F/") : QByteArray("other/");
        for (int i = 0; i < kFiles; ++i) {
            t.file(other + name(i), "another folder's file");
        }
        if (kind == Kind::Link) {
            t.symlink("F", r + "/other");
        }
    }
    CleanRunHooks hooks(Results& results) {
        CleanRunHooks h = results.hooks();
        h.checked = [this](qsizetype i, const QByteArray&) {
            if (i == kSwapAt) {
                swap();
            }
        };
        return h;
    }
    // The files the run reports done are exactly those gone from F.old; every other
    // file of the user is still there as it was, and the other folder is untouched.
    void expectOnlyReportedFilesGone(const Results& results, const CleanRunSummary& s,
                                     int expectedDone = kSwapAt) const {
        qint64 done = 0;
        for (int i = 0; i < kFiles; ++i) {
            const CleanFileResult* r = results.find(files[i]);
            ASSERT_NE(r, nullptr) << i;
            const bool there = t.exists("F.old/" + name(i));
            EXPECT_EQ(there, !r->done) << i << " " << r->reason.toStdString();
            if (there) {
                EXPECT_EQ(test::readBytes(t.path("F.old/" + name(i))), original(i)) << i;
            } else {
                ++done;
            }
            if (i >= kSwapAt) {
                EXPECT_FALSE(r->done) << i;
                EXPECT_FALSE(r->reason.isEmpty()) << i;
            }
            const QByteArray other = kind == Kind::Copy ? "F/" : "other/";
            EXPECT_EQ(test::readBytes(t.path(other + name(i))), QByteArray("another folder's file"))
                << i;
        }
        EXPECT_EQ(s.doneCount, done);
        EXPECT_EQ(done, expectedDone);
    }
};

class SwappedDuringARun : public ::testing::TestWithParam<SwappedFolder::Kind> {};

TEST_P(SwappedDuringARun, ADeleteRunDeletesOnlyTheCheckedFiles) {
    SwappedFolder f(GetParam());
    Results results;
    const CleanRunSummary s = deleteFiles(f.files, f.hooks(results));
    f.expectOnlyReportedFilesGone(results, s);
    const QString expected = GetParam() == SwappedFolder::Kind::Copy
                                 ? platform::FileRemover::replacedFolderText()
                                 : QStringLiteral("a folder on its path is a symbolic link");
    EXPECT_EQ(results.find(f.files[SwappedFolder::kSwapAt])->reason, expected);
}

TEST_P(SwappedDuringARun, ATrashRunTrashesOnlyTheCheckedFiles) {
    SwappedFolder f(GetParam());
    test::ScopedEnv dataHome("XDG_DATA_HOME", f.t.dir("data"));
    Results results;
    const CleanRunSummary s = trashFiles(f.files, f.hooks(results));
    f.expectOnlyReportedFilesGone(results, s);
    // What reached the trash is the user's own files, nothing of the other folder.
    for (int i = 0; i < SwappedFolder::kSwapAt; ++i) {
        EXPECT_EQ(test::readBytes(f.t.path("data/Trash/files/" + SwappedFolder::name(i))),
                  SwappedFolder::original(i))
            << i;
    }
    EXPECT_EQ(QDir(QFile::decodeName(f.t.path("data/Trash/files"))).count(),
              2u + SwappedFolder::kSwapAt);
}

// A file whose folder was replaced, or whose path gained a link, after its check is that
// file's fault, not the trash's: the run reports it and still trashes a file of another
// folder after it, as a folder's trash run does. (Such a run used to stop at the link.)
TEST_P(SwappedDuringARun, ATrashRunGoesOnPastTheSwappedFolderToTheNextFolder) {
    SwappedFolder f(GetParam());
    test::ScopedEnv dataHome("XDG_DATA_HOME", f.t.dir("data"));
    QList<QByteArray> files = f.files;
    const QByteArray later = f.t.file("G/later \n.txt", "a file after the swap");
    files.append(later);
    Results results;
    const CleanRunSummary s = trashFiles(files, f.hooks(results));
    EXPECT_FALSE(s.stopped);
    EXPECT_TRUE(results.eachOnce(files.size()));
    const platform::RemoveCode code = GetParam() == SwappedFolder::Kind::Copy
                                          ? platform::RemoveCode::ReplacedFolder
                                          : platform::RemoveCode::LinkOnPath;
    for (int i = SwappedFolder::kSwapAt; i < SwappedFolder::kFiles; ++i) {
        EXPECT_EQ(results.find(f.files[i])->code, code) << i;
    }
    ASSERT_NE(results.find(later), nullptr);
    EXPECT_TRUE(results.find(later)->done) << results.find(later)->reason.toStdString();
    EXPECT_FALSE(present(later));
    EXPECT_EQ(test::readBytes(f.t.path("data/Trash/files/later \n.txt")),
              QByteArray("a file after the swap"));
    EXPECT_EQ(s.doneCount, SwappedFolder::kSwapAt + 1);
}

TEST_P(SwappedDuringARun, AZipRunArchivesAndDeletesOnlyTheCheckedFiles) {
    SwappedFolder f(GetParam());
    TempTree zips;
    Results results;
    ZipRunSettings settings;
    settings.zipFolder = QFile::decodeName(zips.root());
    settings.callerWord = QStringLiteral("TempClean");
    settings.stamp = kStamp;
    settings.volumeKeyOf = [](const QByteArray&) { return QStringLiteral("root"); };
    // Files 0 to 2 are committed and deleted before the swap; 3 and 4 are read before it
    // but read back only after it, through the folder now at F.
    settings.minBatchFiles = 3;
    const CleanRunSummary s = zipFiles(f.files, settings, f.hooks(results));
    ASSERT_EQ(s.archives.size(), 1);
    EXPECT_EQ(s.archivedCount, 3);
    f.expectOnlyReportedFilesGone(results, s, 3);
    // Every entry holds the user's file as it was, never the other folder's.
    ArchiveReader reader;
    ASSERT_TRUE(reader.open(s.archives.front()));
    EXPECT_GE(reader.entries().size(), 3);
    for (qsizetype e = 0; e < reader.entries().size(); ++e) {
        const QByteArray name = reader.entries()[e].name;
        const qsizetype i = f.files.indexOf("/" + name);
        ASSERT_GE(i, 0) << name.constData();
        auto stream = reader.openEntry(e, nullptr, nullptr);
        ASSERT_TRUE(stream);
        QByteArray data;
        char chunk[4096];
        qint64 n;
        while ((n = stream->read(chunk, sizeof chunk)) > 0) {
            data.append(chunk, n);
        }
        EXPECT_EQ(data, SwappedFolder::original(int(i))) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(CopyOrLink, SwappedDuringARun,
                         ::testing::Values(SwappedFolder::Kind::Copy, SwappedFolder::Kind::Link),
                         [](const ::testing::TestParamInfo<SwappedFolder::Kind>& info) {
                             return std::string(
                                 info.param == SwappedFolder::Kind::Copy ? "ByACopy" : "ByALink");
                         });

// ---- zip runs -------------------------------------------------------------------------

ZipRunSettings zipSettings(const QByteArray& folder) {
    ZipRunSettings s;
    s.zipFolder = QFile::decodeName(folder);
    s.callerWord = QStringLiteral("TempClean");
    s.stamp = kStamp;
    // Two fake volumes: the files below "/vol2/" of the tree, and the rest.
    s.volumeKeyOf = [](const QByteArray& path) {
        return path.contains("/vol2/") ? QStringLiteral("mnt_two") : QStringLiteral("root");
    };
    s.minBatchFiles = 2;
    return s;
}

bool archiveHolds(const QByteArray& archive, const QByteArray& entry) {
    ArchiveReader reader;
    if (!reader.open(archive)) {
        return false;
    }
    for (const ArchiveEntry& e : reader.entries()) {
        if (e.name == entry) {
            return true;
        }
    }
    return false;
}

TEST(ZipThenDeleteRun, ArchivesPerVolumeAndDeletesOnlyWhatReadsBackFromDisk) {
    TempTree t;
    TempTree zips;
    const QList<QByteArray> files = {
        t.file("a/x.tmp", test::textBytes(20000)),
        t.file("vol2/b/y.tmp", test::randomBytes(3000)),
        t.file("c/z.tmp", "zzz"),
        t.dir("c/folder"),
        t.symlink("c/link", t.path("a/x.tmp")),
        t.file("c/\n odd\xff name", "odd"),
    };
    Results results;
    // When a file is reported deleted, its copy is already in the archive on disk.
    results.after = [&](const CleanFileResult& r) {
        if (r.done) {
            EXPECT_TRUE(archiveHolds(r.archive, storedEntryName(r.path))) << r.path.constData();
        }
    };
    const CleanRunSummary s = zipFiles(files, zipSettings(zips.root()), results.hooks());
    EXPECT_TRUE(results.eachOnce(files.size()));
    EXPECT_EQ(s.doneCount, 4);
    EXPECT_EQ(s.archivedCount, 4);
    EXPECT_EQ(s.archivedBytes, 20000 + 3000 + 3 + 3);
    EXPECT_FALSE(s.ended);
    const QByteArray rootArchive =
        QFile::encodeName(archiveName(QStringLiteral("TempClean"), QStringLiteral("root"), kStamp,
                                      QFile::decodeName(zips.root())));
    const QByteArray twoArchive =
        QFile::encodeName(archiveName(QStringLiteral("TempClean"), QStringLiteral("mnt_two"),
                                      kStamp, QFile::decodeName(zips.root())));
    EXPECT_EQ(s.archives, (QList<QByteArray>{rootArchive, twoArchive}));
    for (int i : {0, 1, 2, 5}) {
        EXPECT_FALSE(present(files[i])) << i;
    }
    EXPECT_TRUE(present(files[3]));
    EXPECT_TRUE(present(files[4]));  // a link is not archived, so it stays
    EXPECT_FALSE(results.find(files[4])->archived);
    EXPECT_EQ(results.find(files[3])->reason, QStringLiteral("it is a folder"));

    const test::PythonView root = test::pythonZipView(rootArchive);
    ASSERT_TRUE(root.ok) << root.failure.toStdString();
    EXPECT_TRUE(root.crcOk);
    QList<QByteArray> names;
    for (const test::PythonEntry& e : root.entries) {
        names.append(e.name);
    }
    std::sort(names.begin(), names.end());
    QList<QByteArray> expected = {storedEntryName(files[0]), storedEntryName(files[2]),
                                  storedEntryName(files[5])};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(test::pythonZipView(twoArchive).entries.size(), 1);
    const test::ProgramRun unzip = test::runProgram(
        QStringLiteral("unzip"), {QStringLiteral("-t"), QFile::decodeName(twoArchive)});
    if (unzip.status != -1) {
        EXPECT_EQ(unzip.status, 0) << unzip.out.constData();
    }
}

TEST(ZipThenDeleteRun, AbortKeepsTheFileBeingCompressedAndEveryFileAfterIt) {
    TempTree t;
    TempTree zips;
    QList<QByteArray> files;
    for (int i = 0; i < 6; ++i) {
        files.append(t.file("f/" + QByteArray::number(i) + ".bin", test::randomBytes(2000, i)));
    }
    Results results;
    qsizetype current = -1;
    CleanRunHooks hooks = results.hooks();
    hooks.starting = [&](qsizetype i, const QByteArray&) { current = i; };
    // Abort is pressed while the fourth file is being compressed.
    hooks.progress = [&](int) { return current == 3; };
    const CleanRunSummary s = zipFiles(files, zipSettings(zips.root()), hooks);
    EXPECT_TRUE(s.aborted);
    EXPECT_TRUE(results.eachOnce(6));
    EXPECT_EQ(s.doneCount, 3);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(present(files[i]), i >= 3) << i;
        EXPECT_EQ(results.find(files[i])->done, i < 3) << i;
        EXPECT_EQ(results.find(files[i])->aborted, i >= 3) << i;
    }
    ASSERT_EQ(s.archives.size(), 1);
    const test::PythonView view = test::pythonZipView(s.archives.front());
    EXPECT_EQ(view.entries.size(), 3);
    EXPECT_TRUE(view.crcOk);
}

TEST(ZipThenDeleteRun, AnArchiveThatCannotBeWrittenEndsTheRunAndEveryFileStays) {
    TempTree t;
    const QList<QByteArray> files = {t.file("a.txt", "a"), t.file("b.txt", "b"),
                                     t.file("c.txt", "c")};
    Results results;
    const CleanRunSummary s =
        zipFiles(files, zipSettings(t.path("no/such/folder")), results.hooks());
    EXPECT_TRUE(s.ended);
    EXPECT_FALSE(s.error.isEmpty());
    EXPECT_EQ(s.doneCount, 0);
    EXPECT_TRUE(results.eachOnce(3));
    for (const QByteArray& f : files) {
        EXPECT_TRUE(present(f));
        EXPECT_FALSE(results.find(f)->reason.isEmpty());
    }
}

TEST(ZipThenDeleteRun, AFileChangedBeforeItsBatchIsWrittenStays) {
    TempTree t;
    TempTree zips;
    const QList<QByteArray> files = {t.file("a.txt", "original"), t.file("b.txt", "b")};
    Results results;
    CleanRunHooks hooks = results.hooks();
    hooks.starting = [&](qsizetype i, const QByteArray&) {
        if (i == 1) {
            t.file("a.txt", "changed after it was read");
        }
    };
    ZipRunSettings settings = zipSettings(zips.root());
    settings.minBatchFiles = 100;
    const CleanRunSummary s = zipFiles(files, settings, hooks);
    EXPECT_EQ(s.doneCount, 1);
    EXPECT_TRUE(present(files[0]));
    EXPECT_EQ(test::readBytes(files[0]).value_or(""), QByteArray("changed after it was read"));
    EXPECT_FALSE(results.find(files[0])->done);
    EXPECT_FALSE(present(files[1]));
}

// ---- what a run refuses ----------------------------------------------------------------

// A file another program can write is kept by every run, and the run goes on with the
// next file: a shared writable map changes the bytes without telling by size or time.
TEST(CleanRuns, KeepAFileAnotherProgramHasOpenForWritingOrMappedWritable) {
    enum class Run { Delete, Trash, Zip };
    struct Case {
        const char* what;
        Run run;
        test::FileHolder::Hold hold;
    };
    const Case cases[] = {
        {"delete, open for writing", Run::Delete, test::FileHolder::Hold::Writing},
        {"delete, mapped writable", Run::Delete, test::FileHolder::Hold::SharedMap},
        {"trash, open for writing", Run::Trash, test::FileHolder::Hold::Writing},
        {"trash, mapped writable", Run::Trash, test::FileHolder::Hold::SharedMap},
        {"zip, open for writing", Run::Zip, test::FileHolder::Hold::Writing},
        {"zip, mapped writable", Run::Zip, test::FileHolder::Hold::SharedMap},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempTree t;
        TempTree zips;
        test::ScopedEnv dataHome("XDG_DATA_HOME", t.dir("data"));
        const QByteArray held = t.file("docs/held.db", test::randomBytes(5000, 1));
        const QByteArray free = t.file("docs/free.txt", "free");
        test::FileHolder holder(held, c.hold);
        ASSERT_TRUE(holder.ready());
        Results results;
        const QList<QByteArray> files = {held, free};
        const CleanRunSummary s = c.run == Run::Delete ? deleteFiles(files, results.hooks())
                                  : c.run == Run::Trash
                                      ? trashFiles(files, results.hooks())
                                      : zipFiles(files, zipSettings(zips.root()), results.hooks());
        EXPECT_TRUE(results.eachOnce(2));
        EXPECT_EQ(s.doneCount, 1);
        EXPECT_FALSE(s.stopped);
        ASSERT_NE(results.find(held), nullptr);
        EXPECT_FALSE(results.find(held)->done);
        EXPECT_FALSE(results.find(held)->archived);
        EXPECT_EQ(results.find(held)->reason, QStringLiteral("it is in use by another program"));
        EXPECT_EQ(results.find(held)->code, platform::RemoveCode::InUse);
        EXPECT_TRUE(present(held));
        EXPECT_FALSE(present(free));
        if (c.run == Run::Zip) {
            ASSERT_EQ(s.archives.size(), 1);
            EXPECT_FALSE(archiveHolds(s.archives.front(), storedEntryName(held)));
        }
    }
}

// A program that takes a file for writing after it was archived and read back, just
// before its original is deleted: the archived copy may already be stale, so the file
// stays (its copy is in the archive, and said so).
TEST(ZipThenDeleteRun, AFileTakenForWritingAfterItsReadBackStays) {
    for (const test::FileHolder::Hold hold :
         {test::FileHolder::Hold::Writing, test::FileHolder::Hold::SharedMap}) {
        TempTree t;
        TempTree zips;
        const QList<QByteArray> files = {t.file("a.txt", "a"),
                                         t.file("b.db", test::randomBytes(3000, 2))};
        std::unique_ptr<test::FileHolder> holder;
        Results results;
        // The batch's files are deleted in order, each reported as it goes.
        results.after = [&](const CleanFileResult& r) {
            if (r.path == files[0]) {
                holder = std::make_unique<test::FileHolder>(files[1], hold);
            }
        };
        ZipRunSettings settings = zipSettings(zips.root());
        settings.minBatchFiles = 100;
        const CleanRunSummary s = zipFiles(files, settings, results.hooks());
        ASSERT_TRUE(holder && holder->ready());
        EXPECT_EQ(s.doneCount, 1);
        EXPECT_FALSE(present(files[0]));
        EXPECT_TRUE(present(files[1]));
        EXPECT_TRUE(results.find(files[1])->archived);
        EXPECT_FALSE(results.find(files[1])->done);
        EXPECT_EQ(results.find(files[1])->code, platform::RemoveCode::InUse);
    }
}

// A FIFO and a device node among the files of an archive run are refused by their type,
// never opened (opening some devices has effects); a file named with a trailing "/" is
// refused as `rm` refuses it.
TEST(ZipThenDeleteRun, RefusesSpecialFilesWithoutOpeningThemAndFilesWrittenAsFolders) {
    TempTree t;
    TempTree zips;
    const QByteArray pipe = t.fifo("d/pipe");
    // A device node needs the right to make one; without it the FIFO stands alone.
    const QByteArray device = t.path("d/null-device");
    const bool haveDevice = ::mknod(device.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    const QByteArray plain = t.file("d/plain.txt", "plain");
    const QByteArray slashed = t.file("d/slashed.txt", "kept") + "/";

    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, t.path("d").constData(), IN_OPEN), 0);

    Results results;
    ZipRunSettings settings = zipSettings(zips.root());
    QList<QByteArray> files = {pipe, plain, slashed};
    if (haveDevice) {
        files.append(device);
    }
    const CleanRunSummary s = zipFiles(files, settings, results.hooks());
    EXPECT_EQ(s.doneCount, 1);
    EXPECT_EQ(results.find(pipe)->reason, QStringLiteral("It is not a regular file"));
    if (haveDevice) {
        EXPECT_EQ(results.find(device)->reason, QStringLiteral("It is not a regular file"));
    }
    EXPECT_EQ(results.find(slashed)->reason, QStringLiteral("Not a directory"));
    EXPECT_TRUE(t.exists("d/slashed.txt"));
    EXPECT_FALSE(t.exists("d/plain.txt"));

    QList<QByteArray> opened;
    alignas(inotify_event) char buffer[8192];
    ssize_t n;
    while ((n = ::read(watch, buffer, sizeof buffer)) > 0) {
        for (char* p = buffer; p < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            opened.append(QByteArray(event->name));
            p += sizeof(inotify_event) + event->len;
        }
    }
    ::close(watch);
    EXPECT_TRUE(opened.contains("plain.txt"));
    EXPECT_FALSE(opened.contains("pipe"));
    EXPECT_FALSE(opened.contains("null-device"));
    EXPECT_FALSE(opened.contains("slashed.txt"));

    // A delete run refuses the file written as a folder too.
    Results deleted;
    const CleanRunSummary d = deleteFiles({slashed}, deleted.hooks());
    EXPECT_EQ(d.doneCount, 0);
    EXPECT_EQ(deleted.find(slashed)->reason, QStringLiteral("Not a directory"));
    EXPECT_TRUE(t.exists("d/slashed.txt"));
}

// ---- the bytes a run reports against what the volume gains ----------------------------

// On btrfs and xfs copies may share blocks: a reflinked copy frees nothing, one sharing
// all but its middle frees the middle, a real copy and a sparse file their own blocks,
// and one name of a hard-linked file nothing. Every run's figure is what statvfs says the
// volume got back; a trash run's is what emptying the trash gives back.
TEST(CleanRuns, TheBytesReportedAreWhatTheVolumeGetsBack) {
    constexpr qint64 kMiB = 1024 * 1024;
    enum class Run { Delete, Trash, Zip };
    for (const auto& [type, megabytes] :
         {std::pair{QStringLiteral("btrfs"), 128}, std::pair{QStringLiteral("xfs"), 320}}) {
        for (const Run run : {Run::Delete, Run::Trash, Run::Zip}) {
            SCOPED_TRACE(type.toStdString() + " run " + std::to_string(int(run)));
            TempTree t;
            test::LoopVolume volume(t.root(), type, megabytes);
            if (!volume.ok()) {
                GTEST_SKIP() << volume.whyNot().toStdString();
            }
            test::ScopedEnv dataHome("XDG_DATA_HOME", t.dir("data"));
            volume.randomFile("original", 4 * kMiB);
            volume.copy("original", "copy");
            ASSERT_TRUE(volume.reflink("original", "reflink"));
            ASSERT_TRUE(volume.reflink("original", "partly"));
            volume.overwrite("partly", kMiB, kMiB);
            volume.sparseFile("sparse", 32 * kMiB);
            volume.randomFile("linked", kMiB);
            ASSERT_EQ(
                ::link(volume.path("linked").constData(), volume.path("other-name").constData()),
                0);
            const QList<QByteArray> files = {volume.path("copy"), volume.path("reflink"),
                                             volume.path("partly"), volume.path("sparse"),
                                             volume.path("linked")};
            const qint64 expected = 4 * kMiB + 0 + kMiB + 4096 + 0;
            const qint64 before = volume.available();
            CleanRunSummary s;
            switch (run) {
                case Run::Delete:
                    s = deleteFiles(files);
                    break;
                case Run::Trash:
                    s = trashFiles(files);
                    break;
                case Run::Zip: {
                    ASSERT_EQ(::mkdir(volume.path("zips").constData(), 0755), 0);
                    ZipRunSettings settings;
                    settings.zipFolder = QFile::decodeName(volume.path("zips"));
                    settings.callerWord = QStringLiteral("Duplicates");
                    s = zipFiles(files, settings);
                    break;
                }
            }
            ASSERT_TRUE(s.complete()) << s.error.toStdString();
            EXPECT_TRUE(s.doneBytesExact);
            EXPECT_EQ(s.doneBytes, expected);
            const qint64 gained = volume.available() - before;
            if (run == Run::Trash) {
                // Nothing comes back while the files wait in the trash (its own records
                // take a few blocks); emptying it gives back what the run reported.
                EXPECT_LE(gained, 0);
                const qint64 inTrash = volume.available();
                const QDir trashed(QFile::decodeName(volume.path(".Trash-0/files")));
                for (const QString& name : trashed.entryList(QDir::Files | QDir::Hidden)) {
                    ASSERT_TRUE(QFile::remove(trashed.filePath(name))) << name.toStdString();
                }
                EXPECT_EQ(volume.available() - inTrash, s.doneBytes);
            } else if (run == Run::Zip) {
                EXPECT_GT(s.archivesOnDisk, 0);
                EXPECT_EQ(gained, s.zipSavings());
            } else {
                EXPECT_EQ(gained, s.doneBytes);
            }
        }
    }
}

}  // namespace
}  // namespace dw
