#include "finders/folder_hog_history.h"

#include "platform/paths.h"

namespace dw {

namespace {

bool isAtOrBelow(const QByteArray& path, const QByteArray& root) {
    if (root == platform::kRootFolder) {
        return path.startsWith(platform::kSep);
    }
    return path == root || (path.startsWith(root) && path.at(root.size()) == platform::kSep);
}

}  // namespace

QList<HistoryFolder> folderHogHistoryRows(const QList<FolderHogRow>& rows, const QByteArray& root) {
    QList<HistoryFolder> folders;
    for (const FolderHogRow& row : rows) {
        if (isAtOrBelow(row.path, root)) {
            folders.append(
                {row.path, row.allocated, row.bytes, row.files, row.latestAccessSeconds});
        }
    }
    return folders;
}

}  // namespace dw
