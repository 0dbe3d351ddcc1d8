#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <memory>

#include "base/file_pager.h"

namespace dw {

// A place in the view: a line and a column (both 0-based) of the shown text.
struct TextPosition {
    qint64 line = 0;
    qint64 column = 0;
    friend bool operator==(const TextPosition&, const TextPosition&) = default;
    friend auto operator<=>(const TextPosition& a, const TextPosition& b) = default;
};

// The scrolling view of one file, as text or as a hexadecimal dump, over a FilePager: a
// file is never read whole, only the lines on the screen are read, and the lines are
// counted by the pager's worker while the view stays usable.
//
// Everything the view offers works on its shown lines:
// - text mode: the file's lines (see FilePager for line ends and long lines), decoded
//   as UTF-8; a byte that is not part of valid UTF-8 (and a C1 control) shows as U+FFFD,
//   the other control characters (NUL included) and DEL as a middle dot U+00B7. With
//   tab expansion a TAB becomes blanks up to the next multiple of the tab size (one
//   blank with tab size 0); without it, an arrow U+2192.
// - hex mode: one line per 16 bytes: the offset in hexadecimal (at least 8 digits), the
//   16 bytes in hexadecimal (an extra blank after the 8th) and the bytes as characters
//   (printable ASCII as it is, anything else as "."). The line count is always known.
// Columns are UTF-16 units of the shown line. The caret may stand at most one column
// past a line's end. The selection runs from the anchor to the caret; it exists when they
// differ.
class FileTextView : public QAbstractScrollArea {
    Q_OBJECT
public:
    struct FindOptions {
        bool backward = false;
        bool matchCase = false;
        // From the file's start (or end, backward) instead of from the caret.
        bool global = false;
    };

    explicit FileTextView(QWidget* parent = nullptr);
    ~FileTextView() override;

    // Shows the file at native path `path` and starts counting its lines; the caret and
    // the top go to the first line. Returns false, showing nothing, when the file cannot
    // be opened (see FilePager::open).
    bool openFile(const QByteArray& path);
    void closeFile();
    const QByteArray& path() const { return pager_.path(); }
    FilePager& pager() { return pager_; }

    // Whether the number of lines is known; in text mode not before the count finished.
    bool lineCountKnown() const;
    // The number of lines: final when known, counted so far before.
    qint64 lineCount() const;
    // Counts the lines to the end now when they are not known yet (wait cursor).
    void readToEnd();
    qint64 fileSize() const { return pager_.size(); }

    TextPosition caret() const { return caret_; }
    qint64 topLine() const { return top_; }
    // The number of whole lines the viewport shows (at least 1).
    int visibleLines() const;

    void setHexMode(bool hex);
    bool hexMode() const { return hex_; }
    void setTabExpansion(bool on);
    bool tabExpansion() const { return tabExpansion_; }
    // 0 to 255; values outside are clamped.
    void setTabSize(int size);
    int tabSize() const { return tabSize_; }
    // The font the lines are drawn in (fixed pitch expected).
    void setViewFont(const QFont& font);
    QFont viewFont() const { return font(); }

    // The shown text of line `line` (no line end); empty for a line that does not exist.
    QString lineText(qint64 line) const;

    bool hasSelection() const { return anchor_ != caret_; }
    TextPosition selectionStart() const { return std::min(anchor_, caret_); }
    TextPosition selectionEnd() const { return std::max(anchor_, caret_); }
    // Selects from the start of the first line to the end of the last (counting the
    // lines first when they are not known).
    void selectAll();
    // The selected text, lines joined by "\n"; at most kMaxCopyChars characters (a
    // selection of a huge file is cut there).
    static constexpr qsizetype kMaxCopyChars = 64 * 1024 * 1024;
    QString selectedText() const;
    // Puts selectedText() on the clipboard; nothing without a selection.
    void copy();

    // Moves the caret to `pos` (clamped to the text), scrolls it into view, and extends
    // the selection from the anchor when `extend`, else drops the selection.
    void setCaret(TextPosition pos, bool extend = false);
    // Caret to the start of line `line` (clamped to the lines there are), no selection.
    void goToLine(qint64 line);

    // Looks for `text` from the caret (global: from the start, or the end backward) and
    // selects the first match met; the caret goes to the match's end going forward and
    // to its start going backward, so a repeated search finds the next one. Returns
    // false, leaving caret and selection as they were, when there is none or `text` is
    // empty. Matches lie within one line. Without match case, the ASCII letters match
    // either case and every other character only itself. Runs to its end before it
    // returns (emitting no searchFinished()); startFind() is the same search on a worker
    // thread.
    bool find(const QString& text, FindOptions options);
    // Starts the search find() makes on a worker thread (stopping one that runs) and
    // returns at once: true when it started, false (and nothing is emitted) for an empty
    // text or no file. The worker reads the file with a handle of its own and passes over
    // the holes of a sparse file when the text cannot show in a run of zeros. Now and then
    // searchProgress() tells how far it has got; at its end the match is selected as
    // find() selects it and searchFinished() is emitted once. The search works on the
    // caret, mode and tab settings it started with; a change of mode, tab settings or
    // file stops it.
    bool startFind(const QString& text, FindOptions options);
    // Stops a running search at once; the caret and selection stay as they are and
    // searchFinished(false, true) is emitted. Nothing when none runs.
    void stopFind();
    bool isSearching() const;

signals:
    // After every change of caret, selection, scroll position, mode, file or count.
    void statusChanged();
    // While the lines are counted: bytes counted and the file's size.
    void countProgress(qint64 done, qint64 size);
    // While a search runs: how far it has got, in bytes, of `total` it may have to read.
    void searchProgress(qint64 done, qint64 total);
    // Once at the end of each search begun with startFind(): whether a match was found
    // (and is now selected), and whether it was stopped before its end.
    void searchFinished(bool found, bool stopped);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // A line's bytes as shown in text mode.
    static QString decodeLine(const QByteArray& bytes, bool tabExpansion, int tabSize);
    // Row `row` of the hexadecimal dump of `pager`'s file.
    static QString hexLine(const FilePager& pager, qint64 row);
    qint64 lastLine() const;
    void resetView();
    void forgetLines();
    void updateScrollBars();
    void setTop(qint64 line);
    void ensureCaretVisible();
    TextPosition positionAt(const QPoint& at) const;
    int charWidth() const;
    int lineHeight() const;
    qint64 scrollScale() const;
    struct Search;
    // Waits for the running search and selects its match; false when it found none or
    // was stopped. The search is gone afterwards.
    bool applyFind();
    void endFind(quint64 id);
    void dropSearch();
    void reportSearchProgress();
    void selectMatch(qint64 line, qint64 column, qsizetype length, bool caretAtEnd);

    FilePager pager_;
    bool hex_ = false;
    bool tabExpansion_ = true;
    int tabSize_ = 8;
    qint64 top_ = 0;
    qint64 leftColumn_ = 0;
    qint64 widest_ = 0;
    TextPosition caret_;
    TextPosition anchor_;
    qint64 wantedColumn_ = 0;
    mutable QHash<qint64, QString> shown_;  // the lines of the last screens
    mutable qsizetype shownChars_ = 0;
    std::unique_ptr<Search> search_;
    quint64 searchId_ = 0;
    QTimer searchTimer_;
};

}  // namespace dw
