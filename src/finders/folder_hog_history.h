#pragma once

#include <QByteArray>
#include <QList>

#include "finders/folder_hogs.h"
#include "scan/scan_history.h"

// The folder hogs' rows as the scan history keeps them.
namespace dw {

// The rows of `rows` whose folder is `root` or lies below it (every absolute path for
// the root folder "/"), in their order, each with its allocated and apparent bytes, its
// files and its latest access in seconds. A root given with a trailing separator
// matches nothing but itself spelled the same way: pass canonical paths.
QList<HistoryFolder> folderHogHistoryRows(const QList<FolderHogRow>& rows, const QByteArray& root);

}  // namespace dw
