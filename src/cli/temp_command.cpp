#include "cli/temp_command.h"

#include <QFile>

#include "base/grid_table.h"
#include "base/settings_sections.h"
#include "base/sort_grid.h"
#include "cli/cli_options.h"
#include "cli/cli_support.h"
#include "finders/dup_search.h"
#include "finders/temp_search.h"
#include "inspect/grid_export.h"

namespace dw::cli {

namespace {

constexpr char kCommand[] = "temp";

class SayingHooks final : public RowFinderHooks {
public:
    using RowFinderHooks::RowFinderHooks;
    void onUnopened(const DriveEntry&, const QString& message) override {
        tell(platform::MessageKind::Error, message);
    }
};

}  // namespace

QString tempUsage() {
    return QStringLiteral(
               "Usage: %1 temp [--ext PATTERN]... FOLDER...\n"
               "\n"
               "Lists the temporary files in the FOLDERs as Diskwell's \"Quick clean\" window\n"
               "does, largest first: Size, Modified, Time, Access, FileName, Type.\n"
               "\n"
               "Options:\n"
               "  --ext PATTERN    a temporary-file pattern such as \"*.tmp\" or \"*.~*\"; give\n"
               "                   it again for more. Without it: the list the window keeps,\n"
               "                   or its defaults. A file is temporary when its extension\n"
               "                   (from its last dot on) matches one, letters in either case.\n"
               "  -h, --help       show this help\n"
               "\n"
               "Each FOLDER is walked as the window walks a checked folder: hidden files are\n"
               "listed; hidden folders, links and other system entries are left out.\n"
               "Output: tab-separated lines, titles first, cells escaped as \\t, \\n, \\r,\n"
               "\\\\ and \\xHH.\n"
               "\n"
               "Exit status: 0 done, 1 done in part (a FOLDER could not be opened), 2 bad\n"
               "arguments.\n")
        .arg(QLatin1String(kProgramName));
}

int runTemp(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    QStringList patterns;
    QList<QByteArray> folders;
    const auto error = [&](const QString& m) { return usageError(err, kCommand, m); };
    OptionCursor c(args);
    while (c.next()) {
        if (c.isOperand()) {
            folders << c.arg();
        } else if (c.isHelp()) {
            return showUsage(out, tempUsage());
        } else if (c.name() == "--ext") {
            const std::optional<QByteArray> v = c.value();
            if (!v || v->size() < 2) {
                return error(QStringLiteral("--ext needs a pattern such as \"*.tmp\""));
            }
            patterns << QFile::decodeName(*v);
        } else {
            return error(c.unknownOptionText());
        }
    }
    if (folders.isEmpty()) {
        return error(QStringLiteral("no folder given"));
    }
    if (patterns.isEmpty()) {
        patterns = ReadTempExtensionLines(settings::defaultTempFilesForQuickClean());
    }

    GridTable grid;
    TempSearch search(TempMatcher(patterns), grid);
    SayingHooks hooks(search);
    FolderWalk walk(TempWalkOptions(), hooks);
    search.start();
    const int unopened = walk.walkEntries(folderEntries(folders));
    search.finish();
    if (search.foundCount() > 1) {
        SortGridByNumber(grid, 1, grid.rowCount() - 1, true, kTempSizeColumn);
    }
    for (qsizetype r = 0; r <= search.foundCount(); ++r) {
        out << QString::fromUtf8(TsvLine(GridRowBytes(grid, r, kTempFileCells))) << '\n';
    }
    out.flush();
    if (search.foundCount() == 0) {
        tell(platform::MessageKind::Info, QString::fromLatin1(kNoFilesText));
    }
    return unopened > 0 ? kExitIncomplete : kExitOk;
}

}  // namespace dw::cli
