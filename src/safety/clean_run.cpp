#include "safety/clean_run.h"

#include <QHash>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/dir_reader.h"
#include "platform/file_remover.h"
#include "platform/trash.h"
#include "safety/freed_bytes.h"
#include "safety/safe_harbor.h"
#include "safety/trash_rule.h"

namespace dw {

namespace {

QString abortedText() {
    return QStringLiteral("The run was aborted");
}

void report(const CleanRunHooks& hooks, const CleanFileResult& result) {
    if (hooks.fileDone) {
        hooks.fileDone(result);
    }
}

void reportNotDone(const CleanRunHooks& hooks, const QByteArray& path, qsizetype index,
                   const QString& reason, bool aborted = false) {
    CleanFileResult r;
    r.path = path;
    r.index = index;
    r.reason = reason;
    r.aborted = aborted;
    report(hooks, r);
}

}  // namespace

SafeHarborSplit splitBySafeHarbor(const QList<QByteArray>& files, const SafeHarbor& harbor,
                                  const std::function<void(qsizetype done)>& yield) {
    QList<QByteArray> sorted = files;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    SafeHarborSplit split;
    split.deletable.reserve(sorted.size());
    platform::FileRemover remover;
    for (qsizetype i = 0; i < sorted.size(); ++i) {
        int reason = SafeHarbor::kNotProtected;
        if (harbor.isInSafeHarbor(sorted[i], true, reason)) {
            split.protectedFiles.append(sorted[i]);
            split.reasons.append(reason);
        } else {
            split.deletable.append(sorted[i]);
            QString why;
            split.identities.push_back(remover.inspect(sorted[i], &why));
            split.checkReasons.append(why);
            split.checkCodes.append(remover.lastCode());
        }
        if (yield) {
            yield(i + 1);
        }
    }
    return split;
}

namespace {

// The check of every file before any is acted on: what each file is now, or why it
// cannot be acted on.
struct CheckedFiles {
    std::vector<std::optional<platform::FileIdentity>> identities;
    QList<QString> reasons;
    QList<platform::RemoveCode> codes;
};

CheckedFiles checkAll(const QList<QByteArray>& files) {
    platform::FileRemover remover;
    CheckedFiles checked;
    checked.identities.resize(size_t(files.size()));
    checked.reasons.resize(files.size());
    checked.codes.resize(files.size());
    for (qsizetype i = 0; i < files.size(); ++i) {
        checked.identities[size_t(i)] = remover.inspect(files[i], &checked.reasons[i]);
        checked.codes[i] = remover.lastCode();
    }
    return checked;
}

CheckedFiles checkedBy(const SafeHarborSplit& split) {
    CheckedFiles checked{split.identities, split.checkReasons, split.checkCodes};
    // A split made by hand may carry no checks: those files are checked now.
    const qsizetype n = split.deletable.size();
    if (checked.identities.size() != size_t(n) || checked.reasons.size() != n ||
        checked.codes.size() != n) {
        return checkAll(split.deletable);
    }
    return checked;
}

// What a delete or trash run does to one checked file: true when it is done, with
// `size` set to the bytes it had; false with `reason` set (the remover's last code
// tells why).
using FileAct =
    std::function<bool(platform::FileRemover& remover, const QByteArray& path,
                       const platform::FileIdentity& expected, QString* reason, qint64* size)>;

// The one loop of delete and trash runs: every file in order, each acted on by `act`
// only while it is still the checked file. With `stopsOnFailure`, a failure the trash
// rule does not let pass stops the run and the files after it are reported not tried.
CleanRunSummary actOnChecked(const QList<QByteArray>& files, const CheckedFiles& checked,
                             const CleanRunHooks& hooks, const FileAct& act, bool stopsOnFailure) {
    CleanRunSummary summary;
    summary.files = files.size();
    platform::FileRemover remover;
    FreedBytes freed;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QByteArray& path = files[i];
        if (summary.stopped) {
            reportNotDone(hooks, path, i,
                          QStringLiteral("not tried: the run stopped at an earlier failure"));
            continue;
        }
        if (hooks.starting) {
            hooks.starting(i, path);
        }
        CleanFileResult r;
        r.path = path;
        r.index = i;
        const auto& expected = checked.identities[size_t(i)];
        if (!expected) {
            r.reason = checked.reasons[i];
            r.code = checked.codes[i];
        } else {
            if (hooks.checked) {
                hooks.checked(i, path);
            }
            freed.before(path, *expected);
            const platform::FreedBlocks blocks = freed.measure(path);
            qint64 size = 0;
            if (act(remover, path, *expected, &r.reason, &size)) {
                r.done = true;
                r.size = size;
                ++summary.doneCount;
                summary.doneSize += size;
                summary.doneBytes += freed.gone(*expected, blocks);
            } else {
                r.code = remover.lastCode();
            }
        }
        if (!r.done && stopsOnFailure && !trashRunGoesOnAfter(r.code)) {
            summary.stopped = true;
        }
        report(hooks, r);
    }
    summary.doneBytesExact = freed.exact();
    return summary;
}

CleanRunSummary deleteChecked(const QList<QByteArray>& files, const CheckedFiles& checked,
                              const CleanRunHooks& hooks) {
    const FileAct remove = [](platform::FileRemover& remover, const QByteArray& path,
                              const platform::FileIdentity& expected, QString* reason,
                              qint64* size) {
        platform::FileIdentity removed;
        if (!remover.remove(path, reason, &expected, &removed)) {
            return false;
        }
        *size = removed.size;
        return true;
    };
    return actOnChecked(files, checked, hooks, remove, false);
}

CleanRunSummary trashChecked(const QList<QByteArray>& files, const CheckedFiles& checked,
                             const CleanRunHooks& hooks) {
    const FileAct trash = [](platform::FileRemover& remover, const QByteArray& path,
                             const platform::FileIdentity& expected, QString* reason,
                             qint64* size) {
        if (!remover.trash(path, expected, reason)) {
            return false;
        }
        *size = expected.size;
        return true;
    };
    return actOnChecked(files, checked, hooks, trash, true);
}

CleanRunSummary zipChecked(const QList<QByteArray>& files, const CheckedFiles& checked,
                           ZipRunSettings settings, const CleanRunHooks& hooks) {
    CleanRunSummary summary;
    summary.files = files.size();
    platform::FileRemover remover;
    FreedBytes freed;
    // What each file was at the check: it is read into its archive, read back, and its
    // original deleted only while it is still that file.
    const auto& identities = checked.identities;

    // The file being handed to the archive: the one an abort abandons.
    qsizetype adding = -1;
    // Why the remover would not open a file for the archive, by its place.
    QHash<qint64, platform::RemoveCode> openCodes;

    ZipRunHooks zipHooks;
    zipHooks.progress = [&](int percent) {
        if (!summary.aborted && hooks.progress && hooks.progress(percent)) {
            summary.aborted = true;
        }
        return summary.aborted;
    };
    zipHooks.fileDone = [&](const ZipFileResult& z) {
        CleanFileResult r;
        r.path = z.path;
        r.index = qsizetype(z.tag);
        r.archive = z.archive;
        if (!z.archived) {
            r.reason = z.reason;
            r.code = openCodes.value(z.tag, platform::RemoveCode::None);
            r.aborted = summary.aborted && r.index == adding;
            report(hooks, r);
            return;
        }
        r.archived = true;
        r.size = z.size;
        ++summary.archivedCount;
        summary.archivedBytes += z.size;
        const auto& expected = identities[size_t(z.tag)];
        platform::FreedBlocks blocks;
        if (expected) {
            freed.before(z.path, *expected);
            blocks = freed.measure(z.path);
        }
        if (expected && remover.remove(z.path, &r.reason, &*expected)) {
            r.done = true;
            ++summary.doneCount;
            summary.doneSize += z.size;
            summary.doneBytes += freed.gone(*expected, blocks);
        } else if (expected) {
            r.code = remover.lastCode();
        }
        report(hooks, r);
    };
    settings.openOriginal = [&](const QByteArray& path, qint64 tag, QString* reason) {
        const auto& expected = identities[size_t(tag)];
        if (!expected) {
            *reason = checked.reasons[tag];
            return platform::UniqueFd();
        }
        platform::UniqueFd fd = remover.openForReading(path, *expected, reason);
        if (!fd) {
            openCodes.insert(tag, remover.lastCode());
        }
        return fd;
    };

    ZipRun run(std::move(settings), zipHooks);
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QByteArray& path = files[i];
        if (summary.aborted || run.stopped()) {
            summary.aborted = true;
            reportNotDone(hooks, path, i, abortedText(), true);
            continue;
        }
        if (run.ended()) {
            reportNotDone(hooks, path, i, run.error());
            continue;
        }
        if (hooks.starting) {
            hooks.starting(i, path);
        }
        if (!identities[size_t(i)]) {
            CleanFileResult r;
            r.path = path;
            r.index = i;
            r.reason = checked.reasons[i];
            r.code = checked.codes[i];
            report(hooks, r);
            continue;
        }
        if (hooks.checked) {
            hooks.checked(i, path);
        }
        adding = i;
        run.addFile(path, i);
        adding = -1;
    }
    run.finish();
    summary.ended = run.ended();
    summary.error = run.error();
    summary.archives = run.archives();
    summary.archivesOnDisk = run.archivesOnDisk();
    summary.doneBytesExact = freed.exact();
    return summary;
}

}  // namespace

CleanRunSummary deleteFiles(const QList<QByteArray>& files, const CleanRunHooks& hooks) {
    return deleteChecked(files, checkAll(files), hooks);
}

CleanRunSummary trashFiles(const QList<QByteArray>& files, const CleanRunHooks& hooks) {
    return trashChecked(files, checkAll(files), hooks);
}

CleanRunSummary zipFiles(const QList<QByteArray>& files, ZipRunSettings settings,
                         const CleanRunHooks& hooks) {
    return zipChecked(files, checkAll(files), std::move(settings), hooks);
}

CleanRunSummary deleteFiles(const SafeHarborSplit& split, const CleanRunHooks& hooks) {
    return deleteChecked(split.deletable, checkedBy(split), hooks);
}

CleanRunSummary trashFiles(const SafeHarborSplit& split, const CleanRunHooks& hooks) {
    return trashChecked(split.deletable, checkedBy(split), hooks);
}

CleanRunSummary zipFiles(const SafeHarborSplit& split, ZipRunSettings settings,
                         const CleanRunHooks& hooks) {
    return zipChecked(split.deletable, checkedBy(split), std::move(settings), hooks);
}

}  // namespace dw
