#include "finders/treemap_layout.h"

#include <algorithm>
#include <limits>

namespace dw {

namespace {

// Lays one row of squarified rectangles at a time. The row runs along the shorter side
// of what is left, so the rectangles it makes are as thick as possible.
template <typename SizeAt>
void squarifyInto(qsizetype n, SizeAt sizeAt, const MapRect& area, MapRect* out) {
    double total = 0;
    qsizetype positive = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const double s = double(sizeAt(i));
        if (s > 0) {
            total += s;
            ++positive;
        }
    }
    const MapRect corner{area.right(), area.bottom(), 0, 0};
    for (qsizetype i = 0; i < n; ++i) {
        out[i] = corner;
    }
    if (total <= 0 || area.w <= 0 || area.h <= 0) {
        return;
    }
    const double scale = area.area() / total;
    MapRect rest = area;
    qsizetype i = 0;
    auto next = [&](qsizetype from) {
        while (from < n && sizeAt(from) <= 0) {
            ++from;
        }
        return from;
    };
    i = next(0);
    qsizetype placed = 0;
    while (i < n) {
        const double side = std::min(rest.w, rest.h);
        const double side2 = side * side;
        double rowSum = 0;
        double rowMin = std::numeric_limits<double>::max();
        double rowMax = 0;
        double best = std::numeric_limits<double>::max();
        qsizetype j = i;
        qsizetype count = 0;
        while (j < n) {
            const double s = double(sizeAt(j)) * scale;
            const double sum = rowSum + s;
            const double lo = std::min(rowMin, s);
            const double hi = std::max(rowMax, s);
            const double worst = std::max(side2 * hi / (sum * sum), (sum * sum) / (side2 * lo));
            if (count > 0 && worst > best) {
                break;
            }
            best = worst;
            rowSum = sum;
            rowMin = lo;
            rowMax = hi;
            ++count;
            j = next(j + 1);
        }
        placed += count;
        // The last row takes all that is left, so rounding never leaves a gap.
        const bool last = placed == positive;
        const double thick =
            last ? (rest.w >= rest.h ? rest.w : rest.h) : (side > 0 ? rowSum / side : 0);
        double along = 0;
        qsizetype k = i;
        for (qsizetype c = 0; c < count; ++c, k = next(k + 1)) {
            const double s = double(sizeAt(k)) * scale;
            double len = rowSum > 0 ? side * s / rowSum : 0;
            if (c == count - 1) {
                len = side - along;  // the row's end meets the side exactly
            }
            if (rest.w >= rest.h) {
                out[k] = MapRect{rest.x, rest.y + along, thick, len};
            } else {
                out[k] = MapRect{rest.x + along, rest.y, len, thick};
            }
            along += len;
        }
        if (rest.w >= rest.h) {
            rest.x += thick;
            rest.w = std::max(0.0, rest.w - thick);
        } else {
            rest.y += thick;
            rest.h = std::max(0.0, rest.h - thick);
        }
        i = j;
    }
}

}  // namespace

std::vector<MapRect> squarify(std::span<const qint64> sizes, const MapRect& area) {
    std::vector<MapRect> out(sizes.size());
    squarifyInto(
        qsizetype(sizes.size()), [&](qsizetype i) { return sizes[std::size_t(i)]; }, area,
        out.data());
    return out;
}

std::vector<MapTile> layoutTreemap(const SpaceTree& tree, quint32 root, const MapRect& area,
                                   const TreemapLayoutOptions& options,
                                   const std::atomic<bool>* cancel) {
    std::vector<MapTile> tiles;
    if (root >= tree.size()) {
        return tiles;
    }
    tiles.push_back(MapTile{area, root, 0, kNoSpaceItem});
    std::vector<quint32> order;
    std::vector<MapRect> rects;
    // Pre-order without recursion: a folder's tile is written, then its children are
    // laid out and pushed so that the largest comes off the stack first.
    std::vector<std::size_t> pending{0};
    std::vector<std::size_t> children;
    while (!pending.empty()) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            break;
        }
        const std::size_t folderIndex = pending.back();
        const MapTile folderTile = tiles[folderIndex];
        pending.pop_back();
        const SpaceItem& folder = tree.item(folderTile.item);
        if (!folder.isFolder() || folder.count == 0 || folder.bytes <= 0) {
            continue;
        }
        MapRect inner = folderTile.rect;
        const double f = options.frame;
        if (f > 0 && inner.w > 4 * f && inner.h > 4 * f) {
            inner = MapRect{inner.x + f, inner.y + f, inner.w - 2 * f, inner.h - 2 * f};
        }
        if (inner.area() < options.minArea) {
            continue;
        }
        order.clear();
        bool sorted = true;
        qint64 previous = std::numeric_limits<qint64>::max();
        for (quint32 c = folder.first; c < folder.first + folder.count; ++c) {
            const SpaceItem& child = tree.item(c);
            if (child.removed() || child.bytes <= 0) {
                continue;
            }
            sorted = sorted && child.bytes <= previous;
            previous = child.bytes;
            order.push_back(c);
        }
        if (!sorted) {
            // Removals shrink folders after the scan; the rows want largest first.
            std::stable_sort(order.begin(), order.end(), [&](quint32 a, quint32 b) {
                return tree.item(a).bytes > tree.item(b).bytes;
            });
        }
        rects.resize(order.size());
        squarifyInto(
            qsizetype(order.size()),
            [&](qsizetype i) { return tree.item(order[std::size_t(i)]).bytes; }, inner,
            rects.data());
        children.clear();
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (rects[i].area() < options.minArea) {
                break;  // the rest are no larger
            }
            tiles.push_back(
                MapTile{rects[i], order[i], folderTile.depth + 1, quint32(folderIndex)});
            if (tree.item(order[i]).isFolder()) {
                children.push_back(tiles.size() - 1);
            }
        }
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return tiles;
}

qsizetype tileAt(const std::vector<MapTile>& tiles, double x, double y) {
    qsizetype found = -1;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if (tiles[i].rect.contains(x, y) &&
            (found < 0 || tiles[i].depth > tiles[std::size_t(found)].depth)) {
            found = qsizetype(i);
        }
    }
    return found;
}

}  // namespace dw
