#include <gtest/gtest.h>

#include <QFile>

#include "platform/environment.h"
#include "safety/safe_harbor_build.h"
#include "support/scoped_env.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

TEST(SafeHarborBuild, ValueTextsOfALine) {
    const struct {
        const char* line;
        QList<QByteArray> texts;
    } cases[] = {
        {"Exec=/usr/bin/app %U", {"Exec=/usr/bin/app %U", "/usr/bin/app %U"}},
        {"  /opt/x/run  \r", {"/opt/x/run"}},
        {"path = \"/opt/a/b\" # \"/srv/c\"",
         {"path = \"/opt/a/b\" # \"/srv/c\"", "\"/opt/a/b\" # \"/srv/c\"", "/opt/a/b", "/srv/c"}},
        {"a=b=/x/y", {"a=b=/x/y", "b=/x/y"}},
        {"\"/x/y\"", {"\"/x/y\"", "/x/y"}},
        {"unclosed \"/x/y", {"unclosed \"/x/y"}},
        {"=", {"="}},
        {"   ", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SafeHarborBuild::valueTexts(QByteArrayView(c.line)), c.texts) << c.line;
    }
}

TEST(SafeHarborBuild, ShapeOfAValue) {
    const struct {
        const char* text;
        const char* folder;
    } cases[] = {
        {"/opt/app/bin/app %1", "/opt/app/bin/"},
        {"/usr/lib/app/", "/usr/lib/app/"},
        {"/usr", "/"},
        {"/ab", ""},  // not longer than 3 characters
        {"/opt/x;/opt/y", ""},
        {"/opt/a:b/c", ""},
        {"smb://server/share/x", ""},
        {"relative/path/x", ""},
        {" /opt/x/y", ""},  // values are trimmed before, not here
        {"/opt/app/app /data/x", "/opt/app/app /data/"},
        {"// a comment", "/"},
        {"//usr/./lib//./x.so", "/usr/lib/"},
        {"/usr/lib/../share/x", "/usr/lib/../share/"},
        {"/opt/.hidden/./.x", "/opt/.hidden/"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SafeHarborBuild::folderOfValue(QByteArrayView(c.text)), QByteArray(c.folder))
            << c.text;
    }
}

// The value test after the shape: removable volumes, folders already listed (case
// folded) and folders that do not exist add nothing.
TEST(SafeHarborBuild, ValueTestOnDisk) {
    test::TempTree t;
    const QByteArray r = platform::shortPath(t.root());
    t.dir("app/bin");
    t.dir("stick/setup");
    t.dir("kept");
    t.dir("Listed");
    SafeHarborBuild build({r + "/kept/*.*", r + "/listed/"});
    build.setRemovableTest([&r](const QByteArray& f) { return f.startsWith(r + "/stick/"); });
    const struct {
        QByteArray text;
        bool added;
    } cases[] = {
        {r + "/app/bin/app %U", true},
        {r + "/app/bin/other", false},  // listed by now
        {r + "/APP/BIN/x", false},      // the same, case folded
        {r + "/stick/setup/setup.sh", false},
        {r + "/missing/x", false},
        {r + "/kept/*.*", true},  // the folder, not the subtree entry
        {r + "/Listed/x", false},
        {r + "/app/x /data", false},  // "app/x /" is no folder
        {r + "/app/bin", true},       // names a file "bin" in "app/"
    };
    for (const auto& c : cases) {
        EXPECT_EQ(build.testValue(c.text), c.added) << c.text.constData();
    }
    EXPECT_EQ(build.found(), (QList<QByteArray>{r + "/app/bin/", r + "/kept/", r + "/app/"}));
}

// A whole walk over fixture trees named by the environment.
TEST(SafeHarborBuild, WalksTheConfigurationTreesOfTheEnvironment) {
    test::TempTree t;
    const QByteArray r = platform::shortPath(t.root());
    for (const char* d : {"target/top", "target/sub", "target/user", "target/deep25",
                          "target/deep26", "target/binary", "target/big", "target/linked",
                          "target/through-link", "target/own", "target/desktop"}) {
        t.dir(d);
    }
    // The machine tree: a file at its top, one below, text with a NUL early, a file over
    // 1 MiB, a link to a file, a link to a folder, a folder 25 and one 26 levels down.
    t.file("machine/top.conf", "dir=" + r + "/target/top/file\n");
    t.file("machine/a/b/sub.conf", "# comment\nExec=\"" + r + "/target/sub/run\" --x\n");
    t.file("machine/bin.dat", QByteArray("x\0y\n", 4) + r + "/target/binary/f\n");
    QByteArray big = r + "/target/big/f\n";
    big += QByteArray(1024 * 1024, 'x');
    t.file("machine/big.conf", big);
    t.file("elsewhere/linked.conf", r + "/target/linked/f\n");
    t.symlink("machine/link.conf", r + "/elsewhere/linked.conf");
    t.file("elsewhere/dir/through.conf", r + "/target/through-link/f\n");
    t.symlink("machine/dirlink", r + "/elsewhere/dir");
    QByteArray deep = "machine/deep";
    for (int level = 2; level <= 25; ++level) {
        deep += "/d";
    }
    t.file(deep + "/at25.conf", r + "/target/deep25/f\n");
    t.file(deep + "/d/at26.conf", r + "/target/deep26/f\n");
    // The user tree, holding the program's own settings folder.
    t.file("user/app/settings.ini", "Path=" + r + "/target/user/\r\n");
    t.file("user/diskwell/folders.txt", r + "/target/own/*.*\n");
    t.file("apps/x.desktop", "[Desktop Entry]\nExec=" + r + "/target/desktop/x %F\n");

    test::ScopedEnv machine("DISKWELL_HARBOR_MACHINE_ROOTS", r + "/machine:" + r + "/nowhere");
    test::ScopedEnv user("DISKWELL_HARBOR_USER_ROOTS", r + "/user::" + r + "/apps/");
    test::ScopedEnv config("DISKWELL_CONFIG_DIR", r + "/user/diskwell");
    const HarborBuildRoots roots = HarborBuildRoots::current();
    EXPECT_EQ(roots.machine, (QList<QByteArray>{r + "/machine", r + "/nowhere"}));
    EXPECT_EQ(roots.user, (QList<QByteArray>{r + "/user", r + "/apps/"}));

    SafeHarborBuild build;
    QList<QByteArray> reported;
    int yields = 0;
    build.setAdded([&reported](const QByteArray& f) { reported.append(f); });
    build.setYield([&yields] { ++yields; });
    build.run(roots);

    QList<QByteArray> found = build.found();
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found,
              (QList<QByteArray>{r + "/target/deep25/", r + "/target/desktop/", r + "/target/sub/",
                                 r + "/target/top/", r + "/target/user/"}));
    EXPECT_EQ(reported, build.found());
    EXPECT_GE(yields, 5);
    EXPECT_EQ(build.scanDepth(), 0);
}

TEST(SafeHarborBuild, DefaultRootsAreTheSystemAndUserConfiguration) {
    test::ScopedEnv machine("DISKWELL_HARBOR_MACHINE_ROOTS", std::nullopt);
    test::ScopedEnv user("DISKWELL_HARBOR_USER_ROOTS", std::nullopt);
    test::ScopedEnv home("HOME", QByteArray("/home/ann"));
    {
        test::ScopedEnv xdg("XDG_CONFIG_HOME", QByteArray("/home/ann/conf"));
        const HarborBuildRoots roots = HarborBuildRoots::current();
        EXPECT_EQ(roots.machine, (QList<QByteArray>{"/etc", "/usr/share/applications",
                                                    "/usr/local/share/applications"}));
        EXPECT_EQ(roots.user,
                  (QList<QByteArray>{"/home/ann/conf", "/home/ann/.local/share/applications"}));
    }
    test::ScopedEnv xdg("XDG_CONFIG_HOME", QByteArray("relative"));
    EXPECT_EQ(HarborBuildRoots::current().user.front(), QByteArray("/home/ann/.config"));

    // Set but empty: no roots at all.
    test::ScopedEnv none("DISKWELL_HARBOR_MACHINE_ROOTS", QByteArray());
    EXPECT_TRUE(HarborBuildRoots::current().machine.isEmpty());
}

}  // namespace
}  // namespace dw
