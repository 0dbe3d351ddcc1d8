#include "finders/date_search.h"

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

bool PassesDateTest(quint32 packed, DateTest test, const QDate& start, const QDate& end) {
    const QDate day = PackedDay(packed);
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
    const quint32 tested = options_.kind == DateKind::Accessed  ? accessed
                           : options_.kind == DateKind::Created ? created
                                                                : modified;
    if (!PassesDateTest(tested, options_.test, options_.start, options_.end)) {
        return;
    }
    GridRowBatch& b = batch();
    FileRowTexts& t = texts();
    b.addCell(entry.name);
    b.addCell(t.date(accessed));
    b.addCell(t.date(created));
    b.addCell(t.date(modified));
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
