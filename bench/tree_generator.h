#pragma once

#include <cstdint>
#include <string>

namespace dw::bench {

// What a generated tree holds.
struct TreeCounts {
    std::int64_t files = 0;          // regular files, hidden ones included
    std::int64_t hiddenFiles = 0;    // of those, named with a leading "."
    std::int64_t folders = 0;        // below the root, hidden ones included
    std::int64_t hiddenFolders = 0;  // named with a leading "." (with files inside)
    std::int64_t links = 0;          // symbolic links: to files, to folders, dangling
    std::int64_t fifos = 0;
    std::int64_t bytes = 0;  // the sum of the regular files' sizes
};

// Builds the benchmark tree in `root` (an existing, empty folder), the same every time:
// about `files` regular files of mixed sizes (most small, a few of many megabytes, all
// sparse so the tree costs little disk) in folders nested up to 6 levels deep with 20 to
// 180 files each, about 4% of the files hidden, a few hidden folders, symbolic links to
// files, to folders (some to a folder above them) and to nowhere, and a few FIFOs.
// Returns what it made; stops early (and says so on stderr) when the disk refuses.
TreeCounts makeBenchTree(const std::string& root, std::int64_t files = 200000);

// The benchmark tree of a run: made by makeBenchTree in a fresh folder
// /tmp/dw-bench-<tag>-XXXXXX, which goes with the object; or, when `allowGiven` and
// DW_BENCH_TREE names a folder (a tree made before by bench_make_tree, so a profile need
// not wait for the making), that folder, left as it is. Says what it made on stderr; exits
// the program when no folder can be made.
class BenchTree {
public:
    explicit BenchTree(const std::string& tag, std::int64_t files = 200000, bool allowGiven = true);
    ~BenchTree();
    BenchTree(const BenchTree&) = delete;
    BenchTree& operator=(const BenchTree&) = delete;

    const std::string& root() const { return root_; }
    // What was made; all zero for a given tree.
    const TreeCounts& counts() const { return counts_; }

private:
    std::string root_;
    bool owned_ = true;
    TreeCounts counts_;
};

}  // namespace dw::bench
