#include "finders/cache_folders.h"

#include <QSet>
#include <QTime>

#include <algorithm>

#include "base/file_dates.h"
#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "platform/dir_reader.h"
#include "platform/environment.h"
#include "platform/paths.h"

namespace dw {

namespace {

// One browser: its folder below a cache root, the part below each profile, and where
// its packaged forms keep their cache root ("" where there is none).
struct Browser {
    const char* base;
    const char* tail;
    const char* flatpakId;
    const char* snapName;
};

// Firefox keeps its profiles' caches in cache2/entries; the Chromium family in
// Cache/Cache_Data of each profile ("Default", "Profile 1", ...).
constexpr Browser kBrowsers[] = {
    {"mozilla/firefox", "cache2/entries", "org.mozilla.firefox", "firefox"},
    {"chromium", "Cache/Cache_Data", "org.chromium.Chromium", "chromium"},
    {"google-chrome", "Cache/Cache_Data", "com.google.Chrome", ""},
    {"BraveSoftware/Brave-Browser", "Cache/Cache_Data", "com.brave.Browser", "brave"},
    {"vivaldi", "Cache/Cache_Data", "com.vivaldi.Vivaldi", "vivaldi"},
    {"microsoft-edge", "Cache/Cache_Data", "com.microsoft.Edge", ""},
};

// Whether `tail` ("Cache/Cache_Data") leads from `folder` to a folder through real
// folders only: a cache reached through a link would have its files deleted elsewhere.
bool isRealFolderBelow(const QByteArray& folder, const QByteArray& tail) {
    platform::DirReader reader;
    if (!reader.open(folder)) {
        return false;
    }
    for (const QByteArray& part : tail.split('/')) {
        platform::DirReader child;
        if (!child.openAt(reader, part)) {
            return false;
        }
        reader = std::move(child);
    }
    return true;
}

// The sub-folders of `folder`, sorted by name; hidden ones too (profiles may be).
QList<QByteArray> subfolders(const QByteArray& folder) {
    QList<QByteArray> names;
    platform::DirReader reader;
    if (!reader.open(folder)) {
        return names;
    }
    platform::DirEntry entry;
    while (reader.next(entry)) {
        if (platform::EntryKind(entry) == 0) {
            names << entry.name;
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// `root`/`base`/<each profile>/`tail` that exist.
void addProfiles(const QByteArray& root, const char* base, const char* tail,
                 QList<QByteArray>& out) {
    const QByteArray folder = platform::joinPath(root, QByteArray(base));
    for (const QByteArray& profile : subfolders(folder)) {
        const QByteArray cache =
            platform::joinPath(platform::joinPath(folder, profile), QByteArray(tail));
        if (isRealFolderBelow(platform::joinPath(folder, profile), tail) && !out.contains(cache)) {
            out << cache;
        }
    }
}

QByteArray cacheHomeOf(const CacheRoots& roots) {
    return roots.cacheHome.isEmpty() ? platform::joinPath(roots.home, QByteArray(".cache"))
                                     : roots.cacheHome;
}

void addGnomeWeb(const CacheRoots& roots, QList<QByteArray>& out) {
    addProfiles(cacheHomeOf(roots), "epiphany/WebKitCache", "Blobs", out);
}

void addNative(const CacheRoots& roots, QList<QByteArray>& out) {
    for (const Browser& b : kBrowsers) {
        addProfiles(cacheHomeOf(roots), b.base, b.tail, out);
    }
}

void addPackaged(const CacheRoots& roots, QList<QByteArray>& out) {
    for (const Browser& b : kBrowsers) {
        const QByteArray flatpak =
            roots.home + "/.var/app/" + QByteArray(b.flatpakId) + QByteArray("/cache");
        addProfiles(flatpak, b.base, b.tail, out);
        if (*b.snapName != '\0') {
            const QByteArray snap =
                roots.home + "/snap/" + QByteArray(b.snapName) + QByteArray("/common/.cache");
            addProfiles(snap, b.base, b.tail, out);
        }
    }
}

}  // namespace

CacheRoots CacheRoots::user() {
    return {platform::homeFolder(), platform::cacheHomeFolder()};
}

QList<QByteArray> FirstCacheDiscovery(const CacheRoots& roots) {
    QList<QByteArray> out;
    addGnomeWeb(roots, out);
    addNative(roots, out);
    addPackaged(roots, out);
    return out;
}

QList<QByteArray> InitializeCacheDiscovery(const CacheRoots& roots) {
    QList<QByteArray> out;
    addNative(roots, out);
    addPackaged(roots, out);
    return out;
}

QList<QByteArray> ReadCacheFolders(const CacheRoots& roots) {
    const NumberedList stored = SettingsStore().readList(QLatin1String(settings::kCacheFiles));
    if (!stored.saved) {
        return FirstCacheDiscovery(roots);
    }
    QList<QByteArray> folders;
    for (const QString& entry : stored.entries) {
        folders << nativePathFromSetting(entry);
    }
    return folders;
}

bool WriteCacheFolders(const QList<QByteArray>& folders) {
    QStringList entries;
    for (const QByteArray& f : folders) {
        entries << nativePathSetting(f);
    }
    return SettingsStore().writeList(QLatin1String(settings::kCacheFiles), entries);
}

int FileAgeDays(quint32 packed, const QDate& today) {
    if (packed == 0) {
        return -1;
    }
    // The day of the packed value, as FileDateToDateTimeSafe reads it.
    const int y = int(packed >> 25) + 1980;
    const int m = int((packed >> 21) & 0x0F);
    const int d = int((packed >> 16) & 0x1F);
    const int hh = int((packed >> 11) & 0x1F);
    const int mm = int((packed >> 5) & 0x3F);
    const int ss = int(packed & 0x1F) * 2;
    const QDate day =
        QDate::isValid(y, m, d) && QTime::isValid(hh, mm, ss) ? QDate(y, m, d) : QDate(1980, 1, 1);
    return int(qAbs(day.daysTo(today)));
}

CacheFiles CollectCacheFiles(const QList<QByteArray>& folders, int days, const QDate& today,
                             const CacheStep& step) {
    CacheFiles result;
    // Names are unique within a folder and folders are taken once by their identity, so
    // every path comes once.
    DosDatePacker pack;
    // A folder reached by two spellings ("/a/b" and "/a//b/", or through a link in an
    // earlier component) is one folder: its files are handed over once.
    QSet<QPair<quint64, quint64>> foldersSeen;
    platform::DirReader reader;
    platform::DirEntry entry;
    for (const QByteArray& folder : folders) {
        if (folder.isEmpty() || !reader.open(folder)) {
            continue;
        }
        platform::DirEntry self;
        if (!reader.statFolder(self) || foldersSeen.contains({self.device, self.inode})) {
            reader.close();
            continue;
        }
        foldersSeen.insert({self.device, self.inode});
        while (reader.next(entry)) {
            if (step && !step(folder, result.paths.size())) {
                result.aborted = true;
                return result;
            }
            if (entry.isFolder()) {
                continue;
            }
            const quint32 accessed = pack(entry.accessed);
            const int age = FileAgeDays(accessed, today);
            if (age < 0 || age < days) {
                continue;
            }
            QByteArray path = platform::joinPath(folder, entry.name);
            result.totalBytes += entry.size;
            result.sizes << entry.size;
            result.accessed << accessed;
            result.paths << std::move(path);
        }
        reader.close();
    }
    return result;
}

QString CacheNotFoundText() {
    return QStringLiteral(
        "Could not find any internet cache folders on your machine.  You may add them in "
        "manually if you know where they are located.  Typically they will exist under your "
        "browser folder with the folder name of \"cache\".");
}

}  // namespace dw
