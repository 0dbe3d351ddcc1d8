#include "finders/dup_path_order.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>

#include "base/split_work.h"
#include "finders/folded_text.h"

namespace dw {

// A path is its folder's prefix and its name; the prefix is a run of pieces that each end
// with a "/" ("/", "data/", "sub/"). The pieces of all folders, equal when they compare
// equal, make a tree whose root is the empty text. Within one node, the names of its
// files and the pieces of its children sort as the paths through them do: a name holds
// no "/" and every piece ends with one, so a name and a piece differ before the piece's
// end, or the name is the beginning of the piece and comes first, as its path does.
// Visiting the nodes depth first in that order meets the paths in the order of their
// texts.
struct DupCandidateList::PathOrder::PathTree {
    struct Node {
        std::vector<std::pair<QByteArrayView, quint32>> children;  // a piece, its node
    };
    std::vector<Node> nodes{1};
    std::unordered_map<std::string, quint32> childOf;  // parent node's 4 bytes + folded piece
    std::vector<quint32> nodeOfFolder;
    std::string key;
    // Folders come in the walk's order, so a folder's prefix mostly begins with the one
    // before it: the pieces both share are not looked up again (a deep chain of folders
    // costs its bytes, not its depth times its length).
    std::vector<std::pair<qsizetype, quint32>> pieces;  // end of each piece, its node
    QByteArrayView previous;
    // Set once a sort has used the tree and its lookup table was given back: it takes no
    // more folders.
    bool closed = false;

    // Puts the next folder's prefix in the tree; the prefix's bytes must stay where they
    // are while the tree lives.
    void addFolder(QByteArrayView prefix) {
        const qsizetype shared =
            std::mismatch(prefix.begin(), prefix.begin() + std::min(prefix.size(), previous.size()),
                          previous.begin())
                .first -
            prefix.begin();
        while (!pieces.empty() && pieces.back().first > shared) {
            pieces.pop_back();
        }
        quint32 node = pieces.empty() ? 0 : pieces.back().second;
        qsizetype start = pieces.empty() ? 0 : pieces.back().first;
        for (qsizetype at = start; at < prefix.size(); ++at) {
            if (prefix[at] != '/') {
                continue;
            }
            const QByteArrayView piece = prefix.sliced(start, at + 1 - start);
            key.assign(reinterpret_cast<const char*>(&node), sizeof node);
            appendFoldedSortBytes({piece, {}}, key);
            const auto [it, added] = childOf.try_emplace(key, quint32(nodes.size()));
            if (added) {
                nodes[node].children.emplace_back(piece, it->second);
                nodes.emplace_back();
            }
            node = it->second;
            start = at + 1;
            pieces.emplace_back(start, node);
        }
        nodeOfFolder.push_back(node);
        previous = prefix;
    }
};

namespace {

// Marks of items in the path order: a folder's child piece rather than a file, and a
// file whose name compares equal to the item before it. Candidate numbers stay below
// both (kMaxLimit).
constexpr quint32 kPathChild = 0x80000000u;
constexpr quint32 kPathSame = 0x40000000u;

// A name or a path piece in the path order, with a key of its first sixteen folded
// characters, which settles nearly every comparison.
struct PathItem {
    quint64 head;
    quint64 tail;
    quint32 id;
    bool plain;  // the text's first 16 bytes are ASCII: 16 characters
};

PathItem pathItemOf(QByteArrayView text, quint32 id) {
    quint8 bytes[16];
    foldedPrefixKey({text, {}}, 16, bytes);
    quint64 head;
    quint64 tail;
    std::memcpy(&head, bytes, sizeof head);
    std::memcpy(&tail, bytes + 8, sizeof tail);
    bool plain = text.size() >= 16;
    if (plain) {
        quint64 words[2];
        std::memcpy(words, text.data(), sizeof words);
        plain = ((words[0] | words[1]) & 0x8080808080808080ull) == 0;
    }
    return PathItem{qFromBigEndian(head), qFromBigEndian(tail), id, plain};
}

// compareFolded of the items' texts, which `textOf` gives by id.
template <typename TextOf>
int comparePathItems(const PathItem& x, const PathItem& y, const TextOf& textOf) {
    if (x.head != y.head) {
        return x.head < y.head ? -1 : 1;
    }
    if (x.tail != y.tail) {
        return x.tail < y.tail ? -1 : 1;
    }
    // Equal keys of two texts that begin with 16 ASCII bytes each: those bytes compare
    // equal, and the rest is compared from there.
    if (x.plain && y.plain) {
        return compareFolded(textOf(x.id).sliced(16), textOf(y.id).sliced(16));
    }
    return compareFolded(textOf(x.id), textOf(y.id));
}

// Sorts `items` by their texts, equal texts by id, and writes their ids in that order to
// `out`, a file equal to the item before it marked kPathSame.
template <typename TextOf>
void sortPathItems(std::vector<PathItem>& items, const TextOf& textOf, quint32* out) {
    std::sort(items.begin(), items.end(), [&](const PathItem& x, const PathItem& y) {
        const int c = comparePathItems(x, y, textOf);
        return c != 0 ? c < 0 : x.id < y.id;
    });
    for (size_t k = 0; k < items.size(); ++k) {
        // Equal names are neighbours, as no piece can sort between them.
        const bool same = k > 0 && (items[k].id & kPathChild) == 0 &&
                          (items[k - 1].id & kPathChild) == 0 &&
                          comparePathItems(items[k - 1], items[k], textOf) == 0;
        out[k] = items[k].id | (same ? kPathSame : 0);
    }
}

}  // namespace

void DupCandidateList::PathOrder::sortFolderNames(size_t folder) {
    const quint32 first = folderFirst_[folder];
    const quint32 end =
        folder + 1 < folderFirst_.size() ? folderFirst_[folder + 1] : quint32(list_.count_);
    if (byName_.size() < first) {
        return;  // a folder before was left out: the order is made whole at the end
    }
    thread_local std::vector<PathItem> items;
    items.clear();
    for (quint32 n = first; n < end; ++n) {
        items.push_back(pathItemOf(list_.nameOf(list_.record(n)), n));
    }
    // Grown only once nothing else can fail, so that its size says the names are sorted.
    byName_.resize(end);
    sortPathItems(
        items, [this](quint32 id) { return list_.nameOf(list_.record(id)); },
        byName_.data() + first);
}

void DupCandidateList::PathOrder::finish() {
    if (tree_ && tree_->nodeOfFolder.size() == list_.folders_.size()) {
        tree_->childOf = std::unordered_map<std::string, quint32>();
        tree_->pieces = std::vector<std::pair<qsizetype, quint32>>();
        tree_->closed = true;
    }
    if (list_.earlyPathOrder_ && !list_.folders_.empty() &&
        folderFirst_.size() == list_.folders_.size() && byName_.size() != size_t(list_.count_)) {
        try {
            sortFolderNames(list_.folders_.size() - 1);
        } catch (const std::bad_alloc&) {
            byName_.clear();  // pathRanks sorts every folder's names itself
        }
    }
}

std::vector<quint32> DupCandidateList::PathOrder::ranks() const {
    // The tree built as the folders were added (setEarlyPathOrder), or here.
    std::unique_ptr<PathTree> made;
    const PathTree* tree = tree_.get();
    if (tree == nullptr || tree->nodeOfFolder.size() != list_.folders_.size()) {
        made = std::make_unique<PathTree>();
        for (const QByteArray& prefix : list_.folderPrefixes_) {
            made->addFolder(prefix);
        }
        made->childOf = std::unordered_map<std::string, quint32>();
        tree = made.get();
    }
    const std::vector<PathTree::Node>& nodes = tree->nodes;
    const std::vector<quint32>& nodeOfFolder = tree->nodeOfFolder;
    std::vector<quint32> fileCount(nodes.size(), 0);
    std::vector<quint32> firstFile(nodes.size(), 0);  // in `files`
    // Where each folder's names were sorted as it was added (setEarlyPathOrder), a node of
    // one folder takes them as they are; the files of other nodes are gathered here, one
    // node after the other, and sorted below.
    const bool early = list_.earlyPathOrder_ && folderFirst_.size() == list_.folders_.size() &&
                       byName_.size() == size_t(list_.count_);
    constexpr quint32 kNoFolder = 0xFFFFFFFF;
    std::vector<quint32> folderOfNode;
    std::vector<quint32> files;
    if (early) {
        folderOfNode.assign(nodes.size(), kNoFolder);
        std::vector<quint32> folderCount(nodes.size(), 0);
        for (size_t k = 0; k < list_.folders_.size(); ++k) {
            const quint32 end =
                k + 1 < list_.folders_.size() ? folderFirst_[k + 1] : quint32(list_.count_);
            fileCount[nodeOfFolder[k]] += end - folderFirst_[k];
            folderOfNode[nodeOfFolder[k]] = quint32(k);
            ++folderCount[nodeOfFolder[k]];
        }
        // Folders whose paths compare equal share a node: their names are sorted together.
        quint32 at = 0;
        for (size_t node = 0; node < nodes.size(); ++node) {
            if (folderCount[node] >= 2) {
                folderOfNode[node] = kNoFolder;
                firstFile[node] = at;
                at += fileCount[node];
            }
        }
        files.resize(at);
        std::vector<quint32> filled(nodes.size(), 0);
        for (size_t k = 0; k < list_.folders_.size() && at > 0; ++k) {
            const quint32 node = nodeOfFolder[k];
            if (folderCount[node] >= 2) {
                const quint32 end =
                    k + 1 < list_.folders_.size() ? folderFirst_[k + 1] : quint32(list_.count_);
                for (quint32 n = folderFirst_[k]; n < end; ++n) {
                    files[firstFile[node] + filled[node]++] = n;
                }
            }
        }
    } else {
        files.resize(static_cast<size_t>(list_.count_));
        for (quint32 n = 0; n < quint32(list_.count_); ++n) {
            ++fileCount[nodeOfFolder[list_.record(n).folder]];
        }
        quint32 at = 0;
        for (size_t node = 0; node < nodes.size(); ++node) {
            firstFile[node] = at;
            at += fileCount[node];
        }
        std::vector<quint32> filled(nodes.size(), 0);
        for (quint32 n = 0; n < quint32(list_.count_); ++n) {
            const quint32 node = nodeOfFolder[list_.record(n).folder];
            files[firstFile[node] + filled[node]++] = n;
        }
    }
    list_.notePeak(qsizetype(files.capacity() * 4 * 3 + nodes.size() * 64));

    // Each node's items, its children (kPathChild) and its files, in the order of their
    // texts. Nodes are sorted two halves at once.
    std::vector<quint32> order(static_cast<size_t>(list_.count_) + nodes.size());
    std::vector<quint32> orderBegin(nodes.size() + 1);
    for (size_t node = 0; node < nodes.size(); ++node) {
        orderBegin[node + 1] =
            orderBegin[node] + fileCount[node] + quint32(nodes[node].children.size());
    }
    const auto sortNodes = [&](size_t begin, size_t end) {
        std::vector<PathItem> items;
        for (size_t node = begin; node < end; ++node) {
            const PathTree::Node& n = nodes[node];
            const auto textOf = [&](quint32 id) {
                return (id & kPathChild) != 0 ? n.children[id & ~kPathChild].first
                                              : list_.nameOf(list_.record(id));
            };
            items.clear();
            for (quint32 c = 0; c < n.children.size(); ++c) {
                items.push_back(pathItemOf(textOf(kPathChild | c), kPathChild | c));
            }
            quint32* out = order.data() + orderBegin[node];
            if (early && folderOfNode[node] != kNoFolder) {
                // The names are in order already: each child goes in before the first name
                // that sorts after it (no name compares equal to a piece). The children
                // are sorted in place of the node's last items, which are written last.
                sortPathItems(items, textOf, out + fileCount[node]);
                const quint32* sorted = byName_.data() + folderFirst_[folderOfNode[node]];
                size_t f = 0;
                for (const PathItem& child : items) {
                    size_t low = f;
                    size_t high = fileCount[node];
                    while (low < high) {
                        const size_t middle = (low + high) / 2;
                        const quint32 id = sorted[middle] & ~kPathSame;
                        if (comparePathItems(pathItemOf(textOf(id), id), child, textOf) < 0) {
                            low = middle + 1;
                        } else {
                            high = middle;
                        }
                    }
                    for (; f < low; ++f) {
                        *out++ = sorted[f];
                    }
                    *out++ = child.id;
                }
                for (; f < fileCount[node]; ++f) {
                    *out++ = sorted[f];
                }
                continue;
            }
            for (quint32 f = firstFile[node]; f < firstFile[node] + fileCount[node]; ++f) {
                items.push_back(pathItemOf(textOf(files[f]), files[f]));
            }
            sortPathItems(items, textOf, out);
        }
    };
    // Two halves of about as many items each are sorted at once.
    size_t middle = nodes.size();
    if (SplitPoint(list_.count_, kMinimumPiece) < list_.count_) {
        middle =
            size_t(std::lower_bound(orderBegin.begin(), orderBegin.end(), orderBegin.back() / 2) -
                   orderBegin.begin());
    }
    if (middle > 0 && middle < nodes.size()) {
        RunTogether([&] { sortNodes(0, middle); }, [&] { sortNodes(middle, nodes.size()); });
    } else {
        sortNodes(0, nodes.size());
    }

    // Depth first, without recursion (folders nest thousands deep).
    std::vector<quint32> ranks(static_cast<size_t>(list_.count_), 0);
    quint32 rank = 0;
    bool first = true;
    std::vector<std::pair<quint32, quint32>> stack{{0, orderBegin[0]}};  // node, next item
    while (!stack.empty()) {
        auto& [node, next] = stack.back();
        if (next == orderBegin[node + 1]) {
            stack.pop_back();
            continue;
        }
        const quint32 item = order[next++];
        if ((item & kPathChild) != 0) {
            stack.emplace_back(nodes[node].children[item & ~kPathChild].second, 0);
            stack.back().second = orderBegin[stack.back().first];
            continue;
        }
        // Names that compare equal give equal paths: they share a rank.
        if (!first && (item & kPathSame) == 0) {
            ++rank;
        }
        first = false;
        ranks[item & ~kPathSame] = rank;
    }
    return ranks;
}

DupCandidateList::PathOrder::PathOrder(const DupCandidateList& list) : list_(list) {}

DupCandidateList::PathOrder::~PathOrder() = default;

void DupCandidateList::PathOrder::folderEnding() {
    if (!list_.folders_.empty()) {
        sortFolderNames(list_.folders_.size() - 1);
    }
    folderFirst_.push_back(quint32(list_.count_));
}

void DupCandidateList::PathOrder::folderAdded() {
    if (tree_ && tree_->closed) {
        tree_.reset();  // made again, whole, when next needed
    } else if (!tree_ && list_.folders_.size() == 1) {
        tree_ = std::make_unique<PathTree>();
    }
    if (tree_) {
        tree_->addFolder(list_.folderPrefixes_.back());
    }
}

void DupCandidateList::PathOrder::clear() {
    tree_.reset();
    folderFirst_ = std::vector<quint32>();
    byName_ = std::vector<quint32>();
}

qsizetype DupCandidateList::PathOrder::memoryUsage() const {
    qsizetype bytes = qsizetype((folderFirst_.capacity() + byName_.capacity()) * sizeof(quint32));
    if (tree_) {
        bytes += qsizetype(tree_->nodes.size()) * 96 +
                 qsizetype(tree_->nodeOfFolder.capacity() * sizeof(quint32));
    }
    return bytes;
}

}  // namespace dw
