#include "base/file_pager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutexLocker>

#include <algorithm>
#include <cstring>

#include "platform/native_file.h"

namespace dw {

namespace {

constexpr qint64 kCountChunk = 1024 * 1024;
constexpr int kProgressEveryMs = 100;

}  // namespace

FilePager::FilePager(QObject* parent) : QObject(parent) {}

FilePager::~FilePager() {
    close();
}

bool FilePager::open(const QByteArray& path) {
    close();
    openError_.clear();
    // A FIFO, a device or a kernel file would block or never end: only stored files.
    if (!platform::openFileToLookAt(file_, path, &openError_)) {
        return false;
    }
    path_ = path;
    size_ = file_.size();
    if (size_ > 0 && block(0).isEmpty()) {
        close();
        return false;
    }
    checkpoints_.push_back({0, 0});
    if (size_ == 0) {
        countDone_ = true;
        bytesCounted_ = 0;
    }
    return true;
}

std::unique_ptr<FilePager> FilePager::reader() const {
    auto copy = std::make_unique<FilePager>();
    if (!file_.isOpen() || !copy->open(path_)) {
        return nullptr;
    }
    copy->size_ = size_;  // the lines found are those of the size this one knows
    QMutexLocker lock(&checkpointsLock_);
    copy->checkpoints_ = checkpoints_;
    if (countDone_) {
        copy->linesCounted_ = linesCounted_.load();
        copy->bytesCounted_ = copy->size_;
        copy->countDone_ = true;
    } else {
        const Checkpoint last = checkpoints_.back();
        copy->state_ = {last.line, last.offset, last.line, last.offset};
        copy->linesCounted_ = last.line;
        copy->bytesCounted_ = last.offset;
    }
    return copy;
}

void FilePager::close() {
    stopWorker();
    file_.close();
    path_.clear();
    size_ = 0;
    cache_.clear();
    memoLine_ = -1;
    memoOffset_ = 0;
    {
        QMutexLocker lock(&checkpointsLock_);
        checkpoints_.clear();
    }
    state_ = {};
    linesCounted_ = 0;
    bytesCounted_ = 0;
    countDone_ = false;
}

QByteArray FilePager::block(qint64 index) const {
    ++useClock_;
    for (CachedBlock& b : cache_) {
        if (b.index == index) {
            b.used = useClock_;
            return b.data;
        }
    }
    QByteArray data;
    if (file_.isOpen() && file_.seek(index * kBlockSize)) {
        data = file_.read(kBlockSize);
    }
    if (data.isEmpty()) {
        return data;
    }
    if (cache_.size() < static_cast<size_t>(kCachedBlocks)) {
        cache_.push_back({index, data, useClock_});
    } else {
        auto oldest =
            std::min_element(cache_.begin(), cache_.end(),
                             [](const auto& a, const auto& b) { return a.used < b.used; });
        *oldest = {index, data, useClock_};
    }
    return data;
}

QByteArray FilePager::bytes(qint64 offset, qint64 length) const {
    QByteArray out;
    if (offset < 0 || offset >= size_ || length <= 0) {
        return out;
    }
    length = std::min(length, size_ - offset);
    out.reserve(length);
    qint64 pos = offset;
    while (pos < offset + length) {
        const qint64 index = pos / kBlockSize;
        const QByteArray data = block(index);
        const qint64 from = pos - index * kBlockSize;
        const qint64 to = std::min<qint64>(data.size(), offset + length - index * kBlockSize);
        if (to <= from) {
            break;  // the file shrank or a read failed: what was read is all there is
        }
        out.append(data.constData() + from, to - from);
        pos += to - from;
    }
    return out;
}

qint64 FilePager::nextLineStart(qint64 start) const {
    if (start >= size_) {
        return size_;
    }
    // The terminator of a line of exactly kMaxLineBytes bytes is still its own.
    const qint64 stop = std::min(size_, start + kMaxLineBytes + 1);
    qint64 pos = start;
    while (pos < stop) {
        const qint64 index = pos / kBlockSize;
        const QByteArray data = block(index);
        const qint64 blockStart = index * kBlockSize;
        const qint64 from = pos - blockStart;
        const qint64 to = std::min<qint64>(data.size(), stop - blockStart);
        if (to <= from) {
            return size_;
        }
        const char* base = data.constData();
        if (const void* nl = std::memchr(base + from, '\n', to - from)) {
            return blockStart + (static_cast<const char*>(nl) - base) + 1;
        }
        pos = blockStart + to;
    }
    const qint64 longest = start + kMaxLineBytes;
    if (longest + 1 < size_ && bytes(longest, 2) == "\r\n") {
        return longest + 2;
    }
    return std::min(size_, longest);
}

qint64 FilePager::lineStart(qint64 line) const {
    if (line < 0 || size_ == 0 || (countDone_ && line >= linesCounted_)) {
        return -1;
    }
    Checkpoint from{0, 0};
    {
        QMutexLocker lock(&checkpointsLock_);
        auto it = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), line,
                                   [](qint64 l, const Checkpoint& c) { return l < c.line; });
        if (it != checkpoints_.begin()) {
            from = *(it - 1);
        }
    }
    // Screens ask for neighbouring lines one after the other: go on from the last answer
    // when it is nearer than the checkpoint.
    if (memoLine_ >= 0 && memoLine_ <= line && memoLine_ > from.line) {
        from = {memoLine_, memoOffset_};
    }
    qint64 offset = from.offset;
    for (qint64 l = from.line; l < line && offset < size_; ++l) {
        offset = nextLineStart(offset);
    }
    if (offset >= size_) {
        return -1;
    }
    memoLine_ = line;
    memoOffset_ = offset;
    return offset;
}

qint64 FilePager::lineAtOffset(qint64 offset) const {
    Checkpoint from{0, 0};
    {
        QMutexLocker lock(&checkpointsLock_);
        auto it = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), offset,
                                   [](qint64 o, const Checkpoint& c) { return o < c.offset; });
        if (it != checkpoints_.begin()) {
            from = *(it - 1);
        }
    }
    qint64 line = from.line;
    qint64 start = from.offset;
    for (;;) {
        const qint64 next = nextLineStart(start);
        if (next > offset || next >= size_) {
            return line;
        }
        start = next;
        ++line;
    }
}

QByteArray FilePager::lineBytesAt(qint64 start) const {
    if (start < 0 || start >= size_) {
        return {};
    }
    QByteArray line = bytes(start, nextLineStart(start) - start);
    if (line.endsWith('\n')) {
        line.chop(1);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
    return line;
}

QByteArray FilePager::lineBytes(qint64 line) const {
    return lineBytesAt(lineStart(line));
}

// ---- counting ------------------------------------------------------------------------

void FilePager::scanChunk(CountState& st, const char* data, qint64 base, qint64 n) {
    qint64 i = 0;
    while (i < n) {
        // Relative index at which the current line reaches its longest; a "\n" right
        // there still ends it, and so does a "\r\n" starting there. It is -1 only when
        // that byte was a "\r" ending the chunk before.
        const qint64 limit = st.lineStart + kMaxLineBytes - base;
        const qint64 end = std::min(n, limit + 1);
        const void* nl = i < end ? std::memchr(data + i, '\n', end - i) : nullptr;
        qint64 next;
        if (nl) {
            next = base + (static_cast<const char*>(nl) - data) + 1;
        } else if (limit + 1 < n) {
            const bool cr = limit >= 0 ? data[limit] == '\r' : st.crAtLongest;
            next = base + limit + (cr && data[limit + 1] == '\n' ? 2 : 0);
        } else if (limit + 1 == n && data[limit] != '\r') {
            next = base + limit;
        } else {
            st.crAtLongest = limit + 1 == n;
            break;
        }
        st.crAtLongest = false;
        ++st.lines;
        st.lineStart = next;
        i = next - base;
        if (st.lines - st.lastCpLine >= kCheckpointLines ||
            next - st.lastCpOffset >= kCheckpointBytes) {
            QMutexLocker lock(&checkpointsLock_);
            checkpoints_.push_back({st.lines, next});
            st.lastCpLine = st.lines;
            st.lastCpOffset = next;
        }
    }
}

void FilePager::scanHole(CountState& st, qint64 to) {
    // Nothing but zeros up to `to`: the current line is broken at its longest as long as
    // the byte where that happens lies in the hole.
    while (st.lineStart + kMaxLineBytes < to) {
        st.lineStart += kMaxLineBytes;
        ++st.lines;
        if (st.lines - st.lastCpLine >= kCheckpointLines ||
            st.lineStart - st.lastCpOffset >= kCheckpointBytes) {
            QMutexLocker lock(&checkpointsLock_);
            checkpoints_.push_back({st.lines, st.lineStart});
            st.lastCpLine = st.lines;
            st.lastCpOffset = st.lineStart;
        }
    }
}

void FilePager::finishState(CountState& st) {
    // A line at its longest, then a "\r" as the file's last byte: two lines.
    const qint64 rest = size_ - st.lineStart;
    const qint64 total = st.lines + (rest > kMaxLineBytes ? 2 : rest > 0 ? 1 : 0);
    linesCounted_ = total;
    bytesCounted_ = size_;
    countDone_ = true;
}

void FilePager::runCount() {
    // Its own handle: the viewer's reads move the other one's position at any time.
    QFile in;
    // Unbuffered: reads go straight to the descriptor, which the hole search moves.
    // Opened afresh by its path: what is there now must be a stored file too.
    if (!platform::openFileToLookAt(in, path_, nullptr,
                                    QIODevice::ReadOnly | QIODevice::Unbuffered) ||
        !in.seek(bytesCounted_.load())) {
        countRunning_ = false;
        return;
    }
    QByteArray buffer(kCountChunk, Qt::Uninitialized);
    QElapsedTimer clock;
    clock.start();
    qint64 pos = bytesCounted_.load();
    bool reachedEnd = false;
    platform::DataRun run{pos, pos};
    while (!cancel_.load()) {
        if (pos >= run.end) {
            // Holes hold no line end: their lines are known without reading them.
            run = platform::nextDataRun(in, pos, size_);
            if (run.start > pos) {
                scanHole(state_, run.start);
                pos = run.start;
                linesCounted_ = state_.lines;
                bytesCounted_ = pos;
            }
            if (!in.seek(pos)) {
                reachedEnd = true;
                break;
            }
        }
        const qint64 want = std::min(kCountChunk, run.end - pos);
        if (want <= 0) {
            reachedEnd = true;
            break;
        }
        const qint64 got = in.read(buffer.data(), want);
        if (got <= 0) {
            reachedEnd = true;  // shrunk or unreadable: what was read is the file
            break;
        }
        scanChunk(state_, buffer.constData(), pos, got);
        pos += got;
        linesCounted_ = state_.lines;
        bytesCounted_ = pos;
        if (clock.elapsed() >= kProgressEveryMs) {
            clock.restart();
            QMetaObject::invokeMethod(
                this, [this, pos] { emit countProgress(pos, size_); }, Qt::QueuedConnection);
        }
    }
    if (reachedEnd) {
        finishState(state_);
        const qint64 total = linesCounted_.load();
        QMetaObject::invokeMethod(
            this,
            [this, total] {
                emit countProgress(size_, size_);
                emit countFinished(total);
            },
            Qt::QueuedConnection);
    }
    countRunning_ = false;
}

void FilePager::countLines() {
    if (!file_.isOpen() || countDone_ || worker_) {
        return;
    }
    cancel_ = false;
    countRunning_ = true;
    worker_.reset(QThread::create([this] { runCount(); }));
    worker_->start(QThread::LowPriority);
}

void FilePager::stopWorker() {
    if (!worker_) {
        return;
    }
    cancel_ = true;
    worker_->wait();
    worker_.reset();
    cancel_ = false;
    countRunning_ = false;
}

void FilePager::cancelCount() {
    stopWorker();
}

void FilePager::finishCount() {
    if (!file_.isOpen() || countDone_) {
        return;
    }
    stopWorker();
    if (!countDone_) {
        countRunning_ = true;
        runCount();
    }
    // Delivered from here at once rather than queued: the caller wants the total now.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    if (countDone_) {
        emit countProgress(size_, size_);
        emit countFinished(linesCounted_.load());
    }
}

}  // namespace dw
