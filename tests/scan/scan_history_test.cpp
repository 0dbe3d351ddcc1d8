#include <gtest/gtest.h>

#include <QFile>

#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include "scan/scan_history.h"
#include "support/scoped_env.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::TempTree;

QByteArray readAll(const QByteArray& path) {
    QFile f(QFile::decodeName(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<HistoryFolder> manyFolders(int count, qint64 size) {
    QList<HistoryFolder> rows;
    for (int i = 0; i < count; ++i) {
        rows.append({"/data/f" + QByteArray::number(i), size * 2, size, 1, 1000 + i});
    }
    return rows;
}

HistoryScan scanOf(const QByteArray& root, qint64 time) {
    HistoryScan s;
    s.root = root;
    s.volume = "/ [root]";
    s.time = time;
    s.options = QStringLiteral("all");
    return s;
}

qint64 countRows(const QByteArray& file, const char* table) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    const QByteArray sql = QByteArray("SELECT count(*) FROM ") + table;
    sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr);
    const qint64 n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n;
}

TEST(ScanHistory, DefaultFileFollowsTheDataHome) {
    {
        test::ScopedEnv data("XDG_DATA_HOME", QByteArray("/srv/data/"));
        EXPECT_EQ(ScanHistory::defaultFile(), "/srv/data/diskwell/history.sqlite");
    }
    test::ScopedEnv data("XDG_DATA_HOME", QByteArray("relative"));
    test::ScopedEnv home("HOME", QByteArray("/home/ann"));
    EXPECT_EQ(ScanHistory::defaultFile(), "/home/ann/.local/share/diskwell/history.sqlite");
}

TEST(ScanHistory, KeepsExactBytesTotalsAndEachPathOnce) {
    TempTree t;
    const QByteArray file = t.path("sub/dir/history.sqlite");
    const QByteArray odd("/data/caf\xe9\xff/\x01tab\there", 20);
    const QList<HistoryFolder> first = {{odd, 8192, 5000, 2, 77}, {"/data", 4096, 10, 1, 0}};
    qint64 id1 = 0;
    {
        ScanHistory h(file);
        ASSERT_EQ(h.open(), HistoryStatus::Ok) << h.errorText().toStdString();
        id1 = h.record(scanOf("/data", 100), first).value_or(0);
        ASSERT_GT(id1, 0) << h.errorText().toStdString();
        ASSERT_TRUE(h.record(scanOf("/data", 200), first).has_value());
    }
    ScanHistory h(file);
    ASSERT_EQ(h.open(), HistoryStatus::Ok);
    const QList<HistoryScan> scans = h.scans("/data");
    ASSERT_EQ(scans.size(), 2);
    EXPECT_EQ(scans[0].time, 200);  // newest first
    EXPECT_EQ(scans[1].id, id1);
    EXPECT_EQ(scans[1].allocated, 12288);
    EXPECT_EQ(scans[1].apparent, 5010);
    EXPECT_EQ(scans[1].files, 3);
    EXPECT_EQ(scans[1].folders, 2);
    EXPECT_EQ(scans[1].volume, "/ [root]");
    EXPECT_EQ(scans[1].options, QStringLiteral("all"));
    EXPECT_EQ(h.folders(id1), (QList<HistoryFolder>{first[1], first[0]}));  // path byte order
    EXPECT_TRUE(h.scans("/other").isEmpty());
    EXPECT_EQ(countRows(file, "paths"), 2);
    EXPECT_EQ(countRows(file, "folders"), 4);
}

TEST(ScanHistory, PrunesEachRootToItsNewestScans) {
    TempTree t;
    ScanHistory h(t.path("history.sqlite"));
    ASSERT_EQ(h.open(), HistoryStatus::Ok);
    ASSERT_TRUE(h.record(scanOf("/other", 1), {{"/other/x", 1, 1, 1, 0}}, 2));
    for (int i = 0; i < 4; ++i) {
        // Each scan has a folder of its own, so pruned scans leave paths to drop.
        ASSERT_TRUE(
            h.record(scanOf("/data", 10 + i),
                     {{"/data", 1, 1, 1, 0}, {"/data/s" + QByteArray::number(i), 1, 1, 1, 0}}, 2));
    }
    const QList<HistoryScan> kept = h.scans("/data");
    ASSERT_EQ(kept.size(), 2);
    EXPECT_EQ(kept[0].time, 13);
    EXPECT_EQ(kept[1].time, 12);
    EXPECT_EQ(h.scans("/other").size(), 1);
    EXPECT_EQ(countRows(h.file(), "paths"), 4);  // /other/x, /data, s2, s3
    EXPECT_EQ(countRows(h.file(), "folders"), 5);
}

TEST(ScanHistory, ForgetClearsEverything) {
    TempTree t;
    ScanHistory h(t.path("history.sqlite"));
    ASSERT_EQ(h.open(), HistoryStatus::Ok);
    ASSERT_TRUE(h.record(scanOf("/data", 1), manyFolders(100, 10)));
    EXPECT_TRUE(h.forget());
    EXPECT_TRUE(h.scans().isEmpty());
    EXPECT_EQ(countRows(h.file(), "paths"), 0);
    EXPECT_TRUE(h.record(scanOf("/data", 2), manyFolders(1, 10)).has_value());
}

// A file that is not a sound history is moved aside whole, the problem is said, and a
// new history takes its place.
TEST(ScanHistory, MovesADamagedFileAside) {
    struct Case {
        const char* name;
        std::function<void(const QByteArray& file)> damage;
    };
    const Case cases[] = {
        {"not a database",
         [](const QByteArray& file) {
             QFile f(QFile::decodeName(file));
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray(5000, 'z'));
         }},
        {"truncated",
         [](const QByteArray& file) {
             {
                 ScanHistory h(file);
                 ASSERT_EQ(h.open(), HistoryStatus::Ok);
                 ASSERT_TRUE(h.record(scanOf("/data", 1), manyFolders(3000, 10)));
             }  // closing the last connection folds the log into the file
             ASSERT_EQ(::truncate(file.constData(), 8192), 0);
         }},
        {"another program's database",
         [](const QByteArray& file) {
             sqlite3* db = nullptr;
             ASSERT_EQ(sqlite3_open(file.constData(), &db), SQLITE_OK);
             sqlite3_exec(db, "CREATE TABLE notes (body TEXT)", nullptr, nullptr, nullptr);
             sqlite3_close(db);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree t;
        const QByteArray file = t.path("history.sqlite");
        c.damage(file);
        const QByteArray before = readAll(file);
        QByteArray firstAside;
        {
            ScanHistory h(file);
            ASSERT_EQ(h.open(), HistoryStatus::MovedAside) << h.errorText().toStdString();
            EXPECT_TRUE(h.errorText().contains(QStringLiteral("moved to")))
                << h.errorText().toStdString();
            firstAside = h.movedAsideTo();
            ASSERT_FALSE(firstAside.isEmpty());
            EXPECT_EQ(readAll(firstAside), before);
            EXPECT_TRUE(h.scans().isEmpty());
            EXPECT_TRUE(h.record(scanOf("/data", 2), manyFolders(5, 10)).has_value());
        }
        // Damaged again within the same second: the first file moved aside stays.
        QFile f(QFile::decodeName(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(5000, 'q'));
        f.close();
        ScanHistory again(file);
        ASSERT_EQ(again.open(), HistoryStatus::MovedAside);
        EXPECT_NE(again.movedAsideTo(), firstAside);
        EXPECT_EQ(readAll(again.movedAsideTo()), QByteArray(5000, 'q'));
        EXPECT_EQ(readAll(firstAside), before);
    }
}

TEST(ScanHistory, LeavesANewerSchemaAlone) {
    TempTree t;
    const QByteArray file = t.path("history.sqlite");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE later (x); PRAGMA user_version=7", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const QByteArray before = readAll(file);
    ScanHistory h(file);
    EXPECT_EQ(h.open(), HistoryStatus::NewerSchema);
    EXPECT_TRUE(h.errorText().contains(QStringLiteral("newer version")))
        << h.errorText().toStdString();
    EXPECT_FALSE(h.record(scanOf("/data", 1), manyFolders(2, 1)).has_value());
    EXPECT_EQ(readAll(file), before);
}

TEST(ScanHistory, SaysWhenTheFileCannotBeMade) {
    TempTree t;
    t.file("blocker", "a file where a folder should be");
    ScanHistory h(t.path("blocker/history.sqlite"));
    EXPECT_EQ(h.open(), HistoryStatus::Unavailable);
    EXPECT_FALSE(h.errorText().isEmpty());
    EXPECT_FALSE(h.record(scanOf("/data", 1), manyFolders(2, 1)).has_value());
    EXPECT_EQ(readAll(t.path("blocker")), "a file where a folder should be");
}

// A save killed half-way leaves the scans saved before it, and nothing of itself.
TEST(ScanHistory, AKilledSaveLeavesEarlierScansIntact) {
    TempTree t;
    const QByteArray file = t.path("history.sqlite");
    {
        ScanHistory h(file);
        ASSERT_EQ(h.open(), HistoryStatus::Ok);
        ASSERT_TRUE(h.record(scanOf("/data", 1), manyFolders(500, 7)));
    }
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::alarm(30);
        ScanHistory h(file);
        if (h.open() != HistoryStatus::Ok) {
            _exit(1);
        }
        h.record(scanOf("/data", 2), manyFolders(50000, 9), 1, [&]() {
            // Rows written and pruning still to come: tell the parent, then wait to die.
            const char c = 'x';
            (void)!::write(ready[1], &c, 1);
            ::pause();
        });
        _exit(2);
    }
    ::close(ready[1]);
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    ScanHistory h(file);
    ASSERT_EQ(h.open(), HistoryStatus::Ok) << h.errorText().toStdString();
    const QList<HistoryScan> scans = h.scans("/data");
    ASSERT_EQ(scans.size(), 1);
    EXPECT_EQ(scans[0].time, 1);
    EXPECT_EQ(scans[0].folders, 500);
    EXPECT_EQ(h.folders(scans[0].id).size(), 500);
}

// Two processes saving at the same moment both succeed: the later waits for the earlier.
TEST(ScanHistory, TwoWritersAtOnceBothSave) {
    TempTree t;
    const QByteArray file = t.path("history.sqlite");
    {
        ScanHistory h(file);
        ASSERT_EQ(h.open(), HistoryStatus::Ok);
    }
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
        children[i] = fork();
        ASSERT_GE(children[i], 0);
        if (children[i] == 0) {
            ::alarm(60);
            ::close(go[1]);
            char c = 0;
            (void)!::read(go[0], &c, 1);  // both start together when the pipe closes
            ScanHistory h(file);
            if (h.open() != HistoryStatus::Ok) {
                _exit(1);
            }
            _exit(
                h.record(scanOf("/root" + QByteArray::number(i), 10 + i), manyFolders(20000, i + 1))
                    ? 0
                    : 3);
        }
    }
    ::close(go[0]);
    ::close(go[1]);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    ScanHistory h(file);
    ASSERT_EQ(h.open(), HistoryStatus::Ok);
    for (int i = 0; i < 2; ++i) {
        const QList<HistoryScan> scans = h.scans("/root" + QByteArray::number(i));
        ASSERT_EQ(scans.size(), 1);
        EXPECT_EQ(scans[0].folders, 20000);
        EXPECT_EQ(scans[0].apparent, 20000 * (i + 1));
    }
}

}  // namespace
}  // namespace dw
