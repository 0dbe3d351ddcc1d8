#include <gtest/gtest.h>

#include <QFile>
#include <QHash>
#include <QMap>
#include <QSet>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>

#include "finders/content_groups.h"
#include "finders/dup_fixture.h"
#include "platform/content_file.h"
#include "support/file_holder.h"
#include "support/loop_volume.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using test::TempTree;

// `size` bytes that differ from file to file (by `seed`), the same for the same seed.
QByteArray bytes(qint64 size, int seed) {
    QByteArray b(size, '\0');
    quint32 x = 2654435761u * quint32(seed + 1);
    for (qint64 i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = char(x >> 24);
    }
    return b;
}

QByteArray withByte(QByteArray b, qint64 at, char c) {
    b[at] = c;
    return b;
}

void hardLink(TempTree& t, const QByteArray& from, const QByteArray& to) {
    if (to.contains('/')) {
        t.dir(to.left(to.lastIndexOf('/')));
    }
    ASSERT_EQ(::link(t.path(from).constData(), t.path(to).constData()), 0);
}

// A sparse file of `size` bytes with `data` written at `at` (nothing: all holes).
void sparse(const TempTree& t, const QByteArray& rel, qint64 size, qint64 at = 0,
            const QByteArray& data = {}) {
    const int fd = ::open(t.path(rel).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    if (!data.isEmpty()) {
        ASSERT_EQ(::pwrite(fd, data.constData(), size_t(data.size()), at), data.size());
    }
    ::close(fd);
}

// The groups of a "Same contents" search over `root`, as sets of names relative to it,
// each group's names with their Type notes ("a.bin", "b.bin (2 names)").
using Groups = QSet<QSet<QByteArray>>;
Groups groupsOf(const test::SearchRun& run, const QByteArray& root) {
    std::map<quint32, QSet<QByteArray>> byGroup;
    for (qsizetype k = 0; k < run.search->resultCount(); ++k) {
        QByteArray name = run.grid->rowData(k + 1).mid(root.size() + 1);
        const QString type = run.grid->cell(kDupTypeColumn, k + 1);
        if (type.contains(QLatin1String("names")) || type.contains(QLatin1String("hard links"))) {
            name += " [" + type.mid(type.indexOf(QLatin1Char('(')) + 1).remove(u')').toUtf8() + ']';
        }
        byGroup[run.search->resultGroup(k)].insert(name);
    }
    Groups out;
    for (const auto& [g, names] : byGroup) {
        out.insert(names);
    }
    return out;
}

DupOptions contentOptions(bool empty = false, int threads = 2) {
    DupOptions o = test::dupOptions(kContentCriterion);
    o.includeEmpty = empty;
    o.readThreads = threads;
    return o;
}

TEST(ContentSearch, GroupsExactlyTheFilesWhoseBytesAreEqual) {
    const QByteArray big = bytes(3 * 4096 + 17, 1);
    struct Case {
        const char* what;
        std::function<void(TempTree&)> make;
        bool empty;
        Groups groups;
    };
    const Case cases[] = {
        {"equal content under other names",
         [&](TempTree& t) {
             t.file("a/one.bin", big);
             t.file("b/Other name.dat", big);
             t.file("b/third", big);
         },
         false,
         {{"a/one.bin", "b/Other name.dat", "b/third"}}},
        {"the last byte differs, the first 4 KiB are equal",
         [&](TempTree& t) {
             t.file("a.bin", big);
             t.file("b.bin", withByte(big, big.size() - 1, 'x'));
             t.file("c.bin", withByte(big, big.size() - 1, 'y'));
         },
         false,
         {}},
        {"a file of exactly 4 KiB whose last byte differs",
         [&](TempTree& t) {
             const QByteArray four = bytes(4096, 2);
             t.file("a", four);
             t.file("b", withByte(four, 4095, 'q'));
             t.file("c", four);
         },
         false,
         {{"a", "c"}}},
        {"same size, different content, and an equal pair of another size",
         [&](TempTree& t) {
             t.file("x1", bytes(5000, 3));
             t.file("x2", bytes(5000, 4));
             t.file("y1", bytes(700, 5));
             t.file("y2", bytes(700, 5));
         },
         false,
         {{"y1", "y2"}}},
        {"hard links are one file: alone they are their own group",
         [&](TempTree& t) {
             t.file("h1", bytes(900, 6));
             hardLink(t, "h1", "h2");
             t.file("other", bytes(900, 7));
         },
         false,
         {{"h1 [hard links, no space to gain]", "h2 [hard links, no space to gain]"}}},
        {"hard links beside a copy: listed once with their count",
         [&](TempTree& t) {
             t.file("copy", big);
             t.file("h1", big);
             hardLink(t, "h1", "sub/h2");
         },
         false,
         {{"copy", "h1 [2 names]"}}},
        {"empty files are left out unless asked for",
         [&](TempTree& t) {
             t.file("e1");
             t.file("e2");
         },
         false,
         {}},
        {"empty files asked for",
         [&](TempTree& t) {
             t.file("e1");
             t.file("sub/e2");
         },
         true,
         {{"e1", "sub/e2"}}},
        {"holes are zeros: a sparse file equals one of written zeros, not one with a byte",
         [&](TempTree& t) {
             sparse(t, "s1", 3 << 20);
             t.file("z", QByteArray(3 << 20, '\0'));
             sparse(t, "s2", 3 << 20, (3 << 20) - 1, "\1");
             sparse(t, "s3", 3 << 20, 1 << 20, QByteArray(4096, '\0'));
             // Ending in a hole part of a block long.
             sparse(t, "s4", (3 << 20) + 100);
             t.file("z4", QByteArray((3 << 20) + 100, '\0'));
         },
         false,
         {{"s1", "z", "s3"}, {"s4", "z4"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const int threads : {1, 2}) {
            TempTree t;
            c.make(t);
            const test::SearchRun run =
                test::runSearch(contentOptions(c.empty, threads), {t.root()});
            EXPECT_EQ(groupsOf(run, t.root()), c.groups) << "threads " << threads;
            EXPECT_TRUE(run.search->contentProblems().empty());
            // Every group shares one band; neighbouring groups alternate.
            for (qsizetype k = 1; k < run.search->resultCount(); ++k) {
                EXPECT_EQ(run.grid->band(k) == run.grid->band(k + 1),
                          run.search->resultGroup(k - 1) == run.search->resultGroup(k));
            }
        }
    }
}

TEST(ContentSearch, ManyFilesReadInPiecesOnSeveralThreadsGiveTheSameGroups) {
    // Small reads make every file several pieces; one piece in the middle differs.
    TempTree t;
    const QByteArray base = bytes(5 * 4096 + 3, 9);
    Groups expected;
    for (int g = 0; g < 12; ++g) {
        QSet<QByteArray> names;
        const QByteArray content = withByte(base, 2 * 4096 + g, char('A' + g));
        for (int k = 0; k <= g % 3 + 1; ++k) {
            const QByteArray name = "d" + QByteArray::number(k) + "/g" + QByteArray::number(g);
            t.file(name, content);
            names.insert(name);
        }
        expected.insert(names);
    }
    t.file("lonely", withByte(base, 3 * 4096, '!'));
    for (const int threads : {1, 2, 3}) {
        ContentOptions o;
        o.threads = threads;
        o.chunkBytes = 4096;
        ContentGrouper grouper(o);
        // Ids in the order of adding; numbered the caller's own way (descending, with
        // gaps); or numbered anew once all are added (in the opposite order).
        test::SearchRun walk = test::runSearch(test::dupOptions(3), {t.root()});
        const qsizetype n = walk.search->candidateCount();
        const auto idOf = [&](qsizetype k) {
            return threads == 2 ? quint32(5000 - 7 * k) : quint32(k);
        };
        const auto finalIdOf = [&](qsizetype k) {
            return threads == 3 ? quint32(n - 1 - k) : idOf(k);
        };
        QHash<quint32, QByteArray> paths;
        QHash<quint32, qint64> sizes;
        for (qsizetype k = 0; k < n; ++k) {
            const QByteArray path = walk.search->candidates().path(k);
            const auto e = platform::statPath(path);
            ASSERT_TRUE(e.has_value());
            grouper.add({idOf(k), e->device, e->inode, e->modified});
            paths.insert(finalIdOf(k), path);
            sizes.insert(finalIdOf(k), e->size);
        }
        if (threads == 3) {
            grouper.renumber([&](quint32 id) { return quint32(n - 1 - id); });
        }
        std::atomic<int> reads{0};
        ContentGrouper::Hooks hooks;
        hooks.beforeRead = [&](quint32) { ++reads; };
        ASSERT_TRUE(grouper.run([&](quint32 id) { return paths.value(id); },
                                [&](quint32 id) { return sizes.value(id); }, hooks));
        Groups got;
        for (qsizetype k = 0; k < grouper.groupCount(); ++k) {
            const ContentGroup g = grouper.group(k);
            EXPECT_TRUE(std::is_sorted(g.ids.begin(), g.ids.end()));
            if (k > 0) {
                EXPECT_LT(grouper.group(k - 1).ids.front(), g.ids.front());
            }
            QSet<QByteArray> names;
            for (quint32 id : g.ids) {
                names.insert(paths.value(id).mid(t.root().size() + 1));
            }
            got.insert(names);
        }
        EXPECT_EQ(got, expected) << "threads " << threads;
        EXPECT_EQ(grouper.bytesRead(), grouper.bytesToRead());
        EXPECT_GT(reads.load(), 0);
    }
}

TEST(ContentSearch, UnreadableAndChangingFilesAreReportedNeverGrouped) {
    const QByteArray big = bytes(10000, 11);
    // Changed while hashed: the third read of "grows" (its comparison) finds it written.
    {
        TempTree t;
        for (const char* name : {"a", "b", "grows", "shrinks"}) {
            t.file(name, big);
        }
        DupOptions o = contentOptions(false, 1);
        test::SearchRun run;
        run.search = std::make_unique<DupSearch>(o);
        DupWalkHooks walkHooks(*run.search);
        FolderWalk walk(test::dupWalkOptions(o), walkHooks);
        walk.walkEntries(test::folderEntries({t.root()}));
        QMap<QByteArray, int> opened;
        ContentGrouper::Hooks hooks;
        hooks.beforeRead = [&](quint32 id) {
            // Ids are the files' places in the sorted list.
            const QByteArray name =
                run.search->candidates().path(qsizetype(id)).mid(t.root().size() + 1);
            const int n = ++opened[name];
            if (name == "grows" && n == 2) {
                QFile f(QFile::decodeName(t.path("grows")));
                ASSERT_TRUE(f.open(QIODevice::Append));
                f.write("more");
            }
            if (name == "shrinks" && n == 3) {
                // The same size, another byte, a later write: only the stamps tell.
                ::utimensat(AT_FDCWD, t.path("shrinks").constData(), nullptr, 0);
                QFile f(QFile::decodeName(t.path("shrinks")));
                ASSERT_TRUE(f.open(QIODevice::ReadWrite));
                f.seek(5000);
                f.write("Z");
            }
        };
        run.search->finish(hooks);
        run.grid = std::make_unique<GridTable>();
        run.search->fillGrid(*run.grid);
        EXPECT_EQ(groupsOf(run, t.root()), Groups({{"a", "b"}}));
        QSet<QByteArray> changed;
        for (const DupSearch::ContentProblem& p : run.search->contentProblems()) {
            EXPECT_TRUE(p.changed);
            changed.insert(p.path.mid(t.root().size() + 1));
        }
        EXPECT_EQ(changed, QSet<QByteArray>({"grows", "shrinks"}));
    }
    // Changed between the walk and the reading: the walk's last write no longer holds.
    {
        TempTree t;
        for (const char* name : {"a", "b", "touched"}) {
            t.file(name, big);
            t.setTimes(name, 1600000000, 1600000000);
        }
        DupOptions o = contentOptions();
        auto search = std::make_unique<DupSearch>(o);
        DupWalkHooks walkHooks(*search);
        FolderWalk walk(test::dupWalkOptions(o), walkHooks);
        walk.walkEntries(test::folderEntries({t.root()}));
        t.setTimes("touched", 1600000000, 1600000100);
        search->finish();
        ASSERT_EQ(search->contentProblems().size(), 1u);
        EXPECT_EQ(search->contentProblems()[0].path, t.path("touched"));
        EXPECT_EQ(search->resultCount(), 2);
    }
    // In use: another program holds it open for writing, or mapped writable (it can
    // change the bytes without their size or times telling); a reader is no use.
    {
        TempTree t;
        for (const char* name : {"a", "b", "mapped", "written", "read"}) {
            t.file(name, big);
        }
        test::FileHolder mapped(t.path("mapped"), test::FileHolder::Hold::SharedMap);
        test::FileHolder written(t.path("written"), test::FileHolder::Hold::Writing);
        test::FileHolder read(t.path("read"), test::FileHolder::Hold::Reading);
        ASSERT_TRUE(mapped.ready() && written.ready() && read.ready());
        const test::SearchRun run = test::runSearch(contentOptions(), {t.root()});
        EXPECT_EQ(groupsOf(run, t.root()), Groups({{"a", "b", "read"}}));
        QSet<QByteArray> inUse;
        for (const DupSearch::ContentProblem& p : run.search->contentProblems()) {
            EXPECT_TRUE(p.changed);
            EXPECT_EQ(p.reason, QStringLiteral("it is in use by another program"));
            inUse.insert(p.path.mid(t.root().size() + 1));
        }
        EXPECT_EQ(inUse, QSet<QByteArray>({"mapped", "written"}));
    }
    // Unreadable: a file the user may not read, found by a search run as that user.
    {
        TempTree t;
        for (const char* name : {"a", "b", "locked"}) {
            t.file(name, big);
        }
        t.setMode("locked", 0);
        ::chmod(t.root().constData(), 0755);
        const QByteArray root = t.root();
        const int status = test::runAsNobody([&] {
            const test::SearchRun run = test::runSearch(contentOptions(), {root});
            const auto& problems = run.search->contentProblems();
            if (problems.size() != 1 || problems[0].path != root + "/locked" ||
                problems[0].changed) {
                return 1;
            }
            if (!problems[0].reason.contains(QLatin1String("denied"))) {
                return 2;
            }
            return groupsOf(run, root) == Groups({{"a", "b"}}) ? 0 : 3;
        });
        EXPECT_EQ(status, 0);
    }
}

TEST(ContentSearch, FilesWhoseHashesCollideAreStillComparedByteByByte) {
    // Every whole-file hash made the same, as a collision would make it.
    const auto variants = [](qint64 size) {
        return [size](TempTree& t) {
            const QByteArray one = bytes(size, 20);
            t.file("a", one);
            t.file("b", withByte(one, size - 1, 'x'));
            t.file("c", one);
            t.file("d", withByte(one, size / 2, 'y'));
            t.file("e", withByte(one, size / 2, 'y'));
            t.file("f", withByte(one, 0, 'z'));
        };
    };
    struct Case {
        const char* what;
        std::function<void(TempTree&)> make;
        Groups expected;
        int hashed;  // "f" differs in its first 4 KiB when it is larger: never hashed whole
    };
    const std::vector<Case> cases = {
        {"one block", variants(1000), {{"a", "c"}, {"d", "e"}}, 6},
        {"several blocks", variants(3 * 4096 + 5), {{"a", "c"}, {"d", "e"}}, 5},
        {"holes against written bytes",
         [](TempTree& t) {
             sparse(t, "h1", 3 << 20);
             t.file("z", QByteArray(3 << 20, '\0'));
             sparse(t, "h2", 3 << 20, (3 << 20) - 1, "\1");
             sparse(t, "h3", 3 << 20, (1 << 20) + 5, "\2");
         },
         {{"h1", "z"}},
         4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempTree t;
        c.make(t);
        const DupOptions o = contentOptions(false, 2);
        auto search = std::make_unique<DupSearch>(o);
        DupWalkHooks walkHooks(*search);
        FolderWalk walk(test::dupWalkOptions(o), walkHooks);
        walk.walkEntries(test::folderEntries({t.root()}));
        ContentGrouper::Hooks hooks;
        std::atomic<int> hashed{0};
        hooks.wholeHashed = [&](quint32, XXH128_hash_t& hash) {
            hash = {42, 42};
            ++hashed;
        };
        search->finish(hooks);
        test::SearchRun run;
        run.search = std::move(search);
        run.grid = std::make_unique<GridTable>();
        run.search->fillGrid(*run.grid);
        EXPECT_EQ(groupsOf(run, t.root()), c.expected);
        EXPECT_EQ(hashed.load(), c.hashed);
    }
}

TEST(ContentSearch, StoppingKeepsOnlyWhatWasProven) {
    TempTree t;
    const QByteArray big = bytes(64 * 1024, 12);
    for (int i = 0; i < 6; ++i) {
        t.file("copy" + QByteArray::number(i), big);
    }
    t.file("h1", "linked");
    hardLink(t, "h1", "h2");
    DupOptions o = contentOptions(false, 1);
    auto search = std::make_unique<DupSearch>(o);
    DupWalkHooks walkHooks(*search);
    FolderWalk walk(test::dupWalkOptions(o), walkHooks);
    walk.walkEntries(test::folderEntries({t.root()}));
    ContentGrouper::Hooks hooks;
    int reads = 0;
    hooks.beforeRead = [&](quint32) {
        if (++reads == 3) {
            search->stopReading();
        }
    };
    search->finish(hooks);
    EXPECT_TRUE(search->readingStopped());
    EXPECT_LE(reads, 3 + 1);
    // The hard links need no reading; nothing else was proven.
    ASSERT_EQ(search->resultCount(), 2);
    EXPECT_TRUE(search->isHardLinkGroup(1));
}

TEST(ContentFile, ReadsHolesAsZerosAndRefusesWhatIsNoRegularFile) {
    TempTree t;
    sparse(t, "sparse", 5 << 20, 2 << 20, "data");
    t.file("plain", "abc");
    t.symlink("link", t.path("plain"));
    t.fifo("fifo");
    t.file("real/inside", "x");
    t.symlink("linked-folder", t.path("real"));

    platform::ContentFile f;
    ASSERT_TRUE(f.open(t.path("sparse")));
    QByteArray buf(1 << 20, 'u');
    bool zero = false;
    EXPECT_EQ(f.read(0, buf.data(), buf.size(), &zero), buf.size());
    EXPECT_TRUE(zero);
    EXPECT_EQ(buf, QByteArray(1 << 20, '\0'));
    EXPECT_EQ(f.read((2 << 20) - 2, buf.data(), 8, &zero), 8);
    EXPECT_FALSE(zero);
    EXPECT_EQ(buf.left(8), QByteArray("\0\0data\0\0", 8));
    // Left to the caller: a span wholly in a hole is not written, one partly in it is.
    buf.fill('u');
    EXPECT_EQ(f.read(4096, buf.data(), 4096, &zero, nullptr, false), 4096);
    EXPECT_TRUE(zero);
    EXPECT_EQ(buf.left(4096), QByteArray(4096, 'u'));
    EXPECT_EQ(f.read((2 << 20) - 2, buf.data(), 8, &zero, nullptr, false), 8);
    EXPECT_FALSE(zero);
    EXPECT_EQ(buf.left(8), QByteArray("\0\0data\0\0", 8));
    // Backwards again, and past the end.
    EXPECT_EQ(f.read(1, buf.data(), 4, &zero), 4);
    EXPECT_TRUE(zero);
    EXPECT_EQ(f.read((5 << 20) - 3, buf.data(), 10, &zero), 3);
    EXPECT_EQ(f.read(5 << 20, buf.data(), 10, &zero), 0);
    const auto stamp = f.stamp();
    ASSERT_TRUE(stamp.has_value());
    EXPECT_EQ(stamp->size, 5 << 20);

    QString reason;
    EXPECT_FALSE(f.open(t.path("link"), &reason));
    EXPECT_FALSE(f.open(t.path("fifo"), &reason));
    EXPECT_EQ(reason, QStringLiteral("it is not a regular file"));
    EXPECT_FALSE(f.open(t.path("real"), &reason));
    EXPECT_FALSE(f.open(t.path("linked-folder") + "/inside", &reason));
    EXPECT_TRUE(f.open(t.path("real/inside"), &reason));
}

// On volumes that share blocks: a file all of whose blocks another file of its group
// uses (a reflinked copy, its original) is noted with that file's name; a real copy and
// a copy sharing all but its middle are not; a group of a file and its reflink only has
// no space to gain and is left alone like hard links.
TEST(ContentSearch, FilesSharingTheirBlocksAreNoted) {
    for (const auto& [type, megabytes] : {std::pair{"btrfs", 128}, std::pair{"xfs", 320}}) {
        SCOPED_TRACE(type);
        TempTree t;
        test::LoopVolume volume(t.root(), QString::fromLatin1(type), megabytes);
        if (!volume.ok()) {
            GTEST_SKIP() << volume.whyNot().toStdString();
        }
        volume.randomFile("a", 1 << 20);
        if (!volume.reflink("a", "b")) {
            GTEST_SKIP() << "the volume makes no reflinks";
        }
        volume.copy("a", "c");
        ASSERT_TRUE(volume.reflink("a", "p"));
        volume.rewrite("p", 256 << 10, 256 << 10);
        volume.randomFile("x", 300 << 10);
        ASSERT_TRUE(volume.reflink("x", "y"));
        volume.available();  // on the disk, so the extents are final

        const test::SearchRun run = test::runSearch(contentOptions(), {volume.root()});
        QMap<QString, QString> types;
        QMap<QString, bool> noGain;
        for (qsizetype k = 0; k < run.search->resultCount(); ++k) {
            const QString name = run.cell(kDupNameColumn, k + 1);
            types.insert(name, run.cell(kDupTypeColumn, k + 1));
            noGain.insert(name, run.search->isHardLinkGroup(run.search->resultGroup(k)));
        }
        const QString none;
        const QString shared = QString::fromLatin1(kSharedBlocksNoteText);
        EXPECT_EQ(types, (QMap<QString, QString>{{"a", sharesBlocksWithText("b")},
                                                 {"b", sharesBlocksWithText("a")},
                                                 {"c", none},
                                                 {"p", none},
                                                 {"x", shared},
                                                 {"y", shared}}));
        EXPECT_EQ(
            noGain,
            (QMap<QString, bool>{
                {"a", false}, {"b", false}, {"c", false}, {"p", false}, {"x", true}, {"y", true}}));
    }
}

}  // namespace
}  // namespace dw
