#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "scan/folder_walk.h"
#include "scan/walk_recorder.h"
#include "support/deep_chain.h"
#include "support/scripted_prompter.h"
#include "support/temp_tree.h"
#include "widgets/window_walk_hooks.h"

namespace dw {
namespace {

using test::TempTree;
using test::walkInto;
using test::walkOptions;
using test::WalkRecorder;

QSet<QByteArray> asSet(const QList<QByteArray>& list) {
    return QSet<QByteArray>(list.begin(), list.end());
}

qsizetype indexOf(const QList<QByteArray>& list, const char* item) {
    return list.indexOf(QByteArray(item));
}

// Mounts a fresh tmpfs (or binds a folder) for a test and takes it away again; tests
// that need one are skipped where mounting is not allowed.
class Mount {
public:
    static std::optional<QByteArray> tmpfs(const QByteArray& at) {
        if (::mount("dw-test", at.constData(), "tmpfs", 0, "size=1m") != 0) {
            return std::nullopt;
        }
        return at;
    }
    static std::optional<QByteArray> bind(const QByteArray& from, const QByteArray& at) {
        if (::mount(from.constData(), at.constData(), nullptr, MS_BIND, nullptr) != 0) {
            return std::nullopt;
        }
        return at;
    }
    explicit Mount(std::optional<QByteArray> point) : point_(std::move(point)) {}
    ~Mount() {
        if (point_) {
            ::umount2(point_->constData(), MNT_DETACH);
        }
    }
    bool ok() const { return point_.has_value(); }

private:
    std::optional<QByteArray> point_;
};

// Runs `body` in a child process (for limits that must not touch the test process) and
// returns its exit status, -1 when it did not exit normally.
int runInChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(body() & 0xff);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

TEST(FolderWalk, WalksPostOrderWithFolderTexts) {
    TempTree t;
    t.file("top.txt", "1");
    t.file("a/in-a.txt", "22");
    t.file("a/b/in-b.txt", "333");
    t.dir("a/b/empty");
    t.file("c/in-c.txt", "4444");
    WalkRecorder r(t.root());
    ASSERT_TRUE(walkInto(t.root() + "//", walkOptions(false, false), r));

    EXPECT_EQ(asSet(r.files), asSet({"top.txt", "a/in-a.txt", "a/b/in-b.txt", "c/in-c.txt"}));
    // A folder's files come after everything below it.
    EXPECT_LT(indexOf(r.files, "a/b/in-b.txt"), indexOf(r.files, "a/in-a.txt"));
    EXPECT_LT(indexOf(r.files, "a/in-a.txt"), indexOf(r.files, "top.txt"));
    EXPECT_LT(indexOf(r.files, "c/in-c.txt"), indexOf(r.files, "top.txt"));
    EXPECT_EQ(r.files.size(), 4);
    // Every folder is entered once and left after its subfolders; the start is first in
    // and last out.
    EXPECT_EQ(asSet(r.entered), asSet({"", "a", "a/b", "a/b/empty", "c"}));
    EXPECT_EQ(r.entered.size(), 5);
    EXPECT_EQ(r.entered.front(), QByteArray());
    EXPECT_EQ(r.done.back(), QByteArray());
    EXPECT_LT(indexOf(r.done, "a/b/empty"), indexOf(r.done, "a/b"));
    EXPECT_LT(indexOf(r.done, "a/b"), indexOf(r.done, "a"));
    // The folder text has no trailing separator (the start's were dropped) and leads the
    // progress.
    const QString root = QString::fromUtf8(t.root());
    EXPECT_EQ(r.progress.front(), root);
    EXPECT_TRUE(r.progress.contains(root + QStringLiteral("/a/b")));
    for (const QString& p : r.progress) {
        EXPECT_FALSE(p.endsWith(QLatin1Char('/'))) << p.toStdString();
    }
}

TEST(FolderWalk, FinderChoicesDecideWhatIsHandedOverButNeverWhatIsEntered) {
    TempTree t;
    t.file("plain", "abc");
    t.file(".dotfile", "de");
    t.file(".hidden-folder/inside", "never");
    t.file(".hidden-folder/deeper/also", "never");
    t.file("sub/regular", "x");
    t.file("sub/.dot-in-sub", "y");
    t.symlink("link-to-folder", "sub");
    t.symlink("link-to-file", "plain");
    t.symlink(".hidden-link", "plain");
    t.symlink("dangling", "no/such/target");
    t.fifo("fifo");
    t.symlink("sub/loop", "..");

    struct Case {
        bool hidden;
        bool system;
        QSet<QByteArray> files;
    };
    const Case cases[] = {
        // The duplicates finder: neither.
        {false, false, {"plain", "sub/regular"}},
        // The quick clean: hidden files, no system ones.
        {true, false, {"plain", ".dotfile", "sub/regular", "sub/.dot-in-sub"}},
        {false,
         true,
         {"plain", "sub/regular", "link-to-folder", "link-to-file", "dangling", "fifo",
          "sub/loop"}},
        // The statistics: both; a hidden link needs both.
        {true,
         true,
         {"plain", ".dotfile", "sub/regular", "sub/.dot-in-sub", "link-to-folder", "link-to-file",
          ".hidden-link", "dangling", "fifo", "sub/loop"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "hidden " << c.hidden << " system " << c.system);
        WalkRecorder r(t.root());
        ASSERT_TRUE(walkInto(t.root(), walkOptions(c.hidden, c.system), r));
        EXPECT_EQ(asSet(r.files), c.files);
        EXPECT_EQ(r.files.size(), c.files.size());
        // Hidden folders and links to folders are never entered, whatever is wanted.
        EXPECT_EQ(asSet(r.entered), asSet({"", "sub"}));
        EXPECT_EQ(r.entered.size(), 2);
    }
}

TEST(FolderWalk, HiddenFoldersAreWalkedOnlyWhenAskedAndCountedWhenLeftOut) {
    TempTree t;
    t.file("plain", "a");
    t.file(".dotfile", "b");
    t.file(".cache/big", "c");
    t.file(".cache/sub/.deeper/f", "d");
    t.file("sub/.local/x", "e");
    t.symlink(".link-to-folder", "sub");
    t.dir(".empty");

    struct Case {
        bool enterHidden;
        QSet<QByteArray> files;
        QSet<QByteArray> entered;
        qint64 skipped;
    };
    const Case cases[] = {
        // Left out: the three hidden folders met (not the one below .cache, nor a link).
        {false, {"plain"}, {"", "sub"}, 3},
        {true,
         {"plain", ".cache/big", ".cache/sub/.deeper/f", "sub/.local/x"},
         {"", "sub", ".cache", ".cache/sub", ".cache/sub/.deeper", "sub/.local", ".empty"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "enterHidden " << c.enterHidden);
        WalkRecorder r(t.root());
        WalkOptions o = walkOptions(false, false);
        o.enterHidden = c.enterHidden;
        std::optional<StartFolder> start = EnterStartFolder(t.root());
        ASSERT_TRUE(start);
        FolderWalk walk(o, r);
        walk.walkTree(*start);
        EXPECT_EQ(asSet(r.files), c.files);
        EXPECT_EQ(asSet(r.entered), c.entered);
        EXPECT_EQ(walk.hiddenFoldersSkipped(), c.skipped);
    }
}

TEST(FolderWalk, SystemEntriesAreHandedOverAsThemselves) {
    TempTree t;
    t.file("target", QByteArray(1000, 'x'));
    t.symlink("link", "target");
    t.fifo("fifo");
    WalkRecorder r(t.root());
    ASSERT_TRUE(walkInto(t.root(), walkOptions(false, true), r));
    ASSERT_EQ(r.files.size(), 3);
    for (qsizetype i = 0; i < r.files.size(); ++i) {
        const platform::DirEntry& e = r.entries[i];
        if (r.files[i] == "link") {
            EXPECT_TRUE(e.isSystem());
            EXPECT_EQ(e.size, qint64(sizeof("target") - 1));  // the link, not its target
        } else if (r.files[i] == "fifo") {
            EXPECT_TRUE(e.isSystem());
            EXPECT_EQ(e.size, 0);
        } else {
            EXPECT_FALSE(e.isSystem());
            EXPECT_EQ(e.size, 1000);
        }
    }
}

TEST(FolderWalk, PatternAndFolderEntries) {
    TempTree t;
    t.file("Report.TXT");
    t.file("notes.txt");
    t.file("image.png");
    t.file("b1");
    t.file("sub/deep.txt");
    t.file(".hidden.txt");
    t.dir(".hidden-dir.txt");
    {
        WalkRecorder r(t.root());
        ASSERT_TRUE(walkInto(t.root(), walkOptions(false, false, false, "*.txt; b?"), r));
        EXPECT_EQ(asSet(r.files), asSet({"Report.TXT", "notes.txt", "b1", "sub/deep.txt"}));
    }
    {
        // With folders wanted, a subfolder's entry comes with its parent's files, after
        // the subfolder's own walk; a hidden folder is handed over (when hidden entries
        // are wanted) but still not entered.
        WalkRecorder r(t.root());
        ASSERT_TRUE(walkInto(t.root(), walkOptions(true, true, true), r));
        EXPECT_EQ(asSet(r.files), asSet({"Report.TXT", "notes.txt", "image.png", "b1", "sub",
                                         "sub/deep.txt", ".hidden.txt", ".hidden-dir.txt"}));
        EXPECT_LT(indexOf(r.files, "sub/deep.txt"), indexOf(r.files, "sub"));
        EXPECT_EQ(platform::EntryKind(r.entries[indexOf(r.files, "sub")]), 0);
        EXPECT_EQ(asSet(r.entered), asSet({"", "sub"}));
    }
    {
        WalkRecorder r(t.root());
        ASSERT_TRUE(walkInto(t.root(), walkOptions(false, false, true), r));
        EXPECT_FALSE(r.files.contains(".hidden-dir.txt"));
        EXPECT_TRUE(r.files.contains("sub"));
    }
}

TEST(FolderWalk, HostileNamesReachTheStepIntact) {
    TempTree t;
    const QList<QByteArray> names = {
        "tab\there", "new\nline", " leading", "trailing ", "bad\xff\xfe", "star*?", "back\\slash",
    };
    for (const QByteArray& n : names) {
        t.file(n, n);
        t.file("dir\n" + n + "/in\tside", n);
    }
    WalkRecorder r(t.root());
    ASSERT_TRUE(walkInto(t.root(), walkOptions(false, false), r));
    QHash<QByteArray, qint64> expected;  // each file holds its own name
    for (const QByteArray& n : names) {
        expected.insert(n, n.size());
        expected.insert("dir\n" + n + "/in\tside", n.size());
    }
    EXPECT_EQ(asSet(r.files), asSet(expected.keys()));
    EXPECT_EQ(r.files.size(), expected.size());
    for (qsizetype i = 0; i < r.files.size(); ++i) {
        // The path handed over reaches exactly that file.
        EXPECT_EQ(r.entries[i].size, expected.value(r.files[i], -1));
        const std::optional<platform::DirEntry> e = platform::statPath(t.path(r.files[i]));
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->inode, r.entries[i].inode);
    }
}

TEST(FolderWalk, FolderTextIsTheDecodedPathAtEveryStep) {
    // Names that are valid UTF-8 and names that are not, nested both ways, entered and
    // left again: whatever the hooks are told, the text is the path decoded whole, and
    // the path is the folders' names joined.
    TempTree t;
    const QList<QByteArray> chains[] = {
        {"caf\xC3\xA9", "plain", "\xE6\x97\xA5"},
        {"cut\xC3", "\xA9rest", "ok"},
        {"ok", "bad\xFF", "\xE2\x82", "\xAC"},
        {"\xF0\x9F\x98", "\x80x", "z"},
    };
    QSet<QByteArray> made;
    for (const QList<QByteArray>& chain : chains) {
        QByteArray rel;
        for (const QByteArray& name : chain) {
            rel += (rel.isEmpty() ? "" : "/") + name;
            made.insert(rel);
        }
        t.file(rel + "/f", "x");
    }
    struct Checker : WalkHooks {
        QByteArray root;
        QSet<QByteArray> entered;
        int mismatches = 0;
        void check(const WalkFolder& folder) {
            mismatches += folder.text == QFile::decodeName(folder.path) ? 0 : 1;
        }
        void onFile(const WalkFolder& folder, const platform::DirEntry&) override { check(folder); }
        void onFolderEntered(const WalkFolder& folder) override {
            check(folder);
            entered.insert(folder.path.mid(root.size() + 1));
        }
        void onFolderDone(const WalkFolder& folder) override { check(folder); }
    } checker;
    checker.root = t.root();
    for (const QByteArray& start : {t.root(), t.root() + "/cut\xC3"}) {
        SCOPED_TRACE(start.toHex().toStdString());
        checker.entered.clear();
        auto folder = EnterStartFolder(start);
        ASSERT_TRUE(folder);
        FolderWalk walk(walkOptions(false, false), checker);
        walk.walkTree(*folder);
        EXPECT_EQ(checker.mismatches, 0);
    }
    checker.entered.clear();
    auto folder = EnterStartFolder(t.root());
    ASSERT_TRUE(folder);
    FolderWalk walk(walkOptions(false, false), checker);
    walk.walkTree(*folder);
    checker.entered.remove({});
    EXPECT_EQ(checker.entered, made);
}

TEST(FolderWalk, SizesAreSixtyFourBit) {
    TempTree t;
    const QByteArray big = t.file("five-gib");
    ASSERT_EQ(::truncate(big.constData(), 5LL << 30), 0);
    WalkRecorder r(t.root());
    ASSERT_TRUE(walkInto(t.root(), walkOptions(false, false), r));
    ASSERT_EQ(r.entries.size(), 1);
    EXPECT_EQ(r.entries[0].size, 5LL << 30);
}

TEST(FolderWalk, UnreadableFoldersAreSkippedSilently) {
    TempTree t;
    t.setMode("", 0755);
    t.file("open/visible", "1");
    t.file("locked/secret", "2");
    t.file("locked/deeper/secret2", "3");
    t.file("no-search/listed-but-not-statable", "4");
    t.file("top", "5");
    t.setMode("locked", 0000);
    t.setMode("no-search", 0444);
    const QByteArray root = t.root();
    const int status = test::runAsNobody([&root] {
        test::ScriptedPrompter prompter;
        WalkRecorder r(root);
        if (!walkInto(root, walkOptions(true, true), r)) {
            return 10;
        }
        if (asSet(r.files) != asSet({"open/visible", "top"}) || r.files.size() != 2) {
            return 11;
        }
        if (r.entered.contains("locked") || r.entered.contains("locked/deeper")) {
            return 12;
        }
        return prompter.boxes().isEmpty() ? 0 : 13;
    });
    EXPECT_EQ(status, 0);
}

TEST(FolderWalk, WalkEntriesWalksCheckedEntriesInOrder) {
    TempTree t;
    t.file("data/one", "1");
    t.file("data/sub/two", "22");
    t.file("other/three", "333");

    const auto extra = [](const QByteArray& path, bool checked) {
        DriveEntry e;
        e.kind = DriveEntry::Kind::ExtraFolder;
        e.startFolder = path;
        e.text = QString::fromUtf8(path);
        e.checked = checked;
        return e;
    };
    DriveEntry unready;
    unready.kind = DriveEntry::Kind::Drive;
    unready.startFolder = "/no/such/mount/point";
    unready.text = QStringLiteral("/no/such/mount/point [gone]");
    unready.checked = true;

    const QByteArray missing = t.path("deleted/folder");
    test::ScriptedPrompter prompter;  // the walk itself shows nothing
    WalkRecorder r(t.root());
    FolderWalk walk(walkOptions(false, false), r);
    const int unopened = walk.walkEntries({
        extra(t.root(), true),
        unready,
        extra(missing, true),
        extra(t.path("other"), false),
        extra(t.path("data"), true),
    });

    // The data folder lies inside the root, walked first: it is not walked again.
    EXPECT_EQ(r.files.count("data/one"), 1);
    EXPECT_EQ(r.files.count("data/sub/two"), 1);
    EXPECT_EQ(r.files.count("other/three"), 1);
    EXPECT_EQ(r.files.size(), 3);
    EXPECT_EQ(r.entered.count(""), 1);
    EXPECT_EQ(r.entered.count("data"), 1);
    // The unready drive is skipped without a word; the missing folder is reported to the
    // hooks with its message, and the walk goes on.
    EXPECT_EQ(unopened, 1);
    EXPECT_EQ(r.unopened,
              QStringList{QStringLiteral("Can't open drive ") + QString::fromUtf8(missing)});
    EXPECT_TRUE(prompter.boxes().isEmpty());
    EXPECT_TRUE(prompter.sounds().isEmpty());
}

// Entries that overlap (the same folder twice, by any path, or a folder inside another
// entry, before or after it) hand every file over once and enter every folder once, in
// list order.
TEST(FolderWalk, OverlappingEntriesHandEachFileOverOnce) {
    TempTree t;
    t.file("top/a", "1");
    t.file("top/in/b", "2");
    t.file("top/in/deep/c", "3");
    t.file("top/side/d", "4");
    t.symlink("alias", t.path("top"));
    const struct {
        QList<QByteArray> starts;
        QList<QByteArray> names;  // the files handed over, sorted
        QByteArray first;         // the first one handed over
    } cases[] = {
        {{"top", "top"}, {"a", "b", "c", "d"}, {}},
        {{"top", "top/in"}, {"a", "b", "c", "d"}, {}},
        {{"top/in", "top"}, {"a", "b", "c", "d"}, "c"},
        {{"top/in/deep", "top", "top/in"}, {"a", "b", "c", "d"}, "c"},
        {{"top/side", "alias/in", "top"}, {"a", "b", "c", "d"}, "d"},
        {{"top/in/deep", "top/side"}, {"c", "d"}, "c"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.starts.join(' ').toStdString());
        QList<DriveEntry> entries;
        for (const QByteArray& start : c.starts) {
            DriveEntry e;
            e.kind = DriveEntry::Kind::ExtraFolder;
            e.startFolder = t.path(start);
            e.text = QString::fromUtf8(e.startFolder);
            e.checked = true;
            entries.append(e);
        }
        WalkRecorder r(t.root());
        FolderWalk walk(walkOptions(false, false), r);
        EXPECT_EQ(walk.walkEntries(entries), 0);
        QList<QByteArray> names;
        for (const QByteArray& file : r.files) {
            names.append(file.mid(file.lastIndexOf('/') + 1));
        }
        if (!c.first.isEmpty()) {
            EXPECT_EQ(names.value(0), c.first);
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.names);
        QList<QByteArray> entered = r.entered;
        std::sort(entered.begin(), entered.end());
        EXPECT_EQ(std::adjacent_find(entered.begin(), entered.end()), entered.end())
            << "a folder entered twice";
        // What one call walked hides nothing from the next.
        walk.walkEntries(entries);
        EXPECT_EQ(r.files.size(), 2 * c.names.size());
    }
}

TEST(FolderWalk, AbortStopsHandingOverAndUnwinds) {
    TempTree t;
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 5; ++j) {
            t.file("d" + QByteArray::number(i) + "/e" + QByteArray::number(j) + "/f", "x");
        }
        t.file("d" + QByteArray::number(i) + "/g", "x");
    }
    t.file("top", "x");
    {
        // The per-file step sets the flag: nothing more is handed over.
        WalkRecorder r(t.root());
        r.afterFile = [](WalkRecorder& self) {
            if (self.files.size() == 3) {
                self.abort = true;
            }
        };
        ASSERT_TRUE(walkInto(t.root(), walkOptions(false, false), r));
        EXPECT_EQ(r.files.size(), 3);
        const qsizetype progressAtAbort = r.progress.size();
        // Every folder entered is left, innermost first, and nothing new is entered.
        EXPECT_EQ(r.done.size(), r.entered.size());
        EXPECT_EQ(r.done.back(), QByteArray());
        EXPECT_LT(r.entered.size(), 1 + 5 + 25);
        EXPECT_EQ(r.progress.size(), progressAtAbort);
    }
    {
        // A window sets it while its events run in the yield: the same.
        WalkRecorder r(t.root());
        r.afterYield = [](WalkRecorder& self) {
            if (self.files.size() == 7) {
                self.abort = true;
            }
        };
        ASSERT_TRUE(walkInto(t.root(), walkOptions(false, false), r));
        EXPECT_EQ(r.files.size(), 7);
    }
    {
        // Set before the walk: nothing at all.
        WalkRecorder r(t.root());
        r.abort = true;
        ASSERT_TRUE(walkInto(t.root(), walkOptions(false, false), r));
        EXPECT_TRUE(r.events.isEmpty());
    }
    {
        // After an abort the remaining entries are still opened (a missing one is still
        // reported) but nothing of them is walked.
        WalkRecorder r(t.root());
        r.afterFile = [](WalkRecorder& self) { self.abort = true; };
        DriveEntry a;
        a.kind = DriveEntry::Kind::ExtraFolder;
        a.startFolder = t.root();
        a.text = QString::fromUtf8(t.root());
        a.checked = true;
        DriveEntry missing = a;
        missing.startFolder = t.path("missing");
        missing.text = QString::fromUtf8(missing.startFolder);
        FolderWalk walk(walkOptions(false, false), r);
        walk.walkEntries({a, missing, a});
        EXPECT_EQ(r.files.size(), 1);
        EXPECT_EQ(r.unopened, QStringList{QStringLiteral("Can't open drive ") + missing.text});
    }
}

TEST(FolderWalk, YieldsAfterEveryEntry) {
    TempTree t;
    for (int i = 0; i < 4; ++i) {
        t.file("f" + QByteArray::number(i));
        t.file("sub/g" + QByteArray::number(i));
    }
    t.file(".hidden");
    WalkRecorder r(t.root());
    ASSERT_TRUE(walkInto(t.root(), walkOptions(false, false), r));
    ASSERT_EQ(r.files.size(), 8);
    // Between two files handed over there is always a yield, and one after the last.
    for (qsizetype i = 0; i < r.events.size(); ++i) {
        if (r.events[i].startsWith(QLatin1String("file "))) {
            ASSERT_LT(i + 1, r.events.size());
            EXPECT_EQ(r.events[i + 1], QStringLiteral("yield"));
        }
    }
    // Root: 6 entries looked at twice (folders, then files); sub: 4 entries twice.
    EXPECT_EQ(r.yields, 2 * 6 + 2 * 4);
}

TEST(FolderWalk, WindowHooksPumpOnlyWhenTheIntervalIsUp) {
    TempTree t;
    for (int i = 0; i < 50; ++i) {
        t.file("f" + QByteArray::number(i));
    }
    struct Hooks : WindowWalkHooks<WalkHooks> {
        using WindowWalkHooks::WindowWalkHooks;
        int files = 0;
        void onFile(const WalkFolder&, const platform::DirEntry&) override { ++files; }
    };
    int pumps = 0;
    Hooks slow(60 * 60 * 1000, [&pumps] { ++pumps; });
    slow.startWalk();
    {
        auto start = EnterStartFolder(t.root());
        FolderWalk walk(walkOptions(false, false), slow);
        walk.walkTree(*start);
    }
    EXPECT_EQ(slow.files, 50);
    EXPECT_EQ(pumps, 0);

    Hooks eager(0, [&pumps] { ++pumps; });
    eager.startWalk();
    eager.requestAbort();
    EXPECT_TRUE(eager.abortRequested());
    eager.startWalk();
    EXPECT_FALSE(eager.abortRequested());
    {
        auto start = EnterStartFolder(t.root());
        FolderWalk walk(walkOptions(false, false), eager);
        walk.walkTree(*start);
    }
    EXPECT_EQ(eager.files, 50);
    // Every entry is looked at twice; the clock is looked at every few entries.
    EXPECT_EQ(pumps, 100 / WindowWalkHooks<WalkHooks>::kEntriesPerClockCheck);
}

// A chain of `depth` folders "d", each with a file "f" and a side folder "s" with a file.
QByteArray makeDeepTree(TempTree& t, int depth) {
    QByteArray rel;
    for (int i = 0; i < depth; ++i) {
        rel += (rel.isEmpty() ? "" : "/") + QByteArray("d");
        t.file(rel + "/f", "x");
        if (i % 7 == 0) {
            t.file(rel + "/s/g", "yy");
        }
    }
    return rel;
}

TEST(FolderWalk, DeepTreesWithFewDescriptorsWalkTheSame) {
    TempTree t;
    makeDeepTree(t, 80);
    WalkRecorder wide(t.root());
    ASSERT_TRUE(walkInto(t.root(), walkOptions(false, false), wide));
    EXPECT_EQ(wide.files.size(), 80 + 12);

    for (int limit : {2, 3, 5}) {
        SCOPED_TRACE(limit);
        WalkOptions narrow = walkOptions(false, false);
        narrow.maxOpenFolders = limit;
        WalkRecorder r(t.root());
        ASSERT_TRUE(walkInto(t.root(), narrow, r));
        EXPECT_EQ(r.events.join(QLatin1Char('|')).toStdString(),
                  wide.events.join(QLatin1Char('|')).toStdString());
    }
}

TEST(FolderWalk, ListsEachFolderOnceWhateverTheDescriptors) {
    // Both passes over a folder use one listing, also when its descriptor was given up
    // and reopened while the walk was below it.
    TempTree t;
    makeDeepTree(t, 40);
    t.file("side/.h/x", "x");
    for (int limit : {128, 3, 2}) {
        SCOPED_TRACE(limit);
        WalkOptions options = walkOptions(true, false);
        options.enterHidden = true;
        options.maxOpenFolders = limit;
        WalkRecorder r(t.root());
        auto start = EnterStartFolder(t.root());
        ASSERT_TRUE(start);
        FolderWalk walk(options, r);
        walk.walkTree(*start);
        EXPECT_EQ(walk.foldersListed(), r.entered.size());
        EXPECT_EQ(r.entered.size(), 1 + 40 + 6 + 2);
        EXPECT_EQ(walk.foldersReopened() > 0, limit < 40);
    }
}

TEST(FolderWalk, ChainDeeperThanAPathWalksEveryLevelOnce) {
    constexpr int kDepth = 10000;
    // Making and removing 10,000 folders takes seconds on a busy disk; in memory it does
    // not, so the chain lives on /dev/shm where there is one.
    const QString base = QDir(QStringLiteral("/dev/shm")).isReadable() ? QStringLiteral("/dev/shm")
                                                                       : QDir::tempPath();
    QTemporaryDir t(base + QStringLiteral("/dw-chain-XXXXXX"));
    ASSERT_TRUE(t.isValid());
    const QByteArray root = QFile::encodeName(t.path());
    test::DeepChain chain(root, kDepth);
    ASSERT_TRUE(chain.made());

    // Keeps counts only: the recorder's paths would hold the square of the depth.
    struct Counts : WalkHooks {
        std::vector<int> entered = std::vector<int>(kDepth + 1, 0);
        std::vector<int> done = std::vector<int>(kDepth + 1, 0);
        QList<QByteArray> bottomFiles;
        void onFolderEntered(const WalkFolder& folder) override { ++entered.at(folder.depth); }
        void onFolderDone(const WalkFolder& folder) override { ++done.at(folder.depth); }
        void onFile(const WalkFolder& folder, const platform::DirEntry& entry) override {
            if (folder.depth == kDepth) {
                bottomFiles.append(entry.name);
            }
        }
    } counts;
    auto start = EnterStartFolder(root);
    ASSERT_TRUE(start);
    FolderWalk walk(walkOptions(false, false), counts);
    walk.walkTree(*start);

    EXPECT_EQ(std::count(counts.entered.begin(), counts.entered.end(), 1), kDepth + 1);
    EXPECT_EQ(counts.done, counts.entered);
    std::sort(counts.bottomFiles.begin(), counts.bottomFiles.end());
    EXPECT_EQ(counts.bottomFiles, (QList<QByteArray>{"f0", "f1"}));
    EXPECT_EQ(walk.foldersListed(), kDepth + 1);
    // Going back up reopens each given-up level a few times at most, not once for every
    // level below it.
    EXPECT_LE(walk.foldersReopened(), 2 * kDepth);
}

TEST(FolderWalk, RunningOutOfDescriptorsDegradesToReopening) {
    TempTree t;
    makeDeepTree(t, 150);
    WalkRecorder wide(t.root());
    ASSERT_TRUE(walkInto(t.root(), walkOptions(false, false), wide));
    const QList<QByteArray> expected = wide.files;
    const QByteArray root = t.root();
    const int status = runInChild([&] {
        const rlimit few{48, 48};
        if (setrlimit(RLIMIT_NOFILE, &few) != 0) {
            return 10;
        }
        WalkOptions options = walkOptions(false, false);
        options.maxOpenFolders = 100000;
        WalkRecorder r(root);
        if (!walkInto(root, options, r)) {
            return 11;
        }
        return r.files == expected ? 0 : 12;
    });
    EXPECT_EQ(status, 0);
}

TEST(FolderWalk, ReplacedFolderIsNotReenteredWhenReopened) {
    // A given-up level whose folder is swapped while the walk is below it is skipped,
    // not walked in its new shape.
    TempTree t;
    t.file("a/b/c/d/f", "x");
    t.file("a/b/tail", "x");
    t.file("a/other/g", "x");
    WalkOptions options = walkOptions(false, false);
    options.maxOpenFolders = 2;
    WalkRecorder r(t.root());
    bool swapped = false;
    const QByteArray a = t.path("a");
    const QByteArray moved = t.path("moved");
    r.afterFile = [&](WalkRecorder& self) {
        if (!swapped && self.files.back() == "a/b/c/d/f") {
            swapped = ::rename(a.constData(), moved.constData()) == 0 &&
                      ::mkdir(a.constData(), 0755) == 0;
        }
    };
    ASSERT_TRUE(walkInto(t.root(), options, r));
    ASSERT_TRUE(swapped);
    EXPECT_FALSE(r.files.contains("a/b/tail"));
    EXPECT_EQ(r.done.size(), r.entered.size());
}

// The depths of the folders "d", "d/d", ... below `root` that this process holds open.
QSet<int> openChainLevels(const QByteArray& root) {
    QSet<int> levels;
    DIR* fds = ::opendir("/proc/self/fd");
    while (dirent* e = fds ? ::readdir(fds) : nullptr) {
        char target[4096];
        const QByteArray link = QByteArray("/proc/self/fd/") + e->d_name;
        const ssize_t n = ::readlink(link.constData(), target, sizeof target);
        const QByteArray path(target, n > 0 ? n : 0);
        if (!path.startsWith(root + "/d")) {
            continue;
        }
        const QByteArray rest = path.mid(root.size());
        if (rest.size() % 2 == 0 && rest.count("/d") == rest.size() / 2) {
            levels.insert(int(rest.size() / 2));
        }
    }
    if (fds) {
        ::closedir(fds);
    }
    return levels;
}

TEST(FolderWalk, GivenUpLevelReplacedBetweenOpenLevelsIsNotReentered) {
    // Few descriptors over a long chain: the walk keeps open levels spread along it and
    // reopens a given-up one from the nearest open level above. One given up below an
    // open level is swapped for a new folder with the same names while the walk is at
    // the bottom: no file of either is handed over, and everything above it still is,
    // each level once.
    constexpr int kDepth = 30;
    TempTree t;
    QByteArray level;
    for (int d = 0; d <= kDepth; ++d) {
        t.file(level + "t", "x");
        level += "d/";
    }
    const auto levelPath = [&](int depth) {
        QByteArray rel;
        for (int d = 0; d < depth; ++d) {
            rel += d == 0 ? "d" : "/d";
        }
        return rel;
    };
    WalkOptions options = walkOptions(false, false);
    options.maxOpenFolders = 6;
    WalkRecorder r(t.root());
    int swapped = 0;
    r.afterFile = [&](WalkRecorder& self) {
        if (swapped != 0 || self.files.size() != 1) {
            return;
        }
        const QSet<int> open = openChainLevels(t.root());
        for (int k = 2; k < kDepth && swapped == 0; ++k) {
            const bool openAbove =
                std::any_of(open.begin(), open.end(), [k](int d) { return d < k; });
            const QByteArray path = t.path(levelPath(k));
            if (!open.contains(k) && openAbove &&
                ::rename(path.constData(), t.path("moved").constData()) == 0 &&
                ::mkdir(path.constData(), 0755) == 0) {
                t.file(levelPath(k) + "/t", "new");
                swapped = k;
            }
        }
    };
    ASSERT_TRUE(walkInto(t.root(), options, r));
    ASSERT_NE(swapped, 0) << "no given-up level below an open one";
    EXPECT_EQ(r.files.front(), levelPath(kDepth) + "/t");
    EXPECT_FALSE(r.files.contains(levelPath(swapped) + "/t"));
    for (int d = 0; d < swapped; ++d) {
        EXPECT_EQ(r.files.count(d == 0 ? QByteArray("t") : levelPath(d) + "/t"), 1) << d;
    }
    EXPECT_EQ(asSet(r.entered).size(), r.entered.size());
    EXPECT_EQ(r.done.size(), r.entered.size());
}

TEST(FolderWalk, StaysOnTheStartFileSystem) {
    TempTree t;
    t.file("before", "1");
    t.file("mnt/hidden-by-mount", "2");
    Mount mount(Mount::tmpfs(t.path("mnt")));
    if (!mount.ok()) {
        GTEST_SKIP() << "mounting is not allowed here";
    }
    ASSERT_EQ(::close(::creat(t.path("mnt/on-other-fs").constData(), 0644)), 0);
    WalkRecorder r(t.root());
    ASSERT_TRUE(walkInto(t.root(), walkOptions(true, true), r));
    EXPECT_EQ(r.files, QList<QByteArray>{"before"});
    EXPECT_EQ(r.entered, QList<QByteArray>{""});

    // Started on the mount itself, the walk covers it.
    WalkRecorder inside(t.root());
    ASSERT_TRUE(walkInto(t.path("mnt"), walkOptions(true, true), inside));
    EXPECT_EQ(inside.files, QList<QByteArray>{"mnt/on-other-fs"});
}

TEST(FolderWalk, FolderBoundIntoItselfIsWalkedOnce) {
    TempTree t;
    t.file("a/f", "1");
    t.dir("a/loop");
    Mount mount(Mount::bind(t.path("a"), t.path("a/loop")));
    if (!mount.ok()) {
        GTEST_SKIP() << "mounting is not allowed here";
    }
    WalkRecorder r(t.root());
    ASSERT_TRUE(walkInto(t.root(), walkOptions(false, false), r));
    EXPECT_EQ(r.files, QList<QByteArray>{"a/f"});
}

TEST(FolderWalk, ScanfilesHandsOverOneFolderAlone) {
    TempTree t;
    t.file("here", "1");
    t.file("sub/below", "2");
    std::optional<StartFolder> start = EnterStartFolder(t.root());
    ASSERT_TRUE(start);
    WalkRecorder r(t.root());
    FolderWalk walk(walkOptions(false, false), r);
    walk.walkFolderFiles(*start);
    EXPECT_EQ(r.files, QList<QByteArray>{"here"});
    EXPECT_TRUE(r.entered.isEmpty());
    EXPECT_EQ(r.progress, QStringList{QString::fromUtf8(t.root())});
    // The start folder stays usable.
    WalkRecorder again(t.root());
    FolderWalk walk2(walkOptions(false, false), again);
    walk2.walkTree(*start);
    EXPECT_EQ(asSet(again.files), asSet({"here", "sub/below"}));
}

}  // namespace
}  // namespace dw
