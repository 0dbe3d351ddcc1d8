#include "finders/dup_row_writer.h"

#include <QStringList>

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "base/split_work.h"
#include "base/tsv_text.h"
#include "finders/dup_search.h"
#include "finders/thousands_text.h"

namespace dw {

// A piece's lines: the room a row may take is asked for first and written through
// directly, a cheaper way than growing a string cell by cell.
class DupRowWriter::Lines {
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
    QByteArrayView bytes() const { return {data_.get(), qsizetype(size_)}; }

private:
    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// Folders and types are shared by many rows: each thread escapes each of them once, into
// one buffer of its own, in a table of spans for folder prefixes, types and folders.
class DupRowWriter::SharedTexts {
public:
    enum Table { kPrefixes, kTypes, kFolders, kTableCount };
    struct Span {
        size_t at = 0;
        quint32 length = 0;
        bool known = false;
    };

    void prefetch(Table table, quint32 id) const {
        const std::vector<Span>& s = spans_[table];
        if (id < s.size() && s[id].known) {
            __builtin_prefetch(bytes_.data() + s[id].at);
        }
    }
    // The escaped text `id` of `table`, or nullptr when it was not escaped yet.
    const Span* find(Table table, quint32 id) const {
        const std::vector<Span>& s = spans_[table];
        return id < s.size() && s[id].known ? &s[id] : nullptr;
    }
    // Escapes `source` as the text `id` of `table`.
    Span add(Table table, quint32 id, QByteArrayView source) {
        std::vector<Span>& s = spans_[table];
        if (id >= s.size()) {
            s.resize(id + 1);
        }
        Span& span = s[id];
        span.at = bytes_.size();
        AppendTsvEscaped(source, bytes_);
        span.length = quint32(bytes_.size() - span.at);
        span.known = true;
        return span;
    }
    char* write(const Span& span, char* out) const {
        std::memcpy(out, bytes_.data() + span.at, span.length);
        return out + span.length;
    }

private:
    std::string bytes_;
    std::vector<Span> spans_[kTableCount];
};

namespace {

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

}  // namespace

DupRowWriter::DupRowWriter(const DupSearch& search, bool groups)
    : search_(search),
      list_(search.candidates()),
      groups_(groups),
      duplicateMode_(search.options().duplicateMode),
      rows_(search.resultCount() > 0 ? search.rowOrder() : std::vector<quint32>()) {}

DupRowWriter::~DupRowWriter() = default;

qsizetype DupRowWriter::pieceCount() const {
    return (qsizetype(rows_.size()) + kPieceRows - 1) / kPieceRows;
}

void DupRowWriter::write(const Sink& sink, Threads threads) const {
    std::string titleLine;
    QStringList titles = DupColumnTitles(duplicateMode_);
    if (groups_) {
        titles.prepend(QStringLiteral("Group"));
    }
    for (qsizetype c = 0; c < titles.size(); ++c) {
        AppendTsvEscaped(titles[c].toUtf8(), titleLine);
        titleLine += c + 1 < titles.size() ? '\t' : '\n';
    }
    sink(QByteArrayView(titleLine.data(), qsizetype(titleLine.size())));
    // The texts are made first, so that the two threads only read the list.
    list_.makeTexts();
    const auto total = qsizetype(rows_.size());
    if (threads == Threads::One || SplitPoint(total, kPieceRows) >= total) {
        writeOnOneThread(sink);
    } else {
        writeOnTwoThreads(sink);
    }
}

void DupRowWriter::makePiece(qsizetype piece, Lines& lines, SharedTexts& shared) const {
    lines.clear();
    makeRows(piece * kPieceRows, std::min((piece + 1) * kPieceRows, qsizetype(rows_.size())), lines,
             shared);
}

void DupRowWriter::makeRows(qsizetype begin, qsizetype end, Lines& lines,
                            SharedTexts& shared) const {
    const DupCandidateList& list = list_;
    const bool duplicateMode = duplicateMode_;
    char buffer[ThousandsText::kMaxUtf8];
    char sizeBuffer[ThousandsText::kMaxUtf8];
    Found found[kFoundRows];
    const SharedTexts::Table placeTable =
        duplicateMode ? SharedTexts::kFolders : SharedTexts::kPrefixes;
    const DupField placeField = duplicateMode ? DupField::Folder : DupField::Path;
    QByteArray type;
    for (qsizetype from = begin; from < end; from += kFoundRows) {
        const qsizetype to = std::min(from + kFoundRows, end);
        for (qsizetype k = from; k < to; ++k) {
            list.prefetch(k + 16 < end ? rows_[size_t(k + 16)] : -1, 0);
            list.prefetch(k + 8 < end ? rows_[size_t(k + 8)] : -1, 1);
            Found& f = found[k - from];
            f.i = rows_[size_t(k)];
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
            const auto sharedSpan = [&](SharedTexts::Table table, quint32 id, DupField field) {
                const SharedTexts::Span* span = shared.find(table, id);
                return span ? *span : shared.add(table, id, list.fieldBytes(f.i, field, buffer));
            };
            // Path is split at a "/", so each piece escapes as the whole path would.
            const SharedTexts::Span place = sharedSpan(placeTable, f.folder, placeField);
            const bool noted = duplicateMode && search_.hasTypeNote(k);
            SharedTexts::Span typeSpan;
            if (noted) {
                type = list.fieldBytes(f.i, DupField::Type, buffer).toByteArray();
                search_.appendTypeNote(k, type);
            } else {
                typeSpan = sharedSpan(SharedTexts::kTypes, f.type, DupField::Type);
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
                if (groups_) {
                    // Duplicate mode keeps its rows in result order.
                    w = std::to_chars(w, w + 20, search_.resultGroup(k)).ptr;
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
}

void DupRowWriter::writeOnOneThread(const Sink& sink) const {
    Lines lines;
    SharedTexts shared;
    for (qsizetype j = 0; j < pieceCount(); ++j) {
        makePiece(j, lines, shared);
        sink(lines.bytes());
    }
}

void DupRowWriter::writeOnTwoThreads(const Sink& sink) const {
    // The even pieces are made and handed over on this thread and the odd ones made on a
    // second thread, up to two ahead, and handed over here in turn: each side waits only
    // for the piece it needs next.
    const qsizetype count = pieceCount();
    SharedTexts sides[2];
    Lines mine;
    Lines theirs[2];
    std::mutex mutex;
    std::condition_variable changed;
    qsizetype made = -1;     // the last odd piece made
    qsizetype written = -1;  // the last odd piece handed over
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
                for (qsizetype j = 1; j < count; j += 2) {
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
                for (qsizetype j = 0; j < count; j += 2) {
                    makePiece(j, mine, sides[0]);
                    sink(mine.bytes());
                    if (j + 1 >= count) {
                        break;
                    }
                    {
                        std::unique_lock lock(mutex);
                        changed.wait(lock, [&] { return abandoned || made >= j + 1; });
                        if (abandoned) {
                            return;
                        }
                    }
                    sink(theirs[((j + 1) / 2) % 2].bytes());
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

}  // namespace dw
