#pragma once

#include <QList>

#include <string>

#include "scan/drive_entry.h"

namespace dw::bench {

// `root` as the one checked extra folder of a drive check list, as a window scans it.
QList<DriveEntry> folderEntries(const std::string& root);

}  // namespace dw::bench
