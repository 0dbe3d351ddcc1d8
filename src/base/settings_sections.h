#pragma once

// Every section and value name the program keeps in its settings store, with the
// default each one reads as when it is absent, and the keys of the window placement
// records. Section names are relative to the program's key (SettingsStore); the
// placement keys sit directly below the user's root.

#include <QDir>
#include <QStringList>

namespace dw::settings {

// ---- numbered lists ------------------------------------------------------------------
// A list section holds "Number" (the count; absent until the list is first saved) and
// "File1" .. "File<Number>", one entry each.
inline constexpr char kListCount[] = "Number";
inline constexpr char kListEntryPrefix[] = "File";

// Extra folders that the finders walk like drives. Default: an empty list.
inline constexpr char kNewFolders[] = "NewFolders";

// Extensions and file names that are never deleted.
inline constexpr char kNoDelExt[] = "NoDelExt";
// What the protected-extension editors show while no list has been saved.
inline QStringList defaultNoDelExt() {
    return {QStringLiteral("*.sys"), QStringLiteral("*.drv")};
}

// Patterns of temporary files for the quick clean. Besides extensions ("*.tmp"), editor
// backups ("*~", a name ending in a tilde) and office lock files (".~lock.*#"). No
// "*.fts": on Linux that is FITS astronomy data, not a help index.
inline constexpr char kTempFiles[] = "TempFiles";
// What the quick clean offers while no list has been saved.
inline QStringList defaultTempFilesForQuickClean() {
    return {QStringLiteral("*.bak"), QStringLiteral("*.chk"),    QStringLiteral("*.da0"),
            QStringLiteral("*.db$"), QStringLiteral("*.ftg"),    QStringLiteral("*.gid"),
            QStringLiteral("*.old"), QStringLiteral("*.tmp"),    QStringLiteral("*.$$$"),
            QStringLiteral("*.---"), QStringLiteral("*.~mp"),    QStringLiteral("*.~*"),
            QStringLiteral("*~"),    QStringLiteral(".~lock.*#")};
}
// What the temporary-extension editor shows while no list has been saved.
inline QStringList defaultTempFilesForEditor() {
    return {QStringLiteral("*.tmp"), QStringLiteral("*.bak"), QStringLiteral("*.$$$"),
            QStringLiteral("*~"), QStringLiteral(".~lock.*#")};
}
// What the editor's "Defaults" button adds (each one not yet present).
inline QStringList tempFilesDefaultsButton() {
    return {QStringLiteral("*.bak"),  QStringLiteral("*.chk"), QStringLiteral("*.tmp"),
            QStringLiteral("*.temp"), QStringLiteral("*.old"), QStringLiteral("*.$$$"),
            QStringLiteral("*.---"),  QStringLiteral("*.~mp"), QStringLiteral("*.~*"),
            QStringLiteral("*.gid"),  QStringLiteral("*.ftg"), QStringLiteral("*.da0"),
            QStringLiteral("*.db$"),  QStringLiteral("*~"),    QStringLiteral(".~lock.*#")};
}

// Browser cache folders. Default: the folders found in the browsers' own settings.
inline constexpr char kCacheFiles[] = "CacheFiles";

// File types the statistics count: only these ("Include") or all but these ("Exclude").
inline constexpr char kInclude[] = "Include";
inline constexpr char kExclude[] = "Exclude";
// What both type lists hold while they have not been saved.
inline QStringList defaultStatisticsTypes() {
    return {QStringLiteral("*.doc"), QStringLiteral("*.exe"), QStringLiteral("*.dll")};
}

// ---- archives ------------------------------------------------------------------------
inline constexpr char kZipFile[] = "ZipFile";
// The folder archives are written to and the restore window starts in. Default:
// defaultZipFolder() below.
inline constexpr char kZipPath[] = "Path";
// The comment put into new archives. Default: empty.
inline constexpr char kZipComment[] = "Comment";

// ---- cumulative totals ---------------------------------------------------------------
inline constexpr char kDiskwell[] = "Diskwell";
inline constexpr char kNdelete[] = "Ndelete";        // files deleted
inline constexpr char kSizeDelete[] = "SizeDelete";  // bytes deleted
inline constexpr char kNWaste[] = "NWaste";          // files sent to the trash
inline constexpr char kSizeWaste[] = "SizeWaste";    // bytes sent to the trash
// Day of the first delete or trash run since the last reset, whole days since
// 30 December 1899.
inline constexpr char kDelDate[] = "DelDate";
inline constexpr char kNZip[] = "NZip";        // files archived
inline constexpr char kSizeZip[] = "SizeZip";  // bytes archived
// Day of the first archive run since the last reset, encoded as kDelDate.
inline constexpr char kZipDate[] = "ZipDate";
// What every total and date reads as before it has been counted (and after a reset).
inline constexpr qint64 kTotalNotCounted = -1;

// ---- Safe Harbor ---------------------------------------------------------------------
inline constexpr char kFolders[] = "Folders";
// Date and time of the last Safe Harbor build, as display text.
inline constexpr char kFoldersWhen[] = "When";
inline constexpr char kFoldersWhenDefault[] = "Not recorded";

// ---- finder options ------------------------------------------------------------------
// What the finders remember of their options between runs; each value 1 (on) or 0.
inline constexpr char kFinderOptions[] = "FinderOptions";
// "Include hidden folders" of the duplicates window, per mode. Default 0.
inline constexpr char kHiddenFoldersDuplicates[] = "HiddenFoldersDuplicates";
inline constexpr char kHiddenFoldersFileHogs[] = "HiddenFoldersFileHogs";
// Whether the folder hogs window shows its treemap. Default 1.
inline constexpr char kFolderHogsTreemap[] = "FolderHogsTreemap";

// ---- scan history --------------------------------------------------------------------
inline constexpr char kHistory[] = "History";
// 1: finished scans are recorded in the scan history; 0: nothing is. Default 1.
inline constexpr char kHistoryRecord[] = "Record";
// How many scans of one folder the history keeps (at least 1). Default 20.
inline constexpr char kHistoryKeptScans[] = "KeptScans";

// ---- window placements ---------------------------------------------------------------
// Where a window keeps its placement record: a key directly below the user's root, a
// subkey in it and a value name. A null subkey stands for the running program file's
// name (resolve it with placementSubkey() of the settings store).
struct PlacementKey {
    const char* key;
    const char* subkey;  // nullptr: the program file's name
    const char* valueName;
};

// The duplicates window in duplicate mode and in file-hog mode keep separate records.
inline constexpr PlacementKey kPlacementDuplicates{"diskwell.ini", "frmDups", "frmMods"};
inline constexpr PlacementKey kPlacementFileHogs{"diskwell.ini", "frmMods", "frmMods"};
// The quick clean window.
inline constexpr PlacementKey kPlacementQuickClean{"diskwell.ini", nullptr, "frmMods"};
// The disk and folder browser.
inline constexpr PlacementKey kPlacementBrowser{"diskwell.ini", nullptr, "frmBrowse"};
// The file viewer.
inline constexpr PlacementKey kPlacementViewer{"diskwell.ini", nullptr, "frmView"};
// The folder hogs window.
inline constexpr PlacementKey kPlacementFolderHogs{"diskwell.ini", nullptr, "frmDirHog"};
// The files-accessed finder.
inline constexpr PlacementKey kPlacementFilesAccessed{"diskwell98", nullptr, "frmMods"};

}  // namespace dw::settings

namespace dw {

// Default of settings::kZipPath, the folder archives go to: the user's home folder, a
// place every user can write to (the root folder is not writable for a normal user).
inline QString defaultZipFolder() {
    return QDir::homePath();
}

}  // namespace dw
