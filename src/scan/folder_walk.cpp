#include "scan/folder_walk.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "base/utility.h"

namespace dw {

namespace {

bool outOfDescriptors(int error) {
    return error == EMFILE || error == ENFILE;
}

bool isHiddenName(const QByteArray& name) {
    return !name.isEmpty() && name[0] == '.';
}

}  // namespace

FolderWalk::FolderWalk(WalkOptions options, WalkHooks& hooks)
    : options_(std::move(options)), hooks_(hooks) {}

FolderWalk::~FolderWalk() = default;

bool FolderWalk::aborted() {
    // Latched: once seen, the rest of this walk unwinds even if the flag is cleared.
    if (!aborted_ && hooks_.abortRequested()) {
        aborted_ = true;
    }
    return aborted_;
}

int FolderWalk::ScanAllDrives(const QList<DriveEntry>& entries) {
    int unopened = 0;
    for (const DriveEntry& entry : entries) {
        if (!entry.checked || !PathDriveReady(entry)) {
            continue;
        }
        std::optional<StartFolder> start = EnterStartFolder(entry);
        if (!start) {
            hooks_.onUnopened(entry, QStringLiteral("Can't open drive ") + entry.text);
            ++unopened;
            continue;
        }
        scan_dir(*start);
    }
    return unopened;
}

void FolderWalk::scan_dir(StartFolder& start) {
    aborted_ = false;
    if (aborted() || !start.reader.isOpen()) {
        return;
    }
    device_ = start.device;
    maxOpen_ = std::max(3, options_.maxOpenFolders);
    openCount_ = 1;
    stack_.clear();
    openInodes_.clear();

    current_.path = start.path;
    current_.text = QFile::decodeName(start.path);
    current_.depth = 0;
    Level root;
    root.reader = std::move(start.reader);
    root.inode = start.inode;
    enter(std::move(root));

    while (!stack_.empty()) {
        const qsizetype top = qsizetype(stack_.size()) - 1;
        if (!stack_[top].lost && !aborted_ && stepFolders(stack_[top])) {
            continue;
        }
        if (!stack_[top].lost && !aborted_) {
            filesOf(stack_[top]);
        }
        leave(start);
    }
}

void FolderWalk::scanfiles(StartFolder& folder) {
    aborted_ = false;
    if (aborted() || !folder.reader.isOpen()) {
        return;
    }
    current_.path = folder.path;
    current_.text = QFile::decodeName(folder.path);
    current_.depth = 0;
    hooks_.onProgress(current_.text);
    platform::DirNames names;
    if (names.start(folder.reader.fd())) {
        handFiles(folder.reader, names);
    }
}

void FolderWalk::enter(Level&& level) {
    stack_.push_back(std::move(level));
    Level& entered = stack_.back();
    openInodes_.insert(entered.inode);
    hooks_.onFolderEntered(current_);
    hooks_.onProgress(current_.text);
    if (!entered.names.start(entered.reader.fd())) {
        entered.lost = true;
    }
}

bool FolderWalk::stepFolders(Level& level) {
    // Only folders matter in this pass: the listing's type spares a stat for every file,
    // which keeps the walk at one stat per entry over both passes.
    const qsizetype index = qsizetype(stack_.size()) - 1;
    platform::NameType type;
    while (level.names.next(name_, type)) {
        if (type == platform::NameType::Regular || type == platform::NameType::Other) {
            hooks_.yield();
            continue;
        }
        const bool sameDevice =
            level.reader.stat(name_, entry_) && entry_.isFolder() && entry_.device == device_;
        if (!options_.enterHidden && isHiddenName(name_)) {
            // Counted so that the window can say how much it left out.
            hiddenSkipped_ += sameDevice ? 1 : 0;
            entry_.name.clear();
            hooks_.yield();
            continue;
        }
        const bool isFolder = sameDevice && !openInodes_.contains(entry_.inode);
        const quint64 inode = entry_.inode;
        entry_.name.clear();
        if (!isFolder) {
            hooks_.yield();
            continue;
        }
        if (aborted()) {
            return false;
        }
        Level child;
        if (!openChild(index, name_, inode, child)) {
            hooks_.yield();
            continue;
        }
        child.name = name_;
        child.parentPathLength = current_.path.size();
        current_.path = JoinPath(current_.path, name_);
        current_.text = QFile::decodeName(current_.path);
        current_.depth = int(index + 1);
        enter(std::move(child));  // `level` may move: not used after this
        return true;
    }
    // A listing that fails part-way counts as one that ended there.
    return false;
}

void FolderWalk::filesOf(Level& level) {
    if (aborted()) {
        return;
    }
    hooks_.onProgress(current_.text);
    if (level.reopened && !freshDescriptor(level)) {
        return;
    }
    if (level.names.start(level.reader.fd())) {
        handFiles(level.reader, level.names);
    }
}

bool FolderWalk::freshDescriptor(Level& level) {
    // A descriptor whose first read found the end of its folder (it was reopened at the
    // end of its listing) reads nothing after rewinding on some file systems (ext4 keeps
    // its position in the open file and misses the rewind), so the files are listed
    // through a descriptor of their own.
    const qsizetype index = qsizetype(stack_.size()) - 1;
    platform::DirReader fresh;
    for (;;) {
        if (fresh.openAt(level.reader, QByteArrayLiteral("."))) {
            break;
        }
        if (outOfDescriptors(fresh.error()) && giveUpShallowest(index)) {
            maxOpen_ = std::max(3, openCount_ + 1);
            continue;
        }
        return false;
    }
    level.reader = std::move(fresh);
    level.reopened = false;
    return true;
}

void FolderWalk::handFiles(const platform::DirReader& reader, platform::DirNames& names) {
    const bool everyName = options_.pattern.matchesEverything();
    bool first = true;
    platform::NameType type;
    while (names.next(name_, type)) {
        // Decide on what the listing tells before paying for a stat; the stat then has
        // the last word (a listing may not know the type, and its type may be stale).
        bool wanted = options_.wantHidden || !isHiddenName(name_);
        if (wanted && type == platform::NameType::Folder) {
            wanted = options_.wantFolders;
        } else if (wanted && type == platform::NameType::Other) {
            wanted = options_.wantSystem;
        }
        wanted = wanted && (everyName || options_.pattern.matches(name_)) &&
                 reader.stat(name_, entry_) &&
                 (entry_.isFolder() ? options_.wantFolders
                                    : (options_.wantSystem || !entry_.isSystem()));
        if (wanted) {
            if (aborted()) {
                entry_.name.clear();
                return;
            }
            if (!first) {
                hooks_.onProgress(current_.text);
            }
            first = false;
            hooks_.onFile(current_, entry_);
        }
        // Drops the entry's share of the name buffer, so the next name is written in place.
        entry_.name.clear();
        hooks_.yield();
    }
}

bool FolderWalk::openChild(qsizetype parentIndex, const QByteArray& name, quint64 inode,
                           Level& child) {
    while (openCount_ >= maxOpen_ && giveUpShallowest(parentIndex)) {
    }
    for (;;) {
        if (child.reader.openAt(stack_[parentIndex].reader, name)) {
            break;
        }
        if (outOfDescriptors(child.reader.error()) && giveUpShallowest(parentIndex)) {
            maxOpen_ = std::max(3, openCount_ + 1);
            continue;
        }
        return false;
    }
    ++openCount_;
    // The folder really opened must be the one stat'ed, on the start's file system: a
    // folder swapped for a mount point or another folder in between is not entered.
    platform::DirEntry self;
    if (!child.reader.statFolder(self) || self.device != device_ || self.inode != inode) {
        child.reader.close();
        --openCount_;
        return false;
    }
    child.inode = inode;
    return true;
}

bool FolderWalk::giveUpShallowest(qsizetype below) {
    // The start folder stays open: every given-up level is reopened from it, one name at
    // a time, so no link is followed and no path length limit applies.
    for (qsizetype i = 1; i < below; ++i) {
        Level& level = stack_[i];
        if (level.reader.isOpen()) {
            level.position = level.names.tell();
            level.names.release();
            level.reader.close();
            --openCount_;
            return true;
        }
    }
    return false;
}

bool FolderWalk::openLevel(qsizetype index) {
    Level& level = stack_[index];
    while (openCount_ >= maxOpen_ && giveUpShallowest(index - 1)) {
    }
    for (;;) {
        if (level.reader.openAt(stack_[index - 1].reader, level.name)) {
            break;
        }
        if (outOfDescriptors(level.reader.error()) && giveUpShallowest(index - 1)) {
            maxOpen_ = std::max(3, openCount_ + 1);
            continue;
        }
        return false;
    }
    ++openCount_;
    platform::DirEntry self;
    if (!level.reader.statFolder(self) || self.device != device_ || self.inode != level.inode ||
        !level.names.start(level.reader.fd(), level.position)) {
        level.reader.close();
        --openCount_;
        return false;
    }
    level.reopened = true;
    return true;
}

void FolderWalk::reopen(qsizetype index) {
    qsizetype open = index - 1;
    while (open > 0 && !stack_[open].reader.isOpen()) {
        --open;
    }
    for (qsizetype k = open + 1; k <= index; ++k) {
        if (!openLevel(k)) {
            // Replaced or gone since: what is left of it and of the levels below it in
            // the chain cannot be reached any more.
            for (qsizetype m = k; m <= index; ++m) {
                stack_[m].lost = true;
            }
            return;
        }
    }
}

void FolderWalk::leave(StartFolder& start) {
    Level& level = stack_.back();
    hooks_.onFolderDone(current_);
    openInodes_.remove(level.inode);
    if (stack_.size() == 1) {
        start.reader = std::move(level.reader);
        stack_.pop_back();
        return;
    }
    if (level.reader.isOpen()) {
        --openCount_;
    }
    current_.path.truncate(level.parentPathLength);
    stack_.pop_back();
    current_.depth = int(stack_.size()) - 1;
    current_.text = QFile::decodeName(current_.path);
    if (!stack_.back().lost && !stack_.back().reader.isOpen()) {
        reopen(qsizetype(stack_.size()) - 1);
    }
    // The subfolder was one entry of its parent's listing.
    hooks_.yield();
}

}  // namespace dw
