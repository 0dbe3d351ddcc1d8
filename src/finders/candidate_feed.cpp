#include "finders/candidate_feed.h"

#include <new>

namespace dw {

CandidateFeed::CandidateFeed(DupCandidateList& list, ContentGrouper* content)
    : list_(list), content_(content), filling_(std::make_unique<Batch>()) {}

CandidateFeed::~CandidateFeed() {
    finish();
    if (thread_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
}

bool CandidateFeed::add(const WalkFolder& folder, const platform::DirEntry& entry) {
    if (count_ >= list_.limit() || entry.name.size() > DupCandidateList::kMaxNameBytes ||
        refused_.load(std::memory_order_relaxed)) {
        return false;
    }
    Batch& batch = *filling_;
    try {
        if (batch.folders.empty() || folder.path != lastPath_) {
            batch.folders.push_back(folder);
            lastPath_ = folder.path;
        }
        const auto nameAt = quint32(batch.names.size());
        batch.names.append(entry.name.constData(), size_t(entry.name.size()));
        batch.files.push_back({entry.size, entry.modified, entry.accessed, entry.device,
                               entry.inode, quint32(batch.folders.size() - 1), nameAt,
                               quint16(entry.name.size())});
    } catch (const std::bad_alloc&) {
        return false;
    }
    ++count_;
    if (batch.files.size() >= kBatchFiles) {
        handOver();
    }
    return true;
}

void CandidateFeed::handOver() {
    std::unique_lock lock(mutex_);
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // No thread to be had: the files go in on this one.
            lock.unlock();
            take(*filling_);
            filling_->clear();
            return;
        }
    }
    caughtUp_.wait(lock, [&] { return waiting_.size() < kWaitingBatches; });
    waiting_.push_back(std::move(filling_));
    if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
    }
    lock.unlock();
    wake_.notify_one();
    if (!filling_) {
        filling_ = std::make_unique<Batch>();
    }
    // The walk's new batch starts a folder afresh.
    lastPath_.clear();
}

void CandidateFeed::finish() {
    if (!thread_.joinable()) {
        take(*filling_);
        filling_ = std::make_unique<Batch>();
        lastPath_.clear();
        return;
    }
    if (!filling_->files.empty()) {
        handOver();
    }
    std::unique_lock lock(mutex_);
    caughtUp_.wait(lock, [&] { return waiting_.empty() && !taking_; });
    // The batches' memory is given back: the search that follows needs it more.
    spare_.clear();
    lock.unlock();
    filling_ = std::make_unique<Batch>();
}

void CandidateFeed::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || !waiting_.empty(); });
        if (waiting_.empty()) {
            return;
        }
        std::unique_ptr<Batch> batch = std::move(waiting_.front());
        waiting_.pop_front();
        taking_ = true;
        lock.unlock();
        take(*batch);
        batch->clear();
        lock.lock();
        taking_ = false;
        spare_.push_back(std::move(batch));
        caughtUp_.notify_all();
    }
}

void CandidateFeed::take(Batch& batch) {
    for (const File& f : batch.files) {
        if (refused_.load(std::memory_order_relaxed)) {
            return;
        }
        const QByteArrayView name(batch.names.data() + f.nameAt, f.nameLength);
        if (!list_.add(batch.folders[f.folder], name, f.size, f.modified, f.accessed)) {
            refused_.store(true, std::memory_order_relaxed);
            return;
        }
        if (content_) {
            try {
                content_->add({quint32(list_.size() - 1), f.device, f.inode, f.modified});
            } catch (const std::bad_alloc&) {
                refused_.store(true, std::memory_order_relaxed);
                return;
            }
        }
    }
}

}  // namespace dw
