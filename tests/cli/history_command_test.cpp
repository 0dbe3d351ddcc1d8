// diskwell-cli folders --record, history and growth, run as the built tool.
#include <gtest/gtest.h>

#include <QFile>
#include <QMap>
#include <QSet>

#include <dirent.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/settings_store.h"
#include "base/tsv_text.h"
#include "support/cli_runner.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

struct Sum {
    qint64 bytes = 0;
    qint64 files = 0;
    bool operator==(const Sum&) const = default;
};

// What the all-folders scan should give, worked out apart from it (by bytes, so names
// that are not UTF-8 stay exact): for every folder with an entry, the sizes of the files
// directly in it, each inode once.
void addFolderSums(const QByteArray& folder, QMap<QByteArray, Sum>& sums) {
    DIR* dir = ::opendir(folder.constData());
    ASSERT_NE(dir, nullptr) << folder.constData();
    QSet<ino_t> seen;
    bool any = false;
    Sum sum;
    QList<QByteArray> subFolders;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        any = true;
        const QByteArray path = folder + '/' + name;
        struct stat st {};
        EXPECT_EQ(::lstat(path.constData(), &st), 0);
        if (S_ISDIR(st.st_mode)) {
            subFolders.append(path);
        } else if (!seen.contains(st.st_ino)) {
            seen.insert(st.st_ino);
            sum.bytes += st.st_size;
            ++sum.files;
        }
    }
    ::closedir(dir);
    if (any) {
        sums.insert(folder, sum);
    }
    for (const QByteArray& sub : subFolders) {
        addFolderSums(sub, sums);
    }
}

QMap<QByteArray, Sum> folderSums(const QByteArray& root) {
    QMap<QByteArray, Sum> sums;
    addFolderSums(root, sums);
    return sums;
}

struct Growth {
    qint64 was = 0;
    qint64 now = 0;
    QByteArray change;
    qint64 filesWas = 0;
    qint64 filesNow = 0;
    QByteArray state;
    bool operator==(const Growth&) const = default;
};

void PrintTo(const Growth& g, std::ostream* os) {
    *os << g.was << " -> " << g.now << " (" << g.change.constData() << ") files " << g.filesWas
        << " -> " << g.filesNow << ' ' << g.state.constData();
}

// The rows of `growth` by folder, checking the title and the order by change on the way.
QMap<QByteArray, Growth> growthRows(const QByteArray& out) {
    QList<QByteArray> lines = out.split('\n');
    EXPECT_EQ(lines.value(0), "Folder\tWas\tNow\tChange\tFilesWas\tFilesNow\tState");
    QMap<QByteArray, Growth> rows;
    qint64 lastChange = std::numeric_limits<qint64>::max();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty()) {
            continue;
        }
        const QList<QByteArray> c = lines[i].split('\t');
        EXPECT_EQ(c.size(), 7) << lines[i].constData();
        if (c.size() != 7) {
            continue;
        }
        const qint64 change = c[3].toLongLong();
        EXPECT_LE(change, lastChange) << "not sorted by change at " << lines[i].constData();
        lastChange = change;
        rows.insert(TsvUnescape(c[0]), {c[1].toLongLong(), c[2].toLongLong(), c[3],
                                        c[4].toLongLong(), c[5].toLongLong(), c[6]});
    }
    return rows;
}

QByteArray signedText(qint64 n) {
    return n > 0 ? "+" + QByteArray::number(n) : QByteArray::number(n);
}

// The growth `growth --all` should print between two sets of folder sums.
QMap<QByteArray, Growth> expectedGrowth(const QMap<QByteArray, Sum>& was,
                                        const QMap<QByteArray, Sum>& now) {
    QMap<QByteArray, Growth> rows;
    for (auto it = was.begin(); it != was.end(); ++it) {
        const Sum n = now.value(it.key());
        const bool gone = !now.contains(it.key());
        rows.insert(it.key(),
                    {it->bytes, n.bytes, signedText(n.bytes - it->bytes), it->files, n.files,
                     gone                  ? "gone"
                     : n.bytes > it->bytes ? "grew"
                     : n.bytes < it->bytes ? "shrank"
                                           : "same"});
    }
    for (auto it = now.begin(); it != now.end(); ++it) {
        if (!was.contains(it.key())) {
            rows.insert(it.key(), {0, it->bytes, signedText(it->bytes), 0, it->files, "new"});
        }
    }
    return rows;
}

class CliHistory : public ::testing::Test {
protected:
    test::CliRun run(const QList<QByteArray>& args) {
        QStringList list;
        for (const QByteArray& a : args) {
            list.append(QFile::decodeName(a));
        }
        test::CliOptions options;
        options.env.insert(QStringLiteral("XDG_DATA_HOME"), QFile::decodeName(data_.root()));
        return test::runCli(list, options);
    }
    QByteArray historyFile() const { return data_.path("diskwell/history.sqlite"); }

    test::TempTree data_;
};

TEST_F(CliHistory, GrowthEqualsTheChangesOfTheTree) {
    test::TempTree t;
    const QByteArray odd("caf\xe9", 4);
    t.fileOfSize("keep/a.txt", 1000);
    t.fileOfSize("grow/g.txt", 1000);
    t.fileOfSize("shrink/s.txt", 8000);
    t.fileOfSize("gone/x.txt", 300);
    t.fileOfSize("old/m/data.bin", 2500);
    t.fileOfSize("old/stays.txt", 10);
    t.fileOfSize("links/h.bin", 6000);
    ASSERT_EQ(::link(t.path("links/h.bin").constData(), t.path("links/h2.bin").constData()), 0);
    t.fileOfSize(odd + "/w.txt", 50);
    const QMap<QByteArray, Sum> before = folderSums(t.root());

    const test::CliRun first = run({"folders", "--all", "--record", t.root()});
    ASSERT_EQ(first.status, 0) << first.err.constData();

    t.fileOfSize("grow/g.txt", 5000);
    t.fileOfSize("grow/added.txt", 400);
    t.fileOfSize("shrink/s.txt", 2000);
    ASSERT_EQ(::unlink(t.path("gone/x.txt").constData()), 0);
    ASSERT_EQ(::rmdir(t.path("gone").constData()), 0);
    t.dir("moved");
    ASSERT_EQ(::rename(t.path("old/m").constData(), t.path("moved/m").constData()), 0);
    ASSERT_EQ(::link(t.path("links/h.bin").constData(), t.path("links/h3.bin").constData()), 0);
    t.fileOfSize("fresh/n.txt", 700);
    t.fileOfSize(odd + "/w.txt", 90);
    const QMap<QByteArray, Sum> after = folderSums(t.root());

    const test::CliRun second = run({"folders", "--all", "--record", t.root()});
    ASSERT_EQ(second.status, 0) << second.err.constData();

    const test::CliRun all = run({"growth", "--all", t.root()});
    ASSERT_EQ(all.status, 0) << all.err.constData();
    const QMap<QByteArray, Growth> rows = growthRows(all.out);
    const QMap<QByteArray, Growth> expected = expectedGrowth(before, after);
    EXPECT_EQ(rows, expected);
    // The fixture really has every kind of change, the hard link added changing nothing.
    EXPECT_EQ(rows.value(t.path("old/m")).state, "gone");
    EXPECT_EQ(rows.value(t.path("moved/m")).state, "new");
    EXPECT_EQ(rows.value(t.path("links")).state, "same");
    EXPECT_EQ(rows.value(t.path("links")).now, 6000);
    EXPECT_EQ(rows.value(t.path(odd)).change, "+40");

    // Without --all the unchanged folders are left out; --scan names the same pair.
    const test::CliRun history = run({"history", t.root()});
    ASSERT_EQ(history.status, 0) << history.err.constData();
    const QList<QByteArray> scans = history.out.trimmed().split('\n');
    ASSERT_EQ(scans.size(), 3);
    EXPECT_TRUE(scans[0].startsWith("ID\tTime\tOptions\t"));
    EXPECT_TRUE(scans[1].endsWith('\t' + t.root()));
    const QByteArray firstId = scans[2].split('\t').value(0);
    const test::CliRun changed = run({"growth", "--scan", firstId, t.root()});
    ASSERT_EQ(changed.status, 0) << changed.err.constData();
    QMap<QByteArray, Growth> onlyChanged = expected;
    onlyChanged.removeIf([](const auto& it) { return it.value().state == "same"; });
    EXPECT_EQ(growthRows(changed.out), onlyChanged);
    EXPECT_EQ(run({"growth", "--since", "2000-01-01", t.root()}).status, 1);
}

TEST_F(CliHistory, SettingsTurnRecordingOffAndBoundTheScansKept) {
    test::TempTree t;
    t.fileOfSize("a/f", 10);
    SettingsStore store;
    struct Restore {
        SettingsStore& s;
        ~Restore() {
            s.writeInteger(QStringLiteral("History"), QStringLiteral("Record"), 1);
            s.writeInteger(QStringLiteral("History"), QStringLiteral("KeptScans"), 20);
        }
    } restore{store};
    ASSERT_TRUE(store.writeInteger(QStringLiteral("History"), QStringLiteral("Record"), 0));
    const test::CliRun off = run({"folders", "--main", "--record", t.root()});
    EXPECT_EQ(off.status, 0);
    EXPECT_TRUE(off.err.contains("turned off")) << off.err.constData();
    EXPECT_FALSE(test::present(historyFile()));

    ASSERT_TRUE(store.writeInteger(QStringLiteral("History"), QStringLiteral("Record"), 1));
    ASSERT_TRUE(store.writeInteger(QStringLiteral("History"), QStringLiteral("KeptScans"), 2));
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(run({"folders", "--main", "--record", t.root()}).status, 0);
    }
    EXPECT_EQ(run({"history"}).out.trimmed().split('\n').size(), 3);  // title and two scans
}

// A history that cannot be used is said once; the scan's rows come out all the same.
TEST_F(CliHistory, ABadHistoryFileIsSaidOnceAndTheScanGoesOn) {
    test::TempTree t;
    t.fileOfSize("a/f", 10);
    data_.file("diskwell/history.sqlite", QByteArray(3000, 'j'));
    const test::CliRun damaged = run({"folders", "--main", "--record", t.root()});
    EXPECT_EQ(damaged.status, 0);
    EXPECT_TRUE(damaged.out.contains(t.path("a")));
    EXPECT_EQ(damaged.err.count("moved to"), 1) << damaged.err.constData();
    EXPECT_EQ(run({"history"}).out.trimmed().split('\n').size(), 2);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(historyFile().constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA user_version=9", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const test::CliRun newer = run({"folders", "--main", "--record", t.root()});
    EXPECT_EQ(newer.status, 1);
    EXPECT_TRUE(newer.out.contains(t.path("a")));
    EXPECT_EQ(newer.err.count("newer version"), 1) << newer.err.constData();
    EXPECT_EQ(run({"growth", t.root()}).status, 1);
}

TEST_F(CliHistory, BadArguments) {
    for (const QList<QByteArray>& args : QList<QList<QByteArray>>{
             {"growth"},
             {"growth", "/a", "/b"},
             {"growth", "--since", "12.7.2026", "/a"},
             {"growth", "--scan", "x", "/a"},
             {"growth", "--since", "2026-07-12", "--scan", "3", "/a"},
             {"history", "/a", "/b"},
             {"history", "--nope"},
         }) {
        EXPECT_EQ(run(args).status, 2) << args.join(' ').constData();
    }
}

}  // namespace
}  // namespace dw
