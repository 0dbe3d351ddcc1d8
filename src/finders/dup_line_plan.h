#pragma once

#include <QtGlobal>

#include <span>
#include <string>
#include <vector>

#include "finders/dup_candidates.h"
#include "finders/folded_text.h"
#include "finders/size_text_key.h"

namespace dw {

// The key plan of sortLines: which fields are compared by the rank of their text (the
// place of the text among the distinct texts of that field, made once), how many bits
// each rank takes in a candidate's 128-bit key, where the key stops holding whole
// fields, and how the fields it does not hold are compared.
class DupCandidateList::LinePlan {
public:
    // Makes the ranks of `fields` for the candidates of `list`, which must not change
    // while the plan lives; `fields` must outlive it too.
    LinePlan(const DupCandidateList& list, std::span<const DupField> fields);

    // Writes the candidate numbers into `order`, resized to the list's size, in the order
    // sortLines gives: by the lines' texts, equal lines in the order of adding. Uses two
    // threads where the list is long.
    void sort(std::vector<quint32>& order) const;

private:
    // Candidates of a sort: a 128-bit key in two words (24 bytes in all, where one
    // 128-bit number would be aligned to 32), and the candidate's number.
    struct Keyed {
        quint64 high;
        quint64 low;
        quint32 n;
    };

    // The heap bytes the rank tables take.
    qsizetype rankBytes() const;

    // Whether the keys hold every field; then equal keys are equal lines.
    bool complete() const;

    // The low `count` bytes (1 to 8) of a word set.
    static quint64 lowBytes(int count);
    // The key of candidate `n`: the ranks of the fields in line order and, where the name
    // stands, its first characters folded, left-aligned so that what comes first weighs
    // most. Keys keep the order of the whole lines.
    SortKey128 key(quint32 n) const;

    // Whether the line of candidate `x` sorts before that of `y`, comparing the fields
    // the keys do not hold whole. Every candidate's key stops at the same field, so equal
    // keys mean equal fields before it. Candidate numbers are unique, so the last test
    // makes the order total and the result the same as a stable sort's, without a stable
    // sort's buffer.
    bool openFieldsLess(quint32 x, quint32 y) const;

    // Whether the first field the keys do not hold whole is the name.
    bool openFieldIsText() const;

    // The name of candidate `n`, appended as appendFoldedSortBytes gives it, without the
    // bytes every name begins with.
    void appendOpenText(quint32 n, std::string& out) const;

    // Puts the runs of equal keys among the first `count` of `keyed` (sorted by key) in
    // the order of their whole lines.
    void orderRuns(Keyed* keyed, size_t count) const;
    static bool sameKeys(const Keyed& a, const Keyed& b) {
        return a.high == b.high && a.low == b.low;
    }

    // openFieldsLess for lines whose open fields are equal texts: the fields after it.
    bool fieldsAfterTextLess(quint32 x, quint32 y) const;

    bool has(DupField f) const;
    TextParts textOf(const Record& r) const;

    void makeRanks();
    // The place of each candidate's Size text among the distinct ones, by candidate
    // number: for locales whose size texts do not fit SizeTextKey.
    std::vector<quint32> sizeRanks() const;

    // The bytes every name begins with need no comparing.
    void findTextSkip();

    // The widths of the ranks, and the first field a key cannot hold whole: a rank that
    // does not fit in the bits left, or the name, whose text never fits.
    void placeFields();

    int bitsOf(DupField f) const;

    // The rank of field `f` (not the name) of candidate `n`.
    SortKey128 rankOf(DupField f, quint32 n) const;

    int compareField(DupField f, quint32 x, quint32 y) const;

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

}  // namespace dw
