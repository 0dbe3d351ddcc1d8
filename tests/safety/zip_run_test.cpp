#include <gtest/gtest.h>

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "platform/native_file.h"
#include "platform/posix_io.h"
#include "safety/archive_fixtures.h"
#include "safety/archive_name.h"
#include "safety/archive_reader.h"
#include "safety/zip_run.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::TempTree;

const QDateTime kStamp(QDate(1999, 9, 6), QTime(15, 33));

// Collects every result; deletes what is reported archived, as the deletion panel does.
struct Recorder {
    QList<ZipFileResult> results;
    bool deleteArchived = true;
    std::function<void(const ZipFileResult&)> after;

    ZipRunHooks hooks() {
        ZipRunHooks h;
        h.fileDone = [this](const ZipFileResult& r) {
            results.append(r);
            if (r.archived && deleteArchived) {
                EXPECT_EQ(::unlink(r.path.constData()), 0) << r.path.constData();
            }
            if (after) {
                after(r);
            }
        };
        return h;
    }

    const ZipFileResult* find(const QByteArray& path) const {
        for (const ZipFileResult& r : results) {
            if (r.path == path) {
                return &r;
            }
        }
        return nullptr;
    }
    int archivedCount() const {
        int n = 0;
        for (const ZipFileResult& r : results) {
            n += r.archived ? 1 : 0;
        }
        return n;
    }
};

ZipRunSettings settingsIn(const QByteArray& zipFolder,
                          const QString& word = QStringLiteral("Test")) {
    ZipRunSettings s;
    s.zipFolder = QFile::decodeName(zipFolder);
    s.callerWord = word;
    s.stamp = kStamp;
    s.volumeKeyOf = [](const QByteArray&) { return QStringLiteral("root"); };
    return s;
}

bool exists(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

QByteArray entryData(const QByteArray& archive, const QByteArray& name) {
    ArchiveReader reader;
    if (!reader.open(archive)) {
        return "<no archive>";
    }
    for (qsizetype i = 0; i < reader.entries().size(); ++i) {
        if (reader.entries()[i].name == name) {
            auto stream = reader.openEntry(i, nullptr, nullptr);
            QByteArray data;
            char buf[65536];
            qint64 n;
            while (stream && (n = stream->read(buf, sizeof buf)) > 0) {
                data.append(buf, n);
            }
            return data;
        }
    }
    return "<no entry>";
}

TEST(ZipRun, FilesOfTwoVolumesGoToOneArchiveEachUnderTheirFullPaths) {
    TempTree tree;
    TempTree zips;
    const QByteArray x = tree.file("home/ann/x.txt", test::textBytes(10000));
    const QByteArray z = tree.file("data/z.bin", test::randomBytes(5000));
    const QByteArray y = tree.file("home/ann/sub/y.txt", test::textBytes(3000, 2));
    const QByteArray xData = *test::readBytes(x);

    ZipRunSettings s = settingsIn(zips.root(), QStringLiteral("TempClean"));
    s.comment = QStringLiteral("Kept by Diskwell – März");
    const QByteArray homePart = tree.path("home");
    s.volumeKeyOf = [homePart](const QByteArray& p) {
        return p.startsWith(homePart) ? QStringLiteral("home") : QStringLiteral("mnt_data");
    };
    Recorder rec;
    ZipRun run(s, rec.hooks());
    EXPECT_EQ(run.addFile(x, 1), ZipRun::AddStatus::Queued);
    EXPECT_EQ(run.addFile(z, 2), ZipRun::AddStatus::Queued);
    EXPECT_EQ(run.addFile(y, 3), ZipRun::AddStatus::Queued);
    ASSERT_TRUE(run.finish()) << run.error().toStdString();

    const QByteArray homeZip = zips.path("Drive-home-TempClean06Sep991533.zip");
    const QByteArray dataZip = zips.path("Drive-mnt_data-TempClean06Sep991533.zip");
    EXPECT_EQ(run.archives(), (QList<QByteArray>{homeZip, dataZip}));
    ASSERT_EQ(rec.results.size(), 3);
    EXPECT_EQ(rec.archivedCount(), 3);
    EXPECT_EQ(run.archivedCount(), 3);
    EXPECT_EQ(run.archivedBytes(), 18000);
    EXPECT_FALSE(exists(x) || exists(y) || exists(z));
    EXPECT_EQ(rec.find(x)->tag, 1);
    EXPECT_EQ(rec.find(x)->archive, homeZip);
    EXPECT_EQ(rec.find(z)->archive, dataZip);

    const test::PythonView home = test::pythonZipView(homeZip);
    ASSERT_TRUE(home.ok) << home.failure.toStdString();
    ASSERT_EQ(home.entries.size(), 2);
    EXPECT_EQ(home.entries[0].name, x.mid(1));
    EXPECT_EQ(home.entries[1].name, y.mid(1));
    EXPECT_EQ(home.comment, s.comment.toUtf8());
    EXPECT_TRUE(home.crcOk);
    const test::PythonView data = test::pythonZipView(dataZip);
    ASSERT_EQ(data.entries.size(), 1);
    EXPECT_EQ(data.entries[0].name, z.mid(1));
    EXPECT_TRUE(data.crcOk);
    EXPECT_EQ(entryData(homeZip, x.mid(1)), xData);

    for (const QByteArray& zip : {homeZip, dataZip}) {
        const test::ProgramRun unzip = test::runProgram(
            QStringLiteral("unzip"), {QStringLiteral("-tqq"), QFile::decodeName(zip)});
        EXPECT_EQ(unzip.status, 0) << unzip.out.constData() << unzip.err.constData();
    }
}

TEST(ZipRun, DeflatesWhatShrinksStoresTheRestAndKeepsModeAndTime) {
    struct Case {
        const char* name;
        QByteArray data;
        int method;  // 8 deflate, 0 stored
    };
    const Case cases[] = {
        {"text.txt", test::textBytes(100000), 8},
        {"big-text.txt", test::textBytes(700000, 3), 8},  // several read chunks
        {"noise.bin", test::randomBytes(1000), 0},
        {"big-noise.bin", test::randomBytes(700000, 4), 0},  // read again at the commit
        {"empty", QByteArray(), 0},
        {"one", QByteArray("a"), 0},
    };
    TempTree tree;
    TempTree zips;
    Recorder rec;
    rec.deleteArchived = false;
    ZipRun run(settingsIn(zips.root()), rec.hooks());
    const std::time_t when = QDateTime(QDate(2001, 2, 3), QTime(4, 5, 7)).toSecsSinceEpoch();
    for (const Case& c : cases) {
        const QByteArray path = tree.file(c.name, c.data);
        tree.setMode(c.name, 0640);
        tree.setTimes(c.name, when, when);
        ASSERT_EQ(run.addFile(path), ZipRun::AddStatus::Queued) << c.name;
    }
    ASSERT_TRUE(run.finish());
    const QByteArray zip = run.archives().value(0);

    const test::PythonView view = test::pythonZipView(zip);
    ASSERT_TRUE(view.ok) << view.failure.toStdString();
    EXPECT_TRUE(view.crcOk);
    ArchiveReader reader;
    ASSERT_TRUE(reader.open(zip)) << reader.error().toStdString();
    ASSERT_EQ(view.entries.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(view.entries[i].name, tree.path(c.name).mid(1));
        EXPECT_EQ(view.entries[i].method, c.method);
        EXPECT_EQ(view.entries[i].size, c.data.size());
        if (c.method == 8) {
            EXPECT_LT(view.entries[i].compressedSize, c.data.size());
        } else {
            EXPECT_EQ(view.entries[i].compressedSize, c.data.size());
        }
        EXPECT_EQ(view.entries[i].mode, 0100640u);
        const ArchiveEntry& e = reader.entries()[static_cast<qsizetype>(i)];
        EXPECT_EQ(e.mode, 0640);
        EXPECT_EQ(e.mtime, when);  // exact, although DOS times have 2-second steps
        EXPECT_TRUE(e.hasOwner);
        EXPECT_EQ(e.uid, ::getuid());
        EXPECT_EQ(entryData(zip, e.name), c.data);
    }
}

TEST(ZipRun, CommittedBatchesStayWhenALaterOneFailsAndTheRestStay) {
    TempTree tree;
    TempTree zips;
    const QByteArray folder = zips.dir("out");
    const QByteArray moved = zips.path("moved");
    QList<QByteArray> files;
    for (int i = 0; i < 5; ++i) {
        files.append(tree.file("f" + QByteArray::number(i), test::textBytes(2000, i)));
    }
    ZipRunSettings s = settingsIn(folder);
    s.minBatchFiles = 2;
    Recorder rec;
    // Once the first batch is safe, the archive folder goes away: the next commit
    // cannot write its new archive.
    rec.after = [&](const ZipFileResult&) {
        if (rec.archivedCount() == 2 && exists(folder)) {
            ASSERT_EQ(std::rename(folder.constData(), moved.constData()), 0);
        }
    };
    ZipRun run(s, rec.hooks());
    EXPECT_EQ(run.addFile(files[0]), ZipRun::AddStatus::Queued);
    EXPECT_EQ(run.addFile(files[1]), ZipRun::AddStatus::Queued);  // commits f0, f1
    EXPECT_EQ(rec.archivedCount(), 2);
    EXPECT_EQ(run.addFile(files[2]), ZipRun::AddStatus::Queued);
    EXPECT_EQ(run.addFile(files[3]), ZipRun::AddStatus::Ended);  // the commit fails
    EXPECT_EQ(run.addFile(files[4]), ZipRun::AddStatus::Ended);
    EXPECT_FALSE(run.finish());
    EXPECT_TRUE(run.ended());
    EXPECT_TRUE(run.error().contains(QStringLiteral("Drive-root-Test06Sep991533.zip")))
        << run.error().toStdString();

    ASSERT_EQ(rec.results.size(), 5);
    EXPECT_FALSE(exists(files[0]) || exists(files[1]));
    for (int i = 2; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(exists(files[i]));
        ASSERT_NE(rec.find(files[i]), nullptr);
        EXPECT_FALSE(rec.find(files[i])->archived);
        EXPECT_FALSE(rec.find(files[i])->reason.isEmpty());
    }
    const test::PythonView view = test::pythonZipView(moved + "/Drive-root-Test06Sep991533.zip");
    ASSERT_TRUE(view.ok) << view.failure.toStdString();
    ASSERT_EQ(view.entries.size(), 2);
    EXPECT_EQ(view.entries[0].name, files[0].mid(1));
    EXPECT_EQ(view.entries[1].name, files[1].mid(1));
    EXPECT_TRUE(view.crcOk);
}

TEST(ZipRun, AbortAbandonsTheFileBeingCompressedAndCommitsTheOnesBefore) {
    TempTree tree;
    TempTree zips;
    QList<QByteArray> files;
    for (int i = 0; i < 6; ++i) {
        files.append(tree.file("f" + QByteArray::number(i), test::textBytes(1000, i)));
    }
    Recorder rec;
    ZipRunHooks hooks = rec.hooks();
    int starts = 0;
    hooks.progress = [&](int percent) {
        if (percent == 0) {
            ++starts;
        }
        return starts == 4;  // Abort pressed as the fourth file begins.
    };
    ZipRun run(settingsIn(zips.root()), hooks);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(run.addFile(files[i]), ZipRun::AddStatus::Queued);
    }
    EXPECT_EQ(run.addFile(files[3]), ZipRun::AddStatus::Stopped);
    EXPECT_TRUE(run.stopped());
    EXPECT_TRUE(run.finish());
    EXPECT_EQ(rec.archivedCount(), 3);
    EXPECT_FALSE(exists(files[0]) || exists(files[1]) || exists(files[2]));
    for (int i = 3; i < 6; ++i) {
        EXPECT_TRUE(exists(files[i]));
    }
    ASSERT_EQ(rec.results.size(), 4);
    EXPECT_FALSE(rec.find(files[3])->archived);
    EXPECT_EQ(test::pythonZipView(run.archives().value(0)).entries.size(), 3);
}

TEST(ZipRun, AbortInTheMiddleOfALargeFileLeavesNothingOfIt) {
    TempTree tree;
    TempTree zips;
    const QByteArray big = tree.file("big.txt", test::textBytes(3 * 1024 * 1024));
    Recorder rec;
    ZipRunHooks hooks = rec.hooks();
    bool sawMiddle = false;
    hooks.progress = [&](int percent) {
        sawMiddle = sawMiddle || (percent > 0 && percent < 100);
        return percent > 30;
    };
    ZipRun run(settingsIn(zips.root()), hooks);
    EXPECT_EQ(run.addFile(big), ZipRun::AddStatus::Stopped);
    EXPECT_TRUE(sawMiddle);
    EXPECT_TRUE(run.finish());
    EXPECT_TRUE(exists(big));
    EXPECT_EQ(rec.archivedCount(), 0);
    EXPECT_FALSE(exists(zips.path("Drive-root-Test06Sep991533.zip")));
}

TEST(ZipRun, FilesThatCannotBeArchivedAreReportedAndTheRunGoesOn) {
    TempTree tree;
    TempTree zips;
    const QByteArray target = tree.file("target.txt", "kept");
    const QByteArray link = tree.symlink("link.txt", target);
    const QByteArray fifo = tree.fifo("pipe");
    const QByteArray folder = tree.dir("folder");
    const QByteArray twice = tree.file("twice.txt", "twice");
    const QByteArray last = tree.file("last.txt", "last");
    ZipRunSettings s = settingsIn(zips.root());
    s.minBatchFiles = 1;  // every file committed at once
    Recorder rec;
    rec.deleteArchived = false;
    ZipRun run(s, rec.hooks());
    const QByteArray archive = zips.path("Drive-root-Test06Sep991533.zip");

    struct Case {
        QByteArray path;
        const char* reasonPart;
    };
    EXPECT_EQ(run.addFile(twice), ZipRun::AddStatus::Queued);
    const Case cases[] = {
        {link, "symbolic link"},
        {fifo, "not a regular file"},
        {folder, "not a regular file"},
        {tree.path("missing"), "No such file"},
        {"relative/name.txt", "not a full path"},
        {tree.path("folder/../target.txt"), "not a full path"},
        {archive, "archive being written"},
        {twice, "already in the archive"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.constData());
        EXPECT_EQ(run.addFile(c.path), ZipRun::AddStatus::Failed);
        ASSERT_FALSE(rec.results.isEmpty());
        EXPECT_EQ(rec.results.last().path, c.path);
        EXPECT_FALSE(rec.results.last().archived);
        EXPECT_TRUE(
            rec.results.last().reason.contains(QLatin1String(c.reasonPart), Qt::CaseInsensitive))
            << rec.results.last().reason.toStdString();
    }
    EXPECT_EQ(run.addFile(last), ZipRun::AddStatus::Queued);
    EXPECT_TRUE(run.finish());
    EXPECT_EQ(rec.archivedCount(), 2);
    EXPECT_EQ(*test::readBytes(target), "kept");
    const test::PythonView view = test::pythonZipView(archive);
    ASSERT_EQ(view.entries.size(), 2);
    EXPECT_EQ(view.entries[1].name, last.mid(1));
}

TEST(ZipRun, AFileGoneOrChangedBeforeTheCommitIsNotReportedArchived) {
    TempTree tree;
    TempTree zips;
    const QByteArray gone = tree.file("gone.bin", test::randomBytes(700000));  // read again later
    const QByteArray changed = tree.file("changed.txt", test::textBytes(5000));
    const QByteArray fine = tree.file("fine.txt", test::textBytes(5000, 2));
    Recorder rec;
    ZipRun run(settingsIn(zips.root()), rec.hooks());
    EXPECT_EQ(run.addFile(gone), ZipRun::AddStatus::Queued);
    EXPECT_EQ(run.addFile(changed), ZipRun::AddStatus::Queued);
    EXPECT_EQ(run.addFile(fine), ZipRun::AddStatus::Queued);
    ASSERT_EQ(::unlink(gone.constData()), 0);
    tree.file("changed.txt", test::textBytes(5001));
    EXPECT_TRUE(run.finish()) << run.error().toStdString();

    ASSERT_EQ(rec.results.size(), 3);
    EXPECT_FALSE(rec.find(gone)->archived);
    EXPECT_FALSE(rec.find(changed)->archived);
    EXPECT_TRUE(rec.find(changed)->reason.contains(QLatin1String("changed")));
    EXPECT_TRUE(rec.find(fine)->archived);
    EXPECT_TRUE(exists(changed));
    EXPECT_FALSE(exists(fine));
    const test::PythonView view = test::pythonZipView(run.archives().value(0));
    EXPECT_TRUE(view.crcOk);
    for (const test::PythonEntry& e : view.entries) {
        EXPECT_NE(e.name, gone.mid(1));
    }
}

// Flips the byte in the middle of the first place where `bytes` appear in the file open
// as `fd`, in place. False when they do not appear.
bool flipWithin(int fd, const QByteArray& bytes) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return false;
    }
    QByteArray all(qsizetype(st.st_size), '\0');
    if (::pread(fd, all.data(), size_t(all.size()), 0) != all.size()) {
        return false;
    }
    const qsizetype at = all.indexOf(bytes);
    if (at < 0) {
        return false;
    }
    const char flipped = char(~all[at + bytes.size() / 2]);
    return ::pwrite(fd, &flipped, 1, at + bytes.size() / 2) == 1;
}

// No original is given up on the archive's word alone: each entry's bytes are read back
// from the archive on disk and must be the file's bytes as they were read. An archive
// made from other bytes than those read (the file written after it was read, its size
// and time put back, so the archive's own check value fits the new bytes), or whose
// bytes on disk changed after it was written, keeps the file.
TEST(ZipRun, AnEntryWhoseBytesOnDiskAreNotTheFileAsReadKeepsTheFile) {
    enum class Fault { FileAfterItsRead, ArchiveOnDisk };
    for (const Fault fault : {Fault::FileAfterItsRead, Fault::ArchiveOnDisk}) {
        SCOPED_TRACE(fault == Fault::FileAfterItsRead ? "the file written after it was read"
                                                      : "the archive altered before its read-back");
        TempTree tree;
        TempTree zips;
        const QByteArray first = tree.file("first.txt", "first");
        // Random bytes are stored as they are, so they can be found in the archive; a file
        // of several reads is stored from the file itself at the commit.
        const QByteArray content = test::randomBytes(600000, 7);
        const QByteArray second = tree.file("second.bin", content);
        // Far from the start: what the read-back of the first entry buffered is not seen.
        const QByteArray window = content.mid(500000, 64);
        const QByteArray archive =
            QFile::encodeName(archiveName(QStringLiteral("Test"), QStringLiteral("root"), kStamp,
                                          QFile::decodeName(zips.root())));
        ZipRunSettings s = settingsIn(zips.root());
        int firstOpens = 0;
        bool altered = false;
        s.openOriginal = [&](const QByteArray& path, qint64, QString* reason) {
            // The second opening of the first file is its check after the read-back of its
            // entry; the second file's entry is read back after it.
            if (fault == Fault::ArchiveOnDisk && path == first && ++firstOpens == 2) {
                const platform::UniqueFd zip(::open(archive.constData(), O_RDWR | O_CLOEXEC));
                altered = zip && flipWithin(zip.get(), window);
            }
            platform::UniqueFd fd = platform::openRegularFileForReading(path);
            if (!fd && reason) {
                *reason = platform::errnoText(errno);
            }
            return fd;
        };
        Recorder rec;
        ZipRun run(s, rec.hooks());
        ASSERT_EQ(run.addFile(first), ZipRun::AddStatus::Queued);
        ASSERT_EQ(run.addFile(second), ZipRun::AddStatus::Queued);
        if (fault == Fault::FileAfterItsRead) {
            struct stat before {};
            ASSERT_EQ(::stat(second.constData(), &before), 0);
            const platform::UniqueFd file(::open(second.constData(), O_RDWR | O_CLOEXEC));
            altered = file && flipWithin(file.get(), window);
            const timespec times[2] = {before.st_atim, before.st_mtim};
            ASSERT_EQ(::futimens(file.get(), times), 0);
        }
        run.finish();
        ASSERT_TRUE(altered);
        ASSERT_EQ(rec.results.size(), 2);
        EXPECT_TRUE(rec.find(first)->archived);
        EXPECT_FALSE(exists(first));
        EXPECT_FALSE(rec.find(second)->archived);
        EXPECT_FALSE(rec.find(second)->reason.isEmpty());
        EXPECT_TRUE(exists(second));
    }
}

TEST(ZipRun, ASecondRunInTheSameMinuteExtendsTheArchiveAndKeepsItsComment) {
    TempTree tree;
    TempTree zips;
    const QByteArray a = tree.file("a.txt", "first run");
    const QByteArray b = tree.file("b.txt", "second run");
    {
        ZipRunSettings s = settingsIn(zips.root());
        s.comment = QStringLiteral("first");
        Recorder rec;
        ZipRun run(s, rec.hooks());
        run.addFile(a);
        ASSERT_TRUE(run.finish());
    }
    Recorder rec;
    ZipRun run(settingsIn(zips.root()), rec.hooks());
    EXPECT_EQ(run.addFile(b), ZipRun::AddStatus::Queued);
    ASSERT_TRUE(run.finish());
    const test::PythonView view = test::pythonZipView(run.archives().value(0));
    ASSERT_EQ(view.entries.size(), 2);
    EXPECT_EQ(view.entries[0].name, a.mid(1));
    EXPECT_EQ(view.entries[1].name, b.mid(1));
    EXPECT_EQ(view.comment, "first");
    EXPECT_TRUE(view.crcOk);
}

TEST(ZipRun, AMissingArchiveFolderEndsTheRunAtItsFirstFile) {
    TempTree tree;
    const QByteArray a = tree.file("a.txt", "stays");
    const QByteArray b = tree.file("b.txt", "stays too");
    Recorder rec;
    ZipRun run(settingsIn(tree.path("no/such/folder")), rec.hooks());
    EXPECT_EQ(run.addFile(a), ZipRun::AddStatus::Ended);
    EXPECT_EQ(run.addFile(b), ZipRun::AddStatus::Ended);
    EXPECT_FALSE(run.finish());
    EXPECT_TRUE(run.error().contains(QLatin1String("No such file or directory")))
        << run.error().toStdString();
    EXPECT_EQ(rec.results.size(), 2);
    EXPECT_TRUE(exists(a) && exists(b));
}

TEST(ZipRun, AFullDiskFailsTheFileAndLosesNothing) {
    TempTree tree;
    TempTree zips;
    const QByteArray small = zips.dir("small");
    if (::mount("tmpfs", small.constData(), "tmpfs", 0, "size=256k") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    struct Unmount {
        QByteArray at;
        ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
    } unmount{small};
    const QByteArray big = tree.file("big.bin", test::randomBytes(1024 * 1024));
    const QByteArray text = tree.file("text.txt", test::textBytes(20000));
    Recorder rec;
    ZipRun run(settingsIn(small), rec.hooks());
    EXPECT_EQ(run.addFile(big), ZipRun::AddStatus::Failed);
    EXPECT_TRUE(rec.results.value(0).reason.contains(QLatin1String("No space left")))
        << rec.results.value(0).reason.toStdString();
    EXPECT_EQ(run.addFile(text), ZipRun::AddStatus::Queued);
    EXPECT_TRUE(run.finish()) << run.error().toStdString();
    EXPECT_TRUE(exists(big));
    EXPECT_EQ(rec.archivedCount(), 1);
}

// A commit killed in the middle leaves libzip's temporary file beside the archive; the
// next run into that folder removes such files of ours once nothing can be writing
// them, and nothing else.
TEST(ZipRun, StaleTemporaryArchivesOfOursAreRemovedAtTheNextRunAndNothingElse) {
    TempTree tree;
    TempTree zips;
    const QByteArray a = tree.file("a.txt", "a");
    const std::time_t hourAgo = std::time(nullptr) - 3600;
    const auto old = [&](const QByteArray& rel) { zips.setTimes(rel, hourAgo, hourAgo); };
    zips.file("Drive-root-Test06Sep991533.zip.Ab3xZ9", "stale");
    old("Drive-root-Test06Sep991533.zip.Ab3xZ9");
    zips.file("Drive-home-Old01Jan201200.zip.000000", "stale too");
    old("Drive-home-Old01Jan201200.zip.000000");
    const struct {
        const char* name;
        const char* why;
    } kept[] = {
        {"Drive-root-Now06Sep991533.zip.Qw12er", "being written: changed just now"},
        {"Drive-root-Test.zip.abc", "not six characters"},
        {"notes.zip.Ab3xZ9", "not an archive of ours"},
        {"Drive-root-Test.zip.Ab3x-9", "not letters and digits"},
        {"Drive-root-Test.zip", "an archive"},
        {"Drive-root-Dir.zip.Ab3xZ9", "a folder"},
        {"Drive-root-Link.zip.Ab3xZ9", "a link"},
        {"Drive-root-Other.zip.Ab3xZ9", "another user's"},
    };
    zips.file(kept[0].name, "fresh");
    for (const char* name :
         {kept[1].name, kept[2].name, kept[3].name, kept[4].name, kept[7].name}) {
        zips.file(name, "x");
        old(name);
    }
    zips.dir(kept[5].name);
    old(kept[5].name);
    zips.symlink(kept[6].name, zips.path("Drive-root-Test.zip"));
    ASSERT_EQ(::chown(zips.path(kept[7].name).constData(), 65534, 65534), 0);

    Recorder rec;
    ZipRun run(settingsIn(zips.root()), rec.hooks());
    EXPECT_EQ(run.addFile(a), ZipRun::AddStatus::Queued);
    EXPECT_TRUE(run.finish()) << run.error().toStdString();
    EXPECT_FALSE(zips.exists("Drive-root-Test06Sep991533.zip.Ab3xZ9"));
    EXPECT_FALSE(zips.exists("Drive-home-Old01Jan201200.zip.000000"));
    for (const auto& k : kept) {
        EXPECT_TRUE(zips.exists(k.name)) << k.name << ": " << k.why;
    }
}

// An archive comment holds at most 65,535 bytes: a longer one is refused, never cut,
// and no file is touched.
TEST(ZipRun, ACommentLongerThanAnArchiveCanHoldIsRefused) {
    TempTree tree;
    TempTree zips;
    const QByteArray a = tree.file("a.txt", "stays");
    ZipRunSettings settings = settingsIn(zips.root());
    settings.comment = QString(kMaxArchiveCommentBytes + 1, QLatin1Char('c'));
    Recorder rec;
    ZipRun run(settings, rec.hooks());
    EXPECT_EQ(run.addFile(a), ZipRun::AddStatus::Ended);
    EXPECT_FALSE(run.finish());
    EXPECT_TRUE(run.error().contains(QLatin1String("comment is longer than the 65535 bytes")))
        << run.error().toStdString();
    EXPECT_TRUE(exists(a));
    EXPECT_EQ(rec.archivedCount(), 0);
    EXPECT_FALSE(exists(run.archives().value(0)));

    // The most a comment may hold is kept whole.
    settings.comment = QString(kMaxArchiveCommentBytes, QLatin1Char('c'));
    Recorder whole;
    ZipRun full(settings, whole.hooks());
    EXPECT_EQ(full.addFile(a), ZipRun::AddStatus::Queued);
    EXPECT_TRUE(full.finish()) << full.error().toStdString();
    ArchiveReader reader;
    ASSERT_TRUE(reader.open(full.archives().value(0)));
    EXPECT_EQ(reader.comment().size(), kMaxArchiveCommentBytes);
}

}  // namespace
}  // namespace dw
