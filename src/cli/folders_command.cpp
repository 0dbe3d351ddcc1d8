#include "cli/folders_command.h"

#include <QFile>

#include <optional>

#include "base/file_dates.h"
#include "cli/cli_options.h"
#include "cli/cli_support.h"
#include "cli/history_command.h"
#include "finders/folder_hogs.h"
#include "inspect/grid_export.h"
#include "platform/environment.h"

namespace dw::cli {

QString foldersUsage() {
    return QStringLiteral(
               "Usage: %1 folders (--main | --all) [--record] FOLDER...\n"
               "\n"
               "Ranks folders by the space their files take, as Diskwell's \"Folder hogs\"\n"
               "window does, and prints its rows as tab-separated lines, largest first:\n"
               "size in bytes, % used of the volume, files, sub-folders, latest file access\n"
               "(yyyy-mm-dd) and the folder.\n"
               "\n"
               "  --main   one row for each folder directly under a FOLDER, with totals over\n"
               "           its whole tree (hidden folders are not entered)\n"
               "  --all    one row for every folder, with totals over the files directly in\n"
               "           it\n"
               "  --record store the scan in the scan history, one scan per FOLDER, for\n"
               "           \"history\" and \"growth\" (the FOLDERs are then scanned by\n"
               "           their canonical paths)\n"
               "  -h, --help  show this help\n"
               "\n"
               "A file with several names (hard links) is counted once, as du does; links are\n"
               "never followed and other file systems never entered.\n"
               "Exit status: 0 done, 1 a FOLDER could not be opened or the scan could not be\n"
               "recorded, 2 bad arguments.\n")
        .arg(QLatin1String(kProgramName));
}

int runFolders(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    std::optional<FolderHogMode> mode;
    QList<QByteArray> folders;
    bool record = false;
    OptionCursor c(args);
    while (c.next()) {
        const QByteArray& arg = c.arg();
        if (c.isOperand()) {
            folders.append(arg);
        } else if (c.isHelp()) {
            return showUsage(out, foldersUsage());
        } else if (arg == "--record") {
            record = true;
        } else if (arg == "--main" || arg == "--all") {
            const FolderHogMode m = arg == "--main" ? FolderHogMode::Main : FolderHogMode::All;
            if (mode && *mode != m) {
                return usageError(err, "folders",
                                  QStringLiteral("give only one of --main and --all"));
            }
            mode = m;
        } else {
            return usageError(err, "folders", c.unknownOptionText());
        }
    }
    if (!mode) {
        return usageError(err, "folders", QStringLiteral("say which scan: --main or --all"));
    }
    if (folders.isEmpty()) {
        return usageError(err, "folders", QStringLiteral("no folder given"));
    }
    if (record) {
        // Recorded scans are found again by their root: one spelling per folder.
        for (QByteArray& f : folders) {
            f = platform::shortPath(f);
        }
    }
    FolderHogHooks hooks;
    hooks.unopened = [&err](const QString& message) {
        err << kProgramName << " folders: " << message << '\n';
    };
    const FolderHogResult result = scanFolderHogs(folderEntries(folders), *mode, hooks);
    out << "Size\t% Used\t# Files\t# Sub-folders\tLatest File Access\tName\n";
    for (const FolderHogRow& row : result.rows) {
        const QDateTime access = UnpackDosDateTime(row.latestAccess);
        out << QString::fromUtf8(TsvLine({
                   QByteArray::number(row.bytes),
                   folderHogPercentText(row.allocated, row.capacity).toUtf8(),
                   QByteArray::number(row.files),
                   QByteArray::number(row.subFolders),
                   row.latestAccess != 0 && access.isValid()
                       ? access.date().toString(Qt::ISODate).toUtf8()
                       : QByteArray(),
                   row.path,
               }))
            << '\n';
    }
    out.flush();
    if (result.rows.isEmpty()) {
        err << kProgramName << " folders: No files found." << '\n';
    }
    err.flush();
    const bool recorded = !record || recordFolderScans(folders, *mode, result, err);
    return result.unopened > 0 || !recorded ? kExitIncomplete : kExitOk;
}

}  // namespace dw::cli
