#include "cli/clean_folder_command.h"

#include <QDateTime>
#include <QFile>

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
#include "safety/clean_totals.h"
#include "safety/folder_clean.h"
#include "safety/folder_list.h"
#include "safety/safe_harbor.h"

namespace dw::cli {

namespace {

constexpr char kCommand[] = "clean-folder";

struct Options {
    std::optional<FolderCleanMode> mode;
    bool keep = false;
    bool yesReadOnly = false;
    bool yesHidden = false;
    bool yesSystem = false;
    bool forceProtected = false;
    std::optional<QString> comment;
    std::optional<QString> zipFolder;
    QList<QByteArray> folders;
};

void prefix(QTextStream& err) {
    err << kProgramName << ' ' << kCommand << ": ";
}

QString settingsText(const char* name, const QString& def) {
    return SettingsStore().readString(QString::fromLatin1(settings::kZipFile),
                                      QString::fromLatin1(name), def);
}

// The options as parsed, or the exit status when parsing ended the command.
struct Parsed {
    Options options;
    std::optional<int> exitStatus;
};

Parsed parse(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    Parsed parsed;
    Options& o = parsed.options;
    auto usage = [&](const QString& message) {
        parsed.exitStatus = usageError(err, kCommand, message);
        return parsed;
    };
    OptionCursor c(args);
    while (c.next()) {
        const QByteArray& arg = c.arg();
        if (c.isOperand()) {
            o.folders.append(arg);
        } else if (c.isHelp()) {
            parsed.exitStatus = showUsage(out, cleanFolderUsage());
            return parsed;
        } else if (arg == "--delete" || arg == "--trash" || arg == "--zip") {
            const FolderCleanMode m = arg == "--delete"  ? FolderCleanMode::Delete
                                      : arg == "--trash" ? FolderCleanMode::Trash
                                                         : FolderCleanMode::Zip;
            if (o.mode && *o.mode != m) {
                return usage(QStringLiteral("give only one of --delete, --trash and --zip"));
            }
            o.mode = m;
        } else if (arg == "--keep") {
            o.keep = true;
        } else if (arg == "--yes-readonly") {
            o.yesReadOnly = true;
        } else if (arg == "--yes-hidden") {
            o.yesHidden = true;
        } else if (arg == "--yes-system") {
            o.yesSystem = true;
        } else if (arg == "--force-protected") {
            o.forceProtected = true;
        } else if (c.name() == "--comment" || c.name() == "--zip-folder") {
            const QByteArray& name = c.name();
            const std::optional<QByteArray> v = c.value();
            if (!v) {
                return usage(QStringLiteral("%1 needs a value").arg(QString::fromLatin1(name)));
            }
            const QByteArray& value = *v;
            if (name == "--comment") {
                o.comment = QString::fromUtf8(value);
                if (o.comment->toUtf8().size() > kMaxArchiveCommentBytes) {
                    return usage(QStringLiteral("--comment TEXT is longer than the %1 bytes an "
                                                "archive comment can hold")
                                     .arg(kMaxArchiveCommentBytes));
                }
            } else {
                if (value.isEmpty()) {
                    return usage(QStringLiteral("--zip-folder needs a folder"));
                }
                o.zipFolder = QFile::decodeName(value);
            }
        } else {
            return usage(c.unknownOptionText());
        }
    }
    if (!o.mode) {
        return usage(QStringLiteral("say what to do: --delete, --trash or --zip"));
    }
    if (*o.mode != FolderCleanMode::Zip && (o.keep || o.comment || o.zipFolder)) {
        return usage(QStringLiteral("--keep, --comment and --zip-folder go with --zip"));
    }
    if (o.folders.size() != 1) {
        return usage(o.folders.isEmpty() ? QStringLiteral("no folder given")
                                         : QStringLiteral("give one folder"));
    }
    return parsed;
}

// False, with the reason on `err`, when nothing may be touched: the Safe Harbor's lists
// are missing or cannot be trusted.
bool loadSafeHarbor(SafeHarbor& harbor, QTextStream& err) {
    harbor.ReadSafeHarborExtensions();
    harbor.GetSearchPath();
    if (const QString error = harbor.loadError(); !error.isEmpty()) {
        prefix(err);
        err << error << ". Nothing was touched." << '\n';
        return false;
    }
    if (harbor.safeHarborMissing()) {
        prefix(err);
        err << "the Safe Harbor list of folders/files not to delete has not been created yet, "
               "so nothing was touched. Build it with Diskwell's \"Build safe harbor\" button, "
               "or write the folders to protect, one a line, to "
            << foldersFilePath() << '\n';
        return false;
    }
    return true;
}

}  // namespace

QString cleanFolderUsage() {
    return QStringLiteral(
               "Usage: %1 clean-folder (--delete | --trash | --zip [--keep] [--comment TEXT]\n"
               "                        [--zip-folder FOLDER]) [--yes-readonly] [--yes-hidden]\n"
               "                        [--yes-system] [--force-protected] FOLDER\n"
               "\n"
               "Removes FOLDER with all its files and sub-folders, as Diskwell's \"Clean\n"
               "directory\" window does: deletes every file, sends every file to the desktop's\n"
               "trash, or stores every file in an archive and deletes it once its archive is on\n"
               "disk and reads back.\n"
               "\n"
               "Only FOLDER's own file system is touched: a file system mounted inside it is\n"
               "kept, and so are the folders above it. Links are removed as links, never\n"
               "followed. The system's folders, the home folder, mount points and links are\n"
               "refused. A folder the Safe Harbor protects, or one holding a protected folder,\n"
               "is refused unless --force-protected is given; folders of the system's own\n"
               "trees are never removed, whatever is given.\n"
               "\n"
               "Actions (exactly one):\n"
               "  --delete             delete everything\n"
               "  --trash              send every file to the desktop's trash\n"
               "  --zip                store every file in the archive\n"
               "                       Drive-KEY-FolderCleanddmmmyyhhmm.zip and delete it\n"
               "\n"
               "Options:\n"
               "  --keep               with --zip: archive only, remove nothing\n"
               "  --comment TEXT       the archive comment (default: the one in the settings)\n"
               "  --zip-folder FOLDER  where archives go (default: the folder in the settings)\n"
               "  --yes-readonly       remove read-only files too (owner may not write)\n"
               "  --yes-hidden         remove hidden files too (names beginning with \".\")\n"
               "  --yes-system         remove system files too (links, pipes, sockets,\n"
               "                       devices)\n"
               "                       Without these such files are kept and reported.\n"
               "  --force-protected    go on although the Safe Harbor protects the folder or\n"
               "                       a folder in it (never for the system's own trees)\n"
               "  -h, --help           show this help\n"
               "\n"
               "Every entry that stayed is reported on stderr with its reason.\n"
               "Exit status: 0 the folder is gone (--keep: every file archived), 1 something\n"
               "stayed or the folder was refused, 2 bad arguments (nothing done).\n")
        .arg(QLatin1String(kProgramName));
}

int runCleanFolder(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    Parsed parsed = parse(args, out, err);
    if (parsed.exitStatus) {
        return *parsed.exitStatus;
    }
    const Options& o = parsed.options;
    QByteArray folder = o.folders.front();
    if (!folder.startsWith(platform::kSep)) {
        folder = platform::joinPath(platform::currentFolder(), folder);
    }
    auto refuse = [&](const QString& reason) {
        prefix(err);
        err << "cannot remove ";
        writeBytes(err, folder);
        err << ": " << reason << '\n';
        err.flush();
        return kExitIncomplete;
    };
    if (const QString refusal = folderRefusal(folder); !refusal.isEmpty()) {
        return refuse(refusal);
    }
    SafeHarbor harbor;
    if (!loadSafeHarbor(harbor, err)) {
        err.flush();
        return kExitIncomplete;
    }
    int reason = SafeHarbor::kNotProtected;
    harbor.isInSafeHarbor(folder, false, reason);
    if (reason == SafeHarbor::kReasonSystemFolder) {
        return refuse(QStringLiteral("the Safe Harbor marks it NOT to be deleted because it is ") +
                      SafeHarbor::safeHarborReason(reason));
    }
    reason = treeSafeHarborReason(harbor, folder);
    if (reason != SafeHarbor::kNotProtected && !o.forceProtected) {
        return refuse(QStringLiteral("the folder or a sub-folder of the one to delete is marked "
                                     "NOT to be deleted because it is ") +
                      SafeHarbor::safeHarborReason(reason) +
                      QStringLiteral(" (give --force-protected to go on)"));
    }

    FolderCleanSettings settings;
    settings.mode = *o.mode;
    settings.deleteAfterZip = !o.keep;
    settings.harbor = &harbor;
    settings.zip.zipFolder =
        o.zipFolder.value_or(settingsText(settings::kZipPath, defaultZipFolder()));
    settings.zip.comment = o.comment.value_or(settingsText(settings::kZipComment, QString()));
    settings.zip.callerWord = QStringLiteral("FolderClean");
    settings.zip.stamp = QDateTime::currentDateTime();
    FolderCleanHooks hooks;
    hooks.ask = [&o](FileAttribute attribute, const QByteArray&) {
        const bool yes = attribute == FileAttribute::ReadOnly ? o.yesReadOnly
                         : attribute == FileAttribute::Hidden ? o.yesHidden
                                                              : o.yesSystem;
        return yes ? AttributeAnswer::Yes : AttributeAnswer::Keep;
    };
    const FolderCleanSummary s = cleanFolder(folder, settings, hooks);
    if (s.refused) {
        return refuse(s.refusal);
    }
    for (const KeptEntry& k : s.kept) {
        prefix(err);
        err << "Kept - ";
        writeBytes(err, k.path);
        err << ": " << k.reason << '\n';
    }
    if (s.stopped) {
        prefix(err);
        err << s.error << '\n';
    }
    // What stayed comes before the summary wherever both streams show together.
    err.flush();
    bool saved = true;
    switch (*o.mode) {
        case FolderCleanMode::Delete:
            saved = s.doneCount == 0 || recordDeleteTotals(s.doneCount, s.doneBytes, 0, 0);
            out << "deleted " << s.doneCount << " files ("
                << freedBytesText(s.doneBytes, s.doneBytesExact, FreedStyle::CommandLine)
                << ") and " << s.foldersRemoved << " folders" << '\n';
            break;
        case FolderCleanMode::Trash:
            saved = s.doneCount == 0 || recordDeleteTotals(0, 0, s.doneCount, s.doneBytes);
            out << "sent " << s.doneCount << " files to the trash ("
                << freedBytesText(s.doneBytes, s.doneBytesExact, FreedStyle::CommandLine)
                << ") and removed " << s.foldersRemoved << " folders" << '\n';
            break;
        case FolderCleanMode::Zip:
            saved = s.archivedCount == 0 || recordZipTotals(s.archivedCount, s.archivedBytes);
            out << "archived " << s.archivedCount << " files (" << s.archivedBytes
                << " bytes), deleted " << s.doneCount << " of them and removed " << s.foldersRemoved
                << " folders, in " << archiveFolderOrDefault(settings.zip.zipFolder) << '\n';
            if (s.doneCount > 0) {
                out << zipSavingsText(s.doneBytes, s.doneBytesExact, s.archivesOnDisk,
                                      FreedStyle::CommandLine)
                    << '\n';
            }
            for (const QByteArray& archive : s.archives) {
                if (QFile::exists(QFile::decodeName(archive))) {
                    out << "archive: ";
                    writeBytes(out, archive + '\n');
                }
            }
            break;
    }
    out.flush();
    if (!saved) {
        prefix(err);
        err << "the totals could not be saved in the settings file" << '\n';
    }
    err.flush();
    const bool complete = o.keep ? s.kept.isEmpty() && !s.stopped : s.folderRemoved;
    return complete ? kExitOk : kExitIncomplete;
}

}  // namespace dw::cli
