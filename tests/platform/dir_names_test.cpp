#include <gtest/gtest.h>

#include <QHash>

#include <cerrno>

#include "platform/dir_names.h"
#include "platform/dir_reader.h"
#include "support/temp_tree.h"

namespace dw::platform {
namespace {

QHash<QByteArray, NameType> listAll(DirNames& names) {
    QHash<QByteArray, NameType> all;
    QByteArray name;
    NameType type = NameType::Unknown;
    while (names.next(name, type)) {
        all.insert(name, type);
    }
    return all;
}

TEST(DirNames, ListsNamesWithTheirTypesWithoutDots) {
    test::TempTree t;
    t.file("plain");
    t.file(".hidden");
    t.dir("folder");
    t.symlink("link-to-folder", "folder");
    t.fifo("fifo");
    t.file("odd\n\xff name");
    DirReader reader;
    ASSERT_TRUE(reader.open(t.root()));
    DirNames names;
    ASSERT_TRUE(names.start(reader.fd()));
    const QHash<QByteArray, NameType> all = listAll(names);
    EXPECT_EQ(names.error(), 0);
    // ext4, tmpfs and the like record the type; Unknown would be honest too.
    const auto typeIs = [&all](const char* name, NameType expected) {
        const NameType got = all.value(name, NameType::Unknown);
        return got == expected || got == NameType::Unknown;
    };
    EXPECT_EQ(all.size(), 6);
    EXPECT_TRUE(typeIs("plain", NameType::Regular));
    EXPECT_TRUE(typeIs(".hidden", NameType::Regular));
    EXPECT_TRUE(typeIs("folder", NameType::Folder));
    EXPECT_TRUE(typeIs("link-to-folder", NameType::Other));
    EXPECT_TRUE(typeIs("fifo", NameType::Other));
    EXPECT_TRUE(all.contains("odd\n\xff name"));

    // Listing again from the start gives the same; the end stays the end.
    QByteArray name;
    NameType type;
    EXPECT_FALSE(names.next(name, type));
    ASSERT_TRUE(names.start(reader.fd()));
    EXPECT_EQ(listAll(names), all);
}

TEST(DirNames, ResumesWhereAnEarlierListingStood) {
    test::TempTree t;
    for (int i = 0; i < 300; ++i) {
        t.file("file-with-a-longer-name-" + QByteArray::number(i));
    }
    DirReader reader;
    ASSERT_TRUE(reader.open(t.root()));
    DirNames first;
    ASSERT_TRUE(first.start(reader.fd()));
    QList<QByteArray> order;
    QByteArray name;
    NameType type;
    while (first.next(name, type)) {
        order.append(name);
    }
    ASSERT_EQ(order.size(), 300);

    // Stop after 123 names, give the listing up, resume through another descriptor.
    ASSERT_TRUE(first.start(reader.fd()));
    for (int i = 0; i < 123; ++i) {
        ASSERT_TRUE(first.next(name, type));
    }
    const qint64 position = first.tell();
    first.release();
    EXPECT_FALSE(first.next(name, type));
    DirReader again;
    ASSERT_TRUE(again.open(t.root()));
    DirNames resumed;
    ASSERT_TRUE(resumed.start(again.fd(), position));
    QList<QByteArray> rest;
    while (resumed.next(name, type)) {
        rest.append(name);
    }
    EXPECT_EQ(rest, order.mid(123));
}

TEST(DirNames, FailsCleanlyWithoutAFolder) {
    DirNames names;
    QByteArray name;
    NameType type;
    EXPECT_FALSE(names.next(name, type));
    EXPECT_FALSE(names.start(-1));
    EXPECT_EQ(names.error(), EBADF);
    EXPECT_FALSE(names.next(name, type));
}

}  // namespace
}  // namespace dw::platform
