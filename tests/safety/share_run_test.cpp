#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "platform/file_remover.h"
#include "safety/share_run.h"
#include "support/loop_volume.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

constexpr qint64 kMiB = 1024 * 1024;

QByteArray contents(const QByteArray& path) {
    QFile f(QFile::decodeName(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

struct Stamp {
    struct stat st {};
    explicit Stamp(const QByteArray& path) { EXPECT_EQ(::lstat(path.constData(), &st), 0); }
};

void expectSameStamp(const Stamp& a, const Stamp& b) {
    EXPECT_EQ(a.st.st_ino, b.st.st_ino);
    EXPECT_EQ(a.st.st_mode, b.st.st_mode);
    EXPECT_EQ(a.st.st_uid, b.st.st_uid);
    EXPECT_EQ(a.st.st_gid, b.st.st_gid);
    EXPECT_EQ(a.st.st_size, b.st.st_size);
    EXPECT_EQ(a.st.st_mtim.tv_sec, b.st.st_mtim.tv_sec);
    EXPECT_EQ(a.st.st_mtim.tv_nsec, b.st.st_mtim.tv_nsec);
    EXPECT_EQ(a.st.st_ctim.tv_sec, b.st.st_ctim.tv_sec);
    EXPECT_EQ(a.st.st_ctim.tv_nsec, b.st.st_ctim.tv_nsec);
}

// A kept file and the files that could share its blocks: a real copy (all its blocks
// come back), a reflinked copy (nothing to win), a copy sharing all but its middle (the
// middle comes back), a file of the same size with other bytes and one touched after the
// check (both refused, untouched). Names, owners, modes and times stay; the volume's free
// space grows by exactly what the run reports.
void expectSharing(const QString& type, int megabytes) {
    test::TempTree tree;
    test::LoopVolume volume(tree.root(), type, megabytes);
    if (!volume.ok()) {
        GTEST_SKIP() << volume.whyNot().toStdString();
    }
    const QByteArray kept = volume.randomFile("kept", 4 * kMiB);
    volume.copy("kept", "copy");
    if (!volume.reflink("kept", "reflink")) {
        GTEST_SKIP() << "the volume makes no reflinks";
    }
    ASSERT_TRUE(volume.reflink("kept", "partly"));
    volume.rewrite("partly", kMiB, kMiB);
    volume.randomFile("other", 4 * kMiB);
    volume.copy("kept", "later");
    // A stranger's file with its own mode and times: all of it must stay.
    ASSERT_EQ(::chown(volume.path("copy").constData(), 1234, 5678), 0);
    ASSERT_EQ(::chmod(volume.path("copy").constData(), 0640), 0);
    const struct timespec times[2] = {{1000000000, 123}, {1200000000, 456}};
    ASSERT_EQ(::utimensat(AT_FDCWD, volume.path("copy").constData(), times, AT_SYMLINK_NOFOLLOW),
              0);

    struct Case {
        QByteArray name;
        bool shared;
        qint64 freed;
    };
    const std::vector<Case> cases = {
        {"copy", true, 4 * kMiB}, {"reflink", true, 0}, {"partly", true, kMiB},
        {"other", false, 0},      {"later", false, 0},
    };
    QList<SharePair> pairs;
    std::vector<QByteArray> before;
    std::vector<std::unique_ptr<Stamp>> stamps;
    for (const Case& c : cases) {
        pairs.append({volume.path(c.name), kept});
        before.push_back(contents(volume.path(c.name)));
    }
    const QByteArray keptBytes = contents(kept);
    const qint64 availableBefore = volume.available();
    for (const Case& c : cases) {
        stamps.push_back(std::make_unique<Stamp>(volume.path(c.name)));
    }
    const Stamp keptStamp(kept);

    std::vector<CleanFileResult> results;
    CleanRunHooks hooks;
    hooks.checked = [&](qsizetype, const QByteArray& path) {
        if (path == volume.path("later")) {
            // A new time, not new bytes: the free space then moves only by the sharing.
            const struct timespec now[2] = {{0, UTIME_OMIT}, {1300000000, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), now, 0), 0);
            stamps.back() = std::make_unique<Stamp>(path);
        }
    };
    hooks.fileDone = [&](const CleanFileResult& r) { results.push_back(r); };
    const CleanRunSummary summary = shareFiles(pairs, hooks);
    const qint64 availableAfter = volume.available();

    ASSERT_EQ(results.size(), cases.size());
    qint64 reported = 0;
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name.constData());
        const QByteArray path = volume.path(c.name);
        EXPECT_EQ(results[i].path, path);
        EXPECT_EQ(results[i].done, c.shared) << results[i].reason.toStdString();
        EXPECT_EQ(results[i].size, c.freed);
        EXPECT_EQ(results[i].reason.isEmpty(), c.shared);
        EXPECT_EQ(contents(path), before[i]);
        expectSameStamp(*stamps[i], Stamp(path));
        reported += results[i].size;
    }
    EXPECT_EQ(results[3].reason, QStringLiteral("its contents differ from those of the file it "
                                                "would share with"));
    EXPECT_EQ(results[4].reason, platform::FileRemover::changedText());
    EXPECT_EQ(contents(kept), keptBytes);
    expectSameStamp(keptStamp, Stamp(kept));
    EXPECT_EQ(summary.files, qsizetype(cases.size()));
    EXPECT_EQ(summary.doneCount, 3);
    EXPECT_EQ(summary.doneBytes, reported);
    EXPECT_EQ(availableAfter - availableBefore, reported);
}

TEST(ShareRun, BtrfsGivesBackWhatSharingReports) {
    expectSharing(QStringLiteral("btrfs"), 128);
}

TEST(ShareRun, XfsGivesBackWhatSharingReports) {
    expectSharing(QStringLiteral("xfs"), 320);
}

// Where blocks cannot be shared, or the twin is on another volume, or is not a regular
// file reached without a link, the file is refused and stays as it was.
TEST(ShareRun, RefusesWhatCannotShare) {
    test::TempTree tree;
    const QByteArray extDir = tree.dir("ext4");
    const QByteArray btrfsDir = tree.dir("btrfs");
    test::LoopVolume ext4(extDir, QStringLiteral("ext4"), 32);
    test::LoopVolume btrfs(btrfsDir, QStringLiteral("btrfs"), 128);
    if (!ext4.ok() || !btrfs.ok()) {
        GTEST_SKIP() << (ext4.whyNot() + btrfs.whyNot()).toStdString();
    }
    ext4.randomFile("kept", kMiB);
    ext4.copy("kept", "copy");
    btrfs.randomFile("kept", kMiB);
    btrfs.copy("kept", "copy");
    ASSERT_EQ(::symlink("kept", btrfs.path("link").constData()), 0);
    const QByteArray copyOnBtrfs = contents(btrfs.path("copy"));
    // The same bytes on another volume.
    QFile::copy(QFile::decodeName(btrfs.path("kept")), QFile::decodeName(ext4.path("twin")));

    struct Case {
        SharePair pair;
        QString reason;
    };
    const std::vector<Case> cases = {
        {{ext4.path("copy"), ext4.path("kept")}, cannotShareText()},
        {{btrfs.path("copy"), ext4.path("twin")},
         QStringLiteral("it is on another volume than the file it would share with")},
        {{btrfs.path("copy"), btrfs.path("link")}, QStringLiteral("it is not a regular file")},
        {{btrfs.path("copy"), btrfs.path("copy")},
         QStringLiteral("it is the file it would share with")},
        {{btrfs.path("copy"), btrfs.path("missing")},
         QStringLiteral("the file it would share with: No such file or directory")},
    };
    QList<SharePair> pairs;
    for (const Case& c : cases) {
        pairs.append(c.pair);
    }
    std::vector<CleanFileResult> results;
    CleanRunHooks hooks;
    hooks.fileDone = [&](const CleanFileResult& r) { results.push_back(r); };
    const CleanRunSummary summary = shareFiles(pairs, hooks);
    ASSERT_EQ(results.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(results[i].done);
        EXPECT_EQ(results[i].reason, cases[i].reason);
    }
    EXPECT_EQ(summary.doneCount, 0);
    EXPECT_EQ(summary.doneBytes, 0);
    EXPECT_EQ(contents(btrfs.path("copy")), copyOnBtrfs);
}

}  // namespace
}  // namespace dw
