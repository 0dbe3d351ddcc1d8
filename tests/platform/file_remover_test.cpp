#include <gtest/gtest.h>

#include <QFile>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/environment.h"
#include "platform/file_remover.h"
#include "support/scoped_env.h"
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
        QByteArray gone = {};  // what must be gone then (default: `path`)
    };
    const QList<Case> cases = {
        {"plain file", t.file("real/a.txt", "a"), true, ""},
        {"link to a file: the link goes, its target stays", t.symlink("real/l1", target), true, ""},
        {"link to a folder: only the link goes", t.symlink("real/l2", r + "/keep/folder"), true,
         ""},
        {"dangling link", t.symlink("real/l3", r + "/nowhere"), true, ""},
        {"FIFO", t.fifo("real/pipe"), true, ""},
        {"hostile name", t.file("real/ -rf \t\n\xff\xfe.txt", "x"), true, ""},
        {"repeated and dot components", r + "//real/./b.txt", true, "", t.file("real/b.txt", "b")},
        {"folder", t.dir("real/sub"), false, "it is a folder"},
        {"folder link with a trailing slash names the link, a link is no folder", r + "/real/l4/",
         true, "", t.symlink("real/l4", r + "/keep/folder")},
        {"a link among the folders of the path", r + "/real/via/target.txt", false,
         "a folder on its path is a symbolic link"},
        {"missing", r + "/real/missing.txt", false, "No such file or directory"},
        {"relative", "real/a.txt", false, "its path is not absolute"},
        {"dot-dot", r + "/real/../keep/target.txt", false, "its path holds \"..\""},
        {"NUL byte", withNul, false, "its path holds a NUL byte"},
    };
    FileRemover remover(GetParam());
    for (const Case& c : cases) {
        QString reason;
        EXPECT_EQ(remover.remove(c.path, &reason), c.removed) << c.what;
        EXPECT_EQ(reason, QString::fromUtf8(c.reason)) << c.what;
        if (c.removed) {
            EXPECT_FALSE(present(c.gone.isEmpty() ? c.path : c.gone)) << c.what;
        }
    }
    EXPECT_TRUE(present(r + "/real/sub"));
    EXPECT_TRUE(present(r + "/keep/folder/inside.txt"));
    EXPECT_TRUE(present(target));
    EXPECT_TRUE(present(r + "/real/via"));
}

INSTANTIATE_TEST_SUITE_P(OneCallOrWalk, FileRemoverWays, ::testing::Bool());

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
    // Replaced by another file of the same name.
    ASSERT_EQ(::unlink(a.constData()), 0);
    t.file("a.txt", "second!");
    QString reason;
    EXPECT_FALSE(remover.remove(a, &reason, &*before));
    EXPECT_EQ(reason, QStringLiteral("it changed after it was archived"));
    EXPECT_TRUE(present(a));
    const std::optional<FileIdentity> now = remover.inspect(a);
    ASSERT_TRUE(now);
    EXPECT_TRUE(remover.remove(a, &reason, &*now));
    EXPECT_FALSE(present(a));
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
