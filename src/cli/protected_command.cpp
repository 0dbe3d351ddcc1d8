#include "cli/protected_command.h"

#include <QFile>

#include "cli/cli_options.h"
#include "cli/cli_support.h"
#include "platform/dir_reader.h"
#include "safety/safe_harbor.h"

namespace dw::cli {

namespace {}  // namespace

QByteArray protectedLine(const SafeHarbor& harbor, const QByteArray& path) {
    const auto entry = platform::statPath(path);
    const bool isFolder = entry && entry->isFolder();
    int reason = SafeHarbor::kNotProtected;
    QByteArray line = path;
    if (harbor.isInSafeHarbor(path, !isFolder, reason)) {
        line += "\tprotected\t";
        line += SafeHarbor::safeHarborReason(reason).toUtf8();
    } else {
        line += "\tnot protected";
    }
    return line;
}

QString protectedUsage() {
    return QStringLiteral(
               "Usage: %1 protected PATH...\n"
               "\n"
               "Tells for each PATH whether Diskwell's Safe Harbor protects it, one line per\n"
               "PATH, fields separated by a TAB:\n"
               "  PATH<TAB>protected<TAB>REASON\n"
               "  PATH<TAB>not protected\n"
               "REASON is one of \"in the Windows/System folder\" (the system's trees\n"
               "/usr, /etc, /boot, /opt, /var/lib, and /bin, /sbin, /lib* where they are\n"
               "real folders), \"in the search path\", \"referenced in the registry\" (the\n"
               "Safe Harbor folder list) and \"included in the protected file extensions\".\n"
               "\n"
               "An existing folder is asked as a folder, anything else as a file. The\n"
               "lists are those of Diskwell: folders.txt in its settings folder, $PATH,\n"
               "the system folders and the protected extensions of its settings.\n"
               "\n"
               "Options:\n"
               "  -h, --help   show this help\n"
               "  --           the arguments after it are paths, even those beginning\n"
               "               with \"-\"\n"
               "\n"
               "Exit status: 0 done, 1 done but the Safe Harbor folder list has not been\n"
               "built yet (only the search path, the system folders and the extensions\n"
               "were asked), or nothing answered because the folder list or the settings\n"
               "file cannot be read or the protected extensions' count is damaged (the\n"
               "message names the file), 2 bad arguments.\n")
        .arg(QLatin1String(kProgramName));
}

int runProtected(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    QList<QByteArray> paths;
    if (const std::optional<int> status = readOperandsOnly(args, "protected", protectedUsage(),
                                                           "no path given", paths, out, err)) {
        return *status;
    }

    SafeHarbor harbor;
    harbor.ReadSafeHarborExtensions();
    harbor.GetSearchPath();
    if (const QString error = harbor.loadError(); !error.isEmpty()) {
        // An answer from lists that may lack what protects a path could be wrong the
        // dangerous way: none is given.
        err << kProgramName << " protected: " << error << '\n';
        err.flush();
        return kExitIncomplete;
    }
    if (harbor.safeHarborMissing()) {
        err << kProgramName
            << " protected: the Safe Harbor list of folders has not been built yet; only the "
               "search path, the system folders and the protected extensions were asked."
            << '\n';
        err.flush();
    }
    for (const QByteArray& path : paths) {
        writeBytes(out, protectedLine(harbor, path) + '\n');
    }
    out.flush();
    return harbor.safeHarborMissing() ? kExitIncomplete : kExitOk;
}

}  // namespace dw::cli
