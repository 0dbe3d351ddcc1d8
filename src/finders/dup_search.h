#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "base/grid_table.h"
#include "finders/candidate_feed.h"
#include "finders/content_groups.h"
#include "finders/dup_candidates.h"
#include "scan/drive_entry.h"
#include "scan/folder_walk.h"

// The engine of the duplicates and file-hogs finder: its options, the per-file step
// that turns files into candidates, the grouping of duplicates, the order of file hogs
// and the rows of the result grid. The window (TfrmDup) and `diskwell-cli duplicates`
// and `hogs` both run it, so they list the same rows.
namespace dw {

namespace platform {
class BlockUsage;
struct Volume;
}  // namespace platform

// How a file's size is compared with the limits.
enum class SizeTest { LargerOrEqual, SmallerOrEqual, Between };
// The units of the size boxes, in the order the window offers them.
enum class SizeUnit { Bytes, KB, MB, GB };

// The texts of the options, as the window shows them.
inline constexpr char kSizeTestLargerText[] = "Larger or equal to";
inline constexpr char kSizeTestSmallerText[] = "Smaller or equal to";
inline constexpr char kSizeTestBetweenText[] = "In between";
inline constexpr char kUnitBytesText[] = "bytes";
inline constexpr char kUnitKBText[] = "KB";
inline constexpr char kUnitMBText[] = "MB";
inline constexpr char kUnitGBText[] = "GB";
// The text of `unit` ("bytes", "KB", "MB", "GB"), as the window's unit box shows it.
const char* SizeUnitText(SizeUnit unit);
// `count` units in bytes (1 KB = 1,024 bytes, 1 MB = 1,024 KB, 1 GB = 1,024 MB); the
// largest qint64 when the product would not fit, 0 for a count below 1.
qint64 SizeUnitsInBytes(qint64 count, SizeUnit unit);

// The duplicate criteria: the item of the criterion box, the order of the fields of a
// candidate line, and the fields compared (the key), in the order they are joined.
struct DupCriterion {
    const char* item;
    std::array<DupField, 7> order;
    std::array<DupField, 4> key;
    int keyCount;
    std::span<const DupField> keyFields() const { return {key.data(), size_t(keyCount)}; }
};
inline constexpr int kDupCriterionCount = 8;
// "Same contents": files of equal size whose bytes are equal (ContentGrouper). Its rows
// come in the order of "Size only"; it comes after the seven criteria that compare the
// listing's fields, so stored criterion numbers keep their meaning.
inline constexpr int kContentCriterion = 7;
extern const DupCriterion kDupCriteria[kDupCriterionCount];
// The six fields of a file-hog line, in their order.
extern const std::array<DupField, 6> kHogLineOrder;

// The limits of the size boxes.
inline constexpr int kSizeLimitMax = 10000;

struct DupOptions {
    bool duplicateMode = true;
    int criterion = 0;  // 0 to 7 (duplicate mode)
    SizeTest sizeTest = SizeTest::LargerOrEqual;
    qint64 num1 = 250;
    qint64 num2 = 250;
    SizeUnit unit = SizeUnit::KB;
    QString pattern = QStringLiteral("*.*");
    qsizetype candidateLimit = DupCandidateList::kDefaultLimit;
    // "Same contents" only: whether empty files are duplicates of each other, and the
    // threads that read the files.
    bool includeEmpty = false;
    int readThreads = 2;
    // "Same contents" only: whether the files of each group are asked which blocks they
    // share with each other (on volumes that can share blocks). Off only to measure what
    // asking costs.
    bool lookUpSharedBlocks = true;

    // The limits in bytes: SizeUnitsInBytes of num1 and num2.
    qint64 lo() const { return SizeUnitsInBytes(num1, unit); }
    qint64 hi() const { return SizeUnitsInBytes(num2, unit); }
};

// The size test of the per-file step: "Larger or equal to" size >= lo, "Smaller or equal
// to" size <= lo, "In between" lo <= size <= hi.
bool PassesSizeTest(qint64 size, SizeTest test, qint64 lo, qint64 hi);

// The error of Start when "In between" has num2 < num1.
inline constexpr char kSecondNumberError[] =
    "The second number must be larger or equal than the first number";
// The warning when the candidate list cannot take another file.
QString resourceLimitText();
// The warning of Abort.
inline constexpr char kAbortedText[] = "LIST INCOMPLETE ... ABORTED BY USER";
// The information when nothing passed.
inline constexpr char kNoFilesText[] = "No files found.";

// The result grid's columns.
inline constexpr int kDupColumnCount = 7;
inline constexpr int kDupNameColumn = 0;
inline constexpr int kDupSizeColumn = 1;
inline constexpr int kDupModifiedColumn = 2;
inline constexpr int kDupTimeColumn = 3;
inline constexpr int kDupAccessColumn = 4;
inline constexpr int kDupFolderColumn = 5;
inline constexpr int kDupTypeColumn = 6;
inline constexpr int kHogColumnCount = 6;
inline constexpr int kHogSizeColumn = 0;
inline constexpr int kHogPathColumn = 4;
// The titles of the columns in duplicate mode ("Filename", "Size", ...) or file-hog mode
// ("Size", "Modified", "Time", "Access", "FileName", "Type").
QStringList DupColumnTitles(bool duplicateMode);
// The column whose cell carries the mark of a row: "Filename" or "FileName".
inline int DupMarkColumn(bool duplicateMode) {
    return duplicateMode ? kDupNameColumn : kHogPathColumn;
}
// The notes of "Same contents" on a file's Type cell, after its type in brackets: a file
// found under several names is listed once with "n names"; a file found only under
// several names (no other file has its bytes) is a group of its names, each noted
// "hard links, no space to gain".
QString namesNoteText(quint32 names);
inline constexpr char kHardLinksNoteText[] = "hard links, no space to gain";
// On volumes that share blocks between files (btrfs, xfs: reflinked copies), a file of a
// "Same contents" group whose every block another file of its group uses too is noted
// "shares its blocks with NAME" (NAME: that file's name), and deleting it frees nothing;
// a group made only of such files is noted "shares its blocks, no space to gain" on each
// row, and is treated as a group of hard links is (no file of it is marked by the
// marking helpers).
QString sharesBlocksWithText(const QString& name);
inline constexpr char kSharedBlocksNoteText[] = "shares its blocks, no space to gain";
// The band tags of duplicate mode; rows of kBandA are painted grey.
inline constexpr char kBandA = 'A';
inline constexpr char kBandB = 'B';

// One scan of the finder: the per-file step collects candidates, finish() groups or
// orders them, and the results are read as grid rows. The options are fixed for the
// scan.
class DupSearch {
public:
    explicit DupSearch(const DupOptions& options);
    ~DupSearch();
    DupSearch(const DupSearch&) = delete;
    DupSearch& operator=(const DupSearch&) = delete;

    const DupOptions& options() const { return options_; }

    enum class Step { Skipped, Added, Full };
    // The per-file step for a file the walk handed over: Skipped when its size fails the
    // test, Added when it became a candidate, Full when the candidate list cannot take
    // it (the caller warns with resourceLimitText() and stops its walk).
    Step addFile(const WalkFolder& folder, const platform::DirEntry& entry);

    // After the walk: duplicate mode sorts the candidates in the criterion's line order
    // and keeps each run of neighbouring lines whose keys agree (the key fields' texts,
    // each without blanks and control characters at its ends, joined without separator
    // and compared upper-cased) as results, in list order; a line whose neighbours
    // differ is no result. File-hog mode sorts in the file-hog line order and takes all
    // lines from the last to the first. Calling it again does nothing.
    //
    // "Same contents" sorts as "Size only" does and then reads the files of each size
    // that several files share (ContentGrouper, with `hooks` for its progress); each
    // group's rows follow in list order, the groups by the bytes deleting all but one of
    // their files would win (the size times the files less one; 0 for a group of one
    // file's names), largest first, and on equal bytes in the order of their first rows. A
    // stopped reading (stopReading(), or the progress hook answering false) keeps the
    // groups proven before it.
    void finish();
    void finish(const ContentGrouper::Hooks& hooks);
    // Stops the reading of "Same contents" at once; any thread.
    void stopReading();
    // After finish() with "Same contents": whether the reading was stopped, and the files
    // it left out (the path, why, and whether it changed rather than could not be read),
    // in list order.
    struct ContentProblem {
        QByteArray path;
        QString reason;
        bool changed = false;
    };
    bool readingStopped() const { return readingStopped_; }
    const std::vector<ContentProblem>& contentProblems() const { return problems_; }
    // The bytes read and to read so far (0 without "Same contents").
    qint64 bytesRead() const { return content_ ? content_->bytesRead() : 0; }
    qint64 bytesToRead() const { return content_ ? content_->bytesToRead() : 0; }

    // The files that became candidates: while the walk goes on, those handed to the list.
    qsizetype candidateCount() const { return finished_ ? candidates_.size() : feed_->count(); }
    qsizetype resultCount() const { return qsizetype(results_.size()); }
    // Duplicate mode: the group of result k, 1 for the first group, counted in result
    // order; whether that group is of hard links only ("Same contents").
    quint32 resultGroup(qsizetype k) const { return groupOf_[size_t(k)]; }
    // Whether result k's type cell carries a note ("Same contents": "n names" or the
    // hard-link note); appendTypeNote adds it to `type` as the grid shows it ("type (note)",
    // or the note alone for an empty type) and leaves `type` as it is for other results.
    bool hasTypeNote(qsizetype k) const {
        return (!notes_.empty() && notes_[size_t(k)] != 0) || sharesWith_.contains(quint32(k));
    }
    void appendTypeNote(qsizetype k, QByteArray& type) const;
    // True for a group of one file's names and for a group whose files all share their
    // blocks with each other: removing any of its files gives nothing back.
    bool isHardLinkGroup(quint32 group) const;
    // Result k's file uses only blocks that result `*` (another of its group) uses too.
    std::optional<qsizetype> sharesBlocksWith(qsizetype k) const;
    const DupCandidateList& candidates() const { return candidates_; }

    // Result k (0 to resultCount() - 1) as a grid row: the cells of the mode's columns,
    // the file's native path as the row's hidden value, and in duplicate mode its band
    // tag. Bands: the first result has kBandA; every further one has the band of the one
    // before when the compared columns agree (criteria 0 to 2: the names, upper-cased;
    // 3 to 5: the sizes; 6: the types and the times), the other band otherwise.
    GridRow resultRow(qsizetype k) const;

    // Fills `grid` for the results: the mode's columns and titles, one row per result
    // in result order (in one bulk update of the table), and in file-hog mode the rows sorted by
    // size, largest first, as the "Size" sort of the grid does it (SortGridByNumber of
    // column 0, descending). With no result the grid keeps one empty data row.
    void fillGrid(GridTable& grid) const;

    // The candidates (places in candidates()) of fillGrid's data rows, row 1 first: the
    // results in result order, in file-hog mode put in the order of the grid's size sort
    // (largest first, as SortGridByNumber orders the "Size" cells).
    std::vector<quint32> rowOrder() const;

    // The memory the candidate list took at most, in bytes, with the content search's
    // own tables ("Same contents").
    qsizetype peakMemoryUsage() const {
        return candidates_.peakMemoryUsage() + (content_ ? content_->peakMemoryUsage() : 0);
    }

private:
    void group();
    void groupByContent(const ContentGrouper::Hooks& hooks);
    // Looks up the blocks of the files of the groups from `firstRow` on (one group, rows
    // to the end of results_) and notes those that share all of them with another.
    // `mounts`: the mount table, to pass over the files of volumes that cannot share.
    void noteSharedBlocks(size_t firstRow, platform::BlockUsage& usage,
                          const QList<platform::Volume>& mounts);
    void rowCells(qsizetype k, QStringList& cells, QByteArray& path) const;
    void keyOf(qsizetype i, QByteArray& out, QByteArray& scratch) const;
    bool sameBandColumns(qsizetype a, qsizetype b) const;

    DupOptions options_;
    qint64 lo_;
    qint64 hi_;
    DupCandidateList candidates_;
    std::vector<quint32> results_;  // places in the candidate list, in result order
    std::vector<char> bands_;
    std::vector<quint32> groupOf_;  // beside results_, duplicate mode
    // "Same contents": the reading, the names of each result's file (0 for one name, the
    // hard-link note's marker for a group of names), the hard-link groups and problems.
    std::unique_ptr<ContentGrouper> content_;
    std::vector<quint32> notes_;
    std::vector<bool> hardLinkGroups_;
    // Rows whose file shares all its blocks with another row of its group (few).
    QHash<quint32, quint32> sharesWith_;
    std::vector<ContentProblem> problems_;
    bool readingStopped_ = false;
    bool finished_ = false;
    // Fills candidates_ and content_ while the walk goes on; declared last, so that it is
    // gone before what it fills.
    std::unique_ptr<CandidateFeed> feed_;
};

// The cells of row `row` of a result grid as exact bytes: the text cells as UTF-8, and
// the cells that name the file from the row's native path (duplicate mode: "Filename"
// the part after the last "/", "Folder" the part before it, "/" for the root; file-hog
// mode: "FileName" the whole path), so a name that is not valid UTF-8 keeps its bytes.
// Rows without a path (the title row) give their cells as UTF-8.
QList<QByteArray> DupRowBytes(const GridTable& grid, qsizetype row, bool duplicateMode);

// Sets `grid` up as the window's cleared grid: the mode's columns and titles and one
// empty data row.
void ClearDupGrid(GridTable& grid, bool duplicateMode);

// The walk's side of a search without a window (the command line, tests): hands every
// file to the search; when the list is full, calls `onListFull` once and stops the walk.
// Shows nothing itself.
class DupWalkHooks : public WalkHooks {
public:
    explicit DupWalkHooks(DupSearch& search) : search_(search) {}
    void onFile(const WalkFolder& folder, const platform::DirEntry& entry) override;
    bool abortRequested() const override { return full_; }
    bool listFull() const { return full_; }

    // The candidate list has just become full; the caller warns with resourceLimitText()
    // (a warning box after the hand sound). By default nothing is said.
    virtual void onListFull() {}

private:
    DupSearch& search_;
    bool full_ = false;
};

// The title of the printed report: "Duplicates " or "File Hogs ", the size phrase
// ("larger or equal to 250 KB", "smaller or equal to 3 bytes", "in between 10 KB and
// 20 KB"), " matching " and the pattern, " on drive(s) " and for every checked entry its
// drive word followed by a blank. A drive word is the volume's key (platform::volumeKey:
// the mount point without its leading "/" and with "/" as "_", "root" for "/"); an
// extra folder gives the key of the volume it lies on (its own text when the mount
// table cannot be read). Example: "Duplicates larger or equal to 250 KB matching *.* on
// drive(s) root home ".
QString DupReportTitle(const DupOptions& options, const QList<DriveEntry>& checked);

}  // namespace dw
