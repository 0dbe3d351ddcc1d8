#include "cli/caches_command.h"

#include <QFile>

#include "base/file_dates.h"
#include "base/utility.h"
#include "cli/cli_options.h"
#include "cli/cli_support.h"
#include "finders/cache_folders.h"
#include "inspect/grid_export.h"

namespace dw::cli {

namespace {

constexpr char kCommand[] = "caches";

}  // namespace

QString cachesUsage() {
    return QStringLiteral(
               "Usage: %1 caches [--days N] [--list] [--discover] [-0]\n"
               "\n"
               "Lists the files of the browsers' cache folders that were not accessed for N\n"
               "days, as Diskwell's \"Clear internet files\" window hands them over: Size,\n"
               "Accessed, FileName. Only the files lying directly in each folder count.\n"
               "\n"
               "Options:\n"
               "  --days N     files last accessed at least N days ago (0 to %2; default 0);\n"
               "               a file without an access date is never listed\n"
               "  --list       list the cache folders instead (title \"Folder\")\n"
               "  --discover   use every cache folder found now (GNOME Web; Firefox,\n"
               "               Chromium, Google Chrome, Brave, Vivaldi and Microsoft Edge,\n"
               "               native, Flatpak and Snap) instead of the window's list\n"
               "  -0           print only the files' paths, each ended by a NUL byte, for\n"
               "               \"%1 clean -0\"\n"
               "  -h, --help   show this help\n"
               "\n"
               "Output: tab-separated lines, titles first, cells escaped as \\t, \\n, \\r,\n"
               "\\\\ and \\xHH. Example: %1 caches --days 30 -0 | %1 clean --trash -0\n"
               "\n"
               "Exit status: 0 done, 2 bad arguments.\n")
        .arg(QLatin1String(kProgramName))
        .arg(kCacheDaysMax);
}

int runCaches(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    int days = 0;
    bool list = false;
    bool discover = false;
    bool nul = false;
    const auto error = [&](const QString& m) { return usageError(err, kCommand, m); };
    OptionCursor c(args, OptionCursor::Operands::None);
    while (c.next()) {
        const QByteArray& arg = c.arg();
        if (c.isHelp()) {
            return showUsage(out, cachesUsage());
        } else if (arg == "--list") {
            list = true;
        } else if (arg == "--discover") {
            discover = true;
        } else if (arg == "-0") {
            nul = true;
        } else if (c.name() == "--days") {
            const std::optional<QByteArray> v = c.value();
            bool ok = false;
            const int n = v ? v->toInt(&ok, 10) : -1;
            if (!ok || n < 0 || n > kCacheDaysMax || v->startsWith('+')) {
                return error(
                    QStringLiteral("--days needs a whole number from 0 to %1").arg(kCacheDaysMax));
            }
            days = n;
        } else {
            return error(
                arg.startsWith('-')
                    ? c.unknownOptionText()
                    : QStringLiteral("no argument expected: '%1'").arg(QFile::decodeName(arg)));
        }
    }
    const QList<QByteArray> folders =
        discover ? FirstCacheDiscovery(CacheRoots::user()) : ReadCacheFolders();
    if (list) {
        if (!nul) {
            out << "Folder\n";
        }
        for (const QByteArray& f : folders) {
            if (nul) {
                writeBytes(out, f + '\0');
            } else {
                out << QString::fromUtf8(TsvEscape(f)) << '\n';
            }
        }
        out.flush();
        return kExitOk;
    }
    const CacheFiles files = CollectCacheFiles(folders, days);
    if (!nul) {
        out << "Size\tAccessed\tFileName\n";
    }
    for (qsizetype i = 0; i < files.paths.size(); ++i) {
        const QByteArray& path = files.paths[i];
        if (nul) {
            writeBytes(out, path + '\0');
            continue;
        }
        out << QString::fromUtf8(TsvLine({FormatThousands(files.sizes[i]).toUtf8(),
                                          FileDateToDateText(files.accessed[i]).toUtf8(), path}))
            << '\n';
    }
    out.flush();
    if (files.paths.isEmpty()) {
        tell(platform::MessageKind::Error, QString::fromLatin1(kNoCacheFilesText));
    }
    return kExitOk;
}

}  // namespace dw::cli
