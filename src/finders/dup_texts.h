#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <vector>

#include "base/text_arena.h"

namespace dw {

// The texts of the candidate list's fields that are made rather than kept per file: the
// Modified, Access and Time texts of packed times (PackDosDateTime), each made once per
// distinct date or time of day when first asked for, and names decoded for display.
//
// date() and time() make a text they did not make before; once every value they will be
// asked for was asked once, they only read, and several threads may call them at once.
// The views stay valid until clear().
class DupTexts {
public:
    // The key of a packed value's date text: equal keys, equal texts. Below kDateKeyCount.
    static quint32 dateKey(quint32 packed) { return packed == 0 ? kDateKeyEmpty : packed >> 16; }
    // The key of its time text: the time of day, or one key for every value whose date or
    // time part names no real day or time ("12:00:00") and one for 0 (empty). Below
    // kTimeKeyCount.
    static quint32 timeKey(quint32 packed);
    static constexpr quint32 kDateKeyCount = 0x10001;
    static constexpr quint32 kTimeKeyCount = 0x10002;

    // FileDateToDateText of the packed value's date, as UTF-8; empty for 0.
    QByteArrayView date(quint32 packed) {
        const quint32 key = dateKey(packed);
        if (key < dateIds_.size() && dateIds_[key] >= 0) {
            return arena_.at(quint32(dateIds_[key]));
        }
        return makeDate(key);
    }
    // FileDateToTimeText of the packed value, as UTF-8; empty for 0.
    QByteArrayView time(quint32 packed) {
        const quint32 key = timeKey(packed);
        if (key < timeIds_.size() && timeIds_[key] >= 0) {
            return arena_.at(quint32(timeIds_[key]));
        }
        return makeTime(key);
    }

    // The texts made so far, by key: the text's number for text(), or -1 when it was not
    // made. Empty before the first text of the kind.
    const std::vector<qint32>& dateIds() const { return dateIds_; }
    const std::vector<qint32>& timeIds() const { return timeIds_; }
    QByteArrayView text(quint32 id) const { return arena_.at(id); }

    void clear();
    // Heap bytes held: the tables of keys and the texts.
    qsizetype memoryUsage() const;

    // QFile::decodeName of `first` and `second` joined, written into `out`, reusing its
    // storage where it holds the only reference to it: ASCII is widened in place,
    // anything else goes through the decoder.
    static void decodeInto(QByteArrayView first, QByteArrayView second, QString& out);

private:
    static constexpr quint32 kDateKeyEmpty = 0x10000;    // packed 0: no date, empty text
    static constexpr quint32 kTimeKeyInvalid = 0x10000;  // "12:00:00"
    static constexpr quint32 kTimeKeyEmpty = 0x10001;    // packed 0

    QByteArrayView makeDate(quint32 key);
    QByteArrayView makeTime(quint32 key);

    std::vector<qint32> dateIds_;
    std::vector<qint32> timeIds_;
    TextArena arena_;
};

}  // namespace dw
