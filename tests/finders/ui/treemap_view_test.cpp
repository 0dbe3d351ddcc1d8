#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "base/utility.h"
#include "finders/space_tree.h"
#include "finders/ui/treemap_view.h"

namespace dw {
namespace {

// A tree with one file far bigger than the rest, two types more, and small files.
std::shared_ptr<const SpaceTree> sampleTree() {
    SpaceTreeBuilder b(1000);
    b.enterFolder("/vol", 1000000);
    b.enterFolder("/vol/films");
    b.addFile("holiday.mkv", 500000);
    for (int i = 0; i < 60; ++i) {
        b.addFile("note" + QByteArray::number(i) + ".txt", 900);  // folded
    }
    b.leaveFolder();
    b.enterFolder("/vol/photos");
    b.enterFolder("/vol/photos/2024");
    b.addFile("a.jpg", 90000);
    b.addFile("b.JPG", 60000);
    b.leaveFolder();
    b.addFile("cover.png", 40000);
    b.leaveFolder();
    b.leaveFolder();
    return std::make_shared<const SpaceTree>(b.finish());
}

// Shows `view` at 480 x 420 with `tree`, its first picture drawn.
void showDrawn(TreemapView& view, std::shared_ptr<const SpaceTree> tree) {
    view.resize(480, 420);
    view.show();
    view.setTree(std::move(tree));
    view.finishDrawing();
}

QPoint centre(const QRect& r) {
    return r.center();
}

TEST(TreemapView, DrawsFilesInTheirTypesColoursInsideFramedFolders) {
    const auto tree = sampleTree();
    TreemapView view;
    showDrawn(view, tree);
    const QImage image = view.picture();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), view.map()->size());
    EXPECT_EQ(view.root(), tree->find("/vol"));  // the only start folder stands for the top

    // The legend: the biggest types by space, largest first, by the program's type
    // names; ".JPG" and ".jpg" are one.
    const TreemapPicture drawn = drawTreemap(*tree, view.root(), image.size());
    ASSERT_EQ(drawn.legend.size(), 3u);
    EXPECT_EQ(drawn.legend[0].name, FileTypeName(QStringLiteral(".mkv")));
    EXPECT_EQ(drawn.legend[1].name, FileTypeName(QStringLiteral(".jpg")));
    EXPECT_EQ(drawn.legend[1].bytes, 150000);
    EXPECT_EQ(drawn.legend[2].name, FileTypeName(QStringLiteral(".png")));
    // An entry of the legend never breaks inside.
    EXPECT_TRUE(view.legendText().contains(FileTypeName(QStringLiteral(".mkv"))
                                               .toHtmlEscaped()
                                               .replace(u' ', QStringLiteral("&nbsp;"))));
    EXPECT_TRUE(view.legendText().contains(QStringLiteral("Other&nbsp;types")));

    // Pixels: each file's middle has its type's hue (the shading changes only the
    // brightness), the small files are grey, and the map's edge is the frame.
    struct Probe {
        const char* path;
        QColor colour;
    };
    const Probe probes[] = {
        {"/vol/films/holiday.mkv", TreemapColours::type(0)},
        {"/vol/photos/2024/a.jpg", TreemapColours::type(1)},
        {"/vol/photos/2024/b.JPG", TreemapColours::type(1)},
        {"/vol/photos/cover.png", TreemapColours::type(2)},
    };
    for (const Probe& p : probes) {
        SCOPED_TRACE(p.path);
        const QRect r = view.tileRect(tree->find(p.path));
        ASSERT_FALSE(r.isEmpty());
        const QColor got = image.pixelColor(centre(r));
        EXPECT_NEAR(got.hsvHue(), p.colour.hsvHue(), 8);
        EXPECT_GT(got.hsvSaturation(), 60);
    }
    const SpaceItem& films = tree->item(tree->find("/vol/films"));
    const quint32 small = films.first + films.count - 1;
    ASSERT_EQ(tree->item(small).kind(), SpaceItem::Kind::SmallFiles);
    const QRect smallRect = view.tileRect(small);
    ASSERT_FALSE(smallRect.isEmpty());
    EXPECT_LT(image.pixelColor(centre(smallRect)).hsvSaturation(), 40);
    EXPECT_EQ(image.pixel(0, 0), TreemapColours::frame().rgb());
    EXPECT_EQ(image.pixel(image.width() - 1, image.height() - 1), TreemapColours::frame().rgb());
    // The biggest file takes about its share of the inside of two frames.
    const QRect mkv = view.tileRect(tree->find("/vol/films/holiday.mkv"));
    const double share = 500000.0 / double(tree->item(view.root()).bytes);
    EXPECT_NEAR(double(mkv.width()) * mkv.height() / (image.width() * image.height()), share, 0.03);

    // A new size gets a picture of its own, drawn again rather than stretched.
    view.resize(300, 260);
    QApplication::processEvents();  // the layout gives the map its new size
    view.finishDrawing();
    EXPECT_EQ(view.picture().size(), view.map()->size());
    EXPECT_EQ(view.picture().pixel(view.map()->width() - 1, 0), TreemapColours::frame().rgb());
    view.resize(480, 420);
    QApplication::processEvents();
    view.finishDrawing();
    EXPECT_EQ(view.picture().size(), view.map()->size());
}

TEST(TreemapView, HoverZoomAndRemoval) {
    const auto tree = sampleTree();
    TreemapView view;
    showDrawn(view, tree);
    QList<quint32> clicked;
    QObject::connect(&view, &TreemapView::itemClicked, &view,
                     [&](quint32 item) { clicked.append(item); });

    const quint32 jpg = tree->find("/vol/photos/2024/a.jpg");
    const QPoint onJpg = centre(view.tileRect(jpg));
    QTest::mouseMove(view.map(), onJpg);
    EXPECT_EQ(
        view.hoverText(),
        QStringLiteral("/vol/photos/2024/a.jpg   87.9 KB (90,000 bytes)   9.00% of the drive"));
    QTest::mouseClick(view.map(), Qt::LeftButton, {}, onJpg);
    EXPECT_EQ(clicked, QList<quint32>{jpg});

    // A double click shows the file's folder; the breadcrumb leads back.
    QTest::mouseDClick(view.map(), Qt::LeftButton, {}, onJpg);
    EXPECT_EQ(view.root(), tree->find("/vol/photos/2024"));
    view.finishDrawing();
    EXPECT_TRUE(view.breadcrumbText().contains(
        QStringLiteral("<a href=\"%1\">photos</a>").arg(tree->find("/vol/photos"))));
    EXPECT_TRUE(view.breadcrumbText().contains(QStringLiteral("<b>2024</b>")));
    // Both files fill the folder now, a.jpg 60% of it.
    const QRect zoomed = view.tileRect(jpg);
    EXPECT_NEAR(
        double(zoomed.width()) * zoomed.height() / (view.map()->width() * view.map()->height()),
        0.6, 0.03);
    view.map()->setFocus();
    QTest::keyClick(view.map(), Qt::Key_Backspace);
    EXPECT_EQ(view.root(), tree->find("/vol/photos"));
    QTest::keyClick(view.map(), Qt::Key_Backspace);
    EXPECT_EQ(view.root(), tree->find("/vol"));
    EXPECT_FALSE(view.zoomOut());  // the start folder is the top

    // The outline of a selection; after the folder is removed from a copy of the tree
    // its tile is gone and the other folder takes the whole map.
    view.finishDrawing();
    const quint32 films = tree->find("/vol/films");
    view.setOutlined(films);
    EXPECT_FALSE(view.tileRect(films).isEmpty());
    auto changed = std::make_shared<SpaceTree>(*tree);
    ASSERT_TRUE(changed->remove(films));
    view.treeChanged(changed);
    view.finishDrawing();
    EXPECT_TRUE(view.tileRect(films).isEmpty());
    const QRect photos = view.tileRect(changed->find("/vol/photos"));
    EXPECT_GE(photos.width(), view.map()->width() - 2);
    EXPECT_GE(photos.height(), view.map()->height() - 2);
    EXPECT_TRUE(view.breadcrumbText().contains(QStringLiteral("185.5 KB")));  // 190,000
}

}  // namespace
}  // namespace dw
