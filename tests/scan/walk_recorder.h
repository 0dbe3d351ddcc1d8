#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

#include "base/utility.h"
#include "platform/paths.h"
#include "scan/folder_walk.h"

namespace dw::test {

// Hooks that record what a walk hands over, with paths relative to a root so that
// expectations read like the tree a test made.
class WalkRecorder : public WalkHooks {
public:
    explicit WalkRecorder(QByteArray root) : root_(std::move(root)) {}

    // Every event in order: "file <path>", "enter <path>", "done <path>", "yield".
    QStringList events;
    QList<QByteArray> files;    // relative paths of the entries handed over
    QList<QByteArray> entered;  // relative paths of the folders entered ("" = the root)
    QList<QByteArray> done;
    QList<platform::DirEntry> entries;
    QStringList progress;
    QStringList unopened;  // the messages of entries whose start folder did not open
    int yields = 0;
    bool abort = false;
    // Runs after each recorded file / yield: tests set the abort flag from here.
    std::function<void(WalkRecorder&)> afterFile;
    std::function<void(WalkRecorder&)> afterYield;

    QByteArray relative(const QByteArray& full) const {
        if (full == root_) {
            return {};
        }
        return full.startsWith(root_ + '/') ? full.mid(root_.size() + 1) : full;
    }

    void onFile(const WalkFolder& folder, const platform::DirEntry& entry) override {
        const QByteArray rel = relative(platform::joinPath(folder.path, entry.name));
        files.append(rel);
        entries.append(entry);
        events.append(QStringLiteral("file ") + QString::fromUtf8(rel));
        if (afterFile) {
            afterFile(*this);
        }
    }
    void onProgress(const QString& text) override { progress.append(text); }
    void onFolderEntered(const WalkFolder& folder) override {
        entered.append(relative(folder.path));
        events.append(QStringLiteral("enter ") + QString::fromUtf8(relative(folder.path)));
    }
    void onFolderDone(const WalkFolder& folder) override {
        done.append(relative(folder.path));
        events.append(QStringLiteral("done ") + QString::fromUtf8(relative(folder.path)));
    }
    void onUnopened(const DriveEntry&, const QString& message) override {
        unopened.append(message);
    }
    bool abortRequested() const override { return abort; }
    void yield() override {
        ++yields;
        events.append(QStringLiteral("yield"));
        if (afterYield) {
            afterYield(*this);
        }
    }

private:
    QByteArray root_;
};

// Walks `folder` with `options` into `recorder`; false when the folder cannot be opened.
inline bool walkInto(const QByteArray& folder, const WalkOptions& options, WalkRecorder& recorder) {
    std::optional<StartFolder> start = EnterStartFolder(folder);
    if (!start) {
        return false;
    }
    FolderWalk walk(options, recorder);
    walk.walkTree(*start);
    return true;
}

inline WalkOptions walkOptions(bool hidden, bool system, bool folders = false,
                               const QString& pattern = QStringLiteral("*.*")) {
    WalkOptions o;
    o.wantHidden = hidden;
    o.wantSystem = system;
    o.wantFolders = folders;
    o.pattern = WildcardPattern(pattern);
    return o;
}

}  // namespace dw::test
