#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

#include "platform/block_usage.h"
#include "safety/clean_run.h"
#include "safety/freed_bytes.h"
#include "safety/zip_run.h"

namespace dw {

class SafeHarbor;

// The marked files on their way out, behind the deletion panel and `diskwell-cli clean`:
// which files a run acts on and which the Safe Harbor protects, what the check of each
// file to act on found, and the bytes acting on them would free. Windows and the command
// line show the plan and call it; the rules live here.
//
// A plan starts with every file on the side to act on, unchecked. split() reads what
// each file is on the disk (once: the savings then follow every move without touching
// the disk again), puts the files the Safe Harbor protects on the protected side, and
// checks each file left to act on (platform::FileRemover::inspect). A file moved to the
// side to act on later is checked when it arrives; a file keeps its first check however
// often it moves. The runs act on a file only while it is still what its check found.
//
// Both sides are sorted by the plan's order and hold each path once. QtCore only; not
// thread-safe.
class DeletionPlan {
public:
    // How the two sides are sorted: a strict total order on paths.
    using Order = std::function<bool(const QByteArray& a, const QByteArray& b)>;

    // `order` unset: byte order.
    explicit DeletionPlan(Order order = {});

    // Starts over with `files` (absolute native paths; a path given twice is one file),
    // all on the side to act on, none read or checked, none protected.
    void setFiles(const QList<QByteArray>& files);

    // The number of steps split() counts through: two a file (the read, the Safe Harbor
    // question with the check).
    qsizetype splitSteps() const { return 2 * toActOn_.size(); }

    // Reads every file of the side to act on as it is now (size, identity and number of
    // names; a file that is gone reads as 0 bytes), asks `harbor` about each (as a file)
    // and moves the protected ones to the protected side with the Safe Harbor's reason,
    // and checks the files left to act on. Meant once, right after setFiles. `yield`,
    // when set, is called after each step with the number of steps done so far, so a
    // window can show progress and keep its events running.
    void split(const SafeHarbor& harbor, const std::function<void(qsizetype done)>& yield = {});

    const QList<QByteArray>& toActOn() const { return toActOn_; }
    const QList<QByteArray>& protectedFiles() const { return protected_; }

    // The Safe Harbor's reason code (1 to 4, SafeHarbor's) of a file split() protected;
    // SafeHarbor::kNotProtected (0) for any other file, also one moved there by hand.
    int harborReason(const QByteArray& path) const { return harborReasons_.value(path, 0); }

    // Moves `paths` from the side to act on to the protected side (protect) or back
    // (actOn); a path not on the side it is moved from is ignored. A file that arrives on
    // the side to act on without a check is checked now.
    void protect(const QList<QByteArray>& paths);
    void actOn(const QList<QByteArray>& paths);

    // The bytes the disk gets back once the file at `path` is gone with every one of its
    // names, as split() read it: its allocated blocks less those it shares with other
    // files (platform::BlockUsage); 0 for a file that was gone then, or that split()
    // never read.
    qint64 bytesFreedBy(const QByteArray& path) const;

    // Whether bytesFreedBy(path) is exact; false where the file's volume may share
    // blocks but would not say which: the figure is then an upper bound.
    bool bytesFreedExact(const QByteArray& path) const;

    // The potential savings: bytesFreedBy() of the files to act on, where a file of
    // several names (hard links) counts once, and only while every one of its names is
    // on the side to act on (acting on some of its names frees nothing; FreedBytes).
    qint64 savings() const { return savingsFigure().bytes; }

    // False when a file counted in savings() has an upper bound for a figure: the
    // savings are then "at most" that.
    bool savingsExact() const { return savingsFigure().exact; }

    // Both at once, in one pass over the files: what a window shows.
    platform::FreedBlocks savingsFigure() const;

    // The files to act on, in their order, with what their checks found; a file without
    // a check carries the reason "it was not checked" and is never acted on.
    SafeHarborSplit checked() const;

    // The runs of clean_run.h over checked(): delete, send to the trash, store in
    // archives (with `settings`) and delete. The plan itself is left as it is.
    CleanRunSummary deleteFiles(const CleanRunHooks& hooks = {}) const;
    CleanRunSummary trashFiles(const CleanRunHooks& hooks = {}) const;
    CleanRunSummary zipFiles(ZipRunSettings settings, const CleanRunHooks& hooks = {}) const;

private:
    // What split() read of one file.
    struct OnDisk {
        platform::FileIdentity identity;  // device and inode only
        platform::FreedBlocks freed;
        quint32 links = 1;
    };
    // What the check of one file found: the identity, or why it cannot be acted on.
    struct Check {
        std::optional<platform::FileIdentity> identity;
        QString reason;
        platform::RemoveCode code = platform::RemoveCode::None;
    };

    void sortSide(QList<QByteArray>& side) const;
    // Moves the paths of `moving` found in `from` to `to`, each side staying sorted.
    void move(QList<QByteArray>& from, QList<QByteArray>& to, const QList<QByteArray>& moving);
    void checkNewArrivals();

    Order order_;
    QList<QByteArray> toActOn_;
    QList<QByteArray> protected_;
    QHash<QByteArray, int> harborReasons_;
    QHash<QByteArray, OnDisk> onDisk_;
    QHash<QByteArray, Check> checks_;
};

}  // namespace dw
