#include "finders/dup_candidates.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "base/file_dates.h"
#include "finders/dup_line_plan.h"
#include "finders/dup_path_order.h"
#include "platform/paths.h"
#include "scan/folder_walk.h"

namespace dw {

namespace {

// Names are kept back to back in chunks that never move.
constexpr quint32 kChunkBytes = 1u << 20;

}  // namespace

DupCandidateList::DupCandidateList(qsizetype limit)
    // Candidate numbers keep their two high bits free for the sort's marks.
    : limit_(std::clamp<qsizetype>(limit, 0, kMaxLimit)),
      pathOrder_(std::make_unique<PathOrder>(*this)) {}

DupCandidateList::~DupCandidateList() = default;

void DupCandidateList::clear() {
    pathOrder_->clear();
    textsUpTo_ = 0;
    blocks_.clear();
    order_.clear();
    order_.shrink_to_fit();
    count_ = 0;
    chunks_.clear();
    chunkUsed_ = 0;
    folders_.clear();
    folderPrefixes_.clear();
    folderBytes_ = 0;
    lastFolderPath_.clear();
    types_.clear();
    texts_.clear();
    peak_ = 0;
}

bool DupCandidateList::storeName(QByteArrayView name, quint64& ref) {
    const auto length = quint32(name.size());
    if (chunks_.empty() || chunkUsed_ + length > kChunkBytes) {
        chunks_.push_back(std::make_unique_for_overwrite<char[]>(kChunkBytes));
        chunkUsed_ = 0;
    }
    std::memcpy(chunks_.back().get() + chunkUsed_, name.data(), length);
    ref = (quint64(chunks_.size() - 1) << 36) | (quint64(chunkUsed_) << 16) | length;
    chunkUsed_ += length;
    return true;
}

QByteArrayView DupCandidateList::nameOf(const Record& r) const {
    return QByteArrayView(chunks_[size_t(r.name >> 36)].get() + ((r.name >> 16) & 0xFFFFF),
                          qsizetype(r.name & 0xFFFF));
}

quint32 DupCandidateList::packedTime(qint64 epoch) {
    if (!timeSlots_) {
        timeSlots_ = std::make_unique<std::array<TimeSlot, 4096>>();
    }
    const quint64 h = quint64(epoch) * 0x9E3779B97F4A7C15ull;
    TimeSlot& slot = (*timeSlots_)[size_t(h >> 52)];
    if (slot.epoch != epoch) {
        const quint32 packed = PackDosDateTime(epoch);
        if (earlyTexts_) {
            // Before the slot says it was met, in case memory runs out here.
            texts_.date(packed);
            texts_.time(packed);
        }
        slot.epoch = epoch;
        slot.packed = packed;
    }
    return slot.packed;
}

bool DupCandidateList::add(const WalkFolder& folder, const platform::DirEntry& entry) {
    return add(folder, entry.name, entry.size, entry.modified, entry.accessed);
}

bool DupCandidateList::add(const WalkFolder& folder, QByteArrayView name, qint64 size,
                           qint64 modified, qint64 accessed) {
    if (count_ >= limit_ || name.size() > kMaxNameBytes) {
        return false;
    }
    try {
        if (folders_.empty() || folder.path != lastFolderPath_) {
            if (earlyPathOrder_) {
                pathOrder_->folderEnding();
            }
            lastFolderPath_ = folder.path;
            folders_.push_back({folder.path, folder.text});
            QByteArray prefix = folder.path;
            if (!prefix.endsWith(platform::kSep)) {
                prefix.append(platform::kSep);
            }
            folderPrefixes_.push_back(prefix);
            if (earlyPathOrder_) {
                pathOrder_->folderAdded();
            }
            // Its record, the path twice (the prefix) and the text, with the
            // allocator's and Qt's headers.
            folderBytes_ += qsizetype(sizeof(DupFolder) + sizeof(QByteArray)) +
                            2 * (folder.path.size() + 40) + folder.text.size() * 2 + 40;
        }
        const auto n = quint32(count_);
        if ((n & (kBlockSize - 1)) == 0 && size_t(n >> kBlockBits) == blocks_.size()) {
            blocks_.push_back(std::make_unique_for_overwrite<Record[]>(kBlockSize));
        }
        if (!order_.empty()) {
            order_.push_back(n);
        }
        Record& r = record(n);
        r.size = size;
        r.folder = quint32(folders_.size() - 1);
        r.modified = packedTime(modified);
        r.accessed = packedTime(accessed);
        r.type = types_.idOfName(name);
        storeName(name, r.name);
        if (earlyTexts_ && textsUpTo_ == count_) {
            ++textsUpTo_;
        }
        ++count_;
    } catch (const std::bad_alloc&) {
        // The record was not counted; whatever was set up for it is reused or harmless.
        if (order_.size() > size_t(count_)) {
            order_.resize(size_t(count_));
        }
        return false;
    }
    if ((count_ & 0xFFF) == 0) {
        notePeak(0);
    }
    return true;
}

void DupCandidateList::prefetch(qsizetype i, int stage) const {
    if (i < 0 || i >= count_) {
        return;
    }
    const Record& r = at(i);
    if (stage == 0) {
        __builtin_prefetch(&r);
        return;
    }
    __builtin_prefetch(chunks_[size_t(r.name >> 36)].get() + ((r.name >> 16) & 0xFFFFF));
    __builtin_prefetch(folderPrefixes_[r.folder].constData());
}

QByteArray DupCandidateList::path(qsizetype i) const {
    const Record& r = at(i);
    QByteArray p = folderPrefixes_[r.folder];
    p.append(nameOf(r));
    return p;
}

QByteArrayView DupCandidateList::folderPrefix(quint32 folder) const {
    return folderPrefixes_[folder];
}

void DupCandidateList::makeTexts() const {
    // Files share a few thousand times at most: a direct-mapped table of the times met
    // spares looking up the same texts again for every file.
    constexpr quint64 kSet = quint64(1) << 32;
    if (textsUpTo_ >= count_) {
        return;
    }
    std::vector<quint64> seen(4096, 0);
    for (auto n = quint32(textsUpTo_); n < quint32(count_); ++n) {
        const Record& r = record(n);
        for (const quint32 packed : {r.modified, r.accessed}) {
            quint64& slot = seen[(packed * 2654435761u) >> 20];
            if (slot != (packed | kSet)) {
                slot = packed | kSet;
                texts_.date(packed);
                texts_.time(packed);
            }
        }
    }
    textsUpTo_ = count_;
}

QString DupCandidateList::text(qsizetype i, DupField field) const {
    const Record& r = at(i);
    switch (field) {
        case DupField::Name:
            // QFile::decodeName, without copying the bytes first.
            return QString::fromUtf8(nameOf(r));
        case DupField::Size:
            return thousands_(r.size);
        case DupField::Modified:
            return QString::fromUtf8(texts_.date(r.modified));
        case DupField::Time:
            return QString::fromUtf8(texts_.time(r.modified));
        case DupField::Access:
            return QString::fromUtf8(texts_.date(r.accessed));
        case DupField::Folder:
            return folders_[r.folder].text;
        case DupField::Type:
            return types_.text(r.type);
        case DupField::Path:
            return QFile::decodeName(path(i));
    }
    return {};
}

void DupCandidateList::textInto(qsizetype i, DupField field, QString& out) const {
    const Record& r = at(i);
    switch (field) {
        case DupField::Name:
            DupTexts::decodeInto(nameOf(r), {}, out);
            return;
        case DupField::Path:
            DupTexts::decodeInto(folderPrefixes_[r.folder], nameOf(r), out);
            return;
        case DupField::Size:
            if (thousands_.isSimple() && r.size >= 0) {
                char16_t reversed[32];
                const int length = thousands_.reversedDigits(quint64(r.size), reversed);
                out.resize(length);
                QChar* p = out.data();
                for (int c = length - 1; c >= 0; --c) {
                    *p++ = QChar(reversed[c]);
                }
                return;
            }
            out = text(i, field);
            return;
        default:
            out = text(i, field);
            return;
    }
}

void DupCandidateList::appendBytes(qsizetype i, DupField field, QByteArray& out) const {
    // Appended as views: appending a QByteArray to an empty one would share it, and the
    // next append would then copy it, once per row.
    char buffer[ThousandsText::kMaxUtf8];
    out.append(fieldBytes(i, field, buffer));
    if (field == DupField::Path) {
        out.append(name(i));
    }
}

QByteArrayView DupCandidateList::fieldBytes(qsizetype i, DupField field, char* sizeBuffer) const {
    const Record& r = at(i);
    switch (field) {
        case DupField::Name:
            return nameOf(r);
        case DupField::Size:
            return QByteArrayView(sizeBuffer, thousands_.toUtf8(r.size, sizeBuffer));
        case DupField::Modified:
            return texts_.date(r.modified);
        case DupField::Time:
            return texts_.time(r.modified);
        case DupField::Access:
            return texts_.date(r.accessed);
        case DupField::Folder:
            return folders_[r.folder].path;
        case DupField::Type:
            return types_.utf8(r.type);
        case DupField::Path:
            return folderPrefixes_[r.folder];
    }
    return {};
}

void DupCandidateList::sortLines(std::span<const DupField> fields) {
    if (count_ < 2 || fields.empty()) {
        return;
    }
    if (std::find(fields.begin(), fields.end(), DupField::Path) != fields.end()) {
        pathOrder_->finish();
    }
    LinePlan(*this, fields).sort(order_);
}

qsizetype DupCandidateList::memoryUsage() const {
    qsizetype bytes = qsizetype(blocks_.size()) * qsizetype(kBlockSize * sizeof(Record)) +
                      qsizetype(blocks_.capacity() * sizeof(void*)) +
                      qsizetype(order_.capacity() * sizeof(quint32)) +
                      qsizetype(chunks_.size()) * kChunkBytes +
                      qsizetype(chunks_.capacity() * sizeof(void*));
    bytes += folderBytes_;
    bytes += types_.memoryUsage();
    // The texts of dates and times: at most one per day and one per two seconds of a
    // day, whatever the number of files.
    bytes += texts_.memoryUsage();
    bytes += timeSlots_ ? qsizetype(sizeof(*timeSlots_)) : 0;
    // The path order's work done early.
    bytes += pathOrder_->memoryUsage();
    return bytes;
}

void DupCandidateList::notePeak(qsizetype extra) const {
    peak_ = std::max(peak_, memoryUsage() + extra);
}

}  // namespace dw
