#include "finders/dup_candidates.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/file_dates.h"
#include "base/split_work.h"
#include "base/utility.h"
#include "finders/folded_text.h"
#include "platform/paths.h"
#include "scan/folder_walk.h"

namespace dw {

namespace {

// Below this many candidates a sort stays on one thread: a thread's start would cost
// more than it saves.
constexpr qsizetype kMinimumPiece = 20000;

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

// Whether the date and the time part of a packed value name a real day and time (what
// QDate::isValid and QTime::isValid say of them), worked out here: the sort asks it of
// every candidate, and the calendar's own checks cost more than the rest of its key.
bool datePartValid(quint32 packed) {
    const quint32 month = (packed >> 21) & 0x0F;
    const quint32 day = (packed >> 16) & 0x1F;
    static constexpr quint8 kDays[16] = {0,  31, 28, 31, 30, 31, 30, 31,
                                         31, 30, 31, 30, 31, 0,  0,  0};
    if (day >= 1 && day <= kDays[month]) {
        return true;
    }
    const quint32 year = (packed >> 25) + 1980;
    return month == 2 && day == 29 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0);
}

bool timePartValid(quint32 packed) {
    return ((packed >> 11) & 0x1F) < 24 && ((packed >> 5) & 0x3F) < 60 && (packed & 0x1F) < 30;
}

// Ranks for the texts of the entries of `ids` that are set (not negative), by entry:
// equal texts share a rank, ranks follow the order of the texts, and unset entries have
// rank 0. `textOf` gives the text of an id. Each text is folded once into bytes whose
// plain order is compareFolded's (folder paths share long beginnings, which compareFolded
// would fold again at every comparison), and those are compared.
template <typename TextOf>
std::vector<quint32> rankTexts(const std::vector<qint32>& ids, const TextOf& textOf) {
    std::vector<quint32> order;
    order.reserve(ids.size());
    std::string folded;
    std::vector<size_t> ends;  // of each entry of `order` in `folded`
    for (quint32 k = 0; k < ids.size(); ++k) {
        if (ids[k] >= 0) {
            order.push_back(k);
            appendFoldedSortBytes({textOf(quint32(ids[k])), {}}, folded);
            ends.push_back(folded.size());
        }
    }
    std::vector<quint32> place(order.size());  // of each entry of `order`, as sorted
    for (quint32 k = 0; k < place.size(); ++k) {
        place[k] = k;
    }
    const auto bytesOf = [&](quint32 k) {
        const size_t begin = k == 0 ? 0 : ends[k - 1];
        return std::string_view(folded.data() + begin, ends[k] - begin);
    };
    std::sort(place.begin(), place.end(),
              [&](quint32 a, quint32 b) { return bytesOf(a) < bytesOf(b); });
    std::vector<quint32> ranks(ids.size(), 0);
    quint32 rank = 0;
    for (size_t k = 0; k < place.size(); ++k) {
        if (k > 0 && bytesOf(place[k - 1]) != bytesOf(place[k])) {
            ++rank;
        }
        ranks[order[place[k]]] = rank;
    }
    return ranks;
}

// Keys of 128 bits for sorting: compared as numbers, shifted as one.
__extension__ typedef unsigned __int128 U128;

// The size texts of a simple locale (ThousandsText::isSimple) are made of eleven
// characters: ten digits and one separator. Numbered 1 to 11 in the order of their codes,
// with 0 for the end, each fits in 4 bits, and a text of `chars` characters at most
// becomes a number of 4 * `chars` bits in the order of the texts. The number is made from
// the size's groups of three digits, each looked up whole, not from its text.
class SizeTextKey {
public:
    explicit SizeTextKey(const ThousandsText& thousands) {
        std::array<char16_t, 11> sorted{};
        for (int d = 0; d < 10; ++d) {
            sorted[size_t(d)] = char16_t(thousands.zero() + d);
        }
        sorted[10] = thousands.group();
        std::sort(sorted.begin(), sorted.end());
        const auto code = [&](char16_t c) {
            return quint32(std::find(sorted.begin(), sorted.end(), c) - sorted.begin() + 1);
        };
        std::array<quint32, 10> digitCode{};
        for (int d = 0; d < 10; ++d) {
            digitCode[size_t(d)] = code(char16_t(thousands.zero() + d));
        }
        groupCode_ = code(thousands.group());
        for (quint32 g = 0; g < 1000; ++g) {
            groupCodes_[g] = quint16((digitCode[g / 100] << 8) | (digitCode[(g / 10) % 10] << 4) |
                                     digitCode[g % 10]);
        }
    }

    // The number of characters of the size's text.
    static int length(qint64 size) {
        int digits = 1;
        for (quint64 v = quint64(size); v >= 10; v /= 10) {
            ++digits;
        }
        return digits + (digits - 1) / 3;
    }

    // The key of `size` (>= 0) for texts of at most `chars` characters.
    U128 operator()(qint64 size, int chars) const {
        quint32 groups[8];
        const int count = ThousandsText::digitGroups(quint64(size), groups);
        // The leading group has no leading zeros: only its own digits' codes.
        const quint32 top = groups[count - 1];
        const int topDigits = ThousandsText::leadingDigits(top);
        U128 key = groupCodes_[top] & ((1u << (4 * topDigits)) - 1);
        int length = topDigits;
        for (int g = count - 2; g >= 0; --g) {
            key = (key << 16) | (U128(groupCode_) << 12) | groupCodes_[groups[g]];
            length += 4;
        }
        return key << (4 * (chars - length));
    }

private:
    quint32 groupCode_ = 0;
    std::array<quint16, 1000> groupCodes_{};
};

}  // namespace

DupCandidateList::DupCandidateList(qsizetype limit)
    // Candidate numbers keep their two high bits free for the sort's marks.
    : limit_(std::clamp<qsizetype>(limit, 0, kMaxLimit)) {}

DupCandidateList::~DupCandidateList() = default;

void DupCandidateList::clear() {
    pathTree_.reset();
    textsUpTo_ = 0;
    folderFirst_ = std::vector<quint32>();
    byName_ = std::vector<quint32>();
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
    dateTextIds_.clear();
    timeTextIds_.clear();
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

// A path is its folder's prefix and its name; the prefix is a run of pieces that each end
// with a "/" ("/", "data/", "sub/"). The pieces of all folders, equal when they compare
// equal, make a tree whose root is the empty text. Within one node, the names of its
// files and the pieces of its children sort as the paths through them do: a name holds
// no "/" and every piece ends with one, so a name and a piece differ before the piece's
// end, or the name is the beginning of the piece and comes first, as its path does.
// Visiting the nodes depth first in that order meets the paths in the order of their
// texts.
struct DupCandidateList::PathTree {
    struct Node {
        std::vector<std::pair<QByteArrayView, quint32>> children;  // a piece, its node
    };
    std::vector<Node> nodes{1};
    std::unordered_map<std::string, quint32> childOf;  // parent node's 4 bytes + folded piece
    std::vector<quint32> nodeOfFolder;
    std::string key;
    // Folders come in the walk's order, so a folder's prefix mostly begins with the one
    // before it: the pieces both share are not looked up again (a deep chain of folders
    // costs its bytes, not its depth times its length).
    std::vector<std::pair<qsizetype, quint32>> pieces;  // end of each piece, its node
    QByteArrayView previous;
    // Set once a sort has used the tree and its lookup table was given back: it takes no
    // more folders.
    bool closed = false;

    // Puts the next folder's prefix in the tree; the prefix's bytes must stay where they
    // are while the tree lives.
    void addFolder(QByteArrayView prefix) {
        const qsizetype shared =
            std::mismatch(prefix.begin(), prefix.begin() + std::min(prefix.size(), previous.size()),
                          previous.begin())
                .first -
            prefix.begin();
        while (!pieces.empty() && pieces.back().first > shared) {
            pieces.pop_back();
        }
        quint32 node = pieces.empty() ? 0 : pieces.back().second;
        qsizetype start = pieces.empty() ? 0 : pieces.back().first;
        for (qsizetype at = start; at < prefix.size(); ++at) {
            if (prefix[at] != '/') {
                continue;
            }
            const QByteArrayView piece = prefix.sliced(start, at + 1 - start);
            key.assign(reinterpret_cast<const char*>(&node), sizeof node);
            appendFoldedSortBytes({piece, {}}, key);
            const auto [it, added] = childOf.try_emplace(key, quint32(nodes.size()));
            if (added) {
                nodes[node].children.emplace_back(piece, it->second);
                nodes.emplace_back();
            }
            node = it->second;
            start = at + 1;
            pieces.emplace_back(start, node);
        }
        nodeOfFolder.push_back(node);
        previous = prefix;
    }
};

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
            dateUtf8(packed);
            timeUtf8(packed);
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
                // The folder before is complete. (Should a step below fail, the tables
                // stop matching the folders and the Path order is made whole at the end.)
                if (!folders_.empty()) {
                    sortFolderNames(folders_.size() - 1);
                }
                folderFirst_.push_back(quint32(count_));
            }
            lastFolderPath_ = folder.path;
            folders_.push_back({folder.path, folder.text});
            QByteArray prefix = folder.path;
            if (!prefix.endsWith(platform::kSep)) {
                prefix.append(platform::kSep);
            }
            folderPrefixes_.push_back(prefix);
            if (earlyPathOrder_) {
                if (pathTree_ && pathTree_->closed) {
                    pathTree_.reset();  // made again, whole, when next needed
                } else if (!pathTree_ && folders_.size() == 1) {
                    pathTree_ = std::make_unique<PathTree>();
                }
                if (pathTree_) {
                    pathTree_->addFolder(folderPrefixes_.back());
                }
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
                dateUtf8(packed);
                timeUtf8(packed);
            }
        }
    }
    textsUpTo_ = count_;
}

QByteArrayView DupCandidateList::dateUtf8(quint32 packed) const {
    if (dateTextIds_.empty()) {
        dateTextIds_.assign(kDateKeyCount, -1);
    }
    const quint32 key = dateKey(packed);
    qint32& id = dateTextIds_[key];
    if (id < 0) {
        const QString text = key == kDateKeyEmpty ? QString() : FileDateToDateText((key << 16) | 1);
        id = qint32(texts_.add(text.toUtf8()));
    }
    return texts_.at(quint32(id));
}

QByteArrayView DupCandidateList::timeUtf8(quint32 packed) const {
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
        id = qint32(texts_.add(text.toUtf8()));
    }
    return texts_.at(quint32(id));
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
            return QString::fromUtf8(dateUtf8(r.modified));
        case DupField::Time:
            return QString::fromUtf8(timeUtf8(r.modified));
        case DupField::Access:
            return QString::fromUtf8(dateUtf8(r.accessed));
        case DupField::Folder:
            return folders_[r.folder].text;
        case DupField::Type:
            return types_.text(r.type);
        case DupField::Path:
            return QFile::decodeName(path(i));
    }
    return {};
}

namespace {

// QFile::decodeName of the parts joined, into `out`: ASCII is widened in place, anything
// else goes through the decoder.
void decodeInto(QByteArrayView first, QByteArrayView second, QString& out) {
    bool ascii = true;
    for (const QByteArrayView part : {first, second}) {
        for (const char c : part) {
            ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        }
    }
    if (!ascii) {
        if (second.isEmpty()) {
            out = QString::fromUtf8(first);
        } else {
            QByteArray joined;
            joined.reserve(first.size() + second.size());
            joined.append(first);
            joined.append(second);
            out = QString::fromUtf8(joined);
        }
        return;
    }
    out.resize(first.size() + second.size());
    QChar* p = out.data();
    for (const QByteArrayView part : {first, second}) {
        for (const char c : part) {
            *p++ = QLatin1Char(c);
        }
    }
}

}  // namespace

void DupCandidateList::textInto(qsizetype i, DupField field, QString& out) const {
    const Record& r = at(i);
    switch (field) {
        case DupField::Name:
            decodeInto(nameOf(r), {}, out);
            return;
        case DupField::Path:
            decodeInto(folderPrefixes_[r.folder], nameOf(r), out);
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
            return dateUtf8(r.modified);
        case DupField::Time:
            return timeUtf8(r.modified);
        case DupField::Access:
            return dateUtf8(r.accessed);
        case DupField::Folder:
            return folders_[r.folder].path;
        case DupField::Type:
            return types_.utf8(r.type);
        case DupField::Path:
            return folderPrefixes_[r.folder];
    }
    return {};
}

std::vector<quint32> DupCandidateList::sizeRanks() const {
    // The distinct sizes in the order of their texts, and each candidate's place there:
    // for locales whose size texts do not fit SizeTextKey.
    std::vector<qint64> sizes;
    sizes.reserve(size_t(count_));
    for (quint32 n = 0; n < quint32(count_); ++n) {
        sizes.push_back(record(n).size);
    }
    std::sort(sizes.begin(), sizes.end());
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    std::vector<quint32> byText(sizes.size());
    for (quint32 k = 0; k < byText.size(); ++k) {
        byText[k] = k;
    }
    {
        QByteArray texts;
        std::vector<quint32> ends;
        ends.reserve(sizes.size());
        char buffer[ThousandsText::kMaxUtf8];
        for (qint64 size : sizes) {
            texts.append(buffer, thousands_.toUtf8(size, buffer));
            ends.push_back(quint32(texts.size()));
        }
        const auto textOf = [&](size_t k) {
            const quint32 begin = k == 0 ? 0 : ends[k - 1];
            return QByteArrayView(texts.constData() + begin, ends[k] - begin);
        };
        std::sort(byText.begin(), byText.end(),
                  [&](quint32 a, quint32 b) { return compareFolded(textOf(a), textOf(b)) < 0; });
        notePeak(qsizetype(sizes.capacity() * 8 + texts.capacity() +
                           (ends.capacity() + byText.capacity()) * 4));
    }
    // Different sizes have different texts, so a size's rank is its text's place.
    std::vector<quint32> rankOfSize(sizes.size());
    for (quint32 k = 0; k < byText.size(); ++k) {
        rankOfSize[byText[k]] = k;
    }
    std::vector<quint32> ranks(static_cast<size_t>(count_));
    for (quint32 n = 0; n < quint32(count_); ++n) {
        const auto it = std::lower_bound(sizes.begin(), sizes.end(), record(n).size);
        ranks[n] = rankOfSize[size_t(it - sizes.begin())];
    }
    return ranks;
}

namespace {

// Marks of items in the path order: a folder's child piece rather than a file, and a
// file whose name compares equal to the item before it. Candidate numbers stay below
// both (kMaxLimit).
constexpr quint32 kPathChild = 0x80000000u;
constexpr quint32 kPathSame = 0x40000000u;

// A name or a path piece in the path order, with a key of its first sixteen folded
// characters, which settles nearly every comparison.
struct PathItem {
    quint64 head;
    quint64 tail;
    quint32 id;
    bool plain;  // the text's first 16 bytes are ASCII: 16 characters
};

PathItem pathItemOf(QByteArrayView text, quint32 id) {
    quint8 bytes[16];
    foldedPrefixKey({text, {}}, 16, bytes);
    quint64 head;
    quint64 tail;
    std::memcpy(&head, bytes, sizeof head);
    std::memcpy(&tail, bytes + 8, sizeof tail);
    bool plain = text.size() >= 16;
    if (plain) {
        quint64 words[2];
        std::memcpy(words, text.data(), sizeof words);
        plain = ((words[0] | words[1]) & 0x8080808080808080ull) == 0;
    }
    return PathItem{qFromBigEndian(head), qFromBigEndian(tail), id, plain};
}

// compareFolded of the items' texts, which `textOf` gives by id.
template <typename TextOf>
int comparePathItems(const PathItem& x, const PathItem& y, const TextOf& textOf) {
    if (x.head != y.head) {
        return x.head < y.head ? -1 : 1;
    }
    if (x.tail != y.tail) {
        return x.tail < y.tail ? -1 : 1;
    }
    // Equal keys of two texts that begin with 16 ASCII bytes each: those bytes compare
    // equal, and the rest is compared from there.
    if (x.plain && y.plain) {
        return compareFolded(textOf(x.id).sliced(16), textOf(y.id).sliced(16));
    }
    return compareFolded(textOf(x.id), textOf(y.id));
}

// Sorts `items` by their texts, equal texts by id, and writes their ids in that order to
// `out`, a file equal to the item before it marked kPathSame.
template <typename TextOf>
void sortPathItems(std::vector<PathItem>& items, const TextOf& textOf, quint32* out) {
    std::sort(items.begin(), items.end(), [&](const PathItem& x, const PathItem& y) {
        const int c = comparePathItems(x, y, textOf);
        return c != 0 ? c < 0 : x.id < y.id;
    });
    for (size_t k = 0; k < items.size(); ++k) {
        // Equal names are neighbours, as no piece can sort between them.
        const bool same = k > 0 && (items[k].id & kPathChild) == 0 &&
                          (items[k - 1].id & kPathChild) == 0 &&
                          comparePathItems(items[k - 1], items[k], textOf) == 0;
        out[k] = items[k].id | (same ? kPathSame : 0);
    }
}

}  // namespace

void DupCandidateList::sortFolderNames(size_t folder) {
    const quint32 first = folderFirst_[folder];
    const quint32 end =
        folder + 1 < folderFirst_.size() ? folderFirst_[folder + 1] : quint32(count_);
    if (byName_.size() < first) {
        return;  // a folder before was left out: the order is made whole at the end
    }
    thread_local std::vector<PathItem> items;
    items.clear();
    for (quint32 n = first; n < end; ++n) {
        items.push_back(pathItemOf(nameOf(record(n)), n));
    }
    // Grown only once nothing else can fail, so that its size says the names are sorted.
    byName_.resize(end);
    sortPathItems(
        items, [this](quint32 id) { return nameOf(record(id)); }, byName_.data() + first);
}

void DupCandidateList::finishEarlyPathOrder() {
    if (pathTree_ && pathTree_->nodeOfFolder.size() == folders_.size()) {
        pathTree_->childOf = std::unordered_map<std::string, quint32>();
        pathTree_->pieces = std::vector<std::pair<qsizetype, quint32>>();
        pathTree_->closed = true;
    }
    if (earlyPathOrder_ && !folders_.empty() && folderFirst_.size() == folders_.size() &&
        byName_.size() != size_t(count_)) {
        try {
            sortFolderNames(folders_.size() - 1);
        } catch (const std::bad_alloc&) {
            byName_.clear();  // pathRanks sorts every folder's names itself
        }
    }
}

std::vector<quint32> DupCandidateList::pathRanks() const {
    // The tree built as the folders were added (setEarlyPathOrder), or here.
    std::unique_ptr<PathTree> made;
    const PathTree* tree = pathTree_.get();
    if (tree == nullptr || tree->nodeOfFolder.size() != folders_.size()) {
        made = std::make_unique<PathTree>();
        for (const QByteArray& prefix : folderPrefixes_) {
            made->addFolder(prefix);
        }
        made->childOf = std::unordered_map<std::string, quint32>();
        tree = made.get();
    }
    const std::vector<PathTree::Node>& nodes = tree->nodes;
    const std::vector<quint32>& nodeOfFolder = tree->nodeOfFolder;
    std::vector<quint32> fileCount(nodes.size(), 0);
    std::vector<quint32> firstFile(nodes.size(), 0);  // in `files`
    // Where each folder's names were sorted as it was added (setEarlyPathOrder), a node of
    // one folder takes them as they are; the files of other nodes are gathered here, one
    // node after the other, and sorted below.
    const bool early = earlyPathOrder_ && folderFirst_.size() == folders_.size() &&
                       byName_.size() == size_t(count_);
    constexpr quint32 kNoFolder = 0xFFFFFFFF;
    std::vector<quint32> folderOfNode;
    std::vector<quint32> files;
    if (early) {
        folderOfNode.assign(nodes.size(), kNoFolder);
        std::vector<quint32> folderCount(nodes.size(), 0);
        for (size_t k = 0; k < folders_.size(); ++k) {
            const quint32 end = k + 1 < folders_.size() ? folderFirst_[k + 1] : quint32(count_);
            fileCount[nodeOfFolder[k]] += end - folderFirst_[k];
            folderOfNode[nodeOfFolder[k]] = quint32(k);
            ++folderCount[nodeOfFolder[k]];
        }
        // Folders whose paths compare equal share a node: their names are sorted together.
        quint32 at = 0;
        for (size_t node = 0; node < nodes.size(); ++node) {
            if (folderCount[node] >= 2) {
                folderOfNode[node] = kNoFolder;
                firstFile[node] = at;
                at += fileCount[node];
            }
        }
        files.resize(at);
        std::vector<quint32> filled(nodes.size(), 0);
        for (size_t k = 0; k < folders_.size() && at > 0; ++k) {
            const quint32 node = nodeOfFolder[k];
            if (folderCount[node] >= 2) {
                const quint32 end = k + 1 < folders_.size() ? folderFirst_[k + 1] : quint32(count_);
                for (quint32 n = folderFirst_[k]; n < end; ++n) {
                    files[firstFile[node] + filled[node]++] = n;
                }
            }
        }
    } else {
        files.resize(static_cast<size_t>(count_));
        for (quint32 n = 0; n < quint32(count_); ++n) {
            ++fileCount[nodeOfFolder[record(n).folder]];
        }
        quint32 at = 0;
        for (size_t node = 0; node < nodes.size(); ++node) {
            firstFile[node] = at;
            at += fileCount[node];
        }
        std::vector<quint32> filled(nodes.size(), 0);
        for (quint32 n = 0; n < quint32(count_); ++n) {
            const quint32 node = nodeOfFolder[record(n).folder];
            files[firstFile[node] + filled[node]++] = n;
        }
    }
    notePeak(qsizetype(files.capacity() * 4 * 3 + nodes.size() * 64));

    // Each node's items, its children (kPathChild) and its files, in the order of their
    // texts. Nodes are sorted two halves at once.
    std::vector<quint32> order(static_cast<size_t>(count_) + nodes.size());
    std::vector<quint32> orderBegin(nodes.size() + 1);
    for (size_t node = 0; node < nodes.size(); ++node) {
        orderBegin[node + 1] =
            orderBegin[node] + fileCount[node] + quint32(nodes[node].children.size());
    }
    const auto sortNodes = [&](size_t begin, size_t end) {
        std::vector<PathItem> items;
        for (size_t node = begin; node < end; ++node) {
            const PathTree::Node& n = nodes[node];
            const auto textOf = [&](quint32 id) {
                return (id & kPathChild) != 0 ? n.children[id & ~kPathChild].first
                                              : nameOf(record(id));
            };
            items.clear();
            for (quint32 c = 0; c < n.children.size(); ++c) {
                items.push_back(pathItemOf(textOf(kPathChild | c), kPathChild | c));
            }
            quint32* out = order.data() + orderBegin[node];
            if (early && folderOfNode[node] != kNoFolder) {
                // The names are in order already: each child goes in before the first name
                // that sorts after it (no name compares equal to a piece). The children
                // are sorted in place of the node's last items, which are written last.
                sortPathItems(items, textOf, out + fileCount[node]);
                const quint32* sorted = byName_.data() + folderFirst_[folderOfNode[node]];
                size_t f = 0;
                for (const PathItem& child : items) {
                    size_t low = f;
                    size_t high = fileCount[node];
                    while (low < high) {
                        const size_t middle = (low + high) / 2;
                        const quint32 id = sorted[middle] & ~kPathSame;
                        if (comparePathItems(pathItemOf(textOf(id), id), child, textOf) < 0) {
                            low = middle + 1;
                        } else {
                            high = middle;
                        }
                    }
                    for (; f < low; ++f) {
                        *out++ = sorted[f];
                    }
                    *out++ = child.id;
                }
                for (; f < fileCount[node]; ++f) {
                    *out++ = sorted[f];
                }
                continue;
            }
            for (quint32 f = firstFile[node]; f < firstFile[node] + fileCount[node]; ++f) {
                items.push_back(pathItemOf(textOf(files[f]), files[f]));
            }
            sortPathItems(items, textOf, out);
        }
    };
    // Two halves of about as many items each are sorted at once.
    size_t middle = nodes.size();
    if (SplitPoint(count_, kMinimumPiece) < count_) {
        middle =
            size_t(std::lower_bound(orderBegin.begin(), orderBegin.end(), orderBegin.back() / 2) -
                   orderBegin.begin());
    }
    if (middle > 0 && middle < nodes.size()) {
        RunTogether([&] { sortNodes(0, middle); }, [&] { sortNodes(middle, nodes.size()); });
    } else {
        sortNodes(0, nodes.size());
    }

    // Depth first, without recursion (folders nest thousands deep).
    std::vector<quint32> ranks(static_cast<size_t>(count_), 0);
    quint32 rank = 0;
    bool first = true;
    std::vector<std::pair<quint32, quint32>> stack{{0, orderBegin[0]}};  // node, next item
    while (!stack.empty()) {
        auto& [node, next] = stack.back();
        if (next == orderBegin[node + 1]) {
            stack.pop_back();
            continue;
        }
        const quint32 item = order[next++];
        if ((item & kPathChild) != 0) {
            stack.emplace_back(nodes[node].children[item & ~kPathChild].second, 0);
            stack.back().second = orderBegin[stack.back().first];
            continue;
        }
        // Names that compare equal give equal paths: they share a rank.
        if (!first && (item & kPathSame) == 0) {
            ++rank;
        }
        first = false;
        ranks[item & ~kPathSame] = rank;
    }
    return ranks;
}

namespace {

// Candidates of a sort: a 128-bit key in two words (24 bytes in all, where one 128-bit
// number would be aligned to 32), and the candidate's number.
struct Keyed {
    quint64 high;
    quint64 low;
    quint32 n;
};

// A function object rather than a function, so that the sort's comparisons are inlined
// instead of called through a pointer.
constexpr auto keyedLess = [](const Keyed& a, const Keyed& b) {
    if (a.high != b.high) {
        return a.high < b.high;
    }
    return a.low != b.low ? a.low < b.low : a.n < b.n;
};

bool sameKeys(const Keyed& a, const Keyed& b) {
    return a.high == b.high && a.low == b.low;
}

}  // namespace

// The key plan of sortLines: which fields are compared by the rank of their text (the
// place of the text among the distinct texts of that field, made once), how many bits
// each rank takes in a candidate's 128-bit key, where the key stops holding whole
// fields, and how the fields it does not hold are compared.
class DupCandidateList::LinePlan {
public:
    LinePlan(const DupCandidateList& list, std::span<const DupField> fields)
        : list_(list), fields_(fields), sizeText_(list.thousands_) {
        makeRanks();
        findTextSkip();
        placeFields();
    }

    // The heap bytes the rank tables take.
    qsizetype rankBytes() const {
        return qsizetype((sizeRank_.capacity() + dateRank_.capacity() + timeRank_.capacity() +
                          typeRank_.capacity() + folderRank_.capacity() + pathRank_.capacity()) *
                         sizeof(quint32));
    }

    // Whether the keys hold every field; then equal keys are equal lines.
    bool complete() const { return openField_ == fields_.size(); }

    // The key of candidate `n`: the ranks of the fields in line order and, where the name
    // stands, its first characters folded, left-aligned so that what comes first weighs
    // most. Keys keep the order of the whole lines.
    // The low `count` bytes (1 to 8) of a word set.
    static quint64 lowBytes(int count) {
        return count >= 8 ? ~quint64(0) : (quint64(1) << (8 * count)) - 1;
    }
    U128 key(quint32 n) const {
        const Record& r = list_.record(n);
        U128 key = 0;
        int left = 128;
        for (size_t index = 0; index < fields_.size() && left > 0; ++index) {
            const DupField f = fields_[index];
            if (f == DupField::Name) {
                // Always the open field: as many characters as fit.
                const int chars = left / 8;
                quint8 bytes[16] = {};
                foldedPrefixKey(skipBytes(textOf(r), textSkip_), chars, bytes);
                const auto word = [&](int at) {
                    quint64 w;
                    std::memcpy(&w, bytes + at, sizeof w);
                    return qFromBigEndian(w);
                };
                if (chars > 8) {
                    key = (key << 64) | word(0);
                    key = (key << (8 * (chars - 8))) | (word(chars - 8) & lowBytes(chars - 8));
                } else if (chars > 0) {
                    key = (key << (8 * chars)) | (word(0) >> (64 - 8 * chars));
                }
                left -= chars * 8;
                break;
            }
            const U128 rank = rankOf(f, n);
            const int bits = bitsOf(f);
            if (index < openField_) {
                key = (key << bits) | rank;
                left -= bits;
            } else {
                // Cut short: its high bits still keep its order.
                key = (key << left) | (rank >> (bits - left));
                left = 0;
            }
        }
        return left >= 128 ? U128(0) : key << left;
    }

    // Whether the line of candidate `x` sorts before that of `y`, comparing the fields
    // the keys do not hold whole. Every candidate's key stops at the same field, so equal
    // keys mean equal fields before it. Candidate numbers are unique, so the last test
    // makes the order total and the result the same as a stable sort's, without a stable
    // sort's buffer.
    bool openFieldsLess(quint32 x, quint32 y) const {
        for (size_t f = openField_; f < fields_.size(); ++f) {
            const int c = compareField(fields_[f], x, y);
            if (c != 0) {
                return c < 0;
            }
        }
        return x < y;
    }

    // Whether the first field the keys do not hold whole is the name.
    bool openFieldIsText() const { return !complete() && fields_[openField_] == DupField::Name; }

    // The name of candidate `n`, appended as appendFoldedSortBytes gives it, without the
    // bytes every name begins with.
    void appendOpenText(quint32 n, std::string& out) const {
        appendFoldedSortBytes(skipBytes(textOf(list_.record(n)), textSkip_), out);
    }

    // Puts the runs of equal keys among the first `count` of `keyed` (sorted by key) in
    // the order of their whole lines.
    void orderRuns(Keyed* keyed, size_t count) const {
        // Candidates of equal keys (often files of one folder, one size and one date) are put
        // in the order of the fields the keys do not hold. Where that begins with the name or
        // path, the texts of a long run are folded once into bytes compared as they are,
        // rather than folded again from their start at every comparison.
        const bool text = openFieldIsText();
        std::string texts;
        std::vector<size_t> ends;
        std::vector<quint32> members;
        for (size_t b = 0; b < count;) {
            size_t e = b + 1;
            while (e < count && sameKeys(keyed[e], keyed[b])) {
                ++e;
            }
            // Short runs, most of them, are compared in place.
            constexpr size_t kFoldFirst = 8;
            if (e - b > 1 && (!text || e - b <= kFoldFirst)) {
                std::sort(keyed + b, keyed + e,
                          [&](const Keyed& x, const Keyed& y) { return openFieldsLess(x.n, y.n); });
            } else if (e - b > 1) {
                texts.clear();
                ends.clear();
                members.clear();
                for (size_t k = b; k < e; ++k) {
                    appendOpenText(keyed[k].n, texts);
                    ends.push_back(texts.size());
                    members.push_back(quint32(k - b));
                }
                const auto textOf = [&](quint32 m) {
                    const size_t begin = m == 0 ? 0 : ends[m - 1];
                    return std::string_view(texts.data() + begin, ends[m] - begin);
                };
                std::sort(members.begin(), members.end(), [&](quint32 x, quint32 y) {
                    const int c = textOf(x).compare(textOf(y));
                    if (c != 0) {
                        return c < 0;
                    }
                    return fieldsAfterTextLess(keyed[b + x].n, keyed[b + y].n);
                });
                for (size_t k = 0; k < members.size(); ++k) {
                    members[k] = keyed[b + members[k]].n;
                }
                for (size_t k = 0; k < members.size(); ++k) {
                    keyed[b + k].n = members[k];
                }
            }
            b = e;
        }
    }

    // openFieldsLess for lines whose open fields are equal texts: the fields after it.
    bool fieldsAfterTextLess(quint32 x, quint32 y) const {
        for (size_t f = openField_ + 1; f < fields_.size(); ++f) {
            const int c = compareField(fields_[f], x, y);
            if (c != 0) {
                return c < 0;
            }
        }
        return x < y;
    }

private:
    bool has(DupField f) const {
        return std::find(fields_.begin(), fields_.end(), f) != fields_.end();
    }

    TextParts textOf(const Record& r) const { return TextParts{list_.nameOf(r), {}}; }

    void makeRanks() {
        const qsizetype count = list_.count_;
        // Sizes go into the keys as their texts where the locale makes them simply, else
        // as the ranks of their texts.
        if (has(DupField::Size)) {
            qint64 smallest = 0;
            qint64 largest = 0;
            for (quint32 n = 0; n < quint32(count); ++n) {
                smallest = std::min(smallest, list_.record(n).size);
                largest = std::max(largest, list_.record(n).size);
            }
            sizeByText_ = list_.thousands_.isSimple() && smallest >= 0;
            if (sizeByText_) {
                sizeChars_ = SizeTextKey::length(largest);
            } else {
                sizeRank_ = list_.sizeRanks();
            }
        }
        if (has(DupField::Modified) || has(DupField::Access) || has(DupField::Time)) {
            list_.makeTexts();
            const auto text = [this](quint32 id) { return list_.texts_.at(id); };
            dateRank_ = rankTexts(list_.dateTextIds_, text);
            timeRank_ = rankTexts(list_.timeTextIds_, text);
        }
        if (has(DupField::Type)) {
            std::vector<qint32> ids(size_t(list_.types_.count()));
            for (size_t k = 0; k < ids.size(); ++k) {
                ids[k] = qint32(k);
            }
            typeRank_ = rankTexts(ids, [this](quint32 id) { return list_.types_.utf8(id); });
        }
        if (has(DupField::Path)) {
            pathRank_ = list_.pathRanks();
        }
        if (has(DupField::Folder)) {
            std::vector<qint32> ids(list_.folders_.size());
            for (size_t k = 0; k < ids.size(); ++k) {
                ids[k] = qint32(k);
            }
            folderRank_ = rankTexts(
                ids, [this](quint32 id) { return QByteArrayView(list_.folders_[id].path); });
        }
    }

    // The bytes every name begins with need no comparing.
    void findTextSkip() {
        if (!has(DupField::Name)) {
            return;
        }
        const TextParts first = textOf(list_.record(0));
        textSkip_ = first.first.size();
        for (quint32 n = 1; n < quint32(list_.count_) && textSkip_ > 0; ++n) {
            textSkip_ = commonPrefixBytes(first, textOf(list_.record(n)), textSkip_);
        }
    }

    // The widths of the ranks, and the first field a key cannot hold whole: a rank that
    // does not fit in the bits left, or the name, whose text never fits.
    void placeFields() {
        const auto bitsFor = [](quint32 largest) {
            int bits = 1;
            while (bits < 32 && (quint64(1) << bits) <= largest) {
                ++bits;
            }
            return bits;
        };
        const auto maxOf = [](const std::vector<quint32>& v) {
            return v.empty() ? quint32(0) : *std::max_element(v.begin(), v.end());
        };
        sizeBits_ = sizeByText_ ? sizeChars_ * 4 : bitsFor(maxOf(sizeRank_));
        dateBits_ = bitsFor(maxOf(dateRank_));
        timeBits_ = bitsFor(maxOf(timeRank_));
        typeBits_ = bitsFor(maxOf(typeRank_));
        folderBits_ = bitsFor(maxOf(folderRank_));
        pathBits_ = bitsFor(maxOf(pathRank_));
        int left = 128;
        openField_ = fields_.size();
        for (size_t index = 0; index < fields_.size(); ++index) {
            const DupField f = fields_[index];
            if (f == DupField::Name || bitsOf(f) > left) {
                openField_ = index;
                break;
            }
            left -= bitsOf(f);
        }
    }

    int bitsOf(DupField f) const {
        switch (f) {
            case DupField::Size:
                return sizeBits_;
            case DupField::Modified:
            case DupField::Access:
                return dateBits_;
            case DupField::Time:
                return timeBits_;
            case DupField::Folder:
                return folderBits_;
            case DupField::Type:
                return typeBits_;
            case DupField::Path:
                return pathBits_;
            case DupField::Name:
                break;
        }
        return 0;
    }

    // The rank of field `f` (not the name) of candidate `n`.
    U128 rankOf(DupField f, quint32 n) const {
        const Record& r = list_.record(n);
        switch (f) {
            case DupField::Size:
                return sizeByText_ ? sizeText_(r.size, sizeChars_) : U128(sizeRank_[n]);
            case DupField::Modified:
                return dateRank_[dateKey(r.modified)];
            case DupField::Time:
                return timeRank_[timeKey(r.modified)];
            case DupField::Access:
                return dateRank_[dateKey(r.accessed)];
            case DupField::Folder:
                return folderRank_[r.folder];
            case DupField::Type:
                return typeRank_[r.type];
            case DupField::Path:
                return pathRank_[n];
            case DupField::Name:
                break;
        }
        return 0;
    }

    int compareField(DupField f, quint32 x, quint32 y) const {
        if (f == DupField::Name) {
            return compareFolded(skipBytes(textOf(list_.record(x)), textSkip_),
                                 skipBytes(textOf(list_.record(y)), textSkip_));
        }
        const U128 a = rankOf(f, x);
        const U128 b = rankOf(f, y);
        return a < b ? -1 : (a > b ? 1 : 0);
    }

    const DupCandidateList& list_;
    std::span<const DupField> fields_;
    const SizeTextKey sizeText_;
    bool sizeByText_ = false;
    int sizeChars_ = 0;
    std::vector<quint32> sizeRank_;
    std::vector<quint32> dateRank_;
    std::vector<quint32> timeRank_;
    std::vector<quint32> typeRank_;
    std::vector<quint32> folderRank_;
    std::vector<quint32> pathRank_;
    qsizetype textSkip_ = 0;
    int sizeBits_ = 0;
    int dateBits_ = 0;
    int timeBits_ = 0;
    int typeBits_ = 0;
    int folderBits_ = 0;
    int pathBits_ = 0;
    size_t openField_ = 0;
};

void DupCandidateList::sortLines(std::span<const DupField> fields) {
    if (count_ < 2 || fields.empty()) {
        return;
    }
    if (std::find(fields.begin(), fields.end(), DupField::Path) != fields.end()) {
        finishEarlyPathOrder();
    }
    const LinePlan plan(*this, fields);
    // Most comparisons are settled by the keys, made once per candidate; only candidates
    // with equal keys are compared field by field. Keys are made, sorted and their runs
    // ordered in two halves at once where the list is long; the merge of the sorted
    // halves gives the order one sort would.
    std::vector<Keyed> keyed(static_cast<size_t>(count_));
    order_.resize(static_cast<size_t>(count_));
    const qsizetype split = SplitPoint(count_, kMinimumPiece);
    notePeak(qsizetype(keyed.capacity() * sizeof(Keyed)) + plan.rankBytes());
    SplitWork(count_, kMinimumPiece, [&](qsizetype begin, qsizetype end) {
        for (auto n = quint32(begin); n < quint32(end); ++n) {
            Keyed& k = keyed[n];
            const U128 key = plan.key(n);
            k.high = quint64(key >> 64);
            k.low = quint64(key);
            k.n = n;
        }
    });
    if (split < count_) {
        // Each half is sorted and its runs of equal keys ordered on its own; the halves
        // then merge straight into the order, without a merge buffer, settling equal keys
        // across the halves by their whole lines as the runs were.
        const auto sortHalf = [&](Keyed* begin, Keyed* end) {
            std::sort(begin, end, keyedLess);
            if (!plan.complete()) {
                plan.orderRuns(begin, size_t(end - begin));
            }
        };
        RunTogether([&] { sortHalf(keyed.data(), keyed.data() + split); },
                    [&] { sortHalf(keyed.data() + split, keyed.data() + keyed.size()); });
        const auto before = [&](const Keyed& x, const Keyed& y) {
            if (plan.complete() || !sameKeys(x, y)) {
                return keyedLess(x, y);
            }
            return plan.openFieldsLess(x.n, y.n);
        };
        size_t a = 0;
        auto b = size_t(split);
        size_t k = 0;
        while (a < size_t(split) && b < keyed.size()) {
            order_[k++] = before(keyed[b], keyed[a]) ? keyed[b++].n : keyed[a++].n;
        }
        while (a < size_t(split)) {
            order_[k++] = keyed[a++].n;
        }
        while (b < keyed.size()) {
            order_[k++] = keyed[b++].n;
        }
        return;
    }
    std::sort(keyed.begin(), keyed.end(), keyedLess);
    if (!plan.complete()) {
        plan.orderRuns(keyed.data(), keyed.size());
    }
    for (size_t k = 0; k < keyed.size(); ++k) {
        order_[k] = keyed[k].n;
    }
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
    bytes += qsizetype((dateTextIds_.capacity() + timeTextIds_.capacity()) * sizeof(qint32)) +
             texts_.bytes();
    bytes += timeSlots_ ? qsizetype(sizeof(*timeSlots_)) : 0;
    // The path order's work done early: names by folder, and the tree, whose nodes and
    // lookup entries are counted roughly as 96 bytes a node.
    bytes += qsizetype((folderFirst_.capacity() + byName_.capacity()) * sizeof(quint32));
    if (pathTree_) {
        bytes += qsizetype(pathTree_->nodes.size()) * 96 +
                 qsizetype(pathTree_->nodeOfFolder.capacity() * sizeof(quint32));
    }
    return bytes;
}

void DupCandidateList::notePeak(qsizetype extra) const {
    peak_ = std::max(peak_, memoryUsage() + extra);
}

}  // namespace dw
