#include <gtest/gtest.h>

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QTime>

#include <algorithm>
#include <numeric>
#include <tuple>

#include "finders/dup_candidates.h"
#include "finders/dup_search.h"
#include "finders/folded_text.h"
#include "scan/folder_walk.h"

namespace dw {
namespace {

// The order the candidate list must have: lines compared field by field, each field's
// text case-insensitively, equal lines in the order they were added. Slow and plain.
std::vector<qsizetype> referenceOrder(const DupCandidateList& list,
                                      std::span<const DupField> fields) {
    std::vector<qsizetype> order(size_t(list.size()));
    std::iota(order.begin(), order.end(), 0);
    const auto bytes = [&](qsizetype i, DupField f) {
        QByteArray out;
        list.appendBytes(i, f, out);
        return out;
    };
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        for (DupField f : fields) {
            const int c = compareFolded(bytes(a, f), bytes(b, f));
            if (c != 0) {
                return c < 0;
            }
        }
        return false;
    });
    return order;
}

struct Made {
    QByteArray folder;
    QByteArray name;
    qint64 size;
    qint64 modified;
};

// Files with the traps of sorting by keys: long shared beginnings, names that differ
// only in case, letters beyond ASCII (some of which upper-case to ASCII letters, like
// the dotless i), bytes that are no UTF-8, sizes whose texts sort apart from their
// values, equal times, folders that are the beginning of other folders.
QList<Made> trickyFiles(int count, quint32 seed) {
    QRandomGenerator random(seed);
    const QList<QByteArray> folders = {"/data",     "/data/sub",           "/data/sub dir",
                                       "/data/Sub", "/d\xC3\xA9j\xC3\xA0", "/data/\xFF",
                                       "/",         "/data/sub/deeper"};
    const QList<QByteArray> stems = {"file-",
                                     "FILE-",
                                     "File-",
                                     "\xC4\xB1mage",
                                     "Image",
                                     "image",
                                     "\xC3\xA9t\xC3\xA9",
                                     "\xC3\x89T\xC3\x89",
                                     "a",
                                     "a b",
                                     "ab",
                                     "\xFF\xFE",
                                     "report final version ",
                                     "report final version",
                                     "\xE2\x82\xAC",
                                     "z"};
    const QList<QByteArray> exts = {"", ".txt", ".TXT", ".jpg", ".tar.gz", "."};
    const qint64 sizes[] = {0,     7,      999,    1000,    1024,         1025,
                            12345, 256000, 999999, 1000000, 5368709120LL, 123456789012LL};
    QList<Made> out;
    for (int k = 0; k < count; ++k) {
        Made m;
        m.folder = folders[random.bounded(int(folders.size()))];
        m.name = stems[random.bounded(int(stems.size()))];
        if (random.bounded(3) != 0) {
            m.name += QByteArray::number(random.bounded(30));
        }
        m.name += exts[random.bounded(int(exts.size()))];
        m.size = sizes[random.bounded(int(std::size(sizes)))];
        m.modified = 1614853230 + 3600 * qint64(random.bounded(3)) + 2 * random.bounded(2);
        out << m;
    }
    return out;
}

// The files in the order a walk hands them over: folder by folder (folders in the order
// they first came), each folder's files in their own order.
QList<Made> byFolder(QList<Made> files) {
    QList<QByteArray> seen;
    for (const Made& m : files) {
        if (!seen.contains(m.folder)) {
            seen << m.folder;
        }
    }
    std::stable_sort(files.begin(), files.end(), [&](const Made& a, const Made& b) {
        return seen.indexOf(a.folder) < seen.indexOf(b.folder);
    });
    return files;
}

void fill(DupCandidateList& list, const QList<Made>& files) {
    for (const Made& m : files) {
        WalkFolder folder;
        folder.path = m.folder;
        folder.text = QFile::decodeName(m.folder);
        platform::DirEntry e;
        e.name = m.name;
        e.size = m.size;
        e.modified = m.modified;
        e.accessed = m.modified + 86400 * (m.size % 3);
        ASSERT_TRUE(list.add(folder, e));
    }
}

TEST(DupCandidates, SortGivesTheOrderOfTheLines) {
    std::vector<std::vector<DupField>> orders;
    for (const DupCriterion& c : kDupCriteria) {
        orders.emplace_back(c.order.begin(), c.order.end());
    }
    orders.emplace_back(kHogLineOrder.begin(), kHogLineOrder.end());
    const QLocale saved;
    for (const char* locale : {"en_US", "de_CH", "fr_FR"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
        // Folders met once each, as a walk meets them, or again and again; each folder's
        // names sorted and the date texts made as files are added, or all at the end.
        for (const auto& [seed, grouped, early] :
             {std::tuple(1u, false, false), std::tuple(2u, false, false),
              std::tuple(3u, false, true), std::tuple(1u, true, false), std::tuple(2u, true, true),
              std::tuple(3u, true, true)}) {
            const QList<Made> files =
                grouped ? byFolder(trickyFiles(400, seed)) : trickyFiles(400, seed);
            for (const std::vector<DupField>& fields : orders) {
                SCOPED_TRACE(testing::Message()
                             << locale << " seed " << seed << " grouped " << grouped << " early "
                             << early << " first field " << int(fields[0]));
                DupCandidateList list;
                list.setEarlyPathOrder(early);
                list.setEarlyTexts(early);
                fill(list, files);
                DupCandidateList reference;
                fill(reference, files);
                list.sortLines(fields);
                const std::vector<qsizetype> expected = referenceOrder(reference, fields);
                ASSERT_EQ(qsizetype(expected.size()), list.size());
                for (qsizetype k = 0; k < list.size(); ++k) {
                    ASSERT_EQ(list.path(k), reference.path(expected[size_t(k)])) << k;
                    ASSERT_EQ(list.modified(k), reference.modified(expected[size_t(k)])) << k;
                }
            }
        }
    }
    QLocale::setDefault(saved);
}

TEST(DupCandidates, LongListsSortedInPiecesGiveTheOrderOfTheLines) {
    // Long enough for the keys, the sort and the runs of equal keys to be split between
    // two threads, with many equal lines whose added order must survive the merge.
    // The file-hog order also with each folder's names sorted as it is added, the files
    // coming folder by folder as from a walk.
    const std::vector<DupField> hogOrder(kHogLineOrder.begin(), kHogLineOrder.end());
    const std::vector<DupField> nameOrder(kDupCriteria[0].order.begin(),
                                          kDupCriteria[0].order.end());
    for (const auto& [fields, grouped, early] :
         {std::tuple(hogOrder, false, false), std::tuple(nameOrder, false, false),
          std::tuple(hogOrder, true, true)}) {
        SCOPED_TRACE(testing::Message() << "first field " << int(fields[0]) << " early " << early);
        const QList<Made> files = grouped ? byFolder(trickyFiles(45000, 7)) : trickyFiles(45000, 7);
        DupCandidateList list;
        list.setEarlyPathOrder(early);
        list.setEarlyTexts(early);
        fill(list, files);
        list.sortLines(fields);
        // The reference on each line's field texts made once.
        std::vector<std::vector<QByteArray>> texts(files.size());
        for (qsizetype i = 0; i < list.size(); ++i) {
            for (DupField f : fields) {
                QByteArray out;
                list.appendBytes(i, f, out);
                texts[list.addedAs(i)].push_back(out);
            }
        }
        std::vector<quint32> expected(files.size());
        std::iota(expected.begin(), expected.end(), 0u);
        std::stable_sort(expected.begin(), expected.end(), [&](quint32 a, quint32 b) {
            for (size_t f = 0; f < fields.size(); ++f) {
                const int c = compareFolded(texts[a][f], texts[b][f]);
                if (c != 0) {
                    return c < 0;
                }
            }
            return false;
        });
        for (qsizetype k = 0; k < list.size(); ++k) {
            ASSERT_EQ(list.addedAs(k), expected[size_t(k)]) << k;
        }
    }
}

TEST(DupCandidates, FilesAddedAfterASortAreSortedWithTheRest) {
    // The names sorted and the folders' tree grown as files come, a sort, then more files
    // (some in the folders met before): the next sort must still give the whole order.
    const QList<Made> files = byFolder(trickyFiles(600, 11));
    const std::vector<DupField> fields(kHogLineOrder.begin(), kHogLineOrder.end());
    DupCandidateList list;
    list.setEarlyPathOrder(true);
    list.setEarlyTexts(true);
    fill(list, files.mid(0, 250));
    list.sortLines(fields);
    fill(list, files.mid(250));
    list.sortLines(fields);
    DupCandidateList reference;
    fill(reference, files);
    const std::vector<qsizetype> expected = referenceOrder(reference, fields);
    ASSERT_EQ(qsizetype(expected.size()), list.size());
    for (qsizetype k = 0; k < list.size(); ++k) {
        ASSERT_EQ(list.path(k), reference.path(expected[size_t(k)])) << k;
        ASSERT_EQ(list.accessed(k), reference.accessed(expected[size_t(k)])) << k;
    }
}

TEST(DupCandidates, TimeKeysKnowTheCalendar) {
    // Every date part with a valid time, and every time part on a valid date: a packed
    // value names no time (the "12:00:00" text) exactly when the calendar says so.
    const auto valid = [](quint32 p) {
        return QDate::isValid(int(p >> 25) + 1980, int((p >> 21) & 0x0F), int((p >> 16) & 0x1F)) &&
               QTime::isValid(int((p >> 11) & 0x1F), int((p >> 5) & 0x3F), int(p & 0x1F) * 2);
    };
    const quint32 invalidKey = DupCandidateList::timeKey(0xFFFFFFFF);
    ASSERT_FALSE(valid(0xFFFFFFFF));
    const quint32 noonOfFirstDay = (((1u << 5) | 1u) << 16) | (12u << 11);
    for (quint32 half = 0; half <= 0xFFFF; ++half) {
        for (const quint32 packed :
             {(half << 16) | (12u << 11), (noonOfFirstDay & 0xFFFF0000u) | half}) {
            if (packed == 0) {
                continue;
            }
            ASSERT_EQ(DupCandidateList::timeKey(packed) == invalidKey, !valid(packed))
                << std::hex << packed;
        }
    }
}

TEST(DupCandidates, LimitRefusesFilesBeyondIt) {
    DupCandidateList list(2);
    WalkFolder folder;
    folder.path = "/x";
    platform::DirEntry e;
    e.name = "a";
    EXPECT_TRUE(list.add(folder, e));
    EXPECT_TRUE(list.add(folder, e));
    EXPECT_FALSE(list.add(folder, e));
    EXPECT_EQ(list.size(), 2);
    EXPECT_EQ(list.path(1), QByteArray("/x/a"));
    EXPECT_GT(list.memoryUsage(), 0);
}

}  // namespace
}  // namespace dw
