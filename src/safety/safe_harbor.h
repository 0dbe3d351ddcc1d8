#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace dw {

// The Safe Harbor lookup: which files and folders the program must not delete without
// the user's explicit consent, and why. The main window owns one and hands it by
// reference to every window that deletes files or shows them in a list.
//
// Four sorted lists, rebuilt by GetSearchPath and ReadSafeHarborExtensions:
// - lbWindows: the system's own trees (systemTrees(): "/usr", "/etc", "/boot", "/opt",
//   "/var/lib", and "/bin", "/sbin", "/lib*" where they are real folders), subtree
//   entries: reason 1 for everything in and below them;
// - lbSearchPath: the folders of $PATH, folder entries: reason 2;
// - lb1: everything: the entries of folders.txt, the search path and the system folders
//   (reason 3 for a hit that the two lists above do not explain);
// - lbExt: the protected extensions ("*.sys") and whole file names ("readme.txt") of
//   the settings list "NoDelExt", lower case: reason 4.
// Folder entries end with "/" and protect the files directly in their folder; subtree
// entries end with "*.*" and protect their folder and everything below it (see
// folder_list.h).
//
// Normal form: every folder entry is canonical (links and "."/".." resolved where the
// folder exists, so "/bin" and "/usr/bin" are one folder where one links to the other)
// and ASCII lower case, and a query's folder is brought to the same form, so paths are
// compared with ASCII case folding: a file whose name differs only in case from a
// protected one is protected too (the safe side). Whole entries are compared, however
// long.
//
// Not thread-safe; the query keeps a memo and is meant for the user-interface thread.
// The system's own trees on this machine: "/usr", "/etc", "/boot", "/opt", "/var/lib",
// then those of "/bin", "/sbin", "/lib", "/lib32", "/lib64" and "/libx32" that are real
// folders (not links into /usr). Caches, logs and spool (/var/cache, /var/log, /var/tmp)
// are not among them.
QList<QByteArray> systemTrees();

class SafeHarbor {
public:
    // Reason codes of the query.
    static constexpr int kNotProtected = 0;
    static constexpr int kReasonSystemFolder = 1;
    static constexpr int kReasonSearchPath = 2;
    static constexpr int kReasonFolderList = 3;
    static constexpr int kReasonExtension = 4;

    // Where GetSearchPath takes its lists from.
    struct Sources {
        QString foldersFile;           // the folder list; empty: none
        QList<QByteArray> searchPath;  // the search path's folders, in order
        // The system's trees: each protects its folder and everything below it.
        QList<QByteArray> systemFolders;
        // This machine: foldersFilePath(), platform::searchPath() ($PATH split at ":",
        // read whole) and systemTrees().
        static Sources current();
    };

    SafeHarbor();

    // Called after each entry normalised while the lists load (each asks the file
    // system for the canonical form), so a window can keep its events running.
    // Nothing by default.
    void setYield(std::function<void()> yield) { yield_ = std::move(yield); }

    // (Re)builds lb1, lbSearchPath and lbWindows and safeHarborMissing from `sources`:
    // lb1 gets the lines of the folder list (safeHarborMissing when the file does not
    // exist; a file that exists but cannot be read sets loadError()), then every
    // search-path folder (with "/" appended) goes to lb1 and lbSearchPath, every system
    // tree (with "/*.*" appended) to lb1 and lbWindows; then normalizeExceptionList,
    // removeCoveredFolders on lb1 and lbWindows, duplicates dropped, and the memo
    // emptied. Queries made from the yield hook meanwhile still see the previous lists.
    void GetSearchPath(const Sources& sources);
    // The same from Sources::current().
    void GetSearchPath();

    // (Re)builds lbExt from the settings list "NoDelExt": its stored, non-empty entries,
    // lower case, sorted. No defaults: until the list has been saved once, no extension is
    // protected. A settings file that cannot be read, or a list whose count is damaged,
    // sets loadError() (SettingsStore::readListChecked); a damaged count still protects
    // every entry there is. Empties the memo.
    void ReadSafeHarborExtensions();
    // The same from given entries (as stored: "*.sys", "readme.txt", "a*.tmp").
    void setExtensions(const QStringList& entries);

    // Is `path` protected, and why? `path` is a native byte path: a file's full name when
    // `isFile`, else a folder, with or without its trailing "/". Sets `reason` to 1 (a
    // system folder's file), 2 (in a search-path folder), 3 (in a folder of the folder
    // list, or anywhere below one of its subtree entries), 4 (a protected extension or
    // whole name; files only) or 0, the first that applies in that order, and returns
    // reason > 0. A folder is protected when it is itself a folder of a list or lies in a
    // protected subtree. Relative and empty paths are protected only by their extension.
    //
    // The answer for a folder is memorised (the last folder asked in lastFolder and
    // lastReason, and a bounded memo of recent folders), so repeated questions about the
    // files of one folder cost no canonicalisation or search; the extension test always
    // runs. clearMemo() forgets them: call it when folders may have moved or been removed.
    bool isInSafeHarbor(const QByteArray& path, bool isFile, int& reason) const;
    bool isInSafeHarbor(const QByteArray& path, bool isFile) const;

    // The text that completes "... because it is <reason>": 1 "in the Windows/System
    // folder", 2 "in the search path", 3 "referenced in the registry", 4 "included in the
    // protected file extensions"; any other code the empty text.
    static QString safeHarborReason(int code);

    // Forgets every memorised answer.
    void clearMemo();

    const QList<QByteArray>& lb1() const { return lb1_; }
    const QList<QByteArray>& lbSearchPath() const { return lbSearchPath_; }
    const QList<QByteArray>& lbWindows() const { return lbWindows_; }
    const QList<QByteArray>& lbExt() const { return lbExt_; }
    // True when the folder list did not exist at the last GetSearchPath (true before the
    // first load).
    bool safeHarborMissing() const { return safeHarborMissing_; }
    // Why the lists cannot be trusted, naming the file: the folder list or the settings
    // file exists but could not be read, or the protected extensions' count is damaged
    // (from the last GetSearchPath and ReadSafeHarborExtensions). Empty when both were
    // read. While it is not empty nothing may be deleted: the lists may lack what
    // protects a file.
    QString loadError() const;
    // The memo: the folder last asked about, as asked (with its trailing "/"; empty
    // after clearMemo), and the folder reason (0 to 3) found for it.
    const QByteArray& lastFolder() const { return lastFolder_; }
    int lastReason() const { return lastReason_; }

    // --- the steps, public for the windows and the tests ----------------------------

    // The canonical form of an entry: for a subtree entry its folder's canonical form
    // followed by "*.*", for any other entry its folder's (entryFolder). The canonical
    // form of an absolute folder that exists is platform::shortPath of it with one "/"
    // appended; a folder that does not exist, or a relative one, stays as it is.
    static QByteArray shortFolderName(const QByteArray& entry);

    // Replaces every entry of `list` by the lower-cased shortFolderName of it, sorted
    // (byte order of the lower-cased texts) with duplicates dropped. Calls the yield hook
    // after each entry.
    void normalizeFolderList(QList<QByteArray>& list) const;

    // The lookup order of a folder (normalised, ending with "/") against a list entry
    // (normalised): a subtree entry whose folder begins the folder gives 0, else the
    // folder is compared with the subtree's folder; a folder entry gives 0 only for the
    // same folder. Whole texts compared, byte by byte.
    static int compareFolderEntry(QByteArrayView folder, QByteArrayView entry);

    // The index of the entry of `list` that protects `folder` (0 by compareFolderEntry),
    // or -1. By halving; exact when the list is normalised, sorted and holds no entry
    // below a subtree entry, which GetSearchPath guarantees for its lists.
    static qsizetype findFolderEntry(QByteArrayView folder, const QList<QByteArray>& list);

    // True when the name of the file `path` (the part after its last "/") is protected by
    // lbExt: an entry "*" followed by the name's extension with its dot ("*.sys"; a name
    // without a dot gives "*"), an entry equal to the whole name, or a wildcard entry
    // (holding "*" or "?" beyond a leading "*.", such as "a*.tmp" or "*.~*") that matches
    // the name. ASCII case folded.
    bool matchesProtectedExtension(QByteArrayView path) const;

private:
    int folderReason(const QByteArray& folder) const;

    QList<QByteArray> lb1_;
    QList<QByteArray> lbSearchPath_;
    QList<QByteArray> lbWindows_;
    QList<QByteArray> lbExt_;
    QList<QByteArray> extExact_;     // lbExt entries compared whole, sorted
    QList<QByteArray> extPatterns_;  // lbExt entries matched as wildcards
    bool safeHarborMissing_ = true;
    QString foldersError_;
    QString extensionsError_;
    std::function<void()> yield_;

    mutable QByteArray lastFolder_;
    mutable int lastReason_ = kNotProtected;
    mutable QHash<QByteArray, int> memo_;
};

}  // namespace dw
