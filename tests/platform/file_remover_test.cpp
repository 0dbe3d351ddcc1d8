#include <gtest/gtest.h>

#include <QFile>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/environment.h"
#include "platform/file_remover.h"
#include "support/scoped_env.h"
#include "support/scoped_mount.h"
#include "support/temp_tree.h"

namespace dw::platform {
namespace {

using test::present;
using test::TempTree;

// Both ways of opening a path's folders: in one call, and one folder at a time.
class FileRemoverWays : public ::testing::TestWithParam<bool> {};

TEST_P(FileRemoverWays, RemovesFilesAndLinksThemselvesButNeverFoldersOrThroughLinks) {
    TempTree t;
    const QByteArray target = t.file("keep/target.txt", "precious");
    t.dir("keep/folder");
    t.file("keep/folder/inside.txt", "precious too");
    const QByteArray r = t.root();
    t.symlink("real/via", r + "/keep");  // a folder link on the way

    QByteArray withNul = r + "/keep/target.txt";
    withNul.append('\0');
    withNul.append("x");

    struct Case {
        const char* what;
        QByteArray path;  // what is asked
        bool removed;
        const char* reason;
        RemoveCode code;
        QByteArray gone = {};  // what must be gone then (default: `path`)
    };
    const QList<Case> cases = {
        {"plain file", t.file("real/a.txt", "a"), true, "", RemoveCode::None},
        {"link to a file: the link goes, its target stays", t.symlink("real/l1", target), true, "",
         RemoveCode::None},
        {"link to a folder: only the link goes", t.symlink("real/l2", r + "/keep/folder"), true, "",
         RemoveCode::None},
        {"dangling link", t.symlink("real/l3", r + "/nowhere"), true, "", RemoveCode::None},
        {"FIFO", t.fifo("real/pipe"), true, "", RemoveCode::None},
        {"hostile name", t.file("real/ -rf \t\n\xff\xfe.txt", "x"), true, "", RemoveCode::None},
        {"repeated and dot components", r + "//real/./b.txt", true, "", RemoveCode::None,
         t.file("real/b.txt", "b")},
        {"folder", t.dir("real/sub"), false, "it is a folder", RemoveCode::IsFolder},
        // Written as a folder, as `rm` reads it: a link to a folder is then the folder, and
        // anything else is no folder at all.
        {"folder link with a trailing slash is the folder", r + "/real/l4/", false,
         "it is a folder", RemoveCode::IsFolder, t.symlink("real/l4", r + "/keep/folder")},
        {"file with a trailing slash", t.file("real/c.txt", "c") + "/", false, "Not a directory",
         RemoveCode::SystemError},
        {"file link with a trailing slash", t.symlink("real/l5", target) + "/", false,
         "Not a directory", RemoveCode::SystemError},
        {"file with a trailing slash and dot", t.file("real/d.txt", "d") + "/.", false,
         "Not a directory", RemoveCode::SystemError},
        {"a link among the folders of the path", r + "/real/via/target.txt", false,
         "a folder on its path is a symbolic link", RemoveCode::LinkOnPath},
        {"missing", r + "/real/missing.txt", false, "No such file or directory",
         RemoveCode::SystemError},
        {"relative", "real/a.txt", false, "its path is not absolute", RemoveCode::NotAbsolute},
        {"dot-dot", r + "/real/../keep/target.txt", false, "its path holds \"..\"",
         RemoveCode::HoldsDotDot},
        {"NUL byte", withNul, false, "its path holds a NUL byte", RemoveCode::HoldsNul},
    };
    FileRemover remover(GetParam());
    for (const Case& c : cases) {
        QString reason;
        EXPECT_EQ(remover.remove(c.path, &reason), c.removed) << c.what;
        EXPECT_EQ(reason, QString::fromUtf8(c.reason)) << c.what;
        EXPECT_EQ(remover.lastCode(), c.code) << c.what;
        if (c.removed) {
            EXPECT_FALSE(present(c.gone.isEmpty() ? c.path : c.gone)) << c.what;
        }
    }
    EXPECT_TRUE(present(r + "/real/sub"));
    EXPECT_TRUE(present(r + "/keep/folder/inside.txt"));
    EXPECT_TRUE(present(target));
    EXPECT_TRUE(present(r + "/real/via"));
    for (const char* kept : {"real/l4", "real/c.txt", "real/l5", "real/d.txt"}) {
        EXPECT_TRUE(t.exists(kept)) << kept;
    }
}

INSTANTIATE_TEST_SUITE_P(OneCallOrWalk, FileRemoverWays, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "FolderByFolder" : "OneCall");
                         });

TEST(FileRemover, RefusesSystemFoldersWhateverTheirSpellingAndTheHomeFolder) {
    TempTree t;
    const QByteArray home = t.dir("home/ann");
    test::ScopedEnv env("HOME", home);
    for (const QByteArray& path :
         {QByteArray("/"), QByteArray("/bin"), QByteArray("//bin/"), QByteArray("/./usr"),
          QByteArray("/lib64"), QByteArray("/var/"), QByteArray("/tmp"), home, home + "/"}) {
        EXPECT_TRUE(isSystemFolder(path)) << path.constData();
        FileRemover remover;
        QString reason;
        EXPECT_FALSE(remover.remove(path, &reason)) << path.constData();
        EXPECT_EQ(reason, QStringLiteral("it is a system folder")) << path.constData();
    }
    EXPECT_TRUE(present(home));
    EXPECT_FALSE(isSystemFolder("/usr/bin"));
    EXPECT_FALSE(isSystemFolder("/binary"));
    EXPECT_FALSE(isSystemFolder(home + "/notes.txt"));
}

TEST(FileRemover, RefusesAMountedFile) {
    TempTree t;
    const QByteArray source = t.file("source.txt", "source");
    const QByteArray mounted = t.file("mounted.txt", "covered");
    if (::mount(source.constData(), mounted.constData(), nullptr, MS_BIND, nullptr) != 0) {
        GTEST_SKIP() << "cannot bind-mount here";
    }
    struct Unmount {
        QByteArray at;
        ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
    } unmount{mounted};
    FileRemover remover;
    QString reason;
    EXPECT_FALSE(remover.remove(mounted, &reason));
    EXPECT_EQ(reason, QStringLiteral("it is a mount point"));
    EXPECT_TRUE(present(mounted));
}

TEST(FileRemover, KeepsAFileThatChangedSinceItWasLookedAt) {
    TempTree t;
    const QByteArray a = t.file("a.txt", "first");
    FileRemover remover;
    const std::optional<FileIdentity> before = remover.inspect(a);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->size, 5);
    EXPECT_TRUE(before->isRegular);
    // Replaced by another file of the same name (the first kept, so that its inode
    // cannot come back for the second).
    ASSERT_EQ(::rename(a.constData(), t.path("a.old").constData()), 0);
    t.file("a.txt", "second!");
    QString reason;
    EXPECT_FALSE(remover.remove(a, &reason, &*before));
    EXPECT_EQ(reason, QStringLiteral("it was replaced after it was checked"));
    EXPECT_TRUE(present(a));
    const std::optional<FileIdentity> now = remover.inspect(a);
    ASSERT_TRUE(now);
    EXPECT_TRUE(remover.remove(a, &reason, &*now));
    EXPECT_FALSE(present(a));
}

// The folder of a checked file is renamed away and another folder, with files of the
// same names, put in its place: no act reaches either folder's file through the first
// check, and the user's file stays where it went.
TEST(FileRemover, EveryActRefusesAFileWhoseFolderWasReplacedAfterTheCheck) {
    enum class Swap { Copy, Link };
    for (const Swap swap : {Swap::Copy, Swap::Link}) {
        TempTree t;
        test::ScopedEnv data("XDG_DATA_HOME", t.dir("data-home"));
        const QByteArray r = t.root();
        const QByteArray a = t.file("F/a.txt", "the user's a");
        const QByteArray b = t.file("F/b.txt", "the user's b");
        const QByteArray c = t.file("F/c.txt", "the user's c");
        FileRemover remover;
        const std::optional<FileIdentity> ida = remover.inspect(a);
        const std::optional<FileIdentity> idb = remover.inspect(b);
        const std::optional<FileIdentity> idc = remover.inspect(c);
        ASSERT_TRUE(ida && idb && idc);

        ASSERT_EQ(::rename((r + "/F").constData(), (r + "/F.old").constData()), 0);
        if (swap == Swap::Copy) {
            for (const char* name : {"F/a.txt", "F/b.txt", "F/c.txt"}) {
                t.file(name, "another folder's file");
            }
        } else {
            for (const char* name : {"other/a.txt", "other/b.txt", "other/c.txt"}) {
                t.file(name, "another folder's file");
            }
            t.symlink("F", r + "/other");
        }
        const QString expected = swap == Swap::Copy
                                     ? FileRemover::replacedFolderText()
                                     : QStringLiteral("a folder on its path is a symbolic link");
        const RemoveCode code =
            swap == Swap::Copy ? RemoveCode::ReplacedFolder : RemoveCode::LinkOnPath;
        QString reason;
        EXPECT_FALSE(remover.remove(a, &reason, &*ida));
        EXPECT_EQ(reason, expected);
        EXPECT_EQ(remover.lastCode(), code);
        EXPECT_FALSE(remover.trash(b, *idb, &reason));
        EXPECT_EQ(reason, expected);
        EXPECT_EQ(remover.lastCode(), code);
        EXPECT_FALSE(remover.openForReading(c, *idc, &reason).valid());
        EXPECT_EQ(reason, expected);
        EXPECT_EQ(remover.lastCode(), code);

        for (const char* name : {"F.old/a.txt", "F.old/b.txt", "F.old/c.txt"}) {
            EXPECT_TRUE(t.exists(name)) << name;
        }
        for (const char* name : {"F/a.txt", "F/b.txt", "F/c.txt"}) {
            EXPECT_TRUE(t.exists(name)) << name;
        }
        EXPECT_FALSE(t.exists("data-home/Trash/files/b.txt"));
    }
}

// Reading and trashing go through the checked folder to the checked file: a file put
// in its place under the same name is refused, and a device or FIFO is never opened.
TEST(FileRemover, ReadsAndTrashesOnlyTheCheckedRegularFile) {
    TempTree t;
    test::ScopedEnv data("XDG_DATA_HOME", t.dir("data-home"));
    const QByteArray a = t.file("F/a.txt", "checked");
    const QByteArray b = t.file("F/b.txt", "checked too");
    const QByteArray pipe = t.fifo("F/pipe");
    FileRemover remover;
    const std::optional<FileIdentity> ida = remover.inspect(a);
    const std::optional<FileIdentity> idb = remover.inspect(b);
    const std::optional<FileIdentity> idp = remover.inspect(pipe);
    ASSERT_TRUE(ida && idb && idp);

    UniqueFd fd = remover.openForReading(a, *ida);
    ASSERT_TRUE(fd.valid());
    char text[16] = {};
    EXPECT_EQ(::read(fd.get(), text, sizeof text), 7);
    EXPECT_STREQ(text, "checked");

    QString reason;
    EXPECT_FALSE(remover.openForReading(pipe, *idp, &reason).valid());
    EXPECT_EQ(reason, QStringLiteral("It is not a regular file"));

    ASSERT_EQ(::unlink(a.constData()), 0);
    t.file("F/a.txt", "another");
    EXPECT_FALSE(remover.openForReading(a, *ida, &reason).valid());
    EXPECT_EQ(reason, FileRemover::replacedFileText());
    EXPECT_FALSE(remover.trash(a, *ida, &reason));
    EXPECT_EQ(reason, FileRemover::replacedFileText());
    EXPECT_TRUE(t.exists("F/a.txt"));

    EXPECT_TRUE(remover.trash(b, *idb, &reason)) << reason.toStdString();
    EXPECT_FALSE(t.exists("F/b.txt"));
    EXPECT_TRUE(t.exists("data-home/Trash/files/b.txt"));
}

TEST(FileRemover, ReportsWhatTheSystemRefusesAndGoesOn) {
    TempTree t;
    ASSERT_EQ(::chmod(t.root().constData(), 0755), 0);
    const QByteArray locked = t.file("locked/a.txt", "a");
    const QByteArray open = t.file("open/b.txt", "b");
    t.setMode("locked", 0555);
    t.setMode("open", 0777);
    const int status = test::runAsNobody([&] {
        FileRemover remover;
        QString reason;
        if (remover.remove(locked, &reason) || reason != QLatin1String("Permission denied")) {
            return 1;
        }
        return remover.remove(open, &reason) ? 0 : 2;
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(present(locked));
    EXPECT_FALSE(present(open));
}

}  // namespace
}  // namespace dw::platform

namespace dw::platform {
namespace {

// An overlay whose lower and upper layers are two tmpfs: each file reports the device
// of its layer, never the folder's. Its files are removable like any other; what is
// really mounted inside it (a tmpfs folder, a bind-mounted file) is still refused.
TEST(FileRemover, OnAnOverlayOfTwoFileSystemsOnlyRealMountPointsAreRefused) {
    TempTree t;
    const QByteArray merged = t.dir("merged");
    const test::TwoLayers layers(t.dir("lower"), t.dir("upper"));
    if (!layers.ok()) {
        GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    t.file("lower/dir/from-lower.txt", "lower");
    t.file("lower/dir/mounted-over.txt", "covered");
    t.dir("lower/dir/mnt");
    const test::ScopedMount overlay = layers.mountOverlay(merged);
    if (!overlay.ok()) {
        GTEST_SKIP() << "the kernel has no overlay file system: " << overlay.why().toStdString();
    }
    const QByteArray fromUpper = t.file("merged/dir/from-upper.txt", "upper");
    const QByteArray fromLower = t.path("merged/dir/from-lower.txt");
    test::ScopedMount inner("tmpfs", t.path("merged/dir/mnt"), "tmpfs", "size=64k");
    test::ScopedMount bound(t.file("source.txt", "s"), t.path("merged/dir/mounted-over.txt"),
                            nullptr);
    ASSERT_TRUE(inner.ok() && bound.ok()) << inner.why().toStdString() << bound.why().toStdString();
    struct stat file {
    }, folder{};
    ASSERT_EQ(::lstat(fromUpper.constData(), &file), 0);
    ASSERT_EQ(::lstat(t.path("merged/dir").constData(), &folder), 0);
    ASSERT_NE(file.st_dev, folder.st_dev) << "the overlay reports one device for all";

    FileRemover remover;
    QString reason;
    EXPECT_TRUE(remover.remove(fromUpper, &reason)) << reason.toStdString();
    EXPECT_TRUE(remover.remove(fromLower, &reason)) << reason.toStdString();
    EXPECT_FALSE(present(fromUpper));
    EXPECT_FALSE(present(fromLower));
    EXPECT_FALSE(remover.remove(t.path("merged/dir/mounted-over.txt"), &reason));
    EXPECT_EQ(remover.lastCode(), RemoveCode::MountPoint);
    EXPECT_FALSE(remover.inspectFolder(t.path("merged/dir/mnt"), &reason));
    EXPECT_EQ(remover.lastCode(), RemoveCode::MountPoint);
    EXPECT_TRUE(remover.inspectFolder(t.path("merged/dir"), &reason)) << reason.toStdString();
}

// The trash's own folders and what is in them are never a target, whichever way they
// are asked for; folders that only look alike are no trash.
TEST(FileRemover, RefusesTheTrashsOwnFoldersAndWhatIsInThem) {
    TempTree t;
    test::ScopedEnv dataHome("XDG_DATA_HOME", t.dir("data"));
    const struct {
        QByteArray rel;
        bool refused;
    } cases[] = {
        {"data/Trash/files/a.txt", true},
        {"data/Trash/info/a.txt.trashinfo", true},
        {"data/Trash/directorysizes", true},
        {"vol/.Trash-0/files/b.txt", true},
        {"vol/.Trash-1000/info/b.txt.trashinfo", true},
        {"vol/.Trash/0/files/c.txt", true},
        {"home/bob/.local/share/Trash/files/d.txt", true},
        {"vol/Trash/files/e.txt", false},
        {"vol/.Trash-old/e.txt", false},
        {"vol/.Trashy/e.txt", false},
        {"data/Trash.txt", false},
    };
    for (const auto& c : cases) {
        const QByteArray path = t.file(c.rel, "x");
        FileRemover remover;
        QString reason;
        const std::optional<FileIdentity> found = remover.inspect(path, &reason);
        EXPECT_EQ(!found, c.refused) << c.rel.constData();
        if (c.refused) {
            EXPECT_EQ(remover.lastCode(), RemoveCode::InTrash) << c.rel.constData();
            EXPECT_EQ(reason, FileRemover::inTrashText());
            EXPECT_FALSE(remover.remove(path, &reason));
            EXPECT_TRUE(present(path)) << c.rel.constData();
        }
    }
    for (const QByteArray& folder :
         {t.path("data/Trash"), t.path("data/Trash/files"), t.path("vol/.Trash-0"),
          t.path("vol/.Trash"), t.path("vol/.Trash/0/info")}) {
        FileRemover remover;
        EXPECT_FALSE(remover.inspectFolder(folder)) << folder.constData();
        EXPECT_EQ(remover.lastCode(), RemoveCode::InTrash) << folder.constData();
    }
}

}  // namespace
}  // namespace dw::platform
