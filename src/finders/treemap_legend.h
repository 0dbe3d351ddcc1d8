#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <vector>

#include "finders/space_tree.h"

namespace dw {

// The names of a tree's file types (SpaceTree::types()), each type one line of a legend.
struct TreemapTypeNames {
    std::vector<quint32> typeOf;  // by SpaceTree::types() index: the index in `names`
    QStringList names;
};
// The name of each type of `tree` ("No extension" for the empty one). Safe on any
// thread.
TreemapTypeNames treemapTypeNames(const SpaceTree& tree);

// One line of a treemap's legend: a file type and the bytes of the kept files of that
// type.
struct TreemapTypeShare {
    QString name;
    qint64 bytes = 0;
};

// What a treemap's colours follow: the types whose kept files take the most space in
// the whole tree (removed items left out), and for each extension of the tree the line
// of the legend its files are coloured as.
struct TreemapLegend {
    static constexpr int kMaxShares = 10;
    static constexpr int kOtherTypes = -1;

    // At most kMaxShares, largest first (ties: the type named first in the tree first);
    // types without a byte are left out, so fewer when the tree holds fewer.
    std::vector<TreemapTypeShare> shares;
    // By SpaceTree::types() index: the index in `shares`, or kOtherTypes.
    std::vector<int> slotOfType;
};

// The legend of `tree` with its type names `names` (treemapTypeNames of the same tree).
// When `cancel` becomes true it stops and returns an empty legend (no shares, every
// extension kOtherTypes). Runs on any thread.
TreemapLegend treemapLegend(const SpaceTree& tree, const TreemapTypeNames& names,
                            const std::atomic<bool>* cancel = nullptr);

}  // namespace dw
