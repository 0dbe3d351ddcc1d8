#include "finders/folder_hogs.h"

#include <QHash>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <vector>

#include "base/file_dates.h"
#include "platform/volumes.h"
#include "scan/drive_list.h"
#include "scan/folder_walk.h"

namespace dw {

namespace {

class HogWalk final : public WalkHooks {
public:
    HogWalk(FolderHogMode mode, const FolderHogHooks& hooks, SpaceTreeBuilder* tree)
        : mode_(mode), hooks_(hooks), tree_(tree) {}

    void onFolderEntered(const WalkFolder& folder) override {
        if (folder.depth == 0) {
            const auto space = platform::driveSpace(folder.path);
            capacity_ = space ? space->total : 0;
        }
        if (tree_) {
            tree_->enterFolder(folder.path, capacity_);
        }
        if (mode_ == FolderHogMode::All) {
            open_.push_back(Open{row(folder.path), 0});
            return;
        }
        if (folder.depth == 1) {
            main_ = row(folder.path);
            inMain_ = true;
        } else if (folder.depth > 1 && inMain_) {
            ++main_.subFolders;
        }
    }

    void onFolderDone(const WalkFolder& folder) override {
        if (tree_) {
            tree_->leaveFolder();
        }
        // After an abort the folders still open end here too: their rows keep what was
        // summed so far, so an early abort still shows where the bytes were found.
        if (mode_ == FolderHogMode::All) {
            Open done = std::move(open_.back());
            open_.pop_back();
            if (done.shownEntries > 0) {
                rows_.append(finished(done.row));
            }
            return;
        }
        if (folder.depth == 1) {
            rows_.append(finished(main_));
            inMain_ = false;
        }
    }

    void onFile(const WalkFolder& folder, const platform::DirEntry& entry) override {
        FolderHogRow* target = nullptr;
        if (mode_ == FolderHogMode::All) {
            Open& o = open_.back();
            if (!entry.isHidden() && !entry.isSystem()) {
                ++o.shownEntries;
            }
            if (entry.isFolder()) {
                ++o.row.subFolders;
                return;
            }
            target = &o.row;
        } else if (entry.isFolder()) {
            return;
        } else if (folder.depth > 0 && inMain_) {
            target = &main_;
        }
        if (target == nullptr && tree_ == nullptr) {
            return;
        }
        if (entry.links > 1) {
            // Another name of a file already counted in this scan adds nothing.
            const auto key = qMakePair(entry.device, entry.inode);
            if (linked_.contains(key)) {
                return;
            }
            linked_.insert(key);
        }
        if (tree_) {
            tree_->addFile(entry.name, entry.size);
        }
        if (target == nullptr) {
            return;
        }
        target->bytes += entry.size;
        target->allocated += entry.allocated;
        ++target->files;
        // Packed once per row: converting every file's time to local time would cost more
        // than the rest of its count.
        target->latestAccessSeconds = std::max(target->latestAccessSeconds, entry.accessed);
    }

    void onProgress(const QString& text) override {
        if (hooks_.progress) {
            hooks_.progress(text);
        }
    }
    bool abortRequested() const override {
        if (!aborted_ && hooks_.abortRequested && hooks_.abortRequested()) {
            aborted_ = true;
        }
        return aborted_;
    }
    void onUnopened(const DriveEntry&, const QString& message) override {
        if (hooks_.unopened) {
            hooks_.unopened(message);
        }
    }
    void yield() override {
        if (hooks_.yield) {
            hooks_.yield();
        }
    }

    QList<FolderHogRow> rows_;
    mutable bool aborted_ = false;

private:
    struct Open {
        FolderHogRow row;
        qint64 shownEntries = 0;
    };
    static FolderHogRow finished(FolderHogRow row) {
        row.latestAccess = row.files > 0 ? PackDosDateTime(row.latestAccessSeconds) : 0;
        return row;
    }
    FolderHogRow row(const QByteArray& path) const {
        FolderHogRow r;
        r.path = path;
        r.capacity = capacity_;
        return r;
    }

    FolderHogMode mode_;
    const FolderHogHooks& hooks_;
    SpaceTreeBuilder* tree_;
    qint64 capacity_ = 0;
    std::vector<Open> open_;
    FolderHogRow main_;
    bool inMain_ = false;
    QSet<QPair<quint64, quint64>> linked_;
};

}  // namespace

FolderHogResult scanFolderHogs(const QList<DriveEntry>& entries, FolderHogMode mode,
                               const FolderHogHooks& hooks,
                               const FolderHogTreeOptions& treeOptions) {
    WalkOptions options;
    options.pattern = WildcardPattern(QStringLiteral("*.*"));
    options.wantHidden = true;
    options.enterHidden = false;
    options.wantSystem = true;
    options.wantFolders = mode == FolderHogMode::All;
    std::unique_ptr<SpaceTreeBuilder> tree;
    if (treeOptions.keep) {
        tree = std::make_unique<SpaceTreeBuilder>(treeOptions.keptFileSize);
    }
    HogWalk hogs(mode, hooks, tree.get());
    FolderWalk walk(options, hogs);
    FolderHogResult result;
    result.unopened = walk.walkEntries(entries);
    result.aborted = hogs.aborted_;
    result.rows = std::move(hogs.rows_);
    if (tree) {
        result.tree = std::make_shared<const SpaceTree>(tree->finish());
    }
    std::stable_sort(result.rows.begin(), result.rows.end(),
                     [](const FolderHogRow& a, const FolderHogRow& b) {
                         return a.bytes != b.bytes ? a.bytes > b.bytes : a.path < b.path;
                     });
    return result;
}

QString FolderHogReportTitle(const QList<DriveEntry>& checked) {
    QString title = QStringLiteral("Folder hogs on drive(s) ");
    for (const DriveEntry& e : checked) {
        title += DriveWord(e) + u' ';
    }
    return title;
}

QString humanSizeText(qint64 bytes) {
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    if (bytes < 1024) {
        return QStringLiteral("%1 bytes").arg(bytes);
    }
    double value = double(bytes);
    int unit = -1;
    while (value >= 1024.0 && unit < 5) {
        value /= 1024.0;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(kUnits[unit]));
}

QString folderHogPercentText(qint64 bytes, qint64 capacity) {
    if (capacity <= 0 || bytes >= capacity) {
        return QStringLiteral("???");
    }
    return QString::number(100.0 * double(bytes) / double(capacity), 'f', 2);
}

}  // namespace dw
