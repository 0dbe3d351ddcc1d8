#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QSet>

#include <functional>

namespace dw::platform {
class DirReader;
}

namespace dw {

// Where the Safe Harbor build looks for folder references: the configuration trees of
// the machine and of the user. Each root is a folder; its subfolders are the "keys"
// and the lines of its text files the "values".
struct HarborBuildRoots {
    QList<QByteArray> machine;
    QList<QByteArray> user;

    // This machine's roots. Machine: "/etc", "/usr/share/applications",
    // "/usr/local/share/applications"; replaced by the folders of
    // $DISKWELL_HARBOR_MACHINE_ROOTS (":"-separated, empty elements skipped) when that
    // variable is set, even to the empty text (no machine roots). User: $XDG_CONFIG_HOME
    // when it is an absolute path, else ~/.config, and ~/.local/share/applications;
    // replaced likewise by $DISKWELL_HARBOR_USER_ROOTS.
    static HarborBuildRoots current();
};

// The Safe Harbor build: walks the configuration trees and collects the folders that
// their text files name, for the folder list.
//
// The walk of one root (findpaths) reads the root's own files and those of every folder
// below it down to kMaxDepth levels, never following a link, never leaving the root's
// file system, and passing over the program's own settings folder (its folder list is
// what is being rebuilt) and folders that cannot be opened, without a message. A file is
// read when it is a regular file of at most kMaxFileSize bytes with no NUL byte in its
// first kTextProbeBytes (a text file); files that cannot be read are passed over.
//
// Every line of such a file gives up to three value texts (valueTexts), and each value
// goes through the value test: its shape (folderOfValue), then its folder must not lie
// on a removable volume, must not be listed yet (compared with ASCII case folding,
// against the entries the build started with too) and must exist as a folder. A folder
// that passes is appended to the found list and reported to the added hook.
//
// One thread; the yield hook runs after every file so a window can stay live.
class SafeHarborBuild {
public:
    static constexpr int kMaxDepth = 25;
    static constexpr qint64 kMaxFileSize = 1024 * 1024;
    static constexpr qint64 kTextProbeBytes = 4096;

    // `listed`: the entries already in the list (the subtree entries the build keeps);
    // folders equal to one of them (case folded) are not added again.
    explicit SafeHarborBuild(const QList<QByteArray>& listed = {});

    // Runs after every file read. Nothing by default.
    void setYield(std::function<void()> yield) { yield_ = std::move(yield); }
    // Runs for every folder added, right after it was appended to found().
    void setAdded(std::function<void(const QByteArray& folder)> added) {
        added_ = std::move(added);
    }
    // Whether a folder lies on a removable volume. By default the kind of the mount
    // holding it (platform::mountOf).
    void setRemovableTest(std::function<bool(const QByteArray& folder)> test) {
        removable_ = std::move(test);
    }
    // A folder the walk passes over (with everything below it); by default the program's
    // settings folder. An empty text passes over nothing.
    void setSkippedFolder(const QByteArray& folder);

    // Walks every machine root, then every user root, each with findpaths.
    void run(const HarborBuildRoots& roots);

    // Walks one root: `scanDepth` counts the levels below it while the walk runs (0 at
    // the root, back to 0 when it returns). A root that does not exist or cannot be
    // opened adds nothing.
    void findpaths(const QByteArray& root);

    // The folders added so far, in the order found, each ending with "/".
    const QList<QByteArray>& found() const { return found_; }
    int scanDepth() const { return scanDepth_; }
    // Files read and folders entered so far (for the window's status and the tests).
    qint64 filesRead() const { return filesRead_; }
    qint64 foldersEntered() const { return foldersEntered_; }

    // The value texts of one line of a file: the line with blanks and control characters
    // trimmed from both ends; the text after its first "=", trimmed likewise (when the
    // line has a "="); and every text between a pair of double quotes (the first and
    // second, the third and fourth, ...). Empty texts and repeats are left out.
    static QList<QByteArray> valueTexts(QByteArrayView line);

    // The folder a value text names, by its shape: the text must be longer than 3
    // characters, hold no ";" and no ":", and begin with "/"; its folder is the text up
    // to and including its last "/", with runs of "/" made one and "." components left
    // out. The empty text for any other value.
    // "/usr/lib/app/run %U" gives "/usr/lib/app/", "//usr/./lib/x" gives "/usr/lib/";
    // "a/b", "/x;/y", "/a:b/c", "//" give "".
    static QByteArray folderOfValue(QByteArrayView text);

    // The value test on one text: adds its folder and returns true when it passes.
    bool testValue(QByteArrayView text);

private:
    void walkFolder(platform::DirReader& reader, const QByteArray& path, quint64 device);
    void readValues(const QByteArray& file);
    bool isFolderOnDisk(const QByteArray& folder);

    std::function<void()> yield_;
    std::function<void(const QByteArray&)> added_;
    std::function<bool(const QByteArray&)> removable_;
    QByteArray skipped_;
    QSet<QByteArray> listed_;           // case-folded entries, listed or found
    QHash<QByteArray, bool> existing_;  // folders asked about: do they exist?
    QList<QByteArray> found_;
    int scanDepth_ = 0;
    qint64 filesRead_ = 0;
    qint64 foldersEntered_ = 0;
};

}  // namespace dw
