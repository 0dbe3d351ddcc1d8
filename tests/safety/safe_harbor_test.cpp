#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "platform/dir_reader.h"
#include "platform/environment.h"
#include "safety/folder_list.h"
#include "safety/safe_harbor.h"
#include "support/scoped_env.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using Sources = SafeHarbor::Sources;

QList<QByteArray> bytes(std::initializer_list<const char*> items) {
    QList<QByteArray> out;
    for (const char* i : items) {
        out.append(QByteArray(i));
    }
    return out;
}

// A lookup loaded from a folder list with the given lines, no search path and no
// system folders unless given.
struct Harbor {
    QTemporaryDir dir;
    SafeHarbor harbor;

    explicit Harbor(const QList<QByteArray>& lines, QList<QByteArray> searchPath = {},
                    QList<QByteArray> systemFolders = {}) {
        const QString file = dir.path() + QStringLiteral("/folders.txt");
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        for (const QByteArray& l : lines) {
            f.write(l + "\n");
        }
        f.close();
        Sources s;
        s.foldersFile = file;
        s.searchPath = std::move(searchPath);
        s.systemFolders = std::move(systemFolders);
        harbor.GetSearchPath(s);
    }

    int reason(const QByteArray& path, bool isFile = true) {
        int r = -1;
        const bool isProtected = harbor.isInSafeHarbor(path, isFile, r);
        EXPECT_EQ(isProtected, r > 0) << path.constData();
        return r;
    }
};

TEST(SafeHarborReason, TextsOfTheCodes) {
    const struct {
        int code;
        const char* text;
    } cases[] = {
        {0, ""},
        {1, "in the Windows/System folder"},
        {2, "in the search path"},
        {3, "referenced in the registry"},
        {4, "included in the protected file extensions"},
        {5, ""},
        {-1, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SafeHarbor::safeHarborReason(c.code), QLatin1String(c.text)) << c.code;
    }
}

// The system's trees protect everything below them; the search path's folders are
// folder entries: their files are protected, their subfolders' files are not (unless
// something else protects them).
TEST(SafeHarborLookup, SystemTreesProtectAllBelowThemSearchPathFoldersTheirOwnFiles) {
    test::TempTree t;
    const QByteArray root = platform::shortPath(t.root());
    t.dir("etc/sub");
    t.dir("usr/lib/x86");
    t.dir("bin/deep");
    t.dir("other");
    Harbor h({root + "/other/"}, {root + "/bin"}, {root + "/usr/lib", root + "/etc/"});

    const struct {
        const char* rel;
        bool isFile;
        int reason;
    } cases[] = {
        {"/etc/foo.conf", true, 1},
        {"/ETC/foo.conf", true, 1},  // case folded: the safe side
        {"/etc/sub/foo.conf", true, 1},
        {"/etc", false, 1},
        {"/etc/", false, 1},
        {"/etc/sub", false, 1},
        {"/etcetera/foo.conf", true, 0},
        {"/usr/lib/libc.so", true, 1},
        {"/usr/lib/x86/libc.so", true, 1},
        {"/usr/libexec/a", true, 0},
        {"/bin/ls", true, 2},
        {"/bin/deep/ls", true, 0},
        {"/bin", false, 2},
        {"/other/a.txt", true, 3},
        {"/other/x/a.txt", true, 0},
        {"/elsewhere/a.txt", true, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(h.reason(root + c.rel, c.isFile), c.reason) << c.rel;
    }
    EXPECT_EQ(h.harbor.lbWindows(), (QList<QByteArray>{lowerAscii(root + "/etc/*.*"),
                                                       lowerAscii(root + "/usr/lib/*.*")}));
    EXPECT_EQ(h.harbor.lbSearchPath(), QList<QByteArray>{lowerAscii(root + "/bin/")});
    EXPECT_FALSE(h.harbor.safeHarborMissing());
}

TEST(SafeHarborLookup, SearchPathIsSplitAtColonsAndReadWhole) {
    const struct {
        const char* path;
        QList<QByteArray> folders;
    } cases[] = {
        {"/nx-h6/bin:/nx-h6/tools", bytes({"/nx-h6/bin/", "/nx-h6/tools/"})},
        {"/nx-h6/bin::/nx-h6/tools:", bytes({"/nx-h6/bin/", "/nx-h6/tools/"})},
        {":/nx-h6/bin/:", bytes({"/nx-h6/bin/"})},
        {"/nx-h6/B:/nx-h6/b", bytes({"/nx-h6/b/"})},  // one folder once case is folded
        {"", {}},
    };
    for (const auto& c : cases) {
        test::ScopedEnv path("PATH", QByteArray(c.path));
        Sources s = Sources::current();
        s.foldersFile.clear();
        s.systemFolders.clear();
        SafeHarbor harbor;
        harbor.GetSearchPath(s);
        EXPECT_EQ(harbor.lbSearchPath(), c.folders) << c.path;
        EXPECT_TRUE(harbor.safeHarborMissing());
    }

    // Far beyond any fixed buffer: every element counts, the last one too.
    QByteArray longPath;
    for (int i = 0; i < 400; ++i) {
        longPath += "/nx-h6/a-rather-long-folder-name-" + QByteArray::number(i) + ":";
    }
    longPath += "/nx-h6/last";
    test::ScopedEnv path("PATH", longPath);
    SafeHarbor harbor;
    Sources s = Sources::current();
    s.foldersFile.clear();
    harbor.GetSearchPath(s);
    EXPECT_EQ(harbor.lbSearchPath().size(), 401);
    int reason = 0;
    EXPECT_TRUE(harbor.isInSafeHarbor("/nx-h6/last/tool", true, reason));
    EXPECT_EQ(reason, SafeHarbor::kReasonSearchPath);
}

// Subtree entries protect their folder and everything below; folder entries only the
// files directly inside. Whole entries count, however long.
TEST(SafeHarborLookup, SubtreeAndFolderEntries) {
    const QByteArray longFolder =
        "/nx-h6/" + QByteArray(120, 'l') + "/" + QByteArray(60, 'm') + "/";
    Harbor h({"/nx-h6/data/*.*", "/nx-h6/docs/", "/nx-h6/typed*.*", longFolder + "*.*",
              "/nx-h6/Mixed/Case/"});
    const struct {
        QByteArray path;
        bool isFile;
        int reason;
    } cases[] = {
        {"/nx-h6/data/x.txt", true, 3},
        {"/nx-h6/data/a/b/y.txt", true, 3},
        {"/nx-h6/data", false, 3},
        {"/nx-h6/data/a/b", false, 3},
        {"/nx-h6/database/z.txt", true, 0},
        {"/nx-h6/dat/z.txt", true, 0},
        {"/nx-h6/x.txt", true, 0},
        {"/nx-h6/DATA/deep/x.txt", true, 3},  // case folded: the safe side
        {"/nx-h6/docs/x.txt", true, 3},
        {"/nx-h6/docs/sub/x.txt", true, 0},
        {"/nx-h6/docs", false, 3},
        {"/nx-h6/docs/sub", false, 0},
        {"/nx-h6/typed/file", true, 3},  // "typed*.*" means the folder "typed/"
        {"/nx-h6/typedx/file", true, 0},
        {longFolder + "f", true, 3},
        {longFolder + "a/b/c/f", true, 3},
        {longFolder.chopped(2) + "/f", true, 0},
        {"/nx-h6/mixed/case/f", true, 3},
        {"", true, 0},
        {"", false, 0},
        {"relative/x.txt", true, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(h.reason(c.path, c.isFile), c.reason) << c.path.constData();
    }
}

// Whatever else the sorted list holds around a subtree entry, halving finds it: checked
// against a plain scan over many random lists.
TEST(SafeHarborLookup, HalvingAgreesWithAPlainScanOnRandomLists) {
    QRandomGenerator rng(20261210);
    const char* parts[] = {"a", "b", "a b", "a-b", "a.b", "a_b", "ab", "A", "b0", "b!", "z"};
    auto randomFolder = [&](int maxDepth) {
        QByteArray f = "/nx-h6/";
        const int depth = 1 + int(rng.bounded(maxDepth));
        for (int d = 0; d < depth; ++d) {
            f += parts[rng.bounded(int(std::size(parts)))];
            f += '/';
        }
        return f;
    };
    for (int round = 0; round < 20; ++round) {
        QList<QByteArray> lines;
        for (int i = 0; i < 300; ++i) {
            QByteArray f = randomFolder(4);
            lines.append(rng.bounded(4) == 0 ? f + "*.*" : f);
        }
        Harbor h(lines);
        // The plain answer from the raw lines, case folded.
        auto expected = [&](const QByteArray& folder) {
            const QByteArray f = lowerAscii(folder);
            for (const QByteArray& l : lines) {
                const QByteArray e = lowerAscii(l);
                if (isSubtreeEntry(e) ? f.startsWith(entryFolder(e)) : f == e) {
                    return 3;
                }
            }
            return 0;
        };
        for (int q = 0; q < 500; ++q) {
            const QByteArray folder = randomFolder(5);
            h.harbor.clearMemo();
            ASSERT_EQ(h.reason(folder + "f.txt"), expected(folder))
                << "round " << round << " " << folder.constData();
        }
    }
}

TEST(SafeHarborLookup, CanonicalFormsMeetThroughLinks) {
    test::TempTree t;
    const QByteArray root = platform::shortPath(t.root());
    t.dir("real/sub");
    t.symlink("link", "real");
    t.dir("kept");
    t.symlink("kept-link", "kept");
    Harbor h({root + "/link/*.*", root + "/kept-link/"});
    EXPECT_EQ(h.reason(root + "/real/sub/a.txt"), 3);
    EXPECT_EQ(h.reason(root + "/link/sub/a.txt"), 3);
    EXPECT_EQ(h.reason(root + "/kept/a.txt"), 3);
    EXPECT_EQ(h.reason(root + "/kept-link/a.txt"), 3);
    EXPECT_EQ(h.reason(root + "/kept/sub/a.txt"), 0);
    EXPECT_TRUE(h.harbor.lb1().contains(lowerAscii(root + "/real/*.*")));
    EXPECT_TRUE(h.harbor.lb1().contains(lowerAscii(root + "/kept/")));
}

TEST(SafeHarborLookup, MissingListLeavesTheSearchPathAndSystemFolders) {
    test::TempTree t;
    const QByteArray root = platform::shortPath(t.root());
    t.dir("bin");
    t.dir("etc");
    Sources s;
    s.foldersFile = QFile::decodeName(root + "/no-such-folders.txt");
    s.searchPath = {root + "/bin"};
    s.systemFolders = {root + "/etc"};
    SafeHarbor harbor;
    EXPECT_TRUE(harbor.safeHarborMissing());
    harbor.GetSearchPath(s);
    EXPECT_TRUE(harbor.safeHarborMissing());
    EXPECT_EQ(harbor.lb1(),
              (QList<QByteArray>{lowerAscii(root + "/bin/"), lowerAscii(root + "/etc/*.*")}));

    // "\r\n" lines and blank lines read as well; a list present lifts the flag.
    t.file("folders.txt", "\r\n" + root + "/data/*.*\r\n\r\n" + root + "/x/\r\n");
    s.foldersFile = QFile::decodeName(root + "/folders.txt");
    harbor.GetSearchPath(s);
    EXPECT_FALSE(harbor.safeHarborMissing());
    EXPECT_EQ(harbor.lb1(),
              (QList<QByteArray>{lowerAscii(root + "/bin/"), lowerAscii(root + "/data/*.*"),
                                 lowerAscii(root + "/etc/*.*"), lowerAscii(root + "/x/")}));
}

TEST(SafeHarborLookup, RemoveCoveredFolders) {
    const struct {
        QList<QByteArray> in;
        QList<QByteArray> out;
    } cases[] = {
        {bytes({"/a/", "/a/b/", "/a/*.*", "/c/"}), bytes({"/a/*.*", "/c/"})},
        // Of nested subtree entries only the outermost stays.
        {bytes({"/a/b/*.*", "/a/*.*", "/a/b/c/*.*", "/a/x/"}), bytes({"/a/*.*"})},
        // Case folded, and equal ones once.
        {bytes({"/A/*.*", "/a/B/", "/a/*.*", "/b/"}), bytes({"/A/*.*", "/b/"})},
        // A subtree covers at folder boundaries only.
        {bytes({"/opt/app*.*", "/opt/apple/", "/opt/app/x/"}),
         bytes({"/opt/app*.*", "/opt/apple/"})},
        // Without subtree entries nothing goes, duplicates included; the list is sorted.
        {bytes({"/b/", "/a/", "/B/", "/a/"}), bytes({"/a/", "/a/", "/B/", "/b/"})},
        {bytes({"/*.*", "/etc/", "/usr/*.*"}), bytes({"/*.*"})},
        {{}, {}},
    };
    for (const auto& c : cases) {
        QList<QByteArray> list = c.in;
        removeCoveredFolders(list);
        EXPECT_EQ(list, c.out) << c.in.join(' ').constData();
    }
}

TEST(SafeHarborLookup, ExtensionAndWholeNameEntries) {
    Harbor h({"/nx-h6/docs/"});
    h.harbor.setExtensions({QStringLiteral("*.sys"), QStringLiteral("README.txt"),
                            QStringLiteral("a*.tmp"), QStringLiteral("*.~*"),
                            QStringLiteral("*.gz")});
    const struct {
        const char* path;
        bool isFile;
        int reason;
    } cases[] = {
        {"/nx-h6/x/DRIVER.SYS", true, 4},     {"/nx-h6/x/driver.sys.bak", true, 0},
        {"/nx-h6/x/readme.TXT", true, 4},     {"/nx-h6/y/z/README.txt", true, 4},
        {"/nx-h6/x/readme.txt.old", true, 0}, {"/nx-h6/x/abc.tmp", true, 4},
        {"/nx-h6/x/bc.tmp", true, 0},         {"/nx-h6/x/page.~mp", true, 4},
        {"/nx-h6/x/archive.tar.gz", true, 4}, {"/nx-h6/x/noextension", true, 0},
        {"/nx-h6/x.sys", false, 0},      // folders have no extension
        {"/nx-h6/docs/a.sys", true, 3},  // a folder reason comes first
    };
    for (const auto& c : cases) {
        EXPECT_EQ(h.reason(c.path, c.isFile), c.reason) << c.path;
    }

    // A name that is not UTF-8 is kept in the "bytes:" form and protects exactly its bytes.
    h.harbor.setExtensions({nativePathSetting("caf\xe9.DAT"), nativePathSetting("*.\xff\xfe")});
    EXPECT_EQ(h.reason("/nx-h6/x/caf\xe9.dat"), 4);
    EXPECT_EQ(h.reason("/nx-h6/x/caf\xc3\xa9.dat"), 0);
    EXPECT_EQ(h.reason("/nx-h6/x/any.\xff\xfe"), 4);
    EXPECT_EQ(h.reason("/nx-h6/x/any.fffe"), 0);

    // A file without an extension is protected only by the entry "*".
    h.harbor.setExtensions({QStringLiteral("*")});
    EXPECT_EQ(h.reason("/nx-h6/x/noextension"), 4);
    EXPECT_EQ(h.reason("/nx-h6/x/name.txt"), 0);
    EXPECT_EQ(h.harbor.lbExt(), QList<QByteArray>{"*"});
}

// The lookup protects only stored extensions: the editors' "*.sys" and "*.drv" count
// once the editor has saved them.
TEST(SafeHarborLookup, StoredExtensionListWithAndWithoutNumber) {
    QTemporaryDir config;
    test::ScopedEnv env("DISKWELL_CONFIG_DIR", config.path().toLocal8Bit());
    SettingsStore store;
    const QString section = QString::fromLatin1(settings::kNoDelExt);
    SafeHarbor harbor;

    harbor.ReadSafeHarborExtensions();
    EXPECT_TRUE(harbor.lbExt().isEmpty());
    EXPECT_FALSE(harbor.isInSafeHarbor("/nx-h6/x/driver.sys", true));

    ASSERT_TRUE(
        store.writeList(section, {QStringLiteral("*.SYS\tSystem file"), QStringLiteral("*.drv")}));
    harbor.ReadSafeHarborExtensions();
    EXPECT_EQ(harbor.lbExt(), (QList<QByteArray>{"*.drv", "*.sys"}));
    int reason = 0;
    EXPECT_TRUE(harbor.isInSafeHarbor("/nx-h6/x/driver.sys", true, reason));
    EXPECT_EQ(reason, SafeHarbor::kReasonExtension);

    ASSERT_TRUE(store.writeList(section, {}));
    harbor.ReadSafeHarborExtensions();
    EXPECT_TRUE(harbor.lbExt().isEmpty());
    EXPECT_FALSE(harbor.isInSafeHarbor("/nx-h6/x/driver.sys", true));
}

// This machine's own trees: a duplicate search over "/" must find the system's files
// protected, its caches and logs not.
TEST(SafeHarborLookup, TheSystemsOwnTreesOfThisMachine) {
    const QList<QByteArray> trees = systemTrees();
    for (const char* tree : {"/usr", "/etc", "/boot", "/opt", "/var/lib"}) {
        EXPECT_TRUE(trees.contains(tree)) << tree;
    }
    for (const QByteArray& tree : trees) {
        const auto entry = platform::statPath(tree);
        EXPECT_TRUE(!entry || entry->isFolder()) << "a link is never listed: " << tree.constData();
    }
    test::ScopedEnv path("PATH", QByteArray("/nx-h6/bin"));
    Sources s = Sources::current();
    s.foldersFile.clear();
    SafeHarbor harbor;
    harbor.GetSearchPath(s);
    const struct {
        const char* path;
        int reason;
    } cases[] = {
        {"/etc/ssh/ssh_config", 1},
        {"/usr/lib/x86_64-linux-gnu/libc.so.6", 1},
        {"/var/lib/dpkg/status", 1},
        {"/usr/bin/ls", 1},
        {"/boot/vmlinuz", 1},
        {"/opt/app/bin/app", 1},
        {"/bin/sh", 1},  // a link into /usr, or a tree of its own
        {"/var/cache/apt/pkgcache.bin", 0},
        {"/var/log/syslog", 0},
        {"/var/tmp/x", 0},
        {"/home/ann/a.txt", 0},
    };
    for (const auto& c : cases) {
        int reason = -1;
        harbor.isInSafeHarbor(c.path, true, reason);
        EXPECT_EQ(reason, c.reason) << c.path;
    }
}

// What stands where folders.txt or the settings file should be, and what the protected
// extensions' count holds: every case the lists cannot be trusted in sets loadError(),
// naming the file; a damaged count still protects the entries there are.
TEST(SafeHarborLoad, ListsThatCannotBeReadOrAreDamagedFailClosed) {
    enum class Put { Nothing, Fifo, DevZero, Folder, TooLarge, Unreadable, Text };
    const struct {
        const char* what;
        const char* file;  // "folders.txt" or "registry.ini"
        Put put;
        QByteArray count;     // Put::Text: the NoDelExt count line ("" for none)
        const char* problem;  // nullptr: the lists are read
    } cases[] = {
        {"good lists", "registry.ini", Put::Text, "Number=1", nullptr},
        {"no extension list ever saved", "registry.ini", Put::Nothing, {}, nullptr},
        {"folders.txt a FIFO", "folders.txt", Put::Fifo, {}, "it is not a regular file"},
        {"folders.txt a link to /dev/zero",
         "folders.txt",
         Put::DevZero,
         {},
         "it is not a regular file"},
        {"folders.txt a folder", "folders.txt", Put::Folder, {}, "it is not a regular file"},
        {"folders.txt above 64 MiB", "folders.txt", Put::TooLarge, {}, "it is larger than 64 MiB"},
        {"folders.txt unreadable", "folders.txt", Put::Unreadable, {}, "Permission denied"},
        {"registry.ini a FIFO", "registry.ini", Put::Fifo, {}, "it is not a regular file"},
        {"registry.ini a link to /dev/zero",
         "registry.ini",
         Put::DevZero,
         {},
         "it is not a regular file"},
        {"registry.ini above 16 MiB",
         "registry.ini",
         Put::TooLarge,
         {},
         "it is larger than 16 MiB"},
        {"registry.ini unreadable", "registry.ini", Put::Unreadable, {}, "Permission denied"},
        {"count empty", "registry.ini", Put::Text, "Number=", "damaged"},
        {"count missing", "registry.ini", Put::Text, "", "damaged"},
        {"count not a number", "registry.ini", Put::Text, "Number=abc", "damaged"},
        {"count negative", "registry.ini", Put::Text, "Number=-5", "damaged"},
        {"count beyond 64 bits", "registry.ini", Put::Text, "Number=12345678901234567890",
         "damaged"},
    };
    for (const auto& c : cases) {
        test::TempTree t;
        ASSERT_EQ(::chmod(t.root().constData(), 0755), 0);
        const QByteArray config = t.dir("config");
        test::ScopedEnv env("DISKWELL_CONFIG_DIR", config);
        const QByteArray protectedFile = t.file("data/driver.sys", "x");
        t.file("config/folders.txt", t.root() + "/kept/\n");
        t.file("config/registry.ini", "[Software\\Brightwater Systems\\Diskwell\\3.0\\NoDelExt]\n" +
                                          (c.put == Put::Text ? c.count : QByteArray("Number=1")) +
                                          "\nFile1=*.sys\n");
        const QByteArray rel = "config/" + QByteArray(c.file);
        const QByteArray path = t.path(rel);
        switch (c.put) {
            case Put::Nothing:
                ASSERT_EQ(::unlink(path.constData()), 0);
                break;
            case Put::Fifo:
                ASSERT_EQ(::unlink(path.constData()), 0);
                t.fifo(rel);
                break;
            case Put::DevZero:
                ASSERT_EQ(::unlink(path.constData()), 0);
                t.symlink(rel, "/dev/zero");
                break;
            case Put::Folder:
                ASSERT_EQ(::unlink(path.constData()), 0);
                t.dir(rel);
                break;
            case Put::TooLarge:
                ASSERT_EQ(::truncate(path.constData(), 64 * 1024 * 1024 + 1), 0);
                break;
            case Put::Unreadable:
                t.setMode(rel, 0);
                break;
            case Put::Text:
                break;
        }
        const bool damaged = c.problem && QByteArray(c.problem) == "damaged";
        QString expected;
        if (damaged) {
            expected =
                QStringLiteral(
                    "The list \"NoDelExt\" in the settings file %1 is damaged: its count "
                    "\"Number\" is %2")
                    .arg(QFile::decodeName(path),
                         c.count.isEmpty()
                             ? QStringLiteral("missing")
                             : QStringLiteral("\"%1\"").arg(QString::fromUtf8(c.count.mid(7))));
        } else if (c.problem) {
            expected = QByteArray(c.file) == "folders.txt"
                           ? QStringLiteral("The Safe Harbor list %1 cannot be read: %2")
                                 .arg(QFile::decodeName(path), QString::fromUtf8(c.problem))
                           : QStringLiteral("The settings file %1 cannot be read: %2")
                                 .arg(QFile::decodeName(path), QString::fromUtf8(c.problem));
        }
        // A child that cannot hang (a read waiting on the FIFO ends it by the alarm),
        // running as nobody where the file must be unreadable.
        const auto body = [&] {
            ::alarm(30);
            SafeHarbor harbor;
            harbor.ReadSafeHarborExtensions();
            Sources s;
            s.foldersFile = QFile::decodeName(config + "/folders.txt");
            harbor.GetSearchPath(s);
            if (harbor.loadError() != expected) {
                return 1;
            }
            // A damaged count still protects every entry there is.
            if (damaged && !harbor.isInSafeHarbor(protectedFile, true)) {
                return 2;
            }
            return 0;
        };
        int status = -1;
        if (c.put == Put::Unreadable) {
            status = test::runAsNobody(body);
        } else {
            const pid_t pid = fork();
            if (pid == 0) {
                _exit(body());
            }
            int raw = 0;
            if (pid > 0 && waitpid(pid, &raw, 0) == pid && WIFEXITED(raw)) {
                status = WEXITSTATUS(raw);
            }
        }
        EXPECT_EQ(status, 0) << c.what << ": expected " << expected.toStdString();
    }
}

// Lists as other editors save them, and lists with lines that cannot be read as
// written: the first are read as their text, the others stop everything, naming the
// file and the line (a line left out could be the one that protects).
TEST(SafeHarborLoad, ListsAreReadAsWrittenOrNotAtAll) {
    const auto utf16 = [](const QByteArray& utf8, bool little, bool mark = true) {
        const QString text = QString::fromUtf8(utf8);
        QByteArray out = mark ? QByteArray(little ? "\xFF\xFE" : "\xFE\xFF") : QByteArray();
        for (const QChar c : text) {
            const char high = char(c.unicode() >> 8);
            const char low = char(c.unicode() & 0xff);
            out.append(little ? low : high).append(little ? high : low);
        }
        return out;
    };
    const QByteArray header = "[Software\\Brightwater Systems\\Diskwell\\3.0\\NoDelExt]\n";
    const struct {
        const char* what;
        const char* file;  // "folders.txt" or "registry.ini"
        std::function<QByteArray(const QByteArray& root)> content;
        const char* problem;  // nullptr: read, and every file below is protected
    } cases[] = {
        {"folders.txt in UTF-16, little-endian", "folders.txt",
         [&](const QByteArray& root) {
             return utf16(root + "/kept/\r\n" + root + "/caf\xc3\xa9/\r\n", true);
         },
         nullptr},
        {"folders.txt in UTF-16, big-endian", "folders.txt",
         [&](const QByteArray& root) {
             return utf16(root + "/kept/\n" + root + "/caf\xc3\xa9/\n", false);
         },
         nullptr},
        {"folders.txt in UTF-8 with its mark", "folders.txt",
         [&](const QByteArray& root) {
             return "\xEF\xBB\xBF" + root + "/kept/\n" + root + "/caf\xc3\xa9/\n";
         },
         nullptr},
        {"folders.txt naming a folder whose name is no UTF-8", "folders.txt",
         [&](const QByteArray& root) { return root + "/kept/\n" + root + "/odd\xff/\n"; }, nullptr},
        {"folders.txt in UTF-16 without its mark", "folders.txt",
         [&](const QByteArray& root) { return utf16(root + "/kept/\n", true, false); },
         "its line 1 holds a NUL byte"},
        {"folders.txt in UTF-16 cut short", "folders.txt",
         [&](const QByteArray& root) { return utf16(root + "/kept/\n", true).chopped(1); },
         "it is UTF-16 text that cannot be read"},
        {"registry.ini in UTF-16, little-endian", "registry.ini",
         [&](const QByteArray&) { return utf16(header + "Number=1\nFile1=*.sys\n", true); },
         nullptr},
        {"registry.ini in UTF-16, big-endian", "registry.ini",
         [&](const QByteArray&) { return utf16(header + "Number=1\nFile1=*.sys\n", false); },
         nullptr},
        {"a NUL byte in a File line", "registry.ini",
         [&](const QByteArray&) {
             return header + "Number=1\n" + QByteArray("File1=*.s\0ys\n", 12);
         },
         "its line 3 holds a NUL byte"},
        {"a byte that is no UTF-8 in a File line", "registry.ini",
         [&](const QByteArray&) { return header + "Number=1\nFile1=*.sys\xff\n"; },
         "its line 3 is not valid UTF-8"},
        {"a byte that is no UTF-8 in the header", "registry.ini",
         [&](const QByteArray&) {
             return "[Other]\na=1\n" +
                    QByteArray(header).replace("NoDel",
                                               "No\xff"
                                               "Del") +
                    "Number=1\nFile1=*.sys\n";
         },
         "its line 3 is not valid UTF-8"},
        {"a header without its end", "registry.ini",
         [&](const QByteArray&) { return header.chopped(2) + "\nNumber=1\nFile1=*.sys\n"; },
         "its line 1 is a damaged section header"},
        {"a File line without its \"=\"", "registry.ini",
         [&](const QByteArray&) { return header + "Number=1\nFile1 *.sys\n"; },
         "its line 3 is not a \"name=value\" line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempTree t;
        const QByteArray root = platform::shortPath(t.root());
        const QByteArray config = t.dir("config");
        test::ScopedEnv env("DISKWELL_CONFIG_DIR", config);
        const QList<QByteArray> protectedFiles = {
            t.file("data/driver.sys", "x"), t.file("kept/a.txt", "x"),
            t.file(QByteArray(QByteArray("caf\xc3\xa9/b.txt")), "x"), t.file("odd\xff/c.txt", "x")};
        t.file("config/folders.txt",
               root + "/kept/\n" + root + "/caf\xc3\xa9/\n" + root + "/odd\xff/\n");
        t.file("config/registry.ini", header + "Number=1\nFile1=*.sys\n");
        const QByteArray path = t.file("config/" + QByteArray(c.file), c.content(root));
        SafeHarbor harbor;
        harbor.ReadSafeHarborExtensions();
        Sources s;
        s.foldersFile = QFile::decodeName(config + "/folders.txt");
        harbor.GetSearchPath(s);
        if (!c.problem) {
            EXPECT_EQ(harbor.loadError(), QString());
            // Each list names all but one folder of the others: that one stays free.
            for (const QByteArray& f : protectedFiles) {
                const bool odd = f.endsWith("c.txt");
                const bool cafe = f.endsWith("b.txt");
                const bool named = QByteArray(c.file) == "registry.ini" ||
                                   (QString::fromUtf8(c.what).contains(u"no UTF-8") ? !cafe : !odd);
                EXPECT_EQ(harbor.isInSafeHarbor(f, true), named) << f.constData();
            }
            continue;
        }
        const QString expected = QByteArray(c.file) == "folders.txt"
                                     ? QStringLiteral("The Safe Harbor list %1 cannot be read: %2")
                                     : QStringLiteral("The settings file %1 cannot be read: %2");
        EXPECT_EQ(harbor.loadError(),
                  expected.arg(QFile::decodeName(path), QString::fromUtf8(c.problem)));
    }
}

// The memo answers a folder asked before without looking again, until it is emptied;
// the extension test still runs for every file.
TEST(SafeHarborLookup, MemoRemembersFoldersUntilCleared) {
    test::TempTree t;
    const QByteArray root = platform::shortPath(t.root());
    t.dir("protected");
    t.dir("plain");
    t.symlink("moving", "protected");
    Harbor h({root + "/protected/"});
    h.harbor.setExtensions({QStringLiteral("*.sys")});

    EXPECT_EQ(h.reason(root + "/moving/a.txt"), 3);
    EXPECT_EQ(h.harbor.lastFolder(), root + "/moving/");
    EXPECT_EQ(h.harbor.lastReason(), 3);
    EXPECT_EQ(h.reason(root + "/plain/a.txt"), 0);
    EXPECT_EQ(h.reason(root + "/plain/a.sys"), 4);
    EXPECT_EQ(h.harbor.lastFolder(), root + "/plain/");
    EXPECT_EQ(h.harbor.lastReason(), 0);

    // The link now leads elsewhere; the memo still holds the old answer.
    ASSERT_EQ(::unlink((root + "/moving").constData()), 0);
    t.symlink("moving", "plain");
    EXPECT_EQ(h.reason(root + "/moving/b.txt"), 3);
    h.harbor.clearMemo();
    EXPECT_TRUE(h.harbor.lastFolder().isEmpty());
    EXPECT_EQ(h.harbor.lastReason(), 0);
    EXPECT_EQ(h.reason(root + "/moving/b.txt"), 0);
    EXPECT_EQ(h.reason(root + "/moving/b.sys"), 4);
}

// Reloading the lists forgets every answer given under the old ones: the folder asked
// last and the folders asked before it.
TEST(SafeHarborLookup, ReloadedListsForgetTheMemo) {
    test::TempTree t;
    const QByteArray root = platform::shortPath(t.root());
    t.dir("one");
    t.dir("two");
    Harbor h({});
    EXPECT_EQ(h.reason(root + "/one/a.txt"), 0);
    EXPECT_EQ(h.reason(root + "/two/b.txt"), 0);
    EXPECT_EQ(h.harbor.lastFolder(), root + "/two/");

    const QString file = h.dir.path() + QStringLiteral("/folders.txt");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(root + "/one/\n" + root + "/two/\n");
    f.close();
    Sources s;
    s.foldersFile = file;
    h.harbor.GetSearchPath(s);
    EXPECT_EQ(h.reason(root + "/two/b.txt"), 3);  // the folder asked last
    EXPECT_EQ(h.reason(root + "/one/a.txt"), 3);  // one asked before it
}

TEST(FolderListFile, SavedSortedWithLineFeedsAndDeletedWhenEmpty) {
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/sub/folders.txt");
    QString error;
    ASSERT_TRUE(SaveFolderList(file, bytes({"/b/", "/A/*.*", "/a/", "/ca f\xe9/"}), &error))
        << error.toStdString();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("/a/\n/A/*.*\n/b/\n/ca f\xe9/\n"));
    f.close();
    EXPECT_EQ(ReadFolderList(file), bytes({"/a/", "/A/*.*", "/b/", "/ca f\xe9/"}));

    // A line break cannot be kept in a line per entry: refused, file untouched.
    EXPECT_FALSE(SaveFolderList(file, bytes({"/x/", "/bad\nname/"}), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadFolderList(file)->size(), 4);

    ASSERT_TRUE(SaveFolderList(file, {}, &error));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(ReadFolderList(file), std::nullopt);
    EXPECT_TRUE(SaveFolderList(file, {}, &error));  // nothing to delete is fine
}

}  // namespace
}  // namespace dw
