#include "finders/dup_texts.h"

#include "base/file_dates.h"

namespace dw {

namespace {

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

}  // namespace

quint32 DupTexts::timeKey(quint32 packed) {
    if (packed == 0) {
        return kTimeKeyEmpty;
    }
    if (!datePartValid(packed) || !timePartValid(packed)) {
        return kTimeKeyInvalid;
    }
    return packed & 0xFFFF;
}

QByteArrayView DupTexts::makeDate(quint32 key) {
    if (dateIds_.empty()) {
        dateIds_.assign(kDateKeyCount, -1);
    }
    qint32& id = dateIds_[key];
    if (id < 0) {
        const QString text = key == kDateKeyEmpty ? QString() : FileDateToDateText((key << 16) | 1);
        id = qint32(arena_.add(text.toUtf8()));
    }
    return arena_.at(quint32(id));
}

QByteArrayView DupTexts::makeTime(quint32 key) {
    if (timeIds_.empty()) {
        timeIds_.assign(kTimeKeyCount, -1);
    }
    qint32& id = timeIds_[key];
    if (id < 0) {
        QString text;
        if (key == kTimeKeyInvalid) {
            text = FileDateToTimeText(1);
        } else if (key != kTimeKeyEmpty) {
            text = FileDateToTimeText((kValidDatePart << 16) | key);
        }
        id = qint32(arena_.add(text.toUtf8()));
    }
    return arena_.at(quint32(id));
}

void DupTexts::clear() {
    dateIds_.clear();
    timeIds_.clear();
    arena_.clear();
}

qsizetype DupTexts::memoryUsage() const {
    // At most one text per day and one per two seconds of a day, whatever the number of
    // files.
    return qsizetype((dateIds_.capacity() + timeIds_.capacity()) * sizeof(qint32)) + arena_.bytes();
}

void DupTexts::decodeInto(QByteArrayView first, QByteArrayView second, QString& out) {
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

}  // namespace dw
