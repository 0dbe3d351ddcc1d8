#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>
#include <QThreadPool>
#include <QWidget>

#include <atomic>
#include <memory>
#include <vector>

#include "finders/space_tree.h"
#include "finders/treemap_layout.h"
#include "finders/treemap_legend.h"

class QLabel;

namespace dw {

class ElidedLabel;

// A drawn treemap: the picture, the tiles it shows (in the picture's pixels) and the
// legend its colours follow.
struct TreemapPicture {
    QImage image;
    std::vector<MapTile> tiles;
    // The legend's lines (TreemapLegend::shares), each in TreemapColours::type of its
    // index.
    std::vector<TreemapTypeShare> legend;
    // The names the legend was made with.
    std::shared_ptr<const TreemapTypeNames> typeNames;
    quint32 root = kNoSpaceItem;
};

// The colours of a treemap: the files of the legend's types in ten colours of their
// own, other files in one grey, a folder's small files in a lighter one, what a folder
// holds that is too small to show in a darker one, and the folders' frames.
struct TreemapColours {
    static QColor type(int legendIndex);  // 0..9
    static QColor otherTypes();
    static QColor smallFiles();
    static QColor folder();
    static QColor frame();
};

// Lays out `root` of `tree` in a picture of `size` pixels and draws it: each folder with
// a frame of one pixel around what it holds, each item shaded as a cushion that deepens
// with every folder level around it, files coloured by type. `names` are the tree's
// type names (treemapTypeNames); when null they are made first. Runs on any thread (it
// touches no widget). When `cancel` becomes true it returns early with what it has (the
// picture is then incomplete). An empty size or a root outside the tree gives a null
// image and no tiles.
TreemapPicture drawTreemap(const SpaceTree& tree, quint32 root, const QSize& size,
                           std::shared_ptr<const TreemapTypeNames> names = nullptr,
                           const std::atomic<bool>* cancel = nullptr);

// The treemap of a SpaceTree: a breadcrumb of the folders from the start folder to the
// one shown, the map itself, a line telling what lies under the mouse (path, size and
// share of the drive) and the legend of the ten biggest types. The picture is drawn on
// a worker thread whenever the tree, the folder shown or the size changes; until it is
// ready the last one is shown stretched, so resizing never waits for it.
// Mouse and keys: a click selects the item under it (itemClicked), a double click shows
// the folder under it (the file's folder for a file), Backspace the folder above the one
// shown, a link of the breadcrumb that folder; the popup menu asks contextMenuRequested.
class TreemapView : public QWidget {
    Q_OBJECT
public:
    explicit TreemapView(QWidget* parent = nullptr);
    ~TreemapView() override;

    // Shows `tree` (may be null: an empty map), from its only start folder, or from its
    // top when it holds several. Clears the outline.
    void setTree(std::shared_ptr<const SpaceTree> tree);
    std::shared_ptr<const SpaceTree> tree() const { return tree_; }
    // The same tree after removals (a copy with the same items, some removed): keeps
    // the folder shown, or the nearest one above it that is still there, and the
    // outline, and draws the map again. Any other tree goes to setTree.
    void treeChanged(std::shared_ptr<const SpaceTree> tree);

    // The folder shown (its index); a file or small-files item is taken as its folder,
    // a removed item or one outside the tree as the top. Unchanged without a tree.
    void setRoot(quint32 item);
    quint32 root() const { return root_; }
    // Shows the folder above the one shown; false at the top (or at the only start
    // folder, which stands for the top).
    bool zoomOut();

    // Outlines an item (kNoSpaceItem: none) wherever it is visible in the map.
    void setOutlined(quint32 item);
    quint32 outlined() const { return outlined_; }

    // The item whose tile holds `point` (in the map's coordinates), the deepest one;
    // kNoSpaceItem where there is none or no picture yet.
    quint32 itemAt(const QPoint& point) const;
    // The rectangle of an item's tile in the map's coordinates; empty when it has none.
    QRect tileRect(quint32 item) const;

    // The map widget (for events and pictures) and the texts around it.
    QWidget* map() const;
    QString breadcrumbText() const;
    QString hoverText() const;
    QString legendText() const;
    QImage picture() const { return picture_.image; }

    // Waits for the drawing under way (if any) and shows its result; for tests and
    // pictures.
    void finishDrawing();

    // The line shown for an item under the mouse.
    static QString describe(const SpaceTree& tree, quint32 item);

signals:
    void itemClicked(quint32 item);
    void rootChanged(quint32 item);
    void contextMenuRequested(quint32 item, const QPoint& globalPos);

private:
    class Canvas;
    friend class Canvas;

    void requestDrawing();
    void pictureReady(TreemapPicture picture, quint64 generation);
    void updateTexts();
    void hoverAt(const QPoint& point);
    quint32 folderOf(quint32 item) const;
    quint32 shownTop() const;

    std::shared_ptr<const SpaceTree> tree_;
    std::shared_ptr<const TreemapTypeNames> typeNames_;  // of tree_'s extensions, once made
    quint32 root_ = kNoSpaceItem;
    quint32 outlined_ = kNoSpaceItem;
    TreemapPicture picture_;
    quint64 generation_ = 0;
    bool drawing_ = false;
    bool redraw_ = false;
    std::shared_ptr<std::atomic<bool>> cancel_;
    QThreadPool pool_;
    Canvas* canvas_ = nullptr;
    QLabel* breadcrumb_ = nullptr;
    ElidedLabel* hover_ = nullptr;
    QLabel* legend_ = nullptr;
};

}  // namespace dw
