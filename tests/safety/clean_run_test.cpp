#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "platform/environment.h"
#include "safety/archive_fixtures.h"
#include "safety/archive_name.h"
#include "safety/archive_reader.h"
#include "safety/clean_run.h"
#include "safety/clean_totals.h"
#include "safety/safe_harbor.h"
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
    Results results;
    QList<qsizetype> started;
    CleanRunHooks hooks = results.hooks();
    hooks.starting = [&](qsizetype i, const QByteArray&) { started.append(i); };
    const CleanRunSummary s = deleteFiles(files, hooks);

    EXPECT_EQ(started, (QList<qsizetype>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(results.eachOnce(files.size()));
    const qint64 linkSize = qint64(target.size());
    EXPECT_EQ(s.doneCount, 4);
    EXPECT_EQ(s.doneBytes, 100 + linkSize + 23 + 1000);
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
    const int status = test::runAsNobody([&] {
        Results results;
        const CleanRunSummary s = deleteFiles(files, results.hooks());
        if (!results.eachOnce(4) || s.doneCount != 2 || s.doneBytes != 4) {
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
    Results results;
    const CleanRunSummary s = trashFiles(files, results.hooks());
    EXPECT_TRUE(s.complete());
    EXPECT_EQ(s.doneBytes, 13 + 10 + 5);
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
    EXPECT_EQ(second.find(more[2])->reason,
              QStringLiteral("not tried: the run stopped at an earlier failure"));
    EXPECT_TRUE(present(more[2]));
}

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

}  // namespace
}  // namespace dw
