#include "finders/dup_pairs.h"

#include <initializer_list>

#include "finders/dup_search.h"

namespace dw {

namespace {

bool sameName(const QString& a, const QString& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype k = 0; k < a.size(); ++k) {
        char16_t x = a[k].unicode();
        char16_t y = b[k].unicode();
        if (x >= 'a' && x <= 'z') {
            x = char16_t(x - 'a' + 'A');
        }
        if (y >= 'a' && y <= 'z') {
            y = char16_t(y - 'a' + 'A');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool PairMatches(const QList<QStringList>& rows, int criterion, qsizetype i,
                 const QByteArray& bands) {
    if (i < 0 || i + 1 >= rows.size()) {
        return false;
    }
    const QStringList& a = rows[i];
    const QStringList& b = rows[i + 1];
    const auto same = [&](std::initializer_list<int> columns) {
        for (const int c : columns) {
            if (a.value(c) != b.value(c)) {
                return false;
            }
        }
        return true;
    };
    const bool names = sameName(a.value(kDupNameColumn), b.value(kDupNameColumn));
    switch (criterion) {
        case 0:
            return names;
        case 1:
            return names && same({kDupSizeColumn});
        case 2:
            return names && same({kDupSizeColumn, kDupModifiedColumn, kDupTimeColumn});
        case 3:
            return same({kDupSizeColumn});
        case 4:
            return same({kDupSizeColumn, kDupModifiedColumn, kDupTimeColumn});
        case 5:
            return same({kDupSizeColumn, kDupTypeColumn});
        case 6:
            return same({kDupTypeColumn, kDupModifiedColumn, kDupTimeColumn});
        case kContentCriterion:
            return i + 1 < bands.size() && bands[i] == bands[i + 1] && same({kDupSizeColumn});
        default:
            return false;
    }
}

qsizetype NextPairRow(const QList<QStringList>& rows, int criterion, qsizetype r,
                      const QByteArray& bands) {
    const qsizetype last = rows.size() - 2;  // the last pair
    if (r >= last) {
        return r;
    }
    // Stopping at the last pair rather than past it keeps a real file in both panes.
    qsizetype i = r;
    do {
        ++i;
    } while (!PairMatches(rows, criterion, i, bands) && i < last);
    return i;
}

qsizetype PrevPairRow(const QList<QStringList>& rows, int criterion, qsizetype r,
                      const QByteArray& bands) {
    if (r < 2) {
        return r;
    }
    qsizetype i = r;
    do {
        --i;
    } while (!PairMatches(rows, criterion, i, bands) && i > 1);
    return i;
}

}  // namespace dw
