#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QStringList>

#include <functional>

#include "platform/dir_entry.h"

// The engine of the browser-cache cleaner (TfrmCache, `diskwell-cli caches`): where the
// browsers keep their caches, the stored folder list, and the files of those folders
// that were not accessed for a number of days.
namespace dw {

// Where discovery looks. Empty fields take the user's own: `home` the home folder
// (platform::homeFolder), `cacheHome` $XDG_CACHE_HOME when it is an absolute path, else
// home + "/.cache".
struct CacheRoots {
    QByteArray home;
    QByteArray cacheHome;
    // The roots of the running user.
    static CacheRoots user();
};

// The cache folders of the browsers, each a folder whose files lie directly in it, as
// native paths, only those that exist as real folders (reached from the profile folder
// without any link), each once, in this
// order: the browser rows in turn and within a row its profiles sorted by name.
//   GNOME Web          cacheHome/epiphany/WebKitCache/<Version N>/Blobs
//   Firefox            cacheHome/mozilla/firefox/<profile>/cache2/entries
//   Chromium           cacheHome/chromium/<profile>/Cache/Cache_Data
//   Google Chrome      cacheHome/google-chrome/<profile>/Cache/Cache_Data
//   Brave              cacheHome/BraveSoftware/Brave-Browser/<profile>/Cache/Cache_Data
//   Vivaldi            cacheHome/vivaldi/<profile>/Cache/Cache_Data
//   Microsoft Edge     cacheHome/microsoft-edge/<profile>/Cache/Cache_Data
// The packaged forms put the same folders below a cache root of their own: Flatpak
// home/.var/app/<app id>/cache (org.mozilla.firefox, org.chromium.Chromium,
// com.google.Chrome, com.brave.Browser, com.vivaldi.Vivaldi, com.microsoft.Edge), Snap
// home/snap/<name>/common/.cache (firefox, chromium, brave, vivaldi).
//
// The first discovery (no list stored yet; `diskwell-cli caches --discover`): GNOME Web,
// then the six browsers' native folders, then their Flatpak and Snap folders, so that a
// packaged browser (on Ubuntu the one Firefox is a Snap) is found from the start.
QList<QByteArray> FirstCacheDiscovery(const CacheRoots& roots);
// "&Initialize": the six browsers' native folders, then their Flatpak and Snap folders.
QList<QByteArray> InitializeCacheDiscovery(const CacheRoots& roots);

// The stored list (section CacheFiles) in stored order, empty entries left out. When no
// list was ever stored, FirstCacheDiscovery of `roots`; a stored empty list stays empty
// (no discovery).
QList<QByteArray> ReadCacheFolders(const CacheRoots& roots = CacheRoots::user());
// Stores the list. False when the settings file could not be written.
bool WriteCacheFolders(const QList<QByteArray>& folders);

// The age of a file in days: -1 for a packed date of 0; otherwise how many days lie
// between `today` and the packed date's day, a date in the future counted by its
// distance too.
int FileAgeDays(quint32 packed, const QDate& today);

// What a clear run hands to the deletion panel.
struct CacheFiles {
    QList<QByteArray> paths;  // each file once, in folder and listing order
    QList<qint64> sizes;      // the size of each path
    QList<quint32> accessed;  // the packed last-access date-time of each path
    qint64 totalBytes = 0;
    bool aborted = false;  // the step asked to stop: what was collected before stays
};

// Called after every entry a clear run reads, with the folder being read and the files
// collected so far; returns false to stop the run at once.
using CacheStep = std::function<bool(const QByteArray& folder, qsizetype found)>;

// The files lying directly in `folders` (sub-folders are not entered; hidden files and
// links count, a link as itself) whose age of last access is at least `days`: a file
// with no access date (age -1) never qualifies. A folder listed twice, or a file reached
// through two entries, gives each file once. A folder that does not exist or cannot be
// read gives nothing.
CacheFiles CollectCacheFiles(const QList<QByteArray>& folders, int days,
                             const QDate& today = QDate::currentDate(), const CacheStep& step = {});

// The limits of the age field.
inline constexpr int kCacheDaysMax = 100;

// The texts of the dialog.
inline constexpr char kNoCacheFilesText[] = "No files found to clear";
QString CacheNotFoundText();

}  // namespace dw
