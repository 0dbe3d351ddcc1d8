#include "finders/dup_candidates.h"

#include <QDate>
#include <QFile>
#include <QTime>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "app/file_dates.h"
#include "app/utility.h"
#include "finders/folded_text.h"
#include "platform/paths.h"
#include "scan/folder_walk.h"

namespace dw {

namespace {

// Names are kept back to back in chunks that never move.
constexpr quint32 kChunkBytes = 1u << 20;

// Keys of the texts of packed dates: the date part, or one of these.
constexpr quint32 kDateKeyEmpty = 0x10000;  // packed 0: no date, empty text
constexpr quint32 kDateKeyCount = 0x10001;
// Keys of the texts of packed times: the time part, or one of these.
constexpr quint32 kTimeKeyInvalid = 0x10000;  // "12:00:00"
constexpr quint32 kTimeKeyEmpty = 0x10001;    // packed 0
constexpr quint32 kTimeKeyCount = 0x10002;
// 1 January 1980, a valid date to put in front of a time part.
constexpr quint32 kValidDatePart = (1u << 5) | 1u;

bool datePartValid(quint32 packed) {
    return QDate::isValid(int(packed >> 25) + 1980, int((packed >> 21) & 0x0F),
                          int((packed >> 16) & 0x1F));
}

bool timePartValid(quint32 packed) {
    return QTime::isValid(int((packed >> 11) & 0x1F), int((packed >> 5) & 0x3F),
                          int(packed & 0x1F) * 2);
}

// Ranks for the texts of `keys` (the entries of `ids` that are set): equal texts share a
// rank, and ranks follow the order of the texts.
std::vector<quint32> rankTexts(const std::vector<qint32>& ids,
                               const std::vector<QByteArray>& utf8) {
    std::vector<quint32> order(utf8.size());
    for (quint32 k = 0; k < order.size(); ++k) {
        order[k] = k;
    }
    std::sort(order.begin(), order.end(),
              [&](quint32 a, quint32 b) { return compareFolded(utf8[a], utf8[b]) < 0; });
    std::vector<quint32> rankOfText(utf8.size());
    quint32 rank = 0;
    for (size_t k = 0; k < order.size(); ++k) {
        if (k > 0 && compareFolded(utf8[order[k - 1]], utf8[order[k]]) != 0) {
            ++rank;
        }
        rankOfText[order[k]] = rank;
    }
    std::vector<quint32> ranks(ids.size(), 0);
    for (size_t key = 0; key < ids.size(); ++key) {
        if (ids[key] >= 0) {
            ranks[key] = rankOfText[size_t(ids[key])];
        }
    }
    return ranks;
}

int compareNumbers(quint32 a, quint32 b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

DupCandidateList::DupCandidateList(qsizetype limit)
    : limit_(std::clamp<qsizetype>(limit, 0, std::numeric_limits<quint32>::max())) {}

DupCandidateList::~DupCandidateList() = default;

void DupCandidateList::clear() {
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
    typesUtf8_.clear();
    typeByExtension_.clear();
    dateTextIds_.clear();
    timeTextIds_.clear();
    dateTexts_.clear();
    timeTexts_.clear();
    dateUtf8_.clear();
    timeUtf8_.clear();
    peak_ = 0;
}

bool DupCandidateList::storeName(QByteArrayView name, quint64& ref) {
    const auto length = quint32(name.size());
    if (chunks_.empty() || chunkUsed_ + length > kChunkBytes) {
        chunks_.push_back(std::make_unique<char[]>(kChunkBytes));
        chunkUsed_ = 0;
    }
    std::memcpy(chunks_.back().get() + chunkUsed_, name.data(), length);
    ref = (quint64(chunks_.size() - 1) << 32) | chunkUsed_;
    chunkUsed_ += length;
    return true;
}

QByteArrayView DupCandidateList::nameOf(const Record& r) const {
    return QByteArrayView(chunks_[size_t(r.name >> 32)].get() + quint32(r.name), r.nameLength);
}

quint32 DupCandidateList::typeOf(QByteArrayView name) {
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArrayView ext = dot < 0 ? QByteArrayView() : name.sliced(dot);
    const QByteArray key = ext.toByteArray();
    const auto it = typeByExtension_.constFind(key);
    if (it != typeByExtension_.constEnd()) {
        return it.value();
    }
    const QString type = ext.isEmpty() ? QString() : FileTypeName(QFile::decodeName(key));
    const auto id = quint32(types_.size());
    types_.append(type);
    typesUtf8_.push_back(type.toUtf8());
    typeByExtension_.insert(key, id);
    return id;
}

bool DupCandidateList::add(const WalkFolder& folder, const platform::DirEntry& entry) {
    if (count_ >= limit_ || entry.name.size() > 0xFFFF) {
        return false;
    }
    try {
        if (folders_.empty() || folder.path != lastFolderPath_) {
            lastFolderPath_ = folder.path;
            folders_.push_back({folder.path, folder.text});
            QByteArray prefix = folder.path;
            if (!prefix.endsWith(platform::kSep)) {
                prefix.append(platform::kSep);
            }
            folderPrefixes_.push_back(prefix);
            // Its record, the path twice (the prefix) and the text, with the
            // allocator's and Qt's headers.
            folderBytes_ += qsizetype(sizeof(DupFolder) + sizeof(QByteArray)) +
                            2 * (folder.path.size() + 40) + folder.text.size() * 2 + 40;
        }
        const auto n = quint32(count_);
        if ((n & (kBlockSize - 1)) == 0 && size_t(n >> kBlockBits) == blocks_.size()) {
            blocks_.push_back(std::make_unique<Record[]>(kBlockSize));
        }
        order_.push_back(n);
        Record& r = record(n);
        r.size = entry.size;
        r.folder = quint32(folders_.size() - 1);
        r.modified = ModifiedFileDate(entry);
        r.accessed = AccessedFileDate(entry);
        r.type = typeOf(entry.name);
        r.nameLength = quint16(entry.name.size());
        storeName(entry.name, r.name);
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

QByteArray DupCandidateList::path(qsizetype i) const {
    const Record& r = at(i);
    QByteArray p = folderPrefixes_[r.folder];
    p.append(nameOf(r));
    return p;
}

QByteArrayView DupCandidateList::folderPrefix(quint32 folder) const {
    return folderPrefixes_[folder];
}

quint32 DupCandidateList::dateKey(quint32 packed) {
    return packed == 0 ? kDateKeyEmpty : packed >> 16;
}

quint32 DupCandidateList::timeKey(quint32 packed) {
    if (packed == 0) {
        return kTimeKeyEmpty;
    }
    if (!datePartValid(packed) || !timePartValid(packed)) {
        return kTimeKeyInvalid;
    }
    return packed & 0xFFFF;
}

const QString& DupCandidateList::dateText(quint32 packed) const {
    if (dateTextIds_.empty()) {
        dateTextIds_.assign(kDateKeyCount, -1);
    }
    const quint32 key = dateKey(packed);
    qint32& id = dateTextIds_[key];
    if (id < 0) {
        const QString text = key == kDateKeyEmpty ? QString() : FileDateToDateText((key << 16) | 1);
        id = qint32(dateTexts_.size());
        dateTexts_.append(text);
        dateUtf8_.push_back(text.toUtf8());
    }
    return dateTexts_.at(id);
}

const QString& DupCandidateList::timeText(quint32 packed) const {
    if (timeTextIds_.empty()) {
        timeTextIds_.assign(kTimeKeyCount, -1);
    }
    const quint32 key = timeKey(packed);
    qint32& id = timeTextIds_[key];
    if (id < 0) {
        QString text;
        if (key == kTimeKeyInvalid) {
            text = FileDateToTimeText(1);
        } else if (key != kTimeKeyEmpty) {
            text = FileDateToTimeText((kValidDatePart << 16) | key);
        }
        id = qint32(timeTexts_.size());
        timeTexts_.append(text);
        timeUtf8_.push_back(text.toUtf8());
    }
    return timeTexts_.at(id);
}

const QByteArray& DupCandidateList::dateUtf8(quint32 packed) const {
    dateText(packed);
    return dateUtf8_[size_t(dateTextIds_[dateKey(packed)])];
}

const QByteArray& DupCandidateList::timeUtf8(quint32 packed) const {
    timeText(packed);
    return timeUtf8_[size_t(timeTextIds_[timeKey(packed)])];
}

QString DupCandidateList::text(qsizetype i, DupField field) const {
    const Record& r = at(i);
    switch (field) {
        case DupField::Name:
            return QFile::decodeName(nameOf(r).toByteArray());
        case DupField::Size:
            return thousands_(r.size);
        case DupField::Modified:
            return dateText(r.modified);
        case DupField::Time:
            return timeText(r.modified);
        case DupField::Access:
            return dateText(r.accessed);
        case DupField::Folder:
            return folders_[r.folder].text;
        case DupField::Type:
            return types_.at(r.type);
        case DupField::Path:
            return QFile::decodeName(path(i));
    }
    return {};
}

void DupCandidateList::appendBytes(qsizetype i, DupField field, QByteArray& out) const {
    const Record& r = at(i);
    switch (field) {
        case DupField::Name:
            out.append(nameOf(r));
            return;
        case DupField::Size: {
            char buffer[ThousandsText::kMaxUtf8];
            out.append(buffer, thousands_.toUtf8(r.size, buffer));
            return;
        }
        case DupField::Modified:
            out.append(dateUtf8(r.modified));
            return;
        case DupField::Time:
            out.append(timeUtf8(r.modified));
            return;
        case DupField::Access:
            out.append(dateUtf8(r.accessed));
            return;
        case DupField::Folder:
            out.append(folders_[r.folder].path);
            return;
        case DupField::Type:
            out.append(typesUtf8_[r.type]);
            return;
        case DupField::Path:
            out.append(folderPrefixes_[r.folder]);
            out.append(nameOf(r));
            return;
    }
}

void DupCandidateList::sortLines(std::span<const DupField> fields) {
    if (count_ < 2 || fields.empty()) {
        return;
    }
    const auto has = [&](DupField f) {
        return std::find(fields.begin(), fields.end(), f) != fields.end();
    };

    // Everything but names and paths is compared by rank: the place of its text among
    // the distinct texts of that field, made once. Only names and paths are compared as
    // text while sorting.
    if (has(DupField::Size)) {
        std::vector<qint64> sizes;
        sizes.reserve(size_t(count_));
        for (quint32 n = 0; n < quint32(count_); ++n) {
            sizes.push_back(record(n).size);
        }
        std::sort(sizes.begin(), sizes.end());
        sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
        // The texts of the distinct sizes, back to back.
        QByteArray texts;
        std::vector<quint32> ends;
        ends.reserve(sizes.size());
        char buffer[ThousandsText::kMaxUtf8];
        for (qint64 s : sizes) {
            texts.append(buffer, thousands_.toUtf8(s, buffer));
            ends.push_back(quint32(texts.size()));
        }
        const auto textOf = [&](size_t k) {
            const quint32 begin = k == 0 ? 0 : ends[k - 1];
            return QByteArrayView(texts.constData() + begin, ends[k] - begin);
        };
        std::vector<quint32> byText(sizes.size());
        for (quint32 k = 0; k < byText.size(); ++k) {
            byText[k] = k;
        }
        std::sort(byText.begin(), byText.end(),
                  [&](quint32 a, quint32 b) { return compareFolded(textOf(a), textOf(b)) < 0; });
        // Different sizes have different texts, so a size's rank is its text's place.
        std::vector<quint32> rank(sizes.size());
        for (quint32 k = 0; k < byText.size(); ++k) {
            rank[byText[k]] = k;
        }
        const auto extra = qsizetype(sizes.capacity() * sizeof(qint64) + texts.capacity() +
                                     (ends.capacity() + byText.capacity() + rank.capacity()) * 4);
        notePeak(extra);
        for (quint32 n = 0; n < quint32(count_); ++n) {
            Record& r = record(n);
            const auto it = std::lower_bound(sizes.begin(), sizes.end(), r.size);
            r.sizeRank = rank[size_t(it - sizes.begin())];
        }
    }

    std::vector<quint32> dateRank;
    std::vector<quint32> timeRank;
    std::vector<quint32> typeRank;
    std::vector<quint32> folderRank;
    if (has(DupField::Modified) || has(DupField::Access) || has(DupField::Time)) {
        for (quint32 n = 0; n < quint32(count_); ++n) {
            const Record& r = record(n);
            dateText(r.modified);
            dateText(r.accessed);
            timeText(r.modified);
        }
        dateRank = rankTexts(dateTextIds_, dateUtf8_);
        timeRank = rankTexts(timeTextIds_, timeUtf8_);
    }
    if (has(DupField::Type)) {
        std::vector<qint32> ids(typesUtf8_.size());
        for (size_t k = 0; k < ids.size(); ++k) {
            ids[k] = qint32(k);
        }
        typeRank = rankTexts(ids, typesUtf8_);
    }
    if (has(DupField::Folder)) {
        std::vector<QByteArray> paths;
        paths.reserve(folders_.size());
        std::vector<qint32> ids(folders_.size());
        for (size_t k = 0; k < folders_.size(); ++k) {
            paths.push_back(folders_[k].path);
            ids[k] = qint32(k);
        }
        folderRank = rankTexts(ids, paths);
    }
    notePeak(qsizetype(
        (dateRank.capacity() + timeRank.capacity() + typeRank.capacity() + folderRank.capacity()) *
        sizeof(quint32)));

    const auto compareField = [&](DupField f, const Record& a, const Record& b) -> int {
        switch (f) {
            case DupField::Name:
                return compareFolded(nameOf(a), nameOf(b));
            case DupField::Size:
                return compareNumbers(a.sizeRank, b.sizeRank);
            case DupField::Modified:
                return compareNumbers(dateRank[dateKey(a.modified)], dateRank[dateKey(b.modified)]);
            case DupField::Time:
                return compareNumbers(timeRank[timeKey(a.modified)], timeRank[timeKey(b.modified)]);
            case DupField::Access:
                return compareNumbers(dateRank[dateKey(a.accessed)], dateRank[dateKey(b.accessed)]);
            case DupField::Folder:
                return compareNumbers(folderRank[a.folder], folderRank[b.folder]);
            case DupField::Type:
                return compareNumbers(typeRank[a.type], typeRank[b.type]);
            case DupField::Path:
                return compareFolded(TextParts{folderPrefix(a.folder), nameOf(a)},
                                     TextParts{folderPrefix(b.folder), nameOf(b)});
        }
        return 0;
    };
    // Candidate numbers are unique, so the last comparison makes the order total and the
    // result the same as a stable sort's, without a stable sort's buffer.
    std::sort(order_.begin(), order_.end(), [&](quint32 x, quint32 y) {
        const Record& a = record(x);
        const Record& b = record(y);
        for (DupField f : fields) {
            const int c = compareField(f, a, b);
            if (c != 0) {
                return c < 0;
            }
        }
        return x < y;
    });
}

qsizetype DupCandidateList::memoryUsage() const {
    qsizetype bytes = qsizetype(blocks_.size()) * qsizetype(kBlockSize * sizeof(Record)) +
                      qsizetype(blocks_.capacity() * sizeof(void*)) +
                      qsizetype(order_.capacity() * sizeof(quint32)) +
                      qsizetype(chunks_.size()) * kChunkBytes +
                      qsizetype(chunks_.capacity() * sizeof(void*));
    bytes += folderBytes_;
    bytes += qsizetype(types_.size()) * 96 + typeByExtension_.size() * 64;
    // The texts of dates and times: at most one per day and one per two seconds of a
    // day, whatever the number of files.
    bytes += qsizetype((dateTextIds_.capacity() + timeTextIds_.capacity()) * sizeof(qint32)) +
             (dateTexts_.size() + timeTexts_.size()) * 112;
    return bytes;
}

void DupCandidateList::notePeak(qsizetype extra) {
    peak_ = std::max(peak_, memoryUsage() + extra);
}

}  // namespace dw
