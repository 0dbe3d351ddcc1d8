#include "safety/safe_harbor.h"

#include <QFile>

#include <algorithm>

#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "platform/dir_reader.h"
#include "platform/environment.h"
#include "platform/paths.h"
#include "safety/folder_list.h"
#include "scan/wildcard.h"

namespace dw {

namespace {

// Bounds the memo of recent folders; a grid shows a few thousand folders at most.
constexpr qsizetype kMemoLimit = 4096;

// The canonical form of one folder text ending with "/".
QByteArray canonicalFolder(const QByteArray& folder) {
    if (!folder.startsWith(platform::kSep)) {
        return folder;
    }
    QByteArray resolved = platform::shortPath(folder);
    if (!resolved.endsWith(platform::kSep)) {
        resolved.append(platform::kSep);
    }
    return resolved;
}

void sortUnique(QList<QByteArray>& list) {
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
}

bool isWildcardEntry(QByteArrayView entry) {
    QByteArrayView rest = entry;
    if (rest.startsWith("*.")) {
        rest = rest.sliced(2);
    } else if (rest == "*") {
        return false;
    }
    return rest.contains('*') || rest.contains('?');
}

}  // namespace

QList<QByteArray> systemTrees() {
    QList<QByteArray> trees = {"/usr", "/etc", "/boot", "/opt", "/var/lib"};
    // On a merged /usr these are links into it, and /usr covers them.
    for (const char* top : {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"}) {
        const auto entry = platform::statPath(top);
        if (entry && entry->isFolder()) {
            trees.append(top);
        }
    }
    return trees;
}

SafeHarbor::Sources SafeHarbor::Sources::current() {
    Sources s;
    s.foldersFile = foldersFilePath();
    s.searchPath = platform::searchPath();
    s.systemFolders = systemTrees();
    return s;
}

QString SafeHarbor::loadError() const {
    return foldersError_.isEmpty() ? extensionsError_ : foldersError_;
}

SafeHarbor::SafeHarbor() = default;

QByteArray SafeHarbor::shortFolderName(const QByteArray& entry) {
    if (entry.isEmpty()) {
        return entry;
    }
    const QByteArray folder = canonicalFolder(entryFolder(entry));
    return isSubtreeEntry(entry) ? folder + kSubtreeMarker : folder;
}

void SafeHarbor::normalizeFolderList(QList<QByteArray>& list) const {
    for (QByteArray& entry : list) {
        entry = lowerAscii(shortFolderName(entry));
        if (yield_) {
            yield_();
        }
    }
    sortUnique(list);
}

void SafeHarbor::GetSearchPath() {
    GetSearchPath(Sources::current());
}

void SafeHarbor::GetSearchPath(const Sources& sources) {
    // Built aside and swapped in at the end: the yield hook may run a paint that asks.
    QList<QByteArray> all;
    QList<QByteArray> searchPath;
    QList<QByteArray> windows;
    bool missing = false;
    QString foldersError;

    QString why;
    if (auto entries = sources.foldersFile.isEmpty() ? std::nullopt
                                                     : ReadFolderList(sources.foldersFile, &why)) {
        all = std::move(*entries);
    } else if (why.isEmpty()) {
        missing = true;
    } else {
        foldersError = QStringLiteral("The Safe Harbor list %1 cannot be read: %2")
                           .arg(sources.foldersFile, why);
    }
    auto asFolder = [](QByteArray folder) {
        if (!folder.endsWith(platform::kSep)) {
            folder.append(platform::kSep);
        }
        return folder;
    };
    for (const QByteArray& element : sources.searchPath) {
        if (element.isEmpty()) {
            continue;
        }
        const QByteArray folder = asFolder(element);
        all.append(folder);
        searchPath.append(folder);
    }
    for (const QByteArray& element : sources.systemFolders) {
        if (element.isEmpty()) {
            continue;
        }
        const QByteArray tree = asFolder(element) + kSubtreeMarker;
        all.append(tree);
        windows.append(tree);
    }

    normalizeFolderList(all);
    normalizeFolderList(searchPath);
    normalizeFolderList(windows);
    // Lower-cased texts sort the same by removeCoveredFolders' order and by bytes, the
    // order findFolderEntry halves in.
    removeCoveredFolders(all);
    sortUnique(all);
    removeCoveredFolders(windows);
    sortUnique(windows);

    lb1_ = std::move(all);
    lbSearchPath_ = std::move(searchPath);
    lbWindows_ = std::move(windows);
    safeHarborMissing_ = missing;
    foldersError_ = foldersError;
    clearMemo();
}

void SafeHarbor::ReadSafeHarborExtensions() {
    QString error;
    const NumberedList list =
        SettingsStore().readListChecked(QString::fromLatin1(settings::kNoDelExt), &error);
    setExtensions(list.saved ? list.entries : QStringList());
    extensionsError_ = error;
}

void SafeHarbor::setExtensions(const QStringList& entries) {
    lbExt_.clear();
    extExact_.clear();
    extPatterns_.clear();
    for (const QString& entry : entries) {
        if (entry.isEmpty()) {
            continue;
        }
        // A name of any bytes is stored in the "bytes:" form, as folder lists store
        // their paths: it protects exactly the name it was saved for.
        const QByteArray e = lowerAscii(nativePathFromSetting(entry));
        lbExt_.append(e);
        (isWildcardEntry(e) ? extPatterns_ : extExact_).append(e);
    }
    sortUnique(lbExt_);
    sortUnique(extExact_);
    sortUnique(extPatterns_);
    clearMemo();
}

void SafeHarbor::clearMemo() {
    lastFolder_.clear();
    lastReason_ = kNotProtected;
    memo_.clear();
}

QString SafeHarbor::safeHarborReason(int code) {
    switch (code) {
        case kReasonSystemFolder:
            return QStringLiteral("in the Windows/System folder");
        case kReasonSearchPath:
            return QStringLiteral("in the search path");
        case kReasonFolderList:
            return QStringLiteral("referenced in the registry");
        case kReasonExtension:
            return QStringLiteral("included in the protected file extensions");
        default:
            return QString();
    }
}

int SafeHarbor::compareFolderEntry(QByteArrayView folder, QByteArrayView entry) {
    if (isSubtreeEntry(entry)) {
        const QByteArrayView subtree = entry.chopped(qsizetype(sizeof(kSubtreeMarker) - 1));
        if (folder.startsWith(subtree)) {
            return 0;
        }
        return folder.compare(subtree);
    }
    return folder.compare(entry);
}

qsizetype SafeHarbor::findFolderEntry(QByteArrayView folder, const QList<QByteArray>& list) {
    qsizetype low = 0;
    qsizetype high = list.size() - 1;
    while (low <= high) {
        const qsizetype middle = low + (high - low) / 2;
        const int c = compareFolderEntry(folder, list[middle]);
        if (c == 0) {
            return middle;
        }
        if (c < 0) {
            high = middle - 1;
        } else {
            low = middle + 1;
        }
    }
    return -1;
}

bool SafeHarbor::matchesProtectedExtension(QByteArrayView path) const {
    if (lbExt_.isEmpty()) {
        return false;
    }
    const qsizetype slash = path.lastIndexOf(platform::kSep);
    const QByteArray name = lowerAscii(slash < 0 ? path : path.sliced(slash + 1));
    const qsizetype dot = name.lastIndexOf('.');
    QByteArray key("*");
    if (dot >= 0) {
        key.append(QByteArrayView(name).sliced(dot));
    }
    if (std::binary_search(extExact_.cbegin(), extExact_.cend(), key) ||
        std::binary_search(extExact_.cbegin(), extExact_.cend(), name)) {
        return true;
    }
    for (const QByteArray& pattern : extPatterns_) {
        if (WildcardMatch(pattern, name)) {
            return true;
        }
    }
    return false;
}

int SafeHarbor::folderReason(const QByteArray& folder) const {
    if (folder == lastFolder_ && !folder.isEmpty()) {
        return lastReason_;
    }
    int reason = kNotProtected;
    if (auto it = memo_.constFind(folder); it != memo_.cend()) {
        reason = it.value();
    } else {
        const QByteArray normal = lowerAscii(canonicalFolder(folder));
        if (findFolderEntry(normal, lbWindows_) >= 0) {
            reason = kReasonSystemFolder;
        } else if (findFolderEntry(normal, lbSearchPath_) >= 0) {
            reason = kReasonSearchPath;
        } else if (findFolderEntry(normal, lb1_) >= 0) {
            reason = kReasonFolderList;
        }
        if (memo_.size() >= kMemoLimit) {
            memo_.clear();
        }
        memo_.insert(folder, reason);
    }
    lastFolder_ = folder;
    lastReason_ = reason;
    return reason;
}

bool SafeHarbor::isInSafeHarbor(const QByteArray& path, bool isFile, int& reason) const {
    reason = kNotProtected;
    QByteArray folder;
    if (isFile) {
        const qsizetype slash = path.lastIndexOf(platform::kSep);
        if (slash >= 0) {
            folder = path.left(slash + 1);
        }
    } else if (!path.isEmpty()) {
        folder = path;
        if (!folder.endsWith(platform::kSep)) {
            folder.append(platform::kSep);
        }
    }
    if (!folder.isEmpty()) {
        reason = folderReason(folder);
    }
    if (reason == kNotProtected && isFile && matchesProtectedExtension(path)) {
        reason = kReasonExtension;
    }
    return reason != kNotProtected;
}

bool SafeHarbor::isInSafeHarbor(const QByteArray& path, bool isFile) const {
    int reason = kNotProtected;
    return isInSafeHarbor(path, isFile, reason);
}

}  // namespace dw
