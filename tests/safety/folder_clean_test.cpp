#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <dirent.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>

#include "platform/environment.h"
#include "platform/file_remover.h"
#include "platform/paths.h"
#include "safety/archive_fixtures.h"
#include "safety/folder_clean.h"
#include "safety/safe_harbor.h"
#include "support/scoped_env.h"
#include "support/scoped_mount.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::present;
using test::TempTree;

const QDateTime kStamp(QDate(1999, 9, 6), QTime(15, 33));

FolderCleanSettings settingsFor(FolderCleanMode mode, const QByteArray& zipFolder = {}) {
    FolderCleanSettings s;
    s.mode = mode;
    s.zip.zipFolder = QFile::decodeName(zipFolder);
    s.zip.callerWord = QStringLiteral("FolderClean");
    s.zip.stamp = kStamp;
    s.zip.volumeKeyOf = [](const QByteArray&) { return QStringLiteral("root"); };
    return s;
}

FolderCleanHooks yesToAll() {
    FolderCleanHooks h;
    h.ask = [](FileAttribute, const QByteArray&) { return AttributeAnswer::Yes; };
    return h;
}

const KeptEntry* keptEntry(const FolderCleanSummary& s, const QByteArray& path) {
    for (const KeptEntry& k : s.kept) {
        if (k.path == path) {
            return &k;
        }
    }
    return nullptr;
}

// Entries of a folder, whatever bytes their names hold.
int entriesIn(const QByteArray& folder) {
    DIR* dir = ::opendir(folder.constData());
    if (!dir) {
        return -1;
    }
    int n = 0;
    while (const dirent* e = ::readdir(dir)) {
        n += (qstrcmp(e->d_name, ".") != 0 && qstrcmp(e->d_name, "..") != 0) ? 1 : 0;
    }
    ::closedir(dir);
    return n;
}

// Unmounts what a test mounted, however the test ends.
struct Mounted {
    QByteArray at;
    bool ok = false;
    explicit Mounted(const QByteArray& where, const char* options = "size=256k") : at(where) {
        ok = ::mount("tmpfs", at.constData(), "tmpfs", 0, options) == 0;
    }
    ~Mounted() {
        if (ok) {
            ::umount2(at.constData(), MNT_DETACH);
        }
    }
};

// A folder "F" with files of every kind, and things outside it that links inside point
// to.
struct Fixture {
    TempTree t;
    QByteArray folder;
    QByteArray outsideFile;
    Fixture() {
        outsideFile = t.file("outside/precious.txt", "must stay");
        t.file("outside/dir/inner.txt", "must stay too");
        folder = t.dir("F");
        t.file("F/a.txt", "aaaa");
        t.file("F/sub/b.txt", "bb");
        t.file(QByteArray("F/sub/deeper/tab\tnew\nline \xff.bin"), "odd name");
        t.dir("F/empty");
        t.symlink("F/to-file", outsideFile);
        t.symlink("F/sub/to-dir", t.path("outside/dir"));
        t.symlink("F/sub/dangling", t.path("nowhere"));
    }
    void expectOutsideUntouched() const {
        EXPECT_EQ(test::readBytes(outsideFile), QByteArray("must stay"));
        EXPECT_EQ(test::readBytes(t.path("outside/dir/inner.txt")), QByteArray("must stay too"));
    }
};

TEST(FolderClean, DeleteAndTrashRemoveTheWholeTreeLinksAsLinksAndCountWhatWent) {
    for (const FolderCleanMode mode : {FolderCleanMode::Delete, FolderCleanMode::Trash}) {
        Fixture f;
        test::ScopedEnv dataHome("XDG_DATA_HOME", f.t.dir("data"));
        // The blocks the three files and three links take: what their going gives back.
        qint64 blocks = 0;
        for (const char* rel : {"F/a.txt", "F/sub/b.txt", "F/sub/deeper/tab\tnew\nline \xff.bin",
                                "F/to-file", "F/sub/to-dir", "F/sub/dangling"}) {
            blocks += test::allocatedBytes(f.t.path(rel));
        }
        const FolderCleanSummary s = cleanFolder(f.folder, settingsFor(mode), yesToAll());
        EXPECT_FALSE(s.refused) << s.refusal.toStdString();
        EXPECT_TRUE(s.kept.isEmpty())
            << s.kept.value(0).path.toStdString() << ": " << s.kept.value(0).reason.toStdString();
        EXPECT_TRUE(s.folderRemoved);
        EXPECT_FALSE(present(f.folder));
        EXPECT_EQ(s.doneCount, 6);  // three files and three links
        EXPECT_EQ(s.doneBytes, blocks);
        EXPECT_TRUE(s.doneBytesExact);
        EXPECT_EQ(s.foldersRemoved, 4);
        f.expectOutsideUntouched();
        if (mode == FolderCleanMode::Trash) {
            EXPECT_EQ(entriesIn(f.t.path("data/Trash/files")), 6);
        }
    }
}

// Hard links: a file frees its bytes with the last of its names, so one with a name
// outside the folder, or a name kept inside it, frees nothing, and one whose names all
// lie inside counts once.
TEST(FolderClean, AFileOfSeveralNamesFreesItsBytesOnlyWhenItsLastNameGoes) {
    for (const FolderCleanMode mode :
         {FolderCleanMode::Delete, FolderCleanMode::Trash, FolderCleanMode::Zip}) {
        SCOPED_TRACE(int(mode));
        TempTree t;
        TempTree zips;
        test::ScopedEnv dataHome("XDG_DATA_HOME", t.dir("data"));
        const QByteArray folder = t.dir("F");
        t.dir("F/sub/deep");
        const auto link = [&](const char* from, const char* to) {
            ASSERT_EQ(::link(t.path(from).constData(), t.path(to).constData()), 0) << to;
        };
        t.file("F/both-inside", test::textBytes(10, 1));
        link("F/both-inside", "F/sub/both-inside");
        const QByteArray shared = t.file("outside/shared", test::textBytes(100, 2));
        link("outside/shared", "F/one-inside");
        t.file("F/single", test::textBytes(1000, 3));
        t.file("F/three", test::textBytes(7, 4));
        link("F/three", "F/sub/three");
        link("F/three", "F/sub/deep/three");
        t.file("F/.kept", test::textBytes(20, 5));
        link("F/.kept", "F/sub/kept-twin");
        FolderCleanSettings settings = settingsFor(mode, zips.root());
        settings.zip.minBatchFiles = 1;
        FolderCleanHooks hooks;
        hooks.ask = [](FileAttribute attribute, const QByteArray&) {
            return attribute == FileAttribute::Hidden ? AttributeAnswer::Keep
                                                      : AttributeAnswer::Yes;
        };
        // The files whose every name goes: their blocks come back, the others' do not.
        const qint64 blocks = test::allocatedBytes(t.path("F/both-inside")) +
                              test::allocatedBytes(t.path("F/single")) +
                              test::allocatedBytes(t.path("F/three"));
        const FolderCleanSummary s = cleanFolder(folder, settings, hooks);
        EXPECT_FALSE(s.refused) << s.refusal.toStdString();
        EXPECT_EQ(s.doneCount, 8);
        EXPECT_EQ(s.doneBytes, blocks);
        if (mode == FolderCleanMode::Zip) {
            EXPECT_EQ(s.archivedBytes, 10 + 10 + 100 + 1000 + 7 * 3 + 20);
        }
        ASSERT_EQ(s.kept.size(), 1);
        EXPECT_EQ(s.kept[0].path, t.path("F/.kept"));
        EXPECT_EQ(test::readBytes(shared), test::textBytes(100, 2));
        EXPECT_FALSE(present(t.path("F/one-inside")));
        EXPECT_FALSE(present(t.path("F/sub")));
    }
}

TEST(FolderClean, RefusesWhatMayNeverBeRemovedAsAWhole) {
    TempTree t;
    const QByteArray real = t.dir("real");
    t.file("real/x.txt", "x");
    const QByteArray link = t.symlink("link", real);
    const QByteArray mountPoint = t.dir("mnt");
    Mounted mounted(mountPoint);
    using platform::RemoveCode;
    const struct {
        QByteArray folder;
        const char* reason;
        RemoveCode code;
    } cases[] = {
        {"/", "it is a system folder", RemoveCode::SystemFolder},
        {"/usr", "it is a system folder", RemoveCode::SystemFolder},
        {"/usr/", "it is a system folder", RemoveCode::SystemFolder},
        {platform::homeFolder(), "it is a system folder", RemoveCode::SystemFolder},
        {link, "it is a symbolic link", RemoveCode::IsLink},
        {link + "/", "it is a symbolic link", RemoveCode::IsLink},
        {link + "/sub", "a folder on its path is a symbolic link", RemoveCode::LinkOnPath},
        {t.file("plain.txt", "p"), "it is not a folder", RemoveCode::NotFolder},
        {t.path("missing"), "No such file or directory", RemoveCode::SystemError},
        {"relative/folder", "its path is not absolute", RemoveCode::NotAbsolute},
        {real + "/../real", "its path holds \"..\"", RemoveCode::HoldsDotDot},
    };
    for (const auto& c : cases) {
        const FolderCleanSummary s =
            cleanFolder(c.folder, settingsFor(FolderCleanMode::Delete), yesToAll());
        EXPECT_TRUE(s.refused) << c.folder.toStdString();
        EXPECT_EQ(s.refusal, QLatin1String(c.reason)) << c.folder.toStdString();
        EXPECT_EQ(s.refusalCode, c.code) << c.folder.toStdString();
        EXPECT_EQ(folderRefusal(c.folder), QLatin1String(c.reason)) << c.folder.toStdString();
        EXPECT_EQ(folderRefusalCode(c.folder), c.code) << c.folder.toStdString();
    }
    if (mounted.ok) {
        // The code the windows test before they offer to delete a folder.
        EXPECT_EQ(folderRefusalCode(mountPoint), RemoveCode::MountPoint);
        EXPECT_EQ(folderRefusal(mountPoint), QStringLiteral("it is a mount point"));
    }
    EXPECT_TRUE(present(real + "/x.txt"));
    EXPECT_TRUE(folderRefusal(real).isEmpty());
    EXPECT_EQ(folderRefusalCode(real), RemoveCode::None);
}

// A file system mounted inside the tree is never entered: it stays with everything in
// it, and so do the folders above it; the rest goes.
TEST(FolderClean, AMountPointInsideIsReportedAndKeptWithTheFoldersAboveIt) {
    TempTree t;
    const QByteArray folder = t.dir("F");
    t.file("F/a.txt", "a");
    t.file("F/other/b.txt", "b");
    const QByteArray mountPoint = t.dir("F/deep/mnt");
    t.file("F/deep/c.txt", "c");
    Mounted mounted(mountPoint);
    if (!mounted.ok) {
        GTEST_SKIP() << "cannot mount a file system here";
    }
    t.file("F/deep/mnt/on-the-other-fs.txt", "stays");
    for (const FolderCleanMode mode : {FolderCleanMode::Delete, FolderCleanMode::Trash}) {
        test::ScopedEnv dataHome("XDG_DATA_HOME", t.dir("data"));
        const FolderCleanSummary s = cleanFolder(folder, settingsFor(mode), yesToAll());
        EXPECT_FALSE(s.refused);
        EXPECT_EQ(s.mountPoints, QList<QByteArray>{mountPoint});
        ASSERT_EQ(s.kept.size(), 1);
        EXPECT_EQ(s.kept[0].reason, QStringLiteral("it is a mount point"));
        EXPECT_EQ(test::readBytes(t.path("F/deep/mnt/on-the-other-fs.txt")), QByteArray("stays"));
        EXPECT_TRUE(present(t.path("F/deep")));
        EXPECT_FALSE(s.folderRemoved);
        EXPECT_FALSE(present(t.path("F/a.txt")));
        EXPECT_FALSE(present(t.path("F/deep/c.txt")));
        EXPECT_FALSE(present(t.path("F/other")));
    }
}

// Run by a user who cannot read one folder and cannot write another: what can go, goes;
// the rest is reported once with the system's reason, and the folders above it stay.
TEST(FolderClean, FoldersThatCannotBeReadOrWrittenAreReportedAndKept) {
    TempTree t;
    ASSERT_EQ(::chmod(t.root().constData(), 0777), 0);
    const QByteArray folder = t.dir("F");
    t.file("F/a.txt", "a");
    t.file("F/unreadable/x.txt", "x");
    t.file("F/readonly/y.txt", "y");
    t.file("F/open/z.txt", "z");
    t.setMode("F", 0777);
    t.setMode("F/unreadable", 0);
    t.setMode("F/readonly", 0555);
    t.setMode("F/open", 0777);
    const int status = test::runAsNobody([&] {
        const FolderCleanSummary s =
            cleanFolder(folder, settingsFor(FolderCleanMode::Delete), yesToAll());
        // a.txt and z.txt are root's, in folders anyone may write: they go.
        if (s.doneCount != 2 || s.folderRemoved || s.kept.size() != 2) {
            return 1;
        }
        for (const KeptEntry& k : s.kept) {
            if (k.reason != QLatin1String("Permission denied")) {
                return 2;
            }
            // The file a read-only folder holds failed its deletion; the unreadable
            // folder is no file.
            const KeptStep step =
                k.path.endsWith("/y.txt") ? KeptStep::DeleteFile : KeptStep::Other;
            if (k.step != step) {
                return 3;
            }
        }
        return 0;
    });
    t.setMode("F/unreadable", 0755);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(present(t.path("F/unreadable/x.txt")));
    EXPECT_TRUE(present(t.path("F/readonly/y.txt")));
    EXPECT_FALSE(present(t.path("F/a.txt")));
    EXPECT_FALSE(present(t.path("F/open")));
}

TEST(FolderClean, FoldersTheSafeHarborProtectsAsTheSystemsOwnAreNeverEntered) {
    TempTree t;
    const QByteArray r = platform::shortPath(t.root());
    t.file("F/free.txt", "free");
    t.file("F/sys/lib.so", "system");
    t.file("F/sys/deep/more.so", "system");
    t.file("F/listed/user.txt", "only reason 3");
    SafeHarbor harbor;
    SafeHarbor::Sources sources;
    sources.systemFolders = {r + "/F/sys"};
    sources.foldersFile = QFile::decodeName(t.file("folders.txt", r + "/F/listed/\n"));
    harbor.GetSearchPath(sources);
    FolderCleanSettings settings = settingsFor(FolderCleanMode::Delete);
    settings.harbor = &harbor;
    const FolderCleanSummary s = cleanFolder(r + "/F", settings, yesToAll());
    ASSERT_EQ(s.kept.size(), 1);
    EXPECT_EQ(s.kept[0].path, r + "/F/sys");
    EXPECT_EQ(s.kept[0].reason,
              QStringLiteral("the Safe Harbor protects it: it is in the Windows/System folder"));
    EXPECT_TRUE(present(r + "/F/sys/lib.so"));
    EXPECT_TRUE(present(r + "/F/sys/deep/more.so"));
    EXPECT_FALSE(present(r + "/F/free.txt"));
    EXPECT_FALSE(present(r + "/F/listed"));  // the other reasons are the window's warning

    const FolderCleanSummary inside = cleanFolder(r + "/F/sys/deep", settings, yesToAll());
    EXPECT_TRUE(inside.refused);
    EXPECT_TRUE(present(r + "/F/sys/deep/more.so"));
}

// The questions come in their order for each attribute a file has; Yes goes on with
// the file, Keep leaves it and goes on, Stop leaves it and ends the run.
TEST(FolderClean, AttributeQuestionsDecideEachFile) {
    struct Asked {
        FileAttribute attribute;
        QByteArray name;
    };
    const struct {
        AttributeAnswer answer;
        bool removed;
    } cases[] = {
        {AttributeAnswer::Yes, true},
        {AttributeAnswer::Keep, false},
        {AttributeAnswer::Stop, false},
    };
    for (const auto& c : cases) {
        TempTree t;
        const QByteArray folder = t.dir("F");
        t.file("F/ro.txt", "read-only");
        t.setMode("F/ro.txt", 0444);
        t.file("F/.hidden", "hidden");
        t.file("F/.both", "hidden and read-only");
        t.setMode("F/.both", 0400);
        t.fifo("F/pipe");
        t.symlink("F/link", "/etc/passwd");
        t.file("F/plain.txt", "plain");
        QList<Asked> asked;
        FolderCleanHooks hooks;
        hooks.ask = [&](FileAttribute a, const QByteArray& path) {
            asked.append({a, platform::nameOfPath(path)});
            return c.answer;
        };
        const FolderCleanSummary s =
            cleanFolder(folder, settingsFor(FolderCleanMode::Delete), hooks);
        EXPECT_TRUE(present("/etc/passwd"));
        EXPECT_FALSE(present(t.path("F/plain.txt")) && c.answer != AttributeAnswer::Stop);
        if (c.answer == AttributeAnswer::Stop) {
            EXPECT_TRUE(s.aborted);
            EXPECT_EQ(asked.size(), 1);
            EXPECT_TRUE(s.kept.isEmpty());
            EXPECT_TRUE(present(folder));
            continue;
        }
        for (const char* name : {"ro.txt", ".hidden", ".both", "pipe", "link"}) {
            EXPECT_EQ(present(t.path("F/") + name), !c.removed) << name;
        }
        // Yes to every question of ".both" asks both, in their order; Keep stops at the
        // first.
        QList<FileAttribute> forBoth;
        for (const Asked& a : asked) {
            if (a.name == ".both") {
                forBoth.append(a.attribute);
            }
        }
        EXPECT_EQ(forBoth,
                  c.removed ? (QList<FileAttribute>{FileAttribute::ReadOnly, FileAttribute::Hidden})
                            : QList<FileAttribute>{FileAttribute::ReadOnly});
        EXPECT_EQ(s.kept.size(), c.removed ? 0 : 5);
        if (!c.removed) {
            EXPECT_EQ(keptEntry(s, t.path("F/pipe"))->reason,
                      QStringLiteral("it is a system file"));
            EXPECT_EQ(keptEntry(s, t.path("F/ro.txt"))->reason, QStringLiteral("it is read-only"));
            EXPECT_EQ(keptEntry(s, t.path("F/.hidden"))->reason, QStringLiteral("it is hidden"));
        }
        EXPECT_EQ(s.folderRemoved, c.removed);
    }
}

// A folder replaced between the look at a file and the act on it: nothing of the folder
// put in its place is touched, nor anything a link put there leads to; the files the run
// reports done are exactly those that went.
class FolderSwappedDuringARun : public ::testing::TestWithParam<bool> {};

TEST_P(FolderSwappedDuringARun, NothingButTheCheckedFilesGoes) {
    const bool byLink = GetParam();
    for (const FolderCleanMode mode :
         {FolderCleanMode::Delete, FolderCleanMode::Trash, FolderCleanMode::Zip}) {
        TempTree t;
        TempTree zips;
        test::ScopedEnv dataHome("XDG_DATA_HOME", t.dir("data"));
        const QByteArray folder = t.dir("F");
        constexpr int kFiles = 8;
        for (int i = 0; i < kFiles; ++i) {
            t.file("F/sub/f" + QByteArray::number(i), "the user's " + QByteArray::number(i));
            t.file("other/f" + QByteArray::number(i), "another folder's file");
        }
        int seenInSub = 0;
        FolderCleanHooks hooks = yesToAll();
        hooks.checked = [&](const QByteArray& path) {
            if (path.contains("/F/sub/f") && ++seenInSub == 4) {
                ASSERT_EQ(::rename(t.path("F/sub").constData(), t.path("F/sub.old").constData()),
                          0);
                if (byLink) {
                    t.symlink("F/sub", t.path("other"));
                } else {
                    for (int i = 0; i < kFiles; ++i) {
                        t.file("F/sub/f" + QByteArray::number(i), "put in its place");
                    }
                }
            }
        };
        FolderCleanSettings settings = settingsFor(mode, zips.root());
        settings.zip.minBatchFiles = 2;
        const FolderCleanSummary s = cleanFolder(folder, settings, hooks);
        int gone = 0;
        for (int i = 0; i < kFiles; ++i) {
            const QByteArray name = "f" + QByteArray::number(i);
            const bool there = present(t.path("F/sub.old/" + name));
            const KeptEntry* kept = keptEntry(s, t.path("F/sub/" + name));
            EXPECT_EQ(there, kept != nullptr) << name.data();
            if (kept && mode != FolderCleanMode::Zip) {
                EXPECT_EQ(kept->code, byLink ? platform::RemoveCode::LinkOnPath
                                             : platform::RemoveCode::ReplacedFolder)
                    << name.data();
            }
            gone += there ? 0 : 1;
            EXPECT_EQ(test::readBytes(t.path("other/" + name)),
                      QByteArray("another folder's file"));
            if (!byLink) {
                EXPECT_EQ(test::readBytes(t.path("F/sub/" + name)), QByteArray("put in its place"));
            }
        }
        EXPECT_EQ(s.doneCount, gone);
        // A file of the swapped folder is no fault of the trash: the run goes on, as the
        // trash runs over a list of files do (trashRunGoesOnAfter).
        EXPECT_FALSE(s.stopped) << s.error.toStdString();
        EXPECT_GE(gone, mode == FolderCleanMode::Zip ? 0 : 3);
        EXPECT_LT(gone, kFiles);
        EXPECT_TRUE(present(t.path("F/sub.old")));
        EXPECT_TRUE(present(t.path("F/sub")));
        EXPECT_FALSE(s.folderRemoved);
    }
}

INSTANTIATE_TEST_SUITE_P(FolderClean, FolderSwappedDuringARun, ::testing::Values(false, true),
                         [](const auto& info) {
                             return info.param ? std::string("ByALink") : std::string("ByACopy");
                         });

TEST(FolderClean, AZipRunDeletesOnlyWhatIsSafelyArchivedAndThenTheEmptiedFolders) {
    TempTree t;
    TempTree zips;
    const QByteArray folder = t.dir("F");
    t.file("F/a.txt", test::textBytes(5000, 1));
    t.file("F/sub/b.bin", test::randomBytes(3000, 2));
    t.file("F/sub/deep/c.txt", test::textBytes(100, 3));
    t.symlink("F/sub/link", t.path("F/a.txt"));
    FolderCleanSettings settings = settingsFor(FolderCleanMode::Zip, zips.root());
    settings.zip.minBatchFiles = 1;
    const FolderCleanSummary s = cleanFolder(folder, settings, yesToAll());
    EXPECT_EQ(s.archivedCount, 3);
    EXPECT_EQ(s.archivedBytes, 5000 + 3000 + 100);
    EXPECT_EQ(s.doneCount, 3);
    // Links are not archived, so the link and its folders stay.
    ASSERT_EQ(s.kept.size(), 1);
    EXPECT_EQ(s.kept[0].path, t.path("F/sub/link"));
    EXPECT_EQ(s.kept[0].step, KeptStep::Archive);
    EXPECT_TRUE(present(t.path("F/sub/link")));
    EXPECT_FALSE(present(t.path("F/sub/deep")));
    EXPECT_FALSE(present(t.path("F/a.txt")));
    ASSERT_EQ(s.archives.size(), 1);
    const test::PythonView view = test::pythonZipView(s.archives[0]);
    ASSERT_TRUE(view.ok) << view.failure.toStdString();
    EXPECT_TRUE(view.crcOk);
    QList<QByteArray> names;
    for (const test::PythonEntry& e : view.entries) {
        names.append(e.name);
    }
    std::sort(names.begin(), names.end());
    const QByteArray stored = t.root().mid(1);
    EXPECT_EQ(names, (QList<QByteArray>{stored + "/F/a.txt", stored + "/F/sub/b.bin",
                                        stored + "/F/sub/deep/c.txt"}));
}

TEST(FolderClean, AZipRunIntoTheTreeOrATrashRunWithTheTrashInsideIsRefused) {
    TempTree t;
    const QByteArray folder = t.dir("F");
    t.file("F/a.txt", "a");
    for (const QByteArray& zips : {t.dir("F/zips"), folder}) {
        const FolderCleanSummary s =
            cleanFolder(folder, settingsFor(FolderCleanMode::Zip, zips), yesToAll());
        EXPECT_TRUE(s.refused);
        EXPECT_EQ(s.refusal, QStringLiteral("the archive folder lies inside it"));
    }
    EXPECT_TRUE(present(t.path("F/a.txt")));
    test::ScopedEnv dataHome("XDG_DATA_HOME", t.dir("F/share"));
    const FolderCleanSummary s =
        cleanFolder(folder, settingsFor(FolderCleanMode::Trash), yesToAll());
    EXPECT_EQ(s.refusal, QStringLiteral("the trash lies inside it"));
    EXPECT_TRUE(present(t.path("F/a.txt")));
}

TEST(FolderClean, AZipRunThatKeepsTheFilesAsksNothingAndRemovesNothing) {
    TempTree t;
    TempTree zips;
    const QByteArray folder = t.dir("F");
    t.file("F/.hidden", "h");
    t.file("F/ro.txt", "r");
    t.setMode("F/ro.txt", 0444);
    t.file("F/sub/x.txt", "x");
    FolderCleanSettings settings = settingsFor(FolderCleanMode::Zip, zips.root());
    settings.deleteAfterZip = false;
    FolderCleanHooks hooks;
    int questions = 0;
    hooks.ask = [&](FileAttribute, const QByteArray&) {
        ++questions;
        return AttributeAnswer::Stop;
    };
    const FolderCleanSummary s = cleanFolder(folder, settings, hooks);
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(s.archivedCount, 3);
    EXPECT_EQ(s.doneCount, 0);
    EXPECT_EQ(s.foldersRemoved, 0);
    for (const char* f : {"F/.hidden", "F/ro.txt", "F/sub/x.txt"}) {
        EXPECT_TRUE(present(t.path(f))) << f;
    }
}

// The archive's disk fills up in the middle of the run: every original that went has
// its copy in the archive, whole; the rest stays.
TEST(FolderClean, AFullDiskDuringAZipRunDeletesNothingThatIsNotArchived) {
    TempTree t;
    TempTree zips;
    const QByteArray small = zips.dir("small");
    Mounted mounted(small, "size=192k");
    if (!mounted.ok) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    const QByteArray folder = t.dir("F");
    constexpr int kFiles = 10;
    for (int i = 0; i < kFiles; ++i) {
        t.file("F/d" + QByteArray::number(i % 3) + "/f" + QByteArray::number(i),
               test::randomBytes(40 * 1024, i));
    }
    FolderCleanSettings settings = settingsFor(FolderCleanMode::Zip, small);
    settings.zip.minBatchFiles = 2;
    const FolderCleanSummary s = cleanFolder(folder, settings, yesToAll());
    EXPECT_FALSE(s.kept.isEmpty());
    EXPECT_TRUE(present(folder));
    QHash<QByteArray, qint64> inArchive;
    for (const QByteArray& archive : s.archives) {
        const test::PythonView view = test::pythonZipView(archive);
        if (view.ok) {
            EXPECT_TRUE(view.crcOk);
            for (const test::PythonEntry& e : view.entries) {
                inArchive.insert("/" + e.name, e.size);
            }
        }
    }
    int gone = 0;
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray path =
            t.path("F/d" + QByteArray::number(i % 3) + "/f" + QByteArray::number(i));
        if (!present(path)) {
            ++gone;
            EXPECT_EQ(inArchive.value(path, -1), 40 * 1024) << path.toStdString();
        } else {
            EXPECT_EQ(test::readBytes(path), test::randomBytes(40 * 1024, i));
        }
    }
    EXPECT_EQ(s.doneCount, gone);
    EXPECT_EQ(s.archivedCount, gone);
    EXPECT_LT(gone, kFiles);
}

// An abort stops between two files: what the run reports done went, everything else is
// where it was, and the folders still holding something stay.
TEST(FolderClean, AbortStopsBetweenTwoFilesWithNothingHalfDone) {
    for (const FolderCleanMode mode : {FolderCleanMode::Delete, FolderCleanMode::Zip}) {
        TempTree t;
        TempTree zips;
        const QByteArray folder = t.dir("F");
        constexpr int kFiles = 9;
        for (int i = 0; i < kFiles; ++i) {
            t.file("F/s" + QByteArray::number(i % 2) + "/f" + QByteArray::number(i),
                   test::textBytes(2000, i));
        }
        FolderCleanHooks hooks = yesToAll();
        qint64 taken = 0;
        hooks.starting = [&](const QByteArray&, qint64 count) { taken = count + 1; };
        hooks.abortRequested = [&] { return taken >= 4; };
        FolderCleanSettings settings = settingsFor(mode, zips.root());
        settings.zip.minBatchFiles = 3;
        const FolderCleanSummary s = cleanFolder(folder, settings, hooks);
        EXPECT_TRUE(s.aborted);
        EXPECT_TRUE(s.kept.isEmpty());
        int gone = 0;
        for (int i = 0; i < kFiles; ++i) {
            const QByteArray path =
                t.path("F/s" + QByteArray::number(i % 2) + "/f" + QByteArray::number(i));
            if (present(path)) {
                EXPECT_EQ(test::readBytes(path), test::textBytes(2000, i));
            } else {
                ++gone;
            }
        }
        EXPECT_EQ(s.doneCount, gone);
        EXPECT_EQ(gone, mode == FolderCleanMode::Delete ? 4 : 3) << int(mode);
        EXPECT_TRUE(present(folder));
    }
}

}  // namespace
}  // namespace dw

namespace dw {
namespace {

using platform::RemoveCode;

// An overlay whose layers lie on two file systems (as in live sessions and containers):
// a file reports its layer's device, not its folder's. Every file goes, from either
// layer; what is really mounted inside stays, named, and a trash run goes on past it.
TEST(FolderClean, OnAnOverlayOfTwoFileSystemsEveryFileGoesAndOnlyMountPointsStay) {
    for (const FolderCleanMode mode : {FolderCleanMode::Delete, FolderCleanMode::Trash}) {
        TempTree t;
        test::ScopedEnv dataHome("XDG_DATA_HOME", t.dir("data"));
        const test::TwoLayers layers(t.dir("lower"), t.dir("upper"));
        if (!layers.ok()) {
            GTEST_SKIP() << "cannot mount a tmpfs here";
        }
        t.file("lower/F/lower.txt", "from the lower layer");
        t.file("lower/F/sub/lower2.txt", "from the lower layer");
        t.file("lower/F/bound.txt", "covered");
        t.dir("lower/F/sub/mnt");
        const test::ScopedMount overlay = layers.mountOverlay(t.dir("merged"));
        if (!overlay.ok()) {
            GTEST_SKIP() << "the kernel has no overlay file system: "
                         << overlay.why().toStdString();
        }
        t.file("merged/F/upper.txt", "made in the upper layer");
        const QByteArray mountPoint = t.path("merged/F/sub/mnt");
        const QByteArray bound = t.path("merged/F/bound.txt");
        test::ScopedMount inner("tmpfs", mountPoint, "tmpfs", "size=64k");
        test::ScopedMount bind(t.file("source.txt", "s"), bound, nullptr);
        ASSERT_TRUE(inner.ok() && bind.ok());

        const FolderCleanSummary s = cleanFolder(t.path("merged/F"), settingsFor(mode), yesToAll());
        EXPECT_FALSE(s.refused) << s.refusal.toStdString();
        EXPECT_FALSE(s.stopped) << s.error.toStdString();
        EXPECT_EQ(s.doneCount, 3);
        for (const char* gone : {"F/lower.txt", "F/sub/lower2.txt", "F/upper.txt"}) {
            EXPECT_FALSE(present(t.path("merged/") + gone)) << gone;
        }
        ASSERT_EQ(s.kept.size(), 2);
        for (const QByteArray& kept : {bound, mountPoint}) {
            const KeptEntry* k = keptEntry(s, kept);
            ASSERT_NE(k, nullptr) << kept.constData();
            EXPECT_EQ(k->code, RemoveCode::MountPoint);
            EXPECT_EQ(k->reason, QStringLiteral("it is a mount point"));
            EXPECT_TRUE(present(kept));
        }
    }
}

// The trash's own folders met in a tree stay with all they hold, in every kind of run;
// a run on one of them, or on a folder in one, is refused.
TEST(FolderClean, TheTrashsOwnFoldersAreNeverATarget) {
    for (const FolderCleanMode mode :
         {FolderCleanMode::Delete, FolderCleanMode::Trash, FolderCleanMode::Zip}) {
        TempTree t;
        TempTree zips;
        test::ScopedEnv dataHome("XDG_DATA_HOME", t.dir("data"));
        const QByteArray homeTrashed = t.file("data/Trash/files/mine.txt", "trashed before");
        t.file("data/Trash/info/mine.txt.trashinfo", "[Trash Info]\n");
        const QList<QByteArray> trashes = {t.dir("V/.Trash-0"), t.dir("V/.Trash"),
                                           t.dir("V/bob/.local/share/Trash")};
        const QList<QByteArray> held = {
            t.file("V/.Trash-0/files/a.txt", "a"), t.file("V/.Trash-0/info/a.txt.trashinfo", "i"),
            t.file("V/.Trash/0/files/b.txt", "b"), t.file("V/bob/.local/share/Trash/files/c", "c")};
        t.file("V/data.txt", "goes");
        FolderCleanSettings settings = settingsFor(mode, zips.root());
        settings.zip.minBatchFiles = 1;

        const FolderCleanSummary s = cleanFolder(t.path("V"), settings, yesToAll());
        EXPECT_FALSE(s.refused) << s.refusal.toStdString();
        EXPECT_EQ(s.doneCount, 1);
        EXPECT_FALSE(present(t.path("V/data.txt")));
        ASSERT_EQ(s.kept.size(), trashes.size());
        for (const QByteArray& trash : trashes) {
            const KeptEntry* k = keptEntry(s, trash);
            ASSERT_NE(k, nullptr) << trash.constData();
            EXPECT_EQ(k->code, RemoveCode::InTrash);
            EXPECT_EQ(k->reason, platform::FileRemover::inTrashText());
        }
        for (const QByteArray& file : held) {
            EXPECT_TRUE(present(file)) << file.constData();
        }
        for (const QByteArray& inside : {t.path("V/.Trash-0/info"), t.path("V/.Trash/0"),
                                         t.path("data/Trash/files"), t.path("data/Trash")}) {
            const FolderCleanSummary r = cleanFolder(inside, settings, yesToAll());
            EXPECT_TRUE(r.refused) << inside.constData();
            EXPECT_EQ(r.refusalCode, RemoveCode::InTrash) << inside.constData();
        }
        EXPECT_EQ(test::readBytes(homeTrashed), QByteArray("trashed before"));
    }
}

// A file in a hidden folder below the run's folder is hidden for the question, as a
// dot-named file is; the run's own folder and those above it were chosen in sight and
// make nothing hidden.
TEST(FolderClean, AFileInAHiddenFolderIsAskedAboutAsHidden) {
    TempTree t;
    const QByteArray folder = t.dir(".config/.project");
    t.file(".config/.project/.git/HEAD", "ref");
    t.file(".config/.project/.git/objects/ab/cdef", "object");
    t.file(".config/.project/.env", "secret");
    t.file(".config/.project/src/main.c", "code");
    QList<QByteArray> askedHidden;
    FolderCleanHooks hooks;
    hooks.ask = [&](FileAttribute a, const QByteArray& path) {
        if (a == FileAttribute::Hidden) {
            askedHidden.append(path.mid(folder.size() + 1));
        }
        return AttributeAnswer::Keep;
    };
    const FolderCleanSummary s = cleanFolder(folder, settingsFor(FolderCleanMode::Delete), hooks);
    std::sort(askedHidden.begin(), askedHidden.end());
    EXPECT_EQ(askedHidden, (QList<QByteArray>{".env", ".git/HEAD", ".git/objects/ab/cdef"}));
    EXPECT_FALSE(present(t.path(".config/.project/src")));
    EXPECT_TRUE(present(t.path(".config/.project/.git/objects/ab/cdef")));
    EXPECT_EQ(s.doneCount, 1);
    EXPECT_EQ(s.kept.size(), 3);
}

}  // namespace
}  // namespace dw
