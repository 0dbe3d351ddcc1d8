#include "safety/clean_run.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/file_remover.h"
#include "platform/trash.h"
#include "safety/safe_harbor.h"

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
    for (qsizetype i = 0; i < sorted.size(); ++i) {
        int reason = SafeHarbor::kNotProtected;
        if (harbor.isInSafeHarbor(sorted[i], true, reason)) {
            split.protectedFiles.append(sorted[i]);
            split.reasons.append(reason);
        } else {
            split.deletable.append(sorted[i]);
        }
        if (yield) {
            yield(i + 1);
        }
    }
    return split;
}

CleanRunSummary deleteFiles(const QList<QByteArray>& files, const CleanRunHooks& hooks) {
    CleanRunSummary summary;
    summary.files = files.size();
    platform::FileRemover remover;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QByteArray& path = files[i];
        if (hooks.starting) {
            hooks.starting(i, path);
        }
        CleanFileResult r;
        r.path = path;
        r.index = i;
        platform::FileIdentity removed;
        if (remover.remove(path, &r.reason, nullptr, &removed)) {
            r.done = true;
            r.size = removed.size;
            ++summary.doneCount;
            summary.doneBytes += removed.size;
        }
        report(hooks, r);
    }
    return summary;
}

CleanRunSummary trashFiles(const QList<QByteArray>& files, const CleanRunHooks& hooks) {
    CleanRunSummary summary;
    summary.files = files.size();
    platform::FileRemover remover;
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
        // The trash moves the file by its path: the same checks as a deletion first,
        // so nothing is trashed through a link in its folders, and no mount point.
        const std::optional<platform::FileIdentity> found = remover.inspect(path, &r.reason);
        if (found && platform::moveToTrash(path, &r.reason)) {
            r.done = true;
            r.size = found->size;
            ++summary.doneCount;
            summary.doneBytes += found->size;
        } else {
            summary.stopped = true;
        }
        report(hooks, r);
    }
    return summary;
}

CleanRunSummary zipFiles(const QList<QByteArray>& files, ZipRunSettings settings,
                         const CleanRunHooks& hooks) {
    CleanRunSummary summary;
    summary.files = files.size();
    platform::FileRemover remover;
    // What each file was when it was handed to the archive: its original goes only if
    // it is still that file once its copy is safely on disk.
    std::vector<std::optional<platform::FileIdentity>> identities(size_t(files.size()));

    // The file being handed to the archive: the one an abort abandons.
    qsizetype adding = -1;

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
            r.aborted = summary.aborted && r.index == adding;
            report(hooks, r);
            return;
        }
        r.archived = true;
        r.size = z.size;
        ++summary.archivedCount;
        summary.archivedBytes += z.size;
        const auto& expected = identities[size_t(z.tag)];
        if (expected && remover.remove(z.path, &r.reason, &*expected)) {
            r.done = true;
            ++summary.doneCount;
            summary.doneBytes += z.size;
        }
        report(hooks, r);
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
        QString reason;
        identities[size_t(i)] = remover.inspect(path, &reason);
        if (!identities[size_t(i)]) {
            reportNotDone(hooks, path, i, reason);
            continue;
        }
        adding = i;
        run.addFile(path, i);
        adding = -1;
    }
    run.finish();
    summary.ended = run.ended();
    summary.error = run.error();
    summary.archives = run.archives();
    return summary;
}

}  // namespace dw
