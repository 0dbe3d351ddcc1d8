#include "cli/command_line.h"

#include <QFile>
#include <QString>

#include "cli/caches_command.h"
#include "cli/clean_command.h"
#include "cli/clean_folder_command.h"
#include "cli/dated_command.h"
#include "cli/details_command.h"
#include "cli/duplicates_command.h"
#include "cli/folders_command.h"
#include "cli/history_command.h"
#include "cli/protected_command.h"
#include "cli/restore_command.h"
#include "cli/stats_command.h"
#include "cli/temp_command.h"
#include "cli/walk_command.h"

namespace dw::cli {

namespace {

// One subcommand. A later tool adds its row here and its unit beside cli_walk.
struct Command {
    const char* name;
    const char* summary;
    int (*run)(const QList<QByteArray>& args, QTextStream& out, QTextStream& err);
    QString (*usage)();
};

const Command kCommands[] = {
    {"walk", "count the files, folders and bytes a walk of folders finds", runWalk, walkUsage},
    {"duplicates", "list duplicate files as tab-separated rows", runDuplicates, duplicatesUsage},
    {"hogs", "list the files of a size range, largest first", runHogs, hogsUsage},
    {"protected", "tell whether the Safe Harbor protects files and folders", runProtected,
     protectedUsage},
    {"restore", "put the files of a Diskwell archive back in their places", runRestore,
     restoreUsage},
    {"clean", "delete files, send them to the trash, or archive and delete them", runClean,
     cleanUsage},
    {"stats", "print the disk statistics of folders as tab-separated sections", runStats,
     statsUsage},
    {"dated", "list the files accessed, created or changed in a range of dates", runDated,
     datedUsage},
    {"temp", "list temporary files by their extensions, largest first", runTemp, tempUsage},
    {"caches", "list the browsers' cache folders or their files not used for N days", runCaches,
     cachesUsage},
    {"clean-folder", "delete a folder and everything in it, trash or archive its files",
     runCleanFolder, cleanFolderUsage},
    {"folders", "rank folders by the space their files take", runFolders, foldersUsage},
    {"history", "list the scans recorded in the scan history", runHistory, historyUsage},
    {"growth", "tell which folders grew since an earlier recorded scan", runGrowth, growthUsage},
    {"details", "print the file details and version information of files", runDetails,
     detailsUsage},
    {"crc", "print the check value of files' contents", runCrc, crcUsage},
};

const Command* findCommand(const QByteArray& name) {
    for (const Command& c : kCommands) {
        if (name == c.name) {
            return &c;
        }
    }
    return nullptr;
}

QString overview() {
    QString text = QStringLiteral(
                       "Usage: %1 COMMAND [OPTIONS] [ARGUMENTS]\n"
                       "       %1 help COMMAND\n"
                       "\n"
                       "Diskwell's tools for scripts and servers.\n"
                       "\n"
                       "Commands:\n")
                       .arg(QLatin1String(kProgramName));
    for (const Command& c : kCommands) {
        text += QStringLiteral("  %1  %2\n")
                    .arg(QLatin1String(c.name), -12)
                    .arg(QLatin1String(c.summary));
    }
    text += QStringLiteral(
        "\n"
        "Options:\n"
        "  -h, --help   show this help\n"
        "  --version    show the version\n"
        "\n"
        "Exit status: 0 done, 1 done in part (a folder could not be opened), 2 bad "
        "arguments.\n");
    return text;
}

}  // namespace

int runCommandLine(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    if (args.isEmpty()) {
        return usageError(err, nullptr, QStringLiteral("no command given"));
    }
    const QByteArray& first = args.front();
    if (first == "--help" || first == "-h" || first == "help") {
        if (first == "help" && args.size() > 1) {
            const Command* command = findCommand(args[1]);
            if (!command) {
                return usageError(
                    err, nullptr,
                    QStringLiteral("unknown command '%1'").arg(QFile::decodeName(args[1])));
            }
            out << command->usage();
        } else {
            out << overview();
        }
        out.flush();
        return kExitOk;
    }
    if (first == "--version") {
        out << kProgramName << ' ' << DISKWELL_VERSION << '\n';
        out.flush();
        return kExitOk;
    }
    const Command* command = findCommand(first);
    if (!command) {
        return usageError(
            err, nullptr,
            first.startsWith('-')
                ? QStringLiteral("unknown option '%1'").arg(QFile::decodeName(first))
                : QStringLiteral("unknown command '%1'").arg(QFile::decodeName(first)));
    }
    return command->run(args.mid(1), out, err);
}

}  // namespace dw::cli
