#include "cli/duplicates_command.h"

#include <QFile>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>

#include "base/utility.h"
#include "cli/cli_options.h"
#include "cli/cli_support.h"
#include "finders/dup_row_writer.h"
#include "finders/dup_search.h"
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
        "  --unit U         the unit of N and M: bytes, KB (1,024 bytes), MB (1,024 KB)\n"
        "                   or GB (1,024 MB); default KB\n"
        "  --pattern P      only names matching P (\"*\" any run, \"?\" one character,\n"
        "                   letters in either case, \";\" between several patterns;\n"
        "                   default \"*.*\", every name)\n"
        "  --limit N        stop with a warning once N files are candidates\n"
        "  -h, --help       show this help\n"
        "\n"
        "Each FOLDER is walked as the finder walks a checked drive or folder: no link\n"
        "is followed, the walk stays on the FOLDER's file system, hidden folders and\n"
        "hidden or system files (names beginning with \".\", links, FIFOs, devices)\n"
        "are left out. A FOLDER given twice, or lying inside another FOLDER, is walked\n"
        "once.\n"
        "\n"
        "Output: tab-separated lines, the column titles first. In every cell a TAB,\n"
        "line feed, carriage return and backslash are written as \\t, \\n, \\r and \\\\,\n"
        "and a byte that is not UTF-8 as \\xHH, so names are recovered byte for byte.\n"
        "Sizes, dates and times are written in the user's locale.\n"
        "\n"
        "Exit status: 0 done, 1 done in part (a FOLDER could not be opened, the\n"
        "--limit was reached, or under criterion 7 a file could not be read or\n"
        "changed while it was read), 2 bad arguments.\n");
}

// What the arguments of one run ask for.
struct DupRequest {
    DupOptions options;
    bool groups = false;  // "--groups": a first column with each row's group
    QList<QByteArray> folders;
    bool help = false;  // "--help" came before any bad argument
};

// Reads the arguments of one run into a DupRequest. Each read returns kExitOk, or
// kExitUsage after writing the usage error on `err`.
class ArgumentReader {
public:
    ArgumentReader(bool duplicateMode, const QList<QByteArray>& args, QTextStream& err)
        : duplicateMode_(duplicateMode),
          command_(duplicateMode ? "duplicates" : "hogs"),
          cursor_(args),
          err_(err) {}

    int read(DupRequest& request) {
        request_ = &request;
        request.options.duplicateMode = duplicateMode_;
        while (cursor_.next()) {
            if (cursor_.isOperand()) {
                request.folders.append(cursor_.arg());
            } else if (cursor_.isHelp()) {
                request.help = true;
                return kExitOk;
            } else if (const int status = readOption(); status != kExitOk) {
                return status;
            }
        }
        if (request.folders.isEmpty()) {
            return error(QStringLiteral("no folder given"));
        }
        return kExitOk;
    }

private:
    // "--name value" or "--name=value".
    int readOption() {
        const QByteArray& name = cursor_.name();
        const bool inlineValue = cursor_.hasInlineValue();
        DupOptions& options = request_->options;
        if (name == "--criterion" && duplicateMode_) {
            const std::optional<QByteArray> v = cursor_.value();
            const std::optional<qint64> n =
                v ? wholeNumber(*v, kDupCriterionCount - 1) : std::nullopt;
            if (!n) {
                return needs("a number from 0 to 7");
            }
            options.criterion = int(*n);
        } else if (name == "--groups" && duplicateMode_ && !inlineValue) {
            request_->groups = true;
        } else if (name == "--empty" && duplicateMode_ && !inlineValue) {
            options.includeEmpty = true;
        } else if (name == "--larger" || name == "--smaller") {
            return readOneLimit();
        } else if (name == "--between" && !inlineValue) {
            return readBetween();
        } else if (name == "--unit") {
            const std::optional<QByteArray> v = cursor_.value();
            const SizeUnit units[] = {SizeUnit::Bytes, SizeUnit::KB, SizeUnit::MB, SizeUnit::GB};
            const auto* unit = std::find_if(std::begin(units), std::end(units), [&](SizeUnit u) {
                return v && v->compare(SizeUnitText(u), Qt::CaseInsensitive) == 0;
            });
            if (unit == std::end(units)) {
                return needs("bytes, KB, MB or GB");
            }
            options.unit = *unit;
        } else if (name == "--pattern") {
            const std::optional<QByteArray> v = cursor_.value();
            if (!v || WildcardPattern(QFile::decodeName(*v)).isEmpty()) {
                return needs("a pattern");
            }
            options.pattern = QFile::decodeName(*v);
        } else if (name == "--limit") {
            const std::optional<QByteArray> v = cursor_.value();
            const std::optional<qint64> n =
                v ? wholeNumber(*v, DupCandidateList::kDefaultLimit) : std::nullopt;
            if (!n || *n < 1) {
                return needs("a number of at least 1");
            }
            options.candidateLimit = qsizetype(*n);
        } else {
            return error(cursor_.unknownOptionText());
        }
        return kExitOk;
    }

    // "--larger N" or "--smaller N".
    int readOneLimit() {
        const std::optional<QByteArray> v = cursor_.value();
        const std::optional<qint64> n = v ? wholeNumber(*v, kMaxSize) : std::nullopt;
        if (!n) {
            return needs("a whole number of at least 0");
        }
        if (sizeGiven_) {
            return error(QStringLiteral("give one size test only"));
        }
        sizeGiven_ = true;
        DupOptions& options = request_->options;
        options.sizeTest =
            cursor_.name() == "--larger" ? SizeTest::LargerOrEqual : SizeTest::SmallerOrEqual;
        options.num1 = *n;
        return kExitOk;
    }

    // "--between N M".
    int readBetween() {
        const std::optional<std::pair<QByteArray, QByteArray>> values = cursor_.twoValues();
        if (!values) {
            return needs("two numbers");
        }
        const std::optional<qint64> n1 = wholeNumber(values->first, kMaxSize);
        const std::optional<qint64> n2 = wholeNumber(values->second, kMaxSize);
        if (!n1 || !n2) {
            return needs("two whole numbers of at least 0");
        }
        if (sizeGiven_) {
            return error(QStringLiteral("give one size test only"));
        }
        if (*n2 < *n1) {
            // The window's own refusal, in its words.
            err_ << kProgramName << ' ' << command_ << ": " << kSecondNumberError << '\n';
            err_.flush();
            return kExitUsage;
        }
        sizeGiven_ = true;
        DupOptions& options = request_->options;
        options.sizeTest = SizeTest::Between;
        options.num1 = *n1;
        options.num2 = *n2;
        return kExitOk;
    }

    int needs(const char* what) {
        return error(QStringLiteral("%1 needs %2")
                         .arg(QFile::decodeName(cursor_.name()), QLatin1String(what)));
    }

    int error(const QString& message) { return usageError(err_, command_, message); }

    // Sizes in KB must still fit in bytes; larger units saturate (SizeUnitsInBytes).
    static constexpr qint64 kMaxSize = std::numeric_limits<qint64>::max() / 1024;

    const bool duplicateMode_;
    const char* const command_;
    OptionCursor cursor_;
    QTextStream& err_;
    DupRequest* request_ = nullptr;
    bool sizeGiven_ = false;
};

// Walks `folders`, prints the result rows on `out` (after their group numbers when
// `groups`) and says what happened on the way.
int search(const DupOptions& options, const QList<QByteArray>& folders, bool groups,
           QTextStream& out) {
    auto owned = std::make_unique<DupSearch>(options);
    DupSearch& search = *owned;
    SayingHooks hooks(search);
    WalkOptions walkOptions;
    walkOptions.pattern = WildcardPattern(options.pattern);
    FolderWalk walk(walkOptions, hooks);
    const int unopened = walk.walkEntries(folderEntries(folders));
    search.finish();

    DupRowWriter(search, groups).write([&out](QByteArrayView bytes) {
        writeBytes(out, QByteArray::fromRawData(bytes.data(), bytes.size()));
    });
    out.flush();
    for (const DupSearch::ContentProblem& p : search.contentProblems()) {
        tell(platform::MessageKind::Warning, (p.changed ? QStringLiteral("Left out %1: %2")
                                                        : QStringLiteral("Could not read %1: %2"))
                                                 .arg(QFile::decodeName(p.path), p.reason));
    }
    if (search.resultCount() == 0) {
        tell(platform::MessageKind::Info, QString::fromLatin1(kNoFilesText));
    }
    const int status = unopened > 0 || hooks.listFull() || !search.contentProblems().empty()
                           ? kExitIncomplete
                           : kExitOk;
    return status;
}

int run(bool duplicateMode, const QList<QByteArray>& args, QTextStream& out, QTextStream& err) {
    DupRequest request;
    if (const int status = ArgumentReader(duplicateMode, args, err).read(request);
        status != kExitOk) {
        return status;
    }
    if (request.help) {
        out << (duplicateMode ? duplicatesUsage() : hogsUsage());
        out.flush();
        return kExitOk;
    }
    return search(request.options, request.folders, request.groups, out);
}

}  // namespace

QString duplicatesUsage() {
    QString text =
        QStringLiteral(
            "Usage: %1 duplicates [--criterion N] [--groups] [--empty]\n"
            "         [--larger N | --smaller N | --between N M] [--unit bytes|KB|MB|GB]\n"
            "         [--pattern P] [--limit N] FOLDER...\n"
            "\n"
            "Finds duplicate files as Diskwell's \"Duplicate files\" window does and\n"
            "prints its rows: Filename, Size, Modified, Time, Access, Folder, Type.\n"
            "Files are duplicates when their lines agree on the criterion and are\n"
            "neighbours in the list sorted by those lines; under criterion 7 when\n"
            "their bytes are equal (files of one inode, hard links, are one file:\n"
            "listed once with a note \"n names\" in Type, or as a group of their\n"
            "names noted \"hard links, no space to gain\").\n"
            "\n"
            "Options:\n"
            "  --criterion N    what must agree (default 0):\n")
            .arg(QLatin1String(kProgramName));
    for (int c = 0; c < kDupCriterionCount; ++c) {
        text += QStringLiteral("                     %1  %2\n")
                    .arg(c)
                    .arg(QLatin1String(kDupCriteria[c].item));
    }
    text += QStringLiteral(
        "  --groups         a first column, Group, with each row's group number (1, 2,\n"
        "                   ... in the order of the rows)\n"
        "  --empty          criterion 7: empty files are duplicates of each other\n"
        "                   (they are left out otherwise)\n");
    return text + sharedOptionsText();
}

QString hogsUsage() {
    return QStringLiteral(
               "Usage: %1 hogs [--larger N | --smaller N | --between N M]\n"
               "         [--unit bytes|KB|MB|GB] [--pattern P] [--limit N] FOLDER...\n"
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
