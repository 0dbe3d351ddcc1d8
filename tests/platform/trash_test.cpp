#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>

#include "platform/dir_reader.h"
#include "platform/file_remover.h"
#include "platform/trash.h"
#include "support/loop_volume.h"
#include "support/scoped_env.h"
#include "support/scoped_mount.h"
#include "support/temp_tree.h"

namespace dw::platform {
namespace {

struct TrashInfo {
    QByteArray path;  // decoded, as a restore would use it
    QByteArray deletionDate;
};

QByteArray readFile(const QByteArray& path) {
    QByteArray data;
    if (FILE* f = std::fopen(path.constData(), "rb")) {
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
            data.append(buffer, qsizetype(n));
        }
        std::fclose(f);
    }
    return data;
}

// The .trashinfo of an entry at `trashedAs` (…/files/NAME → …/info/NAME.trashinfo).
std::optional<TrashInfo> infoOf(const QByteArray& trashedAs) {
    const qsizetype slash = trashedAs.lastIndexOf('/');
    const QByteArray trash = trashedAs.left(trashedAs.lastIndexOf('/', slash - 1));
    const QByteArray text = readFile(trash + "/info/" + trashedAs.mid(slash + 1) + ".trashinfo");
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() != 4 || lines[0] != "[Trash Info]" || !lines[1].startsWith("Path=") ||
        !lines[2].startsWith("DeletionDate=") || !lines[3].isEmpty()) {
        ADD_FAILURE() << "malformed .trashinfo: " << text.constData();
        return std::nullopt;
    }
    return TrashInfo{QByteArray::fromPercentEncoding(lines[1].mid(5)), lines[2].mid(13)};
}

int countEntries(const QByteArray& folder) {
    DirReader reader;
    if (!reader.open(folder)) {
        return 0;
    }
    int n = 0;
    DirEntry e;
    while (reader.next(e)) {
        ++n;
    }
    return n;
}

std::optional<QString> tool(const char* name) {
    const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (found.isEmpty()) {
        return std::nullopt;
    }
    return found;
}

QByteArray run(const QString& program, const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(30000)) << qPrintable(program);
    return p.readAllStandardOutput();
}

void expectRecentDate(const QByteArray& date) {
    const QDateTime when = QDateTime::fromString(QString::fromLatin1(date), Qt::ISODate);
    ASSERT_TRUE(when.isValid()) << date.constData();
    EXPECT_EQ(when.timeSpec(), Qt::LocalTime);
    EXPECT_LE(std::abs(when.secsTo(QDateTime::currentDateTime())), 120) << date.constData();
}

TEST(Trash, HostileNamesComeBackExactly) {
    test::TempTree tree;
    const test::ScopedEnv home("XDG_DATA_HOME", tree.path("data"));
    const QList<QByteArray> names = {
        "plain.txt",         "100% sure", "a%20b c",    "tab\there",
        "new\nline",         " leading",  "trailing ",  "bad\xff\xfe.bin",
        "\xc3\xa9t\xc3\xa9", ".hidden",   "question?#", "back\\slash",
    };
    for (const QByteArray& name : names) {
        SCOPED_TRACE(name.toHex().constData());
        const QByteArray original = tree.file("some folder/" + name, "content of " + name);
        QString error;
        QByteArray trashedAs;
        ASSERT_TRUE(moveToTrash(original, &error, &trashedAs)) << qPrintable(error);
        EXPECT_TRUE(error.isEmpty());
        EXPECT_FALSE(tree.exists("some folder/" + name));
        EXPECT_TRUE(trashedAs.startsWith(tree.path("data/Trash/files/")));
        const std::optional<TrashInfo> info = infoOf(trashedAs);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->path, original);
        expectRecentDate(info->deletionDate);
        // Restoring by the recorded path reaches exactly the original.
        ASSERT_EQ(::rename(trashedAs.constData(), info->path.constData()), 0);
        EXPECT_EQ(readFile(original), "content of " + name);
    }
}

TEST(Trash, TrashToolsListAndRestoreTheOriginalPath) {
    const std::optional<QString> list = tool("trash-list");
    const std::optional<QString> restore = tool("trash-restore");
    if (!list || !restore) {
        GTEST_SKIP() << "trash-cli is not installed";
    }
    test::TempTree tree;
    const test::ScopedEnv home("XDG_DATA_HOME", tree.path("data"));
    const QList<QByteArray> names = {"100% sure.txt", "a%20b c", "plain name"};
    QList<QByteArray> expectedLines;
    for (const QByteArray& name : names) {
        const QByteArray original = tree.file("docs/" + name, name);
        QByteArray trashedAs;
        ASSERT_TRUE(moveToTrash(original, nullptr, &trashedAs));
        const std::optional<TrashInfo> info = infoOf(trashedAs);
        ASSERT_TRUE(info.has_value());
        expectedLines.append(QByteArray(info->deletionDate).replace('T', ' ') + ' ' + original);
    }
    const QList<QByteArray> listed = run(*list, {}).split('\n');
    for (const QByteArray& line : expectedLines) {
        EXPECT_TRUE(listed.contains(line)) << "not listed: " << line.constData();
    }
    for (const QByteArray& name : names) {
        const QByteArray original = tree.path("docs/" + name);
        run(*restore, {QFile::decodeName(original)}, "0\n");
        EXPECT_EQ(readFile(original), name) << name.constData();
    }
}

TEST(Trash, EqualNamesGetTheirOwnPlaceInTheTrash) {
    test::TempTree tree;
    const test::ScopedEnv home("XDG_DATA_HOME", tree.path("data"));
    const QByteArray longName = QByteArray(250, 'n') + ".txt";
    const QList<QByteArray> paths = {
        tree.file("a/report.txt", "a"),      tree.file("b/report.txt", "b"),
        tree.file("c/report.txt", "c"),      tree.file("a/.profile", "1"),
        tree.file("b/.profile", "2"),        tree.file("a/" + longName, "long"),
        tree.file("b/" + longName, "long2"),
    };
    QSet<QByteArray> trashed;
    for (const QByteArray& path : paths) {
        QString error;
        QByteArray trashedAs;
        ASSERT_TRUE(moveToTrash(path, &error, &trashedAs)) << qPrintable(error);
        EXPECT_FALSE(trashed.contains(trashedAs));
        trashed.insert(trashedAs);
        EXPECT_LE(trashedAs.mid(trashedAs.lastIndexOf('/') + 1).size() + 10, 255);
        const std::optional<TrashInfo> info = infoOf(trashedAs);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->path, path);
    }
    EXPECT_TRUE(trashed.contains(tree.path("data/Trash/files/report_2.txt")));
    EXPECT_TRUE(trashed.contains(tree.path("data/Trash/files/report_3.txt")));
    EXPECT_TRUE(trashed.contains(tree.path("data/Trash/files/.profile_2")));
    EXPECT_EQ(countEntries(tree.path("data/Trash/info")), paths.size());
}

TEST(Trash, LinksAndFoldersGoAsThemselves) {
    test::TempTree tree;
    const test::ScopedEnv home("XDG_DATA_HOME", tree.path("data"));
    const QByteArray target = tree.file("keep/target.txt", "keep me");
    const QByteArray link = tree.symlink("links/to-target", target);
    tree.file("folder/inner/deep.txt", "deep");
    tree.symlink("link-to-folder", tree.path("folder"));

    QByteArray trashedAs;
    ASSERT_TRUE(moveToTrash(link, nullptr, &trashedAs));
    struct stat st {};
    ASSERT_EQ(::lstat(trashedAs.constData(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readFile(target), "keep me");

    // A trailing "/" must not turn the link into its folder.
    ASSERT_TRUE(moveToTrash(tree.path("link-to-folder") + "/", nullptr, &trashedAs));
    ASSERT_EQ(::lstat(trashedAs.constData(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_TRUE(tree.exists("folder/inner/deep.txt"));

    ASSERT_TRUE(moveToTrash(tree.path("folder"), nullptr, &trashedAs));
    EXPECT_FALSE(tree.exists("folder"));
    EXPECT_EQ(readFile(trashedAs + "/inner/deep.txt"), "deep");
    EXPECT_EQ(infoOf(trashedAs).value_or(TrashInfo{}).path, tree.path("folder"));
}

TEST(Trash, FailuresLeaveNothingBehind) {
    test::TempTree tree;
    const test::ScopedEnv home("XDG_DATA_HOME", tree.path("data"));
    QString error;
    EXPECT_FALSE(moveToTrash(tree.path("missing.txt"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("missing.txt"))) << qPrintable(error);
    EXPECT_TRUE(error.contains(QStringLiteral("No such file"))) << qPrintable(error);
    EXPECT_EQ(countEntries(tree.path("data/Trash/info")), 0);
    EXPECT_FALSE(moveToTrash({}, &error));
    EXPECT_FALSE(moveToTrash("/proc", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(countEntries(tree.path("data/Trash/info")), 0);

    // A file in a folder the user may not write to stays where it is.
    tree.file("locked/file.txt", "stay");
    tree.dir("nobody-data");
    ::chmod(tree.root().constData(), 0755);
    tree.setMode("nobody-data", 0777);
    const QByteArray locked = tree.path("locked/file.txt");
    const QByteArray nobodyData = tree.path("nobody-data");
    const int result = test::runAsNobody([&] {
        ::setenv("XDG_DATA_HOME", nobodyData.constData(), 1);
        QString why;
        if (moveToTrash(locked, &why))
            return 1;
        if (!why.contains(QStringLiteral("Permission denied")))
            return 2;
        return countEntries(nobodyData + "/Trash/info") == 0 ? 0 : 3;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readFile(locked), "stay");
}

// Files on another volume than the home trash go to that volume's own trash, with
// their path relative to the volume's root. /dev/shm is such a volume where it is a
// separate mount and writable.
TEST(Trash, OtherVolumesUseTheirOwnTrash) {
    test::TempTree tree;
    const test::ScopedEnv home("XDG_DATA_HOME", tree.path("data"));
    struct stat shm {};
    struct stat here {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(tree.root().constData(), &here) != 0 ||
        shm.st_dev == here.st_dev || ::access("/dev/shm", W_OK) != 0) {
        GTEST_SKIP() << "no writable /dev/shm on its own volume";
    }
    const QByteArray uid = QByteArray::number(::geteuid());
    const QByteArray userTrash = "/dev/shm/.Trash-" + uid;
    const QByteArray adminTrash = "/dev/shm/.Trash";
    struct stat st {};
    const bool hadUserTrash = ::lstat(userTrash.constData(), &st) == 0;
    const bool hadAdminTrash = ::lstat(adminTrash.constData(), &st) == 0;
    if (hadAdminTrash) {
        GTEST_SKIP() << "/dev/shm/.Trash exists already";
    }
    char pattern[] = "/dev/shm/dw-trash-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const QByteArray folder = pattern;
    const QByteArray folderName = folder.mid(9);
    // Puts /dev/shm back as it was, also when an assertion ends the test early.
    struct Cleanup {
        QByteArray folder, adminTrash, userTrash;
        bool hadUserTrash;
        QList<QByteArray> trashed;
        static void removeTree(const QByteArray& path) {
            QDir(QFile::decodeName(path)).removeRecursively();
        }
        ~Cleanup() {
            removeTree(adminTrash);
            if (hadUserTrash) {
                for (const QByteArray& t : trashed) {
                    const QByteArray name = t.mid(t.lastIndexOf('/') + 1);
                    ::unlink(t.constData());
                    ::unlink((userTrash + "/info/" + name + ".trashinfo").constData());
                }
            } else {
                removeTree(userTrash);
            }
            removeTree(folder);
        }
    } cleanup{folder, adminTrash, userTrash, hadUserTrash, {}};

    // No shared .Trash: the user's own .Trash-$uid.
    const QByteArray first = folder + "/first file%.txt";
    std::FILE* f = std::fopen(first.constData(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    QByteArray trashedAs;
    QString error;
    ASSERT_TRUE(moveToTrash(first, &error, &trashedAs)) << qPrintable(error);
    cleanup.trashed.append(trashedAs);
    EXPECT_TRUE(trashedAs.startsWith(userTrash + "/files/")) << trashedAs.constData();
    EXPECT_EQ(infoOf(trashedAs).value_or(TrashInfo{}).path, folderName + "/first file%.txt");
    ASSERT_EQ(::lstat(userTrash.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);

    // A shared .Trash without the sticky bit is not trusted; with it, it is used.
    ASSERT_EQ(::mkdir(adminTrash.constData(), 0777), 0);
    ::chmod(adminTrash.constData(), 0777);
    const QByteArray second = folder + "/second";
    f = std::fopen(second.constData(), "w");
    std::fclose(f);
    ASSERT_TRUE(moveToTrash(second, &error, &trashedAs)) << qPrintable(error);
    cleanup.trashed.append(trashedAs);
    EXPECT_TRUE(trashedAs.startsWith(userTrash + "/files/")) << trashedAs.constData();

    ::chmod(adminTrash.constData(), 01777);
    const QByteArray third = folder + "/third";
    f = std::fopen(third.constData(), "w");
    std::fclose(f);
    ASSERT_TRUE(moveToTrash(third, &error, &trashedAs)) << qPrintable(error);
    EXPECT_TRUE(trashedAs.startsWith(adminTrash + "/" + uid + "/files/")) << trashedAs.constData();
    EXPECT_EQ(infoOf(trashedAs).value_or(TrashInfo{}).path, folderName + "/third");

    if (const std::optional<QString> list = tool("trash-list")) {
        const QByteArray listed = run(*list, {});
        EXPECT_TRUE(listed.contains(" /dev/shm/" + folderName + "/first file%.txt\n"))
            << listed.constData();
    }
}

// A nested btrfs subvolume is a file system of its own for rename: its files go to the
// trash at the subvolume's top, with their path below it, and the mount's files to the
// mount's trash; both through a path and through a checked file's folder.
TEST(Trash, AFileInABtrfsSubvolumeGoesToTheTrashAtTheSubvolumesTop) {
    test::TempTree tree;
    const test::ScopedEnv home("XDG_DATA_HOME", tree.dir("data"));
    const test::LoopVolume btrfs(tree.root(), QStringLiteral("btrfs"), 128);
    if (!btrfs.ok()) {
        GTEST_SKIP() << btrfs.whyNot().toStdString();
    }
    const QByteArray mnt = btrfs.root();
    if (!test::runProgram(QStringLiteral("btrfs"),
                          {QStringLiteral("-q"), QStringLiteral("subvolume"),
                           QStringLiteral("create"), QFile::decodeName(mnt + "/vol")})) {
        GTEST_SKIP() << "the btrfs tool cannot make a subvolume";
    }
    const QByteArray uid = QByteArray::number(::geteuid());
    const QByteArray inVolume = tree.file("mnt/vol/deep/a.txt", "a");
    const QByteArray alsoInVolume = tree.file("mnt/vol/deep/b.txt", "b");
    const QByteArray onMount = tree.file("mnt/plain.txt", "p");

    QByteArray trashedAs;
    QString error;
    ASSERT_TRUE(moveToTrash(inVolume, &error, &trashedAs)) << qPrintable(error);
    EXPECT_EQ(trashedAs, mnt + "/vol/.Trash-" + uid + "/files/a.txt");
    EXPECT_EQ(infoOf(trashedAs).value_or(TrashInfo{}).path, QByteArray("deep/a.txt"));

    FileRemover remover;
    const std::optional<FileIdentity> b = remover.inspect(alsoInVolume, &error);
    ASSERT_TRUE(b) << qPrintable(error);
    EXPECT_TRUE(remover.trash(alsoInVolume, *b, &error)) << qPrintable(error);
    EXPECT_EQ(readFile(mnt + "/vol/.Trash-" + uid + "/files/b.txt"), "b");

    ASSERT_TRUE(moveToTrash(onMount, &error, &trashedAs)) << qPrintable(error);
    EXPECT_EQ(trashedAs, mnt + "/.Trash-" + uid + "/files/plain.txt");
    EXPECT_EQ(infoOf(trashedAs).value_or(TrashInfo{}).path, QByteArray("plain.txt"));
}

// A trash that cannot take a file says why first; only a full volume is told apart as
// such (the one case where the bin may really be full).
TEST(Trash, AFailureNamesItsCauseAndTellsAFullVolume) {
    test::TempTree tree;
    const test::ScopedEnv home("XDG_DATA_HOME", tree.dir("data"));
    const QByteArray mnt = tree.dir("full");
    // Room for the folder, one file and the trash's three folders: no .trashinfo.
    const test::ScopedMount tmpfs("tmpfs", mnt, "tmpfs", "size=64k,nr_inodes=5");
    if (!tmpfs.ok()) {
        GTEST_SKIP() << tmpfs.why().toStdString();
    }
    const QByteArray file = tree.file("full/a.txt", "a");
    QString error;
    int cause = 0;
    EXPECT_FALSE(moveToTrash(file, &error, nullptr, &cause));
    EXPECT_EQ(cause, ENOSPC);
    EXPECT_EQ(error, QStringLiteral("Cannot move %1 to the trash: %2")
                         .arg(QFile::decodeName(file), errnoText(ENOSPC)));
    EXPECT_EQ(readFile(file), "a");

    FileRemover remover;
    const std::optional<FileIdentity> found = remover.inspect(file);
    ASSERT_TRUE(found);
    EXPECT_FALSE(remover.trash(file, *found, &error));
    EXPECT_EQ(remover.lastCode(), RemoveCode::TrashFull);

    EXPECT_FALSE(moveToTrash(tree.path("missing"), &error, nullptr, &cause));
    EXPECT_EQ(cause, ENOENT);
}

}  // namespace
}  // namespace dw::platform
