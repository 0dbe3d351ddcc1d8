#include "cli/clean_command.h"

#include <QDateTime>
#include <QFile>

#include <cstdio>
#include <optional>

#include "base/freed_text.h"
#include "base/settings_sections.h"
#include "base/settings_store.h"
#include "base/utility.h"
#include "cli/cli_options.h"
#include "cli/cli_support.h"
#include "platform/environment.h"
#include "platform/paths.h"
#include "safety/archive_name.h"
#include "safety/archive_writer.h"
#include "safety/clean_run.h"
#include "safety/clean_totals.h"
#include "safety/deletion_plan.h"
#include "safety/folder_list.h"
#include "safety/safe_harbor.h"
#include "safety/share_run.h"
#include "safety/trash_rule.h"

namespace dw::cli {

namespace {

enum class Action { None, Delete, Trash, Zip, Share };

struct CleanOptions {
    Action action = Action::None;
    std::optional<QString> comment;
    std::optional<QString> zipFolder;
    QString caller;
    bool fromStdin = false;
    QList<QByteArray> paths;
};

int cleanUsageError(QTextStream& err, const QString& message) {
    return usageError(err, "clean", message);
}

// One line about one file on `err`: "diskwell-cli clean: TEXT PATH: REASON".
void fileMessage(QTextStream& err, const QString& text, const QByteArray& path,
                 const QString& reason) {
    err << kProgramName << " clean: " << text;
    writeBytes(err, path);
    if (!reason.isEmpty()) {
        err << ": " << reason;
    }
    err << '\n';
    err.flush();
}

QByteArray absolute(const QByteArray& path) {
    if (path.startsWith(platform::kSep)) {
        return path;
    }
    return platform::joinPath(platform::currentFolder(), path);
}

// Reads NUL-separated paths; empty items (a trailing NUL) are none.
QList<QByteArray> readNulSeparated(QIODevice& input) {
    QList<QByteArray> paths;
    for (const QByteArray& item : input.readAll().split('\0')) {
        if (!item.isEmpty()) {
            paths.append(item);
        }
    }
    return paths;
}

QString settingsText(const char* name, const QString& def) {
    return SettingsStore().readString(QString::fromLatin1(settings::kZipFile),
                                      QString::fromLatin1(name), def);
}

}  // namespace

QString cleanUsage() {
    return QStringLiteral(
               "Usage: %1 clean (--delete | --trash | --zip [--comment TEXT] | --share)\n"
               "                [--caller WORD] [--zip-folder FOLDER] [PATH... | -0]\n"
               "\n"
               "Deletes files, sends them to the desktop's trash, stores them in archives and\n"
               "then deletes them, or makes identical files share their blocks, as Diskwell's\n"
               "deletion panel does once its questions are answered yes.\n"
               "\n"
               "Files the Safe Harbor protects (Diskwell's folder list, the search path, the\n"
               "system's trees and the protected extensions) are set aside, listed on stderr\n"
               "with their reason, and never touched; without a Safe Harbor folder list, or\n"
               "while it or the settings file cannot be read, nothing is touched. Nothing is\n"
               "removed through a link (a link is removed itself, never its target), and\n"
               "folders, mount points and the system's own folders are never removed. Every\n"
               "file is checked first and acted on only while it and its folder are still\n"
               "the ones checked; a file given with a trailing \"/\" is refused. A file that\n"
               "cannot be acted on is reported on stderr and the run goes on (a trash run\n"
               "stops at the first file the trash refuses). The totals Diskwell keeps grow by\n"
               "what was done.\n"
               "\n"
               "Actions (exactly one):\n"
               "  --delete             delete the files\n"
               "  --trash              send the files to the desktop's trash\n"
               "  --zip                store the files in one archive per volume, named\n"
               "                       Drive-KEY-WORDddmmmyyhhmm.zip, and delete each file\n"
               "                       once its archive is on disk and reads back\n"
               "  --share              delete nothing: of the files holding the same bytes on\n"
               "                       one volume, the first given is kept and each other\n"
               "                       is made to use its blocks (btrfs, xfs; the kernel\n"
               "                       compares the bytes again); names, owners, modes and\n"
               "                       times stay, and the space of the copies comes back\n"
               "\n"
               "Options:\n"
               "  --comment TEXT       the archive comment (default: the one in the settings)\n"
               "  --caller WORD        the word in archive names (default: none)\n"
               "  --zip-folder FOLDER  where archives go (default: the folder in the\n"
               "                       settings); neither option changes the settings\n"
               "  -0                   read the paths from stdin, each ended by a NUL byte\n"
               "                       (find -print0), instead of from the command line\n"
               "  -h, --help           show this help\n"
               "  --                   the arguments after it are paths, even those\n"
               "                       beginning with \"-\"\n"
               "\n"
               "With --share, the files acted on are those with an identical file earlier in the\n"
               "list; the summary gives the bytes the volumes got back, as measured after.\n"
               "\n"
               "Exit status: 0 every file acted on, 1 some were not (protected, refused or\n"
               "failed), 2 bad arguments (nothing done).\n")
        .arg(QLatin1String(kProgramName));
}

int runClean(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) {
        return runClean(args, out, err, nullptr);
    }
    return runClean(args, out, err, &in);
}

namespace {

// The options as parsed, or the exit status when parsing ended the command (help shown,
// or a usage error reported).
struct ParsedOptions {
    CleanOptions options;
    std::optional<int> exitStatus;
};

ParsedOptions parseCleanOptions(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    ParsedOptions parsed;
    CleanOptions& o = parsed.options;
    auto usage = [&](const QString& message) {
        parsed.exitStatus = cleanUsageError(err, message);
        return parsed;
    };
    OptionCursor c(args);
    while (c.next()) {
        const QByteArray& arg = c.arg();
        if (c.isOperand()) {
            o.paths.append(arg);
        } else if (c.isHelp()) {
            parsed.exitStatus = showUsage(out, cleanUsage());
            return parsed;
        } else if (arg == "--delete" || arg == "--trash" || arg == "--zip" || arg == "--share") {
            const Action a = arg == "--delete"  ? Action::Delete
                             : arg == "--trash" ? Action::Trash
                             : arg == "--zip"   ? Action::Zip
                                                : Action::Share;
            if (o.action != Action::None && o.action != a) {
                return usage(
                    QStringLiteral("give only one of --delete, --trash, --zip and --share"));
            }
            o.action = a;
        } else if (arg == "-0") {
            o.fromStdin = true;
        } else if (c.name() == "--comment" || c.name() == "--caller" ||
                   c.name() == "--zip-folder") {
            const QByteArray& name = c.name();
            const std::optional<QByteArray> value = c.value();
            if (!value) {
                return usage(QStringLiteral("%1 needs a value").arg(QString::fromLatin1(name)));
            }
            if (name == "--comment") {
                o.comment = QString::fromUtf8(*value);
                // Never cut: a comment the archive cannot hold whole is refused.
                if (o.comment->toUtf8().size() > kMaxArchiveCommentBytes) {
                    return usage(QStringLiteral("--comment TEXT is longer than the %1 bytes an "
                                                "archive comment can hold")
                                     .arg(kMaxArchiveCommentBytes));
                }
            } else if (name == "--caller") {
                o.caller = QString::fromUtf8(*value);
                // The word is part of a file name: a separator would make it a folder.
                if (value->contains(platform::kSep) || value->contains('\0')) {
                    return usage(QStringLiteral("--caller WORD cannot hold \"/\""));
                }
            } else {
                if (value->isEmpty()) {
                    return usage(QStringLiteral("--zip-folder needs a folder"));
                }
                o.zipFolder = QFile::decodeName(*value);
            }
        } else {
            return usage(c.unknownOptionText());
        }
    }
    if (o.action == Action::None) {
        return usage(QStringLiteral("say what to do: --delete, --trash, --zip or --share"));
    }
    if (o.comment && o.action != Action::Zip) {
        return usage(QStringLiteral("--comment goes with --zip"));
    }
    if (o.fromStdin && !o.paths.isEmpty()) {
        return usage(QStringLiteral("give paths or -0, not both"));
    }
    if (!o.fromStdin && o.paths.isEmpty()) {
        return usage(QStringLiteral("no file given"));
    }
    return parsed;
}

// Loads the Safe Harbor as the program does. False, with the reason on `err`, when
// nothing may be touched: its lists are missing or cannot be trusted.
bool loadSafeHarbor(SafeHarbor& harbor, QTextStream& err) {
    harbor.ReadSafeHarborExtensions();
    harbor.GetSearchPath();
    if (const QString error = harbor.loadError(); !error.isEmpty()) {
        err << kProgramName << " clean: " << error << ". No file was touched." << '\n';
        err.flush();
        return false;
    }
    if (harbor.safeHarborMissing()) {
        err << kProgramName
            << " clean: the Safe Harbor list of folders/files not to delete has not been "
               "created yet, so no file was touched. Build it with Diskwell's \"Build safe "
               "harbor\" button, or write the folders to protect, one a line, to "
            << foldersFilePath() << '\n';
        err.flush();
        return false;
    }
    return true;
}

// What a run came to, for the exit status and the totals message.
struct RunOutcome {
    CleanRunSummary summary;
    bool totalsSaved = true;
};

RunOutcome runDelete(const DeletionPlan& plan, qsizetype total, QTextStream& out,
                     QTextStream& err) {
    CleanRunHooks hooks;
    hooks.fileDone = [&err](const CleanFileResult& r) {
        if (!r.done) {
            fileMessage(err, QStringLiteral("Couldn't delete file - "), r.path, r.reason);
        }
    };
    RunOutcome o;
    o.summary = plan.deleteFiles(hooks);
    o.totalsSaved = recordDeleteTotals(o.summary.doneCount, o.summary.doneBytes, 0, 0);
    out << "deleted " << o.summary.doneCount << " of " << total << " files ("
        << freedBytesText(o.summary.doneBytes, o.summary.doneBytesExact, FreedStyle::CommandLine)
        << ")" << '\n';
    return o;
}

RunOutcome runTrash(const DeletionPlan& plan, qsizetype total, QTextStream& out, QTextStream& err) {
    CleanRunHooks hooks;
    bool first = true;
    hooks.fileDone = [&err, &first](const CleanFileResult& r) {
        if (r.done) {
            return;
        }
        // The file and its cause first; the general line once, after it.
        fileMessage(err, QStringLiteral("Couldn't send file to the trash - "), r.path, r.reason);
        if (first) {
            err << kProgramName << " clean: An error occurred sending files to the recycle bin."
                << (r.code == platform::RemoveCode::TrashFull ? "  The bin may be full." : "")
                << '\n';
            first = false;
        }
    };
    RunOutcome o;
    o.summary = plan.trashFiles(hooks);
    o.totalsSaved = recordDeleteTotals(0, 0, o.summary.doneCount, o.summary.doneBytes);
    out << "sent " << o.summary.doneCount << " of " << total << " files to the trash ("
        << freedBytesText(o.summary.doneBytes, o.summary.doneBytesExact, FreedStyle::CommandLine)
        << ")" << '\n';
    return o;
}

RunOutcome runZip(const CleanOptions& options, const DeletionPlan& plan, qsizetype total,
                  QTextStream& out, QTextStream& err) {
    ZipRunSettings settings;
    settings.zipFolder =
        options.zipFolder.value_or(settingsText(settings::kZipPath, defaultZipFolder()));
    settings.comment = options.comment.value_or(settingsText(settings::kZipComment, QString()));
    settings.callerWord = options.caller;
    settings.stamp = QDateTime::currentDateTime();
    CleanRunHooks hooks;
    hooks.fileDone = [&err](const CleanFileResult& r) {
        if (r.done) {
            return;
        }
        if (r.archived) {
            fileMessage(err, QStringLiteral("Couldn't delete file - "), r.path,
                        r.reason + QStringLiteral(" (its copy is in ") +
                            QFile::decodeName(r.archive) + QLatin1Char(')'));
        } else {
            fileMessage(err, QStringLiteral("Couldn't zip up file - "), r.path, r.reason);
        }
    };
    const QString folder = archiveFolderOrDefault(settings.zipFolder);
    RunOutcome o;
    o.summary = plan.zipFiles(settings, hooks);
    if (o.summary.ended) {
        err << kProgramName << " clean: " << o.summary.error << '\n';
    }
    o.totalsSaved = recordZipTotals(o.summary.archivedCount, o.summary.archivedBytes);
    out << "archived " << o.summary.archivedCount << " of " << total << " files ("
        << o.summary.archivedBytes << " bytes) and deleted " << o.summary.doneCount
        << " of them, in " << folder << '\n';
    if (o.summary.doneCount > 0) {
        out << zipSavingsText(o.summary.doneBytes, o.summary.doneBytesExact,
                              o.summary.archivesOnDisk, FreedStyle::CommandLine)
            << '\n';
    }
    for (const QByteArray& archive : o.summary.archives) {
        if (!QFile::exists(QFile::decodeName(archive))) {
            continue;  // one that could not be made
        }
        out << "archive: ";
        writeBytes(out, archive + '\n');
    }
    return o;
}

// Pairs the files given with their identical twins (the first of each set stays as it
// is), sets aside those the Safe Harbor protects, and shares the blocks of the rest.
int runShare(const QList<QByteArray>& paths, const SafeHarbor& harbor, QTextStream& out,
             QTextStream& err) {
    QList<SharePair> toShare;
    qsizetype total = 0;
    for (const SharePair& pair : pairIdenticalFiles(paths)) {
        ++total;
        int reason = SafeHarbor::kNotProtected;
        if (harbor.isInSafeHarbor(pair.file, true, reason)) {
            fileMessage(err, QStringLiteral("Protected by the Safe Harbor, not touched - "),
                        pair.file, SafeHarbor::safeHarborReason(reason));
        } else {
            toShare.append(pair);
        }
    }
    if (toShare.isEmpty()) {
        out << "nothing to do: no file left to share of " << total
            << " with an identical file given before it" << '\n';
        out.flush();
        return total == 0 ? kExitOk : kExitIncomplete;
    }
    CleanRunHooks hooks;
    hooks.fileDone = [&err](const CleanFileResult& r) {
        if (!r.done) {
            fileMessage(err, QStringLiteral("Couldn't share the blocks of file - "), r.path,
                        r.reason);
        }
    };
    const CleanRunSummary summary = shareFiles(toShare, hooks);
    out << "shared " << summary.doneCount << " of " << total << " files (" << summary.doneBytes
        << " bytes freed)" << '\n';
    out.flush();
    err.flush();
    return summary.doneCount == total ? kExitOk : kExitIncomplete;
}

}  // namespace

int runClean(const QList<QByteArray>& args, QTextStream& out, QTextStream& err, QIODevice* input) {
    ParsedOptions parsed = parseCleanOptions(args, out, err);
    if (parsed.exitStatus) {
        return *parsed.exitStatus;
    }
    CleanOptions& o = parsed.options;
    if (o.fromStdin) {
        if (!input) {
            err << kProgramName << " clean: cannot read stdin" << '\n';
            err.flush();
            return kExitIncomplete;
        }
        o.paths = readNulSeparated(*input);
    }
    for (QByteArray& p : o.paths) {
        p = absolute(p);
    }

    SafeHarbor harbor;
    if (!loadSafeHarbor(harbor, err)) {
        return kExitIncomplete;
    }
    if (o.action == Action::Share) {
        return runShare(o.paths, harbor, out, err);
    }
    DeletionPlan plan;
    plan.setFiles(o.paths);
    plan.split(harbor);
    for (const QByteArray& file : plan.protectedFiles()) {
        fileMessage(err, QStringLiteral("Protected by the Safe Harbor, not touched - "), file,
                    SafeHarbor::safeHarborReason(plan.harborReason(file)));
    }
    const qsizetype total = plan.toActOn().size() + plan.protectedFiles().size();
    if (plan.toActOn().isEmpty()) {
        out << "nothing to do: no file left to act on of " << total << '\n';
        out.flush();
        return total == 0 ? kExitOk : kExitIncomplete;
    }

    RunOutcome outcome;
    switch (o.action) {
        case Action::Delete:
            outcome = runDelete(plan, total, out, err);
            break;
        case Action::Trash:
            outcome = runTrash(plan, total, out, err);
            break;
        case Action::Zip:
            outcome = runZip(o, plan, total, out, err);
            break;
        case Action::None:
        case Action::Share:
            break;
    }
    out.flush();
    if (!outcome.totalsSaved) {
        err << kProgramName << " clean: the totals could not be saved in the settings file" << '\n';
    }
    err.flush();
    return outcome.summary.doneCount == total ? kExitOk : kExitIncomplete;
}

}  // namespace dw::cli
