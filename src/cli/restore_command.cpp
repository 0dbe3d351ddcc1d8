#include "cli/restore_command.h"

#include <QFile>

#include "cli/cli_options.h"
#include "cli/cli_support.h"
#include "platform/paths.h"
#include "platform/volumes.h"
#include "safety/archive_name.h"
#include "safety/archive_reader.h"
#include "safety/archive_restore.h"

namespace dw::cli {

namespace {

void fail(QTextStream& err, const QString& message) {
    err << kProgramName << " restore: " << message << '\n';
    err.flush();
}

}  // namespace

QString restoreUsage() {
    return QStringLiteral(
               "Usage: %1 restore ARCHIVE [--into FOLDER]\n"
               "\n"
               "Puts the files of an archive written by Diskwell back: every entry is\n"
               "extracted below FOLDER (default \"/\") with its stored path, so restoring\n"
               "into \"/\" puts each file back where it was.\n"
               "\n"
               "Entries whose names hold \"..\" or begin with \"/\" are refused, links are\n"
               "neither followed nor made, and an existing file is never overwritten: it\n"
               "is reported and kept. Into \"/\", an archive named after a volume that is\n"
               "not mounted is refused as a whole (its files would land in the empty\n"
               "mount point). Each entry not restored is reported on stderr.\n"
               "\n"
               "Options:\n"
               "  --into FOLDER  the folder to restore into (default \"/\")\n"
               "  -h, --help     show this help\n"
               "  --             the argument after it is the archive, even if it begins\n"
               "                 with \"-\"\n"
               "\n"
               "Exit status: 0 every entry restored, 1 some not restored (or the archive\n"
               "could not be read), 2 bad arguments.\n")
        .arg(QLatin1String(kProgramName));
}

int runRestore(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    QList<QByteArray> archives;
    QByteArray into = platform::kRootFolder;
    OptionCursor c(args);
    while (c.next()) {
        if (c.isOperand()) {
            archives.append(c.arg());
        } else if (c.isHelp()) {
            return showUsage(out, restoreUsage());
        } else if (c.name() == "--into") {
            const std::optional<QByteArray> value = c.value();
            if (!value || value->isEmpty()) {
                return usageError(err, "restore", QStringLiteral("--into needs a folder"));
            }
            into = *value;
        } else {
            return usageError(err, "restore", c.unknownOptionText());
        }
    }
    if (archives.size() != 1) {
        return usageError(err, "restore",
                          archives.isEmpty() ? QStringLiteral("no archive given")
                                             : QStringLiteral("give exactly one archive"));
    }
    const QByteArray archive = archives.front();

    ArchiveReader reader;
    if (!reader.open(archive)) {
        fail(err, QStringLiteral("cannot read the archive %1: %2")
                      .arg(QFile::decodeName(archive), reader.error()));
        return kExitIncomplete;
    }
    if (into == platform::kRootFolder && isVolumeArchiveName(QFile::decodeName(archive))) {
        QStringList keys;
        for (const platform::Volume& v : platform::mountedVolumes()) {
            keys.append(platform::volumeKey(v.mountPoint));
        }
        if (archiveVolumeKey(QFile::decodeName(archive), keys).isEmpty()) {
            fail(err, QStringLiteral("the volume the archive %1 was made from is not mounted; "
                                     "mount it first, or restore with --into FOLDER")
                          .arg(QFile::decodeName(archive)));
            return kExitIncomplete;
        }
    }

    RestoreHooks hooks;
    hooks.failed = [&](const RestoreFailure& f) {
        err << extractFailureText(f.entryName, archive) << ": " << f.reason << '\n';
        err.flush();
    };
    hooks.warned = [&](const RestoreFailure& w) {
        err << kProgramName << " restore: warning: ";
        writeBytes(err, w.entryName);
        err << ": " << w.reason << '\n';
        err.flush();
    };
    const RestoreSummary summary = restoreArchive(reader, into, hooks);
    if (!summary.error.isEmpty()) {
        fail(err, summary.error);
        return kExitIncomplete;
    }
    out << "restored " << summary.restored << " of " << summary.entries << " files into "
        << QFile::decodeName(into) << '\n';
    out.flush();
    return summary.complete() ? kExitOk : kExitIncomplete;
}

}  // namespace dw::cli
