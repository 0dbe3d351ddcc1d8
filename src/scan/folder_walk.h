#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <utility>
#include <vector>

#include "platform/dir_entry.h"
#include "platform/dir_names.h"
#include "platform/dir_reader.h"
#include "scan/drive_entry.h"
#include "scan/drive_list.h"
#include "scan/wildcard.h"

namespace dw {

// What a finder asks of its walk.
struct WalkOptions {
    // The names of the entries handed to the per-file step ("*.*": all).
    WildcardPattern pattern;
    // Whether hidden entries (name beginning with ".") are handed over. Hidden folders
    // are entered only when `enterHidden` says so.
    bool wantHidden = false;
    // Whether hidden folders (".cache", ".local") are walked like any other. Off, each
    // is skipped with everything below it and counted (hiddenFoldersSkipped).
    bool enterHidden = false;
    // Whether system entries (symbolic links, FIFOs, sockets, devices) are handed over,
    // each as itself: a link is never followed, a FIFO never opened.
    bool wantSystem = false;
    // Whether the entries of subfolders are handed over too, each in the files of the
    // folder holding it and after that folder's own walk (EntryKind 0), hidden ones when
    // `wantHidden`. For the statistics and the folder hogs.
    bool wantFolders = false;
    // The most folders the walk keeps open at once (one descriptor each). Deeper levels
    // are walked too: the walk then gives up open folders spread along the path and,
    // when it returns to one, reopens it one name at a time from the nearest open folder
    // above it (a folder found replaced there is not entered again).
    // Running out of descriptors lowers the number by itself. At least 3 are used (the
    // start, the folder being read and the subfolder being opened).
    int maxOpenFolders = 128;
};

// The folder a hook is told about.
struct WalkFolder {
    // Native bytes; the start folder as given (without trailing separators, "/" for the
    // root), then each subfolder name joined with one separator. The exact path of an
    // entry is platform::joinPath(path, entry.name), whatever bytes the names hold.
    QByteArray path;
    // `path` decoded for display (the folder text shown as progress).
    QString text;
    // 0 for the start folder, 1 for its subfolders, and so on.
    int depth = 0;
};

// The finder's side of a walk. Every hook runs on the walk's thread, inside the walk.
class WalkHooks {
public:
    virtual ~WalkHooks() = default;

    // The per-file step: one wanted entry of `folder`. Valid only during the call (copy
    // what is kept).
    virtual void onFile(const WalkFolder& folder, const platform::DirEntry& entry) = 0;

    // The folder text as progress: when a folder's walk starts, when its files are
    // looked at, and again before every file after the first.
    virtual void onProgress(const QString& folderText) { Q_UNUSED(folderText); }

    // A folder has been entered (the start folder included), before anything in it.
    virtual void onFolderEntered(const WalkFolder& folder) { Q_UNUSED(folder); }

    // The walk has left a folder it entered: after its subfolders and its files, or
    // when an abort unwinds the walk (read the abort flag to tell). Called exactly once
    // for every `onFolderEntered`, innermost first.
    virtual void onFolderDone(const WalkFolder& folder) { Q_UNUSED(folder); }

    // The abort flag. Read when a folder's walk would start, when its files would be
    // looked at, and before every file handed over.
    virtual bool abortRequested() const { return false; }

    // A checked entry of walkEntries whose start folder could not be opened. `message`
    // is what to tell the user: "Can't open drive " followed by the entry's text (a
    // window shows it in an error box with OK and no sound). The walk goes on with the
    // next entry when this returns; by default nothing is said.
    virtual void onUnopened(const DriveEntry& entry, const QString& message) {
        Q_UNUSED(entry);
        Q_UNUSED(message);
    }

    // Called after every directory entry the walk reads, wanted or not. A window pumps
    // its events here (on a clock, see WindowWalkHooks); may set the abort flag.
    virtual void yield() {}
};

// The walk of drives and folders that every finder runs, reading folders through their
// descriptors (never changing the current folder) and keeping one listing open per
// level of depth:
//
// - Post-order: in each folder, first every subfolder is walked, in the file system's
//   order, then the folder's own files are handed over. Hidden folders are entered only
//   with the option `enterHidden`.
// - Never follows a symbolic link, never leaves the file system of the start folder
//   (a mount point below it is left out, like `find -xdev`), never enters a pseudo file
//   system, and never enters a folder that is already open above it (a bind mount of a
//   folder into itself). A subfolder that cannot be opened or read is skipped silently
//   with everything below it; an entry that vanishes is left out.
// - Abort: once `abortRequested` is seen at one of its checks, nothing more is handed
//   over or entered; the walk unwinds at once (`onFolderDone` for each open folder) and
//   returns. What was handed over before stays with the finder.
// - Deep trees do not recurse: the levels are a list, and at most `maxOpenFolders` of
//   them hold a descriptor.
//
// One FolderWalk may run any number of walks, one after the other; it is not reentrant.
class FolderWalk {
public:
    FolderWalk(WalkOptions options, WalkHooks& hooks);
    ~FolderWalk();
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;

    const WalkOptions& options() const { return options_; }

    // The hidden folders left out so far by this walker (over all its walks), without
    // `enterHidden`: those on the start folder's file system that the walk met in the
    // folders it entered; nothing below them is counted.
    qint64 hiddenFoldersSkipped() const { return hiddenSkipped_; }

    // How many folder listings this walker has read so far (over all its walks): one per
    // folder entered or handed to `walkFolderFiles`, however deep the tree and however few
    // descriptors it may keep open, since each listing is kept for both of its passes.
    qint64 foldersListed() const { return listed_; }

    // How many times a folder given up for want of descriptors was opened again (over
    // all its walks).
    qint64 foldersReopened() const { return reopened_; }

    // Walks every checked entry of `entries`, in list order: a drive whose volume does
    // not answer (PathDriveReady false) is skipped without a message; an entry whose
    // start folder cannot be opened (EnterStartFolder) is handed to the hooks'
    // `onUnopened` with the message "Can't open drive " followed by the entry's text,
    // and the walk goes on with the next entry; every other entry is walked with
    // `walkTree`. With more than one checked entry, every folder is walked once per call
    // (told by its device and inode): an entry whose start folder an earlier entry
    // already walked (the same folder twice, or a folder inside an earlier one) is
    // skipped without a message, and a walk does not enter a folder an earlier entry
    // walked as its start or below it (a parent after its own subfolder), so each file is
    // handed over once. The abort flag does not stop this loop: after an abort each
    // remaining entry is still opened (and may still be reported unopened), and its walk
    // returns at once. Shows nothing itself. Returns how many checked entries could not
    // be opened.
    // The finder windows call this their ScanAllDrives.
    int walkEntries(const QList<DriveEntry>& entries);

    // Walks `start` and everything below it. Returns at once, entering nothing, when the
    // abort flag is already set. The start folder's reader is used and stays open.
    // The finder windows call this their scan_dir.
    void walkTree(StartFolder& start);

    // Hands over the wanted entries of `folder` alone, without its subfolders: checks
    // the abort flag, shows the folder text as progress, then the entries as in a walk.
    // No folder hooks are called.
    // The finder windows call this their scanfiles.
    void walkFolderFiles(StartFolder& folder);

private:
    // A folder's names as listed once, in the file system's order, for both passes.
    struct Listing {
        struct Item {
            qsizetype offset = 0;
            qsizetype length = 0;
            platform::NameType type = platform::NameType::Unknown;
        };
        QByteArray bytes;  // the names one after the other
        std::vector<Item> items;
    };

    struct Level {
        platform::DirReader reader;
        Listing listing;
        std::size_t nextFolder = 0;       // the first item the folder pass has not looked at
        QByteArray name;                  // the name in the parent folder ("" at the start)
        qsizetype parentPathLength = 0;   // where the folder path is cut back on leaving
        qsizetype parentTextLength = -1;  // the same for its text; -1: decoded again
        bool validPath = false;           // the path so far is valid UTF-8
        quint64 inode = 0;
        bool lost = false;  // could not be listed or reopened: the rest of it is skipped
    };

    bool aborted();
    bool stepFolders(Level& level);
    void filesOf(Level& level);
    void descend(bool parentValid, Level& child);
    bool list(int fd, Listing& listing);
    void handFiles(const platform::DirReader& reader, const Listing& listing);
    bool openChild(qsizetype parentIndex, const QByteArray& name, quint64 inode, Level& child);
    bool openBelow(qsizetype parentIndex, const QByteArray& name, quint64 inode,
                   platform::DirReader& reader);
    void enter(Level&& child);
    void leave(StartFolder& start);
    bool giveUpOne();
    void reopen(qsizetype index);

    WalkOptions options_;
    WalkHooks& hooks_;
    std::vector<Level> stack_;
    QSet<quint64> openInodes_;  // the folders being walked, against bind-mount loops
    // walkEntries over several entries: the (device, inode) of every folder entered.
    bool trackWalked_ = false;
    QSet<std::pair<quint64, quint64>> walked_;
    WalkFolder current_;
    quint64 device_ = 0;
    int maxOpen_ = 0;
    std::vector<qsizetype> openLevels_;  // the levels holding a descriptor, shallowest first
    bool aborted_ = false;
    qint64 hiddenSkipped_ = 0;
    qint64 listed_ = 0;
    qint64 reopened_ = 0;
    platform::DirNames lister_;  // one read buffer for every listing
    // Reused for every entry, so reading a folder allocates nothing per entry.
    QByteArray name_;
    platform::DirEntry entry_;
};

}  // namespace dw
