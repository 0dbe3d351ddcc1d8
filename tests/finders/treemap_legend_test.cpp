#include <gtest/gtest.h>

#include "base/utility.h"
#include "finders/space_tree.h"
#include "finders/treemap_legend.h"

namespace dw {
namespace {

// Types by the whole names: two manual pages are one type whatever their extensions,
// and a versioned shared library is no manual page.
TEST(TreemapLegend, NamesTheDesktopTypesAlikeAreOneType) {
    SpaceTreeBuilder pages(0);
    pages.enterFolder("/man");
    pages.addFile("ls.1", 10);
    pages.addFile("mount.8", 20);
    pages.addFile("libomp.so.5", 40);
    pages.addFile("a.xyz", 5);
    const SpaceTree man = pages.finish();
    const auto typeOf = [&](const char* name) {
        return man.item(man.find(QByteArray("/man/") + name)).type;
    };
    const TreemapTypeNames names = treemapTypeNames(man);
    ASSERT_EQ(names.typeOf.size(), 4u);  // none, manual pages, shared libraries, ".xyz"
    EXPECT_EQ(names.names.value(names.typeOf[0]), QStringLiteral("No extension"));
    EXPECT_EQ(typeOf("ls.1"), typeOf("mount.8"));
    EXPECT_NE(typeOf("ls.1"), typeOf("libomp.so.5"));
    EXPECT_EQ(names.names.value(names.typeOf[typeOf("ls.1")]),
              FileTypeOfName(QStringLiteral("ls.1")));
    EXPECT_EQ(names.names.value(names.typeOf[typeOf("a.xyz")]), QStringLiteral("XYZ File"));

    const TreemapLegend legend = treemapLegend(man, names);
    ASSERT_EQ(legend.shares.size(), 3u);
    EXPECT_EQ(legend.shares[0].bytes, 40);
    EXPECT_EQ(legend.shares[0].name, FileTypeOfName(QStringLiteral("libm.so.6")));
    EXPECT_EQ(legend.shares[1].bytes, 30);
    ASSERT_EQ(legend.slotOfType.size(), names.typeOf.size());
    // No file without an extension: that type has no line.
    EXPECT_EQ(legend.slotOfType[0], TreemapLegend::kOtherTypes);
}

// Twelve types of 1..12 KB each (".t1" .. ".t12"), one file each; in "/v/gone" another
// 100 KB of ".t1".
SpaceTree twelveTypes() {
    SpaceTreeBuilder b(0);
    b.enterFolder("/v");
    for (int i = 1; i <= 12; ++i) {
        b.addFile("f.t" + QByteArray::number(i), 1000 * i);
    }
    b.enterFolder("/v/gone");
    b.addFile("big.t1", 100000);
    b.leaveFolder();
    b.leaveFolder();
    return b.finish();
}

TEST(TreemapLegend, TheTenBiggestTypesOfTheKeptFilesLargestFirst) {
    SpaceTree tree = twelveTypes();
    const TreemapTypeNames names = treemapTypeNames(tree);
    auto slotOf = [&](const TreemapLegend& legend, const char* ext) {
        const qsizetype type =
            tree.types().indexOf(QByteArray(ext).mid(1).toUpper() + QByteArray(" File"));
        EXPECT_GE(type, 0) << ext;
        return type < 0 ? -2 : legend.slotOfType[std::size_t(type)];
    };

    const TreemapLegend before = treemapLegend(tree, names);
    ASSERT_EQ(before.shares.size(), std::size_t(TreemapLegend::kMaxShares));
    EXPECT_EQ(before.shares[0].bytes, 101000);
    EXPECT_EQ(slotOf(before, ".t1"), 0);
    EXPECT_EQ(slotOf(before, ".t12"), 1);
    EXPECT_EQ(before.shares[1].bytes, 12000);
    EXPECT_EQ(slotOf(before, ".t4"), 9);
    EXPECT_EQ(slotOf(before, ".t3"), TreemapLegend::kOtherTypes);
    EXPECT_EQ(slotOf(before, ".t2"), TreemapLegend::kOtherTypes);

    // A removed folder's files count no more: ".t1" drops to the bottom and out.
    ASSERT_TRUE(tree.remove(tree.find("/v/gone")));
    const TreemapLegend after = treemapLegend(tree, names);
    ASSERT_EQ(after.shares.size(), std::size_t(TreemapLegend::kMaxShares));
    EXPECT_EQ(after.shares[0].bytes, 12000);
    EXPECT_EQ(after.shares[9].bytes, 3000);
    EXPECT_EQ(slotOf(after, ".t1"), TreemapLegend::kOtherTypes);
    EXPECT_EQ(slotOf(after, ".t3"), 9);
}

TEST(TreemapLegend, ACancelledLegendIsEmpty) {
    const SpaceTree tree = twelveTypes();
    const TreemapTypeNames names = treemapTypeNames(tree);
    const std::atomic<bool> cancel{true};
    const TreemapLegend legend = treemapLegend(tree, names, &cancel);
    EXPECT_TRUE(legend.shares.empty());
    ASSERT_EQ(legend.slotOfType.size(), names.typeOf.size());
    for (const int slot : legend.slotOfType) {
        EXPECT_EQ(slot, TreemapLegend::kOtherTypes);
    }
}

}  // namespace
}  // namespace dw
