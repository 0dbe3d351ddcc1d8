#pragma once

#include <QtGlobal>

#include <atomic>
#include <span>
#include <vector>

#include "finders/space_tree.h"

// Squarified treemaps: rectangles whose areas follow sizes and whose sides stay as near
// to squares as the sizes let them. Pure geometry in floating point; nothing is drawn.
namespace dw {

struct MapRect {
    double x = 0;
    double y = 0;
    double w = 0;
    double h = 0;

    double right() const { return x + w; }
    double bottom() const { return y + h; }
    double area() const { return w * h; }
    bool contains(double px, double py) const {
        return px >= x && px < x + w && py >= y && py < y + h;
    }
};

// Splits `area` into one rectangle per size, in the order given; sizes are best given
// largest first (the rows are filled in that order). The rectangles tile `area` without
// overlapping, and each one's area is its share of the sizes' total. A size of 0 or
// less gets an empty rectangle (w = h = 0) at the area's far corner; so does every size
// when their total is 0 or `area` is empty.
std::vector<MapRect> squarify(std::span<const qint64> sizes, const MapRect& area);

// One rectangle of a laid-out tree.
struct MapTile {
    MapRect rect;       // the item's whole rectangle
    quint32 item = 0;   // its index in the tree
    quint32 depth = 0;  // 0 for the item laid out at the top
    // The index of the folder's tile that holds this one; kNoSpaceItem for the top.
    quint32 parentTile = kNoSpaceItem;
};

struct TreemapLayoutOptions {
    // The children of a folder lie this far inside the folder's rectangle on each side
    // (its frame), as long as the folder is more than four frames wide and high;
    // otherwise they fill it.
    double frame = 1.0;
    // An item whose rectangle would cover less than this many square pixels gets no
    // tile, nor does anything below it; it stays part of its folder's area.
    double minArea = 1.0;
};

// Lays out `root` of `tree` (a folder, a file or a small-files item) in `area` and
// every item below it: a folder's tile comes before the tiles of everything below it,
// and a folder's children follow each other, largest first. Removed items and items of 0 bytes get
// no tile. The root always has a tile (the first) when it is in the tree, even when empty; an index
// out of range gives no tiles. When `cancel` becomes true the layout stops and returns what it has.
std::vector<MapTile> layoutTreemap(const SpaceTree& tree, quint32 root, const MapRect& area,
                                   const TreemapLayoutOptions& options = {},
                                   const std::atomic<bool>* cancel = nullptr);

// The deepest tile of `tiles` (as layoutTreemap gives them) that holds the point; -1
// when none does.
qsizetype tileAt(const std::vector<MapTile>& tiles, double x, double y);

}  // namespace dw
