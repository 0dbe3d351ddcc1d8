#pragma once

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "finders/content_groups.h"
#include "finders/dup_candidates.h"
#include "scan/folder_walk.h"

namespace dw {

// Adds the files a walk hands over to a candidate list (and, for "Same contents", to the
// content search) on a thread of its own, so that the walk's thread only copies each
// file's name and numbers into a batch and goes on to the next file. Up to kBatchFiles
// files wait in the batch being filled; a full batch goes to the thread, which is started
// with the first one (a short walk never starts it). At most kWaitingBatches full batches
// wait for the thread; beyond that, add() waits for it to catch up.
//
// The list and the content search must not be read or changed while files may still be
// on their way: after finish() they hold every file handed over, in the order given, and
// the feed takes further files afterwards as before. add() and finish() are called from
// one thread. The list and the content search must outlive the feed; the destructor
// finishes what is on its way.
class CandidateFeed {
public:
    static constexpr size_t kBatchFiles = 4096;
    static constexpr size_t kWaitingBatches = 4;

    // `content` may be null (no content search).
    CandidateFeed(DupCandidateList& list, ContentGrouper* content);
    ~CandidateFeed();
    CandidateFeed(const CandidateFeed&) = delete;
    CandidateFeed& operator=(const CandidateFeed&) = delete;

    // Hands the file `entry` of `folder` over. Returns false, taking nothing, when the
    // list cannot take it: it would hold more than its limit, the name is longer than
    // DupCandidateList::kMaxNameBytes, or the list refused a file handed over before for
    // want of memory (the files after that one are dropped).
    bool add(const WalkFolder& folder, const platform::DirEntry& entry);

    // Waits until every file handed over is in the list (or was dropped, see add()).
    void finish();

    // The files handed over and taken by add() so far.
    qsizetype count() const { return count_; }

private:
    struct File {
        qint64 size;
        qint64 modified;
        qint64 accessed;
        quint64 device;
        quint64 inode;
        quint32 folder;  // in the batch's folders
        quint32 nameAt;  // in the batch's names
        quint16 nameLength;
    };
    struct Batch {
        std::vector<WalkFolder> folders;
        std::vector<File> files;
        std::string names;
        void clear() {
            folders.clear();
            files.clear();
            names.clear();
        }
    };

    // Adds the files of `batch` to the list; on the thread, or on the caller's when none
    // was started.
    void take(Batch& batch);
    // Gives the batch being filled to the thread (starting it with the first one).
    void handOver();
    void run();

    DupCandidateList& list_;
    ContentGrouper* content_;
    std::unique_ptr<Batch> filling_;
    qsizetype count_ = 0;
    QByteArray lastPath_;
    std::atomic<bool> refused_{false};

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;      // a batch waits, or the thread is to stop
    std::condition_variable caughtUp_;  // a batch was taken
    std::deque<std::unique_ptr<Batch>> waiting_;
    std::vector<std::unique_ptr<Batch>> spare_;
    bool taking_ = false;
    bool stop_ = false;
};

}  // namespace dw
