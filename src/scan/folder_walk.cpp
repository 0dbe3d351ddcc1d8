#include "scan/folder_walk.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "base/utility.h"

namespace dw {

namespace {

bool outOfDescriptors(int error) {
    return error == EMFILE || error == ENFILE;
}

// Overwrites `name` in place, so a loop allocates nothing while nobody keeps a copy.
template <typename Listing, typename Item>
void copyName(const Listing& listing, const Item& item, QByteArray& name) {
    name.resize(item.length);
    std::memcpy(name.data(), listing.bytes.constData() + item.offset, std::size_t(item.length));
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

int FolderWalk::walkEntries(const QList<DriveEntry>& entries) {
    int unopened = 0;
    // Overlapping entries would hand the same files over twice; a single entry cannot
    // overlap itself and pays nothing for the set.
    trackWalked_ = std::count_if(entries.begin(), entries.end(),
                                 [](const DriveEntry& e) { return e.checked; }) > 1;
    walked_.clear();
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
        if (trackWalked_ && walked_.contains({start->device, start->inode})) {
            continue;
        }
        walkTree(*start);
    }
    trackWalked_ = false;
    walked_ = {};
    return unopened;
}

void FolderWalk::walkTree(StartFolder& start) {
    aborted_ = false;
    if (aborted() || !start.reader.isOpen()) {
        return;
    }
    device_ = start.device;
    maxOpen_ = std::max(3, options_.maxOpenFolders);
    openLevels_.assign(1, 0);
    stack_.clear();
    openInodes_.clear();

    current_.path = start.path;
    current_.text = QFile::decodeName(start.path);
    current_.depth = 0;
    Level root;
    root.reader = std::move(start.reader);
    root.inode = start.inode;
    root.validPath = start.path.isValidUtf8();
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

void FolderWalk::walkFolderFiles(StartFolder& folder) {
    aborted_ = false;
    if (aborted() || !folder.reader.isOpen()) {
        return;
    }
    current_.path = folder.path;
    current_.text = QFile::decodeName(folder.path);
    current_.depth = 0;
    hooks_.onProgress(current_.text);
    Listing listing;
    if (list(folder.reader.fd(), listing)) {
        handFiles(folder.reader, listing);
    }
}

bool FolderWalk::list(int fd, Listing& listing) {
    listing.bytes.clear();
    listing.items.clear();
    if (!lister_.start(fd)) {
        return false;
    }
    ++listed_;
    platform::NameType type;
    // A listing that fails part-way counts as one that ended there.
    while (lister_.next(name_, type)) {
        listing.items.push_back({listing.bytes.size(), name_.size(), type});
        listing.bytes.append(name_);
    }
    return true;
}

void FolderWalk::enter(Level&& level) {
    stack_.push_back(std::move(level));
    Level& entered = stack_.back();
    openInodes_.insert(entered.inode);
    if (trackWalked_) {
        walked_.insert({device_, entered.inode});
    }
    hooks_.onFolderEntered(current_);
    hooks_.onProgress(current_.text);
    if (!list(entered.reader.fd(), entered.listing)) {
        entered.lost = true;
    }
}

bool FolderWalk::stepFolders(Level& level) {
    // Only folders matter in this pass: the listing's type spares a stat for every file,
    // which keeps the walk at one stat per entry over both passes.
    const qsizetype index = qsizetype(stack_.size()) - 1;
    while (level.nextFolder < level.listing.items.size()) {
        const Listing::Item& item = level.listing.items[level.nextFolder++];
        const platform::NameType type = item.type;
        copyName(level.listing, item, name_);
        if (type == platform::NameType::Regular || type == platform::NameType::Other) {
            hooks_.yield();
            continue;
        }
        const bool sameDevice =
            level.reader.stat(name_, entry_) && entry_.isFolder() && entry_.device == device_;
        if (!options_.enterHidden && isHiddenName(name_)) {
            // Counted so that the window can say how much it left out.
            hiddenSkipped_ += sameDevice ? 1 : 0;
            hooks_.yield();
            continue;
        }
        const bool isFolder = sameDevice && !openInodes_.contains(entry_.inode) &&
                              !(trackWalked_ && walked_.contains({device_, entry_.inode}));
        const quint64 inode = entry_.inode;
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
        descend(level.validPath, child);
        enter(std::move(child));  // `level` may move: not used after this
        return true;
    }
    return false;
}

void FolderWalk::descend(bool parentValid, Level& child) {
    // The path and its text grow in place, as platform::joinPath and QFile::decodeName would make
    // them anew: a deep folder costs its own name, not the length of its whole path.
    child.parentPathLength = current_.path.size();
    qsizetype end = current_.path.size();
    while (end > 0 && current_.path[end - 1] == '/') {
        --end;
    }
    const qsizetype slashes = current_.path.size() - end;
    current_.path.truncate(end);
    current_.path.append('/').append(child.name);
    current_.depth = int(stack_.size());
    // Valid UTF-8 decodes piece by piece as it does whole; anything else is decoded whole.
    child.validPath = parentValid && child.name.isValidUtf8();
    if (child.validPath) {
        child.parentTextLength = current_.text.size();
        current_.text.chop(slashes);
        current_.text.append(u'/').append(QFile::decodeName(child.name));
    } else {
        child.parentTextLength = -1;
        current_.text = QFile::decodeName(current_.path);
    }
}

void FolderWalk::filesOf(Level& level) {
    if (aborted()) {
        return;
    }
    hooks_.onProgress(current_.text);
    handFiles(level.reader, level.listing);
}

void FolderWalk::handFiles(const platform::DirReader& reader, const Listing& listing) {
    const bool everyName = options_.pattern.matchesEverything();
    bool first = true;
    for (const Listing::Item& item : listing.items) {
        const platform::NameType type = item.type;
        copyName(listing, item, name_);
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
                return;
            }
            if (!first) {
                hooks_.onProgress(current_.text);
            }
            first = false;
            hooks_.onFile(current_, entry_);
        }
        hooks_.yield();
    }
}

bool FolderWalk::openChild(qsizetype parentIndex, const QByteArray& name, quint64 inode,
                           Level& child) {
    if (!openBelow(parentIndex, name, inode, child.reader)) {
        return false;
    }
    child.inode = inode;
    openLevels_.push_back(parentIndex + 1);
    return true;
}

bool FolderWalk::openBelow(qsizetype parentIndex, const QByteArray& name, quint64 inode,
                           platform::DirReader& reader) {
    while (qsizetype(openLevels_.size()) >= maxOpen_ && giveUpOne()) {
    }
    for (;;) {
        if (reader.openAt(stack_[parentIndex].reader, name)) {
            break;
        }
        if (outOfDescriptors(reader.error()) && giveUpOne()) {
            maxOpen_ = std::max(3, int(openLevels_.size()) + 1);
            continue;
        }
        return false;
    }
    // The folder really opened must be the one stat'ed, on the start's file system: a
    // folder swapped for a mount point or another folder in between is not entered.
    platform::DirEntry self;
    if (!reader.statFolder(self) || self.device != device_ || self.inode != inode) {
        reader.close();
        return false;
    }
    return true;
}

bool FolderWalk::giveUpOne() {
    // The start stays open (every chain of reopening begins at an open level), and so
    // does the deepest open level, the one being opened from. Of the others, the one
    // whose closing leaves the shortest run of closed levels goes, the shallowest of
    // equals: the open levels stay spread along the path, densest near its bottom, so
    // that going back up reopens each run from the level just above it and a chain of
    // any depth costs a few openings per level, not one per level above it.
    const qsizetype last = qsizetype(openLevels_.size()) - 1;
    qsizetype best = 0;
    qsizetype bestGap = 0;
    for (qsizetype i = 1; i < last; ++i) {
        const qsizetype gap = openLevels_[size_t(i + 1)] - openLevels_[size_t(i - 1)];
        if (best == 0 || gap < bestGap) {
            best = i;
            bestGap = gap;
        }
    }
    if (best == 0) {
        return false;
    }
    stack_[size_t(openLevels_[size_t(best)])].reader.close();
    openLevels_.erase(openLevels_.begin() + best);
    return true;
}

void FolderWalk::reopen(qsizetype index) {
    // Every level deeper than the nearest open one is closed: they are opened again one
    // name at a time from it, each checked to be the folder it was.
    for (qsizetype k = openLevels_.back() + 1; k <= index; ++k) {
        Level& level = stack_[size_t(k)];
        if (!openBelow(k - 1, level.name, level.inode, level.reader)) {
            // Replaced or gone since: what is left of it and of the levels below it in
            // the chain cannot be reached any more.
            for (qsizetype m = k; m <= index; ++m) {
                stack_[size_t(m)].lost = true;
            }
            return;
        }
        openLevels_.push_back(k);
        ++reopened_;
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
        openLevels_.pop_back();  // the deepest open level is the one left
    }
    current_.path.truncate(level.parentPathLength);
    if (level.parentTextLength >= 0) {
        current_.text.truncate(level.parentTextLength);
    } else {
        current_.text = QFile::decodeName(current_.path);
    }
    stack_.pop_back();
    current_.depth = int(stack_.size()) - 1;
    if (!stack_.back().lost && !stack_.back().reader.isOpen()) {
        reopen(qsizetype(stack_.size()) - 1);
    }
    // The subfolder was one entry of its parent's listing.
    hooks_.yield();
}

}  // namespace dw
