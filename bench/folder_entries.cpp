#include "folder_entries.h"

#include <QFile>

namespace dw::bench {

QList<DriveEntry> folderEntries(const std::string& root) {
    DriveEntry e;
    e.kind = DriveEntry::Kind::ExtraFolder;
    e.startFolder = QByteArray::fromStdString(root);
    e.text = QFile::decodeName(e.startFolder);
    e.checked = true;
    return {e};
}

}  // namespace dw::bench
