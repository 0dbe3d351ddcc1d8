#include <gtest/gtest.h>

#include <QFile>

#include "finders/candidate_feed.h"

namespace dw {
namespace {

WalkFolder folderOf(const QByteArray& path) {
    WalkFolder f;
    f.path = path;
    f.text = QFile::decodeName(path);
    return f;
}

platform::DirEntry fileOf(int i) {
    platform::DirEntry e;
    e.name = "file-" + QByteArray::number(i) + (i % 5 == 0 ? "\xC3\xA9.txt" : ".bin");
    e.size = i * 3;
    e.modified = 1614853230 + i;
    e.accessed = 1614853230 + 2 * i;
    e.device = 7;
    e.inode = 1000 + quint64(i);
    return e;
}

// Folders change every 1,000 files, so some changes fall on the batches' edges.
QByteArray folderPathOf(int i) {
    return "/data/folder-" + QByteArray::number(i / 1000);
}

TEST(CandidateFeed, EveryFileHandedOverIsInTheListInOrder) {
    const int count = int(3 * CandidateFeed::kBatchFiles) + 5;
    for (const bool destroyFirst : {false, true}) {
        SCOPED_TRACE(destroyFirst ? "destroyed" : "finished");
        DupCandidateList list;
        ContentGrouper content;
        {
            CandidateFeed feed(list, &content);
            for (int i = 0; i < count; ++i) {
                ASSERT_TRUE(feed.add(folderOf(folderPathOf(i)), fileOf(i)));
            }
            EXPECT_EQ(feed.count(), count);
            if (!destroyFirst) {
                feed.finish();
            }
        }
        ASSERT_EQ(list.size(), count);
        for (int i = 0; i < count; ++i) {
            const platform::DirEntry e = fileOf(i);
            ASSERT_EQ(list.path(i), folderPathOf(i) + "/" + e.name) << i;
            ASSERT_EQ(list.size(i), e.size) << i;
            ASSERT_EQ(list.addedAs(i), quint32(i));
        }
        EXPECT_EQ(list.folderId(0), list.folderId(999));
        EXPECT_NE(list.folderId(999), list.folderId(1000));
    }
}

TEST(CandidateFeed, RefusesFilesBeyondTheLimitAndOverlongNames) {
    DupCandidateList list(10);
    CandidateFeed feed(list, nullptr);
    platform::DirEntry overlong = fileOf(1);
    overlong.name = QByteArray(DupCandidateList::kMaxNameBytes + 1, 'x');
    EXPECT_FALSE(feed.add(folderOf("/d"), overlong));
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(feed.add(folderOf("/d"), fileOf(i)));
    }
    EXPECT_FALSE(feed.add(folderOf("/d"), fileOf(10)));
    feed.finish();
    EXPECT_EQ(list.size(), 10);
    // Finished, the feed takes files as before: the list is still full.
    EXPECT_FALSE(feed.add(folderOf("/e"), fileOf(11)));
}

TEST(CandidateFeed, TakesFilesAgainAfterFinishing) {
    DupCandidateList list;
    CandidateFeed feed(list, nullptr);
    const int first = int(CandidateFeed::kBatchFiles) + 1;
    for (int i = 0; i < first; ++i) {
        ASSERT_TRUE(feed.add(folderOf(folderPathOf(i)), fileOf(i)));
    }
    feed.finish();
    EXPECT_EQ(list.size(), first);
    ASSERT_TRUE(feed.add(folderOf("/later"), fileOf(first)));
    feed.finish();
    ASSERT_EQ(list.size(), first + 1);
    EXPECT_EQ(list.path(first), QByteArray("/later/") + fileOf(first).name);
}

}  // namespace
}  // namespace dw
