#include "finders/date_search.h"

#include <QDateTime>

#include "base/file_dates.h"
#include "base/utility.h"

namespace dw {

quint32 FileDateOfKind(const platform::DirEntry& entry, DateKind kind) {
    switch (kind) {
        case DateKind::Accessed:
            return AccessedFileDate(entry);
        case DateKind::Created:
            return CreatedFileDate(entry);
        case DateKind::Modified:
            return ModifiedFileDate(entry);
    }
    return 0;
}

QDate PackedDay(quint32 packed) {
    if (packed == 0) {
        return {};
    }
    const QDate day(int(packed >> 25) + 1980, int((packed >> 21) & 0x0F),
                    int((packed >> 16) & 0x1F));
    return day.isValid() ? day : QDate(1980, 1, 1);
}

namespace {

// The local day of a time past the packed form's last year, or a null day for any other
// time: the packed form holds those, or the time is early enough to count as none.
QDate dayPastPacking(qint64 epochSeconds, bool exists) {
    constexpr int kLastPackedYear = 2107;
    if (!exists) {
        return {};
    }
    const QDate day = QDateTime::fromSecsSinceEpoch(epochSeconds).date();
    return day.isValid() && day.year() > kLastPackedYear ? day : QDate();
}

bool passesDayTest(const QDate& day, DateTest test, const QDate& start, const QDate& end) {
    if (!day.isValid()) {
        return test == DateTest::OnOrBefore;
    }
    switch (test) {
        case DateTest::OnOrBefore:
            return day <= start;
        case DateTest::Between:
            return start <= day && day <= end;
        case DateTest::OnOrAfter:
            return day >= start;
    }
    return false;
}

}  // namespace

bool PassesDateTest(quint32 packed, DateTest test, const QDate& start, const QDate& end) {
    return passesDayTest(PackedDay(packed), test, start, end);
}

QStringList DateColumnTitles() {
    return {QStringLiteral("Filename"), QStringLiteral("Accessed"), QStringLiteral("Created"),
            QStringLiteral("Modified"), QStringLiteral("Size"),     QStringLiteral("Folder"),
            QStringLiteral("Type")};
}

DateSearch::DateSearch(const DateOptions& options, GridTable& grid)
    : RowFinder(grid, DateColumnTitles()), options_(options) {}

void DateSearch::addFile(const WalkFolder& folder, const platform::DirEntry& entry) {
    if (platform::EntryKind(entry) != 2) {
        return;
    }
    const quint32 accessed = RowFinder::accessed(entry);
    const quint32 modified = RowFinder::modified(entry);
    const quint32 created = RowFinder::created(entry);
    // A date too late to pack is still a date: tested and shown as the day it is.
    const QDate lateDays[] = {dayPastPacking(entry.accessed, true),
                              dayPastPacking(entry.created, entry.hasCreated),
                              dayPastPacking(entry.modified, true)};
    const quint32 packed[] = {accessed, created, modified};
    const int kind = int(options_.kind);
    const QDate tested = packed[kind] != 0 ? PackedDay(packed[kind]) : lateDays[kind];
    if (!passesDayTest(tested, options_.test, options_.start, options_.end)) {
        return;
    }
    GridRowBatch& b = batch();
    FileRowTexts& t = texts();
    b.addCell(entry.name);
    for (int i = 0; i < 3; ++i) {
        if (packed[i] == 0 && lateDays[i].isValid()) {
            b.addCell(DateToTextSafe(lateDays[i]).toUtf8());
        } else {
            b.addCell(t.date(packed[i]));
        }
    }
    b.addCell(t.size(entry.size));
    b.addCell(folder.path);
    b.addCell(t.type(entry.name));
    endRow(pathOf(folder, entry.name));
}

QString DateReportTitle(const DateOptions& options) {
    static const char* const kinds[] = {"Last accessed", "Created", "Modified"};
    const QString start = DateToTextSafe(options.start);
    QString title = QStringLiteral("Files ") + QLatin1String(kinds[int(options.kind)]) + u' ';
    switch (options.test) {
        case DateTest::OnOrBefore:
            title += QStringLiteral("before ") + start;
            break;
        case DateTest::Between:
            title += QStringLiteral("between ") + start + QStringLiteral(" and ") +
                     DateToTextSafe(options.end);
            break;
        case DateTest::OnOrAfter:
            title += QStringLiteral("after ") + start;
            break;
    }
    return title;
}

}  // namespace dw
