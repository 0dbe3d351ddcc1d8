#include "safety/folder_clean.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <optional>
#include <vector>

#include "platform/dir_names.h"
#include "platform/dir_reader.h"
#include "platform/environment.h"
#include "platform/file_remover.h"
#include "platform/paths.h"
#include "platform/posix_io.h"
#include "platform/trash.h"
#include "safety/archive_name.h"
#include "safety/freed_bytes.h"
#include "safety/safe_harbor.h"
#include "safety/trash_rule.h"

namespace dw {

namespace {

using platform::EntryFacts;
using platform::FileIdentity;
using platform::FileRemover;

QString harborText(int reason) {
    return QStringLiteral("the Safe Harbor protects it: it is ") +
           SafeHarbor::safeHarborReason(reason);
}

QByteArray withoutTrailingSeparators(QByteArray path) {
    while (path.size() > 1 && path.endsWith(platform::kSep)) {
        path.chop(1);
    }
    return path;
}

// Whether a folder `harbor` protects as the system's own (reason 1) may lie below
// `folder`: one listed below it. Only then must the walk ask at each folder it enters,
// which costs a look at every folder on the way down.
bool systemFolderListedBelow(const SafeHarbor& harbor, const QByteArray& folder) {
    const QByteArray prefix =
        SafeHarbor::shortFolderName(withoutTrailingSeparators(folder)).toLower();
    for (const QByteArray& entry : harbor.lbWindows()) {
        if (entry.size() > prefix.size() && entry.startsWith(prefix)) {
            return true;
        }
    }
    return false;
}

// A folder of the tree: what the walk found, and whether anything in it stays.
struct FolderRecord {
    QByteArray path;
    FileIdentity identity;
    qsizetype parent = -1;
    bool keepsSomething = false;
    // It or a folder between it and the run's folder has a name beginning with ".": the
    // files in it are as hidden as their own names would make them.
    bool hidden = false;
};

// A folder the walk is in: held open, its names read at once, so entries made while the
// run goes on are not taken.
struct Frame {
    platform::DirReader reader;
    // The acts on its entries go through the reader's descriptor: each costs the same
    // however deep the folder lies.
    platform::HeldFolder held;
    QList<QByteArray> names;
    qsizetype next = 0;
    qsizetype record = -1;
};

class FolderCleaner {
public:
    FolderCleaner(const FolderCleanSettings& settings, const FolderCleanHooks& hooks)
        : settings_(settings), hooks_(hooks) {}

    FolderCleanSummary run(const QByteArray& folder);

private:
    // The checks before anything is touched: the folder's identity, or nullopt with the
    // summary refused and its refusal set.
    std::optional<FileIdentity> acceptRoot(const QByteArray& folder);
    // Archive runs: the ZipRun every file goes through, reading each original only while
    // it is still the file the walk looked at.
    void openArchiveRun();
    // The walk from the open top folder until the tree is done or the run stops; the
    // folders a stop leaves open are marked as keeping something.
    void walk();
    // One entry of the folder `frame` is reading: a file is taken, a folder entered, a
    // mount point kept.
    void visit(const Frame& frame, const QByteArray& name);
    // Archive runs: commits what is pending, then removes the emptied folders.
    void finishArchiveRun();
    bool removes() const {
        return settings_.mode != FolderCleanMode::Zip || settings_.deleteAfterZip;
    }
    bool abortNow() {
        if (!s_.aborted && hooks_.abortRequested && hooks_.abortRequested()) {
            s_.aborted = true;
        }
        return s_.aborted;
    }
    void keep(const QByteArray& path, const QString& reason, qsizetype record,
              platform::RemoveCode code = platform::RemoveCode::None,
              KeptStep step = KeptStep::Other) {
        s_.kept.append({path, reason, code, step});
        markKeeps(record);
    }
    void markKeeps(qsizetype record) {
        if (record >= 0) {
            records_[size_t(record)].keepsSomething = true;
        }
    }
    bool enter(const QByteArray& path, const FileIdentity& identity, qsizetype parent, int parentFd,
               const QByteArray& name);
    void leave();
    void takeFile(const Frame& frame, const QByteArray& name, const QByteArray& path,
                  const EntryFacts& facts);
    bool answersYes(const QByteArray& path, const EntryFacts& facts, qsizetype record);
    // Removes the folder of `rec` once it is empty: through `parent`, the folder holding
    // it, when given, else by its path.
    void removeFolder(FolderRecord& rec, const platform::HeldFolder* parent = nullptr);
    void zipDone(const ZipFileResult& z);

    const FolderCleanSettings& settings_;
    const FolderCleanHooks& hooks_;
    // The Safe Harbor to ask at each folder entered below the run's folder; null when it
    // lists none of the system's folders there.
    const SafeHarbor* harborBelow_ = nullptr;
    FolderCleanSummary s_;
    FileRemover remover_;
    // The folder holding the run's folder, where the run's folder is checked to be still
    // in its place.
    platform::UniqueFd rootParent_;
    std::vector<Frame> stack_;
    std::vector<FolderRecord> records_;
    std::vector<qsizetype> leftInOrder_;  // records as their folders were left
    qint64 taken_ = 0;
    FreedBytes freed_;
    // Archive runs: what each file handed to the archive was when it was looked at, and
    // the folder it lies in, by the file's number.
    std::unique_ptr<ZipRun> zip_;
    std::vector<FileIdentity> zipIdentities_;
    std::vector<qsizetype> zipFolders_;
};

bool FolderCleaner::enter(const QByteArray& path, const FileIdentity& identity, qsizetype parent,
                          int parentFd, const QByteArray& name) {
    if (parent >= 0 && harborBelow_) {
        int reason = SafeHarbor::kNotProtected;
        if (settings_.harbor->isInSafeHarbor(path, false, reason) &&
            reason == SafeHarbor::kReasonSystemFolder) {
            keep(path, harborText(reason), parent);
            return false;
        }
    }
    Frame frame;
    const bool opened =
        parentFd >= 0 ? frame.reader.openAt(parentFd, name) : frame.reader.open(path);
    if (!opened) {
        keep(path, platform::errnoText(frame.reader.error()), parent);
        return false;
    }
    // The folder opened must be the one looked at, not one put in its place since.
    platform::DirEntry self;
    if (!frame.reader.statFolder(self) || self.device != identity.device ||
        self.inode != identity.inode) {
        keep(path, FileRemover::replacedFileText(), parent, platform::RemoveCode::ReplacedFile);
        return false;
    }
    platform::DirNames names;
    QByteArray entry;
    platform::NameType type;
    names.start(frame.reader.fd());
    while (names.next(entry, type)) {
        frame.names.append(entry);
    }
    if (names.error() != 0) {
        keep(path, platform::errnoText(names.error()), parent);
        return false;
    }
    frame.record = qsizetype(records_.size());
    frame.held.fd = frame.reader.fd();
    frame.held.parentFd = parent >= 0 ? stack_.back().reader.fd() : rootParent_.get();
    frame.held.name = parent >= 0 ? name : platform::nameOfPath(path);
    frame.held.device = identity.device;
    frame.held.inode = identity.inode;
    frame.held.path = path;
    const bool hidden =
        parent >= 0 && (records_[size_t(parent)].hidden || frame.held.name.startsWith('.'));
    records_.push_back({path, identity, parent, false, hidden});
    stack_.push_back(std::move(frame));
    return true;
}

void FolderCleaner::removeFolder(FolderRecord& rec, const platform::HeldFolder* parent) {
    if (rec.keepsSomething) {
        markKeeps(rec.parent);
        return;
    }
    if (hooks_.checked) {
        hooks_.checked(rec.path);
    }
    QString reason;
    const bool removed = parent ? remover_.removeFolderAt(*parent, platform::nameOfPath(rec.path),
                                                          rec.identity, &reason)
                                : remover_.removeFolder(rec.path, rec.identity, &reason);
    if (removed) {
        ++s_.foldersRemoved;
        if (rec.parent < 0) {
            s_.folderRemoved = true;
        }
    } else {
        keep(rec.path, reason, rec.parent, remover_.lastCode());
    }
}

void FolderCleaner::leave() {
    const qsizetype record = stack_.back().record;
    stack_.pop_back();
    leftInOrder_.push_back(record);
    // Archive runs remove folders once their files are archived and deleted.
    if (settings_.mode != FolderCleanMode::Zip) {
        removeFolder(records_[size_t(record)], stack_.empty() ? nullptr : &stack_.back().held);
    }
}

bool FolderCleaner::answersYes(const QByteArray& path, const EntryFacts& facts, qsizetype record) {
    const bool isRegular = S_ISREG(facts.mode);
    const QByteArray name = platform::nameOfPath(path);
    // A file in a hidden folder is out of sight as much as a hidden file is.
    const bool hidden = name.startsWith('.') || records_[size_t(record)].hidden;
    const struct {
        FileAttribute attribute;
        bool has;
        const char* text;
    } questions[] = {
        {FileAttribute::ReadOnly, (facts.mode & S_IWUSR) == 0, "it is read-only"},
        {FileAttribute::Hidden, hidden, "it is hidden"},
        {FileAttribute::System, !isRegular, "it is a system file"},
    };
    for (const auto& q : questions) {
        if (!q.has) {
            continue;
        }
        const AttributeAnswer answer =
            hooks_.ask ? hooks_.ask(q.attribute, path) : AttributeAnswer::Keep;
        if (answer == AttributeAnswer::Yes) {
            continue;
        }
        if (answer == AttributeAnswer::Stop) {
            s_.aborted = true;
            s_.stoppedAt = path;
            markKeeps(record);
        } else {
            keep(path, QString::fromLatin1(q.text), record);
        }
        return false;
    }
    return true;
}

void FolderCleaner::takeFile(const Frame& frame, const QByteArray& name, const QByteArray& path,
                             const EntryFacts& facts) {
    const qsizetype record = frame.record;
    if (removes() && !answersYes(path, facts, record)) {
        return;
    }
    if (hooks_.starting) {
        hooks_.starting(path, taken_);
    }
    ++taken_;
    // The names the file had when it was met: one of them outside the tree keeps its
    // bytes on the disk, and two inside it free them once.
    freed_.seen(facts.identity, facts.links);
    if (hooks_.checked) {
        hooks_.checked(path);
    }
    const platform::FreedBlocks blocks = settings_.mode == FolderCleanMode::Zip
                                             ? platform::FreedBlocks{}
                                             : freed_.measureAt(frame.held.fd, name);
    QString reason;
    switch (settings_.mode) {
        case FolderCleanMode::Delete: {
            if (remover_.removeAt(frame.held, name, facts.identity, &reason)) {
                ++s_.doneCount;
                s_.doneBytes += freed_.gone(facts.identity, blocks);
            } else {
                keep(path, reason, record, remover_.lastCode(), KeptStep::DeleteFile);
            }
            return;
        }
        case FolderCleanMode::Trash:
            if (remover_.trashAt(frame.held, name, facts.identity, &reason)) {
                ++s_.doneCount;
                s_.doneBytes += freed_.gone(facts.identity, blocks);
                return;
            }
            keep(path, reason, record, remover_.lastCode());
            if (!trashRunGoesOnAfter(remover_.lastCode())) {
                s_.stopped = true;
                s_.error = reason;
                s_.errorCode = remover_.lastCode();
            }
            return;
        case FolderCleanMode::Zip: {
            zipIdentities_.push_back(facts.identity);
            zipFolders_.push_back(record);
            const qint64 tag = qint64(zipIdentities_.size()) - 1;
            const ZipRun::AddStatus status = zip_->addFile(path, tag);
            if (status == ZipRun::AddStatus::Stopped || zip_->stopped()) {
                s_.aborted = true;
            } else if (status == ZipRun::AddStatus::Ended) {
                s_.stopped = true;
                s_.error = zip_->error();
            }
            return;
        }
    }
}

void FolderCleaner::zipDone(const ZipFileResult& z) {
    const size_t tag = size_t(z.tag);
    const qsizetype record = zipFolders_[tag];
    if (!z.archived) {
        if (z.code == ZipFileCode::Aborted) {
            markKeeps(record);
        } else {
            keep(z.path, z.reason, record, platform::RemoveCode::None, KeptStep::Archive);
        }
        return;
    }
    ++s_.archivedCount;
    s_.archivedBytes += z.size;
    if (!settings_.deleteAfterZip) {
        return;
    }
    QString reason;
    const platform::FreedBlocks blocks = freed_.measure(z.path);
    if (remover_.remove(z.path, &reason, &zipIdentities_[tag])) {
        ++s_.doneCount;
        s_.doneBytes += freed_.gone(zipIdentities_[tag], blocks);
    } else {
        keep(z.path, reason, record, remover_.lastCode(), KeptStep::DeleteFile);
    }
}

std::optional<FileIdentity> FolderCleaner::acceptRoot(const QByteArray& folder) {
    const auto refuse = [this](const QString& reason) -> std::optional<FileIdentity> {
        s_.refused = true;
        s_.refusal = reason;
        s_.refusalCode = remover_.lastCode();
        return std::nullopt;
    };
    QString reason;
    const std::optional<FileIdentity> root = remover_.inspectFolder(folder, &reason);
    if (!root) {
        return refuse(reason);
    }
    if (settings_.harbor) {
        int code = SafeHarbor::kNotProtected;
        if (settings_.harbor->isInSafeHarbor(folder, false, code) &&
            code == SafeHarbor::kReasonSystemFolder) {
            return refuse(harborText(code));
        }
    }
    const auto liesInTree = [&folder](const QByteArray& place) {
        const QByteArray tree = platform::shortPath(folder);
        return place == tree || place.startsWith(tree + platform::kSep);
    };
    // Files trashed into the tree would be met again further on.
    if (settings_.mode == FolderCleanMode::Trash &&
        liesInTree(platform::shortPath(platform::homeTrashFolder()))) {
        return refuse(QStringLiteral("the trash lies inside it"));
    }
    // The archive and its spool must not lie in the tree the run reads and removes.
    if (settings_.mode == FolderCleanMode::Zip &&
        liesInTree(platform::shortPath(
            QFile::encodeName(archiveFolderOrDefault(settings_.zip.zipFolder))))) {
        return refuse(QStringLiteral("the archive folder lies inside it"));
    }
    return root;
}

void FolderCleaner::openArchiveRun() {
    ZipRunSettings zs = settings_.zip;
    zs.openOriginal = [this](const QByteArray& path, qint64 tag, QString* why) {
        return remover_.openForReading(path, zipIdentities_[size_t(tag)], why);
    };
    ZipRunHooks zh;
    zh.progress = [this](int percent) {
        if (hooks_.progress) {
            hooks_.progress(percent);
        }
        return abortNow();
    };
    zh.fileDone = [this](const ZipFileResult& z) { zipDone(z); };
    zip_ = std::make_unique<ZipRun>(std::move(zs), std::move(zh));
}

void FolderCleaner::walk() {
    while (!stack_.empty() && !s_.aborted && !s_.stopped) {
        Frame& frame = stack_.back();
        if (frame.next >= frame.names.size()) {
            leave();
            continue;
        }
        if (abortNow()) {
            break;
        }
        const QByteArray name = frame.names[frame.next++];
        visit(frame, name);
    }
    if (s_.aborted || s_.stopped) {
        // The folders still open keep what the stop left untried.
        for (const Frame& frame : stack_) {
            markKeeps(frame.record);
        }
    }
}

void FolderCleaner::visit(const Frame& frame, const QByteArray& name) {
    const qsizetype record = frame.record;
    const FolderRecord& rec = records_[size_t(record)];
    const QByteArray path = platform::joinPath(rec.path, name);
    int error = 0;
    const std::optional<EntryFacts> facts = platform::examineAt(
        frame.reader.fd(), name, rec.identity.device, rec.identity.inode, &error);
    if (!facts) {
        // Gone since the folder was read: nothing to do for it.
        if (error != ENOENT) {
            keep(path, platform::errnoText(error), record);
        }
        return;
    }
    if (!facts->isFolder) {
        takeFile(frame, name, path, *facts);
        return;
    }
    if (facts->isMountRoot) {
        s_.mountPoints.append(path);
        keep(path, QStringLiteral("it is a mount point"), record, platform::RemoveCode::MountPoint);
        return;
    }
    if (remover_.isTrashFolder(rec.path, name)) {
        keep(path, FileRemover::inTrashText(), record, platform::RemoveCode::InTrash);
        return;
    }
    // The frame may move when the stack grows: nothing of it is used after this.
    enter(path, facts->identity, record, frame.reader.fd(), name);
}

void FolderCleaner::finishArchiveRun() {
    if (!zip_->finish() && !s_.stopped) {
        s_.stopped = true;
        s_.error = zip_->error();
    }
    s_.archives = zip_->archives();
    s_.archivesOnDisk = zip_->archivesOnDisk();
    if (settings_.deleteAfterZip) {
        for (qsizetype record : leftInOrder_) {
            removeFolder(records_[size_t(record)]);
        }
    }
}

FolderCleanSummary FolderCleaner::run(const QByteArray& given) {
    const QByteArray folder = withoutTrailingSeparators(given);
    const std::optional<FileIdentity> root = acceptRoot(folder);
    if (!root) {
        return s_;
    }
    if (settings_.mode == FolderCleanMode::Zip) {
        openArchiveRun();
    }
    if (settings_.harbor && systemFolderListedBelow(*settings_.harbor, folder)) {
        harborBelow_ = settings_.harbor;
    }
    // Checked free of links on its way just before, by acceptRoot.
    rootParent_.reset(
        ::open(platform::folderOfPath(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!enter(folder, *root, -1, -1, QByteArray())) {
        // The folder itself could not be read: nothing in it was touched.
        s_.refused = true;
        s_.refusal = s_.kept.isEmpty() ? QString() : s_.kept.first().reason;
        s_.kept.clear();
        return s_;
    }
    walk();
    if (zip_) {
        finishArchiveRun();
    }
    s_.doneBytesExact = freed_.exact();
    return s_;
}

}  // namespace

FolderCleanSummary cleanFolder(const QByteArray& folder, const FolderCleanSettings& settings,
                               const FolderCleanHooks& hooks) {
    FolderCleaner cleaner(settings, hooks);
    return cleaner.run(folder);
}

int treeSafeHarborReason(const SafeHarbor& harbor, const QByteArray& folder) {
    int reason = SafeHarbor::kNotProtected;
    if (harbor.isInSafeHarbor(folder, false, reason)) {
        return reason;
    }
    // The lists hold normalised folders ending with "/" (subtree entries with "*.*"
    // after it); one that begins with the folder's own form lies below it.
    const QByteArray prefix =
        SafeHarbor::shortFolderName(withoutTrailingSeparators(folder)).toLower();
    for (const QList<QByteArray>* list :
         {&harbor.lbWindows(), &harbor.lbSearchPath(), &harbor.lb1()}) {
        for (const QByteArray& entry : *list) {
            if (entry.size() > prefix.size() && entry.startsWith(prefix)) {
                const QByteArray below = platform::folderOfPath(entry + "x");
                if (harbor.isInSafeHarbor(below, false, reason)) {
                    return reason;
                }
            }
        }
    }
    return SafeHarbor::kNotProtected;
}

platform::RemoveCode folderRefusalCode(const QByteArray& folder, QString* text) {
    FileRemover remover;
    remover.inspectFolder(withoutTrailingSeparators(folder), text);
    return remover.lastCode();
}

QString folderRefusal(const QByteArray& folder) {
    QString text;
    return folderRefusalCode(folder, &text) == platform::RemoveCode::None ? QString() : text;
}

}  // namespace dw
