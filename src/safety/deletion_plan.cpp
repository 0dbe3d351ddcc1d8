#include "safety/deletion_plan.h"

#include <QSet>

#include <algorithm>
#include <utility>

#include "platform/dir_reader.h"
#include "safety/safe_harbor.h"

namespace dw {

DeletionPlan::DeletionPlan(Order order) : order_(std::move(order)) {}

void DeletionPlan::sortSide(QList<QByteArray>& side) const {
    if (order_) {
        std::sort(side.begin(), side.end(), order_);
    } else {
        std::sort(side.begin(), side.end());
    }
}

void DeletionPlan::setFiles(const QList<QByteArray>& files) {
    toActOn_ = files;
    sortSide(toActOn_);
    // One path is one file: marked twice, it is still acted on once.
    toActOn_.erase(std::unique(toActOn_.begin(), toActOn_.end()), toActOn_.end());
    protected_.clear();
    harborReasons_.clear();
    onDisk_.clear();
    checks_.clear();
}

void DeletionPlan::split(const SafeHarbor& harbor,
                         const std::function<void(qsizetype done)>& yield) {
    const QList<QByteArray> files = toActOn_;
    onDisk_.reserve(files.size());
    platform::BlockUsage usage;
    for (qsizetype i = 0; i < files.size(); ++i) {
        OnDisk d;
        if (const std::optional<platform::DirEntry> e = platform::statPath(files[i])) {
            d.identity.device = e->device;
            d.identity.inode = e->inode;
            // A folder is never removed by a run: it frees nothing.
            d.freed = e->isFolder() ? platform::FreedBlocks{} : usage.freedIfGone(files[i], *e);
            d.links = std::max<quint32>(e->links, 1);
        }
        onDisk_.insert(files[i], d);
        if (yield) {
            yield(i + 1);
        }
    }
    const SafeHarborSplit split = splitBySafeHarbor(files, harbor, [&](qsizetype done) {
        if (yield) {
            yield(files.size() + done);
        }
    });
    for (qsizetype i = 0; i < split.protectedFiles.size(); ++i) {
        harborReasons_.insert(split.protectedFiles[i], split.reasons.value(i));
    }
    for (qsizetype i = 0; i < split.deletable.size(); ++i) {
        checks_.insert(split.deletable[i],
                       Check{split.identities.at(size_t(i)), split.checkReasons.value(i),
                             split.checkCodes.value(i)});
    }
    toActOn_ = split.deletable;
    sortSide(toActOn_);
    protected_ = split.protectedFiles;
    sortSide(protected_);
}

void DeletionPlan::move(QList<QByteArray>& from, QList<QByteArray>& to,
                        const QList<QByteArray>& moving) {
    const QSet<QByteArray> wanted(moving.begin(), moving.end());
    QList<QByteArray> stay;
    stay.reserve(from.size());
    for (const QByteArray& path : std::as_const(from)) {
        (wanted.contains(path) ? to : stay).append(path);
    }
    from = std::move(stay);
    sortSide(to);
}

void DeletionPlan::protect(const QList<QByteArray>& paths) {
    move(toActOn_, protected_, paths);
}

void DeletionPlan::actOn(const QList<QByteArray>& paths) {
    move(protected_, toActOn_, paths);
    checkNewArrivals();
}

void DeletionPlan::checkNewArrivals() {
    // A file moved over by hand is checked the moment it arrives, as the split checked
    // the others.
    platform::FileRemover remover;
    for (const QByteArray& path : std::as_const(toActOn_)) {
        if (!checks_.contains(path)) {
            Check check;
            check.identity = remover.inspect(path, &check.reason);
            check.code = remover.lastCode();
            checks_.insert(path, check);
        }
    }
}

qint64 DeletionPlan::bytesFreedBy(const QByteArray& path) const {
    return onDisk_.value(path).freed.bytes;
}

bool DeletionPlan::bytesFreedExact(const QByteArray& path) const {
    return onDisk_.value(path).freed.exact;
}

platform::FreedBlocks DeletionPlan::savingsFigure() const {
    FreedBytes freed;
    for (const QByteArray& path : toActOn_) {
        const OnDisk d = onDisk_.value(path);
        freed.seen(d.identity, d.links);
    }
    qint64 total = 0;
    for (const QByteArray& path : toActOn_) {
        const OnDisk d = onDisk_.value(path);
        total += freed.gone(d.identity, d.freed);
    }
    return platform::FreedBlocks{total, freed.exact()};
}

SafeHarborSplit DeletionPlan::checked() const {
    SafeHarborSplit list;
    list.deletable = toActOn_;
    list.identities.reserve(size_t(toActOn_.size()));
    for (const QByteArray& path : toActOn_) {
        const auto found = checks_.constFind(path);
        if (found != checks_.constEnd()) {
            list.identities.push_back(found->identity);
            list.checkReasons.append(found->reason);
            list.checkCodes.append(found->code);
        } else {
            list.identities.push_back(std::nullopt);
            list.checkReasons.append(QStringLiteral("it was not checked"));
            list.checkCodes.append(platform::RemoveCode::None);
        }
    }
    return list;
}

CleanRunSummary DeletionPlan::deleteFiles(const CleanRunHooks& hooks) const {
    return dw::deleteFiles(checked(), hooks);
}

CleanRunSummary DeletionPlan::trashFiles(const CleanRunHooks& hooks) const {
    return dw::trashFiles(checked(), hooks);
}

CleanRunSummary DeletionPlan::zipFiles(ZipRunSettings settings, const CleanRunHooks& hooks) const {
    return dw::zipFiles(checked(), std::move(settings), hooks);
}

}  // namespace dw
