#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include "base/file_dates.h"
#include "finders/row_finder.h"
#include "scan/drive_entry.h"

// The engine of the files-by-date finder (TfrmMods, `diskwell-cli dated`): which date of
// a file is tested, the date test, and the rows of the result grid.
namespace dw {

// The date test against the start date (and the end date for Between).
enum class DateTest { OnOrBefore, Between, OnOrAfter };

// The items of the two option groups, as the window shows them.
inline constexpr char kDateKindTexts[3][14] = {"Last accessed", "Created", "Last modified"};
inline constexpr char kDateTestTexts[3][13] = {"On or Before", "In between", "On or After"};

struct DateOptions {
    DateKind kind = DateKind::Accessed;
    DateTest test = DateTest::Between;
    QDate start = QDate::currentDate();
    QDate end = QDate::currentDate();
    QString pattern = QStringLiteral("*.*");
};

// The packed date-time of `kind` of an entry (AccessedFileDate, CreatedFileDate,
// ModifiedFileDate): 0 when the file has no such date that can be packed.
quint32 FileDateOfKind(const platform::DirEntry& entry, DateKind kind);

// The calendar date of a packed date-time, the time of day dropped: invalid (null) for 0,
// 1 January 1980 for a value whose date part is no valid date (as its date text reads).
QDate PackedDay(quint32 packed);

// The date test of one file. A file without a date (packed 0: none reported, or before
// 1980) matches exactly when the test is OnOrBefore. (A scan tests a file dated after
// 2107, which the packed form cannot hold either, by its real day: it is later than
// every day before it, not a file without a date.) Otherwise its day is
// compared with whole days, both bounds included: OnOrBefore day <= start, Between
// start <= day <= end, OnOrAfter day >= start (`end` is not looked at). The date
// finder's window calls this its QinDateRange.
bool PassesDateTest(quint32 packed, DateTest test, const QDate& start, const QDate& end);

// The result grid's columns.
inline constexpr int kDateColumnCount = 7;
inline constexpr int kDateNameColumn = 0;
inline constexpr int kDateAccessedColumn = 1;
inline constexpr int kDateCreatedColumn = 2;
inline constexpr int kDateModifiedColumn = 3;
inline constexpr int kDateSizeColumn = 4;
inline constexpr int kDateFolderColumn = 5;
inline constexpr int kDateTypeColumn = 6;
// "Filename", "Accessed", "Created", "Modified", "Size", "Folder", "Type".
QStringList DateColumnTitles();
// The cells that name the file, for GridRowBytes.
inline constexpr FileCellColumns kDateFileCells{kDateNameColumn, kDateFolderColumn, -1};

// One scan: a row for every file handed over whose chosen date passes the test. The
// walk's pattern does the name matching; the date test and the row are done here. The
// options are fixed for the scan.
class DateSearch : public RowFinder {
public:
    DateSearch(const DateOptions& options, GridTable& grid);
    const DateOptions& options() const { return options_; }
    // Row cells: the name, the three date texts (empty where a file has no such date),
    // FormatThousands of the size, the folder's text and the type of the extension.
    void addFile(const WalkFolder& folder, const platform::DirEntry& entry) override;

private:
    DateOptions options_;
};

// The title of the printed report: "Files " + "Last accessed", "Created" or "Modified" +
// " " + "before START", "between START and END" or "after START", with the dates as the
// date fields show them (the locale's short date format).
QString DateReportTitle(const DateOptions& options);

}  // namespace dw
