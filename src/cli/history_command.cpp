#include "cli/history_command.h"

#include <QDateTime>
#include <QFile>

#include <optional>

#include "base/tsv_text.h"
#include "cli/cli_options.h"
#include "cli/cli_support.h"
#include "finders/folder_hog_history.h"
#include "platform/environment.h"
#include "platform/volumes.h"
#include "scan/scan_growth.h"
#include "scan/scan_history.h"

namespace dw::cli {

namespace {

QString optionsText(FolderHogMode mode) {
    return mode == FolderHogMode::Main ? QStringLiteral("main") : QStringLiteral("all");
}

// Opens the history and says on `err` what went wrong, once. False when it is not open
// afterwards (a file moved aside leaves a new, open one).
bool openHistory(ScanHistory& history, const char* command, QTextStream& err) {
    const HistoryStatus status = history.open();
    if (status != HistoryStatus::Ok) {
        err << kProgramName << ' ' << command << ": " << history.errorText() << '\n';
        err.flush();
    }
    return history.isOpen();
}

QByteArray signedNumber(qint64 n) {
    return n > 0 ? "+" + QByteArray::number(n) : QByteArray::number(n);
}

void writeLine(QTextStream& out, const QList<QByteArray>& cells) {
    out << QString::fromUtf8(TsvLine(cells)) << '\n';
}

}  // namespace

bool recordFolderScans(const QList<QByteArray>& roots, FolderHogMode mode,
                       const FolderHogResult& result, QTextStream& err) {
    const HistorySettings settings = readHistorySettings();
    if (!settings.record) {
        err << kProgramName << " folders: the scan history is turned off; nothing recorded."
            << '\n';
        err.flush();
        return true;
    }
    ScanHistory history(ScanHistory::defaultFile());
    if (!openHistory(history, "folders", err)) {
        return false;
    }
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (const QByteArray& root : roots) {
        HistoryScan scan;
        scan.root = root;
        if (const std::optional<platform::Volume> v = platform::mountOf(root)) {
            scan.volume = v->mountPoint;
        }
        scan.time = now;
        scan.options = optionsText(mode);
        const QList<HistoryFolder> folders = folderHogHistoryRows(result.rows, root);
        // A folder that could not be opened would read as one whose folders are all gone.
        if (folders.isEmpty() && result.unopened > 0) {
            continue;
        }
        if (!history.record(scan, folders, settings.keptScans)) {
            err << kProgramName << " folders: " << history.errorText() << '\n';
            err.flush();
            return false;  // said once: the next roots would fail the same way
        }
    }
    return true;
}

QString historyUsage() {
    return QStringLiteral(
               "Usage: %1 history [FOLDER]\n"
               "\n"
               "Lists the scans recorded in the scan history (by \"folders --record\" and the\n"
               "Folder hogs window), newest first, as tab-separated lines: ID, time, options\n"
               "(main or all), folders, files, size in bytes, allocated bytes, volume and the\n"
               "folder scanned. With FOLDER, only the scans of that folder.\n"
               "\n"
               "  -h, --help  show this help\n"
               "\n"
               "The history is kept in $XDG_DATA_HOME/diskwell/history.sqlite.\n"
               "Exit status: 0 done, 1 the history could not be read, 2 bad arguments.\n")
        .arg(QLatin1String(kProgramName));
}

int runHistory(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    QList<QByteArray> folders;
    OptionCursor c(args);
    while (c.next()) {
        if (c.isOperand()) {
            folders.append(c.arg());
        } else if (c.isHelp()) {
            return showUsage(out, historyUsage());
        } else {
            return usageError(err, "history", c.unknownOptionText());
        }
    }
    if (folders.size() > 1) {
        return usageError(err, "history", QStringLiteral("give at most one folder"));
    }
    ScanHistory history(ScanHistory::defaultFile());
    if (!openHistory(history, "history", err)) {
        return kExitIncomplete;
    }
    const QByteArray root = folders.isEmpty() ? QByteArray() : platform::shortPath(folders[0]);
    out << "ID\tTime\tOptions\tFolders\tFiles\tSize\tAllocated\tVolume\tRoot\n";
    for (const HistoryScan& s : history.scans(root)) {
        writeLine(out, {QByteArray::number(s.id),
                        QDateTime::fromSecsSinceEpoch(s.time)
                            .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
                            .toUtf8(),
                        s.options.toUtf8(), QByteArray::number(s.folders),
                        QByteArray::number(s.files), QByteArray::number(s.apparent),
                        QByteArray::number(s.allocated), s.volume, s.root});
    }
    out.flush();
    return kExitOk;
}

QString growthUsage() {
    return QStringLiteral(
               "Usage: %1 growth [--since DATE | --scan ID] [--all] FOLDER\n"
               "\n"
               "Tells what grew in FOLDER: compares its newest recorded scan (see\n"
               "\"folders --record\") with an earlier one of the same kind and prints one\n"
               "tab-separated line per folder, largest growth first: folder, size before\n"
               "and now in bytes, the change (+ or -), files before and now, and new, gone,\n"
               "grew, shrank or same.\n"
               "\n"
               "  --since DATE  compare with the newest scan taken on or before DATE\n"
               "                (YYYY-MM-DD); by default, the scan before the newest\n"
               "  --scan ID     compare with scan ID (see \"history\")\n"
               "  --all         list unchanged folders too\n"
               "  -h, --help    show this help\n"
               "\n"
               "Exit status: 0 done, 1 no earlier scan to compare with or the history could\n"
               "not be read, 2 bad arguments.\n")
        .arg(QLatin1String(kProgramName));
}

int runGrowth(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    std::optional<QDate> since;
    std::optional<qint64> scanId;
    bool all = false;
    QList<QByteArray> folders;
    OptionCursor c(args);
    while (c.next()) {
        const QByteArray& name = c.name();
        if (c.isOperand()) {
            folders.append(c.arg());
        } else if (c.isHelp()) {
            return showUsage(out, growthUsage());
        } else if (name == "--all") {
            all = true;
        } else if (name == "--since") {
            since = isoDate(c.value());
            if (!since) {
                return usageError(err, "growth",
                                  QStringLiteral("--since takes a date written YYYY-MM-DD"));
            }
        } else if (name == "--scan") {
            const std::optional<QByteArray> v = c.value();
            bool ok = false;
            const qint64 id = v ? v->toLongLong(&ok) : 0;
            if (!ok || id <= 0) {
                return usageError(err, "growth", QStringLiteral("--scan takes a scan's ID"));
            }
            scanId = id;
        } else {
            return usageError(err, "growth", c.unknownOptionText());
        }
    }
    if (since && scanId) {
        return usageError(err, "growth", QStringLiteral("give only one of --since and --scan"));
    }
    if (folders.size() != 1) {
        return usageError(err, "growth",
                          folders.isEmpty() ? QStringLiteral("no folder given")
                                            : QStringLiteral("give one folder"));
    }
    ScanHistory history(ScanHistory::defaultFile());
    if (!openHistory(history, "growth", err)) {
        return kExitIncomplete;
    }
    const QByteArray root = platform::shortPath(folders[0]);
    const QList<HistoryScan> scans = history.scans(root);  // newest first
    const auto fail = [&err](const QString& message) {
        err << kProgramName << " growth: " << message << '\n';
        err.flush();
        return kExitIncomplete;
    };
    if (scans.isEmpty()) {
        return fail(QStringLiteral("no scan of %1 is recorded").arg(QFile::decodeName(root)));
    }
    std::optional<HistoryScan> earlier;
    const HistoryScan* later = &scans.front();
    if (scanId) {
        for (const HistoryScan& s : scans) {
            if (s.id == *scanId) {
                earlier = s;
            }
        }
        if (!earlier) {
            return fail(QStringLiteral("scan %1 is no scan of %2")
                            .arg(*scanId)
                            .arg(QFile::decodeName(root)));
        }
        // The newest scan of the same kind, so a main-folders scan never meets an
        // all-folders one.
        for (const HistoryScan& s : scans) {
            if (s.options == earlier->options) {
                later = &s;
                break;
            }
        }
    } else {
        const qint64 before =
            since ? QDateTime(since->addDays(1), QTime(0, 0)).toSecsSinceEpoch() : 0;
        for (qsizetype i = 1; i < scans.size() && !earlier; ++i) {
            if (scans[i].options == later->options && (!since || scans[i].time < before)) {
                earlier = scans[i];
            }
        }
    }
    if (!earlier || earlier->id == later->id) {
        return fail(
            QStringLiteral("no earlier scan of %1 to compare with").arg(QFile::decodeName(root)));
    }
    const QList<GrowthRow> rows =
        compareScans(history.folders(earlier->id), history.folders(later->id));
    out << "Folder\tWas\tNow\tChange\tFilesWas\tFilesNow\tState\n";
    for (const GrowthRow& r : rows) {
        if (r.state == GrowthState::Same && !all) {
            continue;
        }
        writeLine(out, {r.path, QByteArray::number(r.was), QByteArray::number(r.now),
                        signedNumber(r.change), QByteArray::number(r.filesWas),
                        QByteArray::number(r.filesNow), growthStateText(r.state).toUtf8()});
    }
    out.flush();
    return kExitOk;
}

}  // namespace dw::cli
