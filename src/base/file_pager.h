#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

// Read access to a file of any size for the viewer: bytes by offset through a small cache
// of blocks, and the file's lines through a sparse index that a worker thread builds.
namespace dw {

// A file opened for looking at, never read whole. Bytes come in blocks of kBlockSize
// through a cache of at most kCachedBlocks blocks, so memory stays small whatever the
// file's size. Lines end at "\n" (a "\r" before it belongs to the terminator); a line
// that reaches kMaxLineBytes bytes without one is broken there and the rest goes on as
// the next line, so no screen line is ever larger than that. An empty file has no line;
// a last line without "\n" counts as a line ("a\nb" and "a\nb\n" have 2 lines). A
// "\n" or "\r\n" right after kMaxLineBytes bytes still ends that line, so a line of
// exactly that length keeps its terminator and no empty line follows it.
//
// Lines are found from the start of the file on: countLines() starts a worker thread
// that reads the file once to its end (with its own handle; the holes of a sparse file
// are counted without reading them), keeping one line start in
// a few thousand (at least one in every kCheckpointBytes bytes), and reports its
// progress and its end with signals delivered to this object's thread. Until the count
// has finished, line access still works from the start of the file (lineStart() scans
// from the nearest line start known); only the total is unknown.
//
// The object lives on one thread; the worker only reads. Destroying it, closing it or
// opening another file cancels the count and waits for the worker to stop.
class FilePager : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kBlockSize = 64 * 1024;
    static constexpr int kCachedBlocks = 32;
    static constexpr qint64 kMaxLineBytes = 16 * 1024;
    static constexpr qint64 kCheckpointLines = 4096;
    static constexpr qint64 kCheckpointBytes = 256 * 1024;

    explicit FilePager(QObject* parent = nullptr);
    ~FilePager() override;

    // Opens the native byte path `path` (any bytes a name can hold, links followed) for
    // reading, closing the file open before. Returns false and stays closed, with
    // openError() saying why, when it cannot be opened or is no regular file of a disk
    // (a folder, a FIFO, a device, a file of /proc: platform::openFileToLookAt); nothing
    // it does waits. Does not start the count.
    bool open(const QByteArray& path);
    // Why the last open() refused the file for what it is ("it is not a regular file",
    // "it is a folder", ...); empty when it succeeded or the system would not open it.
    const QString& openError() const { return openError_; }
    void close();
    bool isOpen() const { return file_.isOpen(); }
    const QByteArray& path() const { return path_; }
    // The size in bytes when it was opened; 0 when closed.
    qint64 size() const { return size_; }

    // Up to `length` bytes from `offset`, fewer at the end of the file; empty for an
    // offset outside the file or when reading fails.
    QByteArray bytes(qint64 offset, qint64 length) const;

    // Starts the worker that counts the lines; does nothing when closed, counting or
    // counted.
    void countLines();
    // Stops a running count; the lines counted so far stay known, the total unknown.
    void cancelCount();
    // Counts the lines to the end on this thread when the worker has not finished (the
    // worker is stopped first and the count goes on from where it was). Returns when
    // the total is known, or at once when the file is closed.
    void finishCount();
    // Another pager on the same file for a worker thread: its own handle and cache, and
    // the line starts this one has found so far (a count it finishes goes on from the
    // last of them). nullptr when closed or when the file cannot be opened again. It has
    // no worker and lives on no particular thread: whoever holds it may use it from one
    // thread at a time.
    std::unique_ptr<FilePager> reader() const;
    // Makes a finishCount() running on another thread return soon, the total unknown.
    // Any thread may call it; the pager counts no more until reopened.
    void requestStop() { cancel_ = true; }
    bool isCounting() const { return worker_ != nullptr && countRunning_.load(); }
    bool lineCountKnown() const { return countDone_.load(); }
    // The total of lines once known; before that, the lines counted so far.
    qint64 lineCount() const { return linesCounted_.load(); }
    // Bytes the count has read so far (the size once it is done).
    qint64 bytesCounted() const { return bytesCounted_.load(); }

    // The offset at which line `line` (0-based) starts; -1 when the file has no such
    // line. A line beyond the counted ones is found by scanning on from the last known.
    qint64 lineStart(qint64 line) const;
    // The offset of the line after the one starting at `start` (the file's size after
    // the last line).
    qint64 nextLineStart(qint64 start) const;
    // The line that holds byte `offset` (the last line for an offset at or past the end;
    // 0 for an empty file).
    qint64 lineAtOffset(qint64 offset) const;
    // The bytes of line `line` without its terminator ("\n" or "\r\n"); empty for a line
    // that does not exist (and for an empty line).
    QByteArray lineBytes(qint64 line) const;
    // The bytes of the line starting at `start` without its terminator.
    QByteArray lineBytesAt(qint64 start) const;

signals:
    // Emitted now and then while the worker counts, and once more when it stops.
    void countProgress(qint64 bytesDone, qint64 size);
    // Emitted once when the total becomes known.
    void countFinished(qint64 lines);

private:
    struct Checkpoint {
        qint64 line;
        qint64 offset;
    };
    // Where a count stands: the lines completed, the start of the current line, and the
    // checkpoint bookkeeping. Scanning moves it forward over a chunk of bytes.
    struct CountState {
        qint64 lines = 0;
        qint64 lineStart = 0;
        qint64 lastCpLine = 0;
        qint64 lastCpOffset = 0;
        // The byte at which the current line reaches its longest is a "\r" and was the
        // last of a chunk: whether a "\n" follows is up to the next chunk.
        bool crAtLongest = false;
    };
    void scanChunk(CountState& st, const char* data, qint64 base, qint64 n);
    void scanHole(CountState& st, qint64 to);
    void finishState(CountState& st);
    void stopWorker();
    void runCount();
    QByteArray block(qint64 index) const;

    QByteArray path_;
    QString openError_;
    mutable QFile file_;
    qint64 size_ = 0;

    struct CachedBlock {
        qint64 index;
        QByteArray data;
        quint64 used;
    };
    mutable std::vector<CachedBlock> cache_;
    mutable quint64 useClock_ = 0;
    mutable qint64 memoLine_ = -1;
    mutable qint64 memoOffset_ = 0;

    mutable QMutex checkpointsLock_;
    std::vector<Checkpoint> checkpoints_;
    CountState state_;  // owned by the worker while it runs
    std::atomic<qint64> linesCounted_{0};
    std::atomic<qint64> bytesCounted_{0};
    std::atomic<bool> countDone_{false};
    std::atomic<bool> countRunning_{false};
    std::atomic<bool> cancel_{false};
    std::unique_ptr<QThread> worker_;
};

}  // namespace dw
