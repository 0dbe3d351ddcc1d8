#include "cli/duplicates_command.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/split_work.h"
#include "base/utility.h"
#include "cli/cli_options.h"
#include "cli/cli_support.h"
#include "finders/dup_search.h"
#include "finders/thousands_text.h"
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
            if (v && v->compare("bytes", Qt::CaseInsensitive) == 0) {
                options.unit = SizeUnit::Bytes;
            } else if (v && v->compare("KB", Qt::CaseInsensitive) == 0) {
                options.unit = SizeUnit::KB;
            } else {
                return needs("bytes or KB");
            }
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

    // Sizes in KB must still fit in bytes.
    static constexpr qint64 kMaxSize = std::numeric_limits<qint64>::max() / 1024;

    const bool duplicateMode_;
    const char* const command_;
    OptionCursor cursor_;
    QTextStream& err_;
    DupRequest* request_ = nullptr;
    bool sizeGiven_ = false;
};

// The result rows as tab-separated lines, written straight from the candidate list in
// the grid's row order: the cells DupRowBytes gives for the filled grid, without the
// grid, after each row's group number when `groups`. Rows are made into text a piece at a
// time, on two threads where there are two cores, and the pieces go to `out` in order.
void printRows(const DupSearch& search, bool groups, QTextStream& out) {
    const bool duplicateMode = search.options().duplicateMode;
    const DupCandidateList& list = search.candidates();
    std::string titleLine;
    QStringList titles = DupColumnTitles(duplicateMode);
    if (groups) {
        titles.prepend(QStringLiteral("Group"));
    }
    for (qsizetype c = 0; c < titles.size(); ++c) {
        AppendTsvEscaped(titles[c].toUtf8(), titleLine);
        titleLine += c + 1 < titles.size() ? '\t' : '\n';
    }
    writeBytes(out, QByteArray::fromRawData(titleLine.data(), qsizetype(titleLine.size())));
    const std::vector<quint32> rows =
        search.resultCount() > 0 ? search.rowOrder() : std::vector<quint32>();
    const qsizetype total = qsizetype(rows.size());

    // Folders and types are shared by many rows: each side escapes each of them once, into
    // one buffer of its own, in a table of spans for folder prefixes (0), types (1) and
    // folders (2). The list's texts are made first, so that the two sides only read it.
    list.makeTexts();
    struct Shared {
        struct Span {
            size_t at = 0;
            quint32 length = 0;
            bool known = false;
        };
        std::string bytes;
        std::vector<Span> spans[3];
        void prefetch(int table, quint32 id) const {
            const std::vector<Span>& s = spans[table];
            if (id < s.size() && s[id].known) {
                __builtin_prefetch(bytes.data() + s[id].at);
            }
        }
        // The escaped text `id` of `table`, or nullptr when it was not escaped yet.
        const Span* find(int table, quint32 id) const {
            const std::vector<Span>& s = spans[table];
            return id < s.size() && s[id].known ? &s[id] : nullptr;
        }
        // Escapes `source` as the text `id` of `table`.
        Span add(int table, quint32 id, QByteArrayView source) {
            std::vector<Span>& s = spans[table];
            if (id >= s.size()) {
                s.resize(id + 1);
            }
            Span& span = s[id];
            span.at = bytes.size();
            AppendTsvEscaped(source, bytes);
            span.length = quint32(bytes.size() - span.at);
            span.known = true;
            return span;
        }
        char* write(const Span& span, char* out) const {
            std::memcpy(out, bytes.data() + span.at, span.length);
            return out + span.length;
        }
    };
    // A piece's lines: the room a row may take is asked for first and written through
    // directly, a cheaper way than growing a string cell by cell.
    class Lines {
    public:
        char* room(size_t n) {
            if (capacity_ - size_ < n) {
                const size_t capacity = std::max(size_ + n, 2 * capacity_);
                std::unique_ptr<char[]> data(new char[capacity]);
                if (size_ > 0) {
                    std::memcpy(data.get(), data_.get(), size_);
                }
                data_ = std::move(data);
                capacity_ = capacity;
            }
            return data_.get() + size_;
        }
        void wrote(const char* end) { size_ = size_t(end - data_.get()); }
        void clear() { size_ = 0; }
        QByteArray bytes() const { return QByteArray::fromRawData(data_.get(), qsizetype(size_)); }

    private:
        std::unique_ptr<char[]> data_;
        size_t size_ = 0;
        size_t capacity_ = 0;
    };
    Shared sides[2];
    // Where a row's texts are. The rows jump through the list's memory, and reading one
    // row's texts right after finding them waits for memory at every step: the rows are
    // taken a few hundred at a time, first finding where each one's texts are and asking
    // for them, then writing them, by which time they have arrived.
    struct Found {
        qsizetype i;
        QByteArrayView name;
        QByteArrayView modified;
        QByteArrayView time;
        QByteArrayView access;
        quint32 folder;
        quint32 type;
    };
    constexpr qsizetype kFoundRows = 256;
    const auto makeRows = [&](qsizetype begin, qsizetype end, Lines& lines, Shared& shared) {
        char buffer[ThousandsText::kMaxUtf8];
        char sizeBuffer[ThousandsText::kMaxUtf8];
        Found found[kFoundRows];
        const int placeTable = duplicateMode ? 2 : 0;
        const DupField placeField = duplicateMode ? DupField::Folder : DupField::Path;
        QByteArray type;
        for (qsizetype from = begin; from < end; from += kFoundRows) {
            const qsizetype to = std::min(from + kFoundRows, end);
            for (qsizetype k = from; k < to; ++k) {
                list.prefetch(k + 16 < end ? rows[size_t(k + 16)] : -1, 0);
                list.prefetch(k + 8 < end ? rows[size_t(k + 8)] : -1, 1);
                Found& f = found[k - from];
                f.i = rows[size_t(k)];
                f.name = list.name(f.i);
                f.modified = list.fieldBytes(f.i, DupField::Modified, buffer);
                f.time = list.fieldBytes(f.i, DupField::Time, buffer);
                f.access = list.fieldBytes(f.i, DupField::Access, buffer);
                f.folder = list.folderId(f.i);
                f.type = list.typeId(f.i);
                shared.prefetch(placeTable, f.folder);
            }
            for (qsizetype k = from; k < to; ++k) {
                const Found& f = found[k - from];
                const auto sharedSpan = [&](int table, quint32 id, DupField field) {
                    const Shared::Span* span = shared.find(table, id);
                    return span ? *span
                                : shared.add(table, id, list.fieldBytes(f.i, field, buffer));
                };
                // Path is split at a "/", so each piece escapes as the whole path would.
                const Shared::Span place = sharedSpan(placeTable, f.folder, placeField);
                const bool noted = duplicateMode && search.hasTypeNote(k);
                Shared::Span typeSpan;
                if (noted) {
                    type = list.fieldBytes(f.i, DupField::Type, buffer).toByteArray();
                    search.appendTypeNote(k, type);
                } else {
                    typeSpan = sharedSpan(1, f.type, DupField::Type);
                }
                const QByteArrayView size = list.fieldBytes(f.i, DupField::Size, sizeBuffer);
                // Escaping makes at most kTsvEscapedMax bytes of one; a group number takes at
                // most 20 digits, and seven separators end the cells.
                const size_t room =
                    kTsvEscapedMax *
                        size_t(f.name.size() + size.size() + f.modified.size() + f.time.size() +
                               f.access.size() + (noted ? type.size() : 0)) +
                    place.length + typeSpan.length + 20 + 8;
                char* w = lines.room(room);
                if (duplicateMode) {
                    if (groups) {
                        // Duplicate mode keeps its rows in result order.
                        w = std::to_chars(w, w + 20, search.resultGroup(k)).ptr;
                        *w++ = '\t';
                    }
                    w = WriteTsvEscaped(f.name, w);
                    *w++ = '\t';
                }
                w = WriteTsvEscaped(size, w);
                *w++ = '\t';
                w = WriteTsvEscaped(f.modified, w);
                *w++ = '\t';
                w = WriteTsvEscaped(f.time, w);
                *w++ = '\t';
                w = WriteTsvEscaped(f.access, w);
                *w++ = '\t';
                w = shared.write(place, w);
                if (!duplicateMode) {
                    w = WriteTsvEscaped(f.name, w);
                }
                *w++ = '\t';
                w = noted ? WriteTsvEscaped(type, w) : shared.write(typeSpan, w);
                *w++ = '\n';
                lines.wrote(w);
            }
        }
    };
    // The lines are made kPieceRows rows a piece. On two cores the even pieces are made and
    // written on this thread and the odd ones made on a second thread, up to two ahead,
    // and written here in turn: each side waits only for the piece it needs next.
    constexpr qsizetype kPieceRows = 4096;
    const qsizetype pieceCount = (total + kPieceRows - 1) / kPieceRows;
    const auto makePiece = [&](qsizetype j, Lines& lines, Shared& shared) {
        lines.clear();
        makeRows(j * kPieceRows, std::min((j + 1) * kPieceRows, total), lines, shared);
    };
    Lines mine;
    if (SplitPoint(total, kPieceRows) >= total) {
        for (qsizetype j = 0; j < pieceCount; ++j) {
            makePiece(j, mine, sides[0]);
            writeBytes(out, mine.bytes());
        }
        return;
    }
    Lines theirs[2];
    std::mutex mutex;
    std::condition_variable changed;
    qsizetype made = -1;     // the last odd piece made
    qsizetype written = -1;  // the last odd piece written
    bool abandoned = false;  // a side threw: the other stops waiting for it
    const auto abandon = [&] {
        {
            const std::lock_guard lock(mutex);
            abandoned = true;
        }
        changed.notify_all();
    };
    RunTogether(
        [&] {
            try {
                for (qsizetype j = 1; j < pieceCount; j += 2) {
                    {
                        // The piece's buffer last held piece j - 4.
                        std::unique_lock lock(mutex);
                        changed.wait(lock, [&] { return abandoned || written >= j - 4; });
                        if (abandoned) {
                            return;
                        }
                    }
                    makePiece(j, theirs[(j / 2) % 2], sides[1]);
                    {
                        const std::lock_guard lock(mutex);
                        made = j;
                    }
                    changed.notify_all();
                }
            } catch (...) {
                abandon();
                throw;
            }
        },
        [&] {
            try {
                for (qsizetype j = 0; j < pieceCount; j += 2) {
                    makePiece(j, mine, sides[0]);
                    writeBytes(out, mine.bytes());
                    if (j + 1 >= pieceCount) {
                        break;
                    }
                    {
                        std::unique_lock lock(mutex);
                        changed.wait(lock, [&] { return abandoned || made >= j + 1; });
                        if (abandoned) {
                            return;
                        }
                    }
                    writeBytes(out, theirs[((j + 1) / 2) % 2].bytes());
                    {
                        const std::lock_guard lock(mutex);
                        written = j + 1;
                    }
                    changed.notify_all();
                }
            } catch (...) {
                abandon();
                throw;
            }
        });
}

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

    printRows(search, groups, out);
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
    if (endingWithCommand()) {
        // Giving back the list's blocks and the texts of tens of thousands of folders one
        // by one takes milliseconds that the end of the process does at once. The rows are
        // flushed above, the search has no file open, and its idle thread ends with the
        // process.
        (void)owned.release();
    }
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
    QString text = QStringLiteral(
                       "Usage: %1 duplicates [--criterion N] [--groups] [--empty]\n"
                       "         [--larger N | --smaller N | --between N M] [--unit bytes|KB]\n"
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
