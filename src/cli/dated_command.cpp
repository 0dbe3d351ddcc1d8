#include "cli/dated_command.h"

#include <QFile>

#include "base/grid_table.h"
#include "cli/cli_options.h"
#include "cli/cli_support.h"
#include "finders/date_search.h"
#include "finders/dup_search.h"
#include "inspect/grid_export.h"

namespace dw::cli {

namespace {

constexpr char kCommand[] = "dated";

class SayingHooks final : public RowFinderHooks {
public:
    using RowFinderHooks::RowFinderHooks;
    void onUnopened(const DriveEntry&, const QString& message) override {
        tell(platform::MessageKind::Error, message);
    }
};

}  // namespace

QString datedUsage() {
    return QStringLiteral(
               "Usage: %1 dated (--accessed | --created | --modified)\n"
               "         (--before DATE | --after DATE | --between DATE DATE)\n"
               "         [--pattern P] FOLDER...\n"
               "\n"
               "Lists the files whose last access, creation or last change lies on or\n"
               "before a day, between two days or on or after a day, as Diskwell's \"Files\n"
               "accessed\" window does: Filename, Accessed, Created, Modified, Size, Folder,\n"
               "Type.\n"
               "\n"
               "Options:\n"
               "  --accessed       test the date of the last access\n"
               "  --created        test the date of creation (where the file system keeps it)\n"
               "  --modified       test the date of the last change\n"
               "  --before DATE    on or before DATE (YYYY-MM-DD); files without the date too\n"
               "  --after DATE     on or after DATE\n"
               "  --between D1 D2  from D1 to D2, both days included (D2 not before D1)\n"
               "  --pattern P      only names matching P (default \"*.*\", every name)\n"
               "  -h, --help       show this help\n"
               "\n"
               "Each FOLDER is walked as the finder walks a checked folder: no link is\n"
               "followed, hidden folders and hidden or system files are left out.\n"
               "Output: tab-separated lines, titles first; TAB, line feed, carriage return\n"
               "and backslash in a cell are written \\t, \\n, \\r and \\\\, a byte that is not\n"
               "UTF-8 as \\xHH.\n"
               "\n"
               "Exit status: 0 done, 1 done in part (a FOLDER could not be opened), 2 bad\n"
               "arguments.\n")
        .arg(QLatin1String(kProgramName));
}

int runDated(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    DateOptions options;
    bool kindGiven = false;
    bool testGiven = false;
    QList<QByteArray> folders;
    const auto error = [&](const QString& m) { return usageError(err, kCommand, m); };
    OptionCursor c(args);
    while (c.next()) {
        const QByteArray& arg = c.arg();
        const QByteArray& name = c.name();
        if (c.isOperand()) {
            folders << arg;
        } else if (c.isHelp()) {
            return showUsage(out, datedUsage());
        } else if (arg == "--accessed" || arg == "--created" || arg == "--modified") {
            if (kindGiven) {
                return error(QStringLiteral("give one of --accessed, --created, --modified"));
            }
            kindGiven = true;
            options.kind = arg == "--accessed"  ? DateKind::Accessed
                           : arg == "--created" ? DateKind::Created
                                                : DateKind::Modified;
        } else if (name == "--before" || name == "--after") {
            const std::optional<QDate> d = isoDate(c.value());
            if (!d) {
                return error(QFile::decodeName(name) + QStringLiteral(" needs a date YYYY-MM-DD"));
            }
            if (testGiven) {
                return error(QStringLiteral("give one of --before, --after, --between"));
            }
            testGiven = true;
            options.test = name == "--before" ? DateTest::OnOrBefore : DateTest::OnOrAfter;
            options.start = *d;
            options.end = *d;
        } else if (arg == "--between") {
            const std::optional<QDate> d1 = isoDate(c.value());
            const std::optional<QDate> d2 = d1 ? isoDate(c.value()) : std::nullopt;
            if (!d1 || !d2) {
                return error(QStringLiteral("--between needs two dates YYYY-MM-DD"));
            }
            if (testGiven) {
                return error(QStringLiteral("give one of --before, --after, --between"));
            }
            if (*d2 < *d1) {
                return error(QStringLiteral("the second date is before the first"));
            }
            testGiven = true;
            options.test = DateTest::Between;
            options.start = *d1;
            options.end = *d2;
        } else if (name == "--pattern") {
            const std::optional<QByteArray> v = c.value();
            if (!v || WildcardPattern(QFile::decodeName(*v)).isEmpty()) {
                return error(QStringLiteral("--pattern needs a pattern"));
            }
            options.pattern = QFile::decodeName(*v);
        } else {
            return error(c.unknownOptionText());
        }
    }
    if (!kindGiven) {
        return error(QStringLiteral("give one of --accessed, --created, --modified"));
    }
    if (!testGiven) {
        return error(QStringLiteral("give one of --before, --after, --between"));
    }
    if (folders.isEmpty()) {
        return error(QStringLiteral("no folder given"));
    }

    GridTable grid;
    DateSearch search(options, grid);
    SayingHooks hooks(search);
    WalkOptions walkOptions;
    walkOptions.pattern = WildcardPattern(options.pattern);
    FolderWalk walk(walkOptions, hooks);
    search.start();
    const int unopened = walk.walkEntries(folderEntries(folders));
    search.finish();
    for (qsizetype r = 0; r <= search.foundCount(); ++r) {
        out << QString::fromUtf8(TsvLine(GridRowBytes(grid, r, kDateFileCells))) << '\n';
    }
    out.flush();
    if (search.foundCount() == 0) {
        tell(platform::MessageKind::Info, QString::fromLatin1(kNoFilesText));
    }
    return unopened > 0 ? kExitIncomplete : kExitOk;
}

}  // namespace dw::cli
