#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "base/utility.h"
#include "finders/folder_hogs.h"
#include "finders/space_tree.h"
#include "finders/treemap_layout.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

DriveEntry folderEntry(const QByteArray& folder) {
    DriveEntry e;
    e.kind = DriveEntry::Kind::ExtraFolder;
    e.startFolder = folder;
    e.text = QString::fromUtf8(folder);
    e.checked = true;
    return e;
}

double overlap(const MapRect& a, const MapRect& b) {
    const double w = std::min(a.right(), b.right()) - std::max(a.x, b.x);
    const double h = std::min(a.bottom(), b.bottom()) - std::max(a.y, b.y);
    return w > 0 && h > 0 ? w * h : 0;
}

bool inside(const MapRect& r, const MapRect& outer) {
    constexpr double e = 1e-6;
    return r.x >= outer.x - e && r.y >= outer.y - e && r.right() <= outer.right() + e &&
           r.bottom() <= outer.bottom() + e;
}

// Checks that `rects` share `area` out as `sizes` say: each inside it, none over
// another, each area within a pixel of its share, together the whole area.
void expectShares(const std::vector<qint64>& sizes, const std::vector<MapRect>& rects,
                  const MapRect& area) {
    ASSERT_EQ(rects.size(), sizes.size());
    double total = 0;
    for (qint64 s : sizes) {
        total += double(std::max<qint64>(s, 0));
    }
    double covered = 0;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_GE(rects[i].w, 0);
        EXPECT_GE(rects[i].h, 0);
        EXPECT_TRUE(inside(rects[i], area));
        const double want = sizes[i] > 0 ? area.area() * double(sizes[i]) / total : 0;
        EXPECT_NEAR(rects[i].area(), want, 1.0);
        covered += rects[i].area();
        for (std::size_t j = i + 1; j < rects.size(); ++j) {
            EXPECT_LT(overlap(rects[i], rects[j]), 1e-6) << "with " << j;
        }
    }
    if (total > 0) {
        EXPECT_NEAR(covered, area.area(), 1e-3);
    }
}

TEST(Treemap, SquarifiedRectanglesShareTheAreaBySize) {
    struct Case {
        const char* name;
        std::vector<qint64> sizes;
        MapRect area;
    };
    const Case cases[] = {
        {"one", {42}, {0, 0, 1600, 1000}},
        {"equal", {5, 5, 5, 5, 5, 5}, {10, 20, 300, 200}},
        {"classic", {6, 6, 4, 3, 2, 2, 1}, {0, 0, 600, 400}},
        {"tall area", {100, 40, 30, 9, 1}, {3, 3, 40, 900}},
        {"zeros between", {100, 0, 50, 0, 25}, {0, 0, 200, 100}},
        {"beyond 32 bits", {3LL << 40, 1LL << 40, 5LL << 33, 7}, {0, 0, 1600, 1000}},
        {"one huge many tiny", {1000000, 1, 1, 1, 1, 1, 1, 1, 1, 1}, {0, 0, 100, 100}},
        {"not sorted", {1, 9, 3, 27}, {0, 0, 90, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expectShares(c.sizes, squarify(c.sizes, c.area), c.area);
    }
    // Squarified means close to square: four equal sizes in a square make four squares.
    const std::vector<MapRect> four = squarify(std::vector<qint64>{1, 1, 1, 1}, {0, 0, 100, 100});
    for (const MapRect& r : four) {
        EXPECT_NEAR(r.w, 50, 1e-9);
        EXPECT_NEAR(r.h, 50, 1e-9);
    }
    // Nothing to share, or nowhere to put it: every rectangle is empty.
    for (const MapRect& r : squarify(std::vector<qint64>{0, 0}, {0, 0, 10, 10})) {
        EXPECT_EQ(r.area(), 0);
    }
    for (const MapRect& r : squarify(std::vector<qint64>{3, 4}, {0, 0, 0, 10})) {
        EXPECT_EQ(r.area(), 0);
    }
}

// A hand-built tree of three levels: every tile inside its folder's frame, siblings
// apart, and each child's area its share of the folder's inside.
TEST(Treemap, LaidOutTreeNestsInsideEachFolder) {
    SpaceTreeBuilder b(10);
    b.enterFolder("/data", 0);
    b.enterFolder("/data/a");
    b.addFile("big.iso", 5000);
    b.addFile("mid.mp4", 1200);
    b.addFile("tiny.txt", 3);
    b.addFile("tiny2.txt", 4);
    b.enterFolder("/data/a/deep");
    b.addFile("x.bin", 700);
    b.addFile("y.bin", 300);
    b.leaveFolder();
    b.leaveFolder();
    b.enterFolder("/data/b");
    b.addFile("c.jpg", 2500);
    b.leaveFolder();
    b.addFile("loose.dat", 800);
    b.leaveFolder();
    const SpaceTree tree = b.finish();
    const quint32 root = tree.find("/data");
    ASSERT_NE(root, kNoSpaceItem);
    EXPECT_EQ(tree.item(root).bytes, 5000 + 1200 + 7 + 1000 + 2500 + 800);

    const MapRect area{0, 0, 800, 500};
    TreemapLayoutOptions options;
    options.frame = 2;
    const std::vector<MapTile> tiles = layoutTreemap(tree, root, area, options);
    ASSERT_FALSE(tiles.empty());
    EXPECT_EQ(tiles[0].item, root);
    QHash<quint32, std::size_t> tileOf;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        tileOf.insert(tiles[i].item, i);
    }
    // Every item of the tree has a tile here: all are far above a pixel.
    EXPECT_EQ(tiles.size(), std::size_t(tree.size() - 1));
    for (std::size_t i = 1; i < tiles.size(); ++i) {
        SCOPED_TRACE(tree.path(tiles[i].item).toStdString());
        const quint32 parent = tree.item(tiles[i].item).parent;
        ASSERT_TRUE(tileOf.contains(parent));
        const MapTile& p = tiles[tileOf.value(parent)];
        EXPECT_LT(tileOf.value(parent), i);  // the folder is drawn first
        EXPECT_EQ(tiles[i].parentTile, tileOf.value(parent));
        EXPECT_EQ(tiles[i].depth, p.depth + 1);
        const MapRect inner{p.rect.x + 2, p.rect.y + 2, p.rect.w - 4, p.rect.h - 4};
        EXPECT_TRUE(inside(tiles[i].rect, inner));
        const double share =
            inner.area() * double(tree.item(tiles[i].item).bytes) / double(tree.item(parent).bytes);
        EXPECT_NEAR(tiles[i].rect.area(), share, 1.0);
        for (std::size_t j = 1; j < tiles.size(); ++j) {
            if (j != i && tree.item(tiles[j].item).parent == parent) {
                EXPECT_LT(overlap(tiles[i].rect, tiles[j].rect), 1e-6);
            }
        }
    }
    // The deepest tile under a point: a file inside "deep" is found, not its folders.
    const MapTile& x = tiles[tileOf.value(tree.find("/data/a/deep/x.bin"))];
    const qsizetype hit = tileAt(tiles, x.rect.x + x.rect.w / 2, x.rect.y + x.rect.h / 2);
    ASSERT_GE(hit, 0);
    EXPECT_EQ(tree.path(tiles[std::size_t(hit)].item), QByteArray("/data/a/deep/x.bin"));
    EXPECT_EQ(tileAt(tiles, -1, 5), -1);

    // Items too small for a pixel get no tile and take nothing below them with them.
    const std::vector<MapTile> small = layoutTreemap(tree, root, {0, 0, 8, 5}, options);
    for (const MapTile& t : small) {
        EXPECT_GE(t.rect.area(), t.item == root ? 0 : 1.0);
    }
    EXPECT_LT(small.size(), tiles.size());
}

// What the folder-hogs walk keeps: files of the chosen size one by one, the others
// folded per folder, names and types, sizes, and paths found again.
TEST(Treemap, ScanKeepsBigFilesAndFoldsSmallOnes) {
    test::TempTree t;
    t.fileOfSize("Main/big.ISO", 3000);
    t.fileOfSize("Main/edge.bin", 1000);  // exactly the chosen size: kept
    t.fileOfSize("Main/a.txt", 999);
    t.fileOfSize("Main/b.txt", 10);
    t.fileOfSize("Main/Sub/noext", 2000);
    t.fileOfSize("Main/Sub/libz.so.1.2.13", 1000);
    t.fileOfSize("Main/Sub/libc.so.6", 1000);
    t.fileOfSize("Main/Sub/notes.so.txt", 1000);
    t.fileOfSize("loose.txt", 5);
    t.fileOfSize("Main/.cache/unwalked.bin", 9000);
    t.dir("Empty");

    for (FolderHogMode mode : {FolderHogMode::Main, FolderHogMode::All}) {
        SCOPED_TRACE(int(mode));
        FolderHogTreeOptions keep;
        keep.keep = true;
        keep.keptFileSize = 1000;
        const FolderHogResult r = scanFolderHogs({folderEntry(t.root())}, mode, {}, keep);
        ASSERT_TRUE(r.tree);
        const SpaceTree& tree = *r.tree;
        const quint32 root = tree.find(t.root());
        ASSERT_NE(root, kNoSpaceItem);
        EXPECT_EQ(tree.item(root).bytes, 3000 + 1000 + 999 + 10 + 5000 + 5);
        EXPECT_GT(tree.capacity(root), 0);

        const quint32 main = tree.find(t.path("Main"));
        ASSERT_NE(main, kNoSpaceItem);
        const SpaceItem& m = tree.item(main);
        EXPECT_EQ(m.bytes, 3000 + 1000 + 999 + 10 + 5000);
        ASSERT_EQ(m.count, 4u);  // Sub, big.ISO, edge.bin and the small files
        QList<QByteArray> names;
        quint32 small = kNoSpaceItem;
        for (quint32 c = m.first; c < m.first + m.count; ++c) {
            EXPECT_EQ(tree.item(c).parent, main);
            if (c > m.first) {
                EXPECT_LE(tree.item(c).bytes, tree.item(c - 1).bytes);  // largest first
            }
            if (tree.item(c).kind() == SpaceItem::Kind::SmallFiles) {
                small = c;
            } else {
                names << tree.name(c);
            }
        }
        EXPECT_EQ(names, (QList<QByteArray>{"Sub", "big.ISO", "edge.bin"}));
        ASSERT_NE(small, kNoSpaceItem);
        EXPECT_EQ(tree.item(small).count, 2u);
        EXPECT_EQ(tree.item(small).bytes, 999 + 10);
        EXPECT_EQ(tree.path(small), t.path("Main"));

        const quint32 big = tree.find(t.path("Main/big.ISO"));
        ASSERT_NE(big, kNoSpaceItem);
        EXPECT_EQ(tree.path(big), t.path("Main/big.ISO"));
        EXPECT_EQ(tree.types().value(tree.item(big).type),
                  FileTypeOfName(QStringLiteral("big.ISO")).toUtf8());
        const quint32 noext = tree.find(t.path("Main/Sub/noext"));
        ASSERT_NE(noext, kNoSpaceItem);
        EXPECT_EQ(tree.item(noext).type, 0);
        EXPECT_EQ(tree.item(tree.find(t.path("Main/Sub"))).bytes, 5000);
        // Types by the whole name: versioned shared libraries are shared libraries.
        const auto typeOf = [&](const char* rel) {
            return tree.types().value(tree.item(tree.find(t.path(rel))).type);
        };
        const QByteArray library = FileTypeOfName(QStringLiteral("libm.so")).toUtf8();
        EXPECT_EQ(typeOf("Main/Sub/libz.so.1.2.13"), library);
        EXPECT_EQ(typeOf("Main/Sub/libc.so.6"), library);
        EXPECT_EQ(typeOf("Main/Sub/notes.so.txt"),
                  FileTypeOfName(QStringLiteral("a.txt")).toUtf8());
        EXPECT_NE(tree.find(t.path("Empty")), kNoSpaceItem);
        EXPECT_EQ(tree.find(t.path("Main/.cache")), kNoSpaceItem);  // never walked
        EXPECT_EQ(tree.find(t.path("Main/a.txt")), kNoSpaceItem);   // folded
        EXPECT_EQ(tree.find(t.path("Mai")), kNoSpaceItem);
        EXPECT_EQ(tree.find("/elsewhere"), kNoSpaceItem);
    }
    // Without asking, nothing is kept.
    EXPECT_FALSE(scanFolderHogs({folderEntry(t.root())}, FolderHogMode::All).tree);
}

// Several names of one file count once, in the folder where the walk meets it first,
// as in the rows.
TEST(Treemap, HardLinksCountOnce) {
    test::TempTree t;
    const QByteArray first = t.fileOfSize("A/data.bin", 4096);
    t.dir("B");
    t.dir("C");
    ASSERT_EQ(::link(first.constData(), t.path("B/again.bin").constData()), 0);
    ASSERT_EQ(::link(first.constData(), t.path("C/third.bin").constData()), 0);
    t.fileOfSize("C/own.bin", 100);
    FolderHogTreeOptions keep;
    keep.keep = true;
    keep.keptFileSize = 0;
    const FolderHogResult r = scanFolderHogs({folderEntry(t.root())}, FolderHogMode::All, {}, keep);
    ASSERT_TRUE(r.tree);
    const SpaceTree& tree = *r.tree;
    EXPECT_EQ(tree.item(tree.find(t.root())).bytes, 4096 + 100);
    const int found = int(tree.find(t.path("A/data.bin")) != kNoSpaceItem) +
                      int(tree.find(t.path("B/again.bin")) != kNoSpaceItem) +
                      int(tree.find(t.path("C/third.bin")) != kNoSpaceItem);
    EXPECT_EQ(found, 1);
    qint64 rowBytes = 0;
    for (const FolderHogRow& row : r.rows) {
        rowBytes += row.bytes;
        if (row.path != t.root()) {
            EXPECT_EQ(tree.item(tree.find(row.path)).bytes, row.bytes);
        }
    }
    EXPECT_EQ(rowBytes, 4096 + 100);
}

// Removing a folder (or a file) takes its bytes from every folder above it, and it is
// gone from the map and from look-ups; the rest stays where it was.
TEST(Treemap, RemovalShrinksTheFoldersAbove) {
    SpaceTreeBuilder b(0);
    b.enterFolder("/", 0);
    b.enterFolder("/home");
    b.enterFolder("/home/u");
    b.enterFolder("/home/u/old");
    b.addFile("a", 400);
    b.addFile("b", 100);
    b.leaveFolder();
    b.addFile("keep", 300);
    b.leaveFolder();
    b.leaveFolder();
    b.enterFolder("/srv");
    b.addFile("s", 50);
    b.leaveFolder();
    b.leaveFolder();
    SpaceTree tree = b.finish();
    EXPECT_EQ(tree.path(tree.find("/home/u/old/a")), QByteArray("/home/u/old/a"));
    const quint32 old = tree.find("/home/u/old");
    const quint32 keep = tree.find("/home/u/keep");
    ASSERT_NE(old, kNoSpaceItem);
    const qint64 before = tree.memoryBytes();

    ASSERT_TRUE(tree.remove(old));
    EXPECT_EQ(tree.item(tree.find("/home/u")).bytes, 300);
    EXPECT_EQ(tree.item(tree.find("/home")).bytes, 300);
    EXPECT_EQ(tree.item(tree.find("/")).bytes, 350);
    EXPECT_EQ(tree.item(0).bytes, 350);
    EXPECT_EQ(tree.find("/home/u/old"), kNoSpaceItem);
    EXPECT_EQ(tree.find("/home/u/old/a"), kNoSpaceItem);
    EXPECT_EQ(tree.find("/home/u/keep"), keep);
    EXPECT_FALSE(tree.remove(old));
    EXPECT_FALSE(tree.remove(tree.item(old).first));  // below a removed folder
    EXPECT_FALSE(tree.remove(0));
    EXPECT_FALSE(tree.remove(tree.size()));
    EXPECT_EQ(tree.memoryBytes(), before);

    ASSERT_TRUE(tree.remove(tree.find("/srv/s")));
    EXPECT_EQ(tree.item(tree.find("/srv")).bytes, 0);
    EXPECT_EQ(tree.item(tree.find("/")).bytes, 300);

    const std::vector<MapTile> tiles = layoutTreemap(tree, tree.find("/"), {0, 0, 100, 100});
    for (const MapTile& tile : tiles) {
        EXPECT_NE(tile.item, old);
        EXPECT_NE(tree.item(tile.item).parent, old);
        EXPECT_NE(tile.item, tree.find("/srv"));  // nothing left in it
    }
    // "keep" is all that is left below the root: it fills the inside of "u", three
    // frames in.
    const auto k =
        std::find_if(tiles.begin(), tiles.end(), [&](const MapTile& m) { return m.item == keep; });
    ASSERT_NE(k, tiles.end());
    EXPECT_NEAR(k->rect.area(), 94.0 * 94.0, 1.0);
}

}  // namespace
}  // namespace dw
