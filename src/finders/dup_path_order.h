#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <memory>
#include <vector>

#include "finders/dup_candidates.h"

namespace dw {

// The order of the candidates' Path texts, for DupCandidateList::sortLines. Where the
// list's early path order is on, the work is begun as folders are added: each folder's
// names are sorted once it is complete, and the tree of the folders' path pieces grows
// as folders come; ranks() finishes what is left. Without it, ranks() does all the work.
class DupCandidateList::PathOrder {
public:
    explicit PathOrder(const DupCandidateList& list);
    ~PathOrder();
    PathOrder(const PathOrder&) = delete;
    PathOrder& operator=(const PathOrder&) = delete;

    // With the early path order, called by add() as a new folder begins: before the list
    // takes the folder (the folder before is complete), and after, once its prefix is
    // the list's last. Throws std::bad_alloc when memory runs out; the tables then stop
    // matching the folders, and ranks() makes the order whole at the end.
    void folderEnding();
    void folderAdded();

    // Before a sort by Path: sorts the last folder's names and gives back the tree's
    // lookup table (the tree takes no more folders; a later folder makes it again).
    void finish();

    // The place of each candidate's Path text among the distinct ones (equal texts, as
    // compareFolded sees them, share a place), by candidate number.
    std::vector<quint32> ranks() const;

    // Forgets the work done early.
    void clear();
    // Heap bytes of the work done early: names by folder, and the tree, whose nodes and
    // lookup entries are counted roughly as 96 bytes a node.
    qsizetype memoryUsage() const;

private:
    struct PathTree;

    void sortFolderNames(size_t folder);

    const DupCandidateList& list_;
    // The first candidate of each folder, and each folder's candidates in the order of
    // their names (marked as ranks() marks them), in the folder's own range of candidate
    // numbers.
    std::vector<quint32> folderFirst_;
    std::vector<quint32> byName_;
    std::unique_ptr<PathTree> tree_;
};

}  // namespace dw
