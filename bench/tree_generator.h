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

}  // namespace dw::bench
