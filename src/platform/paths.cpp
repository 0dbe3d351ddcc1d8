#include "platform/paths.h"

namespace dw::platform {

namespace {

// One rule for native byte paths and their texts: both hold their characters in one
// array with the separator as one of them.
template <class Path>
Path joinedPath(const Path& folder, const Path& name) {
    if (folder.isEmpty()) {
        return name;
    }
    qsizetype folderEnd = folder.size();
    while (folderEnd > 0 && folder.at(folderEnd - 1) == kSep) {
        --folderEnd;
    }
    qsizetype nameStart = 0;
    while (nameStart < name.size() && name.at(nameStart) == kSep) {
        ++nameStart;
    }
    Path joined;
    joined.reserve(folderEnd + 1 + name.size() - nameStart);
    joined.append(folder.constData(), folderEnd);
    joined.append(typename Path::value_type(kSep));
    joined.append(name.constData() + nameStart, name.size() - nameStart);
    return joined;
}

}  // namespace

QByteArray joinPath(const QByteArray& folder, const QByteArray& name) {
    return joinedPath(folder, name);
}

QString joinPath(const QString& folder, const QString& name) {
    return joinedPath(folder, name);
}

QByteArray folderOfPath(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf(kSep);
    if (slash < 0) {
        return QByteArrayLiteral(".");
    }
    return slash == 0 ? QByteArray(kRootFolder) : path.left(slash);
}

QByteArray nameOfPath(const QByteArray& path) {
    return path.mid(path.lastIndexOf(kSep) + 1);
}

}  // namespace dw::platform
