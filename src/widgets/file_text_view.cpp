#include "widgets/file_text_view.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <climits>

#include "base/utf8_sequence.h"
#include "platform/native_file.h"
#include "widgets/clipboard.h"
#include "widgets/wait_cursor.h"

namespace dw {

namespace {

constexpr int kMargin = 4;
constexpr qint64 kHexBytes = 16;
// The decoded lines kept for the next screens, at most this many characters in all
// (long lines of 16,384 characters would otherwise fill memory); beyond that they are
// dropped and decoded again when asked.
constexpr qsizetype kShownCharsKept = 1 << 21;
constexpr char16_t kReplacement = 0xFFFD;
// Stand-ins that common fixed-pitch fonts carry, unlike the Unicode control pictures.
constexpr char16_t kTabSymbol = 0x2192;      // RIGHTWARDS ARROW
constexpr char16_t kControlSymbol = 0x00B7;  // MIDDLE DOT

// Appends the code point `cp` (valid, not a surrogate) to `out`.
void appendCodePoint(QString& out, char32_t cp) {
    if (cp < 0x10000) {
        out.append(QChar(static_cast<char16_t>(cp)));
    } else {
        const char32_t v = cp - 0x10000;
        out.append(QChar(static_cast<char16_t>(0xD800 + (v >> 10))));
        out.append(QChar(static_cast<char16_t>(0xDC00 + (v & 0x3FF))));
    }
}

}  // namespace

FileTextView::FileTextView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
    connect(&pager_, &FilePager::countProgress, this, [this](qint64 done, qint64 size) {
        updateScrollBars();
        emit countProgress(done, size);
        emit statusChanged();
    });
    connect(&pager_, &FilePager::countFinished, this, [this](qint64) {
        updateScrollBars();
        viewport()->update();
        emit statusChanged();
    });
    searchTimer_.setInterval(100);
    connect(&searchTimer_, &QTimer::timeout, this, &FileTextView::reportSearchProgress);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        // The bar counts in steps of scrollScale() lines for files of billions of lines.
        const qint64 line = qint64(value) * scrollScale();
        if (line / scrollScale() != top_ / scrollScale()) {
            top_ = line;
            viewport()->update();
            emit statusChanged();
        }
    });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        leftColumn_ = value;
        viewport()->update();
    });
}

FileTextView::~FileTextView() {
    // Quietly: the window that listens is partly gone by now.
    dropSearch();
}

bool FileTextView::openFile(const QByteArray& path) {
    stopFind();
    const bool opened = pager_.open(path);
    resetView();
    if (opened) {
        pager_.countLines();
    }
    emit statusChanged();
    return opened;
}

void FileTextView::closeFile() {
    stopFind();
    pager_.close();
    resetView();
    emit statusChanged();
}

void FileTextView::resetView() {
    top_ = 0;
    leftColumn_ = 0;
    widest_ = 0;
    caret_ = anchor_ = {};
    wantedColumn_ = 0;
    forgetLines();
    horizontalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
}

void FileTextView::forgetLines() {
    shown_.clear();
    shownChars_ = 0;
}

bool FileTextView::lineCountKnown() const {
    return hex_ || pager_.lineCountKnown();
}

qint64 FileTextView::lineCount() const {
    if (hex_) {
        return (pager_.size() + kHexBytes - 1) / kHexBytes;
    }
    return pager_.lineCount();
}

void FileTextView::readToEnd() {
    if (!lineCountKnown()) {
        WaitCursor wait;
        pager_.finishCount();
    }
}

qint64 FileTextView::lastLine() const {
    return std::max<qint64>(0, lineCount() - 1);
}

// ---- modes and font -------------------------------------------------------------------

void FileTextView::setHexMode(bool hex) {
    if (hex == hex_) {
        return;
    }
    stopFind();
    // Keep the same bytes at the top across the switch.
    const qint64 offset = hex_ ? top_ * kHexBytes : std::max<qint64>(0, pager_.lineStart(top_));
    hex_ = hex;
    const qint64 top = hex_ ? offset / kHexBytes : pager_.lineAtOffset(offset);
    forgetLines();
    widest_ = 0;
    caret_ = anchor_ = {top, 0};
    updateScrollBars();
    setTop(top);
    viewport()->update();
    emit statusChanged();
}

void FileTextView::setTabExpansion(bool on) {
    if (on != tabExpansion_) {
        stopFind();
        tabExpansion_ = on;
        forgetLines();
        viewport()->update();
    }
}

void FileTextView::setTabSize(int size) {
    size = std::clamp(size, 0, 255);
    if (size != tabSize_) {
        stopFind();
        tabSize_ = size;
        forgetLines();
        viewport()->update();
    }
}

void FileTextView::setViewFont(const QFont& font) {
    setFont(font);
    updateScrollBars();
    viewport()->update();
}

int FileTextView::charWidth() const {
    return std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('M')));
}

int FileTextView::lineHeight() const {
    return std::max(1, fontMetrics().lineSpacing());
}

int FileTextView::visibleLines() const {
    return std::max(1, viewport()->height() / lineHeight());
}

// ---- the shown text -------------------------------------------------------------------

QString FileTextView::decodeLine(const QByteArray& bytes, bool tabExpansion, int tabSize) {
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c == '\t') {
            if (!tabExpansion) {
                out.append(QChar(kTabSymbol));
            } else {
                const qsizetype stop = tabSize == 0 ? 1 : tabSize - out.size() % tabSize;
                out.append(QString(stop, QLatin1Char(' ')));
            }
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            out.append(QChar(kControlSymbol));
            ++i;
        } else if (c < 0x80) {
            out.append(QLatin1Char(static_cast<char>(c)));
            ++i;
        } else {
            char32_t cp = 0;
            const int len = Utf8Sequence(p + i, n - i, cp);
            if (len == 0 || cp < 0xA0) {
                // Not UTF-8, or a C1 control that would draw nothing: a visible stand-in.
                out.append(QChar(kReplacement));
                i += len == 0 ? 1 : len;
            } else {
                appendCodePoint(out, cp);
                i += len;
            }
        }
    }
    return out;
}

QString FileTextView::hexLine(const FilePager& pager, qint64 row) {
    const QByteArray data = pager.bytes(row * kHexBytes, kHexBytes);
    if (data.isEmpty()) {
        return {};
    }
    int width = 8;
    for (qint64 last = pager.size() - 1; width < 16 && (last >> (4 * width)) != 0;) {
        ++width;
    }
    QString out =
        QString::number(row * kHexBytes, 16).toUpper().rightJustified(width, QLatin1Char('0'));
    out += QLatin1String("  ");
    static const char digits[] = "0123456789ABCDEF";
    for (qint64 k = 0; k < kHexBytes; ++k) {
        if (k < data.size()) {
            const auto b = static_cast<unsigned char>(data[k]);
            out += QLatin1Char(digits[b >> 4]);
            out += QLatin1Char(digits[b & 15]);
            out += QLatin1Char(' ');
        } else {
            out += QLatin1String("   ");
        }
        if (k == 7) {
            out += QLatin1Char(' ');
        }
    }
    out += QLatin1Char(' ');
    for (const char ch : data) {
        out += (ch >= 0x20 && ch < 0x7F) ? QLatin1Char(ch) : QLatin1Char('.');
    }
    return out;
}

QString FileTextView::lineText(qint64 line) const {
    if (line < 0) {
        return {};
    }
    const auto it = shown_.constFind(line);
    if (it != shown_.constEnd()) {
        return *it;
    }
    QString text =
        hex_ ? hexLine(pager_, line) : decodeLine(pager_.lineBytes(line), tabExpansion_, tabSize_);
    if (shownChars_ + text.size() > kShownCharsKept) {
        shown_.clear();
        shownChars_ = 0;
    }
    shown_.insert(line, text);
    shownChars_ += text.size();
    return text;
}

// ---- scrolling ------------------------------------------------------------------------

qint64 FileTextView::scrollScale() const {
    // QScrollBar counts in int: beyond a billion lines one step is several lines.
    constexpr qint64 kMaxSteps = 1'000'000'000;
    return std::max<qint64>(1, (lineCount() + kMaxSteps - 1) / kMaxSteps);
}

void FileTextView::updateScrollBars() {
    const int rows = visibleLines();
    qint64 lines = lineCount();
    if (!lineCountKnown()) {
        // Until the end is known, the user may go on below what is counted.
        lines = std::max(lines, top_ + 2 * rows);
    }
    const qint64 scale = scrollScale();
    QScrollBar* v = verticalScrollBar();
    const QSignalBlocker block(v);
    v->setRange(0, static_cast<int>(std::max<qint64>(0, lines - rows) / scale));
    v->setPageStep(std::max(1, static_cast<int>(rows / scale)));
    v->setSingleStep(1);
    v->setValue(static_cast<int>(top_ / scale));

    const int columns = std::max(1, (viewport()->width() - kMargin) / charWidth());
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, static_cast<int>(std::clamp<qint64>(widest_ + 1 - columns, 0, INT_MAX)));
    h->setPageStep(columns);
}

void FileTextView::setTop(qint64 line) {
    line = std::max<qint64>(0, line);
    if (lineCountKnown()) {
        line = std::min(line, std::max<qint64>(0, lastLine() - visibleLines() + 1));
    }
    if (line != top_) {
        top_ = line;
        viewport()->update();
    }
    updateScrollBars();
}

void FileTextView::scrollContentsBy(int, int) {
    viewport()->update();
}

void FileTextView::ensureCaretVisible() {
    const int rows = visibleLines();
    if (caret_.line < top_) {
        setTop(caret_.line);
    } else if (caret_.line >= top_ + rows) {
        top_ = caret_.line - rows + 1;
        updateScrollBars();
        viewport()->update();
    }
    const int columns = std::max(1, (viewport()->width() - kMargin) / charWidth());
    widest_ = std::max(widest_, caret_.column);
    updateScrollBars();
    if (caret_.column < leftColumn_) {
        horizontalScrollBar()->setValue(static_cast<int>(caret_.column));
    } else if (caret_.column >= leftColumn_ + columns) {
        horizontalScrollBar()->setValue(static_cast<int>(caret_.column - columns + 1));
    }
}

// ---- caret and selection --------------------------------------------------------------

void FileTextView::setCaret(TextPosition pos, bool extend) {
    pos.line = std::max<qint64>(0, pos.line);
    if (lineCountKnown()) {
        pos.line = std::min(pos.line, lastLine());
    } else if (!hex_ && pager_.lineStart(pos.line) < 0) {
        // Below the file's end, found before the count got there: stay on the line.
        pos.line = std::min(pos.line, caret_.line);
    }
    pos.column = std::clamp<qint64>(pos.column, 0, lineText(pos.line).size());
    caret_ = pos;
    if (!extend) {
        anchor_ = pos;
    }
    ensureCaretVisible();
    viewport()->update();
    emit statusChanged();
}

void FileTextView::goToLine(qint64 line) {
    wantedColumn_ = 0;
    setCaret({line, 0});
}

void FileTextView::selectAll() {
    readToEnd();
    const qint64 last = lastLine();
    anchor_ = {0, 0};
    caret_ = {last, lineText(last).size()};
    viewport()->update();
    emit statusChanged();
}

QString FileTextView::selectedText() const {
    if (!hasSelection()) {
        return {};
    }
    const TextPosition s = selectionStart();
    const TextPosition e = selectionEnd();
    QString out;
    for (qint64 l = s.line; l <= e.line && out.size() < kMaxCopyChars; ++l) {
        const QString text = lineText(l);
        const qsizetype from = l == s.line ? s.column : 0;
        const qsizetype to = l == e.line ? e.column : text.size();
        out += text.mid(from, to - from);
        if (l < e.line) {
            out += QLatin1Char('\n');
        }
    }
    out.truncate(kMaxCopyChars);
    return out;
}

void FileTextView::copy() {
    if (hasSelection()) {
        setClipboardText(selectedText());
    }
}

// ---- search ---------------------------------------------------------------------------

void FileTextView::selectMatch(qint64 line, qint64 column, qsizetype length, bool caretAtEnd) {
    const TextPosition start{line, column};
    const TextPosition end{line, column + length};
    anchor_ = caretAtEnd ? start : end;
    caret_ = caretAtEnd ? end : start;
    wantedColumn_ = caret_.column;
    ensureCaretVisible();
    viewport()->update();
    emit statusChanged();
}

namespace {

// `text` with the ASCII letters in lower case and everything else as it is: the search
// folds case the way the program's other comparisons do.
QString asciiLower(QString text) {
    for (QChar& c : text) {
        if (c.unicode() >= 'A' && c.unicode() <= 'Z') {
            c = QChar(c.unicode() + ('a' - 'A'));
        }
    }
    return text;
}

// Where the holes of a sparse file lie, asked of the file system as the walk goes on.
class Holes {
public:
    Holes(QFile& file, qint64 size) : file_(file), size_(size) {}
    // The end of the hole that holds byte `at`; -1 when the byte is data (or the file
    // system cannot tell).
    qint64 holeEnd(qint64 at) {
        if (from_ < 0 || at < from_ || at >= run_.end) {
            from_ = at;
            run_ = platform::nextDataRun(file_, at, size_);
        }
        return at < run_.start ? run_.start : -1;
    }

private:
    QFile& file_;
    qint64 size_;
    qint64 from_ = -1;
    platform::DataRun run_{0, 0};
};

}  // namespace

// One search on the worker thread: what it looks for, where it stands, what it found.
struct FileTextView::Search {
    std::unique_ptr<FilePager> reader;
    QFile holesFile;
    QString text;      // as compared: folded when not matching case
    QByteArray bytes;  // when only lines holding these bytes can show the text
    bool matchCase = false;
    bool backward = false;
    bool global = false;
    bool hex = false;
    bool tabExpansion = true;
    int tabSize = 8;
    TextPosition from;
    qint64 fromOffset = 0;
    // Whether the text can show in a stretch of zeros: when not, holes are passed over.
    bool zerosMayMatch = true;

    std::atomic<bool> stop{false};
    std::atomic<qint64> done{0};
    std::atomic<bool> counting{false};
    qint64 total = 0;
    bool found = false;
    TextPosition match;
    std::unique_ptr<QThread> thread;
    quint64 id = 0;

    QString searchable(const QString& shown) const { return matchCase ? shown : asciiLower(shown); }
    bool mayHold(const QByteArray& line) const {
        return bytes.isEmpty() || (matchCase ? line : line.toLower()).contains(bytes);
    }
    QString shown(const QByteArray& line) const {
        return searchable(decodeLine(line, tabExpansion, tabSize));
    }
    void run();
    void forward();
    void backwardFrom();
};

void FileTextView::Search::run() {
    if (!holesFile.isOpen()) {
        platform::openNativeFile(holesFile, reader->path(), QIODevice::ReadOnly);
    }
    if (backward && global) {
        if (!hex) {
            // The last line is not known before the count reaches the end.
            counting = true;
            reader->finishCount();
            counting = false;
            if (stop || !reader->lineCountKnown()) {
                return;
            }
        }
        const qint64 lines =
            hex ? (reader->size() + kHexBytes - 1) / kHexBytes : reader->lineCount();
        from.line = std::max<qint64>(0, lines - 1);
        from.column = hex ? hexLine(*reader, from.line).size()
                          : decodeLine(reader->lineBytes(from.line), tabExpansion, tabSize).size();
        fromOffset = reader->size();
    }
    if (backward) {
        backwardFrom();
    } else {
        forward();
    }
}

void FileTextView::Search::forward() {
    Holes holes(holesFile, reader->size());
    if (hex) {
        const qint64 rows = (reader->size() + kHexBytes - 1) / kHexBytes;
        for (qint64 l = from.line; l < rows && !stop; ++l) {
            done = l * kHexBytes - fromOffset;
            if (!zerosMayMatch) {
                // Rows wholly in a hole show nothing the text can match.
                const qint64 end = holes.holeEnd(l * kHexBytes);
                if (end >= (l + 1) * kHexBytes) {
                    l = end / kHexBytes - 1;
                    continue;
                }
            }
            const qsizetype at =
                searchable(hexLine(*reader, l)).indexOf(text, l == from.line ? from.column : 0);
            if (at >= 0) {
                found = true;
                match = {l, at};
                return;
            }
        }
        return;
    }
    const qint64 cap = FilePager::kMaxLineBytes;
    qint64 offset = fromOffset;
    for (qint64 l = from.line; offset >= 0 && offset < reader->size() && !stop; ++l) {
        done = offset - fromOffset;
        if (!zerosMayMatch) {
            // Lines of zeros at their longest, their next byte a zero too: nothing to match.
            const qint64 end = holes.holeEnd(offset);
            const qint64 skipped = end > offset ? (end - offset - 1) / cap : 0;
            if (skipped > 0) {
                offset += skipped * cap;
                l += skipped - 1;
                continue;
            }
        }
        const QByteArray line = reader->lineBytesAt(offset);
        if (mayHold(line)) {
            const qsizetype at = shown(line).indexOf(text, l == from.line ? from.column : 0);
            if (at >= 0) {
                found = true;
                match = {l, at};
                return;
            }
        }
        offset = reader->nextLineStart(offset);
    }
}

void FileTextView::Search::backwardFrom() {
    Holes holes(holesFile, reader->size());
    const qint64 cap = FilePager::kMaxLineBytes;
    // Back through the lines in slices read forward, so no line is looked up alone.
    constexpr qint64 kSlice = 1024;
    qint64 sliceEnd = from.line + 1;
    while (sliceEnd > 0 && !stop) {
        const qint64 sliceStart = std::max<qint64>(0, sliceEnd - kSlice);
        QStringList texts;  // empty for the lines that cannot hold the text
        if (hex) {
            done = fromOffset - sliceStart * kHexBytes;
            const qint64 end = zerosMayMatch ? -1 : holes.holeEnd(sliceStart * kHexBytes);
            if (end >= sliceEnd * kHexBytes) {
                sliceEnd = sliceStart;
                continue;
            }
            for (qint64 l = sliceStart; l < sliceEnd; ++l) {
                texts.append(searchable(hexLine(*reader, l)));
            }
        } else {
            qint64 offset = reader->lineStart(sliceStart);
            done = fromOffset - offset;
            for (qint64 l = sliceStart;
                 l < sliceEnd && offset >= 0 && offset < reader->size() && !stop; ++l) {
                const qint64 end = zerosMayMatch ? -1 : holes.holeEnd(offset);
                if (end > offset + cap) {
                    texts.append(QString());
                    offset += cap;
                    continue;
                }
                const QByteArray line = reader->lineBytesAt(offset);
                texts.append(mayHold(line) ? shown(line) : QString());
                offset = reader->nextLineStart(offset);
            }
        }
        for (qint64 l = sliceStart + texts.size() - 1; l >= sliceStart && !stop; --l) {
            const QString& line = texts.at(l - sliceStart);
            qsizetype startAt = line.size();
            if (l == from.line) {
                startAt = from.column - text.size();
                if (startAt < 0) {
                    continue;
                }
            }
            const qsizetype at = line.lastIndexOf(text, startAt);
            if (at >= 0) {
                found = true;
                match = {l, at};
                return;
            }
        }
        sliceEnd = sliceStart;
    }
}

bool FileTextView::startFind(const QString& text, FindOptions options) {
    stopFind();
    if (text.isEmpty() || !pager_.isOpen()) {
        return false;
    }
    auto search = std::make_unique<Search>();
    search->reader = pager_.reader();
    if (!search->reader) {
        return false;
    }
    search->text = options.matchCase ? text : asciiLower(text);
    search->matchCase = options.matchCase;
    search->backward = options.backward;
    search->global = options.global;
    search->hex = hex_;
    search->tabExpansion = tabExpansion_;
    search->tabSize = tabSize_;
    // Printable ASCII other than the blank is shown only for the same byte, so a line
    // whose bytes lack such a text cannot show it: those lines need no decoding.
    bool plain = !hex_;
    for (const QChar c : text) {
        plain = plain && c.unicode() > 0x20 && c.unicode() < 0x7F;
    }
    if (plain) {
        search->bytes = search->text.toLatin1();
    }
    // A zero shows as a middle dot in a line, and a hexadecimal row of zeros holds only
    // digits, blanks and dots.
    const QString zeroChars =
        hex_ ? QStringLiteral("0123456789ABCDEFabcdef .") : QString(QChar(kControlSymbol));
    search->zerosMayMatch = std::all_of(search->text.begin(), search->text.end(),
                                        [&](QChar c) { return zeroChars.contains(c); });
    if (!options.backward) {
        search->from = options.global ? TextPosition{} : caret_;
    } else {
        search->from = hasSelection() ? selectionStart() : caret_;
    }
    if (options.backward && options.global) {
        search->total = hex_ ? pager_.size() : 2 * pager_.size();
    } else {
        search->fromOffset = hex_ ? search->from.line * kHexBytes
                                  : std::max<qint64>(0, pager_.lineStart(search->from.line));
        search->total = options.backward ? search->fromOffset : pager_.size() - search->fromOffset;
    }
    search->id = ++searchId_;
    Search* raw = search.get();
    search->thread.reset(QThread::create([raw] { raw->run(); }));
    const quint64 id = search->id;
    connect(search->thread.get(), &QThread::finished, this, [this, id] { endFind(id); });
    search_ = std::move(search);
    searchTimer_.start();
    search_->thread->start(QThread::LowPriority);
    return true;
}

bool FileTextView::applyFind() {
    const std::unique_ptr<Search> search = std::move(search_);
    search->thread->wait();
    searchTimer_.stop();
    if (!search->found || search->stop) {
        return false;
    }
    selectMatch(search->match.line, search->match.column, search->text.size(), !search->backward);
    return true;
}

void FileTextView::endFind(quint64 id) {
    if (!search_ || search_->id != id) {
        return;  // stopped before its end was delivered
    }
    const bool stopped = search_->stop.load();
    const bool found = applyFind();
    emit searchFinished(found, stopped);
}

void FileTextView::dropSearch() {
    if (search_) {
        search_->stop = true;
        search_->reader->requestStop();
        search_->thread->wait();
        search_.reset();
        searchTimer_.stop();
    }
}

void FileTextView::stopFind() {
    if (!search_) {
        return;
    }
    search_->stop = true;
    search_->reader->requestStop();
    endFind(search_->id);
}

bool FileTextView::isSearching() const {
    return search_ != nullptr;
}

void FileTextView::reportSearchProgress() {
    if (!search_) {
        return;
    }
    const qint64 counted =
        search_->backward && search_->global && !search_->hex ? search_->reader->bytesCounted() : 0;
    qint64 done = search_->counting ? counted : search_->done.load() + counted;
    emit searchProgress(std::clamp<qint64>(done, 0, search_->total), search_->total);
}

bool FileTextView::find(const QString& text, FindOptions options) {
    return startFind(text, options) && applyFind();
}

// ---- painting and input ---------------------------------------------------------------

void FileTextView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setFont(font());
    const int cw = charWidth();
    const int lh = lineHeight();
    const int ascent = fontMetrics().ascent();
    const int rows = visibleLines() + 1;
    const int columns = viewport()->width() / cw + 2;
    const TextPosition s = selectionStart();
    const TextPosition e = selectionEnd();
    const QPalette& pal = palette();
    bool widened = false;
    for (int r = 0; r < rows; ++r) {
        const qint64 line = top_ + r;
        if (lineCountKnown() && line >= lineCount()) {
            break;
        }
        const QString text = lineText(line);
        if (text.size() > widest_) {
            widest_ = text.size();
            widened = true;
        }
        const int y = r * lh;
        if (hasSelection() && line >= s.line && line <= e.line) {
            const qint64 from = line == s.line ? s.column : 0;
            const qint64 to = line == e.line ? e.column : text.size() + 1;
            const qint64 x0 = std::max<qint64>(from - leftColumn_, 0);
            const qint64 x1 = std::min<qint64>(to - leftColumn_, columns);
            if (x1 > x0) {
                painter.fillRect(QRect(kMargin + int(x0) * cw, y, int(x1 - x0) * cw, lh),
                                 pal.brush(QPalette::Highlight));
            }
        }
        if (text.size() > leftColumn_) {
            painter.setPen(pal.color(QPalette::Text));
            painter.drawText(kMargin, y + ascent, text.mid(leftColumn_, columns));
        }
        if (hasSelection() && line >= s.line && line <= e.line) {
            // Selected characters again in the highlighted text colour, over the band.
            const qint64 from = std::max<qint64>(line == s.line ? s.column : 0, leftColumn_);
            const qint64 to =
                std::min<qint64>(line == e.line ? e.column : text.size(), leftColumn_ + columns);
            if (to > from) {
                painter.setPen(pal.color(QPalette::HighlightedText));
                painter.drawText(kMargin + int(from - leftColumn_) * cw, y + ascent,
                                 text.mid(from, to - from));
            }
        }
        if (line == caret_.line && hasFocus() && caret_.column >= leftColumn_) {
            const int x = kMargin + int(caret_.column - leftColumn_) * cw;
            painter.fillRect(QRect(x, y, 2, lh), pal.brush(QPalette::Text));
        }
    }
    if (widened) {
        updateScrollBars();
    }
}

void FileTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    emit statusChanged();
}

void FileTextView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void FileTextView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

TextPosition FileTextView::positionAt(const QPoint& at) const {
    const qint64 line = top_ + std::max(0, at.y()) / lineHeight();
    const qint64 column =
        leftColumn_ + std::max(0, at.x() - kMargin + charWidth() / 2) / charWidth();
    return {line, column};
}

void FileTextView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const TextPosition pos = positionAt(event->position().toPoint());
    wantedColumn_ = pos.column;
    setCaret(pos, event->modifiers() & Qt::ShiftModifier);
}

void FileTextView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        const TextPosition pos = positionAt(event->position().toPoint());
        wantedColumn_ = pos.column;
        setCaret(pos, true);
    }
}

void FileTextView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy) ||
        (event->key() == Qt::Key_Insert && event->modifiers() == Qt::ControlModifier)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    TextPosition pos = caret_;
    bool keepWanted = false;
    switch (event->key()) {
        case Qt::Key_Up:
            pos = {pos.line - 1, wantedColumn_};
            keepWanted = true;
            break;
        case Qt::Key_Down:
            pos = {pos.line + 1, wantedColumn_};
            keepWanted = true;
            break;
        case Qt::Key_PageUp:
            pos = {pos.line - visibleLines(), wantedColumn_};
            keepWanted = true;
            break;
        case Qt::Key_PageDown:
            pos = {pos.line + visibleLines(), wantedColumn_};
            keepWanted = true;
            break;
        case Qt::Key_Left:
            if (pos.column > 0) {
                --pos.column;
            } else if (pos.line > 0) {
                pos = {pos.line - 1, lineText(pos.line - 1).size()};
            }
            break;
        case Qt::Key_Right:
            if (pos.column < lineText(pos.line).size()) {
                ++pos.column;
            } else {
                pos = {pos.line + 1, 0};
            }
            break;
        case Qt::Key_Home:
            pos = ctrl ? TextPosition{} : TextPosition{pos.line, 0};
            break;
        case Qt::Key_End:
            if (ctrl) {
                // The last line needs the count; what is counted so far otherwise.
                pos.line = lastLine();
            }
            pos.column = lineText(pos.line).size();
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    pos.line = std::max<qint64>(0, pos.line);
    if (!keepWanted) {
        wantedColumn_ = pos.column;
    }
    setCaret(pos, shift);
}

}  // namespace dw
