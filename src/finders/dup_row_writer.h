#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <functional>
#include <vector>

namespace dw {

class DupCandidateList;
class DupSearch;

// The result rows of a finished DupSearch as tab-separated lines, made straight from its
// candidate list in the grid's row order (DupSearch::rowOrder): each line holds the
// cells DupRowBytes gives for the filled grid, each escaped as TsvEscape does, joined by
// TAB and ended by a line feed; with `groups` (duplicate mode only) each line begins
// with the row's group number and a TAB. The title line (DupColumnTitles, "Group" first
// with `groups`) comes first. A search without results gives the title line alone.
//
// The search must stay unchanged while the writer lives. Not for several threads at
// once; write() may run a second thread of its own.
class DupRowWriter {
public:
    // Rows are made into text this many at a time.
    static constexpr qsizetype kPieceRows = 4096;

    // Where the lines go, in order: the title line, then whole lines, at most kPieceRows
    // in one call. The bytes are valid during the call only.
    using Sink = std::function<void(QByteArrayView bytes)>;

    // How write() makes the pieces: on this thread alone, or, where there are two cores
    // and more than one piece to make, every other piece on a second thread. The bytes
    // handed to the sink are the same either way.
    enum class Threads { One, Two };

    DupRowWriter(const DupSearch& search, bool groups);
    ~DupRowWriter();
    DupRowWriter(const DupRowWriter&) = delete;
    DupRowWriter& operator=(const DupRowWriter&) = delete;

    // Hands every line to `sink`. An exception thrown by the sink or by making the text
    // (memory) ends the writing and is thrown again here, once both threads ended.
    void write(const Sink& sink, Threads threads = Threads::Two) const;

private:
    class Lines;
    class SharedTexts;

    void makeRows(qsizetype begin, qsizetype end, Lines& lines, SharedTexts& shared) const;
    void makePiece(qsizetype piece, Lines& lines, SharedTexts& shared) const;
    void writeOnOneThread(const Sink& sink) const;
    void writeOnTwoThreads(const Sink& sink) const;
    qsizetype pieceCount() const;

    const DupSearch& search_;
    const DupCandidateList& list_;
    const bool groups_;
    const bool duplicateMode_;
    const std::vector<quint32> rows_;
};

}  // namespace dw
