#include "finders/dup_line_plan.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/split_work.h"
#include "finders/dup_path_order.h"
#include "finders/dup_texts.h"

namespace dw {

namespace {

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

}  // namespace

DupCandidateList::LinePlan::LinePlan(const DupCandidateList& list, std::span<const DupField> fields)
    : list_(list), fields_(fields), sizeText_(list.thousands_) {
    makeRanks();
    findTextSkip();
    placeFields();
}

inline qsizetype DupCandidateList::LinePlan::rankBytes() const {
    return qsizetype((sizeRank_.capacity() + dateRank_.capacity() + timeRank_.capacity() +
                      typeRank_.capacity() + folderRank_.capacity() + pathRank_.capacity()) *
                     sizeof(quint32));
}

inline bool DupCandidateList::LinePlan::complete() const {
    return openField_ == fields_.size();
}

inline quint64 DupCandidateList::LinePlan::lowBytes(int count) {
    return count >= 8 ? ~quint64(0) : (quint64(1) << (8 * count)) - 1;
}

inline SortKey128 DupCandidateList::LinePlan::key(quint32 n) const {
    const Record& r = list_.record(n);
    SortKey128 key = 0;
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
        const SortKey128 rank = rankOf(f, n);
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
    return left >= 128 ? SortKey128(0) : key << left;
}

inline bool DupCandidateList::LinePlan::openFieldsLess(quint32 x, quint32 y) const {
    for (size_t f = openField_; f < fields_.size(); ++f) {
        const int c = compareField(fields_[f], x, y);
        if (c != 0) {
            return c < 0;
        }
    }
    return x < y;
}

inline bool DupCandidateList::LinePlan::openFieldIsText() const {
    return !complete() && fields_[openField_] == DupField::Name;
}

inline void DupCandidateList::LinePlan::appendOpenText(quint32 n, std::string& out) const {
    appendFoldedSortBytes(skipBytes(textOf(list_.record(n)), textSkip_), out);
}

inline void DupCandidateList::LinePlan::orderRuns(Keyed* keyed, size_t count) const {
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

inline bool DupCandidateList::LinePlan::fieldsAfterTextLess(quint32 x, quint32 y) const {
    for (size_t f = openField_ + 1; f < fields_.size(); ++f) {
        const int c = compareField(fields_[f], x, y);
        if (c != 0) {
            return c < 0;
        }
    }
    return x < y;
}

inline bool DupCandidateList::LinePlan::has(DupField f) const {
    return std::find(fields_.begin(), fields_.end(), f) != fields_.end();
}

inline TextParts DupCandidateList::LinePlan::textOf(const Record& r) const {
    return TextParts{list_.nameOf(r), {}};
}

inline void DupCandidateList::LinePlan::makeRanks() {
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
            sizeRank_ = sizeRanks();
        }
    }
    if (has(DupField::Modified) || has(DupField::Access) || has(DupField::Time)) {
        list_.makeTexts();
        const auto text = [this](quint32 id) { return list_.texts_.text(id); };
        dateRank_ = rankTexts(list_.texts_.dateIds(), text);
        timeRank_ = rankTexts(list_.texts_.timeIds(), text);
    }
    if (has(DupField::Type)) {
        std::vector<qint32> ids(size_t(list_.types_.count()));
        for (size_t k = 0; k < ids.size(); ++k) {
            ids[k] = qint32(k);
        }
        typeRank_ = rankTexts(ids, [this](quint32 id) { return list_.types_.utf8(id); });
    }
    if (has(DupField::Path)) {
        pathRank_ = list_.pathOrder_->ranks();
    }
    if (has(DupField::Folder)) {
        std::vector<qint32> ids(list_.folders_.size());
        for (size_t k = 0; k < ids.size(); ++k) {
            ids[k] = qint32(k);
        }
        folderRank_ =
            rankTexts(ids, [this](quint32 id) { return QByteArrayView(list_.folders_[id].path); });
    }
}

inline void DupCandidateList::LinePlan::findTextSkip() {
    if (!has(DupField::Name)) {
        return;
    }
    const TextParts first = textOf(list_.record(0));
    textSkip_ = first.first.size();
    for (quint32 n = 1; n < quint32(list_.count_) && textSkip_ > 0; ++n) {
        textSkip_ = commonPrefixBytes(first, textOf(list_.record(n)), textSkip_);
    }
}

inline void DupCandidateList::LinePlan::placeFields() {
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

inline int DupCandidateList::LinePlan::bitsOf(DupField f) const {
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

inline SortKey128 DupCandidateList::LinePlan::rankOf(DupField f, quint32 n) const {
    const Record& r = list_.record(n);
    switch (f) {
        case DupField::Size:
            return sizeByText_ ? sizeText_(r.size, sizeChars_) : SortKey128(sizeRank_[n]);
        case DupField::Modified:
            return dateRank_[DupTexts::dateKey(r.modified)];
        case DupField::Time:
            return timeRank_[DupTexts::timeKey(r.modified)];
        case DupField::Access:
            return dateRank_[DupTexts::dateKey(r.accessed)];
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

inline int DupCandidateList::LinePlan::compareField(DupField f, quint32 x, quint32 y) const {
    if (f == DupField::Name) {
        return compareFolded(skipBytes(textOf(list_.record(x)), textSkip_),
                             skipBytes(textOf(list_.record(y)), textSkip_));
    }
    const SortKey128 a = rankOf(f, x);
    const SortKey128 b = rankOf(f, y);
    return a < b ? -1 : (a > b ? 1 : 0);
}

std::vector<quint32> DupCandidateList::LinePlan::sizeRanks() const {
    // The distinct sizes in the order of their texts, and each candidate's place there.
    std::vector<qint64> sizes;
    sizes.reserve(size_t(list_.count_));
    for (quint32 n = 0; n < quint32(list_.count_); ++n) {
        sizes.push_back(list_.record(n).size);
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
            texts.append(buffer, list_.thousands_.toUtf8(size, buffer));
            ends.push_back(quint32(texts.size()));
        }
        const auto textOf = [&](size_t k) {
            const quint32 begin = k == 0 ? 0 : ends[k - 1];
            return QByteArrayView(texts.constData() + begin, ends[k] - begin);
        };
        std::sort(byText.begin(), byText.end(),
                  [&](quint32 a, quint32 b) { return compareFolded(textOf(a), textOf(b)) < 0; });
        list_.notePeak(qsizetype(sizes.capacity() * 8 + texts.capacity() +
                                 (ends.capacity() + byText.capacity()) * 4));
    }
    // Different sizes have different texts, so a size's rank is its text's place.
    std::vector<quint32> rankOfSize(sizes.size());
    for (quint32 k = 0; k < byText.size(); ++k) {
        rankOfSize[byText[k]] = k;
    }
    std::vector<quint32> ranks(static_cast<size_t>(list_.count_));
    for (quint32 n = 0; n < quint32(list_.count_); ++n) {
        const auto it = std::lower_bound(sizes.begin(), sizes.end(), list_.record(n).size);
        ranks[n] = rankOfSize[size_t(it - sizes.begin())];
    }
    return ranks;
}

void DupCandidateList::LinePlan::sort(std::vector<quint32>& order) const {
    // A function object rather than a function, so that the sort's comparisons are
    // inlined instead of called through a pointer.
    const auto keyedLess = [](const Keyed& a, const Keyed& b) {
        if (a.high != b.high) {
            return a.high < b.high;
        }
        return a.low != b.low ? a.low < b.low : a.n < b.n;
    };
    const qsizetype count = list_.count_;
    // Most comparisons are settled by the keys, made once per candidate; only candidates
    // with equal keys are compared field by field. Keys are made, sorted and their runs
    // ordered in two halves at once where the list is long; the merge of the sorted
    // halves gives the order one sort would.
    std::vector<Keyed> keyed(static_cast<size_t>(count));
    order.resize(static_cast<size_t>(count));
    const qsizetype split = SplitPoint(count, kMinimumPiece);
    list_.notePeak(qsizetype(keyed.capacity() * sizeof(Keyed)) + rankBytes());
    SplitWork(count, kMinimumPiece, [&](qsizetype begin, qsizetype end) {
        for (auto n = quint32(begin); n < quint32(end); ++n) {
            Keyed& k = keyed[n];
            const SortKey128 key = this->key(n);
            k.high = quint64(key >> 64);
            k.low = quint64(key);
            k.n = n;
        }
    });
    if (split < count) {
        // Each half is sorted and its runs of equal keys ordered on its own; the halves
        // then merge straight into the order, without a merge buffer, settling equal keys
        // across the halves by their whole lines as the runs were.
        const auto sortHalf = [&](Keyed* begin, Keyed* end) {
            std::sort(begin, end, keyedLess);
            if (!complete()) {
                orderRuns(begin, size_t(end - begin));
            }
        };
        RunTogether([&] { sortHalf(keyed.data(), keyed.data() + split); },
                    [&] { sortHalf(keyed.data() + split, keyed.data() + keyed.size()); });
        const auto before = [&](const Keyed& x, const Keyed& y) {
            if (complete() || !sameKeys(x, y)) {
                return keyedLess(x, y);
            }
            return openFieldsLess(x.n, y.n);
        };
        size_t a = 0;
        auto b = size_t(split);
        size_t k = 0;
        while (a < size_t(split) && b < keyed.size()) {
            order[k++] = before(keyed[b], keyed[a]) ? keyed[b++].n : keyed[a++].n;
        }
        while (a < size_t(split)) {
            order[k++] = keyed[a++].n;
        }
        while (b < keyed.size()) {
            order[k++] = keyed[b++].n;
        }
        return;
    }
    std::sort(keyed.begin(), keyed.end(), keyedLess);
    if (!complete()) {
        orderRuns(keyed.data(), keyed.size());
    }
    for (size_t k = 0; k < keyed.size(); ++k) {
        order[k] = keyed[k].n;
    }
}

}  // namespace dw
