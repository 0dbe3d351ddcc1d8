#include "safety/folder_tally.h"

#include <QHash>

#include <utility>

#include "platform/block_usage.h"
#include "scan/drive_list.h"
#include "scan/folder_walk.h"

namespace dw {

namespace {

// How many entries pass between two progress calls.
constexpr qint64 kProgressEvery = 2048;

class TallyHooks : public WalkHooks {
public:
    TallyHooks(const std::function<bool()>& abort,
               const std::function<void(const FolderTally&)>& progress)
        : abort_(abort), progress_(progress) {}

    void onFile(const WalkFolder& folder, const platform::DirEntry& entry) override {
        Q_UNUSED(folder);
        if (entry.isFolder()) {
            ++tally.folders;
            return;
        }
        ++tally.files;
        const qint64 allocated = std::max<qint64>(entry.allocated, 0);
        if (entry.links <= 1) {
            tally.bytes += allocated;
            return;
        }
        // A file of several names frees its blocks only when the last one goes: counted
        // once all its names have been met inside the folder.
        int& met = namesMet_[{entry.device, entry.inode}];
        if (quint32(++met) == entry.links) {
            tally.bytes += allocated;
        }
    }

    bool abortRequested() const override {
        if (!stopped_ && abort_) {
            stopped_ = abort_();
        }
        return stopped_;
    }

    void yield() override {
        if (progress_ && ++seen_ % kProgressEvery == 0) {
            progress_(tally);
        }
    }

    bool stopped() const { return stopped_; }

    FolderTally tally;

private:
    const std::function<bool()>& abort_;
    const std::function<void(const FolderTally&)>& progress_;
    QHash<std::pair<quint64, quint64>, int> namesMet_;
    qint64 seen_ = 0;
    mutable bool stopped_ = false;
};

}  // namespace

FolderTally tallyFolder(const QByteArray& folder, const std::function<bool()>& abortRequested,
                        const std::function<void(const FolderTally&)>& progress) {
    std::optional<StartFolder> start = EnterStartFolder(folder);
    if (!start) {
        FolderTally none;
        none.unopened = true;
        return none;
    }
    WalkOptions options;
    options.pattern = WildcardPattern(QStringLiteral("*.*"));
    options.wantHidden = true;
    options.enterHidden = true;
    options.wantSystem = true;
    options.wantFolders = true;
    TallyHooks hooks(abortRequested, progress);
    FolderWalk walk(options, hooks);
    walk.walkTree(*start);
    FolderTally tally = hooks.tally;
    tally.complete = !hooks.stopped();
    platform::BlockUsage blocks;
    tally.bytesExact = !blocks.mayShare(start->path, start->device);
    return tally;
}

}  // namespace dw
