#include "cli/duplicates_command.h"

#include <QFile>

#include <limits>
#include <optional>

#include "base/grid_table.h"
#include "base/utility.h"
#include "cli/cli_support.h"
#include "finders/dup_search.h"
#include "inspect/grid_export.h"
#include "scan/drive_entry.h"
#include "scan/folder_walk.h"

namespace dw::cli {

namespace {

// The search's walk, saying what happens on the way as the window does.
class SayingHooks final : public DupWalkHooks {
public:
    using DupWalkHooks::DupWalkHooks;
    void onUnopened(const DriveEntry&, const QString& message) override {
        tell(platform::MessageKind::Error, message);
    }
    void onListFull() override {
        tell(platform::MessageKind::Warning, resourceLimitText(), platform::Sound::Hand);
    }
};

std::optional<qint64> wholeNumber(const QByteArray& text, qint64 max) {
    bool ok = false;
    const qint64 n = text.toLongLong(&ok, 10);
    if (!ok || n < 0 || n > max || text.startsWith('+')) {
        return std::nullopt;
    }
    return n;
}

QString sharedOptionsText() {
    return QStringLiteral(
        "  --larger N       files of at least N units (the default: --larger 250)\n"
        "  --smaller N      files of at most N units\n"
        "  --between N M    files of N to M units, both included (M >= N)\n"
        "  --unit U         the unit of N and M: bytes or KB (1,024 bytes; default KB)\n"
        "  --pattern P      only names matching P (\"*\" any run, \"?\" one character,\n"
        "                   letters in either case, \";\" between several patterns;\n"
        "                   default \"*.*\", every name)\n"
        "  --limit N        stop with a warning once N files are candidates\n"
        "  -h, --help       show this help\n"
        "\n"
        "Each FOLDER is walked as the finder walks a checked drive or folder: no link\n"
        "is followed, the walk stays on the FOLDER's file system, hidden folders and\n"
        "hidden or system files (names beginning with \".\", links, FIFOs, devices)\n"
        "are left out. A FOLDER given twice is walked twice.\n"
        "\n"
        "Output: tab-separated lines, the column titles first. In every cell a TAB,\n"
        "line feed, carriage return and backslash are written as \\t, \\n, \\r and \\\\,\n"
        "and a byte that is not UTF-8 as \\xHH, so names are recovered byte for byte.\n"
        "Sizes, dates and times are written in the user's locale.\n"
        "\n"
        "Exit status: 0 done, 1 done in part (a FOLDER could not be opened, or the\n"
        "--limit was reached), 2 bad arguments.\n");
}

int run(bool duplicateMode, const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    const char* command = duplicateMode ? "duplicates" : "hogs";
    DupOptions options;
    options.duplicateMode = duplicateMode;
    QList<QByteArray> folders;
    bool optionsEnded = false;
    bool sizeGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QByteArray& arg = args[i];
        if (optionsEnded || !arg.startsWith('-') || arg == "-") {
            folders.append(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            out << (duplicateMode ? duplicatesUsage() : hogsUsage());
            out.flush();
            return kExitOk;
        }
        // "--name value" or "--name=value".
        const qsizetype eq = arg.indexOf('=');
        const QByteArray name = eq < 0 ? arg : arg.left(eq);
        const auto value = [&]() -> std::optional<QByteArray> {
            if (eq >= 0) {
                return arg.mid(eq + 1);
            }
            if (i + 1 >= args.size()) {
                return std::nullopt;
            }
            return args[++i];
        };
        const auto needs = [&](const char* what) {
            return usageError(
                err, command,
                QStringLiteral("%1 needs %2").arg(QFile::decodeName(name), QLatin1String(what)));
        };
        const qint64 maxLimit = std::numeric_limits<qint64>::max() / 1024;
        if (name == "--criterion" && duplicateMode) {
            const std::optional<QByteArray> v = value();
            const std::optional<qint64> n =
                v ? wholeNumber(*v, kDupCriterionCount - 1) : std::nullopt;
            if (!n) {
                return needs("a number from 0 to 6");
            }
            options.criterion = int(*n);
        } else if (name == "--larger" || name == "--smaller") {
            const std::optional<QByteArray> v = value();
            const std::optional<qint64> n = v ? wholeNumber(*v, maxLimit) : std::nullopt;
            if (!n) {
                return needs("a whole number of at least 0");
            }
            if (sizeGiven) {
                return usageError(err, command, QStringLiteral("give one size test only"));
            }
            sizeGiven = true;
            options.sizeTest =
                name == "--larger" ? SizeTest::LargerOrEqual : SizeTest::SmallerOrEqual;
            options.num1 = *n;
        } else if (name == "--between" && eq < 0) {
            if (i + 2 >= args.size()) {
                return needs("two numbers");
            }
            const std::optional<qint64> n1 = wholeNumber(args[i + 1], maxLimit);
            const std::optional<qint64> n2 = wholeNumber(args[i + 2], maxLimit);
            if (!n1 || !n2) {
                return needs("two whole numbers of at least 0");
            }
            if (sizeGiven) {
                return usageError(err, command, QStringLiteral("give one size test only"));
            }
            i += 2;
            if (*n2 < *n1) {
                // The window's own refusal, in its words.
                err << kProgramName << ' ' << command << ": " << kSecondNumberError << '\n';
                err.flush();
                return kExitUsage;
            }
            sizeGiven = true;
            options.sizeTest = SizeTest::Between;
            options.num1 = *n1;
            options.num2 = *n2;
        } else if (name == "--unit") {
            const std::optional<QByteArray> v = value();
            if (v && v->compare("bytes", Qt::CaseInsensitive) == 0) {
                options.unit = SizeUnit::Bytes;
            } else if (v && v->compare("KB", Qt::CaseInsensitive) == 0) {
                options.unit = SizeUnit::KB;
            } else {
                return needs("bytes or KB");
            }
        } else if (name == "--pattern") {
            const std::optional<QByteArray> v = value();
            if (!v || WildcardPattern(QFile::decodeName(*v)).isEmpty()) {
                return needs("a pattern");
            }
            options.pattern = QFile::decodeName(*v);
        } else if (name == "--limit") {
            const std::optional<QByteArray> v = value();
            const std::optional<qint64> n =
                v ? wholeNumber(*v, DupCandidateList::kDefaultLimit) : std::nullopt;
            if (!n || *n < 1) {
                return needs("a number of at least 1");
            }
            options.candidateLimit = qsizetype(*n);
        } else {
            return usageError(err, command,
                              QStringLiteral("unknown option '%1'").arg(QFile::decodeName(arg)));
        }
    }
    if (folders.isEmpty()) {
        return usageError(err, command, QStringLiteral("no folder given"));
    }

    QList<DriveEntry> entries;
    for (const QByteArray& folder : folders) {
        DriveEntry e;
        e.kind = DriveEntry::Kind::ExtraFolder;
        e.startFolder = folder;
        e.text = QFile::decodeName(folder);
        e.checked = true;
        entries.append(e);
    }
    DupSearch search(options);
    SayingHooks hooks(search);
    WalkOptions walkOptions;
    walkOptions.pattern = WildcardPattern(options.pattern);
    FolderWalk walk(walkOptions, hooks);
    const int unopened = walk.ScanAllDrives(entries);
    search.finish();

    GridTable grid;
    search.fillGrid(grid);
    out << QString::fromUtf8(TsvLine(DupRowBytes(grid, 0, duplicateMode))) << '\n';
    if (search.resultCount() > 0) {
        for (qsizetype r = 1; r < grid.rowCount(); ++r) {
            out << QString::fromUtf8(TsvLine(DupRowBytes(grid, r, duplicateMode))) << '\n';
        }
    }
    out.flush();
    if (search.resultCount() == 0) {
        tell(platform::MessageKind::Info, QString::fromLatin1(kNoFilesText));
    }
    return unopened > 0 || hooks.listFull() ? kExitIncomplete : kExitOk;
}

}  // namespace

QString duplicatesUsage() {
    QString text = QStringLiteral(
                       "Usage: %1 duplicates [--criterion N] [--larger N | --smaller N |\n"
                       "         --between N M] [--unit bytes|KB] [--pattern P] [--limit N]\n"
                       "         FOLDER...\n"
                       "\n"
                       "Finds duplicate files as Diskwell's \"Duplicate files\" window does and\n"
                       "prints its rows: Filename, Size, Modified, Time, Access, Folder, Type.\n"
                       "Files are duplicates when their lines agree on the criterion and are\n"
                       "neighbours in the list sorted by those lines.\n"
                       "\n"
                       "Options:\n"
                       "  --criterion N    what must agree (default 0):\n")
                       .arg(QLatin1String(kProgramName));
    for (int c = 0; c < kDupCriterionCount; ++c) {
        text += QStringLiteral("                     %1  %2\n")
                    .arg(c)
                    .arg(QLatin1String(kDupCriteria[c].item));
    }
    return text + sharedOptionsText();
}

QString hogsUsage() {
    return QStringLiteral(
               "Usage: %1 hogs [--larger N | --smaller N | --between N M]\n"
               "         [--unit bytes|KB] [--pattern P] [--limit N] FOLDER...\n"
               "\n"
               "Lists the files in a size range, largest first, as Diskwell's \"File hogs\"\n"
               "window does: Size, Modified, Time, Access, FileName, Type.\n"
               "\n"
               "Options:\n")
               .arg(QLatin1String(kProgramName)) +
           sharedOptionsText();
}

int runDuplicates(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    return run(true, args, out, err);
}

int runHogs(const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    return run(false, args, out, err);
}

}  // namespace dw::cli
